// The animation tests' fixture: the one window fixture with a clock that moves
// only when a test sets it, and animations loaded from AO files built in memory
// (tests/support/AOBuilder.h) onto its window, which owns them.
#pragma once

#include <gtest/gtest.h>

#include "anim/KvAnimation.h"
#include "tests/support/AOBuilder.h"
#include "tests/support/WindowFixture.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTrinketWindow.h"

class AnimTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        backend.setStepPerPass(0);
    }
    KvTrinketWindow* open(int depth = 16, KvTBackground* background = nullptr) { return openWindow(background, depth); }
    // An animation on the window (which owns it).
    KvAnimation* load(const Bytes& file, int x = 0, int y = 0) { return new KvAnimation(streamOf(file), x, y, window.get()); }
};

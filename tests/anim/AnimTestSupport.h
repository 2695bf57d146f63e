// The animation tests' fixture: the one window fixture with a clock that moves
// only when a test sets it, and animations loaded from AO files built in memory
// (tests/support/AOBuilder.h) onto its window, which owns them.
#pragma once

#include <gtest/gtest.h>

#include <memory>

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

// The pixels, row after row, of cel painted at (0, 0) on a w x h canvas of
// depth whose pixels were all under.
inline std::vector<uint32_t> painted(KvAnimation* a, int cel, int w, int h, int depth, uint32_t under = 0) {
    KvMemCanvas c(w, h, depth);
    std::vector<uint32_t> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c.setPixel(x, y, under);
    a->paintCel(cel, 0, 0, &c, c.getBounds());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.push_back(c.getPixel(x, y));
    return out;
}

// The AO file the cel encoder makes of an 8-bit area (all of it for KvRect::zero).
inline Bytes packed(KvMemCanvas* art, const KvRect& rect = KvRect::zero, int transparent = 0, long* sizeOut = nullptr) {
    long size = -1;
    std::unique_ptr<const unsigned char[]> block(static_cast<const unsigned char*>(KvCelRenderer::pack(size, art, rect, transparent)));
    if (sizeOut) *sizeOut = size;
    return block ? Bytes(block.get(), block.get() + size) : Bytes();
}

// The one window fixture: every test gets a fresh headless backend (which
// keeps the user's messages instead of printing them) and application, and a
// trinket window of kW x kH that it opens when it needs one. The framework's,
// the compositor's and the animations' process-wide switches are put back
// after every test, and no window, focus or fly-over may outlive it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "anim/KvAnimation.h"
#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/KvCursor.h"
#include "framework/KvEvent.h"
#include "framework/headless/KvHeadlessBackend.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTrinket.h"
#include "trinket/KvTrinketWindow.h"

class MessageBackend : public KvHeadlessBackend {
public:
    void userMessage(const char* text) override { messages.emplace_back(text); }
    // Each reading of the clock moves it on by tickPerRead ms.
    unsigned long milliSeconds() override {
        const unsigned long t = KvHeadlessBackend::milliSeconds() + reads * tickPerRead;
        ++reads;
        return t;
    }
    std::vector<std::string> messages;
    unsigned long tickPerRead = 0;
    unsigned long reads = 0;
};

// Backend: the headless backend or a test's own subclass of it.
template <class Backend>
class HeadlessTestWith : public ::testing::Test {
protected:
    void SetUp() override {
        KvBackend::install(&backend);
        KvEventSetXFormMouseFct(nullptr);
        KvCursor::hidden = 0;
        app = std::make_unique<KvApp>();
    }
    void TearDown() override {
        app.reset();
        KvEventSetXFormMouseFct(nullptr);
        KvCursor::hidden = 0;
        KvBackend::install(nullptr);
    }

    Backend backend;
    std::unique_ptr<KvApp> app;
};

using HeadlessTest = HeadlessTestWith<KvHeadlessBackend>;

class WindowTest : public HeadlessTestWith<MessageBackend> {
public:
    static constexpr int kW = 160, kH = 120;

protected:
    void SetUp() override {
        HeadlessTestWith::SetUp();
        restoreSwitches();
    }
    void TearDown() override {
        window.reset();
        restoreSwitches();
        EXPECT_EQ(KvTrinketWindow::currentWindow, nullptr);
        EXPECT_EQ(KvTrinket::trGetFocus(), nullptr);
        EXPECT_EQ(KvTrinket::trGetFlyOverTrinket(), nullptr);
        HeadlessTestWith::TearDown();
    }
    static void restoreSwitches() {
        KvTrinket::setCreateVisible(1);
        KvTrinket::setCorralNormalization(1);
        KvTrinket::trSetDefaultBkgdCursor(nullptr, 0);
        KvTrinket::trSetDefaultSpotCursor(nullptr);
        KvTrinket::trSetDefaultGrabCursor(nullptr);
        KvAnimation::setUseEmbeddedXYZ(1);
        KvAnimation::setMakePictures(kAOPremakeOff);
        KvAnimation::installSrcURL(nullptr);
        KvAnimation::installSndURL(nullptr);
        KvAnimation::installPltURL(nullptr);
        KvAnimation::installPaletteURL(nullptr);
        KvAnimation::setAlwaysUseGlobalTime(1);
        KvAnimation::setAOSound(1);
        KvAnimation::setAlwaysSyncSounds(1);
        KvAnimation::setAlwaysInvalidate(1);
        KvAnimation::setRedrawSameFrame(0);
        KvAnimation::setGlobalFloatTiming(false);
        KvAnimation::setGlobalAlertOnSeqPos(nullptr);
        KvAnimation::setDefaultSoundCommandHandler(nullptr);
    }

    // The window (the current one) over background, or the white base one.
    KvTrinketWindow* openWindow(KvTBackground* background = nullptr, int depth = 16, int collectorW = -1,
                                int collectorH = -1, int flip = 0) {
        window.reset();
        window = std::make_unique<KvTrinketWindow>(KvRect(0, 0, kW, kH), background ? background : new KvTBackground,
                                                   0, collectorW, collectorH, depth, 1, flip);
        return window.get();
    }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) app->pass();
    }
    // One main-loop pass at time ms on the virtual clock.
    void at(unsigned long ms) {
        backend.setTime(ms);
        app->pass();
    }
    uint32_t pixel(int x, int y) const { return window->twGetCollector()->getPixel(x, y); }
    KvHeadlessWindow* screen() const { return backend.windowOf(window.get()); }

    std::unique_ptr<KvTrinketWindow> window;
};

// The SDL backend inside this process, on the virtual display: keys reach
// the focused trinket with the framework's codes, pointer positions come
// back from a scaled and letterboxed window as canvas pixels, and a pass
// uploads what changed, once, and nothing when nothing did.
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "anim/KvAnimation.h"
#include "framework/KvApp.h"
#include "framework/KvKeys.h"
#include "framework/KvLink.h"
#include "framework/KvWndCanvas.h"
#include "framework/sdl/KvSdlBackend.h"
#include "framework/sdl/KvSdlWindow.h"
#include "script/YThread.h"
#include "tests/player/DisplayFixture.h"
#include "tests/support/AOBuilder.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTUserEventInfo.h"
#include "trinket/KvTrinketWindow.h"

namespace {

class SdlTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        KvSdlSettings settings;
        settings.mute = true;
        settings.scale = scale;
        sdl = std::make_unique<KvSdlBackend>(settings);
        ASSERT_TRUE(sdl->isReady()) << sdl->getError();
        KvBackend::install(sdl.get());
        app = std::make_unique<KvApp>();
        window = std::make_unique<KvTrinketWindow>(KvRect(0, 0, 160, 100), new KvTBackground, 0, -1, -1, 16, 1, 0);
        window->setTitle("sdltest");
        passes(100);  // the window is mapped and drawn
        id = DisplayTest::window("sdltest");
    }
    void TearDown() override {
        window.reset();
        app.reset();
        KvBackend::install(nullptr);
        sdl.reset();
        DisplayTest::TearDown();
    }
    // Passes for a while, so that X input sent meanwhile is delivered.
    void passes(int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) app->pass();
    }
    KvSdlWindow* sdlWindow() const { return sdl->windowOf(window.get()); }

    std::unique_ptr<KvSdlBackend> sdl;
    std::unique_ptr<KvApp> app;
    std::unique_ptr<KvTrinketWindow> window;
    std::string id;
    int scale = 1;
};

// No fixed scale: the picture grows with the window by whole factors.
class SdlScaledTest : public SdlTest {
public:
    SdlScaledTest() { scale = 0; }
};

}  // namespace

TEST_F(SdlTest, AKeyPressReachesTheFocusedTrinketWithItsFrameworkCode) {
    ASSERT_FALSE(id.empty());
    auto* a = new KvAnimation(streamOf(aotest::twoCels().build()), 10, 10, window.get());
    std::vector<int> keys;
    const KvFunctionLink heard([&keys](const void*) { keys.push_back(KvEventGetKey()); });
    a->trKeyDownSetLink(&heard);
    a->trFocus();
    sh("xdotool mousemove --window " + id + " 5 5 key --delay 30 a 7 Left F1 Return");
    passes(500);
    EXPECT_EQ(keys, (std::vector<int>{kKvKeyA, kKvKey0 + 7, kKvKeyLeft, kKvKeyF1, kKvKeyReturn}));
}

TEST_F(SdlTest, APassUploadsWhatChangedOnceAndAnIdlePassUploadsNothing) {
    ASSERT_FALSE(id.empty());
    KvSdlWindow* w = sdlWindow();
    ASSERT_NE(w, nullptr);
    passes(200);
    const unsigned long long before = w->getUploadedPixels();
    KvWndCanvas* canvas = window->getCanvas();
    canvas->fillColor = KvColor(255 * 256, 0, 0);
    canvas->draw(KvRect(10, 10, 42, 42));  // 32 x 32
    canvas->draw(KvRect(20, 20, 30, 30));  // inside it: marked twice, uploaded once
    canvas->draw(KvRect(100, 60, 104, 62));
    sdl->showPending();
    EXPECT_EQ(w->getUploadedPixels() - before, 32u * 32 + 4 * 2);
    const unsigned long uploads = w->getUploadCount();
    EXPECT_FALSE(w->show());
    sdl->showPending();
    EXPECT_EQ(w->getUploadCount(), uploads);
    // And the red square is on the X screen.
    const XwdImage shown = capture(id);
    EXPECT_EQ(shown.at(11, 11), 0xFF0000u);
    EXPECT_EQ(shown.at(9, 9), 0xFFFFFFu);
}

TEST_F(SdlScaledTest, PointerPositionsAreCanvasPixelsInALetterboxedWindow) {
    ASSERT_FALSE(id.empty());
    std::vector<std::pair<int, int>> clicks;  // down and up at each
    const KvFunctionLink heard([&clicks](const void* info) {
        const auto* e = static_cast<const KvTUserEventInfo*>(info);
        if (e->eventType == kTwEventMouseDown || e->eventType == kTwEventMouseUp) clicks.emplace_back(e->point.x, e->point.y);
    });
    window->twEventSetLink(&heard);
    // 500 x 420 holds the 160 x 100 canvas three times: bars of 10 and 60 pixels.
    sh("xdotool windowsize " + id + " 500 420");
    passes(400);
    ASSERT_EQ(sdlWindow()->currentScale(), 3);
    sh("xdotool mousemove --window " + id + " 10 60 click 1 mousemove --window " + id + " 489 359 click 1");
    passes(500);
    EXPECT_EQ(clicks, (std::vector<std::pair<int, int>>{{0, 0}, {0, 0}, {159, 99}, {159, 99}}));
}

TEST_F(SdlTest, AThreadGivenNoScriptAsksTheDesktopsFileDialogAndWithoutOneCancels) {
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    write("chosen.mps", "say chosen\n");
    // A stand-in for the desktop's dialog: it notes how it was asked, then answers.
    write("bin/zenity", "#!/bin/sh\necho \"$@\" >\"" + dir.string() + "/asked.txt\"\necho \"" + dir.string() +
                            "/chosen.mps\"\n");
    fs::permissions(dir / "bin/zenity", fs::perms::owner_all);
    setenv("PATH", (dir.string() + "/bin:" + path).c_str(), 1);
    YThread chosen(static_cast<const char*>(nullptr));
    EXPECT_TRUE(static_cast<int>(chosen));
    EXPECT_EQ(std::string(chosen.getName()), dir.string() + "/chosen.mps");
    EXPECT_EQ(read("asked.txt"), "--file-selection --title=Script --file-filter=*.mps\n");

    write("bin/zenity", "#!/bin/sh\nexit 1\n");  // the user cancels
    YThread cancelled(static_cast<const char*>(nullptr));
    EXPECT_FALSE(static_cast<int>(cancelled));
    EXPECT_EQ(std::string(cancelled.getName()), "");

    setenv("PATH", (dir.string() + "/nowhere").c_str(), 1);  // no dialog at all
    YThread none(static_cast<const char*>(nullptr));
    EXPECT_FALSE(static_cast<int>(none));
    setenv("PATH", path.c_str(), 1);
}

TEST_F(SdlTest, FocusMovingBetweenWindowsActivatesAndDeactivatesThem) {
    ASSERT_FALSE(id.empty());
    KvWindow other(KvRect(0, 0, 80, 60));
    std::vector<std::string> seen;
    const KvFunctionLink activated([&seen](const void*) { seen.push_back("activated"); });
    const KvFunctionLink deactivated([&seen](const void*) { seen.push_back("deactivated"); });
    other.activatedSetLink(&activated);
    other.deactivatedSetLink(&deactivated);
    other.setTitle("othertest");
    passes(100);
    const std::string otherId = DisplayTest::window("othertest");
    ASSERT_FALSE(otherId.empty());
    sh("xdotool windowactivate --sync " + otherId);
    passes(400);
    EXPECT_EQ(KvWindow::activeWindow, &other);
    sh("xdotool windowactivate --sync " + id);
    passes(400);
    EXPECT_EQ(KvWindow::activeWindow, window.get());
    EXPECT_EQ(seen, (std::vector<std::string>{"activated", "deactivated"}));
}

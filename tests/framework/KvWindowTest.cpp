// Windows, their canvases and cursors, and recorded sessions. Injected input
// reaches the right window's virtuals in order, with the event's pointer
// position (transformed) and key; event links; the active window. What a
// window canvas writes reaches the headless screen at the display depth, and
// page flipping swaps front and back. A cursor hears of each change of its
// canvas once, a cursor or canvas destroyed is forgotten by the other, hiding
// is global, and the system pointer is recorded by the backend. A recording
// made over the headless backend, played over a fresh one whose own clock
// runs differently, delivers the same events in the same passes at the same
// clock readings, a window asked where the pointer is answers where the
// recording put it, and the reader refuses every malformed line with its
// number and what it expected.
#include "framework/KvRecording.h"
#include "framework/KvRecordingBackend.h"
#include "framework/KvReplayBackend.h"
#include "framework/KvSys.h"
#include "framework/KvWindow.h"
#include "framework/KvWndCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/framework/GoldenText.h"
#include "tests/support/WindowFixture.h"

namespace {

// Records every virtual with what KvEventGetMouse/KvEventGetKey say during
// it, after the window's tag or, when it has one, its stamp.
class LogWindow : public KvWindow {
public:
    LogWindow(const KvRect& r, const char* tag) : KvWindow(r), tag(tag) {}
    std::vector<std::string>* log = nullptr;
    std::function<std::string()> stamp;

    void activated() override { note("activated"); }
    void deactivated() override { note("deactivated"); }
    void close() override { note("close"); }
    void draw(const void* a) override {
        const KvRect* r = static_cast<const KvRect*>(a);
        note(r ? "draw " + std::to_string(r->left) + "," + std::to_string(r->top) : "draw all");
    }
    void keyDown() override { note("keyDown " + std::to_string(KvEventGetKey())); }
    void keyUp() override { note("keyUp " + std::to_string(KvEventGetKey())); }
    void mouseDown() override { note("mouseDown " + at()); }
    void mouseUp() override { note("mouseUp " + at()); }
    void mouseMove() override { note("mouseMove " + at()); }
    void mouseDblClick() override { note("mouseDblClick " + at()); }
    void moved() override { note("moved " + rect()); }
    void sized() override { note("sized " + rect()); }

private:
    std::string rect() {
        const KvRect r = getRect();
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
               std::to_string(r.bottom) + " canvas " + std::to_string(getCanvas()->getWidth());
    }
    static std::string at() {
        const KvPoint p = KvEventGetMouse();
        return std::to_string(p.x) + "," + std::to_string(p.y);
    }
    void note(const std::string& s) {
        if (log) log->push_back((stamp ? stamp() : std::string(tag)) + " " + s);
    }
    const char* tag;
};

using Window = HeadlessTest;

TEST_F(Window, CanvasIsTheWindowSizeAtDisplayDepth) {
    backend.setDisplayDepth(32);
    KvWindow w(KvRect(10, 20, 330, 260), 3);
    const KvWndCanvas* c = w.getCanvas();
    KvHeadlessWindow* hw = backend.windowOf(&w);
    ASSERT_TRUE(c && hw);
    EXPECT_TRUE(c->getWidth() == 320 && c->getHeight() == 240 && c->getDepth() == 32 && c->isTopDown());
    EXPECT_TRUE(c->getWindow() == &w && w.getRectType() == kKvRectIsClient && hw == w.getBackendWindow());
    EXPECT_EQ(hw->getStyle(), 3);
    EXPECT_EQ(hw->getOpenRect(), KvRect(10, 20, 330, 260));
    w.setTitle("Demo");
    EXPECT_STREQ(hw->getTitle(), "Demo");
}

// The cases of golden/window-events.txt.
TEST_F(Window, QueuedEventsReachTheirWindowsInOrderInTheNextPass) {
    static const char* const kTypes[] = {"activated", "close",     "deactivated",   "draw",      "keyDown",
                                         "keyUp",     "maximized", "minimized",     "mouseDblClick", "mouseDown",
                                         "mouseMove", "mouseUp",   "moved",         "restored",  "sized"};
    const GoldenSections cases = goldenSections("framework/golden/window-events.txt");
    ASSERT_EQ(cases.size(), 4u);
    for (const auto& [what, lines] : cases) {
        std::vector<std::string> log, want;
        LogWindow a(KvRect(0, 0, 100, 100), "A");
        auto b = std::make_unique<LogWindow>(KvRect(0, 0, 50, 50), "B");
        a.log = b->log = &log;
        ASSERT_EQ(KvWindow::activeWindow, &a) << what;
        for (const std::string& line : lines) {
            std::istringstream in(line);
            std::string mark, target, type;
            if (!(in >> mark >> target >> type) || mark != ">") {
                want.push_back(line);
                continue;
            }
            if (type == "gone") {
                b.reset();
                continue;
            }
            KvEventRecord e{KvEventType::draw, {}, 0, KvRect::zero};
            e.type = static_cast<KvEventType>(std::find(kTypes, std::end(kTypes), type) - kTypes);
            if (type.rfind("mouse", 0) == 0) in >> e.mouse.x >> e.mouse.y;
            if (type.rfind("key", 0) == 0) in >> e.key;
            if (type == "draw" || type == "moved" || type == "sized") in >> e.area.left >> e.area.top >> e.area.right >> e.area.bottom;
            backend.post(e, target == "A" ? &a : target == "B" ? b.get() : nullptr);
        }
        EXPECT_TRUE(log.empty()) << what;
        app->pass();
        EXPECT_EQ(log, want) << what;
        EXPECT_EQ(backend.pendingEvents(), 0) << what;
        EXPECT_EQ(KvWindow::activeWindow, &a) << what;
    }
}

// Each window keeps the pointer of its own last event; the transform applies
// to what the events carry and to what getMouse answers.
TEST_F(Window, NamedTargetsTheTransformAndThePointerEachWindowKeeps) {
    std::vector<std::string> log;
    LogWindow a(KvRect(0, 0, 100, 100), "A");
    LogWindow b(KvRect(200, 0, 300, 100), "B");
    a.log = b.log = &log;
    KvEventSetXFormMouseFct([](KvPoint& p) { p = KvPoint(p.x + 100, p.y + 50); });
    backend.mouseMove({1, 2}, &b);
    backend.mouseDown({10, 10});  // to the active window, the first opened
    app->pass();
    EXPECT_EQ(log, (std::vector<std::string>{"B mouseMove 101,52", "A mouseDown 110,60"}));
    KvPoint out;
    EXPECT_EQ(b.getMouse(&out), KvPoint(101, 52));
    EXPECT_EQ(out, KvPoint(101, 52));
    EXPECT_EQ(a.getMouse(), KvPoint(110, 60));
    EXPECT_EQ(KvEventGetMouse(), KvPoint(110, 60));  // the last event, between events
    KvEventSetXFormMouseFct(nullptr);
    EXPECT_EQ(a.getMouse(), KvPoint(10, 10));
    EXPECT_EQ(KvEventGetMouse(), KvPoint(10, 10));
}

// A handler's input comes in the next pass; a window it closes gets nothing more.
TEST_F(Window, HandlersInjectInputForTheNextPassAndCloseWindowsForGood) {
    std::vector<std::string> log;
    LogWindow a(KvRect(0, 0, 100, 100), "A");
    a.log = &log;
    auto* doomed = new KvWindow(KvRect(0, 0, 10, 10));
    KvWindow trigger(KvRect(0, 0, 10, 10));
    KvFunctionLink closeAndPress([&](const void*) {
        delete doomed;
        doomed = nullptr;
        backend.keyDown(2);
    });
    trigger.mouseDownSetLink(&closeAndPress);
    int late = 0;
    KvFunctionLink count([&](const void*) { ++late; });
    doomed->mouseUpSetLink(&count);
    backend.mouseDown({0, 0}, &trigger);
    backend.mouseUp({0, 0}, doomed);
    backend.keyDown(9, &a);
    app->pass();
    EXPECT_TRUE(doomed == nullptr && late == 0);
    EXPECT_EQ(log, (std::vector<std::string>{"A keyDown 9"}));
    EXPECT_EQ(backend.pendingEvents(), 1);
    app->pass();
    EXPECT_EQ(log, (std::vector<std::string>{"A keyDown 9", "A keyDown 2"}));
}

TEST_F(Window, WithNoActiveWindowUntargetedInputIsDropped) {
    KvWindow a(KvRect(0, 0, 10, 10));
    auto* w = new KvWindow(KvRect(0, 0, 10, 10));
    int downs = 0;
    KvFunctionLink count([&](const void*) { ++downs; });
    w->mouseDownSetLink(&count);
    backend.activate(w);
    app->pass();
    ASSERT_EQ(KvWindow::activeWindow, w);
    backend.post(KvEventRecord{KvEventType::deactivated, {}, 0, KvRect::zero}, w);
    backend.mouseDown({1, 1});
    app->pass();
    EXPECT_EQ(KvWindow::activeWindow, nullptr);
    EXPECT_EQ(downs, 0);
    backend.mouseDown({1, 1}, w);
    app->pass();
    EXPECT_EQ(downs, 1);
    backend.activate(w);
    app->pass();
    delete w;  // closing the active window leaves none active
    EXPECT_EQ(KvWindow::activeWindow, nullptr);
    EXPECT_TRUE(KvWindow::isOpen(&a));
}

// Each event's link is called by the base virtual with the link's stored
// argument, and only that link; a cleared link is called no more.
TEST_F(Window, EachEventCallsItsOwnLinkWithItsStoredArgument) {
    KvWindow w(KvRect(0, 0, 50, 50));
    std::vector<int> calls, expected;
    int tags[kKvEventTypeCount];
    for (int i = 0; i < kKvEventTypeCount; ++i) {
        tags[i] = i;
        expected.push_back(i);
        KvFunctionLink l([&calls](const void* a) { calls.push_back(*static_cast<const int*>(a)); }, &tags[i]);
        w.setLink(static_cast<KvEventType>(i), &l);
        EXPECT_NE(w.getLink(static_cast<KvEventType>(i)), &l);  // a clone is kept
    }
    const KvRect area(1, 1, 2, 2);
    const auto everyVirtual = [&] {
        w.activated(), w.close(), w.deactivated(), w.draw(&area), w.keyDown(), w.keyUp(), w.maximized();
        w.minimized(), w.mouseDblClick(), w.mouseDown(), w.mouseMove(), w.mouseUp(), w.moved(), w.restored();
        w.sized();
    };
    everyVirtual();
    EXPECT_EQ(calls, expected);
    w.mouseDownSetLink(nullptr);
    for (int i = 0; i < kKvEventTypeCount; ++i) w.setLink(static_cast<KvEventType>(i), nullptr);
    everyVirtual();
    EXPECT_EQ(calls, expected);
}

TEST_F(Window, NestedDeliveryRestoresTheOuterEvent) {
    KvWindow w(KvRect(0, 0, 50, 50));
    KvPoint before, after;
    int keyAfter = -1;
    KvFunctionLink nested([&](const void*) {
        before = KvEventGetMouse();
        KvEventDispatch(&w, KvEventRecord{KvEventType::mouseMove, {30, 31}, 0, KvRect::zero});
        KvEventDispatch(&w, KvEventRecord{KvEventType::keyDown, {}, 77, KvRect::zero});
        after = KvEventGetMouse();
        keyAfter = KvEventGetKey();
    });
    w.mouseDownSetLink(&nested);
    backend.keyUp(5);
    backend.mouseDown({3, 4});
    app->pass();
    EXPECT_EQ(before, KvPoint(3, 4));
    EXPECT_EQ(after, KvPoint(3, 4));
    EXPECT_EQ(keyAfter, 5);
}

using Screen = HeadlessTest;

// The presents so far, the last area presented and, in hex, the screen's
// pixels (0, 0), (1, 1), (2, 1), (3, 2), (4, 2) and (5, 5).
std::string screenOf(KvHeadlessWindow* hw) {
    std::ostringstream out;
    const KvRect a = hw->getLastPresentArea();
    out << hw->getPresentCount() << " (" << a.left << "," << a.top << "," << a.right << "," << a.bottom << ")"
        << std::hex;
    for (const KvPoint p : {KvPoint(0, 0), KvPoint(1, 1), KvPoint(2, 1), KvPoint(3, 2), KvPoint(4, 2), KvPoint(5, 5)})
        out << " " << hw->screenPixel(p.x, p.y);
    return out.str();
}

// A pixel written through the canvas is presented at once (a later present
// leaves the rest of the screen alone); memory written directly shows only
// where presented, clipped to the canvas.
TEST_F(Screen, WritesThroughTheCanvasArePresentedAndDirectOnesWhenAsked) {
    KvWindow w(KvRect(0, 0, 16, 8));
    KvWndCanvas* c = w.getCanvas();
    KvHeadlessWindow* hw = backend.windowOf(&w);
    EXPECT_FALSE(hw->display().isValid());  // nothing shown yet
    c->setPixel(3, 2, 0x7C00);
    c->setPixel(99, 99, 1);  // outside: no write, no present
    EXPECT_EQ(screenOf(hw), "1 (3,2,4,3) 0 0 0 7c00 0 0");
    c->setPixel(5, 5, 0x03E0);
    EXPECT_EQ(screenOf(hw), "2 (5,5,6,6) 0 0 0 7c00 0 3e0");
    unsigned char* bits = nullptr;
    int pitch = 0;
    ASSERT_TRUE(c->getPointerToMemory(&bits, &pitch));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) reinterpret_cast<uint16_t*>(bits + y * pitch)[x] = 0x1234;
    c->releasePointerToMemory();
    c->present(KvRect(2, 1, 4, 3));
    c->present(KvRect(-10, -10, -1, -1));  // nothing of the canvas: not presented
    EXPECT_EQ(screenOf(hw), "3 (2,1,4,3) 0 0 1234 1234 0 3e0");
    c->present(KvRect(-5, -5, 100, 100));
    EXPECT_EQ(screenOf(hw), "4 (0,0,16,8) 1234 1234 1234 1234 1234 1234");
}

TEST_F(Screen, PaletteChangesOfAnIndexedScreenArePresented) {
    backend.setDisplayDepth(8);
    KvWindow w(KvRect(0, 0, 4, 4));
    KvHeadlessWindow* hw = backend.windowOf(&w);
    KvColor pal[256];
    pal[0] = KvColor::fromBytes(10, 20, 30);
    w.getCanvas()->setPalette(pal, true);
    EXPECT_EQ(hw->getPresentCount(), 1);
    EXPECT_EQ(hw->screenColor(2, 2), KvColor::fromBytes(10, 20, 30));
}

TEST_F(Screen, AttachToFlipChainNeedsAMatchingBackBuffer) {
    KvWindow w(KvRect(0, 0, 32, 16));
    KvWndCanvas* c = w.getCanvas();
    KvMemCanvas wrongSize(32, 15, 16, 2), wrongDepth(32, 16, 32, 2), wrongFormat(32, 16, 15, 2),
        bottomUp(32, 16, 16, 2, true), good(32, 16, 16, 2), other(32, 16, 16, 2);
    for (KvCanvas* bad : std::initializer_list<KvCanvas*>{nullptr, c, &wrongSize, &wrongDepth, &wrongFormat, &bottomUp})
        EXPECT_EQ(c->attachToFlipChain(bad), 0);
    EXPECT_EQ(c->flip(), 0);  // no back buffer
    EXPECT_EQ(c->attachToFlipChain(&good), 1);
    EXPECT_EQ(c->attachToFlipChain(&good), 1);
    EXPECT_EQ(c->attachToFlipChain(&other), 0);  // one back buffer at a time
    EXPECT_EQ(c->getBackBuffer(), &good);
    EXPECT_EQ(c->detachFromFlipChain(&other), 0);
    EXPECT_EQ(c->detachFromFlipChain(&good), 1);
    EXPECT_EQ(c->getBackBuffer(), nullptr);
    EXPECT_EQ(c->attachToFlipChain(&other), 1);
    c->detachFromFlipChain(&other);
}

TEST_F(Screen, FlipShowsTheBackAndHandsTheOldFrontToTheBackBuffer) {
    KvWindow w(KvRect(0, 0, 8, 8));
    KvWndCanvas* front = w.getCanvas();
    KvHeadlessWindow* hw = backend.windowOf(&w);
    KvMemCanvas back(8, 8, 16, 2);
    ASSERT_EQ(front->attachToFlipChain(&back), 1);
    // Pixels (1, 1), (2, 2) and (6, 6) of the screen, the front and the back canvas.
    const auto seen = [&] {
        std::ostringstream out;
        out << std::hex << "presents " << hw->getPresentCount();
        for (const KvPoint p : {KvPoint(1, 1), KvPoint(2, 2), KvPoint(6, 6)})
            out << " " << hw->screenPixel(p.x, p.y) << "/" << front->getPixel(p.x, p.y) << "/"
                << back.getPixel(p.x, p.y);
        return out.str();
    };
    front->setPixel(1, 1, 0x1111);  // the picture on screen now
    back.setPixel(6, 6, 0x2222);    // the next picture, drawn off screen
    hw->resetPresentCount();
    EXPECT_EQ(seen(), "presents 0 1111/1111/0 0/0/0 0/0/2222");
    EXPECT_EQ(front->flip(), 1);
    EXPECT_EQ(hw->getLastPresentArea(), KvRect(0, 0, 8, 8));
    EXPECT_EQ(seen(), "presents 1 0/0/1111 0/0/0 2222/2222/0");
    back.setPixel(2, 2, 0x3333);  // drawing continues into the back canvas object
    EXPECT_EQ(front->flip(), 1);
    EXPECT_EQ(seen(), "presents 2 1111/1111/0 3333/3333/0 0/0/2222");
    front->detachFromFlipChain(&back);
}

// Only canvas depths are display depths; a window's canvas takes the one of
// its opening.
TEST_F(Screen, CanvasFollowsTheDisplayDepthAtOpening) {
    EXPECT_EQ(KvSysNumColors(), 16);
    const std::pair<int, unsigned short> cases[] = {
        {8, kKvFormatIndexed}, {15, kKvFormat555}, {16, kKvFormat565}, {24, kKvFormat888}, {32, kKvFormat8888}};
    for (const auto& [depth, format] : cases) {
        EXPECT_TRUE(backend.setDisplayDepth(depth));
        EXPECT_EQ(KvSysNumColors(0), depth);
        KvWindow w(KvRect(0, 0, 3, 3));
        EXPECT_EQ(w.getCanvas()->getFormat(), format) << depth;
        w.getCanvas()->setPixel(2, 2, 0xAB);
        EXPECT_EQ(backend.windowOf(&w)->screenPixel(2, 2), 0xABu) << depth;
    }
    for (int bad : {0, 1, 4, 12, 17, 64, -16})
        EXPECT_FALSE(backend.setDisplayDepth(bad) || KvSysNumColors() != 32) << bad;
}

std::vector<std::string> calls;

class LogCursor : public KvCursor {
public:
    explicit LogCursor(const char* t) : tag(t) {}

private:
    void set(KvWndCanvas* c) override {
        calls.push_back(std::string(tag) + " set" + (c == getCanvas() ? "" : " ?"));
    }
    void unInstall() override { calls.push_back(std::string(tag) + " unInstall"); }
    void vActivate() override { calls.push_back(std::string(tag) + " activate"); }
    void vDeactivate() override { calls.push_back(std::string(tag) + " deactivate"); }
    void vHide() override { calls.push_back(std::string(tag) + " hide"); }
    void vShow() override { calls.push_back(std::string(tag) + " show"); }
    const char* tag;
};

using Cursor = HeadlessTest;

// The scripts of golden/cursor-scripts.txt over windows A and B (A opened
// first, so active) and cursors a and b: "A:a" sets a on A's canvas ("A:-"
// sets none), "hide" and "show" act globally, ">B" activates B for a pass,
// "~a" or "~A" destroys a cursor or a window, and "?" writes who holds what.
TEST_F(Cursor, ScriptsTellEachCursorWhatHappensToItOnce) {
    const GoldenSections cases = goldenSections("framework/golden/cursor-scripts.txt");
    ASSERT_EQ(cases.size(), 4u);
    for (const auto& [script, want] : cases) {
        calls.clear();
        std::unique_ptr<KvWindow> windows[2] = {std::make_unique<KvWindow>(KvRect(0, 0, 64, 64)),
                                                std::make_unique<KvWindow>(KvRect(0, 0, 8, 8))};
        std::unique_ptr<LogCursor> cursors[2] = {std::make_unique<LogCursor>("a"), std::make_unique<LogCursor>("b")};
        const auto name = [&](const KvCursor* c) {
            for (int i = 0; i < 2; ++i)
                if (c && c == cursors[i].get()) return char('a' + i);
            return c ? '?' : '-';
        };
        const auto holder = [&](const KvWndCanvas* c) {
            for (int i = 0; i < 2; ++i)
                if (c && windows[i] && c == windows[i]->getCanvas()) return char('A' + i);
            return c ? '?' : '-';
        };
        std::istringstream words(script);
        for (std::string w; words >> w;) {
            if (w == "hide" || w == "show") {
                (w == "hide") ? KvCursor::hide() : KvCursor::show();
            } else if (w == "?") {
                std::ostringstream state;
                state << "? now " << name(KvCursor::getCurrent()) << " hidden " << KvCursor::hidden;
                for (int i = 0; i < 2; ++i) {
                    if (windows[i]) state << " " << char('A' + i) << ":" << name(windows[i]->getCanvas()->getCursor());
                    if (cursors[i]) state << " " << char('a' + i) << "@" << holder(cursors[i]->getCanvas());
                }
                calls.push_back(state.str());
            } else if (w[0] == '>') {
                backend.activate(windows[w[1] - 'A'].get());
                app->pass();
            } else if (w[0] == '~') {
                (w[1] >= 'a' ? cursors[w[1] - 'a'].reset() : windows[w[1] - 'A'].reset());
            } else {
                windows[w[0] - 'A']->getCanvas()->setCursor(w[2] == '-' ? nullptr : cursors[w[2] - 'a'].get());
            }
        }
        EXPECT_EQ(calls, want) << script;
        for (auto& w : windows) w.reset();  // before the cursors they may hold
    }
}

// The base cursor is the system pointer, whose visibility is told to the
// active window only.
TEST_F(Cursor, TheBaseCursorIsTheSystemPointerRecordedOnTheActiveWindow) {
    KvWindow w(KvRect(0, 0, 8, 8));
    KvHeadlessWindow* hw = backend.windowOf(&w);
    ASSERT_NE(hw, nullptr);
    EXPECT_TRUE(hw->isSystemPointerVisible());
    KvCursor arrow;
    KvCursor::hide();
    w.getCanvas()->setCursor(&arrow);  // pointers hidden: stays hidden
    EXPECT_FALSE(hw->isSystemPointerVisible());
    KvCursor::show();
    EXPECT_TRUE(hw->isSystemPointerVisible());
    w.getCanvas()->setCursor(nullptr);
    KvCursor::scSetVisible(0);
    EXPECT_FALSE(hw->isSystemPointerVisible());
    const int told = hw->getPointerVisibilityCalls();
    backend.post(KvEventRecord{KvEventType::deactivated, {}, 0, KvRect::zero}, &w);
    app->pass();
    KvCursor::scSetVisible(1);  // no active window: nobody to tell
    EXPECT_EQ(hw->getPointerVisibilityCalls(), told);
}

// A window of the recordings' size whose log says "pass clock what".
struct NoteWindow : LogWindow {
    explicit NoteWindow(std::vector<std::string>& notes) : LogWindow(KvRect(0, 0, 64, 48), "") {
        log = &notes;
        stamp = [] {
            return std::to_string(KvApp::theApp->getPassCount()) + " " + std::to_string(KvSysMilliSecCount());
        };
    }
};

std::string readAll(std::FILE* f) {
    std::string text(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    return text.substr(0, std::fread(text.data(), 1, text.size(), f));
}

TEST(KvRecording, AReplayDeliversWhatWasRecordedOnTheRecordedClockThenTheClockGoesOn) {
    std::vector<std::string> live, replayed;
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        KvHeadlessBackend headless;
        headless.setStepPerPass(7);
        KvRecordingBackend recorder(&headless, file, 64, 48, 16, 1234);
        KvBackend::install(&recorder);
        KvApp app;
        NoteWindow w(live);
        app.pass();
        headless.mouseMove({3, 4}, &w);
        headless.mouseDown({5, 6}, &w);
        app.pass();
        headless.advance(100);  // a slow pass
        app.pass();
        headless.keyDown(65, &w);
        app.pass();
        headless.post(KvEventRecord{KvEventType::close, {}, 0, KvRect::zero}, &w);
        app.pass();
        KvBackend::install(nullptr);
    }
    KvRecording recording;
    std::string error;
    ASSERT_TRUE(recording.parse(readAll(file), error)) << error;
    std::fclose(file);
    EXPECT_EQ(recording.seed, 1234u);
    EXPECT_EQ(recording.width, 64);
    ASSERT_EQ(recording.passes.size(), 5u);
    {
        KvHeadlessBackend headless;  // its own clock starts elsewhere and steps by 10
        headless.setTime(50000);
        KvReplayBackend replay(&headless, recording);
        KvBackend::install(&replay);
        KvApp app;
        NoteWindow w(replayed);
        replay.setTarget(&w);
        headless.keyDown(66, &w);  // live input is not part of a replay
        for (int i = 0; i < 5; ++i) app.pass();
        EXPECT_TRUE(replay.finished());
        const unsigned long last = KvSysMilliSecCount();
        app.pass();
        EXPECT_EQ(KvSysMilliSecCount(), last + 10);  // on at the inner backend's pace
        KvBackend::install(nullptr);
    }
    EXPECT_EQ(live, (std::vector<std::string>{"2 1014 mouseMove 3,4", "2 1014 mouseDown 5,6", "4 1128 keyDown 65",
                                              "5 1135 close"}));
    EXPECT_EQ(replayed, live);
}

// Sprites that ask where the pointer is (a cursor made after the last move)
// must find it where the person left it, whatever the live pointer does.
TEST(KvRecording, AReplayedWindowsPointerIsTheRecordedOneUntilTheRecordingEnds) {
    KvRecording recording;
    std::string error;
    ASSERT_TRUE(recording.parse("qrn-recording 1\nwindow 64 48 16\nseed 1\nstart 0\npass 1 10\npass 2 20\n"
                                "mouseMove 3 4\npass 3 30\nmouseDown 7 8\npass 4 40\n",
                                error))
        << error;
    KvHeadlessBackend headless;
    KvReplayBackend replay(&headless, recording);
    KvBackend::install(&replay);
    {
        KvApp app;
        std::vector<std::string> notes;
        NoteWindow w(notes);
        replay.setTarget(&w);
        headless.windowOf(&w)->setPointer(KvPoint(30, 40));
        std::vector<KvPoint> seen;
        for (int i = 0; i < 5; ++i) {
            app.pass();
            headless.mouseMove(KvPoint(50 + i, 40));  // live input, held back while the recording lasts
            seen.push_back(w.getMouse(nullptr));
        }
        EXPECT_EQ(seen, (std::vector<KvPoint>{{30, 40}, {3, 4}, {7, 8}, {7, 8}, {53, 40}}));
    }
    KvBackend::install(nullptr);
}

TEST(KvRecording, MalformedRecordingsAreRefusedWithTheLineAndWhatWasExpected) {
    const GoldenSections cases = goldenSections("framework/golden/recordings-refused.txt");
    ASSERT_EQ(cases.size(), 18u);
    for (const auto& [want, lines] : cases) {
        std::string text, error;
        for (const std::string& line : lines) text += line + "\n";
        KvRecording r;
        EXPECT_FALSE(r.parse(text, error)) << text;
        EXPECT_EQ(error.substr(0, want.size()), want) << text;
        EXPECT_TRUE(r.passes.empty());
    }
    const std::string head = "qrn-recording 1\nwindow 64 48 16\nseed 1\nstart 1000\n";
    // A billion events would not fit in memory: the count is refused at the
    // line past the limit, before it is kept.
    KvRecording r;
    std::string error;
    const std::string three = head + "pass 1 1010\nclose\npass 2 1020\n";
    EXPECT_TRUE(r.parse(three, error, 3)) << error;
    EXPECT_FALSE(r.parse(three + "close\n", error, 3));
    EXPECT_EQ(error, "8: more than 3 passes and events");
    EXPECT_TRUE(r.passes.empty());
    EXPECT_TRUE(r.parse(head + "# a comment\n\npass 3 1010\r\nmouseUp -4 7\n", error)) << error;
    ASSERT_EQ(r.passes.size(), 1u);
    EXPECT_EQ(r.passes[0].events[0].mouse.y, 7);
}

TEST(KvRecording, EveryKindOfEventLineReadsBackAsItsEvent) {
    const struct { const char* line; KvEventType type; KvPoint mouse; int key; } cases[] = {
        {"mouseDown 1 -2", KvEventType::mouseDown, {1, -2}, 0},   {"mouseUp 3 4", KvEventType::mouseUp, {3, 4}, 0},
        {"mouseMove 5 6", KvEventType::mouseMove, {5, 6}, 0},     {"mouseDblClick 7 8", KvEventType::mouseDblClick, {7, 8}, 0},
        {"keyDown 65", KvEventType::keyDown, {0, 0}, 65},         {"keyUp 66", KvEventType::keyUp, {0, 0}, 66},
        {"activated", KvEventType::activated, {0, 0}, 0},         {"deactivated", KvEventType::deactivated, {0, 0}, 0},
        {"close", KvEventType::close, {0, 0}, 0},
    };
    std::string text = "qrn-recording 1\nwindow 64 48 16\nseed 1\nstart 0\npass 1 10\n", error;
    for (const auto& c : cases) text += std::string("\t") + c.line + "\n";
    KvRecording r;
    ASSERT_TRUE(r.parse(text, error)) << error;
    ASSERT_EQ(r.passes.at(0).events.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const KvEventRecord& e = r.passes[0].events[i];
        EXPECT_TRUE(e.type == cases[i].type && e.mouse == cases[i].mouse && e.key == cases[i].key) << cases[i].line;
    }
}

}  // namespace

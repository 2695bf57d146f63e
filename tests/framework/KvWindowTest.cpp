// Windows and event delivery: injected input reaches the right window's
// virtuals in order, with the event's pointer position (transformed) and key;
// event links; the active window.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/WindowFixture.h"
#include "framework/KvWindow.h"
#include "framework/KvWndCanvas.h"

namespace {

// Records every virtual with what KvEventGetMouse/KvEventGetKey say during it.
class LogWindow : public KvWindow {
public:
    LogWindow(const KvRect& r, const char* tag) : KvWindow(r), tag(tag) {}
    std::vector<std::string>* log = nullptr;

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
        if (log) log->push_back(std::string(tag) + " " + s);
    }
    const char* tag;
};

void shiftBy100And50(KvPoint& p) {
    p.x += 100;
    p.y += 50;
}

}  // namespace

using Window = HeadlessTest;

TEST_F(Window, CanvasIsTheWindowSizeAtDisplayDepth) {
    backend.setDisplayDepth(32);
    KvWindow w(KvRect(10, 20, 330, 260), 3);
    ASSERT_NE(w.getCanvas(), nullptr);
    EXPECT_EQ(w.getCanvas()->getWidth(), 320);
    EXPECT_EQ(w.getCanvas()->getHeight(), 240);
    EXPECT_EQ(w.getCanvas()->getDepth(), 32);
    EXPECT_TRUE(w.getCanvas()->isTopDown());
    EXPECT_EQ(w.getCanvas()->getWindow(), &w);
    EXPECT_EQ(w.getRect(), KvRect(10, 20, 330, 260));
    EXPECT_EQ(w.getRectType(), kKvRectIsClient);
    KvHeadlessWindow* hw = backend.windowOf(&w);
    ASSERT_NE(hw, nullptr);
    EXPECT_EQ(hw, w.getBackendWindow());
    EXPECT_EQ(hw->getStyle(), 3);
    EXPECT_EQ(hw->getOpenRect(), w.getRect());
    w.setTitle("Demo");
    EXPECT_STREQ(hw->getTitle(), "Demo");
}

// A (opened first, so active) and B log their virtuals; the events are
// queued, then one pass delivers them all.
TEST_F(Window, QueuedEventsReachTheirWindowsInOrderInTheNextPass) {
    using Post = std::function<void(KvHeadlessBackend&, KvWindow& a, std::unique_ptr<LogWindow>& b)>;
    const KvEventRecord deactivate{KvEventType::deactivated, {}, 0, KvRect::zero};
    const struct {
        const char* what;
        Post post;
        std::vector<std::string> want;
    } cases[] = {
        {"untargeted input goes to the active window",
         [](auto& be, auto&, auto&) {
             be.mouseMove({5, 6});
             be.mouseDown({7, 8});
             be.keyDown(65);
             be.mouseUp({9, 10});
             be.mouseDblClick({11, 12});
             be.keyUp(65);
         },
         {"A mouseMove 5,6", "A mouseDown 7,8", "A keyDown 65", "A mouseUp 9,10", "A mouseDblClick 11,12",
          "A keyUp 65"}},
        {"activation deactivates the previous window first; the active one is not activated again",
         [&](auto& be, auto& a, auto& b) {
             be.activate(b.get());
             be.activate(b.get());
             be.activate(&a);
             be.post(deactivate, b.get());  // not active: dropped
         },
         {"A deactivated", "B activated", "B deactivated", "A activated"}},
        {"draw, moved and sized; the canvas keeps its size",
         [](auto& be, auto&, auto&) {
             be.post(KvEventRecord{KvEventType::draw, {}, 0, KvRect(5, 6, 20, 20)});
             be.post(KvEventRecord{KvEventType::draw, {}, 0, KvRect::zero});
             be.post(KvEventRecord{KvEventType::moved, {}, 0, KvRect(40, 50, 140, 150)});
             be.post(KvEventRecord{KvEventType::sized, {}, 0, KvRect(40, 50, 200, 170)});
         },
         {"A draw 5,6", "A draw all", "A moved 40,50,140,150 canvas 100", "A sized 40,50,200,170 canvas 100"}},
        {"events for a closed window are dropped",
         [](auto& be, auto& a, auto& b) {
             be.mouseDown({1, 1}, b.get());
             be.mouseUp({1, 1}, b.get());
             be.keyDown(3, &a);
             b.reset();
         },
         {"A keyDown 3"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> log;
        LogWindow a(KvRect(0, 0, 100, 100), "A");
        auto b = std::make_unique<LogWindow>(KvRect(0, 0, 50, 50), "B");
        a.log = b->log = &log;
        ASSERT_EQ(KvWindow::activeWindow, &a) << c.what;
        c.post(backend, a, b);
        EXPECT_TRUE(log.empty()) << c.what;
        app->pass();
        EXPECT_EQ(log, c.want) << c.what;
        EXPECT_EQ(backend.pendingEvents(), 0) << c.what;
        EXPECT_EQ(KvWindow::activeWindow, &a) << c.what;
    }
}

TEST_F(Window, NamedTargetsAndThePointerFollowingMoves) {
    std::vector<std::string> log;
    LogWindow a(KvRect(0, 0, 100, 100), "A");
    LogWindow b(KvRect(200, 0, 300, 100), "B");
    a.log = b.log = &log;
    EXPECT_EQ(KvWindow::activeWindow, &a);  // the first window opened
    backend.mouseMove({1, 2}, &b);
    backend.mouseDown({3, 4});
    app->pass();
    EXPECT_EQ(log, (std::vector<std::string>{"B mouseMove 1,2", "A mouseDown 3,4"}));
    EXPECT_EQ(b.getMouse(), KvPoint(1, 2));
    EXPECT_EQ(a.getMouse(), KvPoint(3, 4));
    KvPoint out;
    EXPECT_EQ(b.getMouse(&out), KvPoint(1, 2));
    EXPECT_EQ(out, KvPoint(1, 2));
}

TEST_F(Window, TransformAppliesToEventsAndGetMouse) {
    std::vector<std::string> log;
    LogWindow w(KvRect(0, 0, 100, 100), "W");
    w.log = &log;
    KvEventSetXFormMouseFct(shiftBy100And50);
    EXPECT_EQ(KvEventGetXFormMouseFct(), &shiftBy100And50);
    backend.mouseDown({10, 10});
    app->pass();
    EXPECT_EQ(log.back(), "W mouseDown 110,60");
    EXPECT_EQ(w.getMouse(), KvPoint(110, 60));
    EXPECT_EQ(KvEventGetMouse(), KvPoint(110, 60));  // the last event, between events
    KvEventSetXFormMouseFct(nullptr);
    EXPECT_EQ(w.getMouse(), KvPoint(10, 10));
    EXPECT_EQ(KvEventGetMouse(), KvPoint(10, 10));
}

TEST_F(Window, HandlersInjectingInputSeeItInTheNextPass) {
    std::vector<std::string> log;
    LogWindow w(KvRect(0, 0, 100, 100), "W");
    w.log = &log;
    // A second window whose mouse-up link presses a key on the active window (w).
    KvFunctionLink again([&](const void*) { backend.keyDown(2); });
    KvWindow plain(KvRect(0, 0, 10, 10));
    plain.mouseUpSetLink(&again);
    backend.mouseUp({1, 1}, &plain);
    app->pass();
    EXPECT_EQ(backend.pendingEvents(), 1);
    EXPECT_TRUE(log.empty());
    app->pass();
    EXPECT_EQ(log, (std::vector<std::string>{"W keyDown 2"}));
}

TEST_F(Window, AWindowClosedByAnEarlierHandlerGetsNothingMore) {
    std::vector<std::string> log;
    LogWindow a(KvRect(0, 0, 100, 100), "A");
    a.log = &log;
    auto* doomed = new KvWindow(KvRect(0, 0, 10, 10));
    KvFunctionLink closer([&](const void*) {
        delete doomed;
        doomed = nullptr;
    });
    KvWindow trigger(KvRect(0, 0, 10, 10));
    trigger.mouseDownSetLink(&closer);
    int late = 0;
    KvFunctionLink count([&](const void*) { ++late; });
    doomed->mouseUpSetLink(&count);
    backend.mouseDown({0, 0}, &trigger);
    backend.mouseUp({0, 0}, doomed);
    backend.keyDown(9, &a);
    app->pass();
    EXPECT_EQ(doomed, nullptr);
    EXPECT_EQ(late, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"A keyDown 9"}));
}

TEST_F(Window, NoActiveWindowDropsUntargetedInput) {
    auto* w = new KvWindow(KvRect(0, 0, 10, 10));
    int downs = 0;
    KvFunctionLink count([&](const void*) { ++downs; });
    w->mouseDownSetLink(&count);
    backend.post(KvEventRecord{KvEventType::deactivated, {}, 0, KvRect::zero}, w);
    backend.mouseDown({1, 1});
    app->pass();
    EXPECT_EQ(KvWindow::activeWindow, nullptr);
    EXPECT_EQ(downs, 0);
    backend.mouseDown({1, 1}, w);
    app->pass();
    EXPECT_EQ(downs, 1);
    delete w;
}

TEST_F(Window, ClosingTheActiveWindowLeavesNoneActive) {
    KvWindow a(KvRect(0, 0, 10, 10));
    {
        KvWindow b(KvRect(0, 0, 10, 10));
        backend.activate(&b);
        app->pass();
        EXPECT_EQ(KvWindow::activeWindow, &b);
    }
    EXPECT_EQ(KvWindow::activeWindow, nullptr);
    EXPECT_TRUE(KvWindow::isOpen(&a));
}

// Each event's link is called by the base virtual with the link's stored
// argument, and only that link.
TEST_F(Window, EachEventCallsItsOwnLinkWithItsStoredArgument) {
    KvWindow w(KvRect(0, 0, 50, 50));
    std::vector<int> calls;
    int tags[kKvEventTypeCount];
    for (int i = 0; i < kKvEventTypeCount; ++i) {
        tags[i] = i;
        KvFunctionLink l([&calls](const void* a) { calls.push_back(*static_cast<const int*>(a)); },
                         &tags[i]);
        w.setLink(static_cast<KvEventType>(i), &l);
        EXPECT_NE(w.getLink(static_cast<KvEventType>(i)), &l);  // a clone is kept
    }
    const KvRect area(1, 1, 2, 2);
    w.activated();
    w.close();
    w.deactivated();
    w.draw(&area);
    w.keyDown();
    w.keyUp();
    w.maximized();
    w.minimized();
    w.mouseDblClick();
    w.mouseDown();
    w.mouseMove();
    w.mouseUp();
    w.moved();
    w.restored();
    w.sized();
    std::vector<int> expected;
    for (int i = 0; i < kKvEventTypeCount; ++i) expected.push_back(i);
    EXPECT_EQ(calls, expected);
}

TEST_F(Window, NamedLinkSettersAndClearing) {
    KvWindow w(KvRect(0, 0, 50, 50));
    int downs = 0;
    KvFunctionLink l([&](const void*) { ++downs; });
    w.mouseDownSetLink(&l);
    EXPECT_NE(w.getLink(KvEventType::mouseDown), nullptr);
    EXPECT_EQ(w.getLink(KvEventType::mouseUp), nullptr);
    backend.mouseDown({1, 1});
    backend.mouseUp({1, 1});  // no link: nothing happens
    app->pass();
    EXPECT_EQ(downs, 1);
    w.mouseDownSetLink(nullptr);
    EXPECT_EQ(w.getLink(KvEventType::mouseDown), nullptr);
    backend.mouseDown({1, 1});
    app->pass();
    EXPECT_EQ(downs, 1);
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

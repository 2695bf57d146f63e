// Windows and event delivery: injected input reaches the right window's
// virtuals in order, with the event's pointer position (transformed) and key;
// event links; the active window.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/framework/GoldenText.h"
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
    const KvWndCanvas* c = w.getCanvas();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(KvPoint(c->getWidth(), c->getHeight()), KvPoint(320, 240));
    EXPECT_EQ(c->getDepth(), 32);
    EXPECT_TRUE(c->isTopDown());
    EXPECT_EQ(c->getWindow(), &w);
    EXPECT_EQ(w.getRectType(), kKvRectIsClient);
    KvHeadlessWindow* hw = backend.windowOf(&w);
    ASSERT_NE(hw, nullptr);
    EXPECT_EQ(hw, w.getBackendWindow());
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
    KvEventSetXFormMouseFct(shiftBy100And50);
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

// Cursors: what a window canvas tells its cursor and when, the current
// cursor, global hiding, and the system pointer as the backend records it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/WindowFixture.h"
#include "framework/KvWindow.h"
#include "framework/KvWndCanvas.h"

namespace {

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

using Strings = std::vector<std::string>;

}  // namespace

class Cursor : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        calls.clear();
    }
};

TEST_F(Cursor, SetCursorUninstallsThePreviousAndSetsTheNewEvenFromAnotherCanvas) {
    KvWindow w(KvRect(0, 0, 64, 64)), w2(KvRect(0, 0, 8, 8));
    KvWndCanvas *canvas = w.getCanvas(), *other = w2.getCanvas();
    LogCursor a("a"), b("b");
    EXPECT_EQ(KvCursor::getCurrent(), nullptr);
    canvas->setCursor(&a);
    EXPECT_TRUE(KvCursor::getCurrent() == &a && canvas->getCursor() == &a && a.getCanvas() == canvas);
    canvas->setCursor(&b);
    EXPECT_EQ(a.getCanvas(), nullptr);
    canvas->setCursor(&b);  // already there: no calls
    other->setCursor(&b);
    EXPECT_TRUE(canvas->getCursor() == nullptr && other->getCursor() == &b && KvCursor::getCurrent() == &b);
    other->setCursor(nullptr);
    EXPECT_TRUE(KvCursor::getCurrent() == nullptr && other->getCursor() == nullptr);
    EXPECT_EQ(calls, (Strings{"a set", "a unInstall", "b set", "b unInstall", "b set", "b unInstall"}));
}

TEST_F(Cursor, DestroyedCursorsAndCanvasesForgetEachOther) {
    auto* w = new KvWindow(KvRect(0, 0, 8, 8));
    {
        LogCursor a("a");
        w->getCanvas()->setCursor(&a);
    }
    EXPECT_EQ(w->getCanvas()->getCursor(), nullptr);
    EXPECT_EQ(KvCursor::getCurrent(), nullptr);

    LogCursor b("b");
    w->getCanvas()->setCursor(&b);
    delete w;  // the canvas uninstalls its cursor
    EXPECT_EQ(calls.back(), "b unInstall");
    EXPECT_EQ(b.getCanvas(), nullptr);
    EXPECT_EQ(KvCursor::getCurrent(), nullptr);
}

TEST_F(Cursor, HideAndShowTellTheCurrentCursorOnce) {
    KvWindow w(KvRect(0, 0, 8, 8));
    LogCursor a("a");
    KvCursor::hide();  // no current cursor: only the flag
    EXPECT_EQ(KvCursor::hidden, 1);
    KvCursor::show();
    EXPECT_EQ(KvCursor::hidden, 0);
    EXPECT_TRUE(calls.empty());

    w.getCanvas()->setCursor(&a);
    KvCursor::hide();
    KvCursor::hide();
    KvCursor::show();
    KvCursor::show();
    EXPECT_EQ(calls, (Strings{"a set", "a hide", "a show"}));
}

TEST_F(Cursor, ActivationMovesTheCurrentCursorBetweenWindows) {
    KvWindow w1(KvRect(0, 0, 8, 8)), w2(KvRect(0, 0, 8, 8));
    LogCursor a("a"), b("b");
    w1.getCanvas()->setCursor(&a);
    w2.getCanvas()->setCursor(&b);
    calls.clear();
    backend.activate(&w2);  // w1 was active (opened first), its cursor is not current
    app->pass();
    EXPECT_EQ(calls, Strings{"b activate"});
    backend.activate(&w1);
    app->pass();
    EXPECT_EQ(calls, (Strings{"b activate", "b deactivate", "a activate"}));
    EXPECT_EQ(KvCursor::getCurrent(), &a);
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

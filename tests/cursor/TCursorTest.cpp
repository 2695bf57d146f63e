// Trinket cursors: following injected moves, trading places with the system
// pointer at the corral's edge and when pointers are hidden, never taking a
// click, the hot spot, and leaving the window clean when removed.
#include "cursor/KvTCursor.h"
#include "framework/KvWndCanvas.h"
#include "tests/trinket/TrinketTestSupport.h"

namespace {

// A cursor whose picture is its box in one colour.
class BoxCursor : public KvTCursor {
public:
    BoxCursor(KvTrinketWindow* w, const KvColor& c) : KvTCursor(w), color(c) { trSetRect(0, 0, 6, 6); }
    void trDraw() const override {
        KvCanvas* c = trGetCollector();
        c->fill = true;
        c->outline = false;
        c->fillColor = color;
        c->draw(box());
    }
    KvColor color;
};

}  // namespace

class TCursorTest : public TrinketTest {
protected:
    void SetUp() override {
        TrinketTest::SetUp();
        open();
        cursor = new BoxCursor(window.get(), kBlue);
        installCursor(cursor);
    }
    void TearDown() override {
        installCursor(nullptr);  // before the window deletes the cursor
        TrinketTest::TearDown();
    }
    bool systemPointer() const { return screen()->isSystemPointerVisible(); }

    BoxCursor* cursor = nullptr;  // owned by the window (it stays in the list)
};

TEST_F(TCursorTest, InstallingShowsItAtThePointerAndHidesTheSystemPointer) {
    EXPECT_EQ(window->getCanvas()->getCursor(), cursor);
    EXPECT_NE(window->twCursorMoveGetLink(), nullptr);
    EXPECT_TRUE(cursor->trGetVisible());
    EXPECT_FALSE(systemPointer());
    EXPECT_EQ(cursor->trGetTouchy(), 0);
    EXPECT_EQ(cursor->trGetMovable(), 0);
    EXPECT_EQ(cursor->trGetZ(), 32767);
}

TEST_F(TCursorTest, FollowsInjectedMovesWithItsHotSpot) {
    cursor->setHotSpot(KvPoint(2, 3));
    moveTo(50, 40);
    EXPECT_EQ(cursor->box(), KvRect(48, 37, 54, 43));
    EXPECT_TRUE(shows(48, 37, kBlue));
    EXPECT_TRUE(shows(53, 42, kBlue));
    EXPECT_TRUE(shows(47, 37, kWhite));
    moveTo(10, 100);
    EXPECT_EQ(cursor->box(), KvRect(8, 97, 14, 103));
    EXPECT_TRUE(shows(48, 37, kWhite));
    EXPECT_TRUE(shows(8, 97, kBlue));
}

TEST_F(TCursorTest, OutsideItsCorralTheSystemPointerShowsInstead) {
    moveTo(50, 40);
    moveTo(kW + 20, 40);  // out of the collector
    EXPECT_FALSE(cursor->trGetVisible());
    EXPECT_TRUE(systemPointer());
    moveTo(30, 30);
    EXPECT_TRUE(cursor->trGetVisible());
    EXPECT_FALSE(systemPointer());
    EXPECT_TRUE(shows(30, 30, kBlue));

    cursor->trSetCorral(KvRect(0, 0, 80, 60));
    moveTo(100, 30);
    EXPECT_FALSE(cursor->trGetVisible());
    EXPECT_TRUE(systemPointer());
    EXPECT_TRUE(shows(100, 30, kWhite));
}

TEST_F(TCursorTest, WithPointersHiddenNeitherShows) {
    moveTo(50, 40);
    KvCursor::hide();
    EXPECT_FALSE(cursor->trGetVisible());
    EXPECT_FALSE(systemPointer());
    moveTo(kW + 20, 40);
    moveTo(60, 40);
    EXPECT_FALSE(cursor->trGetVisible());
    EXPECT_FALSE(systemPointer());
    KvCursor::show();
    EXPECT_TRUE(cursor->trGetVisible());
    EXPECT_FALSE(systemPointer());
}

TEST_F(TCursorTest, ANewHotSpotMovesThePictureByAllOfIt) {
    moveTo(50, 40);
    cursor->setHotSpot(KvPoint(4, 4));
    EXPECT_EQ(cursor->box(), KvRect(46, 36, 52, 42));
    cursor->setHotSpot(KvPoint(4, 4));
    EXPECT_EQ(cursor->box(), KvRect(42, 32, 48, 38));
}

TEST_F(TCursorTest, AClickGoesToTheTrinketUnderIt) {
    Swatch* under = add(KvRect(40, 30, 80, 60), kRed);
    CallRecorder log;
    const KvFunctionLink underLink = log.link("swatch"), cursorLink = log.link("cursor");
    under->trMouseDownSetLink(&underLink);
    cursor->trMouseDownSetLink(&cursorLink);
    moveTo(45, 35);
    EXPECT_TRUE(cursor->box().contains(KvPoint(45, 35)));
    backend.mouseDown(KvPoint(45, 35));
    tick();
    EXPECT_EQ(log.joined(), "swatch");
    EXPECT_EQ(window->getCanvas()->getCursor(), cursor);
}

TEST_F(TCursorTest, DeactivationShowsTheSystemPointerAndActivationTheCursorAgain) {
    moveTo(50, 40);
    backend.post(KvEventRecord{KvEventType::deactivated, {}, 0, KvRect::zero});
    tick();
    EXPECT_FALSE(cursor->trGetVisible());
    EXPECT_TRUE(systemPointer());  // exactly one of the two pointers shows
    backend.activate(window.get());
    tick();
    EXPECT_TRUE(cursor->trGetVisible());
    EXPECT_FALSE(systemPointer());
}

TEST_F(TCursorTest, ReplacedItHidesAndLetsGoOfTheWindow) {
    KvTrinket::trSetDefaultBkgdCursor(nullptr, 1);
    EXPECT_EQ(window->getCanvas()->getCursor(), nullptr);
    EXPECT_EQ(window->twCursorMoveGetLink(), nullptr);
    EXPECT_FALSE(cursor->trGetVisible());
}

TEST_F(TCursorTest, DestroyedWhileInstalledItLeavesNoLinkBehind) {
    installCursor(nullptr);
    delete cursor;
    EXPECT_EQ(window->getCanvas()->getCursor(), nullptr);
    EXPECT_EQ(window->twCursorMoveGetLink(), nullptr);
    moveTo(20, 20);  // nothing left to call
    EXPECT_EQ(window->twGetTrinketList().count(), 0);
}

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

TEST_F(TCursorTest, InstalledItFollowsInjectedMovesWithItsHotSpotInPlaceOfTheSystemPointer) {
    EXPECT_EQ(window->getCanvas()->getCursor(), cursor);
    EXPECT_FALSE(systemPointer());
    EXPECT_EQ(cursor->trGetTouchy() + cursor->trGetMovable(), 0);
    EXPECT_EQ(cursor->trGetZ(), 32767);
    cursor->setHotSpot(KvPoint(2, 3));
    moveTo(50, 40);
    EXPECT_EQ(cursor->box(), KvRect(48, 37, 54, 43));
    EXPECT_TRUE(shows(48, 37, kBlue) && shows(53, 42, kBlue) && shows(47, 37, kWhite));
    moveTo(10, 100);
    EXPECT_TRUE(shows(8, 97, kBlue) && shows(48, 37, kWhite));
    cursor->setHotSpot(KvPoint(4, 4));  // moves the picture by all of the new hot spot
    EXPECT_EQ(cursor->box(), KvRect(4, 93, 10, 99));
}

// Outside its corral the system pointer shows instead; with pointers hidden, neither.
TEST_F(TCursorTest, OutsideItsCorralTheSystemPointerShowsInstead) {
    moveTo(50, 40);
    moveTo(kW + 20, 40);  // out of the collector
    EXPECT_FALSE(cursor->trGetVisible());
    EXPECT_TRUE(systemPointer());
    moveTo(30, 30);
    EXPECT_TRUE(cursor->trGetVisible());
    EXPECT_FALSE(systemPointer());
    cursor->trSetCorral(KvRect(0, 0, 80, 60));
    moveTo(100, 30);
    EXPECT_FALSE(cursor->trGetVisible());
    EXPECT_TRUE(systemPointer());
    EXPECT_TRUE(shows(100, 30, kWhite));
    moveTo(50, 40);
    KvCursor::hide();
    moveTo(100, 30);
    moveTo(60, 40);
    EXPECT_FALSE(cursor->trGetVisible() || systemPointer());
    KvCursor::show();
    EXPECT_TRUE(cursor->trGetVisible());
    EXPECT_FALSE(systemPointer());
}

TEST_F(TCursorTest, AClickGoesToTheTrinketUnderIt) {
    Swatch* under = add(KvRect(40, 30, 80, 60), kRed);
    CallRecorder log;
    const KvFunctionLink underLink = log.link("swatch"), cursorLink = log.link("cursor");
    under->trMouseDownSetLink(&underLink);
    cursor->trMouseDownSetLink(&cursorLink);
    moveTo(45, 35);
    press(45, 35);
    EXPECT_EQ(log.joined(), "swatch");
    EXPECT_EQ(window->getCanvas()->getCursor(), cursor);
}

// Exactly one of the two pointers shows: the system one while the window is inactive.
TEST_F(TCursorTest, DeactivationShowsTheSystemPointerAndActivationTheCursorAgain) {
    moveTo(50, 40);
    backend.post(KvEventRecord{KvEventType::deactivated, {}, 0, KvRect::zero});
    tick();
    EXPECT_FALSE(cursor->trGetVisible());
    EXPECT_TRUE(systemPointer());
    backend.activate(window.get());
    tick();
    EXPECT_TRUE(cursor->trGetVisible());
    EXPECT_FALSE(systemPointer());
}

// Replaced, it hides and lets go of the window; destroyed, it leaves no link behind.
TEST_F(TCursorTest, ReplacedOrDestroyedItLetsGoOfTheWindow) {
    KvTrinket::trSetDefaultBkgdCursor(nullptr, 1);
    EXPECT_EQ(window->getCanvas()->getCursor(), nullptr);
    EXPECT_EQ(window->twCursorMoveGetLink(), nullptr);
    EXPECT_FALSE(cursor->trGetVisible());
    installCursor(cursor);
    restoreSwitches();  // the defaults forget it; the canvas still holds it
    delete cursor;
    EXPECT_EQ(window->getCanvas()->getCursor(), nullptr);
    EXPECT_EQ(window->twCursorMoveGetLink(), nullptr);
    moveTo(20, 20);  // nothing left to call
    EXPECT_EQ(window->twGetTrinketList().count(), 0);
}

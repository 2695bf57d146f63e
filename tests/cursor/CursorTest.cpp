// Cursors that are trinkets: a box cursor that follows injected moves and
// trades places with the system pointer (at the corral's edge, when pointers
// are hidden, while the window is inactive), and an animated cursor that
// plays at the pointer. Neither takes a click, and every order in which the
// window, the cursor and its animation go away leaves nothing dangling.
#include "cursor/KvAnimCursor.h"
#include "cursor/KvTCursor.h"
#include "framework/KvWndCanvas.h"
#include "tests/support/AOBuilder.h"
#include "tests/trinket/TrinketTestSupport.h"

namespace {

// A cursor whose picture is its box in one colour.
class BoxCursor : public KvTCursor {
public:
    explicit BoxCursor(KvTrinketWindow* w) : KvTCursor(w) { trSetRect(0, 0, 6, 6); }
    void trDraw() const override {
        KvCanvas* c = trGetCollector();
        c->fill = true;
        c->outline = false;
        c->fillColor = kBlue;
        c->draw(box());
    }
};

KvColor paletteColor(int i) { return KvColor::fromBytes(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)); }

// The palette hook: 256 big-endian red, green, blue words per file.
KvIStream* testPalette(KvIStream*) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 256; ++i)
        for (uint8_t v : {paletteColor(i).r8(), paletteColor(i).g8(), paletteColor(i).b8()}) bytes.insert(bytes.end(), {v, 0});
    return new KvIStreamMemory(std::move(bytes));
}

// Two 5 x 5 frames, colours 1 and 2, looping at 10 frames per second.
KvAnimCursor* blinkingCursor(KvTrinketWindow* w) {
    return new KvAnimCursor(new KvIStreamMemory(aotest::celsInTurn({aotest::solid(5, 5, 1), aotest::solid(5, 5, 2)}, true)), w);
}

}  // namespace

class TCursorTest : public TrinketTest {
protected:
    void SetUp() override {
        TrinketTest::SetUp();
        open();
        installCursor(cursor = new BoxCursor(window.get()));
    }
    void TearDown() override {
        installCursor(nullptr);  // before the window deletes the cursor
        TrinketTest::TearDown();
    }
    // Which pointers the user sees.
    std::string pointers() const {
        const bool box = cursor->trGetVisible(), system = screen()->isSystemPointerVisible();
        return box ? (system ? "both" : "box") : (system ? "system" : "neither");
    }

    BoxCursor* cursor = nullptr;  // owned by the window (it stays in the list)
};

// Nor does it take a click: that goes to the trinket under it.
TEST_F(TCursorTest, InstalledItFollowsInjectedMovesWithItsHotSpotInPlaceOfTheSystemPointer) {
    EXPECT_EQ(window->getCanvas()->getCursor(), cursor);
    EXPECT_EQ(pointers(), "box");
    EXPECT_EQ(cursor->trGetTouchy() + cursor->trGetMovable(), 0);
    EXPECT_EQ(cursor->trGetZ(), 32767);
    Swatch* under = add(KvRect(40, 30, 80, 60), kRed);
    CallRecorder log;
    const KvFunctionLink underLink = log.link("swatch"), cursorLink = log.link("cursor");
    under->trMouseDownSetLink(&underLink);
    cursor->trMouseDownSetLink(&cursorLink);
    cursor->setHotSpot(KvPoint(2, 3));
    moveTo(50, 40);
    EXPECT_EQ(cursor->box(), KvRect(48, 37, 54, 43));
    EXPECT_TRUE(shows(48, 37, kBlue) && shows(53, 42, kBlue) && shows(47, 37, kRed));
    moveTo(10, 100);
    EXPECT_TRUE(shows(8, 97, kBlue) && shows(48, 37, kRed));
    cursor->setHotSpot(KvPoint(4, 4));  // moves the picture by all of the new hot spot
    EXPECT_EQ(cursor->box(), KvRect(4, 93, 10, 99));
    press(45, 35);
    EXPECT_EQ(log.joined(), "swatch");
}

// Outside its corral the system pointer shows instead; with pointers hidden,
// neither; while the window is inactive, the system one.
TEST_F(TCursorTest, ExactlyOnePointerShowsWhereverThePointerIs) {
    enum Step { kMove, kCorral, kHide, kShow, kDeactivate, kActivate };
    const struct {
        Step step;
        int x, y;
        const char* shown;
    } steps[] = {{kMove, 50, 40, "box"},       {kMove, kW + 20, 40, "system"}, {kMove, 30, 30, "box"},
                 {kCorral, 0, 0, "box"},       {kMove, 100, 30, "system"},     {kMove, 50, 40, "box"},
                 {kHide, 0, 0, "neither"},     {kMove, 100, 30, "neither"},    {kMove, 60, 40, "neither"},
                 {kShow, 0, 0, "box"},         {kDeactivate, 0, 0, "system"},  {kActivate, 0, 0, "box"}};
    for (const auto& s : steps) {
        switch (s.step) {
            case kMove: moveTo(s.x, s.y); break;
            case kCorral: cursor->trSetCorral(KvRect(0, 0, 80, 60)); break;
            case kHide: KvCursor::hide(); break;
            case kShow: KvCursor::show(); break;
            case kDeactivate: backend.post(KvEventRecord{KvEventType::deactivated, {}, 0, KvRect::zero}); tick(); break;
            case kActivate: backend.activate(window.get()); tick(); break;
        }
        EXPECT_EQ(pointers(), s.shown) << "step " << &s - steps;
    }
    EXPECT_TRUE(shows(100, 30, kWhite));
}

// Replaced, it hides and lets go of the window; destroyed, it leaves no link behind.
TEST_F(TCursorTest, ReplacedOrDestroyedItLetsGoOfTheWindow) {
    auto letGo = [this] { return !window->getCanvas()->getCursor() && !window->twCursorMoveGetLink(); };
    KvTrinket::trSetDefaultBkgdCursor(nullptr, 1);
    EXPECT_TRUE(letGo() && !cursor->trGetVisible());
    installCursor(cursor);
    restoreSwitches();  // the defaults forget it; the canvas still holds it
    delete cursor;
    EXPECT_TRUE(letGo());
    moveTo(20, 20);  // nothing left to call
    EXPECT_EQ(window->twGetTrinketList().count(), 0);
}

class AnimCursorTest : public TrinketTest {
protected:
    void SetUp() override {
        TrinketTest::SetUp();
        KvAnimation::installPaletteURL(testPalette);
        open();
        installCursor(cursor = blinkingCursor(window.get()));
    }
    void TearDown() override {
        installCursor(nullptr);
        window.reset();
        delete cursor;
        KvAnimation::installPaletteURL(nullptr);
        TrinketTest::TearDown();
    }

    KvAnimCursor* cursor = nullptr;  // owned here, deleted after the window
};

TEST_F(AnimCursorTest, TheAnimationIsTheTrinketThatShowsAndFollowsInjectedMoves) {
    KvAnimation* ao = cursor->getAO();
    ASSERT_NE(ao, nullptr);
    EXPECT_FALSE(window->twGetTrinketList().contains(cursor));
    EXPECT_EQ(window->twGetTrinketList().last(), ao);
    // z, touchy, movable, and the create-visible switch put back after making it
    EXPECT_EQ((std::vector<int>{ao->trGetZ(), ao->trGetTouchy(), ao->trGetMovable(), KvTrinket::getCreateVisible()}),
              (std::vector<int>{32767, 0, 0, 1}));
    EXPECT_EQ(&cursor->box(), &ao->box());
    cursor->setHotSpot(KvPoint(2, 2));
    moveTo(60, 50);
    EXPECT_EQ(ao->box(), KvRect(58, 48, 63, 53));
    moveTo(20, 30);
    EXPECT_TRUE(shows(60, 50, kWhite) && ao->box() == KvRect(18, 28, 23, 33));
    EXPECT_EQ(cursor->trGetCorralNormalization(), 0);
    cursor->trSetCorralNormalization(1);
    EXPECT_EQ(ao->KvTrinket::trGetCorralNormalization(), 1);
}

TEST_F(AnimCursorTest, KeepsPlayingWhileThePointerRestsAndAClickGoesUnderIt) {
    Swatch* under = add(KvRect(50, 40, 90, 70), kRed);
    CallRecorder log;
    const KvFunctionLink hit = log.link("swatch");
    under->trMouseDownSetLink(&hit);
    moveTo(60, 50);
    bool seen[3] = {};
    for (int i = 0; i < 40; ++i, tick())
        for (int index : {1, 2}) seen[index] |= shows(61, 51, paletteColor(index));
    EXPECT_TRUE(seen[1] && seen[2]);
    EXPECT_EQ(cursor->getAO()->box(), KvRect(60, 50, 65, 55));
    press(60, 50);
    EXPECT_EQ(log.joined(), "swatch");
}

// ---- going away, in every order ----

TEST_F(AnimCursorTest, DeletedFirstItTakesItsAnimationAndLinksAlong) {
    installCursor(nullptr);  // the defaults must not name a deleted cursor
    moveTo(60, 50);
    KvAnimation* ao = cursor->getAO();
    window->getCanvas()->setCursor(cursor);
    delete cursor;
    cursor = nullptr;
    EXPECT_TRUE(!window->twGetTrinketList().contains(ao) && !window->getCanvas()->getCursor() && !window->twCursorMoveGetLink());
    moveTo(20, 20);
    EXPECT_TRUE(shows(61, 51, kWhite));
}

// Installed or not, the window going first deletes the animation with its
// other trinkets and leaves an inert cursor.
TEST_F(AnimCursorTest, TheWindowGoingFirstLeavesAnInertCursor) {
    for (bool installed : {true, false}) {
        moveTo(60, 50);
        if (!installed) installCursor(nullptr);
        window.reset();
        EXPECT_TRUE(!cursor->getAO() && !KvCursor::getCurrent() && !cursor->trGetContainer() && !cursor->trGetVisible());
        cursor->setHotSpot(KvPoint(1, 1));  // nothing left to move, nothing touched
        installCursor(nullptr);
        delete cursor;
        open();
        installCursor(cursor = blinkingCursor(window.get()));
    }
}

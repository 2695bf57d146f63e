// Animated cursors: the animation drawn at the pointer and playing while the
// pointer rests, the forwarding to it, and every order in which the window,
// the cursor and its animation can go away.
#include "cursor/KvAnimCursor.h"
#include "framework/KvWndCanvas.h"
#include "tests/support/AOBuilder.h"
#include "tests/trinket/TrinketTestSupport.h"

namespace {

KvColor paletteColor(int i) { return KvColor::fromBytes(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)); }

// The palette hook: 256 big-endian red, green, blue words per file.
KvIStream* testPalette(KvIStream*) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 256; ++i) {
        const KvColor c = paletteColor(i);
        for (uint8_t v : {c.r8(), c.g8(), c.b8()}) bytes.insert(bytes.end(), {v, 0});
    }
    return new KvIStreamMemory(std::move(bytes));
}

// Two 5 x 5 frames, colours 1 and 2, looping at 10 frames per second.
std::vector<unsigned char> blinkingCursor() {
    return aotest::celsInTurn({aotest::solid(5, 5, 1), aotest::solid(5, 5, 2)}, true);
}

}  // namespace

class AnimCursorTest : public TrinketTest {
protected:
    void SetUp() override {
        TrinketTest::SetUp();
        KvAnimation::installPaletteURL(testPalette);
        open();
        cursor = new KvAnimCursor(new KvIStreamMemory(blinkingCursor()), window.get());
        installCursor(cursor);
    }
    void TearDown() override {
        installCursor(nullptr);
        window.reset();
        delete cursor;
        KvAnimation::installPaletteURL(nullptr);
        TrinketTest::TearDown();
    }
    bool showsIndex(int x, int y, int index) const { return shows(x, y, paletteColor(index)); }

    KvAnimCursor* cursor = nullptr;  // owned here, deleted after the window
};

TEST_F(AnimCursorTest, TheAnimationIsTheTrinketThatShowsAndFollowsInjectedMoves) {
    KvAnimation* ao = cursor->getAO();
    ASSERT_NE(ao, nullptr);
    EXPECT_FALSE(window->twGetTrinketList().contains(cursor));
    EXPECT_EQ(window->twGetTrinketList().last(), ao);
    EXPECT_EQ(ao->trGetZ(), 32767);
    EXPECT_EQ(ao->trGetTouchy() + ao->trGetMovable(), 0);
    EXPECT_EQ(&cursor->box(), &ao->box());
    EXPECT_EQ(KvTrinket::getCreateVisible(), 1);  // put back after making ao
    cursor->setHotSpot(KvPoint(2, 2));
    moveTo(60, 50);
    EXPECT_EQ(ao->box(), KvRect(58, 48, 63, 53));
    moveTo(20, 30);
    EXPECT_TRUE(shows(60, 50, kWhite));
    EXPECT_EQ(ao->box(), KvRect(18, 28, 23, 33));
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
    bool sawFirst = false, sawSecond = false;
    for (int i = 0; i < 40; ++i) {
        tick();
        sawFirst |= showsIndex(61, 51, 1);
        sawSecond |= showsIndex(61, 51, 2);
    }
    EXPECT_TRUE(sawFirst && sawSecond);
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
    EXPECT_FALSE(window->twGetTrinketList().contains(ao));
    EXPECT_EQ(window->getCanvas()->getCursor(), nullptr);
    EXPECT_EQ(window->twCursorMoveGetLink(), nullptr);
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
        EXPECT_EQ(cursor->getAO(), nullptr);
        EXPECT_EQ(KvCursor::getCurrent(), nullptr);
        EXPECT_EQ(cursor->trGetContainer(), nullptr);
        EXPECT_EQ(cursor->trGetVisible(), 0);
        cursor->setHotSpot(KvPoint(1, 1));  // nothing left to move, nothing touched
        installCursor(nullptr);
        delete cursor;
        open();
        cursor = new KvAnimCursor(new KvIStreamMemory(blinkingCursor()), window.get());
        installCursor(cursor);
    }
}

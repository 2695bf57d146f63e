// Trinkets on their own: z order and the depth cut, property changes through
// trTouch, the sticky corral, the snap grid, hit testing, focus, copies and
// the script properties.
#include <cstring>

#include "tests/trinket/TrinketTestSupport.h"

using Trinket = TrinketTest;

namespace {

// The window's trinkets from bottom to top, as their colours' red bytes.
std::vector<KvTrinket*> order(KvTrinketWindow* w) {
    std::vector<KvTrinket*> out;
    KvList<KvTrinket>::Cursor walk(w->twGetTrinketList());
    for (KvTrinket* t = walk.first(); t; t = walk.next()) out.push_back(t);
    return out;
}

}  // namespace

// ---- construction ----

TEST_F(Trinket, NewTrinketHasTheDocumentedStartingState) {
    KvTrinketWindow* w = open(200, 100);
    w->twSetTrinketFlags(kTrSuspendFlyOn);
    Swatch* s = add(KvRect::zero, kRed);
    EXPECT_EQ(s->trGetContainer(), w);
    EXPECT_EQ(s->box(), KvRect::zero);
    EXPECT_EQ(s->trGetZ(), 0);
    EXPECT_EQ(s->trGetCorral(), KvRect(0, 0, 200, 100));
    EXPECT_EQ(s->trGetSnapArea(), KvRect::zero);
    EXPECT_EQ(s->trGetLinkMask(), kTrSuspendFlyOn);  // from the window's trinket flags
    EXPECT_EQ(s->trGetCorralNormalization(), 1);
    EXPECT_TRUE(s->trGetVisible() && s->trGetMovable() && s->trGetTouchy());
    EXPECT_FALSE(s->trGetStamped() || s->trGetCorralClip());
    EXPECT_EQ(s->track(), kTrIdle);
    EXPECT_EQ(s->trGetDirtyState(), kTrAllDirty);
    EXPECT_EQ(w->twGetTraverseTrinkets(), 1);
    EXPECT_EQ(s->trGetApparentZ(), 0);

    KvTrinket::setCreateVisible(0);
    Swatch* hidden = add(KvRect(0, 0, 5, 5), kRed);
    EXPECT_EQ(hidden->trGetVisible(), 0);
}

TEST_F(Trinket, WithoutAWindowATrinketHasAZeroSizedCorralAndNoFlags) {
    Swatch s(nullptr, KvRect(0, 0, 5, 5), kRed);
    EXPECT_EQ(s.trGetCorral(), KvRect(0, 0, 0, 0));
    EXPECT_EQ(s.trGetLinkMask(), 0);
}

TEST_F(Trinket, DefaultConstructionUsesTheFirstWindow) {
    KvTrinketWindow* first = open();
    KvTrinketWindow second(KvRect(0, 0, 20, 20), nullptr, 0, -1, -1, 16, 1, 0);
    EXPECT_EQ(KvTrinketWindow::currentWindow, first);
    KvSR record("Swatch", &Swatch::make);
    KvScriptableObject* made = KvScriptableObject::create("Swatch", KvScriptableObject::kKvEndOfParameters);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(static_cast<Swatch*>(made)->trGetContainer(), first);
}

// ---- z order ----

TEST_F(Trinket, EqualZPutsTheLaterOnTopAndTrTopRaisesWithinTheLevel) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 40, 40), kRed);
    Swatch* b = add(KvRect(20, 20, 50, 50), kBlue);
    EXPECT_EQ(order(w), (std::vector<KvTrinket*>{a, b}));
    tick();
    EXPECT_TRUE(shows(30, 30, kBlue));
    a->trTop();
    EXPECT_EQ(order(w), (std::vector<KvTrinket*>{b, a}));
    tick();
    EXPECT_TRUE(shows(30, 30, kRed));
    EXPECT_TRUE(screenShowsScene());
}

TEST_F(Trinket, ZSortsTheListAndClampsOrdinaryValues) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(0, 0, 5, 5), kRed);
    Swatch* b = add(KvRect(0, 0, 5, 5), kGreen);
    Swatch* c = add(KvRect(0, 0, 5, 5), kBlue);
    a->trSetZ(40000);
    EXPECT_EQ(a->trGetZ(), kTrMaxOrdinaryZ);
    c->trSetZ(-3);
    EXPECT_EQ(order(w), (std::vector<KvTrinket*>{c, b, a}));
    EXPECT_EQ(c->trGetApparentZ(), 0);
    EXPECT_EQ(a->trGetApparentZ(), 2);

    // Special positions lie above every ordinary z, in their own order.
    b->trSetSpecialZ(kTrSpecialZ2);
    EXPECT_EQ(b->trGetZ(), 32767);
    c->trSetSpecialZ(kTrSpecialZ0);
    EXPECT_EQ(c->trGetZ(), 32765);
    EXPECT_EQ(order(w), (std::vector<KvTrinket*>{a, c, b}));
    c->trSetSpecialZ(static_cast<KvTSpecialZPos>(7));  // not a position: z kept
    EXPECT_EQ(c->trGetZ(), 32765);
}

TEST_F(Trinket, ZopAndZBottomGoBeyondTheRecordsWhichOnlyGrowOutwards) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(0, 0, 5, 5), kRed);
    Swatch* b = add(KvRect(0, 0, 5, 5), kGreen);
    Swatch* c = add(KvRect(0, 0, 5, 5), kBlue);
    a->trSetZ(7);
    c->trSetZ(-4);
    b->trZop();
    EXPECT_EQ(b->trGetZ(), 8);
    a->trZBottom();
    EXPECT_EQ(a->trGetZ(), -5);
    EXPECT_EQ(order(w), (std::vector<KvTrinket*>{a, c, b}));
    // b goes back to 0: the record stays at 8, so the next trZop gives 9.
    b->trSetZ(0);
    c->trZop();
    EXPECT_EQ(c->trGetZ(), 9);
    // Special z does not move the records.
    a->trSetSpecialZ(kTrSpecialZ1);
    b->trZop();
    EXPECT_EQ(b->trGetZ(), 10);
}

TEST_F(Trinket, TrinketsBelowTheZDepthAreNeitherDrawnNorHit) {
    KvTrinketWindow* w = open();
    Swatch* low = add(KvRect(10, 10, 30, 30), kRed);
    Swatch* high = add(KvRect(40, 10, 60, 30), kBlue);
    high->trSetZ(5);
    w->twSetZDepth(3);
    tick();
    EXPECT_TRUE(shows(20, 20, kWhite));
    EXPECT_TRUE(shows(50, 20, kBlue));
    EXPECT_EQ(low->draws, 0);
    const KvPoint inLow(20, 20);
    EXPECT_EQ(low->trCoverTest(&inLow), 0);

    // Below the cut, changes invalidate nothing.
    w->twClearDirtyRects();
    low->trSetXY(12, 12);
    EXPECT_TRUE(w->twGetDirtyBackRgn().isNull());

    w->twSetZDepth(-40000);
    EXPECT_EQ(w->twGetZDepth(), -32767);
    w->twSetZDepth(40000);
    EXPECT_EQ(w->twGetZDepth(), 32764);
}

// ---- trTouch ----

TEST_F(Trinket, MovingInvalidatesTheOldAreaAndRedrawsAtTheNewOne) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    tick(2);
    w->twClearDirtyRects();
    s->trSetX(50);
    EXPECT_EQ(s->box(), KvRect(50, 10, 70, 30));
    EXPECT_TRUE(w->twGetDirtyBackRgn() == KvRegion(KvRect(10, 10, 30, 30)));
    s->trSetY(40);
    s->trSetXY(60, 45);
    EXPECT_EQ(s->box(), KvRect(60, 45, 80, 65));
    s->trSetXY(60, 45);  // no change: nothing more is invalidated
    tick();
    EXPECT_TRUE(screenShowsScene());
}

TEST_F(Trinket, AZeroBoxInvalidatesNothingAndNeverMoves) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect::zero, kRed);
    w->twClearDirtyRects();
    s->trSetXY(5, 5);
    EXPECT_EQ(s->box(), KvRect::zero);
    int dx = 3, dy = 4;
    s->trOffset(dx, dy);
    EXPECT_EQ(s->box(), KvRect::zero);
    EXPECT_TRUE(w->twGetDirtyBackRgn().isNull());
}

TEST_F(Trinket, SetRectChangesTheBoxWithoutRedrawing) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    tick(2);
    w->twClearDirtyRects();
    const int draws = s->draws;
    s->trSetRect(KvRect(50, 50, 60, 60));
    EXPECT_TRUE(w->twGetDirtyBackRgn().isNull());
    EXPECT_EQ(s->trGetDirtyState(), kTrClean);
    tick();
    EXPECT_EQ(s->draws, draws);
    EXPECT_TRUE(shows(15, 15, kRed));  // the old picture stays until someone invalidates
}

TEST_F(Trinket, FlagsAreStoredAndTouchyOffReleasesTheReceiver) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    s->trFreeze();
    EXPECT_EQ(s->trGetMovable(), 0);
    s->trThaw();
    s->trStamp();
    EXPECT_EQ(s->trGetStamped(), 1);
    s->trUnstamp();
    s->trSetTracking(1, 0);
    EXPECT_EQ(w->twGetEventReceiver(), s);
    s->trSetTouchy(0);
    EXPECT_EQ(w->twGetEventReceiver(), nullptr);
    EXPECT_EQ(s->track(), kTrIdle);
}

// ---- corral ----

TEST_F(Trinket, TheCorralHoldsAtTheEdgeUntilThePointerComesBack) {
    open();
    Swatch* s = add(KvRect(140, 50, 160, 70), kRed);  // touching the right edge (max x 140)
    auto move = [&](int d) {
        int dx = d, dy = 0;
        s->trOffset(dx, dy);
        return s->trGetX();
    };
    EXPECT_EQ(move(30), 140);   // 30 past the edge
    EXPECT_EQ(s->stuck(), 1);
    EXPECT_EQ(move(-10), 140);  // back 10: still held
    EXPECT_EQ(move(-30), 130);  // back 30 more: follows again
    EXPECT_EQ(s->stuck(), 0);
    EXPECT_EQ(move(-200), 0);   // the left edge
    s->trResetEdges();
    EXPECT_EQ(s->stuck(), 0);
}

TEST_F(Trinket, NormalizationCanBeSwitchedOffGloballyOrPerTrinket) {
    open();
    Swatch* s = add(KvRect(140, 50, 160, 70), kRed);
    s->trSetCorralNormalization(0);
    int dx = 30, dy = 0;
    s->trOffset(dx, dy);
    EXPECT_EQ(s->trGetX(), 170);
    s->trSetCorralNormalization(1);
    KvTrinket::setCorralNormalization(0);
    dx = 5;
    s->trOffset(dx, dy);
    EXPECT_EQ(s->trGetX(), 175);
    EXPECT_EQ(dx, 5);
}

// ---- snapping ----

struct SnapCase {
    int spacing, origin, from, to;
};

TEST_F(Trinket, SnapGoesToTheNearestLineAndTheLowerOneOnATie) {
    open();
    KvTrinket::setCorralNormalization(0);
    const SnapCase cases[] = {
        {10, 0, 15, 10},  {10, 0, 16, 20}, {10, 0, 14, 10},  {10, 0, 20, 20},
        {10, 0, -15, -20}, {10, 3, 18, 13}, {10, 3, 19, 23}, {4, 0, 45, 44},
    };
    for (const SnapCase& c : cases) {
        Swatch* s = add(KvRect(c.from, 7, c.from + 10, 17), kRed);
        s->trSetSnapGrid(c.spacing, 0, c.origin, 0);
        s->trSnap();
        EXPECT_EQ(s->trGetX(), c.to) << "spacing " << c.spacing << " origin " << c.origin << " from " << c.from;
        EXPECT_EQ(s->trGetY(), 7) << "y has no spacing";
        delete s;
    }
}

TEST_F(Trinket, SnappingAppliesOnlyWhileTheBoxOverlapsTheSnapArea) {
    open();
    Swatch* s = add(KvRect(15, 15, 25, 25), kRed);
    s->trSetSnapGrid(10, 10, 0, 0);
    s->trSetSnapArea(KvRect(100, 100, 150, 110));
    s->trSnap();
    EXPECT_EQ(s->box(), KvRect(15, 15, 25, 25));
    s->trSetSnapArea(KvRect(20, 20, 30, 30));
    s->trSnap();
    EXPECT_EQ(s->box(), KvRect(10, 10, 20, 20));
}

// ---- hit testing ----

TEST_F(Trinket, CoverTestNeedsTouchyVisibleUnsuspendedAndInside) {
    open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    const KvPoint in(15, 15), out(35, 15), edge(30, 15);
    EXPECT_EQ(s->trCoverTest(&in), 1);
    EXPECT_EQ(s->trCoverTest(&out), 0);
    EXPECT_EQ(s->trCoverTest(&edge), 0);  // right edge is exclusive
    s->trSetTouchy(0);
    EXPECT_EQ(s->trCoverTest(&in), 0);
    s->trSetTouchy(1);
    s->trHide();
    EXPECT_EQ(s->trCoverTest(&in), 0);
    s->trShow();
    s->trSuspendLinks(kTrSuspendMouseDown);
    EXPECT_EQ(s->trCoverTest(&in), 0);
    s->trResumeLinks(kTrSuspendMouseDown);
    EXPECT_EQ(s->trCoverTest(&in), 1);
}

TEST_F(Trinket, TwoRegionResultsCanBeUsedTogether) {
    open();
    Swatch* a = add(KvRect(0, 0, 10, 10), kRed);
    Swatch* b = add(KvRect(5, 5, 15, 15), kRed);
    Swatch* c = add(KvRect(20, 20, 30, 30), kRed);
    const KvRegion& ra = a->region();
    const KvRegion& rb = b->region();
    EXPECT_EQ(ra.bounds(), KvRect(0, 0, 10, 10));
    EXPECT_EQ(rb.bounds(), KvRect(5, 5, 15, 15));
    EXPECT_TRUE(a->overlaps(*b));
    EXPECT_TRUE(a->overlaps(b));
    EXPECT_FALSE(a->overlaps(*c));
    EXPECT_FALSE(a->overlaps(static_cast<const KvTrinket*>(nullptr)));
    EXPECT_TRUE(c->overlaps(KvRect(29, 29, 40, 40)));
    EXPECT_FALSE(c->overlaps(KvRegion(KvRect(30, 30, 40, 40))));
    EXPECT_TRUE(c->covers(KvPoint(20, 29)));
}

// ---- focus ----

TEST_F(Trinket, FocusIsOnePerLibraryAndLosingItCallsTheLink) {
    open();
    Swatch* a = add(KvRect(0, 0, 10, 10), kRed);
    Swatch* b = add(KvRect(0, 0, 10, 10), kRed);
    CallRecorder log;
    const KvFunctionLink lostA = log.link("a lost"), lostB = log.link("b lost");
    a->trLostFocusSetLink(&lostA);
    b->trLostFocusSetLink(&lostB);
    a->trFocus();
    EXPECT_TRUE(a->isInFocus());
    b->trFocus();
    EXPECT_EQ(KvTrinket::trGetFocus(), b);
    b->trFocus();  // again: its own link fires once
    a->trUnfocus();  // not the focus: nothing
    b->trHide();     // hiding keeps the focus
    EXPECT_EQ(KvTrinket::trGetFocus(), b);
    delete b;        // deleting takes it
    EXPECT_EQ(KvTrinket::trGetFocus(), nullptr);
    EXPECT_EQ(log.joined(), "a lost b lost b lost");
}

// ---- copies ----

TEST_F(Trinket, ACopyHasTheStateAndClonedLinksAndJoinsTheWindowUndrawn) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kGreen);
    s->trSetZ(4);
    s->trSetTag(77);
    s->trSetSnapGrid(5, 6, 1, 2);
    s->trSetCorral(KvRect(0, 0, 100, 100));
    s->trFreeze();
    CallRecorder log;
    const KvFunctionLink down = log.link("down");
    s->trMouseDownSetLink(&down);
    tick(2);
    auto* twin = static_cast<Swatch*>(s->copy());
    EXPECT_EQ(twin->box(), s->box());
    EXPECT_EQ(twin->trGetZ(), 4);
    EXPECT_EQ(twin->trGetTag(), 77);
    EXPECT_EQ(twin->trGetCorral(), KvRect(0, 0, 100, 100));
    EXPECT_EQ(twin->trGetMovable(), 0);
    int sx, sy, ox, oy;
    twin->trGetSnapGrid(sx, sy, ox, oy);
    EXPECT_EQ(sx * 1000 + sy * 100 + ox * 10 + oy, 5612);
    EXPECT_EQ(order(w).back(), twin);  // on top of its z level
    EXPECT_NE(twin->trMouseDownGetLink(), s->trMouseDownGetLink());
    twin->mouseDown();
    EXPECT_EQ(log.joined(), "down");
    EXPECT_EQ(twin->trGetDirtyState(), kTrClean);  // like its source: not redrawn
}

// ---- script properties ----

class TrinketScript : public TrinketTest {
protected:
    KvSR record{"Swatch", &Swatch::make};
};

TEST_F(TrinketScript, PropertiesAreRegisteredInOrder) {
    open();
    auto* s = static_cast<Swatch*>(KvScriptableObject::create("Swatch", KvScriptableObject::kKvEndOfParameters));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->propertyNames(),
              (std::vector<std::string>{"born", "mouseDown", "mouseUp", "dblClick", "flyOn", "flyOff",
                                        "place", "offset", "x", "y", "visible", "movable", "z",
                                        "touchy", "tag", "width", "height"}));
    for (const char* event : {"mouseDown", "mouseUp", "dblClick", "flyOn", "flyOff"})
        EXPECT_EQ(s->sobSet(event, static_cast<const KvLink*>(nullptr), nullptr), 1) << event;
    for (const char* method : {"place", "offset"}) EXPECT_EQ(s->sobGet(method), nullptr) << method;
    EXPECT_EQ(s->sobGet("hit"), nullptr);  // "hit" is for clients only
    EXPECT_STREQ(KvTrinket::sKvTHit, "hit");
}

TEST_F(TrinketScript, DataPropertiesReadAndWriteThroughTrTouch) {
    KvTrinketWindow* w = open();
    auto* s = static_cast<Swatch*>(KvScriptableObject::create("Swatch", KvScriptableObject::kKvEndOfParameters));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->sobSet("x", "25"), 1);
    EXPECT_EQ(s->sobSet("y", "-4"), 1);
    EXPECT_EQ(s->box(), KvRect(25, -4, 35, 6));  // placing is not held by the corral
    EXPECT_STREQ(s->sobGet("x"), "25");
    EXPECT_STREQ(s->sobGet("width"), "10");
    EXPECT_STREQ(s->sobGet("height"), "10");
    EXPECT_EQ(s->sobSet("width", "40"), 0);  // read-only
    EXPECT_EQ(KvScriptableObject::lastPropertyError(), sobPropertyFailed);
    struct Row { const char *name, *set, *get; };
    for (const Row& r : {Row{"visible", "0", "0"}, Row{"movable", "0", "0"}, Row{"touchy", "0", "0"},
                         Row{"z", "99999", "32764"}, Row{"tag", "12", "12"}}) {
        EXPECT_EQ(s->sobSet(r.name, r.set), 1) << r.name;
        EXPECT_STREQ(s->sobGet(r.name), r.get) << r.name;
    }
    EXPECT_EQ(s->trGetVisible() + s->trGetMovable() + s->trGetTouchy(), 0);
    EXPECT_EQ(s->trGetTag(), 12);
    s->sobSet("x", "150");
    char info[kTrInfoBufferSize];
    s->sobGetInfo(info);
    EXPECT_STREQ(info, "150 -4 160 6");
    s->sobSet("x", "junk");  // reads as 0, like atoi
    EXPECT_EQ(s->trGetX(), 0);
    EXPECT_EQ(w->twGetTrinketList().count(), 1);
}

TEST_F(TrinketScript, PlaceAndOffsetReadTheirParameters) {
    open();
    auto* s = static_cast<Swatch*>(KvScriptableObject::create("Swatch", KvScriptableObject::kKvEndOfParameters));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->sobPlay("place", "30", "40", KvScriptableObject::kKvEndOfParameters), 1);
    EXPECT_EQ(s->box(), KvRect(30, 40, 40, 50));
    EXPECT_EQ(s->sobPlay("offset", "-5", "7", KvScriptableObject::kKvEndOfParameters), 1);
    EXPECT_EQ(s->box(), KvRect(25, 47, 35, 57));
    EXPECT_EQ(s->sobPlay("offset", "1000", "0", KvScriptableObject::kKvEndOfParameters), 1);
    EXPECT_EQ(s->trGetX(), 150);  // offsets are normalised by the corral
}

TEST_F(TrinketScript, ACloneCallsItsOwnProperties) {
    open();
    auto* s = static_cast<Swatch*>(KvScriptableObject::create("Swatch", KvScriptableObject::kKvEndOfParameters));
    ASSERT_NE(s, nullptr);
    auto* twin = static_cast<Swatch*>(s->copy());
    twin->sobSet("x", "50");
    EXPECT_EQ(twin->trGetX(), 50);
    EXPECT_EQ(s->trGetX(), 0);
    EXPECT_STREQ(twin->isA(), "Swatch");
}

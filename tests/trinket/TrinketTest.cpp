// Trinkets on their own: the starting state, z order, invalidation through
// trTouch, region results, copies and the script property table. Scripts
// drive the properties, snapping, hit testing, the depth cut and the corral
// in golden/.
#include "tests/trinket/TrinketTestSupport.h"

using Trinket = TrinketTest;

namespace {

// The window's trinkets from bottom to top.
std::vector<KvTrinket*> order(KvTrinketWindow* w) {
    std::vector<KvTrinket*> out;
    KvList<KvTrinket>::Cursor walk(w->twGetTrinketList());
    for (KvTrinket* t = walk.first(); t; t = walk.next()) out.push_back(t);
    return out;
}

}  // namespace

TEST_F(Trinket, NewTrinketHasTheDocumentedStartingState) {
    KvTrinketWindow* w = open(200, 100);
    w->twSetTrinketFlags(kTrSuspendFlyOn);
    Swatch* s = add(KvRect::zero, kRed);
    EXPECT_EQ(s->trGetContainer(), w);
    EXPECT_EQ(s->trGetCorral(), KvRect(0, 0, 200, 100));
    EXPECT_EQ(s->trGetSnapArea(), KvRect::zero);
    EXPECT_EQ(s->trGetLinkMask(), kTrSuspendFlyOn);  // from the window's trinket flags
    EXPECT_EQ(s->trGetCorralNormalization(), 1);
    EXPECT_TRUE(s->trGetVisible() && s->trGetMovable() && s->trGetTouchy());
    EXPECT_FALSE(s->trGetStamped() || s->trGetCorralClip());
    EXPECT_EQ(s->track(), kTrIdle);
    EXPECT_EQ(s->trGetDirtyState(), kTrAllDirty);
    KvTrinket::setCreateVisible(0);
    EXPECT_EQ(add(KvRect(0, 0, 5, 5), kRed)->trGetVisible(), 0);
    Swatch orphan(nullptr, KvRect(0, 0, 5, 5), kRed);  // without a window: no corral, no flags
    EXPECT_EQ(orphan.trGetCorral(), KvRect(0, 0, 0, 0));
    EXPECT_EQ(orphan.trGetLinkMask(), 0);
}

TEST_F(Trinket, ScriptCreationUsesTheFirstWindowAndRegistersThePropertiesInOrder) {
    KvTrinketWindow* first = open();
    KvTrinketWindow second(KvRect(0, 0, 20, 20), nullptr, 0, -1, -1, 16, 1, 0);
    EXPECT_EQ(KvTrinketWindow::currentWindow, first);
    KvSR record("Swatch", &Swatch::make);
    auto* made = static_cast<Swatch*>(KvScriptableObject::create("Swatch", KvScriptableObject::kKvEndOfParameters));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->trGetContainer(), first);
    // The property table, in order; "hit" is for clients only.
    EXPECT_EQ(made->propertyNames(),
              (std::vector<std::string>{"born", "mouseDown", "mouseUp", "dblClick", "flyOn", "flyOff", "place", "offset",
                                        "x", "y", "visible", "movable", "z", "touchy", "tag", "width", "height"}));
    EXPECT_EQ(made->sobSet("width", "40"), 0);
    EXPECT_EQ(KvScriptableObject::lastPropertyError(), sobPropertyFailed);
    made->sobSet("x", "150");
    char info[kTrInfoBufferSize];
    made->sobGetInfo(info);
    EXPECT_STREQ(info, "150 0 160 10");
}

// ---- z order ----

// Ordinary z is clamped; special positions lie above it in their own order;
// trZop and trZBottom go past records that only grow outwards.
TEST_F(Trinket, ZSortsTheListAndItsRecordsOnlyGrowOutwards) {
    for (bool special : {true, false}) {
        KvTrinketWindow* w = open();
        Swatch* a = add(KvRect(0, 0, 5, 5), kRed);
        Swatch* b = add(KvRect(0, 0, 5, 5), kGreen);
        Swatch* c = add(KvRect(0, 0, 5, 5), kBlue);
        if (special) {
            a->trSetZ(40000);
            c->trSetZ(-3);
            EXPECT_EQ(order(w), (std::vector<KvTrinket*>{c, b, a}));
            EXPECT_EQ(std::make_pair(a->trGetApparentZ(), a->trGetZ()), std::make_pair(2, 32764));
            b->trSetSpecialZ(kTrSpecialZ2);
            c->trSetSpecialZ(kTrSpecialZ0);
            c->trSetSpecialZ(static_cast<KvTSpecialZPos>(7));  // not a position: z kept
            EXPECT_EQ(std::make_pair(b->trGetZ(), c->trGetZ()), std::make_pair(32767, 32765));
            EXPECT_EQ(order(w), (std::vector<KvTrinket*>{a, c, b}));
            continue;
        }
        a->trSetZ(7);
        c->trSetZ(-4);
        b->trZop();
        a->trZBottom();
        EXPECT_EQ(std::make_pair(b->trGetZ(), a->trGetZ()), std::make_pair(8, -5));
        EXPECT_EQ(order(w), (std::vector<KvTrinket*>{a, c, b}));
        b->trSetZ(0);  // the record stays at 8
        c->trZop();
        a->trSetSpecialZ(kTrSpecialZ1);  // special z leaves the records alone
        b->trZop();
        EXPECT_EQ(std::make_pair(c->trGetZ(), b->trGetZ()), std::make_pair(9, 10));
    }
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
    tick();
    EXPECT_TRUE(screenShowsScene());
}

// A zero box invalidates nothing and never moves; setting the box redraws
// nothing by itself, so the old picture stays until someone invalidates; a
// trinket below the window's z depth invalidates nothing when it moves.
TEST_F(Trinket, AZeroBoxAndSetRectInvalidateNothing) {
    KvTrinketWindow* w = open();
    Swatch* zero = add(KvRect::zero, kRed);
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    tick(2);
    w->twClearDirtyRects();
    const int draws = s->draws;
    zero->trSetXY(5, 5);
    int dx = 3, dy = 4;
    zero->trOffset(dx, dy);
    EXPECT_EQ(zero->box(), KvRect::zero);
    s->trSetRect(KvRect(50, 50, 60, 60));
    EXPECT_TRUE(w->twGetDirtyBackRgn().isNull());
    tick();
    EXPECT_EQ(s->draws, draws);
    EXPECT_TRUE(shows(15, 15, kRed));
    w->twSetZDepth(3);  // below the depth cut nothing is invalidated either
    s->trSetXY(70, 70);
    EXPECT_TRUE(w->twGetDirtyBackRgn().isNull());
}

// ---- hit testing ----

TEST_F(Trinket, TwoRegionResultsCanBeUsedTogether) {
    open();
    Swatch* a = add(KvRect(0, 0, 10, 10), kRed);
    Swatch* b = add(KvRect(5, 5, 15, 15), kRed);
    Swatch* c = add(KvRect(20, 20, 30, 30), kRed);
    const KvRegion& ra = a->region();
    const KvRegion& rb = b->region();
    EXPECT_EQ(ra.bounds(), KvRect(0, 0, 10, 10));
    EXPECT_EQ(rb.bounds(), KvRect(5, 5, 15, 15));
    EXPECT_TRUE(a->overlaps(*b) && a->overlaps(b) && c->overlaps(KvRect(29, 29, 40, 40)) && c->covers(KvPoint(20, 29)));
    EXPECT_FALSE(a->overlaps(*c) || a->overlaps(static_cast<const KvTrinket*>(nullptr)) ||
                 c->overlaps(KvRegion(KvRect(30, 30, 40, 40))));
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
    EXPECT_EQ(twin->trGetZ() * 100 + twin->trGetTag(), 477);
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

// Trinkets on their own: the starting state, invalidation through trTouch,
// region results, copies and the script property table; input where only
// the C++ side shows it (the grab cursor and snapping on release, links
// that delete their trinket). Scripts drive the rest in golden/.
#include <sstream>
#include <tuple>

#include "tests/trinket/TrinketTestSupport.h"

using Trinket = TrinketTest;

namespace {

// A trinket's state on one line: box, z, tag, corral, snap area and grid,
// link mask, visible-movable-touchy-stamped-clip flags, normalization, tracking, dirt.
std::string state(const Swatch& t) {
    auto rect = [](const KvRect& r) { return testing::PrintToString(std::vector<int>{r.left, r.top, r.right, r.bottom}); };
    int sx, sy, ox, oy;
    t.trGetSnapGrid(sx, sy, ox, oy);
    std::ostringstream out;
    out << "box " << rect(t.box()) << " z " << t.trGetZ() << " tag " << t.trGetTag() << " corral " << rect(t.trGetCorral())
        << " snap " << rect(t.trGetSnapArea()) << " grid " << sx << sy << ox << oy << " mask " << t.trGetLinkMask()
        << " flags " << t.trGetVisible() << t.trGetMovable() << t.trGetTouchy() << t.trGetStamped() << t.trGetCorralClip()
        << " norm " << t.trGetCorralNormalization() << " track " << t.track() << " dirty " << t.trGetDirtyState();
    return out.str();
}

}  // namespace

// The link mask comes from the window's trinket flags; without a window
// there is no corral and no mask.
TEST_F(Trinket, NewTrinketHasTheDocumentedStartingState) {
    KvTrinketWindow* w = open(200, 100);
    w->twSetTrinketFlags(kTrSuspendFlyOn);
    Swatch* s = add(KvRect::zero, kRed);
    EXPECT_EQ(s->trGetContainer(), w);
    // Zero rectangles, fly-on suspended (0x80), idle (1), all dirty (2).
    EXPECT_EQ(state(*s), "box { 0, 0, -1, -1 } z 0 tag 0 corral { 0, 0, 200, 100 } snap { 0, 0, -1, -1 } grid 0000 mask 128 "
                         "flags 11100 norm 1 track 1 dirty 2");
    KvTrinket::setCreateVisible(0);
    EXPECT_EQ(add(KvRect(0, 0, 5, 5), kRed)->trGetVisible(), 0);
    const Swatch orphan(nullptr, KvRect(0, 0, 5, 5), kRed);
    EXPECT_EQ(orphan.trGetCorral(), KvRect(0, 0, 0, 0));
    EXPECT_EQ(orphan.trGetLinkMask(), 0);
}

// The last window publishes its collector's pixel format; scripts make
// trinkets on the first.
TEST_F(Trinket, ScriptCreationUsesTheFirstWindowAndRegistersThePropertiesInOrder) {
    KvTrinketWindow* first = open();
    using W = KvTrinketWindow;
    EXPECT_EQ(std::make_tuple(W::twFormat, W::twBits[1], W::twShifts[0], W::twMasks[2]), std::make_tuple(kKvFormat565, 6, 11, 0x1Fu));
    KvTrinketWindow second(KvRect(0, 0, 20, 20), nullptr, 0, -1, -1, 15, 1, 0);
    EXPECT_EQ(std::make_tuple(W::twFormat, W::twMasks[0], W::currentWindow), std::make_tuple(kKvFormat555, 0x7C00u, first));
    KvSR record("Swatch", &Swatch::make);
    auto* made = static_cast<Swatch*>(KvScriptableObject::create("Swatch", KvScriptableObject::kKvEndOfParameters));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->trGetContainer(), first);
    // The property table, in order; "hit" is for clients only.
    EXPECT_EQ(made->propertyNames(), "born mouseDown mouseUp dblClick flyOn flyOff place offset x y visible movable z touchy tag width height");
    EXPECT_EQ(made->sobSet("width", "40"), 0);
    EXPECT_EQ(KvScriptableObject::lastPropertyError(), sobPropertyFailed);
    made->sobSet("x", "150");
    char info[kTrInfoBufferSize];
    made->sobGetInfo(info);
    EXPECT_STREQ(info, "150 0 160 10");
}

// ---- hit testing ----

TEST_F(Trinket, TwoRegionResultsCanBeUsedTogether) {
    open();
    Swatch* a = add(KvRect(0, 0, 10, 10), kRed);
    Swatch* b = add(KvRect(5, 5, 15, 15), kRed);
    Swatch* c = add(KvRect(20, 20, 30, 30), kRed);
    const KvRegion& ra = a->region();
    const KvRegion& rb = b->region();
    EXPECT_EQ(std::make_pair(ra.bounds(), rb.bounds()), std::make_pair(KvRect(0, 0, 10, 10), KvRect(5, 5, 15, 15)));
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
    EXPECT_EQ(state(*s), "box { 10, 10, 30, 30 } z 4 tag 77 corral { 0, 0, 100, 100 } snap { 0, 0, -1, -1 } grid 5612 mask 0 "
                         "flags 10100 norm 1 track 1 dirty 0");
    EXPECT_EQ(state(*twin), state(*s));  // clean like its source: not redrawn
    EXPECT_EQ(w->twGetTrinketList().last(), twin);  // on top of its z level
    EXPECT_NE(twin->trMouseDownGetLink(), s->trMouseDownGetLink());
    twin->mouseDown();
    EXPECT_EQ(log.joined(), "down");
}

// ---- input ----

TEST_F(Trinket, ADragShowsTheGrabCursorAndSnapsOnRelease) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(40, 40, 60, 60), kRed);
    s->trSetSnapGrid(4, 4, 0, 0);
    KvCursor spot, grab;
    s->trAssignSpotCursor(&spot);
    s->trAssignGrabCursor(&grab);
    tick();
    press(45, 45);
    EXPECT_EQ(s->track(), kTrCaptured);
    EXPECT_EQ(w->getCanvas()->getCursor(), &grab);
    moveTo(50, 48);
    EXPECT_EQ(s->box(), KvRect(45, 43, 65, 63));
    release(50, 48);
    EXPECT_EQ(s->box(), KvRect(44, 44, 64, 64));  // snapped: 45 -> 44, 43 -> 44
    EXPECT_EQ(s->track(), kTrIdle);
    EXPECT_EQ(w->getCanvas()->getCursor(), &spot);
    tick();
    EXPECT_TRUE(screenShowsScene());
}

// Links that delete their own trinket: fly off, fly on, mouse down.
TEST_F(Trinket, LinksMayDeleteTheirTrinket) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 30, 30), kRed);
    Swatch* b = add(KvRect(50, 10, 70, 30), kBlue);
    Swatch* c = add(KvRect(90, 10, 110, 30), kGreen);
    const KvFunctionLink deleteA([&](const void*) { delete a; }), deleteB([&](const void*) { delete b; }),
        deleteC([&](const void*) { delete c; });
    a->trFlyOffSetLink(&deleteA);
    b->trFlyOnSetLink(&deleteB);
    c->trMouseDownSetLink(&deleteC);
    moveTo(15, 15);
    moveTo(55, 15);  // a flies off (and goes), b flies on (and goes)
    EXPECT_EQ(KvTrinket::trGetFlyOverTrinket(), nullptr);
    press(95, 15);
    EXPECT_EQ(w->twGetEventReceiver(), nullptr);
    EXPECT_EQ(w->twGetTrinketList().count(), 0);
    release(95, 15);
    tick();
    EXPECT_TRUE(screenShowsScene());
}

// Input through the window where the C++ side shows it (scripts see the rest:
// golden/): cursors, snapping on release, the host's event link, and links
// that hide or delete trinkets.
#include "tests/trinket/TrinketTestSupport.h"

using Events = TrinketTest;

TEST_F(Events, ADragShowsTheGrabCursorAndSnapsOnRelease) {
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

// The event link sees every event first, with its type and its point in
// collector coordinates.
TEST_F(Events, TheEventLinkSeesEveryEventFirstWithItsType) {
    KvTrinketWindow* w = open(320, 240);
    w->twSetBlitOffsets(100, 50);
    std::vector<int> types;
    const KvFunctionLink eventLink([&](const void* info) {
        types.push_back(static_cast<const KvTUserEventInfo*>(info)->eventType);
    });
    int cursorMoves = 0;
    const KvFunctionLink cursorMove([&](const void* info) {
        EXPECT_EQ(static_cast<const KvTUserEventInfo*>(info)->point, KvPoint(103, 54));
        EXPECT_TRUE(types.empty() || types.back() != kTwEventMouseMove);  // before the event link
        ++cursorMoves;
    });
    w->twEventSetLink(&eventLink);
    w->twCursorMoveSetLink(&cursorMove);
    key(65);
    press(3, 4);
    moveTo(3, 4);
    release(3, 4);
    dblClick(3, 4);
    w->twSuspendEvents();
    press(3, 4);
    key(65);
    w->twResumeEventsAndUpdates();
    press(3, 4);
    EXPECT_EQ(types, (std::vector<int>{0, 1, 3, 2, 4, 1}));
    EXPECT_EQ(cursorMoves, 1);
}

// The cursor is the fly-over trinket's, even when its fly links are
// suspended, and the background's when that trinket goes; a spot cursor
// assigned under the pointer shows at once.
TEST_F(Events, TheCursorFollowsTheFlyOverTrinket) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 50, 50), kRed);
    Swatch* b = add(KvRect(30, 30, 70, 70), kBlue);
    KvCursor cursorA, cursorB, backgroundCursor;
    a->trAssignSpotCursor(&cursorA);
    b->trAssignSpotCursor(&cursorB);
    b->trSuspendLinks(kTrSuspendFlyOn);
    a->trSuspendLinks(kTrSuspendFlyOff);
    KvTrinket::trSetDefaultBkgdCursor(&backgroundCursor, 1);
    EXPECT_EQ(w->getCanvas()->getCursor(), &backgroundCursor);
    const std::pair<int, const KvCursor*> steps[] = {{15, &cursorA}, {40, &cursorB}, {100, &backgroundCursor},
                                                     {15, &cursorA}, {40, &cursorB}, {60, &cursorB}};
    for (const auto& [at, cursor] : steps) {
        moveTo(at, at);
        EXPECT_EQ(w->getCanvas()->getCursor(), cursor) << at;
    }
    delete b;
    EXPECT_EQ(w->getCanvas()->getCursor(), &backgroundCursor);
    moveTo(15, 15);
    a->trAssignSpotCursor(&cursorB);
    EXPECT_EQ(w->getCanvas()->getCursor(), &cursorB);
    w->twSetProcessCursor(0);
    moveTo(100, 100);
    EXPECT_EQ(KvTrinket::trGetFlyOverTrinket(), a);
}

// A fly-off link hiding the next trinket: that trinket's spot cursor is not
// shown (its fly on still comes: golden/flyhide).
TEST_F(Events, AFlyOffLinkHidingTheNextTrinketLeavesTheBackgroundsCursor) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 30, 30), kRed);
    Swatch* b = add(KvRect(30, 10, 50, 30), kBlue);
    KvCursor spotB, backgroundCursor;
    b->trAssignSpotCursor(&spotB);
    KvTrinket::trSetDefaultBkgdCursor(&backgroundCursor, 1);
    const KvFunctionLink hideB([&](const void*) { b->trHide(); });
    a->trFlyOffSetLink(&hideB);
    moveTo(15, 15);
    moveTo(35, 15);
    EXPECT_EQ(w->getCanvas()->getCursor(), &backgroundCursor);
}

// Links that delete their own trinket: fly off, fly on, mouse down.
TEST_F(Events, LinksMayDeleteTheirTrinket) {
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

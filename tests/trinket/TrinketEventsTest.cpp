// Input through the window, injected as a user would produce it: presses,
// drags, releases and double clicks reaching the trinket under the pointer
// (its link, then its script event), the background and the window's own
// links when no trinket takes them, tracking, fly on and fly off with the
// cursors they show, and keys going to the focus trinket.
#include "tests/trinket/TrinketTestSupport.h"

namespace {

// Logs a trinket's links as "<name>:<what>" and its script events as "<name>.<event>".
void listen(Swatch* s, const std::string& name, CallRecorder& log) {
    const KvFunctionLink down = log.link(name + ":down"), up = log.link(name + ":up"),
                         dbl = log.link(name + ":dbl"), on = log.link(name + ":on"),
                         off = log.link(name + ":off"), key = log.link(name + ":key");
    s->trMouseDownSetLink(&down);
    s->trMouseUpSetLink(&up);
    s->trMouseDblClickSetLink(&dbl);
    s->trFlyOnSetLink(&on);
    s->trFlyOffSetLink(&off);
    s->trKeyDownSetLink(&key);
    s->sobAssignProperties();
    for (const char* event : {"mouseDown", "mouseUp", "dblClick", "flyOn", "flyOff"}) {
        const KvFunctionLink handler = log.link(name + "." + event);
        s->sobSet(event, &handler, nullptr);
    }
}

// Logs the background's links with the point they receive.
void listen(KvTBackground* bg, CallRecorder& log) {
    auto pointLink = [&log](const std::string& what) {
        return KvFunctionLink([&log, what](const void* p) {
            const auto* point = static_cast<const KvPoint*>(p);
            log.entries.push_back("bg:" + what + "(" + std::to_string(point->x) + "," + std::to_string(point->y) + ")");
        });
    };
    const KvFunctionLink down = pointLink("down"), up = pointLink("up"), move = pointLink("move"),
                         dbl = pointLink("dbl");
    bg->bkMouseDownSetLink(&down);
    bg->bkMouseUpSetLink(&up);
    bg->bkMouseMoveSetLink(&move);
    bg->bkMouseDblClickSetLink(&dbl);
}

// Logs the window's own event links.
void listenToWindow(KvTrinketWindow* w, CallRecorder& log) {
    const KvFunctionLink down = log.link("win:down"), up = log.link("win:up"), move = log.link("win:move"),
                         dbl = log.link("win:dbl"), key = log.link("win:key");
    w->mouseDownSetLink(&down);
    w->mouseUpSetLink(&up);
    w->mouseMoveSetLink(&move);
    w->mouseDblClickSetLink(&dbl);
    w->keyDownSetLink(&key);
}

}  // namespace

class Events : public TrinketTest {
protected:
    CallRecorder log;
};

TEST_F(Events, ADragMovesSnapsAndReleasesTheTrinket) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(40, 40, 60, 60), kRed);
    s->trSetSnapGrid(4, 4, 0, 0);
    KvCursor spot, grab;
    s->trAssignSpotCursor(&spot);
    s->trAssignGrabCursor(&grab);
    listen(s, "s", log);
    tick();

    press(45, 45);
    EXPECT_EQ(w->twGetEventReceiver(), s);
    EXPECT_EQ(s->track(), kTrCaptured);
    EXPECT_EQ(w->getCanvas()->getCursor(), &grab);
    moveTo(50, 48);
    EXPECT_EQ(s->box(), KvRect(45, 43, 65, 63));
    release(50, 48);
    EXPECT_EQ(s->box(), KvRect(44, 44, 64, 64));  // snapped: 45 -> 44, 43 -> 44
    EXPECT_EQ(w->twGetEventReceiver(), nullptr);
    EXPECT_EQ(s->track(), kTrIdle);
    EXPECT_EQ(w->getCanvas()->getCursor(), &spot);
    // The release over the trinket also makes it the fly-over trinket.
    EXPECT_EQ(log.joined(), "s:down s.mouseDown s:up s.mouseUp s:on s.flyOn");
    tick();
    EXPECT_TRUE(screenShowsScene());
    EXPECT_TRUE(shows(41, 41, kWhite));
}

TEST_F(Events, ADragPastTheCorralEdgeWaitsForThePointerToComeBack) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(140, 50, 160, 70), kRed);  // at the right edge
    press(145, 55);
    moveTo(175, 55);  // 30 past the edge
    EXPECT_EQ(s->trGetX(), 140);
    moveTo(165, 55);  // back 10
    EXPECT_EQ(s->trGetX(), 140);
    moveTo(135, 55);  // back 30 more: 10 left of where the drag began
    EXPECT_EQ(s->trGetX(), 130);
    moveTo(180, 55);
    release(180, 55);
    EXPECT_EQ(s->stuck(), 0);  // the release lets go of the edge
    EXPECT_EQ(w->twGetEventReceiver(), nullptr);
    tick();
    EXPECT_TRUE(screenShowsScene());
}

TEST_F(Events, APressRaisesAMovableTrinketToTheTopOfItsLevel) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 50, 50), kRed);
    Swatch* b = add(KvRect(40, 40, 80, 80), kBlue);
    tick();
    press(15, 15);
    EXPECT_EQ(w->twGetTrinketList().last(), a);
    release(15, 15);
    tick();
    EXPECT_TRUE(shows(45, 45, kRed));
    b->trFreeze();
    press(70, 70);
    EXPECT_EQ(w->twGetTrinketList().last(), a);  // a non-movable trinket stays where it is
}

TEST_F(Events, APressOnANonMovableTrinketDoesNotCaptureIt) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(40, 40, 60, 60), kRed);
    s->trFreeze();
    listen(s, "s", log);
    listen(w->twGetBackground(), log);
    press(45, 45);
    EXPECT_EQ(w->twGetEventReceiver(), nullptr);
    moveTo(47, 47);
    EXPECT_EQ(s->box(), KvRect(40, 40, 60, 60));
    release(47, 47);
    EXPECT_EQ(log.joined(), "s:down s.mouseDown bg:move(47,47) s:on s.flyOn bg:up(47,47)");
}

TEST_F(Events, APressOnEmptySpaceGoesToTheBackgroundOrTheWindow) {
    KvTrinketWindow* w = open();
    add(KvRect(40, 40, 60, 60), kRed);
    listen(w->twGetBackground(), log);
    listenToWindow(w, log);
    press(10, 20);
    dblClick(11, 21);
    w->twGetBackground()->bkSuspendLinks(kTrSuspendMouseDown | kTrSuspendDblClick);
    press(10, 20);
    dblClick(11, 21);
    w->twGetBackground()->bkResumeLinks(kTrSuspendMouseDown);
    press(12, 22);
    EXPECT_EQ(log.joined(), "bg:down(10,20) bg:dbl(11,21) win:down win:dbl bg:down(12,22)");
    w->twSetBackground(nullptr);
    log.entries.clear();
    press(10, 20);
    EXPECT_EQ(log.joined(), "win:down");
}

TEST_F(Events, WithBlitOffsetsPointsArriveInCollectorCoordinates) {
    KvTrinketWindow* w = open(320, 240);
    w->twSetBlitOffsets(100, 50);
    listen(w->twGetBackground(), log);
    listenToWindow(w, log);
    std::vector<KvPoint> infoPoints;
    const KvFunctionLink eventLink([&](const void* info) {
        infoPoints.push_back(static_cast<const KvTUserEventInfo*>(info)->point);
    });
    w->twEventSetLink(&eventLink);
    press(10, 10);
    press(-5, 10);  // collector (95, 60): outside the part the window shows
    EXPECT_EQ(log.joined(), "bg:down(110,60) win:down");
    ASSERT_EQ(infoPoints.size(), 2u);
    EXPECT_EQ(infoPoints[0], KvPoint(110, 60));

    // A trinket at collector (120, 70) is under window point (25, 25).
    Swatch* s = add(KvRect(120, 70, 140, 90), kRed);
    listen(s, "s", log);
    log.entries.clear();
    press(25, 25);
    release(25, 25);
    EXPECT_EQ(log.joined(), "s:down s.mouseDown s:up s.mouseUp s:on s.flyOn");
}

TEST_F(Events, TheEventLinkSeesEveryEventFirstWithItsType) {
    KvTrinketWindow* w = open();
    std::vector<int> types;
    const KvFunctionLink eventLink([&](const void* info) {
        types.push_back(static_cast<const KvTUserEventInfo*>(info)->eventType);
    });
    int cursorMoves = 0;
    const KvFunctionLink cursorMove([&](const void* info) {
        EXPECT_EQ(static_cast<const KvTUserEventInfo*>(info)->point, KvPoint(3, 4));
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
    EXPECT_EQ(types, (std::vector<int>{0, 1, 3, 2, 4}));
    EXPECT_EQ(cursorMoves, 1);

    w->twSuspendEvents();
    press(3, 4);
    key(65);
    EXPECT_EQ(types.size(), 5u);
    w->twResumeEventsAndUpdates();
    press(3, 4);
    EXPECT_EQ(types.size(), 6u);
}

TEST_F(Events, ATrackingTrinketReceivesPressesAnywhere) {
    KvTrinketWindow* w = open();
    Swatch* tracker = add(KvRect(10, 10, 20, 20), kRed);
    Swatch* other = add(KvRect(100, 80, 140, 110), kBlue);
    listen(tracker, "t", log);
    listen(other, "o", log);
    tracker->trSetTracking(1, 0);
    press(120, 100);  // over the other trinket
    moveTo(125, 100);
    EXPECT_EQ(tracker->box(), KvRect(15, 10, 25, 20));  // dragged by relative movement
    release(125, 100);
    EXPECT_EQ(w->twGetEventReceiver(), tracker);  // tracking outlives the release
    EXPECT_EQ(log.joined(), "t:down t.mouseDown t:up t.mouseUp");
    tracker->trSetTracking(0, 0);
    EXPECT_EQ(w->twGetEventReceiver(), nullptr);
    log.entries.clear();
    press(120, 100);
    EXPECT_EQ(log.joined(), "o:down o.mouseDown");
}

TEST_F(Events, TrackingWithCursorKeepsFlyProcessingGoing) {
    open();
    Swatch* tracker = add(KvRect(0, 0, 10, 10), kRed);
    Swatch* other = add(KvRect(100, 80, 140, 110), kBlue);
    listen(other, "o", log);
    tracker->trSetTouchy(0);  // never under the pointer itself
    tracker->trSetTracking(1, 0);
    moveTo(120, 100);
    EXPECT_EQ(log.joined(), "");  // a plain tracker stops cursor processing
    tracker->trSetTracking(1, 1);
    moveTo(121, 100);
    EXPECT_EQ(log.joined(), "o:on o.flyOn");
    tracker->trSetTracking(0, 0);
}

TEST_F(Events, FlyOffAndFlyOnFollowThePointerInOrderWithTheirCursors) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 50, 50), kRed);
    Swatch* b = add(KvRect(30, 30, 70, 70), kBlue);
    KvCursor cursorA, cursorB, backgroundCursor;
    a->trAssignSpotCursor(&cursorA);
    b->trAssignSpotCursor(&cursorB);
    KvTrinket::trSetDefaultBkgdCursor(&backgroundCursor, 1);
    EXPECT_EQ(w->getCanvas()->getCursor(), &backgroundCursor);
    listen(a, "a", log);
    listen(b, "b", log);
    moveTo(5, 5);
    moveTo(15, 15);
    EXPECT_EQ(w->getCanvas()->getCursor(), &cursorA);
    EXPECT_EQ(KvTrinket::trGetFlyOverTrinket(), a);
    moveTo(16, 15);  // still over a: nothing fires
    moveTo(40, 40);
    EXPECT_EQ(w->getCanvas()->getCursor(), &cursorB);
    moveTo(100, 100);
    EXPECT_EQ(w->getCanvas()->getCursor(), &backgroundCursor);
    EXPECT_EQ(log.joined(), "a:on a.flyOn a:off a.flyOff b:on b.flyOn b:off b.flyOff");

    b->trSuspendLinks(kTrSuspendFlyOn);
    a->trSuspendLinks(kTrSuspendFlyOff);
    log.entries.clear();
    moveTo(15, 15);
    moveTo(40, 40);
    EXPECT_EQ(log.joined(), "a:on a.flyOn");
    EXPECT_EQ(w->getCanvas()->getCursor(), &cursorB);  // the cursor changes all the same
    w->twSetProcessCursor(0);
    moveTo(100, 100);
    EXPECT_EQ(KvTrinket::trGetFlyOverTrinket(), b);
}

struct FlyOnMoveOnlyCase {
    int moveOnly;
    const char* slid;   // the log after a trinket slid under the resting pointer
    const char* moved;  // ... and after the pointer then moved onto another one
};

TEST_F(Events, ATrinketSlidingUnderARestingPointerFliesOnlyWhenMovesDoNotMatter) {
    const FlyOnMoveOnlyCase cases[] = {
        {0, "s:on s.flyOn", "s:on s.flyOn s:off s.flyOff t:on t.flyOn"},
        {1, "", "s:off s.flyOff t:on t.flyOn"},
    };
    for (const FlyOnMoveOnlyCase& c : cases) {
        SCOPED_TRACE(c.moveOnly);
        KvTrinketWindow* w = open();
        w->twSetFlyOnMoveOnly(c.moveOnly);
        Swatch* s = add(KvRect(100, 100, 120, 120), kRed);
        Swatch* t = add(KvRect(60, 10, 80, 30), kBlue);
        KvCursor spot;
        s->trAssignSpotCursor(&spot);
        log.entries.clear();
        listen(s, "s", log);
        listen(t, "t", log);
        moveTo(15, 15);
        s->trSetRect(KvRect(10, 10, 30, 30));  // slides under the pointer; checks the cursor
        EXPECT_EQ(log.joined(), c.slid);
        EXPECT_EQ(KvTrinket::trGetFlyOverTrinket(), s);
        EXPECT_EQ(w->getCanvas()->getCursor(), &spot);
        moveTo(65, 15);
        EXPECT_EQ(log.joined(), c.moved);
        window.reset();
    }
}

TEST_F(Events, HidingOrDeletingTheFlyOverTrinketForgetsItQuietly) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    KvCursor backgroundCursor;
    KvTrinket::trSetDefaultBkgdCursor(&backgroundCursor, 0);
    listen(s, "s", log);
    moveTo(15, 15);
    s->trHide();
    EXPECT_EQ(KvTrinket::trGetFlyOverTrinket(), nullptr);
    EXPECT_EQ(log.joined(), "s:on s.flyOn");
    s->trShow();
    moveTo(16, 16);
    EXPECT_EQ(KvTrinket::trGetFlyOverTrinket(), s);
    delete s;
    EXPECT_EQ(KvTrinket::trGetFlyOverTrinket(), nullptr);
    EXPECT_EQ(w->getCanvas()->getCursor(), &backgroundCursor);
}

// Hiding is not deletion: a fly-off handler hiding the next trinket does not
// take its fly-on; the hidden trinket's spot cursor is not shown.
TEST_F(Events, AFlyOffHandlerHidingTheNextTrinketDoesNotSkipItsFlyOn) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 30, 30), kRed);
    Swatch* b = add(KvRect(30, 10, 50, 30), kBlue);
    KvCursor spotB, backgroundCursor;
    b->trAssignSpotCursor(&spotB);
    KvTrinket::trSetDefaultBkgdCursor(&backgroundCursor, 1);
    listen(a, "a", log);
    listen(b, "b", log);
    const KvFunctionLink hideB([&](const void*) {
        log.entries.push_back("a:off");
        b->trHide();
    });
    a->trFlyOffSetLink(&hideB);
    moveTo(15, 15);
    moveTo(35, 15);
    EXPECT_EQ(log.joined(), "a:on a.flyOn a:off a.flyOff b:on b.flyOn");
    EXPECT_EQ(w->getCanvas()->getCursor(), &backgroundCursor);
}

TEST_F(Events, AFlyHandlerMayDeleteItsTrinket) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 30, 30), kRed);
    Swatch* b = add(KvRect(50, 10, 70, 30), kBlue);
    const KvFunctionLink deleteA([&](const void*) { delete a; });
    const KvFunctionLink deleteB([&](const void*) { delete b; });
    a->trFlyOffSetLink(&deleteA);
    b->trFlyOnSetLink(&deleteB);
    moveTo(15, 15);
    moveTo(55, 15);  // a flies off (and goes), b flies on (and goes)
    EXPECT_EQ(w->twGetTrinketList().count(), 0);
    EXPECT_EQ(KvTrinket::trGetFlyOverTrinket(), nullptr);
    tick();
    EXPECT_TRUE(screenShowsScene());
}

TEST_F(Events, AssigningASpotCursorShowsItAtOnceUnderThePointer) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    moveTo(15, 15);
    KvCursor spot;
    s->trAssignSpotCursor(&spot);
    EXPECT_EQ(w->getCanvas()->getCursor(), &spot);
}

TEST_F(Events, ATrinketSuspendedForPressesIsTransparent) {
    open();
    Swatch* below = add(KvRect(10, 10, 50, 50), kRed);
    Swatch* above = add(KvRect(20, 20, 40, 40), kBlue);
    listen(below, "below", log);
    listen(above, "above", log);
    above->trSuspendLinks(kTrSuspendMouseDown);
    press(30, 30);
    EXPECT_EQ(log.joined(), "below:down below.mouseDown");
}

TEST_F(Events, SuspendedReleasesAndMovesKeepTheCapture) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    listen(s, "s", log);
    listen(w->twGetBackground(), log);
    s->trSuspendLinks(kTrSuspendMouseUp | kTrSuspendMouseMove);
    press(15, 15);
    moveTo(20, 20);
    EXPECT_EQ(s->box(), KvRect(10, 10, 30, 30));  // not dragged
    release(20, 20);
    EXPECT_EQ(w->twGetEventReceiver(), s);
    EXPECT_EQ(log.joined(), "s:down s.mouseDown bg:move(20,20) bg:up(20,20)");
    s->trResumeLinks(kTrSuspendMouseUp);
    release(20, 20);
    EXPECT_EQ(w->twGetEventReceiver(), nullptr);
}

TEST_F(Events, DoubleClicksReachTheTrinketUnderThePointer) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    listen(s, "s", log);
    listen(w->twGetBackground(), log);
    dblClick(15, 15);
    EXPECT_EQ(w->twGetEventReceiver(), nullptr);
    dblClick(50, 50);
    EXPECT_EQ(log.joined(), "s:dbl s.dblClick bg:dbl(50,50)");
}

TEST_F(Events, AMouseDownLinkMayDeleteItsTrinket) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    const KvFunctionLink goAway([&](const void*) { delete s; });
    s->trMouseDownSetLink(&goAway);
    press(15, 15);
    EXPECT_EQ(w->twGetEventReceiver(), nullptr);
    EXPECT_EQ(w->twGetTrinketList().count(), 0);
    release(15, 15);
    tick();
    EXPECT_TRUE(screenShowsScene());
}

TEST_F(Events, KeysGoToTheFocusTrinketOrElseTheWindow) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 30, 30), kRed);
    Swatch* b = add(KvRect(50, 10, 70, 30), kBlue);
    listen(a, "a", log);
    listen(b, "b", log);
    listenToWindow(w, log);
    const KvFunctionLink lostA = log.link("a:lost");
    a->trLostFocusSetLink(&lostA);
    key(1);
    a->trFocus();
    key(2);
    a->trHide();  // hidden, still the focus
    key(3);
    b->trFocus();
    key(4);
    b->trSuspendLinks(kTrSuspendKeyDown);
    key(5);  // swallowed: the focus trinket ignores keys, the window does not get them
    b->trUnfocus();
    key(6);
    EXPECT_EQ(log.joined(), "win:key a:key a:key a:lost b:key win:key");
}

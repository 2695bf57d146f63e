// Trinket window input: each framework event goes first to the host's event
// link, then to the trinket concerned (its link, then its script event), and
// when no trinket takes it, to the background's link or the window's own.
// A press on a movable trinket captures it: it gets every move (and follows
// the pointer) until the release. Cursor processing keeps flyOverTrinket on
// the trinket under the pointer, passing "flyOff" and "flyOn" as it changes.
//
// Links may delete trinkets. Every step after a trinket's own link re-reads
// the receiver field (a deleted trinket clears it) rather than keeping the
// pointer it started with.
#include "framework/KvEvent.h"
#include "framework/KvWndCanvas.h"
#include "trinket/KvTrinketWindow.h"

namespace {

void callWith(const KvLink* l, const void* arg) {
    if (l) (*l)(arg);
}

}  // namespace

void KvTrinketWindow::eventXYTransform(KvPoint& p) {
    if (!currentWindow) return;
    p.x += currentWindow->blitOffsetX;
    p.y += currentWindow->blitOffsetY;
}

// ---- framework events ----

void KvTrinketWindow::keyDown() {
    if (eventsSuspended) return;
    if (eventLink) {
        twUserEventInfo.eventType = kTwEventKeyDown;
        (*eventLink)(&twUserEventInfo);
    }
    if (KvTrinket* focus = KvTrinket::focusTrinket) {
        if (!(focus->linkMask & kTrSuspendKeyDown)) focus->keyDown();
    } else {
        KvWindow::keyDown();
    }
}

void KvTrinketWindow::mouseDown() {
    if (eventsSuspended) return;
    twUserEventInfo.point = KvEventGetMouse();
    if (eventLink) {
        twUserEventInfo.eventType = kTwEventMouseDown;
        (*eventLink)(&twUserEventInfo);
    }
    const KvPoint p = twUserEventInfo.point;
    twDoMouseDown(p);
}

void KvTrinketWindow::mouseUp() {
    if (eventsSuspended) return;
    twUserEventInfo.point = KvEventGetMouse();
    if (eventLink) {
        twUserEventInfo.eventType = kTwEventMouseUp;
        (*eventLink)(&twUserEventInfo);
    }
    const KvPoint p = twUserEventInfo.point;
    twDoMouseUp(p);
}

void KvTrinketWindow::mouseDblClick() {
    if (eventsSuspended) return;
    twUserEventInfo.point = KvEventGetMouse();
    if (eventLink) {
        twUserEventInfo.eventType = kTwEventDblClick;
        (*eventLink)(&twUserEventInfo);
    }
    const KvPoint p = twUserEventInfo.point;
    twDoMouseDblClick(p);
}

void KvTrinketWindow::mouseMove() {
    if (eventsSuspended) return;
    twUserEventInfo.point = KvEventGetMouse();
    twUserEventInfo.eventType = kTwEventMouseMove;
    callWith(cursorMoveLink, &twUserEventInfo);
    callWith(eventLink, &twUserEventInfo);
    const KvPoint p = twUserEventInfo.point;
    twDoMouseMove(p);
}

// ---- hit test and fallback ----

KvTrinket* KvTrinketWindow::twHitTest(const KvPoint& p) const {
    KvList<KvTrinket>::Cursor walk(trinkets);
    for (KvTrinket* t = walk.last(); t; t = walk.prev())
        if (t->trCoverTest(&p)) return t;
    return nullptr;
}

void KvTrinketWindow::twFindEventReceiver(const KvPoint& p) { eventReceiver = twHitTest(p); }

void KvTrinketWindow::twBackgroundFallback(KvEventType event, const KvPoint& p) {
    const KvLink* link = nullptr;
    long bit = 0;
    if (background) {
        switch (event) {
            case KvEventType::mouseDown: link = background->mouseDownLink, bit = kTrSuspendMouseDown; break;
            case KvEventType::mouseUp: link = background->mouseUpLink, bit = kTrSuspendMouseUp; break;
            case KvEventType::mouseMove: link = background->mouseMoveLink, bit = kTrSuspendMouseMove; break;
            case KvEventType::mouseDblClick: link = background->mouseDblClickLink, bit = kTrSuspendDblClick; break;
            default: break;
        }
    }
    const KvWndCanvas* screen = getCanvas();
    const KvRect visiblePart(blitOffsetX, blitOffsetY,
                             (screen ? screen->getWidth() : 0) + blitOffsetX,
                             (screen ? screen->getHeight() : 0) + blitOffsetY);
    if (link && !(background->linkMask & bit) && visiblePart.contains(p)) {
        (*link)(&p);
        return;
    }
    switch (event) {
        case KvEventType::mouseDown: KvWindow::mouseDown(); break;
        case KvEventType::mouseUp: KvWindow::mouseUp(); break;
        case KvEventType::mouseMove: KvWindow::mouseMove(); break;
        case KvEventType::mouseDblClick: KvWindow::mouseDblClick(); break;
        default: break;
    }
}

// ---- per-event routing ----

void KvTrinketWindow::twDoMouseDown(const KvPoint& p) {
    if (!eventReceiver) twFindEventReceiver(p);
    KvTrinket* r = eventReceiver;
    if (r && !(r->linkMask & kTrSuspendMouseDown)) {
        r->mouseDown();
        if (eventReceiver) eventReceiver->sobPass(KvTrinket::sKvTMouseDown);
        if (KvTrinket* t = eventReceiver) {
            if (t->movable) {
                t->trTop();  // to the top of its z level
                if (processCursor) t->trSetGrabCursor();
                if (t->trackState == kTrIdle) t->trackState = kTrCaptured;
            } else if (t->trackState == kTrIdle) {
                eventReceiver = nullptr;  // a plain click does not capture
            }
        }
    } else {
        eventReceiver = nullptr;
        twBackgroundFallback(KvEventType::mouseDown, p);
    }
    KvTrinket::lastMousePoint = p;
}

void KvTrinketWindow::twDoMouseUp(const KvPoint& p) {
    KvTrinket* r = eventReceiver;
    if (r && !(r->linkMask & kTrSuspendMouseUp)) {
        r->stuckX = r->stuckY = 0;
        if (processCursor) r->trSetSpotCursor();
        if (eventReceiver) eventReceiver->trSnap();
        if (eventReceiver) eventReceiver->mouseUp();
        if (eventReceiver) eventReceiver->sobPass(KvTrinket::sKvTMouseUp);
        if (KvTrinket* t = eventReceiver; t && t->trackState == kTrCaptured) {
            t->trackState = kTrIdle;
            eventReceiver = nullptr;
        }
    } else {
        twBackgroundFallback(KvEventType::mouseUp, p);
    }
    twProcessCursor(p, 0);
}

void KvTrinketWindow::twDoMouseMove(const KvPoint& p) {
    KvTrinket* r = eventReceiver;
    if (r && !(r->linkMask & kTrSuspendMouseMove)) {
        int dx = p.x - KvTrinket::lastMousePoint.x;
        int dy = p.y - KvTrinket::lastMousePoint.y;
        r->mouseMove();
        if (eventReceiver && eventReceiver->movable) eventReceiver->trOffset(dx, dy);
        if (eventReceiver && eventReceiver->trackState == kTrTrackingWithCursor) twProcessCursor(p, 0);
    } else {
        twBackgroundFallback(KvEventType::mouseMove, p);
        twProcessCursor(p, 0);
    }
    KvTrinket::lastMousePoint = p;
}

void KvTrinketWindow::twDoMouseDblClick(const KvPoint& p) {
    if (!eventReceiver) twFindEventReceiver(p);
    KvTrinket* r = eventReceiver;
    if (r && !(r->linkMask & kTrSuspendDblClick)) {
        r->mouseDblClick();
        if (eventReceiver) eventReceiver->sobPass(KvTrinket::sKvTDblClick);
        if (eventReceiver && eventReceiver->trackState == kTrIdle) eventReceiver = nullptr;
    } else {
        eventReceiver = nullptr;
        twBackgroundFallback(KvEventType::mouseDblClick, p);
    }
}

// ---- fly on, fly off and the cursor ----

void KvTrinketWindow::twUpdateCursor(int force) {
    if (processCursor) twProcessCursor(getMouse(nullptr), force);
}

void KvTrinketWindow::twProcessCursor(const KvPoint& p, int force) {
    KvTUserEventInfo& info = twUserEventInfo;
    if (!processCursor || info.flyGuard) return;
    if (eventReceiver && eventReceiver->trackState != kTrTrackingWithCursor) return;

    KvTrinket* hit = twHitTest(p);
    KvTrinket* const old = KvTrinket::flyOverTrinket;
    const bool changed = old != hit;
    if (hit && !changed && !force) return;
    KvTrinket::flyOverTrinket = hit;

    // A trinket sliding under a resting pointer is not flown onto when only moves count.
    const bool fire = !(flyOnMoveOnly && p == KvTrinket::lastMousePoint);

    // Hiding is not deletion: T flies on unless a fly-off handler deleted it, and
    // keeps its spot cursor if it is still there and shown.
    FlyTarget target{hit, flyTargets};
    flyTargets = &target;
    if (fire && changed && old && !(old->linkMask & kTrSuspendFlyOff)) {
        info.flyGuard = old;
        old->trFlyOff();
        if (info.flyGuard == old) old->sobPass(KvTrinket::sKvTFlyOff);  // unless the link deleted it
        info.flyGuard = nullptr;
    }
    hit = target.trinket;
    if (hit && fire && changed && !(hit->linkMask & kTrSuspendFlyOn)) {
        info.flyGuard = hit;
        hit->trFlyOn();
        if (info.flyGuard == hit) hit->sobPass(KvTrinket::sKvTFlyOn);
        info.flyGuard = nullptr;
        hit = target.trinket;
    }
    flyTargets = target.outer;
    if (hit && hit->visible && hit->container == this)
        hit->trSetSpotCursor();
    else if (getCanvas())
        getCanvas()->setCursor(KvTrinket::trDefaultBkgdCursor);
}

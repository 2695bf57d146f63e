// The trinket cursor's behaviour: following the pointer through the window's
// cursor-move link, and trading visibility with the system pointer.
#include "cursor/KvTCursor.h"

#include "framework/KvLink.h"
#include "framework/KvWindow.h"
#include "framework/KvWndCanvas.h"
#include "trinket/KvTUserEventInfo.h"

KvTCursor::KvTCursor(KvTrinketWindow* window) : KvTrinket(window, kTrClipRegion), KvCursor() {
    // The pointer never hits its own picture, nor drags it.
    KvTrinket::trTouch(kTrPropTouchy, 0, 0);
    trTouch(kTrPropMovable, 0, 0);
    trSetSpecialZ(kTrSpecialZ2);
    corralNormalization = 0;
    trTouch(kTrPropVisible, 0, 0);  // hidden until shown
}

KvTCursor::KvTCursor() : KvTCursor(KvTrinketWindow::currentWindow) {}

KvTCursor::~KvTCursor() {
    if (imCurrent() && getCanvas()) getCanvas()->setCursor(nullptr);
    if (ownsMoveLink()) container->twCursorMoveSetLink(nullptr);
}

bool KvTCursor::ownsMoveLink() const {
    const KvLink* link = container ? container->twCursorMoveGetLink() : nullptr;
    return link && link->getTarget() == static_cast<const void*>(this);
}

void KvTCursor::setHotSpot(const KvPoint& p) {
    hotSpot = p;
    int dx = -p.x, dy = -p.y;
    trOffset(dx, dy);
}

bool KvTCursor::in(const KvPoint& p) const { return !(corral == KvRect::zero) && corral.contains(p); }

void KvTCursor::setVisible(int v) {
    trSetVisible(v && !KvCursor::hidden);
    KvCursor::scSetVisible(!v && !KvCursor::hidden);
}

void KvTCursor::display(const KvPoint& p, int force) {
    const bool inNow = in(p);
    if (force || inNow != in(KvPoint(x(), y()))) setVisible(inNow);
    int dx = p.x - hotSpot.x - trGetX(), dy = p.y - hotSpot.y - trGetY();
    trOffset(dx, dy);
}

void KvTCursor::mouseMoveHandler(const void* info) {
    if (info) display(static_cast<const KvTUserEventInfo*>(info)->point, 0);
}

void KvTCursor::set(KvWndCanvas*) {
    if (!container) return;
    const KvMemberLink<KvTCursor> follow(this, &KvTCursor::mouseMoveHandler);
    container->twCursorMoveSetLink(&follow);
    if (container == KvWindow::activeWindow) display(container->getMouse(nullptr), 1);
}

void KvTCursor::unInstall() {
    if (container) container->twCursorMoveSetLink(nullptr);
    trSetVisible(0);
}

void KvTCursor::vActivate() {
    if (container) display(container->getMouse(nullptr), 1);
}

void KvTCursor::vDeactivate() { setVisible(0); }

void KvTCursor::vHide() { setVisible(0); }

void KvTCursor::vShow() { display(KvPoint(x(), y()), 1); }

// Trinkets and the pointer: hit testing through two alternating scratch
// regions (so two region() results can be used together), cursor display,
// the input links, keyboard focus and tracking. Only one trinket in the whole
// library has the keyboard focus.
#include "framework/KvWndCanvas.h"
#include "trinket/KvTrinket.h"
#include "trinket/KvTrinketWindow.h"

// ---- hit testing ----

const KvRegion& KvTrinket::region() const {
    KvRegion& r = regionScratch[regionScratchNext];
    regionScratchNext ^= 1;
    r.set(box());
    return r;
}

int KvTrinket::covers(const KvPoint& p) const {
    const KvRegion& r = region();
    return !r.isNull() && r.contains(p);
}

int KvTrinket::overlaps(const KvTrinket& other) const {
    const KvRegion& theirs = other.region();
    return region().overlaps(theirs);
}

int KvTrinket::overlaps(const KvTrinket* other) const { return other ? overlaps(*other) : 0; }

int KvTrinket::overlaps(const KvRegion& r) const { return region().overlaps(r); }

int KvTrinket::overlaps(const KvRect& r) const { return box().overlaps(r); }

int KvTrinket::trCoverTest(const void* point) const {
    if (!point || !touchy || !visible || (linkMask & kTrSuspendMouseDown)) return 0;
    if (!container || z < container->zDepth) return 0;
    return covers(*static_cast<const KvPoint*>(point));
}

// ---- cursors ----

void KvTrinket::trShowCursor(const KvCursor* c) const {
    if (container && container->processCursor && container->getCanvas())
        container->getCanvas()->setCursor(c);
}

void KvTrinket::trSetGrabCursor() const { trShowCursor(grabCursor); }

void KvTrinket::trSetSpotCursor() const { trShowCursor(spotCursor); }

void KvTrinket::trRestoreCursor() const { trShowCursor(trDefaultBkgdCursor); }

void KvTrinket::trCheckCursor() {
    if (container) container->twProcessCursor(lastMousePoint, 0);
}

void KvTrinket::trAssignSpotCursor(const KvCursor* c) {
    spotCursor = c;
    if (container && container->processCursor)
        container->twProcessCursor(container->getMouse(nullptr), 1);
}

void KvTrinket::trSetDefaultBkgdCursor(const KvCursor* c, int apply) {
    trDefaultBkgdCursor = c;
    KvTrinketWindow* w = KvTrinketWindow::currentWindow;
    if (apply && w && w->processCursor && w->getCanvas()) w->getCanvas()->setCursor(c);
}

// ---- links ----

void KvTrinket::trFlyOn() {
    if (flyOnLink) flyOnLink->call();
}
void KvTrinket::trFlyOff() {
    if (flyOffLink) flyOffLink->call();
}
void KvTrinket::keyDown() {
    if (keyDownLink) keyDownLink->call();
}
void KvTrinket::mouseDown() {
    if (mouseDownLink) mouseDownLink->call();
}
void KvTrinket::mouseUp() {
    if (mouseUpLink) mouseUpLink->call();
}
void KvTrinket::mouseMove() {
    if (mouseMoveLink) mouseMoveLink->call();
}
void KvTrinket::mouseDblClick() {
    if (mouseDblClickLink) mouseDblClickLink->call();
}

// ---- focus ----

void KvTrinket::trFocus() {
    if (focusTrinket) focusTrinket->trUnfocus();  // even this one: its lost-focus link fires
    focusTrinket = this;
}

void KvTrinket::trUnfocus() {
    if (focusTrinket != this) return;
    focusTrinket = nullptr;
    if (lostFocusLink) lostFocusLink->call();
}

// ---- tracking ----

void KvTrinket::trSetTracking(int on, int withCursor) {
    if (on) {
        if (container) container->eventReceiver = this;
        trackState = withCursor ? kTrTrackingWithCursor : kTrTracking;
    } else {
        if (container && container->eventReceiver == this) container->eventReceiver = nullptr;
        trackState = kTrIdle;
    }
}

int KvTrinket::trGetTracking(int* withCursor) const {
    if (withCursor) *withCursor = trackState == kTrTrackingWithCursor;
    return trackState == kTrTracking || trackState == kTrTrackingWithCursor;
}

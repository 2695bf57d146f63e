// Trinkets: construction and destruction, the property setter (trTouch),
// z order, invalidation and dirty marking, the per-trinket redraw
// (trDisplay), movement with the sticky corral and the snap grid.
// Dirty marking writes both flip sides while the window flips; trDisplay
// cleans only the side being drawn, so the other buffer still gets the change.
#include "trinket/KvTrinket.h"

#include <climits>
#include <cmath>
#include <cstdint>

#include "framework/KvCanvas.h"
#include "framework/KvWndCanvas.h"
#include "trinket/KvTrinketWindow.h"

const char* const KvTrinket::sKvTHit = "hit";
const char* const KvTrinket::sKvTMouseUp = "mouseUp";
const char* const KvTrinket::sKvTMouseDown = "mouseDown";
const char* const KvTrinket::sKvTDblClick = "dblClick";
const char* const KvTrinket::sKvTPlace = "place";
const char* const KvTrinket::sKvTOffset = "offset";
const char* const KvTrinket::sKvTFlyOn = "flyOn";
const char* const KvTrinket::sKvTFlyOff = "flyOff";
const char* const KvTrinket::sKvTX = "x";
const char* const KvTrinket::sKvTY = "y";
const char* const KvTrinket::sKvTZ = "z";
const char* const KvTrinket::sKvTVISIBLE = "visible";
const char* const KvTrinket::sKvTMOVABLE = "movable";
const char* const KvTrinket::sKvTTOUCHY = "touchy";
const char* const KvTrinket::sKvTTAG = "tag";
const char* const KvTrinket::sKvTWIDTH = "width";
const char* const KvTrinket::sKvTHEIGHT = "height";

int KvTrinket::trCreateVisible = 1;
int KvTrinket::trDoNormalize = 1;
const KvCursor* KvTrinket::trDefaultSpotCursor = nullptr;
const KvCursor* KvTrinket::trDefaultGrabCursor = nullptr;
const KvCursor* KvTrinket::trDefaultBkgdCursor = nullptr;
KvTrinket* KvTrinket::focusTrinket = nullptr;
KvTrinket* KvTrinket::flyOverTrinket = nullptr;
KvPoint KvTrinket::lastMousePoint;
KvRegion KvTrinket::regionScratch[2];
int KvTrinket::regionScratchNext = 0;

namespace {

KvLink* cloneOf(const KvLink* l) { return l ? l->clone() : nullptr; }

// One axis of the sticky corral: the new position for a move by d between
// lo and hi. A move past an edge holds the position there and remembers the
// unclamped position in virt; the edge lets go once virt is back in range.
int normalizeAxis(int pos, int d, int lo, int hi, int& virt, int& stuck) {
    // In 64 bits, so that no displacement a script passes can overflow.
    auto clampToInt = [](int64_t v) {
        return static_cast<int>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
    };
    if (!stuck) {
        const int p = clampToInt(static_cast<int64_t>(pos) + d);
        if (p > hi) {
            virt = p, stuck = 1;
            return hi;
        }
        if (p < lo) {
            virt = p, stuck = 1;
            return lo;
        }
        return p;
    }
    virt = clampToInt(static_cast<int64_t>(virt) + d);
    if (lo <= virt && virt <= hi) {
        stuck = 0;
        return virt;
    }
    return pos;
}

// The displacement that puts pos on the nearest line of the grid o + n * s;
// halfway between two lines, the lower one.
int snapDelta(int pos, int s, int o) {
    if (!s) return 0;
    const double q = (static_cast<double>(pos) - o) / s;
    const double below = std::floor(q), above = std::ceil(q);
    const double n = (q - below <= above - q) ? below : above;
    return static_cast<int>(o + n * s - pos);
}

}  // namespace

// ---- construction ----

KvTrinket::KvTrinket(KvTrinketWindow* window, KvTrinketClippingSupport support)
    : clippingSupport(support), dirtyState{kTrClean, kTrClean}, container(window),
      trackState(kTrIdle), linkMask(window ? window->twGetTrinketFlags() : 0),
      corralNormalization(1), snapArea(KvRect::zero), boxRect(KvRect::zero), z(0),
      userData(nullptr), tag(0),
      corral(window ? window->twCollectorRect() : KvRect(0, 0, 0, 0)), corralClip(0), touchy(1),
      snapX(0), snapY(0), snapOriginX(0), snapOriginY(0), virtualX(0), virtualY(0), stuckX(0),
      stuckY(0), visible(trCreateVisible), movable(1), stamped(0), mouseDownLink(nullptr),
      mouseUpLink(nullptr), mouseMoveLink(nullptr), mouseDblClickLink(nullptr),
      keyDownLink(nullptr), lostFocusLink(nullptr), flyOnLink(nullptr), flyOffLink(nullptr),
      spotCursor(trDefaultSpotCursor), grabCursor(trDefaultGrabCursor) {
    if (container) container->trinkets.insert(this);
    trMakeAllDirty();
}

KvTrinket::KvTrinket() : KvTrinket(KvTrinketWindow::currentWindow, kTrClipRegion) {}

KvTrinket::KvTrinket(const KvTrinket& o)
    : KvScriptableObject(), clippingSupport(o.clippingSupport),
      dirtyState{o.dirtyState[0], o.dirtyState[1]}, dirtyRgn{o.dirtyRgn[0], o.dirtyRgn[1]},
      container(o.container), trackState(o.trackState), linkMask(o.linkMask),
      corralNormalization(o.corralNormalization), snapArea(o.snapArea), boxRect(o.boxRect),
      z(o.z), userData(o.userData), tag(o.tag), corral(o.corral), corralClip(o.corralClip),
      touchy(o.touchy), snapX(o.snapX), snapY(o.snapY), snapOriginX(o.snapOriginX),
      snapOriginY(o.snapOriginY), virtualX(o.virtualX), virtualY(o.virtualY),
      stuckX(o.stuckX), stuckY(o.stuckY), visible(o.visible), movable(o.movable),
      stamped(o.stamped), mouseDownLink(cloneOf(o.mouseDownLink)),
      mouseUpLink(cloneOf(o.mouseUpLink)), mouseMoveLink(cloneOf(o.mouseMoveLink)),
      mouseDblClickLink(cloneOf(o.mouseDblClickLink)), keyDownLink(cloneOf(o.keyDownLink)),
      lostFocusLink(cloneOf(o.lostFocusLink)), flyOnLink(cloneOf(o.flyOnLink)),
      flyOffLink(cloneOf(o.flyOffLink)), spotCursor(o.spotCursor), grabCursor(o.grabCursor) {
    if (container) container->trinkets.insert(this);
}

KvTrinket::~KvTrinket() {
    trUnfocus();
    KvTrinket::trInvalidate();  // the area is restored on the next tick
    for (KvLink** l : {&mouseDownLink, &mouseUpLink, &mouseMoveLink, &mouseDblClickLink,
                       &keyDownLink, &lostFocusLink, &flyOnLink, &flyOffLink}) {
        delete *l;
        *l = nullptr;
    }
    if (container) {
        container->trinkets.remove(this);
        if (container->eventReceiver == this) container->eventReceiver = nullptr;
    }
    // A fly handler that deletes its own trinket: the window must not touch it afterwards.
    if (KvTrinketWindow::twUserEventInfo.flyGuard == this)
        KvTrinketWindow::twUserEventInfo.flyGuard = nullptr;
    for (KvTrinketWindow::FlyTarget* f = KvTrinketWindow::flyTargets; f; f = f->outer)
        if (f->trinket == this) f->trinket = nullptr;
    if (flyOverTrinket == this) {
        flyOverTrinket = nullptr;
        trRestoreCursor();
        trCheckCursor();
    }
}

// ---- window facts ----

bool KvTrinket::trIsShownInDepth() const { return visible && container && z >= container->zDepth; }

bool KvTrinket::trFlipping() const { return container && container->flipping; }

KvCanvas* KvTrinket::trGetCollector() const { return container ? container->collector : nullptr; }

KvTBackground* KvTrinket::trGetBackground() const {
    return container ? container->background : nullptr;
}

unsigned long KvTrinket::trGetTimeOrigin() const { return container ? container->timeOrigin : 0; }

int KvTrinket::trGetFlipSide() const { return container ? container->flipSide : 0; }

KvTrinketDirtyState KvTrinket::trGetDirtyState() const { return dirtyState[trGetFlipSide()]; }

const KvRegion& KvTrinket::trGetDirtyRgn() const { return dirtyRgn[trGetFlipSide()]; }

void KvTrinket::trAttach() const {
    if (container && !container->trinkets.contains(this))
        container->trinkets.insert(const_cast<KvTrinket*>(this));
}

void KvTrinket::trDetach() const {
    if (container) container->trinkets.remove(this);
}

int KvTrinket::trIsAttached() const { return container && container->trinkets.contains(this); }

void KvTrinket::trSetAttachment(int attach) const {
    if (attach)
        trAttach();
    else
        trDetach();
}

int KvTrinket::trGetApparentZ() const { return container ? container->trinkets.indexOf(this) : -1; }

// ---- simple virtuals ----

int KvTrinket::trGetUpdateRate() const { return 1; }
int KvTrinket::trGetHotKey() const { return 0; }
const KvRect& KvTrinket::box() const { return boxRect; }
void KvTrinket::trSetX(int x) { trTouch(kTrPropX, x, 0); }
int KvTrinket::trGetX() const { return box().left; }
void KvTrinket::trSetY(int y) { trTouch(kTrPropY, y, 0); }
int KvTrinket::trGetY() const { return box().top; }
void KvTrinket::trSetXY(int x, int y) { trTouch(kTrPropXY, x, y); }
void KvTrinket::trGetXY(int& x, int& y) const {
    x = trGetX();
    y = trGetY();
}
void KvTrinket::trSetZ(int newZ) { trTouch(kTrPropZ, newZ, 0); }
int KvTrinket::trGetZ() const { return z; }
void KvTrinket::trZop() {
    if (container) trTouch(kTrPropZ, container->highestZ + 1, 0);
}
void KvTrinket::trZBottom() {
    // The record only grows downwards; it stops at the lowest int.
    if (container) trTouch(kTrPropZ, container->lowestZ > INT_MIN ? container->lowestZ - 1 : INT_MIN, 0);
}
void KvTrinket::trSetVisible(int v) { trTouch(kTrPropVisible, v, 0); }
int KvTrinket::trGetVisible() const { return visible; }
void KvTrinket::trSetMovable(int v) { trTouch(kTrPropMovable, v, 0); }
int KvTrinket::trGetMovable() const { return movable; }
void KvTrinket::trSetStamped(int v) { trTouch(kTrPropStamped, v, 0); }
int KvTrinket::trGetStamped() const { return stamped; }
void KvTrinket::trSetTouchy(int v) { trTouch(kTrPropTouchy, v, 0); }
int KvTrinket::trGetTouchy() const { return touchy; }
void KvTrinket::trShow() { trTouch(kTrPropVisible, 1, 0); }
void KvTrinket::trHide() { trTouch(kTrPropVisible, 0, 0); }
void KvTrinket::trThaw() { trTouch(kTrPropMovable, 1, 0); }
void KvTrinket::trFreeze() { trTouch(kTrPropMovable, 0, 0); }
void KvTrinket::trStamp() { trTouch(kTrPropStamped, 1, 0); }
void KvTrinket::trUnstamp() { trTouch(kTrPropStamped, 0, 0); }
void KvTrinket::trShift(int& dx, int& dy) { KvTrinket::trOffset(dx, dy); }
void KvTrinket::trSetRect(int l, int t, int r, int b) {
    boxRect.set(l, t, r, b);
    trCheckCursor();
}
void KvTrinket::trSetRect(const KvRect& r) {
    boxRect = r;
    trCheckCursor();
}
void KvTrinket::trUpdate() {}

// ---- the one setter ----

void KvTrinket::trTouch(KvTrinketProperty property, int a, int b) {
    switch (property) {
        case kTrPropX:
        case kTrPropY:
        case kTrPropXY: {
            const int dx = property == kTrPropY ? 0 : a - trGetX();
            const int dy = property == kTrPropX ? 0 : (property == kTrPropY ? a : b) - trGetY();
            if (!dx && !dy) return;
            trInvalidate();  // the old area
            if (!(boxRect == KvRect::zero)) boxRect.offset(dx, dy);
            break;
        }
        case kTrPropZ: {
            const int newZ = a >= kTrFirstSpecialZ ? kTrMaxOrdinaryZ : a;
            if (newZ == z) return;
            z = newZ;
            KvTrinket::trTop();
            if (!container) return;
            if (newZ > container->highestZ)
                container->highestZ = newZ;
            else if (newZ < container->lowestZ)
                container->lowestZ = newZ;
            break;
        }
        case kTrPropVisible:
            if (visible && !a) {
                trInvalidate();  // while still visible
                if (flyOverTrinket == this) flyOverTrinket = nullptr;
            } else if (!visible && a) {
                trMakeAllDirty();
            }
            visible = a;
            break;
        case kTrPropMovable: movable = a; break;
        case kTrPropStamped: stamped = a; break;
        case kTrPropTouchy:
            touchy = a;
            if (!a && container && container->eventReceiver == this) {
                trackState = kTrIdle;
                container->eventReceiver = nullptr;
            }
            break;
        default: break;
    }
}

// ---- z order ----

void KvTrinket::trTop() {
    if (!container || !container->trinkets.remove(this)) return;
    container->trinkets.insert(this);  // topmost of its z level
    KvTrinket::trInvalidate();
}

void KvTrinket::trSetSpecialZ(KvTSpecialZPos pos) {
    if (pos < 0 || pos >= kTrSpecialZCount) return;
    const int newZ = kTrFirstSpecialZ + pos;
    if (newZ == z) return;
    z = newZ;
    trTop();
}

// ---- invalidation and dirty marking ----

void KvTrinket::trInvalidate() {
    if (!trIsShownInDepth()) return;
    KvTrinket::trMakeAllDirty();
    container->twEnlargeDirtyBackRgn(KvRegion(boxRect));
}

void KvTrinket::trInvalidate(const KvRegion& r) {
    if (!trIsShownInDepth()) return;
    KvTrinket::trMakePartlyDirty(r);
    container->twEnlargeDirtyBackRgn(r);
}

void KvTrinket::trMakeAllDirty() {
    trSetDirtyRgn(KvRegion(boxRect));
    trSetDirtyState(kTrAllDirty);
    if (container) container->traverseTrinkets = 1;
}

void KvTrinket::trMakePartlyDirty(const KvRegion& r) {
    trSetDirtyRgn(r);
    trSetDirtyState(kTrPartlyDirty);
    if (container) container->traverseTrinkets = 1;
}

void KvTrinket::trMakePartlyDirtier(const KvRegion& r) {
    trEnlargeDirtyRgn(r);
    trSetDirtyState(kTrPartlyDirty);
    if (container) container->traverseTrinkets = 1;
}

void KvTrinket::trSetDirtyRgn(const KvRegion& r) {
    dirtyRgn[0] = r;
    if (trFlipping()) dirtyRgn[1] = r;
}

void KvTrinket::trEnlargeDirtyRgn(const KvRegion& r) {
    dirtyRgn[0] += r;
    if (trFlipping()) dirtyRgn[1] += r;
}

void KvTrinket::trSetDirtyState(KvTrinketDirtyState s) {
    dirtyState[0] = s;
    if (trFlipping()) dirtyState[1] = s;
}

// ---- redraw ----

void KvTrinket::trDisplay() {
    if (!trIsShownInDepth()) return;
    KvTrinketWindow* const w = container;
    const int side = w->flipSide;
    const KvTDeferredRegion& blt = w->bltRgn[side];  // all that reaches the screen this tick
    KvRegion& dirty = dirtyRgn[side];

    enum class Step { partial, whole, show };
    Step step = Step::show;
    switch (dirtyState[side]) {
        case kTrClean:
            if (!blt.overlaps(boxRect)) return;  // nothing under or over it changed
            step = Step::partial;
            break;
        case kTrPartlyDirty: step = Step::partial; break;
        case kTrAllDirty: step = Step::whole; break;
        default: break;
    }

    bool partial = false;
    if (step == Step::partial) {
        // X, the part of the box that reaches the screen; the box lies wholly
        // inside B exactly when X is the whole box.
        const KvRegion exposed = clippingSupport == kTrClipNone ? KvRegion() : blt.intersect(boxRect);
        if (clippingSupport == kTrClipNone || exposed.contains(boxRect)) {
            step = Step::whole;
        } else {
            if (!exposed.isNull()) {
                if (clippingSupport == kTrClipRect)
                    trMakePartlyDirty(KvRegion(dirty.bounds() + exposed.bounds()));
                else
                    trMakePartlyDirtier(exposed);
            }
            partial = !(boxRect <= dirty.bounds());
            if (partial)
                w->twDisplay(dirty);
            else
                step = Step::whole;  // the whole box is dirty anyway
        }
    }
    if (step == Step::whole) {
        w->twDisplay(KvRegion(boxRect));
        trMakeAllDirty();
        partial = false;
    }

    if (w->updateRgnDelay)
        w->twOutlineUpdate(partial ? dirty : KvRegion(boxRect),
                           KvColor(0, static_cast<unsigned short>(0xFFFF >> side), 0));

    KvCanvas* const collector = w->collector;
    bool clipped = false;
    if (collector) {
        // The corral as a clip region; one for all trinkets, used only while one draws.
        static KvRegion corralClipRgn;
        if (corralClip && !(boxRect <= corral)) {
            clipped = true;
            if (partial) {
                trSetDirtyRgn(dirty * KvRegion(corral));
                collector->clip = &dirty;
            } else {
                corralClipRgn.set(corral);
                collector->clip = &corralClipRgn;
            }
        } else if (partial) {
            collector->clip = &dirty;
        }
    }
    if (!dirty.isNull()) trDraw();
    if (collector && (partial || clipped)) collector->clip = nullptr;

    dirty.set();
    dirtyState[side] = kTrClean;
}

// ---- movement ----

void KvTrinket::trOffset(int& dx, int& dy) {
    trNormalize(dx, dy);
    if (!dx && !dy) return;
    const KvRect old = boxRect;
    if (!(boxRect == KvRect::zero)) boxRect.offset(dx, dy);
    // The bounding rectangle of both (an empty one counts for nothing).
    trInvalidate(KvRegion(old + boxRect));
}

void KvTrinket::trNormalize(int& dx, int& dy) {
    if (!trDoNormalize || !corralNormalization) return;
    const int oldX = boxRect.left, oldY = boxRect.top;
    const int newX = normalizeAxis(oldX, dx, corral.left, corral.right - boxRect.width(), virtualX, stuckX);
    const int newY = normalizeAxis(oldY, dy, corral.top, corral.bottom - boxRect.height(), virtualY, stuckY);
    dx = newX - oldX;
    dy = newY - oldY;
}

void KvTrinket::trSnap() {
    if (!snapX && !snapY) return;
    if (!(snapArea == KvRect::zero) && !snapArea.overlaps(boxRect)) return;
    int dx = snapDelta(boxRect.left, snapX, snapOriginX);
    int dy = snapDelta(boxRect.top, snapY, snapOriginY);
    trOffset(dx, dy);
    stuckX = stuckY = 0;
}

// ---- per tick ----

void KvTrinket::trAskRateAndUpdate() {
    const int rate = trGetUpdateRate();
    if (container && static_cast<unsigned>(rate) > static_cast<unsigned>(container->maxUpdateRate))
        container->maxUpdateRate = rate;
    if (!(linkMask & kTrSuspendUpdate)) trUpdate();
}

// A trinket: one sprite of a trinket window. It has a box in collector
// pixels, a z order, flags, input links and, per flip side of its window, a
// dirty state and a dirty region that tell the window what to redraw.
// Invariants: a trinket belongs to the window it was built for for its whole
// life; while attached it sits in that window's list, which is kept in
// ascending z (among equal z the most recently inserted is on top); every
// change of a property goes through trTouch; a trinket whose z lies below
// the window's z depth is never invalidated, drawn or hit.
// The virtual operations are declared in the order that derived classes
// (animations, cursors) rely on; do not reorder them.
#pragma once

#include "framework/KvCursor.h"
#include "framework/KvLink.h"
#include "framework/KvRect.h"
#include "framework/KvRegion.h"
#include "sob/KvScriptableObject.h"

class KvCanvas;
class KvTBackground;
class KvTrinketWindow;

// How a trinket can be redrawn in part.
enum KvTrinketClippingSupport : int {
    kTrClipNone = 0,    // always redrawn whole
    kTrClipRect = 1,    // redrawn clipped to one rectangle
    kTrClipRegion = 2,  // redrawn clipped to an exact region
};

enum KvTrinketDirtyState : int {
    kTrClean = 0,
    kTrPartlyDirty = 1,
    kTrAllDirty = 2,
};

// The selector of trTouch.
enum KvTrinketProperty : int {
    kTrPropX = 0,
    kTrPropY = 1,
    kTrPropXY = 2,
    kTrPropZ = 3,
    kTrPropVisible = 4,
    kTrPropMovable = 5,
    kTrPropStamped = 6,
    kTrPropTouchy = 7,
};

// Reserved positions above every ordinary z.
enum KvTSpecialZPos : int {
    kTrSpecialZ0 = 0,  // z 32765
    kTrSpecialZ1 = 1,  // z 32766
    kTrSpecialZ2 = 2,  // z 32767 (cursors)
};

// Ordinary z values are at most this; the three above it are the special positions.
inline constexpr int kTrMaxOrdinaryZ = 32764;
inline constexpr int kTrFirstSpecialZ = 32765;
inline constexpr int kTrSpecialZCount = 3;

// Bits of a trinket's link mask (also the window's trinket flags and the
// background's suspend mask): what is suspended.
inline constexpr long kTrSuspendMouseDown = 0x0001;  // and hit testing
inline constexpr long kTrSuspendMouseUp = 0x0002;
inline constexpr long kTrSuspendMouseMove = 0x0004;  // and dragging
inline constexpr long kTrSuspendDblClick = 0x0008;
inline constexpr long kTrSuspendKeyDown = 0x0020;
inline constexpr long kTrSuspendFlyOn = 0x0080;
inline constexpr long kTrSuspendFlyOff = 0x0100;
inline constexpr long kTrSuspendUpdate = 0x0200;

// sobGetInfo writes at most this many bytes (four numbers, blanks, NUL).
inline constexpr int kTrInfoBufferSize = 48;

// trackState values.
inline constexpr int kTrCaptured = 0;            // a press on a movable trinket holds the pointer
inline constexpr int kTrIdle = 1;
inline constexpr int kTrTracking = 2;            // receives every mouse event
inline constexpr int kTrTrackingWithCursor = 3;  // ... and cursor processing goes on

class KvTrinket : public KvScriptableObject {
public:
    // Property names scripts use. "hit" is for clients; trinkets do not register it.
    static const char* const sKvTHit;
    static const char* const sKvTMouseUp;
    static const char* const sKvTMouseDown;
    static const char* const sKvTDblClick;
    static const char* const sKvTPlace;
    static const char* const sKvTOffset;
    static const char* const sKvTFlyOn;
    static const char* const sKvTFlyOff;
    static const char* const sKvTX;
    static const char* const sKvTY;
    static const char* const sKvTZ;
    static const char* const sKvTVISIBLE;
    static const char* const sKvTMOVABLE;
    static const char* const sKvTTOUCHY;
    static const char* const sKvTTAG;
    static const char* const sKvTWIDTH;
    static const char* const sKvTHEIGHT;

    ~KvTrinket() override;
    KvTrinket& operator=(const KvTrinket&) = delete;

    // ---- virtual operations, in slot order ----
    // (destructor, copy, sobGetInfo, sobAssignProperties come first)
    void sobGetInfo(char* buffer) const override;
    void sobAssignProperties() override;

    virtual int trGetUpdateRate() const;
    virtual int trGetHotKey() const;
    virtual void trInvalidate(const KvRegion& region);
    virtual void trInvalidate();
    virtual void trSetGrabCursor() const;
    virtual void trSetSpotCursor() const;
    virtual void trTouch(KvTrinketProperty property, int a, int b);
    virtual const KvRegion& region() const;
    virtual int covers(const KvPoint& p) const;
    virtual int overlaps(const KvTrinket& other) const;
    virtual int overlaps(const KvTrinket* other) const;
    virtual int overlaps(const KvRegion& r) const;
    virtual int overlaps(const KvRect& r) const;
    virtual const KvRect& box() const;
    virtual void trTop();
    virtual void trSetX(int x);
    virtual int trGetX() const;
    virtual void trSetY(int y);
    virtual int trGetY() const;
    virtual void trSetXY(int x, int y);
    virtual void trGetXY(int& x, int& y) const;
    virtual void trSetZ(int z);
    virtual int trGetZ() const;
    virtual void trZop();
    virtual void trZBottom();
    virtual void trSetVisible(int v);
    virtual int trGetVisible() const;
    virtual void trSetMovable(int v);
    virtual int trGetMovable() const;
    virtual void trSetStamped(int v);
    virtual int trGetStamped() const;
    virtual void trSetTouchy(int v);
    virtual int trGetTouchy() const;
    virtual void trShow();
    virtual void trHide();
    virtual void trThaw();
    virtual void trFreeze();
    virtual void trStamp();
    virtual void trUnstamp();
    virtual void trFlyOn();
    virtual void trFlyOff();
    virtual void keyDown();
    virtual void mouseDown();
    virtual void mouseUp();
    virtual void mouseMove();
    virtual void mouseDblClick();
    virtual void trSnap();
    virtual void trOffset(int& dx, int& dy);
    virtual void trShift(int& dx, int& dy);
    virtual void trMakeAllDirty();
    virtual void trMakePartlyDirty(const KvRegion& r);
    virtual void trMakePartlyDirtier(const KvRegion& r);
    virtual void trCheckCursor();
    virtual void trSetRect(int l, int t, int r, int b);
    virtual void trSetRect(const KvRect& r);
    virtual void trSetDirtyRgn(const KvRegion& r);
    virtual void trEnlargeDirtyRgn(const KvRegion& r);
    virtual void trSetDirtyState(KvTrinketDirtyState s);
    virtual void trUpdate();
    virtual void trDraw() const = 0;
    virtual void trDisplay();

protected:
    virtual void trNormalize(int& dx, int& dy);
    virtual void trRestoreCursor() const;

public:
    // ---- membership ----
    // Attach or detach without touching anything else (no invalidation).
    void trAttach() const;
    void trDetach() const;
    int trIsAttached() const;
    void trSetAttachment(int attach) const;

    KvTrinketWindow* trGetContainer() const { return container; }
    KvCanvas* trGetCollector() const;
    KvTBackground* trGetBackground() const;
    unsigned long trGetTimeOrigin() const;
    int trGetFlipSide() const;
    // Position in the window's list counted from the bottom; -1 when not in it.
    int trGetApparentZ() const;
    void trSetSpecialZ(KvTSpecialZPos pos);

    // ---- plain accessors ----
    void trSetUserData(void* data) { userData = data; }
    void* trGetUserData() const { return userData; }
    void trSetTag(long t) { tag = static_cast<int>(t); }
    long trGetTag() const { return tag; }
    void trSetCorral(const KvRect& r) { corral = r; }
    const KvRect& trGetCorral() const { return corral; }
    void trSetCorralClip(int c) { corralClip = c; }
    int trGetCorralClip() const { return corralClip; }
    void trSetCorralNormalization(int n) { corralNormalization = n; }
    int trGetCorralNormalization() const { return corralNormalization; }
    void trSetSnapX(int s) { snapX = s; }
    int trGetSnapX() const { return snapX; }
    void trSetSnapY(int s) { snapY = s; }
    int trGetSnapY() const { return snapY; }
    void trSetSnapOriginX(int o) { snapOriginX = o; }
    int trGetSnapOriginX() const { return snapOriginX; }
    void trSetSnapOriginY(int o) { snapOriginY = o; }
    int trGetSnapOriginY() const { return snapOriginY; }
    void trSetSnapGrid(int sx, int sy, int ox, int oy) { snapX = sx, snapY = sy, snapOriginX = ox, snapOriginY = oy; }
    void trGetSnapGrid(int& sx, int& sy, int& ox, int& oy) const { sx = snapX, sy = snapY, ox = snapOriginX, oy = snapOriginY; }
    void trSetSnapArea(const KvRect& r) { snapArea = r; }
    const KvRect& trGetSnapArea() const { return snapArea; }
    void trSetClippingSupport(KvTrinketClippingSupport s) { clippingSupport = s; }
    KvTrinketClippingSupport trGetClippingSupport() const { return clippingSupport; }
    // State and region of the window's current flip side.
    KvTrinketDirtyState trGetDirtyState() const;
    const KvRegion& trGetDirtyRgn() const;
    void trResetEdges() { stuckX = stuckY = 0; }

    // ---- cursors ----
    void trAssignGrabCursor(const KvCursor* c) { grabCursor = c; }
    const KvCursor* trGetGrabCursor() const { return grabCursor; }
    // Shows the new cursor at once when the pointer is over this trinket.
    void trAssignSpotCursor(const KvCursor* c);
    const KvCursor* trGetSpotCursor() const { return spotCursor; }
    static void trSetDefaultGrabCursor(const KvCursor* c) { trDefaultGrabCursor = c; }
    static const KvCursor* trGetDefaultGrabCursor() { return trDefaultGrabCursor; }
    static void trSetDefaultSpotCursor(const KvCursor* c) { trDefaultSpotCursor = c; }
    static const KvCursor* trGetDefaultSpotCursor() { return trDefaultSpotCursor; }
    static void trSetDefaultBkgdCursor(const KvCursor* c, int apply);
    static const KvCursor* trGetDefaultBkgdCursor() { return trDefaultBkgdCursor; }

    // ---- links (each stores a clone; null clears) ----
    void trMouseDownSetLink(const KvLink* l) { KvLink::assign(mouseDownLink, l); }
    void trMouseUpSetLink(const KvLink* l) { KvLink::assign(mouseUpLink, l); }
    void trMouseMoveSetLink(const KvLink* l) { KvLink::assign(mouseMoveLink, l); }
    void trMouseDblClickSetLink(const KvLink* l) { KvLink::assign(mouseDblClickLink, l); }
    void trKeyDownSetLink(const KvLink* l) { KvLink::assign(keyDownLink, l); }
    void trLostFocusSetLink(const KvLink* l) { KvLink::assign(lostFocusLink, l); }
    void trFlyOnSetLink(const KvLink* l) { KvLink::assign(flyOnLink, l); }
    void trFlyOffSetLink(const KvLink* l) { KvLink::assign(flyOffLink, l); }
    KvLink* trMouseDownGetLink() const { return mouseDownLink; }
    KvLink* trMouseUpGetLink() const { return mouseUpLink; }
    KvLink* trMouseMoveGetLink() const { return mouseMoveLink; }
    KvLink* trMouseDblClickGetLink() const { return mouseDblClickLink; }
    KvLink* trKeyDownGetLink() const { return keyDownLink; }
    KvLink* trLostFocusGetLink() const { return lostFocusLink; }
    KvLink* trFlyOnGetLink() const { return flyOnLink; }
    KvLink* trFlyOffGetLink() const { return flyOffLink; }
    void trSuspendLinks(long bits) { linkMask |= bits; }
    void trResumeLinks(long bits) { linkMask &= ~bits; }
    long trGetLinkMask() const { return linkMask; }

    // ---- focus and tracking ----
    void trFocus();
    void trUnfocus();
    int isInFocus() const { return focusTrinket == this; }
    static KvTrinket* trGetFocus() { return focusTrinket; }
    void trSetTracking(int on, int withCursor);
    int trGetTracking(int* withCursor) const;

    // The window's hit test: touchy, visible, not suspended for mouse down,
    // not below the z depth, and covers(point). point is a const KvPoint*.
    int trCoverTest(const void* point) const;

    // ---- global switches ----
    static void setCreateVisible(int v) { trCreateVisible = v; }
    static int getCreateVisible() { return trCreateVisible; }
    static void setCorralNormalization(int n) { trDoNormalize = n; }
    static int getCorralNormalization() { return trDoNormalize; }
    static KvTrinket* trGetFlyOverTrinket() { return flyOverTrinket; }
    static KvPoint trGetLastMousePoint() { return lastMousePoint; }

protected:
    // Builds on window (null: the trinket has no window and stays inert) and
    // inserts the trinket into the window's list by its z, marked all dirty.
    KvTrinket(KvTrinketWindow* window, KvTrinketClippingSupport support);
    // On KvTrinketWindow::currentWindow, clipped by region.
    KvTrinket();
    // Copies state and links, joins the same window's list; not marked dirty.
    KvTrinket(const KvTrinket& other);

    static int trCreateVisible;
    static int trDoNormalize;
    static const KvCursor* trDefaultSpotCursor;
    static const KvCursor* trDefaultGrabCursor;
    static const KvCursor* trDefaultBkgdCursor;

    KvTrinketClippingSupport clippingSupport;
    KvTrinketDirtyState dirtyState[2];
    KvRegion dirtyRgn[2];
    KvTrinketWindow* container;
    int trackState;
    long linkMask;
    int corralNormalization;
    KvRect snapArea;
    KvRect boxRect;  // the box; named apart from the box() accessor
    int z;
    void* userData;
    int tag;
    KvRect corral;
    int corralClip;
    int touchy;
    int snapX, snapY;
    int snapOriginX, snapOriginY;
    int virtualX, virtualY;
    int stuckX, stuckY;
    int visible;
    int movable;
    int stamped;
    KvLink* mouseDownLink;
    KvLink* mouseUpLink;
    KvLink* mouseMoveLink;
    KvLink* mouseDblClickLink;
    KvLink* keyDownLink;
    KvLink* lostFocusLink;
    KvLink* flyOnLink;
    KvLink* flyOffLink;
    const KvCursor* spotCursor;
    const KvCursor* grabCursor;

private:
    friend class KvTrinketWindow;

    // Called by the window once per tick.
    void trAskRateAndUpdate();
    // The window's tick in which this trinket was last updated (0: never).
    unsigned long updatedInTick = 0;
    // The box is inside the window's depth and the trinket is shown.
    bool trIsShownInDepth() const;
    // Shows c on the window canvas when the window processes cursors.
    void trShowCursor(const KvCursor* c) const;
    // The dirty regions and states of both sides, when the window flips.
    bool trFlipping() const;
    // The script properties' links call these (KvTrinketScript.cpp).
    friend class KvTrinketScriptLink;

    static KvTrinket* focusTrinket;
    static KvTrinket* flyOverTrinket;
    static KvPoint lastMousePoint;
    static KvRegion regionScratch[2];
    static int regionScratchNext;
};

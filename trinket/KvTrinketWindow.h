// A framework window that composites trinkets over a background in an
// off-screen canvas, the collector, and copies only what changed to the
// screen. Once per main-loop pass its task runs one tick (service): the
// trinkets advance, the background is restored where something moved away,
// trinkets that are dirty or lie in the changed area redraw themselves, and
// the changed area is blitted or flipped to the screen.
//
// Bookkeeping invariant: per flip side, dirtyBackRgn is where the background
// must be restored and bltRgn what the next blit copies. Every setter writes
// both sides while the window flips, and a side is emptied only when it has
// been drawn (dirtyBackRgn) or shown (bltRgn), so each buffer gets every
// change before it reaches the screen.
//
// Collector coordinates = window coordinates + blit offsets.
// The virtual operations follow KvWindow's in the order derived windows rely on.
#pragma once

#include "framework/KvApp.h"
#include "framework/KvCanvas.h"
#include "framework/KvColor.h"
#include "framework/KvLink.h"
#include "framework/KvList.h"
#include "framework/KvRegion.h"
#include "framework/KvWindow.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTDeferredRegion.h"
#include "trinket/KvTUserEventInfo.h"
#include "trinket/KvTrinket.h"

// Range of the z depth: ordinary z values.
inline constexpr int kTwMinZDepth = -32767;
inline constexpr int kTwMaxZDepth = kTrMaxOrdinaryZ;
// Longest pause of the update-region debugging aid, in tick-count units.
inline constexpr int kTwMaxUpdateRgnDelay = 1000;
// Raster code of every copy the window makes.
inline constexpr unsigned long kTwRopCopy = kKvRopCopy;
// Surface mode the collector needs to join a flip chain.
inline constexpr int kTwFlipSurfaceMode = 2;

class KvTrinketWindow : public KvWindow {
public:
    // The first window built while none was current; default trinket
    // construction, the mouse transform and cursor defaults use it.
    static KvTrinketWindow* currentWindow;
    // The collector's pixel format, copied by every window construction (the last one wins).
    static unsigned short twFormat;
    static unsigned short twBits[3];    // red, green, blue
    static unsigned short twShifts[3];  // red, green, blue
    static unsigned long twMasks[3];    // red, green, blue
    // The record handed to the host's event and cursor-move links.
    static KvTUserEventInfo twUserEventInfo;

    // A negative collector size takes the window's; flip asks for the
    // collector to become the window canvas's back buffer (it then is made
    // with surface mode 2, and must match the screen's size and depth).
    // The window owns background (may be null).
    KvTrinketWindow(const KvRect& rect, KvTBackground* background, KvWindowStyle style,
                    int collectorWidth, int collectorHeight, int depth, int surfaceMode, int flip);
    ~KvTrinketWindow() override;

    // ---- KvWindow's event virtuals (events: KvTrinketWindowEvents.cpp) ----
    void keyDown() override;
    void mouseDblClick() override;
    void mouseDown() override;
    void mouseMove() override;
    void mouseUp() override;

    // ---- the window's own virtuals, in slot order ----
    virtual void service();
    virtual void twStamp();
    // Repaint part of the window from the collector; rect is a const KvRect*
    // in window coordinates, or null for the whole window.
    virtual void blit(const void* rect);
    virtual void twDoMouseDown(const KvPoint& p);
    virtual void twDoMouseUp(const KvPoint& p);
    virtual void twDoMouseMove(const KvPoint& p);
    virtual void twDoMouseDblClick(const KvPoint& p);
    virtual void twSetBackground(KvTBackground* b);
    virtual void twRefreshBackground();
    virtual void twDisplay(const KvRegion& region);
    virtual void twUpdateTrinkets();
    virtual void twDrawTrinkets();
    virtual void twRestoreBackground();
    virtual void twRestoreBackground(const KvRegion& region);
    virtual void twBlt();
    virtual void twSetBlitOffsets(int x, int y);

protected:
    // Fly on, fly off and the cursor shape for the pointer at point.
    virtual void twProcessCursor(const KvPoint& point, int force);

public:
    // ---- suspension ----
    void twSuspendService();
    void twResumeService();
    unsigned long twGetLastSuspendedTime() const { return lastSuspendedTime; }
    int twIsSuspended() const { return lastSuspendedTime != 0; }
    void twSuspendUpdates() { updating = 0; }
    void twResumeUpdates() { updating = 1; }
    int twIsUpdating(int* sneak) const;
    void twSneakUpdates(int s) { sneakUpdates = s; }
    void twSuspendEvents() { eventsSuspended = 1; }
    void twResumeEvents() { eventsSuspended = 0; }
    int twEventsAreSuspended() const { return eventsSuspended; }
    void twSuspendEventsAndUpdates() { twSuspendEvents(), twSuspendUpdates(); }
    void twResumeEventsAndUpdates() { twResumeEvents(), twResumeUpdates(); }
    void twSetServiceReentrance(int r) { serviceNotReentrant = !r; }
    int twIsServiceReentrant() const { return !serviceNotReentrant; }
    KvTask* twGetServiceTask() const { return serviceTask; }

    // ---- regions ----
    void twSetBltRgn(const KvRegion& region);
    const KvRegion& twGetBltRgn() const { return bltRgn[flipSide].region(); }
    void twEnlargeDirtyBackRgn(const KvRegion& region);
    void twSetDirtyBackRgn(const KvRegion& region);
    const KvRegion& twGetDirtyBackRgn() const { return dirtyBackRgn[flipSide].region(); }
    void twClearDirtyRects();
    void twSetTraverseTrinkets(int t) { traverseTrinkets = t; }
    int twGetTraverseTrinkets() const { return traverseTrinkets; }
    void twSetRestoreBackground(int r) { restoreBackground = r; }
    int twGetRestoreBackground() const { return restoreBackground; }

    // ---- parts ----
    KvTBackground* twGetBackground() const { return background; }
    KvCanvas* twGetCollector() const { return collector; }
    // Replaces the pointer only; the window deletes whatever canvas it holds last.
    void twSetCollector(KvCanvas* c) { collector = c; }
    KvList<KvTrinket>& twGetTrinketList() { return trinkets; }
    const KvList<KvTrinket>& twGetTrinketList() const { return trinkets; }
    int twIsFlipping() const { return flipping; }
    int twGetFlipSide() const { return flipSide; }
    unsigned long twGetTimeOrigin() const { return timeOrigin; }
    unsigned long twGetLostTime() const { return lostTime; }
    int getMaxUpdateRate() const { return maxUpdateRate; }

    // ---- geometry ----
    void twSetScaling(int width, int height);
    bool twGetScaling(int& width, int& height) const;
    bool twGetCollectorScaling() const { return collectorScaling; }
    void twGetBlitOffsets(int& x, int& y) const { x = blitOffsetX, y = blitOffsetY; }
    int twGetBlitOffsetX() const { return blitOffsetX; }
    int twGetBlitOffsetY() const { return blitOffsetY; }
    // Window to collector coordinates for the current window (the framework's mouse transform).
    static void eventXYTransform(KvPoint& p);
    void twSetZDepth(int d);
    int twGetZDepth() const { return zDepth; }
    void twSetUpdateRgnDelay(int d);
    int twGetUpdateRgnDelay() const { return updateRgnDelay; }

    // ---- palette ----
    void twSetPalette(const KvColor* colors, int clearIfChanged);

    // ---- trinket links and flags ----
    void twSuspendTrinketLinks(long bits, const char* className);
    void twResumeTrinketLinks(long bits, const char* className);
    void twSetTrinketFlags(long f) { trinketFlags = f; }
    long twGetTrinketFlags() const { return trinketFlags; }

    // ---- events and cursor ----
    KvTrinket* twGetEventReceiver() const { return eventReceiver; }
    void twUpdateCursor(int force);
    void twSetFlyOnMoveOnly(int f) { flyOnMoveOnly = f; }
    int twIsFlyOnMoveOnly() const { return flyOnMoveOnly; }
    void twSetProcessCursor(int p) { processCursor = p; }
    int twGetProcessCursor() const { return processCursor; }

    // ---- hooks (each stores a clone; null clears; called with their stored argument) ----
    void twPreServiceSetLink(const KvLink* l) { KvLink::assign(preServiceLink, l); }
    void twPostUpdateTrinketsSetLink(const KvLink* l) { KvLink::assign(postUpdateTrinketsLink, l); }
    void twPostRestoreBackgroundSetLink(const KvLink* l) { KvLink::assign(postRestoreBackgroundLink, l); }
    void twPostDrawTrinketsSetLink(const KvLink* l) { KvLink::assign(postDrawTrinketsLink, l); }
    void twPostServiceSetLink(const KvLink* l) { KvLink::assign(postServiceLink, l); }
    void twBltSetLink(const KvLink* l) { KvLink::assign(bltLink, l); }
    // Called with a pointer to twUserEventInfo before the window routes an event.
    void twEventSetLink(const KvLink* l) { KvLink::assign(eventLink, l); }
    // Called with a pointer to twUserEventInfo on every mouse move, first of all.
    void twCursorMoveSetLink(const KvLink* l) { KvLink::assign(cursorMoveLink, l); }
    // Called at the start of every tick.
    void twCursorServiceSetLink(const KvLink* l) { KvLink::assign(cursorServiceLink, l); }
    KvLink* twPreServiceGetLink() const { return preServiceLink; }
    KvLink* twPostUpdateTrinketsGetLink() const { return postUpdateTrinketsLink; }
    KvLink* twPostRestoreBackgroundGetLink() const { return postRestoreBackgroundLink; }
    KvLink* twPostDrawTrinketsGetLink() const { return postDrawTrinketsLink; }
    KvLink* twPostServiceGetLink() const { return postServiceLink; }
    KvLink* twBltGetLink() const { return bltLink; }
    KvLink* twEventGetLink() const { return eventLink; }
    KvLink* twCursorMoveGetLink() const { return cursorMoveLink; }
    KvLink* twCursorServiceGetLink() const { return cursorServiceLink; }

private:
    friend class KvTrinket;

    // The trinket a running twProcessCursor is about to fly onto; a trinket's
    // destruction clears it in every pending record (nested calls included).
    struct FlyTarget {
        KvTrinket* trinket;
        FlyTarget* outer;
    };
    static FlyTarget* flyTargets;

    // Interruptions of the application count as lost time; ms is a const unsigned long*.
    void twIncreaseLostTime(const void* ms);
    void twFindEventReceiver(const KvPoint& p);
    // The topmost trinket hit at p, or null.
    KvTrinket* twHitTest(const KvPoint& p) const;
    // A mouse event no trinket took: the background's link when it has one for
    // the event, not suspended, and p lies in the visible part of the collector;
    // otherwise the window's own link.
    void twBackgroundFallback(KvEventType event, const KvPoint& p);
    // The debugging aid: outline region (collector coordinates) on the screen.
    void twOutlineUpdate(const KvRegion& region, const KvColor& color);
    void twPauseForUpdateRgn() const;
    // (0, 0, collector width, collector height)
    KvRect twCollectorRect() const;
    // The window rectangle in its own canvas coordinates.
    KvRect twClientRect() const;
    void twBltScaled();
    // The list's order: an existing trinket stays below a new one of equal or higher z.
    static bool twZOrder(const KvTrinket* existing, const KvTrinket* added);

    static KvTrinketWindow* serviceOwner;

    int flipping;
    int flipSide;
    int maxUpdateRate;
    int updateRgnDelay;
    int processCursor;
    int traverseTrinkets;
    int restoreBackground;
    KvList<KvTrinket> trinkets;
    int scaleWidth, scaleHeight;
    int blitOffsetX, blitOffsetY;
    int zDepth;
    KvLink* lostTimeLink;
    unsigned long timeOrigin;
    unsigned long updateTick = 0;  // counts twUpdateTrinkets calls: one update per trinket each
    unsigned long lostTime;
    unsigned long lastSuspendedTime;
    KvTask* serviceTask;
    KvLink* bltLink;
    int updating;
    int sneakUpdates;
    int serviceNotReentrant;
    int flyOnMoveOnly;
    // Regions that take many small unions per tick merge them lazily.
    KvTDeferredRegion bltRgn[2];
    KvTDeferredRegion dirtyBackRgn[2];
    KvTBackground* background;
    KvCanvas* collector;
    int eventsSuspended;
    int lowestZ, highestZ;
    KvTrinket* eventReceiver;
    KvLink* eventLink;
    KvLink* cursorMoveLink;
    KvLink* cursorServiceLink;
    KvLink* preServiceLink;
    KvLink* postUpdateTrinketsLink;
    KvLink* postRestoreBackgroundLink;
    KvLink* postDrawTrinketsLink;
    KvLink* postServiceLink;
    long trinketFlags;
    bool collectorScaling;
};

// Trinket windows: construction and destruction, the service tick and its
// stages, region bookkeeping, blitting, flipping, scaling, palette, and the
// suspension of service with its lost time. Once its scratch lists have grown
// to the scene, the tick allocates nothing of its own; only region arithmetic
// inside pixman may, when regions grow.
#include "trinket/KvTrinketWindow.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "framework/KvSys.h"
#include "framework/KvWndCanvas.h"
#include "framework/KvInterruptions.h"

KvTrinketWindow* KvTrinketWindow::currentWindow = nullptr;
unsigned short KvTrinketWindow::twFormat = 0;
unsigned short KvTrinketWindow::twBits[3] = {0, 0, 0};
unsigned short KvTrinketWindow::twShifts[3] = {0, 0, 0};
unsigned long KvTrinketWindow::twMasks[3] = {0, 0, 0};
KvTUserEventInfo KvTrinketWindow::twUserEventInfo;
KvTrinketWindow::FlyTarget* KvTrinketWindow::flyTargets = nullptr;
KvTrinketWindow* KvTrinketWindow::serviceOwner = nullptr;

namespace {

// twSetPalette compares these entries; the others are the system's own colours.
constexpr int kPaletteSize = 256;
constexpr int kFirstComparedEntry = 10;
constexpr int kLastComparedEntry = 245;

void callHook(const KvLink* l) {
    if (l) l->call();
}

}  // namespace

// ---- construction and destruction ----

KvTrinketWindow::KvTrinketWindow(const KvRect& rect, KvTBackground* bg, KvWindowStyle style,
                                 int collectorWidth, int collectorHeight, int depth,
                                 int surfaceMode, int flip)
    : KvWindow(rect, style, kKvRectIsClient), flipping(0), flipSide(0), maxUpdateRate(1),
      updateRgnDelay(0), processCursor(1), traverseTrinkets(1), restoreBackground(1),
      trinkets(&twZOrder), scaleWidth(rect.width()), scaleHeight(rect.height()), blitOffsetX(0),
      blitOffsetY(0), zDepth(kTwMinZDepth), lostTimeLink(nullptr), timeOrigin(0), lostTime(0),
      lastSuspendedTime(0), serviceTask(nullptr), bltLink(nullptr), updating(1),
      sneakUpdates(0), serviceNotReentrant(0), flyOnMoveOnly(0), background(bg),
      collector(nullptr), eventsSuspended(0), lowestZ(0), highestZ(0), eventReceiver(nullptr),
      eventLink(nullptr), cursorMoveLink(nullptr), cursorServiceLink(nullptr),
      preServiceLink(nullptr), postUpdateTrinketsLink(nullptr),
      postRestoreBackgroundLink(nullptr), postDrawTrinketsLink(nullptr),
      postServiceLink(nullptr), trinketFlags(0), collectorScaling(false) {
    if (!currentWindow) currentWindow = this;

    if (collectorWidth < 0) collectorWidth = rect.right - rect.left;
    if (collectorHeight < 0) collectorHeight = rect.bottom - rect.top;
    if (flip) surfaceMode = kTwFlipSurfaceMode;
    collector = new KvMemCanvas(collectorWidth, collectorHeight, depth, surfaceMode, false);

    if (flip && KvApp::bCanFlip && getCanvas())
        flipping = getCanvas()->attachToFlipChain(collector);
    flipSide = 0;
    traverseTrinkets = 1;

    twRefreshBackground();

    const KvMemberLink<KvTrinketWindow> serviceLink(this, &KvTrinketWindow::service);
    serviceTask = new KvTask(&serviceLink, 0);
    lostTimeLink = new KvMemberLink<KvTrinketWindow>(this, &KvTrinketWindow::twIncreaseLostTime);
    KvInterruptions::interruptedList.append(lostTimeLink);
    if (KvApp::theApp) KvApp::theApp->addTask(serviceTask);

    scaleWidth = getRect().width();
    scaleHeight = getRect().height();

    const KvPixelFormat& f = collector->getPixelFormat();
    twFormat = f.code;
    for (int c = 0; c < 3; ++c) {
        twBits[c] = f.bits[c];
        twShifts[c] = f.shifts[c];
        twMasks[c] = f.masks[c];
    }
}

KvTrinketWindow::~KvTrinketWindow() {
    if (!lastSuspendedTime && KvApp::theApp) KvApp::theApp->removeTask(serviceTask);
    KvInterruptions::interruptedList.remove(lostTimeLink);
    delete lostTimeLink;
    delete serviceTask;
    for (KvLink** l : {&bltLink, &preServiceLink, &postUpdateTrinketsLink,
                       &postRestoreBackgroundLink, &postDrawTrinketsLink, &postServiceLink}) {
        delete *l;
        *l = nullptr;
    }
    if (getCanvas()) getCanvas()->setCursor(nullptr);
    // Trinkets leaving a closing window must not put cursors back on its canvas.
    processCursor = 0;

    // The list is emptied first, so that each trinket's own detaching finds nothing.
    std::vector<KvTrinket*> held;
    held.reserve(static_cast<size_t>(trinkets.count()));
    while (KvTrinket* t = trinkets.first()) {
        held.push_back(t);
        trinkets.remove(t);
    }
    for (KvTrinket* t : held) delete t;

    for (KvLink** l : {&eventLink, &cursorMoveLink, &cursorServiceLink}) {
        delete *l;
        *l = nullptr;
    }
    if (flipping && getCanvas()) getCanvas()->detachFromFlipChain(collector);
    delete collector;
    collector = nullptr;
    delete background;
    background = nullptr;
    if (currentWindow == this) currentWindow = nullptr;
    if (serviceOwner == this) serviceOwner = nullptr;
}

bool KvTrinketWindow::twZOrder(const KvTrinket* existing, const KvTrinket* added) {
    return existing->z <= added->z;
}

KvRect KvTrinketWindow::twCollectorRect() const {
    return collector ? KvRect(0, 0, collector->getWidth(), collector->getHeight()) : KvRect(0, 0, 0, 0);
}

KvRect KvTrinketWindow::twClientRect() const {
    const KvRect r = getRect();
    return KvRect(0, 0, r.width(), r.height());
}

// ---- the tick ----

void KvTrinketWindow::service() {
    if (serviceNotReentrant) {
        if (serviceOwner == this) return;
        serviceOwner = this;
    }
    callHook(cursorServiceLink);
    callHook(preServiceLink);
    twUpdateTrinkets();
    callHook(postUpdateTrinketsLink);
    if (traverseTrinkets) {
        traverseTrinkets = 0;
        if (restoreBackground) twRestoreBackground();
        callHook(postRestoreBackgroundLink);
        twDrawTrinkets();
        callHook(postDrawTrinketsLink);
        if (updating || sneakUpdates) twBlt();
    }
    callHook(postServiceLink);
    serviceOwner = nullptr;
}

void KvTrinketWindow::twUpdateTrinkets() {
    maxUpdateRate = 1;
    timeOrigin = KvSysMilliSecCount() - lostTime;
    // Guarded walks: a trinket may delete itself or others while it updates,
    // and re-sort itself or others. Each trinket is stamped with the tick, so it
    // is updated exactly once whatever the updates do to the order; a trinket
    // moved below the walk before its turn is caught by the walk after.
    if (++updateTick == 0) ++updateTick;
    for (bool updated = true; updated;) {
        updated = false;
        KvList<KvTrinket>::Cursor walk(trinkets);
        for (KvTrinket* t = walk.first(); t; t = walk.next()) {
            if (t->updatedInTick == updateTick) continue;
            t->updatedInTick = updateTick;
            updated = true;
            t->trAskRateAndUpdate();
        }
    }
}

void KvTrinketWindow::twRestoreBackground() { twRestoreBackground(dirtyBackRgn[flipSide].region()); }

void KvTrinketWindow::twRestoreBackground(const KvRegion& region) {
    if (!background) return;
    KvRect changed = KvRect::zero;
    if (background->bkRestore(collector, region, changed)) {
        // The background drew more than asked: that area counts as restored too.
        const KvRegion more(changed);
        twEnlargeDirtyBackRgn(more);
        twDisplay(more);
    }
    if (updateRgnDelay && !region.isNull()) {
        twOutlineUpdate(region, KvColor(static_cast<unsigned short>(0xFFFF >> flipSide), 0, 0));
        twPauseForUpdateRgn();
    }
}

void KvTrinketWindow::twDrawTrinkets() {
    bltRgn[flipSide] = dirtyBackRgn[flipSide];  // all that was restored must reach the screen
    KvList<KvTrinket>::Cursor walk(trinkets);
    for (KvTrinket* t = walk.first(); t; t = walk.next()) t->trDisplay();
    dirtyBackRgn[flipSide].set();
}

void KvTrinketWindow::twBlt() {
    KvTDeferredRegion& pending = bltRgn[flipSide];
    if (pending.isNull()) return;
    if (updateRgnDelay) {
        twOutlineUpdate(pending.region(), KvColor(0, 0, static_cast<unsigned short>(0xFFFF >> flipSide)));
        twPauseForUpdateRgn();
    }
    if (flipping) {
        pending.set();
        flipSide = 1 - flipSide;
        if (getCanvas()) getCanvas()->flip();
    } else {
        // The whole box of the region is copied: whatever the collector holds
        // there (drawn while updates were suspended, or by the host) shows.
        const KvRect r = pending.bounds();
        if (updateRgnDelay) twPauseForUpdateRgn();
        if (collectorScaling)
            twBltScaled();
        else if (getCanvas())
            getCanvas()->blt(collector, r.left, r.top, r.width(), r.height(), r.left - blitOffsetX,
                             r.top - blitOffsetY, kTwRopCopy, nullptr);
        pending.set();
    }
    callHook(bltLink);
}

void KvTrinketWindow::twBltScaled() {
    if (!getCanvas()) return;
    const KvRegion clip(KvRect(0, 0, scaleWidth, scaleHeight));
    getCanvas()->bltScale(collector, twCollectorRect(), twClientRect(), kTwRopCopy, &clip);
}

void KvTrinketWindow::blit(const void* rect) {
    if (!updating && !sneakUpdates) return;
    const KvRect r = rect ? *static_cast<const KvRect*>(rect) : twClientRect();
    if (flipping) {
        twRefreshBackground();  // both buffers are redrawn in full by the next ticks
        return;
    }
    if (collectorScaling)
        twBltScaled();
    else if (getCanvas())
        getCanvas()->blt(collector, r.left + blitOffsetX, r.top + blitOffsetY, r.width(), r.height(),
                         r.left, r.top, kTwRopCopy, nullptr);
}

// ---- regions ----

void KvTrinketWindow::twDisplay(const KvRegion& region) {
    bltRgn[0] += region;
    if (flipping) bltRgn[1] += region;
}

void KvTrinketWindow::twSetBltRgn(const KvRegion& region) {
    bltRgn[0] = region;
    if (flipping) bltRgn[1] = region;
}

void KvTrinketWindow::twEnlargeDirtyBackRgn(const KvRegion& region) {
    dirtyBackRgn[0] += region;
    if (flipping) dirtyBackRgn[1] += region;
}

void KvTrinketWindow::twSetDirtyBackRgn(const KvRegion& region) {
    dirtyBackRgn[0] = region;
    if (flipping) dirtyBackRgn[1] = region;
}

void KvTrinketWindow::twClearDirtyRects() {
    bltRgn[flipSide].set();
    dirtyBackRgn[flipSide].set();
}

// ---- background ----

void KvTrinketWindow::twSetBackground(KvTBackground* b) {
    if (b != background) delete background;
    background = b;
    twRefreshBackground();
}

void KvTrinketWindow::twRefreshBackground() {
    if (!background) return;
    const KvRegion all(twCollectorRect());
    twEnlargeDirtyBackRgn(all);
    twDisplay(all);
    traverseTrinkets = 1;
}

void KvTrinketWindow::twStamp() {
    if (!background) return;
    KvMemCanvas* picture = background->bkGetCanvas();
    if (!picture) return;
    picture->blt(collector, 0, 0, picture->getWidth(), picture->getHeight(), 0, 0, kTwRopCopy, nullptr);
}

// ---- the update-region debugging aid ----

void KvTrinketWindow::twOutlineUpdate(const KvRegion& region, const KvColor& color) {
    KvWndCanvas* screen = getCanvas();
    if (!screen) return;
    screen->outline = true;
    screen->fill = false;
    screen->penWidth = 1;
    screen->outlineColor = color;
    KvRegion shown = region;
    shown.offset(-blitOffsetX, -blitOffsetY);
    screen->draw(shown);
}

void KvTrinketWindow::twPauseForUpdateRgn() const {
    // The framework's clock may not move by itself (the headless one moves only
    // between passes): the wait also ends after updateRgnDelay real milliseconds.
    const unsigned long start = KvSysTickCount();
    const auto realStart = std::chrono::steady_clock::now();
    const auto realDelay = std::chrono::milliseconds(updateRgnDelay);
    while (KvSysTickCount() - start < static_cast<unsigned long>(updateRgnDelay) &&
           std::chrono::steady_clock::now() - realStart < realDelay) {
    }
}

void KvTrinketWindow::twSetUpdateRgnDelay(int d) { updateRgnDelay = std::clamp(d, 0, kTwMaxUpdateRgnDelay); }

// ---- geometry ----

void KvTrinketWindow::twSetScaling(int width, int height) {
    const KvRect collectorRect = twCollectorRect();
    const KvRect windowRect = getRect();
    scaleWidth = std::min(width > 0 ? width : collectorRect.width(), windowRect.width());
    scaleHeight = std::min(height > 0 ? height : collectorRect.height(), windowRect.height());
    collectorScaling = scaleWidth != collectorRect.width() || scaleHeight != collectorRect.height();
}

bool KvTrinketWindow::twGetScaling(int& width, int& height) const {
    width = scaleWidth;
    height = scaleHeight;
    return collectorScaling;
}

void KvTrinketWindow::twSetBlitOffsets(int x, int y) {
    blitOffsetX = x;
    blitOffsetY = y;
    KvEventSetXFormMouseFct(&eventXYTransform);
}

void KvTrinketWindow::twSetZDepth(int d) { zDepth = std::clamp(d, kTwMinZDepth, kTwMaxZDepth); }

// ---- palette ----

void KvTrinketWindow::twSetPalette(const KvColor* colors, int clearIfChanged) {
    if (!colors) return;
    KvWndCanvas* screen = getCanvas();
    if (clearIfChanged && screen && screen->getDepth() == 8) {
        KvColor current[kPaletteSize];
        screen->getPalette(current);
        bool differs = false;
        for (int i = kFirstComparedEntry; i <= kLastComparedEntry && !differs; ++i)
            differs = current[i].r8() != colors[i].r8() || current[i].g8() != colors[i].g8() ||
                      current[i].b8() != colors[i].b8();
        if (differs) {
            screen->fill = true;
            screen->outline = false;
            screen->fillColor = KvColor(0, 0, 0);
            screen->draw(KvRect(0, 0, screen->getWidth(), screen->getHeight()));
        }
    }
    if (collector) collector->setPalette(colors, true);
    if (background) background->bkSetPalette(colors);
    if (screen) screen->setPalette(colors, true);
}

// ---- trinket links and flags ----

void KvTrinketWindow::twSuspendTrinketLinks(long bits, const char* className) {
    if (!bits) return;
    trinketFlags |= bits;
    KvList<KvTrinket>::Cursor walk(trinkets);
    for (KvTrinket* t = walk.first(); t; t = walk.next())
        if (!className || (t->isA() && std::strcmp(t->isA(), className) == 0)) t->linkMask |= bits;
}

void KvTrinketWindow::twResumeTrinketLinks(long bits, const char* className) {
    if (!bits) return;
    trinketFlags &= ~bits;
    KvList<KvTrinket>::Cursor walk(trinkets);
    for (KvTrinket* t = walk.first(); t; t = walk.next())
        if (!className || (t->isA() && std::strcmp(t->isA(), className) == 0)) t->linkMask &= ~bits;
}

// ---- suspension and lost time ----

int KvTrinketWindow::twIsUpdating(int* sneak) const {
    if (sneak) *sneak = sneakUpdates;
    return updating;
}

void KvTrinketWindow::twSuspendService() {
    if (lastSuspendedTime) return;
    if (KvApp::theApp) KvApp::theApp->removeTask(serviceTask);
    lastSuspendedTime = KvSysMilliSecCount();
}

void KvTrinketWindow::twResumeService() {
    if (!lastSuspendedTime) return;
    if (KvApp::theApp) KvApp::theApp->addTask(serviceTask);
    lostTime += KvSysMilliSecCount() - lastSuspendedTime;
    lastSuspendedTime = 0;
}

void KvTrinketWindow::twIncreaseLostTime(const void* ms) {
    if (ms && !trinkets.isEmpty()) lostTime += *static_cast<const unsigned long*>(ms);
}

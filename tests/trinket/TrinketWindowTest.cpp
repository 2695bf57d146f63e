// The window's service tick as a person sees it: the screen after each tick
// against the scene painted from scratch, and what the tick restores, draws
// and blits (recorded by the background, the swatches and the blit link).
// Also flipping, scaling, blit offsets, suspension and lost time, palette,
// hooks, reentrance and the update-region aid.
#include <algorithm>
#include <random>

#include "framework/KvSys.h"

#include "tests/trinket/TrinketTestSupport.h"

using Tick = TrinketTest;

// Hooks run between the stages in order; a tick with nothing dirty restores,
// draws and blits nothing, though trinkets still advance.
TEST_F(Tick, HooksRunBetweenTheStagesAndACleanTickDoesNothingElse) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 30, 30), kRed);
    CallRecorder hooks;
    const KvFunctionLink cursor = hooks.link("cursor"), pre = hooks.link("pre"), postUpdate = hooks.link("postUpdate"),
                         postRestore = hooks.link("postRestore"), postDraw = hooks.link("postDraw"),
                         blt = hooks.link("blt"), post = hooks.link("post");
    w->twCursorServiceSetLink(&cursor);
    w->twPreServiceSetLink(&pre);
    w->twPostUpdateTrinketsSetLink(&postUpdate);
    w->twPostRestoreBackgroundSetLink(&postRestore);
    w->twPostDrawTrinketsSetLink(&postDraw);
    w->twBltSetLink(&blt);
    w->twPostServiceSetLink(&post);
    tick();
    EXPECT_EQ(hooks.joined(), "cursor pre postUpdate postRestore postDraw blt post");
    tick();  // walks the trinkets once more and finds them clean
    const int restores = recorder->restores, draws = a->draws, presents = screen()->getPresentCount();
    hooks.entries.clear();
    tick();
    EXPECT_EQ(recorder->restores * 1000 + a->draws * 10 + screen()->getPresentCount(), restores * 1000 + draws * 10 + presents);
    EXPECT_EQ(hooks.joined(), "cursor pre postUpdate post");
    EXPECT_EQ(a->updates, 3);
}

TEST_F(Tick, OnlyTheAreaAMoveTouchesIsRestoredRedrawnAndBlitted) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 30, 30), kRed);
    Swatch* far = add(KvRect(100, 60, 120, 80), kBlue);
    std::vector<KvRect> blits;  // the area each blit presented
    const KvFunctionLink blitLink([&](const void*) { blits.push_back(screen()->getLastPresentArea()); });
    w->twBltSetLink(&blitLink);
    tick(2);
    recorder->restored.set();
    blits.clear();
    const int farDraws = far->draws, aDraws = a->draws, presents = screen()->getPresentCount();

    int dx = 5, dy = 3;
    a->trOffset(dx, dy);
    tick();
    const KvRect moved(10, 10, 35, 33);  // old and new box together
    EXPECT_TRUE(recorder->restored == KvRegion(moved));
    EXPECT_EQ(a->draws, aDraws + 1);
    EXPECT_EQ(far->draws, farDraws);
    EXPECT_EQ(blits, std::vector<KvRect>{moved});
    EXPECT_EQ(screen()->getPresentCount(), presents + 1);
    EXPECT_TRUE(screenShowsScene());
}

// A clean trinket under a moving one redraws only the part that changed,
// clipped the way its clipping support allows.
struct ClipCase {
    KvTrinketClippingSupport support;
    bool clipped;      // drawn under a clip region
    int clipRects;     // rectangles of that region
    KvRect clipBounds;
};

TEST_F(Tick, ACleanTrinketUnderAChangeRedrawsClippedByItsSupport) {
    const ClipCase cases[] = {
        {kTrClipNone, false, 0, KvRect::zero},
        {kTrClipRect, true, 1, KvRect(20, 20, 60, 30)},
        {kTrClipRegion, true, 2, KvRect(20, 20, 60, 30)},
    };
    for (const ClipCase& c : cases) {
        SCOPED_TRACE(c.support);
        open();
        Swatch* under = add(KvRect(20, 20, 60, 60), kGreen, c.support);
        Swatch* left = add(KvRect(10, 10, 30, 30), kRed);
        Swatch* right = add(KvRect(50, 10, 70, 30), kBlue);
        tick(2);
        under->draws = 0;
        for (Swatch* s : {left, right}) {
            int dx = 1, dy = 0;
            s->trOffset(dx, dy);
        }
        tick();
        EXPECT_EQ(under->draws, 1);
        EXPECT_EQ(under->lastClipped, c.clipped);
        if (c.clipped) {
            EXPECT_EQ(under->lastClip.rectCount(), c.clipRects);
            EXPECT_EQ(under->lastClip.bounds(), c.clipBounds);
        }
        EXPECT_TRUE(screenShowsScene());
        EXPECT_EQ(window->twGetCollector()->clip, nullptr);  // emptied after drawing
        window.reset();
    }
}

// A random scene run tick by tick: whatever moves, hides, shows or changes
// z, the screen after every tick equals the scene painted from scratch.
// With flipping, each buffer must have caught up whenever it is shown.
// Scenes of many small swatches change a few scattered pieces of the screen
// at a time.
struct RandomScene {
    unsigned seed;
    int swatches;
    int minSide, sideRange;  // height minSide + [0, sideRange), width 2 more
};

TEST_F(Tick, EveryShownFrameEqualsAFullRedraw) {
    const RandomScene scenes[] = {{42, 6, 10, 30}, {7, 16, 3, 10}, {1234, 24, 2, 14}};
    for (const RandomScene& scene : scenes)
    for (int flip : {0, 1}) {
        SCOPED_TRACE(flip ? "flipping" : "blitting");
        SCOPED_TRACE(scene.seed);
        KvTrinketWindow* w = open(-1, -1, flip);
        ASSERT_EQ(w->twIsFlipping(), flip);
        std::mt19937 rng(scene.seed + flip);
        const KvColor colors[] = {kRed, kGreen, kBlue, kYellow, kCyan, kMagenta};
        const KvTrinketClippingSupport supports[] = {kTrClipNone, kTrClipRect, kTrClipRegion};
        std::vector<Swatch*> swatches;
        for (int i = 0; i < scene.swatches; ++i) {
            const int x = static_cast<int>(rng() % 130), y = static_cast<int>(rng() % 90);
            // One expression, as the first scene has always been drawn.
            swatches.push_back(add(KvRect(x, y, x + scene.minSide + 2 + static_cast<int>(rng() % scene.sideRange),
                                          y + scene.minSide + static_cast<int>(rng() % scene.sideRange)),
                                   colors[i % 6], supports[i % 3]));
        }
        int flips = 0;
        for (int step = 0; step < 200; ++step) {
            Swatch* s = swatches[rng() % swatches.size()];
            switch (rng() % 7) {
                case 0: case 1: {
                    int dx = static_cast<int>(rng() % 21) - 10, dy = static_cast<int>(rng() % 21) - 10;
                    s->trOffset(dx, dy);
                    break;
                }
                case 2: s->trSetXY(static_cast<int>(rng() % 140), static_cast<int>(rng() % 100)); break;
                case 3: s->trSetVisible(!s->trGetVisible()); break;
                case 4: s->trSetZ(static_cast<int>(rng() % 5) - 2); break;
                case 5: s->trTop(); break;
                default: break;  // a tick with nothing new
            }
            const int side = w->twGetFlipSide();
            tick();
            flips += w->twGetFlipSide() != side;
            ASSERT_TRUE(screenShowsScene()) << "after step " << step;
        }
        if (flip) {
            EXPECT_GT(flips, 100);
        }
        window.reset();
    }
}

TEST_F(Tick, FlippingKeepsAChangePendingForTheOtherBuffer) {
    KvTrinketWindow* w = open(-1, -1, 1);
    ASSERT_TRUE(w->twIsFlipping());
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    tick();
    EXPECT_EQ(w->twGetFlipSide(), 1);
    EXPECT_TRUE(screenShowsScene());
    int dx = 20, dy = 0;
    s->trOffset(dx, dy);
    // The move is pending on both sides: the old area must be restored in each buffer.
    EXPECT_EQ(s->dirtyStateOfSide(0), kTrPartlyDirty);
    EXPECT_EQ(s->dirtyStateOfSide(1), kTrPartlyDirty);
    tick();
    EXPECT_EQ(w->twGetFlipSide(), 0);
    EXPECT_TRUE(screenShowsScene());
    EXPECT_EQ(s->dirtyStateOfSide(1), kTrClean);   // drawn into that buffer
    EXPECT_NE(s->dirtyStateOfSide(0), kTrClean);   // still owed to this one
    EXPECT_FALSE(w->twGetDirtyBackRgn().isNull());
    tick();
    EXPECT_TRUE(screenShowsScene());
    EXPECT_TRUE(shows(15, 15, kWhite));
}

// The screen shows the collector shifted by the blit offsets; a blit repaints
// the given part of the window (in window coordinates) from the collector.
TEST_F(Tick, BlitOffsetsShowTheShiftedPartOfTheCollectorAndBlitsRepaintIt) {
    KvTrinketWindow* w = open(320, 240);
    w->twSetBlitOffsets(100, 50);
    add(KvRect(120, 70, 140, 90), kRed);  // screen (20, 20)
    add(KvRect(10, 10, 40, 40), kBlue);   // outside the visible part
    tick();
    EXPECT_TRUE(screenShowsScene());
    EXPECT_TRUE(shows(25, 25, kRed) && shows(15, 15, kWhite));
    KvWndCanvas* wc = w->getCanvas();
    wc->fill = true;
    wc->fillColor = kGreen;
    wc->draw(KvRect(0, 0, 160, 120));  // the window was scribbled over
    const KvRect part(0, 0, 30, 30);
    w->blit(&part);
    EXPECT_TRUE(shows(25, 25, kRed) && shows(5, 5, kWhite) && shows(35, 35, kGreen));
    w->blit(nullptr);
    EXPECT_TRUE(screenShowsScene());
}

TEST_F(Tick, SuspendedUpdatesDrawIntoTheCollectorButBlitNothing) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    tick();
    w->twSuspendUpdates();
    int sneak = -1;
    EXPECT_EQ(w->twIsUpdating(&sneak), 0);
    EXPECT_EQ(sneak, 0);
    const int presents = screen()->getPresentCount();
    s->trSetXY(50, 50);
    tick();
    EXPECT_EQ(screen()->getPresentCount(), presents);
    EXPECT_EQ(w->twGetCollector()->getPixel(55, 55), w->twGetCollector()->mapColor(kRed));  // drawn
    EXPECT_TRUE(shows(55, 55, kWhite));
    EXPECT_TRUE(shows(15, 15, kRed));  // the screen still shows the old place
    w->twResumeUpdates();
    tick(2);
    EXPECT_TRUE(shows(15, 15, kRed));  // drawn while suspended: not blitted by later ticks
    w->blit(nullptr);
    EXPECT_TRUE(screenShowsScene());

    // Sneaking updates blits even while suspended.
    w->twSuspendUpdates();
    w->twSneakUpdates(1);
    s->trSetXY(80, 80);
    tick();
    EXPECT_TRUE(screenShowsScene());
}

TEST_F(Tick, ScalingStretchesTheCollectorOverTheWindow) {
    KvTrinketWindow* w = open(80, 60);
    add(KvRect(10, 10, 20, 20), kRed);
    w->twSetScaling(160, 120);
    tick();
    EXPECT_TRUE(shows(21, 21, kRed) && shows(38, 38, kRed) && shows(41, 41, kWhite));
    int sw = 0, sh = 0;
    w->twSetScaling(500, 500);  // at most the window
    EXPECT_TRUE(w->twGetScaling(sw, sh));
    EXPECT_EQ(sw * 1000 + sh, 160120);
    w->twSetScaling(0, 0);      // the collector's own size: off
    EXPECT_FALSE(w->twGetScaling(sw, sh));
    EXPECT_EQ(sw * 1000 + sh, 80060);
}

// Suspending service adds exactly the pause to the lost time; interruptions
// count too, but only while the window has trinkets.
TEST_F(Tick, SuspendingServiceAndInterruptionsAddToLostTime) {
    KvTrinketWindow* w = open();
    backend.interrupt(300);
    EXPECT_EQ(w->twGetLostTime(), 0u);
    Swatch* s = add(KvRect(10, 10, 30, 30), kRed);
    tick();
    const unsigned long origin = w->twGetTimeOrigin();
    w->twSuspendService();
    EXPECT_TRUE(w->twIsSuspended());
    EXPECT_EQ(w->twGetLastSuspendedTime(), KvSysMilliSecCount());
    w->twSuspendService();  // twice: the first time counts
    const int updates = s->updates;
    backend.advance(5000);
    tick(3);  // 30 ms of passes without service
    EXPECT_EQ(s->updates, updates);
    w->twResumeService();
    EXPECT_FALSE(w->twIsSuspended());
    EXPECT_EQ(w->twGetLostTime(), 5030u);
    tick();
    EXPECT_EQ(w->twGetTimeOrigin(), origin + 10);  // as if the pause had not happened
    w->twResumeService();  // not suspended: nothing
    EXPECT_EQ(w->twGetLostTime(), 5030u);
    backend.interrupt(250);
    EXPECT_EQ(w->twGetLostTime(), 5280u);
}

TEST_F(Tick, TrinketsMayHideOrDeleteThemselvesAndOthersWhileUpdating) {
    KvTrinketWindow* w = open();
    Swatch* bottom = add(KvRect(0, 0, 20, 20), kRed);
    Swatch* hider = add(KvRect(30, 0, 50, 20), kGreen);
    Swatch* killer = add(KvRect(60, 0, 80, 20), kBlue);
    Swatch* victimAbove = add(KvRect(90, 0, 110, 20), kYellow);
    Swatch* suicidal = add(KvRect(120, 0, 140, 20), kCyan);
    Swatch* last = add(KvRect(0, 40, 20, 60), kMagenta);
    tick();
    EXPECT_TRUE(screenShowsScene());
    hider->onUpdate = [](Swatch& self) { self.trHide(); };
    killer->onUpdate = [&](Swatch&) {
        delete bottom;       // already updated this tick
        delete victimAbove;  // not yet updated
        killer->onUpdate = nullptr;
    };
    suicidal->onUpdate = [](Swatch& self) { delete &self; };
    const int lastUpdates = last->updates;
    tick();
    EXPECT_EQ(w->twGetTrinketList().count(), 3);
    EXPECT_EQ(last->updates, lastUpdates + 1);  // the walk went on past the deletions
    EXPECT_TRUE(screenShowsScene());  // the hidden and deleted ones are gone from the screen
    EXPECT_TRUE(shows(70, 10, kBlue));
}

// Re-sorting during updates: raising itself to the top, climbing one z per
// update, or moving a trinket not yet updated below the walk. Each trinket is
// updated exactly once per tick.
TEST_F(Tick, EveryTrinketIsUpdatedOncePerTickWhateverUpdatesDoToTheOrder) {
    open();
    Swatch* lowered = add(KvRect(0, 0, 4, 4), kRed);
    Swatch* climber = add(KvRect(0, 0, 4, 4), kGreen);
    Swatch* other = add(KvRect(0, 0, 4, 4), kBlue);
    Swatch* topper = add(KvRect(0, 0, 4, 4), kYellow);
    lowered->trSetZ(5);  // above climber and topper until climber moves it
    climber->onUpdate = [&](Swatch& self) {
        if (self.updates < 100) self.trSetZ(self.trGetZ() + 1);
        if (lowered->trGetZ() == 5) lowered->trSetZ(-1);
    };
    topper->onUpdate = [](Swatch& self) {
        if (self.updates < 100) self.trTop();
    };
    for (int n : {1, 2}) {  // updates of climber, topper, other and lowered, and climber's z
        tick();
        EXPECT_EQ((std::vector<int>{climber->updates, topper->updates, other->updates, lowered->updates, climber->trGetZ()}),
                  std::vector<int>(5, n));
    }
}

TEST_F(Tick, UpdateRatesAreGatheredAndUpdatesCanBeSuspended) {
    KvTrinketWindow* w = open();
    struct Rated : Swatch {
        Rated(KvTrinketWindow* win, int r) : Swatch(win, KvRect(0, 0, 4, 4), kRed), rate(r) {}
        int trGetUpdateRate() const override { return rate; }
        int rate;
    };
    auto* a = new Rated(w, 12);
    new Rated(w, 30);
    tick();
    EXPECT_EQ(w->getMaxUpdateRate(), 30);
    a->trSuspendLinks(kTrSuspendUpdate);
    const int updates = a->updates;
    tick();
    EXPECT_EQ(a->updates, updates);
    EXPECT_EQ(w->getMaxUpdateRate(), 30);  // the rate is still asked
}

TEST_F(Tick, ANonReentrantServiceIgnoresNestedCalls) {
    KvTrinketWindow* w = open();
    int pres = 0, nested = 0;
    const KvFunctionLink pre([&](const void*) {
        ++pres;
        if (nested++ == 0) w->service();
    });
    w->twPreServiceSetLink(&pre);
    w->twSetServiceReentrance(0);
    w->service();
    EXPECT_EQ(pres, 1);
    w->twSetServiceReentrance(1);
    nested = 0;
    w->service();
    EXPECT_EQ(pres, 3);
}

TEST_F(Tick, SuspendingTrinketLinksByClassReachesOnlyThatClass) {
    KvTrinketWindow* w = open();
    KvSR record("Swatch", &Swatch::make);
    Swatch* plain = add(KvRect(0, 0, 4, 4), kRed);
    auto* member = static_cast<Swatch*>(KvScriptableObject::create("Swatch", KvScriptableObject::kKvEndOfParameters));
    ASSERT_NE(member, nullptr);
    w->twSuspendTrinketLinks(kTrSuspendFlyOn | kTrSuspendMouseUp, "Swatch");
    EXPECT_EQ(member->trGetLinkMask(), kTrSuspendFlyOn | kTrSuspendMouseUp);
    EXPECT_EQ(plain->trGetLinkMask(), 0);
    EXPECT_EQ(w->twGetTrinketFlags(), kTrSuspendFlyOn | kTrSuspendMouseUp);
    EXPECT_EQ(add(KvRect(0, 0, 4, 4), kRed)->trGetLinkMask(), kTrSuspendFlyOn | kTrSuspendMouseUp);
    w->twResumeTrinketLinks(kTrSuspendMouseUp, "Swatch");
    EXPECT_EQ(member->trGetLinkMask(), kTrSuspendFlyOn);
    EXPECT_EQ(w->twGetTrinketFlags(), kTrSuspendFlyOn);
    w->twSuspendTrinketLinks(kTrSuspendKeyDown, nullptr);
    EXPECT_EQ(plain->trGetLinkMask(), kTrSuspendKeyDown);
    w->twResumeTrinketLinks(kTrSuspendKeyDown | kTrSuspendFlyOn, nullptr);
    EXPECT_EQ(plain->trGetLinkMask() + member->trGetLinkMask(), 0);
}

TEST_F(Tick, TheCollectorsPixelFormatIsPublishedAndLastWindowWins) {
    open();
    EXPECT_EQ(KvTrinketWindow::twFormat, kKvFormat565);
    EXPECT_EQ(KvTrinketWindow::twBits[1], 6);
    EXPECT_EQ(KvTrinketWindow::twShifts[0], 11);
    EXPECT_EQ(KvTrinketWindow::twMasks[2], 0x1Fu);
    KvTrinketWindow other(KvRect(0, 0, 10, 10), nullptr, 0, -1, -1, 15, 1, 0);
    EXPECT_EQ(KvTrinketWindow::twFormat, kKvFormat555);
    EXPECT_EQ(KvTrinketWindow::twMasks[0], 0x7C00u);
    EXPECT_EQ(KvTrinketWindow::currentWindow, window.get());
}

TEST_F(Tick, ReplacingTheBackgroundRedrawsEverythingAndStampingCopiesTheCollector) {
    KvTrinketWindow* w = open();
    add(KvRect(10, 10, 30, 30), kRed);
    tick();
    // A background holding a picture: plain blue, restored by copying.
    struct Picture : KvTBackground {
        KvMemCanvas canvas{160, 120, 16};
        Picture() {
            canvas.fillColor = kBlue;
            canvas.draw(canvas.getBounds());
        }
        KvMemCanvas* bkGetCanvas() const override { return const_cast<KvMemCanvas*>(&canvas); }
        bool bkRestore(KvCanvas* target, const KvRegion& region, KvRect&) override {
            target->blt(&canvas, 0, 0, 160, 120, 0, 0, kKvRopCopy, &region);
            return false;
        }
    };
    auto* picture = new Picture;
    w->twSetBackground(picture);
    recorder = nullptr;  // deleted by the window
    EXPECT_EQ(w->twGetBackground(), picture);
    tick();
    EXPECT_TRUE(shows(50, 50, kBlue) && shows(20, 20, kRed));
    w->twStamp();
    EXPECT_EQ(picture->canvas.getPixel(20, 20), picture->canvas.mapColor(kRed));
}

TEST_F(Tick, ABackgroundThatDrawsMoreGetsThatAreaRedrawnAndBlitted) {
    struct Greedy : KvTBackground {
        bool bkRestore(KvCanvas* target, const KvRegion& region, KvRect& changed) override {
            if (region.isNull()) return false;
            changed = region.bounds() + KvRect(0, 0, 80, 60);
            target->fill = true;
            target->fillColor = kWhite;
            target->draw(changed);
            return true;
        }
    };
    open(-1, -1, 0, new Greedy);
    Swatch* a = add(KvRect(50, 10, 70, 30), kRed);
    Swatch* b = add(KvRect(10, 10, 20, 20), kBlue);  // in the area drawn beyond the request
    tick(2);
    const int bDraws = b->draws;
    a->trSetXY(100, 10);
    tick();
    EXPECT_EQ(b->draws, bDraws + 1);
    EXPECT_TRUE(screenShowsScene());
}

TEST_F(Tick, PaletteReachesCollectorBackgroundAndScreenAndClearsOnlyIndexedScreens) {
    struct PaletteProbe : RecordingBackground {
        const KvColor* seen = nullptr;
        void bkSetPalette(const KvColor* c) override { seen = c; }
    };
    auto* probe = new PaletteProbe;
    KvTrinketWindow* w = open(-1, -1, 0, probe);
    add(KvRect(10, 10, 30, 30), kRed);
    tick();
    KvColor palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = KvColor::fromBytes(static_cast<uint8_t>(i), 0, 0);
    w->twSetPalette(palette, 1);
    EXPECT_EQ(probe->seen, palette);
    EXPECT_EQ(w->twGetCollector()->getPaletteEntries()[7], palette[7]);
    EXPECT_TRUE(shows(20, 20, kRed));  // a 16-bit screen is never cleared
}

TEST_F(Tick, AnIndexedScreenIsClearedWhenTheMiddleOfThePaletteChanges) {
    backend.setDisplayDepth(8);
    KvColor grey[256];
    for (int i = 0; i < 256; ++i) grey[i] = KvColor::fromBytes(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i));
    // Each channel on its own is a change; outside 10..245 or in the low byte, none.
    struct Case {
        int entry;
        unsigned short KvColor::*channel;
        unsigned short value;
        bool clears;
    } cases[] = {{3, &KvColor::red, 0x4000, false},  {100, &KvColor::red, 0x64FF, false},
                 {100, &KvColor::red, 0x0100, true}, {100, &KvColor::green, 0x0100, true},
                 {245, &KvColor::blue, 0x0100, true}};
    for (const Case& c : cases) {
        KvTrinketWindow* w = open(-1, -1, 0, nullptr, 8);
        w->twSetPalette(grey, 1);
        add(KvRect(10, 10, 30, 30), KvColor::fromBytes(255, 255, 255));
        tick();
        ASSERT_EQ(screen()->screenPixel(20, 20), 255u);
        KvColor changed[256];
        std::copy(grey, grey + 256, changed);
        changed[c.entry].*c.channel = c.value;
        w->twSetPalette(changed, 1);
        EXPECT_EQ(screen()->screenPixel(20, 20), c.clears ? screen()->display().mapColor(KvColor(0, 0, 0)) : 255u)
            << c.entry;
    }
}

// The update-region aid outlines what each stage touched and pauses. On the
// headless clock, which moves only between passes, the pause must still end;
// a clock that moves on every reading shows how long it lasts.
TEST_F(Tick, TheUpdateRegionAidOutlinesRestoredAndRedrawnAreasAndPauses) {
    KvTrinketWindow* w = open();
    Swatch* s = add(KvRect(10, 10, 30, 30), kYellow);
    Swatch* far = add(KvRect(100, 60, 120, 80), kYellow);
    w->service();
    w->twSetUpdateRgnDelay(5);
    int dx = 5, dy = 3;
    far->trOffset(dx, dy);
    const unsigned long still = KvSysTickCount();
    w->service();
    EXPECT_EQ(KvSysTickCount(), still);
    EXPECT_TRUE(w->twGetBltRgn().isNull());
    backend.tickPerRead = 1;
    w->twSetUpdateRgnDelay(5000);
    EXPECT_EQ(w->twGetUpdateRgnDelay(), 1000);
    w->twSetUpdateRgnDelay(-3);
    EXPECT_EQ(w->twGetUpdateRgnDelay(), 0);
    w->twSetUpdateRgnDelay(20);
    w->twSuspendUpdates();  // no blit: the outlines stay on the screen
    s->trOffset(dx, dy);
    const unsigned long before = backend.milliSeconds();
    w->service();
    EXPECT_GE(backend.milliSeconds() - before, 20u);  // paused after restoring
    EXPECT_TRUE(shows(10, 20, kRed) && shows(20, 10, kRed));      // restored area (10, 10, 35, 33)
    EXPECT_TRUE(shows(15, 20, kGreen) && shows(20, 13, kGreen));  // redrawn box (15, 13, 35, 33)

    // With updates on, the blit then copies the changed area over its outlines.
    w->twResumeUpdates();
    s->trOffset(dx, dy);  // to (20, 16, 40, 36)
    w->service();
    EXPECT_TRUE(w->twGetBltRgn().isNull());
    EXPECT_TRUE(shows(15, 20, kWhite) && shows(25, 25, kYellow));
}

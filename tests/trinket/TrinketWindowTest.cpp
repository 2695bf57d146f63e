// The window's service tick as a person sees it: the screen after each tick
// against the scene painted from scratch (blitting, flipping, and under a
// background that paints more than asked), and what the tick restores, draws
// and blits (recorded by the background, the swatches and the blit link).
// Also hooks, lost time, palettes, reentrance, the update-region aid and
// updates that change the list. Blit offsets, scaling, suspended updates,
// update rates and links suspended by class are driven by golden/ scripts.
#include <algorithm>
#include <random>

#include "framework/KvSys.h"

#include "tests/trinket/TrinketTestSupport.h"

using Tick = TrinketTest;

// Hooks run between the stages in order; a tick with nothing dirty restores,
// draws and blits nothing, though trinkets still advance; a move restores,
// redraws and blits only its old and new box.
TEST_F(Tick, HooksRunBetweenTheStagesAndATickTouchesOnlyWhatChanged) {
    KvTrinketWindow* w = open();
    Swatch* a = add(KvRect(10, 10, 30, 30), kRed);
    Swatch* far = add(KvRect(100, 60, 120, 80), kBlue);
    CallRecorder hooks;
    std::vector<KvRect> blits;  // the area each blit presented
    const KvFunctionLink blt([&](const void*) {
        hooks.entries.push_back("blt");
        blits.push_back(screen()->getLastPresentArea());
    });
    w->twBltSetLink(&blt);
    using Setter = void (KvTrinketWindow::*)(const KvLink*);
    const std::pair<const char*, Setter> stages[] = {
        {"cursor", &KvTrinketWindow::twCursorServiceSetLink}, {"pre", &KvTrinketWindow::twPreServiceSetLink},
        {"postUpdate", &KvTrinketWindow::twPostUpdateTrinketsSetLink},
        {"postRestore", &KvTrinketWindow::twPostRestoreBackgroundSetLink},
        {"postDraw", &KvTrinketWindow::twPostDrawTrinketsSetLink}, {"post", &KvTrinketWindow::twPostServiceSetLink}};
    for (const auto& [name, set] : stages) {
        const KvFunctionLink link = hooks.link(name);
        (w->*set)(&link);
    }
    tick();
    EXPECT_EQ(hooks.joined(), "cursor pre postUpdate postRestore postDraw blt post");
    tick();  // walks the trinkets once more and finds them clean
    recorder->restored.set();
    blits.clear();
    hooks.entries.clear();
    // Restores, draws of a and far, presents.
    auto counts = [&] { return std::vector<int>{recorder->restores, a->draws, far->draws, screen()->getPresentCount()}; };
    const std::vector<int> clean = counts();
    tick();
    EXPECT_EQ(counts(), clean);
    EXPECT_EQ(hooks.joined(), "cursor pre postUpdate post");
    EXPECT_EQ(a->updates, 3);
    int dx = 5, dy = 3;
    a->trOffset(dx, dy);
    tick();
    const KvRect moved(10, 10, 35, 33);  // old and new box together
    EXPECT_TRUE(recorder->restored == KvRegion(moved));
    EXPECT_EQ(counts(), (std::vector<int>{clean[0] + 1, clean[1] + 1, clean[2], clean[3] + 1}));
    EXPECT_EQ(blits, std::vector<KvRect>{moved});
    EXPECT_TRUE(screenShowsScene());
}

// A clean trinket under a moving one redraws only the part that changed,
// clipped the way its clipping support allows.
// Either way the clip spans (20, 20, 60, 30).
TEST_F(Tick, ACleanTrinketUnderAChangeRedrawsClippedByItsSupport) {
    const struct {
        KvTrinketClippingSupport support;
        int clipRects;  // rectangles of the clip region, 0: drawn unclipped
    } cases[] = {{kTrClipNone, 0}, {kTrClipRect, 1}, {kTrClipRegion, 2}};
    for (const auto& c : cases) {
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
        EXPECT_EQ(under->lastClipped, c.clipRects > 0);
        EXPECT_EQ(under->lastClip.rectCount(), c.clipRects);
        EXPECT_TRUE(!c.clipRects || under->lastClip.bounds() == KvRect(20, 20, 60, 30));
        EXPECT_TRUE(screenShowsScene());
        EXPECT_EQ(window->twGetCollector()->clip, nullptr);  // emptied after drawing
        window.reset();
    }
}

// A white background that paints more than it is asked to (the asked area
// plus the top left quarter): what it paints over must be redrawn and blitted.
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

// A random scene run tick by tick: whatever moves, hides, shows or changes
// z, the screen after every tick equals the scene painted from scratch.
// With flipping, each buffer must have caught up whenever it is shown; with
// the greedy background, what it paints beyond the request is made good.
// Scenes of many small swatches change a few scattered pieces of the screen
// at a time.
TEST_F(Tick, EveryShownFrameEqualsAFullRedraw) {
    // Seed, swatches, least side and side range (height least + [0, range), width 2 more).
    const struct {
        unsigned seed;
        int swatches, minSide, sideRange;
    } scenes[] = {{42, 6, 10, 30}, {7, 16, 3, 10}, {1234, 24, 2, 14}};
    for (const auto& scene : scenes)
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode == 1 ? "flipping" : mode ? "greedy" : "blitting");
        SCOPED_TRACE(scene.seed);
        const int flip = mode == 1;
        KvTrinketWindow* w = open(-1, -1, flip, mode == 2 ? new Greedy : nullptr);
        ASSERT_EQ(w->twIsFlipping(), flip);
        std::mt19937 rng(scene.seed + mode);
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
    EXPECT_TRUE(w->twIsSuspended() && w->twGetLastSuspendedTime() == KvSysMilliSecCount());
    w->twSuspendService();  // twice: the first time counts
    const int updates = s->updates;
    backend.advance(5000);
    tick(3);  // 30 ms of passes without service
    EXPECT_EQ(s->updates, updates);
    w->twResumeService();
    EXPECT_EQ(std::make_pair(w->twIsSuspended(), w->twGetLostTime()), std::make_pair(0, 5030ul));
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

TEST_F(Tick, ANonReentrantServiceIgnoresNestedCalls) {
    KvTrinketWindow* w = open();
    int pres = 0, nested = 0;
    const KvFunctionLink pre([&](const void*) {
        ++pres;
        if (nested++ == 0) w->service();
    });
    w->twPreServiceSetLink(&pre);
    for (const auto& [reentrance, calls] : {std::pair{0, 1}, {1, 2}}) {
        w->twSetServiceReentrance(reentrance);
        pres = nested = 0;
        w->service();
        EXPECT_EQ(pres, calls) << reentrance;
    }
}

// A palette then reaches collector, background and screen; a 16-bit screen is never cleared.
TEST_F(Tick, ReplacingTheBackgroundRedrawsEverythingAndStampingCopiesTheCollector) {
    KvTrinketWindow* w = open();
    add(KvRect(10, 10, 30, 30), kRed);
    tick();
    // A background holding a picture: plain blue, restored by copying; it keeps the palette it is given.
    struct Picture : KvTBackground {
        KvMemCanvas canvas{160, 120, 16};
        const KvColor* palette = nullptr;
        void bkSetPalette(const KvColor* c) override { palette = c; }
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
    KvColor palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = KvColor::fromBytes(static_cast<uint8_t>(i), 0, 0);
    w->twSetPalette(palette, 1);
    EXPECT_EQ(picture->palette, palette);
    EXPECT_EQ(w->twGetCollector()->getPaletteEntries()[7], palette[7]);
    EXPECT_TRUE(shows(20, 20, kRed));
}

TEST_F(Tick, AnIndexedScreenIsClearedWhenTheMiddleOfThePaletteChanges) {
    backend.setDisplayDepth(8);
    KvColor grey[256];
    for (int i = 0; i < 256; ++i) grey[i] = KvColor::fromBytes(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i));
    // Each channel on its own is a change; outside 10..245 or in the low byte, none.
    const struct {
        int entry;
        unsigned short KvColor::*channel;
        unsigned short value;
        bool clears;
    } cases[] = {{3, &KvColor::red, 0x4000, false},  {100, &KvColor::red, 0x64FF, false},
                 {100, &KvColor::red, 0x0100, true}, {100, &KvColor::green, 0x0100, true},
                 {245, &KvColor::blue, 0x0100, true}};
    for (const auto& c : cases) {
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
    for (const auto& [set, kept] : {std::pair{5000, 1000}, {-3, 0}}) {
        w->twSetUpdateRgnDelay(set);
        EXPECT_EQ(w->twGetUpdateRgnDelay(), kept);
    }
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

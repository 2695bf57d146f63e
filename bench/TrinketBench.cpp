// One service tick of a trinket window: 200 sprites of 32 x 32, each painting
// its box in one colour, over a white 640 x 480 collector at 16 bits, shown
// through the headless backend. The first argument is how many of the 200
// sprites move each tick (1 to 3 pixels per axis, bouncing off the edges);
// the second is the sprites' clipping support: 0 (a clean sprite under a
// change is redrawn whole, right for a flat sprite that is cheap to paint) or
// 2 (it is redrawn under an exact clip region, right for costly pictures).
//   BM_TickDirty        the window's own path: restore, redraw and blit what
//                       changed (time per iteration = time per tick)
//   BM_TickFull         the same scene redrawn in full every tick (the whole
//                       collector is refreshed before each tick)
//   BM_DirtyVersusFull  both in the same run, a tick of each in turn on two
//                       copies of the scene, so that load from other processes
//                       falls on both alike; counters: the median ns of a tick
//                       of each and their ratio (dirty / full: below 1 the
//                       dirty path wins)
//   BM_DirtyVersusBoxes the window's path beside the plain compositor most
//                       sprite engines start with (BoxCompositor below: the
//                       old and new box of each moving sprite united, boxes
//                       that overlap merged, each merged box restored,
//                       redrawn whole and copied to the screen), a tick of
//                       each in turn; counters as above (ratio dirty / boxes)
// The counter "changed" is the share of the screen one tick of the dirty path
// restores or redraws (its blit region: where the moving sprites were and
// are, and whatever had to be redrawn with them).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "bench/BenchAlternate.h"
#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/KvWindow.h"
#include "framework/KvWndCanvas.h"
#include "framework/headless/KvHeadlessBackend.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTrinket.h"
#include "trinket/KvTrinketWindow.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kSprites = 200, kSide = 32;

void bounce(KvRect& b, int& dx, int& dy);

class Sprite : public KvTrinket {
public:
    Sprite(KvTrinketWindow* w, KvTrinketClippingSupport support, int x, int y, int vx, int vy,
           const KvColor& c)
        : KvTrinket(w, support), dx(vx), dy(vy), color(c) {
        trSetRect(x, y, x + kSide, y + kSide);
    }
    KvScriptableObject* copy() const override { return nullptr; }
    // As animations do: the box first, so hit tests cost what they cost in titles.
    int covers(const KvPoint& p) const override { return box().contains(p); }
    void trUpdate() override {
        if (!moving) return;
        KvRect b = box();
        bounce(b, dx, dy);
        trSetXY(b.left, b.top);
    }
    void trDraw() const override {
        KvCanvas* c = trGetCollector();
        c->fill = true;
        c->outline = false;
        c->fillColor = color;
        c->draw(box());
    }
    bool moving = false;

private:
    int dx, dy;
    KvColor color;
};

// The sprites of a scene: the same for every compositor given the same count.
struct SpriteStart {
    int x, y, vx, vy;
    KvColor color;
};
std::vector<SpriteStart> starts() {
    std::mt19937 rng(7);
    std::vector<SpriteStart> all;
    for (int i = 0; i < kSprites; ++i) {
        const int x = static_cast<int>(rng() % (kWidth - kSide));
        const int y = static_cast<int>(rng() % (kHeight - kSide));
        const int vx = 1 + static_cast<int>(rng() % 3), vy = 1 + static_cast<int>(rng() % 3);
        const int sx = rng() % 2 ? vx : -vx, sy = rng() % 2 ? vy : -vy;
        const KvColor c = KvColor::fromBytes(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                                             static_cast<uint8_t>(rng()));
        all.push_back({x, y, sx, sy, c});
    }
    return all;
}

// Bounces a box of kSide by (dx, dy), as the sprites move.
void bounce(KvRect& b, int& dx, int& dy) {
    if (b.left + dx < 0 || b.right + dx > kWidth) dx = -dx;
    if (b.top + dy < 0 || b.bottom + dy > kHeight) dy = -dy;
    b = KvRect(b.left + dx, b.top + dy, b.right + dx, b.bottom + dy);
}

struct Scene {
    KvHeadlessBackend backend;
    std::unique_ptr<KvApp> app;
    std::unique_ptr<KvTrinketWindow> window;
    std::vector<Sprite*> sprites;

    Scene(int moving, int support) {
        KvBackend::install(&backend);
        app = std::make_unique<KvApp>();
        window = std::make_unique<KvTrinketWindow>(KvRect(0, 0, kWidth, kHeight), new KvTBackground, 0,
                                                   kWidth, kHeight, 16, 1, 0);
        int i = 0;
        for (const SpriteStart& a : starts()) {
            auto* s = new Sprite(window.get(), static_cast<KvTrinketClippingSupport>(support), a.x, a.y, a.vx, a.vy,
                                 a.color);
            s->moving = i++ < moving;
            sprites.push_back(s);
        }
        window->service();  // the first tick draws everything
        window->service();
    }
    ~Scene() {
        window.reset();
        app.reset();
        KvBackend::install(nullptr);
    }

    // The share of the screen one tick restores or redraws, measured on one tick.
    double changedFraction() {
        double fraction = 0;
        const KvFunctionLink measure([&](const void*) {
            const KvRegion& r = window->twGetBltRgn();
            long long area = 0;
            for (int i = 0; i < r.rectCount(); ++i) area += static_cast<long long>(r.rect(i).width()) * r.rect(i).height();
            fraction = static_cast<double>(area) / (kWidth * kHeight);
        });
        window->twPostDrawTrinketsSetLink(&measure);
        window->service();
        window->twPostDrawTrinketsSetLink(nullptr);
        return fraction;
    }
};

// The plain compositor: boxes, merged while any two overlap, each restored,
// redrawn whole (every sprite over it, bottom to top) and copied to the screen.
struct BoxCompositor {
    struct Box {
        KvRect at;
        int dx, dy;
        KvColor color;
        bool moving;
    };
    KvHeadlessBackend backend;
    std::unique_ptr<KvApp> app;
    std::unique_ptr<KvWindow> screen;
    KvMemCanvas collector{kWidth, kHeight, 16};
    std::vector<Box> boxes;
    std::vector<KvRect> changed;

    explicit BoxCompositor(int moving) {
        KvBackend::install(&backend);
        app = std::make_unique<KvApp>();
        screen = std::make_unique<KvWindow>(KvRect(0, 0, kWidth, kHeight));
        int i = 0;
        for (const SpriteStart& a : starts())
            boxes.push_back({KvRect(a.x, a.y, a.x + kSide, a.y + kSide), a.vx, a.vy, a.color, i++ < moving});
        redraw(KvRect(0, 0, kWidth, kHeight));
    }
    ~BoxCompositor() {
        screen.reset();
        app.reset();
        KvBackend::install(nullptr);
    }
    void redraw(const KvRect& r) {
        collector.fill = true;
        collector.outline = false;
        collector.fillColor = KvColor(0xFFFF, 0xFFFF, 0xFFFF);
        collector.draw(r);
        for (const Box& b : boxes)
            if (b.at.overlaps(r)) {
                collector.fillColor = b.color;
                collector.draw(b.at * r);
            }
        screen->getCanvas()->blt(&collector, r.left, r.top, r.width(), r.height(), r.left, r.top);
    }
    void tick() {
        changed.clear();
        for (Box& b : boxes)
            if (b.moving) {
                const KvRect old = b.at;
                bounce(b.at, b.dx, b.dy);
                changed.push_back(old + b.at);
            }
        for (bool merged = true; merged;) {
            merged = false;
            for (size_t i = 0; i < changed.size(); ++i)
                for (size_t j = i + 1; j < changed.size(); ++j)
                    if (changed[i].overlaps(changed[j])) {
                        changed[i] = changed[i] + changed[j];
                        changed.erase(changed.begin() + static_cast<long>(j));
                        merged = true;
                        --j;
                    }
        }
        for (const KvRect& r : changed) redraw(r);
    }
};

void BM_DirtyVersusBoxes(benchmark::State& state) {
    const int moving = static_cast<int>(state.range(0)), support = static_cast<int>(state.range(1));
    Scene dirty(moving, support);
    state.counters["changed"] = dirty.changedFraction();
    BoxCompositor boxes(moving);
    KvBackend::install(&dirty.backend);
    alternate(state, "dirty", "boxes", [&] { dirty.window->service(); }, [&] { boxes.tick(); });
}

void BM_TickDirty(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    state.counters["changed"] = scene.changedFraction();
    for (auto _ : state) scene.window->service();
}

void BM_TickFull(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    state.counters["changed"] = scene.changedFraction();
    for (auto _ : state) {
        scene.window->twRefreshBackground();
        scene.window->service();
    }
}

void BM_DirtyVersusFull(benchmark::State& state) {
    const int moving = static_cast<int>(state.range(0)), support = static_cast<int>(state.range(1));
    Scene dirty(moving, support);
    Scene full(moving, support);
    state.counters["changed"] = dirty.changedFraction();
    alternate(state, "dirty", "full", [&] { dirty.window->service(); },
              [&] {
                  full.window->twRefreshBackground();
                  full.window->service();
              });
}

}  // namespace

BENCHMARK(BM_DirtyVersusBoxes)->ArgsProduct({{200, 50, 10}, {0, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DirtyVersusFull)->ArgsProduct({{200, 150, 100, 50, 10}, {0, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickDirty)->ArgsProduct({{200, 150}, {0, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickFull)->ArgsProduct({{200}, {0, 2}})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

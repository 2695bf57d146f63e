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
// The counter "changed" is the share of the screen one tick of the dirty path
// restores or redraws (its blit region: where the moving sprites were and
// are, and whatever had to be redrawn with them).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <vector>

#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/headless/KvHeadlessBackend.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTrinket.h"
#include "trinket/KvTrinketWindow.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kSprites = 200, kSide = 32;

class Sprite : public KvTrinket {
public:
    Sprite(KvTrinketWindow* w, KvTrinketClippingSupport support, int x, int y, int vx, int vy,
           const KvColor& c)
        : KvTrinket(w, support), dx(vx), dy(vy), color(c) {
        trSetRect(x, y, x + kSide, y + kSide);
    }
    KvScriptableObject* copy() const override { return nullptr; }
    void trUpdate() override {
        if (!moving) return;
        const KvRect& b = box();
        if (b.left + dx < 0 || b.right + dx > kWidth) dx = -dx;
        if (b.top + dy < 0 || b.bottom + dy > kHeight) dy = -dy;
        trSetXY(b.left + dx, b.top + dy);
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
        std::mt19937 rng(7);
        for (int i = 0; i < kSprites; ++i) {
            const int x = static_cast<int>(rng() % (kWidth - kSide));
            const int y = static_cast<int>(rng() % (kHeight - kSide));
            const int vx = 1 + static_cast<int>(rng() % 3), vy = 1 + static_cast<int>(rng() % 3);
            auto* s = new Sprite(window.get(), static_cast<KvTrinketClippingSupport>(support), x, y, rng() % 2 ? vx : -vx, rng() % 2 ? vy : -vy,
                                 KvColor::fromBytes(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                                                    static_cast<uint8_t>(rng())));
            s->moving = i < moving;
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
    std::vector<double> dirtyNs, fullNs;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        dirty.window->service();
        const auto t1 = Clock::now();
        full.window->twRefreshBackground();
        full.window->service();
        const auto t2 = Clock::now();
        dirtyNs.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
        fullNs.push_back(std::chrono::duration<double, std::nano>(t2 - t1).count());
    }
    auto median = [](std::vector<double>& v) {
        std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    const double d = median(dirtyNs), f = median(fullNs);
    state.counters["dirty_ns"] = d;
    state.counters["full_ns"] = f;
    state.counters["ratio"] = d / f;
}

}  // namespace

BENCHMARK(BM_DirtyVersusFull)->ArgsProduct({{200, 150, 100, 50, 10}, {0, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickDirty)->ArgsProduct({{200, 150}, {0, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickFull)->ArgsProduct({{200}, {0, 2}})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

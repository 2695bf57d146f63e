// One pass of the SDL backend's presentation at 640 x 480, 16 bits, scale 2:
// what pumpEvents does first (upload the areas presented since the last
// pass, then render the texture scaled into the window), for a change of the
// whole canvas, of a 32 x 32 square, and of nothing. Beside each, in the same
// loop, a memcpy of the whole canvas: the least any full upload could cost.
// Counters (medians): upload_ns, the upload alone (what this backend does:
// widening to X-R-G-B and handing the rectangles to SDL); pass_ns, upload and
// render (SDL scaling into the window and presenting, vsync off so that no
// waiting is counted); memcpy_ns; the ratios upload/memcpy and pass/memcpy;
// and the pixels a pass uploads. Without a display the benchmark runs on
// SDL's offscreen driver.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/KvApp.h"
#include "framework/KvWindow.h"
#include "framework/KvWndCanvas.h"
#include "framework/sdl/KvSdlBackend.h"
#include "framework/sdl/KvSdlWindow.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

double median(std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void presentPass(benchmark::State& state, KvRect changed) {
    if (!std::getenv("DISPLAY") && !std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_RENDER_VSYNC", "0", 1);
    KvSdlSettings settings;
    settings.scale = 2;
    settings.mute = true;
    settings.msPerPass = 0;
    KvSdlBackend sdl(settings);
    if (!sdl.isReady()) {
        state.SkipWithError(sdl.getError().c_str());
        return;
    }
    KvBackend::install(&sdl);
    {
        KvApp app;
        KvWindow window(KvRect(0, 0, kWidth, kHeight));
        KvWndCanvas* canvas = window.getCanvas();
        canvas->fillColor = KvColor(0x8000, 0x4000, 0xC000);
        canvas->draw(canvas->getBounds());
        sdl.showPending();
        KvSdlWindow* shown = sdl.windowOf(&window);
        std::vector<unsigned char> from(canvas->getMemorySize(), 7), to(from.size());
        std::vector<double> uploadNs, passNs, copyNs;
        const unsigned long long before = shown->getUploadedPixels();
        using Clock = std::chrono::steady_clock;
        auto ns = [](Clock::time_point a, Clock::time_point b) {
            return std::chrono::duration<double, std::nano>(b - a).count();
        };
        for (auto _ : state) {
            const auto t0 = Clock::now();
            if (!changed.isEmpty()) canvas->present(changed);
            const bool uploaded = shown->uploadMarked();
            const auto t1 = Clock::now();
            if (uploaded) shown->render();
            const auto t2 = Clock::now();
            std::memcpy(to.data(), from.data(), from.size());
            benchmark::ClobberMemory();
            const auto t3 = Clock::now();
            uploadNs.push_back(ns(t0, t1));
            passNs.push_back(ns(t0, t2));
            copyNs.push_back(ns(t2, t3));
        }
        const double u = median(uploadNs), p = median(passNs), c = median(copyNs);
        state.counters["upload_ns"] = u;
        state.counters["pass_ns"] = p;
        state.counters["memcpy_ns"] = c;
        state.counters["upload/memcpy"] = c > 0 ? u / c : 0;
        state.counters["pass/memcpy"] = c > 0 ? p / c : 0;
        state.counters["uploaded_px"] =
            static_cast<double>(shown->getUploadedPixels() - before) / static_cast<double>(state.iterations());
    }
    KvBackend::install(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("Present/full", presentPass, KvRect(0, 0, kWidth, kHeight));
    benchmark::RegisterBenchmark("Present/32x32", presentPass, KvRect(300, 200, 332, 232));
    benchmark::RegisterBenchmark("Present/nothing", presentPass, KvRect::zero);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

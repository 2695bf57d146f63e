// Cel drawing throughput: a 256 x 256 cel (about 30% transparent, long fill
// runs and literal runs, encoded by pack) drawn on 8, 16, 24 and 32-bit
// canvases in directions 0 and 4, unclipped and clipped (a clip one pixel
// inside the cel's box on every side, so every run is cut), beside a memcpy
// of the cel's output bytes at each depth, the limit. Items are cel pixels:
// items_per_second is pixels per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "anim/KvCelRenderer.h"

namespace {

constexpr int kCel = 256;
constexpr int kCanvas = 320;
constexpr int kAt = 32;
constexpr int kTransparent = 0;

struct Cel {
    std::unique_ptr<const unsigned char[]> block;
    const unsigned char* picture() const { return block.get() + 52; }
    double transparentShare = 0;
};

// Rows of segments: transparent gaps, fills of one colour and literal noise.
Cel makeCel() {
    KvMemCanvas canvas(kCel, kCel, 8);
    std::mt19937 rng(2026);
    long transparent = 0;
    for (int y = 0; y < kCel; ++y) {
        for (int x = 0; x < kCel;) {
            const int kind = rng() % 10;  // 3 in 10 transparent, 4 fill, 3 literal
            const int n = std::min(kCel - x, 12 + static_cast<int>(rng() % 40));
            const int colour = 1 + rng() % 255;
            for (int i = 0; i < n; ++i, ++x) {
                const int v = kind < 3 ? kTransparent : kind < 7 ? colour : 1 + rng() % 255;
                canvas.setPixel(x, y, static_cast<uint32_t>(v));
                transparent += v == kTransparent;
            }
        }
    }
    Cel cel;
    long size = 0;
    cel.block.reset(static_cast<const unsigned char*>(
        KvCelRenderer::pack(size, &canvas, KvRect::zero, kTransparent)));
    cel.transparentShare = static_cast<double>(transparent) / (kCel * kCel);
    return cel;
}

const Cel& cel() {
    static const Cel c = makeCel();
    return c;
}

uint32_t gTable[256];

void drawCel(benchmark::State& state, int depth, unsigned char dir, bool clipped) {
    KvMemCanvas canvas(kCanvas, kCanvas, depth);
    std::mt19937 rng(7);
    for (uint32_t& e : gTable) e = depth == 16 ? (rng() & 0xFFFF) * 0x10001u : rng();
    KvCelRenderer::currentColorTable = gTable;
    const KvRect clip(kAt + 1, kAt + 1, kAt + kCel - 1, kAt + kCel - 1);
    for (auto _ : state) {
        if (clipped)
            KvCelRenderer::draw(kAt, kAt, cel().picture(), &canvas, clip, dir);
        else
            KvCelRenderer::draw(kAt, kAt, cel().picture(), &canvas, dir);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCel * kCel);
    state.counters["transparent"] = cel().transparentShare;
}

void copyBytes(benchmark::State& state, int depth) {
    const size_t bytes = static_cast<size_t>(kCel) * kCel * (depth / 8);
    std::vector<unsigned char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCel * kCel);
}

}  // namespace

int main(int argc, char** argv) {
    for (int depth : {8, 16, 24, 32}) {
        const std::string bits = std::to_string(depth) + "bit";
        benchmark::RegisterBenchmark(("Memcpy/" + bits).c_str(), copyBytes, depth);
        for (unsigned char dir : {0, 4})
            for (bool clipped : {false, true})
                benchmark::RegisterBenchmark(("Cel/" + bits + "/dir" + std::to_string(dir) +
                                              (clipped ? "/clipped" : "/unclipped"))
                                                 .c_str(),
                                             drawCel, depth, dir, clipped);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Blit throughput on a 640 x 480 picture for the copies a title makes most:
// same-format 16-bit, 8-bit indexed to 16-bit, 16-bit to 32-bit, and a keyed
// 16-bit copy with about a quarter of the source transparent. Bytes processed
// count destination bytes written or skipped.
#include <benchmark/benchmark.h>

#include <random>

#include "framework/KvCanvas.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// A source canvas of random pixels, a quarter of them the key colour (black).
KvMemCanvas* makeSource(int depth) {
    auto* c = new KvMemCanvas(kWidth, kHeight, depth);
    std::mt19937 rng(5);
    KvColor palette[256];
    for (KvColor& p : palette)
        p = KvColor::fromBytes(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                               static_cast<uint8_t>(rng()));
    palette[0] = KvColor();
    c->setPalette(palette, true);
    c->setColorKey(KvColor());
    const uint32_t key = c->mapColor(KvColor());
    const uint32_t mask = depth == 8 ? 0xFF : 0xFFFF;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) c->setPixel(x, y, rng() % 4 == 0 ? key : rng() & mask);
    return c;
}

void bltFullScreen(benchmark::State& state, int srcDepth, int dstDepth, unsigned long rop) {
    KvMemCanvas* src = makeSource(srcDepth);
    KvMemCanvas dst(kWidth, kHeight, dstDepth);
    for (auto _ : state) {
        dst.blt(src, 0, 0, kWidth, kHeight, 0, 0, rop);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kWidth) * kHeight *
                            dst.getPixelFormat().bytesPerPixel);
    delete src;
}

void BM_Blt16To16(benchmark::State& s) { bltFullScreen(s, 16, 16, kKvRopCopy); }
void BM_Blt8To16(benchmark::State& s) { bltFullScreen(s, 8, 16, kKvRopCopy); }
void BM_Blt16To32(benchmark::State& s) { bltFullScreen(s, 16, 32, kKvRopCopy); }
void BM_Blt16To16Keyed(benchmark::State& s) { bltFullScreen(s, 16, 16, kKvRopCopyKeyed); }

}  // namespace

BENCHMARK(BM_Blt16To16);
BENCHMARK(BM_Blt8To16);
BENCHMARK(BM_Blt16To32);
BENCHMARK(BM_Blt16To16Keyed);

BENCHMARK_MAIN();

// Decoding a 640 x 480 compressed 15-bit background into a 5-6-5 and a
// 32-bit canvas (decompression and conversion, through bkSetRes), beside a
// memcpy of as many bytes as each decode writes. Bytes processed are output
// bytes: width x height x bytes per pixel.
//   BM_VersusLzo/<bits>  the anchor: a decode and lzo1x_decompress_safe alone
//                        on the same data, one of each in turn so that load
//                        from other processes falls on both alike; counters:
//                        the median ns of each and ratio = decode / lzo
#include <benchmark/benchmark.h>
#include <lzo/lzo1x.h>

#include <cstring>
#include <random>
#include <vector>

#include "bench/BenchAlternate.h"
#include "background/Background16.h"
#include "framework/KvBackend.h"
#include "framework/KvIStream.h"
#include "framework/headless/KvHeadlessBackend.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// A picture with the runs and gradients of a painted scene, so that it
// compresses like one: horizontal bands of slowly changing colour with noise.
std::vector<unsigned char> makeFile() {
    std::mt19937 rng(3);
    std::vector<unsigned char> raw;
    raw.reserve(2 * kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            unsigned r = (y / 16) & 31, g = (x / 20) & 31, b = (x + y) / 40 & 31;
            if (rng() % 8 == 0) b ^= 1;
            const unsigned p = r << 10 | g << 5 | b;
            raw.push_back(static_cast<unsigned char>(p >> 8));
            raw.push_back(static_cast<unsigned char>(p));
        }
    lzo_init();
    std::vector<unsigned char> packed(raw.size() + raw.size() / 16 + 67);
    std::vector<unsigned char> work(LZO1X_1_MEM_COMPRESS);
    lzo_uint length = packed.size();
    lzo1x_1_compress(raw.data(), raw.size(), packed.data(), &length, work.data());
    std::vector<unsigned char> file(32 + length, 0);
    const uint32_t words[8] = {32, kWidth, kHeight, 0, static_cast<uint32_t>(raw.size()),
                               static_cast<uint32_t>(length), 0x555, 0};
    for (int i = 0; i < 8; ++i)
        for (int b = 0; b < 4; ++b) file[4 * i + b] = static_cast<unsigned char>(words[i] >> (8 * b));
    std::memcpy(file.data() + 32, packed.data(), length);
    return file;
}

void decode(benchmark::State& state, int depth) {
    KvHeadlessBackend backend;
    KvBackend::install(&backend);
    backend.setDisplayDepth(depth);
    const std::vector<unsigned char> file = makeFile();
    Background16 bg(new KvIStreamMemory(file.data(), static_cast<long>(file.size())));
    for (auto _ : state) {
        // bkSetRes consumes the stream and rewrites a header word: a fresh copy each time.
        state.PauseTiming();
        auto* stream = new KvIStreamMemory(file.data(), static_cast<long>(file.size()));
        state.ResumeTiming();
        bg.bkSetRes(stream);
        benchmark::ClobberMemory();
    }
    const int bytesPerPixel = bg.bkGetCanvas()->getPixelFormat().bytesPerPixel;
    state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * bytesPerPixel);
    state.counters["ratio"] = double(file.size()) / (2.0 * kWidth * kHeight);
    KvBackend::install(nullptr);
}

void versusLzo(benchmark::State& state) {
    KvHeadlessBackend backend;
    KvBackend::install(&backend);
    backend.setDisplayDepth(static_cast<int>(state.range(0)));
    const std::vector<unsigned char> file = makeFile();
    Background16 bg(new KvIStreamMemory(file.data(), static_cast<long>(file.size())));
    std::vector<unsigned char> raw(2 * size_t(kWidth) * kHeight);
    alternate(
        state, "decode", "lzo",
        [&] { bg.bkSetRes(new KvIStreamMemory(file.data(), static_cast<long>(file.size()))); },
        [&] {
            lzo_uint length = raw.size();
            const int result = lzo1x_decompress_safe(file.data() + 32, file.size() - 32, raw.data(), &length, nullptr);
            benchmark::DoNotOptimize(result);
            benchmark::ClobberMemory();
        });
    KvBackend::install(nullptr);
}

void copy(benchmark::State& state, int bytesPerPixel) {
    const size_t bytes = size_t(kWidth) * kHeight * bytesPerPixel;
    std::vector<unsigned char> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(bytes));
}

void BM_Decode565(benchmark::State& s) { decode(s, 16); }
void BM_Decode32(benchmark::State& s) { decode(s, 32); }
void BM_Memcpy16(benchmark::State& s) { copy(s, 2); }
void BM_Memcpy32(benchmark::State& s) { copy(s, 4); }

}  // namespace

BENCHMARK(BM_Decode565);
BENCHMARK(BM_Memcpy16);
BENCHMARK(BM_Decode32);
BENCHMARK(BM_Memcpy32);
BENCHMARK(versusLzo)->Name("BM_VersusLzo")->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

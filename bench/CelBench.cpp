// Cel drawing throughput on two 256 x 256 cels encoded by pack: "long" (long
// runs: about 30% transparent in gaps of 12 to 51 pixels, the rest fill runs
// and literal runs as long) and "short" (literal runs of 1 to 3 pixels, each
// followed by one transparent pixel), drawn as an animation draws them, with
// screen-format literals (made by the first draw). Items are cel pixels.
//   Memcpy/<bits>            a memcpy of the cel's output bytes, the limit
//   Cel/<bits>/<cel>/dir<d>/<clip>
//                            our drawer; "clipped" cuts one pixel off every
//                            side of the box, so that every run is cut
//   VersusSdl/<bits>/<cel>   the anchor: our unclipped draw in direction 0 and
//                            SDL2's RLE colour-key blit of the same picture
//                            (a surface in the canvas format holding our
//                            drawing, keyed on a colour no table entry has,
//                            onto a surface of that format), one of each in
//                            turn so that load from other processes falls on
//                            both alike; counters: the median ns of each and
//                            ratio = ours / SDL's
//   VersusDir0/<bits>/<cel>/dir<d>
//                            direction d against direction 0 in the same way;
//                            ratio = direction d / direction 0
// Before timing, each comparison checks that both sides draw the same pixels.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchAlternate.h"
#include "anim/KvCelLiterals.h"
#include "anim/KvCelRenderer.h"

namespace {

constexpr int kCel = 256;
constexpr int kCanvas = 320;
constexpr int kAt = 32;
constexpr int kTransparent = 0;
// The colour key of the SDL surfaces: a pixel value the tables never hold.
constexpr uint32_t kKey = 1;

enum Picture { kLong, kShort };

// A cel as an animation holds it: the picture and its screen-format literals.
struct Cel {
    std::vector<unsigned char> file;
    unsigned char* picture() { return file.data() + 52; }
    KvCelLiterals literals;
    double transparentShare = 0;
};

void makeCel(Cel& cel, Picture kind) {
    KvMemCanvas canvas(kCel, kCel, 8);
    std::mt19937 rng(kind == kLong ? 2026 : 2027);
    long transparent = 0;
    auto put = [&](int x, int y, int v) {
        canvas.setPixel(x, y, static_cast<uint32_t>(v));
        transparent += v == kTransparent;
    };
    for (int y = 0; y < kCel; ++y) {
        for (int x = 0; x < kCel;) {
            if (kind == kLong) {
                const int segment = rng() % 10;  // 3 in 10 transparent, 4 fill, 3 literal
                const int n = std::min(kCel - x, 12 + static_cast<int>(rng() % 40));
                const int colour = 1 + rng() % 255;
                for (int i = 0; i < n; ++i, ++x)
                    put(x, y, segment < 3 ? kTransparent : segment < 7 ? colour : 1 + rng() % 255);
            } else {
                const int n = std::min(kCel - x, 1 + static_cast<int>(rng() % 3));
                for (int i = 0; i < n; ++i, ++x) put(x, y, 1 + rng() % 255);
                if (x < kCel) put(x++, y, kTransparent);
            }
        }
    }
    long size = 0;
    std::unique_ptr<const unsigned char[]> block(static_cast<const unsigned char*>(
        KvCelRenderer::pack(size, &canvas, KvRect::zero, kTransparent)));
    cel.file.assign(block.get(), block.get() + size);
    cel.literals.adopt({cel.picture()});
    cel.transparentShare = static_cast<double>(transparent) / (kCel * kCel);
}

Cel& cel(Picture kind) {
    static Cel cels[2];
    if (cels[kind].file.empty()) makeCel(cels[kind], kind);
    return cels[kind];
}

// Draws a cel the way an animation does, with its literals.
void draw(Picture kind, KvMemCanvas* canvas, unsigned char dir) {
    KvCelRenderer::draw(kAt, kAt, cel(kind).picture(), canvas, dir, &cel(kind).literals);
}

const char* name(Picture kind) {
    return kind == kLong ? "long" : "short";
}

// A colour table for a depth, without the key; 16-bit entries carry the pixel twice.
std::vector<uint32_t> makeTable(int depth) {
    std::mt19937 rng(7);
    std::vector<uint32_t> table(256);
    for (uint32_t& e : table) {
        do e = depth == 16 ? rng() & 0xFFFF : rng() & 0xFFFFFF;
        while (e == kKey);
        if (depth == 16) e *= 0x10001u;
    }
    return table;
}

void drawCel(benchmark::State& state, int depth, Picture kind, unsigned char dir, bool clipped) {
    KvMemCanvas canvas(kCanvas, kCanvas, depth);
    const std::vector<uint32_t> table = makeTable(depth);
    KvCelRenderer::currentColorTable = table.data();
    const KvRect clip(kAt + 1, kAt + 1, kAt + kCel - 1, kAt + kCel - 1);
    for (auto _ : state) {
        if (clipped)
            KvCelRenderer::draw(kAt, kAt, cel(kind).picture(), &canvas, clip, dir,
                                &cel(kind).literals);
        else
            draw(kind, &canvas, dir);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCel * kCel);
    state.counters["transparent"] = cel(kind).transparentShare;
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

// An SDL surface in the canvas format, wrapping nothing of ours.
SDL_Surface* makeSurface(int w, int h, int depth) {
    return SDL_CreateRGBSurfaceWithFormat(
        0, w, h, depth, depth == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888);
}

// The box of the cel on a canvas, row by row, and the same box of a surface.
bool sameBox(KvMemCanvas& canvas, SDL_Surface* s, int bytes) {
    unsigned char* bits = nullptr;
    int pitch = 0;
    if (!canvas.getPointerToMemory(&bits, &pitch)) return false;
    bool same = true;
    for (int y = kAt; y < kAt + kCel && same; ++y)
        same = std::memcmp(bits + y * pitch + kAt * bytes,
                           static_cast<unsigned char*>(s->pixels) + y * s->pitch + kAt * bytes,
                           static_cast<size_t>(kCel) * bytes) == 0;
    canvas.releasePointerToMemory();
    return same;
}

void versusSdl(benchmark::State& state, int depth, Picture kind) {
    const int bytes = depth / 8;
    const std::vector<uint32_t> table = makeTable(depth);
    KvCelRenderer::currentColorTable = table.data();
    // The anchor's source: our drawing of the cel over the key colour.
    KvMemCanvas keyed(kCel, kCel, depth);
    SDL_Surface* source = makeSurface(kCel, kCel, depth);
    SDL_Surface* screen = makeSurface(kCanvas, kCanvas, depth);
    KvMemCanvas canvas(kCanvas, kCanvas, depth);
    if (!source || !screen) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    unsigned char* bits = nullptr;
    int pitch = 0;
    keyed.getPointerToMemory(&bits, &pitch);
    for (int y = 0; y < kCel; ++y)
        for (int x = 0; x < kCel; ++x) std::memcpy(bits + y * pitch + x * bytes, &kKey, bytes);
    keyed.releasePointerToMemory();
    KvCelRenderer::draw(0, 0, cel(kind).picture(), &keyed, 0);
    keyed.getPointerToMemory(&bits, &pitch);
    for (int y = 0; y < kCel; ++y)
        std::memcpy(static_cast<unsigned char*>(source->pixels) + y * source->pitch,
                    bits + y * pitch, static_cast<size_t>(kCel) * bytes);
    keyed.releasePointerToMemory();
    SDL_SetColorKey(source, SDL_TRUE, kKey);
    SDL_SetSurfaceRLE(source, 1);
    SDL_Rect at{kAt, kAt, kCel, kCel};
    auto ours = [&] { draw(kind, &canvas, 0); };
    auto sdl = [&] {
        SDL_Rect where = at;
        SDL_BlitSurface(source, nullptr, screen, &where);
    };
    // Both start from zeroed pixels; the first blit also makes SDL's RLE form.
    ours();
    sdl();
    if (!sameBox(canvas, screen, bytes))
        state.SkipWithError("SDL's blit and ours differ");
    else
        alternate(state, "ours", "sdl", ours, sdl);
    state.SetItemsProcessed(state.iterations() * kCel * kCel);
    SDL_FreeSurface(source);
    SDL_FreeSurface(screen);
}

void versusDir0(benchmark::State& state, int depth, Picture kind, unsigned char dir) {
    KvMemCanvas turned(kCanvas, kCanvas, depth), straight(kCanvas, kCanvas, depth);
    const std::vector<uint32_t> table = makeTable(depth);
    KvCelRenderer::currentColorTable = table.data();
    alternate(
        state, "dir", "dir0", [&] { draw(kind, &turned, dir); }, [&] { draw(kind, &straight, 0); });
    state.SetItemsProcessed(state.iterations() * kCel * kCel);
}

}  // namespace

int main(int argc, char** argv) {
    for (int depth : {8, 16, 24, 32}) {
        const std::string bits = std::to_string(depth) + "bit";
        benchmark::RegisterBenchmark(("Memcpy/" + bits).c_str(), copyBytes, depth);
        for (Picture kind : {kLong, kShort})
            for (unsigned char dir : {0, 4})
                for (bool clipped : {false, true})
                    benchmark::RegisterBenchmark(
                        ("Cel/" + bits + "/" + name(kind) + "/dir" + std::to_string(dir) +
                         (clipped ? "/clipped" : "/unclipped"))
                            .c_str(),
                        drawCel, depth, kind, dir, clipped);
    }
    for (int depth : {16, 32})
        for (Picture kind : {kLong, kShort}) {
            const std::string tail = std::to_string(depth) + "bit/" + name(kind);
            benchmark::RegisterBenchmark(("VersusSdl/" + tail).c_str(), versusSdl, depth, kind);
            for (unsigned char dir = 4; dir < 8; ++dir)
                benchmark::RegisterBenchmark(
                    ("VersusDir0/" + tail + "/dir" + std::to_string(dir)).c_str(), versusDir0,
                    depth, kind, dir);
        }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

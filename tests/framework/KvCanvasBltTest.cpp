// blt and bltScale between canvases of every format and row order, with and
// without clip regions and colour key, checked against a reference that moves
// one pixel at a time through getPixel, getPixelColor and mapColor. Rectangles
// are random, often hanging off either canvas, sometimes near the int limits;
// row padding must survive every copy.
#include "framework/KvCanvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int kDepths[] = {8, 15, 16, 24, 32};
constexpr uint8_t kPadding = 0xA5;

KvColor randomColor(std::mt19937& rng) {
    return KvColor::fromBytes(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                              static_cast<uint8_t>(rng()));
}

// Calls f(row bytes, pitch, used bytes per row) with the canvas memory.
template <class F>
void withMemory(KvCanvas& c, F&& f) {
    unsigned char* bits = nullptr;
    int pitch = 0;
    ASSERT_TRUE(c.getPointerToMemory(&bits, &pitch));
    f(bits, pitch, c.getWidth() * c.getPixelFormat().bytesPerPixel);
    c.releasePointerToMemory();
}

std::unique_ptr<KvMemCanvas> makeCanvas(int w, int h, int depth, bool bottomUp, std::mt19937& rng) {
    auto c = std::make_unique<KvMemCanvas>(w, h, depth, 1, bottomUp);
    KvColor palette[256];
    for (KvColor& p : palette) p = randomColor(rng);
    c->setPalette(palette, true);
    c->setColorKey(randomColor(rng));
    return c;
}

// Random raw pixels, about a quarter of them the key colour; padding set to kPadding.
void scribble(KvCanvas& c, std::mt19937& rng) {
    const uint32_t key = c.mapColor(c.getColorKey());
    const int bytes = c.getPixelFormat().bytesPerPixel;
    const uint32_t mask = bytes == 4 ? 0xFFFFFFFFu : (1u << 8 * bytes) - 1;
    for (int y = 0; y < c.getHeight(); ++y)
        for (int x = 0; x < c.getWidth(); ++x) c.setPixel(x, y, rng() % 4 == 0 ? key : rng() & mask);
    withMemory(c, [&](unsigned char* bits, int pitch, int used) {
        for (int row = 0; row < c.getHeight(); ++row)
            std::memset(bits + row * pitch + used, kPadding, static_cast<size_t>(pitch - used));
    });
}

bool paddingIntact(KvCanvas& c) {
    bool intact = true;
    withMemory(c, [&](unsigned char* bits, int pitch, int used) {
        for (int row = 0; row < c.getHeight(); ++row)
            for (int i = used; i < pitch; ++i) intact = intact && bits[row * pitch + i] == kPadding;
    });
    return intact;
}

std::vector<uint32_t> pixels(const KvCanvas& c) {
    std::vector<uint32_t> out;
    for (int y = 0; y < c.getHeight(); ++y)
        for (int x = 0; x < c.getWidth(); ++x) out.push_back(c.getPixel(x, y));
    return out;
}

// Same size, format, row order, palette, key and pixels.
std::unique_ptr<KvMemCanvas> cloneOf(const KvCanvas& c) {
    auto copy = std::make_unique<KvMemCanvas>(c.getWidth(), c.getHeight(), c.getFormat() == kKvFormat555 ? 15 : c.getDepth(),
                                              1, !c.isTopDown());
    copy->setPalette(c.getPaletteEntries(), true);
    copy->setColorKey(c.getColorKey());
    for (int y = 0; y < c.getHeight(); ++y)
        for (int x = 0; x < c.getWidth(); ++x) copy->setPixel(x, y, c.getPixel(x, y));
    return copy;
}

struct Clips {
    const KvRegion* arg = nullptr;
    const KvRegion* member = nullptr;
    bool allow(int x, int y) const {
        return (!arg || arg->contains({x, y})) && (!member || member->contains({x, y}));
    }
};

// The expected destination, and how many pixels were written or held back by the key.
struct Expected {
    std::vector<uint32_t> pixels;
    int written = 0;
    int keyedOut = 0;
};

// Destination pixel (x, y) receives source pixel (sx, sy) when inside the clips and,
// for a keyed copy, when that source pixel is not the key: the raw value between
// equal formats, otherwise the source pixel's colour mapped for the destination.
void receive(Expected& e, const KvCanvas& src, const KvCanvas& dst, int x, int y, int64_t sx,
             int64_t sy, bool keyed, const Clips& clips) {
    if (sx < 0 || sy < 0 || sx >= src.getWidth() || sy >= src.getHeight()) return;
    if (!clips.allow(x, y)) return;
    const int ix = static_cast<int>(sx), iy = static_cast<int>(sy);
    if (keyed && src.getPixel(ix, iy) == src.mapColor(src.getColorKey())) {
        ++e.keyedOut;
        return;
    }
    e.pixels[y * dst.getWidth() + x] = src.getFormat() == dst.getFormat()
                                           ? src.getPixel(ix, iy)
                                           : dst.mapColor(src.getPixelColor(ix, iy));
    ++e.written;
}

Expected referenceBlt(const KvCanvas& src, const KvCanvas& dst, int srcX, int srcY, int w, int h,
                      int dstX, int dstY, bool keyed, const Clips& clips) {
    Expected e{pixels(dst)};
    for (int y = 0; y < dst.getHeight(); ++y)
        for (int x = 0; x < dst.getWidth(); ++x) {
            const int64_t sx = int64_t{x} - dstX + srcX, sy = int64_t{y} - dstY + srcY;
            if (sx >= srcX && sx < int64_t{srcX} + w && sy >= srcY && sy < int64_t{srcY} + h)
                receive(e, src, dst, x, y, sx, sy, keyed, clips);
        }
    return e;
}

// Nearest neighbour: destination column x samples sl + (x - dl) * sw / dw, likewise rows.
Expected referenceScale(const KvCanvas& src, const KvCanvas& dst, const KvRect& s, const KvRect& d,
                        bool keyed, const Clips& clips) {
    Expected e{pixels(dst)};
    const int64_t sw = int64_t{s.right} - s.left, sh = int64_t{s.bottom} - s.top;
    const int64_t dw = int64_t{d.right} - d.left, dh = int64_t{d.bottom} - d.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return e;
    for (int y = 0; y < dst.getHeight(); ++y)
        for (int x = 0; x < dst.getWidth(); ++x) {
            if (!d.contains({x, y})) continue;
            const int64_t sx = s.left + static_cast<int64_t>(static_cast<__int128>(x - int64_t{d.left}) * sw / dw);
            const int64_t sy = s.top + static_cast<int64_t>(static_cast<__int128>(y - int64_t{d.top}) * sh / dh);
            receive(e, src, dst, x, y, sx, sy, keyed, clips);
        }
    return e;
}

::testing::AssertionResult holds(const KvCanvas& c, const std::vector<uint32_t>& want) {
    const std::vector<uint32_t> got = pixels(c);
    int wrong = 0;
    std::string first;
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i] && wrong++ == 0)
            first = "(" + std::to_string(i % c.getWidth()) + ", " + std::to_string(i / c.getWidth()) +
                    ") is " + std::to_string(got[i]) + ", expected " + std::to_string(want[i]);
    if (wrong == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ; first " << first;
}

// Mostly small positions around the canvases, now and then a hostile one.
int randomPosition(std::mt19937& rng) {
    switch (rng() % 64) {
        case 0: return INT_MIN;
        case 1: return INT_MAX;
        case 2: return INT_MIN + static_cast<int>(rng() % 40);
        case 3: return INT_MAX - static_cast<int>(rng() % 40);
        case 4: return rng() % 2 ? 1000000000 : -1000000000;
        default: return std::uniform_int_distribution<int>(-8, 20)(rng);
    }
}

int randomSize(std::mt19937& rng) {
    switch (rng() % 64) {
        case 0: return INT_MAX;
        case 1: return INT_MIN;
        case 2: return -static_cast<int>(rng() % 20);
        case 3: return 0;
        case 4: return INT_MAX - static_cast<int>(rng() % 40);
        default: return std::uniform_int_distribution<int>(1, 40)(rng);
    }
}

// Mostly rectangles around a w x h canvas, some degenerate, a few anywhere at all.
KvRect randomRect(std::mt19937& rng, int w, int h) {
    if (rng() % 8 == 0) {
        const int l = randomPosition(rng), t = randomPosition(rng);
        return KvRect(l, t, randomPosition(rng), randomPosition(rng));
    }
    const int l = std::uniform_int_distribution<int>(-w / 4, w * 3 / 4)(rng);
    const int t = std::uniform_int_distribution<int>(-h / 4, h * 3 / 4)(rng);
    return KvRect(l, t, l + std::uniform_int_distribution<int>(-2, w)(rng),
                  t + std::uniform_int_distribution<int>(-2, h)(rng));
}

// A union of a few rectangles, so clipped copies cross several bands of boxes.
KvRegion randomClip(std::mt19937& rng, int w, int h) {
    KvRegion r;
    const int n = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < n; ++i) {
        const int l = std::uniform_int_distribution<int>(-4, w)(rng);
        const int t = std::uniform_int_distribution<int>(-4, h)(rng);
        r += KvRect(l, t, l + static_cast<int>(rng() % 20), t + static_cast<int>(rng() % 14));
    }
    return r;
}

// One round's copy (sx, sy, w x h to dx, dy) or stretch (from, to rectangles).
struct Op {
    bool stretch, keyed;
    int sx, sy, w, h, dx, dy;
    KvRect from, to;
};

// Scribbles over both canvases (one, for a copy within a canvas), picks the
// round's clips (none, the argument, the canvas member, or both), runs op and
// compares with the reference computed from the source as it was before.
::testing::AssertionResult runsLikeTheReference(KvMemCanvas& src, KvMemCanvas& dst, const Op& op, int round,
                                                std::mt19937& rng, Expected& totals) {
    scribble(src, rng);
    if (&src != &dst) scribble(dst, rng);
    KvRegion arg = randomClip(rng, dst.getWidth(), dst.getHeight());
    if (rng() % 2) arg += randomClip(rng, dst.getWidth(), dst.getHeight());
    KvRegion member = randomClip(rng, dst.getWidth(), dst.getHeight());
    const int mode = round >> 1 & 3;
    dst.clip = mode & 2 ? &member : nullptr;
    const Clips clips{mode & 1 ? &arg : nullptr, dst.clip};
    const auto before = cloneOf(src);
    const Expected want = op.stretch ? referenceScale(*before, dst, op.from, op.to, op.keyed, clips)
                                     : referenceBlt(*before, dst, op.sx, op.sy, op.w, op.h, op.dx, op.dy, op.keyed, clips);
    const unsigned long rop = op.keyed ? kKvRopCopyKeyed : kKvRopCopy;
    const bool done = op.stretch ? dst.bltScale(&src, op.from, op.to, rop, clips.arg)
                                 : dst.blt(&src, op.sx, op.sy, op.w, op.h, op.dx, op.dy, rop, clips.arg);
    dst.clip = nullptr;
    ::testing::AssertionResult result = holds(dst, want.pixels);
    if (!done) result = ::testing::AssertionFailure() << "refused";
    else if (&src != &dst && pixels(src) != pixels(*before)) result = ::testing::AssertionFailure() << "source changed";
    else if (!paddingIntact(dst)) result = ::testing::AssertionFailure() << "padding changed";
    totals.written += want.written;
    totals.keyedOut += want.keyedOut;
    if (op.stretch)
        return result << " in round " << round << ": (" << op.from.left << ", " << op.from.top << ", "
                      << op.from.right << ", " << op.from.bottom << ") -> (" << op.to.left << ", " << op.to.top
                      << ", " << op.to.right << ", " << op.to.bottom << ")" << (op.keyed ? " keyed" : "")
                      << " clips " << mode;
    return result << " in round " << round << ": blt(" << op.sx << ", " << op.sy << ", " << op.w << " x " << op.h
                  << " -> " << op.dx << ", " << op.dy << ")" << (op.keyed ? " keyed" : "") << " clips " << mode;
}

using FormatPair = std::tuple<int, bool, int, bool>;  // depth and bottom-up of source, destination

class BltBetweenFormats : public ::testing::TestWithParam<FormatPair> {
protected:
    void SetUp() override {
        const auto [sd, sb, dd, db] = GetParam();
        rng.seed(static_cast<unsigned>(sd * 1000 + sb * 100 + dd * 10 + db));
        src = makeCanvas(23, 17, sd, sb, rng);
        dst = makeCanvas(29, 19, dd, db, rng);
    }
    void TearDown() override {
        EXPECT_GT(totals.written, 0);
        EXPECT_GT(totals.keyedOut, 0);
    }

    static constexpr int kRounds = 96;  // keyed x 4 clip modes, 12 times each
    std::mt19937 rng;
    std::unique_ptr<KvMemCanvas> src, dst;
    Expected totals;
};

TEST_P(BltBetweenFormats, CopiesLikeThePerPixelReference) {
    for (int round = 0; round < kRounds; ++round) {
        const Op op{false, (round & 1) != 0, randomPosition(rng), randomPosition(rng), randomSize(rng),
                    randomSize(rng), randomPosition(rng), randomPosition(rng), {}, {}};
        ASSERT_TRUE(runsLikeTheReference(*src, *dst, op, round, rng, totals));
    }
}

TEST_P(BltBetweenFormats, StretchesLikeThePerPixelReference) {
    for (int round = 0; round < kRounds; ++round) {
        const Op op{true, (round & 1) != 0, 0, 0, 0, 0, 0, 0, randomRect(rng, 23, 17), randomRect(rng, 29, 19)};
        ASSERT_TRUE(runsLikeTheReference(*src, *dst, op, round, rng, totals));
    }
}

std::string pairName(const ::testing::TestParamInfo<FormatPair>& info) {
    const auto [sd, sb, dd, db] = info.param;
    return "From" + std::to_string(sd) + (sb ? "BottomUp" : "TopDown") + "To" + std::to_string(dd) +
           (db ? "BottomUp" : "TopDown");
}

INSTANTIATE_TEST_SUITE_P(EveryDepthAndRowOrder, BltBetweenFormats,
                         ::testing::Combine(::testing::ValuesIn(kDepths), ::testing::Bool(),
                                            ::testing::ValuesIn(kDepths), ::testing::Bool()),
                         pairName);

using CanvasKind = std::tuple<int, bool>;  // depth, bottom-up

class BltWithinOneCanvas : public ::testing::TestWithParam<CanvasKind> {
protected:
    void SetUp() override {
        const auto [depth, bottomUp] = GetParam();
        rng.seed(static_cast<unsigned>(depth * 10 + bottomUp));
        canvas = makeCanvas(40, 30, depth, bottomUp, rng);
    }

    std::mt19937 rng;
    std::unique_ptr<KvMemCanvas> canvas;
    Expected totals;
};

// Overlapping areas read the source as it was before the copy, like a scroll,
// also when a clip region splits the copy into many boxes.
TEST_P(BltWithinOneCanvas, OverlappingCopiesReadTheSourceAsItWas) {
    std::uniform_int_distribution<int> pos(-5, 38), size(0, 44), nudge(-6, 6);
    for (int round = 0; round < 200; ++round) {
        const int sx = pos(rng), sy = pos(rng), w = size(rng), h = size(rng);
        const Op op{false, (round & 1) != 0, sx, sy, w, h, sx + nudge(rng), sy + nudge(rng), {}, {}};
        ASSERT_TRUE(runsLikeTheReference(*canvas, *canvas, op, round, rng, totals));
    }
}

TEST_P(BltWithinOneCanvas, OverlappingStretchesReadTheSourceAsItWas) {
    for (int round = 0; round < 200; ++round) {
        const Op op{true, (round & 1) != 0, 0, 0, 0, 0, 0, 0, randomRect(rng, 40, 30), randomRect(rng, 40, 30)};
        ASSERT_TRUE(runsLikeTheReference(*canvas, *canvas, op, round, rng, totals));
    }
}

std::string kindName(const ::testing::TestParamInfo<CanvasKind>& info) {
    const auto [depth, bottomUp] = info.param;
    return "Depth" + std::to_string(depth) + (bottomUp ? "BottomUp" : "TopDown");
}

INSTANTIATE_TEST_SUITE_P(EveryDepthAndRowOrder, BltWithinOneCanvas,
                         ::testing::Combine(::testing::ValuesIn(kDepths), ::testing::Bool()),
                         kindName);

// An 8-bit canvas whose pixel (x, y) holds 10 * y + x.
std::unique_ptr<KvMemCanvas> numbered(int w, int h) {
    auto c = std::make_unique<KvMemCanvas>(w, h, 8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c->setPixel(x, y, static_cast<uint32_t>(10 * y + x));
    return c;
}

}  // namespace

TEST(BltScale, DoublingRepeatsEachPixelAndHalvingTakesEveryOther) {
    auto small = numbered(2, 2), source = numbered(4, 4);
    KvMemCanvas big(4, 4, 8), half(2, 2, 8);
    ASSERT_TRUE(big.bltScale(small.get(), KvRect(0, 0, 2, 2), KvRect(0, 0, 4, 4)));
    ASSERT_TRUE(half.bltScale(source.get(), KvRect(0, 0, 4, 4), KvRect(0, 0, 2, 2)));
    EXPECT_EQ(pixels(big), (std::vector<uint32_t>{0, 0, 1, 1, 0, 0, 1, 1, 10, 10, 11, 11, 10, 10, 11, 11}));
    EXPECT_EQ(pixels(half), (std::vector<uint32_t>{0, 2, 20, 22}));
}

TEST(BltArguments, InvalidCanvasesOrUnknownRopsAreRefusedAndDrawNothing) {
    auto src = numbered(4, 4);
    KvMemCanvas dst(4, 4, 8), invalid(0, 4, 8);
    const KvRect r(0, 0, 4, 4);
    EXPECT_FALSE(dst.blt(nullptr, 0, 0, 4, 4, 0, 0));
    EXPECT_FALSE(dst.blt(&invalid, 0, 0, 4, 4, 0, 0));
    EXPECT_FALSE(invalid.blt(src.get(), 0, 0, 4, 4, 0, 0));
    EXPECT_FALSE(dst.bltScale(nullptr, r, r));
    EXPECT_FALSE(dst.bltScale(&invalid, r, r));
    EXPECT_FALSE(invalid.bltScale(src.get(), r, r));
    for (unsigned long rop : {0ul, 0xCC0021ul, 0x00CC0020ul | 0x40000000ul, 0x80000000ul}) {
        EXPECT_FALSE(dst.blt(src.get(), 0, 0, 4, 4, 0, 0, rop)) << std::hex << rop;
        EXPECT_FALSE(dst.bltScale(src.get(), r, r, rop)) << std::hex << rop;
    }
    EXPECT_EQ(pixels(dst), std::vector<uint32_t>(16, 0));
    // Nothing to draw is not a failure.
    EXPECT_TRUE(dst.blt(src.get(), 0, 0, 0, 4, 0, 0));
    EXPECT_TRUE(dst.blt(src.get(), 10, 10, 4, 4, 0, 0));
}

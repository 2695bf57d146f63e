// Canvas storage: allocation limits, pitch and row order in memory, pixel
// formats (pack and unpack), nearest-colour mapping and store swapping.
#include "framework/KvCanvas.h"
#include "framework/KvCanvasWords.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <vector>
#include <utility>

namespace {

// The pixel memory of a canvas, released when done.
struct Memory {
    KvCanvas& canvas;
    unsigned char* bits = nullptr;
    int pitch = 0;
    bool ok;
    explicit Memory(KvCanvas& c) : canvas(c), ok(c.getPointerToMemory(&bits, &pitch)) {}
    ~Memory() {
        if (ok) canvas.releasePointerToMemory();
    }
};

}  // namespace

TEST(CanvasAllocation, ImpossibleSizesOrDepthsGiveAnInvalidCanvasThatDoesNothing) {
    const int cases[][3] = {
        {0, 10, 16},  {10, 0, 16},  {-1, 10, 16}, {10, -5, 8},  {INT_MIN, 4, 32}, {4, INT_MAX, 32},
        {kKvMaxCanvasSide + 1, 1, 8}, {1, kKvMaxCanvasSide + 1, 8}, {10, 10, 0},  {10, 10, 1},
        {10, 10, 4},  {10, 10, 12}, {10, 10, 17}, {10, 10, 31}, {10, 10, 64}, {10, 10, -8},
    };
    for (const auto& [width, height, depth] : cases) {
        KvMemCanvas canvas(width, height, depth);
        SCOPED_TRACE(::testing::Message() << width << " x " << height << " at " << depth);
        EXPECT_FALSE(canvas.isValid() || canvas.isOneBlock());
        EXPECT_EQ(KvPoint(canvas.getWidth(), canvas.getHeight()), KvPoint(0, 0));
        EXPECT_EQ(canvas.getMemorySize(), 0u);
        unsigned char* bits = reinterpret_cast<unsigned char*>(1);
        int pitch = -1;
        EXPECT_FALSE(canvas.getPointerToMemory(&bits, &pitch));
        EXPECT_TRUE(bits == nullptr && pitch == 0);
        canvas.setPixel(0, 0, 1);
        EXPECT_EQ(canvas.getPixel(0, 0), 0u);
        canvas.draw(KvRect(0, 0, 5, 5));
    }
}

// Each depth's format, and rows padded to four bytes.
TEST(CanvasAllocation, EachDepthHasItsFormatAndItsRowsRoundUpToFourBytes) {
    const struct {
        int depth;
        unsigned short code, memoryDepth, bytes;
    } cases[] = {{8, kKvFormatIndexed, 8, 1}, {15, kKvFormat555, 16, 2}, {16, kKvFormat565, 16, 2},
                 {24, kKvFormat888, 24, 3}, {32, kKvFormat8888, 32, 4}};
    for (const auto& c : cases) {
        for (int width = 1; width <= 9; ++width) {
            KvMemCanvas canvas(width, 3, c.depth);
            ASSERT_TRUE(canvas.isValid());
            EXPECT_EQ(canvas.getFormat(), c.code);
            EXPECT_EQ(canvas.getDepth(), c.memoryDepth);
            EXPECT_EQ(canvas.getPixelFormat().bytesPerPixel, c.bytes);
            Memory m(canvas);
            EXPECT_EQ(m.pitch, (width * c.bytes + 3) / 4 * 4) << width << " at " << c.depth;
            EXPECT_EQ(canvas.getMemorySize(), static_cast<size_t>(m.pitch) * 3);
        }
    }
    KvMemCanvas tall(1, kKvMaxCanvasSide, 8);  // the largest side
    EXPECT_EQ(tall.getMemorySize(), static_cast<size_t>(4) * kKvMaxCanvasSide);
}

TEST(CanvasAllocation, NewCanvasIsBlackAndRemembersItsMode) {
    KvMemCanvas canvas(7, 5, 24, 2, true);
    EXPECT_EQ(canvas.getMode(), 2);
    EXPECT_FALSE(canvas.isTopDown());
    Memory m(canvas);
    for (size_t i = 0; i < canvas.getMemorySize(); ++i) ASSERT_EQ(m.bits[i], 0) << i;
}

TEST(CanvasMemory, RowYLiesAtBitsPlusYPitchTopDownAndCountsFromTheEndBottomUp) {
    for (int depth : {8, 15, 16, 24, 32}) {
        for (bool bottomUp : {false, true}) {
            KvMemCanvas canvas(5, 4, depth, 1, bottomUp);
            const int bytes = canvas.getPixelFormat().bytesPerPixel;
            // Right to left, so that a write past a pixel's own bytes would show.
            for (int y = 0; y < 4; ++y)
                for (int x = 4; x >= 0; --x) canvas.setPixel(x, y, static_cast<uint32_t>(0x10 * y + x + 1));
            Memory m(canvas);
            ASSERT_TRUE(m.ok);
            for (int y = 0; y < 4; ++y) {
                const int row = bottomUp ? 3 - y : y;
                for (int x = 0; x < 5; ++x) {
                    const unsigned char* p = m.bits + row * m.pitch + x * bytes;
                    EXPECT_EQ(p[0], 0x10 * y + x + 1) << depth << " " << x << "," << y;
                    for (int b = 1; b < bytes; ++b) EXPECT_EQ(p[b], 0);  // little-endian value
                }
            }
            // Writing memory directly is what getPixel reads back.
            m.bits[(bottomUp ? 3 : 0) * m.pitch + bytes] = 0x77;
            EXPECT_EQ(canvas.getPixel(1, 0), 0x77u);
        }
    }
}

TEST(CanvasPixels, OutsideTheCanvasReadsZeroAndWritesNothing) {
    KvMemCanvas canvas(3, 2, 32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) canvas.setPixel(x, y, 0xABCDEF);
    const KvPoint outside[] = {{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {INT_MIN, INT_MIN}, {INT_MAX, 1}};
    for (const KvPoint& p : outside) {
        canvas.setPixel(p.x, p.y, 0x123456);
        EXPECT_EQ(canvas.getPixel(p.x, p.y), 0u);
    }
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(canvas.getPixel(x, y), 0xABCDEFu);
}

TEST(PixelFormat, UnpackWidensChannelsByRepeatingTheirBits) {
    const struct {
        int depth;
        uint32_t pixel;
        uint8_t r, g, b;
    } cases[] = {
        {15, 0x7FFF, 255, 255, 255}, {15, 0x0421, 8, 8, 8},   {15, 0x7C00, 255, 0, 0},
        {15, 0x8000, 0, 0, 0},       {15, 0x4210, 132, 132, 132},
        {16, 0xFFFF, 255, 255, 255}, {16, 0x0821, 8, 4, 8},   {16, 0x07E0, 0, 255, 0},
        {16, 0x8410, 132, 130, 132}, {24, 0x123456, 0x12, 0x34, 0x56},
        {32, 0xFF123456, 0x12, 0x34, 0x56},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KvPixelFormat::forDepth(c.depth).unpack(c.pixel), KvColor::fromBytes(c.r, c.g, c.b))
            << c.depth << " " << std::hex << c.pixel;
}

// Packing, and mapping a colour on a direct canvas, keep the high bits of each channel.
TEST(PixelFormat, PackKeepsTheHighBitsOfEachChannel) {
    const KvColor c = KvColor::fromBytes(0x8F, 0x47, 0xFC);
    const std::pair<int, uint32_t> cases[] = {{15, (0x11u << 10) | (0x08u << 5) | 0x1Fu},
                                              {16, (0x11u << 11) | (0x11u << 5) | 0x1Fu},
                                              {24, 0x8F47FCu},
                                              {32, 0x8F47FCu}};
    for (const auto& [depth, pixel] : cases) {
        EXPECT_EQ(KvPixelFormat::forDepth(depth).pack(c), pixel) << depth;
        EXPECT_EQ(KvMemCanvas(1, 1, depth).mapColor(c), pixel) << depth;
    }
    // The low byte of a 16-bit component plays no part.
    EXPECT_EQ(KvPixelFormat::forDepth(32).pack(KvColor(0x12FF, 0x3401, 0x5680)), 0x123456u);
}

// Every 16-bit pixel, and many random ones of the deeper formats.
TEST(PixelFormat, PackOfUnpackGivesBackEveryNativePixel) {
    std::mt19937 rng(11);
    for (const auto& [depth, used] : {std::pair{15, 0x7FFFu}, {16, 0xFFFFu}, {24, 0xFFFFFFu}, {32, 0xFFFFFFu}}) {
        const KvPixelFormat f = KvPixelFormat::forDepth(depth);
        for (uint32_t i = 0; i <= 0x1FFFF; ++i) {
            const uint32_t p = depth <= 16 ? i : rng();
            ASSERT_EQ(f.pack(f.unpack(p)), p & used) << depth;
        }
    }
}

// Formats without channels (indexed, or none at all) unpack every pixel as black.
TEST(PixelFormat, UnsupportedDepthsHaveNoFormat) {
    for (int depth : {0, 1, 4, 9, 12, 14, 17, 23, 25, 31, 33, 48, -16}) {
        EXPECT_EQ(KvPixelFormat::forDepth(depth).code, 0) << depth;
        EXPECT_EQ(KvPixelFormat::forDepth(depth).unpack(0xFFFFFF), KvColor()) << depth;
    }
    EXPECT_EQ(KvPixelFormat::forDepth(8).unpack(0xFF), KvColor());
}

namespace {

long distance(const KvColor& a, const KvColor& b) {
    const long dr = a.r8() - b.r8(), dg = a.g8() - b.g8(), db = a.b8() - b.b8();
    return dr * dr + dg * dg + db * db;
}

// The first palette entry at the least distance.
uint32_t nearestEntry(const KvColor (&palette)[256], const KvColor& c) {
    uint32_t best = 0;
    for (uint32_t i = 1; i < 256; ++i)
        if (distance(palette[i], c) < distance(palette[best], c)) best = i;
    return best;
}

}  // namespace

// Only the high byte of each component counts, and a new palette forgets the
// answers remembered for the old one.
TEST(CanvasPalette, IndexedCanvasesMapToTheNearestPaletteColour) {
    std::mt19937 rng(12);
    KvColor palette[256];
    for (KvColor& c : palette) c = KvColor::fromBytes(rng() & 0xFF, rng() & 0xFF, rng() & 0xFF);
    palette[90] = palette[30];  // a tie goes to the first entry
    KvMemCanvas canvas(4, 4, 8);
    for (int round = 0; round < 2; ++round) {
        canvas.setPalette(palette, true);
        for (const KvColor& c : palette)
            ASSERT_EQ(canvas.mapColor(KvColor(c.red | 0x7F, c.green | 0x80, c.blue)), nearestEntry(palette, c));
        for (int i = 0; i < 20000; ++i) {
            // Few distinct colours, so repeated questions meet remembered answers too.
            const KvColor c = KvColor::fromBytes(rng() & 0xF8, rng() & 0xF8, rng() & 0xF0);
            ASSERT_EQ(canvas.mapColor(c), nearestEntry(palette, c)) << i;
        }
        std::swap(palette[30], palette[200]);
    }
    KvColor back[256];
    canvas.getPalette(back);
    EXPECT_EQ(back[30], canvas.getPaletteEntries()[30]);
    EXPECT_EQ(back[30], palette[200]);  // swapped back since
    canvas.setPixel(0, 0, 30);  // an index reads back as its palette colour
    EXPECT_EQ(canvas.getPixelColor(0, 0), back[30]);
}

// Only canvases of the same size, format and row order exchange their memory.
TEST(CanvasSwap, EqualCanvasesExchangeTheirMemoryAndOthersRefuse) {
    KvMemCanvas a(6, 4, 16), b(6, 4, 16);
    a.setPixel(0, 0, 0x1111);
    b.setPixel(0, 0, 0x2222);
    const unsigned char* aBits = Memory(a).bits;
    ASSERT_TRUE(KvCanvas::swapStores(a, b));
    EXPECT_EQ(a.getPixel(0, 0), 0x2222u);
    EXPECT_EQ(b.getPixel(0, 0), 0x1111u);
    EXPECT_EQ(Memory(b).bits, aBits);  // moved, not copied
    KvMemCanvas wider(7, 4, 16), taller(6, 5, 16), other555(6, 4, 15), bottomUp(6, 4, 16, 1, true),
        deeper(6, 4, 32), invalid(0, 0, 16);
    for (KvCanvas* other : std::initializer_list<KvCanvas*>{&wider, &taller, &other555, &bottomUp, &deeper, &invalid, &a}) {
        EXPECT_FALSE(KvCanvas::swapStores(a, *other));
        EXPECT_EQ(a.getPixel(0, 0), 0x2222u);
        EXPECT_EQ(a.getWidth(), 6);
    }
}

// A canvas area as words holds, for every pixel, the colour the canvas says
// that pixel has, at every depth.
TEST(CanvasWords, EachWordIsThePixelsColour) {
    std::mt19937 random(11);
    KvCanvasWords words;  // one converter for every depth: its table follows the format
    for (int depth : {16, 8, 15, 24, 32, 16}) {
        KvMemCanvas canvas(23, 17, depth);
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 23; ++x) canvas.setPixel(x, y, random());
        const KvRect area(3, 2, 21, 15);
        std::vector<uint32_t> out;
        {
            Memory m(canvas);
            ASSERT_TRUE(m.ok);
            words.convert(canvas, m.bits, m.pitch, area, out);
        }
        ASSERT_EQ(out.size(), static_cast<size_t>(area.width() * area.height()));
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                const KvColor c = canvas.getPixelColor(x, y);
                ASSERT_EQ(out[static_cast<size_t>((y - area.top) * area.width() + x - area.left)],
                          uint32_t{c.r8()} << 16 | uint32_t{c.g8()} << 8 | c.b8())
                    << "depth " << depth << " at " << x << "," << y;
            }
    }
}

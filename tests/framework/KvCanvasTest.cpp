// Canvas storage: allocation limits, pitch and row order in memory, pixel
// formats (pack and unpack), nearest-colour mapping and store swapping.
#include "framework/KvCanvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <utility>

namespace {

constexpr int kDepths[] = {8, 15, 16, 24, 32};

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

TEST(CanvasAllocation, ImpossibleSizesOrDepthsGiveAnInvalidCanvas) {
    struct Case {
        int width, height, depth;
    };
    const Case cases[] = {
        {0, 10, 16},  {10, 0, 16},         {-1, 10, 16},       {10, -5, 8},
        {INT_MIN, 4, 32}, {4, INT_MAX, 32}, {kKvMaxCanvasSide + 1, 1, 8},
        {1, kKvMaxCanvasSide + 1, 8}, {10, 10, 0}, {10, 10, 1},  {10, 10, 4},
        {10, 10, 12}, {10, 10, 17},        {10, 10, 31},       {10, 10, 64}, {10, 10, -8},
    };
    for (const Case& c : cases) {
        KvMemCanvas canvas(c.width, c.height, c.depth);
        SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height << " at " << c.depth);
        EXPECT_FALSE(canvas.isValid());
        EXPECT_EQ(canvas.getWidth(), 0);
        EXPECT_EQ(canvas.getHeight(), 0);
        EXPECT_EQ(canvas.getMemorySize(), 0u);
        EXPECT_FALSE(canvas.isOneBlock());
        unsigned char* bits = reinterpret_cast<unsigned char*>(1);
        int pitch = -1;
        EXPECT_FALSE(canvas.getPointerToMemory(&bits, &pitch));
        EXPECT_EQ(bits, nullptr);
        EXPECT_EQ(pitch, 0);
        // Everything else quietly does nothing.
        canvas.setPixel(0, 0, 1);
        EXPECT_EQ(canvas.getPixel(0, 0), 0u);
        canvas.draw(KvRect(0, 0, 5, 5));
    }
}

TEST(CanvasAllocation, PitchIsTheRowRoundedUpToFourBytes) {
    for (int depth : kDepths) {
        const int bytes = depth == 15 ? 2 : depth / 8;
        for (int width = 1; width <= 9; ++width) {
            KvMemCanvas canvas(width, 3, depth);
            ASSERT_TRUE(canvas.isValid());
            Memory m(canvas);
            EXPECT_EQ(m.pitch, (width * bytes + 3) / 4 * 4) << width << " at " << depth;
            EXPECT_EQ(m.pitch % 4, 0);
            EXPECT_GE(m.pitch, width * bytes);
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

TEST(CanvasFormat, EachDepthHasItsLayout) {
    struct Case {
        int depth;
        unsigned short code, memoryDepth, bytes;
        unsigned long red, green, blue;
    };
    const Case cases[] = {
        {8, kKvFormatIndexed, 8, 1, 0, 0, 0},
        {15, kKvFormat555, 16, 2, 0x7C00, 0x03E0, 0x001F},
        {16, kKvFormat565, 16, 2, 0xF800, 0x07E0, 0x001F},
        {24, kKvFormat888, 24, 3, 0xFF0000, 0x00FF00, 0x0000FF},
        {32, kKvFormat8888, 32, 4, 0xFF0000, 0x00FF00, 0x0000FF},
    };
    for (const Case& c : cases) {
        KvMemCanvas canvas(2, 2, c.depth);
        const KvPixelFormat& f = canvas.getPixelFormat();
        EXPECT_EQ(canvas.getFormat(), c.code) << c.depth;
        EXPECT_EQ(canvas.getDepth(), c.memoryDepth) << c.depth;
        EXPECT_EQ(f.bytesPerPixel, c.bytes) << c.depth;
        EXPECT_EQ(f.isIndexed(), c.depth == 8);
        EXPECT_EQ(f.masks[0], c.red) << c.depth;
        EXPECT_EQ(f.masks[1], c.green) << c.depth;
        EXPECT_EQ(f.masks[2], c.blue) << c.depth;
    }
}

TEST(CanvasMemory, RowYLiesAtBitsPlusYPitchTopDownAndCountsFromTheEndBottomUp) {
    for (int depth : kDepths) {
        for (bool bottomUp : {false, true}) {
            KvMemCanvas canvas(5, 4, depth, 1, bottomUp);
            EXPECT_EQ(canvas.isTopDown(), !bottomUp);
            const int bytes = canvas.getPixelFormat().bytesPerPixel;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 5; ++x) canvas.setPixel(x, y, static_cast<uint32_t>(0x10 * y + x + 1));
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
    struct Case {
        int depth;
        uint32_t pixel;
        uint8_t r, g, b;
    };
    const Case cases[] = {
        {15, 0x7FFF, 255, 255, 255}, {15, 0x0421, 8, 8, 8},   {15, 0x7C00, 255, 0, 0},
        {15, 0x8000, 0, 0, 0},       {15, 0x4210, 132, 132, 132},
        {16, 0xFFFF, 255, 255, 255}, {16, 0x0821, 8, 4, 8},   {16, 0x07E0, 0, 255, 0},
        {16, 0x8410, 132, 130, 132}, {24, 0x123456, 0x12, 0x34, 0x56},
        {32, 0xFF123456, 0x12, 0x34, 0x56},
    };
    for (const Case& c : cases) {
        const KvColor got = KvPixelFormat::forDepth(c.depth).unpack(c.pixel);
        EXPECT_EQ(got, KvColor::fromBytes(c.r, c.g, c.b)) << c.depth << " " << std::hex << c.pixel;
    }
}

TEST(PixelFormat, PackKeepsTheHighBitsOfEachChannel) {
    const KvColor c = KvColor::fromBytes(0x8F, 0x47, 0xFC);
    EXPECT_EQ(KvPixelFormat::forDepth(15).pack(c), (0x11u << 10) | (0x08u << 5) | 0x1Fu);
    EXPECT_EQ(KvPixelFormat::forDepth(16).pack(c), (0x11u << 11) | (0x11u << 5) | 0x1Fu);
    EXPECT_EQ(KvPixelFormat::forDepth(24).pack(c), 0x8F47FCu);
    EXPECT_EQ(KvPixelFormat::forDepth(32).pack(c), 0x8F47FCu);
    // The low byte of a 16-bit component plays no part.
    EXPECT_EQ(KvPixelFormat::forDepth(32).pack(KvColor(0x12FF, 0x3401, 0x5680)), 0x123456u);
}

TEST(PixelFormat, PackOfUnpackGivesBackEveryNativePixel) {
    for (int depth : {15, 16}) {
        const KvPixelFormat f = KvPixelFormat::forDepth(depth);
        const uint32_t used = depth == 15 ? 0x7FFF : 0xFFFF;
        for (uint32_t p = 0; p <= 0xFFFF; ++p) ASSERT_EQ(f.pack(f.unpack(p)), p & used) << depth;
    }
    std::mt19937 rng(11);
    for (int depth : {24, 32}) {
        const KvPixelFormat f = KvPixelFormat::forDepth(depth);
        for (int i = 0; i < 100000; ++i) {
            const uint32_t p = rng() & 0xFFFFFF;
            ASSERT_EQ(f.pack(f.unpack(p)), p) << depth;
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

TEST(CanvasPalette, IndexedCanvasesMapToTheNearestPaletteColour) {
    std::mt19937 rng(12);
    KvColor palette[256];
    for (KvColor& c : palette) c = KvColor::fromBytes(rng() & 0xFF, rng() & 0xFF, rng() & 0xFF);
    palette[90] = palette[30];  // a tie goes to the first entry
    KvMemCanvas canvas(4, 4, 8);
    canvas.setPalette(palette, true);
    EXPECT_EQ(canvas.mapColor(palette[30]), 30u);
    for (int i = 0; i < 20000; ++i) {
        // Few distinct colours, so repeated questions meet remembered answers too.
        const KvColor c = KvColor::fromBytes(rng() & 0xF8, rng() & 0xF8, rng() & 0xF0);
        ASSERT_EQ(canvas.mapColor(c), nearestEntry(palette, c)) << i;
    }
}

TEST(CanvasPalette, EveryEntryOfANewPaletteMapsToItself) {
    KvColor palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = KvColor::fromBytes(static_cast<uint8_t>(i), static_cast<uint8_t>(i / 2), 0);
    KvMemCanvas canvas(1, 1, 8);
    canvas.setPalette(palette, false);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(canvas.mapColor(palette[i]), static_cast<uint32_t>(i));
    // Only the high byte of each component counts.
    EXPECT_EQ(canvas.mapColor(KvColor(0x40FF, 0x2012, 0x00FF)), 0x40u);
    std::swap(palette[0x40], palette[200]);
    canvas.setPalette(palette, true);  // answers remembered for the old palette are gone
    EXPECT_EQ(canvas.mapColor(palette[200]), 200u);
    KvColor back[256];
    canvas.getPalette(back);
    EXPECT_EQ(back[200], palette[200]);
    EXPECT_EQ(canvas.getPaletteEntries()[200], palette[200]);
    canvas.setPixel(0, 0, 200);  // an index reads back as its palette colour
    EXPECT_EQ(canvas.getPixelColor(0, 0), palette[200]);
}

TEST(CanvasPalette, DirectCanvasesMapByPacking) {
    const KvColor c = KvColor::fromBytes(0x9A, 0x3C, 0x71);
    for (int depth : {15, 16, 24, 32}) {
        KvMemCanvas canvas(1, 1, depth);
        EXPECT_EQ(canvas.mapColor(c), KvPixelFormat::forDepth(depth).pack(c)) << depth;
        canvas.setPixel(0, 0, canvas.mapColor(c));
        EXPECT_EQ(canvas.getPixelColor(0, 0),
                  KvPixelFormat::forDepth(depth).unpack(canvas.mapColor(c)));
    }
}

TEST(CanvasSwap, EqualCanvasesExchangeTheirPixels) {
    KvMemCanvas a(6, 4, 16), b(6, 4, 16);
    a.setPixel(0, 0, 0x1111);
    b.setPixel(0, 0, 0x2222);
    unsigned char* aBits = nullptr;
    a.getPointerToMemory(&aBits, nullptr);
    a.releasePointerToMemory();
    ASSERT_TRUE(KvCanvas::swapStores(a, b));
    EXPECT_EQ(a.getPixel(0, 0), 0x2222u);
    EXPECT_EQ(b.getPixel(0, 0), 0x1111u);
    unsigned char* bBits = nullptr;
    b.getPointerToMemory(&bBits, nullptr);
    b.releasePointerToMemory();
    EXPECT_EQ(bBits, aBits);  // the memory moved, it was not copied
}

TEST(CanvasSwap, DifferentCanvasesRefuseAndKeepTheirPixels) {
    KvMemCanvas base(6, 4, 16);
    base.setPixel(2, 2, 0x4321);
    KvMemCanvas wider(7, 4, 16), taller(6, 5, 16), other555(6, 4, 15), bottomUp(6, 4, 16, 1, true),
        deeper(6, 4, 32), invalid(0, 0, 16);
    KvCanvas* refused[] = {&wider, &taller, &other555, &bottomUp, &deeper, &invalid, &base};
    for (KvCanvas* other : refused) {
        EXPECT_FALSE(KvCanvas::swapStores(base, *other));
        EXPECT_EQ(base.getPixel(2, 2), 0x4321u);
        EXPECT_EQ(base.getWidth(), 6);
    }
}

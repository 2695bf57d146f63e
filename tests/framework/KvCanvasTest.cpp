// Canvas storage and drawing. Allocation limits, pitch and row order in
// memory, pixel formats (pack and unpack against a channel layout),
// nearest-colour mapping and store swapping. Shapes: fills, square-pen
// outlines drawn inside the shape's edge, clipping to the canvas and its clip
// region, and the changed() reports of draw and blt; small cases are compared
// with the pictures of golden/draw-pictures.txt, random regions with a
// brute-force reference of the outline.
#include "framework/KvCanvas.h"
#include "framework/KvCanvasWords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/framework/GoldenText.h"

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

// Each depth's format; rows padded to four bytes; a new canvas black and
// its mode kept; row y at bits + y * pitch top-down and counted from the end
// bottom-up, its pixels little-endian.
TEST(CanvasMemory, EachDepthHasItsFormatPitchAndRowOrder) {
    const struct {
        int depth;
        unsigned short code, memoryDepth, bytes;
    } cases[] = {{8, kKvFormatIndexed, 8, 1}, {15, kKvFormat555, 16, 2}, {16, kKvFormat565, 16, 2},
                 {24, kKvFormat888, 24, 3}, {32, kKvFormat8888, 32, 4}};
    for (const auto& c : cases)
        for (int width = 1; width <= 9; ++width)
            for (bool bottomUp : {false, true}) {
                SCOPED_TRACE(::testing::Message() << width << " at " << c.depth << (bottomUp ? " bottom-up" : ""));
                KvMemCanvas canvas(width, 4, c.depth, 2, bottomUp);
                EXPECT_TRUE(canvas.isValid() && canvas.getMode() == 2 && canvas.isTopDown() != bottomUp);
                EXPECT_TRUE(canvas.getFormat() == c.code && canvas.getDepth() == c.memoryDepth &&
                            canvas.getPixelFormat().bytesPerPixel == c.bytes);
                {
                    const Memory m(canvas);
                    EXPECT_EQ(m.pitch, (width * c.bytes + 3) / 4 * 4);
                    ASSERT_EQ(canvas.getMemorySize(), static_cast<size_t>(m.pitch) * 4);
                    EXPECT_EQ(std::count(m.bits, m.bits + m.pitch * 4, 0), m.pitch * 4);
                }
                // Right to left, so that a write past a pixel's own bytes would show.
                for (int y = 0; y < 4; ++y)
                    for (int x = width - 1; x >= 0; --x) canvas.setPixel(x, y, static_cast<uint32_t>(0x10 * y + x + 1));
                const Memory m(canvas);
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < width; ++x) {
                        const unsigned char* p = m.bits + (bottomUp ? 3 - y : y) * m.pitch + x * c.bytes;
                        EXPECT_EQ(p[0], 0x10 * y + x + 1) << x << "," << y;
                        for (int b = 1; b < c.bytes; ++b) EXPECT_EQ(p[b], 0);
                    }
                // Writing memory directly is what getPixel reads back.
                m.bits[(bottomUp ? 3 : 0) * m.pitch] = 0x77;
                EXPECT_EQ(canvas.getPixel(0, 0), 0x77u);
            }
    KvMemCanvas tall(1, kKvMaxCanvasSide, 8);  // the largest side
    EXPECT_EQ(tall.getMemorySize(), static_cast<size_t>(4) * kKvMaxCanvasSide);
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

// The reference layout of each direct depth: channel c has bits[c] bits,
// starting at bit shift[c].
struct Layout {
    int depth, bits[3], shift[3];
} const kDirect[] = {{15, {5, 5, 5}, {10, 5, 0}}, {16, {5, 6, 5}, {11, 5, 0}}, {24, {8, 8, 8}, {16, 8, 0}},
                     {32, {8, 8, 8}, {16, 8, 0}}};

// An n-bit value widened to 8 bits by repeating its bits from the top down.
uint8_t widened(uint32_t v, int n) {
    uint32_t w = 0;
    for (int s = 8 - n; s > -n; s -= n) w |= s >= 0 ? v << s : v >> -s;
    return static_cast<uint8_t>(w);
}

// Every 16-bit pixel and many random deeper ones unpack as the layout says
// (bits outside the channels ignored); packing a colour, and mapping it on a
// direct canvas, keep the high bits of each component's high byte.
TEST(PixelFormat, PackAndUnpackFollowTheChannelLayout) {
    std::mt19937 rng(11);
    for (const Layout& l : kDirect) {
        const KvPixelFormat f = KvPixelFormat::forDepth(l.depth);
        KvMemCanvas canvas(1, 1, l.depth);
        for (uint32_t i = 0; i <= 0x1FFFF; ++i) {
            const uint32_t p = l.depth <= 16 ? i : rng();
            const KvColor c(static_cast<uint16_t>(rng()), static_cast<uint16_t>(rng()), static_cast<uint16_t>(rng()));
            const unsigned component[3] = {c.red, c.green, c.blue};
            uint8_t ch[3];
            uint32_t packed = 0;
            for (int k = 0; k < 3; ++k) {
                ch[k] = widened(p >> l.shift[k] & ((1u << l.bits[k]) - 1), l.bits[k]);
                packed |= (component[k] >> (16 - l.bits[k])) << l.shift[k];
            }
            ASSERT_EQ(f.unpack(p), KvColor::fromBytes(ch[0], ch[1], ch[2])) << l.depth << " " << std::hex << p;
            ASSERT_EQ(f.pack(c), packed) << l.depth;
            ASSERT_EQ(canvas.mapColor(c), packed) << l.depth;
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

const KvColor kRed = KvColor::fromBytes(255, 0, 0);
const KvColor kGreen = KvColor::fromBytes(0, 255, 0);

// What a 32-bit canvas shows after drawing in red ('f') and outlining in green ('o').
std::vector<std::string> picture(const KvCanvas& canvas) {
    std::vector<std::string> rows;
    for (int y = 0; y < canvas.getHeight(); ++y) {
        std::string row;
        for (int x = 0; x < canvas.getWidth(); ++x) {
            const uint32_t p = canvas.getPixel(x, y);
            row += p == 0 ? '.' : p == 0xFF0000 ? 'f' : p == 0x00FF00 ? 'o' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

// Each drawing of golden/draw-pictures.txt paints its picture.
TEST(DrawPictures, SmallShapesPaintTheirGoldenPicture) {
    const GoldenSections pictures = goldenSections("framework/golden/draw-pictures.txt");
    ASSERT_EQ(pictures.size(), 11u);
    for (const auto& [name, lines] : pictures) {
        std::vector<std::string> drawings, want;
        for (const std::string& line : lines) (line.rfind("> ", 0) == 0 ? drawings : want).push_back(line);
        ASSERT_FALSE(drawings.empty()) << name;
        for (const std::string& drawing : drawings) {
            SCOPED_TRACE(name + " " + drawing);
            std::istringstream in(drawing.substr(2));
            int w = 0, h = 0, pen = 0;
            bool fill = false, outline = false;
            in >> w >> h >> fill >> outline >> pen;
            std::vector<KvRect> rects[3];  // added, cut, clip
            std::vector<KvRect>* into = rects;
            for (std::string word; in >> word;) {
                if (word == "add" || word == "cut" || word == "clip") {
                    into = &rects[word == "add" ? 0 : word == "cut" ? 1 : 2];
                    continue;
                }
                KvRect& r = into->emplace_back(std::stoi(word), 0, 0, 0);
                in >> r.top >> r.right >> r.bottom;
            }
            KvMemCanvas canvas(w, h, 32);
            canvas.fillColor = kRed;
            canvas.outlineColor = kGreen;
            canvas.fill = fill;
            canvas.outline = outline;
            canvas.penWidth = pen;
            KvRegion shape, clip;
            for (const KvRect& r : rects[0]) shape += r;
            for (const KvRect& r : rects[1]) shape -= KvRegion(r);
            for (const KvRect& r : rects[2]) clip += r;
            canvas.clip = rects[2].empty() ? nullptr : &clip;
            if (rects[0].size() == 1 && rects[1].empty())
                canvas.draw(rects[0][0]);
            else
                canvas.draw(shape);
            canvas.clip = nullptr;
            EXPECT_EQ(picture(canvas), want);
        }
    }
}

// A random shape of a few rectangles around and beyond a w x h canvas.
KvRegion randomShape(std::mt19937& rng, int w, int h) {
    KvRegion r;
    const int n = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < n; ++i) {
        const int l = std::uniform_int_distribution<int>(-6, w)(rng);
        const int t = std::uniform_int_distribution<int>(-6, h)(rng);
        r += KvRect(l, t, l + 1 + static_cast<int>(rng() % 18), t + 1 + static_cast<int>(rng() % 14));
    }
    if (rng() % 3 == 0) {  // with a hole
        const int l = std::uniform_int_distribution<int>(0, w)(rng);
        const int t = std::uniform_int_distribution<int>(0, h)(rng);
        r -= KvRegion(KvRect(l, t, l + 1 + static_cast<int>(rng() % 4), t + 1 + static_cast<int>(rng() % 4)));
    }
    return r;
}

// True when some pixel within pen pixels of (x, y), diagonals included, is outside the shape.
bool nearTheEdge(const KvRegion& shape, int x, int y, int pen) {
    for (int dy = -pen; dy <= pen; ++dy)
        for (int dx = -pen; dx <= pen; ++dx)
            if (!shape.contains({x + dx, y + dy})) return true;
    return false;
}

// Shapes at every depth and row order, byte for byte against a brute-force
// reference that setPixel writes into a copy of the memory: first plain fills
// of every width (so every tail of the wide stores) drawn as rectangles, then
// random regions with fill, outline (pen 0 to 5) and clip. Row padding, and
// every pixel outside shape, canvas and clip, keep their random bytes.
TEST(DrawReference, ShapesMatchABruteForceReferenceByteForByte) {
    std::mt19937 rng(21);
    const int w = 45, h = 18;
    for (int depth : {8, 15, 16, 24, 32})
        for (bool bottomUp : {false, true}) {
            KvMemCanvas canvas(w, h, depth, 1, bottomUp), want(w, h, depth, 1, bottomUp);
            KvColor palette[256];
            for (KvColor& c : palette)
                c = KvColor::fromBytes(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                                       static_cast<uint8_t>(rng()));
            canvas.setPalette(palette, true);
            unsigned char *const bits = Memory(canvas).bits, *const wantBits = Memory(want).bits;
            ASSERT_TRUE(bits && wantBits);
            const size_t size = canvas.getMemorySize();
            for (int round = 0; round < 150; ++round) {
                for (size_t i = 0; i < size; ++i) wantBits[i] = bits[i] = static_cast<unsigned char>(rng());
                const bool plain = round <= 47;
                const int left = static_cast<int>(rng() % 5) - 2;
                const KvRect rect(left, 1, left + round, 6);
                const KvRegion shape = plain ? KvRegion(rect) : randomShape(rng, w, h);
                KvRegion clip = randomShape(rng, w, h);
                canvas.clip = round % 3 == 0 ? &clip : nullptr;
                canvas.fill = plain || round % 2 == 0;
                canvas.outline = !plain && round % 4 != 3;
                canvas.penWidth = static_cast<int>(rng() % 6);
                canvas.fillColor = palette[rng() % 256];
                canvas.outlineColor = palette[rng() % 256];
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        if (!shape.contains({x, y}) || (canvas.clip && !clip.contains({x, y}))) continue;
                        if (canvas.outline && nearTheEdge(shape, x, y, canvas.penWidth))
                            want.setPixel(x, y, canvas.mapColor(canvas.outlineColor));
                        else if (canvas.fill)
                            want.setPixel(x, y, canvas.mapColor(canvas.fillColor));
                    }
                plain ? canvas.draw(rect) : canvas.draw(shape);
                canvas.clip = nullptr;
                ASSERT_EQ(std::vector<unsigned char>(bits, bits + size),
                          std::vector<unsigned char>(wantBits, wantBits + size))
                    << "depth " << depth << (bottomUp ? " bottom-up" : "") << " round " << round << " pen "
                    << canvas.penWidth;
            }
        }
}

// Records what the canvas reports as changed.
class WatchedCanvas : public KvMemCanvas {
public:
    using KvMemCanvas::KvMemCanvas;
    std::vector<KvRect> areas;

protected:
    void changed(const KvRect& area) override { areas.push_back(area); }
};

TEST(ChangeReports, DrawAndBltReportTheAreaTheyWrote) {
    WatchedCanvas canvas(20, 10, 16);
    KvMemCanvas src(4, 4, 16);
    const KvRegion clip(KvRect(5, 5, 6, 6));
    canvas.draw(KvRect(-5, 2, 3, 30));
    ASSERT_TRUE(canvas.blt(&src, 0, 0, 4, 4, 18, -1));
    ASSERT_TRUE(canvas.bltScale(&src, KvRect(0, 0, 4, 4), KvRect(0, 0, 20, 10), kKvRopCopy, &clip));
    ASSERT_TRUE(canvas.blt(&src, 0, 0, 4, 4, 30, 30));  // entirely outside: nothing written
    canvas.draw(KvRect(25, 0, 30, 5));
    EXPECT_EQ(canvas.areas, (std::vector<KvRect>{KvRect(0, 2, 3, 10), KvRect(18, 0, 20, 3), KvRect(5, 5, 6, 6)}));
}

}  // namespace

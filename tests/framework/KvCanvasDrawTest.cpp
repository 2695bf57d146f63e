// Shape drawing: fills, square-pen outlines drawn inside the shape's edge,
// clipping to the canvas and its clip region, and the changed() reports of
// draw and blt. Small cases are compared with the pictures of
// golden/draw-pictures.txt; random regions are
// checked against a brute-force reference of the outline.
#include "framework/KvCanvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const KvColor kRed = KvColor::fromBytes(255, 0, 0);
const KvColor kGreen = KvColor::fromBytes(0, 255, 0);

// A 32-bit canvas drawing in red ('f') and outlining in green ('o'); '.' is untouched.
// Reads the pictures of golden/draw-pictures.txt by name.
std::map<std::string, std::vector<std::string>> goldenPictures() {
    std::ifstream in(std::string(QRN_TEST_DATA) + "/framework/golden/draw-pictures.txt");
    std::map<std::string, std::vector<std::string>> pictures;
    std::vector<std::string>* current = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("= ", 0) == 0)
            current = &pictures[line.substr(2)];
        else if (current && !line.empty() && line[0] != '#')
            current->push_back(line);
    }
    return pictures;
}

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

constexpr KvRect kEverything(INT_MIN, INT_MIN, INT_MAX, INT_MAX);

}  // namespace

// A shape is the union of `add` minus `cut`; a lone rectangle is drawn as a rectangle.
TEST(DrawPictures, SmallShapesPaintTheirGoldenPicture) {
    struct Case {
        const char* picture;
        int w, h;
        bool fill, outline;
        int pen;
        std::vector<KvRect> add, cut, clip;
    };
    const Case cases[] = {
        {"fill", 8, 5, true, false, 1, {{2, 1, 6, 4}}, {}, {}},
        {"outline-frame", 8, 6, false, true, 1, {{1, 1, 7, 5}}, {}, {}},
        {"wide-pen-over-fill", 9, 7, true, true, 2, {{0, 0, 8, 7}}, {}, {}},
        {"l-shape-thin", 9, 8, false, true, 1, {{1, 1, 4, 7}, {1, 4, 8, 7}}, {}, {}},
        {"l-shape-wide", 11, 10, true, true, 2, {{0, 0, 5, 9}, {0, 5, 10, 9}}, {}, {}},
        {"beyond-the-canvas", 7, 6, true, true, 1, {{-3, -3, 5, 4}}, {}, {}},
        {"clipped", 7, 4, true, true, 1, {{0, 1, 7, 4}}, {}, {{0, 0, 3, 4}, {5, 0, 7, 4}}},
        {"all-outline", 5, 4, true, true, 2, {{1, 1, 4, 3}}, {}, {}},
        {"all-outline", 5, 4, true, true, 5, {{1, 1, 4, 3}}, {}, {}},
        {"all-outline", 5, 4, true, true, 1000, {{1, 1, 4, 3}}, {}, {}},
        {"all-outline", 5, 4, true, true, INT_MAX, {{1, 1, 4, 3}}, {}, {}},
        {"all-fill", 4, 3, true, true, 0, {{0, 0, 4, 3}}, {}, {}},
        {"all-fill", 4, 3, true, true, -1, {{0, 0, 4, 3}}, {}, {}},
        {"all-fill", 4, 3, true, true, INT_MIN, {{0, 0, 4, 3}}, {}, {}},
        {"nothing", 4, 3, false, false, 1, {{0, 0, 4, 3}}, {}, {}},
        {"nothing", 4, 3, false, false, 1, {{0, 0, 4, 3}, {0, 0, 1, 1}}, {}, {}},  // as a region
        {"all-fill", 4, 3, true, true, 3, {kEverything}, {}, {}},  // no edge anywhere near
        {"holed-huge", 4, 3, false, true, 1, {kEverything}, {{1, 1, 2, 2}}, {}},
    };
    const auto golden = goldenPictures();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.picture << " pen " << c.pen);
        ASSERT_EQ(golden.count(c.picture), 1u);
        KvMemCanvas canvas(c.w, c.h, 32);
        canvas.fillColor = kRed;
        canvas.outlineColor = kGreen;
        canvas.fill = c.fill;
        canvas.outline = c.outline;
        canvas.penWidth = c.pen;
        KvRegion clip, shape;
        for (const KvRect& r : c.clip) clip += r;
        if (!c.clip.empty()) canvas.clip = &clip;
        for (const KvRect& r : c.add) shape += r;
        for (const KvRect& r : c.cut) shape -= KvRegion(r);
        if (c.add.size() == 1 && c.cut.empty())
            canvas.draw(c.add[0]);
        else
            canvas.draw(shape);
        canvas.clip = nullptr;
        EXPECT_EQ(picture(canvas), golden.at(c.picture));
    }
}

namespace {

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

}  // namespace

TEST(DrawReference, RandomRegionsMatchABruteForceOutline) {
    std::mt19937 rng(21);
    const int w = 26, h = 18;
    for (int depth : {8, 15, 16, 24, 32}) {
        KvMemCanvas canvas(w, h, depth);
        KvColor palette[256];
        for (KvColor& c : palette)
            c = KvColor::fromBytes(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                                   static_cast<uint8_t>(rng()));
        canvas.setPalette(palette, true);
        for (int round = 0; round < 150; ++round) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) canvas.setPixel(x, y, canvas.mapColor(palette[(x + y) & 255]));
            const KvRegion shape = randomShape(rng, w, h);
            KvRegion clip = randomShape(rng, w, h);
            canvas.clip = round % 3 == 0 ? &clip : nullptr;
            canvas.fill = round % 2 == 0;
            canvas.outline = round % 4 != 3;
            canvas.penWidth = 1 + static_cast<int>(rng() % 5);
            canvas.fillColor = palette[rng() % 256];
            canvas.outlineColor = palette[rng() % 256];

            std::vector<uint32_t> want;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    uint32_t v = canvas.getPixel(x, y);
                    const bool inside = shape.contains({x, y}) && (!canvas.clip || clip.contains({x, y}));
                    if (inside && canvas.outline && nearTheEdge(shape, x, y, canvas.penWidth))
                        v = canvas.mapColor(canvas.outlineColor);
                    else if (inside && canvas.fill)
                        v = canvas.mapColor(canvas.fillColor);
                    want.push_back(v);
                }
            canvas.draw(shape);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(canvas.getPixel(x, y), want[y * w + x])
                        << "depth " << depth << " round " << round << " at " << x << "," << y
                        << " pen " << canvas.penWidth;
        }
        canvas.clip = nullptr;
    }
}

namespace {

// Records what the canvas reports as changed.
class WatchedCanvas : public KvMemCanvas {
public:
    using KvMemCanvas::KvMemCanvas;
    std::vector<KvRect> areas;

protected:
    void changed(const KvRect& area) override { areas.push_back(area); }
};

}  // namespace

TEST(ChangeReports, DrawAndBltReportTheAreaTheyWrote) {
    WatchedCanvas canvas(20, 10, 16);
    KvMemCanvas src(4, 4, 16);
    canvas.draw(KvRect(-5, 2, 3, 30));
    ASSERT_EQ(canvas.areas.size(), 1u);
    EXPECT_EQ(canvas.areas[0], KvRect(0, 2, 3, 10));

    canvas.areas.clear();
    ASSERT_TRUE(canvas.blt(&src, 0, 0, 4, 4, 18, -1));
    ASSERT_EQ(canvas.areas.size(), 1u);
    EXPECT_EQ(canvas.areas[0], KvRect(18, 0, 20, 3));

    canvas.areas.clear();
    const KvRegion clip(KvRect(5, 5, 6, 6));
    ASSERT_TRUE(canvas.bltScale(&src, KvRect(0, 0, 4, 4), KvRect(0, 0, 20, 10), kKvRopCopy, &clip));
    ASSERT_EQ(canvas.areas.size(), 1u);
    EXPECT_EQ(canvas.areas[0], KvRect(5, 5, 6, 6));

    canvas.areas.clear();
    ASSERT_TRUE(canvas.blt(&src, 0, 0, 4, 4, 30, 30));  // entirely outside: nothing written
    canvas.draw(KvRect(25, 0, 30, 5));
    EXPECT_TRUE(canvas.areas.empty());
}

// Plain fills of every width (so every tail of the wide stores), at every
// depth and row order, with and without a clip region: exactly the pixels
// of rectangle ∩ canvas ∩ clip take the colour, and row padding is untouched.
TEST(DrawReference, FillsOfEveryWidthWriteExactlyTheirPixels) {
    std::mt19937 rng(11);
    for (int depth : {8, 15, 16, 24, 32})
        for (bool bottomUp : {false, true}) {
            SCOPED_TRACE(depth * 10 + bottomUp);
            KvMemCanvas canvas(45, 7, depth, 1, bottomUp);
            unsigned char* bits = nullptr;
            int pitch = 0;
            ASSERT_TRUE(canvas.getPointerToMemory(&bits, &pitch));
            canvas.releasePointerToMemory();
            const size_t size = canvas.getMemorySize();
            for (int width = 0; width <= 47; ++width) {
                for (size_t i = 0; i < size; ++i) bits[i] = static_cast<unsigned char>(rng());
                const std::vector<unsigned char> before(bits, bits + size);
                std::vector<uint32_t> pixelsBefore;
                for (int y = 0; y < 7; ++y)
                    for (int x = 0; x < 45; ++x) pixelsBefore.push_back(canvas.getPixel(x, y));
                const int left = static_cast<int>(rng() % 5) - 2;
                const KvRect r(left, 1, left + width, 6);
                KvRegion clip(KvRect(0, 0, 45, 3));
                clip += KvRect(20, 0, 30, 7);
                const bool clipped = width % 3 == 0;
                canvas.clip = clipped ? &clip : nullptr;
                canvas.fillColor = KvColor::fromBytes(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                                                      static_cast<uint8_t>(rng()));
                canvas.draw(r);
                canvas.clip = nullptr;
                const uint32_t value = canvas.mapColor(canvas.fillColor);
                for (int y = 0; y < 7; ++y)
                    for (int x = 0; x < 45; ++x) {
                        const bool inside = r.contains({x, y}) && (!clipped || clip.contains(KvPoint(x, y)));
                        ASSERT_EQ(canvas.getPixel(x, y), inside ? value : pixelsBefore[static_cast<size_t>(y * 45 + x)])
                            << "width " << width << " at " << x << ", " << y;
                    }
                const int rowBytes = 45 * canvas.getPixelFormat().bytesPerPixel;
                for (int row = 0; row < 7; ++row)
                    for (int i = rowBytes; i < pitch; ++i)
                        ASSERT_EQ(bits[static_cast<size_t>(row) * pitch + i],
                                  before[static_cast<size_t>(row) * pitch + i]);
            }
        }
}

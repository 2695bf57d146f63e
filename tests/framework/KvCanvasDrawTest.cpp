// Shape drawing: fills, square-pen outlines drawn inside the shape's edge,
// clipping to the canvas and its clip region, and the changed() reports of
// draw and blt. Small cases are compared with the pictures of
// golden/draw-pictures.txt; random regions are
// checked against a brute-force reference of the outline.
#include "framework/KvCanvas.h"
#include "tests/framework/GoldenText.h"

#include <gtest/gtest.h>

#include <sstream>
#include <random>
#include <string>
#include <vector>

namespace {

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

}  // namespace

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
// of rectangle ∩ canvas ∩ clip take the colour, written as setPixel writes
// it into a copy of the memory, and row padding is untouched.
TEST(DrawReference, FillsOfEveryWidthWriteExactlyTheirPixels) {
    std::mt19937 rng(11);
    KvRegion clip(KvRect(0, 0, 45, 3));
    clip += KvRect(20, 0, 30, 7);
    for (int depth : {8, 15, 16, 24, 32})
        for (bool bottomUp : {false, true}) {
            KvMemCanvas canvas(45, 7, depth, 1, bottomUp), want(45, 7, depth, 1, bottomUp);
            unsigned char *bits = nullptr, *wantBits = nullptr;
            ASSERT_TRUE(canvas.getPointerToMemory(&bits, nullptr) && want.getPointerToMemory(&wantBits, nullptr));
            canvas.releasePointerToMemory();
            want.releasePointerToMemory();
            const size_t size = canvas.getMemorySize();
            for (int width = 0; width <= 47; ++width) {
                for (size_t i = 0; i < size; ++i) wantBits[i] = bits[i] = static_cast<unsigned char>(rng());
                const int left = static_cast<int>(rng() % 5) - 2;
                const KvRect r(left, 1, left + width, 6);
                canvas.clip = width % 3 == 0 ? &clip : nullptr;
                canvas.fillColor = KvColor::fromBytes(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                                                      static_cast<uint8_t>(rng()));
                for (int y = 0; y < 7; ++y)
                    for (int x = 0; x < 45; ++x)
                        if (r.contains({x, y}) && (!canvas.clip || clip.contains({x, y})))
                            want.setPixel(x, y, canvas.mapColor(canvas.fillColor));
                canvas.draw(r);
                canvas.clip = nullptr;
                ASSERT_EQ(std::vector<unsigned char>(bits, bits + size), std::vector<unsigned char>(wantBits, wantBits + size))
                    << "depth " << depth << (bottomUp ? " bottom-up" : "") << " width " << width;
            }
        }
}

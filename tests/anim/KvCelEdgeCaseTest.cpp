// Single cases of the cel renderer: the row encoding by example, mirrored and
// turned cels, when drawing locks the canvas and when it draws nothing, and
// the lookups that hit testing and recolouring build on.
#include "anim/KvCelRenderer.h"

#include <gtest/gtest.h>

#include "tests/anim/CelReference.h"

using namespace celtest;

namespace {

Bytes indexedPicture(int w, int h, std::initializer_list<int> rows) {
    Bytes b;
    put16(b, 0);
    put16(b, w);
    put16(b, h);
    for (int v : rows) b.push_back(static_cast<unsigned char>(v));
    return b;
}

std::vector<uint32_t> rowOf(const KvCanvas& c, int y, int x0, int x1) {
    std::vector<uint32_t> v;
    for (int x = x0; x < x1; ++x) v.push_back(c.getPixel(x, y));
    return v;
}

TEST(CelEdgeCases, RowRunsSkipLiteralAndFill) {
    const Bytes pic = indexedPicture(9, 1, {0x00, 0x03, 0x02, 0x07, 0x09, 0xFF, 0x05, 0x04});
    ASSERT_TRUE(KvCelRenderer::validate(pic.data(), pic.size()));
    KvMemCanvas canvas(12, 2, 8);
    for (int x = 0; x < 12; ++x) canvas.setPixel(x, 0, 0xEE);
    KvCelRenderer::draw(1, 0, pic.data(), &canvas, 0);
    EXPECT_EQ(rowOf(canvas, 0, 0, 12),
              (std::vector<uint32_t>{0xEE, 0xEE, 0xEE, 0xEE, 7, 9, 5, 5, 5, 5, 0xEE, 0xEE}));
}

TEST(CelEdgeCases, MirroredAndTurnedCels) {
    const Bytes strip = indexedPicture(4, 1, {0x04, 1, 2, 3, 4});
    KvMemCanvas canvas(20, 8, 8);
    KvCelRenderer::draw(10, 0, strip.data(), &canvas, 1);
    EXPECT_EQ(rowOf(canvas, 0, 10, 14), (std::vector<uint32_t>{4, 3, 2, 1}));  // column 0 at 13

    // A 4 x 2 cel turned a quarter clockwise covers 2 x 4; cel (0, 0) lands at (x + 1, y).
    const Bytes cel = indexedPicture(4, 2, {0x04, 1, 2, 3, 4, 0x04, 5, 6, 7, 8});
    EXPECT_EQ(KvCelRenderer::drawnBox(3, 2, cel.data(), 4), KvRect(3, 2, 5, 6));
    KvCelRenderer::draw(3, 2, cel.data(), &canvas, 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(canvas.getPixel(4, 2 + c), static_cast<uint32_t>(1 + c));
        EXPECT_EQ(canvas.getPixel(3, 2 + c), static_cast<uint32_t>(5 + c));
    }
}

TEST(CelEdgeCases, WhenDrawingDrawsNothing) {
    std::mt19937 rng(3);
    const Bytes direct = randomDirect(rng, 6, 5);
    const Bytes indexed = randomIndexed(rng, 6, 5);
    const uint32_t* saved = KvCelRenderer::currentColorTable;
    KvCelRenderer::currentColorTable = nullptr;
    struct Case {
        const char* what;
        int depth;
        const Bytes* pic;
        unsigned char dir;
    } cases[] = {
        {"direct colour in direction 2", 16, &direct, 2},
        {"direct colour in direction 4", 16, &direct, 4},
        {"direct colour on 24 bits", 24, &direct, 0},
        {"direct colour on 8 bits", 8, &direct, 0},
        {"indexed without a colour table", 16, &indexed, 0},
        {"direction 8", 8, &indexed, 8},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        CountingCanvas canvas(16, 16, k.depth);
        const Bytes before = memoryOf(canvas);
        canvas.locks = 0;
        KvCelRenderer::draw(2, 2, k.pic->data(), &canvas, k.dir);
        KvCelRenderer::draw(2, 2, k.pic->data(), &canvas, KvRect(0, 0, 9, 9), k.dir);
        EXPECT_EQ(canvas.locks, 0);
        EXPECT_TRUE(memoryOf(canvas) == before);
    }
    KvCelRenderer::currentColorTable = saved;
}

TEST(CelEdgeCases, ClippedDrawAtOrBelowTheClipBottomNeverLocks) {
    const Bytes pic = indexedPicture(2, 2, {0xFF, 1, 2, 0xFF, 1, 2});
    CountingCanvas canvas(10, 10, 8);
    KvCelRenderer::draw(0, 6, pic.data(), &canvas, KvRect(0, 0, 10, 6), 0);  // y at the bottom
    KvCelRenderer::draw(0, 8, pic.data(), &canvas, KvRect(0, 0, 10, 6), 0);  // below
    KvCelRenderer::draw(0, 10, pic.data(), &canvas, KvRect(0, 0, 10, 50), 0);  // canvas bottom
    EXPECT_EQ(canvas.locks, 0);
    KvCelRenderer::draw(0, 5, pic.data(), &canvas, KvRect(0, 0, 10, 6), 0);  // one row shows
    EXPECT_EQ(canvas.locks, 1);
    EXPECT_EQ(canvas.releases, 1);
    EXPECT_EQ(canvas.getPixel(1, 5), 1u);
    EXPECT_EQ(canvas.getPixel(1, 6), 0u);
}

TEST(CelEdgeCases, MapToCelInvertsTheDirectionTable) {
    std::mt19937 rng(11);
    for (int dir = 0; dir < 8; ++dir) {
        const int w = pick(rng, 1, 9), h = pick(rng, 1, 9), x = pick(rng, -5, 5), y = pick(rng, -5, 5);
        const Bytes pic = randomIndexed(rng, w, h);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                const KvPoint p = place(dir, x, y, w, h, c, r);
                int mc = -1, mr = -1;
                ASSERT_TRUE(KvCelRenderer::mapToCel(x, y, pic.data(), static_cast<unsigned char>(dir),
                                                    p.x, p.y, mc, mr));
                EXPECT_EQ(mc, c);
                EXPECT_EQ(mr, r);
            }
        const KvRect box = KvCelRenderer::drawnBox(x, y, pic.data(), static_cast<unsigned char>(dir));
        int mc, mr;
        EXPECT_FALSE(KvCelRenderer::mapToCel(x, y, pic.data(), static_cast<unsigned char>(dir),
                                             box.right, box.top, mc, mr));
        EXPECT_FALSE(KvCelRenderer::mapToCel(x, y, pic.data(), static_cast<unsigned char>(dir),
                                             box.left, box.top - 1, mc, mr));
    }
}

TEST(CelEdgeCases, PixelAtReadsBothFormsLikeTheReference) {
    std::mt19937 rng(12);
    for (int trial = 0; trial < 40; ++trial) {
        const Bytes pic = trial % 2 ? randomDirect(rng, pick(rng, 1, 30), pick(rng, 1, 8))
                                    : randomIndexed(rng, pick(rng, 1, 300), pick(rng, 1, 8));
        const Grid g = decode(pic);
        for (int r = 0; r < g.h; ++r)
            for (int c = 0; c < g.w; ++c)
                ASSERT_EQ(KvCelRenderer::pixelAt(pic.data(), c, r),
                          g.at(c, r).kind ? static_cast<int>(g.at(c, r).value) : -1);
        EXPECT_EQ(KvCelRenderer::pixelAt(pic.data(), g.w, 0), -1);
        EXPECT_EQ(KvCelRenderer::pixelAt(pic.data(), 0, -1), -1);
    }
}

TEST(CelEdgeCases, RemapIndicesRewritesLiteralAndFillColoursOnly) {
    std::mt19937 rng(13);
    unsigned char map[256];
    for (int i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(255 - i);
    Bytes pic = randomIndexed(rng, 40, 10);
    const Grid before = decode(pic);
    KvCelRenderer::remapIndices(pic.data(), map);
    const Grid after = decode(pic);
    for (size_t i = 0; i < before.cells.size(); ++i) {
        EXPECT_EQ(after.cells[i].kind, before.cells[i].kind);
        if (before.cells[i].kind) {
            EXPECT_EQ(after.cells[i].value, 255 - before.cells[i].value);
        }
    }
    Bytes direct = randomDirect(rng, 10, 4);
    const Bytes original = direct;
    KvCelRenderer::remapIndices(direct.data(), map);
    EXPECT_EQ(direct, original);
}

}  // namespace

// The cel renderer against a reference that decodes a picture to a grid and
// places every pixel by the direction table: random indexed and direct-colour
// pictures on 8, 15, 16, 24 and 32-bit canvases of both row orders, in all
// eight directions, clipped to random rectangles (often off the canvas) and
// unclipped, half of them with screen-format literals. Whole canvas memory,
// row padding included, must equal the reference's, and every lock is
// released. Then the single cases, and malformed pictures, which validation
// refuses and drawing keeps in bounds.
#include <gtest/gtest.h>

#include "anim/KvCelLiterals.h"
#include "anim/KvCelRenderer.h"
#include "tests/anim/CelReference.h"

using namespace celtest;

namespace {

constexpr int kCanvasW = 47, kCanvasH = 38;
constexpr uint32_t kMasks565[3] = {0xF800, 0x07E0, 0x001F};
constexpr uint32_t kMasks555[3] = {0x7C00, 0x03E0, 0x001F};

class CelDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        for (uint32_t& e : table) e = rng();
        KvCelRenderer::currentColorTable = table;
    }
    void TearDown() override {
        KvCelRenderer::currentColorTable = nullptr;
        std::memcpy(KvCelRenderer::blendMasks, kMasks565, sizeof kMasks565);
    }
    void useFormat(int depth) {  // the table and masks a window of this depth would set
        for (uint32_t& e : table) e = depth == 15 || depth == 16 ? (rng() & 0xFFFF) * 0x10001u : rng();
        std::memcpy(KvCelRenderer::blendMasks, depth == 15 ? kMasks555 : kMasks565, sizeof kMasks565);
    }
    uint32_t native(int depth, const Cel& cel, bool direct) const {
        if (direct || depth == 8) return cel.value;
        return depth == 32 ? table[cel.value] : table[cel.value] & (depth == 24 ? 0xFFFFFF : 0xFFFF);
    }

    // Draws at (x, y), clipped when clip is given, over random memory; with
    // literals, through a screen-format copy of the picture's literals.
    void expectReference(const Bytes& picture, int depth, bool bottomUp, int dir, int x, int y, const KvRect* clip,
                         bool withLiterals = false) {
        Bytes pic = picture;
        KvCelLiterals literals;
        literals.adopt({pic.data()});
        CountingCanvas canvas(kCanvasW, kCanvasH, depth, 1, bottomUp);
        KvMemCanvas expected(kCanvasW, kCanvasH, depth, 1, bottomUp);
        const Bytes before = randomBytes(rng, canvas.getMemorySize());
        setMemory(canvas, before);
        setMemory(expected, before);
        Grid g = decode(pic);
        const bool direct = get16(pic, 0) == 2;
        const int drawY = y;
        if (!clip && y < 0) y = 0;  // the unclipped drawer takes a negative y as 0
        const bool drawable = !direct || (depth <= 16 && depth >= 15 && dir <= 1);
        const KvRect area = (clip ? *clip : canvas.getBounds()) * canvas.getBounds();
        bool shown = false;
        if (g.w > 0 && g.h > 0) {
            EXPECT_EQ(KvCelRenderer::drawnBox(x, y, pic.data(), static_cast<unsigned char>(dir)),
                      dir < 4 ? KvRect(x, y, x + g.w, y + g.h) : KvRect(x, y, x + g.h, y + g.w));
        }
        for (int r = 0; r < g.h; ++r)
            for (int c = 0; c < g.w; ++c) {
                const KvPoint p = place(dir, x, y, g.w, g.h, c, r);
                const Cel& cel = g.at(c, r);
                int mc = -1, mr = -1;
                ASSERT_TRUE(KvCelRenderer::mapToCel(x, y, pic.data(), dir, p.x, p.y, mc, mr));
                ASSERT_TRUE(mc == c && mr == r);
                ASSERT_EQ(KvCelRenderer::pixelAt(pic.data(), c, r), cel.kind ? static_cast<int>(cel.value) : -1);
                if (!drawable || !area.contains(p)) continue;
                shown = true;
                const uint32_t d = expected.getPixel(p.x, p.y);
                if (cel.kind)
                    expected.setPixel(p.x, p.y,
                                      cel.kind == 2 ? blendReference(d, cel.value, cel.alpha, KvCelRenderer::blendMasks)
                                                    : native(depth, cel, direct));
            }
        KvCelLiterals* use = withLiterals ? &literals : nullptr;
        if (clip)
            KvCelRenderer::draw(x, y, pic.data(), &canvas, *clip, static_cast<unsigned char>(dir), use);
        else
            KvCelRenderer::draw(x, drawY, pic.data(), &canvas, static_cast<unsigned char>(dir), use);
        EXPECT_EQ(canvas.locks, shown ? 1 : 0);
        EXPECT_EQ(canvas.releases, canvas.locks);
        EXPECT_TRUE(memoryOf(canvas) == memoryOf(expected));
    }

    std::mt19937 rng{20260};
    uint32_t table[256] = {};
};

TEST_F(CelDrawing, MatchesTheReferenceAtEveryDepthDirectionClipAndRowOrder) {
    for (int depth : {8, 15, 16, 24, 32})
        for (bool bottomUp : {false, true})
            for (int dir = 0; dir < 8; ++dir)
                for (int trial = 0; trial < 16; ++trial) {
                    SCOPED_TRACE(testing::Message()
                                 << depth << " bits, bottomUp " << bottomUp << ", dir " << dir << ", trial " << trial);
                    useFormat(depth);
                    const int w = trial == 0 ? pick(rng, 200, 400) : pick(rng, 0, 30), h = pick(rng, 0, 24);
                    const Bytes pic = trial % 3 == 2 ? randomDirect(rng, w, h) : randomIndexed(rng, w, h);
                    const KvRect box = KvCelRenderer::drawnBox(0, 0, pic.data(), static_cast<unsigned char>(dir));
                    const int bw = box.isEmpty() ? 0 : box.width(), bh = box.isEmpty() ? 0 : box.height();
                    const KvRect clip(pick(rng, -9, kCanvasW), pick(rng, -9, kCanvasH), pick(rng, -5, kCanvasW + 9),
                                      pick(rng, -5, kCanvasH + 9));
                    const bool literals = trial % 2 == 1;
                    expectReference(pic, depth, bottomUp, dir, pick(rng, -bw - 3, kCanvasW + 3), pick(rng, -bh - 3, kCanvasH + 3),
                                    &clip, literals);
                    expectReference(pic, depth, bottomUp, dir, pick(rng, 0, std::max(0, kCanvasW - bw)),
                                    pick(rng, 0, std::max(0, kCanvasH - bh)), nullptr, literals);
                    expectReference(pic, depth, bottomUp, dir, pick(rng, -bw, kCanvasW), pick(rng, -bh, kCanvasH), nullptr,
                                    literals);
                }
}

// One translucent pixel s with alpha a drawn over d on a 5-6-5 canvas.
uint32_t blendByDrawing(uint32_t d, uint32_t s, int a) {
    const Bytes pic = words({2, 1, 1, 0, 12, 0, 2, 1, static_cast<int>(s)}) + Bytes{static_cast<unsigned char>(a)};
    KvMemCanvas canvas(1, 1, 16);
    canvas.setPixel(0, 0, d);
    KvCelRenderer::draw(0, 0, pic.data(), &canvas, 0);
    return canvas.getPixel(0, 0);
}

TEST_F(CelDrawing, BlendMovesEachChannelByAlphaOver256RoundingDown) {
    EXPECT_EQ(blendByDrawing(0x0000, 0xFFFF, 128), 0x7BEFu);
    EXPECT_EQ(blendByDrawing(0xFFFF, 0x0000, 1), 0xF7DEu);  // truncating would leave blue at 0x1F
    EXPECT_EQ(blendByDrawing(0x1234, 0xBEEF, 0), 0x1234u);
}

// Runs of 1 to 6 pixels between one-pixel gaps, literals and fills in turn:
// the pixels of every run, and none of the gaps, change, in every direction
// and at every depth, through the colour table and through screen literals.
TEST_F(CelDrawing, ShortRunsBetweenGapsWriteTheirPixelsOnly) {
    constexpr int kWidth = 24, kLongest = 6;
    Bytes pic = words({0, kWidth, kLongest});
    for (int length = 1; length <= kLongest; ++length) {
        bool literal = true;
        for (int c = 0; c < kWidth; literal = !literal) {
            pic = pic + Bytes{0x00, 1};
            const int n = std::min(length, kWidth - ++c);
            if (n == 0) break;
            if (literal) {
                pic.push_back(static_cast<unsigned char>(n));
                for (int i = 0; i < n; ++i) pic.push_back(byte(rng));
            } else {
                pic = pic + Bytes{0xFF, byte(rng), static_cast<unsigned char>(n)};
            }
            c += n;
        }
    }
    ASSERT_TRUE(KvCelRenderer::validate(pic.data(), pic.size()));
    const KvRect clip(6, 4, 20, 21);  // cuts runs in rows and columns alike
    for (int depth : {8, 16, 24, 32})
        for (int dir = 0; dir < 8; ++dir)
            for (bool literals : {false, true}) {
                SCOPED_TRACE(testing::Message() << depth << " bits, dir " << dir << ", literals " << literals);
                useFormat(depth);
                expectReference(pic, depth, false, dir, 3, 2, nullptr, literals);
                expectReference(pic, depth, false, dir, 3, 2, &clip, literals);
            }
}

// Pictures that show nothing (direct colour off 16 bits or in directions 2 to 7
// among them) are covered by the reference test, which counts locks as well.
TEST_F(CelDrawing, WhatLocksTheCanvas) {
    const Bytes pic = words({0, 2, 2}) + Bytes{0xFF, 1, 2, 0xFF, 1, 2};
    const KvRect clip(0, 0, 10, 6);
    CountingCanvas canvas(10, 10, 8), deep(10, 10, 16);
    KvCelRenderer::draw(0, 6, pic.data(), &canvas, clip, 0);                   // at the clip bottom
    KvCelRenderer::draw(0, 8, pic.data(), &canvas, clip, 0);                   // below it
    KvCelRenderer::draw(0, 10, pic.data(), &canvas, KvRect(0, 0, 10, 50), 0);  // canvas bottom
    KvCelRenderer::draw(0, 0, pic.data(), &canvas, 8);                         // no direction 8
    KvCelRenderer::currentColorTable = nullptr;
    KvCelRenderer::draw(0, 0, pic.data(), &deep, 0);  // indexed, no colour table
    EXPECT_EQ(canvas.locks + deep.locks, 0);
    KvCelRenderer::draw(0, 5, pic.data(), &canvas, clip, 0);
    EXPECT_EQ(canvas.locks, 1);
    EXPECT_EQ(canvas.releases, 1);
    EXPECT_EQ(canvas.getPixel(1, 5), 1u);
    EXPECT_EQ(canvas.getPixel(1, 6), 0u);
}

TEST_F(CelDrawing, RemapIndicesRewritesLiteralAndFillColoursOnly) {
    unsigned char map[256];
    for (int i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(255 - i);
    Bytes pic = randomIndexed(rng, 40, 10), direct = randomDirect(rng, 10, 4);
    const Bytes directBefore = direct;
    Grid before = decode(pic);
    KvCelRenderer::remapIndices(pic.data(), map);
    KvCelRenderer::remapIndices(direct.data(), map);
    Grid after = decode(pic);
    for (size_t i = 0; i < before.cells.size(); ++i) {
        EXPECT_EQ(after.cells[i].kind, before.cells[i].kind);
        EXPECT_EQ(after.cells[i].value, before.cells[i].kind ? 255 - before.cells[i].value : 0);
    }
    EXPECT_EQ(direct, directBefore);
}

Bytes directPicture(int w, const std::vector<Bytes>& rows) {  // row table in step with the rows
    Bytes table, data;
    for (const Bytes& r : rows) {
        const uint32_t at = static_cast<uint32_t>(8 + 4 * rows.size() + data.size());
        table = table + words({static_cast<int>(at & 0xFFFF), static_cast<int>(at >> 16)});
        data = data + r;
    }
    return words({2, w, static_cast<int>(rows.size()), 0}) + table + data;
}

TEST_F(CelDrawing, MalformedPicturesFailValidationAndDrawOnlyInsideClipAndBox) {
    for (int trial = 0; trial < 200; ++trial) {
        const int w = pick(rng, 1, 300), h = pick(rng, 1, 6);
        const Bytes pic = trial % 2 ? randomDirect(rng, w, h) : randomIndexed(rng, w, h);
        EXPECT_TRUE(KvCelRenderer::validate(pic.data(), pic.size()));
        EXPECT_FALSE(KvCelRenderer::validate(pic.data(), pic.size() - 1));
    }
    const Bytes head = words({0, 4, 2}), good = {0x04, 1, 2, 3, 4};
    Bytes shifted = directPicture(3, {words({1, 3, 7, 8, 9}), words({0, 3})});
    shifted[12] = shifted[8];  // both rows claim the first row's place
    const struct {
        const char* what;
        Bytes pic;
        bool runsOnly;  // the header is sound: draw it anyway
    } malformed[] = {
        {"literal past the width", head + Bytes{0x05, 1, 2, 3, 4, 5} + good, true},
        {"fill past the width", head + Bytes{0xFF, 7, 9} + good, true},
        {"skip past the width", head + Bytes{0x00, 2, 0x00, 9} + good, true},
        {"second row missing", head + good, true},
        {"literal cut by the end", head + good + Bytes{0x04, 1, 2}, true},
        {"negative width", words({0, -1, 2}) + good, false},
        {"taller than the limit", words({0, 4, KvCelRenderer::kMaxPictureSide + 1}) + good, false},
        {"header cut", Bytes{0, 0, 4}, false},
        {"direct: unknown opcode", directPicture(3, {words({3, 3}), words({0, 3})}), true},
        {"direct: opaque run past the width", directPicture(3, {words({1, 5, 1, 2, 3, 4, 5}), words({0, 3})}), true},
        {"direct: translucent run cut", directPicture(3, {words({0, 3}), words({2, 2, 0x1234}) + Bytes{0x80}}), true},
        {"direct: row table past the end", words({2, 3, 50, 0, 0, 3}), false},
        {"direct: row table out of step", shifted, true},
    };
    const KvRect clip(3, 2, 9, 8);
    for (const auto& m : malformed) {
        SCOPED_TRACE(m.what);
        EXPECT_FALSE(KvCelRenderer::validate(m.pic.data(), m.pic.size()));
        // Drawn anyway: reads past the end find rows that end at once (255-pixel
        // fills, or 65535-pixel runs of an unknown opcode); writes stay in the clip
        // or, unclipped, in the drawn box, and never touch row padding.
        const Bytes buffer = m.pic + Bytes(64, 0xFF);
        for (int depth : {8, 16, 24})
            for (int dir = 0; dir < 8 && m.runsOnly; ++dir)
                for (bool clipped : {true, false}) {
                    KvMemCanvas canvas(13, 11, depth, 1, dir % 2);  // rows padded
                    const Bytes before = randomBytes(rng, canvas.getMemorySize());
                    setMemory(canvas, before);
                    const unsigned char d = static_cast<unsigned char>(dir);
                    clipped ? KvCelRenderer::draw(5, 4, buffer.data(), &canvas, clip, d)
                            : KvCelRenderer::draw(5, 4, buffer.data(), &canvas, d);
                    const KvRect allowed = clipped ? clip : KvCelRenderer::drawnBox(5, 4, buffer.data(), d);
                    const Bytes after = memoryOf(canvas);
                    const size_t pitch = after.size() / 11, bpp = depth / 8;
                    for (size_t i = 0; i < after.size(); ++i) {
                        const int x = static_cast<int>(i % pitch / bpp),
                                  y = static_cast<int>(dir % 2 ? 10 - i / pitch : i / pitch);
                        if (x >= 13 || !allowed.contains(KvPoint(x, y))) {
                            ASSERT_EQ(after[i], before[i]) << depth << " bits, dir " << dir << " at " << x << "," << y;
                        }
                    }
                }
    }
}

}  // namespace

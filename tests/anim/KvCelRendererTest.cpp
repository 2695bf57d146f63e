// The cel drawers against a reference that decodes a picture to a grid and
// places every pixel by the direction table: random pictures on 8, 15, 16, 24
// and 32-bit canvases of both row orders, in all eight directions, clipped to
// random rectangles (often off the canvas) and unclipped. Whole canvas memory,
// row padding included, must equal the reference's; every lock is released.
#include "anim/KvCelRenderer.h"

#include <gtest/gtest.h>

#include "tests/anim/CelReference.h"

using namespace celtest;

namespace {

constexpr int kDepths[] = {8, 15, 16, 24, 32};
constexpr int kCanvasW = 47, kCanvasH = 38;
constexpr uint32_t kMasks565[3] = {0xF800, 0x07E0, 0x001F};
constexpr uint32_t kMasks555[3] = {0x7C00, 0x03E0, 0x001F};

// Keeps the renderer's statics as each test found them.
class CelDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        savedTable = KvCelRenderer::currentColorTable;
        std::memcpy(savedMasks, KvCelRenderer::blendMasks, sizeof savedMasks);
    }
    void TearDown() override {
        KvCelRenderer::currentColorTable = savedTable;
        std::memcpy(KvCelRenderer::blendMasks, savedMasks, sizeof savedMasks);
    }

    // A colour table in the renderer's form for the depth (both halves on 16 bits).
    void useRandomTable(int depth) {
        for (uint32_t& e : table) {
            e = rng();
            if (depth == 15 || depth == 16) e = (e & 0xFFFF) * 0x10001u;
        }
        KvCelRenderer::currentColorTable = table;
    }

    uint32_t indexedPixel(int depth, uint32_t i) const {
        if (depth == 8) return i;
        if (depth == 24) return table[i] & 0xFFFFFF;
        return depth == 32 ? table[i] : table[i] & 0xFFFF;
    }

    // Draws pic at (x, y) (clipped when clip is given) on a canvas of random memory
    // and expects exactly the reference's memory.
    void expectReference(const Bytes& pic, int depth, bool bottomUp, int dir, int x, int y,
                         const KvRect* clip) {
        CountingCanvas canvas(kCanvasW, kCanvasH, depth, 1, bottomUp);
        KvMemCanvas expected(kCanvasW, kCanvasH, depth, 1, bottomUp);
        const Bytes before = randomBytes(rng, canvas.getMemorySize());
        setMemory(canvas, before);
        setMemory(expected, before);

        const Grid g = decode(pic);
        const bool direct = get16(pic, 0) == 2;
        const bool drawable = !direct || ((depth == 15 || depth == 16) && dir <= 1);
        const KvRect area = (clip ? *clip : canvas.getBounds()) * canvas.getBounds();
        bool anyVisible = false;
        for (int r = 0; r < g.h && drawable; ++r) {
            for (int c = 0; c < g.w; ++c) {
                const KvPoint p = place(dir, x, y, g.w, g.h, c, r);
                if (!area.contains(p)) continue;
                anyVisible = true;
                const Cel& cel = g.at(c, r);
                if (cel.kind == 2)
                    expected.setPixel(p.x, p.y,
                                      blendReference(expected.getPixel(p.x, p.y), cel.value,
                                                     cel.alpha, KvCelRenderer::blendMasks));
                else if (cel.kind == 1)
                    expected.setPixel(p.x, p.y, direct ? cel.value : indexedPixel(depth, cel.value));
            }
        }

        canvas.locks = canvas.releases = 0;
        if (clip)
            KvCelRenderer::draw(x, y, pic.data(), &canvas, *clip, static_cast<unsigned char>(dir));
        else
            KvCelRenderer::draw(x, y, pic.data(), &canvas, static_cast<unsigned char>(dir));
        EXPECT_EQ(canvas.locks, canvas.releases);
        EXPECT_EQ(canvas.locks, anyVisible ? 1 : 0);
        EXPECT_TRUE(memoryOf(canvas) == memoryOf(expected));
    }

    KvRect randomClip() {
        return KvRect(pick(rng, -10, kCanvasW + 5), pick(rng, -10, kCanvasH + 5),
                      pick(rng, -5, kCanvasW + 10), pick(rng, -5, kCanvasH + 10));
    }

    // Clipped at random, unclipped inside the canvas, unclipped hanging off it.
    void drawThreeWays(const Bytes& pic, int depth, bool bottomUp, int dir) {
        const KvRect box = KvCelRenderer::drawnBox(0, 0, pic.data(), static_cast<unsigned char>(dir));
        const KvRect clip = randomClip();
        const int w = std::max(box.width(), 0), h = std::max(box.height(), 0);
        expectReference(pic, depth, bottomUp, dir, pick(rng, -w - 3, kCanvasW + 3),
                        pick(rng, -h - 3, kCanvasH + 3), &clip);
        expectReference(pic, depth, bottomUp, dir, pick(rng, 0, std::max(0, kCanvasW - w)),
                        pick(rng, 0, std::max(0, kCanvasH - h)), nullptr);
        expectReference(pic, depth, bottomUp, dir, pick(rng, -w, kCanvasW),
                        pick(rng, -h, kCanvasH), nullptr);
    }

    std::mt19937 rng{20260};
    uint32_t table[256] = {};
    uint32_t savedMasks[3] = {};
    const uint32_t* savedTable = nullptr;
};

TEST_F(CelDrawing, IndexedPicturesMatchTheReferenceEverywhere) {
    for (int depth : kDepths)
        for (bool bottomUp : {false, true})
            for (int dir = 0; dir < 8; ++dir)
                for (int trial = 0; trial < 10; ++trial) {
                    SCOPED_TRACE(testing::Message() << "depth " << depth << " bottomUp " << bottomUp
                                                    << " dir " << dir << " trial " << trial);
                    useRandomTable(depth);
                    const int w = trial == 0 ? pick(rng, 200, 400) : pick(rng, 0, 30);
                    drawThreeWays(randomIndexed(rng, w, pick(rng, 0, 24)), depth, bottomUp, dir);
                }
}

TEST_F(CelDrawing, DirectColourPicturesBlendOnSixteenBitsInDirectionsZeroAndOneOnly) {
    for (int depth : kDepths)
        for (bool bottomUp : {false, true})
            for (int dir = 0; dir < 8; ++dir)
                for (int trial = 0; trial < 6; ++trial) {
                    SCOPED_TRACE(testing::Message() << "depth " << depth << " bottomUp " << bottomUp
                                                    << " dir " << dir << " trial " << trial);
                    std::memcpy(KvCelRenderer::blendMasks, depth == 15 ? kMasks555 : kMasks565,
                                sizeof kMasks565);
                    useRandomTable(depth);
                    drawThreeWays(randomDirect(rng, pick(rng, 0, 30), pick(rng, 0, 24)), depth,
                                  bottomUp, dir);
                }
}

// One translucent pixel s with alpha a drawn over d on a 5-6-5 canvas.
uint32_t blendByDrawing(uint32_t d, uint32_t s, int a) {
    Bytes pic;
    for (int v : {2, 1, 1, 0, 12, 0, 2, 1, static_cast<int>(s)}) put16(pic, v);
    pic.push_back(static_cast<unsigned char>(a));
    KvMemCanvas canvas(1, 1, 16);
    canvas.setPixel(0, 0, d);
    KvCelRenderer::draw(0, 0, pic.data(), &canvas, 0);
    return canvas.getPixel(0, 0);
}

TEST_F(CelDrawing, BlendMovesEachChannelByAlphaOver256RoundingDown) {
    EXPECT_EQ(blendByDrawing(0x0000, 0xFFFF, 128), 0x7BEFu);
    // A darker source: truncation would leave blue at 0x1F, rounding down gives 0x1E.
    EXPECT_EQ(blendByDrawing(0xFFFF, 0x0000, 1), 0xF7DEu);
    EXPECT_EQ(blendByDrawing(0x1234, 0xBEEF, 0), 0x1234u);
    EXPECT_EQ(blendByDrawing(0x1234, 0xBEEF, 255), blendReference(0x1234, 0xBEEF, 255, kMasks565));
}

}  // namespace

// The cel encoder: the AO file around one packed picture, how runs are chosen
// and split, and the round trip from an 8-bit canvas through pack and the
// renderer back to the same pixels.
#include "anim/KvCelRenderer.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/anim/CelReference.h"

using namespace celtest;

namespace {

struct Packed {
    long size = -1;
    std::unique_ptr<const unsigned char[]> block;
    Bytes bytes() const { return block ? Bytes(block.get(), block.get() + size) : Bytes(); }
    const unsigned char* picture() const { return block.get() + 52; }
};

Packed pack(KvMemCanvas& canvas, const KvRect& rect, int transparent) {
    Packed p;
    p.block.reset(static_cast<const unsigned char*>(KvCelRenderer::pack(p.size, &canvas, rect, transparent)));
    return p;
}

Bytes encode(const Bytes& row, int transparent) {
    Bytes out(2 * row.size() + 2);
    out.resize(KvCelRenderer::encodeRow(out.data(), row.data(), static_cast<int>(row.size()), transparent));
    return out;
}

TEST(CelPack, OneTransparentPixelMakesASixtyByteFile) {
    KvMemCanvas canvas(1, 1, 8);
    canvas.setPixel(0, 0, 9);
    const Packed p = pack(canvas, KvRect::zero, 9);
    EXPECT_EQ(p.size, 60);
    const Bytes expected = {
        1, 0, 1, 0, 8, 0, 0, 0, 0, 0,  // one sequence, one cel, 8 fps, not swapped, no flags
        0, 0, 0, 0,                    // cel 0 at the start of the cel data
        0, 0, 0, 0,                    // embedded position
        4, 0,                          // pause point, cel 0, loop marker, end
        0, 0, 0, 0, 0xFC, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0xFE, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0,
        0, 0, 1, 0, 1, 0,  // picture: type 0, 1 x 1
        0x00, 0x01};
    EXPECT_EQ(p.bytes(), expected);
}

TEST(CelPack, OnlyEightBitCanvasesPack) {
    for (int depth : {15, 16, 24, 32}) {
        KvMemCanvas canvas(4, 4, depth);
        const Packed p = pack(canvas, KvRect::zero, 0);
        EXPECT_EQ(p.block, nullptr);
        EXPECT_EQ(p.size, 0);
    }
}

TEST(CelPack, RunKindsAndTheirLimits) {
    const struct {
        const char* what;
        Bytes row;
        Bytes runs;
    } cases[] = {
        {"600 equal pixels", Bytes(600, 5), {0xFF, 5, 250, 0xFF, 5, 250, 0xFF, 5, 100}},
        {"600 transparent pixels", Bytes(600, 0), {0, 250, 0, 250, 0, 100}},
        {"three equal pixels at the end stay literal", {5, 5, 5}, {3, 5, 5, 5}},
        {"four equal pixels fill", {5, 5, 5, 5}, {0xFF, 5, 4}},
        {"a fill inside literals", {1, 5, 5, 5, 2}, {1, 1, 0xFF, 5, 3, 1, 2}},
        {"transparency ends a literal run", {1, 2, 0, 3}, {2, 1, 2, 0, 1, 1, 3}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(encode(k.row, 0), k.runs);
    }
    Bytes distinct(600);
    for (size_t i = 0; i < distinct.size(); ++i) distinct[i] = static_cast<unsigned char>(1 + i % 2);
    const Bytes runs = encode(distinct, 0);
    ASSERT_EQ(runs.size(), 603u);
    EXPECT_EQ(runs[0], 250);
    EXPECT_EQ(runs[251], 250);
    EXPECT_EQ(runs[502], 100);
}

// Rows of random runs, so that every run kind and split shows up.
Bytes randomRow(std::mt19937& rng, int width) {
    Bytes row;
    while (static_cast<int>(row.size()) < width) {
        const int n = std::min(width - static_cast<int>(row.size()), pick(rng, 1, pick(rng, 0, 5) ? 6 : 300));
        const unsigned char v = static_cast<unsigned char>(pick(rng, 0, 3) ? pick(rng, 0, 255) : 0);
        for (int i = 0; i < n; ++i)
            row.push_back(pick(rng, 0, 2) ? v : static_cast<unsigned char>(pick(rng, 0, 255)));
    }
    return row;
}

TEST(CelPack, EncodedRowsDecodeToTheirPixelsInAtMostTwoBytesAPixel) {
    std::mt19937 rng(31);
    for (int trial = 0; trial < 300; ++trial) {
        const int width = pick(rng, 1, 700), transparent = pick(rng, -1, 3);
        const Bytes row = randomRow(rng, width);
        const Bytes runs = encode(row, transparent);
        EXPECT_LE(runs.size(), 2 * row.size());
        Bytes pic;
        for (int v : {0, width, 1}) put16(pic, v);
        pic.insert(pic.end(), runs.begin(), runs.end());
        ASSERT_TRUE(KvCelRenderer::validate(pic.data(), pic.size()));
        const Grid g = decode(pic);
        for (int c = 0; c < width; ++c) {
            ASSERT_EQ(g.at(c, 0).kind, row[c] == transparent ? 0 : 1);
            if (g.at(c, 0).kind) {
                ASSERT_EQ(g.at(c, 0).value, row[c]);
            }
        }
        for (size_t at = 0; at < runs.size();) {  // no count above 250
            const int op = runs[at];
            const int count = op == 0 ? runs[at + 1] : op == 0xFF ? runs[at + 2] : op;
            EXPECT_LE(count, 250);
            at += op == 0 ? 2 : op == 0xFF ? 3 : 1 + op;
        }
    }
}

TEST(CelPack, PackedAreasDrawBackTheirPixels) {
    std::mt19937 rng(32);
    constexpr unsigned kBackground = 0x77;
    for (bool bottomUp : {false, true})
        for (KvPoint size : {KvPoint(70, 23), KvPoint(600, 3), KvPoint(1, 1)})
            for (KvRect rect : {KvRect::zero, KvRect(0, 0, size.x / 2 + 1, size.y / 2 + 1),
                                KvRect(size.x / 3, size.y / 3, size.x + 9, size.y + 9)}) {
                SCOPED_TRACE(testing::Message() << size.x << "x" << size.y << " bottomUp " << bottomUp
                                                << " rect " << rect.left << "," << rect.top);
                KvMemCanvas source(size.x, size.y, 8, 1, bottomUp);
                for (int y = 0; y < size.y; ++y) {
                    const Bytes row = randomRow(rng, size.x);
                    for (int x = 0; x < size.x; ++x) source.setPixel(x, y, row[x]);
                }
                const Packed p = pack(source, rect, 0);
                ASSERT_NE(p.block, nullptr);
                const KvRect area = rect == KvRect::zero ? source.getBounds() : rect * source.getBounds();
                EXPECT_EQ(get16(p.bytes(), 52 + 2), area.width());
                EXPECT_EQ(get16(p.bytes(), 52 + 4), area.height());
                EXPECT_TRUE(KvCelRenderer::validate(p.picture(), p.size - 52));

                KvMemCanvas target(size.x, size.y, 8);
                for (int y = 0; y < size.y; ++y)
                    for (int x = 0; x < size.x; ++x) target.setPixel(x, y, kBackground);
                KvCelRenderer::draw(area.left, area.top, p.picture(), &target, 0);
                for (int y = 0; y < size.y; ++y)
                    for (int x = 0; x < size.x; ++x) {
                        const uint32_t s = source.getPixel(x, y);
                        const bool packed = area.contains(KvPoint(x, y)) && s != 0;
                        ASSERT_EQ(target.getPixel(x, y), packed ? s : kBackground) << x << "," << y;
                    }
            }
}

}  // namespace

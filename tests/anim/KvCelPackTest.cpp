// The cel encoder: the AO file around one packed picture, how runs are chosen
// and split, and the round trip from an 8-bit canvas through pack and the
// renderer back to the same pixels.
#include <gtest/gtest.h>

#include <memory>

#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"
#include "tests/anim/CelReference.h"

using namespace celtest;

namespace {

// The encoder, or the hosts' entry point on KvAnimation, which must be the same.
using Packer = const void* (*)(long&, KvMemCanvas*, const KvRect&, int);
Bytes pack(KvMemCanvas& canvas, const KvRect& rect, int transparent, long* sizeOut = nullptr, Packer packer = &KvCelRenderer::pack) {
    long size = -1;
    std::unique_ptr<const unsigned char[]> block(static_cast<const unsigned char*>(packer(size, &canvas, rect, transparent)));
    if (sizeOut) *sizeOut = size;
    return block ? Bytes(block.get(), block.get() + size) : Bytes();
}

Bytes encode(const Bytes& row, int transparent) {
    Bytes out(2 * row.size());
    out.resize(KvCelRenderer::encodeRow(out.data(), row.data(), static_cast<int>(row.size()), transparent));
    return out;
}

TEST(CelPack, OneTransparentPixelMakesASixtyByteFile) {
    KvMemCanvas canvas(1, 1, 8);
    canvas.setPixel(0, 0, 9);
    const Bytes expected = words({1, 1, 8, 0, 0, 0, 0, 0, 0}) +   // 1 sequence, 1 cel, 8 fps, cel 0 at 0
                           words({4, 0, 0, -4, 0, 0, 0, 0, 0}) +  // 4 entries: pause point, cel 0,
                           words({0, 0, -2, 0, 0, 0, -1, 0}) +    // loop marker, end
                           words({0, 1, 1}) + Bytes{0x00, 0x01};  // the picture: one skipped pixel
    EXPECT_EQ(expected.size(), 60u);
    for (Packer packer : {&KvCelRenderer::pack, &KvAnimation::pack}) EXPECT_EQ(pack(canvas, KvRect::zero, 9, nullptr, packer), expected);
}

TEST(CelPack, OnlyEightBitCanvasesPack) {
    for (int depth : {15, 16, 24, 32}) {
        KvMemCanvas canvas(4, 4, depth);
        long size = -1;
        EXPECT_TRUE(pack(canvas, KvRect::zero, 0, &size).empty());
        EXPECT_EQ(size, 0);
    }
}

TEST(CelPack, RunKindsAndTheirLimits) {
    Bytes alternating(600);
    for (size_t i = 0; i < alternating.size(); ++i) alternating[i] = static_cast<unsigned char>(1 + i % 2);
    const Bytes literals = encode(alternating, 0);
    EXPECT_EQ(literals.size(), 603u);
    EXPECT_EQ(Bytes({literals[0], literals[251], literals[502]}), Bytes({250, 250, 100}));
    const struct {
        const char* what;
        Bytes row, runs;
    } cases[] = {
        {"600 equal pixels", Bytes(600, 5), {0xFF, 5, 250, 0xFF, 5, 250, 0xFF, 5, 100}},
        {"600 transparent pixels", Bytes(600, 0), {0, 250, 0, 250, 0, 100}},
        {"three equal pixels at the end stay literal", {5, 5, 5}, {3, 5, 5, 5}},
        {"four equal pixels fill", {5, 5, 5, 5}, {0xFF, 5, 4}},
        {"a fill between literals", {1, 5, 5, 5, 2}, {1, 1, 0xFF, 5, 3, 1, 2}},
        {"transparency ends a literal run", {1, 2, 0, 3}, {2, 1, 2, 0, 1, 1, 3}},
    };
    for (const auto& k : cases) EXPECT_EQ(encode(k.row, 0), k.runs) << k.what;
}

TEST(CelPack, PackedAreasDrawBackTheirPixels) {
    std::mt19937 rng(32);
    constexpr unsigned kBackground = 0x77;
    for (bool bottomUp : {false, true})
        for (KvPoint size : {KvPoint(70, 23), KvPoint(600, 3), KvPoint(1, 1)})
            for (KvRect rect : {KvRect::zero, KvRect(0, 0, size.x / 2 + 1, size.y / 2 + 1),
                                KvRect(size.x / 3, size.y / 3, size.x + 9, size.y + 9)}) {
                SCOPED_TRACE(testing::Message()
                             << size.x << "x" << size.y << " bottomUp " << bottomUp << " from " << rect.left << "," << rect.top);
                KvMemCanvas source(size.x, size.y, 8, 1, bottomUp), target(size.x, size.y, 8);
                for (int y = 0; y < size.y; ++y)
                    for (int x = 0, n; x < size.x; x += n) {  // stretches of one value or of noise
                        n = pick(rng, 1, pick(rng, 0, 5) ? 6 : 300);
                        const int v = pick(rng, 0, 3) ? pick(rng, 0, 255) : 0;
                        for (int i = 0; i < n; ++i) source.setPixel(x + i, y, pick(rng, 0, 2) ? v : byte(rng));
                        for (int i = 0; i < n; ++i) target.setPixel(x + i, y, kBackground);
                    }
                const Bytes block = pack(source, rect, 0);
                const KvRect area = rect == KvRect::zero ? source.getBounds() : rect * source.getBounds();
                ASSERT_EQ(Bytes(block.begin() + 52, block.begin() + 58), words({0, area.width(), area.height()}));
                EXPECT_TRUE(KvCelRenderer::validate(block.data() + 52, block.size() - 52));
                EXPECT_LE(block.size() - 52, 2u * area.width() * area.height() + 6);
                KvCelRenderer::draw(area.left, area.top, block.data() + 52, &target, 0);
                for (int y = 0; y < size.y; ++y)
                    for (int x = 0; x < size.x; ++x) {
                        const uint32_t s = source.getPixel(x, y);
                        const bool packed = area.contains(KvPoint(x, y)) && s != 0;
                        ASSERT_EQ(target.getPixel(x, y), packed ? s : kBackground) << x << "," << y;
                    }
            }
}

}  // namespace

// Screen-format literal copies: drawing through them must give the pixels a
// draw through the colour table gives, also after the table, the picture's
// indices or the canvas depth change; only adopted indexed pictures get
// copies, and their bytes are counted against the budget and given back.
#include <gtest/gtest.h>

#include "anim/KvCelLiterals.h"
#include "anim/KvCelRenderer.h"
#include "tests/anim/CelReference.h"
#include "tests/support/Joined.h"

using namespace celtest;

namespace {

constexpr int kSide = 64;

class CelLiterals : public ::testing::Test {
protected:
    void SetUp() override {
        refill();
        KvCelRenderer::currentColorTable = table;
    }
    void TearDown() override { KvCelRenderer::currentColorTable = nullptr; }
    void refill() {
        for (uint32_t& e : table) e = (rng() & 0xFFFF) * 0x10001u;
    }
    // The same draw with and without literals over the same memory.
    void expectSameAsTable(Bytes& pic, int depth, unsigned char dir) {
        KvMemCanvas viaTable(kSide, kSide, depth), viaCopy(kSide, kSide, depth);
        const Bytes before = randomBytes(rng, viaTable.getMemorySize());
        setMemory(viaTable, before);
        setMemory(viaCopy, before);
        KvCelRenderer::draw(3, 2, pic.data(), &viaTable, dir);
        KvCelRenderer::draw(3, 2, pic.data(), &viaCopy, dir, &literals);
        EXPECT_TRUE(memoryOf(viaTable) == memoryOf(viaCopy));
    }

    std::mt19937 rng{1414};
    uint32_t table[256] = {};
    KvCelLiterals literals;
};

TEST_F(CelLiterals, DrawLikeTheTableAfterEveryAnnouncedChange) {
    Bytes pic = randomIndexed(rng, 50, 40);
    literals.adopt({pic.data()});
    const size_t before = KvCelLiterals::bytesInUse();
    expectSameAsTable(pic, 16, 0);
    EXPECT_EQ(KvCelLiterals::bytesInUse(), before + 2 * pic.size());

    refill();  // entries rewritten in place
    KvCelLiterals::colorsChanged();
    expectSameAsTable(pic, 16, 4);

    unsigned char map[256];
    for (int i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(i * 7 + 3);
    KvCelRenderer::remapIndices(pic.data(), map);  // announces itself
    expectSameAsTable(pic, 16, 1);

    uint32_t other[256];
    for (uint32_t& e : other) e = rng();
    KvCelRenderer::currentColorTable = other;  // another table, another depth
    expectSameAsTable(pic, 32, 7);
    EXPECT_EQ(KvCelLiterals::bytesInUse(), before + 4 * pic.size());

    literals.adopt({});
    EXPECT_EQ(KvCelLiterals::bytesInUse(), before);
}

TEST_F(CelLiterals, OnlyAdoptedIndexedPicturesAtSixteenAndThirtyTwoBitsGetCopies) {
    Bytes adopted = randomIndexed(rng, 20, 5), stranger = randomIndexed(rng, 20, 5);
    Bytes direct = randomDirect(rng, 20, 5);
    literals.adopt({adopted.data(), direct.data()});
    const auto has = [&](const Bytes& pic, const uint32_t* colors, int depth) { return literals.copyFor(pic.data(), colors, depth) != nullptr; };
    EXPECT_EQ(joined(has(adopted, table, 16), has(adopted, table, 32), has(adopted, table, 24), has(adopted, table, 8),
                     has(adopted, nullptr, 16), has(stranger, table, 16), has(direct, table, 16)), "1 1 0 0 0 0 0");
    expectSameAsTable(stranger, 16, 0);
}

TEST_F(CelLiterals, APictureBeyondTheBudgetDrawsThroughTheTable) {
    // Rows of long literal runs, more bytes than the budget holds at 32 bits.
    constexpr int kWidth = 254 * 8, kHeight = int(KvCelLiterals::kBudgetBytes / 4 / kWidth) + 1;
    Bytes pic = words({0, kWidth, kHeight});
    for (int r = 0; r < kHeight; ++r)
        for (int run = 0; run < 8; ++run) {
            pic.push_back(254);
            for (int i = 0; i < 254; ++i) pic.push_back(byte(rng));
        }
    literals.adopt({pic.data()});
    EXPECT_EQ(literals.copyFor(pic.data(), table, 32), nullptr);
    EXPECT_LE(KvCelLiterals::bytesInUse(), KvCelLiterals::kBudgetBytes);
    KvMemCanvas canvas(kWidth, kHeight, 32);
    KvCelRenderer::draw(0, 0, pic.data(), &canvas, 0, &literals);
    EXPECT_EQ(canvas.getPixel(kWidth - 1, kHeight - 1), table[pic.back()]);
}

}  // namespace

// Loading AO files: the model a file gives in either byte order, positions,
// colour tables and palettes, the direct-colour rewrite, splash, and the
// refusal of every file that does not fit its size.
#include "tests/anim/AnimTestSupport.h"

#include "sob/KvScriptableObject.h"

#include <cstring>

using namespace aotest;

namespace {

// Everything a loaded animation tells about its file.
struct Model {
    int cels, seqs, fps, x, y, z;
    std::vector<std::vector<int>> entries;
    std::vector<int> sizes;
    bool operator==(const Model&) const = default;
};

Model modelOf(KvAnimation& a) {
    Model m{a.getNumberOfCels(), a.getNumberOfSeqs(), a.getFramesPerSecond(), 0, 0, 0, {}, {}};
    a.getEmbeddedXYZ(m.x, m.y, m.z);
    for (int s = 0; s < m.seqs; ++s) {
        a.setSequence(s, 1);
        std::vector<int> fields;
        for (int p = 0; p < a.getSeqLength(); ++p) {
            const KvAOSequence& e = a.getSeqEntry(p);
            fields.insert(fields.end(), {e.x, e.y, e.cel, e.param});
        }
        m.entries.push_back(fields);
    }
    for (int c = 0; c < m.cels; ++c) m.sizes.insert(m.sizes.end(), {a.getCelWidth(c), a.getCelHeight(c)});
    return m;
}

KvIStream* bytesStream(const Bytes& b) { return streamOf(b); }

}  // namespace

TEST(AOFileXYZ, TwelveBitValuesAboveTwoThousandFortyEightAreNegative) {
    struct Case {
        unsigned char record[4];
        int x, y, z;
    } cases[] = {
        {{0x01, 0x00, 0x08, 0}, -1, 0, 0},        // X 2049
        {{0x00, 0x00, 0x08, 7}, 2048, 0, 7},      // X 2048
        {{0x00, 0x00, 0x00, 255}, 0, 0, 255},     // X 0
        {{0xFF, 0xFF, 0xFF, 1}, -2047, -2047, 1}, // 4095 both
        {{0x34, 0x12, 0x50, 3}, 52, 1298, 3},     // Y high bits in the upper nibble
    };
    for (const Case& c : cases) {
        int x, y, z;
        KvAOFile::decodeXYZ(c.record, x, y, z);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(z, c.z);
        unsigned char record[4] = {};
        ASSERT_TRUE(KvAOFile::encodeXYZ(c.x, c.y, c.z, record));
        EXPECT_EQ(std::memcmp(record, c.record, 4), 0) << c.x << "," << c.y << "," << c.z;
    }
}

TEST(AOFileXYZ, ValuesTheRecordCannotHoldAreRefused) {
    const int refused[][3] = {{2049, 0, 0}, {0, -2048, 0}, {0, 0, 256}, {0, 0, -1}};
    for (const auto& v : refused) {
        unsigned char record[4] = {9, 9, 9, 9};
        EXPECT_FALSE(KvAOFile::encodeXYZ(v[0], v[1], v[2], record)) << v[0] << "," << v[1] << "," << v[2];
        EXPECT_EQ(record[0], 9);
    }
}

TEST_F(AnimTest, AByteSwappedFileLoadsToTheSameModelAsItsLittleEndianTwin) {
    open(8);
    AOFile f = twoCels();
    f.fps = 12;
    f.xyz[0] = 0x0A, f.xyz[1] = 0x01, f.xyz[2] = 0x08, f.xyz[3] = 4;
    f.seqs.push_back({command(kAOSound, 700), frame(1, -3, 2), command(-600, 9, 1, 2), command(kAOEnd)});
    f.cels.push_back(picture(3, 2, {1, 0, 2, 3, 3, 0}, 0));
    KvAnimation* little = load(f.build(false), 10, 10);
    KvAnimation* big = load(f.build(true), 10, 10);
    ASSERT_TRUE(little->isLoaded());
    ASSERT_TRUE(big->isLoaded());
    EXPECT_EQ(big->getIStream()->data()[5], 0);
    EXPECT_EQ(modelOf(*big), modelOf(*little));
    EXPECT_EQ(modelOf(*little).x, -10);
    for (int c = 0; c < 3; ++c) {
        KvMemCanvas a(8, 8, 8), b(8, 8, 8);
        little->paintCel(c, 1, 1, &a, a.getBounds());
        big->paintCel(c, 1, 1, &b, b.getBounds());
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) ASSERT_EQ(a.getPixel(x, y), b.getPixel(x, y)) << c << " " << x << "," << y;
    }
}

TEST_F(AnimTest, DirectColourFilesInBothByteOrdersAreRewrittenToFiveSixFiveOnce) {
    open(16);  // 5-6-5
    AOFile f;
    f.seqs = {{frame(0), command(kAOEnd)}};
    f.direct = {Direct{3, 1, {{0x7FFF, 255}, {0x0000, 255}, {0x1234, 0}}}};
    for (bool big : {false, true}) {
        KvAnimation* a = load(f.build(big), 0, 0);
        ASSERT_TRUE(a->isLoaded()) << big;
        EXPECT_TRUE(a->isDirectColor());
        KvMemCanvas c(4, 1, 16);
        c.setPixel(2, 0, 0xABCD);
        a->paintCel(0, 0, 0, &c, c.getBounds());
        EXPECT_EQ(c.getPixel(0, 0), 0xFFFFu);
        EXPECT_EQ(c.getPixel(1, 0), 0x0020u);  // green's new low bit
        EXPECT_EQ(c.getPixel(2, 0), 0xABCDu);  // transparent
        delete a;
    }
}

// The header, offsets and sequences are swapped for any nonzero swap flag, the
// direct-colour chunks only for a flag of exactly 1.
TEST_F(AnimTest, DirectColourChunksAreSwappedOnlyForASwapFlagOfOne) {
    open(16);
    AOFile f;
    f.seqs = {{frame(0), command(kAOEnd)}};
    f.direct = {Direct{3, 1, {{0x7FFF, 255}, {0x0000, 255}, {0x1234, 0}}}};
    const Bytes little = f.build(false);
    Bytes mixed = f.build(true);
    const size_t area = 10 + 4 + 4 + 2 + 2 * 8;
    std::copy(little.begin() + area, little.end(), mixed.begin() + area);  // chunks in our order
    mixed[5] = 2;
    KvAnimation* a = load(mixed);
    ASSERT_TRUE(a->isLoaded());
    KvMemCanvas c(3, 1, 16);
    a->paintCel(0, 0, 0, &c, c.getBounds());
    EXPECT_EQ(c.getPixel(0, 0), 0xFFFFu);
    EXPECT_EQ(c.getPixel(1, 0), 0x0020u);
}

// A direct-colour chain may end early ("AO2E"): the cels after it have no
// picture and draw nothing, and only a frame that shows one refuses the file.
TEST_F(AnimTest, ADirectColourChainEndingEarlyLoadsWhenNoFrameShowsTheMissingCels) {
    open(16);
    AOFile f;
    f.direct = {Direct{1, 1, {{0x7FFF, 255}}}, Direct{1, 1, {{0x0000, 255}}}};
    auto endedAfterCelZero = [&]() {
        Bytes b = f.build();
        const size_t area = 10 + 4 * 2 + 4 + 2 + 8 * f.seqs[0].size();
        b.resize(area + 8 + f.direct[0].bytes(false).size());
        b.insert(b.end(), {'A', 'O', '2', 'E'});
        return b;
    };
    f.seqs = {{frame(0), command(kAOEnd)}};
    KvAnimation* a = load(endedAfterCelZero());
    ASSERT_TRUE(a->isLoaded());
    EXPECT_EQ(a->getCelWidth(1), 0);
    KvMemCanvas c(1, 1, 16);
    c.setPixel(0, 0, 0xABCD);
    a->paintCel(1, 0, 0, &c, c.getBounds());
    EXPECT_EQ(c.getPixel(0, 0), 0xABCDu);
    a->paintCel(0, 0, 0, &c, c.getBounds());
    EXPECT_EQ(c.getPixel(0, 0), 0xFFFFu);

    f.seqs = {{frame(0), frame(1), command(kAOEnd)}};
    EXPECT_FALSE(load(endedAfterCelZero())->isLoaded());
}

// A picture may have no rows or no columns: it loads, and draws nothing.
TEST_F(AnimTest, ADirectColourCelWithoutRowsOrColumnsLoads) {
    open(16);
    for (auto [w, h] : {std::pair{3, 0}, std::pair{0, 2}}) {
        AOFile f;
        f.seqs = {{frame(0), command(kAOEnd)}};
        f.direct = {Direct{w, h, {}}};
        KvAnimation* a = load(f.build());
        ASSERT_TRUE(a->isLoaded()) << w << " x " << h;
        EXPECT_EQ(a->getCelWidth(0), w);
        EXPECT_EQ(a->getCelHeight(0), h);
        delete a;
    }
}

TEST_F(AnimTest, PositionsComeFromTheCallerOrTheEmbeddedRecord) {
    open(8);
    AOFile f = twoCels();
    f.xyz[0] = 30, f.xyz[1] = 20, f.xyz[3] = 9;
    f.seqs[0][0].x = 2;  // the first frame's offset
    const Bytes file = f.build();
    KvAnimation* own = load(file, 5, 6);
    EXPECT_EQ(own->box(), KvRect(7, 6, 11, 8));
    EXPECT_EQ(own->trGetZ(), 9);
    KvAnimation* embedded = load(file, kAOEmbeddedPosition, kAOEmbeddedPosition);
    EXPECT_EQ(embedded->box(), KvRect(32, 20, 36, 22));
    KvAnimation::setUseEmbeddedXYZ(0);
    KvAnimation* zero = load(file, kAOEmbeddedPosition, 4);
    EXPECT_EQ(zero->box(), KvRect(2, 4, 6, 6));
    EXPECT_EQ(zero->trGetZ(), 0);
}

TEST_F(AnimTest, AFileFromPackStartsPausedOnItsFirstFrame) {
    open(8);
    KvMemCanvas art(5, 3, 8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) art.setPixel(x, y, static_cast<uint32_t>(x * 3 + y));
    long size = 0;
    std::unique_ptr<const unsigned char[]> block(static_cast<const unsigned char*>(KvCelRenderer::pack(size, &art, KvRect::zero, 0)));
    ASSERT_NE(block, nullptr);
    KvAnimation* a = load(Bytes(block.get(), block.get() + size), 20, 30);
    ASSERT_TRUE(a->isLoaded());
    EXPECT_EQ(a->getState(), kAOPaused);
    EXPECT_EQ(a->getFrame(), 1);
    EXPECT_EQ(a->box(), KvRect(20, 30, 25, 33));
    // Drawn by the window: the pixels come back, index 0 left transparent.
    app->pass();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(pixel(20 + x, 30 + y), x + y == 0 ? pixel(0, 0) : art.getPixel(x, y)) << x << "," << y;
}

TEST_F(AnimTest, ColourTablesFollowTheWindowDepthAndThePaletteFile) {
    Bytes palette(kAOPaletteFileSize);
    for (int i = 0; i < kAOPaletteEntries; ++i) {
        palette[6 * i] = static_cast<unsigned char>(i);  // red high byte
        palette[6 * i + 2] = 0x80;                       // green
        palette[6 * i + 5] = 0xFF;                       // blue low byte only
    }
    static Bytes shared;
    shared = palette;
    KvAnimation::installPaletteURL([](KvIStream*) { return streamOf(shared); });
    const Bytes file = twoCels().build();
    struct Case {
        int depth;
        uint32_t entry200;  // red 200, green 0x80, blue 0
    } cases[] = {{8, 0}, {16, (0xC800u | 0x0400u) * 0x10001u}, {24, 0xC88000u}, {32, 0xC88000u}};
    for (const Case& c : cases) {
        open(c.depth);
        KvAnimation* a = load(file);
        if (c.depth == 8) {
            EXPECT_EQ(a->getColorTable(), nullptr);
            continue;
        }
        ASSERT_NE(a->getColorTable(), nullptr) << c.depth;
        EXPECT_EQ(a->getColorTable()[200], c.entry200) << c.depth;
        AOFile noTable = twoCels();
        noTable.flags = kAONoColorTable;
        EXPECT_EQ(load(noTable.build())->getColorTable(), nullptr);
    }
}

TEST(AOPalette, LoadPaletteTakesTheHighByteOfEachComponent) {
    Bytes plt(kAOPaletteFileSize, 0);
    plt[6 * 3 + 0] = 0x12, plt[6 * 3 + 1] = 0xFF, plt[6 * 3 + 2] = 0x34, plt[6 * 3 + 4] = 0x56;
    KvColor colors[kAOPaletteEntries];
    KvAnimation::loadPalette(bytesStream(plt), colors);
    EXPECT_EQ(colors[3], KvColor(0x1200, 0x3400, 0x5600));
    EXPECT_EQ(colors[4], KvColor(0, 0, 0));
    // A short file changes nothing.
    colors[3] = KvColor(1, 2, 3);
    KvAnimation::loadPalette(bytesStream(Bytes(plt.begin(), plt.end() - 1)), colors);
    EXPECT_EQ(colors[3], KvColor(1, 2, 3));
}

TEST_F(AnimTest, CelSizesOutsideTheCelsAreZero) {
    open(8);
    KvAnimation* a = load(twoCels().build());
    EXPECT_EQ(a->getCelWidth(-1), 0);
    EXPECT_EQ(a->getCelHeight(2), 0);
    EXPECT_EQ(a->getCelWidth(1), 3);
    EXPECT_EQ(a->getCelHeight(0), 2);
}

TEST_F(AnimTest, SplashDrawsTheFirstCelOfAOneSequenceFile) {
    KvMemCanvas art(3, 2, 8);
    art.setPixel(0, 0, 7), art.setPixel(2, 1, 9);
    long size = 0;
    std::unique_ptr<const unsigned char[]> block(static_cast<const unsigned char*>(KvCelRenderer::pack(size, &art, KvRect::zero, 0)));
    Bytes file(block.get(), block.get() + size);
    for (unsigned char direction : {0, 1}) {
        KvMemCanvas target(4, 4, 8);
        KvAnimation::splash(&target, bytesStream(file), direction);
        EXPECT_EQ(target.getPixel(direction ? 2 : 0, 0), 7u);
        EXPECT_EQ(target.getPixel(direction ? 0 : 2, 1), 9u);
    }
    // A big-endian twin, and a cut one that draws nothing.
    std::swap(file[0], file[1]), std::swap(file[2], file[3]), std::swap(file[18], file[19]), std::swap(file[52], file[53]),
        std::swap(file[54], file[55]), std::swap(file[56], file[57]), file[5] = 1;
    KvMemCanvas swapped(4, 4, 8);
    KvAnimation::splash(&swapped, bytesStream(file), 0);
    EXPECT_EQ(swapped.getPixel(2, 1), 9u);
    KvMemCanvas cut(4, 4, 8);
    KvAnimation::splash(&cut, bytesStream(Bytes(block.get(), block.get() + size - 1)), 0);
    EXPECT_EQ(cut.getPixel(0, 0), 0u);
}

// ---- files that do not fit ----

class Refused : public AnimTest {
protected:
    // The file is refused: the animation holds nothing, draws nothing, and
    // creation by class name gives no object.
    ::testing::AssertionResult refused(const Bytes& file) {
        static Bytes current;
        current = file;
        KvAnimation::installSrcURL([](KvRscID) { return streamOf(current); });
        std::unique_ptr<KvScriptableObject> created(
            KvScriptableObject::create("KvAnimation", "3", "4", "1", KvScriptableObject::kKvEndOfParameters));
        KvAnimation* direct = load(file, 3, 4);
        direct->activate();
        app->pass();
        const bool blank = pixel(3, 4) == pixel(kW - 1, kH - 1);
        const bool empty = !direct->isLoaded() && direct->getNumberOfCels() == 0 && direct->getCurrentPicture() == nullptr;
        delete direct;
        if (created) return ::testing::AssertionFailure() << "created by class name";
        if (!empty || !blank) return ::testing::AssertionFailure() << "the animation holds or draws something";
        return ::testing::AssertionSuccess();
    }
};

TEST_F(Refused, EveryTruncationOfAValidFile) {
    open(8);
    AOFile indexed = twoCels();
    indexed.seqs.push_back({frame(1), command(kAOEnd)});
    AOFile direct;
    direct.seqs = {{frame(0), frame(1), command(kAOEnd)}};
    direct.direct = {Direct{2, 2, {{1, 255}, {2, 128}, {3, 0}, {4, 255}}}, Direct{1, 1, {{5, 255}}}};
    for (const AOFile& f : {indexed, direct})
        for (bool big : {false, true}) {
            const Bytes whole = f.build(big);
            ASSERT_TRUE(load(whole)->isLoaded());
            for (size_t n = 0; n < whole.size(); ++n)
                ASSERT_TRUE(refused(Bytes(whole.begin(), whole.begin() + static_cast<long>(n)))) << n << " of " << whole.size();
        }
}

TEST_F(Refused, LyingCountsOffsetsAndRuns) {
    open(8);
    const Bytes good = twoCels().build();
    ASSERT_TRUE(load(good)->isLoaded());
    const size_t seq0 = 10 + 8 + 4, cel0 = seq0 + 2 + 4 * 8;
    struct Lie {
        const char* what;
        size_t at;
        std::vector<unsigned char> bytes;
    } lies[] = {
        {"no sequence", 0, {0, 0}},
        {"negative cel count", 2, {0xFF, 0xFF}},
        {"more cels than offsets", 2, {3, 0}},
        {"sequence count past the end", seq0, {0x40, 0}},
        {"negative entry count", seq0, {0xFF, 0xFF}},
        {"sequence without its end", seq0 + 2 + 3 * 8 + 4, {0, 0}},
        {"offset past the end", 10, {0xFF, 0xFF, 0, 0}},
        {"offset into the next picture", 14, {1, 0, 0, 0}},
        {"picture wider than its runs", cel0 + 2, {5, 0}},
        {"run longer than the row", cel0 + 8, {9}},
        {"negative height", cel0 + 4, {0xFE, 0xFF}},
    };
    for (const Lie& lie : lies) {
        Bytes bad = good;
        std::copy(lie.bytes.begin(), lie.bytes.end(), bad.begin() + static_cast<long>(lie.at));
        EXPECT_TRUE(refused(bad)) << lie.what;
    }
    // Cels may share one picture.
    Bytes shared = good;
    std::fill(shared.begin() + 14, shared.begin() + 18, 0);
    EXPECT_TRUE(load(shared)->isLoaded());
}

TEST_F(Refused, DirectColourChunksWithBadRuns) {
    open(16);
    AOFile f;
    f.seqs = {{frame(0), command(kAOEnd)}};
    f.direct = {Direct{2, 1, {{1, 255}, {2, 255}}}};
    const Bytes good = f.build();
    ASSERT_TRUE(load(good)->isLoaded());
    const size_t pic = 10 + 4 + 4 + 2 + 2 * 8 + 8, run = pic + 8 + 4;
    for (auto [at, value] : {std::pair<size_t, int>{run, 3},  // unknown opcode
                             {run + 2, 3},                     // count past the width
                             {pic + 8, 0x40}}) {               // row offset elsewhere
        Bytes bad = good;
        bad[at] = static_cast<unsigned char>(value);
        EXPECT_TRUE(refused(bad)) << at;
    }
}

// Loading AO files: the model a file gives in either byte order, positions,
// colour tables and palettes, the direct-colour rewrite, splash, and the
// refusal of every file that does not fit its size.
#include "tests/anim/AnimTestSupport.h"
#include "tests/support/Joined.h"

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
        m.entries.emplace_back();
        for (int p = 0; p < a.getSeqLength(); ++p) {
            const KvAOSequence& e = a.getSeqEntry(p);
            m.entries.back().insert(m.entries.back().end(), {e.x, e.y, e.cel, e.param});
        }
    }
    for (int c = -1; c <= m.cels; ++c) m.sizes.insert(m.sizes.end(), {a.getCelWidth(c), a.getCelHeight(c)});
    return m;
}

// A direct-colour file whose one sequence shows the given cels.
AOFile directFile(std::vector<Direct> cels, std::vector<KvAOSequence> shown = {frame(0)}) {
    AOFile f;
    shown.push_back(command(kAOEnd));
    f.seqs = {shown};
    f.direct = std::move(cels);
    return f;
}
const Direct kThree{3, 1, {{0x7FFF, 255}, {0x0000, 255}, {0x1234, 0}}};

}  // namespace

TEST(AOFileXYZ, TwelveBitValuesAboveTwoThousandFortyEightAreNegativeAndOthersAreRefused) {
    const struct {
        unsigned char record[4];
        int x, y, z;
    } cases[] = {
        {{0x01, 0x00, 0x08, 0}, -1, 0, 0},         // X 2049
        {{0x00, 0x00, 0x08, 7}, 2048, 0, 7},       // X 2048
        {{0x00, 0x00, 0x00, 255}, 0, 0, 255},      // X 0
        {{0xFF, 0xFF, 0xFF, 1}, -2047, -2047, 1},  // 4095 both
        {{0x34, 0x12, 0x50, 3}, 52, 1298, 3},      // Y high bits in the upper nibble
    };
    for (const auto& c : cases) {
        int x, y, z;
        KvAOFile::decodeXYZ(c.record, x, y, z);
        EXPECT_EQ(std::vector<int>({x, y, z}), std::vector<int>({c.x, c.y, c.z}));
        unsigned char record[4] = {};
        ASSERT_TRUE(KvAOFile::encodeXYZ(c.x, c.y, c.z, record));
        EXPECT_EQ(std::memcmp(record, c.record, 4), 0) << c.x << "," << c.y << "," << c.z;
    }
    for (const auto& v : {std::vector{2049, 0, 0}, {0, -2048, 0}, {0, 0, 256}, {0, 0, -1}}) {
        unsigned char record[4] = {9, 9, 9, 9};
        EXPECT_FALSE(KvAOFile::encodeXYZ(v[0], v[1], v[2], record)) << v[0] << "," << v[1] << "," << v[2];
        EXPECT_EQ(record[0], 9);
    }
}

// Sequence entries are used in place as 16-bit fields: a misaligned buffer is refused.
TEST(AOFileRead, AMisalignedBufferIsRefused) {
    const Bytes file = twoCels().build();
    for (size_t shift : {0, 1}) {
        std::vector<uint16_t> words(file.size() / 2 + 2);
        auto* at = reinterpret_cast<unsigned char*>(words.data()) + shift;
        std::memcpy(at, file.data(), file.size());
        KvAOLayout layout;
        EXPECT_EQ(KvAOFile::read(at, file.size(), 0, layout), shift == 0) << shift;
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
    ASSERT_TRUE(little->isLoaded() && big->isLoaded());
    EXPECT_EQ(big->getIStream()->data()[5], 0);
    EXPECT_EQ(modelOf(*big), modelOf(*little));
    EXPECT_EQ(modelOf(*little).x, -10);
    EXPECT_EQ(modelOf(*little).sizes, (std::vector<int>{0, 0, 4, 2, 3, 3, 3, 2, 0, 0}));
    for (int c = 0; c < 3; ++c) EXPECT_EQ(painted(little, c, 8, 8, 8), painted(big, c, 8, 8, 8)) << c;
}

// The header, offsets and sequences are swapped for any nonzero swap flag, the
// direct-colour chunks only for a flag of exactly 1; the pixels are rewritten
// to 5-6-5 once.
TEST_F(AnimTest, DirectColourFilesAreSwappedOnlyForASwapFlagOfOneAndRewrittenToFiveSixFive) {
    open(16);
    const AOFile f = directFile({kThree});
    const Bytes little = f.build(false);
    Bytes mixed = f.build(true);
    const size_t area = 10 + 4 + 4 + 2 + 2 * 8;
    std::copy(little.begin() + area, little.end(), mixed.begin() + area);  // chunks in our order
    mixed[5] = 2;
    for (const Bytes& file : {little, f.build(true), mixed}) {
        KvAnimation* a = load(file);
        ASSERT_TRUE(a->isLoaded());
        EXPECT_TRUE(a->isDirectColor());
        EXPECT_EQ(painted(a, 0, 3, 1, 16, 0xABCD), (std::vector<uint32_t>{0xFFFF, 0x0020, 0xABCD}));  // green's new low bit
        delete a;
    }
}

// A direct-colour chain may end early ("AO2E"): the cels after it have no
// picture and draw nothing, and only a frame that shows one refuses the file.
// A chain cut inside a picture's header is refused even so.
TEST_F(AnimTest, ADirectColourChainEndingEarlyLoadsWhenNoFrameShowsTheMissingCels) {
    open(16);
    AOFile f = directFile({Direct{1, 1, {{0x7FFF, 255}}}, Direct{1, 1, {{0x0000, 255}}}});
    auto cut = [&](size_t intoCelOne, bool ended) {
        Bytes b = f.build();
        b.resize(10 + 4 * 2 + 4 + 2 + 8 * f.seqs[0].size() + 8 + f.direct[0].bytes(false).size() + intoCelOne);
        if (ended) b.insert(b.end(), {'A', 'O', '2', 'E'});
        return b;
    };
    KvAnimation* a = load(cut(0, true));
    ASSERT_TRUE(a->isLoaded());
    EXPECT_EQ(a->getCelWidth(1), 0);
    EXPECT_EQ(painted(a, 1, 1, 1, 16, 0xABCD), std::vector<uint32_t>{0xABCD});
    EXPECT_EQ(painted(a, 0, 1, 1, 16, 0xABCD), std::vector<uint32_t>{0xFFFF});
    for (size_t inHeader = 4; inHeader < 16; ++inHeader) EXPECT_FALSE(load(cut(inHeader, false))->isLoaded()) << inHeader;
    f.seqs = {{frame(0), frame(1), command(kAOEnd)}};
    EXPECT_FALSE(load(cut(0, true))->isLoaded());
}

// A picture may have no rows or no columns: it loads, and draws nothing.
TEST_F(AnimTest, ADirectColourCelWithoutRowsOrColumnsLoads) {
    open(16);
    for (auto [w, h] : {std::pair{3, 0}, std::pair{0, 2}}) {
        KvAnimation* a = load(directFile({Direct{w, h, {}}}).build());
        EXPECT_EQ(joined(a->isLoaded(), a->getCelWidth(0), a->getCelHeight(0)), joined(1, w, h));
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
    EXPECT_EQ(load(file, kAOEmbeddedPosition, kAOEmbeddedPosition)->box(), KvRect(32, 20, 36, 22));
    KvAnimation::setUseEmbeddedXYZ(0);
    KvAnimation* zero = load(file, kAOEmbeddedPosition, 4);
    EXPECT_EQ(zero->box(), KvRect(2, 4, 6, 6));
    EXPECT_EQ(zero->trGetZ(), 0);
}

// Drawn by the window: the pixels come back, index 0 left transparent.
TEST_F(AnimTest, AFileFromPackStartsPausedOnItsFirstFrame) {
    open(8);
    KvMemCanvas art(5, 3, 8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) art.setPixel(x, y, static_cast<uint32_t>(x * 3 + y));
    KvAnimation* a = load(packed(&art), 20, 30);
    ASSERT_TRUE(a->isLoaded());
    EXPECT_EQ(a->getState(), kAOPaused);
    EXPECT_EQ(a->getFrame(), 1);
    EXPECT_EQ(a->box(), KvRect(20, 30, 25, 33));
    app->pass();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(pixel(20 + x, 30 + y), x + y == 0 ? pixel(0, 0) : art.getPixel(x, y)) << x << "," << y;
}

TEST_F(AnimTest, ColourTablesFollowTheWindowDepthAndThePaletteFile) {
    static Bytes palette(kAOPaletteFileSize);
    for (int i = 0; i < kAOPaletteEntries; ++i) {
        unsigned char* rgb = &palette[6 * static_cast<size_t>(i)];
        rgb[0] = static_cast<unsigned char>(i), rgb[2] = 0x80, rgb[5] = 0xFF;  // blue low byte only
    }
    KvAnimation::installPaletteURL([](KvIStream*) { return streamOf(palette); });
    AOFile noTable = twoCels();
    noTable.flags = kAONoColorTable;
    const struct {
        int depth;
        uint32_t entry200;  // red 200, green 0x80, blue 0
    } cases[] = {{16, (0xC800u | 0x0400u) * 0x10001u}, {24, 0xC88000u}, {32, 0xC88000u}};
    for (const auto& c : cases) {
        open(c.depth);
        const uint32_t* table = load(twoCels().build())->getColorTable();
        ASSERT_NE(table, nullptr) << c.depth;
        EXPECT_EQ(table[200], c.entry200) << c.depth;
        EXPECT_EQ(load(noTable.build())->getColorTable(), nullptr);
    }
    open(8);
    EXPECT_EQ(load(twoCels().build())->getColorTable(), nullptr);
}

// The high byte of each component; a short file changes nothing.
TEST(AOPalette, LoadPaletteTakesTheHighByteOfEachComponent) {
    Bytes plt(kAOPaletteFileSize, 0);
    plt[6 * 3 + 0] = 0x12, plt[6 * 3 + 1] = 0xFF, plt[6 * 3 + 2] = 0x34, plt[6 * 3 + 4] = 0x56;
    KvColor colors[kAOPaletteEntries];
    colors[4] = KvColor(1, 2, 3);
    KvAnimation::loadPalette(streamOf(plt), colors);
    const std::string loaded = joined(colors[3] == KvColor(0x1200, 0x3400, 0x5600), colors[4] == KvColor(0, 0, 0));
    KvAnimation::loadPalette(streamOf(Bytes(plt.begin(), plt.end() - 1)), colors + 1);
    EXPECT_EQ(joined(loaded, colors[4] == KvColor(0, 0, 0)), "1 1 1");
}

// The first cel of a one-sequence file, in either byte order; a cut file draws nothing.
TEST_F(AnimTest, SplashDrawsTheFirstCelOfAOneSequenceFile) {
    KvMemCanvas art(3, 2, 8);
    art.setPixel(0, 0, 7), art.setPixel(2, 1, 9);
    const Bytes file = packed(&art);
    Bytes big = file;
    for (size_t at : {0, 2, 18, 52, 54, 56}) std::swap(big[at], big[at + 1]);
    big[5] = 1;
    const struct {
        Bytes file;
        unsigned char direction;
        std::vector<uint32_t> row0, row1;
    } cases[] = {{file, 0, {7, 0, 0}, {0, 0, 9}}, {file, 1, {0, 0, 7}, {9, 0, 0}}, {big, 0, {7, 0, 0}, {0, 0, 9}},
                 {Bytes(file.begin(), file.end() - 1), 0, {0, 0, 0}, {0, 0, 0}}};
    for (const auto& c : cases) {
        KvMemCanvas target(3, 2, 8);
        KvAnimation::splash(&target, streamOf(c.file), c.direction);
        EXPECT_EQ(std::vector<uint32_t>({target.getPixel(0, 0), target.getPixel(1, 0), target.getPixel(2, 0)}), c.row0);
        EXPECT_EQ(std::vector<uint32_t>({target.getPixel(0, 1), target.getPixel(1, 1), target.getPixel(2, 1)}), c.row1);
    }
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
    // Refused with bytes written over a good file, which itself loads.
    void expectRefusedWith(const Bytes& good, size_t at, const std::vector<unsigned char>& bytes, const char* what) {
        ASSERT_TRUE(load(good)->isLoaded());
        Bytes bad = good;
        std::copy(bytes.begin(), bytes.end(), bad.begin() + static_cast<long>(at));
        EXPECT_TRUE(refused(bad)) << what;
    }
};

TEST_F(Refused, EveryTruncationOfAValidFile) {
    open(8);
    AOFile indexed = twoCels();
    indexed.seqs.push_back({frame(1), command(kAOEnd)});
    const AOFile direct = directFile({Direct{2, 2, {{1, 255}, {2, 128}, {3, 0}, {4, 255}}}, Direct{1, 1, {{5, 255}}}}, {frame(0), frame(1)});
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
    const size_t seq0 = 10 + 8 + 4, cel0 = seq0 + 2 + 4 * 8;
    const struct {
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
    for (const auto& lie : lies) expectRefusedWith(good, lie.at, lie.bytes, lie.what);
    Bytes shared = good;  // cels may share one picture
    std::fill(shared.begin() + 14, shared.begin() + 18, 0);
    EXPECT_TRUE(load(shared)->isLoaded());
    open(16);
    const Bytes direct = directFile({Direct{2, 1, {{1, 255}, {2, 255}}}}).build();
    const size_t pic = 10 + 4 + 4 + 2 + 2 * 8 + 8, run = pic + 8 + 4;
    expectRefusedWith(direct, run, {3}, "unknown opcode");
    expectRefusedWith(direct, run + 2, {3}, "count past the width");
    expectRefusedWith(direct, pic + 8, {0x40}, "row offset elsewhere");
}

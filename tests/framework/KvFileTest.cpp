// Files. Streams: the whole source in memory behind data(), the source
// offset, reads that stop at the end, failures that leave a harmless empty
// stream. PNG images saved and read back: indexed images keep their indices,
// palette and entry alpha; RGBA images keep every byte; images whose sizes do
// not match their pixels are not saved, and a pixel limit refuses large
// images, as does a header claiming more rows than its file could hold.
// Folder listings.
#include "framework/KvIStream.h"
#include "framework/KvPng.h"
#include "framework/KvModule.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A folder of the test's own in the system's temporary folder, removed with it.
struct Scratch {
    const fs::path dir = fs::temp_directory_path() / ("qrn-framework-" + std::to_string(std::random_device{}()));
    Scratch() { fs::create_directories(dir); }
    ~Scratch() { fs::remove_all(dir); }
    std::string write(const char* name, const std::vector<unsigned char>& bytes = {}) const {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return (dir / name).string();
    }
};

std::vector<unsigned char> pattern(size_t n) {
    std::vector<unsigned char> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 37 + 11);
    return v;
}

// Loaders fix byte order in place: what they write into data() is what later reads give.
TEST(StreamFiles, FileContentLiesWholeBehindDataAndChangesStay) {
    const auto bytes = pattern(1000);
    const Scratch scratch;
    const std::string name = scratch.write("a.bin", bytes);
    KvIStreamFile s(name.c_str());
    ASSERT_TRUE(s.good());
    EXPECT_STREQ(s.getFileName(), name.c_str());
    ASSERT_EQ(s.size(), 1000);
    EXPECT_EQ(0, std::memcmp(s.data(), bytes.data(), bytes.size()));
    std::swap(s.data()[0], s.data()[1]);
    unsigned char got[3];
    ASSERT_EQ(s.read(got, 3), 3);
    EXPECT_EQ(std::vector<unsigned char>(got, got + 3), (std::vector<unsigned char>{bytes[1], bytes[0], bytes[2]}));
}

// Missing files, folders, files above the limit and bad buffers fail; empty
// sources are good. Either way the stream holds nothing and reads nothing.
TEST(StreamFiles, FailedAndEmptyStreamsHoldNothing) {
    const Scratch scratch;
    const fs::path& dir = scratch.dir;
    const std::string empty = scratch.write("empty.bin"), huge = scratch.write("huge.bin");
    fs::resize_file(huge, static_cast<uintmax_t>(KvIStream::kMaxSourceSize) + 1);  // sparse: costs no disk
    const unsigned char b[1] = {1};
    std::vector<std::pair<std::unique_ptr<KvIStream>, bool>> cases;
    for (const std::string& name : {(dir / "nope.bin").string(), dir.string(), std::string(), huge, empty})
        cases.emplace_back(std::make_unique<KvIStreamFile>(name.c_str()), name == empty);
    cases.emplace_back(std::make_unique<KvIStreamFile>(nullptr), false);
    cases.emplace_back(std::make_unique<KvIStreamMemory>(b, -1), false);
    cases.emplace_back(std::make_unique<KvIStreamMemory>(nullptr, 10), false);
    cases.emplace_back(std::make_unique<KvIStreamMemory>(b, KvIStream::kMaxSourceSize + 1), false);  // not read
    cases.emplace_back(std::make_unique<KvIStreamMemory>(nullptr, 0), true);
    for (size_t i = 0; i < cases.size(); ++i) {
        KvIStream& s = *cases[i].first;
        EXPECT_EQ(s.good(), cases[i].second) << i;
        EXPECT_TRUE(s.size() == 0 && s.data() == nullptr && s.atEnd() && s.shareCount == 0) << i;
        unsigned char got = 0x5A;
        EXPECT_EQ(s.read(&got, 1), 0) << i;
        EXPECT_EQ(got, 0x5A) << i;
        EXPECT_TRUE(s.setSrcOffset(0)) << i;
        EXPECT_FALSE(s.setSrcOffset(1)) << i;
    }
    EXPECT_STREQ(static_cast<KvIStreamFile&>(*cases[5].first).getFileName(), "");
}

TEST(StreamMemory, CopiesABufferAndAdoptsAVector) {
    std::vector<unsigned char> bytes = pattern(64);
    KvIStreamMemory copied(bytes.data(), 64);
    bytes[0] ^= 0xFF;
    ASSERT_EQ(copied.size(), 64);
    EXPECT_EQ(copied.data()[0], static_cast<unsigned char>(bytes[0] ^ 0xFF));
    EXPECT_STREQ(copied.getClassName(), "KvIStreamMemory");
    const unsigned char* where = bytes.data();
    KvIStreamMemory adopted(std::move(bytes));
    EXPECT_EQ(adopted.data(), where);
    EXPECT_EQ(adopted.size(), 64);
}

TEST(StreamOffset, ContentStartsAtTheSourceOffset) {
    const auto bytes = pattern(100);
    KvIStreamMemory s(bytes.data(), 100);
    ASSERT_TRUE(s.setSrcOffset(30));
    EXPECT_EQ(s.getSrcOffset(), 30);
    EXPECT_EQ(s.size(), 70);
    EXPECT_EQ(s.data()[0], bytes[30]);
    unsigned char b;
    ASSERT_EQ(s.read(&b, 1), 1);
    EXPECT_EQ(b, bytes[30]);

    ASSERT_TRUE(s.setSrcOffset(100));  // the very end: empty content
    EXPECT_EQ(s.size(), 0);
    EXPECT_EQ(s.data(), nullptr);

    for (long bad : {-1L, 101L, 1L << 40}) {
        EXPECT_FALSE(s.setSrcOffset(bad)) << bad;
        EXPECT_EQ(s.getSrcOffset(), 100) << bad;
    }
    ASSERT_TRUE(s.setSrcOffset(0));
    s.rewind();
    EXPECT_EQ(s.size(), 100);
    EXPECT_EQ(0, std::memcmp(s.data(), bytes.data(), 100));
}

TEST(StreamRead, SequentialReadsStopAtTheEnd) {
    const auto bytes = pattern(10);
    KvIStreamMemory s(bytes.data(), 10);
    unsigned char buf[16];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(s.read(buf, 4), 4);
    EXPECT_EQ(s.tell(), 4);
    EXPECT_EQ(s.read(buf + 4, 100), 6);  // only what is left
    EXPECT_EQ(0, std::memcmp(buf, bytes.data(), 10));
    EXPECT_EQ(buf[10], 0xEE);  // nothing written past what was read
    EXPECT_TRUE(s.atEnd());
    for (int n : {1, 0, -5}) EXPECT_EQ(s.read(buf, n), 0) << n;
    EXPECT_EQ(s.read(nullptr, 5), 0);
    s.rewind();
    EXPECT_EQ(s.tell(), 0);
    EXPECT_TRUE(s.seek(9));
    EXPECT_EQ(s.read(buf, 5), 1);
    EXPECT_EQ(buf[0], bytes[9]);
    EXPECT_FALSE(s.seek(11));
    EXPECT_FALSE(s.seek(-1));
    EXPECT_EQ(s.tell(), 10);
}

KvPngImage image(bool indexed, std::vector<uint8_t> alpha = {}) {
    KvPngImage png;
    png.width = 7, png.height = 5, png.indexed = indexed;
    for (int p = 0; p < png.width * png.height; ++p) {
        if (indexed) png.indices.push_back(static_cast<uint8_t>(p % 3));
        for (int c = 0; c < 4 && !indexed; ++c) png.rgba.push_back(static_cast<uint8_t>(p * 13 + c * 71));
    }
    if (indexed) {
        png.palette = {KvColor::fromBytes(1, 2, 3), KvColor::fromBytes(200, 100, 50), KvColor::fromBytes(9, 9, 9)};
        png.paletteAlpha = alpha;
    }
    return png;
}

TEST(KvPng, ImagesReadBackAsSaved) {
    const Scratch scratch;
    const std::string path = (scratch.dir / "image.png").string();
    // Entry alpha: one transparent entry, every entry translucent, all opaque.
    const std::vector<uint8_t> alphas[] = {{0, 255, 255}, {0, 128, 7}, {255, 255, 255}, {}};
    for (const std::vector<uint8_t>& alpha : alphas) {
        const bool indexed = !alpha.empty();
        const KvPngImage saved = image(indexed, alpha);
        ASSERT_TRUE(KvSavePng(saved, path.c_str()));
        KvPngImage read;
        ASSERT_TRUE(KvLoadPng(path.c_str(), read));
        EXPECT_TRUE(read.indexed == indexed && read.width == saved.width && read.height == saved.height);
        if (indexed) {
            EXPECT_EQ(read.indices, saved.indices);
            EXPECT_EQ(read.paletteAlpha, saved.paletteAlpha);
            ASSERT_EQ(read.palette.size(), saved.palette.size());
            for (size_t i = 0; i < saved.palette.size(); ++i) EXPECT_EQ(read.palette[i].g8(), saved.palette[i].g8());
        } else {
            EXPECT_EQ(read.rgba, saved.rgba);
        }
        std::string why;
        EXPECT_FALSE(KvLoadPng(path.c_str(), read, &why, 34));
        EXPECT_EQ(why, "the image's 35 pixels are more than 34");
    }
    KvPngImage wrong = image(false);
    wrong.rgba.pop_back();
    EXPECT_FALSE(KvSavePng(wrong, path.c_str()));
}

// Limits are checked before pixels are allocated. The corpus seed's header
// claims 16000x16000 RGBA over a few bytes of data, a gigabyte if allocated;
// the side files are 16385 x 1 and 1 x 16385, each refused whatever the other side.
TEST(KvPngLimits, ImagesPastALimitAreRefusedBeforeAllocating) {
    const std::string seed = QRN_TEST_DATA "/../fuzz/corpus/png/big-header-short-data.png";
    const std::string side = "the image is larger than " + std::to_string(kKvMaxCanvasSide) + " pixels a side";
    const std::pair<std::string, std::string> cases[] = {
        {seed, "a 16000x16000 image cannot come from a file of " + std::to_string(fs::file_size(seed)) + " bytes"},
        {QRN_TEST_DATA "/framework/data/side-too-wide.png", side},
        {QRN_TEST_DATA "/framework/data/side-too-tall.png", side}};
    for (const auto& [path, want] : cases) {
        KvPngImage read;
        std::string why;
        EXPECT_FALSE(KvLoadPng(path.c_str(), read, &why)) << path;
        EXPECT_EQ(why, want);
        EXPECT_EQ(read.width, 0);
    }
}

TEST(ModuleListing, SortsOrdinaryMatchingFilesByName) {
    const fs::path home = fs::current_path();
    const Scratch scratch;
    fs::current_path(scratch.dir);
    for (const char* f : {"b.lrn", "a.lrn", "B.lrn", "c.lrnx", "a.txt"}) scratch.write(f);
    fs::create_directory("d.lrn");
    std::vector<std::string> names{"stale"};
    EXPECT_EQ(KvSysListFiles("*.lrn", &names), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"B.lrn", "a.lrn", "b.lrn"}));
    EXPECT_EQ(KvSysListFiles(nullptr, &names), -1);
    EXPECT_EQ(KvSysListFiles("*.lrn", nullptr), -1);
    fs::current_path(home);
}

}  // namespace

// Streams: the whole source in memory behind data(), the source offset, reads
// that stop at the end, failures that leave a harmless empty stream.
#include "framework/KvIStream.h"

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

// A scratch folder removed with the fixture.
class StreamFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kvistream-" + std::to_string(std::random_device{}()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const char* name, const std::vector<unsigned char>& bytes) {
        const fs::path p = dir / name;
        std::ofstream f(p, std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }

    fs::path dir;
};

std::vector<unsigned char> pattern(size_t n) {
    std::vector<unsigned char> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 37 + 11);
    return v;
}

// Loaders fix byte order in place: what they write into data() is what later reads give.
TEST_F(StreamFiles, FileContentLiesWholeBehindDataAndChangesStay) {
    const auto bytes = pattern(1000);
    const std::string name = write("a.bin", bytes);
    KvIStreamFile s(name.c_str());
    ASSERT_TRUE(s.good());
    EXPECT_STREQ(s.getFileName(), name.c_str());
    EXPECT_EQ(s.getClassName(), KvIStreamFile::className);
    ASSERT_EQ(s.size(), 1000);
    EXPECT_EQ(0, std::memcmp(s.data(), bytes.data(), bytes.size()));
    std::swap(s.data()[0], s.data()[1]);
    unsigned char got[3];
    ASSERT_EQ(s.read(got, 3), 3);
    EXPECT_EQ(std::vector<unsigned char>(got, got + 3), (std::vector<unsigned char>{bytes[1], bytes[0], bytes[2]}));
}

// Missing files, folders, files above the limit and bad buffers fail; empty
// sources are good. Either way the stream holds nothing and reads nothing.
TEST_F(StreamFiles, FailedAndEmptyStreamsHoldNothing) {
    const std::string empty = write("empty.bin", {}), huge = write("huge.bin", {});
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

}  // namespace

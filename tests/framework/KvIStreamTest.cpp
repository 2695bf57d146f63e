// Streams: the whole source in memory behind data(), the source offset, reads
// that stop at the end, failures that leave a harmless empty stream.
#include "framework/KvIStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <random>

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

TEST_F(StreamFiles, FileContentLiesWholeBehindData) {
    const auto bytes = pattern(1000);
    const std::string name = write("a.bin", bytes);
    KvIStreamFile s(name.c_str());
    ASSERT_TRUE(s.good());
    EXPECT_STREQ(s.getFileName(), name.c_str());
    EXPECT_EQ(s.getClassName(), KvIStreamFile::className);
    ASSERT_TRUE(s.setSrcOffset(0));
    s.rewind();
    ASSERT_EQ(s.size(), 1000);
    ASSERT_NE(s.data(), nullptr);
    EXPECT_EQ(0, std::memcmp(s.data(), bytes.data(), bytes.size()));
}

TEST_F(StreamFiles, MissingFileOrFolderGivesAnEmptyFailedStream) {
    for (const std::string& name : {(dir / "nope.bin").string(), dir.string(), std::string()}) {
        KvIStreamFile s(name.c_str());
        EXPECT_FALSE(s.good()) << name;
        EXPECT_EQ(s.size(), 0) << name;
        EXPECT_EQ(s.data(), nullptr) << name;
        s.rewind();
        unsigned char b = 0x5A;
        EXPECT_EQ(s.read(&b, 1), 0) << name;
        EXPECT_EQ(b, 0x5A) << name;
        EXPECT_TRUE(s.setSrcOffset(0)) << name;
        EXPECT_FALSE(s.setSrcOffset(1)) << name;
        EXPECT_STREQ(s.getFileName(), name.c_str());
    }
    KvIStreamFile nullName(nullptr);
    EXPECT_FALSE(nullName.good());
    EXPECT_STREQ(nullName.getFileName(), "");
}

TEST_F(StreamFiles, AnEmptyFileIsGoodAndOneAboveTheLimitIsRefused) {
    const std::string empty = write("empty.bin", {}), huge = write("huge.bin", {});
    fs::resize_file(huge, static_cast<uintmax_t>(KvIStream::kMaxSourceSize) + 1);  // sparse: costs no disk
    for (const std::string& name : {empty, huge}) {
        KvIStreamFile s(name.c_str());
        EXPECT_EQ(s.good(), name == empty) << name;
        EXPECT_EQ(s.size(), 0) << name;
        EXPECT_EQ(s.data(), nullptr) << name;
        EXPECT_TRUE(s.atEnd()) << name;
    }
}

TEST_F(StreamFiles, ChangesToDataStayInTheStream) {
    KvIStreamFile s(write("swap.bin", {0x12, 0x34, 0x56, 0x78}).c_str());
    ASSERT_TRUE(s.good());
    std::swap(s.data()[0], s.data()[1]);  // a loader fixing byte order in place
    s.setSrcOffset(0);
    s.rewind();
    unsigned char got[4];
    ASSERT_EQ(s.read(got, 4), 4);
    EXPECT_EQ(got[0], 0x34);
    EXPECT_EQ(got[1], 0x12);
    EXPECT_EQ(got[3], 0x78);
}

TEST(StreamMemory, CopiesABufferAndAdoptsAVector) {
    std::vector<unsigned char> bytes = pattern(64);
    KvIStreamMemory copied(bytes.data(), 64);
    bytes[0] ^= 0xFF;
    ASSERT_TRUE(copied.good());
    ASSERT_EQ(copied.size(), 64);
    EXPECT_EQ(copied.data()[0], static_cast<unsigned char>(bytes[0] ^ 0xFF));
    EXPECT_STREQ(copied.getClassName(), "KvIStreamMemory");
    const unsigned char* where = bytes.data();
    KvIStreamMemory adopted(std::move(bytes));
    ASSERT_TRUE(adopted.good());
    EXPECT_EQ(adopted.data(), where);
    EXPECT_EQ(adopted.size(), 64);
}

TEST(StreamMemory, BadBuffersGiveFailedStreams) {
    const unsigned char b[1] = {1};
    KvIStreamMemory negative(b, -1);
    KvIStreamMemory nullWithCount(nullptr, 10);
    KvIStreamMemory tooBig(b, KvIStream::kMaxSourceSize + 1);  // refused before reading a byte
    for (KvIStream* s : {static_cast<KvIStream*>(&negative), static_cast<KvIStream*>(&nullWithCount),
                         static_cast<KvIStream*>(&tooBig)}) {
        EXPECT_FALSE(s->good());
        EXPECT_EQ(s->size(), 0);
        EXPECT_EQ(s->data(), nullptr);
    }
    KvIStreamMemory empty(nullptr, 0);
    EXPECT_TRUE(empty.good());
    EXPECT_EQ(empty.size(), 0);
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
    EXPECT_EQ(s.read(buf, 1), 0);
    EXPECT_EQ(s.read(buf, 0), 0);
    EXPECT_EQ(s.read(buf, -5), 0);
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

TEST(StreamShare, CountStartsAtZeroForEveryKindOfStream) {
    KvIStreamMemory memory(nullptr, 0);
    KvIStreamFile missing("/nonexistent/file");
    EXPECT_EQ(memory.shareCount, 0);
    EXPECT_EQ(missing.shareCount, 0);
}

}  // namespace

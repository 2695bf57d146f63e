// Compiled script files: save then load runs the same; a file written in the
// other byte order loads with the swap; a damaged file is refused whole.
#include "tests/script/ThreadTestSupport.h"
#include "tests/support/ByteWriter.h"

#include <cstring>
#include <fstream>

namespace {

const char kScript[] =
    "; a little of everything that lives in the heap\n"
    "a=[one \"two words\" 3.25\n"
    "s=abcdef\n"
    "n=0\n"
    "for i 1 3\n"
    "  n=n+i*2\n"
    "call show a.2 n\n"
    "if n>10\n"
    "  say big n/4\n"
    "else\n"
    "  say small\n"
    "say a.1 a.3 s|2|3\n"
    "exit\n"
    "procedure show x y\n"
    "[\n"
    "  say shown x y\n"
    "]\n";

class CompiledFile : public ThreadTest {
protected:
    std::string runFile(const char* file) {
        std::remove("debug.txt");
        YThread thread(file);
        EXPECT_TRUE(thread) << file;
        thread.go();
        runUntilEnd(thread);
        return debug();
    }
    std::vector<unsigned char> bytes(const char* file) const {
        const std::string text = read(file);
        return std::vector<unsigned char>(text.begin(), text.end());
    }
    void writeBytes(const char* file, const std::vector<unsigned char>& data) const {
        write(file, std::string(data.begin(), data.end()));
    }
    // Compiles kScript and saves it, leaving no thread behind.
    void saveCompiled(const char* file) {
        write("s.mps", std::string(kScript));
        YThread thread("s.mps");
        ASSERT_TRUE(thread);
        ASSERT_EQ(thread.save(file), 1);
    }
};

// Reverses every multi-byte field of a compiled file, following its layout
// and the variable record's; the version byte becomes 1.
std::vector<unsigned char> swapped(std::vector<unsigned char> f) {
    size_t at = 1;
    auto le32 = [&](size_t p) { return f[p] | f[p + 1] << 8 | f[p + 2] << 16 | static_cast<uint32_t>(f[p + 3]) << 24; };
    auto swap32 = [&]() {
        const int32_t v = static_cast<int32_t>(le32(at));
        std::swap(f[at], f[at + 3]);
        std::swap(f[at + 1], f[at + 2]);
        at += 4;
        return v;
    };
    auto swap16 = [&]() {
        const int v = f[at] | f[at + 1] << 8;
        std::swap(f[at], f[at + 1]);
        at += 2;
        return v;
    };
    f[0] = 1;
    const int n = swap32();
    for (int i = 0; i < n; ++i) {
        ++at;
        swap16();
    }
    const int w = swap32();
    for (int i = 0; i < w; ++i) swap16();
    const int v = swap32();
    for (int i = 3; i < v; ++i) {
        swap32();                     // kind
        const int form = swap32();
        if (form == 3) swap32();      // long
        if (form == 4) at += swap16();  // number text
        for (int k = 0; k < 4; ++k) swap32();  // clones, other, size, alias
        for (int k = 0; k < 2; ++k) {  // name, text
            const int length = swap32();
            if (length > 0) at += length;
        }
        const int parts = swap32();
        for (int k = 0; k < parts; ++k) swap16();
    }
    EXPECT_EQ(at, f.size()) << "the swapper walked the file exactly";
    return f;
}

// Marks the size of every plain variable with a value "not yet known" (-1),
// as array literals leave their elements.
std::vector<unsigned char> withUnknownSizes(std::vector<unsigned char> f) {
    size_t at = 1;
    auto le32 = [&]() {
        const int32_t v = static_cast<int32_t>(f[at] | f[at + 1] << 8 | f[at + 2] << 16 |
                                               static_cast<uint32_t>(f[at + 3]) << 24);
        at += 4;
        return v;
    };
    const int n = le32();
    at += 3 * static_cast<size_t>(n);  // commands: code byte, operand 2
    const int w = le32();
    at += 2 * static_cast<size_t>(w);  // words
    const int v = le32();
    int marked = 0;
    for (int i = 3; i < v; ++i) {
        const int kind = le32(), form = le32();
        if (form == 3) at += 4;
        if (form == 4) at += 2 + (f[at] | f[at + 1] << 8);
        at += 8;  // clones, other
        const size_t size = at;
        at += 8;  // size, alias
        for (int k = 0; k < 2; ++k) {  // name, text
            const int length = le32();
            if (length > 0) at += length;
            if (k == 1 && length >= 0 && kind == 0 && form >= 2) {
                for (int b = 0; b < 4; ++b) f[size + b] = 0xFF;
                ++marked;
            }
        }
        const int parts = le32();
        at += 2 * static_cast<size_t>(parts > 0 ? parts : 0);
    }
    EXPECT_EQ(at, f.size());
    EXPECT_GT(marked, 0);
    return f;
}

TEST_F(CompiledFile, SaveThenLoadRunsTheSame) {
    write("s.mps", std::string(kScript));
    const std::string fromText = runFile("s.mps");
    EXPECT_EQ(fromText, "shown two words 12\nbig 3\none 3.25 bcd\n");
    saveCompiled("s.bin");
    EXPECT_EQ(bytes("s.bin")[0], 2);
    EXPECT_EQ(runFile("s.bin"), fromText);
}

// A save replaces the file only once written whole; one that cannot be made
// leaves neither the file nor its temporary.
TEST_F(CompiledFile, ASaveReplacesTheFileWholeOrNotAtAll) {
    write("s.bin", "old");
    saveCompiled("s.bin");
    EXPECT_EQ(bytes("s.bin")[0], kYCompiledVersion);
    EXPECT_FALSE(std::filesystem::exists("s.bin.part"));
    std::filesystem::create_directory("taken");
    YThread thread("s.mps");
    EXPECT_EQ(thread.save("taken"), 0);  // a folder cannot be replaced by a file
    EXPECT_TRUE(std::filesystem::is_directory("taken"));
    EXPECT_FALSE(std::filesystem::exists("taken.part"));
}

TEST_F(CompiledFile, FileInTheOtherByteOrderLoadsWithTheSwap) {
    saveCompiled("s.bin");
    const std::vector<unsigned char> original = bytes("s.bin");
    const std::vector<unsigned char> other = swapped(original);
    EXPECT_NE(other, original);
    writeBytes("t.bin", other);
    EXPECT_EQ(runFile("t.bin"), runFile("s.bin"));
}

// Size -1 means "not yet known": such records load, and read as their text.
TEST_F(CompiledFile, RecordsWithSizeMinusOneLoad) {
    saveCompiled("s.bin");
    writeBytes("u.bin", withUnknownSizes(bytes("s.bin")));
    EXPECT_EQ(runFile("u.bin"), runFile("s.bin"));
}

TEST_F(CompiledFile, SavingAgainAfterLoadingGivesTheSameBytes) {
    saveCompiled("s.bin");
    {
        YThread loaded("s.bin");
        ASSERT_TRUE(loaded);
        ASSERT_EQ(loaded.save("again.bin"), 1);
    }
    EXPECT_EQ(bytes("again.bin"), bytes("s.bin"));
}

TEST_F(CompiledFile, SaveToAPlaceThatCannotBeWrittenFails) {
    write("s.mps", "say a\n");
    YThread thread("s.mps");
    EXPECT_EQ(thread.save("no/such/folder/s.bin"), 0);
}

TEST_F(CompiledFile, EveryTruncationIsRefusedWithoutReadingPastTheData) {
    saveCompiled("s.bin");
    const std::vector<unsigned char> whole = bytes("s.bin");
    // Every cut in the counts and commands, then every seventh one.
    for (size_t length = 1; length < whole.size(); length += length < 64 ? 1 : 7) {
        writeBytes("cut.bin", std::vector<unsigned char>(whole.begin(), whole.begin() + static_cast<long>(length)));
        testing::internal::CaptureStderr();
        YThread thread("cut.bin");
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(thread) << "cut to " << length;
        EXPECT_TRUE(thread.lastCompileFailed());
        EXPECT_EQ(message, "cut.bin: not a compiled script this system can read\n");
    }
}

TEST_F(CompiledFile, CountsThatDoNotFitOrWordsPastTheHeapAreRefused) {
    saveCompiled("s.bin");
    const std::vector<unsigned char> whole = bytes("s.bin");
    const uint32_t n = whole[1] | whole[2] << 8;
    const size_t wordsAt = 5 + 3 * n;
    std::vector<std::vector<unsigned char>> damaged;
    damaged.push_back(whole);
    poke32(damaged.back(), 1, 0x7FFFFFFF);  // N far beyond the file
    damaged.push_back(whole);
    poke32(damaged.back(), 1, 9000);  // N beyond the command table
    damaged.push_back(whole);
    poke32(damaged.back(), wordsAt, 0xFFFFFFF0);  // a negative W
    damaged.push_back(whole);
    damaged.back()[wordsAt + 4 + 2 * 3] = 0xF0;  // word 3 points far past the heap
    damaged.back()[wordsAt + 4 + 2 * 3 + 1] = 0x7F;
    const uint32_t w = whole[wordsAt] | whole[wordsAt + 1] << 8;
    damaged.push_back(whole);
    poke32(damaged.back(), wordsAt + 4 + 2 * w, 3);  // fewer variables than the words use
    for (size_t i = 0; i < damaged.size(); ++i) {
        writeBytes("bad.bin", damaged[i]);
        testing::internal::CaptureStderr();
        YThread thread("bad.bin");
        testing::internal::GetCapturedStderr();
        EXPECT_FALSE(thread) << "damage " << i;
        EXPECT_EQ(YHeap::theHeap.size(), 3) << "a refused file left variables in the heap";
    }
}

TEST_F(CompiledFile, TextThatBeginsWithByteTwoIsTakenForACompiledFile) {
    write("odd.mps", "\x02say hello\n");
    testing::internal::CaptureStderr();
    YThread thread("odd.mps");
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(thread);
}

}  // namespace

// Compiled script files: save then load runs the same; a file written in the
// other byte order loads with the swap; a damaged file is refused whole.
#include "tests/script/ThreadTestSupport.h"
#include "tests/support/ByteWriter.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <fstream>

namespace {

// A little of everything that lives in the heap.
const std::string kScript = std::string(QRN_TEST_DATA) + "/script/tables/compiled.mps";

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
    // What loading a refused file shows, then "|" and the entries it left.
    std::string refusal(const char* file) {
        testing::internal::CaptureStderr();
        YThread thread(file);
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(!thread && thread.lastCompileFailed()) << file;
        return message + "|" + std::to_string(YHeap::theHeap.size());
    }
    // Compiles kScript and saves it, leaving no thread behind.
    void saveCompiled(const char* file) {
        std::filesystem::copy_file(kScript, "s.mps", std::filesystem::copy_options::overwrite_existing);
        YThread thread("s.mps");
        ASSERT_TRUE(thread);
        ASSERT_EQ(thread.save(file), 1);
    }
};

struct Layout {
    std::function<void(size_t at, int width)> field = [](size_t, int) {};
    std::function<void(size_t sizeAt, int kind, int form, int textLength)> record = [](size_t, int, int, int) {};
};

// Walks a compiled file in this machine's byte order, as its layout and the
// variable record's lay it out: version byte, N, N commands (code byte,
// operand), W, W words, V, then the records after the three predefined
// entries. Gives every multi-byte field and every record to on; returns
// where the walk ended.
size_t walk(const std::vector<unsigned char>& f, const Layout& on) {
    size_t at = 1;
    const auto take = [&](int width) {
        on.field(at, width);
        uint32_t value = 0;
        for (int b = width - 1; b >= 0; --b) value = value << 8 | f[at + b];
        at += width;
        return static_cast<int32_t>(value);
    };
    const int n = take(4);
    for (int i = 0; i < n; ++i, take(2)) ++at;
    const int w = take(4);
    for (int i = 0; i < w; ++i) take(2);
    const int v = take(4);
    for (int i = 3; i < v; ++i) {
        const int kind = take(4), form = take(4);
        if (form == yvsLong) take(4);
        if (form == yvsDouble) at += take(2);  // number text
        take(4), take(4);                      // clones, other
        const size_t sizeAt = at;
        take(4), take(4);  // size, alias
        int length = 0;
        for (int k = 0; k < 2; ++k)  // name, text
            if ((length = take(4)) > 0) at += length;
        on.record(sizeAt, kind, form, length);
        const int parts = take(4);
        for (int k = 0; k < parts; ++k) take(2);
    }
    return at;
}

// Every multi-byte field reversed; the version byte becomes 1.
std::vector<unsigned char> swapped(const std::vector<unsigned char>& original) {
    std::vector<unsigned char> f = original;
    EXPECT_EQ(walk(original, {[&](size_t at, int width) { std::reverse(f.begin() + at, f.begin() + at + width); }}), f.size());
    f[0] = 1;
    return f;
}

// The size of every plain variable with a value marked "not yet known" (-1),
// as array literals leave their elements.
std::vector<unsigned char> withUnknownSizes(std::vector<unsigned char> f) {
    int marked = 0;
    EXPECT_EQ(walk(f, {.record = [&](size_t sizeAt, int kind, int form, int textLength) {
                           if (kind != yvtVariable || form < yvsText || textLength < 0) return;
                           poke32(f, sizeAt, 0xFFFFFFFF);
                           ++marked;
                       }}),
              f.size());
    EXPECT_GT(marked, 0);
    return f;
}

// A file in the other byte order loads with the swap; records whose size is
// -1 ("not yet known") load and read as their text; a loaded file saves to
// the same bytes.
TEST_F(CompiledFile, SavedFilesRunAsTheirTextAndSaveAgainTheSame) {
    std::filesystem::copy_file(kScript, "s.mps", std::filesystem::copy_options::overwrite_existing);
    const std::string fromText = runFile("s.mps");
    EXPECT_EQ(fromText, "shown two words 12\nbig 3\none 3.25 bcd\n");
    saveCompiled("s.bin");
    const std::vector<unsigned char> original = bytes("s.bin");
    EXPECT_EQ(original[0], 2);
    EXPECT_NE(swapped(original), original);
    writeBytes("t.bin", swapped(original));
    writeBytes("u.bin", withUnknownSizes(original));
    for (const char* file : {"s.bin", "t.bin", "u.bin"}) EXPECT_EQ(runFile(file), fromText) << file;
    {
        YThread loaded("s.bin");
        ASSERT_EQ(loaded.save("again.bin"), 1);
    }
    EXPECT_EQ(bytes("again.bin"), original);
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
    EXPECT_EQ(thread.save("no/such/folder/s.bin"), 0);
}

TEST_F(CompiledFile, EveryTruncationIsRefusedWithoutReadingPastTheData) {
    saveCompiled("s.bin");
    const std::vector<unsigned char> whole = bytes("s.bin");
    // Every cut in the counts and commands, then every seventh one.
    for (size_t length = 1; length < whole.size(); length += length < 64 ? 1 : 7) {
        writeBytes("cut.bin", std::vector<unsigned char>(whole.begin(), whole.begin() + static_cast<long>(length)));
        EXPECT_EQ(refusal("cut.bin"), "cut.bin: not a compiled script this system can read\n|3") << "cut to " << length;
    }
}

// Counts that do not fit, words past the heap, and a text that begins with
// byte 2 (taken for a compiled file) are refused, leaving nothing in the heap.
TEST_F(CompiledFile, DamagedCountsAndWordsAreRefused) {
    saveCompiled("s.bin");
    const std::vector<unsigned char> whole = bytes("s.bin");
    const size_t wordsAt = 5 + 3 * (whole[1] | whole[2] << 8);
    const uint32_t w = whole[wordsAt] | whole[wordsAt + 1] << 8;
    const struct {
        size_t at;
        uint32_t value;
        int width;
    } damages[] = {
        {1, 0x7FFFFFFF, 4},                  // N far beyond the file
        {1, 9000, 4},                        // N beyond the command table
        {wordsAt, 0xFFFFFFF0, 4},            // a negative W
        {wordsAt + 4 + 2 * 3, 0x7FF0, 2},    // word 3 points far past the heap
        {wordsAt + 4 + 2 * w, 3, 4},         // fewer variables than the words use
    };
    for (const auto& d : damages) {
        std::vector<unsigned char> damaged = whole;
        for (int b = 0; b < d.width; ++b) damaged[d.at + b] = static_cast<unsigned char>(d.value >> (8 * b));
        writeBytes("bad.bin", damaged);
        EXPECT_EQ(refusal("bad.bin"), "bad.bin: not a compiled script this system can read\n|3") << "damage at " << d.at;
    }
    write("odd.mps", "\x02say hello\n");
    EXPECT_EQ(refusal("odd.mps"), "odd.mps: not a compiled script this system can read\n|3");
}

}  // namespace

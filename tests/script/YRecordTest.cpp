// The variable record: writing, reading back in both byte orders (from
// memory, with and without an end, and from a file), and records damaged or
// cut short. Records are written in a small notation: a number is a 32-bit
// word, hN a 16-bit word, "text" its bytes ("text"*N repeated), c"text" its
// length and bytes; tables/records.txt holds the records read by hand.
#include "ScriptTestSupport.h"
#include "TableFile.h"
#include "tests/support/ByteWriter.h"

#include <sstream>

namespace {

Bytes bytesOf(const std::string& notation, bool big = false) {
    Bytes out;
    std::istringstream in(notation);
    for (std::string field; in >> field;) {
        const size_t open = field.find('"');
        if (open == std::string::npos) {
            field[0] == 'h' ? put16(out, std::stoi(field.substr(1)), big) : put32(out, static_cast<uint32_t>(std::stol(field)), big);
            continue;
        }
        const size_t close = field.find('"', open + 1);
        std::string text = field.substr(open + 1, close - open - 1);
        for (int n = close + 1 < field.size() ? std::stoi(field.substr(close + 2)) : 1; n > 1; --n) text += field.substr(open + 1, close - open - 1);
        if (field[0] == 'c') put32(out, static_cast<uint32_t>(text.size()), big);
        out.insert(out.end(), text.begin(), text.end());
    }
    return out;
}

std::string parts(YVariable* entry) {
    int count = 0;
    const uint16_t* list = entry->getParts(count);
    std::string out = "p";
    for (int i = 0; i < count; ++i) out += " " + std::to_string(list[i]);
    return out;
}

}  // namespace

using Records = ScriptTest;

TEST_F(Records, EntriesWriteExactlyTheirRecord) {
    EXPECT_EQ(recordOf(assign("pi", "3.25")), bytesOf("0 4 h4 \"3.25\" 0 0 4 0 c\"pi\" c\"3.25\" -1"));
    // A variable never assigned has no text: -1 stands for it, not an empty one.
    EXPECT_EQ(recordOf(var("unset")), bytesOf("0 0 0 0 -1 0 c\"unset\" -1 -1"));
}

// Each record read from memory with an end, from memory without one (the
// hosts' form; accepted records only) and from a file gives the same entry.
TEST_F(Records, RecordsReadAsTheirTableSays) {
    const auto rows = tableRows("records.txt");
    EXPECT_GT(rows.size(), 10u);
    for (const auto& row : rows) {
        const std::string& line = row[0];
        const bool big = line.substr(0, 2) == "be";
        const Bytes bytes = bytesOf(line.substr(3), big);
        const std::string& expected = row[1];
        const bool refused = expected == "refused";
        for (int way = refused ? 1 : 0; way < 3; ++way) {
            SCOPED_TRACE(line + " read way " + std::to_string(way));
            YHeapAccess::reset();
            YVariable* entry = assign("kept", "value");
            ASSERT_TRUE(heap.getSobHandle("kept").isValid());
            const unsigned char* cursor = bytes.data();
            int read = 0;
            if (way < 2) {
                read = way == 0 ? entry->read(cursor, big) : entry->read(cursor, cursor + bytes.size(), big);
                EXPECT_EQ(cursor, bytes.data() + (refused ? 0 : bytes.size()));
            } else {
                FILE* file = std::tmpfile();
                std::fwrite(bytes.data(), 1, bytes.size(), file);
                std::rewind(file);
                read = entry->read(file, big);
                std::fclose(file);
            }
            EXPECT_EQ(read, refused ? 0 : 1);
            EXPECT_EQ(std::string(entry->getName()) + " " + shown(entry) + " c" + std::to_string(entry->clones()) + " o" +
                          std::to_string(entry->getOther()) + " s" + std::to_string(entry->size()) + " " + parts(entry),
                      refused ? "kept value|text|a0|h1 c0 o0 s5 p" : expected);
        }
    }
}

TEST_F(Records, ARecordCutShortIsRefusedAndLeavesTheEntryUnchanged) {
    const Bytes bytes = bytesOf("0 4 h4 \"3.25\" 0 0 4 0 c\"pi\" c\"3.25\" -1");
    YVariable* entry = assign("kept", "value");
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const unsigned char* cursor = bytes.data();
        EXPECT_EQ(entry->read(cursor, bytes.data() + cut, 0), 0) << cut;
        EXPECT_EQ(cursor, bytes.data()) << cut;
        FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        if (cut > 0) std::fwrite(bytes.data(), 1, cut, file);
        std::rewind(file);
        EXPECT_EQ(entry->read(file, 0), 0) << cut;
        std::fclose(file);
        EXPECT_EQ(std::string(entry->getName()) + " " + text(entry), "kept value") << cut;
    }
}

// An entry of every kind, with texts empty or not, reads back the same; an
// object entry reads back with no value.
TEST_F(Records, EntriesOfEveryKindReadBackTheSame) {
    assign("s", "abcdef");
    assign("i", "2");
    heap.pile("sprite", new ScriptableProbe(1));
    YVariable* entries[] = {assign("whole", "-12"), assign("real", "0.1"), assign("words", "a b c"), assign("empty", ""),
                            var("unset"),           var("ball.i"),        var("s|i|3"),           expression("i*3+1"),
                            var("'quoted'"),        var("sprite")};
    for (YVariable* original : entries) {
        const bool object = original->getForm() == yvsObject;
        const std::string before = object ? "sprite|none|a0|h0" : shown(original);
        const std::vector<unsigned char> bytes = recordOf(original);
        YVariable* copy = YHeapAccess::fresh();
        const unsigned char* cursor = bytes.data();
        ASSERT_EQ(copy->read(cursor, cursor + bytes.size(), 0), 1) << original->getName();
        EXPECT_STREQ(copy->getName(), original->getName());
        EXPECT_EQ(copy->getKind(), original->getKind()) << original->getName();
        EXPECT_EQ(shown(copy), before) << original->getName();
        EXPECT_EQ(held(copy), nullptr);
        if (!object) {
            EXPECT_EQ(copy->size(), original->size()) << original->getName();
        }
        EXPECT_EQ(parts(copy), parts(original)) << original->getName();
        delete copy;
    }
}

// Terms that run out, an operator without operands, an unknown operator:
// read, never past the code or the terms.
TEST_F(Records, DamagedExpressionCodeEvaluatesWithinItsText) {
    const std::string terms = " 2 h" + std::to_string(heap.pile("a", 1, "1")) + " h" + std::to_string(heap.pile("b", 1, "2"));
    for (const char* code : {"s+tttttt", "s+", "s", "s!tt", "ssssssss", "t"}) {
        const Bytes r = bytesOf(std::string("4 0 0 0 2 0 c\"x+y\" c\"") + code + "\"" + terms);
        YVariable* entry = YHeapAccess::fresh();
        const unsigned char* cursor = r.data();
        ASSERT_EQ(entry->read(cursor, cursor + r.size(), 0), 1);
        EXPECT_LE(text(entry).size(), 3u) << code;
        delete entry;
    }
}

TEST_F(Records, TheHeapSavesEveryEntryAfterThePredefinedOnes) {
    assign("alpha", "1");
    assign("beta", "two");
    expression("alpha+beta");
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    YHeapAccess::save(file);
    const int saved = heap.size();
    std::rewind(file);
    YHeapAccess::reset();
    for (int i = 3; i < saved; ++i) {
        YVariable* entry = YHeapAccess::fresh();
        ASSERT_EQ(entry->read(file, 0), 1) << i;
        EXPECT_EQ(YHeapAccess::append(entry), i);
    }
    EXPECT_EQ(std::fgetc(file), EOF);
    std::fclose(file);
    EXPECT_EQ(evaluate("alpha+beta"), "1two");
}

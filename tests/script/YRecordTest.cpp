// The variable record: writing, reading back in both byte orders, records
// written by hand, and records that are damaged or cut short.
#include "ScriptTestSupport.h"
#include "tests/support/ByteWriter.h"

#include <cstdio>

namespace {

// Builds a record by hand in either byte order.
class RecordBytes {
public:
    explicit RecordBytes(bool bigEndian = false) : big(bigEndian) {}
    RecordBytes& word32(int32_t value) { return put32(bytes, static_cast<uint32_t>(value), big), *this; }
    RecordBytes& word16(uint16_t value) { return put16(bytes, value, big), *this; }
    RecordBytes& text(const std::string& s) { return bytes.insert(bytes.end(), s.begin(), s.end()), *this; }
    RecordBytes& counted(const std::string& s) { return word32(static_cast<int32_t>(s.size())).text(s); }

    Bytes bytes;

private:
    bool big;
};

// A double entry named "pi" holding 3.25: kind, form, L and "%.15g" text,
// clones, other, size, alias, name, text, no parts.
RecordBytes doubleRecord(bool bigEndian) {
    RecordBytes r(bigEndian);
    r.word32(yvtVariable).word32(yvsDouble).word16(4).text("3.25");
    r.word32(0).word32(0).word32(4).word32(0);
    r.counted("pi").counted("3.25").word32(-1);
    return r;
}

}  // namespace

using Records = ScriptTest;

TEST_F(Records, ADoubleEntryIsWrittenExactlyAsTheRecordLaysItOut) {
    YVariable* pi = assign("pi", "3.25");
    EXPECT_EQ(recordOf(pi), doubleRecord(false).bytes);
}

// A variable never assigned has no text: -1 stands for it, not an empty one.
TEST_F(Records, AnEntryWithoutATextWritesMinusOneForIt) {
    RecordBytes expected;
    expected.word32(yvtVariable).word32(yvsNone).word32(0).word32(0).word32(-1).word32(0);
    expected.counted("unset").word32(-1).word32(-1);
    EXPECT_EQ(recordOf(var("unset")), expected.bytes);
}

TEST_F(Records, AHandWrittenRecordReadsInEitherByteOrder) {
    for (const bool bigEndian : {false, true}) {
        const RecordBytes record = doubleRecord(bigEndian);
        YVariable* entry = YHeapAccess::fresh();
        const unsigned char* cursor = record.bytes.data();
        ASSERT_EQ(entry->read(cursor, cursor + record.bytes.size(), bigEndian ? 1 : 0), 1);
        EXPECT_EQ(cursor, record.bytes.data() + record.bytes.size());
        EXPECT_STREQ(entry->getName(), "pi");
        EXPECT_EQ(entry->getForm(), yvsDouble);
        EXPECT_EQ(text(entry), "3.25");
        double number = 0;
        entry->value(&number);
        EXPECT_EQ(number, 3.25);
        delete entry;
    }
}

// The hosts' form reads a record without being told where the data end.
TEST_F(Records, TheHostFormReadsARecordWithoutAnEnd) {
    const RecordBytes record = doubleRecord(true);
    YVariable* entry = YHeapAccess::fresh();
    const unsigned char* cursor = record.bytes.data();
    ASSERT_EQ(entry->read(cursor, 1), 1);
    EXPECT_EQ(cursor, record.bytes.data() + record.bytes.size());
    EXPECT_EQ(text(entry), "3.25");
    delete entry;
}

TEST_F(Records, EntriesOfEveryKindReadBackTheSame) {
    assign("s", "abcdef");
    assign("i", "2");
    YVariable* entries[] = {assign("whole", "-12"), assign("real", "0.1"), assign("words", "a b c"),
                            var("unset"),           var("ball.i"),        var("s|i|3"),
                            expression("i*3+1"),    var("'quoted'")};
    for (YVariable* original : entries) {
        ASSERT_NE(original, nullptr);
        const std::string before = text(original);
        const std::vector<unsigned char> bytes = recordOf(original);
        YVariable* copy = YHeapAccess::fresh();
        const unsigned char* cursor = bytes.data();
        ASSERT_EQ(copy->read(cursor, cursor + bytes.size(), 0), 1) << original->getName();
        EXPECT_STREQ(copy->getName(), original->getName());
        EXPECT_EQ(copy->getKind(), original->getKind()) << original->getName();
        EXPECT_EQ(copy->getForm(), original->getForm()) << original->getName();
        EXPECT_EQ(copy->size(), original->size()) << original->getName();
        EXPECT_EQ(text(copy), before) << original->getName();
        int originalCount = 0;
        int copyCount = 0;
        const uint16_t* originalParts = original->getParts(originalCount);
        const uint16_t* copyParts = copy->getParts(copyCount);
        ASSERT_EQ(copyCount, originalCount);
        for (int i = 0; i < copyCount; ++i) EXPECT_EQ(copyParts[i], originalParts[i]);
        delete copy;
    }
}

TEST_F(Records, AnObjectEntryReadsBackWithNoValue) {
    heap.pile("sprite", new ScriptableProbe(1));
    const std::vector<unsigned char> bytes = recordOf(var("sprite"));
    YVariable* copy = YHeapAccess::fresh();
    const unsigned char* cursor = bytes.data();
    ASSERT_EQ(copy->read(cursor, cursor + bytes.size(), 0), 1);
    EXPECT_EQ(copy->getForm(), yvsNone);
    KvScriptableObject* object = nullptr;
    EXPECT_EQ(text(copy), "sprite");
    copy->value(object);
    EXPECT_EQ(object, nullptr);
    delete copy;
}

TEST_F(Records, ABigEndianFileReadsWithTheSwapFlag) {
    // A long entry with two parts, as another machine would have written it.
    RecordBytes r(true);
    r.word32(yvtVariable).word32(yvsLong).word32(-70000);
    r.word32(2).word32(9).word32(6).word32(0);
    r.counted("count").counted("-70000").word32(2).word16(0x0102).word16(0x0304);
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(r.bytes.data(), 1, r.bytes.size(), file);
    std::rewind(file);
    YVariable* entry = YHeapAccess::fresh();
    ASSERT_EQ(entry->read(file, 1), 1);
    std::fclose(file);
    long number = 0;
    entry->value(&number);
    EXPECT_EQ(number, -70000);
    EXPECT_EQ(text(entry), "-70000");
    EXPECT_EQ(entry->clones(), 2);
    EXPECT_EQ(entry->getOther(), 9);
    int count = 0;
    const uint16_t* parts = entry->getParts(count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(parts[0], 0x0102);
    EXPECT_EQ(parts[1], 0x0304);
    delete entry;
}

TEST_F(Records, ARecordCutShortIsRefusedAndLeavesTheEntryUnchanged) {
    const std::vector<unsigned char> bytes = doubleRecord(false).bytes;
    YVariable* entry = assign("kept", "value");
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const unsigned char* cursor = bytes.data();
        EXPECT_EQ(entry->read(cursor, bytes.data() + cut, 0), 0) << cut;
        EXPECT_EQ(cursor, bytes.data()) << cut;
        EXPECT_STREQ(entry->getName(), "kept");
        EXPECT_EQ(text(entry), "value");

        FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        if (cut > 0) std::fwrite(bytes.data(), 1, cut, file);
        std::rewind(file);
        EXPECT_EQ(entry->read(file, 0), 0) << cut;
        std::fclose(file);
        EXPECT_EQ(text(entry), "value");
    }
}

TEST_F(Records, DamagedFieldsAreRefused) {
    auto base = [](int32_t kind, int32_t form) {
        RecordBytes r;
        r.word32(kind).word32(form);
        return r;
    };
    std::vector<RecordBytes> damaged;
    damaged.push_back(base(9, yvsText));                   // no such kind
    damaged.push_back(base(yvtUnclassified, yvsText));     // never stored
    damaged.push_back(base(yvtVariable, 7));               // no such form
    RecordBytes longNumber = base(yvtVariable, yvsDouble);  // number text beyond 127
    longNumber.word16(200).text(std::string(200, '1'));
    damaged.push_back(longNumber);
    RecordBytes hugeName = base(yvtVariable, yvsNone);  // a name length past the data
    hugeName.word32(0).word32(0).word32(-1).word32(0).word32(1000000).text("abc");
    damaged.push_back(hugeName);
    RecordBytes negativeText = base(yvtVariable, yvsNone);
    negativeText.word32(0).word32(0).word32(-1).word32(0).word32(-1).word32(-5);
    damaged.push_back(negativeText);
    RecordBytes manyParts = base(yvtPath, yvsNone);
    manyParts.word32(0).word32(0).word32(1).word32(0).counted("a.b").word32(-1).word32(5000);
    damaged.push_back(manyParts);
    RecordBytes wrongSize = base(yvtVariable, yvsText);  // size must be the text's length
    wrongSize.word32(0).word32(0).word32(900).word32(0).counted("w").counted("abc").word32(-1);
    damaged.push_back(wrongSize);

    YVariable* entry = assign("kept", "value");
    for (size_t i = 0; i < damaged.size(); ++i) {
        const std::vector<unsigned char>& bytes = damaged[i].bytes;
        const unsigned char* cursor = bytes.data();
        EXPECT_EQ(entry->read(cursor, cursor + bytes.size(), 0), 0) << i;
        EXPECT_EQ(cursor, bytes.data());
        EXPECT_EQ(text(entry), "value");
        EXPECT_EQ(entry->getKind(), yvtVariable);
    }
}

TEST_F(Records, AbsentFieldsLeaveTheEntrysOwnAndReadingClearsHandled) {
    YVariable* entry = assign("keep", "old");
    ASSERT_TRUE(heap.getSobHandle("keep").isValid());
    EXPECT_EQ(entry->getHandled(), 1);
    RecordBytes r;  // no name, a text, no parts
    r.word32(yvtVariable).word32(yvsText).word32(0).word32(0).word32(3).word32(0).word32(-1).counted("new").word32(-1);
    const unsigned char* cursor = r.bytes.data();
    ASSERT_EQ(entry->read(cursor, cursor + r.bytes.size(), 0), 1);
    EXPECT_STREQ(entry->getName(), "keep");
    EXPECT_EQ(text(entry), "new");
    EXPECT_EQ(entry->getHandled(), 0);
}

TEST_F(Records, DamagedExpressionCodeEvaluatesWithinItsText) {
    // Terms that run out, an operator without operands, an unknown operator.
    const char* codes[] = {"s+tttttt", "s+", "s", "s!tt", "ssssssss", "t"};
    for (const char* code : codes) {
        RecordBytes r;
        r.word32(yvtExpression).word32(yvsNone).word32(0).word32(0).word32(2).word32(0);
        r.counted("x+y").counted(code).word32(2).word16(static_cast<uint16_t>(heap.pile("a", 1, "1")))
            .word16(static_cast<uint16_t>(heap.pile("b", 1, "2")));
        YVariable* entry = YHeapAccess::fresh();
        const unsigned char* cursor = r.bytes.data();
        ASSERT_EQ(entry->read(cursor, cursor + r.bytes.size(), 0), 1);
        const std::string value = text(entry);
        EXPECT_LE(value.size(), 3u) << code;  // read, never past the code or the terms
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

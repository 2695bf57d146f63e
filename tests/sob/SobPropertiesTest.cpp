// Added links and the shared value buffer (the table itself and the error
// codes of property operations are in scenarios/).
#include "SobTestSupport.h"

#include <cstring>

using Sob = KvScriptableObject;

// ---- the table ----

TEST(PropertyTable, AddedLinksAreClonedNotRetargeted) {
    CallRecorder log;
    Probe b;
    RecordingLink l(&log);
    int elsewhere = 0;
    l.setTarget(&elsewhere);
    b.sobAddMethodProperty("m", &l);
    b.sobPlay("m", Sob::kKvEndOfParameters);
    EXPECT_EQ(log.targets, std::vector<void*>{&elsewhere});
}

// ---- the shared value buffer ----

// One buffer serves every read; a property without a getter returns it as the
// last read left it.
TEST(ValueBuffer, EveryReadReturnsTheSameBufferWithNewContents) {
    Probe a(1), b(2);
    a.sobAssignProperties();
    b.sobAssignProperties();
    b.sobAddDataProperty("sink", nullptr, nullptr);
    a.sobSet("label", "first");
    const char* one = a.sobGet("label");
    ASSERT_STREQ(one, "first");
    EXPECT_EQ(b.sobGet("id"), one);
    EXPECT_STREQ(one, "2");
    EXPECT_EQ(b.sobGet("sink"), one);
    EXPECT_STREQ(one, "2");
}

// A getter that fills the whole buffer without a terminator still gives a
// text of 1023 characters.
TEST(ValueBuffer, GetterOutputIsCutToTheBuffer) {
    Probe b;
    const KvFunctionLink filler([](const void* buffer) { std::memset(Sob::sobValueOut(buffer), 'z', kKvSobValueBufferSize); });
    b.sobAddDataProperty("long", nullptr, &filler);
    const char* v = b.sobGet("long");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::strlen(v), static_cast<std::size_t>(kKvSobValueBufferSize - 1));
    EXPECT_EQ(v[0], 'z');
}

TEST(ValueBuffer, GetterReceivesTheBufferAndSetterTheValue) {
    CallRecorder setter, getter;
    Probe b;
    const RecordingLink s(&setter), g(&getter);
    b.sobAddDataProperty("d", &s, &g);
    const char* text = "42";
    ASSERT_EQ(b.sobSet("d", text), 1);
    const char* v = b.sobGet("d");
    EXPECT_EQ(setter.args, std::vector<const void*>{text});
    EXPECT_EQ(getter.args, std::vector<const void*>{v});
}

// The class registry: lookup without regard to case, first registration
// wins, creation entry points, command-line splitting, and the shared state
// that lives from the first record to the last.
#include "SobTestSupport.h"

#include <memory>
#include <string>
#include <vector>

using Sob = KvScriptableObject;

namespace {
KvScriptableObject* makeProbe7() { return new Probe(7); }
KvScriptableObject* makeProbe8() { return new Probe(8); }
KvScriptableObject* makeNothing() { return nullptr; }

// The id (in decimal) of the object a class name creates, or "none".
std::string createdId(const char* className) {
    std::unique_ptr<Sob> o(Sob::create(className, Sob::kKvEndOfParameters));
    if (!o) return "none";
    return o->sobGet("id");
}
}  // namespace

using Registry = WithProbeClass;

TEST_F(Registry, LookupIgnoresLetterCase) {
    for (const char* name : {"Probe", "probe", "PROBE", "pRoBe"}) {
        EXPECT_EQ(Sob::isXtor(name), 1) << name;
        std::unique_ptr<Sob> o(Sob::create(name, Sob::kKvEndOfParameters));
        ASSERT_NE(o, nullptr) << name;
        EXPECT_EQ(o->isA(), probeRecord.getClassName()) << name;  // the record's own string
        EXPECT_EQ(probeRecord.find(name), 1);
    }
    EXPECT_EQ(probeRecord.find("Prob"), 0);
    EXPECT_EQ(probeRecord.find("Probes"), 0);
    EXPECT_EQ(probeRecord.find(nullptr), 0);
}

TEST_F(Registry, CaseFoldingIsLimitedToAsciiLetters) {
    KvSR other("a[b", makeProbe7);  // '[' and '{' differ by 32 like letters, but are not letters
    KvSR::setDynamicLoad(0);
    EXPECT_EQ(Sob::isXtor("A[B"), 1);
    EXPECT_EQ(Sob::isXtor("a{b"), 0);
    KvSR::setDynamicLoad(1);
}

// With dynamic loading off, a host's miss handler is told each class that a
// lookup did not find; registered classes, and lookups that may load, are not told.
TEST_F(Registry, AMissHandlerIsToldTheClassesNotFound) {
    static std::vector<std::string> told;
    told.clear();
    const KvSR::MissHandler previous = KvSR::setMissHandler([](const char* name) { told.push_back(name); });
    KvSR::setDynamicLoad(0);
    EXPECT_EQ(Sob::isXtor("Turnstile"), 0);
    EXPECT_EQ(Sob::isXtor("Probe"), 1);
    KvSR::setDynamicLoad(1);
    EXPECT_EQ(Sob::isXtor("Nowhere"), 0);  // no such plug-in file either
    KvSR::setMissHandler(previous);
    EXPECT_EQ(told, std::vector<std::string>{"Turnstile"});
}

TEST_F(Registry, FirstRegisteredWinsUntilItLeaves) {
    auto first = std::make_unique<KvSR>("Twin", makeProbe7);
    KvSR second("TWIN", makeProbe8);
    EXPECT_EQ(registeredByTests(), 3);
    EXPECT_EQ(createdId("twin"), "7");
    first.reset();
    EXPECT_EQ(createdId("twin"), "8");
    EXPECT_STREQ(KvSR::at(0)->getClassName(), "KvAnimation");
    EXPECT_EQ(KvSR::at(kLibraryClasses), &probeRecord);
    EXPECT_EQ(KvSR::at(kLibraryClasses + 1), &second);
    EXPECT_EQ(KvSR::at(kLibraryClasses + 2), nullptr);
    EXPECT_EQ(KvSR::at(-1), nullptr);
}

TEST_F(Registry, CreationAssignsPropertiesOnceAndRunsNoBornLink) {
    const RecordingLink l(&born);
    ASSERT_EQ(Sob::setBornHandler("Probe", &l), 1);
    Sob* marker = Sob::getNewborn();
    std::unique_ptr<Sob> o(Sob::create("Probe", Sob::kKvEndOfParameters));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(static_cast<Probe*>(o.get())->assignCount, 1);
    EXPECT_EQ(born.calls, 0);
    EXPECT_EQ(Sob::getNewborn(), marker);
}

TEST_F(Registry, UnknownClassesFailWithoutDynamicLoad) {
    KvSR::setDynamicLoad(0);
    CallRecorder log;
    const RecordingLink l(&log);
    EXPECT_EQ(Sob::create("Nothing", "1", Sob::kKvEndOfParameters), nullptr);
    EXPECT_EQ(Sob::createFromCommandLine("Nothing", "1"), nullptr);
    EXPECT_EQ(Sob::isXtor("Nothing"), 0);
    EXPECT_EQ(Sob::setBornHandler("Nothing", &l), 0);
    EXPECT_EQ(Sob::isXtor(nullptr), 0);
    EXPECT_EQ(Sob::create(nullptr, Sob::kKvEndOfParameters), nullptr);
    EXPECT_EQ(Sob::createFromCommandLine(nullptr, ""), nullptr);
    EXPECT_EQ(Sob::createFromCommandLine("Probe", nullptr), nullptr);
    KvSR::setDynamicLoad(1);
}

TEST_F(Registry, FactoryReturningNullCreatesNothing) {
    KvSR empty("Empty", makeNothing);
    EXPECT_EQ(Sob::create("Empty", Sob::kKvEndOfParameters), nullptr);
    EXPECT_EQ(Sob::isXtor("Empty"), 1);  // the class exists even so
}

TEST_F(Registry, BornLinkGoesWithItsRecord) {
    CallRecorder temporaryBorn;
    {
        KvSR temporary("Temporary", makeProbe7);
        const RecordingLink l(&temporaryBorn);
        ASSERT_EQ(Sob::setBornHandler("temporary", &l), 1);
    }
    EXPECT_EQ(temporaryBorn.deaths, 2);  // the caller's link and the record's clone
    EXPECT_EQ(temporaryBorn.calls, 0);
}

// ---- command lines ----

struct SplitCase {
    const char* name;
    const char* line;
    std::vector<std::string> parameters;
};

// Test names show the case's name, not its bytes.
void PrintTo(const SplitCase& c, std::ostream* out) { *out << c.name; }

class CommandLine : public WithProbeClass, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(CommandLine, SplitsIntoFactoryParameters) {
    const SplitCase& c = GetParam();
    std::unique_ptr<Sob> o(Sob::createFromCommandLine("Probe", c.line));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(static_cast<Probe*>(o.get())->creationParameters, c.parameters) << "line: [" << c.line << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CommandLine,
    ::testing::Values(
        SplitCase{"quoted_middle", "10 20 \"my file\" 7", {"10", "20", "my file", "7"}},
        SplitCase{"text_after_closing_quote_dropped", "\"a b\"c d", {"a b", "d"}},
        SplitCase{"two_spaces_give_an_empty_one", "a  b", {"a", "", "b"}},
        SplitCase{"unclosed_quote_ends_at_the_space", "\"a b", {"a"}},
        SplitCase{"empty_line_is_one_empty_parameter", "", {""}},
        SplitCase{"trailing_space_gives_an_empty_last_one", "a ", {"a", ""}},
        SplitCase{"lone_space", " ", {"", ""}},
        SplitCase{"quoted_then_trailing_space", "\"a b\" ", {"a b", ""}},
        SplitCase{"dropped_tail_without_space_ends", "\"a b\"c", {"a b"}},
        SplitCase{"empty_quotes", "\"\" x", {"", "x"}},
        SplitCase{"lone_quote", "\"", {""}},
        SplitCase{"unclosed_quote_without_space", "\"ab", {"ab"}},
        SplitCase{"quotes_count_only_at_the_start", "x\"y z\"", {"x\"y", "z\""}},
        SplitCase{"tabs_are_ordinary", "a\tb c", {"a\tb", "c"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST_F(Registry, CommandLineReplacesEarlierParameters) {
    setParameters({"stale"});
    std::unique_ptr<Sob> o(Sob::createFromCommandLine("Probe", "fresh"));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(static_cast<Probe*>(o.get())->creationParameters, std::vector<std::string>{"fresh"});
}

TEST_F(Registry, CommandLineOfAtMost1023CharactersFitsLongerIsRefused) {
    const std::string fits(kKvSobCommandLineBufferSize - 1, 'q');
    std::unique_ptr<Sob> o(Sob::createFromCommandLine("Probe", fits.c_str()));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(static_cast<Probe*>(o.get())->creationParameters, std::vector<std::string>{fits});

    setParameters({"untouched"});
    const std::string tooLong(kKvSobCommandLineBufferSize, 'q');
    EXPECT_EQ(Sob::createFromCommandLine("Probe", tooLong.c_str()), nullptr);
    ASSERT_EQ(Sob::countParameters(), 1);  // refused before anything changed
    Sob::prepareParameters();
    EXPECT_STREQ(Sob::nextParameter(), "untouched");
}

// ---- the shared state's lifetime ----

// The library's own class stays registered for the whole process, so the
// registry and the parameter list outlive every record a test makes.
TEST(RegistryLifetime, RecordsComeAndGoWhileTheLibrarysOwnClassKeepsTheSharedState) {
    ASSERT_EQ(registeredByTests(), 0);
    Sob::resetParameters();
    Sob::addParameter("kept");  // before any record of the tests
    auto first = std::make_unique<KvSR>("First", makeProbe7);
    auto second = std::make_unique<KvSR>("Second", makeProbe8);
    Sob::addParameter("and this");
    first.reset();
    second.reset();
    EXPECT_EQ(registeredByTests(), 0);
    EXPECT_EQ(KvSR::at(kLibraryClasses), nullptr);
    EXPECT_EQ(Sob::countParameters(), 2);
    KvSR::setDynamicLoad(0);
    EXPECT_EQ(Sob::isXtor("Second"), 0);
    EXPECT_EQ(Sob::isXtor("kvanimation"), 1);
    KvSR::setDynamicLoad(1);

    KvSR again("Again", makeProbe7);
    EXPECT_EQ(registeredByTests(), 1);
    setParameters({"new"});
    Sob::prepareParameters();
    EXPECT_STREQ(Sob::nextParameter(), "new");
    EXPECT_EQ(createdId("again"), "7");
}

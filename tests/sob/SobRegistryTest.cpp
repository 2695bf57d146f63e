// The class registry: lookup without regard to (ASCII) letter case, first
// registration wins, creation entry points, command-line splitting, and the
// shared state that the library's own class keeps alive for the process.
#include "SobTestSupport.h"

#include <memory>
#include <string>
#include <vector>

using Sob = KvScriptableObject;
using Texts = std::vector<std::string>;

namespace {
KvScriptableObject* makeProbe7() { return new Probe(7); }
KvScriptableObject* makeProbe8() { return new Probe(8); }
KvScriptableObject* makeNothing() { return nullptr; }

// The id of the object a class name creates, or "none".
std::string createdId(const char* className) {
    std::unique_ptr<Sob> o(Sob::create(className, Sob::kKvEndOfParameters));
    return o ? o->sobGet("id") : "none";
}
// The creation parameters a command line gives, or "refused" alone.
Texts split(const char* line) {
    std::unique_ptr<Sob> o(Sob::createFromCommandLine("Probe", line));
    return o ? static_cast<Probe*>(o.get())->creationParameters : Texts{"refused"};
}

// Turns dynamic loading off for a scope, so that misses stay misses.
struct NoDynamicLoad {
    NoDynamicLoad() { KvSR::setDynamicLoad(0); }
    ~NoDynamicLoad() { KvSR::setDynamicLoad(1); }
};
}  // namespace

using Registry = WithProbeClass;

// '[' and '{' differ by 32 like letters, but are not letters.
TEST_F(Registry, LookupIgnoresTheCaseOfLettersOnly) {
    KvSR other("a[b", makeProbe7);
    NoDynamicLoad off;
    for (const char* name : {"Probe", "probe", "PROBE", "pRoBe"}) {
        std::unique_ptr<Sob> o(Sob::create(name, Sob::kKvEndOfParameters));
        ASSERT_NE(o, nullptr) << name;
        EXPECT_EQ(o->isA(), probeRecord.getClassName()) << name;  // the record's own string
        EXPECT_EQ(probeRecord.find(name), 1);
    }
    for (const char* name : {"Prob", "Probes", static_cast<const char*>(nullptr)}) EXPECT_EQ(probeRecord.find(name), 0);
    EXPECT_EQ(Sob::isXtor("A[B"), 1);
    EXPECT_EQ(Sob::isXtor("a{b"), 0);
}

// With dynamic loading off, a host's miss handler is told each class a lookup
// did not find; registered classes, and lookups that may load, are not told.
TEST_F(Registry, AMissHandlerIsToldTheClassesNotFound) {
    static Texts told;
    told.clear();
    const KvSR::MissHandler previous = KvSR::setMissHandler([](const char* name) { told.push_back(name); });
    {
        NoDynamicLoad off;
        EXPECT_EQ(Sob::isXtor("Turnstile") + 2 * Sob::isXtor("Probe"), 2);
    }
    EXPECT_EQ(Sob::isXtor("Nowhere"), 0);  // no such plug-in file either
    KvSR::setMissHandler(previous);
    EXPECT_EQ(told, Texts{"Turnstile"});
}

TEST_F(Registry, FirstRegisteredWinsUntilItLeaves) {
    auto first = std::make_unique<KvSR>("Twin", makeProbe7);
    KvSR second("TWIN", makeProbe8);
    EXPECT_EQ(registeredByTests(), 3);
    EXPECT_EQ(createdId("twin"), "7");
    first.reset();
    EXPECT_EQ(createdId("twin"), "8");
    EXPECT_STREQ(KvSR::at(0)->getClassName(), "KvAnimation");
    const std::vector<const KvSR*> order = {&probeRecord, &second, nullptr};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(KvSR::at(kLibraryClasses + i), order[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(KvSR::at(-1), nullptr);
}

TEST_F(Registry, UnknownClassesAndNullFactoriesCreateNothing) {
    KvSR empty("Empty", makeNothing);
    EXPECT_EQ(createdId("Empty"), "none");
    EXPECT_EQ(Sob::isXtor("Empty"), 1);  // the class exists even so
    NoDynamicLoad off;
    const RecordingLink l(&born);
    EXPECT_EQ(Sob::create("Nothing", "1", Sob::kKvEndOfParameters), nullptr);
    EXPECT_EQ(Sob::createFromCommandLine("Nothing", "1"), nullptr);
    EXPECT_EQ(Sob::isXtor("Nothing") + Sob::isXtor(nullptr) + Sob::setBornHandler("Nothing", &l), 0);
    EXPECT_EQ(Sob::create(nullptr, Sob::kKvEndOfParameters), nullptr);
    EXPECT_EQ(Sob::createFromCommandLine(nullptr, ""), nullptr);
    EXPECT_EQ(split(nullptr), Texts{"refused"});
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

TEST_F(Registry, CommandLinesSplitIntoFactoryParameters) {
    const struct {
        const char* line;
        Texts parameters;
    } cases[] = {
        {"10 20 \"my file\" 7", {"10", "20", "my file", "7"}},
        {"\"a b\"c d", {"a b", "d"}},  // text after a closing quote is dropped
        {"a  b", {"a", "", "b"}},
        {"\"a b", {"a"}},  // an unclosed quote ends at the space
        {"", {""}},
        {"a ", {"a", ""}},
        {" ", {"", ""}},
        {"\"a b\" ", {"a b", ""}},
        {"\"a b\"c", {"a b"}},
        {"\"\" x", {"", "x"}},
        {"\"", {""}},
        {"\"ab", {"ab"}},
        {"x\"y z\"", {"x\"y", "z\""}},  // quotes count only at the start
        {"a\tb c", {"a\tb", "c"}},
    };
    setParameters({"stale"});
    for (const auto& c : cases) EXPECT_EQ(split(c.line), c.parameters) << "[" << c.line << "]";
}

TEST_F(Registry, CommandLineOfAtMost1023CharactersFitsLongerIsRefused) {
    const std::string fits(kKvSobCommandLineBufferSize - 1, 'q'), tooLong(kKvSobCommandLineBufferSize, 'q');
    EXPECT_EQ(split(fits.c_str()), Texts{fits});
    setParameters({"untouched"});
    EXPECT_EQ(split(tooLong.c_str()), Texts{"refused"});
    Sob::prepareParameters();
    EXPECT_EQ(readAllParameters(), Texts{"untouched"});  // refused before anything changed
}

// ---- the shared state's lifetime ----

TEST(RegistryLifetime, RecordsComeAndGoWhileTheLibrarysOwnClassKeepsTheSharedState) {
    ASSERT_EQ(registeredByTests(), 0);
    setParameters({"kept"});  // before any record of the tests
    auto first = std::make_unique<KvSR>("First", makeProbe7);
    auto second = std::make_unique<KvSR>("Second", makeProbe8);
    Sob::addParameter("and this");
    first.reset();
    second.reset();
    EXPECT_EQ(registeredByTests(), 0);
    EXPECT_EQ(KvSR::at(kLibraryClasses), nullptr);
    EXPECT_EQ(Sob::countParameters(), 2);
    {
        NoDynamicLoad off;
        EXPECT_EQ(Sob::isXtor("Second"), 0);
        EXPECT_EQ(Sob::isXtor("kvanimation"), 1);
    }
    KvSR again("Again", makeProbe7);
    EXPECT_EQ(registeredByTests(), 1);
    EXPECT_EQ(createdId("again"), "7");
}

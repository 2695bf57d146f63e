// Clones, births and the one-shot sync link. A clone gets every property of
// its source, its links retargeted at the clone except event handlers, which
// only the clone link given with them may rebind.
#include "SobTestSupport.h"

#include <memory>

using Sob = KvScriptableObject;

namespace {
class Clone : public WithProbeClass {
protected:
    std::unique_ptr<Sob> make() { return std::unique_ptr<Sob>(Sob::create("Probe", Sob::kKvEndOfParameters)); }
    static Probe& probe(const std::unique_ptr<Sob>& o) { return *static_cast<Probe*>(o.get()); }
};
}  // namespace

TEST_F(Clone, CopiesEveryPropertyInOrderAndItsLinksCallTheClone) {
    std::unique_ptr<Sob> source = make();
    source->sobAddEventProperty("extra");
    source->sobSet("label", "source");
    std::unique_ptr<Sob> twin(source->copy());
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(probe(twin).table(), probe(source).table());
    EXPECT_EQ(twin->isA(), source->isA());  // the record's string, not a copy
    EXPECT_EQ(Sob::getNewborn(), twin.get());
    EXPECT_EQ(twin->sobSet("label", "twin"), 1);
    EXPECT_EQ(probe(twin).label + probe(source).label, "twinsource");
    EXPECT_EQ(twin->sobGet("id"), std::to_string(probe(source).id + 100));
    EXPECT_EQ(twin->sobPlay("collect", "z", Sob::kKvEndOfParameters), 1);
    EXPECT_EQ(probe(twin).collectCalls - probe(source).collectCalls, 1);
}

TEST_F(Clone, AHandlerIsSharedUnlessItsCloneLinkRebindsTheCopy) {
    CallRecorder shared, rebound;
    std::vector<Sob*> owners;
    std::vector<const KvLink*> seen;
    const KvFunctionLink rebinder([&](const void* arg) {
        const auto* info = static_cast<const KvSOBCloneInfo*>(arg);
        owners.push_back(info->owner);
        seen.push_back(info->link);
        if (info->link) info->link->setTarget(info->owner);
    });
    Probe source;
    source.sobAssignProperties();
    int script = 0;
    RecordingLink keeps(&shared), moves(&rebound);
    keeps.setTarget(&script);
    source.sobSet("ping", &keeps, nullptr);
    source.sobSet("pong", &moves, &rebinder);
    source.sobAddEventProperty("unbound");
    source.sobSet("unbound", nullptr, &rebinder);
    std::unique_ptr<Sob> twin(source.copy());
    EXPECT_EQ(owners, (std::vector<Sob*>{twin.get(), twin.get()}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], nullptr);
    for (Sob* o : {static_cast<Sob*>(&source), twin.get()}) o->sobPass("ping"), o->sobPass("pong");
    EXPECT_EQ(shared.targets, (std::vector<void*>{&script, &script}));
    EXPECT_EQ(rebound.targets, (std::vector<void*>{nullptr, twin.get()}));
    std::unique_ptr<Sob> third(twin->copy());  // the copy has no clone link of its own
    EXPECT_EQ(owners.size(), 2u);
}

TEST_F(Clone, CloneReplacesSameNamedPropertiesOfTheTarget) {
    CallRecorder log;
    Probe source, target(9);
    source.sobAssignProperties();
    {
        const RecordingLink l(&log);
        target.sobAddMethodProperty("collect", &l);
        target.sobAddEventProperty("own");
    }
    source.sobClone(&target);
    EXPECT_EQ(log.deaths, 2);
    EXPECT_EQ(target.table(), (std::vector<std::string>{"own:1", "born:1", "label:0", "id:0", "collect:2",
                                                        "default:2", "fire:2", "hold:2", "fail:2", "ping:1", "pong:1"}));
}

// Creation by class name assigns the properties once and runs no born link
// (nor changes the newborn); each clone of a class member runs it, and a clone
// of an object of no class does not.
TEST_F(Clone, CloneRunsTheClassBornLinkEachTime) {
    const RecordingLink l(&born);
    ASSERT_EQ(Sob::setBornHandler("probe", &l), 1);
    Sob* newborn = Sob::getNewborn();
    std::unique_ptr<Sob> source = make();
    EXPECT_EQ(probe(source).assignCount, 1);
    EXPECT_EQ(Sob::getNewborn(), newborn);
    EXPECT_EQ(born.calls, 0);
    std::unique_ptr<Sob> a(source->copy()), b(source->copy());
    EXPECT_EQ(born.calls, 2);
    Probe loose;
    std::unique_ptr<Sob> twin(loose.copy());
    EXPECT_EQ(twin->isA(), nullptr);
    EXPECT_EQ(Sob::getNewborn(), twin.get());
    EXPECT_EQ(born.calls, 2);
    ASSERT_EQ(Sob::setBornHandler("Probe", nullptr), 1);
    std::unique_ptr<Sob> c(source->copy());
    EXPECT_EQ(born.calls, 2);
}

// ---- sobBorn ----

TEST_F(Clone, BornJoinsARegisteredClassOnceAndOtherwiseOnlySetsNewborn) {
    const RecordingLink l(&born);
    Sob::setBornHandler("Probe", &l);
    Probe p, a, b;
    for (int round = 0; round < 2; ++round) {
        p.sobBorn(round ? "Probe" : "PROBE");
        EXPECT_EQ(Sob::getNewborn(), &p);
        EXPECT_EQ(p.isA(), probeRecord.getClassName());
        EXPECT_EQ(p.assignCount, 1);
        EXPECT_EQ(born.calls, 1);
    }
    KvSR::setDynamicLoad(0);
    a.sobBorn("Unknown");
    EXPECT_EQ(Sob::getNewborn(), &a);
    b.sobBorn(nullptr);
    EXPECT_EQ(Sob::getNewborn(), &b);
    EXPECT_EQ(a.isA(), nullptr);
    EXPECT_EQ(a.assignCount + b.assignCount, 0);
    KvSR::setDynamicLoad(1);
}

// ---- sync ----

TEST(SyncLink, RunsOnceWithItsArgumentAndMayInstallANewOneOrBeCleared) {
    CallRecorder first, second, cleared;
    Probe p;
    int stored = 0;
    const RecordingLink again(&second), never(&cleared);
    const KvFunctionLink installer([&](const void* arg) { first.args.push_back(arg), p.sobSetSyncLink(&again); }, &stored);
    p.sobSetSyncLink(&installer);
    for (int i = 0; i < 3; ++i) p.sobSyncDone();
    EXPECT_EQ(first.args, std::vector<const void*>{&stored});
    EXPECT_EQ(second.calls, 1);
    p.sobSetSyncLink(&never);
    p.sobSetSyncLink(nullptr);
    p.sobSyncDone();
    EXPECT_EQ(cleared.calls, 0);
    EXPECT_EQ(cleared.deaths, 1);
}

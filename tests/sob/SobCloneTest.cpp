// Clones, births and the one-shot sync link.
#include "SobTestSupport.h"

#include <memory>

using Sob = KvScriptableObject;

namespace {
// Rebinds a copied handler at the new owner, as a script side would.
struct Rebinder {
    CallRecorder log;
    std::vector<Sob*> owners;
    KvFunctionLink link{[this](const void* arg) {
        const auto* info = static_cast<const KvSOBCloneInfo*>(arg);
        owners.push_back(info->owner);
        if (info->link) info->link->setTarget(info->owner);
    }};
};
}  // namespace

using Clone = WithProbeClass;

TEST_F(Clone, CopiesEveryPropertyInOrderWithTheClassName) {
    std::unique_ptr<Sob> source(Sob::create("Probe", Sob::kKvEndOfParameters));
    ASSERT_NE(source, nullptr);
    source->sobAddEventProperty("extra");
    std::unique_ptr<Sob> twin(source->copy());
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(static_cast<Probe*>(twin.get())->table(), static_cast<Probe*>(source.get())->table());
    EXPECT_STREQ(twin->isA(), "Probe");
    EXPECT_EQ(twin->isA(), source->isA());  // the record's string, not a copy
    EXPECT_EQ(Sob::getNewborn(), twin.get());
}

TEST_F(Clone, DataAndMethodLinksCallTheCloneNotTheSource) {
    std::unique_ptr<Sob> source(Sob::create("Probe", Sob::kKvEndOfParameters));
    source->sobSet("label", "source");
    std::unique_ptr<Sob> twin(source->copy());
    auto* s = static_cast<Probe*>(source.get());
    auto* t = static_cast<Probe*>(twin.get());

    EXPECT_EQ(twin->sobSet("label", "twin"), 1);
    EXPECT_EQ(t->label, "twin");
    EXPECT_EQ(s->label, "source");
    EXPECT_EQ(twin->sobGet("id"), std::to_string(s->id + 100));  // the twin's own id
    EXPECT_EQ(twin->sobPlay("collect", "z", Sob::kKvEndOfParameters), 1);
    EXPECT_EQ(t->collectCalls, 1);
    EXPECT_EQ(s->collectCalls, 0);
}

TEST_F(Clone, EventHandlerIsSharedWithTheSourceWithoutACloneLink) {
    CallRecorder log;
    Probe source;
    source.sobAssignProperties();
    RecordingLink handler(&log);
    int script = 0;
    handler.setTarget(&script);
    source.sobSet("ping", &handler, nullptr);
    std::unique_ptr<Sob> twin(source.copy());
    EXPECT_EQ(twin->sobPass("ping"), 1);
    ASSERT_EQ(log.targets.size(), 1u);
    EXPECT_EQ(log.targets[0], &script);  // not retargeted at the twin
}

TEST_F(Clone, CloneLinkRebindsTheCopiedHandlerOnly) {
    CallRecorder log;
    Rebinder rebinder;
    Probe source;
    source.sobAssignProperties();
    const RecordingLink handler(&log);
    source.sobSet("ping", &handler, &rebinder.link);
    std::unique_ptr<Sob> twin(source.copy());
    ASSERT_EQ(rebinder.owners.size(), 1u);
    EXPECT_EQ(rebinder.owners[0], twin.get());

    source.sobPass("ping");
    twin->sobPass("ping");
    ASSERT_EQ(log.targets.size(), 2u);
    EXPECT_EQ(log.targets[0], nullptr);     // the source's handler kept its target
    EXPECT_EQ(log.targets[1], twin.get());  // the copy was rebound

    // The copy has no clone link of its own: copying the twin calls nobody.
    std::unique_ptr<Sob> third(twin->copy());
    EXPECT_EQ(rebinder.owners.size(), 1u);
}

TEST_F(Clone, CloneLinkSeesANullLinkForAnUnboundEvent) {
    Probe source;
    source.sobAssignProperties();
    std::vector<const KvLink*> seen;
    const KvFunctionLink spy([&](const void* arg) { seen.push_back(static_cast<const KvSOBCloneInfo*>(arg)->link); });
    source.sobSet("ping", nullptr, &spy);
    std::unique_ptr<Sob> twin(source.copy());
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], nullptr);
}

TEST_F(Clone, CloneReplacesSameNamedPropertiesOfTheTarget) {
    CallRecorder log;
    Probe source;
    source.sobAssignProperties();
    Probe target(9);
    {
        const RecordingLink l(&log);
        target.sobAddMethodProperty("collect", &l);
        target.sobAddEventProperty("own");
    }
    source.sobClone(&target);
    EXPECT_EQ(log.deaths, 2);  // target's own "collect" went
    EXPECT_EQ(target.table(), (std::vector<std::string>{"own:1", "born:1", "label:0", "id:0", "collect:2",
                                                        "default:2", "fire:2", "hold:2", "fail:2", "ping:1", "pong:1"}));
}

TEST_F(Clone, CloneRunsTheClassBornLinkEachTime) {
    const RecordingLink l(&born);
    ASSERT_EQ(Sob::setBornHandler("probe", &l), 1);
    std::unique_ptr<Sob> source(Sob::create("Probe", Sob::kKvEndOfParameters));
    EXPECT_EQ(born.calls, 0);  // creation by class name runs no born link
    std::unique_ptr<Sob> a(source->copy());
    std::unique_ptr<Sob> b(source->copy());
    EXPECT_EQ(born.calls, 2);
    ASSERT_EQ(Sob::setBornHandler("Probe", nullptr), 1);
    std::unique_ptr<Sob> c(source->copy());
    EXPECT_EQ(born.calls, 2);
}

TEST_F(Clone, CloneOfAnObjectOfNoClassRunsNoBornLink) {
    const RecordingLink l(&born);
    Sob::setBornHandler("Probe", &l);
    Probe loose;
    std::unique_ptr<Sob> twin(loose.copy());
    EXPECT_EQ(twin->isA(), nullptr);
    EXPECT_EQ(born.calls, 0);
    EXPECT_EQ(Sob::getNewborn(), twin.get());
}

// ---- sobBorn ----

TEST_F(Clone, BornJoinsARegisteredClassOnce) {
    const RecordingLink l(&born);
    Sob::setBornHandler("Probe", &l);
    Probe p;
    p.sobBorn("PROBE");
    EXPECT_EQ(Sob::getNewborn(), &p);
    EXPECT_EQ(p.isA(), probeRecord.getClassName());
    EXPECT_EQ(p.assignCount, 1);
    EXPECT_EQ(born.calls, 1);

    p.sobBorn("Probe");  // already a member: only newborn changes
    EXPECT_EQ(p.assignCount, 1);
    EXPECT_EQ(born.calls, 1);
}

TEST_F(Clone, BornWithAnUnknownOrNullClassOnlySetsNewborn) {
    KvSR::setDynamicLoad(0);
    Probe a, b;
    a.sobBorn("Unknown");
    EXPECT_EQ(Sob::getNewborn(), &a);
    b.sobBorn(nullptr);
    EXPECT_EQ(Sob::getNewborn(), &b);
    EXPECT_EQ(a.isA(), nullptr);
    EXPECT_EQ(a.assignCount + b.assignCount, 0);
    KvSR::setDynamicLoad(1);
}

// ---- sync ----

TEST(SyncLink, RunsOnceAndMayInstallANewOne) {
    CallRecorder first, second;
    Probe p;
    const RecordingLink again(&second);
    int stored = 0;
    const KvFunctionLink installer(
        [&](const void* arg) {
            ++first.calls;
            first.args.push_back(arg);
            p.sobSetSyncLink(&again);
        },
        &stored);
    p.sobSetSyncLink(&installer);
    p.sobSyncDone();
    ASSERT_EQ(first.calls, 1);
    EXPECT_EQ(first.args[0], &stored);  // called with its stored argument
    p.sobSyncDone();
    p.sobSyncDone();
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 1);
}

TEST(SyncLink, NullClearsIt) {
    CallRecorder log;
    Probe p;
    const RecordingLink l(&log);
    p.sobSetSyncLink(&l);
    p.sobSetSyncLink(nullptr);
    p.sobSyncDone();
    EXPECT_EQ(log.calls, 0);
    EXPECT_EQ(log.deaths, 1);
}

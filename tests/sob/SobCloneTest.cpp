// What the clone and birth scenarios (scenarios/clones.txt) cannot show: a
// clone's links are retargeted at the clone except event handlers, which only
// the clone link given with them may rebind; a born link's lifetime; and the
// one-shot sync link.
#include "SobTestSupport.h"

#include <memory>

using Sob = KvScriptableObject;

using Clone = WithProbeClass;

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

// ---- sobBorn ----

TEST_F(Clone, ABornLinkGoesWithItsRecord) {
    CallRecorder temporaryBorn;
    {
        KvSR temporary("Temporary", &Probe::make);
        const RecordingLink l(&temporaryBorn);
        ASSERT_EQ(Sob::setBornHandler("temporary", &l), 1);
    }
    // Dead: the caller's link and the record's clone; never called.
    EXPECT_EQ(std::pair(temporaryBorn.deaths, temporaryBorn.calls), std::pair(2, 0));
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

// KvLink: function and member links, stored arguments, clones, retargeting.
#include "framework/KvLink.h"

#include <gtest/gtest.h>

namespace {

const void* lastFctArg = nullptr;
int fctCalls = 0;
void recordFct(const void* a) {
    lastFctArg = a;
    ++fctCalls;
}

struct Target {
    int calls = 0;
    const void* lastArg = nullptr;
    mutable int constCalls = 0;
    int name = 0;
    void withArg(const void* a) { ++calls, lastArg = a; }
    void noArg() { ++calls; }
    void constWithArg(const void* a) const { ++constCalls, (void)a; }
    void constNoArg() const { ++constCalls; }
};

// Counts live instances, to see that assign frees the link it replaces.
struct CountedLink : KvLink {
    static int alive;
    CountedLink() { ++alive; }
    CountedLink(const CountedLink&) : KvLink() { ++alive; }
    ~CountedLink() override { --alive; }
    void operator()(const void*) const override {}
    void call() const override {}
    KvLink* clone() const override { return new CountedLink(*this); }
};
int CountedLink::alive = 0;

}  // namespace

TEST(KvLinkToFct, CallsWithCallersOrStoredArgument) {
    int stored = 0, given = 0;
    KvLinkToFct link(recordFct, &stored);
    fctCalls = 0;
    link(&given);
    EXPECT_EQ(lastFctArg, &given);
    link.call();
    EXPECT_EQ(lastFctArg, &stored);
    EXPECT_EQ(fctCalls, 2);
    EXPECT_EQ(link.getTarget(), nullptr);
    link.setTarget(&given);  // function links have no target
    EXPECT_EQ(link.getTarget(), nullptr);
}

TEST(KvMemberLink, CallsEachKindOfMethod) {
    Target t;
    int stored = 0, given = 0;
    KvMemberLink<Target> with(&t, &Target::withArg, &stored);
    with(&given);
    EXPECT_EQ(t.lastArg, &given);
    with.call();
    EXPECT_EQ(t.lastArg, &stored);

    KvMemberLink<Target> without(&t, &Target::noArg);
    without(&given);
    without.call();
    EXPECT_EQ(t.calls, 4);

    KvMemberLink<Target> c1(&t, &Target::constWithArg);
    KvMemberLink<Target> c2(&t, &Target::constNoArg);
    c1.call();
    c2(&given);
    EXPECT_EQ(t.constCalls, 2);
}

TEST(KvMemberLink, WithoutObjectDoesNothingUntilRetargeted) {
    Target t;
    KvMemberLink<Target> link(nullptr, &Target::noArg);
    link.call();
    link(nullptr);
    EXPECT_EQ(t.calls, 0);
    link.setTarget(&t);
    EXPECT_EQ(link.getTarget(), &t);
    link.call();
    EXPECT_EQ(t.calls, 1);
}

TEST(KvMemberLink, ClonesAreIndependent) {
    Target a, b;
    int stored = 0;
    KvMemberLink<Target> link(&a, &Target::withArg, &stored);
    KvLink* copy = link.clone();
    copy->setTarget(&b);
    EXPECT_EQ(link.getTarget(), &a);
    EXPECT_EQ(copy->getTarget(), &b);
    copy->call();
    EXPECT_EQ(a.calls, 0);
    EXPECT_EQ(b.calls, 1);
    EXPECT_EQ(b.lastArg, &stored);  // the stored argument travels with the clone
    delete copy;
    link.call();
    EXPECT_EQ(a.calls, 1);
}

TEST(KvFunctionLink, CallsTheCallableAndKeepsAnOpaqueTarget) {
    const void* seen = nullptr;
    int stored = 0, given = 0;
    KvFunctionLink link([&](const void* a) { seen = a; }, &stored);
    link(&given);
    EXPECT_EQ(seen, &given);
    link.call();
    EXPECT_EQ(seen, &stored);
    link.setTarget(&given);
    EXPECT_EQ(link.getTarget(), &given);
}

TEST(KvLinkAssign, StoresACloneAndFreesTheOldOne) {
    KvLink* slot = nullptr;
    {
        CountedLink original;
        KvLink::assign(slot, &original);
        EXPECT_NE(slot, &original);
        EXPECT_EQ(CountedLink::alive, 2);
        KvLink::assign(slot, &original);  // replaces: still one clone
        EXPECT_EQ(CountedLink::alive, 2);
    }
    EXPECT_EQ(CountedLink::alive, 1);  // the clone outlives the original
    KvLink::assign(slot, nullptr);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(CountedLink::alive, 0);
}

TEST(KvLinkAssign, AssigningTheStoredLinkToItselfIsSafe) {
    KvLink* slot = nullptr;
    CountedLink original;
    KvLink::assign(slot, &original);
    KvLink::assign(slot, slot);  // clones before it deletes
    EXPECT_NE(slot, nullptr);
    EXPECT_EQ(CountedLink::alive, 2);
    delete slot;
}

// KvLink: function and member links, stored arguments, clones, retargeting.
#include "framework/KvLink.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <memory>
#include <vector>

namespace {

// The argument of every call any link made (nullptr from methods that take none).
std::vector<const void*> seen;

void recordFct(const void* a) { seen.push_back(a); }

struct Target {
    int calls = 0;
    void withArg(const void* a) { ++calls, seen.push_back(a); }
    void noArg() { ++calls, seen.push_back(nullptr); }
    void constWithArg(const void* a) const { seen.push_back(a); }
    void constNoArg() const { seen.push_back(nullptr); }
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

// Methods that take no argument are called without one.
TEST(KvLink, EachKindPassesTheCallersOrItsStoredArgumentAndSoDoesItsClone) {
    static int stored = 0, given = 0;
    static Target t;
    const std::vector<const void*> withArg = {&given, &stored, &given, &stored}, none(4, nullptr);
    const std::pair<std::function<KvLink*()>, std::vector<const void*>> cases[] = {
        {[] { return new KvLinkToFct(recordFct, &stored); }, withArg},
        {[] { return new KvMemberLink<Target>(&t, &Target::withArg, &stored); }, withArg},
        {[] { return new KvMemberLink<Target>(&t, &Target::constWithArg, &stored); }, withArg},
        {[] { return new KvFunctionLink([](const void* a) { seen.push_back(a); }, &stored); }, withArg},
        {[] { return new KvMemberLink<Target>(&t, &Target::noArg, &stored); }, none},
        {[] { return new KvMemberLink<Target>(&t, &Target::constNoArg, &stored); }, none},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::unique_ptr<KvLink> link(cases[i].first());
        std::unique_ptr<KvLink> copy(link->clone());
        seen.clear();
        (*link)(&given);
        link->call();
        (*copy)(&given);
        copy->call();
        EXPECT_EQ(seen, cases[i].second) << "link " << i;
    }
}

TEST(KvLink, MemberLinksCallTheirTargetAndClonesAreRetargetedAlone) {
    Target a, b;
    seen.clear();
    KvMemberLink<Target> link(nullptr, &Target::noArg);
    link.call();
    link(nullptr);
    EXPECT_TRUE(seen.empty());  // no object: nothing called
    link.setTarget(&a);
    std::unique_ptr<KvLink> copy(link.clone());
    copy->setTarget(&b);
    EXPECT_EQ(link.getTarget(), &a);
    copy->call();
    link.call();
    link.call();
    EXPECT_EQ(a.calls, 2);
    EXPECT_EQ(b.calls, 1);

    int other = 0;
    KvLinkToFct fct(recordFct);
    fct.setTarget(&other);  // function links have no target
    EXPECT_EQ(fct.getTarget(), nullptr);
    KvFunctionLink function([](const void*) {});
    function.setTarget(&other);  // kept for whoever retargets, unseen by the callable
    EXPECT_EQ(function.getTarget(), &other);
}

// Assigning the stored link to its own slot clones before it deletes.
TEST(KvLinkAssign, StoresACloneAndFreesTheOldOne) {
    KvLink* slot = nullptr;
    {
        CountedLink original;
        KvLink::assign(slot, &original);
        EXPECT_NE(slot, &original);
        KvLink::assign(slot, &original);  // replaces: still one clone
        KvLink::assign(slot, slot);
        EXPECT_EQ(CountedLink::alive, 2);
    }
    EXPECT_EQ(CountedLink::alive, 1);  // the clone outlives the original
    KvLink::assign(slot, nullptr);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(CountedLink::alive, 0);
}

// Links and lists. KvLink: function and member links, stored arguments,
// clones, retargeting. KvList: order, ordered insertion, removal, and walks
// that survive removals (checked against a plain vector as reference).
#include "framework/KvLink.h"
#include "framework/KvList.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
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

struct Item { int key, id; };

bool keyNotAbove(const Item* existing, const Item* added) { return existing->key <= added->key; }

std::vector<int> ids(const KvList<Item>& list) {
    std::vector<int> out;
    KvList<Item>::Cursor c(list);
    for (Item* i = c.first(); i; i = c.next()) out.push_back(i->id);
    return out;
}

// A pointer may be held twice; remove() takes the first occurrence.
TEST(KvList, AppendPrependPositionsAndRemoval) {
    Item a{0, 1}, b{0, 2}, c{0, 3}, stranger{0, 9};
    KvList<Item> l;
    EXPECT_TRUE(l.isEmpty() && l.first() == nullptr && l.last() == nullptr);
    l.append(&a);
    l.append(&b);
    l.prepend(&c);
    l.append(&a);
    EXPECT_EQ(ids(l), (std::vector<int>{3, 1, 2, 1}));
    EXPECT_TRUE(l.count() == 4 && l.first() == &c && l.last() == &a && l.contains(&b));
    EXPECT_TRUE(l.at(1) == &a && l.at(4) == nullptr && l.at(-1) == nullptr && l.indexOf(&b) == 2);
    EXPECT_FALSE(l.remove(&stranger));
    EXPECT_TRUE(l.remove(&a));
    EXPECT_EQ(ids(l), (std::vector<int>{3, 2, 1}));
    EXPECT_TRUE(l.remove(&a));
    EXPECT_FALSE(l.remove(&a) || l.contains(&a));
    l.clear();
    EXPECT_TRUE(l.isEmpty() && l.count() == 0 && l.last() == nullptr);
}

TEST(KvList, OrderedInsertPutsEqualKeysAfterExistingOnes) {
    Item items[] = {{5, 1}, {1, 2}, {5, 3}, {3, 4}, {1, 5}, {9, 6}, {5, 7}};
    KvList<Item> l(keyNotAbove);
    for (Item& i : items) l.insert(&i);
    EXPECT_EQ(ids(l), (std::vector<int>{2, 5, 4, 1, 3, 7, 6}));
    KvList<Item> unordered;  // without a predicate insert appends
    unordered.insert(&items[0]);
    unordered.insert(&items[1]);
    EXPECT_EQ(ids(unordered), (std::vector<int>{1, 2}));
}

// Walks a list of items 0..n-1 (backward when reverse) and, on reaching item
// k, runs its actions: "-i" removes item i, "+i" appends it, "^i" removes it
// and inserts it again, "wij" removes i and j from a nested walk. Gives the
// items the walk saw, then "|", then the list after it.
std::vector<int> walk(int n, bool ordered, bool reverse, const std::map<int, std::string>& actions) {
    Item items[8];
    KvList<Item> l(ordered ? keyNotAbove : nullptr);
    for (int i = 0; i < 8; ++i) items[i] = {i, i};
    for (int i = 0; i < n; ++i) l.append(&items[i]);
    std::vector<int> seen;
    KvList<Item>::Cursor c(l);
    for (Item* i = reverse ? c.last() : c.first(); i && seen.size() < 20; i = reverse ? c.prev() : c.next()) {
        seen.push_back(i->id);
        const auto found = actions.find(i->id);
        const std::string what = found == actions.end() ? "" : found->second;
        for (size_t k = 0; k + 1 < what.size(); k += what[k] == 'w' ? 3 : 2) {
            Item* item = &items[what[k + 1] - '0'];
            if (what[k] == '-' || what[k] == '^') l.remove(item);
            if (what[k] == '+') l.append(item);
            if (what[k] == '^') l.insert(item);
            if (what[k] == 'w') {
                KvList<Item>::Cursor in(l);
                for (Item* j = in.first(); j; j = in.next())
                    if (j == item || j->id == what[k + 2] - '0') l.remove(j);
            }
        }
    }
    seen.push_back(-1);
    for (int id : ids(l)) seen.push_back(id);
    return seen;
}

// Walks survive removals of their own node and of others, in nested walks
// too; a re-sort that puts the walked item back into the gap its removal left
// is not visited again (at the tail, the walk would never end).
TEST(KvList, WalksSurviveChangesMadeAsTheyGo) {
    const struct { int n; bool ordered, reverse; std::map<int, std::string> actions; std::vector<int> seenThenLeft; } cases[] = {
        {1, false, false, {{0, "-0+1"}}, {0, 1, -1, 1}},
        {3, true, false, {{0, "^0"}, {1, "^1"}, {2, "^2"}}, {0, 1, 2, -1, 0, 1, 2}},
        {6, false, false, {{1, "w12"}, {3, "-3"}}, {0, 1, 3, 4, 5, -1, 0, 4, 5}},  // the outer's node and its successor
        {5, false, true, {}, {4, 3, 2, 1, 0, -1, 0, 1, 2, 3, 4}},
        {5, false, true, {{3, "-3-2"}}, {4, 3, 1, 0, -1, 0, 1, 4}},
    };
    for (const auto& c : cases) EXPECT_EQ(walk(c.n, c.ordered, c.reverse, c.actions), c.seenThenLeft) << c.n;
}

// Random removals during a walk, checked against a reference: the walk visits,
// in order, exactly the items that were still in the list when it reached them.
TEST(KvList, RandomRemovalsDuringWalksMatchReference) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        const int n = 1 + static_cast<int>(rng() % 12);
        std::vector<Item> items(n);
        KvList<Item> l;
        for (int i = 0; i < n; ++i) items[i] = {0, i}, l.append(&items[i]);
        std::vector<bool> removed(n, false);

        std::vector<int> seen, expected;
        int refPos = -1;
        KvList<Item>::Cursor c(l);
        for (Item* i = c.first(); i; i = c.next()) {
            seen.push_back(i->id);
            do ++refPos;
            while (refPos < n && removed[refPos]);
            expected.push_back(refPos);
            const int removals = static_cast<int>(rng() % 3);
            for (int k = 0; k < removals; ++k) {
                const int victim = static_cast<int>(rng() % n);
                EXPECT_EQ(l.remove(&items[victim]), !removed[victim]);
                removed[victim] = true;
            }
        }
        // Nothing after the last visited item survived.
        for (int k = refPos + 1; k < n; ++k) EXPECT_TRUE(removed[k]) << "round " << round;
        EXPECT_EQ(seen, expected) << "round " << round;
        std::vector<int> left;
        for (int k = 0; k < n; ++k)
            if (!removed[k]) left.push_back(k);
        EXPECT_EQ(ids(l), left);
        EXPECT_EQ(l.count(), static_cast<int>(left.size()));
    }
}

}  // namespace

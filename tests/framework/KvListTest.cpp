// KvList: order, ordered insertion, removal, and walks that survive removals
// (checked against a plain vector as reference).
#include "framework/KvList.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct Item {
    int key;
    int id;
};

bool keyNotAbove(const Item* existing, const Item* added) { return existing->key <= added->key; }

std::vector<int> ids(const KvList<Item>& list) {
    std::vector<int> out;
    KvList<Item>::Cursor c(list);
    for (Item* i = c.first(); i; i = c.next()) out.push_back(i->id);
    return out;
}

std::vector<int> idsBackwards(const KvList<Item>& list) {
    std::vector<int> out;
    KvList<Item>::Cursor c(list);
    for (Item* i = c.last(); i; i = c.prev()) out.push_back(i->id);
    return out;
}

}  // namespace

TEST(KvList, AppendPrependCountAndPositions) {
    Item a{0, 1}, b{0, 2}, c{0, 3};
    KvList<Item> l;
    EXPECT_TRUE(l.isEmpty());
    EXPECT_EQ(l.first(), nullptr);
    l.append(&a);
    l.append(&b);
    l.prepend(&c);
    EXPECT_EQ(ids(l), (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(l.count(), 3);
    EXPECT_EQ(l.first(), &c);
    EXPECT_EQ(l.last(), &b);
    EXPECT_EQ(l.at(1), &a);
    EXPECT_EQ(l.at(3), nullptr);
    EXPECT_EQ(l.at(-1), nullptr);
    EXPECT_EQ(l.indexOf(&b), 2);
    EXPECT_TRUE(l.contains(&a));
}

TEST(KvList, RemoveTakesTheFirstOccurrenceAndReportsMisses) {
    Item a{0, 1}, b{0, 2}, stranger{0, 9};
    KvList<Item> l;
    l.append(&a);
    l.append(&b);
    l.append(&a);
    EXPECT_FALSE(l.remove(&stranger));
    EXPECT_TRUE(l.remove(&a));
    EXPECT_EQ(ids(l), (std::vector<int>{2, 1}));
    EXPECT_TRUE(l.remove(&a));
    EXPECT_FALSE(l.remove(&a));
    EXPECT_EQ(l.count(), 1);
    l.clear();
    EXPECT_TRUE(l.isEmpty());
    EXPECT_EQ(l.last(), nullptr);
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

TEST(KvList, WalkSeesItemsAppendedAfterItsCurrentNodeWasRemoved) {
    Item a{0, 1}, b{0, 2};
    KvList<Item> l;
    l.append(&a);
    std::vector<int> seen;
    KvList<Item>::Cursor c(l);
    for (Item* i = c.first(); i; i = c.next()) {
        seen.push_back(i->id);
        if (i == &a) {
            l.remove(&a);
            l.append(&b);
        }
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

// A re-sort puts the walked item back into the gap its removal left: the walk
// must not visit it again (at the tail, it would never end).
TEST(KvList, WalkDoesNotRevisitItsItemPutBackIntoTheGap) {
    Item it[3];
    KvList<Item> l(keyNotAbove);
    for (int i = 0; i < 3; ++i) it[i] = {i, i}, l.append(&it[i]);
    std::vector<int> seen;
    KvList<Item>::Cursor c(l);
    for (Item* i = c.first(); i && seen.size() < 10; i = c.next()) {
        seen.push_back(i->id);
        l.remove(i);
        l.insert(i);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
}

TEST(KvList, NestedWalksBothRemoving) {
    Item it[6];
    KvList<Item> l;
    for (int i = 0; i < 6; ++i) it[i] = {0, i}, l.append(&it[i]);
    std::vector<int> outer;
    KvList<Item>::Cursor o(l);
    for (Item* i = o.first(); i; i = o.next()) {
        outer.push_back(i->id);
        if (i->id == 1) {
            KvList<Item>::Cursor in(l);
            for (Item* j = in.first(); j; j = in.next()) {
                if (j->id == 1 || j->id == 2) l.remove(j);  // the outer's node and its successor
            }
        }
        if (i->id == 3) l.remove(i);  // the outer removes its own node
    }
    EXPECT_EQ(outer, (std::vector<int>{0, 1, 3, 4, 5}));
    EXPECT_EQ(ids(l), (std::vector<int>{0, 4, 5}));
}

TEST(KvList, ReverseWalkSurvivesRemoval) {
    Item it[5];
    KvList<Item> l;
    for (int i = 0; i < 5; ++i) it[i] = {0, i}, l.append(&it[i]);
    EXPECT_EQ(idsBackwards(l), (std::vector<int>{4, 3, 2, 1, 0}));
    std::vector<int> seen;
    KvList<Item>::Cursor c(l);
    for (Item* i = c.last(); i; i = c.prev()) {
        seen.push_back(i->id);
        if (i->id == 3) {
            l.remove(i);
            l.remove(&it[2]);
        }
    }
    EXPECT_EQ(seen, (std::vector<int>{4, 3, 1, 0}));
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

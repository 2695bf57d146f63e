// References, aliases, owned objects and paths.
#include "ScriptTestSupport.h"

using References = ScriptTest;

TEST_F(References, AReferenceStandsForTheEntryItWasGivenAndForwardsAssignments) {
    auto* ball = new ScriptableProbe(1);
    YVariable* holder = var("ball");
    holder->set(ball);
    YVariable* receiver = heap[kYReceiver];
    ASSERT_EQ(receiver->getAlias(), -1);

    receiver->set(holder);  // a reference given an object entry stands for it
    EXPECT_EQ(receiver->getOther(), heap.index("ball", 4));
    KvScriptableObject* seen = nullptr;
    receiver->value(seen);
    EXPECT_EQ(seen, ball);
    EXPECT_TRUE(static_cast<int>(*receiver));

    receiver->set("12", -1);  // forwarded: ball now holds 12 and has deleted its object
    EXPECT_EQ(text(holder), "12");
    EXPECT_EQ(ScriptableProbe::alive, 0);
    EXPECT_EQ(text(receiver), "12");

    receiver->set(nullptr, -3);  // clearing cuts the reference
    EXPECT_EQ(receiver->getOther(), 0);
    EXPECT_EQ(text(receiver), "RECEIVER");
    EXPECT_EQ(holder->getForm(), yvsNone);  // the target was cleared as well
}

TEST_F(References, AReferenceWithoutTargetHoldsItsOwnValueButNeverOwnsAnObject) {
    YVariable* receiver = heap[kYReceiver];
    auto* object = new ScriptableProbe(1);
    heap.pile("owner", object);
    receiver->set(object);
    EXPECT_EQ(receiver->getAlias(), -1);
    receiver->set(nullptr, -2);  // a reference never deletes
    EXPECT_EQ(ScriptableProbe::alive, 1);
    KvScriptableObject* seen = nullptr;
    var("owner")->value(seen);
    EXPECT_EQ(seen, object);
}

TEST_F(References, AssigningAnOwnedObjectToAnOwnerCopiesIt) {
    auto* original = new ScriptableProbe(7);
    heap.pile("a", original);
    YVariable* b = var("b");
    b->set(var("a"));
    KvScriptableObject* copy = nullptr;
    b->value(copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original);
    EXPECT_EQ(static_cast<ScriptableProbe*>(copy)->id, 107);
    EXPECT_EQ(b->getAlias(), 0);
    EXPECT_EQ(text(b), std::string(1, kYObjectMarker));
    EXPECT_EQ(b->size(), 1);
    EXPECT_EQ(ScriptableProbe::alive, 2);
}

TEST_F(References, AMarkedAliasSharesTheObjectAndClearingItLeavesTheObjectAlive) {
    auto* original = new ScriptableProbe(7);
    heap.pile("a", original);
    YVariable* b = var("b");
    b->makeAlias();
    b->set(var("a"));
    KvScriptableObject* shared = nullptr;
    b->value(shared);
    EXPECT_EQ(shared, original);
    EXPECT_EQ(b->getAlias(), 1);
    EXPECT_EQ(ScriptableProbe::alive, 1);

    b->set(nullptr, -2);
    EXPECT_EQ(ScriptableProbe::alive, 1);
    EXPECT_EQ(b->getAlias(), 0);  // letting go of the object ends the alias
    KvScriptableObject* still = nullptr;
    var("a")->value(still);
    EXPECT_EQ(still, original);
}

TEST_F(References, AnEntryGivenAnObjectFromANonOwnerBecomesAnAlias) {
    auto* original = new ScriptableProbe(7);
    heap.pile("a", original);
    YVariable* shared = var("shared");
    shared->makeAlias();
    shared->set(var("a"));
    YVariable* c = var("c");  // an owner assigned from an alias shares too
    c->set(shared);
    EXPECT_EQ(c->getAlias(), 1);
    EXPECT_EQ(ScriptableProbe::alive, 1);
}

TEST_F(References, AnOwnerDeletesItsObjectWhenClearedOrReassigned) {
    YVariable* v = var("v");
    v->set(new ScriptableProbe(1));
    EXPECT_EQ(v->getAlias(), 0);
    v->set(new ScriptableProbe(2));
    EXPECT_EQ(ScriptableProbe::alive, 1);
    v->set("text", -1);
    EXPECT_EQ(ScriptableProbe::alive, 0);

    auto* kept = new ScriptableProbe(3);
    v->set(kept);
    v->drop(0);  // -3: forget without deleting
    EXPECT_EQ(ScriptableProbe::alive, 1);
    EXPECT_EQ(v->getForm(), yvsNone);
    delete kept;

    v->set(new ScriptableProbe(4));
    v->set(static_cast<KvScriptableObject*>(nullptr));
    EXPECT_EQ(ScriptableProbe::alive, 0);
    EXPECT_EQ(text(v), "v");
}

TEST_F(References, AMarkedAliasThatHeldATextStaysAnAliasWhenGivenAnObject) {
    YVariable* v = assign("v", "words");
    v->makeAlias();
    auto* object = new ScriptableProbe(1);
    v->set(object);
    EXPECT_EQ(v->getAlias(), 1);
    v->set(nullptr, -2);
    EXPECT_EQ(ScriptableProbe::alive, 1);
    delete object;
}

TEST_F(References, APathReadsAndWritesTheVariableItResolvesTo) {
    assign("i", "3");
    YVariable* path = var("ball.i");
    ASSERT_EQ(path->getKind(), yvtPath);
    int length = 0;
    EXPECT_STREQ(path->resolveName(length), "ball.3");
    EXPECT_EQ(length, 6);

    const int associate = path->getAssociate();
    YVariable* target = heap[associate];
    ASSERT_NE(target, nullptr);
    EXPECT_STREQ(target->getName(), "ball.3");
    EXPECT_EQ(target->getKind(), yvtVariable);
    target->set("red", -1);
    char buffer[kYValueBufferSize];
    EXPECT_EQ(path->value(buffer), associate);  // the value of another entry
    EXPECT_STREQ(buffer, "red");
    EXPECT_EQ(text(path), "red");

    assign("i", "4");
    EXPECT_EQ(text(path), "ball.4");  // unassigned: reads as its name
}

TEST_F(References, APathWithAnUnassignedPartResolvesToAPlainVariableOfTheSameName) {
    YVariable* path = var("ball.i");
    YVariable* plain = heap[path->getAssociate()];
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(plain, path);
    EXPECT_STREQ(plain->getName(), "ball.i");
    EXPECT_EQ(plain->getKind(), yvtVariable);
    EXPECT_EQ(heap[heap.index("ball.i", 6)], path);  // the path came first
}

TEST_F(References, AnEmptyPartIsLeftOutOfTheResolvedName) {
    assign("i", "");
    assign("j", "2");
    int length = 0;
    EXPECT_STREQ(var("a.i.j")->resolveName(length), "a.2");
}

TEST_F(References, AnObjectIsReadThroughItsPath) {
    auto* object = new ScriptableProbe(1);
    heap.pile("sprite.2", object);
    assign("k", "2");
    YVariable* path = var("sprite.k");
    KvScriptableObject* seen = nullptr;
    path->value(seen);
    EXPECT_EQ(seen, object);
    seen = nullptr;
    path->resolve(seen);
    EXPECT_EQ(seen, object);
    EXPECT_EQ(heap.getSob("sprite.k", 0), object);
}

TEST_F(References, AResolvedPathLongerThan127CharactersIsRefused) {
    assign("p", std::string(100, 'p').c_str());
    YVariable* fits = var("head.p");
    int length = 0;
    ASSERT_NE(fits->resolveName(length), nullptr);
    EXPECT_EQ(length, 105);

    assign("q", std::string(22, 'q').c_str());  // 4 + 1 + 100 + 1 + 22 = 128
    YVariable* tooLong = var("head.p.q");
    EXPECT_EQ(tooLong->resolveName(length), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(tooLong->getAssociate(), -1);
    EXPECT_EQ(text(tooLong), "head.p.q");  // refused: reads as its own name

    assign("q", std::string(21, 'q').c_str());  // exactly 127
    EXPECT_NE(tooLong->resolveName(length), nullptr);
    EXPECT_EQ(length, 127);
}

TEST_F(References, ResolvingFollowsToTheEntryAPathStandsFor) {
    assign("n", "1");
    assign("slot.1", "filled");
    YVariable* path = var("slot.n");
    EXPECT_STREQ(path->resolve(), "filled");
    char buffer[kYValueBufferSize];
    EXPECT_EQ(path->resolve(buffer), 0);
    EXPECT_STREQ(buffer, "filled");
}

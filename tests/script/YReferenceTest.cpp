// References, aliases, owned objects and objects read through paths (what
// paths read and write as texts is in golden/paths.mps). An owner deletes its
// object when it lets go of it; an alias or a reference never does.
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
    EXPECT_EQ(held(receiver), ball);
    EXPECT_TRUE(static_cast<int>(*receiver));
    receiver->set("12", -1);  // forwarded: ball now holds 12 and has deleted its object
    EXPECT_EQ(shown(holder), "12|long|a0|h0");
    EXPECT_EQ(ScriptableProbe::alive, 0);
    EXPECT_EQ(text(receiver), "12");
    receiver->set(nullptr, -3);  // clearing cuts the reference, and clears the target
    EXPECT_EQ(receiver->getOther(), 0);
    EXPECT_EQ(text(receiver), "RECEIVER");
    EXPECT_EQ(holder->getForm(), yvsNone);
}

TEST_F(References, AReferenceWithoutTargetHoldsItsOwnValueButNeverOwnsAnObject) {
    YVariable* receiver = heap[kYReceiver];
    auto* object = new ScriptableProbe(1);
    heap.pile("owner", object);
    receiver->set(object);
    EXPECT_EQ(receiver->getAlias(), -1);
    receiver->set(nullptr, -2);
    EXPECT_EQ(ScriptableProbe::alive, 1);
    EXPECT_EQ(held(var("owner")), object);
}

// Given an owned object, an owner makes its own copy; a marked alias (or
// an owner given an alias's object) shares it, and letting go of the shared
// object ends the alias but not the object.
TEST_F(References, OwnersCopyAndAliasesShare) {
    auto* original = new ScriptableProbe(7);
    heap.pile("a", original);
    YVariable* b = var("b");
    b->set(var("a"));
    ASSERT_NE(held(b), original);
    EXPECT_EQ(static_cast<ScriptableProbe*>(held(b))->id, 107);
    EXPECT_EQ(shown(b), std::string(1, kYObjectMarker) + "|object|a0|h0");
    EXPECT_EQ(b->size(), 1);
    YVariable* shared = var("shared");
    shared->makeAlias();
    shared->set(var("a"));
    EXPECT_EQ(held(shared), original);
    EXPECT_EQ(shared->getAlias(), 1);
    EXPECT_EQ(ScriptableProbe::alive, 2);
    YVariable* c = var("c");
    c->set(shared);
    EXPECT_EQ(held(c), original);
    EXPECT_EQ(c->getAlias(), 1);
    shared->set(nullptr, -2);
    EXPECT_EQ(ScriptableProbe::alive, 2);
    EXPECT_EQ(shared->getAlias(), 0);
    EXPECT_EQ(held(var("a")), original);
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
    v->drop(0);  // forget without deleting
    EXPECT_EQ(ScriptableProbe::alive, 1);
    EXPECT_EQ(v->getForm(), yvsNone);
    delete kept;
    v->set(new ScriptableProbe(4));
    v->set(static_cast<KvScriptableObject*>(nullptr));
    EXPECT_EQ(ScriptableProbe::alive, 0);
    EXPECT_EQ(text(v), "v");
    // A marked alias that held a text stays an alias when given an object.
    v->set("words", -1);
    v->makeAlias();
    v->set(kept = new ScriptableProbe(5));
    EXPECT_EQ(v->getAlias(), 1);
    v->set(nullptr, -2);
    EXPECT_EQ(ScriptableProbe::alive, 1);
    delete kept;
}

TEST_F(References, AnObjectIsReadThroughItsPath) {
    auto* object = new ScriptableProbe(1);
    heap.pile("sprite.2", object);
    assign("k", "2");
    YVariable* path = var("sprite.k");
    EXPECT_EQ(held(path), object);
    KvScriptableObject* seen = nullptr;
    path->resolve(seen);
    EXPECT_EQ(seen, object);
    EXPECT_EQ(heap.getSob("sprite.k", 0), object);
    char buffer[kYValueBufferSize];
    EXPECT_EQ(path->value(buffer), heap.index("sprite.2", 8));  // the value of another entry
    assign("long", std::string(130, 'x').c_str());
    YVariable* tooLong = var("sprite.long");  // resolved beyond 127 characters: refused
    int length = 1;
    EXPECT_EQ(tooLong->resolveName(length), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(tooLong->getAssociate(), -1);
}

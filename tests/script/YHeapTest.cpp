// The heap: life cycle, entering entries, clone bookkeeping, objects, walks
// and capacity.
#include "ScriptTestSupport.h"

#include <set>

using Heap = ScriptTest;

TEST_F(Heap, InitMakesThePredefinedEntries) {
    EXPECT_EQ(heap.size(), 3);
    EXPECT_EQ(heap.getCapacity(), 131);
    EXPECT_STREQ(heap[kYSystem]->getName(), "SYSTEM");
    EXPECT_EQ(text(heap[kYSystem]), "WIN");
    EXPECT_EQ(heap[kYSystem]->getAlias(), 1);
    EXPECT_STREQ(heap[kYReceiver]->getName(), "RECEIVER");
    EXPECT_EQ(heap[kYReceiver]->getAlias(), -1);
    EXPECT_EQ(heap[kYReceiver]->getForm(), yvsNone);
    EXPECT_EQ(heap.index("RESULT", 6), kYResult);
    EXPECT_EQ(heap[kYResult]->getForm(), yvsNone);

    assign("x", "1");
    YHeapAccess::init();  // a second init changes nothing
    EXPECT_EQ(heap.size(), 4);
    EXPECT_EQ(text(var("x")), "1");
}

TEST_F(Heap, AClosedHeapDoesNothing) {
    YHeapAccess::kill();
    EXPECT_FALSE(heap.isAlive());
    EXPECT_TRUE(!heap);
    EXPECT_EQ(heap.pile("x", 1, "1"), 0);
    auto* object = new ScriptableProbe(1);
    EXPECT_EQ(heap.pile("x", object), 0);
    EXPECT_STREQ(heap.pileClone("x", object), "");
    delete object;
    EXPECT_EQ(heap.clone(0), 0);
    EXPECT_EQ(heap[kYSystem], nullptr);
    EXPECT_EQ(heap["x"], nullptr);
    EXPECT_EQ(heap.index("SYSTEM", 6), -1);
    EXPECT_FALSE(heap.getSobHandle("x").isValid());
    EXPECT_EQ(heap.getSob("x", 0), nullptr);
    EXPECT_EQ(heap.getFirstProcName(), nullptr);
    EXPECT_EQ(heap.getFirstVarName(yvsNone), nullptr);
    EXPECT_EQ(heap.getFirstClone(0), nullptr);
}

TEST_F(Heap, PilingAnExistingNameReturnsItsIndexAndLeavesItsValue) {
    const int first = heap.pile("score", 5, "10");
    EXPECT_EQ(first, 3);
    EXPECT_EQ(heap.pile("score", 5, "20"), first);
    EXPECT_EQ(text(heap[first]), "10");
    EXPECT_EQ(heap.pile("scoreboard", 5, "30"), first);  // only length bytes count
    EXPECT_EQ(heap.index("score", 5), first);
    EXPECT_EQ(heap.index("scor", 4), -1);
}

TEST_F(Heap, TheTableGrowsBy128Slots) {
    char name[16];
    for (int i = 0; heap.size() < 131; ++i) {
        std::snprintf(name, sizeof name, "v%d", i);
        heap.pile(name, static_cast<int>(std::strlen(name)), "x");
    }
    EXPECT_EQ(heap.getCapacity(), 259);  // the free slot at count is always there
    for (int i = 0; i < heap.size(); ++i) ASSERT_NE(heap[i], nullptr);
    EXPECT_EQ(heap[heap.size()], nullptr);
}

TEST_F(Heap, ABaseNameEnteredAfterItsClonesKnowsThem) {
    const int one = heap.pile("x.1", 3, "a");
    heap.pile("x.3", 3, "c");
    heap.pile("x.a.7", 5, "not a clone");
    YVariable* x = var("x");
    EXPECT_EQ(x->getOther(), one);
    EXPECT_EQ(x->clones(), 3);
    const int next = heap.clone(heap.index("x", 1));
    EXPECT_STREQ(heap[next]->getName(), "x.4");
}

TEST_F(Heap, CloningRecordsTheFirstCloneAndCounts) {
    const int y = heap.pile("y", 1, "base");
    EXPECT_EQ(heap[y]->clones(), 0);
    const int first = heap.clone(y);
    EXPECT_STREQ(heap[first]->getName(), "y.1");
    EXPECT_EQ(heap[first]->getKind(), yvtVariable);
    EXPECT_EQ(heap[first]->getForm(), yvsNone);
    EXPECT_EQ(heap[y]->getOther(), first);
    const int second = heap.clone(y);
    EXPECT_STREQ(heap[second]->getName(), "y.2");
    EXPECT_EQ(heap[y]->clones(), 2);
    EXPECT_EQ(heap[y]->getOther(), first);

    // The clone walk starts at the first clone; a caller takes clones() entries.
    std::vector<std::string> walked;
    YVariable* clone = heap.getFirstClone(y);
    for (int i = 0; i < heap[y]->clones() && clone; ++i, clone = heap.getNextClone()) walked.push_back(clone->getName());
    EXPECT_EQ(walked, (std::vector<std::string>{"y.1", "y.2"}));
    EXPECT_EQ(heap.getNextClone(), nullptr);  // the cursor reached count
    EXPECT_EQ(heap.getFirstClone(heap.pile("lonely", 6, "z")), nullptr);
}

TEST_F(Heap, ACloneNameThatExistsIsReused) {
    const int z = heap.pile("z", 1, "base");
    const int existing = heap.pile("z.1", 3, "taken");
    // z was entered before z.1, so it has no clones yet: its first clone is
    // recorded as the next free index although z.1 is found and returned.
    EXPECT_EQ(heap.clone(z), existing);
    EXPECT_EQ(text(heap[existing]), "taken");
}

TEST_F(Heap, PileCloneNamesAnObjectUnderANewCloneAndOwnsIt) {
    auto* first = new ScriptableProbe(1);
    auto* second = new ScriptableProbe(2);
    EXPECT_STREQ(heap.pileClone("sprite", first), "sprite.1");
    EXPECT_STREQ(heap.pileClone("sprite", second), "sprite.2");
    int at = -1;
    EXPECT_STREQ(heap.getName(second, &at), "sprite.2");
    EXPECT_EQ(at, heap.index("sprite.2", 8));
    EXPECT_EQ(heap[at]->getAlias(), 0);
    EXPECT_EQ(heap.getName(reinterpret_cast<KvScriptableObject*>(&at), &at), nullptr);
}

TEST_F(Heap, GetNameSkipsEntriesThatDoNotOwnTheObject) {
    auto* object = new ScriptableProbe(1);
    YVariable* alias = var("alias");
    alias->makeAlias();
    alias->set(object);
    EXPECT_EQ(heap.getName(object, nullptr), nullptr);
    heap.pile("owner", object);
    EXPECT_STREQ(heap.getName(object, nullptr), "owner");
}

TEST_F(Heap, HandlesAndTakingObjects) {
    auto* object = new ScriptableProbe(1);
    const int at = heap.pile("ball", object);
    const KvSobHandle handle = heap.getSobHandle("ball");
    EXPECT_EQ(handle.getIndex(), at);
    int handled = 0;
    EXPECT_EQ(heap.getSob(handle, &handled, 0), object);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(heap[at]->getAlias(), 0);

    heap[at]->set("moved", -1);  // an assignment clears the handled flag (and deletes the owned object)
    EXPECT_EQ(heap[at]->getHandled(), 0);
    EXPECT_EQ(ScriptableProbe::alive, 0);

    auto* taken = new ScriptableProbe(2);
    heap.pile("ball", taken);
    EXPECT_EQ(heap.getSob(handle, nullptr, 1), taken);
    EXPECT_EQ(heap[at]->getAlias(), 1);  // the heap no longer owns it
    heap[at]->set(nullptr, -2);
    EXPECT_EQ(ScriptableProbe::alive, 1);
    EXPECT_EQ(heap[at]->getAlias(), 0);  // what it holds next is its own again
    delete taken;

    EXPECT_FALSE(heap.getSobHandle("nothing").isValid());
    EXPECT_EQ(heap.getSob(KvSobHandle(-1), &handled, 0), nullptr);
    EXPECT_EQ(handled, 0);
}

TEST_F(Heap, AHandleOnAPathIsTheHandleOfTheVariableItResolvesTo) {
    assign("n", "2");
    var("ball.n");
    EXPECT_FALSE(heap.getSobHandle("ball.n").isValid());  // ball.2 not yet in the heap
    auto* object = new ScriptableProbe(1);
    const int at = heap.pile("ball.2", object);
    const KvSobHandle handle = heap.getSobHandle("ball.n");
    EXPECT_EQ(handle.getIndex(), at);
    EXPECT_EQ(heap[at]->getHandled(), 1);
    EXPECT_EQ(heap.getSob("ball.n", 1), object);
    EXPECT_EQ(heap[at]->getAlias(), 1);
    delete object;
}

TEST_F(Heap, DroppingAnObjectHeldByAnOwnerAndAnAliasDeletesItOnce) {
    auto* object = new ScriptableProbe(1);
    heap.pile("owner", object);
    YVariable* alias = var("alias");
    alias->makeAlias();
    alias->set(var("owner"));
    EXPECT_EQ(heap.drop(object, 1), 1);
    EXPECT_EQ(ScriptableProbe::alive, 0);
    EXPECT_EQ(var("owner")->getForm(), yvsNone);
    EXPECT_EQ(alias->getForm(), yvsNone);
    EXPECT_EQ(heap.drop(object, 1), 0);  // nobody holds it any more
}

TEST_F(Heap, DroppingWithoutDeletingForgetsTheObject) {
    auto* object = new ScriptableProbe(1);
    heap.pile("owner", object);
    EXPECT_EQ(heap.drop(object, 0), 1);
    EXPECT_EQ(ScriptableProbe::alive, 1);
    EXPECT_EQ(text(var("owner")), "owner");
    delete object;
}

TEST_F(Heap, DroppingAnObjectFirstHeldByAReferenceReportsIt) {
    auto* object = new ScriptableProbe(1);
    heap[kYReceiver]->set(object);  // RECEIVER comes before every other entry
    heap.pile("owner", object);
    EXPECT_EQ(heap.drop(object, 1), 0);
    EXPECT_EQ(heap[kYReceiver]->getForm(), yvsNone);
    EXPECT_EQ(var("owner")->getForm(), yvsNone);
    EXPECT_EQ(ScriptableProbe::alive, 1);  // the reference could not delete it; the owner forgot it
    delete object;
}

TEST_F(Heap, DropTrinketsClearsEveryOwnedObject) {
    heap.pile("a", new ScriptableProbe(1));
    heap.pile("b", new ScriptableProbe(2));
    auto* shared = new ScriptableProbe(3);
    YVariable* alias = var("c");
    alias->makeAlias();
    alias->set(shared);
    YHeapAccess::dropTrinkets(1);
    EXPECT_EQ(ScriptableProbe::alive, 1);
    EXPECT_EQ(alias->getForm(), yvsObject);
    delete shared;
}

TEST_F(Heap, TheVariableWalkFiltersByFormAndTellsTheObject) {
    auto* owned = new ScriptableProbe(1);
    auto* shared = new ScriptableProbe(2);
    heap.pile("sprite", owned);
    assign("count", "3");
    assign("label", "text");
    assign("proc", "+12");  // a procedure is no variable
    YVariable* alias = var("view");
    alias->makeAlias();
    alias->set(shared);
    var("unset");
    heap[kYReceiver]->set(owned);
    heap[kYResult]->set("done", -1);

    std::vector<std::string> objects;
    for (const char* name = heap.getFirstVarName(yvsObject); name; name = heap.getNextVarName()) {
        objects.push_back(name);
        EXPECT_EQ(YHeap::getTheTrinket(), owned);
    }
    EXPECT_EQ(objects, std::vector<std::string>{"sprite"});

    std::vector<std::string> all;
    for (const char* name = heap.getFirstVarName(yvsNone); name; name = heap.getNextVarName()) all.push_back(name);
    EXPECT_EQ(all, (std::vector<std::string>{"RESULT", "sprite", "count", "label"}));

    EXPECT_STREQ(heap.getFirstVarName(yvsText), "RESULT");
    EXPECT_EQ(YHeap::getTheTrinket(), nullptr);
    heap[kYReceiver]->set(nullptr, -3);
    delete shared;
}

TEST_F(Heap, TheProcedureWalkFindsEntriesWhoseTextBeginsWithPlus) {
    assign("start", "+1");
    assign("number", "12");
    assign("finish", "+40");
    std::vector<std::string> names;
    for (const char* name = heap.getFirstProcName(); name; name = heap.getNextProcName()) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"start", "finish"}));
}

TEST_F(Heap, ReadingByNameMakesTheEntryWhenMissing) {
    EXPECT_STREQ(heap["fresh"], "fresh");
    EXPECT_EQ(heap.index("fresh", 5), 3);
    assign("fresh", "set");
    EXPECT_STREQ(heap["fresh"], "set");
    EXPECT_EQ(heap.size(), 4);
}

TEST_F(Heap, EntriesOfDifferentKindsWithTheSameNameCoexist) {
    const int path = heap.pile("a.b", 3, "ignored");
    const int plain = YHeapAccess::pile("a.b", 3, yvtVariable);
    EXPECT_NE(path, plain);
    EXPECT_EQ(heap[path]->getKind(), yvtPath);
    EXPECT_EQ(heap[plain]->getKind(), yvtVariable);
    EXPECT_EQ(YHeapAccess::pile("a.b", 3, yvtVariable), plain);
    EXPECT_EQ(YHeapAccess::pile("a.bc", 3, yvtVariable), plain);  // compared over length bytes
}

TEST_F(Heap, TheHeapHoldsAtMost32767Entries) {
    while (heap.size() < kYMaxEntries) ASSERT_GE(YHeapAccess::append(YHeapAccess::plain("filler")), 0);
    EXPECT_EQ(heap.size(), kYMaxEntries);
    YVariable* extra = YHeapAccess::plain("extra");
    EXPECT_EQ(YHeapAccess::append(extra), -1);
    delete extra;
    EXPECT_EQ(heap.pile("new", 3, "1"), -1);
    auto* object = new ScriptableProbe(1);
    EXPECT_EQ(heap.pile("other", object), -1);
    EXPECT_STREQ(heap.pileClone("filler", object), "");
    delete object;
    EXPECT_EQ(heap["missing"], nullptr);
    EXPECT_EQ(heap.clone(3), -1);
    EXPECT_STREQ(heap.polish("unknown+1"), "");
    EXPECT_EQ(YVariable::getError(), yerrHeapFull);
    // Existing names are still found.
    YVariable::setError(yerrNone);
    EXPECT_EQ(heap.pile("filler", 6, "x"), 3);
    EXPECT_EQ(heap.size(), kYMaxEntries);
}

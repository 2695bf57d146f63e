// The heap: life cycle, entering entries, clone bookkeeping, objects, walks
// and capacity. Entries 0 to 2 are SYSTEM, RECEIVER and RESULT; the table
// grows by 128 slots and always keeps a free slot at its count.
#include "ScriptTestSupport.h"

#include <functional>

using Heap = ScriptTest;

namespace {

std::vector<std::string> names(const char* first, const std::function<const char*()>& next) {
    std::vector<std::string> all;
    for (const char* name = first; name; name = next()) all.push_back(name);
    return all;
}

}  // namespace

TEST_F(Heap, InitMakesThePredefinedEntriesOnce) {
    EXPECT_EQ(heap.size(), 3);
    EXPECT_EQ(heap.getCapacity(), 131);
    EXPECT_EQ(std::string(heap[kYSystem]->getName()) + " " + shown(heap[kYSystem]), "SYSTEM WIN|text|a1|h0");
    EXPECT_EQ(std::string(heap[kYReceiver]->getName()) + " " + shown(heap[kYReceiver]), "RECEIVER RECEIVER|none|a-1|h0");
    EXPECT_EQ(heap.index("RESULT", 6), kYResult);
    EXPECT_EQ(heap[kYResult]->getForm(), yvsNone);
    assign("x", "1");
    YHeapAccess::init();  // a second init changes nothing
    EXPECT_EQ(heap.size(), 4);
    EXPECT_EQ(text(var("x")), "1");
}

TEST_F(Heap, AClosedHeapDoesNothing) {
    YHeapAccess::kill();
    EXPECT_TRUE(!heap && !heap.isAlive());
    auto* object = new ScriptableProbe(1);
    EXPECT_EQ((std::vector<int>{heap.pile("x", 1, "1"), heap.pile("x", object), heap.clone(0)}), (std::vector<int>{0, 0, 0}));
    EXPECT_STREQ(heap.pileClone("x", object), "");
    delete object;
    EXPECT_TRUE(!heap[kYSystem] && !heap["x"] && !heap.getSob("x", 0) && !heap.getFirstProcName() &&
                !heap.getFirstVarName(yvsNone) && !heap.getFirstClone(0));
    EXPECT_EQ(heap.index("SYSTEM", 6), -1);
    EXPECT_FALSE(heap.getSobHandle("x").isValid());
}

// Names compare over the length given; entries of different kinds with the
// same name coexist; reading by name makes the entry when missing.
TEST_F(Heap, PilingFindsAnExistingNameOfItsKind) {
    const int first = heap.pile("score", 5, "10");
    EXPECT_EQ(first, 3);
    EXPECT_EQ(heap.pile("score", 5, "20"), first);
    EXPECT_EQ(text(heap[first]), "10");
    EXPECT_EQ(heap.pile("scoreboard", 5, "30"), first);
    EXPECT_EQ(heap.index("score", 5), first);
    EXPECT_EQ(heap.index("scor", 4), -1);
    const int path = heap.pile("a.b", 3, "ignored");
    const int plain = YHeapAccess::pile("a.bc", 3, yvtVariable);
    EXPECT_NE(path, plain);
    EXPECT_EQ(heap[path]->getKind(), yvtPath);
    EXPECT_EQ(heap[plain]->getKind(), yvtVariable);
    EXPECT_EQ(YHeapAccess::pile("a.b", 3, yvtVariable), plain);
    EXPECT_STREQ(heap["fresh"], "fresh");
    EXPECT_EQ(heap.index("fresh", 5), plain + 1);
    assign("fresh", "set");
    EXPECT_STREQ(heap["fresh"], "set");
    EXPECT_EQ(heap.size(), plain + 2);
}

TEST_F(Heap, TheTableGrowsBy128Slots) {
    for (int i = 0; heap.size() < 131; ++i) {
        const std::string name = "v" + std::to_string(i);
        heap.pile(name.c_str(), static_cast<int>(name.size()), "x");
    }
    EXPECT_EQ(heap.getCapacity(), 259);
    for (int i = 0; i < heap.size(); ++i) ASSERT_NE(heap[i], nullptr);
    EXPECT_EQ(heap[heap.size()], nullptr);
}

// A base entered after its clones knows them (not x.a.7); a clone name that
// exists is reused; the clone walk starts at the first clone and a caller
// takes clones() entries.
TEST_F(Heap, CloningRecordsTheFirstCloneAndCounts) {
    const int one = heap.pile("x.1", 3, "a");
    heap.pile("x.3", 3, "c");
    heap.pile("x.a.7", 5, "not a clone");
    EXPECT_EQ(var("x")->getOther(), one);
    EXPECT_EQ(var("x")->clones(), 3);
    EXPECT_STREQ(heap[heap.clone(heap.index("x", 1))]->getName(), "x.4");

    const int y = heap.pile("y", 1, "base");
    EXPECT_EQ(heap[y]->clones(), 0);
    const int first = heap.clone(y);
    EXPECT_EQ(std::string(heap[first]->getName()) + " " + shown(heap[first]), "y.1 y.1|none|a0|h0");
    EXPECT_EQ(heap[first]->getKind(), yvtVariable);
    EXPECT_STREQ(heap[heap.clone(y)]->getName(), "y.2");
    EXPECT_EQ(heap[y]->clones(), 2);
    EXPECT_EQ(heap[y]->getOther(), first);
    std::vector<std::string> walked;
    YVariable* clone = heap.getFirstClone(y);
    for (int i = 0; i < heap[y]->clones() && clone; ++i, clone = heap.getNextClone()) walked.push_back(clone->getName());
    EXPECT_EQ(walked, (std::vector<std::string>{"y.1", "y.2"}));
    EXPECT_EQ(heap.getNextClone(), nullptr);  // the cursor reached count
    EXPECT_EQ(heap.getFirstClone(heap.pile("lonely", 6, "z")), nullptr);

    // z was entered before z.1, so it has no clones yet: its first clone is
    // recorded as the next free index although z.1 is found and returned.
    const int z = heap.pile("z", 1, "base");
    const int existing = heap.pile("z.1", 3, "taken");
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
    auto* shared = new ScriptableProbe(3);  // a name is only an owner's
    YVariable* alias = var("alias");
    alias->makeAlias();
    alias->set(shared);
    EXPECT_EQ(heap.getName(shared, nullptr), nullptr);
    heap.pile("owner", shared);
    EXPECT_STREQ(heap.getName(shared, nullptr), "owner");
}

TEST_F(Heap, HandlesAndTakingObjects) {
    auto* object = new ScriptableProbe(1);
    const int at = heap.pile("ball", object);
    const KvSobHandle handle = heap.getSobHandle("ball");
    EXPECT_EQ(handle.getIndex(), at);
    int handled = 0;
    EXPECT_EQ(heap.getSob(handle, &handled, 0), object);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(shown(heap[at]), std::string(1, kYObjectMarker) + "|object|a0|h1");
    heap[at]->set("moved", -1);  // an assignment clears the handled flag (and deletes the owned object)
    EXPECT_EQ(shown(heap[at]), "moved|text|a0|h0");
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

    // A handle on a path is the handle of the variable it resolves to.
    assign("n", "2");
    var("ball.n");
    EXPECT_FALSE(heap.getSobHandle("ball.n").isValid());  // ball.2 not yet in the heap
    const int two = heap.pile("ball.2", object = new ScriptableProbe(3));
    EXPECT_EQ(heap.getSobHandle("ball.n").getIndex(), two);
    EXPECT_EQ(heap.getSob("ball.n", 1), object);
    EXPECT_EQ(shown(heap[two]), std::string(1, kYObjectMarker) + "|object|a1|h1");
    delete object;
}

// Dropping clears every holder and deletes the object once, unless a
// reference (RECEIVER, before every other entry) holds it first.
TEST_F(Heap, DroppingAnObjectClearsItsHolders) {
    auto* object = new ScriptableProbe(1);
    heap.pile("owner", object);
    YVariable* alias = var("alias");
    alias->makeAlias();
    alias->set(var("owner"));
    EXPECT_EQ(heap.drop(object, 1), 1);
    EXPECT_EQ(ScriptableProbe::alive, 0);
    EXPECT_EQ(shown(var("owner")) + " " + shown(alias), "owner|none|a0|h0 alias|none|a0|h0");
    EXPECT_EQ(heap.drop(object, 1), 0);  // nobody holds it any more

    heap.pile("owner", object = new ScriptableProbe(2));
    EXPECT_EQ(heap.drop(object, 0), 1);  // forgets without deleting
    EXPECT_EQ(ScriptableProbe::alive, 1);
    EXPECT_EQ(text(var("owner")), "owner");

    heap[kYReceiver]->set(object);
    heap.pile("owner", object);
    EXPECT_EQ(heap.drop(object, 1), 0);
    EXPECT_EQ(heap[kYReceiver]->getForm() + var("owner")->getForm(), yvsNone);
    EXPECT_EQ(ScriptableProbe::alive, 1);  // the reference could not delete it; the owner forgot it

    heap.pile("a", new ScriptableProbe(4));  // dropping every owned object spares the aliases'
    alias->makeAlias();
    alias->set(object);
    YHeapAccess::dropTrinkets(1);
    EXPECT_EQ(ScriptableProbe::alive, 1);
    EXPECT_EQ(alias->getForm(), yvsObject);
    delete object;
}

// The variable walk filters by form (a procedure, an alias, an unset entry
// and RECEIVER are no variables) and tells the object; the procedure walk
// finds texts beginning with "+".
TEST_F(Heap, WalksFindVariablesAndProcedures) {
    auto* owned = new ScriptableProbe(1);
    auto* shared = new ScriptableProbe(2);
    heap.pile("sprite", owned);
    assign("count", "3");
    assign("label", "text");
    assign("proc", "+12");
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
    EXPECT_EQ(names(heap.getFirstVarName(yvsNone), [&] { return heap.getNextVarName(); }),
              (std::vector<std::string>{"RESULT", "sprite", "count", "label"}));
    EXPECT_STREQ(heap.getFirstVarName(yvsText), "RESULT");
    EXPECT_EQ(YHeap::getTheTrinket(), nullptr);
    assign("finish", "+40");
    EXPECT_EQ(names(heap.getFirstProcName(), [&] { return heap.getNextProcName(); }), (std::vector<std::string>{"proc", "finish"}));
    heap[kYReceiver]->set(nullptr, -3);
    delete shared;
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
    YVariable::setError(yerrNone);  // existing names are still found
    EXPECT_EQ(heap.pile("filler", 6, "x"), 3);
    EXPECT_EQ(heap.size(), kYMaxEntries);
}

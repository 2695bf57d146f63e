// The assignment statement reads its source once where a second read could
// change nothing, and twice (as it always has) where the read draws random
// digits, so the sequence of random digits scripts see stays the same.
#include "tests/script/ThreadTestSupport.h"

namespace {

using Assignments = ThreadTest;

TEST_F(Assignments, ASourceThatDrawsRandomDigitsIsReadTwice) {
    const struct {
        const char* statement;
        unsigned long draws;
    } cases[] = {{"x=?", 2}, {"x=?+a", 2}, {"x=s|?|1", 2}, {"x=a+1", 0}, {"x=a", 0}, {"x=s|a|1", 0}};
    for (const auto& c : cases) {
        auto thread = start(std::string("a=1\ns=abcdef\n") + c.statement + "\nwait\n");
        passes(2);
        const unsigned long before = YVariable::getRandomDraws();
        passes(1);
        EXPECT_EQ(YVariable::getRandomDraws() - before, c.draws) << c.statement;
        EXPECT_GT(YHeap::theHeap[YHeap::theHeap.index("x", 1)]->size(), 0) << c.statement;
    }
}

// The target of an arithmetic assignment is found as for any assignment: a
// path names the variable its parts make, and an object held there is dropped.
TEST_F(Assignments, ArithmeticReachesThePathsVariableAndDropsItsObject) {
    auto thread = start("i=2\nslot.2=Gadget\nslot.i=i*3+1\nsay slot.2\nwait\n");
    passes(5);
    EXPECT_EQ(debug(), "7\n");
    EXPECT_EQ(ScriptableProbe::alive, 0);
}

}  // namespace

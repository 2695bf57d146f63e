// Reading a value allocates nothing: texts that are not an entry's own go to
// the caller's buffer or the two static value buffers. This program counts
// every allocation made through operator new.
#include "ScriptTestSupport.h"

#include <cstdlib>
#include <utility>
#include <new>

namespace {
long allocations = 0;
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

TEST_F(ScriptTest, ReadingValuesAllocatesNothing) {
    assign("s", "abcdef");
    assign("i", "2");
    assign("n", "0.5");
    heap.pile("ball", new ScriptableProbe(1));
    YVariable* entries[] = {var("s"),     var("unset"),    var("42"),   var("'quoted'"), var("?r"),
                            var("s|i|3"), var("s||2"),     var("ball"), var("slot.i"),   var("n")};
    entries[8]->getAssociate();  // a path enters its plain variable once, on first resolution
    heap[kYReceiver]->set(var("ball"));

    const long before = allocations;
    for (YVariable* entry : entries) {
        int length = 0;
        entry->value(length);
        char buffer[kYValueBufferSize];
        entry->value(buffer);
        long whole = 0;
        entry->value(&whole);
        double real = 0;
        entry->value(&real);
        KvScriptableObject* object = nullptr;
        entry->value(object);
        entry->resolve();
        entry->resolve(object);
        int nameLength = 0;
        entry->resolveName(nameLength);
    }
    int length = 0;
    heap[kYReceiver]->value(length);
    EXPECT_EQ(allocations - before, 0);

    // The counter sees allocations: storing a text longer than the last one makes one.
    var("s")->set("a longer text than before", -1);
    EXPECT_GT(allocations - before, 0);
}

// Evaluating allocates nothing once the evaluator's pool of value buffers
// has served the deepest evaluation, and assigning the result to a variable
// whose text it fits allocates nothing either.
TEST_F(ScriptTest, EvaluatingAllocatesNothingOnceWarm) {
    for (const auto& [name, value] : {std::pair{"a", "12"}, {"b", "7.5"}, {"c", "3"}, {"d", "10"}, {"e", "4"},
                                      {"s", "abc"}, {"t", "'quoted'"}})
        assign(name, value);
    const char* sources[] = {"a+b*c-d/e", "s+s+t", "`a+1", "~s*2", "s|2|2+a", "(a=12)+(s<t)", "1/3*a"};
    YVariable* x = var("x");
    for (const char* source : sources) {
        YVariable* entry = expression(source);
        ASSERT_NE(entry, nullptr) << source;
        x->set(entry);  // warms the pool and x's text
        x->set("a text longer than every result", -1);
        const long before = allocations;
        for (int i = 0; i < 3; ++i) x->set(entry);
        EXPECT_EQ(allocations - before, 0) << source;
        EXPECT_NE(text(x), source) << "the expression failed";
    }
}

// Speed of reading compiled expressions, as the interpreter reads an operand
// word: an arithmetic expression over five variables and a concatenation of
// two texts, each evaluated a million times. The reported time is the time
// per evaluation.
#include "script/YHeap.h"
#include "script/YVariable.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

// The heap's life cycle is normally driven by script threads.
struct YHeapAccess {
    static void reset() { YHeap::theHeap.reset(); }
    static void kill() { YHeap::theHeap.kill(); }
    // Analyses a word and enters it as the compiler does.
    static YVariable* expression(const char* text) {
        YHeap& heap = YHeap::theHeap;
        const int length = static_cast<int>(std::strlen(text));
        YVariable::setError(yerrNone);
        if (heap.polish(text, length)[0] != 's') return nullptr;
        return heap[heap.pile(text, length, yvtExpression)];
    }
};

namespace {

constexpr int kEvaluations = 1000000;

void evaluateMillionTimes(benchmark::State& state, const char* source, const char* expected) {
    YVariable* expression = YHeapAccess::expression(source);
    if (!expression) {
        state.SkipWithError("the expression did not analyse");
        return;
    }
    int length = 0;
    if (std::string(expression->value(length)) != expected) {
        state.SkipWithError("wrong value");
        return;
    }
    for (auto _ : state) {
        const char* value = expression->value(length);
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
    YHeapAccess::kill();
}

void Arithmetic(benchmark::State& state) {
    YHeapAccess::reset();
    YHeap& heap = YHeap::theHeap;
    heap.pile("a", 1, "12");
    heap.pile("b", 1, "7.5");
    heap.pile("c", 1, "3");
    heap.pile("d", 1, "10");
    heap.pile("e", 1, "4");
    evaluateMillionTimes(state, "a+b*c-d/e", "32");
}

void Concatenation(benchmark::State& state) {
    YHeapAccess::reset();
    YHeap& heap = YHeap::theHeap;
    heap.pile("first", 5, "Welcome to ");
    heap.pile("second", 6, "the harbour");
    evaluateMillionTimes(state, "first+second", "Welcome to the harbour");
}

}  // namespace

BENCHMARK(Arithmetic)->Iterations(kEvaluations)->Unit(benchmark::kNanosecond);
BENCHMARK(Concatenation)->Iterations(kEvaluations)->Unit(benchmark::kNanosecond);

BENCHMARK_MAIN();

// The expression analyser and evaluator: any text is analysed into code within
// its limits or refused with an error code; evaluating what it made never
// reads or writes outside the heap's buffers.
#include <cstdint>
#include <string>

#include "script/YHeap.h"
#include "script/YVariable.h"

struct YHeapAccess {
    static void reset() { YHeap::theHeap.reset(); }
    static int pile(const char* name, int length, YVT kind) {
        return YHeap::theHeap.pile(name, length, kind);
    }
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    YHeapAccess::reset();
    const std::string text(reinterpret_cast<const char*>(data), size);
    YVariable::setError(0);
    const char* code = YHeap::theHeap.polish(text.c_str(), static_cast<int>(text.size()));
    if (code && code[0] == 's' && YVariable::getError() == 0) {
        const int index = YHeapAccess::pile(text.c_str(), static_cast<int>(text.size()), yvtExpression);
        if (index > 0) {
            int length = 0;
            YHeap::theHeap[index]->value(length);
        }
    }
    return 0;
}

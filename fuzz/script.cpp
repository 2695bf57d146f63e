// Script text and compiled script files: any bytes compile, load or are
// refused with a message, never reading or writing outside the thread's
// tables. The input arrives through the URL opener; every include the input
// names gets a one-line script, so no input can end the process by naming a
// file that is missing.
#include <cstdint>
#include <cstring>

#include "framework/KvIStream.h"
#include "script/YThread.h"

namespace {
const uint8_t* input = nullptr;
size_t inputSize = 0;
bool served = false;

KvIStream* open(const char*) {
    if (!served) {
        served = true;
        return new KvIStreamMemory(input, static_cast<long>(inputSize));
    }
    static const char kIncluded[] = "included = 1\r";
    return new KvIStreamMemory(kIncluded, static_cast<long>(std::strlen(kIncluded)));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    input = data;
    inputSize = size;
    served = false;
    // A name no file has, so the opener is asked.
    YThread thread("\x01 fuzz input \x01", open);
    return 0;
}

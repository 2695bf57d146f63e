// Version string and byte-order functions.
#include "util/QrnSys.h"

namespace {
constexpr char kVersion[] = "1.1b - " __DATE__ " " __TIME__;

void swapBytes(unsigned char* a, unsigned char* b) {
    const unsigned char t = *a;
    *a = *b;
    *b = t;
}
}  // namespace

const char* QrnSysGetVersion() { return kVersion; }

void SwapWord(void* p) { SwapNWords(p, 1); }

void SwapNWords(void* p, int n) {
    unsigned char* b = static_cast<unsigned char*>(p);
    for (int i = 0; i < n; ++i, b += 2) swapBytes(b, b + 1);
}

void SwapN32s(void* p, int n) {
    unsigned char* b = static_cast<unsigned char*>(p);
    for (int i = 0; i < n; ++i, b += 4) {
        swapBytes(b, b + 3);
        swapBytes(b + 1, b + 2);
    }
}

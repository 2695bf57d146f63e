// Version string and byte-order functions.
#include "util/QrnSys.h"

namespace {
// The release tag, then the build date and time of that release (not of this
// build): hosts compare the whole text.
constexpr char kVersion[] = "1.1b - Sep 15 2002 08:38:32";

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

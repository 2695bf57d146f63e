// Palette files: any bytes fill the 256 colours or leave them as they were,
// never reading past the file.
#include <cstdint>

#include "anim/KvAnimation.h"
#include "framework/KvIStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KvColor colors[kAOPaletteEntries] = {};
    KvAnimation::loadPalette(new KvIStreamMemory(data, static_cast<long>(size)), colors);
    return 0;
}

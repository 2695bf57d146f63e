// Variable records of compiled scripts: any bytes, in either byte order, are
// read or refused without reading past the data.
#include <cstdint>

#include "script/YHeap.h"
#include "script/YVariable.h"

struct YHeapAccess {
    static YVariable* fresh() { return new YVariable(); }
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int swap = data[0] & 1;
    const unsigned char* cursor = data + 1;
    const unsigned char* end = data + size;
    YVariable* v = YHeapAccess::fresh();
    // Read records back to back, as the loader of compiled scripts does.
    while (cursor < end && v->read(cursor, end, swap)) {
        int length = 0;
        v->value(length);
    }
    delete v;
    return 0;
}

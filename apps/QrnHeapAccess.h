// The script heap as the tools drive it without a script thread: they read
// compiled scripts into the heap of their own process, which nothing else
// uses, so opening it and making loose entries is all they need.
#pragma once

#include "script/YHeap.h"
#include "script/YVariable.h"

struct YHeapAccess {
    static void open() { YHeap::theHeap.init(); }
    // An entry outside the heap, as the loader makes before reading a record.
    static YVariable* fresh() { return new YVariable(); }
};

// The script heap as the tools drive it without a script thread: they read
// compiled scripts into the heap of their own process, which nothing else
// uses, so opening it is all they need.
#pragma once

#include "script/YHeap.h"

struct YHeapAccess {
    static void open() { YHeap::theHeap.init(); }
};

// Interruptions: times when the application could not run (the system took
// the sound device away, the process was stopped, a modal loop ran). Whoever
// keeps time of its own (a trinket window's lost time) puts a link in
// interruptedList; interrupted(ms) calls every link with a pointer to the
// length of the interruption (const unsigned long*, milliseconds).
// The list does not own its links.
#pragma once

#include "framework/KvLink.h"
#include "framework/KvList.h"

class KvInterruptions {
public:
    static KvList<KvLink> interruptedList;
    // Report an interruption of ms milliseconds. Links may remove themselves
    // or others while they are called.
    static void interrupted(unsigned long ms);
};

// The name host programs know this list by.
using SoundManager = KvInterruptions;

// The interruption list and its report.
#include "framework/KvInterruptions.h"

KvList<KvLink> KvInterruptions::interruptedList;

void KvInterruptions::interrupted(unsigned long ms) {
    const unsigned long length = ms;
    KvList<KvLink>::Cursor walk(interruptedList);
    for (KvLink* link = walk.first(); link; link = walk.next()) (*link)(&length);
}

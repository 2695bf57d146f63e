// The interruption list and its report.
#include "framework/SoundManager.h"

KvList<KvLink> SoundManager::interruptedList;

void SoundManager::interrupted(unsigned long ms) {
    const unsigned long length = ms;
    KvList<KvLink>::Cursor walk(interruptedList);
    for (KvLink* link = walk.first(); link; link = walk.next()) (*link)(&length);
}

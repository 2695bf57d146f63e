// The record a trinket window hands its host's event and cursor-move links:
// one static instance for the whole library (KvTrinketWindow::twUserEventInfo),
// rewritten for every event, so a link copies what it needs before the next one.
// Layout: event type, pointer position, a reserved word the library never
// writes, and the trinket whose fly handlers are running.
#pragma once

#include <cstdint>

#include "framework/KvRect.h"

class KvTrinket;

enum KvTUserEventType : int32_t {
    kTwEventKeyDown = 0,
    kTwEventMouseDown = 1,
    kTwEventMouseUp = 2,
    kTwEventMouseMove = 3,
    kTwEventDblClick = 4,
};

struct KvTUserEventInfo {
    int32_t eventType = kTwEventKeyDown;
    KvPoint point;           // collector coordinates; not written for key down
    int32_t reserved = 0;    // not written by the library
    KvTrinket* flyGuard = nullptr;  // set while a fly-on or fly-off handler runs
};

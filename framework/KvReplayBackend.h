// Plays a recorded session (framework/KvRecording.h) in place of live input.
// Each pumpEvents() is one main-loop pass: while the recording lasts, the
// clock reads what it read in that pass of the session, the inner backend
// pumps (showing pictures, pacing a real window) with its own input dropped,
// and the pass's recorded events are delivered to the target window. A
// window asked where the pointer is answers where the recording last put it
// (in the window its mouse events went to), as the live pointer was when the
// session was recorded. A window's close still gets through, so a person can
// end a replay. When the recording runs out, the clock goes on from its last
// reading at the inner backend's pace and live input flows again, the
// pointer too.
//
// While it lives the replayer is the event tap (KvEventSetTap).
#pragma once

#include <cstddef>
#include <vector>

#include "framework/KvEvent.h"
#include "framework/KvForwardingBackend.h"
#include "framework/KvRecording.h"

class KvReplayBackend : public KvForwardingBackend {
public:
    KvReplayBackend(KvBackend* inner, KvRecording recording);
    ~KvReplayBackend() override;
    KvReplayBackend(const KvReplayBackend&) = delete;
    KvReplayBackend& operator=(const KvReplayBackend&) = delete;

    // Where recorded events go; null (the default) means the active window.
    void setTarget(KvWindow* w) { target = w; }

    unsigned long milliSeconds() override;
    void pumpEvents() override;
    // The inner backend's window, whose pointer follows the recording.
    KvBackendWindow* openWindow(KvWindow* owner, const KvRect& rect, int style) override;
    // Every recorded pass has been played.
    bool finished() const { return next >= recording.passes.size(); }
    unsigned long getPassCount() const { return passes; }

private:
    class Window;
    friend class Window;
    static bool tap(void* self, KvWindow* target, const KvEventRecord& e);

    KvRecording recording;
    KvWindow* target = nullptr;
    size_t next = 0;               // the first recorded pass not yet reached
    unsigned long passes = 0;
    unsigned long clock;           // while the recording lasts
    bool ended = false;            // the recording has run out: the inner clock counts
    unsigned long innerAtEnd = 0;  // the inner clock when it ran out
    bool delivering = false;
    KvWindow* pointerWindow = nullptr;  // where the last recorded mouse event went
    KvPoint pointerAt;                  // and where it was
    std::vector<Window*> windows;       // open through this replayer, told when it goes
};

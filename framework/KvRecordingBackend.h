// Records a session (format: framework/KvRecording.h) while the inner backend
// runs it. Each pumpEvents() is one main-loop pass: the inner backend pumps,
// then the pass's line (its number and the clock the pass ran on) is written,
// followed by every input event dispatched during it. The clock the inner
// backend gives must hold still during a pass, as the headless and SDL clocks
// do, or a replay would not see what the title saw.
//
// While it lives the recorder is the event tap (KvEventSetTap).
#pragma once

#include <cstdio>
#include <vector>

#include "framework/KvEvent.h"
#include "framework/KvForwardingBackend.h"

class KvRecordingBackend : public KvForwardingBackend {
public:
    // out stays open and owned by the caller. The header is written at once,
    // with the inner backend's clock as the start.
    KvRecordingBackend(KvBackend* inner, std::FILE* out, int width, int height, int depth, unsigned seed);
    ~KvRecordingBackend() override;
    KvRecordingBackend(const KvRecordingBackend&) = delete;
    KvRecordingBackend& operator=(const KvRecordingBackend&) = delete;

    void pumpEvents() override;
    unsigned long getPassCount() const { return passes; }

private:
    static bool tap(void* self, KvWindow* target, const KvEventRecord& e);

    std::FILE* out;
    unsigned long passes = 0;
    std::vector<KvEventRecord> heard;  // during the current pass
};

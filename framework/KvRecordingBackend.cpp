// The recorder: the inner backend's pump, then the pass written down.
#include "framework/KvRecordingBackend.h"

#include "framework/KvRecording.h"

KvRecordingBackend::KvRecordingBackend(KvBackend* in, std::FILE* o, int width, int height, int depth, unsigned seed)
    : KvForwardingBackend(in), out(o) {
    KvRecording::writeHeader(out, width, height, depth, seed, inner->milliSeconds());
    KvEventSetTap(&KvRecordingBackend::tap, this);
}

KvRecordingBackend::~KvRecordingBackend() {
    KvEventSetTap(nullptr, nullptr);
    std::fflush(out);
}

void KvRecordingBackend::pumpEvents() {
    inner->pumpEvents();
    KvRecording::writePass(out, ++passes, inner->milliSeconds());
    for (const KvEventRecord& e : heard) KvRecording::writeEvent(out, e);
    heard.clear();
}

bool KvRecordingBackend::tap(void* self, KvWindow*, const KvEventRecord& e) {
    static_cast<KvRecordingBackend*>(self)->heard.push_back(e);
    return true;
}

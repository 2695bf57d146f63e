// The replayer: recorded clock and events, pass by pass.
#include "framework/KvReplayBackend.h"

#include <utility>

#include "framework/KvWindow.h"

KvReplayBackend::KvReplayBackend(KvBackend* in, KvRecording r)
    : KvForwardingBackend(in), recording(std::move(r)), clock(recording.start) {
    KvEventSetTap(&KvReplayBackend::tap, this);
}

KvReplayBackend::~KvReplayBackend() { KvEventSetTap(nullptr, nullptr); }

unsigned long KvReplayBackend::milliSeconds() {
    if (!ended) return clock;
    return clock + (inner->milliSeconds() - innerAtEnd);
}

void KvReplayBackend::pumpEvents() {
    ++passes;
    const KvRecordedPass* pass = nullptr;
    if (!ended && finished()) {
        // The last pass played; from here the inner clock moves time on.
        ended = true;
        innerAtEnd = inner->milliSeconds();
        inner->pumpEvents();
        return;
    }
    if (!ended) {
        // Passes without a line keep the clock of the pass before.
        if (recording.passes[next].number == passes) pass = &recording.passes[next++];
        if (pass) clock = pass->clock;
    }
    inner->pumpEvents();
    if (!pass) return;
    delivering = true;
    for (const KvEventRecord& e : pass->events) {
        KvWindow* to = target ? target : KvWindow::activeWindow;
        if (KvWindow::isOpen(to)) KvEventDispatch(to, e);
    }
    delivering = false;
}

bool KvReplayBackend::tap(void* self, KvWindow*, const KvEventRecord& e) {
    const auto* replay = static_cast<KvReplayBackend*>(self);
    return replay->delivering || replay->ended || e.type == KvEventType::close;
}

// The replayer: recorded clock and events, pass by pass.
#include "framework/KvReplayBackend.h"

#include <algorithm>
#include <utility>

#include "framework/KvWindow.h"

KvReplayBackend::KvReplayBackend(KvBackend* in, KvRecording r)
    : KvForwardingBackend(in), recording(std::move(r)), clock(recording.start) {
    KvEventSetTap(&KvReplayBackend::tap, this);
}

// The inner backend's window, which it owns; while the recording lasts its
// pointer is the recorded one.
class KvReplayBackend::Window : public KvBackendWindow {
public:
    Window(KvBackendWindow* inner, KvWindow* owner, KvReplayBackend* replay)
        : inner(inner), owner(owner), replay(replay) {
        replay->windows.push_back(this);
    }
    ~Window() override {
        if (replay) std::erase(replay->windows, this);
        delete inner;
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void present(const KvCanvas& screen, const KvRect& area) override { inner->present(screen, area); }
    KvPoint pointer() const override {
        const bool recorded = replay && !replay->ended && replay->pointerWindow == owner;
        return recorded ? replay->pointerAt : inner->pointer();
    }
    void setSystemPointerVisible(bool visible) override { inner->setSystemPointerVisible(visible); }
    void setTitle(const char* title) override { inner->setTitle(title); }
    // The replayer goes first: the live pointer from now on.
    void detach() { replay = nullptr; }

private:
    KvBackendWindow* inner;
    KvWindow* owner;
    KvReplayBackend* replay;
};

KvReplayBackend::~KvReplayBackend() {
    KvEventSetTap(nullptr, nullptr);
    for (Window* w : windows) w->detach();
}

KvBackendWindow* KvReplayBackend::openWindow(KvWindow* owner, const KvRect& rect, int style) {
    KvBackendWindow* w = inner->openWindow(owner, rect, style);
    return w ? new Window(w, owner, this) : nullptr;
}

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
        if (!KvWindow::isOpen(to)) continue;
        if (e.type == KvEventType::mouseMove || e.type == KvEventType::mouseDown || e.type == KvEventType::mouseUp ||
            e.type == KvEventType::mouseDblClick)
            pointerWindow = to, pointerAt = e.mouse;
        KvEventDispatch(to, e);
    }
    delivering = false;
}

bool KvReplayBackend::tap(void* self, KvWindow*, const KvEventRecord& e) {
    const auto* replay = static_cast<KvReplayBackend*>(self);
    return replay->delivering || replay->ended || e.type == KvEventType::close;
}

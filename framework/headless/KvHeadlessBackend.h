// The headless backend: a virtual clock, memory screens, injected input and no
// audio device. Tests install one of their own (KvBackend::install) or use the
// default one.
//
// Clock: starts at kKvHeadlessStartMs (never 0, so "0 means unset" logic in
// the library cannot mistake a time for unset); every pumpEvents() first
// advances it by the per-pass step (default 10 ms), then delivers input.
// advance(), setTime() and interrupt() move it by hand.
//
// Input: mouse and key events wait in one queue, in the order injected, and
// the next pumpEvents() delivers those queued before it started; events a
// handler injects wait for the pass after. The target is the window named at
// injection or, when none was, the active window at delivery (no active window:
// the event is dropped). Mouse events move the target's pointer first.
//
// Screen: each window keeps a copy of what was presented (display()), which is
// what the user would see; presents are counted.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "framework/KvBackend.h"
#include "framework/KvCanvas.h"
#include "framework/KvEvent.h"

constexpr unsigned long kKvHeadlessStartMs = 1000;
constexpr unsigned long kKvHeadlessDefaultStepMs = 10;
constexpr int kKvHeadlessDefaultDepth = 16;

class KvHeadlessBackend;

class KvHeadlessWindow : public KvBackendWindow {
public:
    KvHeadlessWindow(KvHeadlessBackend* backend, KvWindow* owner, const KvRect& rect, int style);
    ~KvHeadlessWindow() override;

    void present(const KvCanvas& screen, const KvRect& area) override;
    KvPoint pointer() const override { return pointerAt; }
    void setSystemPointerVisible(bool visible) override;
    void setTitle(const char* title) override;

    KvWindow* getOwner() const { return owner; }
    KvRect getOpenRect() const { return openRect; }
    int getStyle() const { return style; }
    const char* getTitle() const { return title.c_str(); }

    // Place the pointer without an event (as if it had moved while another
    // window had the input).
    void setPointer(const KvPoint& p) { pointerAt = p; }

    // What the screen shows: a copy of the presented parts of the window
    // canvas; invalid until the first present.
    const KvCanvas& display() const { return shown; }
    uint32_t screenPixel(int x, int y) const { return shown.getPixel(x, y); }
    KvColor screenColor(int x, int y) const { return shown.getPixelColor(x, y); }
    int getPresentCount() const { return presents; }
    KvRect getLastPresentArea() const { return lastArea; }
    void resetPresentCount() { presents = 0; }

    bool isSystemPointerVisible() const { return systemPointerVisible; }
    int getPointerVisibilityCalls() const { return visibilityCalls; }

private:
    friend class KvHeadlessBackend;

    // A memory canvas that can be remade to match the window canvas.
    class Screen : public KvCanvas {
    public:
        void match(const KvCanvas& c);
    };

    KvHeadlessBackend* backend;
    KvWindow* owner;
    KvRect openRect;
    int style;
    std::string title;
    KvPoint pointerAt;
    Screen shown;
    int presents = 0;
    KvRect lastArea = KvRect::zero;
    bool systemPointerVisible = true;
    int visibilityCalls = 0;
};

class KvHeadlessBackend : public KvBackend {
public:
    KvHeadlessBackend() = default;
    ~KvHeadlessBackend() override;
    KvHeadlessBackend(const KvHeadlessBackend&) = delete;
    KvHeadlessBackend& operator=(const KvHeadlessBackend&) = delete;

    const char* name() const override { return "headless"; }
    unsigned long milliSeconds() override { return now; }
    void pumpEvents() override;
    int displayDepth() const override { return depth; }
    bool canFlip() const override { return true; }
    KvBackendWindow* openWindow(KvWindow* owner, const KvRect& rect, int style) override;
    bool openAudio(KvAudioFill fill, void* user, KvAudioFormat* deviceFormat) override;
    void closeAudio() override {}

    // Clock.
    void setStepPerPass(unsigned long ms) { step = ms; }
    unsigned long getStepPerPass() const { return step; }
    void advance(unsigned long ms) { now += ms; }
    void setTime(unsigned long ms) { now = ms; }
    // The application could not run for ms: the clock moves on and the
    // interruption is reported to the interruption list (KvInterruptions).
    void interrupt(unsigned long ms);

    // Display depth: 8, 15, 16, 24 or 32; false (unchanged) for anything else.
    // Windows opened afterwards get canvases of the new depth.
    bool setDisplayDepth(int bits);

    // Input, delivered by the next pumpEvents(); target null means the active window.
    void mouseDown(const KvPoint& p, KvWindow* target = nullptr);
    void mouseUp(const KvPoint& p, KvWindow* target = nullptr);
    void mouseMove(const KvPoint& p, KvWindow* target = nullptr);
    void mouseDblClick(const KvPoint& p, KvWindow* target = nullptr);
    void keyDown(int key, KvWindow* target = nullptr);
    void keyUp(int key, KvWindow* target = nullptr);
    // Any other event (activation, draw, move...), to a named window or the active one.
    void post(const KvEventRecord& e, KvWindow* target = nullptr);
    void activate(KvWindow* target) { post(KvEventRecord{KvEventType::activated, {}, 0, KvRect::zero}, target); }
    int pendingEvents() const { return static_cast<int>(queue.size()); }

    // The headless half of a framework window, or null.
    KvHeadlessWindow* windowOf(const KvWindow* w) const;
    int getAudioOpenCalls() const { return audioOpenCalls; }

private:
    friend class KvHeadlessWindow;
    struct Pending {
        KvEventRecord event;
        KvWindow* target;
        unsigned long seq;  // order of injection
    };
    void forget(KvHeadlessWindow* w);

    unsigned long now = kKvHeadlessStartMs;
    unsigned long step = kKvHeadlessDefaultStepMs;
    int depth = kKvHeadlessDefaultDepth;
    std::deque<Pending> queue;
    unsigned long nextSeq = 0;
    std::vector<KvHeadlessWindow*> windows;
    int audioOpenCalls = 0;
};

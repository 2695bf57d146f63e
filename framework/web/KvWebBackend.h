// The browser backend (Emscripten's HTML5 API): a page's <canvas>, its mouse
// and keyboard, the page's clock and Web Audio. A host makes one, installs it
// with KvBackend::install and hands run() the function that makes one pass:
// the browser owns the loop, so the pass is called once per animation frame
// and the host's main() returns while the title goes on.
//
// Passes. pumpEvents() shows what the last pass drew (putImageData of the
// changed area only), reads the clock (emscripten_get_now, held still for the
// pass) and delivers the input queued by the page's callbacks since.
//
// Input. The left button gives mouse down, up and double click (a second
// press soon after the first and near it, as desktops count them), moves give
// mouse moves; positions are canvas pixels, mapped back through the page's
// CSS scaling. Keys with a code in framework/KvKeys.h reach the window; F11
// and F12 stay the browser's. The first click or key also resumes the audio
// context, which browsers keep suspended until the person does something.
//
// Audio. A Web Audio processor on the main thread pulls the shared mixer's
// fill function a block at a time; lockAudio has nothing to guard.
//
// The page. A page may define functions on the module object: qrnLog(text)
// receives the host's log lines, qrnMessage(text) the user messages (else
// they are shown in the page), qrnEnded(status, passes, passMs, firstPassMs)
// the end of the run with the time the passes took in all and the first of
// them (which starts the scripts: a title loads most of its files there).
//
// This header names no Emscripten type, so hosts can include it freely.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/KvBackend.h"

class KvWebWindow;
struct KvWebInput;

struct KvWebSettings {
    std::string canvas = "#canvas";  // the page's canvas, as a CSS selector
    bool mute = false;               // open no audio: sound runs on the clock
    int depth = 16;                  // of window canvases: 8, 15, 16, 24 or 32
};

class KvWebBackend : public KvBackend {
public:
    // Input events the page may queue between two passes; more are dropped.
    static constexpr size_t kMaxQueuedInput = 1024;
    // Frames of audio pulled from the mixer at a time.
    static constexpr int kAudioBlockFrames = 2048;

    explicit KvWebBackend(const KvWebSettings& settings);
    ~KvWebBackend() override;
    KvWebBackend(const KvWebBackend&) = delete;
    KvWebBackend& operator=(const KvWebBackend&) = delete;

    // Calls pass once per animation frame until it returns false; then shows
    // what is pending, stops the loop, and tells the page the exit status
    // that ended returns. Returns at once.
    void run(std::function<bool()> pass, std::function<int()> ended);

    // Lines for the page's log (the title's say lines).
    void log(const std::string& text);

    const char* name() const override { return "web"; }
    unsigned long milliSeconds() override { return frozen; }
    void pumpEvents() override;
    int displayDepth() const override { return settings.depth; }
    bool canFlip() const override { return true; }
    KvBackendWindow* openWindow(KvWindow* owner, const KvRect& rect, int style) override;
    bool openAudio(KvAudioFill fill, void* user, KvAudioFormat* deviceFormat) override;
    void closeAudio() override;
    void userMessage(const char* text) override;
    // No one can be asked for a file in a page.
    bool chooseFile(const char* title, const char* pattern, bool save, char* path, int size) override;

    // Shows every window's pending pixels now (the first step of pumpEvents).
    void showPending();
    KvWebWindow* windowOf(const KvWindow* w) const;
    // Called by the audio processor: frames of interleaved output, or null when not open.
    const int16_t* pullAudio(int frames);

private:
    friend class KvWebWindow;
    friend struct KvWebInput;
    void forget(KvWebWindow* w);
    void queue(int type, int x, int y, int key);
    void frame();
    static void frameOf(void* self);

    KvWebSettings settings;
    std::vector<KvWebWindow*> windows;
    unsigned long frozen = 0;  // the clock of the current pass
    struct Queued {
        int type, x, y, key;
    };
    std::vector<Queued> input;
    double lastDownAt = -1e9;  // the page's clock at the last left press, for double clicks
    int lastDownX = 0, lastDownY = 0;
    bool lastWasDouble = false;
    KvAudioFill audioFill = nullptr;
    void* audioUser = nullptr;
    std::vector<int16_t> audioBlock;
    std::function<bool()> passFn;
    std::function<int()> endedFn;
    long passes = 0;
    double passMs = 0, firstPassMs = 0;
};

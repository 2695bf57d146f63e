// The SDL2 backend: real windows, input, clock and sound. A host makes one,
// checks isReady() (false when there is no display) and installs it with
// KvBackend::install; nothing else in the system names it.
//
// Passes. pumpEvents() starts every main-loop pass: it first shows what the
// last pass drew (each window uploads the areas presented since, once, and
// renders them; a pass that drew nothing uploads and renders nothing), then
// waits until msPerPass milliseconds have gone by since the last pass began,
// then reads the clock, which holds still for the whole pass, and delivers
// the platform's input through KvEventDispatch.
//
// Keys the backend keeps for itself: F11 and Alt+Enter toggle desktop
// fullscreen, F12 calls the snapshot handler. Every other key with a code in
// framework/KvKeys.h reaches the window. The left mouse button gives mouse
// down, up and double click; positions are canvas pixels, mapped back from
// the scaled, letterboxed window. Focus moves give activation events; a
// window's close button gives its close event (so does an interrupt signal,
// to every window).
//
// This header names no SDL type, so hosts can include it freely.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/KvBackend.h"

class KvSdlWindow;

struct KvSdlSettings {
    // Whole-number scale of the canvas; 0 picks the largest that fits the
    // desktop. A resized or fullscreen window scales by the largest whole
    // factor that fits it, and shows black bars around the picture.
    int scale = 0;
    bool fullscreen = false;
    bool mute = false;  // open no audio device: sound runs on the clock
    unsigned long msPerPass = 10;
    int depth = 16;     // of window canvases: 8, 15, 16, 24 or 32
};

class KvSdlBackend : public KvBackend {
public:
    static constexpr int kMaxScale = 16;

    explicit KvSdlBackend(const KvSdlSettings& settings);
    ~KvSdlBackend() override;
    KvSdlBackend(const KvSdlBackend&) = delete;
    KvSdlBackend& operator=(const KvSdlBackend&) = delete;

    // Whether SDL's video started; when not, getError() says why in one line.
    bool isReady() const { return ready; }
    const std::string& getError() const { return error; }

    // Called on F12 with the window that had it.
    void setSnapshotHandler(std::function<void(KvWindow*)> handler) { snapshot = std::move(handler); }

    const char* name() const override { return "sdl"; }
    unsigned long milliSeconds() override;
    void pumpEvents() override;
    int displayDepth() const override { return settings.depth; }
    bool canFlip() const override { return true; }
    KvBackendWindow* openWindow(KvWindow* owner, const KvRect& rect, int style) override;
    bool openAudio(KvAudioFill fill, void* user, KvAudioFormat* deviceFormat) override;
    void closeAudio() override;
    void lockAudio() override;
    void unlockAudio() override;
    void userMessage(const char* text) override;
    // The desktop's file dialog (zenity, else kdialog, found on the PATH);
    // without either the question is cancelled.
    bool chooseFile(const char* title, const char* pattern, bool save, char* path, int size) override;

    // Shows every window's pending pixels now (the first step of pumpEvents).
    void showPending();
    // The backend half of a framework window, or null.
    KvSdlWindow* windowOf(const KvWindow* w) const;

private:
    friend class KvSdlWindow;
    void forget(KvSdlWindow* w);
    KvSdlWindow* windowById(unsigned id) const;
    void handle(const void* sdlEvent);
    void pace();
    static void pull(void* self, unsigned char* stream, int bytes);

    KvSdlSettings settings;
    bool ready = false;
    std::string error;
    std::vector<KvSdlWindow*> windows;
    std::function<void(KvWindow*)> snapshot;
    unsigned long frozen = 0;       // the clock of the current pass
    unsigned long long lastPassAt = 0;  // SDL ticks when the last pass began
    unsigned audioDevice = 0;
    KvAudioFill audioFill = nullptr;
    void* audioUser = nullptr;
    int audioChannels = 2;
};

// The platform interface. Everything the framework needs from a platform
// (a clock, input, a place to show pixels, an audio device, user messages)
// goes through one installed KvBackend; the rest of the framework and the
// library never see the platform. Backends: headless/ (virtual clock, memory
// screen, injected input, silent audio) and, with SDL2, real windows and sound.
#pragma once

#include <cstdint>

#include "framework/KvRect.h"

class KvCanvas;
class KvWindow;

// Audio as the device wants it: signed 16-bit samples, channels interleaved.
struct KvAudioFormat {
    int rate = 44100;
    int channels = 2;
};
// Called by the device (possibly on its own thread) to fill frames of output.
using KvAudioFill = void (*)(void* user, int16_t* out, int frames);

// A backend's half of one framework window.
class KvBackendWindow {
public:
    virtual ~KvBackendWindow() = default;
    // The screen canvas changed inside area (window coordinates): show it.
    virtual void present(const KvCanvas& screen, const KvRect& area) = 0;
    // Where the pointer is, in window coordinates.
    virtual KvPoint pointer() const = 0;
    virtual void setSystemPointerVisible(bool visible) = 0;
    virtual void setTitle(const char* title) { (void)title; }
};

class KvBackend {
public:
    virtual ~KvBackend() = default;

    // The installed backend. Until one is installed, a headless backend is made on first use.
    static KvBackend* current();
    // Install b (not owned; it must outlive its use). Null reinstates the default headless one.
    static void install(KvBackend* b);

    virtual const char* name() const = 0;
    // Milliseconds since an arbitrary start; wraps like an unsigned long.
    virtual unsigned long milliSeconds() = 0;
    // Start of every main-loop pass: deliver pending input to windows. The headless
    // backend also advances its virtual clock here.
    virtual void pumpEvents() = 0;
    // Bits per pixel of the display, as canvases are asked for: 8, 15, 16, 24 or 32.
    virtual int displayDepth() const = 0;
    // Window canvases can page-flip with a back buffer.
    virtual bool canFlip() const = 0;
    virtual KvBackendWindow* openWindow(KvWindow* owner, const KvRect& rect, int style) = 0;

    // Start feeding an audio device from fill. False when there is no device: the caller
    // then advances sound on the backend's clock itself. deviceFormat receives what the device plays.
    virtual bool openAudio(KvAudioFill fill, void* user, KvAudioFormat* deviceFormat) = 0;
    virtual void closeAudio() = 0;
    // Bracket main-thread changes to state that fill reads.
    virtual void lockAudio() {}
    virtual void unlockAudio() {}

    // Show a message to the user; the default writes it on stderr.
    virtual void userMessage(const char* text);
    // Ask the user for a file: title names the question, pattern the files
    // offered ("*.mps"), save asks for a file to write. True with the path in
    // path (cut to size - 1 bytes); false, with path "", when the user
    // cancelled or cannot be asked. The default asks on the terminal when
    // standard input is one.
    virtual bool chooseFile(const char* title, const char* pattern, bool save, char* path, int size);
};

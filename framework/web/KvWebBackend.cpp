// The browser backend: the loop on animation frames, the pass (show, clock,
// input), the page's callbacks, the key table, Web Audio and page messages.
#include "framework/web/KvWebBackend.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "framework/KvKeys.h"
#include "framework/KvSoundDriver.h"
#include "framework/KvWindow.h"
#include "framework/web/KvWebWindow.h"

namespace {

// The clock never reads 0, which the library takes for "unset".
constexpr unsigned long kClockBase = 1000;
// Two presses within this time and distance make a double click, as desktops count them.
constexpr double kDoubleClickMs = 500;
constexpr int kDoubleClickPixels = 4;

// The backend that the single audio processor of the page pulls from.
KvWebBackend* audioBackend = nullptr;

// Browser key codes that name a key of framework/KvKeys.h; the classic codes
// are what browsers report, but for a few punctuation keys in some browsers.
int keyCode(unsigned long code) {
    switch (code) {
        case 59: return kKvKeySemicolon;
        case 61: return kKvKeyEquals;
        case 173: return kKvKeyMinus;
        default: break;
    }
    const int k = static_cast<int>(code);
    if ((k >= kKvKeyA && k < kKvKeyA + 26) || (k >= kKvKey0 && k < kKvKey0 + 10) ||
        (k >= kKvKeyNumpad0 && k < kKvKeyNumpad0 + 10) || (k >= kKvKeyF1 && k < kKvKeyF1 + 10))
        return k;
    constexpr int kOthers[] = {
        kKvKeyBackspace, kKvKeyTab,       kKvKeyReturn,     kKvKeyShift,     kKvKeyControl,     kKvKeyAlt,
        kKvKeyPause,     kKvKeyCapsLock,  kKvKeyEscape,     kKvKeySpace,     kKvKeyPageUp,      kKvKeyPageDown,
        kKvKeyEnd,       kKvKeyHome,      kKvKeyLeft,       kKvKeyUp,        kKvKeyRight,       kKvKeyDown,
        kKvKeyInsert,    kKvKeyDelete,    kKvKeyMultiply,   kKvKeyAdd,       kKvKeySubtract,    kKvKeyDecimal,
        kKvKeyDivide,    kKvKeySemicolon, kKvKeyEquals,     kKvKeyComma,     kKvKeyMinus,       kKvKeyPeriod,
        kKvKeySlash,     kKvKeyBackquote, kKvKeyLeftBracket, kKvKeyBackslash, kKvKeyRightBracket, kKvKeyQuote,
    };
    return std::find(std::begin(kOthers), std::end(kOthers), k) != std::end(kOthers) ? k : 0;
}

EM_JS(void, kvWebResumeAudio, (), {
    if (Module.qrnAudio && Module.qrnAudio.context.state != "running") Module.qrnAudio.context.resume();
});

// A Web Audio context at the mixer's rate and a processor that pulls it on
// the main thread; false when the browser has no Web Audio.
EM_JS(int, kvWebOpenAudio, (int rate, int frames), {
    const Context = globalThis.AudioContext || globalThis.webkitAudioContext;
    if (!Context) return 0;
    let context;
    try { context = new Context({sampleRate: rate}); } catch (e) { return 0; }
    const node = context.createScriptProcessor(frames, 0, 2);
    const audio = {context: context, node: node, frames: 0, peak: 0};
    node.onaudioprocess = (e) => {
        const left = e.outputBuffer.getChannelData(0), right = e.outputBuffer.getChannelData(1);
        const n = left.length;
        const at = _kvWebPullAudio(n);
        if (!at) { left.fill(0); right.fill(0); return; }
        const samples = HEAP16.subarray(at >> 1, (at >> 1) + 2 * n);
        for (let i = 0; i < n; ++i) {
            left[i] = samples[2 * i] / 32768;
            right[i] = samples[2 * i + 1] / 32768;
            audio.peak = Math.max(audio.peak, Math.abs(samples[2 * i]), Math.abs(samples[2 * i + 1]));
        }
        audio.frames += n;
    };
    node.connect(context.destination);
    Module.qrnAudio = audio;
    return 1;
});

EM_JS(void, kvWebCloseAudio, (), {
    if (!Module.qrnAudio) return;
    Module.qrnAudio.node.disconnect();
    Module.qrnAudio.node.onaudioprocess = null;
    Module.qrnAudio.context.close();
    Module.qrnAudio = null;
});

EM_JS(int, kvWebAudioRate, (), { return Module.qrnAudio ? Module.qrnAudio.context.sampleRate : 0; });

EM_JS(void, kvWebMessage, (const char* text), {
    const t = UTF8ToString(text);
    if (Module.qrnMessage) { Module.qrnMessage(t); return; }
    const box = document.createElement("pre");
    box.className = "qrn-message";
    box.textContent = t;
    document.body.appendChild(box);
});

EM_JS(void, kvWebLog, (const char* text), {
    if (Module.qrnLog) Module.qrnLog(UTF8ToString(text));
});

EM_JS(void, kvWebEnded, (int status, long passes, double passMs, double firstPassMs), {
    if (Module.qrnEnded) Module.qrnEnded(status, passes, passMs, firstPassMs);
});

}  // namespace

// The page's callbacks, which queue what the next pass delivers.
struct KvWebInput {
    static EM_BOOL mouse(int type, const EmscriptenMouseEvent* e, void* self) {
        auto* b = static_cast<KvWebBackend*>(self);
        if (type != EMSCRIPTEN_EVENT_MOUSEMOVE && e->button != 0) return EM_FALSE;
        if (type == EMSCRIPTEN_EVENT_MOUSEDOWN) kvWebResumeAudio();
        b->queue(type, static_cast<int>(e->clientX), static_cast<int>(e->clientY), 0);
        return type == EMSCRIPTEN_EVENT_MOUSEDOWN ? EM_TRUE : EM_FALSE;
    }
    static EM_BOOL key(int type, const EmscriptenKeyboardEvent* e, void* self) {
        const int code = keyCode(e->keyCode);
        if (!code || code == kKvKeyF1 + 10 || code == kKvKeyF1 + 11) return EM_FALSE;  // F11, F12: the browser's
        kvWebResumeAudio();
        static_cast<KvWebBackend*>(self)->queue(type, 0, 0, code);
        return EM_TRUE;  // arrows and space do not scroll the page
    }
};

// ------------------------------------------------------------ life

KvWebBackend::KvWebBackend(const KvWebSettings& s) : settings(s) {
    frozen = kClockBase + static_cast<unsigned long>(emscripten_get_now());
    const char* canvas = settings.canvas.c_str();
    emscripten_set_mousedown_callback(canvas, this, EM_TRUE, &KvWebInput::mouse);
    // Moves and releases outside the canvas still count: a drag may leave it.
    emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, &KvWebInput::mouse);
    emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, &KvWebInput::mouse);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, &KvWebInput::key);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, &KvWebInput::key);
}

KvWebBackend::~KvWebBackend() {
    KvSoundDriver::release(this);
    closeAudio();
    emscripten_html5_remove_all_event_listeners();
    for (KvWebWindow* w : windows) w->backend = nullptr;
    if (KvBackend::current() == this) KvBackend::install(nullptr);
}

// ------------------------------------------------------------ windows

KvBackendWindow* KvWebBackend::openWindow(KvWindow* owner, const KvRect& rect, int) {
    auto* w = new KvWebWindow(this, owner, rect, settings.canvas);
    if (!w->isOpen()) {
        userMessage(("the page has no canvas " + settings.canvas).c_str());
        w->backend = nullptr;
        delete w;
        return nullptr;
    }
    windows.push_back(w);
    return w;
}

void KvWebBackend::forget(KvWebWindow* w) { std::erase(windows, w); }

KvWebWindow* KvWebBackend::windowOf(const KvWindow* owner) const {
    for (KvWebWindow* w : windows)
        if (w->owner == owner) return w;
    return nullptr;
}

// ------------------------------------------------------------ the loop and the pass

void KvWebBackend::run(std::function<bool()> pass, std::function<int()> ended) {
    passFn = std::move(pass);
    endedFn = std::move(ended);
    passes = 0;
    passMs = firstPassMs = 0;
    // 0 frames per second: the browser's animation frames pace the loop.
    emscripten_set_main_loop_arg(&KvWebBackend::frameOf, this, 0, EM_FALSE);
}

void KvWebBackend::frameOf(void* self) { static_cast<KvWebBackend*>(self)->frame(); }

void KvWebBackend::frame() {
    if (!passFn) return;
    const double began = emscripten_get_now();
    const bool more = passFn();
    const double took = emscripten_get_now() - began;
    if (++passes == 1) firstPassMs = took;
    passMs += took;
    if (more) return;
    emscripten_cancel_main_loop();
    showPending();
    passFn = nullptr;
    const int status = endedFn ? std::exchange(endedFn, nullptr)() : 0;
    kvWebEnded(status, passes, passMs, firstPassMs);
}

void KvWebBackend::showPending() {
    for (KvWebWindow* w : windows) w->show();
}

void KvWebBackend::queue(int type, int x, int y, int key) {
    if (input.size() < kMaxQueuedInput) input.push_back({type, x, y, key});
}

void KvWebBackend::pumpEvents() {
    showPending();
    frozen = kClockBase + static_cast<unsigned long>(emscripten_get_now());
    // Handlers may close windows or queue more: deliver what was there when the pass began.
    std::vector<Queued> now;
    now.swap(input);
    for (const Queued& q : now) {
        if (windows.empty()) break;
        KvWebWindow* w = windows.front();
        if (!KvWindow::isOpen(w->owner)) continue;
        KvEventRecord r;
        r.mouse = w->pointerAt;
        switch (q.type) {
            case EMSCRIPTEN_EVENT_MOUSEDOWN: {
                r.mouse = w->toCanvas(q.x, q.y);
                const double at = emscripten_get_now();
                const bool twice = !lastWasDouble && at - lastDownAt < kDoubleClickMs &&
                                   std::abs(r.mouse.x - lastDownX) <= kDoubleClickPixels &&
                                   std::abs(r.mouse.y - lastDownY) <= kDoubleClickPixels;
                r.type = twice ? KvEventType::mouseDblClick : KvEventType::mouseDown;
                lastWasDouble = twice;
                lastDownAt = at;
                lastDownX = r.mouse.x;
                lastDownY = r.mouse.y;
                break;
            }
            case EMSCRIPTEN_EVENT_MOUSEUP: r.type = KvEventType::mouseUp; r.mouse = w->toCanvas(q.x, q.y); break;
            case EMSCRIPTEN_EVENT_MOUSEMOVE: r.type = KvEventType::mouseMove; r.mouse = w->toCanvas(q.x, q.y); break;
            case EMSCRIPTEN_EVENT_KEYDOWN: r.type = KvEventType::keyDown; r.key = q.key; break;
            case EMSCRIPTEN_EVENT_KEYUP: r.type = KvEventType::keyUp; r.key = q.key; break;
            default: continue;
        }
        KvEventDispatch(w->owner, r);
    }
}

// ------------------------------------------------------------ audio

const int16_t* KvWebBackend::pullAudio(int frames) {
    if (!audioFill || frames <= 0 || frames > kAudioBlockFrames) return nullptr;
    audioBlock.resize(static_cast<size_t>(frames) * 2);
    audioFill(audioUser, audioBlock.data(), frames);
    return audioBlock.data();
}

extern "C" EMSCRIPTEN_KEEPALIVE const int16_t* kvWebPullAudio(int frames) {
    return audioBackend ? audioBackend->pullAudio(frames) : nullptr;
}

bool KvWebBackend::openAudio(KvAudioFill fill, void* user, KvAudioFormat* deviceFormat) {
    if (settings.mute || !fill || audioFill || audioBackend) return false;
    const int rate = deviceFormat ? deviceFormat->rate : 44100;
    if (!kvWebOpenAudio(rate, kAudioBlockFrames)) return false;
    audioFill = fill;
    audioUser = user;
    audioBackend = this;
    if (deviceFormat) {
        deviceFormat->rate = kvWebAudioRate();
        deviceFormat->channels = 2;
    }
    return true;
}

void KvWebBackend::closeAudio() {
    if (!audioFill) return;
    kvWebCloseAudio();
    audioFill = nullptr;
    audioUser = nullptr;
    if (audioBackend == this) audioBackend = nullptr;
}

// ------------------------------------------------------------ the page

void KvWebBackend::userMessage(const char* text) {
    KvBackend::userMessage(text);  // the console as well
    kvWebMessage(text ? text : "");
}

void KvWebBackend::log(const std::string& text) { kvWebLog(text.c_str()); }

bool KvWebBackend::chooseFile(const char*, const char*, bool, char* path, int size) {
    if (path && size > 0) path[0] = 0;
    return false;
}

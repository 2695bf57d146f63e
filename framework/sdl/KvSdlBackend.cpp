// The SDL2 backend: the pass (show, pace, clock, input), the key table,
// audio through the shared mixer's fill function, and message boxes.
#include "framework/sdl/KvSdlBackend.h"

#include <SDL.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/KvKeys.h"
#include "framework/KvSoundDriver.h"
#include "framework/KvWindow.h"
#include "framework/sdl/KvSdlWindow.h"

namespace {

// The clock never reads 0, which the library takes for "unset".
constexpr unsigned long kClockBase = 1000;

struct KeyMapping {
    SDL_Keycode sdl;
    int key;
};
// Keys whose code is not their own ASCII character.
constexpr KeyMapping kKeys[] = {
    {SDLK_BACKSPACE, kKvKeyBackspace}, {SDLK_TAB, kKvKeyTab},
    {SDLK_RETURN, kKvKeyReturn},       {SDLK_KP_ENTER, kKvKeyReturn},
    {SDLK_LSHIFT, kKvKeyShift},        {SDLK_RSHIFT, kKvKeyShift},
    {SDLK_LCTRL, kKvKeyControl},       {SDLK_RCTRL, kKvKeyControl},
    {SDLK_LALT, kKvKeyAlt},            {SDLK_RALT, kKvKeyAlt},
    {SDLK_PAUSE, kKvKeyPause},         {SDLK_CAPSLOCK, kKvKeyCapsLock},
    {SDLK_ESCAPE, kKvKeyEscape},       {SDLK_SPACE, kKvKeySpace},
    {SDLK_PAGEUP, kKvKeyPageUp},       {SDLK_PAGEDOWN, kKvKeyPageDown},
    {SDLK_END, kKvKeyEnd},             {SDLK_HOME, kKvKeyHome},
    {SDLK_LEFT, kKvKeyLeft},           {SDLK_UP, kKvKeyUp},
    {SDLK_RIGHT, kKvKeyRight},         {SDLK_DOWN, kKvKeyDown},
    {SDLK_INSERT, kKvKeyInsert},       {SDLK_DELETE, kKvKeyDelete},
    {SDLK_KP_MULTIPLY, kKvKeyMultiply}, {SDLK_KP_PLUS, kKvKeyAdd},
    {SDLK_KP_MINUS, kKvKeySubtract},   {SDLK_KP_PERIOD, kKvKeyDecimal},
    {SDLK_KP_DIVIDE, kKvKeyDivide},    {SDLK_SEMICOLON, kKvKeySemicolon},
    {SDLK_EQUALS, kKvKeyEquals},       {SDLK_COMMA, kKvKeyComma},
    {SDLK_MINUS, kKvKeyMinus},         {SDLK_PERIOD, kKvKeyPeriod},
    {SDLK_SLASH, kKvKeySlash},         {SDLK_BACKQUOTE, kKvKeyBackquote},
    {SDLK_LEFTBRACKET, kKvKeyLeftBracket}, {SDLK_BACKSLASH, kKvKeyBackslash},
    {SDLK_RIGHTBRACKET, kKvKeyRightBracket}, {SDLK_QUOTE, kKvKeyQuote},
};

// The framework's code for an SDL key, or 0 for a key without one.
int keyCode(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return kKvKeyA + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return kKvKey0 + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12) return kKvKeyF1 + (k - SDLK_F1);
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return kKvKeyNumpad0 + 1 + (k - SDLK_KP_1);
    if (k == SDLK_KP_0) return kKvKeyNumpad0;
    for (const KeyMapping& m : kKeys)
        if (m.sdl == k) return m.key;
    return 0;
}

}  // namespace

// ------------------------------------------------------------ life

KvSdlBackend::KvSdlBackend(const KvSdlSettings& s) : settings(s) {
    settings.scale = std::clamp(settings.scale, 0, kMaxScale);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");  // whole-number scaling shows pixels as they are
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // SDL falls back on drivers that show nothing; those count only when asked for by name.
    const bool driverNamed = SDL_getenv("SDL_VIDEODRIVER") != nullptr;
    if (!driverNamed && !SDL_getenv("DISPLAY") && !SDL_getenv("WAYLAND_DISPLAY")) {
        error = "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
        return;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("no display: ") + SDL_GetError();
        return;
    }
    const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
    if (!driverNamed && (driver == "offscreen" || driver == "dummy")) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        error = "no display (SDL found only its " + driver + " driver)";
        return;
    }
    ready = true;
    lastPassAt = SDL_GetTicks64();
    frozen = kClockBase + static_cast<unsigned long>(lastPassAt);
}

KvSdlBackend::~KvSdlBackend() {
    KvSoundDriver::release(this);
    closeAudio();
    for (KvSdlWindow* w : windows) w->backend = nullptr;
    if (KvBackend::current() == this) KvBackend::install(nullptr);
    // SDL's video stays up until the process ends, and a later backend
    // shares it. Quitting it would unload the X libraries SDL opened, and
    // with them the names of the memory those libraries keep for the life of
    // the process, which the sanitizers then report as leaks of nameless code.
}

// ------------------------------------------------------------ windows

KvBackendWindow* KvSdlBackend::openWindow(KvWindow* owner, const KvRect& rect, int) {
    if (!ready) return nullptr;
    auto* w = new KvSdlWindow(this, owner, rect, settings.depth, settings.scale, settings.fullscreen);
    if (!w->isOpen()) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        w->backend = nullptr;
        delete w;
        return nullptr;
    }
    windows.push_back(w);
    return w;
}

void KvSdlBackend::forget(KvSdlWindow* w) { std::erase(windows, w); }

KvSdlWindow* KvSdlBackend::windowOf(const KvWindow* owner) const {
    for (KvSdlWindow* w : windows)
        if (w->owner == owner) return w;
    return nullptr;
}

KvSdlWindow* KvSdlBackend::windowById(unsigned id) const {
    for (KvSdlWindow* w : windows)
        if (w->id == id) return w;
    return nullptr;
}

// ------------------------------------------------------------ the pass

unsigned long KvSdlBackend::milliSeconds() { return frozen; }

void KvSdlBackend::showPending() {
    for (KvSdlWindow* w : windows) w->show();
}

void KvSdlBackend::pace() {
    const unsigned long long now = SDL_GetTicks64();
    const unsigned long long due = lastPassAt + settings.msPerPass;
    if (now < due) SDL_Delay(static_cast<Uint32>(due - now));
    const unsigned long long began = SDL_GetTicks64();
    // A pass that ran long is not made up for by hurrying the next ones.
    lastPassAt = began;
    frozen = kClockBase + static_cast<unsigned long>(began);
}

void KvSdlBackend::pumpEvents() {
    if (!ready) return;
    showPending();
    pace();
    SDL_Event e;
    while (SDL_PollEvent(&e)) handle(&e);
}

void KvSdlBackend::handle(const void* event) {
    const SDL_Event& e = *static_cast<const SDL_Event*>(event);
    auto deliver = [](KvSdlWindow* w, KvEventType type, KvPoint at = {}, int key = 0) {
        if (w && KvWindow::isOpen(w->owner)) KvEventDispatch(w->owner, KvEventRecord{type, at, key, KvRect::zero});
    };
    switch (e.type) {
        case SDL_QUIT: {
            // Close every window; a window's close handler may close others.
            const std::vector<KvSdlWindow*> all = windows;
            for (KvSdlWindow* w : all)
                if (windowOf(w->owner) == w) deliver(w, KvEventType::close);
            break;
        }
        case SDL_WINDOWEVENT: {
            KvSdlWindow* w = windowById(e.window.windowID);
            if (!w) break;
            switch (e.window.event) {
                case SDL_WINDOWEVENT_CLOSE: deliver(w, KvEventType::close); break;
                case SDL_WINDOWEVENT_FOCUS_GAINED: deliver(w, KvEventType::activated); break;
                case SDL_WINDOWEVENT_FOCUS_LOST: deliver(w, KvEventType::deactivated); break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                case SDL_WINDOWEVENT_RESTORED: w->needRepaint(); break;
                default: break;
            }
            break;
        }
        case SDL_MOUSEMOTION: {
            KvSdlWindow* w = windowById(e.motion.windowID);
            if (w) deliver(w, KvEventType::mouseMove, w->toCanvas(e.motion.x, e.motion.y));
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            KvSdlWindow* w = windowById(e.button.windowID);
            if (!w || e.button.button != SDL_BUTTON_LEFT) break;
            const KvPoint at = w->toCanvas(e.button.x, e.button.y);
            if (e.type == SDL_MOUSEBUTTONUP)
                deliver(w, KvEventType::mouseUp, at);
            else  // the second press of a double click is the double click itself
                deliver(w, e.button.clicks >= 2 && e.button.clicks % 2 == 0 ? KvEventType::mouseDblClick
                                                                             : KvEventType::mouseDown, at);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            KvSdlWindow* w = windowById(e.key.windowID);
            if (!w) break;
            const SDL_Keycode k = e.key.keysym.sym;
            const bool down = e.type == SDL_KEYDOWN;
            const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
            if (k == SDLK_F11 || (alt && (k == SDLK_RETURN || k == SDLK_KP_ENTER))) {
                if (down && !e.key.repeat) w->toggleFullscreen();
                break;
            }
            if (k == SDLK_F12) {
                if (down && !e.key.repeat && snapshot && KvWindow::isOpen(w->owner)) snapshot(w->owner);
                break;
            }
            if (const int code = keyCode(k)) deliver(w, down ? KvEventType::keyDown : KvEventType::keyUp, {}, code);
            break;
        }
        default: break;
    }
}

// ------------------------------------------------------------ audio

// On the device's thread.
void KvSdlBackend::pull(void* self, unsigned char* stream, int bytes) {
    const auto* b = static_cast<KvSdlBackend*>(self);
    const int frameBytes = static_cast<int>(sizeof(int16_t)) * b->audioChannels;
    b->audioFill(b->audioUser, reinterpret_cast<int16_t*>(stream), bytes / frameBytes);
}

bool KvSdlBackend::openAudio(KvAudioFill fill, void* user, KvAudioFormat* deviceFormat) {
    if (settings.mute || !fill || audioDevice) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = deviceFormat ? deviceFormat->rate : 44100;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(deviceFormat ? deviceFormat->channels : 2);
    want.samples = 1024;
    want.callback = &KvSdlBackend::pull;
    want.userdata = this;
    audioFill = fill;
    audioUser = user;
    audioChannels = want.channels;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device plays.
    audioDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!audioDevice) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    if (deviceFormat) {
        deviceFormat->rate = want.freq;
        deviceFormat->channels = want.channels;
    }
    SDL_PauseAudioDevice(audioDevice, 0);
    return true;
}

void KvSdlBackend::closeAudio() {
    if (!audioDevice) return;
    SDL_CloseAudioDevice(audioDevice);
    audioDevice = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void KvSdlBackend::lockAudio() {
    if (audioDevice) SDL_LockAudioDevice(audioDevice);
}

void KvSdlBackend::unlockAudio() {
    if (audioDevice) SDL_UnlockAudioDevice(audioDevice);
}

// ------------------------------------------------------------ messages

void KvSdlBackend::userMessage(const char* text) {
    KvBackend::userMessage(text);  // stderr as well: the box may go unseen
    if (!ready) return;
    SDL_Window* parent = nullptr;
    if (!windows.empty()) parent = SDL_GetWindowFromID(windows.front()->id);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "qrn", text ? text : "", parent);
}

// ------------------------------------------------------------ file dialogs

namespace {

// Whether program is an executable file in a folder of the PATH.
bool onPath(const char* program) {
    const char* path = SDL_getenv("PATH");
    if (!path) return false;
    std::string folders = path;
    for (size_t from = 0; from <= folders.size();) {
        size_t to = folders.find(':', from);
        if (to == std::string::npos) to = folders.size();
        const std::string file = (to > from ? folders.substr(from, to - from) : std::string(".")) + "/" + program;
        if (::access(file.c_str(), X_OK) == 0) return true;
        from = to + 1;
    }
    return false;
}

// A text for the shell, in single quotes.
std::string quoted(const char* text) {
    std::string q = "'";
    for (const char* c = text ? text : ""; *c; ++c) q += *c == '\'' ? std::string("'\\''") : std::string(1, *c);
    return q + "'";
}

}  // namespace

bool KvSdlBackend::chooseFile(const char* title, const char* pattern, bool save, char* path, int size) {
    if (!path || size < 1) return false;
    path[0] = 0;
    std::string command;
    if (onPath("zenity"))
        command = "zenity --file-selection --title=" + quoted(title) + " --file-filter=" + quoted(pattern) +
                  (save ? " --save --confirm-overwrite" : "");
    else if (onPath("kdialog"))
        command = std::string("kdialog --title ") + quoted(title) + (save ? " --getsavefilename" : " --getopenfilename") +
                  " . " + quoted(pattern);
    else
        return false;
    std::FILE* answer = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!answer) return false;
    std::string chosen;
    for (int c; (c = std::fgetc(answer)) != EOF && c != '\n';) chosen += static_cast<char>(c);
    const bool chose = ::pclose(answer) == 0 && !chosen.empty() && static_cast<int>(chosen.size()) < size;
    if (chose) std::memcpy(path, chosen.c_str(), chosen.size() + 1);
    return chose;
}

// Headless backend: virtual clock, input queue, memory screens, no audio.
#include "framework/headless/KvHeadlessBackend.h"

#include <algorithm>

#include "framework/KvSoundDriver.h"
#include "framework/KvInterruptions.h"
#include "framework/KvWindow.h"

// ---- window ----

KvHeadlessWindow::KvHeadlessWindow(KvHeadlessBackend* b, KvWindow* o, const KvRect& r, int s)
    : backend(b), owner(o), openRect(r), style(s) {}

KvHeadlessWindow::~KvHeadlessWindow() {
    if (backend) backend->forget(this);
}

void KvHeadlessWindow::Screen::match(const KvCanvas& c) {
    if (isValid() && getWidth() == c.getWidth() && getHeight() == c.getHeight() &&
        getFormat() == c.getFormat() && isTopDown() == c.isTopDown())
        return;
    delete[] store.bits;  // allocate() starts from an empty store
    store = KvPixelStore();
    allocate(c.getWidth(), c.getHeight(), c.getFormat() == kKvFormat555 ? 15 : c.getDepth(),
             c.isTopDown());
}

void KvHeadlessWindow::present(const KvCanvas& screen, const KvRect& area) {
    shown.match(screen);
    if (screen.getPixelFormat().isIndexed()) shown.setPalette(screen.getPaletteEntries(), false);
    const KvRect r = area * screen.getBounds();
    // Same size and format: blt reduces to row copies.
    if (!r.isEmpty())
        shown.blt(&screen, r.left, r.top, r.width(), r.height(), r.left, r.top);
    ++presents;
    lastArea = r;
}

void KvHeadlessWindow::setSystemPointerVisible(bool visible) {
    systemPointerVisible = visible;
    ++visibilityCalls;
}

void KvHeadlessWindow::setTitle(const char* t) { title = t ? t : ""; }

// ---- backend ----

KvHeadlessBackend::~KvHeadlessBackend() {
    KvSoundDriver::release(this);
    for (KvHeadlessWindow* w : windows) w->backend = nullptr;
    if (KvBackend::current() == this) KvBackend::install(nullptr);
}

KvBackendWindow* KvHeadlessBackend::openWindow(KvWindow* owner, const KvRect& rect, int style) {
    auto* w = new KvHeadlessWindow(this, owner, rect, style);
    windows.push_back(w);
    return w;
}

void KvHeadlessBackend::forget(KvHeadlessWindow* w) {
    windows.erase(std::remove(windows.begin(), windows.end(), w), windows.end());
    // Input aimed at a closed window goes nowhere.
    std::erase_if(queue, [w](const Pending& p) { return p.target == w->owner; });
}

KvHeadlessWindow* KvHeadlessBackend::windowOf(const KvWindow* owner) const {
    for (KvHeadlessWindow* w : windows)
        if (w->owner == owner) return w;
    return nullptr;
}

bool KvHeadlessBackend::openAudio(KvAudioFill fill, void* user, KvAudioFormat* deviceFormat) {
    (void)fill;
    (void)user;
    (void)deviceFormat;
    ++audioOpenCalls;
    return false;
}

void KvHeadlessBackend::interrupt(unsigned long ms) {
    now += ms;
    KvInterruptions::interrupted(ms);
}

bool KvHeadlessBackend::setDisplayDepth(int bits) {
    if (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32) return false;
    depth = bits;
    return true;
}

void KvHeadlessBackend::post(const KvEventRecord& e, KvWindow* target) {
    queue.push_back(Pending{e, target, nextSeq++});
}

void KvHeadlessBackend::mouseDown(const KvPoint& p, KvWindow* target) {
    post(KvEventRecord{KvEventType::mouseDown, p, 0, KvRect::zero}, target);
}
void KvHeadlessBackend::mouseUp(const KvPoint& p, KvWindow* target) {
    post(KvEventRecord{KvEventType::mouseUp, p, 0, KvRect::zero}, target);
}
void KvHeadlessBackend::mouseMove(const KvPoint& p, KvWindow* target) {
    post(KvEventRecord{KvEventType::mouseMove, p, 0, KvRect::zero}, target);
}
void KvHeadlessBackend::mouseDblClick(const KvPoint& p, KvWindow* target) {
    post(KvEventRecord{KvEventType::mouseDblClick, p, 0, KvRect::zero}, target);
}
void KvHeadlessBackend::keyDown(int key, KvWindow* target) {
    post(KvEventRecord{KvEventType::keyDown, {}, key, KvRect::zero}, target);
}
void KvHeadlessBackend::keyUp(int key, KvWindow* target) {
    post(KvEventRecord{KvEventType::keyUp, {}, key, KvRect::zero}, target);
}

void KvHeadlessBackend::pumpEvents() {
    now += step;
    // Only what was queued before this pump; a handler may queue more, or
    // close windows (which takes their events out of the queue).
    const unsigned long limit = nextSeq;
    while (!queue.empty() && queue.front().seq < limit) {
        const Pending p = queue.front();
        queue.pop_front();
        KvWindow* target = p.target ? p.target : KvWindow::activeWindow;
        if (!KvWindow::isOpen(target)) continue;
        const KvEventType t = p.event.type;
        if (t == KvEventType::mouseDown || t == KvEventType::mouseUp ||
            t == KvEventType::mouseMove || t == KvEventType::mouseDblClick)
            if (KvHeadlessWindow* w = windowOf(target)) w->pointerAt = p.event.mouse;
        KvEventDispatch(target, p.event);
    }
}

// Event delivery and the state it leaves for KvEventGetMouse/KvEventGetKey.
// Invariant: while a dispatch runs, mouse and key hold that event's values;
// when a nested dispatch (a handler that pumps events) returns, the outer
// event's values come back. At the outermost level the values of the last
// event stay, so a query between events sees the most recent input.
#include "framework/KvEvent.h"

#include "framework/KvWindow.h"
#include "framework/KvWndCanvas.h"

namespace {
KvPoint mouse;
int key = 0;
int depth = 0;
KvXFormMouseFct xform = nullptr;
KvEventTap tap = nullptr;
void* tapUser = nullptr;
bool internalDispatch = false;  // the dispatcher's own nested deactivation

bool isMouse(KvEventType t) {
    return t == KvEventType::mouseDblClick || t == KvEventType::mouseDown ||
           t == KvEventType::mouseMove || t == KvEventType::mouseUp;
}
bool isKey(KvEventType t) { return t == KvEventType::keyDown || t == KvEventType::keyUp; }

// The window's event virtual for e. Nothing may touch w after this returns.
void callVirtual(KvWindow* w, const KvEventRecord& e) {
    switch (e.type) {
        case KvEventType::activated: w->activated(); break;
        case KvEventType::close: w->close(); break;
        case KvEventType::deactivated: w->deactivated(); break;
        case KvEventType::draw: w->draw(e.area.isEmpty() ? nullptr : &e.area); break;
        case KvEventType::keyDown: w->keyDown(); break;
        case KvEventType::keyUp: w->keyUp(); break;
        case KvEventType::maximized: w->maximized(); break;
        case KvEventType::minimized: w->minimized(); break;
        case KvEventType::mouseDblClick: w->mouseDblClick(); break;
        case KvEventType::mouseDown: w->mouseDown(); break;
        case KvEventType::mouseMove: w->mouseMove(); break;
        case KvEventType::mouseUp: w->mouseUp(); break;
        case KvEventType::moved: w->moved(); break;
        case KvEventType::restored: w->restored(); break;
        case KvEventType::sized: w->sized(); break;
    }
}
}  // namespace

KvPoint KvEventGetMouse() { return KvEventTransformMouse(mouse); }

int KvEventGetKey() { return key; }

void KvEventSetXFormMouseFct(KvXFormMouseFct fct) { xform = fct; }

KvXFormMouseFct KvEventGetXFormMouseFct() { return xform; }

KvPoint KvEventTransformMouse(KvPoint p) {
    if (xform) xform(p);
    return p;
}

void KvEventSetTap(KvEventTap t, void* user) {
    tap = t;
    tapUser = t ? user : nullptr;
}

void KvEventDispatch(KvWindow* target, const KvEventRecord& e) {
    const bool fromBackend = !internalDispatch;
    internalDispatch = false;
    if (!KvWindow::isOpen(target)) return;
    if (fromBackend && tap && !tap(tapUser, target, e)) return;

    switch (e.type) {
        case KvEventType::activated:
            if (KvWindow::activeWindow == target) return;
            if (KvWindow* previous = KvWindow::activeWindow) {
                internalDispatch = true;
                KvEventDispatch(previous, KvEventRecord{KvEventType::deactivated, {}, 0, KvRect::zero});
                if (!KvWindow::isOpen(target)) return;  // the old window's handler closed it
            }
            KvWindow::activeWindow = target;
            target->canvas->windowActivated();
            break;
        case KvEventType::deactivated:
            if (KvWindow::activeWindow != target) return;
            // The cursor's vDeactivate shows the system pointer, which reaches
            // only the active window: clear it afterwards.
            target->canvas->windowDeactivated();
            if (KvWindow::activeWindow == target) KvWindow::activeWindow = nullptr;
            break;
        case KvEventType::moved:
        case KvEventType::sized:
            if (!e.area.isEmpty()) target->rect = e.area;
            break;
        default: break;
    }

    const KvPoint outerMouse = mouse;
    const int outerKey = key;
    if (isMouse(e.type)) mouse = e.mouse;
    if (isKey(e.type)) key = e.key;
    ++depth;
    callVirtual(target, e);
    --depth;
    if (depth > 0) {
        mouse = outerMouse;
        key = outerKey;
    }
}

// Windows: construction through the backend, links, pointer position.
#include "framework/KvWindow.h"

#include "framework/KvBackend.h"
#include "framework/KvWndCanvas.h"

KvWindow* KvWindow::activeWindow = nullptr;
KvList<KvWindow> KvWindow::openWindows;

KvWindow::KvWindow(const KvRect& r, KvWindowStyle s, int type)
    : rect(r), style(s), rectType(type) {
    openWindows.append(this);
    backendWindow = KvBackend::current()->openWindow(this, rect, style);
    canvas = new KvWndCanvas(this);
    if (!activeWindow) activeWindow = this;
}

KvWindow::~KvWindow() {
    if (activeWindow == this) activeWindow = nullptr;
    openWindows.remove(this);
    // The canvas goes first: it uninstalls its cursor while the backend window
    // can still be told about the system pointer.
    delete canvas;
    canvas = nullptr;
    delete backendWindow;
    for (KvLink*& l : links) {
        delete l;
        l = nullptr;
    }
}

bool KvWindow::isOpen(const KvWindow* w) { return w && openWindows.contains(w); }

void KvWindow::setLink(KvEventType event, const KvLink* link) {
    KvLink::assign(links[static_cast<int>(event)], link);
}

KvLink* KvWindow::getLink(KvEventType event) const { return links[static_cast<int>(event)]; }

void KvWindow::callLink(KvEventType event) const {
    if (const KvLink* l = links[static_cast<int>(event)]) l->call();
}

void KvWindow::activated() { callLink(KvEventType::activated); }
void KvWindow::close() { callLink(KvEventType::close); }
void KvWindow::deactivated() { callLink(KvEventType::deactivated); }
void KvWindow::draw(const void* area) {
    (void)area;  // the link gets its own stored argument, like every event link
    callLink(KvEventType::draw);
}
void KvWindow::keyDown() { callLink(KvEventType::keyDown); }
void KvWindow::keyUp() { callLink(KvEventType::keyUp); }
void KvWindow::maximized() { callLink(KvEventType::maximized); }
void KvWindow::minimized() { callLink(KvEventType::minimized); }
void KvWindow::mouseDblClick() { callLink(KvEventType::mouseDblClick); }
void KvWindow::mouseDown() { callLink(KvEventType::mouseDown); }
void KvWindow::mouseMove() { callLink(KvEventType::mouseMove); }
void KvWindow::mouseUp() { callLink(KvEventType::mouseUp); }
void KvWindow::moved() { callLink(KvEventType::moved); }
void KvWindow::restored() { callLink(KvEventType::restored); }
void KvWindow::sized() { callLink(KvEventType::sized); }

KvPoint KvWindow::getMouse(KvPoint* out) const {
    const KvPoint p = KvEventTransformMouse(backendWindow ? backendWindow->pointer() : KvPoint());
    if (out) *out = p;
    return p;
}

void KvWindow::setTitle(const char* title) {
    if (backendWindow) backendWindow->setTitle(title);
}

// The base cursor: the system pointer, visible unless pointers are hidden.
#include "framework/KvCursor.h"

#include "framework/KvBackend.h"
#include "framework/KvWindow.h"
#include "framework/KvWndCanvas.h"

int KvCursor::hidden = 0;
KvCursor* KvCursor::current = nullptr;

KvCursor::~KvCursor() {
    // Being destroyed, the cursor cannot be uninstalled through its virtuals;
    // the canvas just forgets it.
    if (canvas) canvas->forgetCursor(this);
    if (current == this) current = nullptr;
}

void KvCursor::hide() {
    if (hidden) return;
    hidden = 1;
    if (current) current->vHide();
}

void KvCursor::show() {
    if (!hidden) return;
    hidden = 0;
    if (current) current->vShow();
}

void KvCursor::scSetVisible(int visible) {
    KvWindow* w = KvWindow::activeWindow;
    if (w && w->getBackendWindow()) w->getBackendWindow()->setSystemPointerVisible(visible != 0);
}

void KvCursor::set(KvWndCanvas* onCanvas) {
    (void)onCanvas;
    scSetVisible(!hidden);
}

void KvCursor::unInstall() {}

void KvCursor::vActivate() { scSetVisible(!hidden); }

void KvCursor::vDeactivate() {}

void KvCursor::vHide() { scSetVisible(0); }

void KvCursor::vShow() { scSetVisible(1); }

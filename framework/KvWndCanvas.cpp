// Window canvases: presentation, flip chain and cursor installation.
#include "framework/KvWndCanvas.h"

#include "framework/KvBackend.h"
#include "framework/KvCursor.h"
#include "framework/KvSys.h"
#include "framework/KvWindow.h"

KvWndCanvas::KvWndCanvas(KvWindow* w) : window(w) {
    const KvRect r = w->getRect();
    allocate(r.width(), r.height(), KvSysNumColors(), true);
}

KvWndCanvas::~KvWndCanvas() { setCursor(nullptr); }

void KvWndCanvas::present(const KvRect& area) {
    const KvRect shown = area * getBounds();
    if (shown.isEmpty()) return;
    if (KvBackendWindow* bw = window->getBackendWindow()) bw->present(*this, shown);
}

int KvWndCanvas::attachToFlipChain(KvCanvas* back) {
    if (!back || back == this || !isValid() || !back->isValid()) return 0;
    if (backBuffer) return backBuffer == back ? 1 : 0;
    if (!KvBackend::current()->canFlip()) return 0;
    if (back->getWidth() != getWidth() || back->getHeight() != getHeight() ||
        back->getFormat() != getFormat() || back->isTopDown() != isTopDown())
        return 0;
    backBuffer = back;
    return 1;
}

int KvWndCanvas::detachFromFlipChain(KvCanvas* back) {
    if (!back || back != backBuffer) return 0;
    backBuffer = nullptr;
    return 1;
}

int KvWndCanvas::flip() {
    if (!backBuffer || !swapStores(*this, *backBuffer)) return 0;
    present();
    return 1;
}

void KvWndCanvas::setCursor(const KvCursor* constCursor) {
    // Installing a cursor changes its state (it learns its canvas and becomes
    // current), but callers hold cursors as shared, const shapes.
    KvCursor* c = const_cast<KvCursor*>(constCursor);
    if (c && c == cursor) {
        KvCursor::current = c;
        return;
    }
    if (KvCursor* old = cursor) {
        cursor = nullptr;
        old->canvas = nullptr;
        old->unInstall();
        if (KvCursor::current == old) KvCursor::current = nullptr;
    }
    if (!c) return;
    // A cursor sits on one canvas at a time: it leaves the one it was on.
    if (c->canvas) c->canvas->setCursor(nullptr);
    cursor = c;
    c->canvas = this;
    KvCursor::current = c;
    c->set(this);
}

void KvWndCanvas::forgetCursor(const KvCursor* c) {
    if (cursor == c) cursor = nullptr;
}

void KvWndCanvas::windowActivated() {
    if (!cursor) return;
    KvCursor::current = cursor;
    cursor->vActivate();
}

void KvWndCanvas::windowDeactivated() {
    if (cursor && KvCursor::current == cursor) cursor->vDeactivate();
}

// The AO picture background and its stack of saved areas.
#include "background/AOBackground.h"

#include "anim/KvAnimation.h"
#include "framework/KvApp.h"
#include "framework/KvSys.h"

const char* const AOBackground::className = "AOBackground";

namespace {

// Canvases are asked for by depth, where 15 means 5-5-5.
int depthOf(const KvCanvas& c) { return c.getFormat() == kKvFormat555 ? 15 : c.getDepth(); }

}  // namespace

AOBackground::AOBackground(const KvRect& rect, KvIStream* stream)
    : canvas(new KvMemCanvas(rect.width(), rect.height(), KvApp::bCanFlip ? KvSysNumColors(0) : 8,
                             1, false)) {
    KvAnimation::splash(canvas, stream, 0);
}

AOBackground::~AOBackground() {
    delete canvas;
    while (AOStampRecord* r = stampStack.first()) {
        stampStack.remove(r);
        delete r->saved;
        delete r;
    }
}

void AOBackground::bkSetRes(KvIStream* stream) { KvAnimation::splash(canvas, stream, 0); }

void AOBackground::bkPushStampRect(const KvRect& rect) {
    const KvRect r = rect * canvas->getBounds();
    // The copy keeps the canvas's own format, so that popping puts back exactly
    // the pixels that were there. An area outside the canvas saves nothing but
    // still takes its place on the stack, to pair with its pop.
    auto* record = new AOStampRecord{r.left, r.top, new KvMemCanvas(r.width(), r.height(), depthOf(*canvas), 1, false)};
    KvColor palette[256];
    canvas->getPalette(palette);
    record->saved->setPalette(palette, true);
    record->saved->blt(canvas, r.left, r.top, r.width(), r.height(), 0, 0, kKvRopCopy, nullptr);
    stampStack.prepend(record);
}

void AOBackground::bkPopStampRect() {
    AOStampRecord* top = stampStack.first();
    if (!top) return;
    canvas->blt(top->saved, 0, 0, top->saved->getWidth(), top->saved->getHeight(), top->x, top->y, kKvRopCopy,
                nullptr);
    stampStack.remove(top);
    delete top->saved;
    delete top;
}

bool AOBackground::bkRestore(KvCanvas* target, const KvRegion& region, KvRect&) {
    const KvRect changed = region.bounds();
    if (!target || changed == KvRect::zero) return false;
    target->blt(canvas, changed.left, changed.top, changed.width(), changed.height(), changed.left, changed.top,
                kKvRopCopy, &region);
    return false;
}

void AOBackground::bkSetPalette(const KvColor* colors) { canvas->setPalette(colors, true); }

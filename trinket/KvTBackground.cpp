// The base background: white wherever the window asks for a restore.
#include "trinket/KvTBackground.h"

KvTBackground::KvTBackground()
    : mouseDownLink(nullptr), mouseUpLink(nullptr), mouseMoveLink(nullptr),
      mouseDblClickLink(nullptr), linkMask(0), xOffset(0), yOffset(0) {}

KvTBackground::~KvTBackground() {
    delete mouseDownLink;
    delete mouseUpLink;
    delete mouseMoveLink;
    delete mouseDblClickLink;
}

void KvTBackground::bkSetRes(KvIStream*) {}

KvMemCanvas* KvTBackground::bkGetCanvas() const { return nullptr; }

void KvTBackground::bkPushStampRect(const KvRect&) {}

void KvTBackground::bkPopStampRect() {}

const char* KvTBackground::isA() const { return nullptr; }

bool KvTBackground::bkRestore(KvCanvas* target, const KvRegion& region, KvRect&) {
    if (!target || region.isNull()) return false;
    static const KvColor white(0xFFFF, 0xFFFF, 0xFFFF);
    target->fill = true;
    target->outline = false;
    target->fillColor = white;
    target->outlineColor = white;
    target->draw(region);
    return false;
}

void KvTBackground::bkSetPalette(const KvColor*) {}

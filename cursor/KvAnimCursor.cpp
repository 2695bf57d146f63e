// The animated cursor: its animation, the forwarding to it, and the
// hand-over when the window deletes the animation first.
#include "cursor/KvAnimCursor.h"

#include "framework/KvWndCanvas.h"

// ao's class: an animation that tells its cursor when it is deleted by anyone
// but the cursor.
class KvAnimCursor::Picture : public KvAnimation {
public:
    Picture(KvIStream* stream, KvTrinketWindow* window, KvAnimCursor* owner)
        : KvAnimation(stream, 0, 0, window), cursor(owner) {}
    ~Picture() override {
        if (cursor) cursor->pictureGone();
    }
    KvAnimCursor* cursor;
};

KvAnimCursor::KvAnimCursor(KvIStream* stream, KvTrinketWindow* window) : KvTCursor(window), ao(nullptr) {
    init(stream);
}

KvAnimCursor::~KvAnimCursor() {
    if (ao) {
        static_cast<Picture*>(ao)->cursor = nullptr;
        delete ao;
        ao = nullptr;
    }
}

void KvAnimCursor::init(KvIStream* stream) {
    trDetach();
    const int createVisible = KvTrinket::getCreateVisible();
    KvTrinket::setCreateVisible(0);
    ao = new Picture(stream, container, this);
    KvTrinket::setCreateVisible(createVisible);
    ao->trSetTouchy(0);
    ao->trSetMovable(0);
    ao->trSetVisible(0);
    ao->trSetSpecialZ(kTrSpecialZ2);
    ao->KvTrinket::trSetCorralNormalization(0);
    ao->activate();
}

void KvAnimCursor::pictureGone() {
    ao = nullptr;
    if (getCanvas()) getCanvas()->setCursor(nullptr);
    if (ownsMoveLink()) container->twCursorMoveSetLink(nullptr);
    // The window is going away: nothing of it may be touched from now on.
    container = nullptr;
}

const KvRect& KvAnimCursor::box() const { return ao ? ao->box() : KvTrinket::box(); }

void KvAnimCursor::trSetRect(int l, int t, int r, int b) {
    if (ao) ao->trSetRect(l, t, r, b);
}

void KvAnimCursor::trSetRect(const KvRect& r) {
    if (ao) ao->trSetRect(r);
}

void KvAnimCursor::trOffset(int& dx, int& dy) {
    if (ao) ao->trOffset(dx, dy);
}

void KvAnimCursor::trSetXY(int x, int y) {
    if (ao) ao->trSetXY(x, y);
}

void KvAnimCursor::trSetVisible(int v) {
    if (ao) ao->trSetVisible(v);
}

int KvAnimCursor::trGetVisible() const { return ao ? ao->trGetVisible() : 0; }

void KvAnimCursor::trInvalidate(const KvRegion& region) {
    if (ao) ao->trInvalidate(region);
}

void KvAnimCursor::trInvalidate() {
    if (ao) ao->trInvalidate();
}

void KvAnimCursor::trMakeAllDirty() {
    if (ao) ao->trMakeAllDirty();
}

void KvAnimCursor::trSetCorralNormalization(int n) {
    if (ao) ao->KvTrinket::trSetCorralNormalization(n);
}

int KvAnimCursor::trGetCorralNormalization() const {
    return ao ? ao->KvTrinket::trGetCorralNormalization() : 0;
}

// Animations: the drawing entry points. Every draw first makes this
// animation's colour table the renderer's current one; the renderer then
// writes straight from the cel's runs into canvas memory, clipped unless the
// drawn box lies wholly inside the area being redrawn. The member draws hand
// the renderer this animation's screen-format literals, which hold only its
// own cels; the static forms draw any picture through the table alone.
#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"
#include "trinket/KvTrinketWindow.h"

void KvAnimation::grDrawPic(int x, int y, unsigned char* pic, KvCanvas* canvas, unsigned char dir) {
    KvCelRenderer::draw(x, y, pic, canvas, dir);
}

void KvAnimation::grDrawPic(int x, int y, unsigned char* pic, KvCanvas* canvas, const KvRect& clip,
                            unsigned char dir) {
    KvCelRenderer::draw(x, y, pic, canvas, clip, dir);
}

void KvAnimation::grDrawPic(int x, int y, unsigned char* pic, const KvRect& clip, unsigned char dir) const {
    useTables();
    KvCelRenderer::draw(x, y, pic, trGetCollector(), clip, dir, &literals);
}

void KvAnimation::grDrawPic(int x, int y, unsigned char* pic, unsigned char dir) const {
    useTables();
    KvCelRenderer::draw(x, y, pic, trGetCollector(), dir, &literals);
}

void KvAnimation::paint(int x, int y, KvCanvas* canvas) const {
    if (!curPicture || !canvas) return;
    useTables();
    KvCelRenderer::draw(x, y, curPicture, canvas, canvas->getBounds(), drawDirection, &literals);
}

void KvAnimation::paint() const { paint(KvPoint(trGetX(), trGetY()), box()); }

void KvAnimation::paint(const KvPoint& p) const { paint(p, box()); }

void KvAnimation::paint(const KvRect& clip) const { paint(KvPoint(trGetX(), trGetY()), clip); }

void KvAnimation::paint(const KvPoint& p, const KvRect& clip) const {
    if (curPicture) grDrawPic(p.x, p.y, curPicture, clip, drawDirection);
}

void KvAnimation::paintCel(int cel, int x, int y, KvCanvas* canvas, const KvRect& clip) const {
    unsigned char* pic = pictureOf(cel);
    if (!pic || !canvas) return;
    useTables();
    KvCelRenderer::draw(x, y, pic, canvas, clip, drawDirection, &literals);
}

void KvAnimation::paintCel(int cel, int x, int y, KvCanvas* canvas) const {
    unsigned char* pic = pictureOf(cel);
    if (!pic || !canvas) return;
    useTables();
    // A premade picture goes where the trinket is; a cel without one is decoded.
    if (const KvMemCanvas* made = premadePictures ? (*premadePictures)[static_cast<size_t>(cel)].get() : nullptr) {
        canvas->blt(made, 0, 0, made->getWidth(), made->getHeight(), trGetX(), trGetY(), kKvRopCopyKeyed);
        return;
    }
    KvCelRenderer::draw(x, y, pic, canvas, drawDirection, &literals);
}

void KvAnimation::trDraw() const {
    KvCanvas* collector = trGetCollector();
    if (!collector) return;
    if (premadeCel >= 0 && premadePictures && static_cast<size_t>(premadeCel) < premadePictures->size())
        if (const KvMemCanvas* made = (*premadePictures)[static_cast<size_t>(premadeCel)].get()) {
            collector->blt(made, 0, 0, made->getWidth(), made->getHeight(), trGetX(), trGetY(),
                           kKvRopCopyKeyed, nullptr);
            return;
        }
    if (!curPicture) return;
    KvRect area = trGetCorral();
    if (trGetDirtyState() == kTrPartlyDirty) area *= trGetDirtyRgn().bounds();
    if (box() <= area)
        grDrawPic(trGetX(), trGetY(), curPicture, drawDirection);
    else
        grDrawPic(trGetX(), trGetY(), curPicture, area, drawDirection);
}

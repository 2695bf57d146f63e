// Animations: construction from an AO file, the initial state, palettes and
// the colour table, premade pictures, splash, and the file getters.
//
// A colour table holds 256 native pixels of the window's format; on 16-bit
// windows each entry carries the pixel in both halves, so that drawers can
// store two pixels of a fill run at once. Palette files are big-endian.
#include <cstring>

#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"
#include "trinket/KvTrinketWindow.h"

KvList<KvAnimation> KvAnimation::animationList;
AOPremake KvAnimation::preMakePictures = kAOPremakeOff;
int KvAnimation::alwaysUseEmbeddedXYZ = 1;
KvAOStreamHook KvAnimation::srcURL = nullptr;
KvAOStreamHook KvAnimation::sndURL = nullptr;
KvAOStreamHook KvAnimation::pltURL = nullptr;
KvAOPaletteHook KvAnimation::paletteURL = nullptr;

namespace {

constexpr KvColor kBlack(0, 0, 0);

int16_t read16(const unsigned char* p) {
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The native pixel of 16-bit components r, g, b in format f.
uint32_t nativePixel(const KvPixelFormat& f, unsigned r, unsigned g, unsigned b) {
    const unsigned components[3] = {r, g, b};
    uint32_t pixel = 0;
    for (int c = 0; c < 3; ++c) pixel |= (components[c] >> (16 - f.bits[c])) << f.shifts[c];
    return pixel;
}

}  // namespace

// ---- construction ----

KvAnimation::KvAnimation(KvIStream* s, int x, int y, KvTrinketWindow* window)
    : KvTrinket(window, kTrClipRect), stream(s), useEmbeddedXYZ(alwaysUseEmbeddedXYZ),
      useFloatTiming(gFloatTiming), useGlobalTime(alwaysUseGlobalTime), soundOn(alwaysEnableAOSound),
      soundSync(alwaysSyncSounds), invalidates(alwaysInvalidate) {
    init(x, y);
}

KvAnimation::KvAnimation(KvRscID id, int x, int y, KvTrinketWindow* window)
    : KvAnimation(srcURL ? srcURL(id) : nullptr, x, y, window) {}

void KvAnimation::init(int x, int y) {
    animationList.append(this);
    if (stream) {
        stream->shareCount = 0;
        stream->setSrcOffset(0);
        stream->rewind();
        fileData = stream->data();
        loaded = fileData && loadAOData(fileData, static_cast<size_t>(stream->size()));
    }
    if (!loaded) holdNothing();
    literals.adopt(cels);
    setSequence(0, 1);
    setInitState(x, y);
    // The table comes before the premade pictures, which are drawn through it.
    if (loaded) makeColorTable();
    preMake = preMakePictures;
    if (preMake) makeAllPictures();
}

bool KvAnimation::loadAOData(unsigned char* data, size_t size) {
    KvAOLayout file;
    if (!KvAOFile::read(data, size, KvTrinketWindow::twFormat, file)) return false;
    aoFlags = file.flags;
    celCount = file.celCount;
    framesPerSecond = file.framesPerSecond;
    cels = std::move(file.cels);
    directColor = file.directColor;
    embeddedX = file.embeddedX;
    embeddedY = file.embeddedY;
    embeddedZ = file.embeddedZ;
    seqTable = std::move(file.sequences);
    seqLengths = std::move(file.sequenceLengths);
    seqOwned.assign(seqTable.size(), 0);
    return true;
}

void KvAnimation::holdNothing() {
    celCount = 0;
    cels.clear();
    directColor = false;
    framesPerSecond = 0;
    seqTable.assign(1, new KvAOSequence[1]{{0, 0, kAOEnd, 0}});
    seqLengths.assign(1, 1);
    seqOwned.assign(1, 1);
}

void KvAnimation::makeColorTable() {
    if ((aoFlags & kAONoColorTable) || windowDepth() == 8) return;
    colorTable = std::make_unique<uint32_t[]>(kAOPaletteEntries);
    KvCelLiterals::colorsChanged();
    if (paletteURL) assignPalette(paletteURL(stream));
}

void KvAnimation::setInitState(int x, int y) {
    if (x == kAOEmbeddedPosition) x = useEmbeddedXYZ ? embeddedX : 0;
    if (y == kAOEmbeddedPosition) y = useEmbeddedXYZ ? embeddedY : 0;
    if (useEmbeddedXYZ) trTouch(kTrPropZ, embeddedZ, 0);

    int p = seqPos;
    while (p < endPos && seq[p].cel < 0) ++p;
    curPicture = seq[p].cel >= 0 ? pictureOf(seq[p].cel) : nullptr;
    if (curPicture) {
        lastSeqPos = p;
        const int left = x + seq[p].x, top = y + seq[p].y;
        trSetRect(left, top, left + read16(curPicture + 2), top + read16(curPicture + 4));
    } else {
        trSetRect(x, y, x, y);  // nothing to show, but the position is kept
    }
    premadePictures.reset();
    premadeCel = -1;
    if (seq[0].cel == kAOPause) setFrame(1, 0);
}

// ---- the file's facts ----

unsigned char* KvAnimation::pictureOf(int cel) const {
    return cel >= 0 && cel < celCount ? cels[static_cast<size_t>(cel)] : nullptr;
}

int KvAnimation::getCelWidth(int cel) const {
    const unsigned char* pic = pictureOf(cel);
    return pic ? read16(pic + 2) : 0;
}

int KvAnimation::getCelHeight(int cel) const {
    const unsigned char* pic = pictureOf(cel);
    return pic ? read16(pic + 4) : 0;
}

const KvPixelFormat* KvAnimation::windowFormat() const {
    const KvCanvas* c = trGetCollector();
    if (!c && KvTrinketWindow::currentWindow) c = KvTrinketWindow::currentWindow->twGetCollector();
    return c ? &c->getPixelFormat() : nullptr;
}

int KvAnimation::windowDepth() const {
    const KvPixelFormat* f = windowFormat();
    return f ? f->depth : 0;
}

void KvAnimation::useTables() const {
    KvCelRenderer::currentColorTable = colorTable.get();
    if (KvTrinketWindow::twFormat == kKvFormat555 || KvTrinketWindow::twFormat == kKvFormat565)
        for (int c = 0; c < 3; ++c) KvCelRenderer::blendMasks[c] = static_cast<uint32_t>(KvTrinketWindow::twMasks[c]);
}

// ---- palettes and colours ----

void KvAnimation::loadPlt(const unsigned char* plt, KvColor* colors) {
    // The high byte of each big-endian component comes first.
    for (int i = 0; i < kAOPaletteEntries; ++i, plt += 6)
        colors[i].set(static_cast<unsigned short>(plt[0] << 8), static_cast<unsigned short>(plt[2] << 8),
                      static_cast<unsigned short>(plt[4] << 8));
}

void KvAnimation::loadPalette(KvIStream* s, KvColor* colors) {
    if (!s) return;
    s->setSrcOffset(0);
    s->rewind();
    if (colors && s->size() >= kAOPaletteFileSize) loadPlt(s->data(), colors);
    delete s;
}

void KvAnimation::assignPalette(KvIStream* s) {
    if (!s) return;
    const KvPixelFormat* f = windowFormat();
    s->setSrcOffset(0);
    s->rewind();
    if (f && f->depth > 8 && s->size() >= kAOPaletteFileSize) {
        if (!colorTable) colorTable = std::make_unique<uint32_t[]>(kAOPaletteEntries);
        KvCelLiterals::colorsChanged();
        const unsigned char* plt = s->data();
        for (int i = 0; i < kAOPaletteEntries; ++i, plt += 6) {
            const auto component = [plt](int k) { return static_cast<unsigned>(plt[2 * k] << 8 | plt[2 * k + 1]); };
            const uint32_t pixel = nativePixel(*f, component(0), component(1), component(2));
            colorTable[i] = f->depth == 16 ? pixel | pixel << 16 : pixel;
        }
    }
    delete s;
}

unsigned long KvAnimation::createColor(const KvColor& c) const {
    const KvPixelFormat* f = windowFormat();
    if (!f || f->depth < 9) return 0;
    return nativePixel(*f, c.red, c.green, c.blue);
}

// ---- splash ----

unsigned char* KvAnimation::loadAOPicture(void* data, size_t size) {
    return KvAOFile::firstPicture(static_cast<unsigned char*>(data), size);
}

void KvAnimation::splsh(KvCanvas* canvas, unsigned char* data, size_t size, unsigned char direction) {
    if (unsigned char* pic = loadAOPicture(data, size))
        KvCelRenderer::draw(0, 0, pic, canvas, canvas->getBounds(), direction);
}

void KvAnimation::splash(KvCanvas* canvas, KvIStream* s, unsigned char direction) {
    if (!s) return;
    s->setSrcOffset(0);
    s->rewind();
    if (canvas && s->data()) splsh(canvas, s->data(), static_cast<size_t>(s->size()), direction);
    delete s;
}

// ---- premade pictures ----

void KvAnimation::makeAllPictures() {
    premadePictures = std::make_shared<PremadeSet>(static_cast<size_t>(celCount));
    for (int n = 1; n <= celCount; ++n) {
        setFrame(n, 0);
        makePicture();
        setSequencePos(0, 1);
    }
}

void KvAnimation::makePicture() {
    if (premadeCel < 0 || !premadePictures || static_cast<size_t>(premadeCel) >= premadePictures->size()) return;
    std::unique_ptr<KvMemCanvas>& slot = (*premadePictures)[static_cast<size_t>(premadeCel)];
    if (slot || !preMake || !curPicture) return;
    const KvPixelFormat* f = windowFormat();
    if (!f) return;
    // Canvases are asked for 5-5-5 by the depth 15.
    const int depth = f->code == kKvFormat555 ? 15 : f->depth;
    auto canvas = std::make_unique<KvMemCanvas>(box().width(), box().height(), depth,
                                                preMake == kAOPremakeMode1 ? 1 : 2, false);
    if (!canvas->isValid()) return;
    canvas->setBackgroundColor(kBlack);
    canvas->setColorKey(kBlack);
    useTables();
    grDrawPic(0, 0, curPicture, canvas.get(), drawDirection);
    slot = std::move(canvas);
}

const void* KvAnimation::pack(long& size, KvMemCanvas* canvas, const KvRect& rect, int transparent) {
    return KvCelRenderer::pack(size, canvas, rect, transparent);
}

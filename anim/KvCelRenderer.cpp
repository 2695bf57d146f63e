// The cel renderer's dispatchers, picture geometry, validation and pixel lookup.
//
// The dispatchers decide everything once per draw: the effective clip (clip,
// canvas and drawn box intersected), whether the fast unclipped drawer may run
// (the box lies inside that clip), and which drawer fits the canvas depth and
// picture form. A draw that can show nothing returns before it locks the
// canvas; a draw that locked always releases. Validation walks the same runs
// as the drawers, so a picture it accepts never leads a drawer past its bytes.
#include "anim/KvCelRenderer.h"

#include <utility>

#include "anim/KvCelDrawers.h"
#include "anim/KvCelLiterals.h"

using namespace KvCelDrawers;

const uint32_t* KvCelRenderer::currentColorTable = nullptr;
uint32_t KvCelRenderer::blendMasks[3] = {0xF800, 0x07E0, 0x001F};

namespace {

bool isDirect(const unsigned char* pic) {
    return readInt16(pic) == KvCelRenderer::kDirectColorType;
}

// Locks the canvas and runs the drawer that fits its depth and the picture's form.
// visible is the effective clip, not empty.
void render(int x, int y, const unsigned char* pic, KvCanvas* canvas, const KvRect& visible,
            unsigned dir, bool clipped, KvCelLiterals* literals) {
    const int depth = canvas->getDepth();
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return;
    // Direct-colour pictures exist for 16-bit canvases only; read as indexed runs
    // they would be garbage, so they draw nothing elsewhere.
    const bool direct = isDirect(pic);
    if (direct && (depth != 16 || dir > 1)) return;
    if (!direct && depth != 8 && !KvCelRenderer::currentColorTable) return;
    // Made before the lock: a copy that is missing or stale costs one walk of the runs.
    const unsigned char* screen =
        literals && !direct ? literals->copyFor(pic, KvCelRenderer::currentColorTable, depth) : nullptr;

    Frame f;
    f.topDown = canvas->isTopDown();
    f.height = canvas->getHeight();
    f.x = x;
    f.y = y;
    f.clip = visible;
    if (!canvas->getPointerToMemory(&f.bits, &f.pitch)) return;
    if (f.bits && f.pitch >= canvas->getWidth() * (depth / 8)) {
        if (direct)
            drawDirect(f, pic, dir, clipped, KvCelRenderer::blendMasks);
        else
            drawIndexed(f, pic, depth / 8, dir, clipped, KvCelRenderer::currentColorTable, screen);
    }
    canvas->releasePointerToMemory();
}

// Checks that `need` more bytes lie at pos inside available.
bool fits(size_t pos, size_t need, size_t available) {
    return pos <= available && need <= available - pos;
}

bool validIndexed(const unsigned char* pic, size_t available, int width, int height) {
    size_t pos = kIndexedHeaderSize;
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width;) {
            if (!fits(pos, 1, available)) return false;
            const unsigned op = pic[pos++];
            int n;
            if (op == kSkipRun) {
                if (!fits(pos, 1, available)) return false;
                n = pic[pos++];
            } else if (op == kFillRun) {
                if (!fits(pos, 2, available)) return false;
                n = pic[pos + 1];
                pos += 2;
            } else {
                if (!fits(pos, op, available)) return false;
                n = static_cast<int>(op);
                pos += op;
            }
            if (n > width - c) return false;
            c += n;
        }
    }
    return true;
}

// Rows must follow the row table one after another: unclipped drawing reads
// them in sequence, clipped drawing enters through the table.
bool validDirect(const unsigned char* pic, size_t available, int width, int height) {
    const size_t table = kDirectHeaderSize;
    if (!fits(table, 4 * static_cast<size_t>(height), available)) return false;
    size_t pos = table + 4 * static_cast<size_t>(height);
    for (int r = 0; r < height; ++r) {
        if (readUint32(pic + table + 4 * static_cast<size_t>(r)) != pos) return false;
        for (int c = 0; c < width;) {
            if (!fits(pos, kDirectRunHeaderSize, available)) return false;
            const unsigned op = readUint16(pic + pos);
            const int n = readUint16(pic + pos + 2);
            pos += kDirectRunHeaderSize;
            size_t data;
            if (op == kTransparentRun)
                data = 0;
            else if (op == kOpaqueRun)
                data = 2 * static_cast<size_t>(n);
            else if (op == kTranslucentRun)
                data = kTranslucentItemSize * n;
            else
                return false;
            if (!fits(pos, data, available) || n > width - c) return false;
            pos += data;
            c += n;
        }
    }
    return true;
}

// Finds the pixel at one cel column while a row is walked.
struct ProbeSink {
    int column;
    int found = -1;
    bool covers(int c, int n) const { return column >= c && column < c + n; }
    void fill(int c, int n, const unsigned char* colour) {
        if (covers(c, n)) found = *colour;
    }
    void literal(int c, const unsigned char* src, int n) {
        if (covers(c, n)) found = src[column - c];
    }
    void copy(int c, const unsigned char* src, int n) {
        if (covers(c, n)) found = readUint16(src + 2 * (column - c));
    }
    void blend(int c, const unsigned char* src, int n) {
        if (covers(c, n)) found = readUint16(src + kTranslucentItemSize * (column - c));
    }
};

// Rewrites colour indices in place while a row is walked.
struct RemapSink {
    const unsigned char* map;
    static unsigned char* writable(const unsigned char* p) { return const_cast<unsigned char*>(p); }
    void fill(int, int, const unsigned char* colour) { *writable(colour) = map[*colour]; }
    void literal(int, const unsigned char* src, int n) {
        for (int i = 0; i < n; ++i) writable(src)[i] = map[src[i]];
    }
};

}  // namespace

KvRect KvCelRenderer::drawnBox(int x, int y, const unsigned char* pic, unsigned char dir) {
    if (!pic || dir > 7 || x < -kMaxPosition || x > kMaxPosition || y < -kMaxPosition ||
        y > kMaxPosition)
        return KvRect::zero;
    int w = readInt16(pic + 2), h = readInt16(pic + 4);
    if (w <= 0 || h <= 0) return KvRect::zero;
    if (dir >= 4) std::swap(w, h);
    return KvRect(x, y, x + w, y + h);
}

void KvCelRenderer::draw(int x, int y, const unsigned char* pic, KvCanvas* canvas,
                         unsigned char dir, KvCelLiterals* literals) {
    if (!canvas) return;
    // At or below the canvas height nothing is drawn; a negative y is taken as 0
    // (the cel is shifted, not clipped). What still leaves the canvas is clipped.
    if (y >= canvas->getHeight()) return;
    if (y < 0) y = 0;
    const KvRect box = drawnBox(x, y, pic, dir);
    const KvRect bounds = canvas->getBounds();
    if (box.isEmpty()) return;
    if (box <= bounds) {
        render(x, y, pic, canvas, box, dir, false, literals);
        return;
    }
    const KvRect visible = box * bounds;
    if (!visible.isEmpty()) render(x, y, pic, canvas, visible, dir, true, literals);
}

void KvCelRenderer::draw(int x, int y, const unsigned char* pic, KvCanvas* canvas,
                         const KvRect& clip, unsigned char dir, KvCelLiterals* literals) {
    if (!canvas) return;
    const KvRect box = drawnBox(x, y, pic, dir);
    const KvRect area = clip * canvas->getBounds();
    const KvRect visible = box * area;
    // Covers a picture at or below the clip's bottom: nothing is locked.
    if (visible.isEmpty()) return;
    render(x, y, pic, canvas, visible, dir, !(box <= area), literals);
}

bool KvCelRenderer::validate(const unsigned char* pic, size_t available) {
    if (!pic || available < kIndexedHeaderSize) return false;
    const int width = readInt16(pic + 2), height = readInt16(pic + 4);
    if (width < 0 || height < 0 || width > kMaxPictureSide || height > kMaxPictureSide)
        return false;
    if (isDirect(pic)) return validDirect(pic, available, width, height);
    return validIndexed(pic, available, width, height);
}

bool KvCelRenderer::mapToCel(int x, int y, const unsigned char* pic, unsigned char dir, int px,
                             int py, int& c, int& r) {
    const KvRect box = drawnBox(x, y, pic, dir);
    if (!box.contains(KvPoint(px, py))) return false;
    const int w = readInt16(pic + 2), h = readInt16(pic + 4);
    // The direction table backwards: directions 4 to 7 run cel rows down canvas columns.
    static constexpr bool kColumnFromFarSide[8] = {false, true,  false, true,
                                                   false, false, true,  true};
    static constexpr bool kRowFromFarSide[8] = {false, false, true, true, true, false, true, false};
    const int along = dir >= 4 ? py - y : px - x, across = dir >= 4 ? px - x : py - y;
    c = kColumnFromFarSide[dir] ? w - 1 - along : along;
    r = kRowFromFarSide[dir] ? h - 1 - across : across;
    return true;
}

int KvCelRenderer::pixelAt(const unsigned char* pic, int c, int r) {
    if (!pic) return -1;
    const int width = readInt16(pic + 2), height = readInt16(pic + 4);
    if (c < 0 || r < 0 || c >= width || r >= height) return -1;
    ProbeSink probe{c};
    if (isDirect(pic)) {
        readDirectRow(pic + readUint32(pic + kDirectHeaderSize + 4 * static_cast<size_t>(r)), width,
                      probe);
        return probe.found;
    }
    const unsigned char* src = pic + kIndexedHeaderSize;
    SkipSink skip;
    for (int i = 0; i < r; ++i) src = readIndexedRow(src, width, skip);
    readIndexedRow(src, width, probe);
    return probe.found;
}

void KvCelRenderer::remapIndices(unsigned char* pic, const unsigned char map[256]) {
    if (!pic || !map || isDirect(pic)) return;
    const int width = readInt16(pic + 2), height = readInt16(pic + 4);
    RemapSink remap{map};
    const unsigned char* src = pic + kIndexedHeaderSize;
    for (int r = 0; r < height; ++r) src = readIndexedRow(src, width, remap);
    KvCelLiterals::colorsChanged();
}

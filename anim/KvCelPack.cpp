// The cel encoder: an area of an 8-bit canvas as a complete one-cel AO file.
//
// Block layout, little-endian: a 10-byte header (1 sequence, 1 cel, 8 frames
// per second, swap flag 0, reserved 0, flags 0), the cel offset 0, an embedded
// position record of zeros, one sequence of 4 entries (pause point, cel 0,
// loop marker, end), and at offset 52 the indexed picture (type 0, W, H, rows).
// Runs never count more than kMaxRun pixels. A row of W pixels takes at most
// 2W bytes: a one-pixel skip or literal run costs 2 bytes, every other run less
// per pixel.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "anim/KvCelDrawers.h"
#include "anim/KvCelRenderer.h"

using namespace KvCelDrawers;

namespace {

constexpr int kMaxRun = 250;
constexpr size_t kAOHeaderSize = 52;
constexpr size_t kMinWorkBuffer = 32;
constexpr int kPackFramesPerSecond = 8;

// Sequence commands of the one sequence pack writes.
constexpr int kAOEnd = -1;
constexpr int kAOLoop = -2;
constexpr int kAOPause = -4;

void putLE16(unsigned char* p, int v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void writeAOHeader(unsigned char* out) {
    std::memset(out, 0, kAOHeaderSize);
    putLE16(out + 0, 1);  // sequences
    putLE16(out + 2, 1);  // cels
    out[4] = kPackFramesPerSecond;
    // out[5] swap flag, 6-7 reserved, 8-9 flags, 10-13 cel 0 at offset 0,
    // 14-17 embedded position: all zero.
    putLE16(out + 18, 4);  // entries of the sequence
    const int cels[4] = {kAOPause, 0, kAOLoop, kAOEnd};
    for (int i = 0; i < 4; ++i) putLE16(out + 20 + 8 * i + 4, cels[i]);  // x, y, param stay 0
}

// Emits n pixels of one kind as runs of at most kMaxRun: the opcode, the colour
// for fill runs, the count.
unsigned char* emitRuns(unsigned char* o, unsigned char op, int colour, int n) {
    while (n > 0) {
        const int k = std::min(n, kMaxRun);
        *o++ = op;
        if (op == kFillRun) *o++ = static_cast<unsigned char>(colour);
        *o++ = static_cast<unsigned char>(k);
        n -= k;
    }
    return o;
}

}  // namespace

int KvCelRenderer::encodeRow(unsigned char* out, const unsigned char* row, int width,
                             int transparent) {
    unsigned char* o = out;
    unsigned char* literalCount = nullptr;  // count byte of the open literal run
    for (int i = 0; i < width;) {
        const int p = row[i];
        int n = 0;
        if (p == transparent) {
            while (i + n < width && row[i + n] == p) ++n;
            o = emitRuns(o, kSkipRun, 0, n);
            literalCount = nullptr;
        } else if (width - i >= 4 && row[i + 1] == p && row[i + 2] == p) {
            while (i + n < width && row[i + n] == p) ++n;
            o = emitRuns(o, kFillRun, p, n);
            literalCount = nullptr;
        } else {
            if (!literalCount || *literalCount == kMaxRun) {
                literalCount = o++;
                *literalCount = 0;
            }
            ++*literalCount;
            *o++ = static_cast<unsigned char>(p);
            n = 1;
        }
        i += n;
    }
    return static_cast<int>(o - out);
}

const void* KvCelRenderer::pack(long& size, KvMemCanvas* canvas, const KvRect& rect,
                                int transparent) {
    size = 0;
    if (!canvas || canvas->getDepth() != 8) return nullptr;
    // The area keeps the rectangle's origin and is cut to the canvas.
    const KvRect area = rect == KvRect::zero ? canvas->getBounds() : rect * canvas->getBounds();
    if (area.isEmpty()) return nullptr;
    const int width = area.width(), height = area.height();

    const size_t workSize =
        std::max(kMinWorkBuffer, 2 * static_cast<size_t>(width) * height + kIndexedHeaderSize);
    std::unique_ptr<unsigned char[]> work(new (std::nothrow) unsigned char[workSize]);
    if (!work) return nullptr;
    putLE16(work.get() + 0, 0);
    putLE16(work.get() + 2, width);
    putLE16(work.get() + 4, height);
    size_t used = kIndexedHeaderSize;

    unsigned char* bits = nullptr;
    int pitch = 0;
    if (!canvas->getPointerToMemory(&bits, &pitch)) return nullptr;
    const bool readable = bits && pitch >= canvas->getWidth();
    if (readable) {
        const bool topDown = canvas->isTopDown();
        for (int r = 0; r < height; ++r) {
            const int y = area.top + r;
            const int memoryRow = topDown ? y : canvas->getHeight() - 1 - y;
            const unsigned char* row =
                bits + static_cast<size_t>(memoryRow) * pitch + static_cast<size_t>(area.left);
            used += encodeRow(work.get() + used, row, width, transparent);
        }
    }
    canvas->releasePointerToMemory();
    if (!readable) return nullptr;

    unsigned char* block = new (std::nothrow) unsigned char[kAOHeaderSize + used];
    if (!block) return nullptr;
    writeAOHeader(block);
    std::memcpy(block + kAOHeaderSize, work.get(), used);
    size = static_cast<long>(kAOHeaderSize + used);
    return block;
}

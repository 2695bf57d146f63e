// The cel drawers behind KvCelRenderer's dispatchers, and the run readers
// they share with validation and pixel lookup.
//
// A drawer works on canvas memory that the dispatcher has locked. Its frame
// names the drawn box's top-left corner and the rectangle it may write: the
// clip, already cut to the canvas and to the box, never empty. Unclipped
// drawers get a box that lies wholly inside the canvas and write every pixel
// the runs give, bounded only by the row width; clipped drawers cut every run
// to the visible cel columns and decode the rows above the visible ones
// without writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "framework/KvRect.h"

namespace KvCelDrawers {

// A locked canvas and where the picture goes on it.
struct Frame {
    unsigned char* bits = nullptr;  // canvas memory
    int pitch = 0;                  // bytes from one memory row to the next
    bool topDown = true;            // memory row 0 is canvas row 0
    int height = 0;                 // canvas rows
    int x = 0, y = 0;               // top-left of the drawn box
    KvRect clip;                    // writable pixels: inside canvas and box, not empty
};

// Multi-byte fields of a picture, which may sit at any byte address.
inline int16_t readInt16(const unsigned char* p) {
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline uint16_t readUint16(const unsigned char* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline uint32_t readUint32(const unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Offsets inside pictures.
constexpr size_t kIndexedHeaderSize = 6;    // type, width, height
constexpr size_t kDirectHeaderSize = 8;     // type, width, height, reserved; row offsets follow
constexpr size_t kDirectRunHeaderSize = 4;  // opcode, count
constexpr size_t kTranslucentItemSize = 3;  // 16-bit pixel, alpha

enum IndexedOpcode : unsigned char { kSkipRun = 0x00, kFillRun = 0xFF };
enum DirectOpcode : uint16_t { kTransparentRun = 0, kOpaqueRun = 1, kTranslucentRun = 2 };

// Reads the runs of one indexed row of width pixels starting at src and returns
// the byte after them. Runs are cut at the width, so a row never yields more than
// width pixels. The sink gets fill(c, n, colour) and literal(c, indices, n) for
// the n pixels from cel column c, colour and indices pointing into the row;
// skip runs only advance the column.
template <class Sink>
const unsigned char* readIndexedRow(const unsigned char* src, int width, Sink& sink) {
    int c = 0;
    while (c < width) {
        const unsigned op = *src++;
        if (op == kSkipRun) {
            const int n = *src++;
            c += n < width - c ? n : width - c;
        } else if (op == kFillRun) {
            const int n = src[1] < width - c ? src[1] : width - c;
            sink.fill(c, n, src);
            src += 2;
            c += n;
        } else {
            const int n = static_cast<int>(op) < width - c ? static_cast<int>(op) : width - c;
            sink.literal(c, src, n);
            src += op;
            c += n;
        }
    }
    return src;
}

// The same for a direct-colour row: copy(c, pixels, n) for opaque runs,
// blend(c, items, n) for translucent ones. An unknown opcode reads as a
// transparent run (validation refuses it).
template <class Sink>
const unsigned char* readDirectRow(const unsigned char* src, int width, Sink& sink) {
    int c = 0;
    while (c < width) {
        const unsigned op = readUint16(src);
        const int count = readUint16(src + 2);
        const int n = count < width - c ? count : width - c;
        src += kDirectRunHeaderSize;
        if (op == kOpaqueRun) {
            sink.copy(c, src, n);
            src += 2 * static_cast<size_t>(count);
        } else if (op == kTranslucentRun) {
            sink.blend(c, src, n);
            src += kTranslucentItemSize * count;
        }
        c += n;
    }
    return src;
}

// A sink that only walks the runs.
struct SkipSink {
    void fill(int, int, const unsigned char*) {}
    void literal(int, const unsigned char*, int) {}
    void copy(int, const unsigned char*, int) {}
    void blend(int, const unsigned char*, int) {}
};

// An indexed picture on a locked canvas of 1, 2, 3 or 4 bytes per pixel, in
// direction dir (0..7), through table on 2 to 4 bytes per pixel. On 2 and 4
// bytes per pixel, literal runs come from screen when it is not null: the
// picture's screen-format copy (KvCelLiterals).
void drawIndexed(const Frame& frame, const unsigned char* pic, int bytesPerPixel, unsigned dir,
                 bool clipped, const uint32_t* table, const unsigned char* screen);
// A direct-colour picture on a locked 16-bit canvas in direction 0 or 1,
// translucent pixels blended in the channels of masks.
void drawDirect(const Frame& frame, const unsigned char* pic, unsigned dir, bool clipped,
                const uint32_t masks[3]);

// One translucent pixel s with alpha a over d, channel by channel.
inline uint16_t blendPixel(uint32_t d, uint32_t s, uint32_t a, const uint32_t masks[3]) {
    uint32_t out = 0;
    for (int i = 0; i < 3; ++i) {
        const int32_t dm = static_cast<int32_t>(d & masks[i]);
        const int32_t sm = static_cast<int32_t>(s & masks[i]);
        // >> of a negative product floors, which is what a darker source needs.
        out |= static_cast<uint32_t>(dm + (((sm - dm) * static_cast<int32_t>(a)) >> 8)) & masks[i];
    }
    return static_cast<uint16_t>(out);
}

}  // namespace KvCelDrawers

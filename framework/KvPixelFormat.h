// Pixel formats of canvases.
//   depth 8   indexed through a 256-colour palette (code 0x8)
//   depth 16  5-5-5 (code 0x555, bit 15 unused) or 5-6-5 (code 0x565), little-endian words
//   depth 24  bytes blue, green, red (code 0x888)
//   depth 32  little-endian 0x00RRGGBB (code 0x8888, top byte unused)
// Canvases are asked for by "depth" 8, 15, 16, 24 or 32; 15 means 16-bit 5-5-5.
#pragma once

#include <cstdint>

#include "framework/KvColor.h"

enum KvFormatCode : unsigned short {
    kKvFormatIndexed = 0x8,
    kKvFormat555 = 0x555,
    kKvFormat565 = 0x565,
    kKvFormat888 = 0x888,
    kKvFormat8888 = 0x8888,
};

struct KvPixelFormat {
    unsigned short code = 0;           // 0 when the requested depth is not supported
    unsigned short depth = 0;          // bits per pixel in memory: 8, 16, 24, 32
    unsigned short bytesPerPixel = 0;
    unsigned short bits[3] = {0, 0, 0};    // red, green, blue
    unsigned short shifts[3] = {0, 0, 0};  // bit position of each channel's lowest bit
    unsigned long masks[3] = {0, 0, 0};

    // The format for a requested depth (8, 15, 16, 24, 32); code 0 for any other.
    static KvPixelFormat forDepth(int depth);

    bool isIndexed() const { return code == kKvFormatIndexed; }
    // Direct formats only: the native pixel for a colour (each channel keeps its high bits),
    // and the colour of a native pixel (each channel widened to 8 bits by bit replication,
    // then stored as b * 256).
    uint32_t pack(const KvColor& c) const;
    KvColor unpack(uint32_t pixel) const;
};

// A canvas area as 0x00RRGGBB words, the form the window backends hand on to
// their screens: indexed pixels through the canvas's palette, 15 and 16-bit
// pixels through a table of all 65536 values made once per pixel format
// (channels widened by bit replication, as KvPixelFormat::unpack widens
// them, so every backend shows the framework's colours), 24 and 32-bit
// pixels as their blue, green and red bytes say.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/KvCanvas.h"
#include "framework/KvRect.h"

class KvCanvasWords {
public:
    // The words of area, which lies inside canvas, read from the canvas's
    // memory (bits, pitch: top-down rows); out receives them row by row.
    void convert(const KvCanvas& canvas, const unsigned char* bits, int pitch, const KvRect& area,
                 std::vector<uint32_t>& out);

private:
    std::vector<uint32_t> widened;  // 15 and 16 bits: every pixel value's word
    unsigned short widenedFormat = 0;
};

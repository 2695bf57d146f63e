// PNG files for tools and tests. A canvas is saved as an 8-bit RGB image, an
// indexed canvas through its palette; an image is saved as it reads back. A
// PNG is read whole into 8-bit RGBA pixels; an indexed PNG also keeps its
// palette and its indices exactly as stored, so that tools can take the
// indices over unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/KvCanvas.h"
#include "framework/KvColor.h"

// Entries of a PNG palette.
inline constexpr size_t kKvPngMaxPalette = 256;

struct KvPngImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // 4 bytes a pixel, rows top first
    bool indexed = false;
    std::vector<uint8_t> indices;       // one a pixel, when indexed
    std::vector<KvColor> palette;       // the PLTE entries, when indexed
    std::vector<uint8_t> paletteAlpha;  // one per palette entry (255 without tRNS)
};

// Writes what canvas holds as an RGB PNG; false (with nothing useful written)
// for an invalid canvas or a file that cannot be written.
bool KvSavePng(const KvCanvas& canvas, const char* path);
// Writes an image as it reads back: an indexed image with its palette (and
// the entries' alpha when any is not opaque) and its indices as they are,
// any other as RGBA. False for an image whose sizes do not match its
// pixels or a file that cannot be written.
bool KvSavePng(const KvPngImage& image, const char* path);
// Reads a PNG no larger than kKvMaxCanvasSide a side and, when maxPixels is
// given, of at most that many pixels; a larger header is refused before the
// pixels are allocated. On failure the image is empty and error (if given)
// says why.
bool KvLoadPng(const char* path, KvPngImage& image, std::string* error = nullptr, size_t maxPixels = SIZE_MAX);

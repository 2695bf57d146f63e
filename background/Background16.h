// A background loaded from a compressed 15-bit image. The image is decoded
// once into a memory canvas in the display's pixel format; restoring is a
// clipped copy from that canvas.
//
// File: eight little-endian 32-bit header words, then the LZO1X data.
//   word 0  header size, 32        word 4  uncompressed size, >= width x height x 2
//   word 1  width                  word 5  compressed size (the bytes after the header)
//   word 2  height                 word 6  pixel format; ignored, set to 0x555 in memory
//   word 3  not used               word 7  not used
// The data decompresses to height rows of width big-endian 5-5-5 words with no
// padding, row 0 first. A header whose first 16-bit word is 32 only with its
// bytes exchanged has its words reversed first (it then never reads as an
// image). A stream that is not such an image is painted as an AO picture.
//
// The LZO data are decoded up to their end marker whatever the result code
// (the compressed size may count bytes after the marker or leave some of it
// out; data holding more than the header's size keep their start). A damaged
// image (a header whose sizes are out of range or do not fit the canvas, data
// that are corrupt or end before the picture is complete) shows black, and
// each such image is reported once to the user, saying what was wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/KvCanvas.h"
#include "framework/KvIStream.h"
#include "framework/KvPixelFormat.h"
#include "framework/KvRect.h"
#include "framework/KvRegion.h"
#include "trinket/KvTBackground.h"

inline constexpr uint32_t kB16HeaderSize = 32;
inline constexpr int kB16HeaderWords = 8;
inline constexpr int kB16WordWidth = 1;
inline constexpr int kB16WordHeight = 2;
inline constexpr int kB16WordUncompressed = 4;
inline constexpr int kB16WordCompressed = 5;
inline constexpr int kB16WordFormat = 6;
// The pixel format of every image's data.
inline constexpr int kB16SourceFormat = kKvFormat555;
// How far the header's uncompressed size may exceed the pixel data (the
// excess is decompressed and ignored).
inline constexpr uint32_t kB16MaxExtraBytes = 1u << 20;
// The largest picture a background takes (4096 x 4096, 64 MB at 32 bits): a
// larger header, or a larger AO picture, gets no canvas, so that a few bytes
// cannot claim a gigabyte.
inline constexpr uint64_t kB16MaxPixels = uint64_t{1} << 24;

class Background16 : public KvTBackground {
public:
    static const char* const className;  // "Background16"
    // The user's messages: a header word 0 that is not 32 given to draw, and a
    // damaged image (followed by ": " and what was wrong).
    static const char* const sBadHeader;
    static const char* const sDamagedImage;

    // The canvas is made from the image's header, or for a stream that is not
    // an image, the size of its AO picture. Only a stream that is neither
    // takes the rectangle's size (without one, the current window
    // collector's): the background then stays black. A null stream leaves the
    // background without a canvas: it then restores black and must not be
    // given a picture. The stream is consumed.
    explicit Background16(KvIStream* stream);
    Background16(const KvRect& rect, KvIStream* stream);
    ~Background16() override;

    // A new picture of the canvas's size into the existing canvas; the
    // window is not told (the host calls twRefreshBackground). Consumes stream.
    void bkSetRes(KvIStream* stream) override;
    KvMemCanvas* bkGetCanvas() const override { return canvas; }
    const char* isA() const override { return className; }

    // Decode the image whose header and data are the size bytes at header
    // into the canvas. The header's format word is overwritten in place.
    void draw(unsigned char* header, size_t size);
    // The hosts' form: the header and its compressed-size bytes of
    // data lie at header (the caller vouches for them).
    void draw(unsigned char* header);
    // Whether the stream's whole content would be decoded as an image (and not
    // painted as an AO picture): its header's first word is 32.
    static bool holdsImage(KvIStream* stream);

    // Milliseconds the first picture took to decode.
    unsigned long getDecompressTime() const { return decompressTime; }

    // Row order of the canvases made from now on: top-down (the default) or bottom-up.
    static void setBottomUpCanvases(bool bottomUp) { bottomUpCanvases = bottomUp; }
    static bool getBottomUpCanvases() { return bottomUpCanvases; }

private:
    bool bkRestore(KvCanvas* target, const KvRegion& region, KvRect& changed) override;

    void initialize(KvIStream* stream, const KvRect& rect);
    // Paints the stream into the canvas, as an image or as an AO picture; consumes it.
    void paint(KvIStream* stream);
    // Sets swapHeader, and reverses the header's words when it is set.
    void needSwap(unsigned char* header, size_t size);
    // Decompresses the dataSize bytes after the header and converts a checked
    // image into target; false (problem says why) when the picture cannot be made.
    bool decode(KvCanvas* target, const unsigned char* header, size_t dataSize, std::string& problem);
    // Converts width x height source pixels at src (format, always 5-5-5
    // big-endian) to rows of target's format pitch bytes apart at dst.
    static bool fixupBuffer(int format, void* src, void* dst, int width, int height, int pitch,
                            const KvPixelFormat& target);
    static bool convert555to565(unsigned char* src, unsigned char* dst, int width, int height,
                                int pitch);
    static bool convert555toArbitrary(unsigned char* src, unsigned char* dst, int width, int height,
                                      int pitch, const KvPixelFormat& target);
    static bool convert555To24Bit(unsigned char* src, unsigned char* dst, int width, int height,
                                  int pitch);
    static bool convert555To32Bit(unsigned char* src, unsigned char* dst, int width, int height,
                                  int pitch);
    void showBlack();
    void reportDamaged(const char* what);

    KvMemCanvas* canvas;
    uint32_t canvasFormat;
    unsigned long decompressTime;
    unsigned char swapHeader;

    static bool bottomUpCanvases;
};

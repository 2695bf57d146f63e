// Decoding of compressed 15-bit backgrounds. The header is checked against
// its stream and canvas before anything is decompressed; decompression is
// bounds-checked and never writes past its target, which is the end of the
// canvas memory when the conversion can then run in place, else a temporary
// buffer of the uncompressed size.
#include "background/Background16.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "anim/KvAOFile.h"
#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"
#include "background/Convert555.h"
#include "framework/KvSys.h"
#include "trinket/KvTrinketWindow.h"
#include "util/QrnSys.h"

const char* const Background16::className = "Background16";
const char* const Background16::sBadHeader = "Background16 : Bad format for Background header";
const char* const Background16::sDamagedImage = "Background16 : Damaged image data";

bool Background16::bottomUpCanvases = false;

namespace {

uint32_t headerWord(const unsigned char* header, int index) {
    const unsigned char* p = header + 4 * index;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void setHeaderWord(unsigned char* header, int index, uint32_t value) {
    unsigned char* p = header + 4 * index;
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool isImage(const unsigned char* header, size_t size) {
    return header && size >= kB16HeaderSize && headerWord(header, 0) == kB16HeaderSize;
}

// Dimensions a canvas can have and an uncompressed size that covers the pixels
// (with at most kB16MaxExtraBytes more): null, or what is wrong. The compressed
// size is not checked: the data are decoded up to their end marker.
const char* headerProblem(const unsigned char* header) {
    const uint32_t width = headerWord(header, kB16WordWidth);
    const uint32_t height = headerWord(header, kB16WordHeight);
    if (width == 0 || height == 0 || width > uint32_t(kKvMaxCanvasSide) ||
        height > uint32_t(kKvMaxCanvasSide))
        return "the header's width or height is out of range";
    if (uint64_t{width} * height > kB16MaxPixels) return "the picture has more pixels than a background may";
    const uint64_t pixelBytes = uint64_t(convert555::kSourceBytes) * width * height;
    const uint64_t uncompressed = headerWord(header, kB16WordUncompressed);
    if (uncompressed < pixelBytes) return "the header's uncompressed size is smaller than the picture";
    if (uncompressed - pixelBytes > kB16MaxExtraBytes)
        return "the header's uncompressed size is far larger than the picture";
    return nullptr;
}

// Decoding data that hold more than their target: LZO1X gives at most about
// this many output bytes per input byte, and the whole is never larger than
// the cap.
constexpr size_t kLzoMaxExpansion = 256;
constexpr size_t kLzoSlack = 4096;
constexpr size_t kLzoMaxWholeDecode = size_t(1) << 28;

bool lzoReady() {
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

// What the LZO data hold, as far as it fits capacity bytes at out: the data
// are decoded up to their end marker whatever the result code says (input
// left over after the marker, or data that hold more than the target, whose
// start is kept). Returns the bytes produced; result receives the code.
size_t decompress(const unsigned char* in, size_t inLength, unsigned char* out, size_t capacity, int& result) {
    lzo_uint produced = capacity;
    result = lzo1x_decompress_safe(in, inLength, out, &produced, nullptr);
    if (result != LZO_E_OUTPUT_OVERRUN) return produced;
    // Decoding stopped before the run that would not fit: decode the whole
    // data into a larger buffer and keep the start.
    const size_t limit = std::min<size_t>(capacity + kLzoMaxExpansion * inLength + kLzoSlack, kLzoMaxWholeDecode);
    for (size_t room = std::min(limit, capacity * 2 + kLzoSlack);; room = std::min(limit, room * 2)) {
        std::unique_ptr<unsigned char[]> whole(new (std::nothrow) unsigned char[room]);
        if (!whole) break;
        lzo_uint length = room;
        result = lzo1x_decompress_safe(in, inLength, whole.get(), &length, nullptr);
        if (result != LZO_E_OUTPUT_OVERRUN) {
            produced = std::min<size_t>(length, capacity);
            std::memcpy(out, whole.get(), produced);
            return produced;
        }
        if (room >= limit) break;
    }
    return produced;
}

// Bottom-up canvases keep image row y in memory row height - 1 - y.
void reverseRows(unsigned char* bits, int pitch, int height) {
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(bits + static_cast<size_t>(top) * pitch,
                         bits + static_cast<size_t>(top) * pitch + pitch,
                         bits + static_cast<size_t>(bottom) * pitch);
}

}  // namespace

Background16::Background16(KvIStream* stream) : Background16(KvRect::zero, stream) {}

Background16::Background16(const KvRect& rect, KvIStream* stream)
    : canvas(nullptr), canvasFormat(0), decompressTime(0), swapHeader(0) {
    if (stream) initialize(stream, rect);
}

Background16::~Background16() { delete canvas; }

void Background16::initialize(KvIStream* stream, const KvRect& rect) {
    stream->setSrcOffset(0);
    stream->rewind();
    unsigned char* header = stream->data();
    const size_t size = static_cast<size_t>(stream->size());
    needSwap(header, size);

    int width = 0, height = 0;
    if (isImage(header, size)) {
        if (!headerProblem(header)) {
            width = static_cast<int>(headerWord(header, kB16WordWidth));
            height = static_cast<int>(headerWord(header, kB16WordHeight));
        }
    } else if (const unsigned char* pic = header ? KvAOFile::firstPicture(header, size) : nullptr) {
        const KvRect box = KvCelRenderer::drawnBox(0, 0, pic, 0);
        width = box.width(), height = box.height();
    } else if (!rect.isEmpty()) {
        width = rect.width(), height = rect.height();
    } else if (KvTrinketWindow::currentWindow && KvTrinketWindow::currentWindow->twGetCollector()) {
        const KvCanvas* collector = KvTrinketWindow::currentWindow->twGetCollector();
        width = collector->getWidth(), height = collector->getHeight();
    }
    if (width > 0 && height > 0 && uint64_t(width) * uint64_t(height) <= kB16MaxPixels) {
        canvas = new KvMemCanvas(width, height, KvSysNumColors(0), 1, bottomUpCanvases);
        if (!canvas->isValid()) {
            delete canvas;
            canvas = nullptr;
        }
    }
    canvasFormat = canvas ? canvas->getFormat() : 0;

    const unsigned long start = KvSysMilliSecCount();
    paint(stream);
    decompressTime = KvSysMilliSecCount() - start;
}

void Background16::bkSetRes(KvIStream* stream) {
    if (!stream) return;
    if (!canvas) {
        delete stream;
        return;
    }
    stream->setSrcOffset(0);
    stream->rewind();
    needSwap(stream->data(), static_cast<size_t>(stream->size()));
    paint(stream);
}

void Background16::paint(KvIStream* stream) {
    unsigned char* header = stream->data();
    const size_t size = static_cast<size_t>(stream->size());
    if (!isImage(header, size)) {
        KvAnimation::splash(canvas, stream, 0);
        return;
    }
    draw(header, size);
    delete stream;
}

bool Background16::holdsImage(KvIStream* stream) {
    if (!stream) return false;
    stream->setSrcOffset(0);
    stream->rewind();
    // A header needSwap reverses never begins with 32, so the word as it stands decides.
    return isImage(stream->data(), static_cast<size_t>(stream->size()));
}

void Background16::needSwap(unsigned char* header, size_t size) {
    swapHeader = 0;
    if (!header || size < 2) return;
    const unsigned first = header[0] | unsigned(header[1]) << 8;
    const unsigned exchanged = header[1] | unsigned(header[0]) << 8;
    if (first != kB16HeaderSize && exchanged == kB16HeaderSize) swapHeader = 1;
    if (swapHeader && size >= kB16HeaderSize) SwapN32s(header, kB16HeaderWords);
}

void Background16::draw(unsigned char* header) {
    // The host's form: the compressed data are the header's compressed size.
    if (!header) return;
    draw(header, kB16HeaderSize + size_t(headerWord(header, kB16WordCompressed)));
}

void Background16::draw(unsigned char* header, size_t size) {
    if (header && size >= kB16HeaderSize) setHeaderWord(header, kB16WordFormat, kB16SourceFormat);
    if (!isImage(header, size)) {
        KvSysUserMessage(sBadHeader, kKvSysMessageModal, nullptr);
        return;
    }
    if (const char* problem = headerProblem(header)) {
        showBlack();
        reportDamaged(problem);
        return;
    }
    if (!canvas) return;
    const int width = static_cast<int>(headerWord(header, kB16WordWidth));
    const int height = static_cast<int>(headerWord(header, kB16WordHeight));
    std::string problem;
    bool decoded = false;
    if (width != canvas->getWidth() || height != canvas->getHeight()) {
        problem = "the picture is " + std::to_string(width) + " x " + std::to_string(height) + ", the canvas " +
                  std::to_string(canvas->getWidth()) + " x " + std::to_string(canvas->getHeight());
    } else if (canvas->getPixelFormat().isIndexed()) {
        // An 8-bit display: decode at 5-5-5, then map each pixel to the palette.
        KvMemCanvas direct(width, height, 15);
        if (!direct.isValid())
            problem = "no memory to decode the picture";
        else if (decode(&direct, header, size - kB16HeaderSize, problem) &&
                 !canvas->blt(&direct, 0, 0, width, height, 0, 0, kKvRopCopy, nullptr))
            problem = "the picture could not be copied to the canvas";
        decoded = problem.empty();
    } else {
        decoded = decode(canvas, header, size - kB16HeaderSize, problem);
    }
    if (!decoded) {
        showBlack();
        reportDamaged(problem.c_str());
    }
}

bool Background16::decode(KvCanvas* target, const unsigned char* header, size_t dataSize, std::string& problem) {
    const int width = static_cast<int>(headerWord(header, kB16WordWidth));
    const int height = static_cast<int>(headerWord(header, kB16WordHeight));
    const size_t uncompressed = headerWord(header, kB16WordUncompressed);
    const size_t pixelBytes = size_t(convert555::kSourceBytes) * width * height;

    unsigned char* bits = nullptr;
    int pitch = 0;
    if (!target->getPointerToMemory(&bits, &pitch)) {
        problem = "the canvas memory could not be reached";
        return false;
    }
    const KvPixelFormat& format = target->getPixelFormat();
    // Data placed to end where the canvas memory ends are never overtaken by
    // the conversion's output as long as what they hold beyond the pixels
    // fits in the last row's padding.
    const size_t memorySize = target->getMemorySize();
    const size_t lastRowPadding = size_t(pitch) - size_t(width) * format.bytesPerPixel;
    const bool inPlace = target->isOneBlock() && uncompressed <= memorySize &&
                         uncompressed - pixelBytes <= lastRowPadding;
    std::unique_ptr<unsigned char[]> temporary;
    if (!inPlace) temporary.reset(new (std::nothrow) unsigned char[uncompressed]);
    unsigned char* out = inPlace ? bits + (memorySize - uncompressed) : temporary.get();

    bool ok = false;
    if (!out || !lzoReady()) {
        problem = "no memory to decode the picture";
    } else {
        int result = LZO_E_OK;
        const size_t produced = decompress(header + kB16HeaderSize, dataSize, out, uncompressed, result);
        // Only a picture the data do not complete is a failure.
        if (produced < pixelBytes) {
            char text[160];
            if (result == LZO_E_INPUT_OVERRUN)
                std::snprintf(text, sizeof text, "the compressed data end after %zu of the picture's %zu bytes",
                              produced, pixelBytes);
            else if (result == LZO_E_OK || result == LZO_E_INPUT_NOT_CONSUMED)
                std::snprintf(text, sizeof text, "the compressed data hold %zu bytes, the picture needs %zu",
                              produced, pixelBytes);
            else if (result == LZO_E_OUTPUT_OVERRUN)
                std::snprintf(text, sizeof text, "the compressed data hold far more than the picture");
            else
                std::snprintf(text, sizeof text, "the compressed data are corrupt after %zu bytes (LZO error %d)",
                              produced, result);
            problem = text;
        } else if (!fixupBuffer(kB16SourceFormat, out, bits, width, height, pitch, format)) {
            problem = "the canvas's pixel format cannot take the picture";
        } else {
            ok = true;
        }
    }
    if (ok && !target->isTopDown()) reverseRows(bits, pitch, height);
    target->releasePointerToMemory();
    return ok;
}

bool Background16::fixupBuffer(int format, void* src, void* dst, int width, int height, int pitch,
                               const KvPixelFormat& target) {
    auto* in = static_cast<unsigned char*>(src);
    auto* out = static_cast<unsigned char*>(dst);
    if (target.code == format) return convert555::swapBytes(in, out ? out : in, width, height, pitch);
    switch (target.code) {
    case kKvFormat888: return convert555To24Bit(in, out, width, height, pitch);
    case kKvFormat8888: return convert555To32Bit(in, out, width, height, pitch);
    case kKvFormat565: return convert555to565(in, out, width, height, pitch);
    default: return convert555toArbitrary(in, out, width, height, pitch, target);
    }
}

bool Background16::convert555to565(unsigned char* src, unsigned char* dst, int width, int height,
                                   int pitch) {
    return convert555::convert(src, dst ? dst : src, width, height, pitch,
                               convert555::padding16(width, pitch), convert555::To565{});
}

bool Background16::convert555toArbitrary(unsigned char* src, unsigned char* dst, int width,
                                         int height, int pitch, const KvPixelFormat& target) {
    // Only 16-bit formats are described by channel bits and shifts alone.
    if (target.bytesPerPixel != convert555::ToArbitrary16::kBytes) return false;
    const convert555::ToArbitrary16 enc{{target.bits[0], target.bits[1], target.bits[2]},
                                        {target.shifts[0], target.shifts[1], target.shifts[2]}};
    return convert555::convert(src, dst ? dst : src, width, height, pitch,
                               convert555::padding16(width, pitch), enc);
}

// The wider outputs cannot run from the start of their own input, so a null dst converts nothing.
bool Background16::convert555To24Bit(unsigned char* src, unsigned char* dst, int width, int height,
                                     int pitch) {
    return convert555::convert(src, dst, width, height, pitch,
                               static_cast<long>(pitch) - 3L * width, convert555::To888{});
}

bool Background16::convert555To32Bit(unsigned char* src, unsigned char* dst, int width, int height,
                                     int pitch) {
    return convert555::convert(src, dst, width, height, pitch,
                               static_cast<long>(pitch) - 4L * width, convert555::To8888{});
}

bool Background16::bkRestore(KvCanvas* target, const KvRegion& region, KvRect&) {
    const KvRect changed = region.bounds();
    if (!target || changed == KvRect::zero) return false;
    if (!canvas) {
        // No picture could be made: the background is black.
        target->fill = true;
        target->outline = false;
        target->fillColor = target->outlineColor = KvColor(0, 0, 0);
        target->draw(region);
        return false;
    }
    target->blt(canvas, changed.left, changed.top, changed.width(), changed.height(), changed.left,
                changed.top, kKvRopCopy, &region);
    return false;
}

void Background16::showBlack() {
    if (!canvas) return;
    canvas->fill = true;
    canvas->outline = false;
    canvas->fillColor = canvas->outlineColor = KvColor(0, 0, 0);
    canvas->draw(canvas->getBounds());
}

void Background16::reportDamaged(const char* what) {
    const std::string text = std::string(sDamagedImage) + ": " + (what && *what ? what : "unknown damage");
    KvSysUserMessage(text.c_str(), kKvSysMessageModal, nullptr);
}

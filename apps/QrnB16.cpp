// Backgrounds in and out. Decoding takes what the runtime takes: data are
// read up to their end marker whatever their stated size, and a picture is
// good when the data fill its pixels (more is ignored).
#include "apps/QrnB16.h"

#include "background/Background16.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <memory>
#include <new>

namespace {

constexpr size_t kPixelBytes = 2;
// LZO1X gives at most about this many output bytes per input byte: data
// too short to fill the picture are refused before its buffer is made.
constexpr uint64_t kLzoMaxExpansion = 256;
constexpr uint64_t kLzoSlack = 4096;

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void put32(std::vector<unsigned char>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> 8 * i));
}

bool lzoReady() {
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

}  // namespace

bool QrnB16::looksLike(const std::vector<unsigned char>& file) {
    return file.size() >= 4 && le32(file.data()) == kB16HeaderSize;
}

bool QrnB16::decode(const std::vector<unsigned char>& file, QrnB16Header& header, std::vector<uint16_t>* pixels,
                    size_t& offset, std::string& why) {
    const auto fail = [&](size_t at, std::string text) {
        offset = at, why = std::move(text);
        return false;
    };
    if (file.size() < kB16HeaderSize)
        return fail(0, "a header of 32 bytes expected, the file has " + std::to_string(file.size()));
    for (int i = 0; i < kB16HeaderWords; ++i) header.words[i] = le32(&file[4 * static_cast<size_t>(i)]);
    if (header.words[0] != kB16HeaderSize)
        return fail(0, "header size " + std::to_string(header.words[0]) + ", 32 expected");
    const auto side = [](uint32_t v) { return v >= 1 && v <= static_cast<uint32_t>(kKvMaxCanvasSide); };
    if (!side(header.width()))
        return fail(4, "width " + std::to_string(header.width()) + ", 1 to " + std::to_string(kKvMaxCanvasSide) + " expected");
    if (!side(header.height()))
        return fail(8, "height " + std::to_string(header.height()) + ", 1 to " + std::to_string(kKvMaxCanvasSide) + " expected");
    if (uint64_t{header.width()} * header.height() > kB16MaxPixels)
        return fail(4, std::to_string(header.width()) + " x " + std::to_string(header.height()) + " pixels, at most " +
                           std::to_string(kB16MaxPixels) + " expected");
    const uint64_t pictureBytes = uint64_t{kPixelBytes} * header.width() * header.height();
    if (header.uncompressed() < pictureBytes || header.uncompressed() - pictureBytes > kB16MaxExtraBytes)
        return fail(16, "uncompressed size " + std::to_string(header.uncompressed()) + ", " +
                            std::to_string(pictureBytes) + " to " + std::to_string(pictureBytes + kB16MaxExtraBytes) +
                            " expected");
    const uint64_t data = file.size() - kB16HeaderSize;
    if (pictureBytes > data * kLzoMaxExpansion + kLzoSlack)
        return fail(kB16HeaderSize, std::to_string(data) + " bytes of compressed data cannot hold the picture's " +
                                        std::to_string(pictureBytes));
    if (!lzoReady()) return fail(kB16HeaderSize, "the decompressor cannot start");
    // The data are decoded to their end marker; a buffer the size the
    // header states is enough for everything the picture uses.
    std::unique_ptr<unsigned char[]> out(new (std::nothrow) unsigned char[header.uncompressed()]);
    if (!out) return fail(16, "no memory for " + std::to_string(header.uncompressed()) + " bytes");
    lzo_uint produced = header.uncompressed();
    const int result = lzo1x_decompress_safe(&file[kB16HeaderSize], file.size() - kB16HeaderSize, out.get(), &produced,
                                             nullptr);
    if (result != LZO_E_OUTPUT_OVERRUN && produced < pictureBytes)
        return fail(kB16HeaderSize, "the compressed data give " + std::to_string(produced) + " bytes (LZO result " +
                                        std::to_string(result) + "), the picture needs " + std::to_string(pictureBytes));
    if (pixels) {
        pixels->resize(static_cast<size_t>(pictureBytes / kPixelBytes));
        for (size_t i = 0; i < pixels->size(); ++i)
            (*pixels)[i] = static_cast<uint16_t>(out[2 * i] << 8 | out[2 * i + 1]);
    }
    return true;
}

bool QrnB16::encode(int width, int height, const std::vector<uint16_t>& pixels, std::vector<unsigned char>& file) {
    if (width < 1 || height < 1 || width > kKvMaxCanvasSide || height > kKvMaxCanvasSide ||
        uint64_t(width) * uint64_t(height) > kB16MaxPixels || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height) || !lzoReady())
        return false;
    std::vector<unsigned char> raw;
    raw.reserve(pixels.size() * kPixelBytes);
    for (const uint16_t p : pixels) raw.push_back(static_cast<unsigned char>((p >> 8) & 0x7F)), raw.push_back(static_cast<unsigned char>(p));
    // LZO's documented worst case for incompressible data.
    std::vector<unsigned char> packed(raw.size() + raw.size() / 16 + 64 + 3);
    std::vector<unsigned char> work(LZO1X_999_MEM_COMPRESS);
    lzo_uint packedSize = packed.size();
    if (lzo1x_999_compress(raw.data(), raw.size(), packed.data(), &packedSize, work.data()) != LZO_E_OK) return false;
    file.clear();
    for (const uint32_t word : {kB16HeaderSize, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 0u,
                                static_cast<uint32_t>(raw.size()), static_cast<uint32_t>(packedSize),
                                static_cast<uint32_t>(kB16SourceFormat), 0u})
        put32(file, word);
    file.insert(file.end(), packed.begin(), packed.begin() + static_cast<long>(packedSize));
    return true;
}

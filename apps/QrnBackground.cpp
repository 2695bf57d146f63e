// The bg command: the two directions share one usage text and one parse.
#include "apps/QrnBackground.h"

#include "apps/QrnB16.h"
#include "background/Background16.h"
#include "apps/QrnFiles.h"
#include "apps/QrnOptions.h"
#include "framework/KvPng.h"

#include <cstdio>

namespace {

const char kBackgroundUsage[] =
    "usage: qrn bg encode IMAGE.png OUT.b16\n"
    "       qrn bg decode FILE.b16 OUT.png\n"
    "\n"
    "encode compresses a picture into a background (5 bits a colour, LZO1X-999);\n"
    "decode writes a background back as a PNG. Decoding and encoding again\n"
    "gives the same pixels.\n"
    "\n";

constexpr uint8_t kOpaque = 255;
// The largest picture encoded: the largest a background takes.
constexpr size_t kQrnMaxBackgroundPixels = kB16MaxPixels;

uint8_t expand5(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

bool encode(const std::string& input, const std::string& output, std::string& error) {
    KvPngImage png;
    std::string why;
    if (!KvLoadPng(input.c_str(), png, &why, kQrnMaxBackgroundPixels)) return error = input + ": " + why, false;
    std::vector<uint16_t> pixels(static_cast<size_t>(png.width) * static_cast<size_t>(png.height));
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint8_t* p = &png.rgba[4 * i];
        pixels[i] = static_cast<uint16_t>((p[0] >> 3) << 10 | (p[1] >> 3) << 5 | p[2] >> 3);
    }
    std::vector<unsigned char> file;
    if (!QrnB16::encode(png.width, png.height, pixels, file)) return error = "cannot compress " + input, false;
    if (!QrnFiles::write(output, file, error)) return false;
    std::printf("%s: %d x %d, %zu bytes\n", output.c_str(), png.width, png.height, file.size());
    return true;
}

bool decode(const std::string& input, const std::string& output, std::string& error) {
    std::vector<unsigned char> file;
    if (!QrnFiles::read(input, file, error)) return false;
    QrnB16Header header;
    std::vector<uint16_t> pixels;
    size_t offset = 0;
    std::string why;
    if (!QrnB16::decode(file, header, &pixels, offset, why))
        return error = input + ": offset " + std::to_string(offset) + ": " + why, false;
    KvPngImage png;
    png.width = static_cast<int>(header.width()), png.height = static_cast<int>(header.height());
    png.rgba.reserve(4 * pixels.size());
    for (const uint16_t p : pixels)
        png.rgba.insert(png.rgba.end(), {expand5(p >> 10 & 31), expand5(p >> 5 & 31), expand5(p & 31), kOpaque});
    if (!QrnFiles::writeWith(output, [&png](const std::string& to) { return KvSavePng(png, to.c_str()); }, error))
        return false;
    std::printf("%s: %d x %d\n", output.c_str(), png.width, png.height);
    return true;
}

}  // namespace

int qrnBackgroundCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    const auto check = [](const std::vector<std::string>& p) {
        return p.size() == 3 && (p[0] == "encode" || p[0] == "decode")
                   ? std::string()
                   : std::string("give encode IMAGE.png OUT.b16 or decode FILE.b16 OUT.png");
    };
    if (const int status = qrnCommandLine("bg", args, {}, kBackgroundUsage, check, positional); status != kQrnGoOn)
        return status;
    std::string error;
    const bool ok = positional[0] == "encode" ? encode(positional[1], positional[2], error)
                                              : decode(positional[1], positional[2], error);
    if (!ok) {
        std::fprintf(stderr, "qrn bg %s: %s\n", positional[0].c_str(), error.c_str());
        return kQrnExitFailed;
    }
    return kQrnExitOk;
}

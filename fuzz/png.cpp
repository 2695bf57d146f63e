// PNG input of the tools: any bytes load as an image within the canvas limit
// whose pixels are all there, or are refused with a reason, before a hostile
// size is allocated. Images are taken up to kFuzzMaxPixels, as the tools take
// them up to their own limits: a larger header goes the refusal path, so each
// input costs little whatever its header claims.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "framework/KvCanvas.h"
#include "framework/KvPng.h"

namespace {
// The loader reads files: each input goes to one of this process's own.
struct InputFile {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("qrn-fuzz-png-" + std::to_string(std::random_device{}()) + ".png"))
                                 .string();
    ~InputFile() { std::remove(path.c_str()); }
};
}  // namespace

constexpr size_t kFuzzMaxPixels = size_t{1} << 16;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const InputFile input;
    std::FILE* out = std::fopen(input.path.c_str(), "wb");
    if (!out) return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);
    KvPngImage image;
    std::string error;
    if (KvLoadPng(input.path.c_str(), image, &error, kFuzzMaxPixels)) {
        if (image.width <= 0 || image.height <= 0 || size_t(image.width) * size_t(image.height) > kFuzzMaxPixels ||
            image.rgba.size() != size_t{4} * image.width * image.height)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}

// Animation manifests of the tools: any text is read into a model or refused
// with a message naming the manifest, and a model that is read always builds
// into an animation file that the loader takes. The manifest sits in a folder of
// the process's own beside the files a seed may name: "strip.png" (an
// indexed 8x4 strip), "rgba.png" (a direct-colour 6x2 picture) and
// "palette.plt".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "anim/KvAOFile.h"
#include "anim/KvAnimation.h"
#include "apps/QrnAOModel.h"
#include "apps/QrnManifest.h"
#include "framework/KvPng.h"

namespace fs = std::filesystem;

namespace {
struct Folder {
    const fs::path path = fs::temp_directory_path() / ("qrn-fuzz-manifest-" + std::to_string(std::random_device{}()));
    const std::string manifest = (path / "a.toml").string();

    Folder() {
        fs::create_directories(path);
        KvPngImage strip;
        strip.width = 8, strip.height = 4, strip.indexed = true;
        for (int i = 0; i < 4; ++i) strip.palette.push_back(KvColor::fromBytes(uint8_t(i * 60), uint8_t(255 - i * 60), 40));
        strip.paletteAlpha = {0, 255, 255, 255};
        for (int p = 0; p < strip.width * strip.height; ++p) strip.indices.push_back(static_cast<uint8_t>(p % 4));
        strip.rgba.resize(size_t{4} * strip.width * strip.height);
        KvSavePng(strip, (path / "strip.png").c_str());
        KvPngImage rgba;
        rgba.width = 6, rgba.height = 2;
        for (int p = 0; p < rgba.width * rgba.height; ++p)
            rgba.rgba.insert(rgba.rgba.end(), {uint8_t(p * 20), uint8_t(255 - p * 20), 7, uint8_t(p % 3 ? 255 : 0)});
        KvSavePng(rgba, (path / "rgba.png").c_str());
        std::ofstream palette(path / "palette.plt", std::ios::binary);
        for (long i = 0; i < kAOPaletteFileSize; ++i) palette.put(static_cast<char>(i * 7));
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Folder folder;
    {
        std::ofstream out(folder.manifest, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    QrnAOModel model;
    std::string error;
    if (!QrnManifest::read(folder.manifest, model, error)) {
        if (error.find(folder.manifest) != 0) std::abort();
        return 0;
    }
    std::vector<unsigned char> file;
    if (!QrnAOModelIO::build(model, file, error)) return 0;
    KvAOLayout layout;
    if (!KvAOFile::read(file.data(), file.size(), 0x565, layout)) std::abort();
    return 0;
}

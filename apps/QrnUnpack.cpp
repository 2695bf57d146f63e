// The unpack command. Every output goes through a temporary name, so a
// failure part-way leaves no half-written file behind (earlier complete
// files stay).
#include "apps/QrnUnpack.h"

#include "anim/KvAnimation.h"
#include "apps/QrnAOCheck.h"
#include "apps/QrnAOModel.h"
#include "apps/QrnFiles.h"
#include "apps/QrnManifest.h"
#include "apps/QrnOptions.h"
#include "apps/QrnPack.h"
#include "framework/KvPng.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char kUnpackUsage[] =
    "usage: qrn unpack [--palette FILE.plt] FILE.ao OUTDIR\n"
    "\n"
    "Writes the cels of FILE.ao into OUTDIR as PNGs (cel000.png, ...) and the\n"
    "manifest animation.toml that \"qrn pack OUTDIR/animation.toml OUT.ao\" turns\n"
    "back into the animation. Indexed cels take their colours from the palette:\n"
    "--palette, else palette.plt next to FILE.ao, else in the current folder;\n"
    "it is copied into OUTDIR. Direct-colour cels become RGBA PNGs.\n"
    "\n";

constexpr char kManifestName[] = "animation.toml";
constexpr char kPaletteName[] = "palette.plt";
constexpr uint8_t kOpaque = 255;

std::string findPalette(const std::string& given, const std::string& input) {
    if (!given.empty()) return given;
    const fs::path beside = fs::path(input).parent_path() / kPaletteName;
    if (fs::exists(beside)) return beside.string();
    return fs::exists(kPaletteName) ? kPaletteName : "";
}

bool unpack(const std::string& input, const std::string& outdir, const std::string& paletteOption, std::string& error,
            std::string& summary) {
    std::vector<unsigned char> bytes;
    if (!QrnFiles::read(input, bytes, error)) return false;
    size_t offset = 0;
    std::string why;
    if (!QrnAOCheck::check(bytes, offset, why)) return error = input + ": offset " + std::to_string(offset) + ": " + why, false;
    QrnAOModel model;
    if (!QrnAOModelIO::take(bytes, model, why)) return error = input + ": " + why, false;

    KvPngImage png;
    std::vector<unsigned char> paletteBytes;
    if (!model.direct) {
        const std::string palette = findPalette(paletteOption, input);
        if (palette.empty()) return error = input + " has indexed cels: give --palette or put palette.plt beside it", false;
        KvColor colors[kAOPaletteEntries];
        if (!qrnReadPalette(palette, colors) || !QrnFiles::read(palette, paletteBytes, error, kAOPaletteFileSize))
            return error = "cannot read the palette " + palette, false;
        png.indexed = true;
        png.palette.assign(colors, colors + kAOPaletteEntries);
        png.paletteAlpha.assign(kAOPaletteEntries, kOpaque);
        png.paletteAlpha[static_cast<size_t>(model.transparent)] = 0;
    }
    std::error_code code;
    fs::create_directories(outdir, code);
    if (code) return error = "cannot make " + outdir + ": " + code.message(), false;
    std::vector<std::string> images(model.cels.size());
    for (size_t c = 0; c < model.cels.size(); ++c) {
        const QrnCel& cel = model.cels[c];
        if (cel.sameAs >= 0) continue;
        char name[32];
        std::snprintf(name, sizeof name, "cel%03zu.png", c);
        images[c] = name;
        png.width = cel.width, png.height = cel.height;
        (model.direct ? png.rgba : png.indices) = cel.pixels;
        const std::string path = (fs::path(outdir) / name).string();
        if (!QrnFiles::writeWith(path, [&png](const std::string& to) { return KvSavePng(png, to.c_str()); }, error))
            return false;
    }
    if (!model.direct && !QrnFiles::write((fs::path(outdir) / kPaletteName).string(), paletteBytes, error)) return false;
    const std::string manifest = (fs::path(outdir) / kManifestName).string();
    if (!QrnFiles::write(manifest, QrnManifest::write(model, images, model.direct ? "" : kPaletteName), error)) return false;
    summary = manifest + ": " + std::to_string(model.cels.size()) + " cels, " + std::to_string(model.sequences.size()) +
              " sequences\n";
    return true;
}

}  // namespace

int qrnUnpackCommand(const std::vector<std::string>& args) {
    std::string palette;
    const std::vector<QrnOption> options = {
        {"--palette", "FILE.plt", "the colours of indexed cels",
         [&palette](const std::string& v) { return palette = v, !v.empty(); }},
    };
    std::vector<std::string> positional;
    if (const int status = qrnCommandLine("unpack", args, options, qrnUsage(kUnpackUsage, options),
                                          qrnExactly(2, "give FILE.ao and OUTDIR"), positional);
        status != kQrnGoOn)
        return status;
    std::string error;
    std::string summary;
    if (!unpack(positional[0], positional[1], palette, error, summary)) {
        std::fprintf(stderr, "qrn unpack: %s\n", error.c_str());
        return kQrnExitFailed;
    }
    std::fputs(summary.c_str(), stdout);
    return kQrnExitOk;
}

// The palette command: every format read into 256 colours, then written.
#include "apps/QrnPalette.h"

#include "apps/QrnFiles.h"
#include "apps/QrnOptions.h"
#include "framework/KvColor.h"
#include "framework/KvPng.h"

#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {

const char kPaletteUsage[] =
    "usage: qrn palette IN OUT\n"
    "\n"
    "Converts a palette between .plt (the runtime's), .png (an indexed PNG's\n"
    "colours; written as a 16 x 16 swatch) and .gpl (GIMP's text palette).\n"
    "\n";

constexpr size_t kPltSize = kQrnPaletteEntries * 3 * 2;
constexpr int kSwatchSide = 16;
constexpr uint8_t kOpaque = 255;
// A .gpl file is text; larger ones are not palettes.
constexpr size_t kMaxGplSize = size_t{256} << 10;

using Palette = std::vector<KvColor>;

std::string extensionOf(const std::string& path) {
    std::string e = std::filesystem::path(path).extension().string();
    for (char& c : e) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return e;
}

bool readGpl(const std::string& path, Palette& colours, std::string& error) {
    std::vector<unsigned char> bytes;
    if (!QrnFiles::read(path, bytes, error, kMaxGplSize)) return false;
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    int number = 0;
    const auto fail = [&](const std::string& why) { return error = path + ":" + std::to_string(number) + ": " + why, false; };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1) {
            if (line != "GIMP Palette") return fail("\"GIMP Palette\" expected");
            continue;
        }
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#' || line.rfind("Name:", 0) == 0 || line.rfind("Columns:", 0) == 0)
            continue;
        std::istringstream fields(line);
        int r = -1, g = -1, b = -1;
        if (!(fields >> r >> g >> b) || r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255)
            return fail("three numbers from 0 to 255 expected");
        if (colours.size() == static_cast<size_t>(kQrnPaletteEntries))
            return fail("more than " + std::to_string(kQrnPaletteEntries) + " colours");
        colours.push_back(KvColor::fromBytes(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)));
    }
    if (number == 0) return error = path + ": \"GIMP Palette\" expected", false;
    return true;
}

bool readPalette(const std::string& path, Palette& colours, std::string& error) {
    const std::string e = extensionOf(path);
    if (e == ".gpl") return readGpl(path, colours, error);
    if (e == ".png") {
        KvPngImage png;
        std::string why;
        if (!KvLoadPng(path.c_str(), png, &why)) return error = path + ": " + why, false;
        if (!png.indexed) return error = path + ": an indexed PNG expected", false;
        colours = png.palette;
        return true;
    }
    if (e != ".plt") return error = path + ": .plt, .png or .gpl expected", false;
    std::vector<unsigned char> bytes;
    if (!QrnFiles::read(path, bytes, error)) return false;
    if (bytes.size() < kPltSize)
        return error = path + ": offset " + std::to_string(bytes.size()) + ": " + std::to_string(kPltSize) + " bytes expected", false;
    for (size_t i = 0; i < static_cast<size_t>(kQrnPaletteEntries); ++i)
        colours.push_back(KvColor::fromBytes(bytes[6 * i], bytes[6 * i + 2], bytes[6 * i + 4]));
    return true;
}

bool writePalette(const std::string& path, Palette colours, std::string& error) {
    const std::string e = extensionOf(path);
    colours.resize(kQrnPaletteEntries);
    if (e == ".plt") {
        std::vector<unsigned char> bytes;
        // Each 8-bit colour c as the 16-bit component c * 257 (0xFF is 0xFFFF).
        for (const KvColor& c : colours)
            for (const uint8_t v : {c.r8(), c.g8(), c.b8()}) bytes.push_back(v), bytes.push_back(v);
        return QrnFiles::write(path, bytes, error);
    }
    if (e == ".gpl") {
        std::string text = "GIMP Palette\nName: " + std::filesystem::path(path).stem().string() + "\nColumns: 16\n#\n";
        char line[32];
        for (const KvColor& c : colours) {
            std::snprintf(line, sizeof line, "%3d %3d %3d\n", c.r8(), c.g8(), c.b8());
            text += line;
        }
        return QrnFiles::write(path, text, error);
    }
    if (e == ".png") {
        KvPngImage png;
        png.width = png.height = kSwatchSide;
        png.indexed = true;
        png.palette = colours;
        png.paletteAlpha.assign(colours.size(), kOpaque);
        for (int i = 0; i < kSwatchSide * kSwatchSide; ++i) png.indices.push_back(static_cast<uint8_t>(i));
        return QrnFiles::writeWith(path, [&png](const std::string& to) { return KvSavePng(png, to.c_str()); }, error);
    }
    return error = path + ": .plt, .png or .gpl expected", false;
}

}  // namespace

int qrnPaletteCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    if (const int status = qrnCommandLine("palette", args, {}, kPaletteUsage, qrnExactly(2, "give IN and OUT"), positional);
        status != kQrnGoOn)
        return status;
    std::string error;
    Palette colours;
    if (!readPalette(positional[0], colours, error) || !writePalette(positional[1], colours, error))
        return std::fprintf(stderr, "qrn palette: %s\n", error.c_str()), kQrnExitFailed;
    std::printf("%s: %zu colours\n", positional[1].c_str(), colours.size());
    return kQrnExitOk;
}

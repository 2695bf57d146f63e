// The pack command. Colour indices come straight from an indexed PNG, or,
// with --palette, from the nearest palette colour of each pixel. The
// transparent index is --transparent, or else the first fully transparent
// entry of an indexed PNG's palette; pixels less than half opaque take it.
//
// Output, little-endian: header (sequences 1, cels N, frames per second,
// swap flag 0, reserved, flags 0), N cel offsets, the embedded XYZ record
// (--position; zeros without it), the sequence (count N + 3 + sounds
// + hold, entries x, y, cel, param; a sound entry stands just before the
// frame it starts with, --hold's pause point before the last frame and its
// sounds, since a pause point shows the frame after it), the pictures.
#include "apps/QrnPack.h"

#include "anim/KvAOFile.h"
#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"
#include "apps/QrnAOModel.h"
#include "apps/QrnFiles.h"
#include "apps/QrnManifest.h"
#include "apps/QrnOptions.h"
#include "framework/KvIStream.h"
#include "framework/KvPng.h"

#include <climits>
#include <cstdio>
#include <fstream>
#include <memory>
#include <utility>

namespace {

const char kPackUsage[] =
    "usage: qrn pack [--frames N] [--fps F] [--transparent I] [--palette FILE.plt]\n"
    "                [--write-palette FILE.plt] [--position X,Y[,Z]]\n"
    "                [--sound FRAME:N]... [--hold] IMAGE.png OUT.ao\n"
    "       qrn pack MANIFEST.toml OUT.ao\n"
    "\n"
    "The manifest form builds an animation of any number of cels and sequences\n"
    "as the manifest lists them (see the README, \"Making a title\"); qrn unpack\n"
    "writes one. The options belong to the strip form.\n"
    "\n"
    "Packs IMAGE.png, a strip of N equal frames side by side, into an animation\n"
    "of N cels playing at F frames per second: a pause point, the cels in order,\n"
    "a loop marker. An indexed PNG keeps its colour indices; any other PNG needs\n"
    "--palette, and each pixel takes the nearest palette colour. Pixels less than\n"
    "half opaque become index I (by default an indexed PNG's first fully\n"
    "transparent colour), which the animation leaves undrawn.\n"
    "--write-palette saves the colours used as a palette file (palette.plt).\n"
    "--position stores where a title places the animation (\"a=KvAnimation X Y N\"\n"
    "takes the file's position and Z): X and Y from -2047 to 2048, Z from 0 to\n"
    "255 (default 0); without it the file says 0,0,0.\n"
    "--sound plays sound N (snd/N.wav beside the title's script) as frame FRAME\n"
    "(counted from 1) comes up; give it once for each sound.\n"
    "--hold adds a pause point before the last frame: \"play\" runs the frames once\n"
    "and stays on the last, the next \"play\" comes back to the first. A sound still\n"
    "playing when the animation pauses is stopped.\n"
    "\n";

// Bytes before the picture in the one-cel file the encoder writes.
constexpr size_t kEncoderHeaderSize = 52;
// The alpha below which a pixel is transparent.
constexpr int kOpaqueAlpha = 128;

struct PackSettings {
    long frames = 1;
    long fps = 8;
    long transparent = -1;
    unsigned char xyz[kAOXYZRecordSize] = {};  // the embedded position and Z
    std::vector<std::pair<long, long>> sounds;  // (frame from 1, sound number)
    bool hold = false;                          // pause on the last frame
    std::string palette, writePalette, image, output;
};

// "X,Y" or "X,Y,Z" in decimal, X and Y perhaps negative, into record; false
// when the text is not that or the record cannot hold the values.
bool parsePosition(const std::string& text, unsigned char* record) {
    constexpr size_t kMostValues = 3;
    std::vector<long> values;
    for (size_t from = 0; values.size() < kMostValues + 1;) {
        const size_t comma = text.find(',', from);
        const std::string part = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        const bool negative = !part.empty() && part[0] == '-';
        long value = 0;
        if (!parseWhole(negative ? part.substr(1) : part, 0, kAOXYZMax - kAOXYZMin, value)) return false;
        values.push_back(negative ? -value : value);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    if (values.size() < 2 || values.size() > kMostValues) return false;
    return KvAOFile::encodeXYZ(static_cast<int>(values[0]), static_cast<int>(values[1]),
                               values.size() == kMostValues ? static_cast<int>(values[2]) : 0, record);
}

// "FRAME:N" into sounds; frames are checked against the strip later.
bool parseSound(const std::string& text, std::vector<std::pair<long, long>>& sounds) {
    const size_t colon = text.find(':');
    long frame = 0, number = 0;
    if (colon == std::string::npos || sounds.size() >= kQrnPackMaxSounds ||
        !parseWhole(text.substr(0, colon), 1, kQrnPackMaxFrames, frame) ||
        !parseWhole(text.substr(colon + 1), 0, kQrnPackMaxSoundNumber, number))
        return false;
    sounds.emplace_back(frame, number);
    return true;
}

void put16(std::vector<unsigned char>& b, int v) {
    b.push_back(static_cast<unsigned char>(v)), b.push_back(static_cast<unsigned char>(v >> 8));
}
void put32(std::vector<unsigned char>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> 8 * i));
}

bool writePalette(const std::string& path, const KvColor* colors) {
    std::vector<unsigned char> b;
    for (int i = 0; i < kAOPaletteEntries; ++i)
        for (unsigned short c : {colors[i].red, colors[i].green, colors[i].blue})
            b.push_back(static_cast<unsigned char>(c >> 8)), b.push_back(static_cast<unsigned char>(c));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return static_cast<bool>(out);
}

// Each frame through the encoder; the whole file.
bool buildFile(const std::vector<uint8_t>& indices, int width, int height, const PackSettings& s,
               std::vector<unsigned char>& file) {
    const int frameWidth = width / static_cast<int>(s.frames);
    std::vector<std::vector<unsigned char>> pictures;
    for (int f = 0; f < s.frames; ++f) {
        KvMemCanvas canvas(frameWidth, height, 8);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < frameWidth; ++x)
                canvas.setPixel(x, y, indices[static_cast<size_t>(y) * width + static_cast<size_t>(f * frameWidth + x)]);
        long size = 0;
        const std::unique_ptr<const unsigned char[]> block(
            static_cast<const unsigned char*>(KvCelRenderer::pack(size, &canvas, KvRect::zero, static_cast<int>(s.transparent))));
        if (!block || size < static_cast<long>(kEncoderHeaderSize)) return false;
        pictures.emplace_back(block.get() + kEncoderHeaderSize, block.get() + size);
    }
    const int cels = static_cast<int>(s.frames);
    put16(file, 1), put16(file, cels);
    file.insert(file.end(), {static_cast<unsigned char>(s.fps), 0, 0, 0});
    put16(file, 0);
    uint32_t offset = 0;
    for (const auto& p : pictures) put32(file, offset), offset += static_cast<uint32_t>(p.size());
    file.insert(file.end(), s.xyz, s.xyz + kAOXYZRecordSize);
    put16(file, cels + 3 + static_cast<int>(s.sounds.size()) + (s.hold ? 1 : 0));
    const auto entry = [&file](int cel, int param = 0) {
        put16(file, 0), put16(file, 0), put16(file, cel), put16(file, param);
    };
    entry(kAOPause);
    for (int c = 0; c < cels; ++c) {
        if (s.hold && c == cels - 1) entry(kAOPause);
        for (const auto& [frame, number] : s.sounds)
            if (frame == c + 1) entry(kAOSound, static_cast<int>(number));
        entry(c);
    }
    entry(kAOLoop);
    entry(kAOEnd);
    for (const auto& p : pictures) file.insert(file.end(), p.begin(), p.end());
    return true;
}

}  // namespace

bool qrnReadPalette(const std::string& path, KvColor* colors) {
    auto* stream = new KvIStreamFile(path.c_str());
    if (!stream->good() || stream->size() < kAOPaletteFileSize) {
        delete stream;
        return false;
    }
    KvAnimation::loadPalette(stream, colors);
    return true;
}

namespace {

// The nearest colour of the palette, the transparent index left out.
int nearest(const KvColor* colors, const uint8_t* rgba, int transparent) {
    int best = 0;
    long bestDistance = LONG_MAX;
    for (int i = 0; i < kAOPaletteEntries; ++i) {
        if (i == transparent) continue;
        const long dr = rgba[0] - colors[i].r8(), dg = rgba[1] - colors[i].g8(), db = rgba[2] - colors[i].b8();
        const long distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) best = i, bestDistance = distance;
    }
    return best;
}

}  // namespace

bool qrnPackIndices(const KvPngImage& image, const KvColor* palette, const std::string& name, long& transparent,
                    std::vector<uint8_t>& indices, std::string& error) {
    if (!palette && !image.indexed) {
        error = name + " is not an indexed PNG: give --palette";
        return false;
    }
    if (transparent < 0 && image.indexed)
        for (size_t i = 0; i < image.paletteAlpha.size() && transparent < 0; ++i)
            if (image.paletteAlpha[i] == 0) transparent = static_cast<long>(i);
    indices.resize(static_cast<size_t>(image.width) * image.height);
    for (size_t p = 0; p < indices.size(); ++p) {
        const uint8_t* rgba = &image.rgba[4 * p];
        if (rgba[3] < kOpaqueAlpha) {
            if (transparent < 0) {
                error = name + " has transparent pixels: give --transparent";
                return false;
            }
            indices[p] = static_cast<uint8_t>(transparent);
        } else {
            indices[p] = palette ? static_cast<uint8_t>(nearest(palette, rgba, static_cast<int>(transparent)))
                                 : image.indices[p];
        }
    }
    return true;
}

namespace {

const std::string kManifestExtension = ".toml";

int packManifest(const std::string& manifest, const std::string& output) {
    QrnAOModel model;
    std::vector<unsigned char> file;
    std::string error;
    if (!QrnManifest::read(manifest, model, error) || !QrnAOModelIO::build(model, file, error) ||
        !QrnFiles::write(output, file, error)) {
        std::fprintf(stderr, "qrn pack: %s\n", error.c_str());
        return kQrnExitFailed;
    }
    std::printf("%s: %zu cel%s, %zu sequence%s\n", output.c_str(), model.cels.size(), model.cels.size() == 1 ? "" : "s",
                model.sequences.size(), model.sequences.size() == 1 ? "" : "s");
    return kQrnExitOk;
}

std::vector<QrnOption> packOptions(PackSettings& s) {
    return {
        {"--frames", "N", "frames side by side in the image (default 1)",
         [&s](const std::string& v) { return parseWhole(v, 1, kQrnPackMaxFrames, s.frames); }},
        {"--fps", "F", "frames per second, 0 to 255 (default 8)",
         [&s](const std::string& v) { return parseWhole(v, 0, 255, s.fps); }},
        {"--transparent", "I", "the colour index left undrawn, 0 to 255",
         [&s](const std::string& v) { return parseWhole(v, 0, 255, s.transparent); }},
        {"--palette", "FILE.plt", "map colours to this palette",
         [&s](const std::string& v) { return s.palette = v, !v.empty(); }},
        {"--write-palette", "FILE.plt", "also write the palette used",
         [&s](const std::string& v) { return s.writePalette = v, !v.empty(); }},
        {"--position", "X,Y[,Z]", "the position and Z stored in the file (default 0,0,0)",
         [&s](const std::string& v) { return parsePosition(v, s.xyz); }},
        {"--sound", "FRAME:N", "play sound N as frame FRAME comes up (repeatable)",
         [&s](const std::string& v) { return parseSound(v, s.sounds); }},
        {"--hold", nullptr, "stay on the last frame when played once",
         [&s](const std::string&) { return s.hold = true; }},
    };
}

}  // namespace

int qrnPackCommand(const std::vector<std::string>& args) {
    PackSettings s;
    const std::vector<QrnOption> options = packOptions(s);
    std::vector<std::string> positional;
    const std::string usage = qrnUsage(kPackUsage, options);
    if (const int status = qrnCommandLine("pack", args, options, usage, qrnExactly(2, "give IMAGE.png and OUT.ao"), positional);
        status != kQrnGoOn)
        return status;
    s.image = positional[0];
    s.output = positional[1];
    if (s.image.size() > kManifestExtension.size() &&
        s.image.compare(s.image.size() - kManifestExtension.size(), kManifestExtension.size(), kManifestExtension) == 0) {
        if (!args.empty() && args.size() != 2) {
            std::fprintf(stderr, "qrn pack: the options belong to the strip form, not to a manifest\n%s", usage.c_str());
            return kQrnExitUsage;
        }
        return packManifest(s.image, s.output);
    }

    std::string error;
    KvColor palette[kAOPaletteEntries];
    if (!s.palette.empty() && !qrnReadPalette(s.palette, palette)) error = "cannot read the palette " + s.palette;
    KvPngImage image;
    std::string why;
    if (error.empty() && !KvLoadPng(s.image.c_str(), image, &why, kQrnMaxImagePixels)) error = s.image + ": " + why;
    if (error.empty() && image.width % s.frames) error = s.image + " is not " + std::to_string(s.frames) + " frames wide";
    for (const auto& sound : s.sounds)
        if (error.empty() && sound.first > s.frames)
            error = "--sound " + std::to_string(sound.first) + ":" + std::to_string(sound.second) +
                    ": the strip has no frame " + std::to_string(sound.first);
    std::vector<uint8_t> indices;
    if (error.empty()) qrnPackIndices(image, s.palette.empty() ? nullptr : palette, s.image, s.transparent, indices, error);
    std::vector<unsigned char> file;
    if (error.empty() && !buildFile(indices, image.width, image.height, s, file)) error = "cannot encode " + s.image;
    if (error.empty()) QrnFiles::write(s.output, file, error);
    if (error.empty() && !s.writePalette.empty()) {
        if (s.palette.empty())
            for (size_t i = 0; i < image.palette.size() && i < kAOPaletteEntries; ++i) palette[i] = image.palette[i];
        if (!writePalette(s.writePalette, palette)) error = "cannot write " + s.writePalette;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "qrn pack: %s\n", error.c_str());
        return kQrnExitFailed;
    }
    std::printf("%s: %ld cel%s of %d x %d\n", s.output.c_str(), s.frames, s.frames == 1 ? "" : "s",
                image.width / static_cast<int>(s.frames), image.height);
    return kQrnExitOk;
}

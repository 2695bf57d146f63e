// Manifests read with toml++ (every value checked for type and range, unknown
// keys refused so that a misspelt key is not silently dropped) and written
// as plain text in the same shape.
#include "apps/QrnManifest.h"

#include "anim/KvAOFile.h"
#include "anim/KvAnimation.h"
#include "apps/QrnFiles.h"
#include "apps/QrnPack.h"
#include "framework/KvPng.h"

#include <toml++/toml.h>

#include <algorithm>
#include <optional>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr int kFlagsMax = 0xFFFF;
constexpr int kByteMax = 255;
constexpr int kInt16Min = -32768, kInt16Max = 32767;
constexpr int kUint16Max = 65535;
constexpr int kHexRecordDigits = 2 * static_cast<int>(kAOXYZRecordSize);

struct Command {
    const char* name;
    int cel;
};
constexpr Command kCommands[] = {{"end", kAOEnd}, {"loop", kAOLoop}, {"pause", kAOPause}, {"nop", kAONop}, {"sound", kAOSound}};

class Reader {
public:
    Reader(std::string file) : file(std::move(file)) {}

    bool fail(const toml::node* node, const std::string& what) {
        error = file + (node ? ":" + std::to_string(node->source().begin.line) : "") + ": " + what;
        return false;
    }
    bool keys(const toml::table& table, std::initializer_list<const char*> allowed) {
        for (const auto& entry : table) {
            const std::string_view key = entry.first.str();
            if (std::none_of(allowed.begin(), allowed.end(), [&](const char* a) { return key == a; }))
                return fail(&entry.second, "unknown key \"" + std::string(key) + "\"");
        }
        return true;
    }
    // An integer from min to max at node, or fallback without one.
    bool integer(const toml::node* node, const char* name, long min, long max, long fallback, long& out) {
        out = fallback;
        if (!node) return true;
        // Only an integer node is asked for its value: asking a float that
        // far exceeds int64_t would convert it out of range.
        const auto value = node->is_integer() ? node->value<int64_t>() : std::nullopt;
        if (!value) return fail(node, std::string(name) + ": a whole number expected");
        if (*value < min || *value > max)
            return fail(node, std::string(name) + " " + std::to_string(*value) + ": " + std::to_string(min) + " to " +
                                  std::to_string(max) + " expected");
        out = static_cast<long>(*value);
        return true;
    }
    bool text(const toml::node* node, const char* name, std::string& out) {
        if (!node) return true;
        if (!node->is_string()) return fail(node, std::string(name) + ": a text in quotes expected");
        out = *node->value<std::string>();
        return true;
    }
    const toml::array* array(const toml::node* node, const char* name, size_t most) {
        if (!node) return nullptr;
        const toml::array* a = node->as_array();
        if (!a) return fail(node, std::string(name) + ": a list expected"), nullptr;
        if (a->size() > most)
            return fail(node, std::string(name) + ": " + std::to_string(a->size()) + " items, at most " +
                                  std::to_string(most) + " expected"),
                   nullptr;
        return a;
    }

    std::string file;
    std::string error;
    size_t pixels = 0;  // of the images read so far
};

bool readEntry(Reader& in, const toml::node& node, KvAOSequence& entry) {
    const toml::table* t = node.as_table();
    if (!t) return in.fail(&node, "an entry { cel = N } or { command = NAME } expected");
    if (!in.keys(*t, {"cel", "command", "code", "x", "y", "param"})) return false;
    long x = 0, y = 0, param = 0, cel = 0;
    if (!in.integer(t->get("x"), "x", kInt16Min, kInt16Max, 0, x) || !in.integer(t->get("y"), "y", kInt16Min, kInt16Max, 0, y) ||
        !in.integer(t->get("param"), "param", 0, kUint16Max, 0, param))
        return false;
    const toml::node* command = t->get("command");
    if (t->get("cel") && command) return in.fail(&node, "an entry is a cel or a command, not both");
    if (!command) {
        if (!t->get("cel")) return in.fail(&node, "an entry { cel = N } or { command = NAME } expected");
        if (!in.integer(t->get("cel"), "cel", 0, kQrnMaxCels - 1, 0, cel)) return false;
    } else if (command->is_integer()) {
        if (!in.integer(command, "command", kInt16Min, -1, 0, cel)) return false;
    } else {
        std::string name;
        if (!in.text(command, "command", name)) return false;
        const auto known = std::find_if(std::begin(kCommands), std::end(kCommands), [&](const Command& c) { return name == c.name; });
        if (name == "user") {
            if (!t->get("code")) return in.fail(&node, "a user command needs code = -500 or below");
            if (!in.integer(t->get("code"), "code", kInt16Min, kAOUserCommand, 0, cel)) return false;
        } else if (known != std::end(kCommands)) {
            cel = known->cel;
        } else {
            return in.fail(command, "command \"" + name + "\": end, loop, pause, nop, sound, user or a negative number expected");
        }
    }
    if (t->get("code") && !(command && command->is_string() && *command->value<std::string>() == "user"))
        return in.fail(t->get("code"), "code belongs to user commands");
    entry = KvAOSequence{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(cel), static_cast<uint16_t>(param)};
    return true;
}

// The frames of one cel entry, appended to the model.
bool readCel(Reader& in, const toml::node& node, const fs::path& folder, const KvColor* palette, long& transparent,
             QrnAOModel& model) {
    const toml::table* t = node.as_table();
    if (!t) return in.fail(&node, "a cel table expected");
    if (!in.keys(*t, {"image", "frames", "same-as"})) return false;
    const int number = static_cast<int>(model.cels.size());
    if (t->get("same-as")) {
        long sameAs = 0;
        if (t->get("image") || t->get("frames")) return in.fail(&node, "a cel has an image or is the same as another, not both");
        if (!in.integer(t->get("same-as"), "same-as", 0, number - 1, 0, sameAs)) return false;
        if (number >= kQrnMaxCels) return in.fail(&node, "more than " + std::to_string(kQrnMaxCels) + " cels");
        model.cels.push_back(QrnCel{0, 0, static_cast<int>(sameAs), {}});
        return true;
    }
    std::string image;
    long frames = 1;
    if (!in.text(t->get("image"), "image", image) || !in.integer(t->get("frames"), "frames", 1, kQrnMaxCels, 1, frames))
        return false;
    if (image.empty()) return in.fail(&node, "image = \"FILE.png\" or same-as = N expected");
    if (number + frames > kQrnMaxCels) return in.fail(&node, "more than " + std::to_string(kQrnMaxCels) + " cels");
    const std::string path = (folder / image).string();
    KvPngImage png;
    std::string why;
    if (!KvLoadPng(path.c_str(), png, &why, kQrnMaxImagePixels)) return in.fail(&node, path + ": " + why);
    in.pixels += static_cast<size_t>(png.width) * static_cast<size_t>(png.height);
    if (in.pixels > kQrnMaxTotalPixels)
        return in.fail(&node, "the images up to " + path + " have more than " + std::to_string(kQrnMaxTotalPixels) + " pixels");
    if (png.width % frames) return in.fail(&node, path + " is not " + std::to_string(frames) + " frames wide");
    std::vector<uint8_t> indices;
    if (!model.direct && !qrnPackIndices(png, palette, path, transparent, indices, why)) return in.fail(&node, why);
    const int width = png.width / static_cast<int>(frames);
    const size_t bytesPerPixel = model.direct ? 4 : 1;
    const std::vector<uint8_t>& pixels = model.direct ? png.rgba : indices;
    for (long f = 0; f < frames; ++f) {
        QrnCel cel{width, png.height, -1, {}};
        for (int y = 0; y < png.height; ++y) {
            const auto row = pixels.begin() + static_cast<long>(bytesPerPixel * (static_cast<size_t>(y) * png.width + f * width));
            cel.pixels.insert(cel.pixels.end(), row, row + static_cast<long>(bytesPerPixel * width));
        }
        model.cels.push_back(std::move(cel));
    }
    return true;
}

bool readHeader(Reader& in, const toml::table& top, QrnAOModel& model) {
    std::string order = "little", colour = "indexed";
    long fps = 0, flags = 0;
    if (!in.text(top.get("byte-order"), "byte-order", order) || !in.text(top.get("colour"), "colour", colour)) return false;
    if (order != "little" && order != "big") return in.fail(top.get("byte-order"), "byte-order: \"little\" or \"big\" expected");
    if (colour != "indexed" && colour != "direct") return in.fail(top.get("colour"), "colour: \"indexed\" or \"direct\" expected");
    model.bigEndian = order == "big";
    model.direct = colour == "direct";
    if (!in.integer(top.get("frames-per-second"), "frames-per-second", 0, kByteMax, 8, fps) ||
        !in.integer(top.get("flags"), "flags", 0, kFlagsMax, model.direct ? kAONoColorTable : 0, flags))
        return false;
    model.framesPerSecond = static_cast<int>(fps);
    model.flags = static_cast<unsigned>(flags);
    long xyz[3] = {};
    if (const toml::array* a = in.array(top.get("position"), "position", 3)) {
        if (a->size() < 2) return in.fail(top.get("position"), "position: [x, y] or [x, y, z] expected");
        for (size_t i = 0; i < a->size(); ++i)
            if (!in.integer(a->get(i), "position", i < 2 ? kAOXYZMin : 0, i < 2 ? kAOXYZMax : kAOZMax, 0, xyz[i])) return false;
    } else if (!in.error.empty()) {
        return false;
    }
    KvAOFile::encodeXYZ(static_cast<int>(xyz[0]), static_cast<int>(xyz[1]), static_cast<int>(xyz[2]), model.position);
    if (const toml::array* a = in.array(top.get("reserved"), "reserved", 2)) {
        for (size_t i = 0; i < a->size(); ++i) {
            long b = 0;
            if (!in.integer(a->get(i), "reserved", 0, kByteMax, 0, b)) return false;
            model.reserved[i] = static_cast<uint8_t>(b);
        }
    } else if (!in.error.empty()) {
        return false;
    }
    if (const toml::array* a = in.array(top.get("records"), "records", kQrnMaxSequences)) {
        for (const toml::node& n : *a) {
            std::string hex;
            if (!in.text(&n, "records", hex)) return false;
            std::vector<unsigned char> record;
            for (size_t i = 0; i + 1 < hex.size() && hex.size() == kHexRecordDigits; i += 2)
                if (std::isxdigit(static_cast<unsigned char>(hex[i])) && std::isxdigit(static_cast<unsigned char>(hex[i + 1])))
                    record.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
            if (record.size() != kAOXYZRecordSize) return in.fail(&n, "records: 8 hex digits each expected");
            model.extraRecords.push_back(record);
        }
    } else if (!in.error.empty()) {
        return false;
    }
    return true;
}

}  // namespace

bool QrnManifest::read(const std::string& path, QrnAOModel& model, std::string& error) {
    model = QrnAOModel();
    std::vector<unsigned char> bytes;
    if (!QrnFiles::read(path, bytes, error, kQrnMaxManifestSize)) return false;
    Reader in(path);
    toml::table top;
    try {
        top = toml::parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
    } catch (const toml::parse_error& e) {
        error = path + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
        return false;
    }
    const bool ok = [&] {
        if (!in.keys(top, {"byte-order", "frames-per-second", "flags", "position", "colour", "transparent", "palette",
                           "reserved", "records", "cels", "sequences"}) ||
            !readHeader(in, top, model))
            return false;
        long transparent = -1;
        std::string paletteFile;
        if (!in.integer(top.get("transparent"), "transparent", 0, kByteMax, -1, transparent) ||
            !in.text(top.get("palette"), "palette", paletteFile))
            return false;
        const fs::path folder = fs::path(path).parent_path();
        KvColor palette[kAOPaletteEntries];
        if (!paletteFile.empty() && !qrnReadPalette((folder / paletteFile).string(), palette))
            return in.fail(top.get("palette"), "cannot read the palette " + (folder / paletteFile).string());
        const toml::array* cels = in.array(top.get("cels"), "cels", kQrnMaxCels);
        if (!cels && !in.error.empty()) return false;
        for (size_t i = 0; cels && i < cels->size(); ++i)
            if (!readCel(in, *cels->get(i), folder, paletteFile.empty() ? nullptr : palette, transparent, model)) return false;
        const toml::array* sequences = in.array(top.get("sequences"), "sequences", kQrnMaxSequences);
        if (!sequences || sequences->empty()) return in.error.empty() ? in.fail(nullptr, "at least one [[sequences]] expected") : false;
        for (const toml::node& node : *sequences) {
            const toml::table* t = node.as_table();
            if (!t) return in.fail(&node, "a sequence table expected");
            if (!in.keys(*t, {"entries"})) return false;
            const toml::array* entries = in.array(t->get("entries"), "entries", kQrnMaxEntries);
            if (!entries) return in.error.empty() ? in.fail(&node, "entries = [ ... ] expected") : false;
            auto& sequence = model.sequences.emplace_back();
            for (const toml::node& e : *entries)
                if (!readEntry(in, e, sequence.emplace_back())) return false;
            if (std::none_of(sequence.begin(), sequence.end(), [](const KvAOSequence& e) { return e.cel == kAOEnd; })) {
                if (sequence.size() >= static_cast<size_t>(kQrnMaxEntries)) return in.fail(&node, "no room for the end entry");
                sequence.push_back(KvAOSequence{0, 0, kAOEnd, 0});
            }
            for (const KvAOSequence& e : sequence)
                if (e.cel >= static_cast<int>(model.cels.size()))
                    return in.fail(&node, "cel " + std::to_string(e.cel) + " shown, but there are " +
                                              std::to_string(model.cels.size()) + " cels");
        }
        if (!model.direct) {
            // Pixels of the transparent index are skipped: it must be one no cel shows.
            if (transparent < 0) {
                bool used[256] = {};
                for (const QrnCel& cel : model.cels)
                    for (const uint8_t i : cel.pixels) used[i] = true;
                const bool* unused = std::find(used, used + 256, false);
                if (unused == used + 256) return in.fail(nullptr, "the cels use all 256 colour indices: give transparent");
                transparent = unused - used;
            }
            model.transparent = static_cast<int>(transparent);
        }
        return true;
    }();
    if (!ok) error = in.error;
    return ok;
}

std::string QrnManifest::write(const QrnAOModel& model, const std::vector<std::string>& images, const std::string& palette) {
    std::ostringstream out;
    int x = 0, y = 0, z = 0;
    KvAOFile::decodeXYZ(model.position, x, y, z);
    out << "# An animation for qrn pack: qrn pack THIS.toml OUT.ao\n"
        << "byte-order = \"" << (model.bigEndian ? "big" : "little") << "\"\n"
        << "frames-per-second = " << model.framesPerSecond << "\n"
        << "flags = " << model.flags << "\n"
        << "position = [" << x << ", " << y << ", " << z << "]\n"
        << "colour = \"" << (model.direct ? "direct" : "indexed") << "\"\n";
    if (!model.direct) out << "transparent = " << model.transparent << "\n";
    if (!palette.empty()) out << "palette = \"" << palette << "\"\n";
    if (model.reserved[0] || model.reserved[1])
        out << "reserved = [" << int(model.reserved[0]) << ", " << int(model.reserved[1]) << "]\n";
    const bool records = std::any_of(model.extraRecords.begin(), model.extraRecords.end(), [](const auto& r) {
        return std::any_of(r.begin(), r.end(), [](unsigned char b) { return b != 0; });
    });
    if (records) {
        out << "records = [";
        for (size_t i = 0; i < model.extraRecords.size(); ++i) {
            char hex[2 * kAOXYZRecordSize + 1];
            const auto& r = model.extraRecords[i];
            std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", r[0], r[1], r[2], r[3]);
            out << (i ? ", \"" : "\"") << hex << "\"";
        }
        out << "]\n";
    }
    for (size_t c = 0; c < model.cels.size(); ++c) {
        out << "\n[[cels]]  # cel " << c << "\n";
        if (model.cels[c].sameAs >= 0)
            out << "same-as = " << model.cels[c].sameAs << "\n";
        else
            out << "image = \"" << images[c] << "\"\n";
    }
    for (const auto& sequence : model.sequences) {
        out << "\n[[sequences]]\nentries = [\n";
        for (const KvAOSequence& e : sequence) {
            const auto known = std::find_if(std::begin(kCommands), std::end(kCommands), [&](const Command& c) { return e.cel == c.cel; });
            out << "  { ";
            if (e.cel >= 0)
                out << "cel = " << e.cel;
            else if (known != std::end(kCommands))
                out << "command = \"" << known->name << "\"";
            else if (e.cel <= kAOUserCommand)
                out << "command = \"user\", code = " << e.cel;
            else
                out << "command = " << e.cel;
            if (e.cel >= 0 || e.x) out << ", x = " << e.x;
            if (e.cel >= 0 || e.y) out << ", y = " << e.y;
            if (e.cel >= 0 || e.param) out << ", param = " << e.param;
            out << " },\n";
        }
        out << "]\n";
    }
    return out.str();
}

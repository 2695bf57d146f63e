// The info command. Each describer first runs the same checks the runtime's
// reader runs, in the reader's order, so that the offset it names is the
// first the reader would trip on; only a file that passes is described.
#include "apps/QrnInfo.h"

#include "anim/KvAOFile.h"
#include "anim/KvCelDrawers.h"
#include "anim/KvCelRenderer.h"
#include "apps/QrnAOCheck.h"
#include "apps/QrnB16.h"
#include "apps/QrnFiles.h"
#include "apps/QrnHeapAccess.h"
#include "apps/QrnOptions.h"
#include "background/Background16.h"
#include "framework/KvMixer.h"
#include "framework/KvWaveSound.h"
#include "script/YHeap.h"
#include "script/YThread.h"
#include "script/YVariable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

const char kInfoUsage[] =
    "usage: qrn info FILE\n"
    "\n"
    "Prints what FILE holds, one \"name: value\" a line: animations (.ao),\n"
    "compressed backgrounds (.b16), palettes (.plt), compiled scripts and WAV\n"
    "sounds. A file the runtime would refuse is named with the offset of its\n"
    "first wrong byte and what was expected there, and the status is 1.\n"
    "\n";

// The palette file: 256 entries of three big-endian 16-bit components.
constexpr size_t kPaletteFileSize = 256 * 3 * 2;
constexpr unsigned char kScriptVersionSwapped = 1;
constexpr unsigned char kScriptVersion = 2;

void line(std::string& out, const std::string& name, const std::string& value) { out += name + ": " + value + "\n"; }
void line(std::string& out, const std::string& name, long long value) { line(out, name, std::to_string(value)); }

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string entryText(const KvAOSequence& e) {
    const std::string place = " at " + std::to_string(e.x) + "," + std::to_string(e.y);
    const std::string param = " param " + std::to_string(e.param);
    if (e.cel >= 0) return "cel " + std::to_string(e.cel) + place + param;
    switch (e.cel) {
    case kAOEnd: return "end";
    case kAOLoop: return "loop";
    case kAOPause: return "pause";
    case kAONop: return "nop";
    case kAOSound: return "sound " + std::to_string(e.param);
    default: break;
    }
    if (e.cel <= kAOUserCommand)
        return "user " + std::to_string(e.cel) + " " + std::to_string(e.x) + " " + std::to_string(e.y) + " " +
               std::to_string(e.param);
    return "command " + std::to_string(e.cel) + place + param;
}

bool describeAnimation(const std::vector<unsigned char>& bytes, std::string& out, size_t& offset, std::string& why) {
    if (!QrnAOCheck::check(bytes, offset, why)) return false;
    // The loader works in place on aligned memory; a copy keeps bytes as read.
    std::vector<unsigned char> copy(bytes);
    KvAOLayout layout;
    if (!KvAOFile::read(copy.data(), copy.size(), 0x555, layout)) {
        offset = 0, why = "the loader refuses the file";
        return false;
    }
    line(out, "kind", "animation");
    line(out, "size", static_cast<long long>(bytes.size()));
    line(out, "byte-order", bytes[5] ? "swapped (flag " + std::to_string(bytes[5]) + ")" : "little-endian");
    line(out, "sequences", layout.seqCount);
    line(out, "cels", layout.celCount);
    line(out, "frames-per-second", layout.framesPerSecond);
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%04x", layout.flags);
    line(out, "flags", flags);
    line(out, "position", std::to_string(layout.embeddedX) + "," + std::to_string(layout.embeddedY));
    line(out, "z", layout.embeddedZ);
    line(out, "colour", layout.directColor ? "direct" : "indexed");
    for (size_t s = 0; s < layout.sequences.size(); ++s) {
        const std::string name = "sequence " + std::to_string(s);
        line(out, name, std::to_string(layout.sequenceLengths[s]) + " entries");
        for (int k = 0; k < layout.sequenceLengths[s]; ++k)
            line(out, name + " entry " + std::to_string(k), entryText(layout.sequences[s][k]));
    }
    for (size_t c = 0; c < layout.cels.size(); ++c) {
        const unsigned char* pic = layout.cels[c];
        const std::string name = "cel " + std::to_string(c);
        if (!pic) {
            line(out, name, "no picture");
            continue;
        }
        const bool direct = KvCelDrawers::readInt16(pic) == KvCelRenderer::kDirectColorType;
        line(out, name,
             std::to_string(KvCelDrawers::readInt16(pic + 2)) + " x " + std::to_string(KvCelDrawers::readInt16(pic + 4)) +
                 (direct ? " direct" : " indexed") + ", " + std::to_string(KvAOFile::pictureSize(pic)) +
                 " bytes at " + std::to_string(pic - copy.data()));
    }
    return true;
}

bool describeBackground(const std::vector<unsigned char>& bytes, std::string& out, size_t& offset, std::string& why) {
    QrnB16Header header;
    if (!QrnB16::decode(bytes, header, nullptr, offset, why)) return false;
    line(out, "kind", "background");
    line(out, "size", static_cast<long long>(bytes.size()));
    line(out, "width", header.width());
    line(out, "height", header.height());
    line(out, "uncompressed", header.uncompressed());
    line(out, "compressed", header.compressed());
    char format[16];
    std::snprintf(format, sizeof format, "0x%x", header.words[kB16WordFormat]);
    line(out, "format", format);
    return true;
}

bool describePalette(const std::vector<unsigned char>& bytes, std::string& out, size_t& offset, std::string& why) {
    if (bytes.size() < kPaletteFileSize) {
        offset = bytes.size();
        why = std::to_string(kPaletteFileSize) + " bytes expected (256 entries of three 16-bit components)";
        return false;
    }
    line(out, "kind", "palette");
    line(out, "size", static_cast<long long>(bytes.size()));
    line(out, "entries", 256);
    for (int i = 0; i < 256; ++i) {
        char rgb[16];
        std::snprintf(rgb, sizeof rgb, "#%02x%02x%02x", bytes[6 * i], bytes[6 * i + 2], bytes[6 * i + 4]);
        line(out, "entry " + std::to_string(i), rgb);
    }
    return true;
}

bool describeScript(const std::vector<unsigned char>& bytes, std::string& out, size_t& offset, std::string& why) {
    const auto fail = [&](size_t at, std::string text) {
        offset = at, why = std::move(text);
        return false;
    };
    const auto ends = [&](size_t at, size_t need, const std::string& what) {
        return fail(at, what + ": " + std::to_string(need) + " bytes expected, the file ends after " +
                            std::to_string(bytes.size() - std::min(at, bytes.size())));
    };
    if (bytes.empty()) return ends(0, 1, "the version byte");
    if (bytes[0] != kScriptVersion && bytes[0] != kScriptVersionSwapped)
        return fail(0, "version " + std::to_string(bytes[0]) + ", 1 or 2 expected");
    const bool swap = bytes[0] == kScriptVersionSwapped;
    const auto word32 = [&](size_t at) {
        uint32_t v = le32(&bytes[at]);
        return swap ? (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24) : v;
    };
    // A count of 4 bytes at pos, from 0 to most, for items of itemSize bytes.
    const auto count = [&](size_t pos, long most, size_t itemSize, const std::string& what, int32_t& n) {
        if (bytes.size() - pos < 4) return ends(pos, 4, "the " + what + " count");
        n = static_cast<int32_t>(word32(pos));
        if (n < 0 || n > most)
            return fail(pos, what + " count " + std::to_string(n) + ", 0 to " + std::to_string(most) + " expected");
        if ((bytes.size() - pos - 4) / itemSize < static_cast<size_t>(n))
            return ends(pos + 4, itemSize * static_cast<size_t>(n), "the " + std::to_string(n) + " " + what);
        return true;
    };
    int32_t n = 0, w = 0, v = 0;
    size_t pos = 1;
    if (!count(pos, kYMaxCommands, 3, "commands", n)) return false;
    pos += 4 + 3 * static_cast<size_t>(n);
    if (!count(pos, kYMaxWords, 2, "words", w)) return false;
    const size_t wordsAt = pos + 4;
    pos = wordsAt + 2 * static_cast<size_t>(w);
    if (!count(pos, kYMaxEntries, 1, "variables", v)) return false;
    pos += 4;
    const unsigned char* cursor = bytes.data() + pos;
    const unsigned char* const end = bytes.data() + bytes.size();
    // Records are parsed into one loose entry, as the loader parses them
    // before it extends the heap with them.
    YHeapAccess::open();
    const int heapBefore = YHeap::theHeap.size();
    const std::unique_ptr<YVariable> scratch(YHeapAccess::fresh());
    for (int i = 3; i < v; ++i) {
        const size_t at = static_cast<size_t>(cursor - bytes.data());
        if (!scratch->read(cursor, end, swap))
            return fail(at, "variable " + std::to_string(i) + ": a whole variable record expected");
    }
    const long heapAfter = heapBefore + std::max(0, v - 3);
    for (int i = 0; i < w; ++i) {
        const size_t at = wordsAt + 2 * static_cast<size_t>(i);
        const int16_t word = static_cast<int16_t>(swap ? bytes[at] << 8 | bytes[at + 1] : bytes[at] | bytes[at + 1] << 8);
        if (word != -1 && (word < 0 || word >= heapAfter))
            return fail(at, "word " + std::to_string(i) + " is " + std::to_string(word) + ", -1 or a variable below " +
                                std::to_string(heapAfter) + " expected");
    }
    line(out, "kind", "compiled script");
    line(out, "size", static_cast<long long>(bytes.size()));
    line(out, "version", bytes[0]);
    line(out, "byte-order", swap ? "swapped" : "little-endian");
    line(out, "commands", n);
    line(out, "words", w);
    line(out, "variables", v);
    line(out, "trailing-bytes", static_cast<long long>(end - cursor));
    return true;
}

bool describeSound(const std::vector<unsigned char>& bytes, std::string& out, size_t& offset, std::string& why) {
    const auto fail = [&](size_t at, std::string text) {
        offset = at, why = std::move(text);
        return false;
    };
    constexpr size_t kRiffHeader = 12, kChunkHeader = 8, kMinFmt = 16;
    if (bytes.size() < kRiffHeader) return fail(0, "a RIFF header of 12 bytes expected");
    if (std::memcmp(bytes.data(), "RIFF", 4) != 0) return fail(0, "\"RIFF\" expected");
    if (std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) return fail(8, "\"WAVE\" expected");
    const uint64_t end = std::min<uint64_t>(8 + uint64_t{le32(&bytes[4])}, bytes.size());
    int channels = 0, bits = 0;
    uint32_t rate = 0;
    for (uint64_t at = kRiffHeader; at + kChunkHeader <= end;) {
        const unsigned char* chunk = &bytes[at];
        const uint64_t length = le32(chunk + 4), body = at + kChunkHeader, present = end - body;
        const std::string id(reinterpret_cast<const char*>(chunk), 4);
        if (id == "fmt ") {
            if (channels) return fail(at, "a second \"fmt \" chunk");
            if (length < kMinFmt || length > present)
                return fail(at + 4, "format chunk length " + std::to_string(length) + ", 16 to " +
                                        std::to_string(present) + " expected");
            const unsigned char* f = &bytes[body];
            channels = f[2] | f[3] << 8, rate = le32(f + 4), bits = f[14] | f[15] << 8;
            if ((f[0] | f[1] << 8) != 1) return fail(body, "format " + std::to_string(f[0] | f[1] << 8) + ", 1 (PCM) expected");
            if (channels < 1 || channels > KvMixer::kMaxChannels)
                return fail(body + 2, std::to_string(channels) + " channels, 1 to " + std::to_string(KvMixer::kMaxChannels) + " expected");
            if (rate < uint32_t(KvMixer::kMinRate) || rate > uint32_t(KvMixer::kMaxRate))
                return fail(body + 4, "rate " + std::to_string(rate) + ", " + std::to_string(KvMixer::kMinRate) + " to " +
                                          std::to_string(KvMixer::kMaxRate) + " expected");
            if (bits != 8 && bits != 16) return fail(body + 14, std::to_string(bits) + " bits a sample, 8 or 16 expected");
            if ((f[12] | f[13] << 8) != channels * bits / 8)
                return fail(body + 12, "block align " + std::to_string(f[12] | f[13] << 8) + ", " +
                                           std::to_string(channels * bits / 8) + " expected");
        } else if (id == "data") {
            if (!channels) return fail(at, "a \"fmt \" chunk before the data expected");
            const uint64_t taken = std::min(length, present);
            const uint64_t samples = taken / static_cast<uint64_t>(channels * bits / 8) * channels;
            if (samples > KvWaveSound::kMaxSamples)
                return fail(at + 4, std::to_string(samples) + " samples, at most " +
                                        std::to_string(KvWaveSound::kMaxSamples) + " expected");
            line(out, "kind", "sound");
            line(out, "size", static_cast<long long>(bytes.size()));
            line(out, "channels", channels);
            line(out, "rate", rate);
            line(out, "bits", bits);
            line(out, "frames", static_cast<long long>(taken / static_cast<uint64_t>(channels * bits / 8)));
            if (taken < length) line(out, "cut-short", static_cast<long long>(length - taken));
            return true;
        } else if (length > present) {
            return fail(at + 4, "chunk \"" + id + "\" of " + std::to_string(length) + " bytes, at most " +
                                    std::to_string(present) + " left");
        }
        at = body + length + (length & 1);
    }
    return fail(static_cast<size_t>(end), "a \"data\" chunk expected");
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

}  // namespace

QrnFileKind QrnInfo::kindOf(const std::string& path, const std::vector<unsigned char>& bytes) {
    const std::string extension = lower(std::filesystem::path(path).extension().string());
    if (extension == ".ao") return QrnFileKind::animation;
    if (extension == ".b16") return QrnFileKind::background;
    if (extension == ".plt") return QrnFileKind::palette;
    if (extension == ".wav") return QrnFileKind::sound;
    if (extension == ".qsc") return QrnFileKind::script;
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "RIFF", 4) == 0) return QrnFileKind::sound;
    if (QrnB16::looksLike(bytes)) return QrnFileKind::background;
    if (!bytes.empty() && (bytes[0] == kScriptVersion || bytes[0] == kScriptVersionSwapped)) {
        std::string lines, why;
        size_t offset = 0;
        if (describeScript(bytes, lines, offset, why)) return QrnFileKind::script;
    }
    return QrnFileKind::animation;
}

bool QrnInfo::describe(QrnFileKind kind, const std::vector<unsigned char>& bytes, std::string& lines, size_t& offset,
                       std::string& why) {
    switch (kind) {
    case QrnFileKind::animation: return describeAnimation(bytes, lines, offset, why);
    case QrnFileKind::background: return describeBackground(bytes, lines, offset, why);
    case QrnFileKind::palette: return describePalette(bytes, lines, offset, why);
    case QrnFileKind::script: return describeScript(bytes, lines, offset, why);
    case QrnFileKind::sound: return describeSound(bytes, lines, offset, why);
    }
    return false;
}

int qrnInfoCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    if (const int status = qrnCommandLine("info", args, {}, kInfoUsage, qrnExactly(1, "give one FILE"), positional);
        status != kQrnGoOn)
        return status;
    std::string error;
    std::vector<unsigned char> bytes;
    if (!QrnFiles::read(positional[0], bytes, error)) {
        std::fprintf(stderr, "qrn info: %s\n", error.c_str());
        return kQrnExitFailed;
    }
    std::string lines, why;
    size_t offset = 0;
    if (!QrnInfo::describe(QrnInfo::kindOf(positional[0], bytes), bytes, lines, offset, why)) {
        std::fprintf(stderr, "qrn info: %s: offset %zu: %s\n", positional[0].c_str(), offset, why.c_str());
        return kQrnExitFailed;
    }
    std::fputs(lines.c_str(), stdout);
    return kQrnExitOk;
}

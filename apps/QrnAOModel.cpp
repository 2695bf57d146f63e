// Reading an AO file into the model and writing one from it. The writer lays
// every field out little-endian and remembers where each 16 and 32-bit field
// lies; a big-endian file is that layout with those fields reversed.
#include "apps/QrnAOModel.h"

#include "anim/KvCelDrawers.h"
#include "anim/KvCelRenderer.h"

#include <algorithm>
#include <cstring>

using namespace KvCelDrawers;

namespace {

constexpr char kDirectChunk[4] = {'A', 'O', '2', 'C'};
constexpr uint8_t kOpaque = 255;
constexpr int kMaxFramesPerSecond = 255;

uint8_t expand5(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

// Rows of an indexed picture as indices, -1 for skipped pixels.
struct IndexedSink {
    int16_t* row;
    void fill(int c, int n, const unsigned char* colour) { std::fill(row + c, row + c + n, *colour); }
    void literal(int c, const unsigned char* src, int n) { std::copy(src, src + n, row + c); }
    void copy(int, const unsigned char*, int) {}
    void blend(int, const unsigned char*, int) {}
};

// Rows of a direct-colour picture as RGBA.
struct DirectSink {
    uint8_t* row;
    void put(int c, uint16_t p, uint8_t alpha) {
        uint8_t* o = row + 4 * static_cast<size_t>(c);
        o[0] = expand5(p >> 10 & 31), o[1] = expand5(p >> 5 & 31), o[2] = expand5(p & 31), o[3] = alpha;
    }
    void fill(int, int, const unsigned char*) {}
    void literal(int, const unsigned char*, int) {}
    void copy(int c, const unsigned char* src, int n) {
        for (int k = 0; k < n; ++k) put(c + k, readUint16(src + 2 * k), kOpaque);
    }
    void blend(int c, const unsigned char* src, int n) {
        for (int k = 0; k < n; ++k) put(c + k, readUint16(src + kTranslucentItemSize * k), src[kTranslucentItemSize * k + 2]);
    }
};

// Little-endian output that remembers its multi-byte fields.
struct Out {
    std::vector<unsigned char> bytes;
    std::vector<std::pair<size_t, int>> fields;  // offset, width
    void put16(int v) {
        fields.emplace_back(bytes.size(), 2);
        bytes.push_back(static_cast<unsigned char>(v)), bytes.push_back(static_cast<unsigned char>(v >> 8));
    }
    void put32(uint32_t v) {
        fields.emplace_back(bytes.size(), 4);
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(v >> 8 * i));
    }
    void set32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> 8 * i);
    }
    void append(const Out& other) {
        for (const auto& [at, width] : other.fields) fields.emplace_back(bytes.size() + at, width);
        bytes.insert(bytes.end(), other.bytes.begin(), other.bytes.end());
    }
};

void encodeIndexed(const QrnCel& cel, int transparent, Out& out) {
    out.put16(0), out.put16(cel.width), out.put16(cel.height);
    std::vector<unsigned char> row(2 * static_cast<size_t>(cel.width) + 2);
    for (int r = 0; r < cel.height; ++r) {
        const int used = KvCelRenderer::encodeRow(row.data(), &cel.pixels[static_cast<size_t>(r) * cel.width], cel.width,
                                                  transparent);
        out.bytes.insert(out.bytes.end(), row.begin(), row.begin() + used);
    }
}

int directKind(const uint8_t* rgba) { return rgba[3] == 0 ? kTransparentRun : rgba[3] == kOpaque ? kOpaqueRun : kTranslucentRun; }

void encodeDirect(const QrnCel& cel, Out& out) {
    out.put16(KvCelRenderer::kDirectColorType), out.put16(cel.width), out.put16(cel.height), out.put16(0);
    const size_t table = out.bytes.size();
    for (int r = 0; r < cel.height; ++r) out.put32(0);
    for (int r = 0; r < cel.height; ++r) {
        out.set32(table + 4 * static_cast<size_t>(r), static_cast<uint32_t>(out.bytes.size()));
        const uint8_t* row = &cel.pixels[4 * static_cast<size_t>(r) * cel.width];
        for (int c = 0; c < cel.width;) {
            const int kind = directKind(row + 4 * c);
            int n = 1;
            while (c + n < cel.width && directKind(row + 4 * (c + n)) == kind) ++n;
            out.put16(kind), out.put16(n);
            for (int k = c; k < c + n && kind != kTransparentRun; ++k) {
                const uint8_t* p = row + 4 * k;
                out.put16((p[0] >> 3) << 10 | (p[1] >> 3) << 5 | p[2] >> 3);
                if (kind == kTranslucentRun) out.bytes.push_back(p[3]);
            }
            c += n;
        }
    }
}

}  // namespace

bool QrnAOModelIO::take(const std::vector<unsigned char>& file, QrnAOModel& model, std::string& error) {
    model = QrnAOModel();
    std::vector<unsigned char> copy(file);
    KvAOLayout layout;
    if (!KvAOFile::read(copy.data(), copy.size(), 0x555, layout)) {
        error = "the loader refuses the file (qrn info says where)";
        return false;
    }
    model.bigEndian = file[5] != 0;
    model.framesPerSecond = layout.framesPerSecond;
    model.flags = layout.flags;
    model.reserved[0] = file[6], model.reserved[1] = file[7];
    const size_t records = kAOHeaderSize + 4 * static_cast<size_t>(layout.celCount);
    std::copy(&file[records], &file[records] + kAOXYZRecordSize, model.position);
    for (int s = 1; s < layout.seqCount; ++s) {
        const unsigned char* record = &file[records + kAOXYZRecordSize * static_cast<size_t>(s)];
        model.extraRecords.emplace_back(record, record + kAOXYZRecordSize);
    }
    model.direct = layout.directColor;
    for (size_t s = 0; s < layout.sequences.size(); ++s)
        model.sequences.emplace_back(layout.sequences[s], layout.sequences[s] + layout.sequenceLengths[s]);

    bool used[256] = {};
    size_t total = 0;
    std::vector<std::vector<int16_t>> indexed(layout.cels.size());
    for (size_t c = 0; c < layout.cels.size(); ++c) {
        const unsigned char* pic = layout.cels[c];
        QrnCel& cel = model.cels.emplace_back();
        const std::string name = "cel " + std::to_string(c);
        if (!pic) return error = name + " has no picture, which the tools cannot keep", false;
        const auto earlier = std::find(layout.cels.begin(), layout.cels.begin() + static_cast<long>(c), pic);
        if (earlier != layout.cels.begin() + static_cast<long>(c)) {
            cel.sameAs = static_cast<int>(earlier - layout.cels.begin());
            continue;
        }
        cel.width = readInt16(pic + 2), cel.height = readInt16(pic + 4);
        const size_t pixels = static_cast<size_t>(cel.width) * static_cast<size_t>(cel.height);
        if (pixels == 0) return error = name + " is empty, which a PNG cannot hold", false;
        if (pixels > kQrnMaxCelPixels)
            return error = name + " has " + std::to_string(pixels) + " pixels, more than the " +
                           std::to_string(kQrnMaxCelPixels) + " the tools take", false;
        total += pixels;
        if (total > kQrnMaxTotalPixels)
            return error = "the cels up to " + name + " have more than the " + std::to_string(kQrnMaxTotalPixels) +
                           " pixels the tools take", false;
        if (model.direct) {
            cel.pixels.assign(4 * pixels, 0);
            for (int r = 0; r < cel.height; ++r) {
                DirectSink sink{&cel.pixels[4 * static_cast<size_t>(r) * cel.width]};
                readDirectRow(pic + readUint32(pic + kDirectHeaderSize + 4 * static_cast<size_t>(r)), cel.width, sink);
            }
            continue;
        }
        indexed[c].assign(pixels, -1);
        const unsigned char* src = pic + kIndexedHeaderSize;
        for (int r = 0; r < cel.height; ++r) {
            IndexedSink sink{&indexed[c][static_cast<size_t>(r) * cel.width]};
            src = readIndexedRow(src, cel.width, sink);
        }
        for (const int16_t i : indexed[c])
            if (i >= 0) used[i] = true;
    }
    if (model.direct) return true;
    const bool* unused = std::find(used, used + 256, false);
    if (unused == used + 256) return error = "the cels use all 256 colour indices: none is left for transparency", false;
    model.transparent = static_cast<int>(unused - used);
    for (size_t c = 0; c < indexed.size(); ++c)
        for (const int16_t i : indexed[c]) model.cels[c].pixels.push_back(static_cast<uint8_t>(i < 0 ? model.transparent : i));
    return true;
}

bool QrnAOModelIO::build(const QrnAOModel& model, std::vector<unsigned char>& file, std::string& error) {
    const int cels = static_cast<int>(model.cels.size()), seqs = static_cast<int>(model.sequences.size());
    if (cels > kQrnMaxCels) return error = std::to_string(cels) + " cels, at most " + std::to_string(kQrnMaxCels), false;
    if (seqs < 1 || seqs > kQrnMaxSequences)
        return error = std::to_string(seqs) + " sequences, 1 to " + std::to_string(kQrnMaxSequences) + " expected", false;
    if (model.framesPerSecond < 0 || model.framesPerSecond > kMaxFramesPerSecond)
        return error = "frames per second " + std::to_string(model.framesPerSecond) + ", 0 to 255 expected", false;
    if (!model.extraRecords.empty() && model.extraRecords.size() != static_cast<size_t>(seqs - 1))
        return error = "one record for each sequence after the first expected", false;
    for (int s = 0; s < seqs; ++s) {
        const auto& entries = model.sequences[static_cast<size_t>(s)];
        const bool ended = std::any_of(entries.begin(), entries.end(), [](const KvAOSequence& e) { return e.cel == kAOEnd; });
        if (entries.empty() || entries.size() > static_cast<size_t>(kQrnMaxEntries) || !ended)
            return error = "sequence " + std::to_string(s) + ": 1 to " + std::to_string(kQrnMaxEntries) +
                           " entries with an end expected", false;
    }
    Out out;
    out.put16(seqs), out.put16(cels);
    out.bytes.push_back(static_cast<unsigned char>(model.framesPerSecond));
    out.bytes.push_back(model.bigEndian ? 1 : 0);
    out.bytes.push_back(model.reserved[0]), out.bytes.push_back(model.reserved[1]);
    out.put16(static_cast<int>(model.flags));
    const size_t table = out.bytes.size();
    for (int c = 0; c < cels; ++c) out.put32(0);
    out.bytes.insert(out.bytes.end(), model.position, model.position + kAOXYZRecordSize);
    for (int s = 1; s < seqs; ++s)
        if (model.extraRecords.empty())
            out.bytes.insert(out.bytes.end(), kAOXYZRecordSize, 0);
        else
            out.bytes.insert(out.bytes.end(), model.extraRecords[static_cast<size_t>(s - 1)].begin(),
                             model.extraRecords[static_cast<size_t>(s - 1)].end());
    for (const auto& entries : model.sequences) {
        out.put16(static_cast<int>(entries.size()));
        for (const KvAOSequence& e : entries) out.put16(e.x), out.put16(e.y), out.put16(e.cel), out.put16(e.param);
    }
    const size_t area = out.bytes.size();
    std::vector<uint32_t> offsets;
    for (int c = 0; c < cels; ++c) {
        const QrnCel& cel = model.cels[static_cast<size_t>(c)];
        if (cel.sameAs >= 0) {
            if (cel.sameAs >= c) return error = "cel " + std::to_string(c) + " can only share an earlier cel's picture", false;
            offsets.push_back(offsets[static_cast<size_t>(cel.sameAs)]);
            continue;
        }
        const size_t pixels = static_cast<size_t>(cel.width) * static_cast<size_t>(cel.height);
        if (cel.width < 1 || cel.height < 1 || cel.width > KvCelRenderer::kMaxPictureSide ||
            cel.height > KvCelRenderer::kMaxPictureSide || pixels > kQrnMaxCelPixels ||
            cel.pixels.size() != pixels * (model.direct ? 4 : 1))
            return error = "cel " + std::to_string(c) + ": a picture of " + std::to_string(cel.width) + " x " +
                           std::to_string(cel.height) + " cannot be stored", false;
        Out picture;
        if (model.direct) {
            encodeDirect(cel, picture);
            out.bytes.insert(out.bytes.end(), kDirectChunk, kDirectChunk + sizeof kDirectChunk);
            out.put32(static_cast<uint32_t>(picture.bytes.size()));
        } else {
            encodeIndexed(cel, model.transparent, picture);
        }
        offsets.push_back(static_cast<uint32_t>(out.bytes.size() - area));
        out.append(picture);
    }
    for (int c = 0; c < cels; ++c) out.set32(table + 4 * static_cast<size_t>(c), offsets[static_cast<size_t>(c)]);
    if (model.bigEndian)
        for (const auto& [at, width] : out.fields) std::reverse(&out.bytes[at], &out.bytes[at] + width);
    file = std::move(out.bytes);
    return true;
}

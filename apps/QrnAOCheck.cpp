// The AO walk with offsets. It swaps a copy exactly as the loader swaps the
// file, so the pictures it validates are the ones the loader would see.
#include "apps/QrnAOCheck.h"

#include "anim/KvAOFile.h"
#include "anim/KvCelDrawers.h"
#include "anim/KvCelRenderer.h"
#include "util/QrnSys.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace KvCelDrawers;

namespace {

constexpr char kDirectChunk[4] = {'A', 'O', '2', 'C'};
constexpr size_t kChunkHeaderSize = 8;

bool fits(size_t pos, size_t need, size_t size) { return pos <= size && need <= size - pos; }

struct Walk {
    std::vector<unsigned char> d;
    size_t offset = 0;
    std::string why;

    bool fail(size_t at, std::string text) {
        offset = at, why = std::move(text);
        return false;
    }
    bool ends(size_t at, size_t need, const std::string& what) {
        return fail(at, what + ": " + std::to_string(need) + " bytes expected, the file ends after " +
                            std::to_string(d.size() - std::min(at, d.size())));
    }

    // The direct-colour chain from area; chainEnd as the loader computes it.
    bool chain(size_t area, int celCount, bool swap, size_t& chainEnd) {
        const size_t size = d.size() - area;
        unsigned char* a = d.data() + area;
        size_t p = 0;
        chainEnd = 0;
        for (int i = 0; i < celCount; ++i) {
            if (!fits(p, 4, size) || std::memcmp(a + p, kDirectChunk, 4) != 0) return true;
            if (!fits(p, kChunkHeaderSize + kDirectHeaderSize, size))
                return ends(area + p, kChunkHeaderSize + kDirectHeaderSize, "chunk " + std::to_string(i));
            if (swap) SwapN32s(a + p + 4, 1);
            p += kChunkHeaderSize;
            if (swap) SwapNWords(a + p, 4);
            const int width = readInt16(a + p + 2), height = readInt16(a + p + 4);
            if (width < 0 || height < 0 || width > KvCelRenderer::kMaxPictureSide ||
                height > KvCelRenderer::kMaxPictureSide)
                return fail(area + p + 2, "chunk " + std::to_string(i) + ": picture of " + std::to_string(width) +
                                              " x " + std::to_string(height) + ", sides from 0 to " +
                                              std::to_string(KvCelRenderer::kMaxPictureSide) + " expected");
            p += kDirectHeaderSize;
            if (!fits(p, 4 * static_cast<size_t>(height), size))
                return ends(area + p, 4 * static_cast<size_t>(height), "chunk " + std::to_string(i) + "'s row table");
            if (swap) SwapN32s(a + p, height);
            p += 4 * static_cast<size_t>(height);
            for (int r = 0; r < height; ++r)
                for (int left = width; left > 0;) {
                    const std::string run = "chunk " + std::to_string(i) + " row " + std::to_string(r);
                    if (!fits(p, kDirectRunHeaderSize, size)) return ends(area + p, kDirectRunHeaderSize, run);
                    if (swap) SwapNWords(a + p, 2);
                    const unsigned op = readUint16(a + p);
                    const int n = readUint16(a + p + 2);
                    if (op > kTranslucentRun) return fail(area + p, run + ": run kind " + std::to_string(op) + ", 0 to 2 expected");
                    if (n > left)
                        return fail(area + p + 2, run + ": run of " + std::to_string(n) + " pixels, at most " +
                                                      std::to_string(left) + " left in the row");
                    p += kDirectRunHeaderSize;
                    const size_t item = op == kTransparentRun ? 0 : op == kOpaqueRun ? 2 : kTranslucentItemSize;
                    if (!fits(p, item * n, size)) return ends(area + p, item * n, run + "'s pixels");
                    if (swap && op != kTransparentRun)
                        for (int k = 0; k < n; ++k) SwapWord(a + p + item * k);
                    p += item * n;
                    left -= n;
                }
            chainEnd = p;
        }
        return true;
    }

    bool run() {
        if (d.size() < kAOHeaderSize) return ends(0, kAOHeaderSize, "the header");
        const int flag = d[5];
        if (flag) SwapWord(&d[0]), SwapWord(&d[2]), SwapWord(&d[8]);
        const int seqCount = readInt16(&d[0]), celCount = readInt16(&d[2]);
        if (seqCount < 1) return fail(0, "sequence count " + std::to_string(seqCount) + ", at least 1 expected");
        if (celCount < 0) return fail(2, "cel count " + std::to_string(celCount) + ", 0 or more expected");
        const size_t table = kAOHeaderSize;
        const size_t xyz = table + 4 * static_cast<size_t>(celCount);
        size_t pos = xyz + kAOXYZRecordSize * static_cast<size_t>(seqCount);
        if (pos > d.size())
            return ends(table, pos - table, "the cel offset table and the " + std::to_string(seqCount) + " position records");
        if (flag) SwapN32s(&d[table], celCount);
        std::vector<std::pair<size_t, int>> sequences;  // first entry, count
        for (int s = 0; s < seqCount; ++s) {
            const std::string name = "sequence " + std::to_string(s);
            if (!fits(pos, 2, d.size())) return ends(pos, 2, name + "'s entry count");
            if (flag) SwapWord(&d[pos]);
            const int count = readInt16(&d[pos]);
            if (count < 1) return fail(pos, name + ": entry count " + std::to_string(count) + ", at least 1 expected");
            pos += 2;
            if (!fits(pos, sizeof(KvAOSequence) * count, d.size()))
                return ends(pos, sizeof(KvAOSequence) * count, name + "'s " + std::to_string(count) + " entries");
            if (flag) SwapNWords(&d[pos], 4 * count);
            bool ended = false;
            for (int k = 0; k < count && !ended; ++k) ended = readInt16(&d[pos + 8 * k + 4]) == kAOEnd;
            if (!ended) return fail(pos - 2, name + ": no end entry (-1) among its " + std::to_string(count) + " entries");
            sequences.emplace_back(pos, count);
            pos += sizeof(KvAOSequence) * count;
        }

        const size_t area = pos, available = d.size() - pos;
        const bool direct = fits(0, 4, available) && std::memcmp(&d[area], kDirectChunk, 4) == 0;
        size_t pictured = available;
        if (direct && !chain(area, celCount, flag == 1, pictured)) return false;

        std::vector<std::pair<uint32_t, int>> byOffset;
        for (int c = 0; c < celCount; ++c) {
            const uint32_t at = readUint32(&d[table + 4 * static_cast<size_t>(c)]);
            if (!direct || at < pictured) byOffset.emplace_back(at, c);
        }
        std::sort(byOffset.begin(), byOffset.end());
        for (const auto& [at, cel] : byOffset)
            if (!fits(at, kIndexedHeaderSize, available))
                return fail(table + 4 * static_cast<size_t>(cel),
                            "cel " + std::to_string(cel) + " at " + std::to_string(at) +
                                ": the picture header lies past the cel data, which hold " + std::to_string(available) +
                                " bytes");
        if (direct) {
            for (size_t s = 0; s < sequences.size(); ++s)
                for (int k = 0; k < sequences[s].second; ++k) {
                    const size_t entry = sequences[s].first + 8 * static_cast<size_t>(k);
                    const int cel = readInt16(&d[entry + 4]);
                    if (cel >= 0 && cel < celCount &&
                        std::none_of(byOffset.begin(), byOffset.end(), [cel](const auto& b) { return b.second == cel; }))
                        return fail(entry + 4, "sequence " + std::to_string(s) + " entry " + std::to_string(k) +
                                                   " shows cel " + std::to_string(cel) + ", which has no picture");
                }
        } else if (flag) {
            for (size_t i = 0; i < byOffset.size(); ++i)
                if (i == 0 || byOffset[i].first != byOffset[i - 1].first) SwapNWords(&d[area + byOffset[i].first], 3);
        }

        size_t previousEnd = 0;
        for (size_t i = 0; i < byOffset.size(); ++i) {
            const auto [at, cel] = byOffset[i];
            if (i > 0 && at == byOffset[i - 1].first) continue;
            const unsigned char* pic = &d[area + at];
            const std::string name = "cel " + std::to_string(cel) + "'s picture";
            if (!KvCelRenderer::validate(pic, available - at)) {
                const int width = readInt16(pic + 2), height = readInt16(pic + 4);
                if (width < 0 || height < 0 || width > KvCelRenderer::kMaxPictureSide ||
                    height > KvCelRenderer::kMaxPictureSide)
                    return fail(area + at + 2, name + " of " + std::to_string(width) + " x " + std::to_string(height) +
                                                   ", sides from 0 to " +
                                                   std::to_string(KvCelRenderer::kMaxPictureSide) + " expected");
                return fail(area + at, name + ": rows of runs that add up to " + std::to_string(width) +
                                           " pixels inside the file expected");
            }
            if (i > 0 && at < previousEnd)
                return fail(table + 4 * static_cast<size_t>(cel),
                            name + " at " + std::to_string(at) + " overlaps the picture before it, which ends at " +
                                std::to_string(previousEnd));
            previousEnd = at + KvAOFile::pictureSize(pic);
        }
        return true;
    }
};

}  // namespace

bool QrnAOCheck::check(const std::vector<unsigned char>& file, size_t& offset, std::string& why) {
    Walk walk{file, 0, {}};
    const bool ok = walk.run();
    offset = walk.offset;
    why = walk.why;
    return ok;
}

// Reading AO files in place. Every step checks that the bytes it is about to
// swap, rewrite or trust lie inside the file first; the pictures are then
// validated by the cel renderer, which walks the same runs its drawers walk.
#include "anim/KvAOFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "anim/KvCelDrawers.h"
#include "anim/KvCelRenderer.h"
#include "util/QrnSys.h"

using namespace KvCelDrawers;

namespace {

constexpr char kDirectChunk[4] = {'A', 'O', '2', 'C'};
constexpr size_t kChunkHeaderSize = 8;  // magic, uint32 size

// need more bytes lie at pos inside size.
bool fits(size_t pos, size_t need, size_t size) { return pos <= size && need <= size - pos; }

void write16(unsigned char* p, uint16_t v) { std::memcpy(p, &v, sizeof v); }

// The direct-colour chunks from the start of the cel data area: byte order
// (swap) and, for 5-6-5 displays, the pixels (convert). The walk stops at
// "AO2E", at anything that is not a chunk, or after celCount chunks; a chunk
// that leaves the area, an unknown run or a run past its row's width refuses
// the file. chainEnd receives the offset where the walked chain ends: the
// bytes from there on were neither swapped nor rewritten.
bool prepareDirect(unsigned char* area, size_t size, int celCount, bool swap, bool convert, size_t& chainEnd) {
    size_t p = 0;
    chainEnd = 0;
    for (int i = 0; i < celCount; ++i) {
        if (!fits(p, sizeof kDirectChunk, size) || std::memcmp(area + p, kDirectChunk, sizeof kDirectChunk) != 0)
            return true;
        if (!fits(p, kChunkHeaderSize + kDirectHeaderSize, size)) return false;
        if (swap) SwapN32s(area + p + sizeof kDirectChunk, 1);
        p += kChunkHeaderSize;
        if (swap) SwapNWords(area + p, 4);
        const int width = readInt16(area + p + 2), height = readInt16(area + p + 4);
        if (width < 0 || height < 0 || width > KvCelRenderer::kMaxPictureSide ||
            height > KvCelRenderer::kMaxPictureSide)
            return false;
        p += kDirectHeaderSize;
        if (!fits(p, 4 * static_cast<size_t>(height), size)) return false;
        if (swap) SwapN32s(area + p, height);
        p += 4 * static_cast<size_t>(height);
        for (int r = 0; r < height; ++r)
            for (int left = width; left > 0;) {
                if (!fits(p, kDirectRunHeaderSize, size)) return false;
                if (swap) SwapNWords(area + p, 2);
                const unsigned op = readUint16(area + p);
                const int n = readUint16(area + p + 2);
                p += kDirectRunHeaderSize;
                if (op > kTranslucentRun || n > left) return false;
                const size_t item = op == kTransparentRun ? 0 : op == kOpaqueRun ? 2 : kTranslucentItemSize;
                if (!fits(p, item * n, size)) return false;
                if (op != kTransparentRun)
                    for (int k = 0; k < n; ++k) {
                        unsigned char* pixel = area + p + item * k;
                        if (swap) SwapWord(pixel);
                        if (convert) write16(pixel, KvAOFile::to565(readUint16(pixel)));
                    }
                p += item * n;
                left -= n;
            }
        chainEnd = p;
    }
    return true;
}

// Brings the header's own words (counts and flags) into the reader's byte
// order and clears the swap flag; returns the flag as it was: the rest is
// swapped when it is nonzero (direct-colour chunks only when it is exactly 1).
int takeHeaderOrder(unsigned char* data) {
    const int flag = data[5];
    if (!flag) return 0;
    SwapWord(data + 0);
    SwapWord(data + 2);
    SwapWord(data + 8);
    data[5] = 0;
    return flag;
}

}  // namespace

void KvAOFile::decodeXYZ(const unsigned char* record, int& x, int& y, int& z) {
    const int vx = record[0] | (record[2] & 0x0F) << 8;
    const int vy = record[1] | (record[2] >> 4) << 8;
    x = vx > kAOXYZNegativeBase ? kAOXYZNegativeBase - vx : vx;
    y = vy > kAOXYZNegativeBase ? kAOXYZNegativeBase - vy : vy;
    z = record[3];
}

bool KvAOFile::encodeXYZ(int x, int y, int z, unsigned char* record) {
    const auto fits = [](int v) { return v >= kAOXYZMin && v <= kAOXYZMax; };
    if (!fits(x) || !fits(y) || z < 0 || z > kAOZMax) return false;
    const int vx = x < 0 ? kAOXYZNegativeBase - x : x;
    const int vy = y < 0 ? kAOXYZNegativeBase - y : y;
    record[0] = static_cast<unsigned char>(vx);
    record[1] = static_cast<unsigned char>(vy);
    record[2] = static_cast<unsigned char>((vx >> 8) | (vy >> 8) << 4);
    record[3] = static_cast<unsigned char>(z);
    return true;
}

size_t KvAOFile::pictureSize(const unsigned char* pic) {
    const int width = readInt16(pic + 2), height = readInt16(pic + 4);
    SkipSink skip;
    if (readInt16(pic) == KvCelRenderer::kDirectColorType) {
        // Validated rows follow one another after the row table.
        if (height <= 0) return kDirectHeaderSize;
        const unsigned char* last = pic + readUint32(pic + kDirectHeaderSize + 4 * static_cast<size_t>(height - 1));
        return static_cast<size_t>(readDirectRow(last, width, skip) - pic);
    }
    const unsigned char* src = pic + kIndexedHeaderSize;
    for (int r = 0; r < height; ++r) src = readIndexedRow(src, width, skip);
    return static_cast<size_t>(src - pic);
}

bool KvAOFile::read(unsigned char* data, size_t size, unsigned short displayFormat, KvAOLayout& out) {
    out = KvAOLayout();
    // Sequence entries are used in place as 16-bit fields.
    if (!data || size < kAOHeaderSize || reinterpret_cast<uintptr_t>(data) % alignof(KvAOSequence) != 0)
        return false;
    const int swapFlag = takeHeaderOrder(data);
    const int seqCount = readInt16(data), celCount = readInt16(data + 2);
    if (seqCount < 1 || celCount < 0) return false;
    const size_t offsetTable = kAOHeaderSize;
    const size_t xyz = offsetTable + 4 * static_cast<size_t>(celCount);
    size_t pos = xyz + kAOXYZRecordSize * static_cast<size_t>(seqCount);
    if (!fits(0, pos, size)) return false;
    if (swapFlag) SwapN32s(data + offsetTable, celCount);

    out.seqCount = seqCount;
    out.celCount = celCount;
    out.framesPerSecond = data[4];
    out.flags = readUint16(data + 8);
    decodeXYZ(data + xyz, out.embeddedX, out.embeddedY, out.embeddedZ);

    for (int s = 0; s < seqCount; ++s) {
        if (!fits(pos, 2, size)) return false;
        if (swapFlag) SwapWord(data + pos);
        const int count = readInt16(data + pos);
        pos += 2;
        if (count < 1 || !fits(pos, sizeof(KvAOSequence) * count, size)) return false;
        if (swapFlag) SwapNWords(data + pos, 4 * count);
        auto* entries = reinterpret_cast<KvAOSequence*>(data + pos);
        if (std::none_of(entries, entries + count, [](const KvAOSequence& e) { return e.cel == kAOEnd; }))
            return false;
        out.sequences.push_back(entries);
        out.sequenceLengths.push_back(count);
        pos += sizeof(KvAOSequence) * count;
    }

    unsigned char* const area = data + pos;
    const size_t available = size - pos;
    out.directColor = fits(0, sizeof kDirectChunk, available) && std::memcmp(area, kDirectChunk, sizeof kDirectChunk) == 0;

    // A direct-colour chain may end early ("AO2E"): cels located at or past its
    // end have no picture (they draw nothing), and no frame may show them.
    size_t pictured = available;
    if (out.directColor &&
        !prepareDirect(area, available, celCount, swapFlag == 1, displayFormat == 0x565, pictured))
        return false;

    // Each distinct picture once, in file order.
    std::vector<std::pair<uint32_t, int>> byOffset;
    for (int c = 0; c < celCount; ++c) {
        const uint32_t offset = readUint32(data + offsetTable + 4 * static_cast<size_t>(c));
        if (!out.directColor || offset < pictured) byOffset.emplace_back(offset, c);
    }
    std::sort(byOffset.begin(), byOffset.end());
    for (const auto& [offset, cel] : byOffset)
        if (!fits(offset, kIndexedHeaderSize, available)) return false;

    if (out.directColor) {
        for (size_t s = 0; s < out.sequences.size(); ++s)
            for (int k = 0; k < out.sequenceLengths[s]; ++k) {
                const int cel = out.sequences[s][k].cel;
                if (cel >= 0 && cel < celCount &&
                    std::none_of(byOffset.begin(), byOffset.end(), [cel](const auto& b) { return b.second == cel; }))
                    return false;
            }
    } else if (swapFlag) {
        for (size_t i = 0; i < byOffset.size(); ++i)
            if (i == 0 || byOffset[i].first != byOffset[i - 1].first) SwapNWords(area + byOffset[i].first, 3);
    }

    out.cels.assign(static_cast<size_t>(celCount), nullptr);
    size_t previousEnd = 0;
    for (size_t i = 0; i < byOffset.size(); ++i) {
        const auto [offset, cel] = byOffset[i];
        unsigned char* pic = area + offset;
        out.cels[static_cast<size_t>(cel)] = pic;
        if (i > 0 && offset == byOffset[i - 1].first) continue;  // the same picture
        if (!KvCelRenderer::validate(pic, available - offset)) return false;
        if (i > 0 && offset < previousEnd) return false;
        previousEnd = offset + pictureSize(pic);
    }
    return true;
}

unsigned char* KvAOFile::firstPicture(unsigned char* data, size_t size) {
    if (!data || size < kAOHeaderSize) return nullptr;
    const bool swap = takeHeaderOrder(data) != 0;
    const int seqCount = readInt16(data), celCount = readInt16(data + 2);
    if (seqCount < 1 || celCount < 1) return nullptr;
    size_t pos = kAOHeaderSize + 4 * static_cast<size_t>(celCount) + kAOXYZRecordSize * static_cast<size_t>(seqCount);
    if (!fits(pos, 2, size)) return nullptr;
    if (swap) SwapWord(data + pos);
    const int count = readInt16(data + pos);
    if (count < 1) return nullptr;
    pos += 2 + sizeof(KvAOSequence) * static_cast<size_t>(count);
    if (!fits(pos, kIndexedHeaderSize, size)) return nullptr;
    if (swap) SwapNWords(data + pos, 3);
    return KvCelRenderer::validate(data + pos, size - pos) ? data + pos : nullptr;
}

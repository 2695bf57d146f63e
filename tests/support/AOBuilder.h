// AO files made in the tests, in either byte order. Layout: int16 sequence
// count, int16 cel count, uint8 frames per second, uint8 swap flag, 2 reserved
// bytes, uint16 flags, one uint32 offset per cel, the embedded XYZ record (4
// bytes, then 4 more per further sequence), each sequence (int16 count, then
// 8-byte entries x, y, cel, param), then the cels. Indexed cels are encoded by
// the library's own row encoder; direct-colour cels ("AO2C" magic and size
// before each) are written run by run here.
#pragma once

#include <cstring>
#include <vector>

#include "anim/KvAOFile.h"
#include "anim/KvCelRenderer.h"
#include "tests/support/ByteWriter.h"

namespace aotest {

// An indexed picture of w x h indices (row after row).
inline Bytes picture(int w, int h, const std::vector<int>& indices, int transparent = -1) {
    Bytes b;
    put16(b, 0), put16(b, w), put16(b, h);
    std::vector<unsigned char> row(static_cast<size_t>(w)), out(2 * static_cast<size_t>(w) + 2);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) row[static_cast<size_t>(c)] = static_cast<unsigned char>(indices[static_cast<size_t>(r * w + c)]);
        const int n = KvCelRenderer::encodeRow(out.data(), row.data(), w, transparent);
        b.insert(b.end(), out.begin(), out.begin() + n);
    }
    return b;
}
inline Bytes solid(int w, int h, int index) { return picture(w, h, std::vector<int>(static_cast<size_t>(w * h), index)); }
// Pixel (x, y) has index (x + 3y + seed) % 256.
inline Bytes pattern(int w, int h, int seed = 0) {
    std::vector<int> indices;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) indices.push_back((x + 3 * y + seed) & 0xFF);
    return picture(w, h, indices);
}

// A direct-colour pixel: alpha 0 transparent, 255 opaque, between translucent.
struct DirectPixel {
    uint16_t value;
    int alpha;
};

// A direct-colour picture, kept as pixels until it is written in a byte order.
struct Direct {
    int w = 0, h = 0;
    std::vector<DirectPixel> pixels;
    Bytes bytes(bool big) const {
        Bytes b;
        put16(b, 2, big), put16(b, w, big), put16(b, h, big), put16(b, 0, big);
        const size_t table = b.size();
        b.resize(table + 4 * static_cast<size_t>(h));
        for (int r = 0; r < h; ++r) {
            Bytes offset;
            put32(offset, static_cast<uint32_t>(b.size()), big);
            std::memcpy(&b[table + 4 * static_cast<size_t>(r)], offset.data(), 4);
            for (int c = 0; c < w;) {
                const auto kind = [&](int at) {
                    const int a = pixels[static_cast<size_t>(r * w + at)].alpha;
                    return a == 0 ? 0 : a == 255 ? 1 : 2;
                };
                const int op = kind(c);
                int n = 1;
                while (c + n < w && kind(c + n) == op) ++n;
                put16(b, op, big), put16(b, n, big);
                for (int i = 0; i < n && op; ++i) {
                    const DirectPixel& p = pixels[static_cast<size_t>(r * w + c + i)];
                    put16(b, p.value, big);
                    if (op == 2) b.push_back(static_cast<unsigned char>(p.alpha));
                }
                c += n;
            }
        }
        return b;
    }
};

inline KvAOSequence frame(int cel, int x = 0, int y = 0, int param = 0) {
    return KvAOSequence{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(cel),
                        static_cast<uint16_t>(param)};
}
inline KvAOSequence command(int cel, int param = 0, int x = 0, int y = 0) { return frame(cel, x, y, param); }

// An AO file: header fields, sequences, and indexed or direct-colour cels.
struct AOFile {
    int fps = 10;
    int flags = 0;
    unsigned char xyz[4] = {0, 0, 0, 0};
    std::vector<std::vector<KvAOSequence>> seqs;
    std::vector<Bytes> cels;     // indexed pictures
    std::vector<Direct> direct;  // when not empty: the direct-colour form

    Bytes build(bool big = false) const {
        const bool isDirect = !direct.empty();
        std::vector<Bytes> pictures;
        for (const Bytes& c : cels) {
            Bytes p = c;
            if (big)
                for (int w = 0; w < 3; ++w) std::swap(p[2 * w], p[2 * w + 1]);
            pictures.push_back(p);
        }
        for (const Direct& d : direct) pictures.push_back(d.bytes(big));
        Bytes b;
        put16(b, static_cast<int>(seqs.size()), big), put16(b, static_cast<int>(pictures.size()), big);
        b.push_back(static_cast<unsigned char>(fps)), b.push_back(big ? 1 : 0), b.push_back(0), b.push_back(0);
        put16(b, flags, big);
        uint32_t offset = 0;
        for (const Bytes& p : pictures) {
            if (isDirect) offset += 8;  // magic and size before each picture
            put32(b, offset, big);
            offset += static_cast<uint32_t>(p.size());
        }
        b.insert(b.end(), xyz, xyz + 4);
        for (size_t s = 1; s < seqs.size(); ++s) b.insert(b.end(), 4, 0);
        for (const auto& s : seqs) {
            put16(b, static_cast<int>(s.size()), big);
            for (const KvAOSequence& e : s) put16(b, e.x, big), put16(b, e.y, big), put16(b, e.cel, big), put16(b, e.param, big);
        }
        for (const Bytes& p : pictures) {
            if (isDirect) {
                b.insert(b.end(), {'A', 'O', '2', 'C'});
                put32(b, static_cast<uint32_t>(p.size()), big);
            }
            b.insert(b.end(), p.begin(), p.end());
        }
        return b;
    }
};

// One sequence showing the cels in turn: each once, then the end (or a loop).
inline Bytes celsInTurn(const std::vector<Bytes>& cels, bool loop = false, int fps = 10) {
    AOFile f;
    f.fps = fps;
    f.cels = cels;
    f.seqs.emplace_back();
    for (size_t i = 0; i < cels.size(); ++i) f.seqs[0].push_back(frame(static_cast<int>(i)));
    if (loop) f.seqs[0].push_back(command(kAOLoop));
    f.seqs[0].push_back(command(kAOEnd));
    return f.build();
}

// Two cels (4 x 2 of index 5, 3 x 3 of index 9) and one sequence: 0, 1, loop, end.
inline AOFile twoCels() {
    AOFile f;
    f.cels = {solid(4, 2, 5), solid(3, 3, 9)};
    f.seqs = {{frame(0), frame(1), command(kAOLoop), command(kAOEnd)}};
    return f;
}

}  // namespace aotest

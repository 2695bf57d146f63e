// Helpers for the animation tests: AO files built in memory in either byte
// order (indexed or direct-colour cels), a headless application with one
// trinket window, and the hooks a host installs.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"
#include "framework/KvIStream.h"
#include "tests/framework/HeadlessFixture.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTrinketWindow.h"

namespace aotest {

using Bytes = std::vector<unsigned char>;

inline void put16(Bytes& b, int v, bool big) {
    const auto lo = static_cast<unsigned char>(v), hi = static_cast<unsigned char>(v >> 8);
    b.push_back(big ? hi : lo);
    b.push_back(big ? lo : hi);
}
inline void put32(Bytes& b, uint32_t v, bool big) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> 8 * (big ? 3 - i : i)));
}

// An indexed picture of w x h indices (row after row), encoded by the library's encoder.
inline Bytes picture(int w, int h, const std::vector<int>& indices, int transparent = -1) {
    Bytes b;
    put16(b, 0, false), put16(b, w, false), put16(b, h, false);
    std::vector<unsigned char> row(static_cast<size_t>(w)), out(2 * static_cast<size_t>(w) + 2);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) row[static_cast<size_t>(c)] = static_cast<unsigned char>(indices[static_cast<size_t>(r * w + c)]);
        const int n = KvCelRenderer::encodeRow(out.data(), row.data(), w, transparent);
        b.insert(b.end(), out.begin(), out.begin() + n);
    }
    return b;
}
inline Bytes solid(int w, int h, int index) {
    return picture(w, h, std::vector<int>(static_cast<size_t>(w * h), index));
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
    std::vector<Bytes> cels;     // indexed pictures, written little-endian
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

// Two cels (4 x 2 of index 5, 3 x 3 of index 9) and one sequence: 0, 1, loop, end.
inline AOFile twoCels() {
    AOFile f;
    f.cels = {solid(4, 2, 5), solid(3, 3, 9)};
    f.seqs = {{frame(0), frame(1), command(kAOLoop), command(kAOEnd)}};
    return f;
}

inline KvIStream* streamOf(const Bytes& b) { return new KvIStreamMemory(b.data(), static_cast<long>(b.size())); }

}  // namespace aotest

// A headless application with one trinket window over the white base
// background; the class switches and hooks of KvAnimation are put back after
// every test.
class AnimTest : public HeadlessTest {
public:
    static constexpr int kW = 160, kH = 120;

protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        backend.setStepPerPass(0);
        KvTrinket::setCreateVisible(1);
        restoreSwitches();
    }
    void TearDown() override {
        window.reset();
        restoreSwitches();
        HeadlessTest::TearDown();
    }
    static void restoreSwitches() {
        KvAnimation::setUseEmbeddedXYZ(1);
        KvAnimation::setMakePictures(kAOPremakeOff);
        KvAnimation::installSrcURL(nullptr);
        KvAnimation::installSndURL(nullptr);
        KvAnimation::installPltURL(nullptr);
        KvAnimation::installPaletteURL(nullptr);
        KvAnimation::setAlwaysUseGlobalTime(1);
        KvAnimation::setAOSound(1);
        KvAnimation::setAlwaysSyncSounds(1);
        KvAnimation::setAlwaysInvalidate(1);
        KvAnimation::setRedrawSameFrame(0);
        KvAnimation::setGlobalFloatTiming(false);
        KvAnimation::setGlobalAlertOnSeqPos(nullptr);
        KvAnimation::setDefaultSoundCommandHandler(nullptr);
    }

    KvTrinketWindow* open(int depth = 16, KvTBackground* background = nullptr) {
        window.reset();  // the new window becomes the current one
        window = std::make_unique<KvTrinketWindow>(KvRect(0, 0, kW, kH), background ? background : new KvTBackground, 0,
                                                   -1, -1, depth, 1, 0);
        return window.get();
    }
    // An animation on the window (which owns it).
    KvAnimation* load(const aotest::Bytes& file, int x = 0, int y = 0) {
        return new KvAnimation(aotest::streamOf(file), x, y, window.get());
    }
    // One main-loop pass at time ms on the virtual clock.
    void at(unsigned long ms) {
        backend.setTime(ms);
        app->pass();
    }
    uint32_t pixel(int x, int y) const { return window->twGetCollector()->getPixel(x, y); }

    std::unique_ptr<KvTrinketWindow> window;
};

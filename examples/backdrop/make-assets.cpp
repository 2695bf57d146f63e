// Makes the example's pictures: room.b16, a 320 x 200 compressed 15-bit
// background (a sky over a floor, with a window frame), hall.ao, the same
// kind of scene as an AO picture, ao/1.ao, a 9 x 9 arrow cursor whose two
// frames blink at 4 frames per second, and palette.plt, the colours of the
// AO files (256 entries of big-endian red, green, blue words).
//   g++ -std=c++20 -O2 make-assets.cpp -llzo2 -o make-assets && ./make-assets
#include <lzo/lzo1x.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes& b, int v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

bool save(const char* name, const Bytes& b) {
    FILE* f = std::fopen(name, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

// 5-5-5 pixel of a scene point.
unsigned scene(int x, int y, int w, int h) {
    const bool frame = (x > w / 3 && x < 2 * w / 3) && (y > h / 5 && y < h / 2) &&
                       (x < w / 3 + 4 || x > 2 * w / 3 - 4 || y < h / 5 + 4 || y > h / 2 - 4 || x == w / 2);
    if (frame) return 10u << 10 | 6u << 5 | 2u;                      // brown frame
    if (y < h * 3 / 5) return (8u + y * 10 / h) << 10 | (14u + y * 10 / h) << 5 | 28u;  // sky
    return (12u + (x / 16 + y / 16) % 2 * 4) << 10 | 9u << 5 | 4u;   // checked floor
}

Bytes image(int w, int h) {
    Bytes raw;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned p = scene(x, y, w, h);
            raw.push_back(static_cast<unsigned char>(p >> 8));
            raw.push_back(static_cast<unsigned char>(p));
        }
    Bytes packed(raw.size() + raw.size() / 16 + 67);
    std::vector<unsigned char> work(LZO1X_1_MEM_COMPRESS);
    lzo_uint length = packed.size();
    lzo1x_1_compress(raw.data(), raw.size(), packed.data(), &length, work.data());
    Bytes file;
    for (uint32_t word : {32u, uint32_t(w), uint32_t(h), 0u, uint32_t(raw.size()), uint32_t(length), 0x555u, 0u})
        put32(file, word);
    file.insert(file.end(), packed.begin(), packed.begin() + static_cast<long>(length));
    return file;
}

// One sequence of frames (cel, then kAOLoop when looping) over indexed cels.
Bytes ao(const std::vector<Bytes>& cels, int w, int h, int fps, bool loop) {
    std::vector<Bytes> pictures;
    for (const Bytes& indices : cels) {
        Bytes p;
        put16(p, 0), put16(p, w), put16(p, h);
        for (int y = 0; y < h; ++y) {
            const unsigned char* row = indices.data() + static_cast<size_t>(y) * w;
            // Runs of one index as fills (0xFF c n), single pixels as literals (1 c).
            for (int x = 0; x < w;) {
                int n = 1;
                while (x + n < w && n < 255 && row[x + n] == row[x]) ++n;
                if (n > 1)
                    p.insert(p.end(), {0xFF, row[x], static_cast<unsigned char>(n)});
                else
                    p.insert(p.end(), {1, row[x]});
                x += n;
            }
        }
        pictures.push_back(p);
    }
    Bytes f;
    put16(f, 1), put16(f, static_cast<int>(cels.size()));
    f.push_back(static_cast<unsigned char>(fps)), f.push_back(0), put16(f, 0), put16(f, 0);
    uint32_t offset = 0;
    for (const Bytes& p : pictures) put32(f, offset), offset += static_cast<uint32_t>(p.size());
    put32(f, 0);
    const int entries = static_cast<int>(cels.size()) + (loop ? 2 : 1);
    put16(f, entries);
    for (int c = 0; c < static_cast<int>(cels.size()); ++c) put16(f, 0), put16(f, 0), put16(f, c), put16(f, 0);
    if (loop) put16(f, 0), put16(f, 0), put16(f, -2), put16(f, 0);
    put16(f, 0), put16(f, 0), put16(f, -1), put16(f, 0);
    for (const Bytes& p : pictures) f.insert(f.end(), p.begin(), p.end());
    return f;
}

// Index 0 black, 1-10 a sky from deep to pale blue, 7 also the dimmed arrow,
// 15 white, 20 and 21 the floor's browns.
Bytes palette() {
    unsigned char rgb[256][3] = {};
    for (int i = 1; i <= 10; ++i)
        rgb[i][0] = static_cast<unsigned char>(60 + 12 * i), rgb[i][1] = static_cast<unsigned char>(110 + 12 * i),
        rgb[i][2] = 230;
    rgb[15][0] = rgb[15][1] = rgb[15][2] = 255;
    rgb[20][0] = 150, rgb[20][1] = 90, rgb[20][2] = 40;
    rgb[21][0] = 110, rgb[21][1] = 64, rgb[21][2] = 30;
    Bytes b;
    for (const auto& c : rgb)
        for (unsigned char v : c) b.push_back(v), b.push_back(v);
    return b;
}

}  // namespace

int main() {
    if (lzo_init() != LZO_E_OK) return 1;
    // The cursor: an arrow, index 15 then 7, on index 0.
    Bytes on(81), off(81);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool arrow = x <= y && x + y < 14;
            on[static_cast<size_t>(y) * 9 + x] = arrow ? 15 : 0;
            off[static_cast<size_t>(y) * 9 + x] = arrow ? 7 : 0;
        }
    // The AO scene: bands of palette indices.
    const int w = 320, h = 200;
    Bytes hall(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) hall[static_cast<size_t>(y) * w + x] = static_cast<unsigned char>(y < 120 ? 1 + y / 12 : 20 + (x / 16 + y / 16) % 2);
    const bool ok = save("room.b16", image(w, h)) && save("hall.ao", ao({hall}, w, h, 1, false)) &&
                    save("ao/1.ao", ao({on, off}, 9, 9, 4, true)) && save("palette.plt", palette());
    return ok ? 0 : 1;
}

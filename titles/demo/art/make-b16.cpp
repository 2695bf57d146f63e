// Compresses a picture into a compressed 15-bit background file: eight
// little-endian 32-bit header words (32, width, height, 0, uncompressed size,
// compressed size, pixel format 0x555, 0), then the LZO1X data, which
// decompress to the rows of big-endian 5-5-5 words that the input holds.
// LZO1X-999 packs tightest; decompression is the same as for LZO1X-1.
//   g++ -std=c++20 -O2 make-b16.cpp -llzo2 -o make-b16
//   ./make-b16 WIDTH HEIGHT IN.raw OUT.b16
#include <lzo/lzo1x.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// The largest side a picture may have.
constexpr long kMaxSide = 4096;

bool readAll(const char* name, Bytes& b) {
    FILE* f = std::fopen(name, "rb");
    if (!f) return false;
    unsigned char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) b.insert(b.end(), chunk, chunk + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool save(const char* name, const Bytes& b) {
    FILE* f = std::fopen(name, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: make-b16 WIDTH HEIGHT IN.raw OUT.b16\n", stderr);
        return 2;
    }
    const long w = std::strtol(argv[1], nullptr, 10), h = std::strtol(argv[2], nullptr, 10);
    Bytes raw;
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) {
        std::fprintf(stderr, "make-b16: sides from 1 to %ld pixels\n", kMaxSide);
        return 2;
    }
    if (!readAll(argv[3], raw) || raw.size() != static_cast<size_t>(w * h * 2)) {
        std::fprintf(stderr, "make-b16: %s is not %ld x %ld 16-bit words\n", argv[3], w, h);
        return 1;
    }
    if (lzo_init() != LZO_E_OK) return 1;
    Bytes packed(raw.size() + raw.size() / 16 + 67);  // LZO1X's worst case
    Bytes work(LZO1X_999_MEM_COMPRESS);
    lzo_uint length = packed.size();
    if (lzo1x_999_compress(raw.data(), raw.size(), packed.data(), &length, work.data()) != LZO_E_OK) {
        std::fputs("make-b16: compression failed\n", stderr);
        return 1;
    }
    Bytes file;
    for (uint32_t word : {32u, uint32_t(w), uint32_t(h), 0u, uint32_t(raw.size()), uint32_t(length), 0x555u, 0u})
        put32(file, word);
    file.insert(file.end(), packed.begin(), packed.begin() + static_cast<long>(length));
    if (!save(argv[4], file)) {
        std::fprintf(stderr, "make-b16: cannot write %s\n", argv[4]);
        return 1;
    }
    return 0;
}

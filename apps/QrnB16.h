// Compressed 16-bit backgrounds for the tools: the header checked as the
// runtime checks it, the pixels decoded, and new files made with LZO1X's
// best compressor. The file is eight little-endian header words (header
// size 32, width, height, unused, uncompressed size, compressed size,
// format 0x555, unused) and the LZO1X data of height rows of width
// big-endian 5-5-5 pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct QrnB16Header {
    uint32_t words[8] = {};
    uint32_t width() const { return words[1]; }
    uint32_t height() const { return words[2]; }
    uint32_t uncompressed() const { return words[4]; }
    uint32_t compressed() const { return words[5]; }
};

class QrnB16 {
public:
    // True when the runtime would show the picture; then pixels (if given)
    // holds its width x height 5-5-5 values, row 0 first. Otherwise offset
    // and why name the problem.
    static bool decode(const std::vector<unsigned char>& file, QrnB16Header& header, std::vector<uint16_t>* pixels,
                       size_t& offset, std::string& why);
    // The file of width x height 5-5-5 pixels (bit 15 ignored).
    static bool encode(int width, int height, const std::vector<uint16_t>& pixels, std::vector<unsigned char>& file);
    // Whether the bytes start like a background: a first header word of 32.
    static bool looksLike(const std::vector<unsigned char>& file);
};

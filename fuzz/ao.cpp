// AO files: any bytes are refused or load to cels that draw, in every
// direction and depth, without a read or write outside the file or canvas;
// recolouring a loaded file in place keeps it drawable.
#include <cstdint>
#include <cstring>
#include <vector>

#include "anim/KvAOFile.h"
#include "anim/KvCelRenderer.h"
#include "framework/KvCanvas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static KvMemCanvas indexed(24, 24, 8), direct(24, 24, 16);
    static uint32_t table[256];
    KvCelRenderer::currentColorTable = table;
    for (unsigned short format : {0x565, 0x555}) {
        std::vector<unsigned char> file(data, data + size);
        KvAOLayout layout;
        if (!KvAOFile::read(file.data(), file.size(), format, layout)) continue;
        unsigned char map[256];
        for (int i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(255 - i);
        for (unsigned char* pic : layout.cels) {
            KvCelRenderer::remapIndices(pic, map);
            for (unsigned char dir = 0; dir < 8; ++dir)
                for (KvCanvas* c : {static_cast<KvCanvas*>(&indexed), static_cast<KvCanvas*>(&direct)}) {
                    KvCelRenderer::draw(-3, 2, pic, c, dir);
                    KvCelRenderer::draw(1, -2, pic, c, KvRect(2, 2, 20, 9), dir);
                }
            KvCelRenderer::pixelAt(pic, 1, 1);
        }
    }
    std::vector<unsigned char> file(data, data + size);
    if (unsigned char* pic = KvAOFile::firstPicture(file.data(), file.size())) KvCelRenderer::draw(0, 0, pic, &indexed, 0);
    return 0;
}

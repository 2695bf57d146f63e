// The tools through the built qrn, on random inputs: animations packed from a
// manifest, taken apart and packed again byte for byte in both byte orders
// and both colour forms, every pixel as the loader sees it; backgrounds
// round-trip at 5-5-5; scripts say the same compiled, in either byte order,
// as they do as text.
#include "tests/apps/QrnAppFixture.h"

#include "anim/KvAOFile.h"
#include "anim/KvCelRenderer.h"
#include "framework/KvPng.h"

#include <array>
#include <numeric>
#include <random>
#include <vector>

namespace {

constexpr int kTransparent = 0;  // the manifests' transparent index

class QrnTools : public QrnRun {
protected:
    std::mt19937 rng{12345};
    std::vector<KvPngImage> strips;  // what the last manifest packs, and each one's frames
    std::vector<int> frames;

    int random(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    std::string n(int low, int high) { return std::to_string(random(low, high)); }
    std::string said(const std::string& script) {
        EXPECT_EQ(qrn("run " + script), 0) << script << ": " << err;
        return read("debug.txt");
    }
    // A random strip of frames: indexed (index kTransparent marked
    // transparent) or RGBA with alpha 0, 255 or in between; runs of equal
    // pixels so that every run kind occurs.
    KvPngImage strip(bool direct, int width, int height) {
        KvPngImage png;
        png.width = width, png.height = height, png.indexed = !direct;
        for (int p = 0; p < width * height;) {
            const int run = random(1, 6), index = random(0, 4) == 0 ? kTransparent : random(1, 255);
            const auto alpha = static_cast<uint8_t>(std::array<int, 3>{0, 255, random(1, 254)}[random(0, 2)]);
            const std::array<uint8_t, 4> rgba{uint8_t(random(0, 255)), uint8_t(random(0, 255)), uint8_t(random(0, 255)), alpha};
            for (int k = 0; k < run && p < width * height; ++k, ++p)
                direct ? png.rgba.insert(png.rgba.end(), rgba.begin(), rgba.end()) : png.indices.insert(png.indices.end(), uint8_t(index));
        }
        for (int i = 0; i < 256 && !direct; ++i) {
            png.palette.push_back(KvColor::fromBytes(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)));
            png.paletteAlpha.push_back(i == kTransparent ? 0 : 255);
        }
        return png;
    }
    // A random manifest over images of random strips; the sequences use every entry form.
    std::string manifest(bool direct, bool big) {
        std::string text = std::string("byte-order = \"") + (big ? "big" : "little") + "\"\nframes-per-second = " + n(0, 255) +
                           "\nposition = [" + n(-2047, 2048) + ", " + n(-2047, 2048) + ", " + n(0, 255) + "]\ncolour = \"" +
                           (direct ? "direct" : "indexed") + "\"\n";
        strips.clear(), frames.clear();
        for (int s = 0, count = random(1, 3); s < count; ++s) {
            frames.push_back(random(1, 4));
            strips.push_back(strip(direct, frames.back() * random(1, 40), random(1, 30)));
            const std::string name = "strip" + std::to_string(s) + ".png";
            EXPECT_TRUE(KvSavePng(strips.back(), (dir / name).c_str()));
            text += "\n[[cels]]\nimage = \"" + name + "\"\nframes = " + std::to_string(frames.back()) + "\n";
        }
        const int cels = std::accumulate(frames.begin(), frames.end(), 0) + 1;
        text += "\n[[cels]]\nsame-as = " + n(0, cels - 2) + "\n";
        for (int s = 0, sequences = random(1, 3); s < sequences; ++s) {
            text += "\n[[sequences]]\nentries = [\n  { command = \"pause\" },\n";
            for (int e = 0, entries = random(1, 8); e < entries; ++e) {
                text += "  { cel = " + n(0, cels - 1) + ", x = " + n(-50, 50) + ", y = " + n(-50, 50) + ", param = " + n(0, 65535) + " },\n";
                if (random(0, 3) == 0) text += "  { command = \"sound\", param = " + n(1, 99) + " },\n";
                if (random(0, 3) == 0) text += "  { command = \"user\", code = " + n(-32768, -500) + ", x = 1, y = -2, param = 3 },\n";
                if (random(0, 5) == 0) text += "  { command = \"nop\" },\n";
            }
            text += random(0, 1) ? "  { command = \"loop\" },\n]\n" : "]\n";
        }
        return text;
    }
};

TEST_F(QrnTools, PackUnpackPackIsByteIdenticalAndKeepsEveryPixel) {
    std::string plt;  // the strips' palette, which unpack needs to write indexed PNGs
    for (int i = 0; i < 256; ++i)
        for (const int v : {i, 255 - i, i * 7 & 0xFF}) plt += {static_cast<char>(v), '\0'};
    write("palette.plt", plt);
    for (int round = 0; round < 8; ++round) {
        const bool direct = round & 1, big = round & 2;
        SCOPED_TRACE("round " + std::to_string(round));
        write("a.toml", manifest(direct, big));
        ASSERT_EQ(qrn("pack a.toml a.ao"), 0) << err;
        ASSERT_EQ(qrn("unpack a.ao out"), 0) << err;
        ASSERT_EQ(qrn("pack out/animation.toml b.ao"), 0) << err;
        Bytes file = bytes("a.ao");
        EXPECT_EQ(file, bytes("b.ao"));
        EXPECT_EQ(file[5], big ? 1 : 0);
        // What the loader sees: each cel the strips' pixels, undrawn where transparent.
        KvAOLayout layout;
        ASSERT_TRUE(KvAOFile::read(file.data(), file.size(), 0x555, layout));
        for (size_t s = 0, cel = 0; s < strips.size(); ++s)
            for (int f = 0, width = strips[s].width / frames[s]; f < frames[s]; ++f, ++cel) {
                ASSERT_NE(layout.cels[cel], nullptr);
                for (int y = 0; y < strips[s].height; ++y)
                    for (int x = 0; x < width; ++x) {
                        const size_t p = static_cast<size_t>(y) * strips[s].width + static_cast<size_t>(f * width + x);
                        const uint8_t* c = direct ? &strips[s].rgba[4 * p] : nullptr;
                        const int expected = direct ? (c[3] ? (c[0] >> 3) << 10 | (c[1] >> 3) << 5 | c[2] >> 3 : -1)
                                                    : (strips[s].indices[p] != kTransparent ? strips[s].indices[p] : -1);
                        ASSERT_EQ(KvCelRenderer::pixelAt(layout.cels[cel], x, y), expected) << "cel " << cel << " at " << x << "," << y;
                    }
            }
        fs::remove_all(dir / "out");
    }
}

TEST_F(QrnTools, BackgroundsRoundTripAtFiveBitsAColour) {
    KvPngImage png;
    png.width = 61, png.height = 45;
    for (int p = 0; p < png.width * png.height * 4; ++p) png.rgba.push_back(static_cast<uint8_t>(random(0, 255) & (p % 4 == 3 ? 0xFF : 0xF8)));
    ASSERT_TRUE(KvSavePng(png, (dir / "in.png").c_str()));
    ASSERT_EQ(qrn("bg encode in.png a.b16"), 0) << err;
    ASSERT_EQ(qrn("info a.b16"), 0) << err;
    EXPECT_NE(out.find("width: 61\nheight: 45\n"), std::string::npos) << out;
    ASSERT_EQ(qrn("bg decode a.b16 out.png"), 0) << err;
    KvPngImage back;
    ASSERT_TRUE(KvLoadPng((dir / "out.png").c_str(), back));
    ASSERT_EQ(back.rgba.size(), png.rgba.size());
    for (size_t i = 0; i < png.rgba.size(); ++i) ASSERT_TRUE(i % 4 == 3 || (back.rgba[i] & 0xF8) == png.rgba[i]) << "byte " << i;
    ASSERT_EQ(qrn("bg encode out.png b.b16"), 0) << err;
    EXPECT_EQ(read("a.b16"), read("b.b16"));
}

TEST_F(QrnTools, RandomScriptsRunTheSameCompiled) {
    const char* names[] = {"a", "b", "c", "total"};
    const char* ops[] = {"+", "-", "*"};
    for (int round = 0; round < 6; ++round) {
        std::string text;
        for (const char* name : names) text += std::string(name) + "=" + n(0, 49) + "\n";
        for (int line = 0, lines = random(5, 24); line < lines; ++line) {
            const std::string target = names[random(0, 3)], left = names[random(0, 3)];
            switch (random(0, 3)) {
            case 0: text += target + "=" + left + ops[random(0, 2)] + n(1, 9) + "\n"; break;
            case 1: text += "say " + left + " \"is\" " + target + "\n"; break;
            case 2: text += "if " + left + ">" + n(0, 39) + "\n  say big " + left + "\nelse\n  say small\n"; break;
            default: text += "for i 1 " + n(1, 4) + "\n  " + target + "=" + target + "+i\n"; break;
            }
        }
        write("r.mps", text + "say " + names[random(0, 3)] + "\nexit\n");
        const std::string expected = said("r.mps");
        ASSERT_EQ(qrn("compile r.mps"), 0) << err;
        EXPECT_EQ(said("r.qsc"), expected) << text;
        ASSERT_EQ(qrn("compile --byte-order big -o r.big r.mps"), 0) << err;
        EXPECT_EQ(said("r.big"), expected) << text;
    }
}

}  // namespace

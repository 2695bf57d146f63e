// The asset tools through the built qrn: random animations packed from a
// manifest, taken apart and packed again byte for byte in both byte orders
// and both colour forms; the packed files load and draw exactly at every
// canvas depth; backgrounds round-trip at 5-5-5.
#include "tests/apps/QrnAppFixture.h"

#include "anim/KvAOFile.h"
#include "anim/KvCelRenderer.h"
#include "framework/KvCanvas.h"
#include "framework/KvPng.h"

#include <array>
#include <random>
#include <vector>

namespace {

constexpr int kPaletteSize = 256;
constexpr int kTransparent = 0;  // the manifests' transparent index

class QrnTools : public QrnRun {
protected:
    std::mt19937 rng{12345};

    int random(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    // A palette of distinct colours, as a .plt file and as PNG palette entries.
    std::vector<KvColor> palette() {
        std::vector<KvColor> colours;
        for (int i = 0; i < kPaletteSize; ++i)
            colours.push_back(KvColor::fromBytes(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                                 static_cast<uint8_t>(i * 7)));
        Bytes plt;
        for (const KvColor& c : colours)
            for (const uint8_t v : {c.r8(), c.g8(), c.b8()}) plt.push_back(v), plt.push_back(0);
        writeBytes("palette.plt", plt);
        return colours;
    }
    // A random strip of frames: indexed (index kTransparent marked
    // transparent) or RGBA with alpha 0, 255 or in between; runs of equal
    // pixels so that every run kind occurs.
    KvPngImage strip(bool direct, int width, int height, const std::vector<KvColor>& colours) {
        KvPngImage png;
        png.width = width, png.height = height, png.indexed = !direct;
        for (int p = 0; p < width * height;) {
            const int run = random(1, 6);
            const int index = random(0, 4) == 0 ? kTransparent : random(1, kPaletteSize - 1);
            const uint8_t alpha = static_cast<uint8_t>(std::array<int, 3>{0, 255, random(1, 254)}[random(0, 2)]);
            const uint8_t r = static_cast<uint8_t>(random(0, 255)), g = static_cast<uint8_t>(random(0, 255)),
                          b = static_cast<uint8_t>(random(0, 255));
            for (int k = 0; k < run && p < width * height; ++k, ++p) {
                if (direct)
                    png.rgba.insert(png.rgba.end(), {r, g, b, alpha});
                else
                    png.indices.push_back(static_cast<uint8_t>(index));
            }
        }
        if (!direct) {
            png.palette = colours;
            png.paletteAlpha.assign(kPaletteSize, 255);
            png.paletteAlpha[kTransparent] = 0;
        }
        return png;
    }
    // A random manifest over images of random strips; the sequences use every
    // entry form.
    std::string manifest(bool direct, bool big, const std::vector<KvColor>& colours) {
        std::string text = std::string("byte-order = \"") + (big ? "big" : "little") + "\"\n" +
                           "frames-per-second = " + std::to_string(random(0, 255)) + "\n" +
                           "position = [" + std::to_string(random(-2047, 2048)) + ", " +
                           std::to_string(random(-2047, 2048)) + ", " + std::to_string(random(0, 255)) + "]\n" +
                           "colour = \"" + (direct ? "direct" : "indexed") + "\"\n";
        int cels = 0;
        for (int s = 0, strips = random(1, 3); s < strips; ++s) {
            const int frames = random(1, 4), width = random(1, 40), height = random(1, 30);
            const std::string name = "strip" + std::to_string(s) + ".png";
            EXPECT_TRUE(KvSavePng(strip(direct, frames * width, height, colours), (dir / name).c_str()));
            text += "\n[[cels]]\nimage = \"" + name + "\"\nframes = " + std::to_string(frames) + "\n";
            cels += frames;
        }
        text += "\n[[cels]]\nsame-as = " + std::to_string(random(0, cels - 1)) + "\n";
        ++cels;
        for (int s = 0, sequences = random(1, 3); s < sequences; ++s) {
            text += "\n[[sequences]]\nentries = [\n  { command = \"pause\" },\n";
            for (int e = 0, entries = random(1, 8); e < entries; ++e) {
                text += "  { cel = " + std::to_string(random(0, cels - 1)) + ", x = " + std::to_string(random(-50, 50)) +
                        ", y = " + std::to_string(random(-50, 50)) + ", param = " + std::to_string(random(0, 65535)) + " },\n";
                if (random(0, 3) == 0) text += "  { command = \"sound\", param = " + std::to_string(random(1, 99)) + " },\n";
                if (random(0, 3) == 0) text += "  { command = \"user\", code = " + std::to_string(random(-32768, -500)) + ", x = 1, y = -2, param = 3 },\n";
                if (random(0, 5) == 0) text += "  { command = \"nop\" },\n";
            }
            text += random(0, 1) ? "  { command = \"loop\" },\n]\n" : "]\n";
        }
        return text;
    }
};

// Every cel of a loaded file against the PNG strips it came from.
void expectCels(const KvAOLayout& layout, const std::vector<KvPngImage>& strips, const std::vector<int>& frames,
                bool direct) {
    size_t cel = 0;
    for (size_t s = 0; s < strips.size(); ++s) {
        const KvPngImage& png = strips[s];
        const int width = png.width / frames[s];
        for (int f = 0; f < frames[s]; ++f, ++cel) {
            const unsigned char* pic = layout.cels[cel];
            ASSERT_NE(pic, nullptr);
            for (int y = 0; y < png.height; ++y)
                for (int x = 0; x < width; ++x) {
                    const size_t p = static_cast<size_t>(y) * png.width + static_cast<size_t>(f * width + x);
                    int expected = -1;
                    if (!direct && png.indices[p] != kTransparent) expected = png.indices[p];
                    if (direct && png.rgba[4 * p + 3] != 0)
                        expected = (png.rgba[4 * p] >> 3) << 10 | (png.rgba[4 * p + 1] >> 3) << 5 | png.rgba[4 * p + 2] >> 3;
                    ASSERT_EQ(KvCelRenderer::pixelAt(pic, x, y), expected) << "cel " << cel << " at " << x << "," << y;
                }
        }
    }
}

TEST_F(QrnTools, PackUnpackPackIsByteIdenticalAndKeepsEveryPixel) {
    const std::vector<KvColor> colours = palette();
    for (int round = 0; round < 8; ++round) {
        const bool direct = round & 1, big = round & 2;
        SCOPED_TRACE("round " + std::to_string(round));
        write("a.toml", manifest(direct, big, colours));
        ASSERT_EQ(qrn("pack a.toml a.ao"), 0) << err;
        ASSERT_EQ(qrn("unpack a.ao out"), 0) << err;
        ASSERT_EQ(qrn("pack out/animation.toml b.ao"), 0) << err;
        EXPECT_EQ(bytes("a.ao"), bytes("b.ao"));
        EXPECT_EQ(bytes("a.ao")[5], big ? 1 : 0);

        // What the loader sees: the strips' pixels, cel by cel.
        Bytes file = bytes("a.ao");
        KvAOLayout layout;
        ASSERT_TRUE(KvAOFile::read(file.data(), file.size(), 0x555, layout));
        std::vector<KvPngImage> strips;
        std::vector<int> frames;
        const std::string text = read("a.toml");
        for (size_t at = text.find("frames = "); at != std::string::npos; at = text.find("frames = ", at + 1)) {
            frames.push_back(std::stoi(text.substr(at + 9)));
            strips.emplace_back();
            ASSERT_TRUE(KvLoadPng((dir / ("strip" + std::to_string(strips.size() - 1) + ".png")).c_str(), strips.back()));
        }
        expectCels(layout, strips, frames, direct);
        fs::remove_all(dir / "out");
    }
}

TEST_F(QrnTools, PackedFilesDrawExactlyAtEveryDepth) {
    const std::vector<KvColor> colours = palette();
    const KvPngImage png = strip(false, 37, 23, colours);
    ASSERT_TRUE(KvSavePng(png, (dir / "cel.png").c_str()));
    write("a.toml", "[[cels]]\nimage = \"cel.png\"\n[[sequences]]\nentries = [{ cel = 0, x = 0, y = 0 }]\n");
    ASSERT_EQ(qrn("pack a.toml a.ao"), 0) << err;
    Bytes file = bytes("a.ao");
    KvAOLayout layout;
    ASSERT_TRUE(KvAOFile::read(file.data(), file.size(), 0x555, layout));
    for (const int depth : {8, 16, 24, 32}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        KvMemCanvas canvas(png.width, png.height, depth);
        uint32_t table[kPaletteSize];
        for (int i = 0; i < kPaletteSize; ++i) {
            const uint32_t pixel = canvas.mapColor(colours[static_cast<size_t>(i)]);
            table[i] = depth == 16 ? pixel * 0x10001u : pixel;
        }
        constexpr uint32_t kUntouched = 0x5;
        for (int y = 0; y < png.height; ++y)
            for (int x = 0; x < png.width; ++x) canvas.setPixel(x, y, kUntouched);
        KvCelRenderer::currentColorTable = table;
        KvCelRenderer::draw(0, 0, layout.cels[0], &canvas, canvas.getBounds(), 0);
        KvCelRenderer::currentColorTable = nullptr;
        for (int y = 0; y < png.height; ++y)
            for (int x = 0; x < png.width; ++x) {
                const int index = png.indices[static_cast<size_t>(y) * png.width + x];
                const uint32_t expected = index == kTransparent ? kUntouched
                                          : depth == 8          ? static_cast<uint32_t>(index)
                                                                : canvas.mapColor(colours[static_cast<size_t>(index)]);
                ASSERT_EQ(canvas.getPixel(x, y), expected) << x << "," << y;
            }
    }
}

TEST_F(QrnTools, BackgroundsRoundTripAtFiveBitsAColour) {
    KvPngImage png;
    png.width = 61, png.height = 45;
    for (int p = 0; p < png.width * png.height; ++p)
        for (int c = 0; c < 4; ++c) png.rgba.push_back(static_cast<uint8_t>(c == 3 ? random(0, 255) : random(0, 255) & 0xF8));
    ASSERT_TRUE(KvSavePng(png, (dir / "in.png").c_str()));
    ASSERT_EQ(qrn("bg encode in.png a.b16"), 0) << err;
    ASSERT_EQ(qrn("info a.b16"), 0) << err;
    EXPECT_NE(out.find("width: 61\nheight: 45\n"), std::string::npos) << out;
    ASSERT_EQ(qrn("bg decode a.b16 out.png"), 0) << err;
    KvPngImage back;
    ASSERT_TRUE(KvLoadPng((dir / "out.png").c_str(), back));
    ASSERT_EQ(back.rgba.size(), png.rgba.size());
    for (size_t i = 0; i < png.rgba.size(); ++i)
        if (i % 4 != 3) {
            ASSERT_EQ(back.rgba[i] & 0xF8, png.rgba[i]) << "byte " << i;
        }
    ASSERT_EQ(qrn("bg encode out.png b.b16"), 0) << err;
    EXPECT_EQ(bytes("a.b16"), bytes("b.b16"));
}

}  // namespace

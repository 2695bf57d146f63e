// The asset tools through the built qrn: random animations packed from a
// manifest, taken apart and packed again byte for byte in both byte orders
// and both colour forms; the packed files load and draw exactly at every
// canvas depth; backgrounds round-trip at 5-5-5; info describes each kind of
// file and names the first bad offset of damaged ones; bad input ends with
// status 1 and leaves no output behind.
#include "tests/apps/QrnAppFixture.h"

#include "anim/KvAOFile.h"
#include "anim/KvCelRenderer.h"
#include "framework/KvCanvas.h"
#include "framework/KvPng.h"

#include <algorithm>
#include <cstring>
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

TEST_F(QrnTools, PalettesConvertBetweenEveryFormatAndBack) {
    Bytes plt;
    for (int i = 0; i < 3 * kPaletteSize; ++i) {
        const auto v = static_cast<unsigned char>(random(0, 255));
        plt.push_back(v), plt.push_back(v);
    }
    writeBytes("a.plt", plt);
    ASSERT_EQ(qrn("palette a.plt a.gpl"), 0) << err;
    ASSERT_EQ(qrn("palette a.gpl a.png"), 0) << err;
    ASSERT_EQ(qrn("palette a.png b.plt"), 0) << err;
    EXPECT_EQ(bytes("b.plt"), plt);
    EXPECT_NE(read("a.gpl").find("GIMP Palette\n"), std::string::npos);
    write("short.gpl", "GIMP Palette\n# two colours\n255 0 0 red\n0 0 255\n");
    ASSERT_EQ(qrn("palette short.gpl short.plt"), 0) << err;
    const Bytes shortPlt = bytes("short.plt");
    ASSERT_EQ(shortPlt.size(), plt.size());
    EXPECT_EQ(Bytes(shortPlt.begin(), shortPlt.begin() + 12), (Bytes{255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255}));
    EXPECT_TRUE(std::all_of(shortPlt.begin() + 12, shortPlt.end(), [](unsigned char b) { return b == 0; }));
    write("bad.gpl", "GIMP Palette\n1 2\n");
    EXPECT_EQ(qrn("palette bad.gpl x.plt"), 1);
    EXPECT_NE(err.find("bad.gpl:2: three numbers from 0 to 255 expected"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "x.plt"));
}

// A one-cel animation of 4 x 2 pixels: header, offset, record, one
// sequence (cel 0, end) at 18, then the picture at 36.
Bytes smallAnimation() {
    Bytes f = {1, 0, 1, 0, 8, 0, 0, 0, 0, 0, /*offset*/ 0, 0, 0, 0, /*xyz*/ 0, 0, 0, 0, /*count*/ 2, 0};
    f.insert(f.end(), {0, 0, 0, 0, 0, 0, 0, 0});        // cel 0 at 0,0
    f.insert(f.end(), {0, 0, 0, 0, 0xFF, 0xFF, 0, 0});  // end
    // At 36: type 0, 4 x 2, a row filled with colour 7, a row of 4 literals.
    f.insert(f.end(), {0, 0, 4, 0, 2, 0, 0xFF, 7, 4, 4, 1, 2, 3, 4});
    return f;
}

Bytes wave() {
    Bytes f = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
               1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0, 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
    return f;
}

TEST_F(QrnTools, InfoDescribesEachKindAndNamesTheFirstBadOffset) {
    writeBytes("small.ao", smallAnimation());
    writeBytes("sound.wav", wave());
    palette();
    struct Case {
        const char* file;
        const char* expected;
    };
    for (const Case& c : {Case{"small.ao", "kind: animation\n"}, Case{"small.ao", "cels: 1\n"}, Case{"small.ao", "sequences: 1\n"},
                          Case{"small.ao", "sequence 0 entry 1: end\n"}, Case{"small.ao", "cel 0: 4 x 2 indexed, 14 bytes at 36\n"},
                          Case{"sound.wav", "rate: 22050\n"}, Case{"sound.wav", "frames: 2\n"},
                          Case{"palette.plt", "entries: 256\n"}, Case{"palette.plt", "entry 1: #01fe07\n"}}) {
        ASSERT_EQ(qrn(std::string("info ") + c.file), 0) << c.file << ": " << err;
        EXPECT_NE(out.find(c.expected), std::string::npos) << c.file << ":\n" << out;
    }

    // Damage: a byte changed to a value, or the file cut; the offset named.
    struct Damage {
        const char* name;
        Bytes file;
        size_t at;  // byte to change, or the length to cut to
        int value;  // -1: cut
        const char* expected;
    };
    const Bytes ao = smallAnimation(), wav = wave();
    const Damage damages[] = {
        {"x.ao", ao, 0, 0, "offset 0: sequence count 0"},
        {"x.ao", ao, 3, 0x80, "offset 2: cel count -32767"},
        {"x.ao", ao, 2, 0xEA, "offset 10: the cel offset table"},  // 60000 cels
        {"x.ao", ao, 18, 0, "offset 18: sequence 0: entry count 0"},
        {"x.ao", ao, 32, 5, "offset 18: sequence 0: no end entry"},
        {"x.ao", ao, 10, 9, "offset 10: cel 0 at 9"},
        {"x.ao", ao, 41, 0x60, "offset 38: cel 0's picture of 4 x 24578"},
        {"x.ao", ao, 44, 9, "offset 36: cel 0's picture: rows of runs"},
        {"x.ao", ao, 45, -1, "offset 36: cel 0's picture"},
        {"x.wav", wav, 8, 'X', "offset 8: \"WAVE\" expected"},
        {"x.wav", wav, 20, 3, "offset 20: format 3"},
        {"x.wav", wav, 34, 12, "offset 34: 12 bits a sample"},
        {"x.wav", wav, 25, 0, "offset 24: rate 34"},
        {"x.plt", Bytes(1536), 1000, -1, "offset 1000: 1536 bytes expected"},
        {"x.b16", Bytes(40), 0, 32, "offset 4: width 0"},
    };
    for (const Damage& d : damages) {
        Bytes file = d.file;
        if (d.value < 0)
            file.resize(d.at);
        else
            file[d.at] = static_cast<unsigned char>(d.value);
        writeBytes(d.name, file);
        EXPECT_EQ(qrn(std::string("info ") + d.name), 1) << d.expected;
        EXPECT_NE(err.find(std::string(d.name) + ": " + d.expected), std::string::npos) << err;
        // The animation reader agrees that the file is refused.
        if (std::string(d.name) == "x.ao") {
            KvAOLayout layout;
            EXPECT_FALSE(KvAOFile::read(file.data(), file.size(), 0x555, layout)) << d.expected;
        }
    }
}

TEST_F(QrnTools, HostileSizesAreRefusedBeforeAllocating) {
    Bytes b16(40);
    for (const auto& [at, value] : {std::pair{0, 32}, {4, 0x60}, {5, 0xEA}, {8, 0x60}, {9, 0xEA}}) b16[at] = value;
    writeBytes("huge.b16", b16);  // 60000 x 60000
    EXPECT_EQ(qrn("info huge.b16"), 1);
    EXPECT_NE(err.find("offset 4: width 60000"), std::string::npos) << err;
    b16[4] = 0, b16[5] = 0x10, b16[8] = 0, b16[9] = 0x10, b16[19] = 2;  // 4096 x 4096 from 8 bytes of data
    writeBytes("huge.b16", b16);
    EXPECT_EQ(qrn("bg decode huge.b16 out.png"), 1);
    EXPECT_NE(err.find("offset 32: 8 bytes of compressed data cannot hold"), std::string::npos) << err;
    // A PNG whose header claims 5000 x 5000 pixels, then one byte of data.
    const auto chunk = [](Bytes& png, const char* type, const Bytes& body) {
        Bytes typed(type, type + 4);
        typed.insert(typed.end(), body.begin(), body.end());
        uint32_t crc = 0xFFFFFFFF;
        for (const unsigned char b : typed) {
            crc ^= b;
            for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
        crc ^= 0xFFFFFFFF;
        const auto length = static_cast<uint32_t>(body.size());
        for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<unsigned char>(length >> s));
        png.insert(png.end(), typed.begin(), typed.end());
        for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<unsigned char>(crc >> s));
    };
    Bytes huge = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    chunk(huge, "IHDR", {0, 0, 0x13, 0x88, 0, 0, 0x13, 0x88, 8, 2, 0, 0, 0});
    chunk(huge, "IDAT", {0x78});
    writeBytes("huge.png", huge);
    write("huge.toml", "[[cels]]\nimage = \"huge.png\"\n[[sequences]]\nentries = []\n");
    EXPECT_EQ(qrn("pack huge.toml out.ao"), 1);
    EXPECT_NE(err.find("huge.png: the image's 25000000 pixels are more than 16777216"), std::string::npos) << err;
    write("many.toml", "[[cels]]\nimage = \"x.png\"\nframes = 1000000\n[[sequences]]\nentries = []\n");
    EXPECT_EQ(qrn("pack many.toml out.ao"), 1);
    EXPECT_NE(err.find("many.toml:3: frames 1000000: 1 to 32767 expected"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "out.ao"));
}

TEST_F(QrnTools, BadInputEndsWithStatusOneAndNoOutput) {
    palette();
    struct Case {
        const char* manifest;
        const char* expected;
    };
    const Case cases[] = {
        {"frames-per-second = 300\n", "a.toml:1: frames-per-second 300: 0 to 255 expected"},
        {"colour = \"purple\"\n", "a.toml:1: colour: \"indexed\" or \"direct\" expected"},
        {"speed = 3\n", "a.toml:1: unknown key \"speed\""},
        {"frames-per-second = 2e100\n", "a.toml:1: frames-per-second: a whole number expected"},
        {"[[sequences]]\nentries = [{ cel = 0 }]\n", "a.toml:1: cel 0 shown, but there are 0 cels"},
        {"[[cels]]\nimage = \"missing.png\"\n", "a.toml:1: missing.png: cannot open the file"},
        {"[[sequences]]\nentries = [{ command = \"jump\" }]\n", "a.toml:2: command \"jump\""},
        {"position = [1\n", "a.toml:1:"},
    };
    for (const Case& c : cases) {
        write("a.toml", c.manifest);
        EXPECT_EQ(qrn("pack a.toml out.ao"), 1) << c.manifest;
        EXPECT_NE(err.find(c.expected), std::string::npos) << err;
    }
    writeBytes("bad.ao", Bytes(12));
    EXPECT_EQ(qrn("unpack bad.ao out"), 1);
    EXPECT_NE(err.find("bad.ao: offset 0: sequence count 0"), std::string::npos) << err;
    EXPECT_EQ(qrn("bg encode missing.png out.b16"), 1);
    // Nothing written, not even a temporary.
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "a.toml" || name == "bad.ao" || name == "palette.plt" || name.ends_with(".txt")) << name;
    }
}

}  // namespace

// Picture validation, and what the drawers do with pictures that fail it: a
// well-formed picture validates against exactly its bytes; malformed ones are
// refused, and drawn anyway they change nothing outside the clip or the
// drawn box, row padding included.
#include "anim/KvCelRenderer.h"

#include <gtest/gtest.h>

#include "tests/anim/CelReference.h"

using namespace celtest;

namespace {

Bytes words(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values) put16(b, v);
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A direct-colour picture whose row table points at the rows as given.
Bytes directPicture(int w, const std::vector<Bytes>& rows) {
    Bytes b = words({2, w, static_cast<int>(rows.size()), 0});
    uint32_t at = static_cast<uint32_t>(8 + 4 * rows.size());
    for (const Bytes& r : rows) {
        b.insert(b.end(), reinterpret_cast<unsigned char*>(&at), reinterpret_cast<unsigned char*>(&at) + 4);
        at += static_cast<uint32_t>(r.size());
    }
    for (const Bytes& r : rows) b = b + r;
    return b;
}

struct Malformed {
    const char* what;
    Bytes pic;
    bool drawable;  // its header is sound, only its runs are wrong
};

std::vector<Malformed> malformedPictures() {
    const Bytes head = words({0, 4, 2});
    const Bytes goodRow = {0x04, 1, 2, 3, 4};
    Bytes shiftedTable = directPicture(3, {words({1, 3, 7, 8, 9}), words({0, 3})});
    shiftedTable[12] = shiftedTable[8];  // both rows claim the first row's place
    return {
        {"literal past the width", head + Bytes{0x05, 1, 2, 3, 4, 5} + goodRow, true},
        {"fill past the width", head + Bytes{0xFF, 7, 9} + goodRow, true},
        {"skip past the width", head + Bytes{0x00, 2, 0x00, 9} + goodRow, true},
        {"second row missing", head + goodRow, true},
        {"literal cut by the end", head + goodRow + Bytes{0x04, 1, 2}, true},
        {"fill cut by the end", head + Bytes{0xFF, 3}, true},
        {"negative width", words({0, -1, 2}) + goodRow, false},
        {"taller than the limit", words({0, 4, KvCelRenderer::kMaxPictureSide + 1}) + goodRow, false},
        {"header cut", Bytes{0, 0, 4}, false},
        {"direct: unknown opcode", directPicture(3, {words({3, 3}), words({0, 3})}), true},
        {"direct: opaque run past the width",
         directPicture(3, {words({1, 5, 1, 2, 3, 4, 5}), words({0, 3})}), true},
        {"direct: translucent run cut by the end",
         directPicture(3, {words({0, 3}), words({2, 2, 0x1234}) + Bytes{0x80}}), true},
        {"direct: row table past the end", words({2, 3, 50, 0}) + words({0, 3}), false},
        {"direct: row table out of step with the rows", shiftedTable, true},
    };
}

TEST(CelValidate, WellFormedPicturesValidateAgainstExactlyTheirBytes) {
    std::mt19937 rng(41);
    for (int trial = 0; trial < 200; ++trial) {
        const int w = pick(rng, 1, 300), h = pick(rng, 1, 6);
        const Bytes pic = trial % 2 ? randomDirect(rng, w, h) : randomIndexed(rng, w, h);
        EXPECT_TRUE(KvCelRenderer::validate(pic.data(), pic.size()));
        EXPECT_FALSE(KvCelRenderer::validate(pic.data(), pic.size() - 1));
    }
    const Bytes empty = words({0, 0, 0});
    EXPECT_TRUE(KvCelRenderer::validate(empty.data(), empty.size()));
    EXPECT_FALSE(KvCelRenderer::validate(nullptr, 100));
}

TEST(CelValidate, MalformedPicturesAreRefused) {
    for (const Malformed& m : malformedPictures())
        EXPECT_FALSE(KvCelRenderer::validate(m.pic.data(), m.pic.size())) << m.what;
}

// Every byte outside allowed (and all row padding) is as before.
void expectOnlyInside(KvCanvas& canvas, const Bytes& before, const KvRect& allowed) {
    const Bytes after = memoryOf(canvas);
    const int bpp = canvas.getPixelFormat().bytesPerPixel;
    const size_t pitch = after.size() / canvas.getHeight();
    for (size_t i = 0; i < after.size(); ++i) {
        const int memoryRow = static_cast<int>(i / pitch), column = static_cast<int>(i % pitch) / bpp;
        const int y = canvas.isTopDown() ? memoryRow : canvas.getHeight() - 1 - memoryRow;
        const bool padding = column >= canvas.getWidth();
        if (padding || !allowed.contains(KvPoint(column, y))) {
            ASSERT_EQ(after[i], before[i]) << "pixel " << column << "," << y << (padding ? " (padding)" : "");
        }
    }
}

TEST(CelValidate, MalformedPicturesDrawnAnywayStayInsideClipAndBox) {
    std::mt19937 rng(42);
    uint32_t table[256];
    for (uint32_t& e : table) e = rng();
    const uint32_t* saved = KvCelRenderer::currentColorTable;
    KvCelRenderer::currentColorTable = table;
    const KvRect clip(3, 2, 9, 8);
    for (const Malformed& m : malformedPictures()) {
        if (!m.drawable) continue;
        // Runs that read past the picture find rows that end at once: 255-pixel fills
        // (indexed) or 65535-pixel runs of an unknown opcode (direct colour).
        const Bytes buffer = m.pic + Bytes(64, 0xFF);
        const bool direct = get16(m.pic, 0) == 2;
        for (int depth : direct ? std::vector<int>{16} : std::vector<int>{8, 24})
            for (bool bottomUp : {false, true})
                for (unsigned char dir = 0; dir < 8; ++dir) {
                    SCOPED_TRACE(testing::Message() << m.what << " depth " << depth << " bottomUp "
                                                    << bottomUp << " dir " << int(dir));
                    KvMemCanvas canvas(13, 11, depth, 1, bottomUp);  // rows padded
                    setMemory(canvas, randomBytes(rng, canvas.getMemorySize()));
                    for (KvPoint at : {KvPoint(2, 1), KvPoint(6, 5)}) {
                        Bytes before = memoryOf(canvas);
                        KvCelRenderer::draw(at.x, at.y, buffer.data(), &canvas, clip, dir);
                        expectOnlyInside(canvas, before, clip);
                        before = memoryOf(canvas);
                        KvCelRenderer::draw(at.x, at.y, buffer.data(), &canvas, dir);
                        expectOnlyInside(canvas, before, KvCelRenderer::drawnBox(at.x, at.y, buffer.data(), dir));
                    }
                }
    }
    KvCelRenderer::currentColorTable = saved;
}

}  // namespace

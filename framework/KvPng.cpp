// PNG reading and writing through libpng. libpng reports errors by longjmp
// to the setjmp of the function that called it, so every call into libpng
// sits in a small function whose frame holds nothing with a destructor; the
// buffers live in the callers' frames.
#include "framework/KvPng.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// zlib's deflate never makes data more than this many times smaller, so a
// file of N bytes cannot store more than N times this in rows: a header that
// claims more is refused before its pixels are allocated.
constexpr size_t kMaxInflateRatio = 1032;

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

// libpng's error message goes to the reader's text before the jump.
struct Failure {
    char text[128] = "";
};

void pngError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<Failure*>(png_get_error_ptr(png));
    if (failure) std::snprintf(failure->text, sizeof failure->text, "%s", message);
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_uint_32 width = 0, height = 0;
    int colorType = 0;
    int bitDepth = 0;
};

// Header and transforms: indexed images keep one index byte a pixel, every
// other kind becomes 8-bit RGBA.
bool readHeader(Reader& r, FILE* file) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_init_io(r.png, file);
    png_read_info(r.png, r.info);
    png_get_IHDR(r.png, r.info, &r.width, &r.height, &r.bitDepth, &r.colorType, nullptr, nullptr, nullptr);
    if (r.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_packing(r.png);
    } else {
        png_set_expand(r.png);
        png_set_strip_16(r.png);
        png_set_gray_to_rgb(r.png);
        png_set_add_alpha(r.png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    return true;
}

bool readRows(Reader& r, png_bytepp rows) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_read_image(r.png, rows);
    png_read_end(r.png, nullptr);
    return true;
}

struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;
};

// An indexed image (colorType PNG_COLOR_TYPE_PALETTE) also takes its
// palette and, when any entry is not opaque, the entries' alpha.
struct Palette {
    std::vector<png_color> colors;
    std::vector<png_byte> alpha;
};

bool writeImage(Writer& w, FILE* file, int width, int height, int colorType, const Palette* palette,
                png_bytepp rows) {
    if (setjmp(png_jmpbuf(w.png))) return false;
    png_init_io(w.png, file);
    png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette) {
        png_set_PLTE(w.png, w.info, palette->colors.data(), static_cast<int>(palette->colors.size()));
        if (!palette->alpha.empty())
            png_set_tRNS(w.png, w.info, palette->alpha.data(), static_cast<int>(palette->alpha.size()), nullptr);
    }
    png_write_info(w.png, w.info);
    png_write_image(w.png, rows);
    png_write_end(w.png, nullptr);
    return true;
}

bool writeFile(const char* path, int width, int height, int colorType, const Palette* palette, png_bytepp rows) {
    File file(std::fopen(path, "wb"));
    if (!file) return false;
    Failure failure;
    Writer w;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, pngError, pngWarning);
    if (!w.png) return false;
    w.info = png_create_info_struct(w.png);
    const bool ok = w.info && writeImage(w, file.get(), width, height, colorType, palette, rows);
    png_destroy_write_struct(&w.png, &w.info);
    return ok && std::fflush(file.get()) == 0;
}

}  // namespace

bool KvSavePng(const KvCanvas& canvas, const char* path) {
    if (!canvas.isValid() || !path) return false;
    const int width = canvas.getWidth(), height = canvas.getHeight();
    std::vector<png_byte> pixels(static_cast<size_t>(width) * height * 3);
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        png_bytep row = rows[static_cast<size_t>(y)] = pixels.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const KvColor c = canvas.getPixelColor(x, y);
            row[3 * x] = c.r8(), row[3 * x + 1] = c.g8(), row[3 * x + 2] = c.b8();
        }
    }
    return writeFile(path, width, height, PNG_COLOR_TYPE_RGB, nullptr, rows.data());
}

bool KvSavePng(const KvPngImage& image, const char* path) {
    const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    const size_t entries = image.palette.size();
    if (!path || image.width <= 0 || image.height <= 0 || image.width > kKvMaxCanvasSide ||
        image.height > kKvMaxCanvasSide)
        return false;
    if (image.indexed ? image.indices.size() != pixels || entries == 0 || entries > kKvPngMaxPalette ||
                            image.paletteAlpha.size() != entries
                      : image.rgba.size() != 4 * pixels)
        return false;
    Palette palette;
    bool opaque = true;
    for (size_t i = 0; i < entries; ++i) {
        const KvColor& c = image.palette[i];
        palette.colors.push_back(png_color{c.r8(), c.g8(), c.b8()});
        opaque = opaque && image.paletteAlpha[i] == 0xFF;
    }
    if (!opaque) palette.alpha = image.paletteAlpha;
    const size_t bytesPerPixel = image.indexed ? 1 : 4;
    // libpng takes row pointers to non-const bytes but only reads them.
    png_bytep base = const_cast<png_bytep>(image.indexed ? image.indices.data() : image.rgba.data());
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = base + y * bytesPerPixel * static_cast<size_t>(image.width);
    return writeFile(path, image.width, image.height, image.indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGBA,
                     image.indexed ? &palette : nullptr, rows.data());
}

bool KvLoadPng(const char* path, KvPngImage& image, std::string* error, size_t maxPixels) {
    image = KvPngImage();
    const auto fail = [&](const std::string& why) {
        image = KvPngImage();
        if (error) *error = why;
        return false;
    };
    File file(path ? std::fopen(path, "rb") : nullptr);
    if (!file) return fail("cannot open the file");
    png_byte signature[8];
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature || png_sig_cmp(signature, 0, sizeof signature))
        return fail("not a PNG file");
    long fileSize = -1;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) fileSize = std::ftell(file.get());
    if (fileSize < 0) return fail("cannot measure the file");
    std::rewind(file.get());

    Failure failure;
    Reader r;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, pngError, pngWarning);
    if (!r.png) return fail("out of memory");
    r.info = png_create_info_struct(r.png);
    // Frees libpng's structures on every way out.
    const std::unique_ptr<Reader, void (*)(Reader*)> guard(&r, [](Reader* p) { png_destroy_read_struct(&p->png, &p->info, nullptr); });
    if (!r.info || !readHeader(r, file.get())) return fail(std::string("bad PNG: ") + failure.text);
    if (r.width > static_cast<png_uint_32>(kKvMaxCanvasSide) || r.height > static_cast<png_uint_32>(kKvMaxCanvasSide))
        return fail("the image is larger than " + std::to_string(kKvMaxCanvasSide) + " pixels a side");
    if (static_cast<size_t>(r.width) * r.height > maxPixels)
        return fail("the image's " + std::to_string(static_cast<size_t>(r.width) * r.height) + " pixels are more than " +
                    std::to_string(maxPixels));

    const size_t rowBytes = png_get_rowbytes(r.png, r.info);
    const bool indexed = r.colorType == PNG_COLOR_TYPE_PALETTE;
    if (rowBytes != static_cast<size_t>(r.width) * (indexed ? 1 : 4)) return fail("unexpected PNG layout");
    // The rows as stored: samples of bitDepth bits, one filter byte a row.
    const size_t channels = r.colorType == PNG_COLOR_TYPE_RGB_ALPHA    ? 4
                            : r.colorType == PNG_COLOR_TYPE_RGB        ? 3
                            : r.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                       : 1;
    const size_t storedRowBytes = (static_cast<size_t>(r.width) * channels * r.bitDepth + 7) / 8 + 1;
    if (storedRowBytes * r.height / kMaxInflateRatio > static_cast<size_t>(fileSize))
        return fail("a " + std::to_string(r.width) + "x" + std::to_string(r.height) + " image cannot come from a file of " +
                    std::to_string(fileSize) + " bytes");
    std::vector<png_byte> pixels(rowBytes * r.height);
    std::vector<png_bytep> rows(r.height);
    for (png_uint_32 y = 0; y < r.height; ++y) rows[y] = pixels.data() + y * rowBytes;
    if (!readRows(r, rows.data())) return fail(std::string("bad PNG: ") + failure.text);

    image.width = static_cast<int>(r.width);
    image.height = static_cast<int>(r.height);
    image.indexed = indexed;
    if (!indexed) {
        image.rgba = std::move(pixels);
        return true;
    }
    png_colorp plte = nullptr;
    int entries = 0;
    png_get_PLTE(r.png, r.info, &plte, &entries);
    png_bytep alpha = nullptr;
    int alphas = 0;
    if (png_get_valid(r.png, r.info, PNG_INFO_tRNS)) png_get_tRNS(r.png, r.info, &alpha, &alphas, nullptr);
    for (int i = 0; i < entries; ++i) {
        image.palette.push_back(KvColor::fromBytes(plte[i].red, plte[i].green, plte[i].blue));
        image.paletteAlpha.push_back(i < alphas ? alpha[i] : 0xFF);
    }
    image.indices = std::move(pixels);
    image.rgba.resize(image.indices.size() * 4);
    for (size_t p = 0; p < image.indices.size(); ++p) {
        const int i = image.indices[p];
        const bool known = i < entries;
        const KvColor c = known ? image.palette[static_cast<size_t>(i)] : KvColor();
        image.rgba[4 * p] = c.r8(), image.rgba[4 * p + 1] = c.g8(), image.rgba[4 * p + 2] = c.b8();
        image.rgba[4 * p + 3] = known ? image.paletteAlpha[static_cast<size_t>(i)] : 0xFF;
    }
    return true;
}

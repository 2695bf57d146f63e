// The page's canvas: marking, converting and putting the changed area;
// mapping page positions back to canvas pixels.
#include "framework/web/KvWebWindow.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>

#include "framework/KvCanvas.h"
#include "framework/web/KvWebBackend.h"

namespace {

// Sizes the canvas element; false when the page has none.
EM_JS(int, kvWebCanvasOpen, (const char* selector, int width, int height), {
    const canvas = document.querySelector(UTF8ToString(selector));
    if (!canvas) return 0;
    canvas.width = width;
    canvas.height = height;
    return 1;
});

EM_JS(void, kvWebCanvasPut, (const char* selector, const uint8_t* rgba, int x, int y, int width, int height), {
    const canvas = document.querySelector(UTF8ToString(selector));
    if (!canvas) return;
    if (!canvas.qrnContext) canvas.qrnContext = canvas.getContext("2d", {alpha: false});
    const bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    canvas.qrnContext.putImageData(new ImageData(bytes, width, height), x, y);
});

// The canvas's CSS box in client coordinates, into box[0..3]: left, top, width, height.
EM_JS(void, kvWebCanvasBox, (const char* selector, double* box), {
    const canvas = document.querySelector(UTF8ToString(selector));
    const r = canvas ? canvas.getBoundingClientRect() : {left: 0, top: 0, width: 0, height: 0};
    HEAPF64[box >> 3] = r.left;
    HEAPF64[(box >> 3) + 1] = r.top;
    HEAPF64[(box >> 3) + 2] = r.width;
    HEAPF64[(box >> 3) + 3] = r.height;
});

EM_JS(void, kvWebCanvasPointer, (const char* selector, int visible), {
    const canvas = document.querySelector(UTF8ToString(selector));
    if (canvas) canvas.style.cursor = visible ? "default" : "none";
});

EM_JS(void, kvWebTitle, (const char* title), { document.title = UTF8ToString(title); });

}  // namespace

KvWebWindow::KvWebWindow(KvWebBackend* b, KvWindow* o, const KvRect& rect, std::string s)
    : backend(b), owner(o), width(std::max(1, rect.width())), height(std::max(1, rect.height())),
      selector(std::move(s)) {
    open = kvWebCanvasOpen(selector.c_str(), width, height) != 0;
}

KvWebWindow::~KvWebWindow() {
    if (backend) backend->forget(this);
}

void KvWebWindow::present(const KvCanvas& screen, const KvRect& area) {
    source = &screen;
    marked += area * KvRect(0, 0, width, height);
}

void KvWebWindow::setSystemPointerVisible(bool visible) { kvWebCanvasPointer(selector.c_str(), visible ? 1 : 0); }

void KvWebWindow::setTitle(const char* title) { kvWebTitle(title ? title : ""); }

void KvWebWindow::put(const KvRect& r) {
    unsigned char* bits = nullptr;
    int pitch = 0;
    auto* canvas = const_cast<KvCanvas*>(source);  // reading only: the memory interface is not const
    if (!canvas->getPointerToMemory(&bits, &pitch)) return;
    const KvRect area = r * canvas->getBounds();
    if (!area.isEmpty() && canvas->isTopDown()) {
        words.convert(*canvas, bits, pitch, area, converted);
        rgba.resize(converted.size() * 4);
        uint8_t* out = rgba.data();
        for (const uint32_t w : converted) {
            out[0] = static_cast<uint8_t>(w >> 16);
            out[1] = static_cast<uint8_t>(w >> 8);
            out[2] = static_cast<uint8_t>(w);
            out[3] = 0xFF;
            out += 4;
        }
        kvWebCanvasPut(selector.c_str(), rgba.data(), area.left, area.top, area.width(), area.height());
        putPixels += static_cast<unsigned long long>(area.width()) * area.height();
        ++puts;
    }
    canvas->releasePointerToMemory();
}

bool KvWebWindow::show() {
    if (!open || !source || marked.isNull()) return false;
    for (int i = 0, n = marked.rectCount(); i < n; ++i) put(marked.rect(i));
    marked.set();
    return true;
}

KvPoint KvWebWindow::toCanvas(double clientX, double clientY) {
    double box[4];
    kvWebCanvasBox(selector.c_str(), box);
    double x = clientX - box[0], y = clientY - box[1];
    if (box[2] > 0 && box[3] > 0) {
        x = x * width / box[2];
        y = y * height / box[3];
    }
    pointerAt = KvPoint{static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))};
    return pointerAt;
}

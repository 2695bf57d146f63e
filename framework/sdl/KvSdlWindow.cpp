// SDL windows: marking, uploading and rendering the canvas; mapping the
// pointer back to canvas pixels.
#include "framework/sdl/KvSdlWindow.h"

#include <SDL.h>

#include <algorithm>

#include "framework/KvCanvas.h"
#include "framework/sdl/KvSdlBackend.h"

namespace {

// 24 and 32-bit canvases go to the texture as they are. Five- and six-bit
// channels are widened here, by bit replication as the framework's colours
// are: SDL's own widening shifts without replicating, or rounds through
// floats on the GPU, so the same canvas would show other colours on
// different renderers. An 8-bit canvas goes through its palette.
Uint32 textureFormat(int depth) {
    return depth == 24 ? SDL_PIXELFORMAT_BGR24  // bytes blue, green, red
                       : SDL_PIXELFORMAT_RGB888;
}

// Floor division, so that positions left of or above the picture stay negative.
int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

KvSdlWindow::KvSdlWindow(KvSdlBackend* b, KvWindow* o, const KvRect& rect, int d, int scale, bool fullscreen)
    : backend(b), owner(o), width(std::max(1, rect.width())), height(std::max(1, rect.height())), depth(d),
      fixedScale(scale) {
    int s = scale;
    if (s <= 0) {
        // The largest whole factor whose window fits the desktop's usable area.
        SDL_Rect usable{0, 0, width, height};
        SDL_GetDisplayUsableBounds(0, &usable);
        s = std::clamp(std::min(usable.w / width, usable.h / height), 1, KvSdlBackend::kMaxScale);
    }
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window = SDL_CreateWindow("qrn", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width * s, height * s, flags);
    if (!window) return;
    id = SDL_GetWindowID(window);
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer) return;
    texture = SDL_CreateTexture(renderer, textureFormat(depth), SDL_TEXTUREACCESS_STREAMING, width, height);
    if (texture) SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
}

KvSdlWindow::~KvSdlWindow() {
    if (backend) backend->forget(this);
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
}

void KvSdlWindow::present(const KvCanvas& screen, const KvRect& area) {
    source = &screen;
    marked += area * KvRect(0, 0, width, height);
}

void KvSdlWindow::setSystemPointerVisible(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

void KvSdlWindow::setTitle(const char* title) {
    if (window) SDL_SetWindowTitle(window, title ? title : "");
}

void KvSdlWindow::upload(const KvRect& r) {
    unsigned char* bits = nullptr;
    int pitch = 0;
    auto* canvas = const_cast<KvCanvas*>(source);  // reading only: the memory interface is not const
    if (!canvas->getPointerToMemory(&bits, &pitch)) return;
    const KvRect area = r * canvas->getBounds();
    if (!area.isEmpty() && canvas->isTopDown()) {
        const SDL_Rect dst{area.left, area.top, area.width(), area.height()};
        const int bpp = canvas->getPixelFormat().bytesPerPixel;
        const unsigned char* first = bits + static_cast<size_t>(area.top) * pitch + static_cast<size_t>(area.left) * bpp;
        const KvPixelFormat& format = canvas->getPixelFormat();
        if (format.isIndexed() || bpp == 2) {
            words.convert(*canvas, bits, pitch, area, converted);
            SDL_UpdateTexture(texture, &dst, converted.data(), area.width() * 4);
        } else {
            SDL_UpdateTexture(texture, &dst, first, pitch);
        }
        uploadedPixels += static_cast<unsigned long long>(area.width()) * area.height();
        ++uploads;
    }
    canvas->releasePointerToMemory();
}

bool KvSdlWindow::show() {
    if (!uploadMarked() && !repaint) return false;
    render();
    return true;
}

bool KvSdlWindow::uploadMarked() {
    if (!texture || !source || marked.isNull()) return false;
    for (int i = 0, n = marked.rectCount(); i < n; ++i) upload(marked.rect(i));
    marked.set();
    return true;
}

void KvSdlWindow::render() {
    if (!texture) return;
    repaint = false;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    const KvRect at = placement();
    const SDL_Rect dst{at.left, at.top, at.width(), at.height()};
    SDL_RenderCopy(renderer, texture, nullptr, &dst);
    SDL_RenderPresent(renderer);
}

int KvSdlWindow::currentScale() const {
    if (fixedScale > 0) return fixedScale;
    int w = width, h = height;
    if (renderer) SDL_GetRendererOutputSize(renderer, &w, &h);
    return std::clamp(std::min(w / width, h / height), 1, KvSdlBackend::kMaxScale);
}

KvRect KvSdlWindow::placement() const {
    int w = width, h = height;
    if (renderer) SDL_GetRendererOutputSize(renderer, &w, &h);
    const int s = currentScale();
    const int left = (w - width * s) / 2, top = (h - height * s) / 2;
    return KvRect(left, top, left + width * s, top + height * s);
}

KvPoint KvSdlWindow::toCanvas(int x, int y) {
    // Window points and output pixels differ on high-density displays.
    int pointsW = 1, pointsH = 1, pixelsW = 1, pixelsH = 1;
    if (window) SDL_GetWindowSize(window, &pointsW, &pointsH);
    if (renderer) SDL_GetRendererOutputSize(renderer, &pixelsW, &pixelsH);
    if (pointsW > 0 && pointsH > 0) {
        x = static_cast<int>(static_cast<long long>(x) * pixelsW / pointsW);
        y = static_cast<int>(static_cast<long long>(y) * pixelsH / pointsH);
    }
    const KvRect at = placement();
    const int s = currentScale();
    pointerAt = KvPoint{floorDiv(x - at.left, s), floorDiv(y - at.top, s)};
    return pointerAt;
}

bool KvSdlWindow::isFullscreen() const {
    return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void KvSdlWindow::toggleFullscreen() {
    if (!window) return;
    SDL_SetWindowFullscreen(window, isFullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    repaint = true;
}

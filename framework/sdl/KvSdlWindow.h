// One framework window as an SDL window, a renderer and a streaming texture
// of the canvas's size. 24 and 32-bit canvases are copied to a texture of
// their own format; 8, 15 and 16-bit canvases are widened to X-R-G-B here
// (see textureFormat for why).
//
// present() only marks areas (in a region of canvas pixels). show() uploads
// the marked rectangles, once each, and renders the texture scaled by a whole
// factor, centred, with black bars. A window that was exposed or resized is
// rendered again without an upload.
//
// Like the backend's header, this one names no SDL header, so that tests can
// look at a window's counters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/KvBackend.h"
#include "framework/KvCanvasWords.h"
#include "framework/KvRegion.h"

class KvCanvas;
class KvSdlBackend;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

class KvSdlWindow : public KvBackendWindow {
public:
    KvSdlWindow(KvSdlBackend* backend, KvWindow* owner, const KvRect& rect, int depth, int scale,
                bool fullscreen);
    ~KvSdlWindow() override;
    KvSdlWindow(const KvSdlWindow&) = delete;
    KvSdlWindow& operator=(const KvSdlWindow&) = delete;

    // Whether the SDL window, renderer and texture were all made.
    bool isOpen() const { return texture != nullptr; }

    void present(const KvCanvas& screen, const KvRect& area) override;
    KvPoint pointer() const override { return pointerAt; }
    void setSystemPointerVisible(bool visible) override;
    void setTitle(const char* title) override;

    // Upload what was marked and render; nothing at all when nothing was
    // marked and the window needs no repaint. Returns whether it rendered.
    bool show();
    // show()'s two steps: the marked areas to the texture (false: none were
    // marked), and the texture to the window.
    bool uploadMarked();
    void render();
    // The window must be rendered again (exposed, resized).
    void needRepaint() { repaint = true; }
    void toggleFullscreen();
    bool isFullscreen() const;
    // A position in window points as canvas pixels; also remembered as the pointer.
    KvPoint toCanvas(int x, int y);
    // The whole-number factor the picture is shown at now.
    int currentScale() const;

    KvWindow* getOwner() const { return owner; }
    uint32_t getId() const { return id; }
    // Pixels uploaded to the texture so far, and uploads made (for tests and benchmarks).
    unsigned long long getUploadedPixels() const { return uploadedPixels; }
    unsigned long getUploadCount() const { return uploads; }

private:
    friend class KvSdlBackend;
    // Where the picture goes in the renderer's output.
    KvRect placement() const;
    void upload(const KvRect& r);

    KvSdlBackend* backend;
    KvWindow* owner;
    int width, height, depth;
    int fixedScale;  // 0: the largest that fits
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    uint32_t id = 0;
    const KvCanvas* source = nullptr;  // the window canvas, as last presented
    KvRegion marked;
    bool repaint = true;
    KvPoint pointerAt;
    KvCanvasWords words;
    std::vector<uint32_t> converted;  // the rectangle being uploaded, widened
    unsigned long long uploadedPixels = 0;
    unsigned long uploads = 0;
};

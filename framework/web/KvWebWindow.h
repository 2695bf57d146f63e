// One framework window as the page's canvas. The canvas element is sized to
// the window's canvas in pixels; the page scales it with CSS as it likes.
//
// present() only marks areas (a region of canvas pixels). show() converts each
// marked rectangle once to R-G-B-A bytes and puts it on the canvas with
// putImageData, so a pass that changed a little sends a little. 8-bit canvases
// go through their palette; 15 and 16-bit ones are widened by bit replication,
// as the framework's colours are, so the page shows exactly the canvas's
// colours (and the same as "qrn run --screenshot").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/KvBackend.h"
#include "framework/KvCanvasWords.h"
#include "framework/KvRegion.h"

class KvCanvas;
class KvWebBackend;

class KvWebWindow : public KvBackendWindow {
public:
    KvWebWindow(KvWebBackend* backend, KvWindow* owner, const KvRect& rect, std::string selector);
    ~KvWebWindow() override;
    KvWebWindow(const KvWebWindow&) = delete;
    KvWebWindow& operator=(const KvWebWindow&) = delete;

    // Whether the page has the canvas.
    bool isOpen() const { return open; }

    void present(const KvCanvas& screen, const KvRect& area) override;
    KvPoint pointer() const override { return pointerAt; }
    void setSystemPointerVisible(bool visible) override;
    void setTitle(const char* title) override;

    // Puts what was marked on the canvas; false when nothing was.
    bool show();
    // A position in the page's CSS pixels (client coordinates) as canvas
    // pixels, through the canvas's CSS box; also remembered as the pointer.
    KvPoint toCanvas(double clientX, double clientY);

    KvWindow* getOwner() const { return owner; }
    // Pixels put on the canvas so far, and puts made (for tests and benchmarks).
    unsigned long long getPutPixels() const { return putPixels; }
    unsigned long getPutCount() const { return puts; }

private:
    friend class KvWebBackend;
    void put(const KvRect& r);

    KvWebBackend* backend;
    KvWindow* owner;
    int width, height;
    std::string selector;
    bool open = false;
    const KvCanvas* source = nullptr;  // the window canvas, as last presented
    KvRegion marked;
    KvPoint pointerAt;
    KvCanvasWords words;
    std::vector<uint32_t> converted;  // the rectangle being put, as words
    std::vector<uint8_t> rgba;        // and as the page's R-G-B-A bytes
    unsigned long long putPixels = 0;
    unsigned long puts = 0;
};

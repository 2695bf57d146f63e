// Compressed 16-bit backgrounds: any bytes, decoded at every display depth and
// row order both from a stream into a canvas made for them and in place into
// an existing canvas, give a picture or black, never a read or write outside
// the file or canvas, and no allocation for a header's hostile size.
#include <cstdint>
#include <vector>

#include "background/Background16.h"
#include "framework/KvBackend.h"
#include "framework/KvIStream.h"
#include "framework/headless/KvHeadlessBackend.h"

namespace {
// Damaged images are reported to the user; a fuzzer finds thousands.
class QuietBackend : public KvHeadlessBackend {
public:
    void userMessage(const char*) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QuietBackend backend;
    KvBackend::install(&backend);
    for (int depth : {8, 15, 16, 24, 32})
        for (bool bottomUp : {false, true}) {
            if (!backend.setDisplayDepth(depth)) continue;
            Background16::setBottomUpCanvases(bottomUp);
            Background16 loaded(new KvIStreamMemory(data, static_cast<long>(size)));
            if (!loaded.bkGetCanvas()) continue;
            std::vector<unsigned char> file(data, data + size);
            loaded.draw(file.data(), file.size());
        }
    Background16::setBottomUpCanvases(false);
    KvBackend::install(nullptr);
    return 0;
}

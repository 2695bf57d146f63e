// Compressed 16-bit backgrounds: any bytes, decoded at a display depth and row
// order both from a stream into a canvas made for them and in place into an
// existing canvas, give a picture or black, never a read or write outside the
// file or canvas, and no allocation for a header's hostile size.
// Each input is decoded in one of the ten depth and row-order combinations,
// chosen by a hash of its bytes: the same input always takes the same one,
// so a finding replays as found, and the fuzzer's variations spread over all
// ten at a tenth of the cost of decoding every input ten times.
#include <cstdint>
#include <iterator>
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

constexpr int kDepths[] = {8, 15, 16, 24, 32};

uint32_t fnv1a(const uint8_t* data, size_t size) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QuietBackend backend;
    const uint32_t choice = fnv1a(data, size) % (2 * std::size(kDepths));
    const bool bottomUp = choice & 1;
    KvBackend::install(&backend);
    if (backend.setDisplayDepth(kDepths[choice / 2])) {
        Background16::setBottomUpCanvases(bottomUp);
        Background16 loaded(new KvIStreamMemory(data, static_cast<long>(size)));
        if (loaded.bkGetCanvas()) {
            std::vector<unsigned char> file(data, data + size);
            loaded.draw(file.data(), file.size());
        }
    }
    Background16::setBottomUpCanvases(false);
    KvBackend::install(nullptr);
    return 0;
}

// Recorded sessions: any text is read whole or refused with the line it
// stopped at, and a refused one leaves the recording empty.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/KvRecording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KvRecording recording;
    std::string error;
    if (!recording.parse(std::string(reinterpret_cast<const char*>(data), size), error) &&
        (error.empty() || !recording.passes.empty()))
        std::abort();
    return 0;
}

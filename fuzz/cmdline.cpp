// Creation from a command line: any text is split into parameters within the
// command-line buffer, or refused, and the factory reads them safely.
#include <cstdint>
#include <string>

#include "sob/KvSR.h"
#include "sob/KvScriptableObject.h"

namespace {
class Probe : public KvScriptableObject {
public:
    KvScriptableObject* copy() const override { return nullptr; }
    void sobAssignProperties() override {}
};

KvScriptableObject* makeProbe() {
    // Read every parameter the line produced, as a factory would.
    for (int i = 0; i < KvScriptableObject::countParameters(); ++i) KvScriptableObject::nextParameter();
    return new Probe;
}

KvSR probeRecord("Probe", makeProbe);
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KvSR::setDynamicLoad(0);
    const std::string line(reinterpret_cast<const char*>(data), size);
    delete KvScriptableObject::createFromCommandLine("probe", line.c_str());
    return 0;
}

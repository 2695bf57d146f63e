// Test plug-in "Misnamed.lrn": its only class, "Cog", is not named after the
// file, so no record carries the file's name.
#include "sob/QrnPlugin.h"

namespace {
class Cog : public KvScriptableObject {
public:
    KvScriptableObject* copy() const override {
        auto* twin = new Cog();
        return sobClone(twin), twin;
    }
    void sobAssignProperties() override {}
};

KvSR cogRecord("Cog", KvSRFactory<Cog>);
}  // namespace

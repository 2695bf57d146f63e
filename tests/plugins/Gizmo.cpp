// Test plug-in "Gizmo.lrn": registers the class "Gizmo". A gizmo has a size
// (data "size", creation parameter 1) and a method "grow" (parameter: the
// step, default 1).
#include "sob/QrnPlugin.h"

#include <cstdio>
#include <cstdlib>

namespace {
class Gizmo : public KvScriptableObject {
public:
    explicit Gizmo(int s = std::atoi(nextParameter())) : size(s) {}
    KvScriptableObject* copy() const override {
        auto* twin = new Gizmo(size);
        return sobClone(twin), twin;
    }
    void sobAssignProperties() override {
        const KvMemberLink<Gizmo> setter(this, &Gizmo::setSize), getter(this, &Gizmo::getSize), grower(this, &Gizmo::grow);
        sobAddDataProperty("size", &setter, &getter);
        sobAddMethodProperty("grow", &grower);
    }

private:
    void setSize(const void* value) { size = std::atoi(static_cast<const char*>(value)); }
    void getSize(const void* buffer) const { std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%d", size); }
    void grow() {
        const char* step = nextParameter();
        size += *step ? std::atoi(step) : 1;
    }

    int size;
};

KvSR gizmoRecord("Gizmo", KvSRFactory<Gizmo>);
}  // namespace

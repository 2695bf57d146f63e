// Test plug-in "Gizmo.lrn": registers the class "Gizmo".
// A gizmo has a size (data "size", creation parameter 1), a method "grow"
// (parameter: the step, default 1) that passes the event "grown".
#include "sob/QrnPlugin.h"

#include <cstdio>
#include <cstdlib>

namespace {
class Gizmo : public KvScriptableObject {
public:
    Gizmo() : size(std::atoi(nextParameter())) {}

    KvScriptableObject* copy() const override {
        Gizmo* twin = new Gizmo(size);
        sobClone(twin);
        return twin;
    }

    void sobAssignProperties() override {
        const KvMemberLink<Gizmo> setter(this, &Gizmo::setSize);
        const KvMemberLink<Gizmo> getter(this, &Gizmo::getSize);
        const KvMemberLink<Gizmo> grower(this, &Gizmo::grow);
        sobAddDataProperty("size", &setter, &getter);
        sobAddMethodProperty("grow", &grower);
        sobAddEventProperty("grown");
    }

private:
    explicit Gizmo(int s) : size(s) {}

    void setSize(const void* value) { size = std::atoi(static_cast<const char*>(value)); }
    void getSize(const void* buffer) const {
        std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%d", size);
    }
    void grow() {
        const char* step = nextParameter();
        size += *step ? std::atoi(step) : 1;
        sobPass("grown");
    }

    int size;
};

KvSR gizmoRecord("Gizmo", KvSRFactory<Gizmo>);
}  // namespace

// Test plug-in "Widget.pack.lrn": one library, two classes. "Widget" is named
// after the file (before its first full stop) and takes the library handle;
// "Sprocket" lives and goes with it, and publishes its first creation
// parameter as the read-only number "teeth".
#include "sob/QrnPlugin.h"

#include <cstdio>
#include <cstdlib>

namespace {
class Widget : public KvScriptableObject {
public:
    KvScriptableObject* copy() const override {
        auto* twin = new Widget();
        return sobClone(twin), twin;
    }
    void sobAssignProperties() override {}
};

class Sprocket : public KvScriptableObject {
public:
    explicit Sprocket(int n = std::atoi(nextParameter())) : teeth(n) {}
    KvScriptableObject* copy() const override {
        auto* twin = new Sprocket(teeth);
        return sobClone(twin), twin;
    }
    void sobAssignProperties() override {
        const KvMemberLink<Sprocket> getter(this, &Sprocket::getTeeth);
        sobAddDataProperty("teeth", nullptr, &getter);
    }

private:
    void getTeeth(const void* buffer) const { std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%d", teeth); }
    int teeth;
};

KvSR widgetRecord("Widget", KvSRFactory<Widget>);
KvSR sprocketRecord("Sprocket", KvSRFactory<Sprocket>);
}  // namespace

// Test plug-in "Widget.pack.lrn": one library, two classes. "Widget" is named
// after the file (before its first full stop) and takes the library handle;
// "Sprocket" lives and goes with it. Each publishes one read-only value.
#include "sob/QrnPlugin.h"

#include <cstdio>
#include <cstdlib>

namespace {
class Widget : public KvScriptableObject {
public:
    KvScriptableObject* copy() const override {
        Widget* twin = new Widget();
        sobClone(twin);
        return twin;
    }
    void sobAssignProperties() override {
        const KvMemberLink<Widget> getter(this, &Widget::getKind);
        sobAddDataProperty("kind", nullptr, &getter);
    }

private:
    void getKind(const void* buffer) const { std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "widget"); }
};

class Sprocket : public KvScriptableObject {
public:
    Sprocket() : teeth(std::atoi(nextParameter())) {}
    KvScriptableObject* copy() const override {
        Sprocket* twin = new Sprocket();
        twin->teeth = teeth;
        sobClone(twin);
        return twin;
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

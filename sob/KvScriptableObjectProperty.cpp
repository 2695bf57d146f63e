// The property base: name matching and ownership of the first link.
#include "sob/KvScriptableObjectProperty.h"

#include "sob/KvScriptableObject.h"

#include <cstring>

KvScriptableObjectProperty::KvScriptableObjectProperty(KvScriptableObjectPropertyType t, const char* n,
                                                       const KvLink* l, KvScriptableObject* owner)
    : type(t), name(n), link(cloneFor(l, owner)) {}

KvScriptableObjectProperty::~KvScriptableObjectProperty() { delete link; }

int KvScriptableObjectProperty::set(const char*) { return 0; }

const char* KvScriptableObjectProperty::get() const { return KvScriptableObject::undefinedValue; }

int KvScriptableObjectProperty::act() const { return 0; }

KvLink* KvScriptableObjectProperty::cloneFor(const KvLink* l, KvScriptableObject* owner) {
    KvLink* copy = l ? l->clone() : nullptr;
    if (copy && owner) copy->setTarget(owner);
    return copy;
}

// Names are NUL-terminated byte strings; equal byte strings are equal whatever
// multibyte encoding they use, so a plain byte comparison decides.
int KvScriptableObjectProperty::find(const void* n) const {
    return n && name && std::strcmp(name, static_cast<const char*>(n)) == 0 ? 1 : 0;
}

int KvScriptableObjectProperty::findData(const void* n) const { return type == sobData ? find(n) : 0; }

int KvScriptableObjectProperty::findEvent(const void* n) const { return type == sobEvent ? find(n) : 0; }

int KvScriptableObjectProperty::findMethod(const void* n) const { return type == sobMethod ? find(n) : 0; }

void KvScriptableObjectProperty::setLink(const KvLink* l) { KvLink::assign(link, l); }

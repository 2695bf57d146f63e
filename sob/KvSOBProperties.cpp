// Data, method and event properties. The data getter writes into the one
// shared value buffer; whatever it writes, the text handed back is cut to the
// buffer's last byte, so a reader never runs past the buffer.
#include "sob/KvSOBProperties.h"

#include "sob/KvScriptableObject.h"

// ---- data ----

KvSOBDataProperty::KvSOBDataProperty(const char* n, const KvLink* setter, const KvLink* g,
                                     KvScriptableObject* owner)
    : KvScriptableObjectProperty(sobData, n, setter, owner), getter(cloneFor(g, owner)) {}

KvSOBDataProperty::~KvSOBDataProperty() { delete getter; }

KvScriptableObjectProperty* KvSOBDataProperty::copyFor(KvScriptableObject* newOwner) const {
    return new KvSOBDataProperty(getName(), getLink(), getter, newOwner);
}

int KvSOBDataProperty::set(const char* value) {
    if (!getLink() || !value) return 0;
    (*getLink())(value);
    return 1;
}

const char* KvSOBDataProperty::get() const {
    char* buffer = KvScriptableObject::sobValueBuffer;
    if (getter) {
        (*getter)(buffer);
        buffer[kKvSobValueBufferSize - 1] = '\0';
    }
    return buffer;
}

// ---- method ----

KvSOBMethodProperty::KvSOBMethodProperty(const char* n, const KvLink* action, KvScriptableObject* owner)
    : KvScriptableObjectProperty(sobMethod, n, action, owner) {}

KvScriptableObjectProperty* KvSOBMethodProperty::copyFor(KvScriptableObject* newOwner) const {
    return new KvSOBMethodProperty(getName(), getLink(), newOwner);
}

int KvSOBMethodProperty::act() const {
    if (!getLink()) return 0;
    KvScriptableObject::prepareParameters();
    getLink()->call();
    return 1;
}

// ---- event ----

KvSOBEventProperty::KvSOBEventProperty(const char* n, const KvLink* handler, const KvLink* c)
    : KvScriptableObjectProperty(sobEvent, n, handler, nullptr), cloneLink(cloneFor(c, nullptr)) {}

// The clone link goes first, then the base deletes the handler.
KvSOBEventProperty::~KvSOBEventProperty() { delete cloneLink; }

KvScriptableObjectProperty* KvSOBEventProperty::copyFor(KvScriptableObject* newOwner) const {
    KvSOBEventProperty* copy = new KvSOBEventProperty(getName(), getLink(), nullptr);
    if (cloneLink) {
        KvSOBCloneInfo info{copy->getLink(), newOwner};
        (*cloneLink)(&info);
    }
    return copy;
}

int KvSOBEventProperty::act() const {
    if (!getLink() || KvScriptableObject::sobCallInProgress) return 0;
    getLink()->call();
    return 1;
}

void KvSOBEventProperty::bind(const KvLink* handler, const KvLink* c) {
    setLink(handler);
    KvLink::assign(cloneLink, c);
}

// The three concrete property kinds, internal to the library: objects make
// them through sobAddDataProperty, sobAddMethodProperty and
// sobAddEventProperty. Copies for a new owner retarget the data and method
// links (they call members of the owner) but never the event handler, which
// belongs to whoever bound it.
#pragma once

#include "sob/KvScriptableObjectProperty.h"

// link: the setter, called with the value text. getter: called with the
// shared value buffer, into which it writes the value.
class KvSOBDataProperty : public KvScriptableObjectProperty {
public:
    KvSOBDataProperty(const char* name, const KvLink* setter, const KvLink* getter, KvScriptableObject* owner);
    ~KvSOBDataProperty() override;

    KvScriptableObjectProperty* copyFor(KvScriptableObject* newOwner) const override;
    int set(const char* value) override;
    const char* get() const override;

private:
    KvLink* getter;
};

// link: the action, called with no argument; it reads the shared parameter list.
class KvSOBMethodProperty : public KvScriptableObjectProperty {
public:
    KvSOBMethodProperty(const char* name, const KvLink* action, KvScriptableObject* owner);

    KvScriptableObjectProperty* copyFor(KvScriptableObject* newOwner) const override;
    int act() const override;
};

// link: the handler, run when the object passes the event. cloneLink: run when
// the event is copied for another object, with a KvSOBCloneInfo.
class KvSOBEventProperty : public KvScriptableObjectProperty {
public:
    explicit KvSOBEventProperty(const char* name, const KvLink* handler = nullptr,
                                const KvLink* cloneLink = nullptr);
    ~KvSOBEventProperty() override;

    KvScriptableObjectProperty* copyFor(KvScriptableObject* newOwner) const override;
    int act() const override;

    // Binding: both links are replaced by clones (null clears), not retargeted.
    void bind(const KvLink* handler, const KvLink* cloneLink);

private:
    KvLink* cloneLink;
};

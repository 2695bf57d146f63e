// One named property of a scriptable object: a data value (setter and getter
// links), a method (action link) or an event (handler link). The name is a
// pointer to a text that outlives the property (a static string); it is not
// copied. The property owns its link, always a clone of the link it was
// given, and deletes it when it dies.
#pragma once

#include "framework/KvLink.h"

#include <cstdint>

class KvScriptableObject;

enum KvScriptableObjectPropertyType : int32_t { sobData = 0, sobEvent = 1, sobMethod = 2 };

// The code of the latest failed property operation.
enum KvSOBPropertyError : int32_t {
    sobNoError = 0,         // nothing failed yet
    sobNoSuchProperty = 1,  // no property of that name and of the kind needed
    sobPropertyFailed = 2,  // the property exists but refused
};

// Handed by pointer to an event's clone link when the event is copied for a
// new owner, so that whoever bound the handler can rebind the copy.
struct KvSOBCloneInfo {
    KvLink* link;               // the copy's handler (may be null)
    KvScriptableObject* owner;  // the object that receives the copy
};

class KvScriptableObjectProperty {
public:
    KvScriptableObjectProperty(const KvScriptableObjectProperty&) = delete;
    KvScriptableObjectProperty& operator=(const KvScriptableObjectProperty&) = delete;

    virtual KvScriptableObjectProperty* copyFor(KvScriptableObject* newOwner) const = 0;
    // Base behaviour: refuse (0), read "undefined" (undefinedValue), refuse (0).
    virtual int set(const char* value);
    virtual const char* get() const;
    virtual int act() const;
    virtual ~KvScriptableObjectProperty();

    KvScriptableObjectPropertyType getType() const { return type; }
    const char* getName() const { return name; }

protected:
    // Stores a clone of link (null if none), retargeted at owner when both exist.
    KvScriptableObjectProperty(KvScriptableObjectPropertyType type, const char* name, const KvLink* link,
                               KvScriptableObject* owner);

    // 1 when the names are equal (byte for byte, case-sensitive); the typed
    // forms also require the kind.
    int find(const void* name) const;
    int findData(const void* name) const;
    int findEvent(const void* name) const;
    int findMethod(const void* name) const;

    void setLink(const KvLink* link);
    KvLink* getLink() const { return link; }

    // The clone-and-retarget rule that every property applies to the links it stores.
    static KvLink* cloneFor(const KvLink* link, KvScriptableObject* owner);

private:
    friend class KvScriptableObject;

    KvScriptableObjectPropertyType type;
    const char* name;
    KvLink* link;
};

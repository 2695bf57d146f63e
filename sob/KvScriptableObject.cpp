// Scriptable objects: the property table and the operations scripts use on it.
// Invariants: a property name occurs at most once in a table (adding replaces
// and moves to the end); theLastPropertyError is written only by failures;
// sobCallInProgress is a plain flag, so a nested sobSet/sobPlay clears it
// for the rest of the outer call too.
#include "sob/KvScriptableObject.h"

#include "sob/KvSOBProperties.h"
#include "sob/KvSR.h"

const char* const KvScriptableObject::kKvEndOfParameters = "\x01";
const char* const KvScriptableObject::undefinedValue = "undefined";
const char* const KvScriptableObject::sobBornEvent = "born";
const char* const KvScriptableObject::sobDefaultMethod = "default";

KvSOBPropertyError KvScriptableObject::theLastPropertyError = sobNoError;
char KvScriptableObject::sobValueBuffer[kKvSobValueBufferSize];
int KvScriptableObject::sobCallInProgress = 0;
KvScriptableObject* KvScriptableObject::newborn = nullptr;

KvScriptableObject::KvScriptableObject()
    : properties(new KvList<KvScriptableObjectProperty>), clientData(nullptr), syncLink(nullptr),
      className(nullptr) {
    sobAddEventProperty(sobBornEvent);
}

KvScriptableObject::~KvScriptableObject() {
    while (KvScriptableObjectProperty* p = properties->first()) {
        properties->remove(p);
        delete p;
    }
    delete properties;
    delete syncLink;
}

void KvScriptableObject::sobGetInfo(char*) const {}

// ---- the table ----

KvScriptableObjectProperty* KvScriptableObject::findProperty(
    const char* name, int (KvScriptableObjectProperty::*match)(const void*) const) const {
    KvList<KvScriptableObjectProperty>::Cursor c(*properties);
    for (KvScriptableObjectProperty* p = c.first(); p; p = c.next())
        if ((p->*match)(name)) return p;
    return nullptr;
}

void KvScriptableObject::sobAddProperty(KvScriptableObjectProperty* const property) {
    if (KvScriptableObjectProperty* old = findProperty(property->name, &KvScriptableObjectProperty::find)) {
        properties->remove(old);
        delete old;
    }
    properties->append(property);
}

void KvScriptableObject::sobAddDataProperty(const char* name, const KvLink* setter, const KvLink* getter) {
    sobAddProperty(new KvSOBDataProperty(name, setter, getter, nullptr));
}

void KvScriptableObject::sobAddMethodProperty(const char* name, const KvLink* action) {
    sobAddProperty(new KvSOBMethodProperty(name, action, nullptr));
}

void KvScriptableObject::sobAddMethodProperty(const KvLink* action) {
    sobAddMethodProperty(sobDefaultMethod, action);
}

void KvScriptableObject::sobAddEventProperty(const char* name) { sobAddProperty(new KvSOBEventProperty(name)); }

void KvScriptableObject::sobRemoveProperty(const char* name) {
    KvScriptableObjectProperty* p = findProperty(name, &KvScriptableObjectProperty::find);
    if (!p) {
        theLastPropertyError = sobNoSuchProperty;
        return;
    }
    properties->remove(p);
    delete p;
}

// ---- operations ----

int KvScriptableObject::sobSet(const char* name, const char* value) {
    prepareParameters();  // a setter may read extra parameters
    KvScriptableObjectProperty* p = findProperty(name, &KvScriptableObjectProperty::find);
    if (!p) {
        theLastPropertyError = sobNoSuchProperty;
        return 0;
    }
    sobCallInProgress = 1;
    const int result = p->set(value);
    sobCallInProgress = 0;
    if (!result) theLastPropertyError = sobPropertyFailed;
    return result;
}

int KvScriptableObject::sobSet(const char* name, const KvLink* handler, const KvLink* cloneLink) {
    KvScriptableObjectProperty* p = findProperty(name, &KvScriptableObjectProperty::findEvent);
    if (!p) {
        theLastPropertyError = sobNoSuchProperty;
        return 0;
    }
    static_cast<KvSOBEventProperty*>(p)->bind(handler, cloneLink);
    return 1;
}

const char* KvScriptableObject::sobGet(const char* name) const {
    prepareParameters();  // a getter may read parameters
    KvScriptableObjectProperty* p = findProperty(name, &KvScriptableObjectProperty::findData);
    if (!p) {
        theLastPropertyError = sobNoSuchProperty;
        return nullptr;
    }
    const char* value = p->get();
    if (value == undefinedValue) theLastPropertyError = sobPropertyFailed;
    return value;
}

int KvScriptableObject::sobPlay(const char* name, const char* parameter, ...) const {
    va_list rest;
    va_start(rest, parameter);
    takeParameters(parameter, rest);
    va_end(rest);
    KvScriptableObjectProperty* p = findProperty(name, &KvScriptableObjectProperty::findMethod);
    if (!p) {
        theLastPropertyError = sobNoSuchProperty;
        return 0;
    }
    sobCallInProgress = 1;
    const int result = p->act();
    sobCallInProgress = 0;
    if (!result) theLastPropertyError = sobPropertyFailed;
    return result;
}

int KvScriptableObject::sobPass(const char* name) const {
    KvScriptableObjectProperty* p = findProperty(name, &KvScriptableObjectProperty::findEvent);
    if (!p) {
        theLastPropertyError = sobNoSuchProperty;
        return 0;
    }
    const int result = p->act();
    if (!result) theLastPropertyError = sobPropertyFailed;
    return result;
}

KvSOBPropertyError KvScriptableObject::lastPropertyError() { return theLastPropertyError; }

// ---- object services ----

void KvScriptableObject::sobSetSyncLink(const KvLink* link) { KvLink::assign(syncLink, link); }

void KvScriptableObject::sobSyncDone() {
    if (!syncLink) return;
    // Take the link out first: while it runs the slot is free for a new one,
    // and running it cannot run it again.
    KvLink* running = syncLink->clone();
    delete syncLink;
    syncLink = nullptr;
    running->call();
    delete running;
}

void KvScriptableObject::sobClone(KvScriptableObject* target) const {
    if (!target || target == this) return;
    KvList<KvScriptableObjectProperty>::Cursor c(*properties);
    for (KvScriptableObjectProperty* p = c.first(); p; p = c.next()) target->sobAddProperty(p->copyFor(target));
    target->className = className;
    newborn = target;
    if (KvSR* record = KvSR::lookup(className)) record->executeBornLink();
}

void KvScriptableObject::sobBorn(const char* name) {
    newborn = this;
    if (!name || className) return;
    KvSR* record = KvSR::lookup(name);
    if (!record) return;
    sobAssignProperties();
    className = record->className;
    record->executeBornLink();
}

KvScriptableObject* KvScriptableObject::getNewborn() { return newborn; }

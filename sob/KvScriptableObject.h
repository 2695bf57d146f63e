// The base of every object that scripts and hosts address by name.
// An object owns a table of named properties (data, method, event) kept in
// the order they were added; a name occurs at most once, and a new object
// starts with the single entry "born" (an event). Values cross the boundary as NUL-terminated
// texts: getters write into one shared static buffer, methods and factories
// read their arguments from one shared static parameter list. All of this is
// process-wide state of the application's single thread.
#pragma once

#include "framework/KvLink.h"
#include "framework/KvList.h"
#include "sob/KvScriptableObjectProperty.h"
#include "sob/KvSParameter.h"

#include <cstdarg>

// Size of the shared value buffer: a value text is at most 1023 characters.
inline constexpr int kKvSobValueBufferSize = 1024;
// Size of the buffer a creation command line is split in: at most 1023 characters.
inline constexpr int kKvSobCommandLineBufferSize = 1024;

class KvSR;

class KvScriptableObject {
public:
    // A variadic parameter list ends with a text whose first byte is 0x01;
    // this is the canonical one ("\x01"). A null pointer ends a list too.
    static const char* const kKvEndOfParameters;
    static const char* const undefinedValue;    // "undefined"
    static const char* const sobBornEvent;      // "born"
    static const char* const sobDefaultMethod;  // "default"

    KvScriptableObject();
    virtual ~KvScriptableObject();
    KvScriptableObject(const KvScriptableObject&) = delete;
    KvScriptableObject& operator=(const KvScriptableObject&) = delete;

    // A new object of the same class and state; subclasses build it and then
    // call sobClone on it.
    virtual KvScriptableObject* copy() const = 0;
    // A short description, numbers separated by blanks; the base writes nothing.
    virtual void sobGetInfo(char* buffer) const;
    // Adds the class's properties; called once by whoever makes the object a
    // member of a class (creation by class name, sobBorn).
    virtual void sobAssignProperties() = 0;

    // ---- properties ----
    // Names are stored as pointers: pass static strings. Links are cloned.
    // Adding under a name already present replaces that property (the new one
    // goes to the end of the table).
    void sobAddDataProperty(const char* name, const KvLink* setter, const KvLink* getter);
    void sobAddMethodProperty(const char* name, const KvLink* action);
    void sobAddMethodProperty(const KvLink* action);  // named "default"
    void sobAddEventProperty(const char* name);
    void sobRemoveProperty(const char* name);

    // Each returns 0 (null for sobGet) on failure and then records why
    // (lastPropertyError). Successful calls leave the recorded code alone.
    int sobSet(const char* name, const char* value);
    // Binds an event to handler (null unbinds); cloneLink, if given, is called
    // with a KvSOBCloneInfo whenever the event is copied for another object.
    int sobSet(const char* name, const KvLink* handler, const KvLink* cloneLink);
    // The value text lives in the shared buffer until the next read of any value.
    const char* sobGet(const char* name) const;
    int sobPlay(const char* name, const char* parameter, ...) const;
    // Announces an event. Dropped (0) while any sobSet/sobPlay call runs.
    int sobPass(const char* name) const;
    static KvSOBPropertyError lastPropertyError();

    // ---- object services ----
    const char* isA() const { return className; }
    void sobSetClientData(const void* data) { clientData = data; }
    const void* sobGetClientData() const { return clientData; }
    void sobSetSyncLink(const KvLink* link);
    // Runs the sync link once: it is taken out before it runs, so it may set a new one.
    void sobSyncDone();
    // Gives target copies of every property and this object's class, then
    // announces the birth (class born link).
    void sobClone(KvScriptableObject* target) const;
    // Makes an object built by program code a member of a registered class.
    void sobBorn(const char* className);
    static KvScriptableObject* getNewborn();

    // ---- creation by class name (the registry finds the factory) ----
    // Parameters end with kKvEndOfParameters; with only the end marker, the
    // parameters the caller prepared with addParameter are used.
    static KvScriptableObject* create(const char* className, const char* parameter, ...);
    // Parameters split from one text shorter than kKvSobCommandLineBufferSize (longer ones are refused):
    // space-separated, double quotes group a parameter.
    static KvScriptableObject* createFromCommandLine(const char* className, const char* commandLine);
    static int isXtor(const char* className);
    static int setBornHandler(const char* className, const KvLink* link);

    // ---- the shared parameter list ----
    // It exists while at least one class is registered; without it,
    // addParameter drops its text and nextParameter gives "".
    static void resetParameters();
    static void addParameter(const char* text);  // null stores ""
    static void prepareParameters();             // rewind
    static const char* nextParameter();          // "" when exhausted, never null
    // How many parameters the list holds: an empty parameter and the end of
    // the list both read as "", and a consumer may need to tell them apart.
    static int countParameters();

    // For getters: the value buffer a getter link receives as its argument.
    static char* sobValueOut(const void* linkArgument) {
        return static_cast<char*>(const_cast<void*>(linkArgument));
    }

protected:
    KvList<KvScriptableObjectProperty>* properties;
    const void* clientData;
    KvLink* syncLink;
    const char* className;

private:
    friend class KvSR;
    friend class KvSOBDataProperty;
    friend class KvSOBEventProperty;

    void sobAddProperty(KvScriptableObjectProperty* const property);
    KvScriptableObjectProperty* findProperty(const char* name, int (KvScriptableObjectProperty::*match)(const void*) const) const;
    // Refills the parameter list from a variadic argument list, unless the
    // first parameter is an end marker (then the prepared list stays).
    static void takeParameters(const char* first, va_list rest);
    // The common tail of creation once the parameters are in place.
    static KvScriptableObject* createPrepared(const char* className);

    static KvSOBPropertyError theLastPropertyError;
    static char sobValueBuffer[kKvSobValueBufferSize];
    static int sobCallInProgress;
    static KvList<KvSParameter>* parameterList;
    static KvList<KvSParameter>::Cursor* parameterCursor;
    static KvScriptableObject* newborn;
};

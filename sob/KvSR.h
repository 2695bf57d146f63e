// A class registration record: a class name and the factory that makes its
// objects. Records register themselves when constructed (a static record
// registers while its library starts) and leave when destroyed. The registry
// keeps them in registration order, never sorted or deduplicated; lookups
// ignore letter case and find the first match. The registry and the shared
// parameter list come into being with the first record and are freed with
// the last one.
//
// Plug-in class libraries are modules named "<Class>.lrn" whose static records
// register their classes while the module loads (see sob/QrnPlugin.h).
#pragma once

#include "framework/KvLink.h"
#include "framework/KvList.h"

class KvScriptableObject;

// Size of the name buffers of load(): a name is at most 127 characters, or at
// most 123 when ".lrn" has to be appended.
inline constexpr int kKvSRNameBufferSize = 128;
// The extension of plug-in class libraries, and the pattern load(null) lists.
inline constexpr char kKvSRPluginExtension[] = ".lrn";
inline constexpr char kKvSRPluginPattern[] = "*.lrn";

class KvSR {
public:
    using Factory = KvScriptableObject* (*)();

    // className is stored as a pointer: pass a static string.
    KvSR(const char* className, Factory factory);
    ~KvSR();
    KvSR(const KvSR&) = delete;
    KvSR& operator=(const KvSR&) = delete;

    // 1 if this record's class name equals name, ignoring letter case.
    int find(const void* name) const;
    // Releases the plug-in library this class came from, if the registry
    // loaded it. Releasing the library destroys this record: do not touch it after.
    void rls();
    const char* getClassName() const { return className; }

    // Loads one plug-in library: "Name" loads "Name.lrn"; a name with a full
    // stop is loaded as given and its class is the part before the first stop.
    // Nothing is loaded when that class is already registered. Null loads every
    // "*.lrn" file of the current directory, last name (in sorted order) first.
    // Failures are silent; KvSysModuleError tells the loader's reason.
    static void load(const char* name);
    // Releases the library of the named class (ignoring case), or of every class (null).
    static void release(const char* name);
    // 1 (the default): a lookup of an unregistered class tries load(className) first.
    static void setDynamicLoad(int on);
    static int getDynamicLoad();
    // Told the name of a class that a lookup did not find while dynamic
    // loading is off, so that a host can say why. Null (the default) is told
    // nothing. Returns the handler replaced.
    using MissHandler = void (*)(const char* className);
    static MissHandler setMissHandler(MissHandler handler);
    // Number of live records (0 when the registry does not exist), and the
    // record at a 0-based position in registration order (null past the end).
    static int count();
    static const KvSR* at(int index);

private:
    friend class KvScriptableObject;

    void setBornLink(const KvLink* link);
    void executeBornLink() const;
    KvScriptableObject* createScriptableObject();

    // The first record of that class (dynamic load included), also kept as
    // currentRecord; null when not found.
    static KvSR* lookup(const char* name);
    static KvSR* findRecord(const char* name);
    static void loadAll();
    static void createSharedState();
    static void freeSharedState();

    const char* className;
    Factory factory;
    void* libraryHandle;
    KvLink* bornLink;

    static KvList<KvSR>* registry;
    static KvSR* currentRecord;
    static int dynamicLoad;
    static MissHandler missHandler;
    // While release() walks the registry, the last record leaving must not
    // free the list under the walk; the walk frees it when it ends.
    static int releaseWalks;
};

// The class registry and plug-in loading.
// Invariants: registry, parameter list and parameter cursor exist exactly
// while at least one record lives (or a release walk is still running);
// currentRecord is null or a live record; a record's libraryHandle is the
// module whose loading registered it, so releasing it destroys the record.
#include "sob/KvSR.h"

#include "framework/KvModule.h"
#include "sob/KvScriptableObject.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

KvList<KvSR>* KvSR::registry = nullptr;
KvSR* KvSR::currentRecord = nullptr;
int KvSR::dynamicLoad = 1;
KvSR::MissHandler KvSR::missHandler = nullptr;
int KvSR::releaseWalks = 0;

namespace {
// Class names compare without regard to letter case, in the plain ASCII sense:
// only A-Z and a-z fold, every other byte compares as itself.
unsigned char foldCase(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

bool sameClassName(const char* a, const char* b) {
    if (!a || !b) return false;
    for (;; ++a, ++b) {
        if (foldCase(static_cast<unsigned char>(*a)) != foldCase(static_cast<unsigned char>(*b))) return false;
        if (!*a) return true;
    }
}
}  // namespace

KvSR::KvSR(const char* name, Factory f) : className(name), factory(f), libraryHandle(nullptr), bornLink(nullptr) {
    if (!registry) createSharedState();
    registry->append(this);
}

KvSR::~KvSR() {
    if (registry) registry->remove(this);
    if (currentRecord == this) currentRecord = nullptr;
    if (registry && registry->isEmpty() && releaseWalks == 0) freeSharedState();
    delete bornLink;
}

void KvSR::createSharedState() {
    registry = new KvList<KvSR>;
    KvScriptableObject::parameterList = new KvList<KvSParameter>;
    KvScriptableObject::parameterCursor = new KvList<KvSParameter>::Cursor(*KvScriptableObject::parameterList);
}

void KvSR::freeSharedState() {
    KvScriptableObject::resetParameters();
    delete KvScriptableObject::parameterCursor;  // a cursor goes before its list
    delete KvScriptableObject::parameterList;
    KvScriptableObject::parameterCursor = nullptr;
    KvScriptableObject::parameterList = nullptr;
    delete registry;
    registry = nullptr;
    currentRecord = nullptr;
}

int KvSR::find(const void* name) const { return sameClassName(className, static_cast<const char*>(name)) ? 1 : 0; }

void KvSR::rls() {
    if (libraryHandle) KvSysFreeModule(libraryHandle);
}

void KvSR::setBornLink(const KvLink* link) { KvLink::assign(bornLink, link); }

void KvSR::executeBornLink() const {
    if (bornLink) bornLink->call();
}

KvScriptableObject* KvSR::createScriptableObject() {
    KvScriptableObject::prepareParameters();
    return factory ? factory() : nullptr;
}

void KvSR::setDynamicLoad(int on) { dynamicLoad = on; }

int KvSR::getDynamicLoad() { return dynamicLoad; }

KvSR::MissHandler KvSR::setMissHandler(MissHandler handler) {
    return std::exchange(missHandler, handler);
}

int KvSR::count() { return registry ? registry->count() : 0; }

const KvSR* KvSR::at(int index) { return registry && index >= 0 ? registry->at(index) : nullptr; }

KvSR* KvSR::findRecord(const char* name) {
    if (!registry || !name) return nullptr;
    KvList<KvSR>::Cursor c(*registry);
    for (KvSR* r = c.first(); r; r = c.next())
        if (r->find(name)) return r;
    return nullptr;
}

KvSR* KvSR::lookup(const char* name) {
    currentRecord = nullptr;
    if (!name) return nullptr;
    KvSR* r = findRecord(name);
    if (!r && dynamicLoad) {
        load(name);
        r = findRecord(name);
    } else if (!r && missHandler) {
        missHandler(name);
    }
    currentRecord = r;
    return r;
}

// ---- plug-in libraries ----

void KvSR::load(const char* name) {
    if (!name) {
        loadAll();
        return;
    }
    const std::size_t extLength = sizeof kKvSRPluginExtension - 1;
    const char* stop = std::strchr(name, '.');
    const std::size_t length = std::strlen(name);
    // Refuse what would not fit the name buffers (with the terminating NUL).
    if (length + (stop ? 0 : extLength) >= static_cast<std::size_t>(kKvSRNameBufferSize)) return;

    char baseName[kKvSRNameBufferSize];
    char fileName[kKvSRNameBufferSize];
    std::memcpy(baseName, name, length + 1);
    std::memcpy(fileName, name, length + 1);
    if (stop)
        baseName[stop - name] = '\0';  // the class is the file name without its extension
    else
        std::memcpy(fileName + length, kKvSRPluginExtension, extLength + 1);

    if (findRecord(baseName)) return;  // already there: load nothing

    const int before = count();
    void* module = KvSysLoadModule(fileName);  // its static records register now
    if (!module) return;
    KvSR* owner = findRecord(baseName);
    // A library that names none of its classes after its file hands its handle
    // to the first class it registered, so that release still reaches it; a
    // library that registered nothing is of no use and goes again.
    if (!owner && count() > before) owner = registry->at(before);
    if (!owner) {
        KvSysFreeModule(module);
        return;
    }
    owner->libraryHandle = module;
}

void KvSR::loadAll() {
    std::vector<std::string> names;
    const int n = KvSysListFiles(kKvSRPluginPattern, &names);
    for (int i = n - 1; i >= 0; --i) load(names[static_cast<std::size_t>(i)].c_str());
}

void KvSR::release(const char* name) {
    if (name) {
        if (KvSR* r = findRecord(name)) r->rls();
        return;
    }
    if (!registry) return;
    ++releaseWalks;
    {
        // Releasing a library destroys its records, the current one included;
        // the cursor steps over every removed record.
        KvList<KvSR>::Cursor c(*registry);
        for (KvSR* r = c.first(); r; r = c.next()) r->rls();
    }
    --releaseWalks;
    if (releaseWalks == 0 && registry->isEmpty()) freeSharedState();
}

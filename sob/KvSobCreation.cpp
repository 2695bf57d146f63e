// Creation of objects by class name. The parameters for the factory go into
// the shared parameter list first: from a variadic list, or split from one
// command-line text. Splitting rules: parameters are separated by single
// spaces (two spaces give an empty parameter, a trailing space an empty last
// one, an empty line one empty parameter; tabs are ordinary); a parameter
// opening with a double quote runs to the next double quote, and whatever
// follows that quote up to the next space is dropped; without a closing quote
// it runs to the next space and is the last one.
#include "sob/KvScriptableObject.h"

#include "sob/KvSR.h"

#include <cstring>

namespace {
// Splits the writable text in place and adds each parameter.
void splitCommandLine(char* p) {
    for (;;) {
        if (*p == '"') {
            char* start = p + 1;
            if (char* close = std::strchr(start, '"')) {
                *close = '\0';
                KvScriptableObject::addParameter(start);
                char* space = std::strchr(close + 1, ' ');
                if (!space) return;
                p = space + 1;
                continue;
            }
            if (char* space = std::strchr(start, ' ')) *space = '\0';
            KvScriptableObject::addParameter(start);
            return;
        }
        char* space = std::strchr(p, ' ');
        if (!space) {
            KvScriptableObject::addParameter(p);
            return;
        }
        *space = '\0';
        KvScriptableObject::addParameter(p);
        p = space + 1;
    }
}
}  // namespace

KvScriptableObject* KvScriptableObject::createPrepared(const char* name) {
    KvSR* record = KvSR::lookup(name);
    if (!record) return nullptr;
    KvScriptableObject* object = record->createScriptableObject();
    if (!object) return nullptr;
    object->className = record->className;
    object->sobAssignProperties();
    return object;
}

KvScriptableObject* KvScriptableObject::create(const char* name, const char* parameter, ...) {
    if (!name) return nullptr;
    va_list rest;
    va_start(rest, parameter);
    takeParameters(parameter, rest);
    va_end(rest);
    return createPrepared(name);
}

KvScriptableObject* KvScriptableObject::createFromCommandLine(const char* name, const char* commandLine) {
    if (!name || !commandLine) return nullptr;
    // Measure without reading further than the buffer could ever hold.
    const std::size_t capacity = kKvSobCommandLineBufferSize;
    std::size_t length = 0;
    while (length < capacity && commandLine[length]) ++length;
    if (length == capacity) return nullptr;

    resetParameters();
    char buffer[kKvSobCommandLineBufferSize];
    std::memcpy(buffer, commandLine, length + 1);
    splitCommandLine(buffer);
    return createPrepared(name);
}

int KvScriptableObject::isXtor(const char* name) { return KvSR::lookup(name) ? 1 : 0; }

int KvScriptableObject::setBornHandler(const char* name, const KvLink* link) {
    KvSR* record = KvSR::lookup(name);
    if (!record) return 0;
    record->setBornLink(link);
    return 1;
}

// The shared parameter list. Callers fill it (reset, add...), the library
// rewinds the cursor just before it hands control to the consumer (setter,
// getter, action or factory), and the consumer reads the texts in the order
// they were added. The list and its cursor exist only while some class is
// registered (the registry creates and frees them); without them every
// operation here is a harmless no-op.
#include "sob/KvSParameter.h"

#include "sob/KvScriptableObject.h"

#include <cstring>

KvSParameter::KvSParameter(const char* t) {
    if (!t) t = "";
    const std::size_t n = std::strlen(t) + 1;
    text = new char[n];
    std::memcpy(text, t, n);
}

KvSParameter::~KvSParameter() { delete[] text; }

KvList<KvSParameter>* KvScriptableObject::parameterList = nullptr;
KvList<KvSParameter>::Cursor* KvScriptableObject::parameterCursor = nullptr;

void KvScriptableObject::resetParameters() {
    if (!parameterList) return;
    while (KvSParameter* p = parameterList->first()) {
        parameterList->remove(p);
        delete p;
    }
}

void KvScriptableObject::addParameter(const char* text) {
    if (parameterList) parameterList->append(new KvSParameter(text));
}

void KvScriptableObject::prepareParameters() {
    if (parameterCursor) parameterCursor->first();
}

const char* KvScriptableObject::nextParameter() {
    KvSParameter* p = parameterCursor ? parameterCursor->current() : nullptr;
    if (!p) return "";
    parameterCursor->next();
    return *p;
}

int KvScriptableObject::countParameters() { return parameterList ? parameterList->count() : 0; }

// Refills the list from a variadic argument list: every text up to the first
// end marker (first byte 0x01, or a null pointer). An end marker in first
// place keeps the list the caller prepared.
void KvScriptableObject::takeParameters(const char* first, va_list rest) {
    auto isEnd = [](const char* t) { return !t || *t == '\x01'; };
    if (isEnd(first)) return;
    resetParameters();
    for (const char* t = first; !isEnd(t); t = va_arg(rest, const char*)) addParameter(t);
}

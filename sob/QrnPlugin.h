// What a plug-in class library (a ".lrn" module) needs.
//
// A plug-in is a shared module named after its main class, "<Class>.lrn"
// (no "lib" prefix), linked against qrn. It holds one or more classes derived
// from KvScriptableObject and, for each class, one static KvSR record. The
// records register their classes while the module loads and leave the
// registry when it is released. Writing one:
//
//   1. Derive from KvScriptableObject. The constructor reads the creation
//      parameters with KvScriptableObject::nextParameter() (already rewound;
//      "" when there are no more). Do not add properties there.
//   2. Add the properties in sobAssignProperties() with sobAddDataProperty,
//      sobAddMethodProperty and sobAddEventProperty, using KvMemberLink<T>
//      bound to `this`. Names are stored as pointers: use string literals.
//      A getter is called with the value buffer as its argument: write a
//      NUL-terminated text of at most kKvSobValueBufferSize - 1 characters
//      into KvScriptableObject::sobValueOut(argument).
//   3. copy(): build a new object of the class and call sobClone(copy) on it;
//      the clone's data and method links are retargeted at the copy.
//   4. Register: `static KvSR record("Class", KvSRFactory<Class>);`
//      at namespace scope in one source file.
//
// Keep the module free of objects the loader can never unload (static
// variables inside inline functions, static data members of templates),
// otherwise releasing the library cannot run the records' destructors.
// Objects made from a plug-in class must be deleted before its library is
// released: their code lives in it.
#pragma once

#include "framework/KvLink.h"
#include "sob/KvSR.h"
#include "sob/KvScriptableObject.h"

// A factory for KvSR: the class's default constructor reads its parameters.
template <class T>
KvScriptableObject* KvSRFactory() {
    return new T();
}

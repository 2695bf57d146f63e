// The registry state the scriptable-object tests share: how many classes the
// library registers itself, and a fixture that keeps the test class
// registered (which also keeps the shared parameter list alive).
#pragma once

#include "sob/KvSR.h"
#include "tests/support/CallRecorder.h"
#include "tests/support/ScriptableProbe.h"

#include <gtest/gtest.h>

#include <initializer_list>

// The classes the library registers itself while it loads ("KvAnimation"):
// they come first in the registry and keep it, and the shared parameter
// list, alive for the whole process.
inline constexpr int kLibraryClasses = 1;
// Records registered besides the library's own.
inline int registeredByTests() { return KvSR::count() - kLibraryClasses; }

using Probe = ScriptableProbe;

class WithProbeClass : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(registeredByTests(), 1); }
    // Log for a born link given to the class: declared first, so it outlives
    // the record that holds the link.
    CallRecorder born;
    KvSR probeRecord{"Probe", &Probe::make};
};

// Replaces the shared parameter list with texts.
inline void setParameters(std::initializer_list<const char*> texts) {
    KvScriptableObject::resetParameters();
    for (const char* t : texts) KvScriptableObject::addParameter(t);
}

// The installed backend. Until a host installs one, a headless backend made on
// first use serves, so code that only needs a clock or a canvas depth works
// without any set-up.
#include "framework/KvBackend.h"

#include <cstdio>
#include <string>

#include "framework/KvSys.h"
#include "framework/headless/KvHeadlessBackend.h"

namespace {
KvBackend* installed = nullptr;

KvBackend* defaultBackend() {
    static KvHeadlessBackend headless;
    return &headless;
}
}  // namespace

KvBackend* KvBackend::current() {
    if (!installed) installed = defaultBackend();
    return installed;
}

void KvBackend::install(KvBackend* b) { installed = b ? b : defaultBackend(); }

void KvBackend::userMessage(const char* text) {
    std::fprintf(stderr, "%s\n", text ? text : "");
    std::fflush(stderr);
}

bool KvBackend::chooseFile(const char* title, const char* pattern, bool save, char* path, int size) {
    (void)pattern;
    (void)save;
    const std::string prompt = std::string(title ? title : "File") + ": ";
    return KvSysPromptLine(prompt.c_str(), path, size) != 0;
}

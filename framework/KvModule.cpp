// Modules through the dynamic loader, listings through the directory API.
// The loader's error text is copied at the moment of failure, because
// dlerror() forgets it on the next call. A WebAssembly build has no loader
// for native modules (Emscripten's dlopen stops the program): every load
// fails there, saying so.
#include "framework/KvModule.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>

namespace {
std::string lastModuleError;

void keepLoaderError(const char* fallback) {
    const char* e = dlerror();
    lastModuleError = e ? e : fallback;
}

bool isOrdinaryFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
}  // namespace

void* KvSysLoadModule(const char* path) {
    if (!path || !*path) {
        lastModuleError = "no module name";
        return nullptr;
    }
    // dlopen alone would never look in the current directory for a bare name.
    // There the name is compared without regard to letter case; of several
    // files that differ only in case, the first in sorted order is taken.
    std::string file = path;
    if (!std::strchr(path, '/')) {
        std::vector<std::string> matches;
        if (DIR* dir = opendir(".")) {
            while (const dirent* entry = readdir(dir))
                if (strcasecmp(entry->d_name, path) == 0 && isOrdinaryFile(entry->d_name))
                    matches.emplace_back(entry->d_name);
            closedir(dir);
        }
        if (!matches.empty()) file = "./" + *std::min_element(matches.begin(), matches.end());
    }
#ifdef __EMSCRIPTEN__
    lastModuleError = file + ": plug-ins (native modules) cannot be loaded in a WebAssembly build";
    return nullptr;
#else
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) keepLoaderError("module could not be loaded");
    return module;
#endif
}

void KvSysFreeModule(void* module) {
    if (module && dlclose(module) != 0) keepLoaderError("module could not be released");
}

const char* KvSysModuleError() { return lastModuleError.c_str(); }

int KvSysListFiles(const char* pattern, std::vector<std::string>* names) {
    if (!pattern || !names) return -1;
    names->clear();
    DIR* dir = opendir(".");
    if (!dir) return -1;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (fnmatch(pattern, name, FNM_PERIOD | FNM_CASEFOLD) == 0 && isOrdinaryFile(name)) names->emplace_back(name);
    }
    closedir(dir);
    std::sort(names->begin(), names->end());
    return static_cast<int>(names->size());
}

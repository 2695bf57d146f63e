// Modules through the dynamic loader, listings through the directory API.
// The loader's error text is copied at the moment of failure, because
// dlerror() forgets it on the next call.
#include "framework/KvModule.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fnmatch.h>
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
    std::string file = path;
    if (!std::strchr(path, '/') && isOrdinaryFile("./" + file)) file = "./" + file;
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) keepLoaderError("module could not be loaded");
    return module;
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
        if (fnmatch(pattern, name, FNM_PERIOD) == 0 && isOrdinaryFile(name)) names->emplace_back(name);
    }
    closedir(dir);
    std::sort(names->begin(), names->end());
    return static_cast<int>(names->size());
}

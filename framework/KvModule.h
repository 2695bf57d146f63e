// Loadable modules (plug-in class libraries) and directory listing.
// A module handle is opaque: whatever KvSysLoadModule returns is given back
// to KvSysFreeModule exactly once. Failures are reported by return values;
// the text of the latest loader failure stays readable for a host that asks.
#pragma once

#include <string>
#include <vector>

// Opens the module at path and runs its start-up code (static constructors).
// A name without '/' is first looked for as a file of the current directory
// ("./name"), compared without regard to letter case (of several files that
// differ only in case, the first in sorted order), then by the platform's
// usual search for modules.
// Returns null on failure (KvSysModuleError then tells why).
void* KvSysLoadModule(const char* path);

// Releases a module: when nothing else holds it, its static destructors run
// and its code goes away. A null handle is ignored.
void KvSysFreeModule(void* module);

// The loader's message for the latest failed load or release, or "" if none
// failed yet. The text stays valid until the next failure.
const char* KvSysModuleError();

// Fills names with the ordinary files (no directories, no hidden dot-files) of
// the current directory whose names match a shell-style pattern such as
// "*.lrn" without regard to letter case, sorted by name byte by byte. Returns the count, or -1 (names left
// empty) if the directory cannot be read or an argument is null.
int KvSysListFiles(const char* pattern, std::vector<std::string>* names);

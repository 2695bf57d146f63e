// System services: thin forwarding to the installed backend, and the
// program's own path as Linux shows it in /proc.
#include "framework/KvSys.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "framework/KvBackend.h"

unsigned long KvSysMilliSecCount() { return KvBackend::current()->milliSeconds(); }

unsigned long KvSysTickCount() { return KvBackend::current()->milliSeconds(); }

int KvSysUserMessage(const char* text, unsigned flags, const char* title) {
    (void)flags;  // every message is modal here: the backend returns once it is shown
    const char* body = text ? text : "";
    if (title && *title) {
        const std::string line = std::string(title) + ": " + body;
        KvBackend::current()->userMessage(line.c_str());
    } else {
        KvBackend::current()->userMessage(body);
    }
    return 1;
}

int KvSysNumColors(int display) {
    (void)display;
    return KvBackend::current()->displayDepth();
}

int KvSysPromptLine(const char* prompt, char* buffer, int size) {
    if (!buffer || size < 1) return 0;
    buffer[0] = 0;
    if (!::isatty(STDIN_FILENO)) return 0;
    std::fputs(prompt ? prompt : "", stderr);
    std::fflush(stderr);
    if (!std::fgets(buffer, size, stdin)) {
        buffer[0] = 0;
        return 0;
    }
    buffer[std::strcspn(buffer, "\r\n")] = 0;
    return 1;
}

int KvSysChooseFile(const char* title, const char* pattern, int save, char* buffer, int size) {
    if (!buffer || size < 1) return 0;
    buffer[0] = 0;
    if (KvBackend::current()->chooseFile(title, pattern, save != 0, buffer, size)) return 1;
    buffer[0] = 0;
    return 0;
}

std::string KvSysExecutablePath() {
    std::error_code e;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", e);
    return e ? std::string() : self.string();
}

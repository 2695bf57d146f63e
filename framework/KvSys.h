// System services for the library: time, display depth, user messages and a
// line typed at the terminal, all through the installed backend (KvBackend),
// so the headless backend's virtual clock and captured messages are what
// tests see; and, from the system itself, where the running program lives.
#pragma once

#include <string>

// Flag bits of KvSysUserMessage: a task-modal message box, as the library asks for.
constexpr unsigned kKvSysMessageModal = 0x3000;

// Milliseconds on the backend clock; wraps like an unsigned long.
unsigned long KvSysMilliSecCount();
// The tick count the library busy-waits on; the same millisecond clock.
unsigned long KvSysTickCount();
// Show text to the user (title may be null). Returns 1, the "OK" answer.
int KvSysUserMessage(const char* text, unsigned flags, const char* title);
// Bits per pixel of the display, as canvases are asked for: 8, 15, 16, 24 or 32.
// There is one display; the argument is accepted for hosts that name one.
int KvSysNumColors(int display = 0);
// With a terminal on standard input: writes prompt on stderr, reads one line
// (without its line end, cut to size - 1 bytes) into buffer and returns 1.
// Without a terminal, or at the end of input, buffer becomes "" and the result is 0.
int KvSysPromptLine(const char* prompt, char* buffer, int size);
// Ask the user for a file through the backend (KvBackend::chooseFile): 1 with
// the path in buffer, 0 with buffer "" when none was chosen.
int KvSysChooseFile(const char* title, const char* pattern, int save, char* buffer, int size);
// The running program's file as an absolute path with links resolved, for
// hosts that find their data beside it; "" when the system cannot tell.
std::string KvSysExecutablePath();

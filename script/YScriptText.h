// The text being compiled and the scanner over it (internal to the script
// folder). One compilation at a time: the buffer, the scan pointers, the
// current file name and the include stack are process-wide.
//
// Invariants while a text is loaded: buffer holds size bytes of script text
// followed by a carriage return and a NUL; buffer <= tokenStart, scan <=
// buffer + size + 1 (the NUL), and no scan step passes the NUL. Line ends are
// carriage returns: a line feed that does not follow a carriage return was
// turned into one in place when the text was loaded, so byte offsets and line
// counts are those of the file.
#pragma once

#include "script/YThread.h"

class KvIStream;

struct YScriptText {
    // Results of fill.
    enum Fill { kText = 0, kCompiled = 1, kRefused = -1 };

    // A named file, read whole; a missing one goes to the thread's URL opener,
    // or ends the process ("can't find "). allowCompiled 0 refuses a compiled
    // file (an include must be text).
    static int fill(YThread& thread, const char* name, long offset, int allowCompiled);
    static int fill(YThread& thread, KvIStream* stream, long offset, int allowCompiled);
    // Frees the text and the include stack.
    static void release();

    // An include directive: the including text is kept (so it resumes even
    // when it came from a stream) and the named file is loaded. kText on success.
    static int include(YThread& thread, const char* fileName, long resumeOffset);
    // End of text: back to the including text. false when the stack is empty.
    static bool resume();
    static int includeDepth();

    // ---- scanner ----
    // Skips bytes that are not printable (33..126), line ends too when
    // skipLines is set; never passes the NUL. true when it stopped on a printable byte.
    static bool skipBlanks(int skipLines);
    // The length of the token at p, which moves past it and a consumed
    // separator. 0 for a token starting below 32, or for an unclosed quote
    // (then "Unquote %.24s..." is shown and the error code is set).
    static int advancePastSeparator(char*& p, int keepEquals);
    static char* getToken(int skipLines);
    // Lines (carriage returns) before p, plus one.
    static long lineOf(const char* p);
    // The line-numbered compile message for the token start.
    static void reportError();
    // Shows a compiler message about line of the current file, through the
    // host's handler or as it is.
    static void compileMessage(const char* text, long line, bool numbered);

    static char* buffer;
    static long size;
    static char* scan;
    static char* tokenStart;
    static char currentFileName[kYFileNameSize];
};

// Hands text to the host's fatal handler, or shows it (flags 0x3000, no
// title); either way the process ends, by default with exit code 1.
[[noreturn]] void YFatal(const char* text);

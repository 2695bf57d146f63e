// The lexer: the text being compiled and the scanner over it. A compilation
// owns one; nothing of it outlives the compilation.
//
// Invariants while a text is loaded: buffer holds size bytes of script text
// followed by a carriage return and a NUL; buffer <= tokenStart, scan <=
// buffer + size + 1 (the NUL), and no scan step passes the NUL. Line ends are
// carriage returns: a line feed that does not follow a carriage return was
// turned into one in place when the text was loaded, so byte offsets and line
// counts are those of the file. Printable bytes are 33 to 126; everything
// else is blank. Tokens are not NUL-terminated: their length is what
// advancePastSeparator reports.
#pragma once

#include <string>
#include <vector>

class KvIStream;
struct YProgram;

inline constexpr int kYFileNameSize = 128;       // the current file name, with its NUL
inline constexpr long kYMaxScriptBytes = 65535;  // the longest script text
inline constexpr int kYMaxIncludeDepth = 64;     // includes nested in includes
inline constexpr int kYMessageSize = 128;

using YURLOpener = KvIStream* (*)(const char* name);

// A message of the compiler about the text it compiles: the line-numbered
// message of a failed compilation ("12: " and the text around the failing
// token) or the warning of an unclosed quote ("Unquote ...").
struct YCompileMessage {
    const char* text;      // as shown when no handler is installed
    const char* fileName;  // the file compiled there (an included file by its own name); "" for a nameless stream
    long line;             // the line of that file, from 1
    bool numbered;         // text begins with that line number and ": "
};

class YLexer {
public:
    // Results of open and include.
    enum Fill { kText = 0, kCompiled = 1, kRefused = -1 };

    // The host's hooks, process-wide (YThread's setters install them).
    using FatalHandler = void (*)(const char* message);
    using CompileMessageHandler = void (*)(const YCompileMessage& message);
    using NameCheck = const char* (*)(const char* name);
    static FatalHandler fatalHandler;
    static CompileMessageHandler compileMessageHandler;
    static NameCheck nameCheck;
    // Hands text to the host's fatal handler, or shows it (flags 0x3000, no
    // title); either way the process ends, by default with exit code 1.
    [[noreturn]] static void fatal(const char* text);

    // url opens names that are not files; a compiled file met at the top
    // level is loaded into compiled.
    YLexer(YURLOpener url, YProgram& compiled) : urlOpener(url), program(compiled) {}
    ~YLexer() { release(); }
    YLexer(const YLexer&) = delete;
    YLexer& operator=(const YLexer&) = delete;

    // The script's own text: a named file, read whole (a missing one goes to
    // the URL opener, or ends the process with "can't find "), or a stream.
    int open(const char* name) { return fill(name, 0, 1); }
    int open(KvIStream* stream);
    // An include directive: the including text is kept (so it resumes even
    // when it came from a stream) and the named file is loaded. kText on success.
    int include(const char* fileName, long resumeOffset);
    // End of text: back to the including text. false when the stack is empty.
    bool resume();

    // ---- scanner ----
    // Skips bytes that are not printable, line ends too when skipLines is
    // set; never passes the NUL. true when it stopped on a printable byte.
    bool skipBlanks(int skipLines);
    // The length of the token at p, which moves past it and a consumed
    // separator. 0 for a token starting below 32, or for an unclosed quote
    // (then "Unquote %.24s..." is shown and the error code is set).
    int advancePastSeparator(char*& p, int keepEquals);
    char* getToken(int skipLines);
    // The line-numbered compile message for the token start.
    void reportError();

    char* buffer = nullptr;
    long size = 0;
    char* scan = nullptr;
    char* tokenStart = nullptr;

private:
    struct IncludeFrame {
        std::string fileName;  // the including file's name
        char* text;            // the including text, owned by the frame
        long size;
        long offset;           // where it resumes: the end of its include line
    };

    int fill(const char* name, long offset, int allowCompiled);
    int fill(KvIStream* stream, long offset, int allowCompiled);
    void adopt(const unsigned char* text, long length, long offset);
    void setFileName(const char* fileName);
    void release();
    // Lines (carriage returns) before p, plus one.
    long lineOf(const char* p) const;
    // Shows a message about a line of the current file, through the host's
    // handler or as it is.
    void compileMessage(const char* text, long line, bool numbered) const;

    YURLOpener urlOpener;
    YProgram& program;
    char currentFileName[kYFileNameSize] = {};
    std::vector<IncludeFrame> includes;
};

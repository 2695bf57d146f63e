// The scanner: byte-wise over the text buffer, which always ends with a
// carriage return and a NUL. Printable bytes are 33 to 126; everything else
// (space, control bytes, 127 and bytes from 128 up) is blank. A token runs to
// a space, a byte above 126 or (for a statement's first word) an "=", unless
// a double or single quote is open; it never takes a byte below 32. Tokens
// are not NUL-terminated: their length is what advancePastSeparator reports.
#include "script/YScriptText.h"

#include "script/YVariable.h"

#include <cstdio>
#include <string>

namespace {

bool printable(unsigned char c) { return c >= 33 && c <= 126; }

// Bytes shown of a token in the unclosed-quote message, and of the text
// around a failing token in the compile message.
constexpr int kUnquoteShown = 24;
constexpr long kContextBefore = 20;
constexpr long kContextAfter = 50;

}  // namespace

bool YScriptText::skipBlanks(int skipLines) {
    while (*scan) {
        const unsigned char c = static_cast<unsigned char>(*scan);
        if (printable(c)) return true;
        if (!skipLines && c == '\r') return false;
        ++scan;
    }
    return false;
}

int YScriptText::advancePastSeparator(char*& p, int keepEquals) {
    if (static_cast<unsigned char>(*p) < 32) return 0;
    bool inDouble = false;
    bool inSingle = false;
    for (int n = 0;; ++n) {
        const unsigned char c = static_cast<unsigned char>(p[n]);
        if (c < 32) {
            if (inDouble || inSingle) {
                std::string shown;
                for (int i = 0; i < kUnquoteShown && static_cast<unsigned char>(p[i]) >= 32; ++i) shown += p[i];
                char message[kYMessageSize];
                std::snprintf(message, sizeof message, "Unquote %.24s...", shown.c_str());
                compileMessage(message, lineOf(p), false);
                YVariable::setError(yerrUnquote);
                return 0;
            }
            p += n;  // the line end is not consumed
            return n;
        }
        if (c == '"' && !inSingle) {
            inDouble = !inDouble;
        } else if (c == '\'' && !inDouble) {
            inSingle = !inSingle;
        } else if (!inDouble && !inSingle && (c == ' ' || c > 126 || (!keepEquals && c == '='))) {
            p += n + 1;  // the separator is consumed
            return n;
        }
    }
}

char* YScriptText::getToken(int skipLines) {
    tokenStart = scan;
    skipBlanks(skipLines);
    char* token = scan;
    switch (*scan) {
    case ';':  // a comment: the rest of the line and its end
        tokenStart = scan;
        while (*scan && *scan != '\r') ++scan;
        if (*scan == '\r') ++scan;
        return token;
    case 0:
        return token;
    case '\r':
    case '[':
    case ']':
        ++scan;
        return token;
    default:
        if (advancePastSeparator(scan, 1) == 0)
            while (*scan && *scan != '\r') ++scan;  // an unclosed quote: on to the line end
        return token;
    }
}

long YScriptText::lineOf(const char* p) {
    long line = 1;
    if (!buffer || !p) return line;
    for (const char* c = buffer; c < p && *c; ++c)
        if (*c == '\r') ++line;
    return line;
}

// "%ld: " stands where the text 20 bytes before the token started, its NUL
// turned into a blank, so the text before the token follows it; the text is
// cut 50 bytes after the token start and at the buffer's bounds.
void YScriptText::reportError() {
    char prefix[32];
    const long line = lineOf(tokenStart);
    const int prefixLength = std::snprintf(prefix, sizeof prefix, "%ld: ", line);
    std::string message(prefix);
    message += ' ';
    if (buffer && tokenStart) {
        const char* end = buffer + size;  // the carriage return after the text
        const char* from = tokenStart - kContextBefore + prefixLength + 1;
        if (from < buffer) from = buffer;
        const char* to = tokenStart + kContextAfter;
        if (to > end) to = end;
        for (const char* c = from; c < to && *c; ++c) message += *c == '\r' ? '\n' : *c;
    }
    compileMessage(message.c_str(), line, true);
}

// Reading a script's text and scanning it. The text comes from a named file,
// through the host's URL opener, or from a stream; compiled script files are
// recognised by their first byte (1 or 2) and handed to the program's reader.
// Line feeds that do not follow a carriage return become carriage returns in
// place, so a script written on this system ends its lines exactly as one
// written with CR LF, and offsets and line numbers stay those of the file.
//
// Includes keep the including text on a stack and continue in the included
// one; at its end the including text resumes just after the include line.
//
// Messages: a fatal one ends the process whatever the host's handler does;
// a compiler message carries the name and line of the file it is about, so
// that a host can show where it stands.
#include "script/YLexer.h"

#include "framework/KvIStream.h"
#include "framework/KvSys.h"
#include "script/YProgram.h"
#include "script/YVariable.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

YLexer::FatalHandler YLexer::fatalHandler = nullptr;
YLexer::CompileMessageHandler YLexer::compileMessageHandler = nullptr;
YLexer::NameCheck YLexer::nameCheck = nullptr;

namespace {

bool printable(unsigned char c) { return c >= 33 && c <= 126; }

bool isCompiledMark(unsigned char first) { return first == kYCompiledVersion || first == kYCompiledSwapped; }

// Line feeds not preceded by a carriage return end lines as carriage returns do.
void unifyLineEnds(char* text, long length) {
    bool afterCarriageReturn = false;  // as the file has it, before any change
    for (long i = 0; i < length; ++i) {
        const bool carriageReturn = text[i] == '\r';
        if (text[i] == '\n' && !afterCarriageReturn) text[i] = '\r';
        afterCarriageReturn = carriageReturn;
    }
}

// Bytes shown of a token in the unclosed-quote message, and of the text
// around a failing token in the compile message.
constexpr int kUnquoteShown = 24;
constexpr long kContextBefore = 20;
constexpr long kContextAfter = 50;

}  // namespace

// ------------------------------------------------------------ messages

void YLexer::fatal(const char* text) {
    // The engine cannot go on from here: a handler that returns still ends the process.
    if (fatalHandler)
        fatalHandler(text);
    else
        KvSysUserMessage(text, kKvSysMessageModal, nullptr);
    std::exit(1);
}

void YLexer::compileMessage(const char* text, long line, bool numbered) const {
    if (compileMessageHandler)
        compileMessageHandler(YCompileMessage{text, currentFileName, line, numbered});
    else
        KvSysUserMessage(text, kKvSysMessageModal, nullptr);
}

// ------------------------------------------------------------ reading a text

void YLexer::setFileName(const char* fileName) {
    std::snprintf(currentFileName, sizeof currentFileName, "%s", fileName ? fileName : "");
}

// Takes length bytes of text as the text to compile, scanning from offset.
void YLexer::adopt(const unsigned char* text, long length, long offset) {
    std::free(buffer);
    buffer = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 3));
    if (!buffer) fatal("Script too long");
    if (length > 0) std::memcpy(buffer, text, static_cast<size_t>(length));
    buffer[length] = '\r';
    buffer[length + 1] = 0;
    unifyLineEnds(buffer, length);
    size = length;
    if (offset < 0 || offset > length) offset = length;
    scan = tokenStart = buffer + offset;
}

int YLexer::fill(const char* fileName, long offset, int allowCompiled) {
    currentFileName[0] = 0;
    if (const char* reason = nameCheck && fileName ? nameCheck(fileName) : nullptr) {
        fatal((std::string("can't find ") + fileName + ": " + reason).c_str());
    }
    // Only ordinary files are scripts: a folder opens on some systems and
    // measures as a huge file, so it is taken as missing.
    std::error_code ignored;
    const bool ordinary = fileName && std::filesystem::is_regular_file(fileName, ignored);
    std::FILE* file = ordinary ? std::fopen(fileName, "rb") : nullptr;
    long length = -1;
    if (file && std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (file && length < 0) {  // cannot be measured: as missing
        std::fclose(file);
        file = nullptr;
    }
    if (file) {
        setFileName(fileName);
        std::rewind(file);
        const int first = std::fgetc(file);
        if (first != EOF && isCompiledMark(static_cast<unsigned char>(first))) {
            std::fclose(file);
            if (!allowCompiled) return kRefused;
            return program.load(fileName, first == kYCompiledSwapped) ? kCompiled : kRefused;
        }
        if (length / 2 > kYMaxScriptBytes / 2) {
            std::fclose(file);
            fatal("Script too long");
        }
        std::rewind(file);
        std::vector<unsigned char> text(static_cast<size_t>(length));
        const size_t got = length > 0 ? std::fread(text.data(), 1, text.size(), file) : 0;
        std::fclose(file);
        adopt(text.data(), static_cast<long>(got), offset);
        return kText;
    }
    if (urlOpener) {
        setFileName(fileName);
        KvIStream* stream = urlOpener(fileName ? fileName : "");
        const int result = fill(stream, offset, allowCompiled);
        delete stream;
        return result;
    }
    char message[kYMessageSize];
    std::snprintf(message, sizeof message, "can't find %s", fileName ? fileName : "");
    fatal(message);
}

int YLexer::open(KvIStream* stream) {
    currentFileName[0] = 0;
    return fill(stream, 0, 1);
}

int YLexer::fill(KvIStream* stream, long offset, int allowCompiled) {
    if (!stream) {
        char message[kYFileNameSize + 16];
        std::snprintf(message, sizeof message, "%s not found", currentFileName);
        fatal(message);
    }
    if (!currentFileName[0] && stream->getClassName() == KvIStreamFile::className)
        setFileName(static_cast<KvIStreamFile*>(stream)->getFileName());
    stream->setSrcOffset(0);
    stream->rewind();
    const unsigned char* data = stream->data();
    const long length = stream->size();
    if (length > 0 && isCompiledMark(data[0])) {
        if (!allowCompiled) return kRefused;
        return program.load(stream, data[0] == kYCompiledSwapped) ? kCompiled : kRefused;
    }
    if (length > kYMaxScriptBytes) {
        // A stream cannot end the process: the compilation fails instead.
        KvSysUserMessage("Script too long", kKvSysMessageModal, nullptr);
        return kRefused;
    }
    adopt(data, length, offset);
    return kText;
}

void YLexer::release() {
    for (IncludeFrame& frame : includes) std::free(frame.text);
    includes.clear();
    std::free(buffer);
    buffer = scan = tokenStart = nullptr;
    size = 0;
}

int YLexer::include(const char* fileName, long resumeOffset) {
    if (static_cast<int>(includes.size()) >= kYMaxIncludeDepth) return kRefused;
    buffer[resumeOffset] = '\r';  // the include line's end, cut for the file name
    includes.push_back({currentFileName, buffer, size, resumeOffset});
    buffer = nullptr;
    const int result = fill(fileName, 0, 0);
    // On failure, back to the including text, so the error is reported where the include stands.
    if (result != kText) resume();
    return result;
}

bool YLexer::resume() {
    if (includes.empty()) return false;
    IncludeFrame frame = includes.back();
    includes.pop_back();
    std::free(buffer);
    buffer = frame.text;
    size = frame.size;
    scan = tokenStart = buffer + frame.offset;
    setFileName(frame.fileName.c_str());
    return true;
}

// ------------------------------------------------------------ scanning

bool YLexer::skipBlanks(int skipLines) {
    while (*scan) {
        const unsigned char c = static_cast<unsigned char>(*scan);
        if (printable(c)) return true;
        if (!skipLines && c == '\r') return false;
        ++scan;
    }
    return false;
}

// A token runs to a space, a byte above 126 or (for a statement's first
// word, keepEquals 0) an "=", unless a double or single quote is open; it
// never takes a byte below 32.
int YLexer::advancePastSeparator(char*& p, int keepEquals) {
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

char* YLexer::getToken(int skipLines) {
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

long YLexer::lineOf(const char* p) const {
    long line = 1;
    if (!buffer || !p) return line;
    for (const char* c = buffer; c < p && *c; ++c)
        if (*c == '\r') ++line;
    return line;
}

// "%ld: " stands where the text 20 bytes before the token started, its NUL
// turned into a blank, so the text before the token follows it; the text is
// cut 50 bytes after the token start and at the buffer's bounds.
void YLexer::reportError() {
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

// Reading a script's text: from a named file, through the host's URL opener,
// or from a stream; compiled script files are recognised by their first byte
// (1 or 2) and handed to the loader. The text lies in one buffer followed by
// a carriage return and a NUL. Line feeds that do not follow a carriage
// return become carriage returns in place, so a script written on this
// system ends its lines exactly as one written with CR LF, and offsets and
// line numbers stay those of the file.
//
// Includes keep the including text on a stack and continue in the included
// one; at its end the including text resumes just after the include line.
//
// Messages: a fatal one ends the process whatever the host's handler does;
// a compiler message carries the name and line of the file it is about, so
// that a host can show where it stands.
#include "script/YScriptText.h"

#include "framework/KvIStream.h"
#include "framework/KvSys.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

char* YScriptText::buffer = nullptr;
long YScriptText::size = 0;
char* YScriptText::scan = nullptr;
char* YScriptText::tokenStart = nullptr;
char YScriptText::currentFileName[kYFileNameSize] = {};

namespace {

struct IncludeFrame {
    std::string fileName;  // the including file's name
    char* text;            // the including text, owned by the frame
    long size;
    long offset;           // where it resumes: the end of its include line
};

std::vector<IncludeFrame>& includeStack() {
    static std::vector<IncludeFrame> frames;
    return frames;
}

void setFileName(const char* fileName) {
    std::snprintf(YScriptText::currentFileName, sizeof YScriptText::currentFileName, "%s", fileName ? fileName : "");
}

// Line feeds not preceded by a carriage return end lines as carriage returns do.
void unifyLineEnds(char* text, long length) {
    bool afterCarriageReturn = false;  // as the file has it, before any change
    for (long i = 0; i < length; ++i) {
        const bool carriageReturn = text[i] == '\r';
        if (text[i] == '\n' && !afterCarriageReturn) text[i] = '\r';
        afterCarriageReturn = carriageReturn;
    }
}

// Takes length bytes of text as the text to compile, scanning from offset.
void adopt(const unsigned char* text, long length, long offset) {
    std::free(YScriptText::buffer);
    YScriptText::buffer = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 3));
    if (!YScriptText::buffer) YFatal("Script too long");
    if (length > 0) std::memcpy(YScriptText::buffer, text, static_cast<size_t>(length));
    YScriptText::buffer[length] = '\r';
    YScriptText::buffer[length + 1] = 0;
    unifyLineEnds(YScriptText::buffer, length);
    YScriptText::size = length;
    if (offset < 0 || offset > length) offset = length;
    YScriptText::scan = YScriptText::tokenStart = YScriptText::buffer + offset;
}

bool isCompiledMark(unsigned char first) { return first == kYCompiledVersion || first == kYCompiledSwapped; }

}  // namespace

// ------------------------------------------------------------ messages

namespace {
YThread::FatalHandler fatalHandler = nullptr;
YThread::CompileMessageHandler compileMessageHandler = nullptr;
YThread::NameCheck nameCheck = nullptr;
}  // namespace

YThread::NameCheck YThread::setNameCheck(NameCheck check) {
    return std::exchange(nameCheck, check);
}

YThread::FatalHandler YThread::setFatalHandler(FatalHandler handler) {
    return std::exchange(fatalHandler, handler);
}

YThread::CompileMessageHandler YThread::setCompileMessageHandler(CompileMessageHandler handler) {
    return std::exchange(compileMessageHandler, handler);
}

void YFatal(const char* text) {
    // The engine cannot go on from here: a handler that returns still ends the process.
    if (fatalHandler)
        fatalHandler(text);
    else
        KvSysUserMessage(text, kKvSysMessageModal, nullptr);
    std::exit(1);
}

void YScriptText::compileMessage(const char* text, long line, bool numbered) {
    if (compileMessageHandler)
        compileMessageHandler(YCompileMessage{text, currentFileName, line, numbered});
    else
        KvSysUserMessage(text, kKvSysMessageModal, nullptr);
}

// ------------------------------------------------------------ reading a text


int YScriptText::fill(YThread& thread, const char* fileName, long offset, int allowCompiled) {
    currentFileName[0] = 0;
    if (const char* reason = nameCheck && fileName ? nameCheck(fileName) : nullptr) {
        YFatal((std::string("can't find ") + fileName + ": " + reason).c_str());
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
            return thread.load(fileName, first == kYCompiledSwapped) ? kCompiled : kRefused;
        }
        if (length / 2 > kYMaxScriptBytes / 2) {
            std::fclose(file);
            YFatal("Script too long");
        }
        std::rewind(file);
        std::vector<unsigned char> text(static_cast<size_t>(length));
        const size_t got = length > 0 ? std::fread(text.data(), 1, text.size(), file) : 0;
        std::fclose(file);
        adopt(text.data(), static_cast<long>(got), offset);
        return kText;
    }
    if (thread.urlOpener) {
        setFileName(fileName);
        KvIStream* stream = thread.urlOpener(fileName ? fileName : "");
        const int result = fill(thread, stream, offset, allowCompiled);
        delete stream;
        return result;
    }
    char message[kYMessageSize];
    std::snprintf(message, sizeof message, "can't find %s", fileName ? fileName : "");
    YFatal(message);
}

int YScriptText::fill(YThread& thread, KvIStream* stream, long offset, int allowCompiled) {
    if (!stream) {
        char message[kYFileNameSize + 16];
        std::snprintf(message, sizeof message, "%s not found", currentFileName);
        YFatal(message);
    }
    if (!currentFileName[0] && stream->getClassName() == KvIStreamFile::className)
        setFileName(static_cast<KvIStreamFile*>(stream)->getFileName());
    stream->setSrcOffset(0);
    stream->rewind();
    const unsigned char* data = stream->data();
    const long length = stream->size();
    if (length > 0 && isCompiledMark(data[0])) {
        if (!allowCompiled) return kRefused;
        return thread.load(stream, data[0] == kYCompiledSwapped) ? kCompiled : kRefused;
    }
    if (length > kYMaxScriptBytes) {
        // A stream cannot end the process: the compilation fails instead.
        KvSysUserMessage("Script too long", kKvSysMessageModal, nullptr);
        return kRefused;
    }
    adopt(data, length, offset);
    return kText;
}

void YScriptText::release() {
    for (IncludeFrame& frame : includeStack()) std::free(frame.text);
    includeStack().clear();
    std::free(buffer);
    buffer = scan = tokenStart = nullptr;
    size = 0;
}

int YScriptText::include(YThread& thread, const char* fileName, long resumeOffset) {
    if (static_cast<int>(includeStack().size()) >= kYMaxIncludeDepth) return kRefused;
    buffer[resumeOffset] = '\r';  // the include line's end, cut for the file name
    includeStack().push_back({currentFileName, buffer, size, resumeOffset});
    buffer = nullptr;
    const int result = fill(thread, fileName, 0, 0);
    // On failure, back to the including text, so the error is reported where the include stands.
    if (result != kText) resume();
    return result;
}

bool YScriptText::resume() {
    if (includeStack().empty()) return false;
    IncludeFrame frame = includeStack().back();
    includeStack().pop_back();
    std::free(buffer);
    buffer = frame.text;
    size = frame.size;
    scan = tokenStart = buffer + frame.offset;
    setFileName(frame.fileName.c_str());
    return true;
}

int YScriptText::includeDepth() { return static_cast<int>(includeStack().size()); }

// ------------------------------------------------------------ choosing a file

namespace {
YThread::Chooser hostChooser = nullptr;
}

void YThread::setChooser(Chooser chooser) { hostChooser = chooser; }

void YThread::chooseFile(char* chosen, int save) {
    if (!chosen) return;
    if (hostChooser) {
        hostChooser(chosen, save);
        chosen[kYFileNameSize - 1] = 0;
        return;
    }
    KvSysChooseFile("Script", "*.mps", save, chosen, kYFileNameSize);
}

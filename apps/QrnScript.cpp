// Compiling and listing scripts. The engine reports through handlers that
// the tools install: compile messages are kept for the error line, and a
// fatal message ends the tool with status 1 as it ends the engine.
#include "apps/QrnScript.h"

#include "apps/QrnFiles.h"
#include "apps/QrnInfo.h"
#include "apps/QrnOptions.h"
#include "script/YHeap.h"
#include "script/YThread.h"
#include "script/YVariable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

const char kCompileUsage[] =
    "usage: qrn compile [-o OUT] [--byte-order little|big] SCRIPT\n"
    "\n"
    "Compiles SCRIPT (includes and all) into the form the engine loads, by\n"
    "default SCRIPT with the extension .qsc.\n"
    "\n";
const char kDisasmUsage[] =
    "usage: qrn disasm FILE\n"
    "\n"
    "Lists a compiled script: its commands with their index, name and operand\n"
    "(a jump's target, or the words of its list), then its variables.\n"
    "\n";

constexpr char kCompiledExtension[] = ".qsc";
// Record forms that carry a payload before the counts.
constexpr int kFormLong = 3;
constexpr int kFormNumber = 4;
constexpr int kRecordCounts = 4;  // clones, other, size, alias
constexpr int kRecordTexts = 2;   // name, text
constexpr int16_t kListEnd = -1;

std::string compileMessages;

void keepMessage(const YCompileMessage& message) {
    compileMessages += (*message.fileName ? std::string(message.fileName) + ":" : std::string()) +
                       (message.numbered ? "" : std::to_string(message.line) + ": ") + message.text + "\n";
}

void fatal(const char* message) {
    std::fprintf(stderr, "qrn: %s\n", message);
    std::exit(kQrnExitFailed);
}

// Reverses every multi-byte field of a version-2 file in place, following
// its layout and the variable record's; false when the walk leaves the file.
bool reverseFields(std::vector<unsigned char>& f) {
    size_t at = 1;
    bool inside = true;
    const auto field = [&](size_t width) -> int32_t {
        if (f.size() - at < width) return inside = false, 0;
        int32_t v = 0;
        for (size_t i = 0; i < width; ++i) v |= static_cast<int32_t>(f[at + i]) << (8 * i);
        std::reverse(&f[at], &f[at] + width);
        at += width;
        return width == 2 ? static_cast<int16_t>(v) : v;
    };
    const auto skip = [&](long n) { n >= 0 && f.size() - at >= static_cast<size_t>(n) ? at += static_cast<size_t>(n) : inside = false; };
    f[0] = kYCompiledSwapped;
    for (int i = 0, n = field(4); inside && i < n; ++i) skip(1), field(2);
    for (int i = 0, w = field(4); inside && i < w; ++i) field(2);
    for (int i = 3, v = field(4); inside && i < v; ++i) {
        field(4);
        const int form = field(4);
        if (form == kFormLong) field(4);
        if (form == kFormNumber) skip(field(2));
        for (int k = 0; k < kRecordCounts; ++k) field(4);
        for (int k = 0; k < kRecordTexts; ++k) skip(std::max(0, field(4)));
        for (int k = 0, parts = field(4); inside && k < parts; ++k) field(2);
    }
    return inside && at == f.size();
}

const char* commandName(int code) {
    switch (code) {
    case ycCall: return "call";
    case ycProcedure: return "procedure";
    case ycForInit: return "for";
    case ycForNext: return "next";
    case ycBranch: return "branch";
    case ycJump: return "jump";
    case ycIf: return "if";
    case ycEndIf: return "endif";
    case ycSay: return "say";
    case ycReturn: return "return";
    case ycElse: return "else";
    case ycAssign: return "assign";
    case ycDrop: return "drop";
    case ycStatement: return "statement";
    case ycWait: return "wait";
    case ycIdle: return "idle";
    case ycSchedule: return "schedule";
    case ycExit: return "exit";
    case ycSuspend: return "suspend";
    case ycResume: return "resume";
    case ycPause: return "pause";
    case ycDebug: return "debug";
    case ycSet: return "set";
    case ycGet: return "get";
    case ycYield: return "yield";
    case ycPlay: return "play";
    case ycRelay: return "relay";
    case ycQuit: return "quit";
    default: return nullptr;
    }
}

std::string entryName(int index) {
    if (index < 0 || index >= YHeap::theHeap.size()) return "?" + std::to_string(index);
    const YVariable* entry = YHeap::theHeap[index];
    return entry && entry->getName() ? entry->getName() : "";
}

std::string listing(const YThread& thread, int firstVariable) {
    const YCommand* commands = thread.getCommands();
    const int16_t* words = thread.getWords();
    const int count = thread.getCommandCount(), wordCount = thread.getWordCount();
    char line[64];
    std::string out = "commands: " + std::to_string(count) + "\nwords: " + std::to_string(wordCount) + "\n";
    for (int i = 0; i < count; ++i) {
        const YCommand& c = commands[i];
        const char* name = commandName(c.code);
        std::snprintf(line, sizeof line, "%5d  %-10s %5u", i, name ? name : std::to_string(c.code).c_str(), c.operand);
        out += line;
        if (c.code == ycJump || c.code == ycBranch) {
            out += c.operand == kYBreakMarker ? "  (break)" : c.operand == kYContinueMarker ? "  (continue)" : "  -> " + std::to_string(c.operand);
        } else if (c.code != ycReturn && c.code != ycEndIf && c.operand < wordCount) {
            out += " ";
            for (int w = c.operand; w < wordCount && words[w] != kListEnd; ++w) out += " " + entryName(words[w]);
        }
        out += "\n";
    }
    out += "variables: " + std::to_string(YHeap::theHeap.size() - firstVariable) + "\n";
    static const char* const kKinds[] = {"variable", "constant", "path", "substring", "expression", "unclassified"};
    static const char* const kForms[] = {"none", "object", "text", "long", "double"};
    for (int i = firstVariable; i < YHeap::theHeap.size(); ++i) {
        const YVariable* entry = YHeap::theHeap[i];
        if (!entry) continue;
        const unsigned kind = static_cast<unsigned>(entry->getKind()), form = static_cast<unsigned>(entry->getForm());
        int parts = 0;
        entry->getParts(parts);
        std::snprintf(line, sizeof line, "%5d  ", i);
        out += std::string(line) + entryName(i) + "  " + (kind < std::size(kKinds) ? kKinds[kind] : "?") + " " +
               (form < std::size(kForms) ? kForms[form] : "?") + (parts ? " parts " + std::to_string(parts) : "") + "\n";
    }
    return out;
}

void installHandlers() {
    YThread::setCompileMessageHandler(keepMessage);
    YThread::setFatalHandler(fatal);
}

}  // namespace

int qrnCompileCommand(const std::vector<std::string>& args) {
    std::string output, order = "little";
    const std::vector<QrnOption> options = {
        {"-o", "OUT", "the compiled file", [&output](const std::string& v) { return output = v, !v.empty(); }},
        {"--byte-order", "ORDER", "little (the default) or big",
         [&order](const std::string& v) { return order = v, v == "little" || v == "big"; }},
    };
    std::vector<std::string> positional;
    if (const int status = qrnCommandLine("compile", args, options, qrnUsage(kCompileUsage, options),
                                          qrnExactly(1, "give one SCRIPT"), positional);
        status != kQrnGoOn)
        return status;
    std::string error;
    const std::string script = positional[0];
    if (output.empty()) output = std::filesystem::path(script).replace_extension(kCompiledExtension).string();
    if (!std::filesystem::is_regular_file(script)) {
        std::fprintf(stderr, "qrn compile: %s: no such file\n", script.c_str());
        return kQrnExitFailed;
    }
    installHandlers();
    YThread thread(script.c_str());
    if (!thread) {
        std::fprintf(stderr, "qrn compile: %s does not compile\n%s", script.c_str(), compileMessages.c_str());
        return kQrnExitFailed;
    }
    const bool big = order == "big";
    const bool saved = QrnFiles::writeWith(
        output,
        [&](const std::string& to) {
            if (!thread.save(to.c_str())) return false;
            if (!big) return true;
            std::vector<unsigned char> bytes;
            std::string ignored;
            if (!QrnFiles::read(to, bytes, ignored) || !reverseFields(bytes)) return false;
            std::ofstream out(to, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            return static_cast<bool>(out);
        },
        error);
    if (!saved) return std::fprintf(stderr, "qrn compile: %s\n", error.c_str()), kQrnExitFailed;
    std::printf("%s: %d commands, %d words\n", output.c_str(), thread.getCommandCount(), thread.getWordCount());
    return kQrnExitOk;
}

int qrnDisasmCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    if (const int status = qrnCommandLine("disasm", args, {}, kDisasmUsage, qrnExactly(1, "give one FILE"), positional);
        status != kQrnGoOn)
        return status;
    std::string error;
    // The checks that name an offset first; the engine's loader then reads it.
    std::vector<unsigned char> bytes;
    std::string lines, why;
    size_t offset = 0;
    if (!QrnFiles::read(positional[0], bytes, error))
        return std::fprintf(stderr, "qrn disasm: %s\n", error.c_str()), kQrnExitFailed;
    if (!QrnInfo::describe(QrnFileKind::script, bytes, lines, offset, why))
        return std::fprintf(stderr, "qrn disasm: %s: offset %zu: %s\n", positional[0].c_str(), offset, why.c_str()),
               kQrnExitFailed;
    installHandlers();
    const int firstVariable = YHeap::theHeap.size();
    YThread thread(positional[0].c_str());
    if (!thread) return std::fprintf(stderr, "qrn disasm: %s: the loader refuses it\n", positional[0].c_str()), kQrnExitFailed;
    std::fputs(listing(thread, firstVariable).c_str(), stdout);
    return kQrnExitOk;
}

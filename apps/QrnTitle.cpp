// The title host: hooks, window, keywords, thread, session, passes.
#include "apps/QrnTitle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "anim/KvAnimation.h"
#include "apps/QrnAOCheck.h"
#include "apps/QrnHostKeywords.h"
#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/KvIStream.h"
#include "framework/KvLink.h"
#include "framework/KvPng.h"
#include "framework/KvRecording.h"
#include "framework/KvSys.h"
#include "framework/KvRecordingBackend.h"
#include "framework/KvReplayBackend.h"
#include "script/YThread.h"
#include "sob/KvSR.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTrinketWindow.h"

namespace {

namespace fs = std::filesystem;

const char kOutside[] = "outside the title";

// Where the hooks look: the script's folder.
fs::path titleDir;
// The folder as a canonical path, and whether names must lie under it.
fs::path titleRoot;
bool confined = true;
// The command's name for messages.
std::string commandName;
// Plug-in files already named in a message, and why they were not loaded.
std::vector<std::string> toldPlugins;
const char* pluginsRefused = "";
// Animation files already checked.
std::vector<std::string> checkedAnimations;
// The statement watch: statements run so far and the limit (0: none).
long statementCount = 0;
long statementLimit = 0;
bool statementLimitReached = false;
// What openTitle replaced, for closeTitle to put back.
int savedUseEmbeddedXYZ = 1;
int savedDynamicLoad = 1;
YThread::CompileMessageHandler savedCompileHandler = nullptr;
YThread::NameCheck savedNameCheck = nullptr;
YThread::StatementWatch savedStatementWatch = nullptr;
KvSR::MissHandler savedMissHandler = nullptr;

// Relative names are taken from the working directory, as the files are opened.
bool insideTitle(const fs::path& path) {
    if (!confined) return true;
    if (titleRoot.empty()) return false;  // the folder itself could not be resolved
    std::error_code e;
    const fs::path real = fs::weakly_canonical(fs::absolute(path, e), e);
    if (e) return false;
    return std::mismatch(titleRoot.begin(), titleRoot.end(), real.begin(), real.end()).first == titleRoot.end();
}

const char* checkScriptName(const char* name) { return insideTitle(name) ? nullptr : kOutside; }

bool watchStatements() {
    ++statementCount;
    if (statementLimit && statementCount >= statementLimit && !statementLimitReached) {
        statementLimitReached = true;
        if (KvApp::theApp) KvApp::theApp->stop(0);
        return true;
    }
    return statementCount % kQrnStatementsPerPass == 0;
}

// A class that a plug-in next to the title would have provided.
void missedClass(const char* className) {
    std::string file = className;
    if (file.find('.') == std::string::npos) file += kKvSRPluginExtension;
    std::error_code e;
    if (!fs::is_regular_file(file, e) || std::find(toldPlugins.begin(), toldPlugins.end(), file) != toldPlugins.end())
        return;
    toldPlugins.push_back(file);
    std::fprintf(stderr, "%s: %s not loaded: %s\n", commandName.c_str(), file.c_str(), pluginsRefused);
}

KvIStream* openFile(const fs::path& path) {
    std::error_code e;
    if (!fs::is_regular_file(path, e)) return nullptr;
    if (!insideTitle(path)) {
        std::fprintf(stderr, "%s: %s: %s\n", commandName.c_str(), path.string().c_str(), kOutside);
        return nullptr;
    }
    auto* stream = new KvIStreamFile(path.string().c_str());
    if (stream->good()) return stream;
    delete stream;
    return nullptr;
}
// The library takes an animation file it cannot read as an empty animation,
// without a word; the author hears why, once a file, at the first wrong byte.
KvIStream* openAnimation(const fs::path& path) {
    KvIStream* stream = openFile(path);
    if (!stream || std::find(checkedAnimations.begin(), checkedAnimations.end(), path.string()) != checkedAnimations.end())
        return stream;
    checkedAnimations.push_back(path.string());
    const unsigned char* bytes = stream->data();
    size_t offset = 0;
    std::string why;
    if (!QrnAOCheck::check(std::vector<unsigned char>(bytes, bytes + stream->size()), offset, why))
        std::fprintf(stderr, "%s: %s: offset %zu: %s\n", commandName.c_str(), path.string().c_str(), offset, why.c_str());
    return stream;
}
KvIStream* animationFile(KvRscID id) { return openAnimation(titleDir / "ao" / (std::to_string(id.value()) + ".ao")); }
KvIStream* soundFile(KvRscID id) { return openFile(titleDir / "snd" / (std::to_string(id.value()) + ".wav")); }
KvIStream* paletteFile(KvIStream*) { return openFile(titleDir / "palette.plt"); }

// "FILE:LINE: text", as compilers say where they stand; the library's
// line-numbered message already begins with "LINE: ".
void showWithFileName(const YCompileMessage& m) {
    std::string text = m.text;
    if (m.fileName[0])
        text = std::string(m.fileName) + ":" + (m.numbered ? "" : std::to_string(m.line) + ": ") + m.text;
    KvSysUserMessage(text.c_str(), kKvSysMessageModal, nullptr);
}

// Hooks, switches and the compile message handler, then a window on the
// current application, named after the title's folder. Between openTitle and
// closeTitle the library's class switches keep their defaults, unless an
// option asks otherwise; dynamic loading is off unless plug-ins are allowed.
std::unique_ptr<KvTrinketWindow> openTitle(const QrnTitleSettings& settings, const char* command) {
    titleDir = fs::path(settings.script).parent_path();
    if (titleDir.empty()) titleDir = ".";
    std::error_code e;
    titleRoot = fs::weakly_canonical(fs::absolute(titleDir, e), e);
    if (e) titleRoot.clear();
    confined = !settings.allowOutside;
    commandName = command;
    toldPlugins.clear();
    checkedAnimations.clear();
    pluginsRefused = settings.pluginsOffered ? "plug-ins run native code; pass --plugins to allow"
                                             : "plug-ins (native code) do not run in this player";
    statementCount = 0;
    statementLimit = settings.maxStatements;
    statementLimitReached = false;
    savedNameCheck = YThread::setNameCheck(&checkScriptName);
    savedStatementWatch = YThread::setStatementWatch(&watchStatements);
    savedDynamicLoad = KvSR::getDynamicLoad();
    KvSR::setDynamicLoad(settings.plugins ? 1 : 0);
    savedMissHandler = KvSR::setMissHandler(&missedClass);
    KvAnimation::installSrcURL(&animationFile);
    KvAnimation::installSndURL(&soundFile);
    KvAnimation::installPaletteURL(&paletteFile);
    savedUseEmbeddedXYZ = KvAnimation::isUsingEmbeddedXYZ();
    if (settings.scriptPositions) KvAnimation::setUseEmbeddedXYZ(0);
    savedCompileHandler = YThread::setCompileMessageHandler(&showWithFileName);
    auto window = std::make_unique<KvTrinketWindow>(
        KvRect(0, 0, static_cast<int>(settings.width), static_cast<int>(settings.height)), new KvTBackground, 0, -1,
        -1, static_cast<int>(settings.depth), 1, 0);
    if (KvIStream* palette = paletteFile(nullptr)) {
        KvColor colors[kAOPaletteEntries];
        window->twGetCollector()->getPalette(colors);
        KvAnimation::loadPalette(palette, colors);
        window->twSetPalette(colors, 0);
    }
    window->setTitle(qrnTitleName(settings.script).c_str());
    return window;
}

void closeTitle() {
    KvAnimation::installSrcURL(nullptr);
    KvAnimation::installSndURL(nullptr);
    KvAnimation::installPaletteURL(nullptr);
    KvAnimation::setUseEmbeddedXYZ(savedUseEmbeddedXYZ);
    YThread::setCompileMessageHandler(savedCompileHandler);
    YThread::setNameCheck(savedNameCheck);
    YThread::setStatementWatch(savedStatementWatch);
    KvSR::setDynamicLoad(savedDynamicLoad);
    KvSR::setMissHandler(savedMissHandler);
}

// The application stops when the window's close button (or a recorded close) is pressed.
void stopApp(const void*) {
    if (KvApp::theApp) KvApp::theApp->stop(0);
}

}  // namespace

std::string qrnTitleName(const std::string& script) {
    std::error_code ignored;
    fs::path folder = fs::absolute(fs::path(script), ignored).lexically_normal().parent_path();
    const std::string name = folder.filename().string();
    return name.empty() || name == "." ? "qrn" : name;
}

std::string qrnFindScript(const std::string& title, std::string& error) {
    std::error_code e;
    if (!fs::is_directory(title, e)) return title;
    if (fs::is_regular_file(fs::path(title) / "main.mps", e)) return (fs::path(title) / "main.mps").string();
    std::vector<fs::path> scripts;
    for (const fs::directory_entry& entry : fs::directory_iterator(title, e))
        if (entry.path().extension() == ".mps" && entry.is_regular_file(e)) scripts.push_back(entry.path());
    if (scripts.size() == 1) return scripts[0].string();
    error = title + (scripts.empty() ? ": a folder with no .mps script" : ": a folder with several scripts and no main.mps");
    return "";
}

QrnTitleSession::QrnTitleSession(const QrnTitleSettings& s, QrnTitleHost& h) : settings(s), host(h) {}

QrnTitleSession::~QrnTitleSession() {
    if (!finished) finish();
}

bool QrnTitleSession::start() {
    // Everything a recording needs is checked before anything runs.
    KvRecording recording;
    if (!settings.replay.empty()) {
        std::string error;
        if (!recording.load(settings.replay.c_str(), error)) {
            std::fprintf(stderr, "%s: %s\n", host.command(), error.c_str());
            status = 1;
            return false;
        }
        if (recording.width != settings.width || recording.height != settings.height ||
            recording.depth != settings.depth) {
            std::fprintf(stderr, "%s: %s: recorded in a %dx%d window at %d bits; this run is %ldx%ld at %ld bits\n",
                         host.command(), settings.replay.c_str(), recording.width, recording.height, recording.depth,
                         settings.width, settings.height, settings.depth);
            status = 1;
            return false;
        }
    }
    if (!settings.record.empty() && !(recordFile = std::fopen(settings.record.c_str(), "w"))) {
        std::fprintf(stderr, "%s: cannot write %s\n", host.command(), settings.record.c_str());
        status = 1;
        return false;
    }

    // The session's random numbers come from a seed it can be played again with.
    unsigned seed = static_cast<unsigned>(std::time(nullptr));
    if (!settings.replay.empty()) seed = recording.seed;
    if (recordFile || !settings.replay.empty()) std::srand(seed);

    KvBackend* base = host.backend();
    KvBackend* top = base;
    if (recordFile) {
        recorder = std::make_unique<KvRecordingBackend>(base, recordFile, static_cast<int>(settings.width),
                                                        static_cast<int>(settings.height),
                                                        static_cast<int>(settings.depth), seed);
        top = recorder.get();
    } else if (!settings.replay.empty()) {
        replayer = std::make_unique<KvReplayBackend>(base, std::move(recording));
        top = replayer.get();
    }
    KvBackend::install(top);
    installed = true;

    status = kQrnExitPassLimit;
    app = std::make_unique<KvApp>();
    // Made before the threads (this one, then those the keywords started) and
    // let go after them: the last thread to go takes the heap's objects with
    // it, some of which are the window's trinkets.
    window = openTitle(settings, host.command());
    const KvLinkToFct closeLink(&stopApp);
    window->closeSetLink(&closeLink);
    // A person at the controls is not idle: input starts every thread's idle time afresh.
    const KvLinkToFct inputLink([](const void*) { YThread::resetIdle(); });
    window->twEventSetLink(&inputLink);
    if (replayer) replayer->setTarget(window.get());
    host.opened(*window);
    keywords = std::make_unique<QrnHostKeywords>(settings.script, host.command(), &openFile, &openAnimation);
    thread = std::make_unique<YThread>(settings.script.c_str());
    if (!*thread) {
        status = 1;
        return false;
    }
    thread->go();
    running = true;
    return true;
}

bool QrnTitleSession::pass() {
    if (!running || finished || (settings.maxPasses != 0 && passes >= settings.maxPasses)) return false;
    ++passes;
    app->pass();
    if (app->isStopped()) {
        status = statementLimitReached ? kQrnExitPassLimit : 0;
        return false;
    }
    if (!*thread) {  // ended, or a script it switched to did not compile
        status = thread->lastCompileFailed() ? 1 : 0;
        return false;
    }
    return settings.maxPasses == 0 || passes < settings.maxPasses;
}

int QrnTitleSession::finish() {
    if (finished) return status;
    finished = true;
    if (window) {
        // The last picture the window showed: objects that the script's end
        // deleted are still on it.
        if (!settings.screenshot.empty()) {
            const KvCanvas* picture = host.shown(*window);
            if (!picture || !KvSavePng(*picture, settings.screenshot.c_str())) {
                std::fprintf(stderr, "%s: cannot write %s\n", host.command(), settings.screenshot.c_str());
                status = 1;
            }
        }
        thread.reset();
        keywords.reset();
        window.reset();
        app.reset();
        closeTitle();
    }
    if (installed) KvBackend::install(nullptr);
    recorder.reset();
    replayer.reset();
    if (recordFile && std::fclose(recordFile) != 0) {
        std::fprintf(stderr, "%s: cannot write %s\n", host.command(), settings.record.c_str());
        if (status == 0) status = 1;
    }
    recordFile = nullptr;
    return status;
}

int qrnRunTitle(const QrnTitleSettings& settings, QrnTitleHost& host) {
    QrnTitleSession session(settings, host);
    if (session.start())
        while (session.pass()) {
        }
    return session.finish();
}

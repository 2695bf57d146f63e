// The run command: options, the title's host (window, background, stream
// hooks), then the headless host loop.
//
// Exit statuses: 0 the script quit or ended (exit with no calling script);
// 1 the script cannot be found or is too long (the library ends the process
// with its message) or does not compile, or the screenshot cannot be
// written; 2 wrong usage; 3 the pass limit was reached (a script waiting at
// wait keeps running: its handlers and timers still fire).
//
// A title's files lie next to its script: animation N in ao/N.ao, sound N in
// snd/N.wav, and the palette in palette.plt.
#include "apps/QrnRun.h"

#include "anim/KvAnimation.h"
#include "apps/QrnHostKeywords.h"
#include "apps/QrnOptions.h"
#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/KvPng.h"
#include "framework/headless/KvHeadlessBackend.h"
#include "script/YThread.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTrinketWindow.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

const char kRunUsage[] =
    "usage: qrn run [--max-passes N] [--ms-per-pass M] [--size WxH] [--depth D]\n"
    "               [--screenshot FILE.png] SCRIPT\n"
    "\n"
    "Runs SCRIPT (a script text or compiled script file, relative to the current\n"
    "directory) in a headless host whose clock advances M ms per main-loop pass.\n"
    "Scripts draw in an off-screen window of W x H pixels at D bits (white where\n"
    "nothing is drawn) and find the title's files next to SCRIPT: animation N\n"
    "(\"a=KvAnimation X Y N\", placed at X, Y) in ao/N.ao, sound N in snd/N.wav,\n"
    "the palette in palette.plt (needed for colours at any depth).\n"
    "say appends to debug.txt in the current directory.\n"
    "\n";

const char kRunStatuses[] =
    "\n"
    "exit status: 0 the script quit or ended; 1 it cannot be found, is too long or\n"
    "does not compile, or the screenshot cannot be written; 2 wrong usage; 3 N\n"
    "passes ran first.\n";

// Where the hooks look: the script's directory.
fs::path titleDir;

KvIStream* openFile(const fs::path& path) {
    std::error_code e;
    if (!fs::is_regular_file(path, e)) return nullptr;
    auto* stream = new KvIStreamFile(path.string().c_str());
    if (stream->good()) return stream;
    delete stream;
    return nullptr;
}
KvIStream* animationFile(KvRscID id) { return openFile(titleDir / "ao" / (std::to_string(id.value()) + ".ao")); }
KvIStream* soundFile(KvRscID id) { return openFile(titleDir / "snd" / (std::to_string(id.value()) + ".wav")); }
KvIStream* paletteFile(KvIStream*) { return openFile(titleDir / "palette.plt"); }

bool parseSize(const std::string& text, long& width, long& height) {
    const size_t x = text.find('x');
    return x != std::string::npos && parseWhole(text.substr(0, x), 1, kKvMaxCanvasSide, width) &&
           parseWhole(text.substr(x + 1), 1, kKvMaxCanvasSide, height);
}

std::vector<QrnOption> runOptions(QrnRunSettings& settings) {
    return {
        {"--max-passes", "N", "stop after N main-loop passes (default 1000000)",
         [&settings](const std::string& v) { return parseWhole(v, 1, 2000000000L, settings.maxPasses); }},
        {"--ms-per-pass", "M", "milliseconds the clock advances per pass (default 10)",
         [&settings](const std::string& v) { return parseWhole(v, 0, 1000000L, settings.msPerPass); }},
        {"--size", "WxH", "the window's size in pixels (default 640x480)",
         [&settings](const std::string& v) { return parseSize(v, settings.width, settings.height); }},
        {"--depth", "D", "the window's bits per pixel: 8, 16, 24 or 32 (default 16)",
         [&settings](const std::string& v) {
             long d = 0;
             if (!parseWhole(v, 8, 32, d) || (d != 8 && d != 16 && d != 24 && d != 32)) return false;
             settings.depth = d;
             return true;
         }},
        {"--screenshot", "FILE.png", "save what the window shows when the run ends",
         [&settings](const std::string& v) {
             settings.screenshot = v;
             return !v.empty();
         }},
    };
}

// The title's host: hooks, then a window on the current application.
std::unique_ptr<KvTrinketWindow> openTitle(const QrnRunSettings& settings) {
    titleDir = fs::path(settings.script).parent_path();
    if (titleDir.empty()) titleDir = ".";
    KvAnimation::installSrcURL(&animationFile);
    KvAnimation::installSndURL(&soundFile);
    KvAnimation::installPaletteURL(&paletteFile);
    // Scripts place their animations themselves.
    KvAnimation::setUseEmbeddedXYZ(0);
    auto window = std::make_unique<KvTrinketWindow>(KvRect(0, 0, static_cast<int>(settings.width), static_cast<int>(settings.height)),
                                                    new KvTBackground, 0, -1, -1, static_cast<int>(settings.depth), 1, 0);
    if (KvIStream* palette = paletteFile(nullptr)) {
        KvColor colors[kAOPaletteEntries];
        window->twGetCollector()->getPalette(colors);
        KvAnimation::loadPalette(palette, colors);
        window->twSetPalette(colors, 0);
    }
    return window;
}

void closeTitle() {
    KvAnimation::installSrcURL(nullptr);
    KvAnimation::installSndURL(nullptr);
    KvAnimation::installPaletteURL(nullptr);
    KvAnimation::setUseEmbeddedXYZ(1);
}

}  // namespace

int qrnRunCommand(const std::vector<std::string>& args) {
    QrnRunSettings settings;
    const std::vector<QrnOption> options = runOptions(settings);
    std::vector<std::string> positional;
    std::string error;
    const QrnParse parsed = parseOptions(args, options, positional, error);
    const std::string usage = std::string(kRunUsage) + "options:\n" + describeOptions(options) + kRunStatuses;
    if (parsed == QrnParse::help) {
        std::fputs(usage.c_str(), stdout);
        return kQrnExitOk;
    }
    if (parsed == QrnParse::ok && positional.size() != 1) error = positional.empty() ? "no SCRIPT given" : "more than one SCRIPT given";
    if (!error.empty()) {
        std::fprintf(stderr, "qrn run: %s\n%s", error.c_str(), usage.c_str());
        return kQrnExitUsage;
    }
    settings.script = positional[0];
    return qrnRunScript(settings);
}

int qrnRunScript(const QrnRunSettings& settings) {
    KvHeadlessBackend backend;
    backend.setStepPerPass(static_cast<unsigned long>(settings.msPerPass));
    backend.setDisplayDepth(static_cast<int>(settings.depth));
    KvBackend::install(&backend);
    int status = kQrnExitPassLimit;
    {
        KvApp app;
        // Declared before the thread: the thread goes first, and with it the
        // heap's objects, some of which are the window's trinkets.
        std::unique_ptr<KvTrinketWindow> window = openTitle(settings);
        const QrnHostKeywords keywords(settings.script);
        YThread thread(settings.script.c_str());
        if (!thread) {
            status = kQrnExitFailed;
        } else {
            thread.go();
            for (long pass = 0; pass < settings.maxPasses; ++pass) {
                app.pass();
                if (app.isStopped()) {
                    status = kQrnExitOk;
                    break;
                }
                if (!thread) {  // ended, or a script it switched to did not compile
                    status = thread.lastCompileFailed() ? kQrnExitFailed : kQrnExitOk;
                    break;
                }
            }
        }
        // The last picture the window showed: objects that the script's end
        // deleted are still on it.
        if (!settings.screenshot.empty()) {
            const KvHeadlessWindow* shown = backend.windowOf(window.get());
            if (!shown || !KvSavePng(shown->display(), settings.screenshot.c_str())) {
                std::fprintf(stderr, "qrn run: cannot write %s\n", settings.screenshot.c_str());
                status = kQrnExitFailed;
            }
        }
    }
    closeTitle();
    KvBackend::install(nullptr);
    return status;
}

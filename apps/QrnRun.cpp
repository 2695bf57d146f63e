// The run command: options, the title's host, then the headless host loop.
//
// Exit statuses: 0 the script quit or ended (exit with no calling script);
// 1 the script cannot be found or is too long (the library ends the process
// with its message) or does not compile, or the screenshot cannot be
// written; 2 wrong usage; 3 the pass limit was reached (a script waiting at
// wait keeps running: its handlers and timers still fire).
//
// The title's host (files next to the script, the window, where animations
// go, compile messages naming the file) is QrnTitle's, shared with the other
// commands that run a title.
#include "apps/QrnRun.h"

#include "apps/QrnHostKeywords.h"
#include "apps/QrnOptions.h"
#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/KvPng.h"
#include "framework/headless/KvHeadlessBackend.h"
#include "script/YThread.h"
#include "trinket/KvTrinketWindow.h"

#include <cstdio>
#include <memory>

namespace {

const char kRunUsage[] =
    "usage: qrn run [--max-passes N] [--ms-per-pass M] [--size WxH] [--depth D]\n"
    "               [--script-positions] [--screenshot FILE.png] SCRIPT\n"
    "\n"
    "Runs SCRIPT (a script text or compiled script file, relative to the current\n"
    "directory) in a headless host whose clock advances M ms per main-loop pass.\n"
    "Scripts draw in an off-screen window of W x H pixels at D bits (white where\n"
    "nothing is drawn) and find the title's files next to SCRIPT: animation N\n"
    "in ao/N.ao, sound N in snd/N.wav, the palette in palette.plt (needed for\n"
    "colours at any depth). \"a=KvAnimation X Y N\" places the animation at the\n"
    "position and Z stored in its file, or at X, Y with --script-positions.\n"
    "say appends to debug.txt in the current directory. Compile errors name the\n"
    "file and line: \"SCRIPT:LINE: ...\".\n"
    "\n";

const char kRunStatuses[] =
    "\n"
    "exit status: 0 the script quit or ended; 1 it cannot be found, is too long or\n"
    "does not compile, or the screenshot cannot be written; 2 wrong usage; 3 N\n"
    "passes ran first.\n";

std::vector<QrnOption> runOptions(QrnRunSettings& settings) {
    std::vector<QrnOption> options = {
        {"--max-passes", "N", "stop after N main-loop passes (default 1000000)",
         [&settings](const std::string& v) { return parseWhole(v, 1, 2000000000L, settings.maxPasses); }},
        {"--ms-per-pass", "M", "milliseconds the clock advances per pass (default 10)",
         [&settings](const std::string& v) { return parseWhole(v, 0, 1000000L, settings.msPerPass); }},
    };
    for (QrnOption& o : titleOptions(settings.title)) options.push_back(std::move(o));
    options.push_back({"--screenshot", "FILE.png", "save what the window shows when the run ends",
                       [&settings](const std::string& v) {
                           settings.screenshot = v;
                           return !v.empty();
                       }});
    return options;
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
    settings.title.script = positional[0];
    return qrnRunScript(settings);
}

int qrnRunScript(const QrnRunSettings& settings) {
    KvHeadlessBackend backend;
    backend.setStepPerPass(static_cast<unsigned long>(settings.msPerPass));
    backend.setDisplayDepth(static_cast<int>(settings.title.depth));
    KvBackend::install(&backend);
    int status = kQrnExitPassLimit;
    {
        KvApp app;
        // Declared before the thread: the thread goes first, and with it the
        // heap's objects, some of which are the window's trinkets.
        std::unique_ptr<KvTrinketWindow> window = openTitle(settings.title);
        const QrnHostKeywords keywords(settings.title.script);
        YThread thread(settings.title.script.c_str());
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

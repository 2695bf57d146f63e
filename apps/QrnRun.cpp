// The run command: options, then the headless host loop.
//
// Exit statuses: 0 the script quit or ended (exit with no calling script);
// 1 the script cannot be found or is too long (the library ends the process
// with its message) or does not compile; 2 wrong usage; 3 the pass limit was
// reached (a script waiting at wait keeps running: its handlers and timers
// still fire).
#include "apps/QrnRun.h"

#include "apps/QrnHostKeywords.h"
#include "apps/QrnOptions.h"
#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/headless/KvHeadlessBackend.h"
#include "script/YThread.h"

#include <cstdio>

namespace {

const char kRunUsage[] =
    "usage: qrn run [--max-passes N] [--ms-per-pass M] SCRIPT\n"
    "\n"
    "Runs SCRIPT (a script text or compiled script file, relative to the current\n"
    "directory) in a headless host whose clock advances M ms per main-loop pass.\n"
    "say appends to debug.txt in the current directory.\n"
    "\n";

const char kRunStatuses[] =
    "\n"
    "exit status: 0 the script quit or ended; 1 it cannot be found, is too long or\n"
    "does not compile; 2 wrong usage; 3 N passes ran first.\n";

std::vector<QrnOption> runOptions(QrnRunSettings& settings) {
    return {
        {"--max-passes", "N", "stop after N main-loop passes (default 1000000)",
         [&settings](const std::string& v) { return parseWhole(v, 1, 2000000000L, settings.maxPasses); }},
        {"--ms-per-pass", "M", "milliseconds the clock advances per pass (default 10)",
         [&settings](const std::string& v) { return parseWhole(v, 0, 1000000L, settings.msPerPass); }},
    };
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
    KvBackend::install(&backend);
    int status = kQrnExitPassLimit;
    {
        KvApp app;
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
    }
    KvBackend::install(nullptr);
    return status;
}

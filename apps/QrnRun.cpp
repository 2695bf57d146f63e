// The run command: options, then the title on the headless backend.
#include "apps/QrnRun.h"

#include <cstdio>

#include "framework/KvBackend.h"
#include "framework/KvCanvas.h"
#include "framework/headless/KvHeadlessBackend.h"
#include "trinket/KvTrinketWindow.h"

namespace {

const char kRunUsage[] =
    "usage: qrn run [options] TITLE\n"
    "\n"
    "Runs TITLE (a script text or compiled script file, or a folder holding main.mps\n"
    "or a single .mps) in a headless host whose clock advances M ms per main-loop\n"
    "pass. Scripts draw in an off-screen window of W x H pixels at D bits (white\n"
    "where nothing is drawn) and find the title's files next to the script:\n"
    "animation N (\"a=KvAnimation X Y N\", placed where the file says unless\n"
    "--script-positions) in ao/N.ao, sound N in snd/N.wav, the palette in palette.plt\n"
    "(needed for colours at any depth). say appends to debug.txt in the current\n"
    "directory. Compile errors name the file and line: \"SCRIPT:LINE: ...\".\n"
    "A title opens only files inside its folder unless --allow-outside, and loads\n"
    "no .lrn plug-in (native code) unless --plugins.\n"
    "\n";

const char kRunStatuses[] =
    "\n"
    "exit status: 0 the script quit or ended; 1 it cannot be found, is too long or\n"
    "does not compile, a recording is refused, or the screenshot cannot be written;\n"
    "2 wrong usage; 3 N passes (or statements) ran first.\n";

bool parseSize(const std::string& text, long& width, long& height) {
    const size_t x = text.find('x');
    return x != std::string::npos && parseWhole(text.substr(0, x), 1, kKvMaxCanvasSide, width) &&
           parseWhole(text.substr(x + 1), 1, kKvMaxCanvasSide, height);
}

class HeadlessHost : public QrnTitleHost {
public:
    explicit HeadlessHost(long msPerPass, long depth) {
        headless.setStepPerPass(static_cast<unsigned long>(msPerPass));
        headless.setDisplayDepth(static_cast<int>(depth));
    }
    KvBackend* backend() override { return &headless; }
    const KvCanvas* shown(KvTrinketWindow& window) override {
        const KvHeadlessWindow* w = headless.windowOf(&window);
        return w ? &w->display() : nullptr;
    }
    const char* command() const override { return "qrn run"; }

private:
    KvHeadlessBackend headless;
};

}  // namespace

std::vector<QrnOption> qrnTitleOptions(QrnTitleSettings& settings) {
    return {
        {"--max-passes", "N", "stop after N main-loop passes",
         [&settings](const std::string& v) { return parseWhole(v, 1, 2000000000L, settings.maxPasses); }},
        {"--max-statements", "N", "stop after N script statements (a script that never yields)",
         [&settings](const std::string& v) { return parseWhole(v, 1, 2000000000L, settings.maxStatements); }},
        {"--allow-outside", nullptr, "let the title open files outside its folder",
         [&settings](const std::string&) { return settings.allowOutside = true; }},
        {"--plugins", nullptr, "load .lrn plug-ins (native code) that the title names",
         [&settings](const std::string&) { return settings.plugins = true; }},
        {"--ms-per-pass", "M", "milliseconds per main-loop pass (default 10)",
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
        {"--script-positions", nullptr, "animations at the script's X Y, not where their files say",
         [&settings](const std::string&) { return settings.scriptPositions = true; }},
        {"--screenshot", "FILE.png", "save what the window shows when the run ends",
         [&settings](const std::string& v) {
             settings.screenshot = v;
             return !v.empty();
         }},
        {"--replay", "FILE", "play a recorded session in place of input",
         [&settings](const std::string& v) {
             settings.replay = v;
             return !v.empty();
         }},
    };
}

int qrnRunCommand(const std::vector<std::string>& args) {
    QrnTitleSettings settings;
    const std::vector<QrnOption> options = qrnTitleOptions(settings);
    std::vector<std::string> positional;
    const std::string usage = qrnUsage(kRunUsage, options, "(--max-passes defaults to 1000000)\n") + kRunStatuses;
    const auto oneTitle = [](const std::vector<std::string>& p) {
        return std::string(p.empty() ? "no TITLE given" : p.size() > 1 ? "more than one TITLE given" : "");
    };
    if (const int status = qrnCommandLine("run", args, options, usage, oneTitle, positional); status != kQrnGoOn)
        return status;
    std::string error;
    settings.script = qrnFindScript(positional[0], error);
    if (settings.script.empty()) {
        std::fprintf(stderr, "qrn run: %s\n", error.c_str());
        return kQrnExitFailed;
    }
    return qrnRunScript(settings);
}

int qrnRunScript(const QrnTitleSettings& settings) {
    HeadlessHost host(settings.msPerPass, settings.depth);
    return qrnRunTitle(settings, host);
}

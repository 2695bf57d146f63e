// The play command: options, the SDL backend, then the shared title host.
// With no TITLE it plays the demo: installed, under the data folder beside
// the program's (QRN_INSTALLED_DEMO, relative to the program's folder);
// else, from a build tree, in the source tree (QRN_SOURCE_DEMO).
#include "apps/QrnPlay.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <utility>

#include "apps/QrnOptions.h"
#include "apps/QrnRun.h"
#include "apps/QrnTitle.h"
#include "framework/KvPng.h"
#include "framework/KvSys.h"
#include "framework/KvWndCanvas.h"
#include "framework/sdl/KvSdlBackend.h"
#include "trinket/KvTrinketWindow.h"

namespace {

namespace fs = std::filesystem;

const char kPlayUsage[] =
    "usage: qrn play [options] [TITLE]\n"
    "\n"
    "Plays TITLE (a script, or a folder holding main.mps or a single .mps) in a\n"
    "window with sound, as qrn run would run it; with no TITLE, the demo. The picture is scaled by a whole\n"
    "factor with black bars around it. Keys: F11 or Alt+Enter fullscreen, F12 saves\n"
    "a PNG of the window into screenshots/ here. Closing the window ends the run.\n"
    "\n";

const char kPlayStatuses[] =
    "\n"
    "exit status: 0 the script quit or ended, or the window was closed; 1 no display,\n"
    "the script cannot be found, is too long or does not compile, a recording is\n"
    "refused, or a file cannot be written; 2 wrong usage; 3 N passes ran first.\n";

// screenshots/FOLDER-YYYYMMDD-HHMMSS[-N].png, never over an existing file.
std::string snapshotPath(const std::string& title) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const fs::path base = fs::path("screenshots") / (title + "-" + stamp);
    std::error_code e;
    fs::path path = base.string() + ".png";
    for (int n = 2; fs::exists(path, e); ++n) path = base.string() + "-" + std::to_string(n) + ".png";
    return path.string();
}

// The demo's folder, or "" when neither the installed nor the source copy is there.
std::string demoFolder() {
    std::error_code e;
    const fs::path program = KvSysExecutablePath();
    for (const fs::path& folder : {program.empty() ? fs::path() : program.parent_path() / QRN_INSTALLED_DEMO,
                                   fs::path(QRN_SOURCE_DEMO)})
        if (!folder.empty() && fs::is_regular_file(folder / "main.mps", e)) return folder.lexically_normal().string();
    return "";
}

class WindowHost : public QrnTitleHost {
public:
    WindowHost(const KvSdlSettings& settings, std::string name) : sdl(settings), titleName(std::move(name)) {
        sdl.setSnapshotHandler([this](KvWindow* w) { snapshot(w); });
    }
    bool ready() const { return sdl.isReady(); }
    const std::string& error() const { return sdl.getError(); }

    KvBackend* backend() override { return &sdl; }
    const KvCanvas* shown(KvTrinketWindow& window) override { return window.getCanvas(); }
    const char* command() const override { return "qrn play"; }

private:
    void snapshot(KvWindow* w) {
        std::error_code e;
        fs::create_directories("screenshots", e);
        const std::string path = snapshotPath(titleName);
        if (KvSavePng(*w->getCanvas(), path.c_str())) {
            std::printf("%s\n", path.c_str());
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "qrn play: cannot write %s\n", path.c_str());
        }
    }

    KvSdlBackend sdl;
    std::string titleName;
};

}  // namespace

int qrnPlayCommand(const std::vector<std::string>& args) {
    QrnTitleSettings settings;
    settings.maxPasses = 0;
    KvSdlSettings sdl;
    std::vector<QrnOption> options = qrnTitleOptions(settings);
    options.push_back({"--scale", "N", "show the canvas N times its size (1 to 16; default: the largest that fits)",
                       [&sdl](const std::string& v) {
                           long s = 0;
                           if (!parseWhole(v, 1, KvSdlBackend::kMaxScale, s)) return false;
                           sdl.scale = static_cast<int>(s);
                           return true;
                       }});
    options.push_back({"--fullscreen", nullptr, "start in fullscreen",
                       [&sdl](const std::string&) { return sdl.fullscreen = true; }});
    options.push_back({"--mute", nullptr, "open no audio device",
                       [&sdl](const std::string&) { return sdl.mute = true; }});
    options.push_back({"--record", "FILE", "write the session (input and clock) to FILE",
                       [&settings](const std::string& v) {
                           settings.record = v;
                           return !v.empty();
                       }});
    std::vector<std::string> positional;
    const std::string usage = qrnUsage(kPlayUsage, options, "(--max-passes defaults to no limit)\n") + kPlayStatuses;
    const auto check = [&settings](const std::vector<std::string>& p) {
        if (p.size() > 1) return std::string("more than one TITLE given");
        if (!settings.record.empty() && !settings.replay.empty())
            return std::string("--record and --replay cannot go together");
        return std::string();
    };
    if (const int status = qrnCommandLine("play", args, options, usage, check, positional); status != kQrnGoOn)
        return status;
    std::string error;
    if (positional.empty()) {
        positional.push_back(demoFolder());
        if (positional[0].empty()) {
            std::fprintf(stderr, "qrn play: no TITLE given, and the demo is neither installed nor in the source tree\n");
            return kQrnExitFailed;
        }
    }
    settings.script = qrnFindScript(positional[0], error);
    if (settings.script.empty()) {
        std::fprintf(stderr, "qrn play: %s\n", error.c_str());
        return kQrnExitFailed;
    }
    sdl.msPerPass = static_cast<unsigned long>(settings.msPerPass);
    sdl.depth = static_cast<int>(settings.depth);
    WindowHost host(sdl, qrnTitleName(settings.script));
    if (!host.ready()) {
        std::fprintf(stderr, "qrn play: %s\n", host.error().c_str());
        return kQrnExitFailed;
    }
    return qrnRunTitle(settings, host);
}

// The web player: "qrn play" in a browser page. The page (index.html beside
// it) fetches the title's files into the in-memory file system under /title
// and starts this program with the player's arguments: the options of
// "qrn run" and "qrn play" that make sense in a page, then the script. The
// title runs as under "qrn run", on the browser backend, a pass per
// animation frame; main() returns as soon as the first pass is scheduled.
//
// say appends to debug.txt in the current folder as everywhere; every line
// written there is also handed to the page's log as it appears. Plug-ins are
// native code and do not run here: a title that names one is told so.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "apps/QrnOptions.h"
#include "apps/QrnRun.h"
#include "apps/QrnTitle.h"
#include "framework/KvWndCanvas.h"
#include "framework/web/KvWebBackend.h"
#include "trinket/KvTrinketWindow.h"

namespace {

const char kUsage[] =
    "usage: qrn-web [options] SCRIPT\n"
    "\n"
    "Plays SCRIPT in the page's canvas, with its files beside it.\n"
    "options:\n";

// The file that say appends to, read as it grows.
const char kSayFile[] = "debug.txt";
// The most of it read after one pass; the rest waits for the next.
constexpr long kMaxSayBytesPerPass = 64 * 1024;

class PageHost : public QrnTitleHost {
public:
    explicit PageHost(const KvWebSettings& settings) : web(settings) {}
    KvBackend* backend() override { return &web; }
    const KvCanvas* shown(KvTrinketWindow& window) override { return window.getCanvas(); }
    const char* command() const override { return "qrn-web"; }
    KvWebBackend& page() { return web; }

    // Hands the page the whole lines said since the last call.
    void followSay() {
        std::FILE* f = std::fopen(kSayFile, "rb");
        if (!f) return;
        if (std::fseek(f, sayRead, SEEK_SET) == 0) {
            char chunk[4096];
            long left = kMaxSayBytesPerPass;
            for (size_t n; left > 0 && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0; left -= static_cast<long>(n)) {
                sayRead += static_cast<long>(n);
                pending.append(chunk, n);
            }
        }
        std::fclose(f);
        for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
            web.log(pending.substr(0, end));
    }
    // say appends: what the file held before the run is not the run's.
    void skipEarlierSay() {
        if (std::FILE* f = std::fopen(kSayFile, "rb")) {
            if (std::fseek(f, 0, SEEK_END) == 0) sayRead = std::ftell(f);
            std::fclose(f);
        }
    }

private:
    KvWebBackend web;
    long sayRead = 0;
    std::string pending;
};

// Everything outlives main(), which returns while the title plays.
QrnTitleSettings settings;
std::unique_ptr<PageHost> host;
std::unique_ptr<QrnTitleSession> session;

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    settings.pluginsOffered = false;
    settings.maxPasses = 0;  // a page plays on, as "qrn play" does
    KvWebSettings web;
    std::vector<QrnOption> options = qrnTitleOptions(settings);
    std::erase_if(options, [](const QrnOption& o) { return std::string(o.name) == "--plugins"; });
    options.push_back({"--mute", nullptr, "open no audio: sound runs on the clock",
                       [&web](const std::string&) { return web.mute = true; }});
    std::vector<std::string> positional;
    std::string error;
    const QrnParse parsed = parseOptions(args, options, positional, error);
    if (parsed == QrnParse::ok && positional.size() != 1) error = "one SCRIPT, please";
    if (parsed != QrnParse::ok || !error.empty()) {
        std::fprintf(stderr, "qrn-web: %s\n%s%s", error.c_str(), kUsage, describeOptions(options).c_str());
        return kQrnExitUsage;
    }
    settings.script = qrnFindScript(positional[0], error);
    if (settings.script.empty()) {
        std::fprintf(stderr, "qrn-web: %s\n", error.c_str());
        return kQrnExitFailed;
    }
    web.depth = static_cast<int>(settings.depth);
    host = std::make_unique<PageHost>(web);
    host->skipEarlierSay();
    session = std::make_unique<QrnTitleSession>(settings, *host);
    const bool started = session->start();
    host->page().run(
        [started] {
            const bool more = started && session->pass();
            host->followSay();
            return more;
        },
        [] {
            const int status = session->finish();
            host->followSay();
            return status;
        });
    return 0;
}

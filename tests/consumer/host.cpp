// A host program built against the installed qrn package, as a title's
// host would be: the framework's application on the headless backend (a
// virtual clock of 10 ms a pass), one script thread, passes until the
// script ends. The script's say lines land in debug.txt in the working
// directory; the run succeeds only when that file holds exactly the
// expected text and the virtual clock ran past the script's pause.
//
// usage: qrn-consumer-host SCRIPT EXPECTED   (run in a scratch folder)
#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/headless/KvHeadlessBackend.h"
#include "script/YThread.h"
#include "util/QrnSys.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// More passes than the script needs (its pause is 90 passes): a script that
// does not end makes the run fail rather than hang.
constexpr int kMaxPasses = 1000;
// One pause unit of the script language.
constexpr unsigned long kPauseMs = 900;

std::string readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SCRIPT EXPECTED\n", argv[0]);
        return 2;
    }
    std::printf("qrn %s\n", QrnSysGetVersion());
    KvHeadlessBackend headless;
    headless.setStepPerPass(10);
    KvBackend::install(&headless);
    int passes = 0;
    unsigned long elapsed = 0;
    {
        KvApp app;
        YThread thread(argv[1]);
        if (!thread) {
            std::fprintf(stderr, "%s does not compile\n", argv[1]);
            return 1;
        }
        const unsigned long start = headless.milliSeconds();
        thread.go();
        while (thread && !app.isStopped() && passes < kMaxPasses) {
            app.pass();
            ++passes;
        }
        elapsed = headless.milliSeconds() - start;
    }
    KvBackend::install(nullptr);

    const std::string said = readAll("debug.txt");
    const std::string expected = readAll(argv[2]);
    std::fputs(said.c_str(), stdout);
    std::printf("%d passes, %lu ms\n", passes, elapsed);
    if (said != expected) {
        std::fprintf(stderr, "debug.txt differs from %s, which says:\n%s", argv[2], expected.c_str());
        return 1;
    }
    if (passes >= kMaxPasses || elapsed < kPauseMs) {
        std::fprintf(stderr, "the script did not end after its pause\n");
        return 1;
    }
    return 0;
}

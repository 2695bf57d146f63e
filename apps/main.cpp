// qrn: the command-line player. The first argument names a subcommand; each
// subcommand parses its own options (QrnOptions) and returns the exit status.
#include "apps/QrnBackground.h"
#include "apps/QrnExportWeb.h"
#include "apps/QrnInfo.h"
#include "apps/QrnOptions.h"
#include "apps/QrnPack.h"
#include "apps/QrnPalette.h"
#include "apps/QrnPlay.h"
#include "apps/QrnRun.h"
#include "apps/QrnScript.h"
#include "apps/QrnUnpack.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: qrn COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  play     play a title in a window with sound (qrn play --help)\n"
    "  run      run a title headless (qrn run --help)\n"
    "  pack     turn a PNG strip into an animation file (qrn pack --help)\n"
    "  unpack   take an animation apart into PNGs and a manifest (qrn unpack --help)\n"
    "  bg       compress a PNG into a background, or back (qrn bg --help)\n"
    "  compile  compile a script into the form the engine loads (qrn compile --help)\n"
    "  disasm   list a compiled script (qrn disasm --help)\n"
    "  palette  convert a palette between .plt, .png and .gpl (qrn palette --help)\n"
    "  info     what a title file holds, or why it is refused (qrn info --help)\n"
    "  export-web  put a title on the web as a static site (qrn export-web --help)\n";

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return kQrnExitOk;
    }
    if (!args.empty() && args[0] == "play") return qrnPlayCommand({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "run") return qrnRunCommand({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "unpack") return qrnUnpackCommand({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "bg") return qrnBackgroundCommand({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "compile") return qrnCompileCommand({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "disasm") return qrnDisasmCommand({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "palette") return qrnPaletteCommand({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "info") return qrnInfoCommand({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "export-web") return qrnExportWebCommand({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "pack") return qrnPackCommand({args.begin() + 1, args.end()});
    if (args.empty())
        std::fputs("qrn: no command given\n", stderr);
    else
        std::fprintf(stderr, "qrn: unknown command %s\n", args[0].c_str());
    std::fputs(kUsage, stderr);
    return kQrnExitUsage;
}

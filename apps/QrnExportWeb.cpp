// The export command: find the web player, walk the title's folder, copy.
// The player is looked for installed, in the data folder beside the
// program's (QRN_INSTALLED_WEB, relative to the program's folder), else in
// the source tree's web build (QRN_BUILD_WEB).
#include "apps/QrnExportWeb.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "apps/QrnFiles.h"
#include "apps/QrnOptions.h"
#include "apps/QrnRun.h"
#include "apps/QrnTitle.h"
#include "framework/KvSys.h"

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "usage: qrn export-web [options] TITLE OUTDIR\n"
    "\n"
    "Writes a static site into OUTDIR that plays TITLE (a script, or a folder holding\n"
    "main.mps or a single .mps) in a web browser: index.html, the web player\n"
    "(qrn-web.js, qrn-web.wasm) and the title's files as they are. Serve OUTDIR\n"
    "from any web server. Plug-ins (.lrn) do not run in a browser and are left out.\n"
    "\n";

const char* const kPlayerFiles[] = {"index.html", "qrn-web.js", "qrn-web.wasm"};
const char kHowToBuild[] =
    "the web player is not built: run \"bash scripts/web.sh\" in the source tree (it builds\n"
    "build-web/build/apps/qrn-web.js and .wasm), or install a qrn that ships it";

// The folder holding the player's files, or "" when none has them all.
fs::path playerFolder() {
    std::error_code e;
    const fs::path program = KvSysExecutablePath();
    for (const fs::path& folder : {program.empty() ? fs::path() : program.parent_path() / QRN_INSTALLED_WEB,
                                   fs::path(QRN_BUILD_WEB)}) {
        if (folder.empty()) continue;
        bool all = true;
        for (const char* name : kPlayerFiles) all = all && fs::is_regular_file(folder / name, e);
        if (all) return folder.lexically_normal();
    }
    return {};
}

bool under(const fs::path& root, const fs::path& path) {
    return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string jsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + jsonText(items[i]);
    return out + "]";
}

// The title's files, relative to root and sorted; false with error set when
// there are too many. Links are taken only when they stay inside the folder.
bool titleFiles(const fs::path& root, std::vector<std::string>& files, std::string& error) {
    std::error_code e;
    for (auto it = fs::recursive_directory_iterator(root, e); !e && it != fs::recursive_directory_iterator();
         it.increment(e)) {
        const fs::path& path = it->path();
        const std::string name = path.filename().string();
        if (!name.empty() && name[0] == '.') {
            if (it->is_directory(e)) it.disable_recursion_pending();
            continue;
        }
        std::error_code ignored;
        if (it->is_symlink(ignored) && !under(root, fs::weakly_canonical(path, ignored))) {
            std::fprintf(stderr, "qrn export-web: %s leads outside the title: left out\n", path.string().c_str());
            if (it->is_directory(ignored)) it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file(ignored)) continue;
        if (path.extension() == ".lrn") {
            std::fprintf(stderr, "qrn export-web: %s left out: plug-ins are native code, which a browser cannot run\n",
                         path.string().c_str());
            continue;
        }
        if (files.size() == kQrnExportMaxFiles) {
            error = root.string() + ": more than " + std::to_string(kQrnExportMaxFiles) + " files";
            return false;
        }
        files.push_back(path.lexically_relative(root).generic_string());
    }
    if (e) {
        error = root.string() + ": " + e.message();
        return false;
    }
    std::sort(files.begin(), files.end());
    return true;
}

int fail(const std::string& error) {
    std::fprintf(stderr, "qrn export-web: %s\n", error.c_str());
    return kQrnExitFailed;
}

}  // namespace

int qrnExportWebCommand(const std::vector<std::string>& args) {
    QrnTitleSettings settings;
    std::vector<QrnOption> options;
    for (QrnOption& o : qrnTitleOptions(settings)) {
        const std::string name = o.name;
        if (name == "--size" || name == "--depth" || name == "--script-positions") options.push_back(std::move(o));
    }
    std::vector<std::string> positional;
    if (const int status = qrnCommandLine("export-web", args, options, qrnUsage(kUsage, options),
                                          qrnExactly(2, "give TITLE and OUTDIR"), positional);
        status != kQrnGoOn)
        return status;
    std::string error;
    const std::string script = qrnFindScript(positional[0], error);
    if (script.empty()) return fail(error);
    std::error_code e;
    if (!fs::is_regular_file(script, e)) return fail(script + ": no such script");
    const fs::path player = playerFolder();
    if (player.empty()) return fail(kHowToBuild);

    fs::path folder = fs::path(script).parent_path();
    if (folder.empty()) folder = ".";
    const fs::path root = fs::weakly_canonical(fs::absolute(folder, e), e);
    if (e) return fail(folder.string() + ": " + e.message());
    const fs::path out = fs::weakly_canonical(fs::absolute(positional[1], e), e);
    if (e) return fail(positional[1] + ": " + e.message());
    if (under(root, out)) return fail(positional[1] + ": inside the title's folder; choose a folder outside it");

    std::vector<std::string> files;
    if (!titleFiles(root, files, error)) return fail(error);
    fs::create_directories(out / "title", e);
    if (e) return fail("cannot make " + (out / "title").string() + ": " + e.message());

    std::vector<unsigned char> bytes;
    size_t total = 0;
    for (const std::string& name : files) {
        if (!QrnFiles::read((root / name).string(), bytes, error)) return fail(error);
        total += bytes.size();
        if (total > kQrnExportMaxBytes)
            return fail(root.string() + ": more than " + std::to_string(kQrnExportMaxBytes) + " bytes of files");
        const fs::path to = out / "title" / name;
        fs::create_directories(to.parent_path(), e);
        if (e || !QrnFiles::write(to.string(), bytes, error)) return fail(e ? to.string() + ": " + e.message() : error);
    }
    for (const char* name : kPlayerFiles) {
        if (!QrnFiles::read((player / name).string(), bytes, error) || !QrnFiles::write((out / name).string(), bytes, error))
            return fail(error);
    }

    std::vector<std::string> arguments = {"--size", std::to_string(settings.width) + "x" + std::to_string(settings.height),
                                          "--depth", std::to_string(settings.depth)};
    if (settings.scriptPositions) arguments.push_back("--script-positions");
    const std::string site = "{\n  \"script\": " + jsonText(fs::path(script).filename().string()) +
                             ",\n  \"arguments\": " + jsonList(arguments) + ",\n  \"files\": " + jsonList(files) +
                             "\n}\n";
    if (!QrnFiles::write((out / "site.json").string(), site, error)) return fail(error);
    std::printf("%s: %zu files of %s, with the web player\n", out.string().c_str(), files.size(), root.string().c_str());
    return kQrnExitOk;
}

// The title host: hooks and switches set by openTitle are remembered and put
// back by closeTitle, so that a process can open one title after another.
#include "apps/QrnTitle.h"

#include "anim/KvAnimation.h"
#include "framework/KvCanvas.h"
#include "framework/KvSys.h"
#include "script/YThread.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTrinketWindow.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// Where the hooks look: the script's directory.
fs::path titleDir;
// What openTitle replaced.
int savedUseEmbeddedXYZ = 1;
YThread::CompileMessageHandler savedCompileHandler = nullptr;

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

// "FILE:LINE: text", as compilers say where they stand; the library's
// line-numbered message already begins with "LINE: ".
void showWithFileName(const YCompileMessage& m) {
    std::string text = m.text;
    if (m.fileName[0])
        text = std::string(m.fileName) + ":" + (m.numbered ? "" : std::to_string(m.line) + ": ") + m.text;
    KvSysUserMessage(text.c_str(), kKvSysMessageModal, nullptr);
}

}  // namespace

std::vector<QrnOption> titleOptions(QrnTitleSettings& settings) {
    return {
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
    };
}

std::unique_ptr<KvTrinketWindow> openTitle(const QrnTitleSettings& settings) {
    titleDir = fs::path(settings.script).parent_path();
    if (titleDir.empty()) titleDir = ".";
    KvAnimation::installSrcURL(&animationFile);
    KvAnimation::installSndURL(&soundFile);
    KvAnimation::installPaletteURL(&paletteFile);
    savedUseEmbeddedXYZ = KvAnimation::isUsingEmbeddedXYZ();
    if (settings.scriptPositions) KvAnimation::setUseEmbeddedXYZ(0);
    savedCompileHandler = YThread::setCompileMessageHandler(&showWithFileName);
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
    KvAnimation::setUseEmbeddedXYZ(savedUseEmbeddedXYZ);
    YThread::setCompileMessageHandler(savedCompileHandler);
}

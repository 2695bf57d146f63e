// The title host shared by the qrn commands that run a title: the options
// every such command takes (window size and depth, where animations go), the
// stream hooks that find a title's files next to its script (animation N in
// ao/N.ao, sound N in snd/N.wav, the palette in palette.plt), the window the
// title draws in, and compile messages that name the file they are about
// ("bad.mps:3: ..."). Between openTitle and closeTitle the library's class
// switches keep their defaults, unless an option asks otherwise.
#pragma once

#include "apps/QrnOptions.h"

#include <memory>
#include <string>
#include <vector>

class KvTrinketWindow;

struct QrnTitleSettings {
    long width = 640;
    long height = 480;
    long depth = 16;
    // "a=KvAnimation X Y N" at the script's X Y instead of the position and Z
    // stored in the animation's file, for titles written that way.
    bool scriptPositions = false;
    std::string script;
};

// --size WxH, --depth D and --script-positions, written into settings.
std::vector<QrnOption> titleOptions(QrnTitleSettings& settings);

// Installs the hooks and the compile message handler, sets the position
// switch, and opens the title's window on the current application.
std::unique_ptr<KvTrinketWindow> openTitle(const QrnTitleSettings& settings);
// Takes back what openTitle installed and set; the window must be gone first.
void closeTitle();

// "qrn run": runs a script in a headless host. The framework's application
// with the headless backend, whose virtual clock advances a fixed number of
// milliseconds per main-loop pass; the title host (QrnTitle: an off-screen
// trinket window over the white base background, the hooks that find a
// title's files next to its script); one script thread built from the
// script's path; then passes until the script ends, quits, or the pass limit
// is reached. The window's screen can be saved as a PNG when the run ends.
#pragma once

#include "apps/QrnTitle.h"

#include <string>
#include <vector>

// Exit status of a run whose pass limit was reached.
inline constexpr int kQrnExitPassLimit = 3;

struct QrnRunSettings {
    long maxPasses = 1000000;
    long msPerPass = 10;
    std::string screenshot;  // a PNG path, or empty
    QrnTitleSettings title;  // the window, the positions and the script
};

// The run command with its arguments (after "run"); returns the exit status.
int qrnRunCommand(const std::vector<std::string>& args);
// Runs a script as set; returns the exit status (0, 1 or 3).
int qrnRunScript(const QrnRunSettings& settings);

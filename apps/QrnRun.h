// "qrn run": runs a title in a headless host. The framework's application
// with the headless backend, whose virtual clock advances a fixed number of
// milliseconds per main-loop pass, under the shared title host (QrnTitle).
// The window's screen can be saved as a PNG when the run ends; a recorded
// session can be played in place of input.
#pragma once

#include <string>
#include <vector>

#include "apps/QrnOptions.h"
#include "apps/QrnTitle.h"

// The run command with its arguments (after "run"); returns the exit status.
int qrnRunCommand(const std::vector<std::string>& args);
// Runs a title headless as set; returns the exit status (0, 1 or 3).
int qrnRunScript(const QrnTitleSettings& settings);

// The options that qrn run and qrn play share, filling settings.
std::vector<QrnOption> qrnTitleOptions(QrnTitleSettings& settings);

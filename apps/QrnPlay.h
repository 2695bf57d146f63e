// "qrn play": plays a title in a real window with sound, on the SDL backend,
// under the same title host as "qrn run". The window is named after the
// title's folder; closing it ends the run as quit does; F12 saves a PNG of
// the canvas in screenshots/ of the current folder; F11 and Alt+Enter toggle
// fullscreen. A session can be recorded, and a recording played back.
#pragma once

#include <string>
#include <vector>

// The play command with its arguments (after "play"); returns the exit status.
int qrnPlayCommand(const std::vector<std::string>& args);

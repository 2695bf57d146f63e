// "qrn bg encode IMAGE.png OUT.b16" and "qrn bg decode FILE OUT.png": 16-bit
// backgrounds from any PNG (each pixel cut to 5-5-5, alpha ignored) and back
// to an RGB PNG whose colours are the 5-5-5 values widened to 8 bits, so that
// encoding the decoded PNG again gives the same pixels.
#pragma once

#include <string>
#include <vector>

// The bg command with its arguments (after "bg"); returns the exit status.
int qrnBackgroundCommand(const std::vector<std::string>& args);

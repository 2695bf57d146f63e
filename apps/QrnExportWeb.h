// "qrn export-web TITLE OUTDIR": puts a title on the web as a static site.
// OUTDIR receives the web player's page and program (index.html,
// qrn-web.js, qrn-web.wasm, built by scripts/web.sh), the title's files as
// they are under title/, and site.json, which the page reads:
//   {"script": "main.mps", "arguments": [player options], "files": [paths]}
// with paths relative to title/, '/'-separated. site.json is written last,
// so a site whose export failed midway does not load.
//
// Only files inside the title's folder are read (the folder of the script,
// walked without following links that lead out); hidden files are left
// out, and so are plug-ins (.lrn, native code), which a browser cannot run:
// the command names them. Every file is written under a temporary name and
// renamed once complete. OUTDIR may not lie inside the title's folder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Most files a site carries, and most bytes of title files in all.
inline constexpr size_t kQrnExportMaxFiles = 4096;
inline constexpr size_t kQrnExportMaxBytes = size_t{256} << 20;

// The export command with its arguments (after "export-web"); returns the exit status.
int qrnExportWebCommand(const std::vector<std::string>& args);

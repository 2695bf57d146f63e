// Golden text files: a line "= NAME" opens a section and the lines after it,
// up to the next one, are its body; blank lines and lines starting with '#'
// are left out. Sections keep the file's order and names may repeat.
#pragma once

#include <fstream>
#include <string>
#include <utility>
#include <vector>

using GoldenSections = std::vector<std::pair<std::string, std::vector<std::string>>>;

// path is relative to the tests folder.
inline GoldenSections goldenSections(const std::string& path) {
    std::ifstream in(std::string(QRN_TEST_DATA) + "/" + path);
    GoldenSections sections;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("= ", 0) == 0)
            sections.emplace_back(line.substr(2), std::vector<std::string>{});
        else if (!sections.empty() && !line.empty() && line[0] != '#')
            sections.back().second.push_back(line);
    }
    return sections;
}

// Cases kept as files: a driver's cases are the stems of its folder's files
// (those with one extension, or every file), sorted so that case names and
// order do not depend on the file system; expected texts are read whole, as
// bytes, and a missing file reads as empty so the comparison names it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::vector<std::string> caseNames(const std::filesystem::path& folder, const std::string& extension = "") {
    std::vector<std::string> names;
    for (const auto& file : std::filesystem::directory_iterator(folder))
        if (extension.empty() || file.path().extension() == extension) names.push_back(file.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string fileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// gtest's name for a case named by its file.
inline std::string caseName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

// Rows of a table file in tests/script/tables: one row a line, its fields
// split at " => " and " ; "; lines beginning with "#" and blank lines are
// skipped; \n, \r, \t, \v, \f and \\ in a field stand for their characters.
// A file of cases begins each with a row "case NAME"; the rows after it are
// that case's.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

inline std::vector<std::vector<std::string>> tableRows(const std::string& name) {
    std::ifstream in(std::string(QRN_TEST_DATA) + "/script/tables/" + name);
    EXPECT_TRUE(in) << name;
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields(1);
        for (size_t i = 0; i < line.size(); ++i) {
            const size_t separator = line.compare(i, 4, " => ") == 0 ? 4 : line.compare(i, 3, " ; ") == 0 ? 3 : 0;
            if (separator) {
                fields.emplace_back();
                i += separator - 1;
            } else if (line[i] == '\\' && i + 1 < line.size()) {
                const char c = line[++i];
                fields.back() += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == 'v' ? '\v' : c == 'f' ? '\f' : c;
            } else {
                fields.back() += line[i];
            }
        }
        rows.push_back(fields);
    }
    EXPECT_FALSE(rows.empty()) << name;
    return rows;
}

// An item "KEY VALUE" of a row: the key and what follows the first blank.
inline std::pair<std::string, std::string> keyAndValue(const std::string& item) {
    const size_t at = item.find(' ');
    return {item.substr(0, at), at == std::string::npos ? "" : item.substr(at + 1)};
}

using TableCases = std::map<std::string, std::vector<std::vector<std::string>>>;

inline TableCases tableCases(const std::string& name) {
    TableCases cases;
    std::string current;
    for (auto& row : tableRows(name)) {
        if (row[0].rfind("case ", 0) == 0) current = row[0].substr(5);
        else cases[current].push_back(row);
    }
    return cases;
}

inline std::vector<std::string> caseNames(const std::string& name) {
    std::vector<std::string> names;
    for (const auto& [caseName, rows] : tableCases(name)) names.push_back(caseName);
    return names;
}

// Rows of a table file in tests/script/tables: one row a line, its fields
// split at " => " and " ; "; lines beginning with "#" and blank lines are
// skipped; \n, \r, \t, \v, \f and \\ in a field stand for their characters.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
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

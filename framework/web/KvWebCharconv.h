// The floating-point std::to_chars and std::from_chars that the C++ library
// of Emscripten 3.1.6 (libc++ 14) lacks, for the web build only: it is
// included ahead of every source there, and is empty with a library that has
// them. They keep the standard's contract for the general format:
//   to_chars(first, last, value, general, precision) writes what "%.*g"
//   writes, or returns {last, value_too_large} when it does not fit;
//   from_chars(first, last, value, general) reads the longest decimal number
//   at first without leading spaces or '+', sets value only on success, and
//   says invalid_argument (ptr == first) or result_out_of_range.
// The C library does the work in the "C" locale, the only one a page has.
#pragma once

#if defined(__EMSCRIPTEN__) && defined(__cplusplus) && __cplusplus >= 201703L
#include <charconv>
#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 15000
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace std {

inline to_chars_result to_chars(char* first, char* last, double value, chars_format, int precision) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%.*g", precision, value);
    if (n < 0 || n >= static_cast<int>(sizeof text) || n > last - first) return {last, errc::value_too_large};
    std::memcpy(first, text, static_cast<size_t>(n));
    return {first + n, errc()};
}

inline from_chars_result from_chars(const char* first, const char* last, double& value, chars_format) {
    // Only what a decimal number may hold: the C library would also read
    // spaces, '+' and hexadecimal, which from_chars does not.
    const char* end = first;
    if (end < last && *end == '-') ++end;
    bool digits = false;
    while (end < last && *end >= '0' && *end <= '9') ++end, digits = true;
    if (end < last && *end == '.') {
        ++end;
        while (end < last && *end >= '0' && *end <= '9') ++end, digits = true;
    }
    if (!digits) return {first, errc::invalid_argument};
    if (end < last && (*end == 'e' || *end == 'E')) {
        const char* e = end + 1;
        if (e < last && (*e == '-' || *e == '+')) ++e;
        if (e < last && *e >= '0' && *e <= '9') {
            while (e < last && *e >= '0' && *e <= '9') ++e;
            end = e;
        }
    }
    const std::string text(first, end);
    errno = 0;
    const double read = std::strtod(text.c_str(), nullptr);
    if (errno == ERANGE) return {end, errc::result_out_of_range};
    value = read;
    return {end, errc()};
}

}  // namespace std
#endif
#endif

// Observed values joined by single spaces, so that a whole observed state is
// compared with one expected line and a failure shows every value at once.
// Characters print as numbers; floats with six significant digits.
#pragma once

#include <sstream>
#include <string>
#include <type_traits>

template <class... T>
std::string joined(const T&... values) {
    std::ostringstream out;
    const char* gap = "";
    const auto put = [&](const auto& v) {
        out << gap;
        if constexpr (sizeof v == 1 && std::is_integral_v<std::decay_t<decltype(v)>>) out << static_cast<int>(v);
        else out << v;
        gap = " ";
    };
    (put(values), ...);
    return out.str();
}

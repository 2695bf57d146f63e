// Timing our code beside its anchor: both run in turn every iteration, so
// load from other processes falls on both alike, and the medians are
// reported with their ratio (below 1 ours is faster).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

inline double benchMedian(std::vector<double>& v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Runs a and b in turn each iteration; counters a_ns, b_ns and ratio a / b.
inline void alternate(benchmark::State& state, const char* aName, const char* bName,
                      const std::function<void()>& a, const std::function<void()>& b) {
    std::vector<double> aNs, bNs;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        a();
        const auto t1 = Clock::now();
        b();
        const auto t2 = Clock::now();
        aNs.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
        bNs.push_back(std::chrono::duration<double, std::nano>(t2 - t1).count());
    }
    const double am = benchMedian(aNs), bm = benchMedian(bNs);
    state.counters[std::string(aName) + "_ns"] = am;
    state.counters[std::string(bName) + "_ns"] = bm;
    state.counters["ratio"] = bm > 0 ? am / bm : 0;
}

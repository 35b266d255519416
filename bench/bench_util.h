// Benchmarks: run a measurement several times and print its median as one
// "BENCH <name> <value> <unit>" line, the form scripts/bench.sh reports.
// Figures that matter are ratios against a peer or a floor measured in the
// same process on the same data, so a noisy shared machine affects both.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <string>
#include <vector>

namespace dravik_bench
{
/// Keeps freed memory in the process, as a long-running program's warm heap
/// does. By default the C library hands large blocks back to the system on
/// free and takes them anew, page fault by page fault, on the next run; on a
/// shared virtual machine that makes figures depend on the size classes a
/// run happens to hit rather than on the code measured.
inline void UseSteadyHeap()
{
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest the C library accepts
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_TOP_PAD, 64 << 20);
}

/// Runs per measurement: DRAVIK_BENCH_REPEATS when set, else fallback.
inline int Repeats(int fallback)
{
    const char* text = std::getenv("DRAVIK_BENCH_REPEATS");
    const int value = text ? std::atoi(text) : 0;
    return value > 0 ? value : fallback;
}

/// Median wall time of run() in milliseconds over repeats runs; setup(),
/// when given, runs untimed before each run.
inline double MedianMs(int repeats, const std::function<void()>& run, const std::function<void()>& setup = nullptr)
{
    std::vector<double> times;
    for (int i = 0; i < std::max(1, repeats); ++i)
    {
        if (setup)
            setup();
        const auto start = std::chrono::steady_clock::now();
        run();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    const size_t middle = times.size() / 2;
    return times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

/// Prints one figure.
inline void Report(const std::string& name, double value, const std::string& unit)
{
    std::printf("BENCH %s %.3f %s\n", name.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

/// Keeps the compiler from dropping a result nobody reads.
template <class T>
inline void KeepAlive(const T& value)
{
    asm volatile("" : : "g"(&value) : "memory");
}
}  // namespace dravik_bench

// Small statistics and reporting helpers shared by the benchmark programs.
//
// Every benchmark prints its results as tab-separated "ROW" lines that
// bench/run collects into one table:
//   ROW <tab> measure <tab> median <tab> low <tab> high <tab> unit <tab> spread <tab> n <tab> goal
//       <tab> floor
// `spread` names what low and high are (min/max, p10/p90, p50/p99 ...). `floor`
// names the floor the figure is compared with (A, B: first frame of floor A or
// B; Amem, Bmem: its resident memory), or "-"; bench/run prints the ratio and
// judges goals such as "<= 1.3x A".
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace bench {

/// CLOCK_MONOTONIC in nanoseconds; the same clock in every process of the machine.
inline long long monotonicNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

/// CPU time of the calling process (all threads) in nanoseconds.
inline long long processCpuNs()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

/// The q-quantile (0..1) by linear interpolation between closest ranks.
inline double quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const double position = q * static_cast<double>(values.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(position));
    const auto above = std::min(below + 1, values.size() - 1);
    const double fraction = position - static_cast<double>(below);
    return values[below] + (values[above] - values[below]) * fraction;
}

inline double minimum(const std::vector<double> &values)
{
    return values.empty() ? std::nan("") : *std::min_element(values.begin(), values.end());
}

inline double maximum(const std::vector<double> &values)
{
    return values.empty() ? std::nan("") : *std::max_element(values.begin(), values.end());
}

/// Appended to every measure's name (e.g. " (LP_NUM_THREADS=0)"), empty by default.
inline std::string &rowSuffix()
{
    static std::string suffix;
    return suffix;
}

/// One row of the result table.
inline void printRow(const std::string &measure, double median, double low, double high,
    const std::string &unit, const std::string &spread, std::size_t n, const std::string &goal,
    const std::string &floor = "-")
{
    std::printf("ROW\t%s\t%.3f\t%.3f\t%.3f\t%s\t%s\t%zu\t%s\t%s\n", (measure + rowSuffix()).c_str(),
        median, low, high, unit.c_str(), spread.c_str(), n, goal.c_str(), floor.c_str());
    std::fflush(stdout);
}

/// A row with the median and min/max of repeated per-process runs.
inline void printRunsRow(const std::string &measure, const std::vector<double> &values,
    const std::string &unit, const std::string &goal, const std::string &floor = "-")
{
    printRow(measure, quantile(values, 0.5), minimum(values), maximum(values), unit, "min/max",
        values.size(), goal, floor);
}

/// A single figure (no spread).
inline void printValueRow(
    const std::string &measure, double value, const std::string &unit, const std::string &goal)
{
    printRow(measure, value, value, value, unit, "-", 1, goal);
}

/// A free-text note that bench/run shows under the table.
inline void printNote(const std::string &text)
{
    std::printf("NOTE\t%s\n", text.c_str());
    std::fflush(stdout);
}

} // namespace bench

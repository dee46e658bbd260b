// SPDX-License-Identifier: GPL-3.0-or-later
// Samples of one figure and how scripts/bench prints them: the median and the spread (lowest to
// highest) of repeated measurements, beside the bound the figure must keep.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

// The milliseconds since a moment of the steady clock: one sample.
inline double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

inline double Percentile(std::vector<double> samples, double dFraction)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const auto nIndex =
        static_cast<std::size_t>(dFraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(nIndex, samples.size() - 1)];
}

// One line per figure: FIGURE|name|median|lowest|highest|unit|bound|met (or -)
inline void PrintFigure(const std::string& strName, const std::vector<double>& repeats,
                        const std::string& strUnit, double dBound = -1.0, std::FILE* pOut = stdout)
{
    const double dMedian = Percentile(repeats, 0.5);
    const auto [itLow, itHigh] = std::minmax_element(repeats.begin(), repeats.end());
    std::fprintf(pOut, "FIGURE|%s|%.3f|%.3f|%.3f|%s|", strName.c_str(), dMedian, *itLow, *itHigh,
                 strUnit.c_str());
    if (dBound >= 0.0)
        std::fprintf(pOut, "%.3f|%s\n", dBound, dMedian <= dBound ? "yes" : "NO");
    else
        std::fprintf(pOut, "-|-\n");
    std::fflush(pOut);
}

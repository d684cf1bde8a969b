// A console reporter that also keeps each run's time, so a benchmark can print ratios at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    /// Time of run a divided by time of run b, or a negative value when either is missing.
    double ratio(const std::string& a, const std::string& b) const
    {
        const auto x = times.find(a);
        const auto y = times.find(b);
        return x != times.end() && y != times.end() && y->second > 0 ? x->second / y->second : -1;
    }

    std::map<std::string, double> times; ///< run name -> time per iteration
};

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

    /// Time per iteration of a run, or a negative value when it is missing.
    double time(const std::string& name) const
    {
        const auto found = times.find(name);
        return found != times.end() ? found->second : -1;
    }

    /// Time of run a divided by time of run b, or a negative value when either is missing.
    double ratio(const std::string& a, const std::string& b) const
    {
        const double x = time(a), y = time(b);
        return x >= 0 && y > 0 ? x / y : -1;
    }

    std::map<std::string, double> times; ///< run name -> time per iteration
};

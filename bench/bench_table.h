#pragma once

// Collects Google Benchmark results and prints them as ratios against baselines measured
// in the same run, because absolute times on a shared machine are noisy.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tb::bench {

/// Keeps the real time per iteration, in seconds, of every benchmark run.
class CollectingReporter final : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            seconds[run.benchmark_name()] = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }
    std::map<std::string, double> seconds;
};

/// One line of the table: a command a teacher gives, against the 16 ms frame (no baseline),
/// or bulk work against a plain copy of the same bytes (a baseline).
struct Row {
    std::string work;
    std::string benchmark;
    std::string baseline; // shown beside the figure; with a limit, the figure is the ratio to it
    double limit = 0; // the highest acceptable ratio against the baseline; 0: judged by `budget`
    double commands = 1; // how many commands one run of the benchmark gives
    double budget = 0.016; // seconds one command may take: a frame, or a stated budget for bulk work
};

inline std::string readable(double seconds)
{
    char text[32];
    if (seconds >= 1e-3)
        std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
    else
        std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
    return text;
}

inline std::string findRun(const std::map<std::string, double>& seconds, const std::string& prefix)
{
    for (const auto& [name, value] : seconds)
        if (name.rfind(prefix, 0) == 0)
            return name;
    return {};
}

/// Prints the rows; returns the number of figures that miss their target.
inline int printRows(const std::map<std::string, double>& seconds, const std::vector<Row>& rows)
{
    int misses = 0;
    for (const Row& row : rows) {
        const std::string work = findRun(seconds, row.benchmark);
        if (work.empty()) {
            std::printf("| %-58s | %12s | %10s | %-6s |\n", row.work.c_str(), "not run", "", "MISS");
            ++misses;
            continue;
        }
        const double workSeconds = seconds.at(work);
        const std::string base = row.baseline.empty() ? std::string() : findRun(seconds, row.baseline);
        if (row.limit == 0) {
            const double perCommand = workSeconds / row.commands;
            const bool ok = perCommand < row.budget;
            misses += ok ? 0 : 1;
            const std::string against = base.empty()
                ? std::to_string(static_cast<int>(100 * perCommand / row.budget)) + " % of the budget"
                : readable(workSeconds) + " against " + readable(seconds.at(base)) + " (" + row.baseline + ")";
            std::printf("| %-58s | %12s | %10s | %-6s | %s\n", row.work.c_str(), readable(perCommand).c_str(),
                ("< " + readable(row.budget)).c_str(), ok ? "ok" : "MISS", against.c_str());
            continue;
        }
        if (base.empty() || seconds.at(base) <= 0) {
            std::printf("| %-58s | %12s | %10s | %-6s |\n", row.work.c_str(), "no baseline", "", "MISS");
            ++misses;
            continue;
        }
        const double ratio = workSeconds / seconds.at(base);
        const bool ok = ratio <= row.limit;
        misses += ok ? 0 : 1;
        std::printf("| %-58s | %11.2fx | <= %5.1fx | %-6s | %s against %s\n", row.work.c_str(), ratio, row.limit,
            ok ? "ok" : "MISS", readable(workSeconds).c_str(), readable(seconds.at(base)).c_str());
    }
    return misses;
}

inline void printHeader()
{
    std::printf("| %-58s | %12s | %10s | %-6s |\n", "work", "figure", "target", "result");
    std::printf("|%s|%s|%s|%s|\n", std::string(60, '-').c_str(), std::string(14, '-').c_str(),
        std::string(12, '-').c_str(), std::string(8, '-').c_str());
}

/// Runs every registered benchmark quietly and prints the table (with its header unless
/// `--no-header` is given).
inline int runAndPrint(int argc, char** argv, const std::vector<Row>& rows)
{
    bool header = true;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--no-header")
            header = false;
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (header)
        printHeader();
    printRows(reporter.seconds, rows);
    std::fflush(stdout);
    return 0;
}

} // namespace tb::bench

#pragma once
// The runs whose times a benchmark's ratio table keeps: each plain run, and
// the median aggregate when --benchmark_repetitions > 1 (which then stands
// for the plain runs of its benchmark).
#include <benchmark/benchmark.h>

#include <vector>

namespace zeph::bench {

using Run = benchmark::BenchmarkReporter::Run;

// Calls keep(run, median) for each run that counts, median telling whether
// the run is the median aggregate.
template <class Keep>
void for_each_kept_run(const std::vector<Run>& runs, Keep&& keep) {
    for (const Run& run : runs) {
        if (run.error_occurred) continue;
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (run.run_type == Run::RT_Aggregate && !median) continue;
        keep(run, median);
    }
}

}  // namespace zeph::bench

#ifndef LOOM_BENCH_BENCH_RATIO_H
#define LOOM_BENCH_BENCH_RATIO_H

// Shared main for the benchmark programs: runs every registered benchmark with repetitions
// (the machine is shared and noisy, so medians are compared), shows Google Benchmark's table,
// then prints, for each pair "<name>_library" / "<name>_baseline", the ratio of their medians.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace loom_bench {

class MedianRecorder : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.aggregate_name == "median")
        mMedians[run.run_name.str()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& medians() const { return mMedians; }

private:
  std::map<std::string, double> mMedians;
};

// `perIteration` divides the times so that the table reads per operation.
inline int runWithRatios(int argc, char** argv, double perIteration) {
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=7";
  std::string aggregates = "--benchmark_report_aggregates_only=true";
  args.insert(args.begin() + 1, aggregates.data());
  args.insert(args.begin() + 1, repetitions.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  MedianRecorder recorder;
  benchmark::RunSpecifiedBenchmarks(&recorder);

  const std::string library = "_library", baseline = "_baseline";
  std::printf("\n%-28s %14s %14s %8s\n", "operation", "library ns/op", "baseline ns/op", "ratio");
  const auto& m = recorder.medians();
  for (const auto& entry : m) {
    const std::string& name = entry.first;
    const auto at = name.find(library);
    if (at == std::string::npos)
      continue;
    const std::string stem = name.substr(0, at);
    const std::string rest = name.substr(at + library.size());
    const auto base = m.find(stem + baseline + rest);
    if (base == m.end()) {
      std::printf("%-28s %14.3f %14s %8s\n", (stem + rest).c_str(), entry.second / perIteration,
                  "-", "-");
      continue;
    }
    std::printf("%-28s %14.3f %14.3f %8.2f\n", (stem + rest).c_str(), entry.second / perIteration,
                base->second / perIteration, entry.second / base->second);
  }
  return 0;
}

} // namespace loom_bench

#endif

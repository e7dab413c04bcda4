// Paired timing of a library operation against its baseline in one benchmark.
#ifndef LOOM_BENCH_PAIRED_H
#define LOOM_BENCH_PAIRED_H

// Paired measurement: every iteration times `ops` calls of the library's operation and `ops`
// calls of its baseline back to back, alternating which goes first, so that a slow spell of
// the shared machine hits both alike. The results are the counters "ours_ns" and "base_ns",
// nanoseconds per operation; the report compares their medians over the repetitions.

#include <benchmark/benchmark.h>

#include <chrono>

namespace loom_bench {

template <typename Op> inline double timed(int ops, Op& op) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < ops; ++i)
    op();
  benchmark::ClobberMemory();
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

template <typename Library, typename Baseline>
void paired(benchmark::State& state, int ops, Library library, Baseline baseline) {
  double ours = 0, base = 0;
  bool libraryFirst = true;
  for (auto _ : state) {
    if (libraryFirst) {
      ours += timed(ops, library);
      base += timed(ops, baseline);
    } else {
      base += timed(ops, baseline);
      ours += timed(ops, library);
    }
    libraryFirst = !libraryFirst;
  }
  const double n = static_cast<double>(state.iterations()) * ops;
  state.counters["ours_ns"] = ours / n;
  state.counters["base_ns"] = base / n;
}

// paired() on operands made for the benchmark's argument (a width or a precision) and moved
// to their next pair before every call of either side.
template <typename Operands, typename Library, typename Baseline>
void pairedOn(benchmark::State& state, int ops, Library library, Baseline baseline) {
  Operands o(static_cast<int>(state.range(0)));
  paired(
      state, ops,
      [&] {
        o.next();
        library(o);
      },
      [&] {
        o.next();
        baseline(o);
      });
}

// A library operation without a baseline of its own.
template <typename Library> void single(benchmark::State& state, int ops, Library library) {
  double ours = 0;
  for (auto _ : state)
    ours += timed(ops, library);
  state.counters["ours_ns"] = ours / (static_cast<double>(state.iterations()) * ops);
}

} // namespace loom_bench

#endif

// Whole model steps against the same filter in plain native code, on a noisy chirp (random
// signs and magnitudes): the FIR models of the examples, references built per step, ports,
// arrays and restrictRegular included. Before timing, each row runs its model and its
// baseline over the whole signal and requires them to agree bit for bit, and the model to
// allocate nothing once warmed up; a row that fails either is reported as an error.
#include "paired.h"

#include "alloc_counter.h"
#include "fir_models.h"

#include <string>
#include <utility>

namespace {

using namespace fir;
constexpr int kSamples = 20000;
constexpr int kStepsPerTiming = 64;

const std::vector<double>& signal() {
  static const std::vector<double> x = chirpWithNoise(kSamples);
  return x;
}

// The first sample where two steps disagree, or -1; the model's allocations after warm-up.
std::pair<int, long> compare(const Step& model, const Step& twin) {
  const std::vector<double>& x = signal();
  int firstDifference = -1;
  for (int n = 0; n < kSamples; ++n)
    if (model(x[n]) != twin(x[n]) && firstDifference < 0)
      firstDifference = n;
  const long before = alloc_counter::count;
  for (int n = 0; n < kSamples; ++n)
    benchmark::DoNotOptimize(model(x[n]));
  return {firstDifference, alloc_counter::count - before};
}

void modelRow(benchmark::State& state, const Step& model, const Step& twin, const Step& base) {
  alloc_counter::install();
  const auto [difference, allocations] = compare(model, twin);
  if (difference >= 0) {
    const std::string text = "model and twin differ at sample " + std::to_string(difference);
    state.SkipWithError(text.c_str());
    return;
  }
  if (allocations != 0) {
    const std::string text = std::to_string(allocations) + " allocations after warm-up";
    state.SkipWithError(text.c_str());
    return;
  }
  const std::vector<double>& x = signal();
  int ours = 0, theirs = 0;
  loom_bench::paired(
      state, kStepsPerTiming,
      [&] {
        benchmark::DoNotOptimize(model(x[ours]));
        ours = ours + 1 < kSamples ? ours + 1 : 0;
      },
      [&] {
        benchmark::DoNotOptimize(base(x[theirs]));
        theirs = theirs + 1 < kSamples ? theirs + 1 : 0;
      });
}

// The floats' baseline is the 16-bit filter on int64: what the same signal costs natively.
void model_fir16(benchmark::State& state) {
  const std::vector<double> h = designLowPass();
  modelRow(state, fixedRefModel(h, kFraction + 1, 40), nativeFixedModel<SINT>(h, kFraction + 1),
           nativeFixedModel<SINT>(h, kFraction + 1));
}
void model_fir48(benchmark::State& state) {
  const std::vector<double> h = designLowPass();
  modelRow(state, fixedRefModel(h, kWideFraction + 1, 104),
           nativeFixedModel<Int128>(h, kWideFraction + 1),
           nativeFixedModel<Int128>(h, kWideFraction + 1));
}
void model_word16(benchmark::State& state) {
  const std::vector<double> h = designLowPass();
  modelRow(state, wordModel(h), nativeFixedModel<SINT>(h, kFraction + 1),
           nativeFixedModel<SINT>(h, kFraction + 1));
}
void model_float(benchmark::State& state, int wE, int wF) {
  const std::vector<double> h = designLowPass();
  modelRow(state, floatModel(wE, wF, h), mpfrFloatModel(wE, wF, h),
           nativeFixedModel<SINT>(h, kFraction + 1));
}
void model_float5_10(benchmark::State& state) {
  model_float(state, 5, 10);
}
void model_float8_7(benchmark::State& state) {
  model_float(state, 8, 7);
}
BENCHMARK(model_fir16);
BENCHMARK(model_fir48);
BENCHMARK(model_word16);
// Gradual underflow against the flush-to-zero step of the same format, side by side; the ports
// carry subnormals as an IEEE unit's do.
void model_gradual5_10(benchmark::State& state) {
  const std::vector<double> h = designLowPass();
  VarFloatPacker::flushSubnormalsToZero(false);
  modelRow(state, floatModel(5, 10, h, true), mpfrFloatModel(5, 10, h, true), floatModel(5, 10, h));
  VarFloatPacker::flushSubnormalsToZero(true);
}
BENCHMARK(model_float5_10);
BENCHMARK(model_gradual5_10);
BENCHMARK(model_float8_7);

} // namespace

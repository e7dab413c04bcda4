// A 32-tap low-pass FIR filter simulated bit-accurately in five number formats, the way a
// generated simulation model is written: one TempVarAllocator, ports in a
// WideTypedFormatVector typed by descriptors, one reference per variable, read/write at the
// ports and resetAvailability after every step. Each format is compared with a double
// reference; the 48-bit model is also checked bit for bit against plain 128-bit integer
// arithmetic. The signals and each model's impulse response go to CSV files in a validated
// output directory.
//
//   fir_model [output directory] [samples]

#include "util/path_utils.h"

#include "alloc_counter.h"
#include "fir_models.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace fir;

namespace {

#ifndef LOOM_EXAMPLE_BUILD_TYPE
#define LOOM_EXAMPLE_BUILD_TYPE ""
#endif

// The outputs of a step over a whole signal.
std::vector<double> run(const Step& step, const std::vector<double>& x) {
  std::vector<double> y(x.size());
  for (size_t n = 0; n < x.size(); ++n)
    y[n] = step(x[n]);
  return y;
}

// One filter implementation: run(input sample) -> output sample, one model step each.
struct Format {
  Format(std::string n, std::function<double(double)> s) : name(std::move(n)), step(std::move(s)) {}
  std::string name;
  std::function<double(double)> step;
  std::vector<double> output;
  double seconds = 0;
  double allocationsPerStep = 0;
  double snr = 0;
  double rmsError = 0;
  double maxError = 0;
  std::vector<double> impulseResponse;
};

// A model's response to a unit impulse (scaled by 1/2 so that every format holds it exactly),
// after its delay line has been cleared with zeros.
std::vector<double> impulseResponse(const std::function<double(double)>& step) {
  const double amplitude = 0.5;
  for (int k = 0; k < kTaps; ++k)
    step(0.0);
  std::vector<double> response(kTaps);
  for (int k = 0; k < kTaps; ++k)
    response[k] = step(k == 0 ? amplitude : 0.0) / amplitude;
  return response;
}

// Reports a CSV file that did not reach the disk whole; true when it did.
bool written(std::ofstream& file, const std::string& path) {
  file.close();
  if (file)
    return true;
  std::fprintf(stderr, "could not write %s\n", path.c_str());
  return false;
}

void onError(const std::string& id, const std::map<std::string, std::string>& parameters) {
  std::fprintf(stderr, "output directory problem: %s (%s)\n", id.c_str(),
               parameters.count("path") ? parameters.at("path").c_str() : "");
  std::exit(1);
}

void onWarning(const std::string& id, const std::map<std::string, std::string>&) {
  std::fprintf(stderr, "output directory warning: %s\n", id.c_str());
}

} // namespace

int main(int argc, char** argv) {
  const std::string outputDirectory = argc > 1 ? argv[1] : "fir_demo_output";
  const int samples = argc > 2 ? std::atoi(argv[2]) : 20000;
  if (samples < 4 * kTaps) {
    std::fprintf(stderr, "usage: fir_model [output directory] [samples, at least %d]\n", 4 * kTaps);
    return 2;
  }
  alloc_counter::install();
  VarFloatPacker::flushSubnormalsToZero(false);

  const std::vector<double> h = designLowPass();
  const std::vector<double> x = chirpWithNoise(samples);

  // The double-precision reference, with the same circular delay line.
  std::vector<double> reference(samples);
  {
    std::vector<double> delay(kTaps, 0.0);
    int position = 0;
    for (int n = 0; n < samples; ++n) {
      position = (position + 1) & (kTaps - 1);
      delay[position] = x[n];
      double acc = 0;
      for (int k = 0; k < kTaps; ++k)
        acc += delay[(position - k) & (kTaps - 1)] * h[k];
      reference[n] = acc;
    }
  }

  std::vector<Format> formats;
  formats.emplace_back("fixed 16-bit, word kernels", wordModel(h));
  formats.emplace_back("fixed 16-bit, FixedRef (40-bit acc)", fixedRefModel(h, kFraction + 1, 40));
  formats.emplace_back("fixed 48-bit, FixedRef (104-bit acc)",
                       fixedRefModel(h, kWideFraction + 1, 104));
  formats.emplace_back("float wE 5 wF 10 (half-like)", floatModel(5, 10, h));
  formats.emplace_back("float wE 8 wF 7 (bfloat16-like)", floatModel(8, 7, h));

  const int warmUp = std::min(100, samples / 2);
  for (Format& f : formats) {
    f.output.resize(samples);
    for (int n = 0; n < warmUp; ++n)
      f.output[n] = f.step(x[n]);
    const long allocationsBefore = alloc_counter::count;
    const auto start = std::chrono::steady_clock::now();
    for (int n = warmUp; n < samples; ++n)
      f.output[n] = f.step(x[n]);
    f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    f.allocationsPerStep =
        static_cast<double>(alloc_counter::count - allocationsBefore) / (samples - warmUp);
    f.impulseResponse = impulseResponse(f.step);
  }

  const std::string buildType = LOOM_EXAMPLE_BUILD_TYPE;
  std::printf("32-tap FIR, %d samples, %s build%s\n", samples,
              buildType.empty() ? "unnamed" : buildType.c_str(),
              buildType == "Release" ? " (optimised, as the benchmarks)"
                                     : " (not optimised: make demo gives the real speed)");
  std::printf("%-38s %9s %12s %14s %12s\n", "format", "SNR (dB)", "max error", "samples/s",
              "allocs/step");
  bool ok = true;
  for (Format& f : formats) {
    double signal = 0, noise = 0, worst = 0;
    for (int n = kTaps; n < samples; ++n) {
      const double e = f.output[n] - reference[n];
      signal += reference[n] * reference[n];
      noise += e * e;
      worst = std::fmax(worst, std::fabs(e));
    }
    const double snr = 10 * std::log10(signal / noise);
    f.snr = snr;
    f.rmsError = std::sqrt(noise / (samples - kTaps));
    f.maxError = worst;
    std::printf("%-38s %9.2f %12.3e %14.0f %12.2f\n", f.name.c_str(), snr, worst,
                (samples - warmUp) / f.seconds, f.allocationsPerStep);
    ok = ok && f.allocationsPerStep == 0 && snr > 20;
  }

  // Each model computes the hardware that its plain twin computes: bit for bit the same.
  const std::pair<const char*, std::vector<double>> twins[] = {
      {"int64", run(nativeFixedModel<SINT>(h, kFraction + 1), x)},
      {"int64", run(nativeFixedModel<SINT>(h, kFraction + 1), x)},
      {"128-bit integer", run(nativeFixedModel<Int128>(h, kWideFraction + 1), x)},
      {"plain MPFR", run(mpfrFloatModel(5, 10, h), x)},
      {"plain MPFR", run(mpfrFloatModel(8, 7, h), x)}};
  for (size_t i = 0; i < formats.size(); ++i) {
    const bool agree = formats[i].output == twins[i].second;
    std::printf("%s and its %s twin agree bit for bit: %s\n", formats[i].name.c_str(),
                twins[i].first, agree ? "yes" : "NO");
    ok = ok && agree;
  }

  util::io::CreateAndValidateOutputDirectory(outputDirectory.c_str(), onError, onWarning, 0, false);
  const std::string csv = util::io::Path(outputDirectory).join("fir_signals.csv").string();
  std::ofstream out(csv);
  // Every digit: the 48-bit model differs from the reference far below six digits.
  out.precision(std::numeric_limits<double>::max_digits10);
  out << "n,input,reference";
  for (const Format& f : formats)
    out << ",\"" << f.name << "\"";
  out << "\n";
  for (int n = 0; n < samples; ++n) {
    out << n << "," << x[n] << "," << reference[n];
    for (const Format& f : formats)
      out << "," << f.output[n];
    out << "\n";
  }
  if (!written(out, csv))
    return 1;
  std::printf("signals written to %s\n", csv.c_str());

  // For the picture: each model's impulse response, and its error against the reference.
  const std::string impulseCsv = util::io::Path(outputDirectory).join("fir_impulse.csv").string();
  std::ofstream impulse(impulseCsv);
  impulse.precision(17);
  impulse << "k,reference";
  for (const Format& f : formats)
    impulse << ",\"" << f.name << "\"";
  impulse << "\n";
  for (int k = 0; k < kTaps; ++k) {
    impulse << k << "," << h[k];
    for (const Format& f : formats)
      impulse << "," << f.impulseResponse[k];
    impulse << "\n";
  }
  const std::string summaryCsv = util::io::Path(outputDirectory).join("fir_summary.csv").string();
  std::ofstream summary(summaryCsv);
  summary << "format,snr_db,samples_per_s,allocs_per_step,rms_error,max_error\n";
  for (const Format& f : formats)
    summary << "\"" << f.name << "\"," << f.snr << "," << (samples - warmUp) / f.seconds << ","
            << f.allocationsPerStep << "," << f.rmsError << "," << f.maxError << "\n";
  if (!written(impulse, impulseCsv) || !written(summary, summaryCsv))
    return 1;
  return ok ? 0 : 1;
}

// A 32-tap low-pass FIR filter simulated bit-accurately in five number formats, the way a
// generated simulation model is written: one TempVarAllocator, ports in a
// WideTypedFormatVector typed by descriptors, one reference per variable, read/write at the
// ports and resetAvailability after every step. Each format is compared with a double
// reference; the 48-bit model is also checked bit for bit against plain 128-bit integer
// arithmetic. The signals and each model's impulse response go to CSV files in a validated
// output directory.
//
//   fir_model [output directory] [samples]

#include "util/amath.h"
#include "util/amath_dataimpl.h"
#include "util/path_utils.h"

#include "alloc_counter.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace simulation;

namespace {

constexpr int kTaps = 32;
constexpr int kFraction = 15;     // Q1.15 samples and coefficients
constexpr int kWideFraction = 47; // Q1.47 samples and coefficients of the 48-bit model

#ifndef LOOM_EXAMPLE_BUILD_TYPE
#define LOOM_EXAMPLE_BUILD_TYPE ""
#endif

__extension__ typedef __int128 Int128;

// Windowed-sinc low-pass design, cut-off at 0.2 of the sampling rate, Hamming window,
// normalised to unity gain at DC.
std::vector<double> designLowPass() {
  const double pi = 3.14159265358979323846;
  std::vector<double> h(kTaps);
  double sum = 0;
  for (int k = 0; k < kTaps; ++k) {
    const double m = k - (kTaps - 1) / 2.0;
    const double sinc = 2 * 0.2 * (m == 0 ? 1.0 : std::sin(2 * pi * 0.2 * m) / (2 * pi * 0.2 * m));
    h[k] = sinc * (0.54 - 0.46 * std::cos(2 * pi * k / (kTaps - 1)));
    sum += h[k];
  }
  for (double& c : h)
    c /= sum;
  return h;
}

// A chirp from DC to 0.45 of the sampling rate plus uniform noise, from a fixed seed (the
// uniform values are formed from the raw 32-bit draws, so every platform gets the same input).
std::vector<double> chirpWithNoise(int n) {
  const double pi = 3.14159265358979323846;
  std::mt19937 random(20261206);
  std::vector<double> x(n);
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / n;
    const double phase = 2 * pi * (0.45 / 2) * t * i;
    const double noise = (static_cast<double>(random()) / 4294967296.0 - 0.5) * 0.1;
    x[i] = 0.6 * std::sin(phase) + noise;
  }
  return x;
}

// A sample in [-1, 1) as a signed fixed-point integer with `fraction` bits below the point,
// rounded and clamped to its range, and back (exact: at most 48 bits, which a double holds).
SINT toFixed(double v, int fraction) {
  const double scale = std::ldexp(1.0, fraction);
  return static_cast<SINT>(std::fmax(-scale, std::fmin(scale - 1, std::round(v * scale))));
}

double fromFixed(SINT v, int fraction) {
  return std::ldexp(static_cast<double>(v), -fraction);
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

// --- 16-bit fixed point on words: the word kernels with hardware wrap-around ----------------
std::function<double(double)> wordModel(const std::vector<double>& h) {
  struct State {
    SINT coefficient[kTaps];
    SINT delay[kTaps] = {};
    int position = 0;
    WideTypedFormatVector ports{2}; // input, output (fixed-point ports)
  };
  auto state = std::make_shared<State>();
  for (int k = 0; k < kTaps; ++k)
    state->coefficient[k] = toFixed(h[k], kFraction);
  return [state](double x) {
    State& s = *state;
    BIGNUM_SetLong(s.ports[0], toFixed(x, kFraction)); // the environment writes the input port
    s.position = (s.position + 1) & (kTaps - 1);
    s.delay[s.position] = AMMask(BIGNUM_GetLong(s.ports[0]), 16); // the 16-bit pattern
    SINT acc = 0;
    for (int k = 0; k < kTaps; ++k) {
      const SINT sample = AMShift(AMShift(s.delay[(s.position - k) & (kTaps - 1)], -48, true, 64),
                                  48, true, 64);       // sign-extend the 16-bit pattern
      acc = AMAdd(acc, sample * s.coefficient[k], 40); // a 40-bit accumulator
    }
    SINT y = AMShift(acc, kFraction, true, 40);
    y = y > 32767 ? 32767 : (y < -32768 ? -32768 : y); // saturate to 16 bits
    BIGNUM_SetLong(s.ports[1], y);
    return fromFixed(BIGNUM_GetLong(s.ports[1]), kFraction);
  };
}

// --- fixed point on FixedRef: GMP integers, any width ----------------------------------------
// Samples and coefficients of `width` bits (Q1.width-1), products summed exactly in an
// accumulator of `accumulatorWidth` bits, the output shifted back (floor, as the hardware's
// arithmetic shift) and saturated to `width` bits at the port.
std::function<double(double)> fixedRefModel(const std::vector<double>& h, int width,
                                            int accumulatorWidth) {
  struct State {
    util::TempVarAllocator alloc;
    WideTypedFormatVector ports{2};
    FixedRef::Array2D coefficients{&WideFixedType::legacy, 1, kTaps};
    FixedRef::Array2D delay{&WideFixedType::legacy, 1, kTaps};
    int position = 0;
  };
  auto state = std::make_shared<State>();
  const int fraction = width - 1;
  {
    FixedRef port(&WideFixedType::legacy, state->alloc), c(&WideFixedType::legacy, state->alloc);
    port.bindIO(state->ports[0]);
    for (int k = 0; k < kTaps; ++k) {
      BIGNUM_SetLong(state->ports[0], toFixed(h[k], fraction)); // constants arrive via a port
      state->coefficients.bindElem(c, 0, k);
      c.setValue(port);
    }
    state->alloc.resetAvailability();
  }
  return [state, width, accumulatorWidth, fraction](double x) {
    State& s = *state;
    BIGNUM_SetLong(s.ports[0], toFixed(x, fraction));
    // One reference per variable of the model.
    FixedRef in(&WideFixedType::legacy, s.alloc), tap(&WideFixedType::legacy, s.alloc),
        coefficient(&WideFixedType::legacy, s.alloc), product(&WideFixedType::legacy, s.alloc),
        acc(&WideFixedType::legacy, s.alloc), out(&WideFixedType::legacy, s.alloc);
    in.bindIO(s.ports[0]);
    in.read();
    s.position = (s.position + 1) & (kTaps - 1);
    s.delay.bindElem(tap, 0, s.position);
    tap.setValue(in);
    acc.setZero();
    for (int k = 0; k < kTaps; ++k) {
      s.delay.bindElem(tap, 0, (s.position - k) & (kTaps - 1));
      s.coefficients.bindElem(coefficient, 0, k);
      product.setMult(tap, coefficient);
      acc.setAdd(acc, product);
    }
    acc.saturate(-accumulatorWidth); // the accumulator's own range (reports only: no port bound)
    out.bindIO(s.ports[1]);
    out.setLdExp(acc, -fraction);
    out.saturate(-width); // clamps the output port to the signed range
    out.write();
    const double y = fromFixed(BIGNUM_GetLong(s.ports[1]), fraction);
    s.alloc.resetAvailability();
    return y;
  };
}

// The same 48-bit filter on plain 128-bit integers: the exact reference the model must match.
std::vector<double> wideReference(const std::vector<double>& h, const std::vector<double>& x) {
  SINT coefficient[kTaps], delay[kTaps] = {};
  for (int k = 0; k < kTaps; ++k)
    coefficient[k] = toFixed(h[k], kWideFraction);
  std::vector<double> y(x.size());
  int position = 0;
  for (size_t n = 0; n < x.size(); ++n) {
    position = (position + 1) & (kTaps - 1);
    delay[position] = toFixed(x[n], kWideFraction);
    Int128 acc = 0;
    for (int k = 0; k < kTaps; ++k)
      acc += static_cast<Int128>(delay[(position - k) & (kTaps - 1)]) * coefficient[k];
    const Int128 top = (Int128{1} << kWideFraction) - 1;
    Int128 shifted = acc >> kWideFraction; // arithmetic: floor
    shifted = shifted > top ? top : shifted < -top - 1 ? -top - 1 : shifted;
    y[n] = fromFixed(static_cast<SINT>(shifted), kWideFraction);
  }
  return y;
}

// --- small floats on VarFloatRef: packed ports, restrictRegular on the results ------------
std::function<double(double)> floatModel(int wE, int wF, const std::vector<double>& h) {
  struct State {
    State(int e, int f) : type("float", e, f, false), wE(e) {
      mpfr_init2(environment.mValue, f + 1);
    }
    ~State() { mpfr_clear(environment.mValue); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    VarFloatType type;
    int wE;
    util::TempVarAllocator alloc;
    WideTypedFormatVector ports{2};
    std::unique_ptr<VarFloatRef::Array2D> coefficients, delay;
    MPFR environment; // the testbench's own value for writing the input port
    int position = 0;
  };
  auto state = std::make_shared<State>(wE, wF);
  State& s = *state;
  s.ports[0].setVarType(&s.type);
  s.ports[1].setVarType(&s.type);
  s.coefficients = std::make_unique<VarFloatRef::Array2D>(&s.type, 1, kTaps);
  s.delay = std::make_unique<VarFloatRef::Array2D>(&s.type, 1, kTaps);
  for (int k = 0; k < kTaps; ++k)
    s.coefficients->setElem(0, k, h[k]);
  return [state](double x) {
    State& s = *state;
    mpfr_set_d(s.environment.mValue, x, MPFR_RNDN); // rounded to the format
    VarFloatPackerDefault::instance.packBits(s.environment.mValue, &s.ports[0]);

    VarFloatRef in(&s.type, s.alloc), tap(&s.type, s.alloc), coefficient(&s.type, s.alloc),
        product(&s.type, s.alloc), acc(&s.type, s.alloc), out(&s.type, s.alloc);
    in.bindIO(s.ports[0]);
    in.read();
    s.position = (s.position + 1) & (kTaps - 1);
    s.delay->bindElem(tap, 0, s.position);
    tap.setValue(in);
    acc.setZero(false);
    for (int k = 0; k < kTaps; ++k) {
      s.delay->bindElem(tap, 0, (s.position - k) & (kTaps - 1));
      s.coefficients->bindElem(coefficient, 0, k);
      product.setMult(tap, coefficient);
      product.restrictRegular(s.wE, 3, false);
      acc.setAdd(acc, product);
      acc.restrictRegular(s.wE, 3, false);
    }
    out.bindIO(s.ports[1]);
    out.setValue(acc);
    out.write();
    VarFloatPackerDefault::instance.unpackBits(s.environment.mValue, &s.ports[1]);
    const double y = mpfr_get_d(s.environment.mValue, MPFR_RNDN);
    s.alloc.resetAvailability();
    return y;
  };
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
    std::printf("%-38s %9.2f %12.3e %14.0f %12.2f\n", f.name.c_str(), snr, worst,
                (samples - warmUp) / f.seconds, f.allocationsPerStep);
    ok = ok && f.allocationsPerStep == 0 && snr > 20;
  }

  // The two fixed-point models compute the same hardware: they must agree bit for bit.
  const bool fixedAgree = formats[0].output == formats[1].output;
  std::printf("word-kernel and FixedRef models agree bit for bit: %s\n", fixedAgree ? "yes" : "NO");
  ok = ok && fixedAgree;
  const bool wideAgree = formats[2].output == wideReference(h, x);
  std::printf("48-bit FixedRef model and 128-bit integer reference agree bit for bit: %s\n",
              wideAgree ? "yes" : "NO");
  ok = ok && wideAgree;

  util::io::CreateAndValidateOutputDirectory(outputDirectory.c_str(), onError, onWarning, 0, false);
  const std::string csv = util::io::Path(outputDirectory).join("fir_signals.csv").string();
  std::ofstream out(csv);
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
  std::printf("signals written to %s\n", csv.c_str());

  // For the picture: each model's impulse response, and its error power against the reference.
  std::ofstream impulse(util::io::Path(outputDirectory).join("fir_impulse.csv").string());
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
  std::ofstream summary(util::io::Path(outputDirectory).join("fir_summary.csv").string());
  summary << "format,snr_db,samples_per_s,allocs_per_step\n";
  for (const Format& f : formats)
    summary << "\"" << f.name << "\"," << f.snr << "," << (samples - warmUp) / f.seconds << ","
            << f.allocationsPerStep << "\n";
  return ok ? 0 : 1;
}

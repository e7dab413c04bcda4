// The FIR filter of the examples as a generated model writes it, in every number format.
#ifndef LOOM_EXAMPLES_FIR_MODELS_H
#define LOOM_EXAMPLES_FIR_MODELS_H

// A 32-tap low-pass FIR filter in every number format, written as a generated simulation model
// writes it: one TempVarAllocator, ports in a WideTypedFormatVector typed by descriptors, one
// reference per variable built afresh each step, arrays for the state, read/write at the ports
// and resetAvailability after every step. Beside them, the same filters in plain native code
// and plain MPFR calls, which the models must match bit for bit. The FIR example and the
// benchmarks share these steps.

#include "util/amath.h"
#include "util/amath_dataimpl.h"

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace fir {

using namespace simulation;

// One model step: input sample in, output sample out.
using Step = std::function<double(double)>;

__extension__ typedef __int128 Int128;

constexpr int kTaps = 32;
constexpr int kFraction = 15;     // Q1.15 samples and coefficients
constexpr int kWideFraction = 47; // Q1.47 samples and coefficients of the 48-bit model

// Windowed-sinc low-pass design, cut-off at 0.2 of the sampling rate, Hamming window,
// normalised to unity gain at DC.
inline std::vector<double> designLowPass() {
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
inline std::vector<double> chirpWithNoise(int n) {
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
inline SINT toFixed(double v, int fraction) {
  const double scale = std::ldexp(1.0, fraction);
  return static_cast<SINT>(std::fmax(-scale, std::fmin(scale - 1, std::round(v * scale))));
}

inline double fromFixed(SINT v, int fraction) {
  return std::ldexp(static_cast<double>(v), -fraction);
}

// --- 16-bit fixed point on words: the word kernels with hardware wrap-around ----------------
inline Step wordModel(const std::vector<double>& h) {
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
inline Step fixedRefModel(const std::vector<double>& h, int width, int accumulatorWidth) {
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

// --- small floats on VarFloatRef: packed ports, restrictRegular on the results ------------
// With `gradual`, the format has gradual underflow: products and sums below the normal range
// are rounded once onto the subnormal step, and only overflow is clamped.
inline Step floatModel(int wE, int wF, const std::vector<double>& h, bool gradual = false) {
  struct State {
    State(int e, int f, bool g) : type("float", e, f, false), wE(e), flags(g ? 2 : 3) {
      type.setGradualUnderflow(g);
      mpfr_init2(environment.mValue, f + 1);
    }
    ~State() { mpfr_clear(environment.mValue); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    VarFloatType type;
    int wE, flags; // of restrictRegular
    util::TempVarAllocator alloc;
    WideTypedFormatVector ports{2};
    std::unique_ptr<VarFloatRef::Array2D> coefficients, delay;
    MPFR environment; // the testbench's own value for writing the input port
    int position = 0;
  };
  auto state = std::make_shared<State>(wE, wF, gradual);
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
      product.restrictRegular(s.wE, s.flags, false);
      acc.setAdd(acc, product);
      acc.restrictRegular(s.wE, s.flags, false);
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

// --- the same filters in plain code: what the models must match bit for bit -------------------

// The fixed-point filter on native integers: `Acc` holds the exact sum (int64 for 16 bits,
// __int128 for 48), shifted back with floor and saturated to `width` bits.
template <typename Acc> Step nativeFixedModel(const std::vector<double>& h, int width) {
  struct State {
    SINT coefficient[kTaps];
    SINT delay[kTaps] = {};
    int position = 0;
  };
  auto state = std::make_shared<State>();
  const int fraction = width - 1;
  for (int k = 0; k < kTaps; ++k)
    state->coefficient[k] = toFixed(h[k], fraction);
  return [state, fraction](double x) {
    State& s = *state;
    s.position = (s.position + 1) & (kTaps - 1);
    s.delay[s.position] = toFixed(x, fraction);
    Acc acc = 0;
    for (int k = 0; k < kTaps; ++k)
      acc += static_cast<Acc>(s.delay[(s.position - k) & (kTaps - 1)]) * s.coefficient[k];
    const Acc top = (Acc{1} << fraction) - 1;
    Acc y = acc >> fraction; // arithmetic: floor
    y = y > top ? top : y < -top - 1 ? -top - 1 : y;
    return fromFixed(static_cast<SINT>(y), fraction);
  };
}

// The float filter on plain MPFR calls: every product and sum rounded to wF + 1 bits, then
// flushed to zero below the normal range of a wE-bit exponent (with `gradual`, rounded once onto
// its subnormal step instead, as MPFR documents it) and made infinite above it. The input
// arrives through the same port codec as the model's.
inline Step mpfrFloatModel(int wE, int wF, const std::vector<double>& h, bool gradual = false) {
  struct State {
    State(int e, int f, bool g) : type("float", e, f, false), wE(e), wF(f), gradual(g) {
      for (mpfr_ptr v : {in, product, acc})
        mpfr_init2(v, f + 1);
      for (int k = 0; k < kTaps; ++k) {
        mpfr_init2(coefficient[k], f + 1);
        mpfr_init2(delay[k], f + 1);
        mpfr_set_zero(delay[k], 1);
      }
      port[0].setVarType(&type);
    }
    ~State() {
      for (mpfr_ptr v : {in, product, acc})
        mpfr_clear(v);
      for (int k = 0; k < kTaps; ++k) {
        mpfr_clear(coefficient[k]);
        mpfr_clear(delay[k]);
      }
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    // The normal exponents of the format: 2 - 2^(wE-1) .. 2^(wE-1) - 1.
    void restrict(mpfr_ptr v, int ternary) const {
      const long half = 1l << (wE - 1), emin = mpfr_get_emin();
      if (gradual) {
        mpfr_set_emin(3 - half - wF); // the exponent of the smallest subnormal
        mpfr_subnormalize(v, mpfr_check_range(v, ternary, MPFR_RNDN), MPFR_RNDN);
        mpfr_set_emin(emin);
      }
      const long e = mpfr_regular_p(v) ? mpfr_get_exp(v) - 1 : 0;
      if (e < 2 - half && !gradual)
        mpfr_set_zero(v, mpfr_signbit(v) ? -1 : 1);
      else if (e > half - 1)
        mpfr_set_inf(v, mpfr_signbit(v) ? -1 : 1);
    }
    VarFloatType type;
    int wE, wF;
    bool gradual;
    WideTypedFormatVector port{1};
    mpfr_t in, product, acc, coefficient[kTaps], delay[kTaps];
    int position = 0;
  };
  auto state = std::make_shared<State>(wE, wF, gradual);
  for (int k = 0; k < kTaps; ++k)
    mpfr_set_d(state->coefficient[k], h[k], MPFR_RNDN);
  return [state](double x) {
    State& s = *state;
    mpfr_set_d(s.in, x, MPFR_RNDN);
    VarFloatPackerDefault::instance.packBits(s.in, &s.port[0]);
    VarFloatPackerDefault::instance.unpackBits(s.in, &s.port[0]);
    s.position = (s.position + 1) & (kTaps - 1);
    mpfr_set(s.delay[s.position], s.in, MPFR_RNDN);
    mpfr_set_zero(s.acc, 1);
    for (int k = 0; k < kTaps; ++k) {
      s.restrict(s.product, mpfr_mul(s.product, s.delay[(s.position - k) & (kTaps - 1)],
                                     s.coefficient[k], MPFR_RNDN));
      s.restrict(s.acc, mpfr_add(s.acc, s.acc, s.product, MPFR_RNDN));
    }
    return mpfr_get_d(s.acc, MPFR_RNDN);
  };
}

} // namespace fir

#endif

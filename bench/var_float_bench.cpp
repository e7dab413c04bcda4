// VarFloatRef members against the same MPFR call on the same storage, at precisions 11, 24
// and 113; and port round trips (write then read) of (5,10), (8,23) and (11,52) formats
// against the native IEEE_Single / IEEE_Double codecs. Prints medians and ratios.
#include "paired.h"

#include "util/amath_dataimpl.h"

namespace {

using namespace simulation;
constexpr int kOps = 64;

// Three references of fraction width wF = precision - 1, holding ordinary operands.
struct Operands {
  explicit Operands(int precision)
      : type("bench", 15, precision - 1, true), r(&type, alloc), a(&type, alloc), b(&type, alloc) {
    mpfr_set_d(a.getRef().mValue, 1.7320508075688772, MPFR_RNDN);
    mpfr_set_d(b.getRef().mValue, 0.7071067811865476, MPFR_RNDN);
  }
  mpfr_ptr rx() { return r.getRef().mValue; }
  mpfr_ptr ax() { return a.getRef().mValue; }
  mpfr_ptr bx() { return b.getRef().mValue; }
  VarFloatType type;
  util::TempVarAllocator alloc;
  VarFloatRef r, a, b;
};

#define FLOAT_PAIR(NAME, REF_CALL, MPFR_CALL)                                                      \
  void NAME(benchmark::State& s) {                                                                 \
    Operands o(static_cast<int>(s.range(0)));                                                      \
    loom_bench::paired(                                                                            \
        s, kOps, [&] { REF_CALL; }, [&] { MPFR_CALL; });                                           \
  }                                                                                                \
  BENCHMARK(NAME)->Arg(11)->Arg(24)->Arg(113);

FLOAT_PAIR(setAdd, o.r.setAdd(o.a, o.b), mpfr_add(o.rx(), o.ax(), o.bx(), MPFR_RNDN))
FLOAT_PAIR(setSub, o.r.setSub(o.a, o.b), mpfr_sub(o.rx(), o.ax(), o.bx(), MPFR_RNDN))
FLOAT_PAIR(setMult, o.r.setMult(o.a, o.b), mpfr_mul(o.rx(), o.ax(), o.bx(), MPFR_RNDN))
FLOAT_PAIR(setDiv, o.r.setDiv(o.a, o.b), mpfr_div(o.rx(), o.ax(), o.bx(), MPFR_RNDN))
FLOAT_PAIR(setSqrt, o.r.setSqrt(o.a), mpfr_sqrt(o.rx(), o.ax(), MPFR_RNDN))
FLOAT_PAIR(setRecip, o.r.setRecip(o.a), mpfr_ui_div(o.rx(), 1, o.ax(), MPFR_RNDN))
FLOAT_PAIR(setDim, o.r.setDim(o.a, o.b), mpfr_dim(o.rx(), o.ax(), o.bx(), MPFR_RNDN))
FLOAT_PAIR(setNeg, o.r.setNeg(o.a), mpfr_neg(o.rx(), o.ax(), MPFR_RNDN))
FLOAT_PAIR(setAbs, o.r.setAbs(o.a), mpfr_setsign(o.rx(), o.ax(), 0, MPFR_RNDN))
FLOAT_PAIR(setLdExp, o.r.setLdExp(o.a, -3), mpfr_mul_2si(o.rx(), o.ax(), -3, MPFR_RNDN))
FLOAT_PAIR(setScaleDouble, o.r.setScaleDouble(o.a, 0.3), mpfr_mul_d(o.rx(), o.ax(), 0.3, MPFR_RNDN))
FLOAT_PAIR(setRint, o.r.setRint(o.a), mpfr_rint(o.rx(), o.ax(), MPFR_RNDN))

// Port round trips: one write and one read through the reference's packer, against the
// native codec of the same size ((5,10) and (8,7), which the default packer packs, are set
// beside the single codec).
void PortRoundTrip(benchmark::State& state) {
  static const int formats[4][2] = {{5, 10}, {8, 7}, {8, 23}, {11, 52}};
  const int* f = formats[state.range(0)];
  VarFloatType type("port", f[0], f[1], true);
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports(2);
  ports[0].setVarType(&type);
  ports[1].setSimPortType(state.range(0) == 3 ? SPT_DOUBLE : SPT_SINGLE);
  VarFloatRef ref(&type, alloc);
  ref.bindIO(ports[0]);
  mpfr_set_d(ref.getRef().mValue, 0.333251953125, MPFR_RNDN);
  double value = 0.333251953125;
  const bool isDouble = state.range(0) == 3;
  loom_bench::paired(
      state, kOps,
      [&] {
        ref.write();
        ref.read();
      },
      [&] {
        if (isDouble) {
          IEEE_Double(value).Set(ports[1]);
          value = IEEE_Double(ports[1]).mValue;
        } else {
          IEEE_Single(static_cast<float>(value)).Set(ports[1]);
          value = IEEE_Single(ports[1]).mValue;
        }
      });
  benchmark::DoNotOptimize(value);
}
BENCHMARK(PortRoundTrip)->Arg(0)->Arg(1)->Arg(2)->Arg(3);

} // namespace

// VarFloatRef members against the same MPFR call on the same storage, at precisions 11, 24, 53
// and 113, on operands of random signs and magnitudes; and port round trips (write then read) of
// (5,10), (8,23) and (11,52) formats against the native IEEE_Single / IEEE_Double codecs. Prints
// medians and ratios.
#include "paired.h"

#include "util/amath_dataimpl.h"

#include <random>
#include <vector>

namespace {

using namespace simulation;
constexpr int kOps = 64;

// Tables of operands of fraction width wF = precision - 1: random significands, signs and
// exponents (within 2^-20..2^20, so that sums align and cancel as in a filter), and a table of
// positive ones for square roots and reciprocals. Each operation takes the next entries, bound
// to the references as a model binds its variables.
struct Operands {
  static constexpr unsigned kPairs = 64;
  explicit Operands(int precision)
      : type("bench", 15, precision - 1, true), r(&type, alloc), a(&type, alloc), b(&type, alloc),
        c(&type, alloc), xs(kPairs), ys(kPairs), ps(kPairs) {
    std::mt19937_64 rng(static_cast<unsigned>(precision));
    for (std::vector<MPFR>* table : {&xs, &ys, &ps})
      for (MPFR& v : *table) {
        mpfr_init2(v.mValue, precision);
        mpfr_set_ui_2exp(v.mValue, rng() | 1ul << 63, static_cast<long>(rng() % 41) - 84,
                         MPFR_RNDN);
        if (table != &ps && rng() % 2 != 0)
          mpfr_neg(v.mValue, v.mValue, MPFR_RNDN);
      }
  }
  ~Operands() {
    for (std::vector<MPFR>* table : {&xs, &ys, &ps})
      for (MPFR& v : *table)
        mpfr_clear(v.mValue);
  }
  Operands(const Operands&) = delete;
  Operands& operator=(const Operands&) = delete;
  // Binds the next entries; x(), y() and p() are the same ones for the baseline.
  void next() {
    i = (i + 1) % kPairs;
    a.bind(&xs[i]);
    b.bind(&ys[i]);
    c.bind(&ps[i]);
  }
  mpfr_ptr rx() { return r.getRef().mValue; }
  mpfr_ptr x() { return xs[i].mValue; }
  mpfr_ptr y() { return ys[i].mValue; }
  mpfr_ptr p() { return ps[i].mValue; }
  VarFloatType type;
  util::TempVarAllocator alloc;
  VarFloatRef r, a, b, c;
  std::vector<MPFR> xs, ys, ps;
  unsigned i = 0;
};

#define FLOAT_PAIR(NAME, REF_CALL, MPFR_CALL)                                                      \
  void NAME(benchmark::State& s) {                                                                 \
    loom_bench::pairedOn<Operands>(                                                                \
        s, kOps, [](Operands& o) { REF_CALL; }, [](Operands& o) { MPFR_CALL; });                   \
  }                                                                                                \
  BENCHMARK(NAME)->Arg(11)->Arg(24)->Arg(53)->Arg(113);

FLOAT_PAIR(setAdd, o.r.setAdd(o.a, o.b), mpfr_add(o.rx(), o.x(), o.y(), MPFR_RNDN))
FLOAT_PAIR(setSub, o.r.setSub(o.a, o.b), mpfr_sub(o.rx(), o.x(), o.y(), MPFR_RNDN))
FLOAT_PAIR(setMult, o.r.setMult(o.a, o.b), mpfr_mul(o.rx(), o.x(), o.y(), MPFR_RNDN))
FLOAT_PAIR(setDiv, o.r.setDiv(o.a, o.b), mpfr_div(o.rx(), o.x(), o.y(), MPFR_RNDN))
FLOAT_PAIR(setSqrt, o.r.setSqrt(o.c), mpfr_sqrt(o.rx(), o.p(), MPFR_RNDN))
FLOAT_PAIR(setRecip, o.r.setRecip(o.c), mpfr_ui_div(o.rx(), 1, o.p(), MPFR_RNDN))
FLOAT_PAIR(setDim, o.r.setDim(o.a, o.b), mpfr_dim(o.rx(), o.x(), o.y(), MPFR_RNDN))
FLOAT_PAIR(setNeg, o.r.setNeg(o.a), mpfr_neg(o.rx(), o.x(), MPFR_RNDN))
FLOAT_PAIR(setAbs, o.r.setAbs(o.a), mpfr_setsign(o.rx(), o.x(), 0, MPFR_RNDN))
FLOAT_PAIR(setLdExp, o.r.setLdExp(o.a, -3), mpfr_mul_2si(o.rx(), o.x(), -3, MPFR_RNDN))
FLOAT_PAIR(setScaleDouble, o.r.setScaleDouble(o.a, 0.3), mpfr_mul_d(o.rx(), o.x(), 0.3, MPFR_RNDN))
FLOAT_PAIR(setRint, o.r.setRint(o.a), mpfr_rint(o.rx(), o.x(), MPFR_RNDN))

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

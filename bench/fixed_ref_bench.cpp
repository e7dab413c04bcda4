// FixedRef operations against the same GMP call on the same mpz_t storage, for 1-, 2- and
// 4-limb operands of random signs and magnitudes (inline below three limbs), and array element
// binding followed by an addition against the addition alone. Prints medians and the ratios.
#include "paired.h"

#include "util/amath_dataimpl.h"

#include <random>
#include <vector>

namespace {

using namespace simulation;
constexpr int kOps = 256;

// Tables of operands of `limbs` limbs (the top one of random length), random signs, none zero;
// each operation takes the next pair, bound to the references as a model binds its variables.
struct Operands {
  static constexpr unsigned kPairs = 64;
  explicit Operands(int limbs)
      : d(&WideFixedType::legacy, alloc), a(&WideFixedType::legacy, alloc),
        b(&WideFixedType::legacy, alloc) {
    std::mt19937_64 rng(limbs);
    for (std::vector<MPZ>* table : {&xs, &ys}) {
      table->resize(kPairs);
      for (MPZ& v : *table) {
        mpz_init(v.mValue);
        for (int k = 0; k < limbs; ++k) {
          mpz_mul_2exp(v.mValue, v.mValue, 64);
          mpz_add_ui(v.mValue, v.mValue, rng() >> (k == 0 ? rng() % 63 : 0));
        }
        if (rng() % 2 != 0)
          mpz_neg(v.mValue, v.mValue);
      }
    }
    mpz_realloc2(d.getRef(), 64 * 2 * limbs + 64); // room for every result up front
  }
  ~Operands() {
    for (std::vector<MPZ>* table : {&xs, &ys})
      for (MPZ& v : *table)
        mpz_clear(v.mValue);
  }
  Operands(const Operands&) = delete;
  Operands& operator=(const Operands&) = delete;
  // Binds the next pair; x() and y() are the same pair for the baseline.
  void next() {
    i = (i + 1) % kPairs;
    a.bind(xs[i]);
    b.bind(ys[i]);
  }
  mpz_ptr x() { return xs[i].mValue; }
  mpz_ptr y() { return ys[i].mValue; }
  util::TempVarAllocator alloc;
  FixedRef d, a, b;
  std::vector<MPZ> xs, ys;
  unsigned i = 0;
};

#define FIXED_PAIR(NAME, REF_CALL, GMP_CALL)                                                       \
  void NAME(benchmark::State& s) {                                                                 \
    loom_bench::pairedOn<Operands>(                                                                \
        s, kOps, [](Operands& o) { REF_CALL; }, [](Operands& o) { GMP_CALL; });                    \
  }                                                                                                \
  BENCHMARK(NAME)->Name("fixed_" #NAME)->Arg(1)->Arg(2)->Arg(4);

FIXED_PAIR(setAdd, o.d.setAdd(o.a, o.b), mpz_add(o.d.getRef(), o.x(), o.y()))
FIXED_PAIR(compare, benchmark::DoNotOptimize(o.a.lessThan(o.b)),
           benchmark::DoNotOptimize(mpz_cmp(o.x(), o.y()) < 0))
FIXED_PAIR(setSub, o.d.setSub(o.a, o.b), mpz_sub(o.d.getRef(), o.x(), o.y()))
FIXED_PAIR(setMult, o.d.setMult(o.a, o.b), mpz_mul(o.d.getRef(), o.x(), o.y()))
FIXED_PAIR(setDivTrunc, o.d.setDiv(o.a, o.b, true), mpz_tdiv_q(o.d.getRef(), o.x(), o.y()))
FIXED_PAIR(setDivFloor, o.d.setDiv(o.a, o.b, false), mpz_fdiv_q(o.d.getRef(), o.x(), o.y()))
FIXED_PAIR(setMod, o.d.setMod(o.a, o.b), mpz_mod(o.d.getRef(), o.x(), o.y()))
FIXED_PAIR(setAnd, o.d.setAnd(o.a, o.b), mpz_and(o.d.getRef(), o.x(), o.y()))
FIXED_PAIR(setOr, o.d.setOr(o.a, o.b), mpz_ior(o.d.getRef(), o.x(), o.y()))
FIXED_PAIR(setXor, o.d.setXor(o.a, o.b), mpz_xor(o.d.getRef(), o.x(), o.y()))
FIXED_PAIR(setDim, o.d.setDim(o.b, o.a),
           (mpz_cmp(o.y(), o.x()) >= 0 ? mpz_sub(o.d.getRef(), o.y(), o.x())
                                       : mpz_set_ui(o.d.getRef(), 0)))
FIXED_PAIR(setAddInt, o.d.setAdd(o.a, -77), mpz_sub_ui(o.d.getRef(), o.x(), 77))
FIXED_PAIR(setLdExp, o.d.setLdExp(o.a, -13), mpz_fdiv_q_2exp(o.d.getRef(), o.x(), 13))

// Binding an array element before each operation costs one multiply-add beyond the operation.
void ElementBindAndAdd(benchmark::State& state) {
  Operands o(static_cast<int>(state.range(0)));
  FixedRef element(&WideFixedType::legacy, o.alloc);
  FixedRef::Array2D array(&WideFixedType::legacy, 16, 16);
  unsigned row = 0, col = 0;
  loom_bench::paired(
      state, kOps,
      [&] {
        o.next();
        array.bindElem(element, row, col);
        element.setAdd(o.a, o.b);
        col = (col + 7) & 15u;
        row = (row + (col == 0)) & 15u;
      },
      [&] {
        o.next();
        o.d.setAdd(o.a, o.b);
      });
}
BENCHMARK(ElementBindAndAdd)->Arg(1)->Arg(4);

} // namespace

// FixedRef binary operations against the same GMP call on the same mpz_t storage, for
// 1-limb and 4-limb operands, and array element binding followed by an addition against
// the addition alone. Prints medians and the ratios.
#include "bench_ratio.h"

#include "util/amath_dataimpl.h"

#include <benchmark/benchmark.h>

namespace {

using namespace simulation;
constexpr int kOps = 256;

// Operands of `limbs` limbs, stored in the references' own temporaries.
struct Operands {
  explicit Operands(int limbs)
      : d(&WideFixedType::legacy, alloc), a(&WideFixedType::legacy, alloc),
        b(&WideFixedType::legacy, alloc) {
    mpz_set_si(a.getRef(), -123456789);
    mpz_set_ui(b.getRef(), 987654321);
    mpz_mul_2exp(a.getRef(), a.getRef(), 64 * (limbs - 1));
    mpz_mul_2exp(b.getRef(), b.getRef(), 64 * (limbs - 1) - (limbs > 1 ? 40 : 0));
    mpz_add_ui(a.getRef(), a.getRef(), 12345);
    mpz_mul(d.getRef(), a.getRef(), b.getRef()); // room for every result up front
  }
  util::TempVarAllocator alloc;
  FixedRef d, a, b;
};

template <typename Op> void run(benchmark::State& state, Op op) {
  Operands o(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (int i = 0; i < kOps; ++i)
      op(o);
    benchmark::DoNotOptimize(o.d.getRef()[0]._mp_d[0]);
    benchmark::ClobberMemory();
  }
}

#define FIXED_PAIR(NAME, REF_CALL, GMP_CALL)                                                       \
  void NAME##_library(benchmark::State& s) {                                                       \
    run(s, [](Operands& o) { REF_CALL; });                                                         \
  }                                                                                                \
  void NAME##_baseline(benchmark::State& s) {                                                      \
    run(s, [](Operands& o) { GMP_CALL; });                                                         \
  }                                                                                                \
  BENCHMARK(NAME##_library)->Arg(1)->Arg(4);                                                       \
  BENCHMARK(NAME##_baseline)->Arg(1)->Arg(4);

FIXED_PAIR(setAdd, o.d.setAdd(o.a, o.b), mpz_add(*o.d.value, *o.a.value, *o.b.value))
FIXED_PAIR(setSub, o.d.setSub(o.a, o.b), mpz_sub(*o.d.value, *o.a.value, *o.b.value))
FIXED_PAIR(setMult, o.d.setMult(o.a, o.b), mpz_mul(*o.d.value, *o.a.value, *o.b.value))
FIXED_PAIR(setDivTrunc, o.d.setDiv(o.a, o.b, true), mpz_tdiv_q(*o.d.value, *o.a.value, *o.b.value))
FIXED_PAIR(setDivFloor, o.d.setDiv(o.a, o.b, false), mpz_fdiv_q(*o.d.value, *o.a.value, *o.b.value))
FIXED_PAIR(setMod, o.d.setMod(o.a, o.b), mpz_mod(*o.d.value, *o.a.value, *o.b.value))
FIXED_PAIR(setAnd, o.d.setAnd(o.a, o.b), mpz_and(*o.d.value, *o.a.value, *o.b.value))
FIXED_PAIR(setOr, o.d.setOr(o.a, o.b), mpz_ior(*o.d.value, *o.a.value, *o.b.value))
FIXED_PAIR(setXor, o.d.setXor(o.a, o.b), mpz_xor(*o.d.value, *o.a.value, *o.b.value))
FIXED_PAIR(setDim, o.d.setDim(o.b, o.a),
           (mpz_cmp(*o.b.value, *o.a.value) >= 0 ? mpz_sub(*o.d.value, *o.b.value, *o.a.value)
                                                 : mpz_set_ui(*o.d.value, 0)))
FIXED_PAIR(setAddInt, o.d.setAdd(o.a, -77), mpz_sub_ui(*o.d.value, *o.a.value, 77))
FIXED_PAIR(setLdExp, o.d.setLdExp(o.a, -13), mpz_fdiv_q_2exp(*o.d.value, *o.a.value, 13))

// Binding an array element before each operation costs one multiply-add beyond the operation.
void ElementBindAndAdd_library(benchmark::State& state) {
  Operands o(static_cast<int>(state.range(0)));
  FixedRef::Array2D array(&WideFixedType::legacy, 16, 16);
  unsigned row = 0, col = 0;
  for (auto _ : state) {
    for (int i = 0; i < kOps; ++i) {
      array.bindElem(o.d, row, col);
      o.d.setAdd(o.a, o.b);
      col = (col + 7) & 15u;
      row = (row + (col == 0)) & 15u;
    }
    benchmark::ClobberMemory();
  }
}
void ElementBindAndAdd_baseline(benchmark::State& state) {
  run(state, [](Operands& o) { o.d.setAdd(o.a, o.b); });
}
BENCHMARK(ElementBindAndAdd_library)->Arg(1)->Arg(4);
BENCHMARK(ElementBindAndAdd_baseline)->Arg(1)->Arg(4);

} // namespace

int main(int argc, char** argv) {
  return loom_bench::runWithRatios(argc, argv, kOps);
}

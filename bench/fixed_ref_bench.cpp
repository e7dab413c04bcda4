// FixedRef operations against the same GMP call on the same mpz_t storage, for 1-, 2- and
// 4-limb operands (inline below three limbs), and array element binding followed by an
// addition against the addition alone. Prints medians and the ratios.
#include "paired.h"

#include "util/amath_dataimpl.h"

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

#define FIXED_PAIR(NAME, REF_CALL, GMP_CALL)                                                       \
  void NAME(benchmark::State& s) {                                                                 \
    Operands o(static_cast<int>(s.range(0)));                                                      \
    loom_bench::paired(                                                                            \
        s, kOps, [&] { REF_CALL; }, [&] { GMP_CALL; });                                            \
  }                                                                                                \
  BENCHMARK(NAME)->Name("fixed_" #NAME)->Arg(1)->Arg(2)->Arg(4);

FIXED_PAIR(setAdd, o.d.setAdd(o.a, o.b), mpz_add(*o.d.value, *o.a.value, *o.b.value))
FIXED_PAIR(compare, benchmark::DoNotOptimize(o.a.lessThan(o.b)),
           benchmark::DoNotOptimize(mpz_cmp(*o.a.value, *o.b.value) < 0))
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
void ElementBindAndAdd(benchmark::State& state) {
  Operands o(static_cast<int>(state.range(0)));
  FixedRef element(&WideFixedType::legacy, o.alloc);
  FixedRef::Array2D array(&WideFixedType::legacy, 16, 16);
  unsigned row = 0, col = 0;
  loom_bench::paired(
      state, kOps,
      [&] {
        array.bindElem(element, row, col);
        element.setAdd(o.a, o.b);
        col = (col + 7) & 15u;
        row = (row + (col == 0)) & 15u;
      },
      [&] { o.d.setAdd(o.a, o.b); });
}
BENCHMARK(ElementBindAndAdd)->Arg(1)->Arg(4);

} // namespace

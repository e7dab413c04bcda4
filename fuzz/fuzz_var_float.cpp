// Var-float reference operations on operands and destinations of any precision up to 70 bits
// (the inline paths up to 64), in MPFR's exponent range or a narrowed one, checked against the
// same MPFR call: value, sign of zero, and the range-error flag.
#include "util/amath_dataimpl.h"

#include <cstdint>
#include <cstdlib>

using namespace simulation;

namespace {
struct Value {
  explicit Value(mpfr_prec_t p) { mpfr_init2(v.mValue, p); }
  ~Value() { mpfr_clear(v.mValue); }
  MPFR v;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto byte = [&]() -> std::uint8_t { return size == 0 ? 0 : (--size, *data++); };
  auto precision = [&] { return static_cast<mpfr_prec_t>(1 + byte() % 70); };
  const bool narrowed = byte() & 1;
  const mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
  if (narrowed) {
    mpfr_set_emin(-1 - byte());
    mpfr_set_emax(1 + byte());
  }
  util::TempVarAllocator alloc; // takes the exponent range
  VarFloatType type("fuzz", 8, 23, true);
  VarFloatRef d(&type, alloc), a(&type, alloc), b(&type, alloc);
  Value x(precision()), y(precision()), ours(precision()), theirs(mpfr_get_prec(ours.v.mValue));
  for (Value* v : {&x, &y}) { // a special, or significand bits and an exponent from the input
    const std::uint8_t kind = byte();
    std::uint64_t m = 0;
    for (int i = 0; i < 8; ++i)
      m = m << 8 | byte();
    const long e = static_cast<long>(static_cast<std::int8_t>(byte())) * (kind & 0x40 ? 8 : 1);
    if (kind % 8 == 0)
      mpfr_set_zero(v->v.mValue, kind & 0x80 ? -1 : 1);
    else if (kind % 8 == 1)
      mpfr_set_inf(v->v.mValue, kind & 0x80 ? -1 : 1);
    else if (kind % 8 == 2)
      mpfr_set_nan(v->v.mValue);
    else
      mpfr_set_ui_2exp(v->v.mValue, (m | 1ul << 63) >> (kind % 8 == 3 ? 0 : byte() % 64), e,
                       MPFR_RNDN); // rounded to the value's precision
    if (kind & 0x80)
      mpfr_neg(v->v.mValue, v->v.mValue, MPFR_RNDN);
  }
  const int op = byte() % 11, n = static_cast<int>(static_cast<std::int8_t>(byte())) * 3;
  const bool inPlace = byte() & 1;
  mpfr_set(ours.v.mValue, x.v.mValue, MPFR_RNDN);
  Value copy(mpfr_get_prec(x.v.mValue));
  mpfr_set(copy.v.mValue, x.v.mValue, MPFR_RNDN);
  d.bind(inPlace ? &copy.v : &ours.v);
  a.bind(inPlace ? &copy.v : &x.v);
  b.bind(&y.v);
  mpfr_ptr want = inPlace ? x.v.mValue : theirs.v.mValue;
  mpfr_srcptr xv = x.v.mValue, yv = y.v.mValue;
  int got = 0, expected = 0, gotRange = 0;
  mpfr_clear_erangeflag();
  switch (op) {
  // clang-format off
  case 0: d.setAdd(a, b); gotRange = mpfr_erangeflag_p(); mpfr_add(want, xv, yv, MPFR_RNDN); break;
  case 1: d.setSub(a, b); gotRange = mpfr_erangeflag_p(); mpfr_sub(want, xv, yv, MPFR_RNDN); break;
  case 2: d.setMult(a, b); gotRange = mpfr_erangeflag_p(); mpfr_mul(want, xv, yv, MPFR_RNDN); break;
  case 3: d.setNeg(a); gotRange = mpfr_erangeflag_p(); mpfr_neg(want, xv, MPFR_RNDN); break;
  case 4: d.setAbs(a); gotRange = mpfr_erangeflag_p(); mpfr_setsign(want, xv, 0, MPFR_RNDN); break;
  case 5: d.setLdExp(a, n); gotRange = mpfr_erangeflag_p(); mpfr_mul_2si(want, xv, n, MPFR_RNDN); break;
  case 6: got = a.lessThan(b); gotRange = mpfr_erangeflag_p(); expected = mpfr_less_p(xv, yv); break;
  case 7: got = a.lessEqual(b); gotRange = mpfr_erangeflag_p(); expected = mpfr_lessequal_p(xv, yv); break;
  case 8: got = a.greaterThan(b); gotRange = mpfr_erangeflag_p(); expected = mpfr_greater_p(xv, yv); break;
  case 9: got = a.greaterEqual(b); gotRange = mpfr_erangeflag_p(); expected = mpfr_greaterequal_p(xv, yv); break;
  default: got = a.isEqual(b); gotRange = mpfr_erangeflag_p(); expected = mpfr_equal_p(xv, yv);
    // clang-format on
  }
  mpfr_srcptr result = d.getRef().mValue;
  const bool same = mpfr_nan_p(result)
                        ? mpfr_nan_p(want) != 0
                        : mpfr_equal_p(result, want) && mpfr_signbit(result) == mpfr_signbit(want);
  if (op < 6 && !same)
    std::abort();
  if (got != expected || gotRange != mpfr_erangeflag_p())
    std::abort();
  mpfr_set_emin(emin);
  mpfr_set_emax(emax);
  return 0;
}

#ifndef LOOM_TESTS_FLOAT_PATHS_CHECK_H
#define LOOM_TESTS_FLOAT_PATHS_CHECK_H

// Var-float operations through the references and through the MPFR calls they stand for, on the
// same operands, and the random cases that drive them: shared by the differential test and the
// fuzz target.

#include "util/amath_dataimpl.h"

#include <algorithm>
#include <string>

namespace float_paths {

using namespace simulation;

// MPFR values of given precisions, released at the end of the scope.
struct Floats {
  Floats(int pd, int pa, int pb) {
    mpfr_init2(values[0].mValue, pd);
    mpfr_init2(values[1].mValue, pa);
    mpfr_init2(values[2].mValue, pb);
  }
  ~Floats() {
    for (MPFR& v : values)
      mpfr_clear(v.mValue);
  }
  Floats(const Floats&) = delete;
  Floats& operator=(const Floats&) = delete;
  MPFR values[3]; // destination, x, y
};

// A float of x's precision from a source of random 64-bit words: zero, infinity, NaN, or a
// regular value with a random, all-ones or power-of-two significand (of at most 64 bits) and an
// exponent near 1, far from it, or at an end of [emin, emax].
template <typename Random> void randomFloat(mpfr_ptr x, Random&& rng) {
  const int sign = rng() % 2 ? -1 : 1, p = std::min(static_cast<int>(mpfr_get_prec(x)), 64);
  switch (rng() % 24) {
  case 0:
    return mpfr_set_zero(x, sign);
  case 1:
    return mpfr_set_inf(x, sign);
  case 2:
    return mpfr_set_nan(x);
  }
  const unsigned long top = 1ul << (p - 1), all = top | (top - 1);
  const unsigned long m = rng() % 5 == 0 ? all : rng() % 5 == 0 ? top : (rng() >> (64 - p)) | top;
  const long emin = mpfr_get_emin(), emax = mpfr_get_emax();
  const long e = rng() % 3 == 0   ? static_cast<long>(rng() % 161) - 80
                 : rng() % 4 == 0 ? (rng() % 2 ? emin : emax - 3) + static_cast<long>(rng() % 4)
                                  : static_cast<long>(rng() % 9) - 4;
  mpfr_set_ui_2exp(x, m, e - p, MPFR_RNDN);
  mpfr_setsign(x, x, sign < 0, MPFR_RNDN);
}

// Each operation through a reference d (on a and b) and through MPFR; n is the scale of ldexp.
// The comparisons give their answers, the operations 0.
struct Operation {
  const char* name;
  int (*ours)(VarFloatRef& d, VarFloatRef& a, VarFloatRef& b, int n);
  int (*theirs)(mpfr_ptr d, mpfr_srcptr a, mpfr_srcptr b, int n);
};
// clang-format off
const Operation kOperations[] = {
  {"add", [](auto& d, auto& a, auto& b, int) { return d.setAdd(a, b), 0; },
          [](auto d, auto a, auto b, int) { return mpfr_add(d, a, b, MPFR_RNDN), 0; }},
  {"sub", [](auto& d, auto& a, auto& b, int) { return d.setSub(a, b), 0; },
          [](auto d, auto a, auto b, int) { return mpfr_sub(d, a, b, MPFR_RNDN), 0; }},
  {"mult", [](auto& d, auto& a, auto& b, int) { return d.setMult(a, b), 0; },
           [](auto d, auto a, auto b, int) { return mpfr_mul(d, a, b, MPFR_RNDN), 0; }},
  {"neg", [](auto& d, auto& a, auto&, int) { return d.setNeg(a), 0; },
          [](auto d, auto a, auto, int) { return mpfr_neg(d, a, MPFR_RNDN), 0; }},
  {"abs", [](auto& d, auto& a, auto&, int) { return d.setAbs(a), 0; },
          [](auto d, auto a, auto, int) { return mpfr_setsign(d, a, 0, MPFR_RNDN), 0; }},
  {"ldexp", [](auto& d, auto& a, auto&, int n) { return d.setLdExp(a, n), 0; },
            [](auto d, auto a, auto, int n) { return mpfr_mul_2si(d, a, n, MPFR_RNDN), 0; }},
  {"less", [](auto&, auto& a, auto& b, int) { return int(a.lessThan(b)); },
           [](auto, auto a, auto b, int) { return mpfr_less_p(a, b); }},
  {"less or equal", [](auto&, auto& a, auto& b, int) { return int(a.lessEqual(b)); },
                    [](auto, auto a, auto b, int) { return mpfr_lessequal_p(a, b); }},
  {"greater", [](auto&, auto& a, auto& b, int) { return int(a.greaterThan(b)); },
              [](auto, auto a, auto b, int) { return mpfr_greater_p(a, b); }},
  {"greater or equal", [](auto&, auto& a, auto& b, int) { return int(a.greaterEqual(b)); },
                       [](auto, auto a, auto b, int) { return mpfr_greaterequal_p(a, b); }},
  {"equal", [](auto&, auto& a, auto& b, int) { return int(a.isEqual(b)); },
            [](auto, auto a, auto b, int) { return mpfr_equal_p(a, b); }},
};
// clang-format on
constexpr int kOperationCount = sizeof kOperations / sizeof kOperations[0];
constexpr int kValueOperations = 6; // the first six write a value

inline bool sameFloat(mpfr_srcptr got, mpfr_srcptr want) {
  return (mpfr_nan_p(got) && mpfr_nan_p(want)) ||
         (mpfr_equal_p(got, want) && mpfr_signbit(got) == mpfr_signbit(want) &&
          mpfr_get_prec(got) == mpfr_get_prec(want));
}

// Every operation on copies of (x, y) into a destination of precision p, or in place (p = 0).
// `report` receives, for each, what the references and MPFR gave (a comparison's two answers, or
// whether the value written is MPFR's and 1), the range-error flag after each call, and a text
// of the case.
template <typename Report>
void checkAll(VarFloatRef& d, VarFloatRef& a, VarFloatRef& b, mpfr_srcptr x, mpfr_srcptr y, int p,
              int n, Report&& report) {
  const int px = static_cast<int>(mpfr_get_prec(x)), py = static_cast<int>(mpfr_get_prec(y));
  for (int op = 0; op < kOperationCount; ++op) {
    Floats ours(p ? p : px, px, py), theirs(p ? p : px, px, py);
    for (Floats* f : {&ours, &theirs}) {
      mpfr_set(f->values[1].mValue, x, MPFR_RNDN);
      mpfr_set(f->values[2].mValue, y, MPFR_RNDN);
    }
    MPFR* into = p ? &ours.values[0] : &ours.values[1];
    d.bind(into);
    a.bind(&ours.values[1]);
    b.bind(&ours.values[2]);
    mpfr_clear_erangeflag();
    int got = kOperations[op].ours(d, a, b, n);
    const int gotRange = mpfr_erangeflag_p();
    mpfr_clear_erangeflag();
    mpfr_ptr want = p ? theirs.values[0].mValue : theirs.values[1].mValue;
    int expected =
        kOperations[op].theirs(want, theirs.values[1].mValue, theirs.values[2].mValue, n);
    if (op < kValueOperations) { // compare the values written
      got = sameFloat(into->mValue, want);
      expected = 1;
    }
    char text[300] = ""; // the case, written out only when it fails
    if (got != expected || gotRange != mpfr_erangeflag_p())
      mpfr_snprintf(text, sizeof text, "%s %Ra %Ra at %d, n %d: got %Ra, MPFR gives %Ra",
                    kOperations[op].name, x, y, p, n, into->mValue, want);
    report(got, expected, gotRange, mpfr_erangeflag_p(), text);
  }
}

// A random case: operands of the one-limb precisions and beyond, y often related to x (-x for a
// total cancellation, x * 2^k, x one unit away), a third of the time in a narrowed exponent range
// whose ends the results reach, which the allocator's references take at the step boundary.
template <typename Random, typename Report>
void randomCase(Random&& rng, util::TempVarAllocator& alloc, VarFloatRef& d, VarFloatRef& a,
                VarFloatRef& b, Report&& report) {
  static const int precisions[] = {1, 2, 11, 24, 32, 33, 53, 60, 61, 62, 63, 64, 65, 113};
  const long emin = mpfr_get_emin(), emax = mpfr_get_emax();
  if (rng() % 3 == 0) {
    mpfr_set_emin(-static_cast<long>(rng() % 200) - 1);
    mpfr_set_emax(static_cast<long>(rng() % 200) + 1);
  }
  alloc.resetAvailability();
  const int pa = precisions[rng() % 12], pb = rng() % 2 ? pa : precisions[rng() % 14];
  Floats xy(pa, pa, pb);
  mpfr_ptr x = xy.values[1].mValue, y = xy.values[2].mValue;
  randomFloat(x, rng);
  switch (rng() % 6) {
  case 0:
    mpfr_neg(y, x, MPFR_RNDN);
    break;
  case 1:
    mpfr_mul_2si(y, x, static_cast<long>(rng() % 140) - 70, MPFR_RNDN);
    break;
  case 2:
    mpfr_set(y, x, MPFR_RNDN);
    rng() % 2 ? mpfr_nextabove(y) : mpfr_nextbelow(y);
    mpfr_neg(y, y, MPFR_RNDN);
    break;
  default:
    randomFloat(y, rng);
  }
  const int p = rng() % 4 == 0 ? 0 : rng() % 2 ? pa : precisions[rng() % 14];
  checkAll(d, a, b, x, y, p, static_cast<int>(rng() % 301) - 150, report);
  mpfr_set_emin(emin);
  mpfr_set_emax(emax);
}

} // namespace float_paths

#endif

#ifndef LOOM_TESTS_FLOAT_PATHS_CHECK_H
#define LOOM_TESTS_FLOAT_PATHS_CHECK_H

// One var-float operation through the references and through the MPFR call it stands for, on
// the same operands: shared by the differential test and the fuzz target.

#include "util/amath_dataimpl.h"

#include <string>

namespace float_paths {

using namespace simulation;

constexpr int kOperations = 11;

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

// What the references and MPFR gave: a comparison's two answers, or for an operation whether
// the values written are the same (1 for MPFR's own); the range-error flag after each call; and
// on a mismatch of values, both of them.
struct Outcome {
  int ours, theirs;
  int oursRange, theirsRange;
  std::string name, values;
};

// d = the operation on (x, y); n is the scale of ldexp. The comparisons return their answer.
inline int viaReferences(int op, VarFloatRef& d, VarFloatRef& a, VarFloatRef& b, int n) {
  switch (op) {
  // clang-format off
  case 0: d.setAdd(a, b); return 0;
  case 1: d.setSub(a, b); return 0;
  case 2: d.setMult(a, b); return 0;
  case 3: d.setNeg(a); return 0;
  case 4: d.setAbs(a); return 0;
  case 5: d.setLdExp(a, n); return 0;
  case 6: return a.lessThan(b);
  case 7: return a.lessEqual(b);
  case 8: return a.greaterThan(b);
  case 9: return a.greaterEqual(b);
  default: return a.isEqual(b);
  }
}

inline int viaMpfr(int op, mpfr_ptr d, mpfr_srcptr a, mpfr_srcptr b, int n) {
  switch (op) {
  case 0: mpfr_add(d, a, b, MPFR_RNDN); return 0;
  case 1: mpfr_sub(d, a, b, MPFR_RNDN); return 0;
  case 2: mpfr_mul(d, a, b, MPFR_RNDN); return 0;
  case 3: mpfr_neg(d, a, MPFR_RNDN); return 0;
  case 4: mpfr_setsign(d, a, 0, MPFR_RNDN); return 0;
  case 5: mpfr_mul_2si(d, a, n, MPFR_RNDN); return 0;
  case 6: return mpfr_less_p(a, b);
  case 7: return mpfr_lessequal_p(a, b);
  case 8: return mpfr_greater_p(a, b);
  case 9: return mpfr_greaterequal_p(a, b);
  default: return mpfr_equal_p(a, b);
    // clang-format on
  }
}

inline bool sameFloat(mpfr_srcptr got, mpfr_srcptr want) {
  return (mpfr_nan_p(got) && mpfr_nan_p(want)) ||
         (mpfr_equal_p(got, want) && mpfr_signbit(got) == mpfr_signbit(want) &&
          mpfr_get_prec(got) == mpfr_get_prec(want));
}

// Runs operation `op` on (x, y) into a destination of precision p, or in place (p = 0), on
// copies of the operands; d, a and b are references on one allocator.
inline Outcome check(int op, VarFloatRef& d, VarFloatRef& a, VarFloatRef& b, mpfr_srcptr x,
                     mpfr_srcptr y, int p, int n) {
  const int px = static_cast<int>(mpfr_get_prec(x)), py = static_cast<int>(mpfr_get_prec(y));
  Floats ours(p ? p : px, px, py), theirs(p ? p : px, px, py);
  for (Floats* f : {&ours, &theirs}) {
    mpfr_set(f->values[1].mValue, x, MPFR_RNDN);
    mpfr_set(f->values[2].mValue, y, MPFR_RNDN);
  }
  MPFR* into = p ? &ours.values[0] : &ours.values[1];
  d.bind(into);
  a.bind(&ours.values[1]);
  b.bind(&ours.values[2]);
  static const char* const names[kOperations] = {
      "add",   "sub",  "mult",          "neg",     "abs",
      "ldexp", "less", "less or equal", "greater", "greater or equal",
      "equal"};
  Outcome o{0, 0, 0, 0, names[op], ""};
  mpfr_clear_erangeflag();
  o.ours = viaReferences(op, d, a, b, n);
  o.oursRange = mpfr_erangeflag_p();
  mpfr_clear_erangeflag();
  mpfr_ptr want = p ? theirs.values[0].mValue : theirs.values[1].mValue;
  o.theirs = viaMpfr(op, want, theirs.values[1].mValue, theirs.values[2].mValue, n);
  o.theirsRange = mpfr_erangeflag_p();
  if (op < 6) { // an operation: compare the values written
    o.ours = sameFloat(into->mValue, want);
    o.theirs = 1;
  }
  if (op < 6 && !o.ours) {
    char text[200];
    mpfr_snprintf(text, sizeof text, "got %Ra, MPFR gives %Ra", into->mValue, want);
    o.values = text;
  }
  return o;
}

} // namespace float_paths

#endif

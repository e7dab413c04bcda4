// Word arithmetic, conversions, bit counts, fixed port arithmetic and the IEEE views' patterns
// and flush rules are checked against Python by tests/oracle/amath_oracle_test.cpp. Here: the
// reports, port kinds and ownership, the rational search, fpToFxP and mended faults.
#include "util/amath.h"

#include <gmock/gmock.h>
#include <gmpxx.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>

namespace {

using namespace simulation;

std::string show(double v) { // exact, with the sign of zero
  char text[40];
  std::snprintf(text, sizeof text, "%a", v);
  return text;
}
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;

// fpToFxP of `value`, read back as a double; the precision it returns is checked on the way.
double quantise(double value, int w, int f, int s, mpfr_rnd_t rnd) {
  mpfr_t x;
  mpfr_init2(x, 53);
  mpfr_set_d(x, value, MPFR_RNDN);
  mpfr_t* r = fpToFxP(x, w, f, s, rnd);
  EXPECT_EQ(mpfr_get_prec(*r), w - s);
  const double result = mpfr_get_d(*r, MPFR_RNDN);
  mpfr_clear(*r);
  std::free(r);
  mpfr_clear(x);
  return result;
}

// Every restriction of the word kernels and ports: the statement and its report's text.
TEST(AmathReports, RestrictionsEndTheProcessWithTheirText) {
  SINT c;
  int num, den;
  WideTypedFormatVector v(3);
  v[0].setSimPortType(SPT_DOUBLE);
  v[2].setSimPortType(SPT_SINGLE);
  const char *unreachable = "Restriction: Code should be unreachable [",
             *doesNotFit = "Rational approximation does not fit in int.",
             *grid = "Fixed-point grid is outside the float exponent range.";
  const std::pair<std::function<void()>, const char*> rows[] = {
      {[] { AMAdd(1, 1, 65); }, "'width <= 64' [simulation::AMAdd at src/util/amath.h:"},
      {[] { AMSub(1, 1, 0); }, "'width >= 1'"},
      {[&] { AMAdd(1, 1, 0, 65, &c); }, "'width == 64'"},
      {[&] { AMAdd(1, 1, SINT(1) << 31, 64, &c); }, "'abs(c) < (SINT(1) << 31)'"},
      {[&] { AMSub(1, 1, INT64_MIN, 64, &c); }, "'abs(c) < (SINT(1) << 31)'"},
      {[] { AMMask(1, 65); },
       "'width <= 64'. Bit-width is greater than 64 in SINT unsigned mask. This would result in "
       "an error in simulation. ["},
      {[] { AMShift(1, 1, true, 65); }, "'width <= 64'"},
      {[] { ipow(2, -1); }, "'exp >= 0'"},
      {[] { AMInitVal(std::nan("")); }, "Initial value is not a number within the 64-bit range."},
      {[&] { v[1].setSimPortType(SPT_VARFLOAT); }, unreachable},
      {[&] { BIGNUM_Add_Func(v[0], v[1], v[1]); }, unreachable},
      {[&] { IEEE_Single{v[0]}; }, "'s.isSingle()'"},
      {[&] { IEEE_Double{v[2]}; }, "'s.isDouble()'"},
      {[&] {
         mpz_set_ui(v[0].mData, 1), mpz_mul_2exp(v[0].mData, v[0].mData, 64), IEEE_Double{v[0]};
       },
       "IEEE double port value wider than 64 bits."},
      {[&] { rational(1e-10, &num, &den, 0.0); }, doesNotFit},
      {[&] { rational(2000000000.5, &num, &den, 0.0); }, doesNotFit}, // whole part x denominator
      {[&] { rational(INFINITY, &num, &den, 0.1); },
       "'finite(f)'. Attempt to find the rational form of a non-finite number."},
      // w - f and -f are formed without int overflow
      {[] { quantise(1, 8, INT_MIN, 1, MPFR_RNDN); }, grid},
      {[] { quantise(1, 8, -2147483640, 0, MPFR_RNDN); }, grid}};
  for (const auto& [statement, text] : rows)
    EXPECT_EXIT(statement(), ExitedWithCode(100), HasSubstr(text)) << text;
  ::testing::internal::CaptureStdout(); // the self test passes silently
  AMTest();                             // its verdict is what it prints
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

// The remainder by -1 is never computed: the most negative value would trap.
TEST(WordUtilities, HcfNeverTraps) {
  const SINT rows[][3] = {
      {12, 18, 6},         {0, 5, 5},         {0, 0, 0},     {-4, 0, -4},
      {INT_MIN, -1, -1},   {-1, INT_MIN, -1}, {48, 180, 12}, {INT_MIN, INT_MIN, INT_MIN},
      {INT64_MIN, -1, -1}, {INT64_MIN, 6, -2}}; // remainders keep the sign
  for (const auto& r : rows) {
    EXPECT_EQ(hcf(r[0], r[1]), r[2]) << r[0] << " " << r[1];
    EXPECT_TRUE(r[0] < INT_MIN || hcf(int(r[0]), int(r[1])) == r[2]) << r[0] << " " << r[1];
  }
}

// The kind follows the descriptor's identity, single and double by the descriptor's format;
// arithmetic with a float operand, or into a var-float port, leaves the destination alone; Set
// copies the integer only, Copy descriptor and kind too; copies of port vectors are deep.
TEST(PortValues, KindsFollowDescriptorsAndOnlyFixedPortsAreComputed) {
  VarFloatType single("s", 8, 23, true), half("h", 5, 10, true), wideSingle("ws", 9, 23, true);
  const std::pair<VarType*, std::string> rows[] = {// kind, isFixed, isFloat, isSingle, isDouble
                                                   {&SysDoubleType::builtIn, "20101"},
                                                   {&WideFixedType::legacy, "01000"},
                                                   {&single, "30110"},
                                                   {&wideSingle, "30100"},
                                                   {nullptr, "30100"}};
  WideTypedFormatVector v(4);
  WideTypedFormat &dst = v[0], &a = v[1], &b = v[2], &other = v[3];
  for (const auto& [type, expected] : rows) {
    other.setVarType(type);
    EXPECT_EQ(std::to_string(other.getSimPortType()) + std::to_string(other.isFixed()) +
                  std::to_string(other.isFloat()) + std::to_string(other.isSingle()) +
                  std::to_string(other.isDouble()),
              expected);
  }
  BIGNUM_SetLong(dst, 1);
  other.setSimPortType(SPT_SINGLE);
  BIGNUM_Add_Func(dst, a, other);
  BIGNUM_Sub_Func(dst, other, b);
  BIGNUM_Neg(dst, other);
  other.setVarType(&half);
  BIGNUM_SetLong(other, 9);
  BIGNUM_Add_Func(other, a, b);
  BIGNUM_Sub_Func(other, a, b);
  BIGNUM_Neg(other, a);
  EXPECT_EQ(BIGNUM_GetLong(dst) + BIGNUM_GetLong(other), 10);
  other.setSimPortType(SPT_SINGLE);
  IEEE_Single(-1.0f).Set(other);
  BIGNUM_Set(dst, other);
  BIGNUM_Copy(a, other);
  EXPECT_TRUE(dst.isFixed() && BIGNUM_GetULong(dst) == 0xBF800000u && a.isSingle());
  b.setSimPortType(SPT_DOUBLE);
  IEEE_Double(-2.0).Set(b);
  mpz_neg(a.mData, a.mData); // the sign of the integer is ignored
  mpz_neg(b.mData, b.mData);
  EXPECT_TRUE(IEEE_Single(a).mValue == -1.0f && IEEE_Double(b).mValue == -2.0 && b.isDouble());
  const char* big = "123456789012345678901234567890";
  mpz_set_str(b.mData, big, 10);
  v.EnsureSize(50); // moves the elements, keeps the values, adds zeros
  WideTypedFormatVector copy(v), assigned(1);
  mpz_set_ui(v[2].mData, 1); // the copy owns its own digits
  assigned = copy;
  assigned = static_cast<WideTypedFormatVector&>(assigned);
  WideTypedFormatVector moved(std::move(assigned));
  EXPECT_TRUE(mpz_cmp(moved[2].mData, mpz_class(big).get_mpz_t()) == 0 && moved[2].isDouble());
  EXPECT_TRUE(moved.size() == 50u && mpz_sgn(moved[49].mData) == 0 && moved[49].isFixed());
}

// ---------------------------------------------------------------------------------------------
// Quantisation onto fixed-point grids

// On 8 bits with 4 below the point, signed unless said; a zero result is always +0.
TEST(FpToFxP, SaturatesRoundsAndDropsValuesBelowOneStep) {
  const std::tuple<double, int, int, mpfr_rnd_t, double> rows[] = {
      {7.96875, 4, 1, MPFR_RNDN, 7.9375}, {-100, 4, 1, MPFR_RNDN, -8.0},
      {NAN, 4, 1, MPFR_RNDN, 0.0},        {INFINITY, 4, 1, MPFR_RNDN, 7.9375},
      {100, 4, 0, MPFR_RNDN, 15.9375},    {-1.5, 4, 0, MPFR_RNDN, 0.0},
      {1.23, 4, 1, MPFR_RNDD, 1.1875},    {-1.23, 4, 1, MPFR_RNDA, -1.25},
      {1.03125, 4, 1, MPFR_RNDN, 1.0},    {0.078125, 4, 1, MPFR_RNDN, 0.0625}, // ties to even
      {1e9, -2, 1, MPFR_RNDN, 508}};                                           // a grid of 4
  for (const auto& [value, f, s, rnd, expected] : rows) {
    const double q = quantise(value, 8, f, s, rnd);
    EXPECT_EQ(show(q), show(expected)) << value << " on 8," << f << "," << s;
  }
  // A grid merely far from 1 still quantises: steps of 2^-1000000, 1 saturates to 127 steps,
  // 123/16 of a step rounds to 8.
  mpfr_t x;
  mpfr_init2(x, 53);
  mpfr_set_ui(x, 1, MPFR_RNDN);
  mpfr_t* top = fpToFxP(x, 8, 1000000, 1, MPFR_RNDN);
  mpfr_set_ui_2exp(x, 123, -1000004, MPFR_RNDN);
  mpfr_t* rounded = fpToFxP(x, 8, 1000000, 1, MPFR_RNDN);
  EXPECT_EQ(mpfr_cmp_ui_2exp(*top, 127, -1000000), 0);
  EXPECT_EQ(mpfr_cmp_ui_2exp(*rounded, 8, -1000000), 0);
  for (mpfr_t* r : {top, rounded}) {
    mpfr_clear(*r);
    std::free(r);
  }
  mpfr_clear(x);
}

} // namespace

// Word arithmetic, conversions, bit counts, fixed port arithmetic and the IEEE views' patterns
// and flush rules are checked against Python by tests/oracle/amath_oracle_test.cpp. Here: the
// reports, port kinds and ownership, the rational search, fpToFxP and mended faults.
#include "util/amath.h"

#include <gmock/gmock.h>
#include <gmpxx.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace simulation;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;

struct Refusal {
  std::function<void()> run;
  const char* report;
};

TEST(WordSelfTest, PassesSilentlyAndReturnsOne) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(AMTest(), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(WordAddSub, RefuseWidthsOutsideOneTo64) {
  SINT c;
  const Refusal refusals[] = {
      {[] { AMAdd(1, 1, 65); }, "'width <= 64' [simulation::AMAdd at src/util/amath.h:"},
      {[] { AMSub(1, 1, 0); }, "'width >= 1'"},
      {[&] { AMAdd(1, 1, 0, 65, &c); }, "'width == 64'"},
      {[&] { AMSub(1, 1, 0, -3, &c); }, "'width >= 1'"},
      {[&] { AMAdd(1, 1, SINT(1) << 31, 64, &c); }, "'abs(c) < (SINT(1) << 31)'"},
      {[&] { AMSub(1, 1, INT64_MIN, 64, &c); }, "'abs(c) < (SINT(1) << 31)'"},
      {[] { AMMask(1, 65); },
       "'width <= 64'. Bit-width is greater than 64 in SINT unsigned mask. This would result in "
       "an error in simulation. ["},
      {[] { AMMask(1, -1); }, "'width >= 0'"},
      {[] { AMShift(1, 1, true, 65); }, "'width <= 64'"},
  };
  for (const Refusal& r : refusals)
    EXPECT_EXIT(r.run(), ExitedWithCode(100), HasSubstr(r.report)) << r.report;
}

TEST(AmathReports, OtherRestrictionsEndTheProcessWithTheirText) {
  WideTypedFormatVector v(3);
  v[0].setSimPortType(SPT_DOUBLE);
  v[2].setSimPortType(SPT_SINGLE);
  const Refusal refusals[] = {
      {[] { ipow(2, -1); }, "'exp >= 0'"},
      {[] { AMInitVal(9223372036854775808.0); }, "Initial value is not a number within the 64"},
      {[] { AMInitVal(std::nan("")); }, "Initial value is not a number within the 64-bit range."},
      {[&] { v[1].setSimPortType(SPT_VARFLOAT); }, "Restriction: Code should be unreachable ["},
      {[&] { BIGNUM_Add_Func(v[0], v[1], v[1]); }, "unreachable"},
      {[&] { BIGNUM_Sub_Func(v[2], v[1], v[1]); }, "unreachable"},
      {[&] { BIGNUM_Neg(v[2], v[1]); }, "unreachable"},
      {[&] { BIGNUM_CMPEQ(v[1], v[0]); }, "unreachable"},
      {[&] { BIGNUM_CMPLT(v[2], v[1]); }, "unreachable"},
  };
  for (const Refusal& r : refusals)
    EXPECT_EXIT(r.run(), ExitedWithCode(100), HasSubstr(r.report)) << r.report;
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

// The search one step at a time, as the definition reads.
std::pair<int, int> naiveRational(double f, double tolerance) {
  const int whole = static_cast<int>(std::floor(f));
  int num = 0, den = 1;
  for (double e = whole - f; std::fabs(e) > tolerance; e = double(num) / den - (f - whole))
    ++(e > 0 ? den : num);
  return {den * whole + num, den};
}

TEST(WordRational, FindsTheSameFractionAsOneStepAtATime) {
  // Long runs in one direction (a denominator near a million) end where single steps end.
  std::vector<std::pair<double, double>> cases = {
      {1e-6 + 1e-13, 1e-13}, {0.999999, 1e-13}, {7.000123, 1e-13}, {-2.5e-6, 1e-13}, {0.1, 0}};
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> value(-50.0, 50.0);
  const double tolerances[] = {0.3, 1e-2, 1e-3, 1e-4, 1e-5};
  for (int i = 0; i < 400; ++i)
    cases.emplace_back(value(random), tolerances[i % 5]);
  for (const auto& [f, tolerance] : cases) {
    std::pair<int, int> found;
    rational(f, &found.first, &found.second, tolerance);
    EXPECT_EQ(found, naiveRational(f, tolerance)) << f << " " << tolerance;
  }
}

TEST(WordRational, SearchesThatCannotEndWithinIntAreRefused) {
  int num, den;
  const char* doesNotFit = "Rational approximation does not fit in int.";
  const Refusal refusals[] = {
      {[&] { rational(1e-10, &num, &den, 0.0); }, doesNotFit},
      {[&] { rational(0.5, &num, &den, -1.0); }, doesNotFit},
      {[&] { rational(0.5, &num, &den, std::nan("")); }, doesNotFit},
      {[&] { rational(1e12, &num, &den, 0.1); }, doesNotFit},
      {[&] { rational(2000000000.5, &num, &den, 0.0); }, doesNotFit}, // whole part x denominator
      {[&] { rational(INFINITY, &num, &den, 0.1); },
       "'finite(f)'. Attempt to find the rational form of a non-finite number."},
  };
  for (const Refusal& r : refusals)
    EXPECT_EXIT(r.run(), ExitedWithCode(100), HasSubstr(r.report)) << r.report;
}

// ---------------------------------------------------------------------------------------------
// Port values

// The kind follows the descriptor's identity; single and double by the descriptor's format.
TEST(PortKinds, FollowDescriptorsByIdentity) {
  VarFloatType single("s", 8, 23, true), dbl("d", 11, 52, true), half("h", 5, 10, true),
      wideSingle("ws", 9, 23, true), longDouble("ld", 11, 53, true);
  WideFixedType otherFixed("fx");
  const std::tuple<VarType*, SIM_PORT_TYPE, bool, bool> rows[] = {
      {&SysSingleType::builtIn, SPT_SINGLE, 1, 0},
      {&SysDoubleType::builtIn, SPT_DOUBLE, 0, 1},
      {&WideFixedType::legacy, SPT_FIXED, 0, 0},
      {&single, SPT_VARFLOAT, 1, 0},
      {&dbl, SPT_VARFLOAT, 0, 1},
      {&half, SPT_VARFLOAT, 0, 0},
      {&wideSingle, SPT_VARFLOAT, 0, 0},
      {&longDouble, SPT_VARFLOAT, 0, 0},
      {&otherFixed, SPT_VARFLOAT, 0, 0},
      {nullptr, SPT_VARFLOAT, 0, 0}};
  WideTypedFormatVector ports(1);
  WideTypedFormat& p = ports[0];
  EXPECT_TRUE(p.isFixed() && p.getVarType() == &WideFixedType::legacy);
  for (const auto& [type, kind, isSingle, isDouble] : rows) {
    p.setVarType(type);
    EXPECT_EQ(p.getSimPortType(), kind);
    EXPECT_TRUE(p.isFixed() == (kind == SPT_FIXED) && p.isFloat() == (kind != SPT_FIXED));
    EXPECT_TRUE(p.isSingle() == isSingle && p.isDouble() == isDouble) << kind;
    p.setVarType(&half);
    if (kind != SPT_VARFLOAT)
      p.setSimPortType(kind);
    EXPECT_TRUE(kind == SPT_VARFLOAT || p.getVarType() == type) << kind;
  }
}

TEST(PortVector, GrowsWithZerosAndCopiesDeeply) {
  EXPECT_EQ(WideTypedFormatVector().GetDataPtr(), nullptr);
  WideTypedFormatVector ports(3);
  BIGNUM_SetLong(ports[1], 42);
  ports.EnsureSize(2);
  EXPECT_EQ(ports.size(), 3u);
  ports.EnsureSize(100); // moves the elements, keeps the values
  ASSERT_EQ(ports.size(), 100u);
  EXPECT_EQ(static_cast<WideTypedFormat*>(ports), ports.GetDataPtr());
  for (std::size_t i = 0; i < 100; ++i)
    EXPECT_TRUE(mpz_cmp_ui(ports[i].mData, i == 1 ? 42 : 0) == 0 && ports[i].isFixed()) << i;
  const char* big = "123456789012345678901234567890";
  mpz_set_str(ports[2].mData, big, 10);
  ports[2].setSimPortType(SPT_DOUBLE);
  WideTypedFormatVector copy(ports);
  mpz_set_ui(ports[2].mData, 1); // the copy owns its own digits
  EXPECT_EQ(mpz_cmp_ui(ports[2].mData, 1), 0);
  EXPECT_TRUE(mpz_cmp(copy[2].mData, mpz_class(big).get_mpz_t()) == 0 && copy[2].isDouble());
  WideTypedFormatVector assigned(1);
  assigned = copy;
  EXPECT_EQ(assigned.size(), 100u);
  assigned = assigned;
  {
    WideTypedFormatVector temporary(copy);
    assigned = std::move(temporary);
  }
  WideTypedFormatVector moved(std::move(assigned));
  EXPECT_EQ(moved.size(), 100u);
  EXPECT_EQ(mpz_cmp(moved[2].mData, mpz_class(big).get_mpz_t()), 0);
  EXPECT_EQ(BIGNUM_GetLong(moved[1]), 42);
}

// Arithmetic with a float operand, or into a var-float port, leaves the destination alone.
// Set copies the integer only; Copy takes descriptor and kind too.
TEST(PortArithmetic, TouchesFixedPortsOnlyAndCopiesKinds) {
  WideTypedFormatVector v(4);
  WideTypedFormat &dst = v[0], &a = v[1], &b = v[2], &other = v[3];
  VarFloatType half("half", 5, 10, true);
  BIGNUM_SetLong(dst, 1);
  other.setSimPortType(SPT_SINGLE);
  BIGNUM_Add_Func(dst, a, other);
  BIGNUM_Sub_Func(dst, other, b);
  BIGNUM_Neg(dst, other);
  EXPECT_EQ(BIGNUM_GetLong(dst), 1);
  other.setVarType(&half);
  BIGNUM_SetLong(other, 9);
  BIGNUM_Add_Func(other, a, b);
  BIGNUM_Sub_Func(other, a, b);
  BIGNUM_Neg(other, a);
  EXPECT_EQ(BIGNUM_GetLong(other), 9);

  other.setSimPortType(SPT_SINGLE);
  BIGNUM_SetULong(other, 0xBF800000u);
  BIGNUM_Set(dst, other);
  EXPECT_TRUE(dst.isFixed() && BIGNUM_GetULong(dst) == 0xBF800000u);
  BIGNUM_Copy(a, other);
  EXPECT_TRUE(a.getSimPortType() == SPT_SINGLE && a.getVarType() == &SysSingleType::builtIn);
  EXPECT_EQ(BIGNUM_GetULong(a), 0xBF800000u);
  BIGNUM_SetULong(dst, 0xFFFFFFFFFFFFFFFFu); // a positive integer that reads back as -1
  EXPECT_TRUE(mpz_sgn(dst.mData) == 1 && BIGNUM_GetLong(dst) == -1);
}

// ---------------------------------------------------------------------------------------------
// IEEE views

TEST(IeeeViews, PortTransferKeepsKindAndRefusesOtherFormats) {
  WideTypedFormatVector v(2);
  v[0].setSimPortType(SPT_SINGLE);
  IEEE_Single(-2.0f).Set(v[0]);
  EXPECT_EQ(BIGNUM_GetULong(v[0]), 0xC0000000u);
  EXPECT_EQ(v[0].getSimPortType(), SPT_SINGLE);
  mpz_neg(v[0].mData, v[0].mData); // the sign of the integer is ignored
  EXPECT_EQ(IEEE_Single(v[0]).mValue, -2.0f);
  v[1].setSimPortType(SPT_DOUBLE);
  IEEE_Double(-2.0).Set(v[1]);
  EXPECT_EQ(BIGNUM_GetULong(v[1]), 0xC000000000000000u);
  EXPECT_EQ(v[1].getSimPortType(), SPT_DOUBLE);
  mpz_neg(v[1].mData, v[1].mData);
  EXPECT_EQ(IEEE_Double(v[1]).mValue, -2.0);

  EXPECT_EXIT(IEEE_Single{v[1]}, ExitedWithCode(100), HasSubstr("'s.isSingle()'"));
  EXPECT_EXIT(IEEE_Double{v[0]}, ExitedWithCode(100), HasSubstr("'s.isDouble()'"));
  mpz_mul_2exp(v[1].mData, v[1].mData, 1);
  EXPECT_EXIT(IEEE_Double{v[1]}, ExitedWithCode(100),
              HasSubstr("IEEE double port value wider than 64 bits."));

  const mpz_class z(0x13F800000ul); // only the low 32 bits count
  EXPECT_EQ(IEEE_Single(z.get_mpz_t()).mValue, 1.0f);
}

// ---------------------------------------------------------------------------------------------
// Quantisation onto fixed-point grids

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

TEST(FpToFxP, SaturatesRoundsAndDropsValuesBelowOneStep) {
  struct Row {
    double value;
    int w, f, s;
    mpfr_rnd_t rnd;
    double expected; // a zero result is always +0
  };
  const Row rows[] = {
      {7.96875, 8, 4, 1, MPFR_RNDN, 7.9375},  {-100, 8, 4, 1, MPFR_RNDN, -8.0},
      {-8, 8, 4, 1, MPFR_RNDN, -8.0},         {0.03, 8, 4, 1, MPFR_RNDN, 0.0},
      {-0.03, 8, 4, 1, MPFR_RNDN, 0.0},       {1.23, 8, 4, 1, MPFR_RNDN, 1.25},
      {INFINITY, 8, 4, 1, MPFR_RNDN, 7.9375}, {-INFINITY, 8, 4, 1, MPFR_RNDN, -8.0},
      {NAN, 8, 4, 1, MPFR_RNDN, 0.0},         {-0.0, 8, 4, 1, MPFR_RNDN, 0.0},
      {100, 8, 4, 0, MPFR_RNDN, 15.9375},     {-1.5, 8, 4, 0, MPFR_RNDN, 0.0},
      {-INFINITY, 8, 4, 0, MPFR_RNDN, 0.0},   {15.9, 8, 4, 0, MPFR_RNDN, 15.875},
      {1.23, 8, 4, 1, MPFR_RNDD, 1.1875},     {1.23, 8, 4, 1, MPFR_RNDU, 1.25},
      {-1.23, 8, 4, 1, MPFR_RNDZ, -1.1875},   {-1.23, 8, 4, 1, MPFR_RNDA, -1.25},
      {1.03125, 8, 4, 1, MPFR_RNDN, 1.0},     {1.09375, 8, 4, 1, MPFR_RNDN, 1.125}, // ties
      {0.05, 8, 4, 1, MPFR_RNDN, 0.0},        {0.09, 8, 4, 1, MPFR_RNDN, 0.09375},
      {0.078125, 8, 4, 1, MPFR_RNDN, 0.0625}, // between one step and two: a half-step grid
      {301, 8, -2, 1, MPFR_RNDN, 300},        {1e9, 8, -2, 1, MPFR_RNDN, 508}, // grid of 4
  };
  for (const Row& r : rows) {
    const double q = quantise(r.value, r.w, r.f, r.s, r.rnd);
    EXPECT_EQ(q, r.expected) << r.value << " on " << r.w << "," << r.f << "," << r.s;
    EXPECT_EQ(std::signbit(q), std::signbit(r.expected)) << r.value;
  }
}

// w - f and -f are formed without int overflow; a grid whose top or step the float exponent
// range cannot hold is refused, one merely far from 1 still quantises.
TEST(FpToFxP, GridsBeyondTheExponentRangeAreRefused) {
  mpfr_t x;
  mpfr_init2(x, 53);
  mpfr_set_ui(x, 1, MPFR_RNDN);
  const char* message = "Fixed-point grid is outside the float exponent range.";
  EXPECT_EXIT(fpToFxP(x, 8, INT_MIN, 1, MPFR_RNDN), ExitedWithCode(100), HasSubstr(message));
  EXPECT_EXIT(fpToFxP(x, 8, -2147483640, 0, MPFR_RNDN), ExitedWithCode(100), HasSubstr(message));
  EXPECT_EXIT(fpToFxP(x, 8, INT_MAX, 1, MPFR_RNDN), ExitedWithCode(100), HasSubstr(message));

  // Steps of 2^-1000000: 1 saturates to 127 steps, 123/16 of a step rounds to 8.
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

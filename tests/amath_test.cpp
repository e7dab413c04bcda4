#include "util/amath.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

using namespace simulation;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// ---------------------------------------------------------------------------------------------
// Word kernels

TEST(WordTables, HoldPowersOfTwoAndMasks) {
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(static_cast<std::uint64_t>(s_pow2[i]), std::uint64_t(1) << i) << i;
    EXPECT_EQ(static_cast<std::uint64_t>(s_pow2mask[i]), (std::uint64_t(1) << i) - 1) << i;
  }
  EXPECT_EQ(s_pow2mask[64], -1);
  EXPECT_EQ(s_pow2[63], INT64_MIN);
}

TEST(WordSelfTest, PassesSilentlyAndReturnsOne) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(AMTest(), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(WordAddSub, WrapAtWidth64WithoutOverflow) {
  SINT c = 7;
  EXPECT_EQ(AMAdd(-1, 1, 0, 64, &c), 0);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(AMAdd(INT64_MAX, 1, 0, 64, &c), INT64_MIN);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(AMAdd(-1, -1, 0, 64, &c), -2);
  EXPECT_EQ(c, 1);
  EXPECT_EQ(AMAdd(INT64_MAX, 1, 64), INT64_MIN);
  EXPECT_EQ(AMSub(INT64_MIN, 1, 64), INT64_MAX);
  EXPECT_EQ(AMSub(0, 1, 1, 64, &c), -2);
  EXPECT_EQ(c, 1);
  EXPECT_EQ(AMSub(5, 3, 1, 64, &c), 1);
  EXPECT_EQ(c, 0);
  // Inputs are raw words; the result is always sign-extended from the width.
  EXPECT_EQ(AMAdd(0x1FF, 0, 8), -1);
  EXPECT_EQ(AMSub(0, 1, 1), -1);
  EXPECT_EQ(AMAdd(1, 0, 1), -1);
}

TEST(WordAddSub, RefuseWidthsOutsideOneTo64) {
  SINT c;
  EXPECT_EXIT(AMAdd(1, 1, 65), ExitedWithCode(100),
              MatchesRegex(".*'width <= 64' \\[simulation::AMAdd at src/util/amath.h:[0-9]+\\] "));
  EXPECT_EXIT(AMSub(1, 1, 0), ExitedWithCode(100), HasSubstr("'width >= 1'"));
  EXPECT_EXIT(AMAdd(1, 1, 0, 65, &c), ExitedWithCode(100), HasSubstr("'width == 64'"));
  EXPECT_EXIT(AMSub(1, 1, 0, -3, &c), ExitedWithCode(100), HasSubstr("'width >= 1'"));
  EXPECT_EXIT(AMAdd(1, 1, SINT(1) << 31, 64, &c), ExitedWithCode(100),
              HasSubstr("'abs(c) < (SINT(1) << 31)'"));
  EXPECT_EXIT(AMSub(1, 1, INT64_MIN, 64, &c), ExitedWithCode(100),
              HasSubstr("'abs(c) < (SINT(1) << 31)'"));
  EXPECT_EXIT(AMMask(1, 65), ExitedWithCode(100),
              HasSubstr("'width <= 64'. Bit-width is greater than 64 in SINT unsigned mask. This "
                        "would result in an error in simulation. ["));
  EXPECT_EXIT(AMMask(1, -1), ExitedWithCode(100), HasSubstr("'width >= 0'"));
  EXPECT_EXIT(AMShift(1, 1, true, 65), ExitedWithCode(100), HasSubstr("'width <= 64'"));
}

TEST(WordMaskShift, FollowTheHardwarePatterns) {
  EXPECT_EQ(AMMask(-1, 0), 0);
  EXPECT_EQ(AMMask(-1, 8), 255);
  EXPECT_EQ(AMMask(-1, 64), -1);
  EXPECT_EQ(AMShift(-16, 2, false, 8), 60);
  EXPECT_EQ(AMShift(-16, 2, true, 8), -4);
  EXPECT_EQ(AMShift(-16, 8, false, 8), 0);
  EXPECT_EQ(AMShift(-16, 9, true, 8), -1);
  EXPECT_EQ(AMShift(16, 8, true, 8), 0);
  EXPECT_EQ(AMShift(1, -7, false, 8), -128);
  EXPECT_EQ(AMShift(1, -8, false, 8), 0);
  EXPECT_EQ(AMShift(1, -63, true, 64), INT64_MIN);
  EXPECT_EQ(AMShift(-1, INT64_MIN, true, 64), 0);
  EXPECT_EQ(AMShift(INT64_MIN, INT64_MAX, true, 64), -1);
  EXPECT_EQ(AMShift(INT64_MIN, 63, false, 64), 1);
}

TEST(WordMpz, ShiftsFloorAndConvertBothWays) {
  mpz_t a, b;
  mpz_inits(a, b, nullptr);
  mpz_set_si(a, -3);
  AMShift_mpz(b, a, 1);
  EXPECT_EQ(mpz_get_si(b), -2);
  mpz_set_si(a, 3);
  AMShift_mpz(b, a, -2);
  EXPECT_EQ(mpz_get_si(b), 12);
  AMShift_mpz(a, a, 0);
  EXPECT_EQ(mpz_get_si(a), 3);

  pow2(a, 64);
  EXPECT_EQ(mpzToSINT(a), 0);
  pow2(a, 63);
  EXPECT_EQ(mpzToSINT(a), INT64_MIN);
  mpz_set_si(a, -5);
  EXPECT_EQ(mpzToSINT(a), -5);
  mpz_neg(b, a);
  mpz_set_str(a, "-18446744073709551615", 10); // -(2^64 - 1): magnitude fits, negated mod 2^64
  EXPECT_EQ(mpzToSINT(a), 1);
  sintToMPZ(a, INT64_MIN);
  char text[32];
  EXPECT_STREQ(mpz_get_str(text, 10, a), "-9223372036854775808");
  mpz_clears(a, b, nullptr);
}

TEST(WordUtilities, PowersAndBitCounts) {
  EXPECT_EQ(pow2(3u), 8);
  EXPECT_EQ(pow2(64u), 1);
  EXPECT_EQ(pow2(63u), INT64_MIN);
  SINT out = 0;
  pow2(out, 65u);
  EXPECT_EQ(out, 2);
  EXPECT_TRUE(IsPow2(1));
  EXPECT_TRUE(IsPow2(SINT(1) << 62));
  EXPECT_FALSE(IsPow2(0));
  EXPECT_FALSE(IsPow2(-8));
  EXPECT_FALSE(IsPow2(INT64_MIN));
  EXPECT_FALSE(IsPow2(6));

  const SINT addrIn[] = {INT64_MIN, 0, 1, 2, 3, 4, 5, INT64_MAX};
  const unsigned addrOut[] = {0, 0, 0, 1, 2, 2, 3, 63};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(bitsForAddr(addrIn[i]), addrOut[i]) << addrIn[i];
  EXPECT_EQ(bitsForValue(SINT(0)), 0u);
  EXPECT_EQ(bitsForValue(SINT(-3)), 0u);
  EXPECT_EQ(bitsForValue(SINT(1)), 1u);
  EXPECT_EQ(bitsForValue(SINT(3)), 2u);
  EXPECT_EQ(bitsForValue(INT64_MAX), 63u);
}

TEST(WordUtilities, HcfNeverTraps) {
  EXPECT_EQ(hcf(12, 18), 6);
  EXPECT_EQ(hcf(0, 5), 5);
  EXPECT_EQ(hcf(0, 0), 0);
  EXPECT_EQ(hcf(-4, 0), -4);
  EXPECT_EQ(hcf(INT_MIN, -1), -1);
  EXPECT_EQ(hcf(-1, INT_MIN), -1);
  EXPECT_EQ(hcf(INT_MIN, INT_MIN), INT_MIN);
  EXPECT_EQ(hcf(SINT(48), SINT(180)), 12);
  EXPECT_EQ(hcf(INT64_MIN, SINT(-1)), -1);
  EXPECT_EQ(hcf(INT64_MIN, SINT(6)), -2); // remainders keep the sign of the dividend
}

TEST(WordUtilities, IpowWrapsIn32Bits) {
  EXPECT_EQ(ipow(7, 0), 1);
  EXPECT_EQ(ipow(2, 10), 1024);
  EXPECT_EQ(ipow(-3, 3), -27);
  EXPECT_EQ(ipow(2, 31), INT_MIN);
  EXPECT_EQ(ipow(2, 32), 0);
  // 3^40 mod 2^32, as a signed 32-bit word.
  EXPECT_EQ(ipow(3, 40), static_cast<int>(static_cast<std::uint32_t>(12157665459056928801ull)));
  EXPECT_EXIT(ipow(2, -1), ExitedWithCode(100), HasSubstr("'exp >= 0'"));
}

// The search one step at a time, as the definition reads, for comparison.
void naiveRational(double f, int* num, int* den, double tolerance) {
  const int whole = static_cast<int>(std::floor(f));
  const double frac = f - whole;
  *num = 0;
  *den = 1;
  for (double err = -frac; std::fabs(err) > tolerance;
       err = static_cast<double>(*num) / *den - frac) {
    if (err > 0)
      ++*den;
    else
      ++*num;
  }
  *num = *den * whole + *num;
}

TEST(WordRational, FindsTheSameFractionAsOneStepAtATime) {
  int num = 0, den = 0;
  rational(0.75, &num, &den, 0.001);
  EXPECT_EQ(num, 3);
  EXPECT_EQ(den, 4);
  rational(2.5, &num, &den, 0.001);
  EXPECT_EQ(num, 5);
  EXPECT_EQ(den, 2);
  rational(-0.5, &num, &den, 0.001);
  EXPECT_EQ(num, -1);
  EXPECT_EQ(den, 2);
  rational(3.3, &num, &den, 0.5);
  EXPECT_EQ(num, 3);
  EXPECT_EQ(den, 1);
  rational(0.1, &num, &den, 0.0);
  EXPECT_EQ(num, 1);
  EXPECT_EQ(den, 10);

  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> value(-50.0, 50.0);
  const double tolerances[] = {0.3, 1e-2, 1e-3, 1e-4, 1e-5};
  for (int i = 0; i < 400; ++i) {
    const double f = value(random);
    const double tolerance = tolerances[i % 5];
    int n1, d1, n2, d2;
    rational(f, &n1, &d1, tolerance);
    naiveRational(f, &n2, &d2, tolerance);
    ASSERT_EQ(n1, n2) << f << " " << tolerance;
    ASSERT_EQ(d1, d2) << f << " " << tolerance;
  }
  // Long runs in one direction (a denominator near a million) end where single steps end.
  for (double f : {1e-6 + 1e-13, 0.999999, 7.000123, -2.5e-6}) {
    int n1, d1, n2, d2;
    rational(f, &n1, &d1, 1e-13);
    naiveRational(f, &n2, &d2, 1e-13);
    EXPECT_EQ(n1, n2) << f;
    EXPECT_EQ(d1, d2) << f;
  }
}

TEST(WordRational, SearchesThatCannotEndWithinIntAreRefused) {
  int num, den;
  const char* doesNotFit = "Rational approximation does not fit in int.";
  EXPECT_EXIT(rational(1e-10, &num, &den, 0.0), ExitedWithCode(100), HasSubstr(doesNotFit));
  EXPECT_EXIT(rational(0.5, &num, &den, -1.0), ExitedWithCode(100), HasSubstr(doesNotFit));
  EXPECT_EXIT(rational(0.5, &num, &den, std::nan("")), ExitedWithCode(100), HasSubstr(doesNotFit));
  EXPECT_EXIT(rational(1e12, &num, &den, 0.1), ExitedWithCode(100), HasSubstr(doesNotFit));
  // The whole part times the denominator must fit too.
  EXPECT_EXIT(rational(2000000000.5, &num, &den, 0.0), ExitedWithCode(100), HasSubstr(doesNotFit));
  EXPECT_EXIT(rational(INFINITY, &num, &den, 0.1), ExitedWithCode(100),
              HasSubstr("'finite(f)'. Attempt to find the rational form of a non-finite number."));
}

TEST(WordInitVal, TruncatesInRangeAndRefusesTheRest) {
  EXPECT_EQ(AMInitVal(-2.9), -2);
  EXPECT_EQ(AMInitVal(9.2e18), SINT(9200000000000000000));
  EXPECT_EQ(AMInitVal(-9223372036854775808.0), INT64_MIN);
  EXPECT_EXIT(AMInitVal(9223372036854775808.0), ExitedWithCode(100), HasSubstr("64-bit range"));
  EXPECT_EXIT(AMInitVal(std::nan("")), ExitedWithCode(100), HasSubstr("64-bit range"));
}

} // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// Port values

TEST(PortKinds, FollowDescriptorsByIdentity) {
  WideTypedFormatVector ports(1);
  WideTypedFormat& p = ports[0];
  EXPECT_TRUE(p.isFixed());
  EXPECT_EQ(p.getVarType(), &WideFixedType::legacy);

  p.setSimPortType(SPT_SINGLE);
  EXPECT_TRUE(p.isFloat());
  EXPECT_TRUE(p.isSingle());
  EXPECT_FALSE(p.isDouble());
  EXPECT_EQ(p.getVarType(), &SysSingleType::builtIn);
  p.setSimPortType(SPT_DOUBLE);
  EXPECT_TRUE(p.isDouble());
  p.setSimPortType(SPT_FIXED);
  EXPECT_TRUE(p.isFixed());

  VarFloatType single("mysingle", 8, 23, true);
  p.setVarType(&single);
  EXPECT_EQ(p.getSimPortType(), SPT_VARFLOAT);
  EXPECT_TRUE(p.isSingle());
  VarFloatType dbl("mydouble", 11, 52, true);
  p.setVarType(&dbl);
  EXPECT_TRUE(p.isDouble());
  VarFloatType half("half", 5, 10, true);
  p.setVarType(&half);
  EXPECT_FALSE(p.isSingle() || p.isDouble());
  WideFixedType otherFixed("fx");
  p.setVarType(&otherFixed);
  EXPECT_EQ(p.getSimPortType(), SPT_VARFLOAT);
  EXPECT_FALSE(p.isFixed());
  EXPECT_FALSE(p.isSingle());
  p.setVarType(nullptr); // no descriptor: neither single nor double, no crash
  EXPECT_FALSE(p.isSingle() || p.isDouble());
  p.setVarType(&SysDoubleType::builtIn);
  EXPECT_EQ(p.getSimPortType(), SPT_DOUBLE);

  EXPECT_EXIT(p.setSimPortType(SPT_VARFLOAT), ExitedWithCode(100),
              HasSubstr("Restriction: Code should be unreachable ["));
}

TEST(PortVector, GrowsWithZerosAndCopiesDeeply) {
  WideTypedFormatVector empty;
  EXPECT_EQ(empty.GetDataPtr(), nullptr);

  WideTypedFormatVector ports;
  ports.EnsureSize(3);
  ASSERT_EQ(ports.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(mpz_sgn(ports[i].mData), 0);
    EXPECT_TRUE(ports[i].isFixed());
  }
  BIGNUM_SetLong(ports[1], 42);
  ports.EnsureSize(2);
  EXPECT_EQ(ports.size(), 3u);
  EXPECT_EQ(static_cast<WideTypedFormat*>(ports), ports.GetDataPtr());
  ports.EnsureSize(100);
  EXPECT_EQ(BIGNUM_GetLong(ports[1]), 42);
  EXPECT_EQ(mpz_sgn(ports[99].mData), 0);

  mpz_set_str(ports[2].mData, "123456789012345678901234567890", 10);
  ports[2].setSimPortType(SPT_DOUBLE);
  WideTypedFormatVector copy(ports);
  mpz_set_ui(ports[2].mData, 1); // the copy owns its own digits
  EXPECT_EQ(mpz_cmp_ui(ports[2].mData, 1), 0);
  char text[64];
  EXPECT_STREQ(mpz_get_str(text, 10, copy[2].mData), "123456789012345678901234567890");
  EXPECT_TRUE(copy[2].isDouble());

  WideTypedFormatVector assigned(1);
  assigned = copy;
  assigned = assigned;
  {
    WideTypedFormatVector temporary(copy);
    assigned = std::move(temporary);
  }
  EXPECT_EQ(assigned.size(), 100u);
  EXPECT_EQ(BIGNUM_GetLong(assigned[1]), 42);
  WideTypedFormatVector moved(std::move(assigned));
  EXPECT_EQ(moved.size(), 100u);
}

TEST(PortArithmetic, ComputesOnFixedPortsOnly) {
  WideTypedFormatVector v(4);
  WideTypedFormat &dst = v[0], &a = v[1], &b = v[2], &other = v[3];
  mpz_set_str(a.mData, "100000000000000000000", 10);
  BIGNUM_SetLong(b, -1);
  BIGNUM_Add_Func(dst, a, b);
  char text[64];
  EXPECT_STREQ(mpz_get_str(text, 10, dst.mData), "99999999999999999999");
  BIGNUM_Sub_Func(dst, dst, a); // dst may be an operand
  EXPECT_EQ(BIGNUM_GetLong(dst), -1);
  BIGNUM_Neg(dst, dst);
  EXPECT_EQ(BIGNUM_GetLong(dst), 1);
  BIGNUM_Neg(dst, b);
  EXPECT_EQ(BIGNUM_GetLong(dst), 1);

  other.setSimPortType(SPT_SINGLE);
  BIGNUM_SetLong(dst, 5);
  BIGNUM_Add_Func(dst, a, other); // a float operand: nothing happens
  BIGNUM_Sub_Func(dst, other, b);
  BIGNUM_Neg(dst, other);
  EXPECT_EQ(BIGNUM_GetLong(dst), 5);
  VarFloatType half("half", 5, 10, true);
  WideTypedFormat& varfloat = other;
  varfloat.setVarType(&half);
  BIGNUM_SetLong(varfloat, 9);
  BIGNUM_Add_Func(varfloat, a, b); // a var-float destination: nothing happens
  EXPECT_EQ(BIGNUM_GetLong(varfloat), 9);

  dst.setSimPortType(SPT_DOUBLE);
  EXPECT_EXIT(BIGNUM_Add_Func(dst, a, b), ExitedWithCode(100), HasSubstr("unreachable"));
  EXPECT_EXIT(BIGNUM_Neg(dst, a), ExitedWithCode(100), HasSubstr("unreachable"));
  EXPECT_EXIT(BIGNUM_CMPEQ(a, dst), ExitedWithCode(100), HasSubstr("unreachable"));
}

TEST(PortArithmetic, ComparesCopiesAndConvertsWords) {
  WideTypedFormatVector v(3);
  BIGNUM_SetLong(v[0], -7);
  BIGNUM_SetLong(v[1], 3);
  EXPECT_TRUE(BIGNUM_CMPLT(v[0], v[1]));
  EXPECT_TRUE(BIGNUM_CMPLE(v[0], v[1]));
  EXPECT_TRUE(BIGNUM_CMPNE(v[0], v[1]));
  EXPECT_FALSE(BIGNUM_CMPGT(v[0], v[1]));
  EXPECT_FALSE(BIGNUM_CMPGE(v[0], v[1]));
  EXPECT_FALSE(BIGNUM_CMPEQ(v[0], v[1]));
  BIGNUM_Set(v[0], v[1]);
  EXPECT_TRUE(BIGNUM_CMPEQ(v[0], v[1]));
  EXPECT_TRUE(BIGNUM_CMPGE(v[0], v[1]));
  EXPECT_TRUE(BIGNUM_CMPLE(v[0], v[1]));

  v[1].setSimPortType(SPT_SINGLE);
  BIGNUM_SetULong(v[1], 0x3F800000u);
  BIGNUM_Set(v[2], v[1]);
  EXPECT_TRUE(v[2].isFixed()); // Set leaves the kind alone
  BIGNUM_Copy(v[2], v[1]);
  EXPECT_EQ(v[2].getSimPortType(), SPT_SINGLE);
  EXPECT_EQ(v[2].getVarType(), &SysSingleType::builtIn);
  EXPECT_EQ(BIGNUM_GetULong(v[2]), 0x3F800000u);

  BIGNUM_SetLong(v[0], -1);
  EXPECT_EQ(BIGNUM_GetULong(v[0]), 0xFFFFFFFFFFFFFFFFu);
  BIGNUM_SetULong(v[0], 0xFFFFFFFFFFFFFFFFu);
  EXPECT_EQ(BIGNUM_GetLong(v[0]), -1);
  EXPECT_EQ(mpz_sgn(v[0].mData), 1);
  BIGNUM_SetLong(v[0], INT64_MIN);
  EXPECT_EQ(BIGNUM_GetLong(v[0]), INT64_MIN);
  EXPECT_EQ(mpz_sgn(v[0].mData), -1);
}

// ---------------------------------------------------------------------------------------------
// IEEE views

std::uint32_t floatBits(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}
std::uint64_t doubleBits(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}
double doubleOf(std::uint64_t b) {
  double d;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

class IeeeViews : public ::testing::Test {
protected:
  void TearDown() override {
    IEEE_Single::subnormalsToZero = true;
    IEEE_Double::subnormalsToZero = true;
  }
};

TEST_F(IeeeViews, FieldsOfSingleAndDouble) {
  IEEE_Single one(1.0f);
  EXPECT_EQ(one.getExp(), 127);
  EXPECT_EQ(one.getSign(), 0);
  EXPECT_EQ(one.getMantissa(), 0);
  IEEE_Single minusOneAndHalf(-1.5f);
  EXPECT_EQ(minusOneAndHalf.getSign(), 1);
  EXPECT_EQ(minusOneAndHalf.getMantissa(), 0x400000);
  EXPECT_EQ(IEEE_Single().bits(), 0u);

  IEEE_Double d(1.0);
  EXPECT_EQ(d.getExp(), 1023);
  EXPECT_EQ(IEEE_Double(0.0).getMantissaWithImplicitOneSet(), std::uint64_t(1) << 52);
  EXPECT_EQ(IEEE_Double(-0.75).getSign(), 1);
  EXPECT_EQ(IEEE_Double(-0.75).getMantissaWithImplicitOneSet(), (std::uint64_t(3) << 51));
  EXPECT_EQ(IEEE_Double(-INFINITY).getExp(), 2047);
}

TEST_F(IeeeViews, PortTransferKeepsKindAndRefusesOtherFormats) {
  WideTypedFormatVector v(2);
  v[0].setSimPortType(SPT_SINGLE);
  IEEE_Single(-2.0f).Set(v[0]);
  EXPECT_EQ(BIGNUM_GetULong(v[0]), 0xC0000000u);
  EXPECT_EQ(v[0].getSimPortType(), SPT_SINGLE);
  EXPECT_EQ(IEEE_Single(v[0]).mValue, -2.0f);
  mpz_neg(v[0].mData, v[0].mData); // the sign of the integer is ignored
  EXPECT_EQ(IEEE_Single(v[0]).mValue, -2.0f);

  v[1].setSimPortType(SPT_DOUBLE);
  IEEE_Double(-2.0).Set(v[1]);
  EXPECT_EQ(BIGNUM_GetULong(v[1]), 0xC000000000000000u);
  EXPECT_EQ(IEEE_Double(v[1]).mValue, -2.0);

  EXPECT_EXIT(IEEE_Single{v[1]}, ExitedWithCode(100), HasSubstr("'s.isSingle()'"));
  EXPECT_EXIT(IEEE_Double{v[0]}, ExitedWithCode(100), HasSubstr("'s.isDouble()'"));
  mpz_mul_2exp(v[1].mData, v[1].mData, 1);
  EXPECT_EXIT(IEEE_Double{v[1]}, ExitedWithCode(100),
              HasSubstr("IEEE double port value wider than 64 bits."));

  mpz_t z;
  mpz_init_set_ui(z, 0x13F800000ull); // only the low 32 bits count
  EXPECT_EQ(IEEE_Single(z).mValue, 1.0f);
  IEEE_Single(0.5f).Set(z);
  EXPECT_EQ(mpz_get_ui(z), 0x3F000000u);
  mpz_clear(z);
}

TEST_F(IeeeViews, CleanUpFlushesSubnormalsAndUnsignsSingleNaN) {
  EXPECT_EQ(floatBits(IEEE_Single(1e-40f).mValue), 0x00000000u);
  EXPECT_EQ(floatBits(IEEE_Single(-1e-40f).mValue), 0x80000000u);
  EXPECT_EQ(floatBits(IEEE_Single(-0.0f).mValue), 0x80000000u);
  EXPECT_EQ(floatBits(IEEE_Single(1.17549435e-38f).mValue), 0x00800000u);
  EXPECT_EQ(floatBits(IEEE_Single(-std::numeric_limits<float>::quiet_NaN()).mValue), 0x7FC00000u);
  EXPECT_EQ(doubleBits(IEEE_Double(doubleOf(0x000FFFFFFFFFFFFFu)).mValue), 0u);
  EXPECT_EQ(doubleBits(IEEE_Double(doubleOf(0x800FFFFFFFFFFFFFu)).mValue), 0x8000000000000000u);
  EXPECT_EQ(doubleBits(IEEE_Double(doubleOf(0x0010000000000000u)).mValue), 0x0010000000000000u);
  EXPECT_EQ(doubleBits(IEEE_Double(doubleOf(0xFFF8000000000001u)).mValue), 0xFFF8000000000001u);

  IEEE_Single::subnormalsToZero = false;
  IEEE_Double::subnormalsToZero = false;
  EXPECT_EQ(floatBits(IEEE_Single(-1e-40f).mValue), floatBits(-1e-40f));
  EXPECT_EQ(IEEE_Double(4.9e-324).mValue, 4.9e-324);
  EXPECT_EQ(floatBits(IEEE_Single(-std::numeric_limits<float>::quiet_NaN()).mValue), 0x7FC00000u);

  IEEE_Single manual(1.0f);
  manual.mValue = -1e-40f;
  IEEE_Single::subnormalsToZero = true;
  manual.flushSignedNaN(); // only the NaN step
  EXPECT_EQ(manual.mValue, -1e-40f);
  manual.flushSubnormals();
  EXPECT_EQ(floatBits(manual.mValue), 0x80000000u);
}

// ---------------------------------------------------------------------------------------------
// Quantisation onto fixed-point grids

class FpToFxP : public ::testing::Test {
protected:
  double quantise(double value, int w, int f, int s, mpfr_rnd_t rnd = MPFR_RNDN) {
    mpfr_t x;
    mpfr_init2(x, 53);
    mpfr_set_d(x, value, MPFR_RNDN);
    mpfr_t* r = fpToFxP(x, w, f, s, rnd);
    EXPECT_EQ(mpfr_get_prec(*r), w - s);
    const double result = mpfr_get_d(*r, MPFR_RNDN);
    lastSignBit = mpfr_signbit(*r) != 0;
    mpfr_clear(*r);
    std::free(r);
    mpfr_clear(x);
    return result;
  }
  bool lastSignBit = false;
};

TEST_F(FpToFxP, SaturatesRoundsAndDropsValuesBelowOneStep) {
  EXPECT_EQ(quantise(7.96875, 8, 4, 1), 7.9375);
  EXPECT_EQ(quantise(-100, 8, 4, 1), -8.0);
  EXPECT_EQ(quantise(-8, 8, 4, 1), -8.0);
  EXPECT_EQ(quantise(0.03, 8, 4, 1), 0.0);
  EXPECT_EQ(quantise(-0.03, 8, 4, 1), 0.0);
  EXPECT_FALSE(lastSignBit);
  EXPECT_EQ(quantise(1.23, 8, 4, 1), 1.25);
  EXPECT_EQ(quantise(INFINITY, 8, 4, 1), 7.9375);
  EXPECT_EQ(quantise(-INFINITY, 8, 4, 1), -8.0);
  EXPECT_TRUE(std::isnan(quantise(NAN, 8, 4, 1)) == false);
  EXPECT_EQ(quantise(NAN, 8, 4, 1), 0.0);
  EXPECT_EQ(quantise(-0.0, 8, 4, 1), 0.0);
  EXPECT_FALSE(lastSignBit);

  EXPECT_EQ(quantise(100, 8, 4, 0), 15.9375);
  EXPECT_EQ(quantise(-1.5, 8, 4, 0), 0.0);
  EXPECT_EQ(quantise(-INFINITY, 8, 4, 0), 0.0);
  EXPECT_EQ(quantise(15.9, 8, 4, 0), 15.875);

  // Rounding modes on the grid of 1/16.
  EXPECT_EQ(quantise(1.23, 8, 4, 1, MPFR_RNDD), 1.1875);
  EXPECT_EQ(quantise(1.23, 8, 4, 1, MPFR_RNDU), 1.25);
  EXPECT_EQ(quantise(-1.23, 8, 4, 1, MPFR_RNDZ), -1.1875);
  EXPECT_EQ(quantise(-1.23, 8, 4, 1, MPFR_RNDA), -1.25);
  EXPECT_EQ(quantise(1.03125, 8, 4, 1, MPFR_RNDN), 1.0); // a tie goes to even
  EXPECT_EQ(quantise(1.09375, 8, 4, 1, MPFR_RNDN), 1.125);
  // Between one step and two, a finer grid of half a step is kept.
  EXPECT_EQ(quantise(0.09, 8, 4, 1), 0.09375);

  // Negative fraction bits: a grid of 4 over 8 bits.
  EXPECT_EQ(quantise(301, 8, -2, 1), 300);
  EXPECT_EQ(quantise(1e9, 8, -2, 1), 508);
}

// w - f and -f are formed without int overflow; a grid whose top or step the float exponent
// range cannot hold is refused, one merely far from 1 still quantises.
TEST_F(FpToFxP, GridsBeyondTheExponentRangeAreRefused) {
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

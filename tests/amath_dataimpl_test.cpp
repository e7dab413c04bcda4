#include "util/amath_dataimpl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

// Every allocation of the process is counted (operator new, and GMP's and MPFR's once
// alloc_counter::install() has routed them).
#include "alloc_counter.h"

namespace {
using alloc_counter::countingFree;
using alloc_counter::countingMalloc;
using alloc_counter::countingRealloc;
std::atomic<long>& gAllocations = alloc_counter::count;
} // namespace

namespace {

using namespace simulation;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;

std::string str(const mpz_t& z) {
  std::string text(mpz_sizeinbase(z, 10) + 2, '\0');
  mpz_get_str(&text[0], 10, z);
  text.resize(std::strlen(text.c_str()));
  return text;
}

class FixedRefTest : public ::testing::Test {
protected:
  FixedRefTest()
      : ports(2), d(&WideFixedType::legacy, alloc), a(&WideFixedType::legacy, alloc),
        b(&WideFixedType::legacy, alloc) {}
  std::string value(const FixedRef& r) const { return str(r.getRef()); }

  util::TempVarAllocator alloc;
  WideTypedFormatVector ports;
  FixedRef d, a, b;
};

TEST_F(FixedRefTest, ConstructionTakesOwnTemporaryAndChecksTheType) {
  EXPECT_EQ(d.value, d.own);
  EXPECT_EQ(d.io, nullptr);
  EXPECT_NE(a.own, d.own);
  EXPECT_EQ(value(d), "0");
  EXPECT_EXIT(FixedRef(&SysDoubleType::builtIn, alloc), ExitedWithCode(100),
              ::testing::MatchesRegex(".*'vType->getImpl\\(\\) == TR_MPZ' "
                                      "\\[simulation::FixedRef::FixedRef at "
                                      "src/util/amath_dataimpl.cpp:[0-9]+\\] "));
}

TEST_F(FixedRefTest, BindingRedirectsEveryOperation) {
  BIGNUM_SetLong(ports[0], 40);
  a.bindIO(ports[0]);
  EXPECT_EQ(a.io, &ports[0]);
  b.setValue(2);
  a.setAdd(a, b); // in place on the port
  EXPECT_EQ(BIGNUM_GetLong(ports[0]), 42);
  a.read();
  a.write();
  EXPECT_EQ(BIGNUM_GetLong(ports[0]), 42);

  d.bind(a); // shares the port's storage
  d.setOne();
  EXPECT_EQ(BIGNUM_GetLong(ports[0]), 1);
  d.bindReset();
  EXPECT_EQ(d.value, d.own);
  d.setValue(9);
  EXPECT_EQ(BIGNUM_GetLong(ports[0]), 1);

  MPZ external;
  mpz_init_set_si(external.mValue, 5);
  d.bind(external);
  d.setNeg(d);
  EXPECT_EQ(mpz_get_si(external.mValue), -5);
  a.bindReset();
  EXPECT_EQ(a.io, nullptr);
  mpz_clear(external.mValue);
}

TEST_F(FixedRefTest, ValueStackPushPopAndBindInPlace) {
  EXPECT_EQ(d.pop(false), -1);
  EXPECT_EQ(d.bindStack(0), -1);
  d.setValue(1);
  d.push();
  d.setValue(2);
  d.push();
  EXPECT_EQ(d.bindStack(2), -1);
  EXPECT_EQ(d.bindStack(-1), -1);
  EXPECT_EQ(d.bindStack(1), 0); // the first pushed value, in place
  EXPECT_EQ(value(d), "1");
  d.setValue(10);
  d.bindReset();
  EXPECT_EQ(d.pop(true), 0); // drops 2
  EXPECT_EQ(d.pop(false), 0);
  EXPECT_EQ(value(d), "10");
  EXPECT_EQ(d.pop(false), -1);
  // Pushing again reuses the slots.
  d.setValue(3);
  d.push();
  EXPECT_EQ(a.bindStack(0), 0);
  EXPECT_EQ(value(a), "3");
}

TEST_F(FixedRefTest, ArithmeticFollowsGmpRoundingRules) {
  a.setValue(-7);
  b.setValue(2);
  d.setDiv(a, b, true);
  EXPECT_EQ(value(d), "-3");
  d.setDiv(a, b, false);
  EXPECT_EQ(value(d), "-4");
  d.setMod(a, b);
  EXPECT_EQ(value(d), "1");
  d.setDim(a, b);
  EXPECT_EQ(value(d), "0");
  d.setDim(b, a);
  EXPECT_EQ(value(d), "9");
  d.setAbs(a);
  EXPECT_EQ(value(d), "7");
  d.setMult(a, b);
  EXPECT_EQ(value(d), "-14");
  d.setAdd(a, INT_MIN);
  EXPECT_EQ(value(d), "-2147483655");
  d.setSub(a, INT_MIN);
  EXPECT_EQ(value(d), "2147483641");
  d.setAdd(a, 10ul);
  EXPECT_EQ(value(d), "3");
  d.setSub(a, 18446744073709551615ul); // unsigned long is 64 bits here
  EXPECT_EQ(value(d), "-18446744073709551622");
  d.setSub(a, -3);
  EXPECT_EQ(value(d), "-4");
  a.setValue(17);
  d.setSqrt(a);
  EXPECT_EQ(value(d), "4");

  b.setZero();
  EXPECT_EXIT(d.setDiv(a, b, true), ExitedWithCode(100), HasSubstr("Division by zero"));
  EXPECT_EXIT(d.setMod(a, b), ExitedWithCode(100), HasSubstr("Division by zero"));
  a.setValue(-1);
  EXPECT_EXIT(d.setSqrt(a), ExitedWithCode(100), HasSubstr("Square root of a negative"));
}

TEST_F(FixedRefTest, BitOperationsUseTheTwosComplementView) {
  a.setValue(5);
  d.setNot(a, 4);
  EXPECT_EQ(value(d), "10");
  d.setNot(a, 0);
  EXPECT_EQ(value(d), "5");
  d.setNot(a, -3);
  EXPECT_EQ(value(d), "5");
  a.setValue(-1);
  d.maskLower(a, 4);
  EXPECT_EQ(value(d), "15");
  a.setValue(5);
  d.setUpper(a, 4);
  EXPECT_EQ(value(d), "-11");
  a.setValue(-3);
  d.setLdExp(a, -1);
  EXPECT_EQ(value(d), "-2");
  d.setLdExp(a, 70);
  EXPECT_EQ(value(d), "-3541774862152233910272");
  d.setLdExp(a, INT_MIN);
  EXPECT_EQ(value(d), "-1");

  d.setZero();
  d.setBit(100, true);
  EXPECT_TRUE(d.testBit(100));
  EXPECT_FALSE(d.testBit(99));
  d.setBit(100, false);
  EXPECT_TRUE(d.isZero());
  a.setValue(-4);
  EXPECT_TRUE(a.testBit(1000)); // the sign extends forever
  EXPECT_FALSE(a.testBit(0));
  b.setValue(6);
  d.setAnd(a, b);
  EXPECT_EQ(value(d), "4");
  d.setOr(a, b);
  EXPECT_EQ(value(d), "-2");
  d.setXor(a, b);
  EXPECT_EQ(value(d), "-6");
}

TEST_F(FixedRefTest, ScaleDoubleRoundsHalvesAwayFromZero) {
  a.setValue(5);
  d.setScaleDouble(a, 0.5);
  EXPECT_EQ(value(d), "3");
  a.setValue(-5);
  d.setScaleDouble(a, 0.5);
  EXPECT_EQ(value(d), "-3");
  a.setValue(7);
  d.setScaleDouble(a, 0.1);
  EXPECT_EQ(value(d), "1");
  d.setScaleDouble(a, -0.3);
  EXPECT_EQ(value(d), "-2");
  d.setScaleDouble(a, 0.0);
  EXPECT_EQ(value(d), "0");
  EXPECT_EXIT(d.setScaleDouble(a, NAN), ExitedWithCode(100), HasSubstr("finite"));
  EXPECT_EXIT(d.setScaleDouble(a, INFINITY), ExitedWithCode(100), HasSubstr("finite"));
}

TEST_F(FixedRefTest, ComparisonsAndConversions) {
  a.setValue(-5);
  b.setValue(3);
  EXPECT_TRUE(a.lessThan(b));
  EXPECT_TRUE(a.lessEqual(b));
  EXPECT_FALSE(a.greaterThan(b));
  EXPECT_FALSE(a.greaterEqual(b));
  EXPECT_TRUE(b.greaterThan(a));
  EXPECT_TRUE(a.lessThan(-4));
  EXPECT_FALSE(a.lessThan(-5));
  EXPECT_LT(a.compare(0), 0);
  EXPECT_EQ(a.compare(-5), 0);
  EXPECT_TRUE(a.isEqual(-5));
  EXPECT_TRUE(a.isEqual(static_cast<std::int64_t>(-5)));
  EXPECT_FALSE(a.isEqual(static_cast<std::uint64_t>(5)));
  b.setValue(0);
  b.setAdd(b, 18446744073709551615ul);
  EXPECT_TRUE(b.isEqual(static_cast<std::uint64_t>(18446744073709551615ull)));
  EXPECT_FALSE(a.isEqual(b));
  EXPECT_EQ(a.getSgn(), -1);
  EXPECT_FALSE(a.isNaN());
  EXPECT_EQ(a.getSignedInt(), -5);
  EXPECT_EQ(a.getUnsignedInt(), 5u);
  b.setValue(0);
  EXPECT_EQ(b.getUnsignedInt(), 0u);
  EXPECT_EQ(b.getSgn(), 0);

  a.setValue(-255);
  EXPECT_EQ(a.toString(16), "-ff");
  EXPECT_EQ(a.toString(-16), "-FF");
  EXPECT_EQ(a.toString(2), "-11111111");
  b.setZero();
  EXPECT_EQ(b.toString(10), "0");
  EXPECT_EXIT(a.toString(1), ExitedWithCode(100), HasSubstr("Base outside"));
  EXPECT_EXIT(a.toString(63), ExitedWithCode(100), HasSubstr("Base outside"));
}

TEST_F(FixedRefTest, SaturateReportsAndClampsBoundPorts) {
  struct Case {
    int code;
    const char* in;
    int result;
    const char* port;
  };
  const Case cases[] = {
      {8, "255", 0, "255"},
      {8, "256", 1, "255"},
      {8, "-1", -1, "0"},
      {8, "0", 0, "0"},
      {-8, "-128", 0, "-128"},
      {-8, "127", 0, "127"},
      {-8, "-129", -1, "-128"},
      {-8, "128", 1, "127"},
      {-1, "-1", 0, "-1"},
      {-1, "1", 1, "0"},
      {-1, "-2", -1, "-1"},
      {1, "1", 0, "1"},
      {64, "18446744073709551615", 0, "18446744073709551615"},
      {-64, "-9223372036854775809", -1, "-9223372036854775808"},
  };
  for (const Case& c : cases) {
    mpz_set_str(ports[0].mData, c.in, 10);
    a.bindIO(ports[0]);
    EXPECT_EQ(a.saturate(c.code), c.result) << c.code << " " << c.in;
    EXPECT_EQ(str(ports[0].mData), c.port) << c.code << " " << c.in;
  }
  // Unbound: reports but leaves the value alone.
  b.setValue(256);
  EXPECT_EQ(b.saturate(8), 1);
  EXPECT_EQ(value(b), "256");
  EXPECT_EXIT(b.saturate(0), ExitedWithCode(100), HasSubstr("A width code of 0"));
}

TEST_F(FixedRefTest, SaturateChecksEveryBitOfHugeValues) {
  a.bindIO(ports[0]);
  a.setOne();
  a.setLdExp(a, 70000);
  EXPECT_EQ(a.saturate(8), 1);
  EXPECT_EQ(value(a), "255");
  a.setOne();
  a.setLdExp(a, 70000);
  a.setNeg(a);
  a.setSub(a, 1); // -(2^70000) - 1
  EXPECT_EQ(a.saturate(-8), -1);
  EXPECT_EQ(value(a), "-128");
  a.setOne();
  a.setLdExp(a, 70000);
  EXPECT_EQ(a.saturate(70001), 0);
  EXPECT_EQ(a.saturate(70000), 1);
}

// Runs `step` four times with GMP's and MPFR's memory counted too, and returns how many
// allocations each run made.
template <typename Step> std::vector<long> allocationsPerStep(Step step) {
  mp_set_memory_functions(countingMalloc, countingRealloc, countingFree);
  std::vector<long> counts;
  for (int i = 0; i < 4; ++i) {
    const long before = gAllocations;
    step(i);
    counts.push_back(gAllocations - before);
  }
  mp_set_memory_functions(nullptr, nullptr, nullptr);
  return counts;
}

void expectOnlyTheFirstStepAllocates(const std::vector<long>& counts) {
  ASSERT_EQ(counts.size(), 4u);
  EXPECT_GT(counts[0], 0);
  EXPECT_EQ(counts[1], 0);
  EXPECT_EQ(counts[2], 0);
  EXPECT_EQ(counts[3], 0);
}

// A model step: temporaries of every kind, arithmetic that grows integers, pushes and pops
// on every stack, then resetAvailability. After the first step nothing is allocated.
TEST(SteadyState, ModelStepAllocatesNothingAfterWarmUp) {
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports(2);
  MPFR input;
  mpfr_init2(input.mValue, 24);
  expectOnlyTheFirstStepAllocates(allocationsPerStep([&](int step) {
    // References are built per evaluation, taking their temporaries afresh.
    FixedRef x(&WideFixedType::legacy, alloc), acc(&WideFixedType::legacy, alloc);
    x.bindIO(ports[0]);
    x.setValue(3); // same magnitudes every step: integers need no more limbs
    acc.setOne();
    for (int k = 0; k < 6; ++k) { // up to 3^6 * 2^(64k): several limbs
      acc.setMult(acc, x);
      acc.setLdExp(acc, 64);
      acc.push();
    }
    for (int k = 0; k < 6; ++k)
      acc.pop(k % 2 == 0);
    acc.setScaleDouble(acc, -1.0 / 3.0);
    acc.saturate(-16);
    mpz_t* scratch = alloc.getTempFixed();
    mpz_mul(*scratch, acc.getRef(), acc.getRef());
    *alloc.getTempSingle() = 1.5f;
    *alloc.getTempDouble() = 2.5;
    MPFR* f = alloc.getTempVarFloat(23);
    mpfr_set_si(input.mValue, step, MPFR_RNDN);
    util::VarFloatStackHandler* stack = alloc.getVarFloatStackHandler(23);
    stack->push(input);
    stack->push(*f);
    stack->pop();
    *alloc.getStackDouble()->pushSlot() = 1.0;
    *alloc.getStackSingle()->pushSlot() = 1.0f;
    x.bindReset();
    alloc.resetAvailability();
  }));
  mpfr_clear(input.mValue);
}

// Float ports of four formats read, computed on and written every step, with flushing off so
// that subnormal rounding runs too: nothing is allocated after the first step.
TEST(SteadyState, VarFloatPortsPackAndUnpackWithoutAllocating) {
  VarFloatPacker::flushSubnormalsToZero(false);
  VarFloatType formats[] = {{"half", 5, 10, true},
                            {"single", 8, 23, true},
                            {"double", 11, 52, true},
                            {"quad", 15, 112, true}};
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports(8);
  for (int i = 0; i < 4; ++i) {
    ports[2 * i].setVarType(&formats[i]);
    ports[2 * i + 1].setVarType(&formats[i]);
  }
  expectOnlyTheFirstStepAllocates(allocationsPerStep([&](int) {
    for (int i = 0; i < 4; ++i) {
      VarFloatRef in(&formats[i], alloc), out(&formats[i], alloc);
      in.bindIO(ports[2 * i]);
      mpfr_set_d(in.getRef().mValue, -1.0 / 3.0, MPFR_RNDN);
      in.write();
      in.read();
      out.bindIO(ports[2 * i + 1]);
      out.setLdExp(in, -(1 << (4 + 2 * i)) - 3); // deep in the subnormal range
      out.write();
      out.read();
      out.setMod(in, in);
      out.setNaN();
      out.write();
    }
    alloc.resetAvailability();
  }));
  VarFloatPacker::flushSubnormalsToZero(true);
}

TEST(VariableRefError, WritesTheLimitIntoTheBoundPort) {
  WideTypedFormatVector ports(1);
  VariableRef ref;
  ref.setError(1, 8); // unbound: nothing happens
  EXPECT_EQ(mpz_sgn(ports[0].mData), 0);
  ref.bindIO(ports[0]);
  const int codes[] = {-8, -8, 8, 8, 1, -1, -64};
  const int directions[] = {1, -1, -1, 1, 1, -1, -1};
  const char* expected[] = {"127", "-128", "0", "255", "1", "-1", "-9223372036854775808"};
  for (int i = 0; i < 7; ++i) {
    ref.setError(directions[i], codes[i]);
    EXPECT_EQ(str(ports[0].mData), expected[i]) << i;
  }
  EXPECT_EQ(ref.saturate(8), 0);
  ref.restrictRegular(8, 23, true);
  EXPECT_EXIT(ref.setError(1, 0), ExitedWithCode(100), HasSubstr("A width code of 0"));
}

} // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// Single and double references

std::uint64_t bitsOf(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}
std::uint32_t bitsOf(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

class NativeRefs : public ::testing::Test {
protected:
  NativeRefs()
      : ports(2), d(&SysDoubleType::builtIn, alloc), da(&SysDoubleType::builtIn, alloc),
        db(&SysDoubleType::builtIn, alloc), s(&SysSingleType::builtIn, alloc),
        sa(&SysSingleType::builtIn, alloc), sb(&SysSingleType::builtIn, alloc) {}
  void TearDown() override { VarFloatPacker::flushSubnormalsToZero(true); }

  util::TempVarAllocator alloc;
  WideTypedFormatVector ports;
  DoubleRef d, da, db;
  SingleRef s, sa, sb;
};

TEST_F(NativeRefs, ConstructionChecksTheRepresentation) {
  EXPECT_EQ(d.value, d.own);
  EXPECT_EXIT(DoubleRef(&SysSingleType::builtIn, alloc), ExitedWithCode(100),
              HasSubstr("'vType->getImpl() == TR_DP'"));
  EXPECT_EXIT(SingleRef(&WideFixedType::legacy, alloc), ExitedWithCode(100),
              HasSubstr("'vType->getImpl() == TR_SP'"));
  VarFloatType single("s", 8, 23, true); // an MPFR-backed type, not a native one
  EXPECT_EXIT(SingleRef(&single, alloc), ExitedWithCode(100), HasSubstr("TR_SP"));
}

TEST_F(NativeRefs, PortsTransferThroughTheIeeeCodecs) {
  ports[0].setSimPortType(SPT_DOUBLE);
  ports[1].setSimPortType(SPT_SINGLE);
  d.bindIO(ports[0]);
  s.bindIO(ports[1]);
  EXPECT_EQ(d.value, d.own); // the value keeps its own storage
  d.getRef() = -2.5;
  d.write();
  EXPECT_EQ(BIGNUM_GetULong(ports[0]), bitsOf(-2.5));
  s.getRef() = 1e-40f; // flushed by the codec on the way out
  s.write();
  EXPECT_EQ(BIGNUM_GetULong(ports[1]), 0u);
  BIGNUM_SetULong(ports[1], 0xFFC00001u); // a negative NaN comes in positive
  s.read();
  EXPECT_EQ(bitsOf(s.getRef()), 0x7FC00001u);
  BIGNUM_SetULong(ports[0], 0x000FFFFFFFFFFFFFu);
  d.read();
  EXPECT_EQ(bitsOf(d.getRef()), 0u);
  VarFloatPacker::flushSubnormalsToZero(false);
  d.read();
  EXPECT_EQ(bitsOf(d.getRef()), 0x000FFFFFFFFFFFFFu);
  d.bindReset();
  EXPECT_EQ(d.io, nullptr);
}

TEST_F(NativeRefs, StacksRebindAndCopyPlainValues) {
  EXPECT_EQ(d.pop(false), -1);
  d.getRef() = 1.0;
  d.push();
  d.getRef() = 2.0;
  d.push();
  EXPECT_EQ(da.bindStack(1), 0);
  EXPECT_EQ(da.getRef(), 1.0);
  da.getRef() = 5.0; // works on the slot itself
  EXPECT_EQ(d.pop(true), 0);
  EXPECT_EQ(d.pop(false), 0);
  EXPECT_EQ(d.getRef(), 5.0);
  EXPECT_EQ(da.bindStack(0), -1);

  s.getRef() = 3.0f;
  s.push();
  EXPECT_EQ(sa.bindStack(0), 0);
  EXPECT_EQ(sa.getRef(), 3.0f);
  EXPECT_EQ(sa.bindStack(1), -1);
  EXPECT_EQ(s.pop(false), 0);
  EXPECT_EQ(s.pop(false), -1);
}

TEST_F(NativeRefs, SignsOfZeroAndNaNFollowEachKindsRule) {
  da.getRef() = -0.0;
  d.setAbs(da);
  EXPECT_EQ(bitsOf(d.getRef()), 0u);
  sa.getRef() = -0.0f;
  s.setAbs(sa);
  EXPECT_EQ(bitsOf(s.getRef()), 0x80000000u);
  sa.getRef() = -std::numeric_limits<float>::quiet_NaN();
  s.setAbs(sa);
  EXPECT_TRUE(std::signbit(s.getRef()));

  da.getRef() = std::nan("");
  EXPECT_EQ(da.getSgn(), 0);
  da.getRef() = -0.0;
  EXPECT_EQ(da.getSgn(), 0);
  EXPECT_TRUE(da.getSignBit());
  EXPECT_TRUE(da.isZero());
  d.setInf(true);
  EXPECT_TRUE(d.isInf());
  EXPECT_LT(d.getRef(), 0);
  s.setNaN();
  EXPECT_EQ(bitsOf(s.getRef()), 0x7FC00000u);
  d.setNaN();
  EXPECT_EQ(bitsOf(d.getRef()), 0x7FF8000000000000u);
  EXPECT_TRUE(d.isNaN());
  EXPECT_FALSE(d.isEqual(d));
  d.setPi();
  EXPECT_EQ(bitsOf(d.getRef()), 0x400921FB54442D18u);
  s.setPi();
  EXPECT_EQ(bitsOf(s.getRef()), 0x40490FDBu);
}

TEST_F(NativeRefs, ModFracAndFracExpTruncate) {
  da.getRef() = 7;
  db.getRef() = -2;
  d.setMod(da, db);
  EXPECT_EQ(d.getRef(), 1.0);
  da.getRef() = -7;
  db.getRef() = 2;
  d.setMod(da, db);
  EXPECT_EQ(d.getRef(), -1.0);
  sa.getRef() = -7;
  sb.getRef() = 2;
  s.setMod(sa, sb);
  EXPECT_EQ(s.getRef(), -1.0f);
  da.getRef() = -2.25;
  d.setFrac(da);
  EXPECT_EQ(d.getRef(), -0.25);

  da.getRef() = 8.0;
  EXPECT_EQ(d.setFracExp(da), 4);
  EXPECT_EQ(d.getRef(), 0.5);
  da.getRef() = 0.0;
  EXPECT_EQ(d.setFracExp(da), 0);
  EXPECT_EQ(d.getRef(), 0.0);
  sa.getRef() = 12.0f;
  EXPECT_EQ(s.setFracExp(sa), 4);
  EXPECT_EQ(s.getRef(), 0.75f);
  sa.getRef() = 0.75f;
  EXPECT_EQ(sa.getILogB(), -1);
}

TEST_F(NativeRefs, ProducersCallTheNamedFunctions) {
  da.getRef() = 2.0;
  d.setExp10(da);
  EXPECT_EQ(d.getRef(), 100.0);
  da.getRef() = -0.5;
  d.setExp10(da);
  EXPECT_EQ(d.getRef(), 0.31622776601683794); // correctly rounded 10^-0.5
  da.getRef() = std::ldexp(3.0, 900);
  db.getRef() = std::ldexp(4.0, 900);
  d.setHypot(da, db);
  EXPECT_EQ(d.getRef(), std::ldexp(5.0, 900)); // no overflow in the intermediate square
  sa.getRef() = 2.0f;
  s.setExp10(sa);
  EXPECT_EQ(s.getRef(), 100.0f);
  sa.getRef() = 3e20f;
  sb.getRef() = 4e20f;
  s.setHypot(sa, sb);
  EXPECT_EQ(s.getRef(), 5e20f);

  da.getRef() = 2.5;
  d.setRound(da);
  EXPECT_EQ(d.getRef(), 3.0);
  d.setRint(da);
  EXPECT_EQ(d.getRef(), 2.0);
  da.getRef() = -2.5;
  d.setTrunc(da);
  EXPECT_EQ(d.getRef(), -2.0);
  d.setFloor(da);
  EXPECT_EQ(d.getRef(), -3.0);
  d.setCeil(da);
  EXPECT_EQ(d.getRef(), -2.0);

  sa.getRef() = 1.5f;
  s.setLdExp(sa, -149); // 1.5 * 2^-149 rounds to the nearest subnormal, 2^-148
  EXPECT_EQ(bitsOf(s.getRef()), 2u);
  s.setScaleDouble(sa, 1.0 / 3.0);
  EXPECT_EQ(s.getRef(), 0.5f);
  d.setValue(sa);
  EXPECT_EQ(d.getRef(), 1.5);
  da.getRef() = 0.1;
  s.setValue(da);
  EXPECT_EQ(s.getRef(), 0.1f);
  da.getRef() = 4.0;
  db.getRef() = 3.0;
  d.setDim(db, da);
  EXPECT_EQ(d.getRef(), 0.0);
  d.setPow(da, db);
  EXPECT_EQ(d.getRef(), 64.0);
  d.setATan2(da, da);
  EXPECT_EQ(d.getRef(), std::atan2(4.0, 4.0));
  d.setRecip(da);
  EXPECT_EQ(d.getRef(), 0.25);
}

TEST_F(NativeRefs, RestrictRegularFlushesOnlySubnormals) {
  sa.getRef() = std::numeric_limits<float>::denorm_min();
  sa.restrictRegular(8, 0, false);
  EXPECT_EQ(sa.getRef(), std::numeric_limits<float>::denorm_min());
  sa.restrictRegular(8, 1, false);
  EXPECT_EQ(bitsOf(sa.getRef()), 0u);
  sa.getRef() = -std::numeric_limits<float>::denorm_min();
  sa.restrictRegular(8, 1, false);
  EXPECT_EQ(bitsOf(sa.getRef()), 0x80000000u);
  sa.getRef() = std::numeric_limits<float>::min();
  sa.restrictRegular(8, 3, true);
  EXPECT_EQ(sa.getRef(), std::numeric_limits<float>::min());
  da.getRef() = -std::numeric_limits<double>::denorm_min();
  da.restrictRegular(11, 1, false);
  EXPECT_EQ(bitsOf(da.getRef()), 0x8000000000000000u);

  sa.getRef() = -1e-40f;
  VarFloatPacker::flushSubnormalsToZero(false);
  sa.flushSubnormalsToZero();
  EXPECT_EQ(sa.getRef(), -1e-40f);
  VarFloatPacker::flushSubnormalsToZero(true);
  sa.flushSubnormalsToZero();
  EXPECT_EQ(bitsOf(sa.getRef()), 0x80000000u);
}

// ---------------------------------------------------------------------------------------------
// Bit packing

class Packing : public ::testing::Test {
protected:
  void TearDown() override { VarFloatPacker::flushSubnormalsToZero(true); }

  // Packs v (set exactly, then rounded to precision wF + 1) in format wE/wF.
  std::string pack(double v, int wE, int wF) {
    mpfr_t x;
    mpfr_init2(x, wF + 1);
    mpfr_set_d(x, v, MPFR_RNDN);
    mpz_t out;
    mpz_init(out);
    VarFloatPackerDefault::instance.packBits(x, wE, wF, out);
    char* text = mpz_get_str(nullptr, 16, out);
    std::string result(text);
    void (*release)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &release);
    release(text, result.size() + 1);
    mpz_clear(out);
    mpfr_clear(x);
    return result;
  }
  // Unpacks a pattern of the wE/wF port type into a value of precision wF + 1.
  double unpack(const char* hex, const VarFloatType& type) {
    WideTypedFormatVector port(1);
    port[0].setVarType(const_cast<VarFloatType*>(&type));
    mpz_set_str(port[0].mData, hex, 16);
    mpfr_t x;
    mpfr_init2(x, type.getWF() + 1);
    VarFloatPackerDefault::instance.unpackBits(x, &port[0]);
    const double d = mpfr_get_d(x, MPFR_RNDN);
    mpfr_clear(x);
    return d;
  }
};

TEST_F(Packing, SingleLayoutMatchesIeeeExceptNaN) {
  EXPECT_EQ(pack(1.0, 8, 23), "3f800000");
  EXPECT_EQ(pack(-2.0, 8, 23), "c0000000");
  EXPECT_EQ(pack(INFINITY, 8, 23), "7f800000");
  EXPECT_EQ(pack(-INFINITY, 8, 23), "ff800000");
  EXPECT_EQ(pack(NAN, 8, 23), "ff800003");
  EXPECT_EQ(pack(-0.0, 8, 23), "80000000");
  EXPECT_EQ(pack(0.0, 8, 23), "0");
  mpfr_clear_erangeflag();
  pack(NAN, 5, 10);
  EXPECT_TRUE(mpfr_erangeflag_p());
  mpfr_clear_erangeflag();

  const VarFloatType single("s", 8, 23, true);
  EXPECT_TRUE(std::isnan(unpack("7fc00000", single)));
  EXPECT_EQ(unpack("ff800000", single), -INFINITY);
  EXPECT_TRUE(std::signbit(unpack("80000000", single)));
  EXPECT_EQ(unpack("80000000", single), 0.0);
  EXPECT_EQ(unpack("3f800000", single), 1.0);
  EXPECT_EQ(unpack("1c0000000", single), -2.0); // bits above the sign are ignored
}

TEST_F(Packing, HalfFormatRoundsSubnormalsToNearestEven) {
  VarFloatPacker::flushSubnormalsToZero(false);
  EXPECT_EQ(pack(65504, 5, 10), "7bff");
  EXPECT_EQ(pack(65536, 5, 10), "7c00");
  EXPECT_EQ(pack(-65536, 5, 10), "fc00");
  EXPECT_EQ(pack(std::ldexp(1.0, -24), 5, 10), "1");
  EXPECT_EQ(pack(std::ldexp(1.5, -25), 5, 10), "1");
  EXPECT_EQ(pack(std::ldexp(1.0, -25), 5, 10), "0");
  EXPECT_EQ(pack(-std::ldexp(1.0, -25), 5, 10), "8000");
  EXPECT_EQ(pack(std::ldexp(3.0, -25), 5, 10), "2");      // 1.5 ulp: tie to even, up
  EXPECT_EQ(pack(std::ldexp(1023.5, -24), 5, 10), "400"); // rounds up into the smallest normal
  EXPECT_EQ(pack(std::ldexp(1.0, -14), 5, 10), "400");
  EXPECT_EQ(pack(std::ldexp(1.0, -100), 5, 10), "0");

  const VarFloatType half("h", 5, 10, true);
  EXPECT_EQ(unpack("1", half), std::ldexp(1.0, -24));
  EXPECT_EQ(unpack("8001", half), -std::ldexp(1.0, -24));
  VarFloatPacker::flushSubnormalsToZero(true);
  EXPECT_EQ(pack(std::ldexp(1.0, -24), 5, 10), "0");
  EXPECT_EQ(pack(-std::ldexp(1.0, -24), 5, 10), "8000");
  EXPECT_EQ(unpack("1", half), 0.0);
  EXPECT_TRUE(std::signbit(unpack("8001", half)));
  EXPECT_EQ(pack(std::ldexp(1.0, -130), 8, 23), "0");
}

TEST_F(Packing, UnsupportedFormatsAndMismatchedPrecisionAreRefused) {
  EXPECT_EXIT(pack(1.0, 31, 10), ExitedWithCode(100),
              HasSubstr("Unsupported float format for bit packing."));
  EXPECT_EXIT(pack(1.0, 0, 10), ExitedWithCode(100), HasSubstr("Unsupported float format"));
  EXPECT_EXIT(pack(1.0, 8, 0), ExitedWithCode(100), HasSubstr("Unsupported float format"));
  mpfr_t wide;
  mpfr_init2(wide, 64);
  mpfr_set_d(wide, 1.0, MPFR_RNDN);
  mpz_t out;
  mpz_init(out);
  EXPECT_EXIT(VarFloatPackerDefault::instance.packBits(wide, 5, 10, out), ExitedWithCode(100),
              HasSubstr("wider than the port format"));
  // A narrower value is widened exactly.
  mpfr_set_prec(wide, 4);
  mpfr_set_d(wide, 1.5, MPFR_RNDN);
  VarFloatPackerDefault::instance.packBits(wide, 5, 10, out);
  EXPECT_EQ(mpz_get_ui(out), 0x3E00u);
  mpz_clear(out);
  mpfr_clear(wide);

  WideTypedFormatVector port(1); // a fixed-point port cannot be unpacked as a float
  mpfr_t x;
  mpfr_init2(x, 11);
  EXPECT_EXIT(VarFloatPackerDefault::instance.unpackBits(x, &port[0]), ExitedWithCode(100),
              HasSubstr("'tRep == TR_SP || tRep == TR_DP || tRep == TR_MPFR'"));
  mpfr_clear(x);
}

TEST_F(Packing, EveryHalfPrecisionValueSurvivesARoundTrip) {
  VarFloatPacker::flushSubnormalsToZero(false);
  VarFloatType half("h", 5, 10, true);
  WideTypedFormatVector port(1);
  port[0].setVarType(&half);
  mpfr_t x;
  mpfr_init2(x, 11);
  int nans = 0;
  for (unsigned pattern = 0; pattern < 0x10000u; ++pattern) {
    mpz_set_ui(port[0].mData, pattern);
    VarFloatPackerDefault::instance.unpackBits(x, &port[0]);
    nans += mpfr_nan_p(x) ? 1 : 0;
    VarFloatPackerDefault::instance.packBits(x, &port[0]);
    const unsigned back = static_cast<unsigned>(mpz_get_ui(port[0].mData));
    ASSERT_EQ(back, mpfr_nan_p(x) ? 0xFC03u : pattern) << pattern;
  }
  EXPECT_EQ(nans, 2 * 1023);
  mpfr_clear(x);
}

// ---------------------------------------------------------------------------------------------
// Variable-precision float references

class VarFloatRefs : public ::testing::Test {
protected:
  VarFloatRefs()
      : single("single-like", 8, 23, true), half("half", 5, 10, true), ports(2), r(&single, alloc),
        a(&single, alloc), b(&single, alloc) {}
  void TearDown() override { VarFloatPacker::flushSubnormalsToZero(true); }
  static void set(VarFloatRef& ref, double v) { mpfr_set_d(ref.getRef().mValue, v, MPFR_RNDN); }
  static double get(const VarFloatRef& ref) { return mpfr_get_d(ref.getRef().mValue, MPFR_RNDN); }

  VarFloatType single, half;
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports;
  VarFloatRef r, a, b;
};

TEST_F(VarFloatRefs, ChoosePackersByWidthsAndCheckTheRepresentation) {
  EXPECT_EQ(r.packer, &VFPackerSingle::instance);
  EXPECT_EQ(VarFloatRef(&SysSingleType::builtIn, alloc).packer, &VFPackerSingle::instance);
  EXPECT_EQ(VarFloatRef(&SysDoubleType::builtIn, alloc).packer, &VFPackerDouble::instance);
  VarFloatRef h(&half, alloc);
  EXPECT_EQ(h.packer, &VarFloatPackerDefault::instance);
  EXPECT_EQ(mpfr_get_prec(h.getRef().mValue), 11);
  EXPECT_EQ(h.stackHandler, alloc.getVarFloatStackHandler(10));
  EXPECT_EXIT(VarFloatRef(&WideFixedType::legacy, alloc), ExitedWithCode(100),
              HasSubstr("'tRep == TR_SP || tRep == TR_DP || tRep == TR_MPFR'"));
}

TEST_F(VarFloatRefs, ReadAndWriteThroughThePortsPacker) {
  VarFloatPacker::flushSubnormalsToZero(false);
  VarFloatRef h(&half, alloc);
  ports[0].setVarType(&half);
  h.bindIO(ports[0]);
  set(h, 1.0 / 3.0);
  h.write();
  EXPECT_EQ(BIGNUM_GetULong(ports[0]), 0x3555u);
  BIGNUM_SetULong(ports[0], 0x8001u);
  h.read();
  EXPECT_EQ(get(h), -std::ldexp(1.0, -24));

  ports[1].setSimPortType(SPT_SINGLE);
  r.bindIO(ports[1]);
  set(r, -1.5);
  r.write();
  EXPECT_EQ(BIGNUM_GetULong(ports[1]), 0xBFC00000u);
  r.setNaN();
  r.write(); // the native codec writes a positive quiet NaN
  EXPECT_EQ(BIGNUM_GetULong(ports[1]), 0x7FC00000u);
}

TEST_F(VarFloatRefs, StackPopsCopyAndBindStackCopiesToo) {
  EXPECT_EQ(r.pop(false), -1);
  EXPECT_EQ(r.bindStack(0), -1);
  set(r, 1.25);
  r.push();
  set(r, 7.0);
  EXPECT_EQ(a.bindStack(0), 0);
  EXPECT_EQ(get(a), 1.25);
  set(a, 9.0); // the stack entry is a copy's source, not rebound
  EXPECT_EQ(b.bindStack(0), 0);
  EXPECT_EQ(get(b), 1.25);
  EXPECT_EQ(a.bindStack(1), -1);
  EXPECT_EQ(r.pop(true), 0);
  EXPECT_EQ(r.pop(false), -1);
  EXPECT_EQ(get(r), 7.0);
  r.push();
  EXPECT_EQ(a.pop(false), 0);
  EXPECT_EQ(get(a), 7.0);
}

TEST_F(VarFloatRefs, RoundingFamilyAndQueries) {
  set(a, 2.5);
  r.setRound(a);
  EXPECT_EQ(get(r), 3.0);
  r.setRint(a);
  EXPECT_EQ(get(r), 2.0);
  set(a, -2.5);
  r.setTrunc(a);
  EXPECT_EQ(get(r), -2.0);
  r.setFloor(a);
  EXPECT_EQ(get(r), -3.0);
  r.setCeil(a);
  EXPECT_EQ(get(r), -2.0);
  r.setRound(a);
  EXPECT_EQ(get(r), -3.0);

  set(a, 1.0);
  EXPECT_EQ(a.getILogB(), 0);
  EXPECT_EQ(a.fracLength(), 23);
  set(a, 0.75);
  EXPECT_EQ(a.getILogB(), -1);
  set(a, 0.0);
  EXPECT_EQ(a.getILogB(), INT_MIN);
  EXPECT_EQ(a.fracLength(), 0);
  a.setInf(false);
  EXPECT_EQ(a.getILogB(), INT_MAX);
  EXPECT_EQ(a.fracLength(), 0);
  a.setNaN();
  EXPECT_EQ(a.getILogB(), INT_MIN);
  set(a, 1024.0);
  EXPECT_EQ(a.fracLength(), 13);
  set(a, std::ldexp(1.0, 30));
  EXPECT_EQ(a.fracLength(), -7);

  // Exactly below a power of two, at a precision wider than a double.
  VarFloatType wide("quad", 15, 112, true);
  VarFloatRef q(&wide, alloc);
  mpfr_set_ui_2exp(q.getRef().mValue, 1, 10, MPFR_RNDN);
  mpfr_nextbelow(q.getRef().mValue);
  EXPECT_EQ(q.getILogB(), 9);
  VarFloatRef fraction(&wide, alloc);
  EXPECT_EQ(fraction.setFracExp(q), 10);
  EXPECT_LT(mpfr_cmp_d(fraction.getRef().mValue, 1.0), 0);
  EXPECT_GE(mpfr_cmp_d(fraction.getRef().mValue, 0.5), 0);

  set(a, -0.5);
  EXPECT_FALSE(a.isHalf(1));
  EXPECT_TRUE(a.isHalf(0));
  EXPECT_TRUE(a.isHalf(-1));
  set(a, 0.5);
  EXPECT_TRUE(a.isHalf(1));
  EXPECT_FALSE(a.isHalf(-1));
  a.setNaN();
  mpfr_clear_erangeflag();
  EXPECT_FALSE(a.isHalf(0)); // NaN is no half, but the comparison raises the flag
  EXPECT_TRUE(mpfr_erangeflag_p());
  mpfr_clear_erangeflag();
  EXPECT_EQ(a.getSgn(), 0);
  EXPECT_TRUE(mpfr_erangeflag_p());
  mpfr_clear_erangeflag();

  set(a, 12.0);
  EXPECT_EQ(r.setFracExp(a), 4);
  EXPECT_EQ(get(r), 0.75);
  a.setZero(true);
  EXPECT_EQ(r.setFracExp(a), 0);
  EXPECT_TRUE(r.isZero());
  EXPECT_TRUE(r.getSignBit());
  a.setZero(true);
  r.setAbs(a);
  EXPECT_FALSE(r.getSignBit());
  a.setNaN();
  mpfr_setsign(a.getRef().mValue, a.getRef().mValue, 1, MPFR_RNDN);
  r.setAbs(a);
  EXPECT_TRUE(r.isNaN());
  EXPECT_FALSE(r.getSignBit());
}

TEST_F(VarFloatRefs, ModTruncatesAndRoundsAtTheOperandsPrecision) {
  set(a, 7.0);
  set(b, -2.0);
  r.setMod(a, b);
  EXPECT_EQ(get(r), 1.0);
  set(a, -7.0);
  set(b, 2.0);
  r.setMod(a, b);
  EXPECT_EQ(get(r), -1.0);
  set(a, 5.5);
  set(b, 0.0);
  r.setMod(a, b);
  EXPECT_TRUE(r.isNaN());
}

TEST_F(VarFloatRefs, RestrictRegularClampsBothEdges) {
  auto restricted = [&](double v, int flags, bool extended) {
    set(a, v);
    a.restrictRegular(8, flags, extended);
    return get(a);
  };
  EXPECT_EQ(restricted(std::ldexp(1.0, -127), 1, false), 0.0);
  EXPECT_TRUE(std::signbit(restricted(-std::ldexp(1.0, -127), 1, false)));
  EXPECT_EQ(restricted(std::ldexp(1.0, -126), 1, false), std::ldexp(1.0, -126));
  EXPECT_EQ(restricted(std::ldexp(1.0, -127), 1, true), std::ldexp(1.0, -127));
  EXPECT_EQ(restricted(std::ldexp(1.0, -128), 1, true), 0.0);
  EXPECT_EQ(restricted(std::ldexp(1.0, 128), 2, false), INFINITY);
  EXPECT_EQ(restricted(-std::ldexp(1.0, 128), 2, false), -INFINITY);
  EXPECT_EQ(restricted(std::ldexp(1.5, 127), 2, false), std::ldexp(1.5, 127));
  EXPECT_EQ(restricted(std::ldexp(1.0, 128), 2, true), std::ldexp(1.0, 128));
  EXPECT_EQ(restricted(std::ldexp(1.0, 128), 1, false), std::ldexp(1.0, 128));   // upper edge off
  EXPECT_EQ(restricted(std::ldexp(1.0, -200), 2, false), std::ldexp(1.0, -200)); // lower off
  EXPECT_EQ(restricted(std::ldexp(1.0, -200), 0, false), std::ldexp(1.0, -200));
  a.setNaN();
  a.restrictRegular(8, 3, false);
  EXPECT_TRUE(a.isNaN());
  a.setZero(true);
  a.restrictRegular(8, 3, false);
  EXPECT_TRUE(a.isZero() && a.getSignBit());
  a.setOne();
  EXPECT_EXIT(a.restrictRegular(0, 1, false), ExitedWithCode(100),
              HasSubstr("Exponent width must be at least 1."));
}

} // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// Conversions between kinds (the bulk is checked against gmpy2 in tests/oracle)

class CrossKind : public ::testing::Test {
protected:
  CrossKind()
      : quad("quad", 15, 112, true), fixed(&WideFixedType::legacy, alloc),
        d(&SysDoubleType::builtIn, alloc), s(&SysSingleType::builtIn, alloc), v(&quad, alloc) {}
  VarFloatType quad;
  util::TempVarAllocator alloc;
  FixedRef fixed;
  DoubleRef d;
  SingleRef s;
  VarFloatRef v;
};

TEST_F(CrossKind, IntoFixedReportsSpecialsByStatus) {
  d.getRef() = 2.5;
  EXPECT_EQ(fixed.setValue(d), 0);
  EXPECT_TRUE(fixed.isEqual(3));
  d.getRef() = std::ldexp(-1.0, 80);
  EXPECT_EQ(fixed.setValue(d), 0);
  EXPECT_EQ(fixed.toString(16), "-100000000000000000000");
  d.getRef() = INFINITY;
  EXPECT_EQ(fixed.setValue(d), 1);
  EXPECT_EQ(fixed.toString(16), "-100000000000000000000"); // unchanged
  d.getRef() = -INFINITY;
  EXPECT_EQ(fixed.setValue(d), -1);
  d.getRef() = -NAN;
  EXPECT_EQ(fixed.setValue(d), 1);
  s.getRef() = -INFINITY;
  EXPECT_EQ(fixed.setValue(s), -1);
  s.getRef() = -2.5f;
  EXPECT_EQ(fixed.setValue(s), 0);
  EXPECT_TRUE(fixed.isEqual(-3));

  mpfr_set_d(v.getRef().mValue, 2.5, MPFR_RNDN);
  EXPECT_EQ(fixed.setValue(v), 0);
  EXPECT_TRUE(fixed.isEqual(2));
  v.setInf(true);
  EXPECT_EQ(fixed.setValue(v), -1);
  v.setNaN();
  EXPECT_EQ(fixed.setValue(v), 0);
  mpfr_clear_erangeflag();
  // A huge exponent is refused rather than asked of GMP.
  mpfr_set_ui_2exp(v.getRef().mValue, 1, mpfr_exp_t(1) << 25, MPFR_RNDN);
  EXPECT_EXIT(fixed.setValue(v), ExitedWithCode(100), HasSubstr("too large for a fixed-point"));
  mpfr_set_ui_2exp(v.getRef().mValue, 3, 1000, MPFR_RNDN);
  EXPECT_EQ(fixed.setValue(v), 0);
  EXPECT_EQ(mpz_sizeinbase(fixed.getRef(), 2), 1002u);
}

TEST_F(CrossKind, IntoNativeFloatsTruncateFixedAndRoundVarFloats) {
  mpz_set_ui(fixed.getRef(), 1);
  mpz_mul_2exp(fixed.getRef(), fixed.getRef(), 53);
  mpz_add_ui(fixed.getRef(), fixed.getRef(), 1);
  d.setValue(fixed);
  EXPECT_EQ(d.getRef(), std::ldexp(1.0, 53));
  mpz_set_si(fixed.getRef(), 16777217);
  s.setValue(fixed);
  EXPECT_EQ(s.getRef(), 16777216.0f);

  // 1 + 2^-60 at 113 bits: nearest double is 1; negative zero, NaN and infinities pass.
  mpfr_set_ui_2exp(v.getRef().mValue, 1, -60, MPFR_RNDN);
  mpfr_add_ui(v.getRef().mValue, v.getRef().mValue, 1, MPFR_RNDN);
  d.setValue(v);
  EXPECT_EQ(d.getRef(), 1.0);
  mpfr_set_ui_2exp(v.getRef().mValue, 3, 200, MPFR_RNDN);
  s.setValue(v);
  EXPECT_EQ(s.getRef(), INFINITY);
  v.setZero(true);
  d.setValue(v);
  EXPECT_TRUE(std::signbit(d.getRef()) && d.getRef() == 0.0);
  v.setNaN();
  s.setValue(v);
  EXPECT_TRUE(std::isnan(s.getRef()));
  v.setInf(true);
  d.setValue(v);
  EXPECT_EQ(d.getRef(), -INFINITY);

  // And back: values of every special kind arrive in a var-float unchanged.
  d.getRef() = -0.0;
  v.setValue(d);
  EXPECT_TRUE(v.isZero() && v.getSignBit());
  s.getRef() = std::numeric_limits<float>::denorm_min();
  v.setValue(s);
  EXPECT_EQ(mpfr_cmp_d(v.getRef().mValue, std::ldexp(1.0, -149)), 0);
  d.getRef() = std::numeric_limits<double>::max();
  v.setValue(d);
  EXPECT_EQ(mpfr_get_d(v.getRef().mValue, MPFR_RNDN), std::numeric_limits<double>::max());
}

// ---------------------------------------------------------------------------------------------
// Arrays and vectors

TEST(RefArrays, BindRowMajorAndStartAtZero) {
  util::TempVarAllocator alloc;
  FixedRef::Array2D fixedArray(&WideFixedType::legacy, 3, 4);
  ASSERT_EQ(fixedArray.elements.size(), 12u);
  FixedRef f(&WideFixedType::legacy, alloc);
  fixedArray.bindElem(f, 2, 3);
  EXPECT_EQ(f.value, &fixedArray.elements[11].mValue);
  f.setValue(7);
  fixedArray.bindElem(f, 1, 0);
  EXPECT_EQ(f.value, &fixedArray.elements[4].mValue);
  EXPECT_TRUE(f.isZero());

  DoubleRef::Array2D doubles(&SysDoubleType::builtIn, 3, 4);
  DoubleRef d(&SysDoubleType::builtIn, alloc);
  doubles.setElem(0, 1, 2.5);
  doubles.getElem(d, 0, 1);
  EXPECT_EQ(d.getRef(), 2.5);
  EXPECT_EQ(d.value, d.own); // getElem copies
  doubles.bindElem(d, 2, 3);
  EXPECT_EQ(d.getRef(), 0.0);

  SingleRef::Array2D singles(&SysSingleType::builtIn, 1, 2);
  SingleRef s(&SysSingleType::builtIn, alloc);
  singles.setElem(0, 1, 0.1);
  EXPECT_EQ(singles.elements[1], 0.1f);
  singles.bindElem(s, 0, 1);
  EXPECT_EQ(s.getRef(), 0.1f);

  VarFloatType half("half", 5, 10, true);
  VarFloatRef::Array2D floats(&half, 2, 2);
  VarFloatRef v(&half, alloc);
  for (MPFR* e : floats.elements) {
    EXPECT_EQ(mpfr_get_prec(e->mValue), 11);
    EXPECT_TRUE(mpfr_zero_p(e->mValue) && !mpfr_signbit(e->mValue));
  }
  floats.setElem(1, 0, 0.1);
  floats.getElem(v, 1, 0);
  EXPECT_EQ(mpfr_get_d(v.getRef().mValue, MPFR_RNDN), 0.0999755859375); // 0.1 at 11 bits
  floats.bindElem(v, 1, 1);
  EXPECT_EQ(v.value, floats.elements[3]);
}

TEST(RefArrays, RefuseWrongTypesAndShapesBeyond32BitIndexes) {
  EXPECT_EXIT(FixedRef::Array2D(&SysDoubleType::builtIn, 1, 1), ExitedWithCode(100),
              HasSubstr("'vType->getImpl() == TR_MPZ'"));
  EXPECT_EXIT(SingleRef::Array2D(&SysDoubleType::builtIn, 1, 1), ExitedWithCode(100),
              HasSubstr("'vType->getImpl() == TR_SP'"));
  EXPECT_EXIT(DoubleRef::Array2D(&WideFixedType::legacy, 1, 1), ExitedWithCode(100),
              HasSubstr("'vType->getImpl() == TR_DP'"));
  EXPECT_EXIT(VarFloatRef::Array2D(&WideFixedType::legacy, 1, 1), ExitedWithCode(100),
              HasSubstr("'tRep == TR_SP || tRep == TR_DP || tRep == TR_MPFR'"));
  EXPECT_EXIT(DoubleRef::Array2D(&SysDoubleType::builtIn, 65536, 65536), ExitedWithCode(100),
              HasSubstr("more elements than 32-bit indexing allows"));
}

TEST(RefArrays, CopiesOwnTheirElementsAndMovesTakeThemOver) {
  util::TempVarAllocator alloc;
  FixedRef f(&WideFixedType::legacy, alloc);
  FixedRef::Array2D a(&WideFixedType::legacy, 2, 2);
  a.bindElem(f, 1, 1);
  f.setValue(-9);
  FixedRef::Array2D copy(a);
  f.setValue(5); // the copy keeps -9
  copy.bindElem(f, 1, 1);
  EXPECT_TRUE(f.isEqual(-9));
  FixedRef::Array2D moved(std::move(copy));
  EXPECT_TRUE(copy.elements.empty());
  moved.bindElem(f, 1, 1);
  EXPECT_TRUE(f.isEqual(-9));
  moved = moved;
  moved = std::move(moved);
  EXPECT_EQ(moved.elements.size(), 4u);
  moved = a;
  moved.bindElem(f, 1, 1);
  EXPECT_TRUE(f.isEqual(5));

  DoubleRef::Array2D doubles(&SysDoubleType::builtIn, 1, 3);
  doubles.setElem(0, 2, 4.0);
  DoubleRef::Array2D other(&SysDoubleType::builtIn, 1, 1);
  other = std::move(doubles);
  EXPECT_EQ(other.columns, 3u);
  EXPECT_EQ(other.elements[2], 4.0);
  other = std::move(other);
  EXPECT_EQ(other.elements.size(), 3u);
}

TEST(RefArrays, VarFloatCopiesAreDeepAndReleaseEachValueOnce) {
  mp_set_memory_functions(countingMalloc, countingRealloc, countingFree);
  const long allocationsBefore = gAllocations;
  long copied = 0;
  {
    VarFloatType half("half", 5, 10, true);
    VarFloatRef::Array2D a(&half, 3, 4);
    a.setElem(2, 3, 1.5);
    VarFloatRef::Array2D copy(a);
    VarFloatRef::Array2D assigned(&half, 1, 1);
    assigned = a;
    assigned = assigned;
    VarFloatRef::Array2D moved(std::move(copy)); // no moves for this kind: a deep copy
    ASSERT_EQ(copy.elements.size(), 12u);
    for (std::size_t i = 0; i < 12; ++i) {
      EXPECT_NE(copy.elements[i], a.elements[i]);
      EXPECT_NE(moved.elements[i], a.elements[i]);
      EXPECT_NE(assigned.elements[i], a.elements[i]);
    }
    a.setElem(2, 3, 2.0);
    EXPECT_EQ(mpfr_get_d(moved.elements[11]->mValue, MPFR_RNDN), 1.5);
    EXPECT_EQ(mpfr_get_d(assigned.elements[11]->mValue, MPFR_RNDN), 1.5);
    copied = gAllocations - allocationsBefore;
  }
  mp_set_memory_functions(nullptr, nullptr, nullptr);
  EXPECT_GT(copied, 4 * 12); // every array holds its own values (ASan checks the frees)
}

TEST(RefVectors, BindWithBoundsChecksAndSeeWholeArrays) {
  util::TempVarAllocator alloc;
  DoubleRef d(&SysDoubleType::builtIn, alloc);
  DoubleRef::VectorRef none;
  EXPECT_THROW(none.bindElem(d, 0), std::out_of_range);

  std::vector<double> values{1.0, 2.0, 3.0};
  DoubleRef::VectorRef view(&values);
  view.bindElem(d, 2);
  EXPECT_EQ(d.getRef(), 3.0);
  double* before = d.value;
  EXPECT_THROW(view.bindElem(d, 3), std::out_of_range);
  EXPECT_THROW(view.bindElem(d, -1), std::out_of_range);
  EXPECT_EQ(d.value, before);

  FixedRef::Array2D array(&WideFixedType::legacy, 3, 4);
  FixedRef::VectorRef all;
  all.setReference(&array);
  FixedRef f(&WideFixedType::legacy, alloc);
  for (int i = 0; i < 12; ++i) {
    all.bindElem(f, i);
    f.setValue(i);
  }
  array.bindElem(f, 2, 3);
  EXPECT_TRUE(f.isEqual(11));
  EXPECT_THROW(all.bindElem(f, 12), std::out_of_range);

  VarFloatType half("half", 5, 10, true);
  VarFloatRef::Array2D floats(&half, 2, 1);
  VarFloatRef::VectorRef floatView;
  floatView.setReference(&floats.elements);
  VarFloatRef v(&half, alloc);
  floatView.bindElem(v, 1);
  EXPECT_EQ(v.value, floats.elements[1]);
  SingleRef::VectorRef copyOfView = SingleRef::VectorRef();
  EXPECT_EQ(copyOfView.get(), nullptr);
}

} // namespace

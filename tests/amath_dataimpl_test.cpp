#include "util/amath_dataimpl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <new>
#include <cmath>
#include <cstring>
#include <string>

// Every allocation of the process is counted: operator new here, GMP's and MPFR's through
// mp_set_memory_functions below.
namespace {
long gAllocations = 0;
void* countingMalloc(size_t n) {
  ++gAllocations;
  return std::malloc(n);
}
void* countingRealloc(void* p, size_t, size_t n) {
  ++gAllocations;
  return std::realloc(p, n);
}
void countingFree(void* p, size_t) { std::free(p); }
} // namespace
void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size == 0 ? 1 : size))
    return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

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

// A model step: temporaries of every kind, arithmetic that grows integers, pushes and pops
// on every stack, then resetAvailability. After the first step nothing is allocated.
TEST(SteadyState, ModelStepAllocatesNothingAfterWarmUp) {
  mp_set_memory_functions(countingMalloc, countingRealloc, countingFree);
  {
    util::TempVarAllocator alloc;
    WideTypedFormatVector ports(2);
    MPFR input;
    mpfr_init2(input.mValue, 24);
    long perStep[4] = {};
    for (int step = 0; step < 4; ++step) {
      const long before = gAllocations;
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
      perStep[step] = gAllocations - before;
    }
    EXPECT_GT(perStep[0], 0);
    EXPECT_EQ(perStep[1], 0);
    EXPECT_EQ(perStep[2], 0);
    EXPECT_EQ(perStep[3], 0);
    mpfr_clear(input.mValue);
  }
  mp_set_memory_functions(nullptr, nullptr, nullptr);
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

// What only the references themselves show: binding, stacks, aliasing, reports, allocation,
// and the queries no oracle reaches. Arithmetic, packing and conversions: tests/oracle.
#include "util/amath_dataimpl.h"

#include <gmock/gmock.h>
#include <gmpxx.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

#include "alloc_counter.h" // counts operator new, and GMP's and MPFR's once routed
#include "float_paths_check.h"

namespace {

using namespace simulation;
using float_paths::Floats;
using ::testing::ExitedWithCode;

// Exact, with the sign of zero; every NaN alike.
std::string show(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%a", v);
  return std::isnan(v) ? "nan" : text;
}

// References of every kind on one allocator, and the checks all kinds share.
class Refs : public ::testing::Test {
protected:
  static void put(FixedRef& r, double x) { r.setValue(static_cast<int>(x)); }
  static void put(DoubleRef& r, double x) { r.getRef() = x; }
  static void put(SingleRef& r, double x) { r.getRef() = static_cast<float>(x); }
  static void put(VarFloatRef& r, double x) { mpfr_set_d(r.getRef().mValue, x, MPFR_RNDN); }
  static double get(const FixedRef& r) { return r.getSignedInt(); }
  static double get(const DoubleRef& r) { return r.getRef(); }
  static double get(const SingleRef& r) { return r.getRef(); }
  static double get(const VarFloatRef& r) { return mpfr_get_d(r.getRef().mValue, MPFR_RNDN); }

  // Pops, and bindings by depth from the top; `inPlace`: bindStack binds rather than copies.
  template <typename Ref> void checkStack(Ref& r, Ref& other, bool inPlace) {
    EXPECT_EQ(r.pop(false) + r.bindStack(0), -2);
    for (int x : {1, 2}) {
      put(r, x);
      r.push();
    }
    EXPECT_EQ(other.bindStack(2) + other.bindStack(-1) + 10 * other.bindStack(1), -2);
    put(other, 5); // on the first value pushed
    put(r, 7);
    EXPECT_EQ(r.pop(true), 0); // drops 2, keeps 7
    EXPECT_EQ(get(r), 7);
    EXPECT_EQ(r.pop(false) + r.pop(false), -1);
    EXPECT_EQ(get(r), inPlace ? 5 : 1);
  }
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports{2};
  VarFloatType single{"single-like", 8, 23, true};
  FixedRef d{&WideFixedType::legacy, alloc}, a{&WideFixedType::legacy, alloc},
      b{&WideFixedType::legacy, alloc};
  DoubleRef dd{&SysDoubleType::builtIn, alloc}, da{&SysDoubleType::builtIn, alloc},
      db{&SysDoubleType::builtIn, alloc};
  SingleRef s{&SysSingleType::builtIn, alloc}, sa{&SysSingleType::builtIn, alloc};
  VarFloatRef v{&single, alloc}, va{&single, alloc};
  VarFloatType doubleLike{"double-like", 11, 52, true};
  VarFloatRef w{&doubleLike, alloc};
};

// Every restriction of the references: the statement and its report's message (or condition).
TEST_F(Refs, RestrictionsEndTheProcessWithTheirReport) {
  a.setValue(-1);
  mpfr_set_ui_2exp(v.getRef().mValue, 1, mpfr_exp_t(1) << 25, MPFR_RNDN);
  mpfr_t x;
  mpfr_init2(x, 12);
  mpz_t out;
  mpz_init(out);
  const auto pack = [&](int wE, int wF) {
    VarFloatPackerDefault::instance.packBits(x, wE, wF, out);
  };
  const char *division = "Division by zero in fixed-point simulation.",
             *noFormat = "A width code of 0 describes no format.",
             *notFloat = "'tRep == TR_SP || tRep == TR_DP || tRep == TR_MPFR'",
             *otherPort = "Float port format differs from the value's format.";
  VarFloatType sixNine{"six-nine", 6, 9, true};
  const std::pair<std::function<void()>, const char*> rows[] = {
      {[&] { FixedRef(&SysDoubleType::builtIn, alloc); }, "'vType->getImpl() == TR_MPZ'"},
      {[&] { SingleRef(&single, alloc); }, "'vType->getImpl() == TR_SP'"}, // MPFR-backed
      {[&] { VarFloatRef(&WideFixedType::legacy, alloc); }, notFloat},
      {[] { VarFloatRef::Array2D(&WideFixedType::legacy, 1, 1); }, notFloat},
      {[] { DoubleRef::Array2D(&SysDoubleType::builtIn, 65536, 65536); },
       "Array has more elements than 32-bit indexing allows."},
      {[&] { d.setDiv(a, b, false); }, division},
      {[&] { d.setSqrt(a); }, "Square root of a negative fixed-point value."},
      {[&] { d.setValue(v); }, "Float value too large for a fixed-point integer."},
      {[&] { d.setScaleDouble(a, -INFINITY); }, "Scale factor must be a finite number."},
      {[&] { d.setDouble(1, (1 << 24) + 1); }, "Too many fraction bits for a fixed-point value."},
      {[&] { a.toString(63); }, "Base outside the range GMP can print."},
      {[&] { a.saturate(0); }, noFormat},
      {[&] {
         VariableRef r;
         r.bindIO(ports[1]), r.setError(1, 0);
       },
       noFormat},
      {[&] { v.restrictRegular(0, 1, false); }, "Exponent width must be at least 1."},
      {[&] { pack(31, 10); }, "Unsupported float format for bit packing."},
      {[&] { pack(5, 10); }, "Float value is wider than the port format."},
      {[&] { VarFloatPackerDefault::instance.unpackBits(x, &ports[0]); }, notFloat},
      {[] { FixedRef::Array2D(&SysDoubleType::builtIn, 1, 1); }, "'vType->getImpl() == TR_MPZ'"},
      {[] { DoubleRef::Array2D(&SysSingleType::builtIn, 1, 1); }, "'vType->getImpl() == TR_DP'"},
      {[] { SingleRef::Array2D(&WideFixedType::legacy, 1, 1); }, "'vType->getImpl() == TR_SP'"},
      // The single (and double) packer writes and reads only ports of its own format.
      {[&] { ports[0].setVarType(&sixNine), v.bindIO(ports[0]), v.write(); }, otherPort},
      {[&] { ports[0].setVarType(&sixNine), v.bindIO(ports[0]), v.read(); }, otherPort},
      {[&] { ports[0].setVarType(&single), w.bindIO(ports[0]), w.write(); }, otherPort}};
  mpfr_set_ui(x, 1, MPFR_RNDN);
  for (const auto& [statement, text] : rows)
    EXPECT_EXIT(statement(), ExitedWithCode(100), ::testing::HasSubstr(text + std::string(" [")))
        << text;
  mpfr_set_prec(x, 4); // a narrower value is widened exactly
  mpfr_set_d(x, 1.5, MPFR_RNDN);
  pack(5, 10);
  EXPECT_EQ(mpz_get_ui(out), 0x3E00u);
  mpz_clear(out);
  mpfr_clear(x);
}

TEST_F(Refs, BindingRedirectsEveryOperationAndStacksBindByDepth) {
  BIGNUM_SetLong(ports[0], 40);
  a.bindIO(ports[0]);
  d.bind(a); // shares the port's storage
  d.setAdd(a, a);
  MPZ external;
  mpz_init_set_si(external.mValue, 5);
  a.bind(external);
  a.setNeg(a);
  d.bindReset();
  d.setOne();
  EXPECT_EQ(std::make_tuple(BIGNUM_GetLong(ports[0]), mpz_get_si(external.mValue), get(d)),
            std::make_tuple(80L, -5L, 1.0));
  mpz_clear(external.mValue);
  a.bindReset();
  EXPECT_TRUE(a.io == nullptr && a.value == a.own);
  a.setValue(-5);
  a.setScaleDouble(a, 0.5); // in place, halves away from zero
  EXPECT_EQ(get(a), -3);
  checkStack(d, a, true);
  checkStack(dd, da, true);
  checkStack(s, sa, true);
  checkStack(v, va, false);
}

TEST_F(Refs, PredicatesAndQueriesOfEveryKindAgreeWithTheHost) {
  // The comparisons are the oracle's and the fast-path test's; here the sign and zero tests.
  for (double x : {-2.0, -0.0, 3.0, double(NAN)}) {
    put(v, x);
    EXPECT_EQ(v.getSgn(), (x > 0) - (x < 0)) << x;
    EXPECT_EQ(v.isZero(), x == 0) << x;
    a.setValue(static_cast<int>(x == x ? x : 0));
    EXPECT_EQ(a.getSgn(), (x > 0) - (x < 0)) << x;
  }
  EXPECT_TRUE(a.isZero());
  // Classes, getILogB and setFracExp against the host's (a NaN's sign is MPFR's own).
  for (double x : {1.0, 0.75, -12.0, 0x1p30, -0.0, -HUGE_VAL, std::nan("")}) {
    int e = 0;
    const double f = std::frexp(x, &e);
    put(va, x);
    const int exponent = v.setFracExp(va);
    EXPECT_EQ(std::make_tuple(va.getILogB(), exponent, show(get(v)), va.isNaN(), va.isInf(),
                              va.getSignBit() || va.isNaN()),
              std::make_tuple(std::ilogb(x), e, show(f), std::isnan(x), std::isinf(x),
                              std::signbit(x) || std::isnan(x)));
  }
  a.setValue(-5); // the fixed-point overloads for plain integers
  EXPECT_EQ(std::vector<long>({a.lessThan(-4), a.lessThan(-5), a.isEqual(-5), a.isEqual(-5l),
                               a.isEqual(-5ll), a.compare(-6) > 0, a.compare(INT_MIN) > 0,
                               a.getUnsignedInt()}),
            std::vector<long>({1, 0, 1, 1, 1, 1, 1, 5}));
  a.setValue(-255); // the sign extends forever
  EXPECT_TRUE(a.testBit(1000) && a.testBit(8) && !a.testBit(1) && !a.isNaN());
  EXPECT_EQ(a.toString(16) + a.toString(-16) + a.toString(-2) + a.toString(62) + a.toString(-36),
            "-ff-FF-11111111-47-73");
  VarFloatType quad("quad", 15, 112, true); // just below 2^10, beyond a double's precision
  VarFloatRef q(&quad, alloc), fraction(&quad, alloc);
  mpfr_set_ui_2exp(q.getRef().mValue, 1, 10, MPFR_RNDN);
  mpfr_nextbelow(q.getRef().mValue);
  EXPECT_EQ(q.getILogB() + fraction.setFracExp(q), 19);
  EXPECT_LT(mpfr_cmp_d(fraction.getRef().mValue, 1.0), 0);
}

// Unpacking keeps to MPFR's current exponent range: 1.0 (exponent 1) overflows a range up to 0.
TEST(Packing, UnpackingKeepsToMpfrsCurrentExponentRange) {
  mpfr_t x;
  mpz_t in;
  mpfr_init2(x, 11), mpz_init_set_ui(in, 0x3C00);
  mpfr_set_emax(0), mpfr_clear_flags();
  VarFloatPackerDefault::instance.unpackBits(x, 5, 10, in);
  EXPECT_TRUE(mpfr_inf_p(x) && mpfr_overflow_p());
  mpfr_set_emax(mpfr_get_emax_max());
  mpfr_clear(x), mpz_clear(in);
}

// A host range that cannot hold the format's subnormals: results keep their 11 bits, and one
// below the range is MPFR's own underflow, never a value outside it.
TEST(GradualUnderflow, AHostRangeWithoutTheSubnormalsLeavesResultsToMpfr) {
  const mpfr_exp_t emin = mpfr_get_emin();
  VarFloatType half("half", 5, 10, true);
  half.setGradualUnderflow(true);
  for (const auto& [hostMin, product] : {std::pair{-20L, 0x1.004p-16}, {-5L, 0.0}}) {
    mpfr_set_emin(hostMin);
    util::TempVarAllocator alloc;
    VarFloatRef a(&half, alloc), b(&half, alloc), d(&half, alloc);
    mpfr_set_d(a.getRef().mValue, hostMin < -5 ? 0x1.004p-15 : 0x1p-4, MPFR_RNDN);
    mpfr_set_d(b.getRef().mValue, hostMin < -5 ? 0.5 : 0x1p-4, MPFR_RNDN);
    d.setMult(a, b);
    EXPECT_EQ(mpfr_get_d(d.getRef().mValue, MPFR_RNDN), product) << hostMin;
    mpfr_set_emin(emin);
  }
}

// The limits of every width code are checked against tests/oracle; here the contracts around.
TEST_F(Refs, SaturateAndSetErrorWriteTheLimitIntoBoundPortsOnly) {
  b.setValue(256);
  EXPECT_EQ(std::make_pair(b.saturate(8), get(b)), std::make_pair(1, 256.0)); // unbound: kept
  a.bindIO(ports[0]); // every bit of a huge value counts
  for (int sign : {1, -1}) {
    a.setOne();
    a.setLdExp(a, 70000);
    if (sign < 0)
      a.setAdd(a, 1); // -(2^70000) - 1: its only zero bit is bit 70000
    a.setScaleDouble(a, sign);
    EXPECT_EQ(a.saturate(sign * 8), sign);
    EXPECT_EQ(BIGNUM_GetLong(ports[0]), sign < 0 ? -128 : 255);
  }
  a.setLdExp(a, 69993); // -2^70000 fits signed 70001 bits, not 70000
  EXPECT_EQ(a.saturate(-70001) * 10 + a.saturate(-70000), -1);
  VariableRef ref;
  ref.setError(1, 8); // unbound: nothing happens
  ref.bindIO(ports[1]);
  const std::tuple<int, int, long> rows[] = {
      {-8, 1, 127}, {-8, -1, -128}, {8, -1, 0}, {8, 0, 255}, {-64, -1, LONG_MIN}};
  for (const auto& [code, direction, limit] : rows) {
    ref.setError(direction, code);
    EXPECT_EQ(BIGNUM_GetLong(ports[1]), limit) << code << " " << direction;
  }
  EXPECT_EQ(ref.saturate(8), 0); // an untyped reference never reports
}

// x * 2^bits to the nearest integer, halves away from zero; back to the nearest double.
TEST_F(Refs, FixedDoublesScaleByTheirFractionBits) {
  const struct {
    double x, integer;
    int bits;
  } rows[] = {{3.14159, 804, 8}, {-2.5, -3, 0}, {0x1p-9, 1, 8},
              {0x1p-10, 0, 8},   {6, 2, -2},    {0x1.8p+60, 0x1.8p+100, 40}};
  for (const auto& row : rows) {
    SCOPED_TRACE(show(row.x) + " with " + std::to_string(row.bits));
    EXPECT_EQ(d.setDouble(row.x, row.bits), 0);
    EXPECT_EQ(d.toDouble(0), row.integer);
  }
  EXPECT_EQ(d.setDouble(-INFINITY, 8), -1);
  EXPECT_EQ(d.setDouble(NAN, 8), 1);
  EXPECT_EQ(d.toDouble(0), 0x1.8p+100);          // left alone
  mpz_set_str(d.getRef(), "40000000000003", 16); // 2^54 + 3
  EXPECT_EQ(d.toDouble(0), 0x1p54 + 4);          // to nearest, where GMP's conversion truncates
}

// A (5,10) value keeps 11 bits, ties to even. Only writeDouble and readDouble touch the port.
// Texts: decimal, "%a" form, the stored bits.
TEST_F(Refs, VarFloatDoublesReachThePortInOneCallAndDebugTextsShowEveryForm) {
  VarFloatType half("half", 5, 10, false), wide("wide", 15, 63, false);
  ports[0].setVarType(&half);
  VarFloatRef h(&half, alloc), x(&wide, alloc);
  h.bindIO(ports[0]);
  h.setDouble(1 + 0x1p-11);
  EXPECT_EQ(h.toDouble(), 1.0);
  EXPECT_EQ(BIGNUM_GetLong(ports[0]), 0);
  x.setDouble(0.1);
  EXPECT_EQ(x.debugText(), "0.100000000000000005551 (0x1.999999999999ap-4)");
  h.writeDouble(65504);
  EXPECT_EQ(h.debugText(), "65504 (0x1.ffcp+15) port 0x7bff");
  h.writeDouble(0x1p-14);
  EXPECT_EQ(h.debugText(), "6.1035e-05 (0x1p-14) port 0x0400");
  h.setDouble(-1);
  EXPECT_EQ(h.readDouble(), 0x1p-14);
  d.setValue(-804);
  EXPECT_EQ(d.debugText(20), "-0.000766754150390625 (-0x1.92p-11) raw -0x324");
  d.bindIO(ports[1]);
  EXPECT_EQ(d.debugText(0), "0 (0x0p+0) port 0x0");
}

// A model step builds its references afresh, takes temporaries of every kind, grows integers
// over several limbs, pushes and pops on every stack, packs and unpacks float ports of four
// formats (subnormals rounded), then resets the allocator. Only the first step may allocate.
TEST(SteadyState, ModelStepAllocatesNothingAfterWarmUp) {
  VarFloatPacker::flushSubnormalsToZero(false);
  VarFloatType formats[] = {
      {"h", 5, 10, true}, {"s", 8, 23, true}, {"d", 11, 52, true}, {"q", 15, 112, true}};
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports(9);
  for (int i = 0; i < 8; ++i)
    ports[i + 1].setVarType(&formats[i / 2]);
  std::vector<long> counts(4);
  alloc_counter::install();
  for (int step = 0; step < 4; ++step) {
    const long before = alloc_counter::count;
    FixedRef x(&WideFixedType::legacy, alloc), acc(&WideFixedType::legacy, alloc);
    x.bindIO(ports[0]);
    x.setValue(3); // same magnitudes every step: integers need no more limbs
    acc.setOne();
    for (int k = 0; k < 6; ++k) { // up to 3^6 * 2^(64k): several limbs
      acc.setMult(acc, x);
      acc.setLdExp(acc, 64);
    }
    acc.push(), acc.pop(false);
    acc.setScaleDouble(acc, -1.0 / 3.0);
    acc.saturate(-16);
    x.bindReset();
    for (int i = 0; i < 4; ++i) {
      VarFloatRef in(&formats[i], alloc), out(&formats[i], alloc);
      in.bindIO(ports[2 * i + 1]);
      mpfr_set_d(in.getRef().mValue, -1.0 / 3.0, MPFR_RNDN);
      in.write();
      in.read();
      in.push();
      out.bindIO(ports[2 * i + 2]);
      out.setLdExp(in, -(1 << (4 + 2 * i)) - 3); // deep in the subnormal range
      out.write();
      out.read();
      out.setMod(in, in);
    }
    alloc.resetAvailability();
    counts[step] = alloc_counter::count - before;
  }
  mp_set_memory_functions(nullptr, nullptr, nullptr);
  VarFloatPacker::flushSubnormalsToZero(true);
  EXPECT_GT(counts[0], 0);
  EXPECT_EQ(std::vector<long>(counts.begin() + 1, counts.end()), std::vector<long>(3, 0));
}

// wE = 8: regular exponents -126..127, or -127..128 extended; wE = 1, extended: 0..1. Bit 0 of the
// flags flushes below, bit 1 overflows above.
TEST_F(Refs, VarFloatRestrictRegularClampsBothEdges) {
  const double m126 = 0x1p-126, m127 = 0x1p-127, p128 = 0x1p128;
  const std::tuple<double, int, int, int, double> rows[] = {
      // x, wE, flags, extended, result
      {m127, 8, 1, 0, 0.0},          {-m127, 8, 1, 0, -0.0},      {m126, 8, 1, 0, m126},
      {m127, 8, 1, 1, m127},         {m127 / 2, 8, 1, 1, 0.0},    {p128, 8, 2, 0, HUGE_VAL},
      {-p128, 8, 2, 0, -HUGE_VAL},   {0x3p126, 8, 2, 0, 0x3p126}, {p128, 8, 2, 1, p128},
      {p128 * 2, 8, 2, 1, HUGE_VAL}, {p128, 8, 1, 0, p128},       {m127 / 4, 8, 2, 0, m127 / 4},
      {m127 / 4, 8, 0, 0, m127 / 4}, {NAN, 8, 3, 0, NAN},         {-0.0, 8, 3, 0, -0.0},
      {1.5, 1, 3, 1, 1.5},           {0.5, 1, 3, 1, 0.0},         {4.0, 1, 3, 1, HUGE_VAL}};
  for (const auto& [x, wE, flags, extended, expected] : rows) {
    put(va, x);
    va.restrictRegular(wE, flags, extended);
    EXPECT_EQ(show(get(va)), show(expected)) << show(x) << " " << wE << " " << flags;
  }
}

// Copies duplicate every element (var-float values too, each released once: ASan checks);
// moves take them over, except for var-floats, which copy. Vector views bind row-major.
TEST_F(Refs, ArraysCopyDeeplyMoveAndBindWithBoundsChecks) {
  FixedRef::Array2D first(&WideFixedType::legacy, 3, 4), other(&WideFixedType::legacy, 1, 1);
  first.bindElem(d, 2, 3);
  d.setValue(-9);
  FixedRef::Array2D copy(first);
  d.setValue(5);
  FixedRef::Array2D moved(std::move(copy));
  other = std::move(moved);
  other.bindElem(a, 2, 3);
  EXPECT_TRUE(copy.elements.empty() && moved.elements.empty() && a.isEqual(-9));
  other = first;
  other.bindElem(a, 2, 3);
  EXPECT_TRUE(other.columns == 4u && a.isEqual(5));
  FixedRef::VectorRef none, all(&first.elements);
  EXPECT_THROW(none.bindElem(d, 0), std::out_of_range);
  none.setReference(&first);
  none.bindElem(b, 11);
  EXPECT_THROW(all.bindElem(d, 12), std::out_of_range);
  EXPECT_THROW(all.bindElem(d, -1), std::out_of_range);
  EXPECT_TRUE(b.value == &first.elements[11].mValue && b.isEqual(5));
  VarFloatType half("half", 5, 10, true);
  VarFloatRef::Array2D floats(&half, 1, 2);
  floats.setElem(0, 1, 0.1);
  VarFloatRef::Array2D floatCopy(floats), floatMoved(std::move(floatCopy));
  for (const VarFloatRef::Array2D* array : {&floats, &floatCopy, &floatMoved}) {
    mpfr_srcptr zero = array->elements.at(0)->mValue, tenth = array->elements.at(1)->mValue;
    EXPECT_TRUE(array == &floats || tenth != floats.elements[1]->mValue); // values of its own
    EXPECT_EQ(mpfr_get_d(tenth, MPFR_RNDN), 0.0999755859375);             // 0.1 at 11 bits
    EXPECT_TRUE(mpfr_get_prec(zero) == 11 && mpfr_zero_p(zero) && !mpfr_signbit(zero));
  }
}

// ---------------------------------------------------------------------------------------------
// The inline float paths against the plain MPFR calls, on the same operands. (The fixed-point
// ones are the oracle's: every case there runs into a fresh, a roomy and the same destination.)

TEST(FastPaths, FloatsAreMpfrsToTheBitAndSignOfZero) {
  VarFloatType type("any", 8, 23, true);
  util::TempVarAllocator alloc;
  VarFloatRef d(&type, alloc), a(&type, alloc), b(&type, alloc);
  auto expectSame = [](int got, int expected, int gotRange, int expectedRange, const char* text) {
    SCOPED_TRACE(text);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(gotRange, expectedRange);
  };
  // Every pair of a 4-bit format over exponents -7..8, with the specials.
  {
    std::vector<std::unique_ptr<Floats>> all;
    for (int e = -7; e <= 8; ++e)
      for (unsigned long m = 8; m < 16; ++m)
        for (int sign : {1, -1}) {
          all.push_back(std::make_unique<Floats>(4, 4, 4));
          mpfr_set_si_2exp(all.back()->values[0].mValue, sign * long(m), e - 4, MPFR_RNDN);
        }
    for (int special = 0; special < 5; ++special) {
      all.push_back(std::make_unique<Floats>(4, 4, 4));
      mpfr_ptr v = all.back()->values[0].mValue;
      special < 2   ? mpfr_set_zero(v, special ? -1 : 1)
      : special < 4 ? mpfr_set_inf(v, special == 2 ? -1 : 1)
                    : mpfr_set_nan(v);
    }
    for (const auto& x : all)
      for (const auto& y : all)
        float_paths::checkAll(d, a, b, x->values[0].mValue, y->values[0].mValue, 4,
                              static_cast<int>(mpfr_get_exp(y->values[0].mValue) % 5), expectSame);
  }
  std::mt19937_64 rng(2026);
  for (int round = 0; round < 30000; ++round)
    float_paths::randomCase(rng, alloc, d, a, b, expectSame);
}

} // namespace

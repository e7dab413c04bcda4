// The references through which generated models compute: fixed, IEEE and any-format floats.
#ifndef LOOM_UTIL_AMATH_DATAIMPL_H
#define LOOM_UTIL_AMATH_DATAIMPL_H

#include "util/amath.h"
#include "util/assert_handler.h"
#include "util/export.h"
#include "util/fixed_limbs.h"
#include "util/float_limb.h"
#include "util/temp_var_allocator.h"
#include "util/var_types.h"

#include <gmp.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

// References through which generated simulation models read, compute and write every
// variable. A reference points at storage (its own temporary, a port's value, a stack slot,
// another reference's storage) and offers one operation per generated statement:
//
//   util::TempVarAllocator alloc;
//   FixedRef a(&WideFixedType::legacy, alloc), b(&WideFixedType::legacy, alloc);
//   a.bindIO(ports[0]);   // works on the port's integer in place
//   b.setAdd(a, 3);       // b = a + 3
//   b.saturate(-12);      // clamp check against a signed 12-bit range
//
// Width codes: w > 0 is an unsigned format of w bits, w <= 0 a signed format of -w bits (so
// 8 is 0..255 and -8 is -128..127). Code 0 describes no format and is refused.

namespace simulation {

class LOOM_UTIL_API VariableRef {
public:
  VariableRef() = default;

  void bindIO(WideTypedFormat& port) { io = &port; }
  void restrictRegular(int, int, bool) {}
  int saturate(int) { return 0; }

  // Writes the limit of the width code on the side `direction` names (negative: the lower
  // limit, otherwise the upper) into the bound port; nothing when no port is bound.
  void setError(int direction, int widthCode);

  WideTypedFormat* io = nullptr; // the bound port, or null
};

namespace detail {
// Magnitude bits of a width code: w for unsigned, ~w (that is -w - 1) for signed.
inline unsigned long rangeBits(int widthCode) {
  return static_cast<unsigned long>(widthCode > 0 ? widthCode : ~widthCode);
}
LOOM_UTIL_API void checkWidthCode(int widthCode);
// Refuses a missing type, or one whose values are not held as `repr`.
LOOM_UTIL_API void refuseType(const VarType* vType, TypeRepr repr);
inline void checkType(const VarType* vType, TypeRepr repr) {
  if (!LOOM_LIKELY(vType != nullptr && vType->getImpl() == repr))
    refuseType(vType, repr);
}
// The format of a var-float type (single and double ones included).
inline const VarFloatType& checkFloatType(const VarType* vType) {
  const TypeRepr repr = vType != nullptr ? vType->getImpl() : TR_MPZ;
  if (!LOOM_LIKELY(repr != TR_MPZ))
    refuseType(vType, TR_MPFR);
  return *static_cast<const VarFloatType*>(vType);
}
// port = the lower (direction < 0) or upper limit of the format.
LOOM_UTIL_API void setLimit(mpz_ptr port, int direction, int widthCode);
} // namespace detail

class SingleRef;
class DoubleRef;
class VarFloatRef;

namespace detail {
template <typename Ref, typename Element> class RefArray2D;
template <typename Ref, typename Element> class RefVector;
} // namespace detail

// A fixed-point variable held as a GMP integer: the value scaled by its binary point. Members
// work on the storage `value` points at: inline on values of up to two limbs, through GMP on
// wider ones.
class LOOM_UTIL_API FixedRef : public VariableRef {
public:
  // Construction is a type check and a temporary from the allocator, inline: a model builds
  // its references in every step.
  FixedRef(VarType* vType, util::TempVarAllocator& alloc)
      : value(alloc.getTempFixed()), own(value), allocator(&alloc) {
    detail::checkType(vType, TR_MPZ);
  }

  // Binding: each is one pointer store.
  void bind(MPZ& storage) { value = &storage.mValue; }
  void bind(mpz_t& storage) { value = &storage; }
  void bind(FixedRef& other) { value = other.value; }
  void bindIO(WideTypedFormat& port) {
    io = &port;
    value = &port.mData;
  }
  void bindReset() {
    value = own;
    io = nullptr;
  }
  // Works on a slot of the value stack (0 is the top) in place; -1 when there is none.
  int bindStack(int depth);

  mpz_t& getRef() { return *value; }
  const mpz_t& getRef() const { return *value; }

  // A fixed reference bound to a port already works on it in place.
  void read() {}
  void write() {}

  void push() { mpz_set(allocator->getStackFixed()->pushSlot()->mValue, *value); }
  // -1 on an empty stack; otherwise 0, the old top copied into the value unless discarded.
  int pop(bool discard);

  int setValue(FixedRef& a) {
    mpz_set(*value, *a.value);
    return 0;
  }
  int setValue(int n) {
    mpz_set_si(*value, n);
    return 0;
  }
  // From a float kind: rounded to the nearest integer. From single and double, halves go
  // away from zero, and infinities and NaN leave the value alone and return -1 (negative) or
  // 1. From a var-float, ties go to even; infinities return -1 or 1 and NaN returns 0.
  inline int setValue(const DoubleRef& a);
  inline int setValue(const SingleRef& a);
  int setValue(const VarFloatRef& a);
  void setZero() { mpz_set_ui(*value, 0); }
  void setOne() { mpz_set_ui(*value, 1); }

  // Values of up to two limbs are computed inline (util/fixed_limbs.h), others by GMP.
  void setAdd(FixedRef& a, FixedRef& b) {
    if (!limbs::add(*value, *a.value, *b.value, false))
      mpz_add(*value, *a.value, *b.value);
  }
  void setSub(FixedRef& a, FixedRef& b) {
    if (!limbs::add(*value, *a.value, *b.value, true))
      mpz_sub(*value, *a.value, *b.value);
  }
  void setMult(FixedRef& a, FixedRef& b) {
    if (!limbs::mul(*value, *a.value, *b.value))
      mpz_mul(*value, *a.value, *b.value);
  }
  void setAdd(FixedRef& a, int n) { addWord(a, n < 0, magnitudeOf(n)); }
  void setAdd(FixedRef& a, unsigned long n) { addWord(a, false, n); }
  void setSub(FixedRef& a, int n) { addWord(a, n >= 0, magnitudeOf(n)); }
  void setSub(FixedRef& a, unsigned long n) { addWord(a, n != 0, n); }

  // Quotient rounded toward zero (truncate) or toward minus infinity. A zero divisor is an
  // internal restriction, not a crash inside GMP.
  void setDiv(FixedRef& a, FixedRef& b, bool truncate) {
    checkDivisor(b);
    if (truncate)
      mpz_tdiv_q(*value, *a.value, *b.value);
    else
      mpz_fdiv_q(*value, *a.value, *b.value);
  }
  // a mod b, never negative.
  void setMod(FixedRef& a, FixedRef& b) {
    checkDivisor(b);
    mpz_mod(*value, *a.value, *b.value);
  }
  // a - b when a >= b, else 0.
  void setDim(FixedRef& a, FixedRef& b) {
    if (a.compareTo(b) >= 0)
      setSub(a, b);
    else
      mpz_set_ui(*value, 0);
  }
  void setAbs(FixedRef& a) {
    if (!limbs::negAbs(*value, *a.value, false))
      mpz_abs(*value, *a.value);
  }
  void setNeg(FixedRef& a) {
    if (!limbs::negAbs(*value, *a.value, true))
      mpz_neg(*value, *a.value);
  }
  // Truncated integer square root; a negative argument is an internal restriction.
  void setSqrt(FixedRef& a);

  // Bitwise on the infinite two's-complement view.
  void setAnd(FixedRef& a, FixedRef& b) { mpz_and(*value, *a.value, *b.value); }
  void setOr(FixedRef& a, FixedRef& b) { mpz_ior(*value, *a.value, *b.value); }
  void setXor(FixedRef& a, FixedRef& b) { mpz_xor(*value, *a.value, *b.value); }
  // a with bits 0..n-1 inverted; a copy when n <= 0.
  void setNot(FixedRef& a, int n);
  // The n lowest bits of a, as a non-negative number.
  void maskLower(FixedRef& a, unsigned n) { mpz_fdiv_r_2exp(*value, *a.value, n); }
  // a with every bit from n up set: the sign extension of an n-bit negative pattern.
  void setUpper(FixedRef& a, unsigned n) {
    mpz_com(*value, *a.value);
    mpz_fdiv_r_2exp(*value, *value, n);
    mpz_com(*value, *value);
  }
  void setBit(unsigned n, bool on) {
    if (on)
      mpz_setbit(*value, n);
    else
      mpz_clrbit(*value, n);
  }
  bool testBit(unsigned n) const { return mpz_tstbit(*value, n) != 0; }
  // a * 2^n; for negative n, floor(a / 2^-n).
  void setLdExp(FixedRef& a, int n) {
    if (limbs::shift(*value, *a.value, n))
      return;
    if (n >= 0)
      mpz_mul_2exp(*value, *a.value, static_cast<mp_bitcnt_t>(n));
    else
      mpz_fdiv_q_2exp(*value, *a.value, 0ul - static_cast<mp_bitcnt_t>(n));
  }
  // The exact a * s rounded to the nearest integer, halves away from zero. A scale that is not
  // finite is an internal restriction.
  void setScaleDouble(FixedRef& a, double s);

  int compare(long n) const { return mpz_cmp_si(*value, n); }
  bool isEqual(FixedRef& a) const { return compareTo(a) == 0; }
  bool isEqual(int n) const { return mpz_cmp_si(*value, n) == 0; }
  bool isEqual(long long n) const { return mpz_cmp_si(*value, static_cast<long>(n)) == 0; }
  bool isEqual(long n) const { return mpz_cmp_si(*value, n) == 0; }
  bool isEqual(unsigned long long n) const {
    return mpz_cmp_ui(*value, static_cast<unsigned long>(n)) == 0;
  }
  bool isEqual(unsigned long n) const { return mpz_cmp_ui(*value, n) == 0; }
  bool lessThan(FixedRef& a) const { return compareTo(a) < 0; }
  bool lessEqual(FixedRef& a) const { return compareTo(a) <= 0; }
  bool greaterThan(FixedRef& a) const { return compareTo(a) > 0; }
  bool greaterEqual(FixedRef& a) const { return compareTo(a) >= 0; }
  bool lessThan(int n) const { return mpz_cmp_si(*value, n) < 0; }
  bool isZero() const { return mpz_sgn(*value) == 0; }
  bool isNaN() const { return false; }
  int getSgn() const { return mpz_sgn(*value); }
  int getSignedInt() const { return static_cast<int>(mpz_get_si(*value)); }
  // The low 32 bits of the magnitude.
  unsigned getUnsignedInt() const { return static_cast<unsigned>(mpz_getlimbn(*value, 0)); }

  // 0 when the value fits the width code; otherwise -1 (below) or 1 (above), and a bound port
  // is clamped to the limit passed. Every bit of the value is checked. A one-limb value inside
  // a range of at most 62 bits, the common case, is decided inline.
  int saturate(int widthCode) {
    const int size = (*value)->_mp_size;
    const mp_limb_t m = (*value)->_mp_d[0];
    if (LOOM_LIKELY(widthCode != 0 && static_cast<unsigned>(widthCode + 62) <= 124u &&
                    static_cast<unsigned>(size + 1) <= 2 && (m >> 62) == 0)) {
      const long v = static_cast<long>(limbs::signedLimb(m, size));
      const long top = 1L << detail::rangeBits(widthCode);
      if (v < top && v >= (widthCode > 0 ? 0 : -top))
        return 0;
    }
    return saturateAny(widthCode);
  }

  // Digits in the given base (2..62, or -36..-2 for upper-case letters), "-" first if negative.
  std::string toString(int base) const;

  // Test-bench conversions for a value with `fractionBits` bits below the binary point (the
  // generated code's own; negative counts scale up). The setter makes the value x * 2^bits
  // rounded to the nearest integer, halves away from zero; a bound reference works on its port
  // in place, so this drives the port. Like setValue(DoubleRef), infinities and NaN leave the
  // value alone and return -1 (negative) or 1; otherwise 0. More than 2^24 fraction bits is an
  // internal restriction: no hardware value is that wide.
  int setDouble(double x, int fractionBits);
  // The value * 2^-bits rounded once to the nearest double, ties to even (infinity or a zero of
  // the value's sign beyond the double range).
  double toDouble(int fractionBits) const;
  // For debugging: the exact value * 2^-bits in decimal (MPFR's "%Rg" with every digit it
  // needs), in parentheses the same in C's "%a" form, then "raw" (or "port", when bound to one)
  // and the integer in hexadecimal, "-" first if negative: 804 with 8 bits is
  // "3.140625 (0x1.92p+1) raw 0x324".
  std::string debugText(int fractionBits) const;

  mpz_t* value; // the storage every operation reads and writes
  mpz_t* own;   // this reference's temporary
  util::TempVarAllocator* allocator;

  using Array2D = detail::RefArray2D<FixedRef, MPZ>;
  using VectorRef = detail::RefVector<FixedRef, MPZ>;

private:
  int saturateAny(int widthCode);
  static unsigned long magnitudeOf(int n) {
    return n < 0 ? 0ul - static_cast<unsigned long>(n) : static_cast<unsigned long>(n);
  }
  // value = a + (negN ? -n : n)
  void addWord(FixedRef& a, bool negN, unsigned long n) {
    if (limbs::addWord(*value, *a.value, negN, n))
      return;
    if (negN)
      mpz_sub_ui(*value, *a.value, n);
    else
      mpz_add_ui(*value, *a.value, n);
  }
  // The sign of value - a.
  int compareTo(const FixedRef& a) const {
    bool done;
    const int c = limbs::compare(*value, *a.value, done);
    return done ? c : mpz_cmp(*value, *a.value);
  }
  static void checkDivisor(const FixedRef& b) {
    LOOM_ASSERT_MSG(mpz_sgn(*b.value) != 0, "Division by zero in fixed-point simulation.");
  }
};

// Native IEEE single and double variables, on the host's float and double. The arithmetic and
// the square root round once; the other functions are the C math library's, except DoubleRef's
// exp10 and hypot, which MPFR rounds correctly at 53 bits, and SingleRef's exp10, hypot, frexp,
// ldexp and scaling, which compute in double and are then narrowed to float. Only read and
// write go through the port codecs IEEE_Single and IEEE_Double.
class LOOM_UTIL_API DoubleRef : public VariableRef {
public:
  DoubleRef(VarType* vType, util::TempVarAllocator& alloc)
      : value(alloc.getTempDouble()), own(value), allocator(&alloc) {
    detail::checkType(vType, TR_DP);
  }

  void bind(double& storage) { value = &storage; }
  void bind(DoubleRef& other) { value = other.value; }
  void bindReset() {
    value = own;
    io = nullptr;
  }
  double& getRef() const { return *value; }
  void read() { *value = IEEE_Double(*io).mValue; }
  void write() { IEEE_Double(*value).Set(*io); }

  void push() { *allocator->getStackDouble()->pushSlot() = *value; }
  int pop(bool discard);
  int bindStack(int depth);

  // Bit 0 of flags flushes a subnormal to a zero of the same sign; nothing else applies.
  void restrictRegular(int wE, int flags, bool extended);

  bool isEqual(const DoubleRef& a) const { return *value == *a.value; }
  bool lessThan(const DoubleRef& a) const { return *value < *a.value; }
  bool lessEqual(const DoubleRef& a) const { return *value <= *a.value; }
  bool greaterThan(const DoubleRef& a) const { return *value > *a.value; }
  bool greaterEqual(const DoubleRef& a) const { return *value >= *a.value; }
  bool isZero() const { return *value == 0.0; }
  bool isInf() const { return std::isinf(*value); }
  bool isNaN() const { return std::isnan(*value); }
  int getSgn() const { return *value < 0.0 ? -1 : (*value > 0.0 ? 1 : 0); }
  bool getSignBit() const { return std::signbit(*value); }
  int getILogB() const { return std::ilogb(*value); }
  // The value becomes the fraction of src (magnitude in [0.5, 1), or 0); returns the exponent.
  int setFracExp(const DoubleRef& src) {
    int e = 0;
    *value = std::frexp(*src.value, &e);
    return e;
  }

  int setValue(const DoubleRef& a) {
    *value = *a.value;
    return 0;
  }
  inline int setValue(const SingleRef& a); // exact widening
  // GMP's conversion, truncating toward zero.
  int setValue(const FixedRef& a) {
    *value = mpz_get_d(*a.value);
    return 0;
  }
  inline int setValue(const VarFloatRef& a); // rounded to nearest
  void setZero() { *value = 0.0; }
  void setOne() { *value = 1.0; }
  void setPi() { *value = 3.141592653589793; }
  void setNaN() { *value = std::numeric_limits<double>::quiet_NaN(); }
  void setInf(bool negative) {
    *value = negative ? -std::numeric_limits<double>::infinity()
                      : std::numeric_limits<double>::infinity();
  }
  void setAdd(const DoubleRef& a, const DoubleRef& b) { *value = *a.value + *b.value; }
  void setSub(const DoubleRef& a, const DoubleRef& b) { *value = *a.value - *b.value; }
  void setMult(const DoubleRef& a, const DoubleRef& b) { *value = *a.value * *b.value; }
  void setDiv(const DoubleRef& a, const DoubleRef& b) { *value = *a.value / *b.value; }
  void setRecip(const DoubleRef& a) { *value = 1.0 / *a.value; }
  void setNeg(const DoubleRef& a) { *value = -*a.value; }
  void setAbs(const DoubleRef& a) { *value = std::fabs(*a.value); }
  void setSqrt(const DoubleRef& a) { *value = std::sqrt(*a.value); }
  void setCbrt(const DoubleRef& a) { *value = std::cbrt(*a.value); }
  void setExp(const DoubleRef& a) { *value = std::exp(*a.value); }
  void setExp2(const DoubleRef& a) { *value = std::exp2(*a.value); }
  void setExpm1(const DoubleRef& a) { *value = std::expm1(*a.value); }
  // 10^x correctly rounded, through MPFR at 53 bits.
  void setExp10(const DoubleRef& a);
  void setLog(const DoubleRef& a) { *value = std::log(*a.value); }
  void setLog2(const DoubleRef& a) { *value = std::log2(*a.value); }
  void setLog10(const DoubleRef& a) { *value = std::log10(*a.value); }
  void setLog1p(const DoubleRef& a) { *value = std::log1p(*a.value); }
  void setSin(const DoubleRef& a) { *value = std::sin(*a.value); }
  void setCos(const DoubleRef& a) { *value = std::cos(*a.value); }
  void setTan(const DoubleRef& a) { *value = std::tan(*a.value); }
  void setCot(const DoubleRef& a) { *value = 1.0 / std::tan(*a.value); }
  void setASin(const DoubleRef& a) { *value = std::asin(*a.value); }
  void setACos(const DoubleRef& a) { *value = std::acos(*a.value); }
  void setATan(const DoubleRef& a) { *value = std::atan(*a.value); }
  void setATan2(const DoubleRef& a, const DoubleRef& b) { *value = std::atan2(*a.value, *b.value); }
  // Correctly rounded, through MPFR at 53 bits.
  void setHypot(const DoubleRef& a, const DoubleRef& b);
  void setPow(const DoubleRef& a, const DoubleRef& b) { *value = std::pow(*a.value, *b.value); }
  void setDim(const DoubleRef& a, const DoubleRef& b) { *value = std::fdim(*a.value, *b.value); }
  // a - t * b with t = a / b truncated: the result has the sign of a.
  void setMod(const DoubleRef& a, const DoubleRef& b) {
    double t = *a.value / *b.value;
    t = t >= 0 ? std::floor(t) : std::ceil(t);
    *value = *a.value - t * *b.value;
  }
  void setFrac(const DoubleRef& a) { *value = std::fmod(*a.value, 1.0); }
  void setFloor(const DoubleRef& a) { *value = std::floor(*a.value); }
  void setCeil(const DoubleRef& a) { *value = std::ceil(*a.value); }
  void setTrunc(const DoubleRef& a) { *value = std::trunc(*a.value); }
  void setRint(const DoubleRef& a) { *value = std::rint(*a.value); }
  void setRound(const DoubleRef& a) { *value = std::round(*a.value); }
  void setLdExp(const DoubleRef& a, int n) { *value = std::ldexp(*a.value, n); }
  void setScaleDouble(const DoubleRef& a, double s) { *value = s * *a.value; }

  double* value;
  double* own;
  util::TempVarAllocator* allocator;

  using Array2D = detail::RefArray2D<DoubleRef, double>;
  using VectorRef = detail::RefVector<DoubleRef, double>;
};

class LOOM_UTIL_API SingleRef : public VariableRef {
public:
  SingleRef(VarType* vType, util::TempVarAllocator& alloc)
      : value(alloc.getTempSingle()), own(value), allocator(&alloc) {
    detail::checkType(vType, TR_SP);
  }

  void bind(float& storage) { value = &storage; }
  void bind(SingleRef& other) { value = other.value; }
  void bindReset() {
    value = own;
    io = nullptr;
  }
  float& getRef() const { return *value; }
  void read() { *value = IEEE_Single(*io).mValue; }
  void write() { IEEE_Single(*value).Set(*io); }

  void push() { *allocator->getStackSingle()->pushSlot() = *value; }
  int pop(bool discard);
  int bindStack(int depth);

  void restrictRegular(int wE, int flags, bool extended);
  // While IEEE_Single::subnormalsToZero is set, a value below FLT_MIN in magnitude becomes a
  // zero of its sign.
  void flushSubnormalsToZero() {
    if (IEEE_Single::subnormalsToZero && std::fabs(*value) < std::numeric_limits<float>::min())
      *value *= 0.0f;
  }

  bool isEqual(const SingleRef& a) const { return *value == *a.value; }
  bool lessThan(const SingleRef& a) const { return *value < *a.value; }
  bool lessEqual(const SingleRef& a) const { return *value <= *a.value; }
  bool greaterThan(const SingleRef& a) const { return *value > *a.value; }
  bool greaterEqual(const SingleRef& a) const { return *value >= *a.value; }
  bool isZero() const { return *value == 0.0f; }
  bool isInf() const { return std::isinf(*value); }
  bool isNaN() const { return std::isnan(*value); }
  int getSgn() const { return *value < 0.0f ? -1 : (*value > 0.0f ? 1 : 0); }
  bool getSignBit() const { return std::signbit(*value); }
  int getILogB() const { return std::ilogb(*value); }
  int setFracExp(const SingleRef& src) {
    int e = 0;
    *value = static_cast<float>(std::frexp(static_cast<double>(*src.value), &e));
    return e;
  }

  int setValue(const SingleRef& a) {
    *value = *a.value;
    return 0;
  }
  // Narrowed by the current rounding mode.
  int setValue(const DoubleRef& a) {
    *value = static_cast<float>(*a.value);
    return 0;
  }
  // GMP's truncating conversion to double, then narrowed.
  int setValue(const FixedRef& a) {
    *value = static_cast<float>(mpz_get_d(*a.value));
    return 0;
  }
  inline int setValue(const VarFloatRef& a); // to nearest double, then narrowed
  void setZero() { *value = 0.0f; }
  void setOne() { *value = 1.0f; }
  void setPi() { *value = 3.14159274f; }
  void setNaN() { *value = std::numeric_limits<float>::quiet_NaN(); }
  void setInf(bool negative) {
    *value =
        negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
  }
  void setAdd(const SingleRef& a, const SingleRef& b) { *value = *a.value + *b.value; }
  void setSub(const SingleRef& a, const SingleRef& b) { *value = *a.value - *b.value; }
  void setMult(const SingleRef& a, const SingleRef& b) { *value = *a.value * *b.value; }
  void setDiv(const SingleRef& a, const SingleRef& b) { *value = *a.value / *b.value; }
  void setRecip(const SingleRef& a) { *value = 1.0f / *a.value; }
  void setNeg(const SingleRef& a) { *value = -*a.value; }
  // x < 0 ? -x : x, so -0 and NaN keep their sign.
  void setAbs(const SingleRef& a) { *value = *a.value < 0.0f ? -*a.value : *a.value; }
  void setSqrt(const SingleRef& a) { *value = sqrtf(*a.value); }
  void setCbrt(const SingleRef& a) { *value = cbrtf(*a.value); }
  void setExp(const SingleRef& a) { *value = expf(*a.value); }
  void setExp2(const SingleRef& a) { *value = exp2f(*a.value); }
  void setExpm1(const SingleRef& a) { *value = expm1f(*a.value); }
  void setExp10(const SingleRef& a) {
    *value = static_cast<float>(std::exp(std::log(10.0) * static_cast<double>(*a.value)));
  }
  void setLog(const SingleRef& a) { *value = logf(*a.value); }
  void setLog2(const SingleRef& a) { *value = log2f(*a.value); }
  void setLog10(const SingleRef& a) { *value = log10f(*a.value); }
  void setLog1p(const SingleRef& a) { *value = log1pf(*a.value); }
  void setSin(const SingleRef& a) { *value = sinf(*a.value); }
  void setCos(const SingleRef& a) { *value = cosf(*a.value); }
  void setTan(const SingleRef& a) { *value = tanf(*a.value); }
  void setCot(const SingleRef& a) { *value = 1.0f / tanf(*a.value); }
  void setASin(const SingleRef& a) { *value = asinf(*a.value); }
  void setACos(const SingleRef& a) { *value = acosf(*a.value); }
  void setATan(const SingleRef& a) { *value = atanf(*a.value); }
  void setATan2(const SingleRef& a, const SingleRef& b) { *value = atan2f(*a.value, *b.value); }
  void setHypot(const SingleRef& a, const SingleRef& b) {
    *value = static_cast<float>(
        std::hypot(static_cast<double>(*a.value), static_cast<double>(*b.value)));
  }
  void setPow(const SingleRef& a, const SingleRef& b) { *value = powf(*a.value, *b.value); }
  void setDim(const SingleRef& a, const SingleRef& b) { *value = fdimf(*a.value, *b.value); }
  void setMod(const SingleRef& a, const SingleRef& b) {
    float t = *a.value / *b.value;
    t = t >= 0 ? floorf(t) : ceilf(t);
    *value = *a.value - t * *b.value;
  }
  void setFrac(const SingleRef& a) { *value = fmodf(*a.value, 1.0f); }
  void setFloor(const SingleRef& a) { *value = floorf(*a.value); }
  void setCeil(const SingleRef& a) { *value = ceilf(*a.value); }
  void setTrunc(const SingleRef& a) { *value = truncf(*a.value); }
  void setRint(const SingleRef& a) { *value = rintf(*a.value); }
  void setRound(const SingleRef& a) { *value = roundf(*a.value); }
  void setLdExp(const SingleRef& a, int n) {
    *value = static_cast<float>(std::ldexp(static_cast<double>(*a.value), n));
  }
  void setScaleDouble(const SingleRef& a, double s) {
    *value = static_cast<float>(static_cast<double>(*a.value) * s);
  }

  float* value;
  float* own;
  util::TempVarAllocator* allocator;

  using Array2D = detail::RefArray2D<SingleRef, float>;
  using VectorRef = detail::RefVector<SingleRef, float>;
};

inline int DoubleRef::setValue(const SingleRef& a) {
  *value = static_cast<double>(*a.value);
  return 0;
}

// Converts between MPFR values and the bit patterns of float ports. The default packer
// handles any format of wE (1..30) exponent and wF (>= 1) fraction bits laid out as IEEE
// does: fraction in bits 0..wF-1, biased exponent above it, sign on top. Written NaNs have
// sign and exponent all ones and fraction 3. Values must have precision wF + 1.
//
// The three packers are stateless; references share the one object of each kind.
class LOOM_UTIL_API VarFloatPacker {
public:
  constexpr VarFloatPacker() noexcept = default;
  virtual void packBits(mpfr_t x, WideTypedFormat* port) = 0;
  virtual void unpackBits(mpfr_t x, WideTypedFormat* port) = 0;

  // Sets this switch and those of IEEE_Single and IEEE_Double: while on (the default),
  // subnormals are packed and unpacked as signed zeros.
  static void flushSubnormalsToZero(bool on);

protected:
  ~VarFloatPacker() = default;
  static bool subnormalsToZero;
};

class LOOM_UTIL_API VarFloatPackerDefault : public VarFloatPacker {
public:
  constexpr VarFloatPackerDefault() noexcept = default;
  void packBits(mpfr_t x, WideTypedFormat* port) override;
  void unpackBits(mpfr_t x, WideTypedFormat* port) override;
  void packBits(mpfr_t x, int wE, int wF, mpz_t& out);
  void unpackBits(mpfr_t x, int wE, int wF, const mpz_t& in);

  static VarFloatPackerDefault instance;
};

// IEEE single ports through IEEE_Single (the value passes through double, then float).
class LOOM_UTIL_API VFPackerSingle : public VarFloatPacker {
public:
  constexpr VFPackerSingle() noexcept = default;
  void packBits(mpfr_t x, WideTypedFormat* port) override;
  void unpackBits(mpfr_t x, WideTypedFormat* port) override;

  static VFPackerSingle instance;
};

// IEEE double ports through IEEE_Double.
class LOOM_UTIL_API VFPackerDouble : public VarFloatPacker {
public:
  constexpr VFPackerDouble() noexcept = default;
  void packBits(mpfr_t x, WideTypedFormat* port) override;
  void unpackBits(mpfr_t x, WideTypedFormat* port) override;

  static VFPackerDouble instance;
};

// A float variable of any format, held as an MPFR value of precision wF + 1: every
// operation rounds once, to the format's significand. The exponent is clamped only where the
// generated code asks for it (restrictRegular). Ports hold the packed bit pattern.
class LOOM_UTIL_API VarFloatRef : public VariableRef {
public:
  VarFloatRef(VarType* type, util::TempVarAllocator& alloc)
      : value(nullptr), own(nullptr), allocator(&alloc), packer(nullptr), stackHandler(nullptr) {
    const VarFloatType& format = detail::checkFloatType(type);
    const int wE = format.getWE(), wF = format.getWF();
    value = own = alloc.getTempVarFloat(wF);
    if (wE == 8 && wF == 23)
      packer = &VFPackerSingle::instance;
    else if (wE == 11 && wF == 52)
      packer = &VFPackerDouble::instance;
    else
      packer = &VarFloatPackerDefault::instance;
    stackHandler = alloc.getVarFloatStackHandler(wF);
    limits = &alloc.floatRange();
    if (format.hasGradualUnderflow() && wE >= 2 && wE <= 62) {
      const mpfr_exp_t normalMin = 3 - (mpfr_exp_t(1) << (wE - 1)); // 2^(1 - bias)'s exponent
      limits = &alloc.gradualRange(normalMin, normalMin - wF);
    }
  }

  void bind(MPFR* storage) { value = storage; }
  void bind(VarFloatRef& other) { value = other.value; }
  void bindReset() {
    value = own;
    io = nullptr;
  }
  MPFR& getRef() const { return *value; }
  void read() { packer->unpackBits(value->mValue, io); }
  void write() { packer->packBits(value->mValue, io); }

  void push() { stackHandler->push(*value); }
  int pop(bool discard);
  // Copies the stack entry at depth (0 is the top) into the value; -1 when there is none.
  // The reference stays bound where it was.
  int bindStack(int depth);

  int setValue(const VarFloatRef& a) {
    finish(mpfr_set(x(), a.x(), MPFR_RNDN));
    return 0;
  }
  // Rounded once to this value's precision, to nearest.
  int setValue(const DoubleRef& a) {
    finish(mpfr_set_d(x(), *a.value, MPFR_RNDN));
    return 0;
  }
  // Test-bench conversions. setDouble and toDouble work on the value only: the double rounded
  // as setValue(DoubleRef) rounds it (once, to nearest, onto the subnormal step of a format
  // with gradual underflow), and the value rounded to the nearest double. writeDouble also packs
  // the value into the bound port (write) and readDouble first unpacks the port into the value
  // (read), so one call drives an input port or reads an output port back; both need a bound port.
  void setDouble(double d) { finish(mpfr_set_d(x(), d, MPFR_RNDN)); }
  double toDouble() const { return mpfr_get_d(x(), MPFR_RNDN); }
  void writeDouble(double d) {
    setDouble(d);
    write();
  }
  double readDouble() {
    read();
    return toDouble();
  }
  // For debugging: the value in decimal with as many digits as reading it back at its
  // precision needs (MPFR's "%Rg"), in parentheses the same in C's "%a" form ("nan", "inf",
  // "-0x0p+0" alike), and for a bound reference "port 0x" and the port's bit pattern, one hex
  // digit per four bits of its format: 3.140625 in a (5,10) port is
  // "3.1406 (0x1.92p+1) port 0x4248".
  std::string debugText() const;
  int setValue(const SingleRef& a) {
    finish(mpfr_set_d(x(), static_cast<double>(*a.value), MPFR_RNDN));
    return 0;
  }
  int setValue(const FixedRef& a) {
    finish(mpfr_set_z(x(), *a.value, MPFR_RNDN));
    return 0;
  }
  void setZero(bool negative) { mpfr_set_zero(x(), negative ? -1 : 1); }
  void setInf(bool negative) { mpfr_set_inf(x(), negative ? -1 : 1); }
  void setNaN() { mpfr_set_nan(x()); }
  void setOne() { finish(mpfr_set_d(x(), 1.0, MPFR_RNDN)); }
  void setPi() { finish(mpfr_const_pi(x(), MPFR_RNDN)); }
  // Sums, products, negation, |a|, scaling by 2^n and comparisons of values of at most 64
  // bits are computed inline (util/float_limb.h), the rest by MPFR; the values are MPFR's.
  void setAdd(const VarFloatRef& a, const VarFloatRef& b) {
    if (!flimb::add(x(), a.x(), b.x(), false, range()))
      finish(mpfr_add(x(), a.x(), b.x(), MPFR_RNDN));
  }
  void setSub(const VarFloatRef& a, const VarFloatRef& b) {
    if (!flimb::add(x(), a.x(), b.x(), true, range()))
      finish(mpfr_sub(x(), a.x(), b.x(), MPFR_RNDN));
  }
  void setMult(const VarFloatRef& a, const VarFloatRef& b) {
    if (!flimb::mul(x(), a.x(), b.x(), range()))
      finish(mpfr_mul(x(), a.x(), b.x(), MPFR_RNDN));
  }
  void setDiv(const VarFloatRef& a, const VarFloatRef& b) {
    finish(mpfr_div(x(), a.x(), b.x(), MPFR_RNDN));
  }
  void setDim(const VarFloatRef& a, const VarFloatRef& b) {
    finish(mpfr_dim(x(), a.x(), b.x(), MPFR_RNDN));
  }
  void setHypot(const VarFloatRef& a, const VarFloatRef& b) {
    finish(mpfr_hypot(x(), a.x(), b.x(), MPFR_RNDN));
  }
  void setATan2(const VarFloatRef& a, const VarFloatRef& b) {
    finish(mpfr_atan2(x(), a.x(), b.x(), MPFR_RNDN));
  }
  void setPow(const VarFloatRef& a, const VarFloatRef& b) {
    finish(mpfr_pow(x(), a.x(), b.x(), MPFR_RNDN));
  }
  void setPown(const VarFloatRef& a, int n) { finish(mpfr_pow_si(x(), a.x(), n, MPFR_RNDN)); }
  void setLdExp(const VarFloatRef& a, int n) {
    if (!flimb::ldexp(x(), a.x(), n, range()))
      finish(mpfr_mul_2si(x(), a.x(), n, MPFR_RNDN));
  }
  void setScaleDouble(const VarFloatRef& a, double s) {
    finish(mpfr_mul_d(x(), a.x(), s, MPFR_RNDN));
  }
  void setRecip(const VarFloatRef& a) { finish(mpfr_ui_div(x(), 1, a.x(), MPFR_RNDN)); }
  void setRecipSqrt(const VarFloatRef& a) { finish(mpfr_rec_sqrt(x(), a.x(), MPFR_RNDN)); }
  void setSqrt(const VarFloatRef& a) { finish(mpfr_sqrt(x(), a.x(), MPFR_RNDN)); }
  void setCbrt(const VarFloatRef& a) { finish(mpfr_cbrt(x(), a.x(), MPFR_RNDN)); }
  void setExp(const VarFloatRef& a) { finish(mpfr_exp(x(), a.x(), MPFR_RNDN)); }
  void setExp2(const VarFloatRef& a) { finish(mpfr_exp2(x(), a.x(), MPFR_RNDN)); }
  void setExp10(const VarFloatRef& a) { finish(mpfr_exp10(x(), a.x(), MPFR_RNDN)); }
  void setExpm1(const VarFloatRef& a) { finish(mpfr_expm1(x(), a.x(), MPFR_RNDN)); }
  void setLog(const VarFloatRef& a) { finish(mpfr_log(x(), a.x(), MPFR_RNDN)); }
  void setLog2(const VarFloatRef& a) { finish(mpfr_log2(x(), a.x(), MPFR_RNDN)); }
  void setLog10(const VarFloatRef& a) { finish(mpfr_log10(x(), a.x(), MPFR_RNDN)); }
  void setLog1p(const VarFloatRef& a) { finish(mpfr_log1p(x(), a.x(), MPFR_RNDN)); }
  void setSin(const VarFloatRef& a) { finish(mpfr_sin(x(), a.x(), MPFR_RNDN)); }
  void setCos(const VarFloatRef& a) { finish(mpfr_cos(x(), a.x(), MPFR_RNDN)); }
  void setTan(const VarFloatRef& a) { finish(mpfr_tan(x(), a.x(), MPFR_RNDN)); }
  void setCot(const VarFloatRef& a) { finish(mpfr_cot(x(), a.x(), MPFR_RNDN)); }
  void setASin(const VarFloatRef& a) { finish(mpfr_asin(x(), a.x(), MPFR_RNDN)); }
  void setACos(const VarFloatRef& a) { finish(mpfr_acos(x(), a.x(), MPFR_RNDN)); }
  void setATan(const VarFloatRef& a) { finish(mpfr_atan(x(), a.x(), MPFR_RNDN)); }
  void setNeg(const VarFloatRef& a) {
    if (!flimb::setSign(x(), a.x(), true, range()))
      finish(mpfr_neg(x(), a.x(), MPFR_RNDN));
  }
  // |a|, with the sign forced positive also for NaN.
  void setAbs(const VarFloatRef& a) {
    if (!flimb::setSign(x(), a.x(), false, range()))
      finish(mpfr_setsign(x(), a.x(), 0, MPFR_RNDN));
  }
  void setFrac(const VarFloatRef& a) { finish(mpfr_frac(x(), a.x(), MPFR_RNDN)); }
  void setRint(const VarFloatRef& a) { finish(mpfr_rint(x(), a.x(), MPFR_RNDN)); }
  void setRound(const VarFloatRef& a) { finish(mpfr_rint(x(), a.x(), MPFR_RNDNA)); }
  void setTrunc(const VarFloatRef& a) { finish(mpfr_rint(x(), a.x(), MPFR_RNDZ)); }
  void setCeil(const VarFloatRef& a) { finish(mpfr_rint(x(), a.x(), MPFR_RNDU)); }
  void setFloor(const VarFloatRef& a) { finish(mpfr_rint(x(), a.x(), MPFR_RNDD)); }
  // a - trunc(a / b) * b, the quotient and product rounded at a's precision.
  void setMod(const VarFloatRef& a, const VarFloatRef& b);
  // The value becomes a / 2^e with magnitude in [0.5, 1); returns e. Zero, NaN and infinity
  // are copied and give 0.
  int setFracExp(const VarFloatRef& a);

  bool isEqual(const VarFloatRef& a) const {
    bool done;
    const int c = flimb::compare(x(), a.x(), done);
    return done ? c == 0 : mpfr_equal_p(x(), a.x()) != 0;
  }
  bool lessThan(const VarFloatRef& a) const {
    bool done;
    const int c = flimb::compare(x(), a.x(), done);
    return done ? c < 0 : mpfr_less_p(x(), a.x()) != 0;
  }
  bool lessEqual(const VarFloatRef& a) const {
    bool done;
    const int c = flimb::compare(x(), a.x(), done);
    return done ? c <= 0 : mpfr_lessequal_p(x(), a.x()) != 0;
  }
  bool greaterThan(const VarFloatRef& a) const {
    bool done;
    const int c = flimb::compare(x(), a.x(), done);
    return done ? c > 0 : mpfr_greater_p(x(), a.x()) != 0;
  }
  bool greaterEqual(const VarFloatRef& a) const {
    bool done;
    const int c = flimb::compare(x(), a.x(), done);
    return done ? c >= 0 : mpfr_greaterequal_p(x(), a.x()) != 0;
  }
  bool isZero() const { return mpfr_zero_p(x()) != 0; }
  // Value +1/2 (sign >= 0) or -1/2 (sign <= 0). NaN is neither, but still raises MPFR's
  // range-error flag as every comparison of a NaN does.
  bool isHalf(int sign) const;
  bool isInf() const { return mpfr_inf_p(x()) != 0; }
  bool isNaN() const { return mpfr_nan_p(x()) != 0; }
  // MPFR's sign test: zeros and NaN give 0, and NaN raises the range-error flag.
  int getSgn() const { return mpfr_sgn(x()); }
  bool getSignBit() const { return mpfr_signbit(x()) != 0; }
  // floor(log2 |x|); INT_MIN for zero and NaN, INT_MAX for infinities.
  int getILogB() const;
  // Significand bits below the binary point (precision - exponent); 0 for zero, NaN, infinity.
  int fracLength() const;
  // Clamps a regular value to the exponent range of a wE-bit field: bit 0 of flags flushes
  // values below it to signed zero, bit 1 turns values above it into signed infinity. With
  // `extended`, one more exponent is allowed at each end.
  void restrictRegular(int wE, int flags, bool extended) {
    if (!mpfr_regular_p(x()) || (flags & 3) == 0)
      return;
    LOOM_ASSERT_MSG(wE >= 1, "Exponent width must be at least 1.");
    if (wE > 62)
      return; // wider than MPFR's own exponent range: nothing to clamp
    const long h = 1l << (wE - 1);
    const long e = static_cast<long>(mpfr_get_exp(x())) - 1; // x = 1.f * 2^e
    if ((flags & 1) != 0 && e < (extended ? 1 - h : 2 - h))
      mpfr_set_zero(x(), mpfr_signbit(x()) ? -1 : 1);
    else if ((flags & 2) != 0 && e > (extended ? h : h - 1))
      mpfr_set_inf(x(), mpfr_signbit(x()) ? -1 : 1);
  }

  MPFR* value;
  MPFR* own;
  util::TempVarAllocator* allocator;
  VarFloatPacker* packer;
  util::VarFloatStackHandler* stackHandler;

  using Array2D = detail::RefArray2D<VarFloatRef, MPFR*>;
  using VectorRef = detail::RefVector<VarFloatRef, MPFR*>;

private:
  friend class FixedRef;
  friend class DoubleRef;
  friend class SingleRef;
  mpfr_ptr x() const { return value->mValue; }
  const flimb::ExponentRange& range() const { return *limits; }
  // After an MPFR call into the value that returned `ternary`: with gradual underflow, a result
  // below the normal range is rounded once more onto the subnormal step; the ternary value says
  // on which side of the exact result the first rounding fell, so that the two give the one
  // rounding of the exact result (no double rounding).
  void finish(int ternary) {
    if (LOOM_UNLIKELY(limits->subnormal != flimb::kNoSubnormals))
      subnormalize(ternary);
  }
  void subnormalize(int ternary);

  const flimb::ExponentRange* limits; // of the inline operations' results, with the subnormals
};

// ---------------------------------------------------------------------------------------------
// Conversions between kinds that need every class complete

inline int FixedRef::setValue(const DoubleRef& a) {
  const double v = *a.value;
  if (!std::isfinite(v))
    return v < 0 ? -1 : 1;
  mpz_set_d(*value, std::round(v));
  return 0;
}

inline int FixedRef::setValue(const SingleRef& a) {
  const float v = *a.value;
  if (!std::isfinite(v))
    return v < 0 ? -1 : 1;
  mpz_set_d(*value, static_cast<double>(roundf(v)));
  return 0;
}

inline int DoubleRef::setValue(const VarFloatRef& a) {
  *value = mpfr_get_d(a.x(), MPFR_RNDN);
  return 0;
}

inline int SingleRef::setValue(const VarFloatRef& a) {
  *value = static_cast<float>(mpfr_get_d(a.x(), MPFR_RNDN));
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Arrays and vectors of elements, reached by binding a reference to one element at a time

namespace detail {

// What each kind's elements need: a zero element of the type, a copy, release, and binding.
template <typename Element> struct ArrayElement;

template <> struct ArrayElement<MPZ> {
  static void checkType(VarType* vType) { LOOM_ASSERT(vType->getImpl() == TR_MPZ); }
  static int precision(VarType*) { return 0; }
  static void makeZero(MPZ& e, int) { mpz_init(e.mValue); }
  static void makeCopy(MPZ& e, const MPZ& from) { mpz_init_set(e.mValue, from.mValue); }
  static void release(MPZ& e) { mpz_clear(e.mValue); }
  static void bind(FixedRef& ref, MPZ& e) { ref.value = &e.mValue; }
};

template <> struct ArrayElement<double> {
  static void checkType(VarType* vType) { LOOM_ASSERT(vType->getImpl() == TR_DP); }
  static int precision(VarType*) { return 0; }
  static void makeZero(double& e, int) { e = 0.0; }
  static void makeCopy(double& e, double from) { e = from; }
  static void release(double&) {}
  static void bind(DoubleRef& ref, double& e) { ref.value = &e; }
  static void get(DoubleRef& ref, double e) { *ref.value = e; }
  static void set(double& e, double v) { e = v; }
};

template <> struct ArrayElement<float> {
  static void checkType(VarType* vType) { LOOM_ASSERT(vType->getImpl() == TR_SP); }
  static int precision(VarType*) { return 0; }
  static void makeZero(float& e, int) { e = 0.0f; }
  static void makeCopy(float& e, float from) { e = from; }
  static void release(float&) {}
  static void bind(SingleRef& ref, float& e) { ref.value = &e; }
  static void get(SingleRef& ref, float e) { *ref.value = e; }
  static void set(float& e, double v) { e = static_cast<float>(v); }
};

// Each element of a var-float array is an MPFR value owned by the array.
template <> struct ArrayElement<MPFR*> {
  static void checkType(VarType* vType) {
    const TypeRepr tRep = vType->getImpl();
    LOOM_ASSERT(tRep == TR_SP || tRep == TR_DP || tRep == TR_MPFR);
  }
  static int precision(VarType* type) { return static_cast<VarFloatType*>(type)->getWF() + 1; }
  static void makeZero(MPFR*& e, int precision) {
    e = new MPFR;
    mpfr_init2(e->mValue, precision);
    mpfr_set_zero(e->mValue, 1);
  }
  static void makeCopy(MPFR*& e, const MPFR* from) {
    e = new MPFR;
    mpfr_init2(e->mValue, mpfr_get_prec(from->mValue));
    mpfr_set(e->mValue, from->mValue, MPFR_RNDN);
  }
  static void release(MPFR*& e) {
    mpfr_clear(e->mValue);
    delete e;
    e = nullptr;
  }
  static void bind(VarFloatRef& ref, MPFR* e) { ref.value = e; }
  static void get(VarFloatRef& ref, const MPFR* e) {
    mpfr_set(ref.getRef().mValue, e->mValue, MPFR_RNDN);
  }
  static void set(MPFR* e, double v) { mpfr_set_d(e->mValue, v, MPFR_RNDN); }
};

LOOM_UTIL_API void checkArrayShape(unsigned rows, unsigned cols);

// A row-major array of rows x cols elements that owns them. Indexes are 32-bit: the shape is
// refused when rows x cols does not fit. Copies duplicate every element (var-float values
// included, with their precision), so no two arrays ever release the same value; moves take
// the elements over, except for var-float arrays, which copy.
template <typename Ref, typename Element> class RefArray2D {
  using Traits = ArrayElement<Element>;
  static constexpr bool kMovable = !std::is_pointer<Element>::value;

public:
  RefArray2D(VarType* vType, unsigned rows, unsigned cols) : columns(cols) {
    LOOM_ASSERT(vType != nullptr);
    Traits::checkType(vType);
    checkArrayShape(rows, cols);
    const int precision = Traits::precision(vType);
    elements.resize(static_cast<std::uint32_t>(rows * cols));
    for (Element& e : elements)
      Traits::makeZero(e, precision);
  }
  RefArray2D(const RefArray2D& other) : columns(other.columns) { copyElements(other); }
  RefArray2D(RefArray2D&& other) noexcept(kMovable) : columns(other.columns) {
    if constexpr (kMovable)
      elements.swap(other.elements);
    else
      copyElements(other);
  }
  RefArray2D& operator=(const RefArray2D& other) {
    if (this != &other) {
      releaseElements();
      columns = other.columns;
      copyElements(other);
    }
    return *this;
  }
  RefArray2D& operator=(RefArray2D&& other) noexcept(kMovable) {
    if constexpr (kMovable) {
      if (this != &other) {
        releaseElements();
        columns = other.columns;
        elements.swap(other.elements);
      }
      return *this;
    } else {
      return *this = static_cast<const RefArray2D&>(other);
    }
  }
  ~RefArray2D() { releaseElements(); }

  // One multiply-add; the caller keeps row and col within the shape.
  void bindElem(Ref& ref, unsigned row, unsigned col) {
    Traits::bind(ref, elements[index(row, col)]);
  }
  // Float kinds only: copy the element into ref's storage / set it from a double.
  void getElem(Ref& ref, unsigned row, unsigned col) {
    Traits::get(ref, elements[index(row, col)]);
  }
  void setElem(unsigned row, unsigned col, double v) { Traits::set(elements[index(row, col)], v); }

  std::uint32_t columns;
  std::vector<Element> elements;

private:
  std::uint32_t index(unsigned row, unsigned col) const {
    return static_cast<std::uint32_t>(row) * columns + static_cast<std::uint32_t>(col);
  }
  void copyElements(const RefArray2D& other) {
    elements.resize(other.elements.size());
    for (std::size_t i = 0; i < elements.size(); ++i)
      Traits::makeCopy(elements[i], other.elements[i]);
  }
  void releaseElements() {
    for (Element& e : elements)
      Traits::release(e);
    elements.clear();
  }
};

// A view of a vector of elements (an array's, or one the model keeps); never owns it.
template <typename Ref, typename Element> class RefVector {
public:
  RefVector() = default;
  explicit RefVector(std::vector<Element>* v) : mVector(v) {}

  void setReference(std::vector<Element>* v) { mVector = v; }
  void setReference(RefArray2D<Ref, Element>* a) { mVector = &a->elements; }

  // Throws std::out_of_range for an index outside the vector (or when there is none); the
  // reference then stays as it was.
  void bindElem(Ref& ref, int index) {
    if (mVector == nullptr)
      throw std::out_of_range("VectorRef::bindElem: no vector");
    ArrayElement<Element>::bind(ref, mVector->at(static_cast<std::size_t>(index)));
  }

  std::vector<Element>* get() const { return mVector; }

private:
  std::vector<Element>* mVector = nullptr;
};

} // namespace detail

} // namespace simulation

#endif

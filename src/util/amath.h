// Word-level fixed-point kernels and typed port values of the simulation models.
#ifndef LOOM_UTIL_AMATH_H
#define LOOM_UTIL_AMATH_H

#include "util/assert_handler.h"
#include "util/export.h"
#include "util/var_types.h"

#include <gmp.h>
#include <mpfr.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Word-level fixed-point kernels and typed port values of the simulation models.
//
// A fixed-point value of width w (1..64 bits) lives in a SINT in sign-extended form: bits w-1
// and up all equal bit w-1. Every kernel returns that form and wraps around like the hardware:
//
//   AMAdd(200, 200, 8)            // -112: 400 wrapped to 8 bits
//   SINT carry;
//   AMAdd(200, 100, 1, 8, &carry) // 45, carry 1
//   AMShift(-16, 2, false, 8)     // 60: 0xF0 shifted logically
//
// All arithmetic that wraps is done on unsigned words; the kernels are inline so that a
// generated model pays for a handful of instructions, not a call into the shared library.

namespace simulation {

using SINT = std::int64_t;

// s_pow2[i] = 2^i (entry 63 is the pattern 0x8000000000000000); s_pow2mask[i] = 2^i - 1.
LOOM_UTIL_API extern const SINT s_pow2[64];
LOOM_UTIL_API extern const SINT s_pow2mask[65];

namespace detail {

// The low `width` bits set, for width 0..64.
constexpr std::uint64_t lowMask(int width) {
  return width >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << width) - 1;
}

// N(x, width): sign-extends bit width-1 (width 1..64) over the upper bits.
constexpr SINT normalise(std::uint64_t x, int width) {
  const unsigned unused = 64u - static_cast<unsigned>(width);
  return static_cast<SINT>(x << unused) >> unused;
}

constexpr std::uint64_t word(SINT x) {
  return static_cast<std::uint64_t>(x);
}

} // namespace detail

// Kernels accept widths 1..64; the checks sit on the unlikely path of one compare.
#define LOOM_AM_CHECK_WIDTH(width, upperCheck)                                                     \
  do {                                                                                             \
    if (!LOOM_LIKELY(static_cast<unsigned>(width) - 1u < 64u)) {                                   \
      upperCheck;                                                                                  \
      LOOM_ASSERT(width >= 1);                                                                     \
    }                                                                                              \
  } while (0)

inline SINT AMAdd(SINT a, SINT b, int width) {
  LOOM_AM_CHECK_WIDTH(width, LOOM_ASSERT(width <= 64));
  return detail::normalise(detail::word(a) + detail::word(b), width);
}

inline SINT AMSub(SINT a, SINT b, int width) {
  LOOM_AM_CHECK_WIDTH(width, LOOM_ASSERT(width <= 64));
  return detail::normalise(detail::word(a) - detail::word(b), width);
}

namespace detail {
// Below width 64 the carry (or borrow) out is bit `width` of the 64-bit result.
inline SINT addNarrow(std::uint64_t raw, int width, SINT* carry) {
  *carry = static_cast<SINT>((raw >> width) & 1u);
  return normalise(raw, width);
}
// The width-64 range check of the carry-in; the split path below needs it below 2^31.
inline void checkWideCarryIn(SINT c, unsigned line, const char* function) {
  if (!LOOM_LIKELY(c < (SINT(1) << 31) && c > -(SINT(1) << 31)))
    aster_assert_handler("abs(c) < (SINT(1) << 31)", __FILE__, line, function,
                         static_cast<const char*>(nullptr));
}
} // namespace detail

// a + b + c with carry-in c; *carry receives the carry out of bit width-1. Width 64 is done in
// two 32-bit halves: the lower half's exact sum (|c| < 2^31, so it fits) carries its multiple of
// 2^32, negative for a negative carry-in, into the upper one.
inline SINT AMAdd(SINT a, SINT b, SINT c, int width, SINT* carry) {
  if (LOOM_LIKELY(static_cast<unsigned>(width) - 1u < 63u))
    return detail::addNarrow(detail::word(a) + detail::word(b) + detail::word(c), width, carry);
  LOOM_ASSERT(width >= 1);
  LOOM_ASSERT(width == 64);
  detail::checkWideCarryIn(c, __LINE__, __PRETTY_FUNCTION__);
  const SINT low = (a & 0xFFFFFFFF) + (b & 0xFFFFFFFF) + c;
  const SINT high = AMAdd(a >> 32, b >> 32, low >> 32, 32, carry);
  return static_cast<SINT>((detail::word(high) << 32) | (detail::word(low) & 0xFFFFFFFFu));
}

// a - b - c with borrow-in c; *carry receives the borrow out of bit width-1 (width 64 as above).
inline SINT AMSub(SINT a, SINT b, SINT c, int width, SINT* carry) {
  if (LOOM_LIKELY(static_cast<unsigned>(width) - 1u < 63u))
    return detail::addNarrow(detail::word(a) - detail::word(b) - detail::word(c), width, carry);
  LOOM_ASSERT(width >= 1);
  LOOM_ASSERT(width == 64);
  detail::checkWideCarryIn(c, __LINE__, __PRETTY_FUNCTION__);
  const SINT low = (a & 0xFFFFFFFF) - (b & 0xFFFFFFFF) - c;
  const SINT high = AMSub(a >> 32, b >> 32, -(low >> 32), 32, carry);
  return static_cast<SINT>((detail::word(high) << 32) | (detail::word(low) & 0xFFFFFFFFu));
}

// The unsigned width-bit pattern of x, zero-extended (width 0..64).
inline SINT AMMask(SINT x, int width) {
  if (!LOOM_LIKELY(static_cast<unsigned>(width) <= 64u)) {
    LOOM_ASSERT_MSG(width <= 64, "Bit-width is greater than 64 in SINT unsigned mask. This would "
                                 "result in an error in simulation.");
    LOOM_ASSERT(width >= 0);
  }
  return static_cast<SINT>(detail::word(x) & detail::lowMask(width));
}

// Shifts right by `shift` when it is positive (arithmetically for signed values, logically
// within the width-bit pattern otherwise), left by -shift when it is zero or negative. Shifts
// of the whole width or more give 0, or -1 for a negative signed value shifted right.
inline SINT AMShift(SINT x, SINT shift, bool isSigned, int width) {
  LOOM_AM_CHECK_WIDTH(width, LOOM_ASSERT(width <= 64));
  std::uint64_t r;
  if (shift > 0) {
    if (shift >= width) {
      r = (isSigned && x < 0) ? ~std::uint64_t(0) : 0;
    } else {
      r = detail::word(x >> shift);
      if (x < 0 && !isSigned)
        r &= detail::lowMask(width - static_cast<int>(shift));
    }
  } else {
    const std::uint64_t left = std::uint64_t(0) - detail::word(shift);
    r = left >= static_cast<std::uint64_t>(width) ? 0 : detail::word(x) << left;
  }
  return detail::normalise(r, width);
}

#undef LOOM_AM_CHECK_WIDTH

// shift > 0: dst = floor(src / 2^shift); otherwise dst = src * 2^-shift.
LOOM_UTIL_API void AMShift_mpz(mpz_t dst, const mpz_t src, int shift);

// d truncated toward zero; d must be a number within the range of SINT.
LOOM_UTIL_API SINT AMInitVal(double d);

// Built-in self-test of the kernels: prints each mismatch to standard output, returns 1.
LOOM_UTIL_API int AMTest();

// 2^(n mod 64), as a word; 2^n exactly, as a GMP integer.
inline void pow2(SINT& out, unsigned n) {
  out = static_cast<SINT>(std::uint64_t(1) << (n & 63u));
}
inline SINT pow2(unsigned n) {
  return static_cast<SINT>(std::uint64_t(1) << (n & 63u));
}
LOOM_UTIL_API void pow2(mpz_t out, unsigned n);

inline bool IsPow2(SINT x) {
  return x > 0 && (x & (x - 1)) == 0;
}

// Address bits for n items: 0 for n <= 1, else the significant bits of n - 1.
LOOM_UTIL_API unsigned bitsForAddr(SINT n);
// 0 for v <= 0, else the significant bits of v.
LOOM_UTIL_API unsigned bitsForValue(SINT v);
// Width of the two's-complement field that holds v (at least 1).
LOOM_UTIL_API unsigned bitsForValue(const mpz_t v);

// Euclid's algorithm on the arguments as given; negative arguments may give a negative result
// (hcf(-4, 0) is -4). The remainder by -1 is taken as 0, so no input traps.
LOOM_UTIL_API int hcf(int a, int b);
LOOM_UTIL_API SINT hcf(SINT a, SINT b);

// base^exp wrapping in 32 bits; exp must not be negative.
LOOM_UTIL_API int ipow(int base, int exp);

// num/den approximating f: the fraction's numerator and denominator climb one step at a time
// from 0/1 until |num/den - frac(f)| <= tolerance, then the whole part is added back. A search
// that cannot end within int is an internal restriction.
LOOM_UTIL_API void rational(double f, int* num, int* den, double tolerance);

// The low 64 bits of z's magnitude, negated for negative z; 0 when |z| needs more than 64 bits.
LOOM_UTIL_API SINT mpzToSINT(const mpz_t z);
LOOM_UTIL_API void sintToMPZ(mpz_t z, SINT v);

// ---------------------------------------------------------------------------------------------
// Typed port values

enum SIM_PORT_TYPE : std::int32_t {
  SPT_FIXED = 0,
  SPT_SINGLE = 1,
  SPT_DOUBLE = 2,
  SPT_VARFLOAT = 3,
};

// One port value: its kind, its descriptor, and one GMP integer holding the value of every
// kind (fixed: the scaled integer; single and double: the IEEE bit pattern; other floats: the
// packed pattern). The record neither initialises nor clears the integer: its owner does
// (WideTypedFormatVector does both). Copies are shallow.
struct LOOM_UTIL_API WideTypedFormat {
  WideTypedFormat() : mPortType(SPT_FIXED), mVarType(&WideFixedType::legacy) {}

  SIM_PORT_TYPE getSimPortType() const { return mPortType; }
  VarType* getVarType() const { return mVarType; }

  // Kinds 0..2 set the matching built-in descriptor; any other kind is an internal restriction.
  void setSimPortType(SIM_PORT_TYPE kind);
  // The kind follows the descriptor's identity: only the three built-ins give 0..2.
  void setVarType(VarType* type);

  bool isFixed() const { return mPortType == SPT_FIXED; }
  bool isFloat() const { return mPortType != SPT_FIXED; }
  // By the descriptor's representation and format, not by the kind.
  bool isSingle() const;
  bool isDouble() const;

  SIM_PORT_TYPE mPortType;
  VarType* mVarType;
  mpz_t mData;
};

// The model's ports. Owns every element's integer: new elements start at 0, and copies
// duplicate the integers, so each copy owns its own digits.
class LOOM_UTIL_API WideTypedFormatVector {
public:
  WideTypedFormatVector() = default;
  explicit WideTypedFormatVector(std::size_t n) { EnsureSize(n); }
  WideTypedFormatVector(const WideTypedFormatVector& other);
  WideTypedFormatVector(WideTypedFormatVector&& other) noexcept;
  WideTypedFormatVector& operator=(const WideTypedFormatVector& other);
  WideTypedFormatVector& operator=(WideTypedFormatVector&& other) noexcept;
  ~WideTypedFormatVector();

  // Grows to n elements (never shrinks). Growth may move the elements.
  void EnsureSize(std::size_t n);
  std::size_t size() const { return mElements.size(); }

  // i must be below size(); not checked.
  WideTypedFormat& operator[](std::size_t i) { return mElements[i]; }
  const WideTypedFormat& operator[](std::size_t i) const { return mElements[i]; }

  WideTypedFormat* GetDataPtr() { return mElements.data(); }
  operator WideTypedFormat*() { return mElements.data(); }

private:
  void clearAll();

  std::vector<WideTypedFormat> mElements;
};

// Fixed-point arithmetic on port values. By dst's kind: fixed with fixed operands computes;
// single or double destinations are an internal restriction; anything else does nothing.
LOOM_UTIL_API void BIGNUM_Add_Func(WideTypedFormat& dst, const WideTypedFormat& a,
                                   const WideTypedFormat& b);
LOOM_UTIL_API void BIGNUM_Sub_Func(WideTypedFormat& dst, const WideTypedFormat& a,
                                   const WideTypedFormat& b);
LOOM_UTIL_API void BIGNUM_Neg(WideTypedFormat& dst, const WideTypedFormat& src);

// Both operands must be fixed.
LOOM_UTIL_API bool BIGNUM_CMPEQ(const WideTypedFormat& a, const WideTypedFormat& b);
LOOM_UTIL_API bool BIGNUM_CMPNE(const WideTypedFormat& a, const WideTypedFormat& b);
LOOM_UTIL_API bool BIGNUM_CMPLT(const WideTypedFormat& a, const WideTypedFormat& b);
LOOM_UTIL_API bool BIGNUM_CMPLE(const WideTypedFormat& a, const WideTypedFormat& b);
LOOM_UTIL_API bool BIGNUM_CMPGT(const WideTypedFormat& a, const WideTypedFormat& b);
LOOM_UTIL_API bool BIGNUM_CMPGE(const WideTypedFormat& a, const WideTypedFormat& b);

// Copy: integer, then descriptor (and kind). Set: integer only.
LOOM_UTIL_API void BIGNUM_Copy(WideTypedFormat& dst, const WideTypedFormat& src);
LOOM_UTIL_API void BIGNUM_Set(WideTypedFormat& dst, const WideTypedFormat& src);
LOOM_UTIL_API void BIGNUM_SetLong(WideTypedFormat& dst, SINT v);
LOOM_UTIL_API void BIGNUM_SetULong(WideTypedFormat& dst, std::uint64_t v);
LOOM_UTIL_API SINT BIGNUM_GetLong(const WideTypedFormat& src);
LOOM_UTIL_API std::uint64_t BIGNUM_GetULong(const WideTypedFormat& src);

// A single-precision view of a port value's bit pattern. Every value built here is cleaned
// up: subnormals become a zero of the same sign while subnormalsToZero is set, and NaNs lose
// their sign (the payload stays).
class LOOM_UTIL_API IEEE_Single {
public:
  IEEE_Single() : mValue(0.0f) {}
  explicit IEEE_Single(float f);
  // The low 32 bits of mpz_get_si(z).
  explicit IEEE_Single(const mpz_t z);
  // The low 32 bits of the port's integer; the port must be single.
  explicit IEEE_Single(const WideTypedFormat& s);

  void Set(WideTypedFormat& s) const; // the unsigned 32-bit pattern; kind and type untouched
  void Set(mpz_t z) const;

  int getSign() const;
  int getExp() const;      // biased, 0..255
  int getMantissa() const; // fraction field, no hidden one

  void flushSubnormals();
  void flushSignedNaN();

  std::uint32_t bits() const;

  static bool subnormalsToZero; // true at load time

  float mValue;

private:
  void cleanUp();
};

// A double-precision view of a port value's bit pattern. Subnormals are flushed while
// subnormalsToZero is set; NaN signs are kept.
class LOOM_UTIL_API IEEE_Double {
public:
  IEEE_Double() : mValue(0.0) {}
  explicit IEEE_Double(double d);
  // The port's integer (its magnitude, at most 64 bits) as the bit pattern; the port must be
  // double.
  explicit IEEE_Double(const WideTypedFormat& s);

  void Set(WideTypedFormat& s) const; // the unsigned 64-bit pattern; kind and type untouched

  int getSign() const;
  int getExp() const; // biased, 0..2047
  std::uint64_t getMantissaWithImplicitOneSet() const;

  void flushSubnormals();

  std::uint64_t bits() const;

  static bool subnormalsToZero; // true at load time

  double mValue;
};

// x quantised onto the grid of w bits, f of them fractional, signed when s is 1: values beyond
// the grid saturate, values of magnitude below one step (and NaN) give +0, the rest is rounded
// with rnd. Returns a new value of precision w - s, allocated with malloc: release it with
// mpfr_clear and free.
LOOM_UTIL_API mpfr_t* fpToFxP(const mpfr_t x, int w, int f, int s, mpfr_rnd_t rnd);

} // namespace simulation

#endif

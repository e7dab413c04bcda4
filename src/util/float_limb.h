// Inline arithmetic for MPFR values whose significand is one limb.
#ifndef LOOM_UTIL_FLOAT_LIMB_H
#define LOOM_UTIL_FLOAT_LIMB_H

// Inline arithmetic for MPFR values of at most 64 bits of precision, whose significand is one
// limb: what a model step does on every tap of a small float format. Each function computes
// the exact result on 128-bit words, rounds it once to the destination's precision (to nearest,
// ties to even) and writes it, giving the value and sign MPFR's call gives, and returns true;
// or it writes nothing and returns false, and the caller makes the MPFR call. That happens for
// zeros where noted, infinities, NaN, precisions above 64 and results outside the exponent
// range passed in, which the caller copied from MPFR's at the step boundary.
//
// MPFR's inexact, underflow and overflow flags are not raised here: nothing in the library or
// in a generated model reads them. Values are read and written through the documented fields
// and the custom interface of mpfr_t; operands may be the destination.

#include "util/compiler.h"

#include <mpfr.h>

namespace simulation {
namespace flimb {

static_assert(GMP_NUMB_BITS == 64 && GMP_NAIL_BITS == 0, "one limb holds 64 significand bits");
using bits::u128;

constexpr mpfr_exp_t kNoSubnormals = -(mpfr_exp_t(1) << 62) - 1; // below every MPFR exponent

// The results a fast path may write itself: exponents in [emin, emax]. With gradual underflow,
// `subnormal` is the exponent of the smallest subnormal and emin that of the smallest normal:
// a result between them is rounded once onto the subnormal step, or to a signed zero below.
struct ExponentRange {
  mpfr_exp_t emin, emax;
  mpfr_exp_t subnormal = kNoSubnormals;
};

// All of the values have at most 64 bits of precision (precisions are at least 1).
inline bool oneLimb(mpfr_prec_t a, mpfr_prec_t b, mpfr_prec_t c) {
  return ((a - 1) | (b - 1) | (c - 1)) < 64;
}

inline mp_limb_t significand(mpfr_srcptr x) {
  return static_cast<const mp_limb_t*>(mpfr_custom_get_significand(x))[0];
}

// x = (negative ? -1 : 1) * m / 2^64 * 2^e; m has its top bit set and nothing below x's
// precision.
inline void setRegular(mpfr_ptr x, bool negative, mp_limb_t m, mpfr_exp_t e) {
  // The limb last: written first, it could alias the precision, which the compiler would then
  // store again although it does not change.
  mp_limb_t* limb = static_cast<mp_limb_t*>(mpfr_custom_get_significand(x));
  mpfr_custom_init_set(x, negative ? -MPFR_REGULAR_KIND : MPFR_REGULAR_KIND, e, mpfr_get_prec(x),
                       limb);
  limb[0] = m;
}

// The significand of m / 2^128 * 2^e (m's top bit set) rounded to p bits (1..64), to nearest,
// ties to even; e grows by one when rounding carries into the next power of two. Exact: the
// bits below the precision are all in m.
inline mp_limb_t roundTo(u128 m, mpfr_prec_t p, mpfr_exp_t& e) {
  const mp_limb_t ulp = mp_limb_t(1) << (64 - p);
  const mp_limb_t kept = static_cast<mp_limb_t>(m >> 64) & (0 - ulp);
  const u128 rest = m << p; // the bits below the precision, the first of them on top
  const bool half = (rest >> 127) != 0, beyond = (rest << 1) != 0;
  const mp_limb_t rounded = kept + (half && (beyond || (kept & ulp) != 0) ? ulp : 0);
  const bool carry = rounded == 0; // 0.11..1 became 1.0: the limb wrapped
  e += carry;
  return rounded | static_cast<mp_limb_t>(carry) << 63;
}

// d = (negative ? -1 : 1) * s / 2^64 * 2^e, when e is in range; s is rounded already.
inline bool setInRange(mpfr_ptr d, bool negative, mp_limb_t s, mpfr_exp_t e,
                       const ExponentRange& range) {
  if (e < range.emin || e > range.emax)
    return false;
  setRegular(d, negative, s, e);
  return true;
}

// d = (negative ? -m : m) / 2^128 * 2^e (m's top bit set) rounded once onto the subnormal step
// of range, when it lies below the normal range, or to a zero of its sign. m is exact, or odd
// and within one of the exact value (a sum's sticky bit): then it is never half a step. Out of
// line, on the path that was leaving the result to MPFR.
LOOM_NOINLINE inline bool setSubnormal(mpfr_ptr d, bool negative, u128 m, mpfr_exp_t e,
                                       const ExponentRange& range) {
  const mpfr_exp_t kept = e - range.subnormal + 1; // bits above the smallest subnormal's half
  if (range.subnormal == kNoSubnormals || kept >= mpfr_get_prec(d))
    return false;
  if (kept >= 1) {
    const mp_limb_t s = roundTo(m, kept, e); // may carry into e, at most to the normal range
    setRegular(d, negative, s, e);
  } else if (kept == 0 && m != u128(1) << 127) { // over half the smallest subnormal
    setRegular(d, negative, mp_limb_t(1) << 63, range.subnormal);
  } else {
    mpfr_set_zero(d, negative ? -1 : 1);
  }
  return true;
}

// d = (negative ? -m : m) / 2^128 * 2^e rounded to d's precision, when in range.
inline bool setRounded(mpfr_ptr d, bool negative, u128 m, mpfr_exp_t e,
                       const ExponentRange& range) {
  mpfr_exp_t rounded = e;
  const mp_limb_t s = roundTo(m, mpfr_get_prec(d), rounded); // may carry into the exponent
  if (LOOM_UNLIKELY(rounded < range.emin))
    return setSubnormal(d, negative, m, e, range);
  return setInRange(d, negative, s, rounded, range);
}

// The significand of w / 2^64 * 2^e (w's top bit set) rounded to p bits (1..63), to nearest,
// ties to even. Adding half a unit less one, plus the lowest kept bit, carries into the kept
// bits exactly when the rest is over half a unit, or half of one with the kept bits odd; a
// carry out of the word is 0.11..1 become 1.0, and e grows by one.
inline mp_limb_t roundWord(mp_limb_t w, mpfr_prec_t p, mpfr_exp_t& e) {
  const mp_limb_t ulp = mp_limb_t(1) << (64 - p);
  mp_limb_t r;
  const bool carry = bits::addCarry(w, (ulp >> 1) - 1 + ((w >> (64 - p)) & 1), &r);
  e += carry;
  return carry ? mp_limb_t(1) << 63 : r & (0 - ulp);
}

// d = (negative ? -w : w) / 2^64 * 2^e rounded to d's precision (at most 63), when in range.
inline bool setRoundedWord(mpfr_ptr d, bool negative, mp_limb_t w, mpfr_exp_t e,
                           const ExponentRange& range) {
  mpfr_exp_t rounded = e;
  const mp_limb_t s = roundWord(w, mpfr_get_prec(d), rounded); // may carry into the exponent
  if (LOOM_UNLIKELY(rounded < range.emin))
    return setSubnormal(d, negative, u128(w) << 64, e, range);
  return setInRange(d, negative, s, rounded, range);
}

// d = a * b. Significands of at most 32 bits multiply exactly in one 64-bit word; others of
// one limb in 128 bits.
inline bool mul(mpfr_ptr d, mpfr_srcptr a, mpfr_srcptr b, const ExponentRange& range) {
  const mpfr_prec_t pd = mpfr_get_prec(d), pa = mpfr_get_prec(a), pb = mpfr_get_prec(b);
  if (!(oneLimb(pd, pa, pb) && mpfr_regular_p(a) && mpfr_regular_p(b)))
    return false;
  const bool negative = mpfr_signbit(a) != mpfr_signbit(b);
  const mpfr_exp_t e = mpfr_get_exp(a) + mpfr_get_exp(b);
  if (((pa - 1) | (pb - 1)) < 32 && pd < 64) {
    mp_limb_t w = (significand(a) >> 32) * (significand(b) >> 32); // in [2^62, 2^64)
    const int low = static_cast<int>((w >> 63) == 0);
    return setRoundedWord(d, negative, w << low, e - low, range);
  }
  u128 m = u128(significand(a)) * significand(b); // in [2^126, 2^128)
  const int low = static_cast<int>((m >> 127) == 0);
  return setRounded(d, negative, m << low, e - low, range);
}

// d = x + y or x - y (`same`: the signs agree) for |x| >= |y| on 64-bit words, when the
// operands have at most 62 bits and d at most 60. x sits at bits 62..1, y as far right as the
// exponent difference k, the bits shifted out kept as one sticky bit at bit 0. Bits are lost
// only for k >= 2, and then the sum is above 2^61, so normalising moves the sticky bit to bit
// 2 at most, below the half unit of 60 bits (bit 3): the sum is within one of the exact one
// and odd when not exact, so both round alike. A cancellation (k <= 1) is exact.
inline bool addWord(mpfr_ptr d, bool negX, bool same, mp_limb_t mx, mp_limb_t my, mpfr_exp_t ex,
                    mpfr_uexp_t distance, const ExponentRange& range) {
  const unsigned k = distance < 63 ? static_cast<unsigned>(distance) : 63u;
  const mp_limb_t x = mx >> 1, y = my >> 1;
  const mp_limb_t yk = (y >> k) | static_cast<mp_limb_t>((y & ((mp_limb_t(1) << k) - 1)) != 0);
  const mp_limb_t sum = same ? x + yk : x - yk;
  if (sum == 0) { // x - x: a positive zero when rounding to nearest
    mpfr_set_zero(d, 1);
    return true;
  }
  const int zeros = bits::leadingZeros(sum);
  return setRoundedWord(d, negX, sum << zeros, ex + 1 - zeros, range);
}

// d = x + y or x - y (`same`: the signs agree) for |x| >= |y| on 128-bit words, for operands or
// a result of 61 to 64 bits. Out of line: its 128-bit words would take registers from every
// inline sum of narrower values.
LOOM_NOINLINE inline bool addLimb(mpfr_ptr d, bool negX, bool same, mp_limb_t mx, mp_limb_t my,
                                  mpfr_exp_t ex, mpfr_uexp_t distance, const ExponentRange& range) {
  const unsigned k = distance < 127 ? static_cast<unsigned>(distance) : 127u;
  const u128 x = u128(mx) << 63, y = u128(my) << 63;
  const u128 shifted = y >> k;
  const u128 yk = shifted | static_cast<u128>((shifted << k) != y);
  const u128 sum = same ? x + yk : x - yk;
  if (sum == 0) { // x - x: a positive zero when rounding to nearest
    mpfr_set_zero(d, 1);
    return true;
  }
  const mp_limb_t high = static_cast<mp_limb_t>(sum >> 64), low = static_cast<mp_limb_t>(sum);
  const int zeros = high != 0 ? bits::leadingZeros(high | 1) : 64 + bits::leadingZeros(low | 1);
  return setRounded(d, negX, sum << zeros, ex + 1 - zeros, range);
}

// d = a + b, or a - b when `subtract`. The larger magnitude x sits at bits 126..63 of a
// 128-bit word and the other, y, is shifted right by the exponent difference; bits shifted out
// are kept as one sticky bit at bit 0. That sum is within one unit of bit 0 of the exact one
// and odd whenever it is not exact, while rounding to at most 64 bits happens at bit 61 or
// above (the sum keeps its top bit at 125 or higher once bits are shifted out): no rounding
// boundary lies between the two, so both round alike. Up to a shift of 63 nothing is lost,
// and a cancellation, however deep, is exact. Narrower values take the same steps on 64-bit
// words (addWord).
inline bool add(mpfr_ptr d, mpfr_srcptr a, mpfr_srcptr b, bool subtract,
                const ExponentRange& range) {
  const mpfr_prec_t pd = mpfr_get_prec(d), pa = mpfr_get_prec(a), pb = mpfr_get_prec(b);
  const bool word = (pd <= 60) & (pa <= 62) & (pb <= 62); // the common case, checked first
  if (!word && !oneLimb(pd, pa, pb))
    return false;
  const bool negA = mpfr_signbit(a), negB = mpfr_signbit(b) != subtract;
  if (!(mpfr_regular_p(a) && mpfr_regular_p(b))) {
    // A zero operand: the other one, rounded to d's precision; two zeros: -0 only from two -0.
    if (mpfr_zero_p(a) && mpfr_regular_p(b))
      return setRounded(d, negB, u128(significand(b)) << 64, mpfr_get_exp(b), range);
    if (mpfr_zero_p(b) && mpfr_regular_p(a))
      return setRounded(d, negA, u128(significand(a)) << 64, mpfr_get_exp(a), range);
    if (!(mpfr_zero_p(a) && mpfr_zero_p(b)))
      return false;
    mpfr_set_zero(d, negA && negB ? -1 : 1);
    return true;
  }
  const mpfr_exp_t ea = mpfr_get_exp(a), eb = mpfr_get_exp(b);
  const mp_limb_t ma = significand(a), mb = significand(b);
  const bool swap = eb > ea || (eb == ea && mb > ma);
  const mpfr_exp_t ex = swap ? eb : ea;
  const bool negX = swap ? negB : negA;
  const mpfr_uexp_t distance = static_cast<mpfr_uexp_t>(ex - (swap ? ea : eb));
  if (word)
    return addWord(d, negX, negA == negB, swap ? mb : ma, swap ? ma : mb, ex, distance, range);
  return addLimb(d, negX, negA == negB, swap ? mb : ma, swap ? ma : mb, ex, distance, range);
}

// d = (negative ? -1 : 1) * |a| * 2^(e - exponent of a), when d has a's precision (any) and e
// is in range: the limbs are copied, nothing is rounded.
inline bool setCopy(mpfr_ptr d, mpfr_srcptr a, bool negative, mpfr_exp_t e,
                    const ExponentRange& range) {
  if (e < range.emin || e > range.emax)
    return false;
  const mpfr_prec_t p = mpfr_get_prec(a);
  const mp_limb_t* from = static_cast<const mp_limb_t*>(mpfr_custom_get_significand(a));
  mp_limb_t* to = static_cast<mp_limb_t*>(mpfr_custom_get_significand(d));
  for (mpfr_prec_t i = 0; i < (p + 63) / 64; ++i)
    to[i] = from[i];
  mpfr_custom_init_set(d, negative ? -MPFR_REGULAR_KIND : MPFR_REGULAR_KIND, e, p, to);
  return true;
}

// d = (negative ? -1 : 1) * |a| * 2^(e - exponent of a): copied at a's precision, otherwise
// rounded to d's when both have one limb.
inline bool setScaled(mpfr_ptr d, mpfr_srcptr a, bool negative, mpfr_exp_t e,
                      const ExponentRange& range) {
  if (mpfr_get_prec(d) == mpfr_get_prec(a))
    return setCopy(d, a, negative, e, range);
  if (!oneLimb(mpfr_get_prec(d), mpfr_get_prec(a), 1))
    return false;
  return setRounded(d, negative, u128(significand(a)) << 64, e, range);
}

// d = a with its sign set (negate: flipped; otherwise cleared), rounded to d's precision.
inline bool setSign(mpfr_ptr d, mpfr_srcptr a, bool negate, const ExponentRange& range) {
  return mpfr_regular_p(a) && setScaled(d, a, negate && !mpfr_signbit(a), mpfr_get_exp(a), range);
}

// d = a * 2^n, rounded to d's precision.
inline bool ldexp(mpfr_ptr d, mpfr_srcptr a, long n, const ExponentRange& range) {
  // Exponents of values are within +-2^62: the sum cannot overflow.
  return mpfr_regular_p(a) && setScaled(d, a, mpfr_signbit(a), mpfr_get_exp(a) + n, range);
}

// The sign of a - b (-1, 0, 1) for regular one-limb values; `done` is false otherwise. The
// significands are left-aligned, so limbs of different precisions compare as they are.
inline int compare(mpfr_srcptr a, mpfr_srcptr b, bool& done) {
  done = mpfr_regular_p(a) && mpfr_regular_p(b) && oneLimb(mpfr_get_prec(a), mpfr_get_prec(b), 1);
  const bool negA = mpfr_signbit(a), negB = mpfr_signbit(b);
  const mpfr_exp_t ea = mpfr_get_exp(a), eb = mpfr_get_exp(b);
  const mp_limb_t ma = done ? significand(a) : 0, mb = done ? significand(b) : 0;
  const int magnitude = ea != eb ? (ea > eb) - (ea < eb) : (ma > mb) - (ma < mb);
  if (negA != negB)
    return negA ? -1 : 1;
  return negA ? -magnitude : magnitude;
}

} // namespace flimb
} // namespace simulation

#endif

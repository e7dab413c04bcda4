// The inline machinery of amath_dataimpl.h's FixedRef, not an interface of its own.
#ifndef LOOM_UTIL_FIXED_LIMBS_H
#define LOOM_UTIL_FIXED_LIMBS_H

// Inline arithmetic for the GMP integers generated models hold most: at most two 64-bit limbs.
// Sums and differences work on the value as a two's-complement pair of limbs, so a random sign
// costs no branch; comparisons go as GMP's do (sizes first, then up to two limbs of magnitude);
// products multiply magnitudes. Each function writes the exact result the way GMP would
// (magnitude limbs, no high zero limb, the sign in the size) and returns true, or writes nothing
// and returns false when an operand or the result does not fit, and the caller makes the GMP
// call instead. Operands may be the destination: every operand is read before anything is
// written. The fields used are the documented ones of __mpz_struct.

#include "util/compiler.h"

#include <gmp.h>

#include <cstddef>

namespace simulation {
namespace limbs {

static_assert(GMP_NUMB_BITS == 64 && GMP_NAIL_BITS == 0, "two 64-bit limbs make 128 bits");
using bits::s128;
using bits::u128;

// Gives d room for two limbs, once: a destination keeps its limbs, so a model's temporaries and
// ports stop growing after its first step.
inline void reserveTwo(mpz_ptr d) {
  if (LOOM_UNLIKELY(d->_mp_alloc < 2))
    mpz_realloc2(d, 128);
}

inline unsigned limbCount(int size) {
  return size < 0 ? 0u - static_cast<unsigned>(size) : static_cast<unsigned>(size);
}

// A 128-bit word as two limbs. Sums and signs are computed on the halves: GCC spills the halves
// of a 128-bit integer to the stack around an exclusive or, which costs more than the arithmetic.
struct Pair {
  mp_limb_t low, high;
};

inline Pair pairOf(u128 v) {
  return {static_cast<mp_limb_t>(v), static_cast<mp_limb_t>(v >> 64)};
}
inline u128 wordOf(Pair v) {
  return u128(v.high) << 64 | v.low;
}

// v, or its two's complement when `negative`.
inline Pair negateIf(Pair v, bool negative) {
  const mp_limb_t s = 0 - static_cast<mp_limb_t>(negative);
  Pair r;
  r.high = (v.high ^ s) + bits::addCarry(v.low ^ s, static_cast<mp_limb_t>(negative), &r.low);
  return r;
}

// The two low limbs of |x| without a branch: GMP keeps one readable limb even for zero, and
// the second is read only where it exists (otherwise the first is read again and masked off).
inline Pair magnitudePair(mpz_srcptr x, unsigned n) {
  const mp_limb_t* p = x->_mp_d;
  return {p[0] & (0 - static_cast<mp_limb_t>(n != 0)),
          p[n >= 2] & (0 - static_cast<mp_limb_t>(n >= 2))};
}
inline u128 lowMagnitude(mpz_srcptr x, unsigned n) {
  return wordOf(magnitudePair(x, n));
}

// x, or -x when `negate`, in two's complement; `fits` is cleared unless x has at most two limbs
// and a magnitude below 2^127.
inline Pair loadPair(mpz_srcptr x, bool& fits, bool negate = false) {
  const int size = x->_mp_size;
  const unsigned n = limbCount(size);
  const Pair m = magnitudePair(x, n);
  fits &= n <= 2 && (m.high >> 63) == 0;
  return negateIf(m, (size < 0) != negate);
}

inline u128 load(mpz_srcptr x, bool& fits) {
  return wordOf(loadPair(x, fits));
}

// d = (negative ? -m : m).
inline void storeMagnitude(mpz_ptr d, Pair m, bool negative) {
  const int n = static_cast<int>((m.low | m.high) != 0) + static_cast<int>(m.high != 0);
  const int sign = -static_cast<int>(negative);
  reserveTwo(d);
  d->_mp_d[0] = m.low;
  d->_mp_d[1] = m.high;
  d->_mp_size = (n ^ sign) - sign;
}
inline void storeMagnitude(mpz_ptr d, u128 m, bool negative) {
  storeMagnitude(d, pairOf(m), negative);
}

// d = v, a two's-complement word; |v| <= 2^127 always fits two limbs.
inline void storePair(mpz_ptr d, Pair v) {
  const bool negative = (v.high >> 63) != 0;
  storeMagnitude(d, negateIf(v, negative), negative);
}
inline void store(mpz_ptr d, u128 v) {
  storePair(d, pairOf(v));
}

// x + y, or nothing when the signed sum overflows (both signs alike, the sum's not).
inline bool addPairs(Pair x, Pair y, Pair& sum) {
  sum.high = x.high + y.high + bits::addCarry(x.low, y.low, &sum.low);
  return (((x.high ^ sum.high) & (y.high ^ sum.high)) >> 63) == 0;
}

// d = v, in one limb.
inline void storeWord(mpz_ptr d, long v) {
  const mp_limb_t sign = static_cast<mp_limb_t>(v >> 63);
  reserveTwo(d);
  d->_mp_d[0] = (static_cast<mp_limb_t>(v) ^ sign) - sign;
  d->_mp_size = static_cast<int>(sign) | static_cast<int>(v != 0);
}

// True when a size is -2..2.
inline bool twoLimbsAtMost(int size) {
  return static_cast<unsigned>(size + 2) <= 4;
}

// True when both sizes are -2..2.
inline bool twoLimbsEach(int sa, int sb) {
  return (static_cast<unsigned>(sa + 2) <= 4) & (static_cast<unsigned>(sb + 2) <= 4);
}

// True when both sizes are -1, 0 or 1.
inline bool oneLimbEach(int sa, int sb) {
  return (static_cast<unsigned>(sa + 1) <= 2) & (static_cast<unsigned>(sb + 1) <= 2);
}

// A limb times its size (-1..1) as a word: the sign applied, and whatever a zero's limb holds
// ignored.
inline mp_limb_t signedLimb(mp_limb_t m, int size) {
  return m * static_cast<mp_limb_t>(static_cast<long>(size));
}

// d = a + b, or a - b when `subtract`, on two-limb words.
inline bool addWide(mpz_ptr d, mpz_srcptr a, mpz_srcptr b, bool subtract) {
  if (!twoLimbsEach(a->_mp_size, b->_mp_size))
    return false; // wider operands go to GMP without computing anything first
  bool fits = true;
  const Pair x = loadPair(a, fits), y = loadPair(b, fits, subtract);
  Pair sum;
  if (!(addPairs(x, y, sum) & fits))
    return false;
  storePair(d, sum);
  return true;
}

// d = a + b, or a - b when `subtract`. The common case of narrow models, one limb each below
// 2^62, runs on signed words, where neither the operands nor the result can overflow.
inline bool add(mpz_ptr d, mpz_srcptr a, mpz_srcptr b, bool subtract) {
  const int sa = a->_mp_size, sb = b->_mp_size;
  const mp_limb_t ma = a->_mp_d[0], mb = b->_mp_d[0];
  if (LOOM_LIKELY(oneLimbEach(sa, sb) && ((ma | mb) >> 62) == 0)) {
    const mp_limb_t x = signedLimb(ma, sa), y = signedLimb(mb, sb);
    storeWord(d, static_cast<long>(subtract ? x - y : x + y));
    return true;
  }
  return addWide(d, a, b, subtract);
}

// d = a + n, with n given as its sign and magnitude.
inline bool addWord(mpz_ptr d, mpz_srcptr a, bool negN, unsigned long n) {
  if (!twoLimbsAtMost(a->_mp_size))
    return false;
  bool fits = true;
  const Pair x = loadPair(a, fits), y = negateIf({n, 0}, negN);
  Pair sum;
  if (!(addPairs(x, y, sum) & fits))
    return false;
  storePair(d, sum);
  return true;
}

// One limb by one: the product of the magnitudes is at most 128 bits, one multiplication, no
// carry. `sign` is -1, 0 or 1: the product of the sizes, so that a zero operand's limb, whatever
// it holds, is written under size 0.
inline void mul1x1(mpz_ptr d, mp_limb_t x, mp_limb_t y, int sign) {
  const u128 p = u128(x) * y;
  const mp_limb_t high = static_cast<mp_limb_t>(p >> 64);
  reserveTwo(d);
  d->_mp_d[0] = static_cast<mp_limb_t>(p);
  d->_mp_d[1] = high;
  d->_mp_size = (1 + static_cast<int>(high != 0)) * sign;
}

// d = the limbs r[0..n-1] with the sign, where n is `count`, or one less when the top limb is
// zero; when d has room for all of them (GMP's own product gives it that room).
template <std::size_t count>
inline bool storeLimbs(mpz_ptr d, const mp_limb_t (&r)[count], bool negative) {
  constexpr int limbs = static_cast<int>(count);
  if (d->_mp_alloc < limbs)
    return false;
  for (std::size_t i = 0; i < count; ++i)
    d->_mp_d[i] = r[i];
  const int n = limbs - static_cast<int>(r[count - 1] == 0);
  d->_mp_size = negative ? -n : n;
  return true;
}

// Two limbs x1 x0 (x1 non-zero) by one limb w (non-zero): two products, two or three limbs.
inline bool mul2x1(mpz_ptr d, const mp_limb_t* x, mp_limb_t w, bool negative) {
  const u128 low = u128(x[0]) * w, high = (low >> 64) + u128(x[1]) * w;
  const mp_limb_t r[3] = {static_cast<mp_limb_t>(low), static_cast<mp_limb_t>(high),
                          static_cast<mp_limb_t>(high >> 64)};
  return storeLimbs(d, r, negative);
}

// Two limbs by two (both high limbs non-zero): four products, three or four limbs.
inline bool mul2x2(mpz_ptr d, const mp_limb_t* a, const mp_limb_t* b, bool negative) {
  const u128 p00 = u128(a[0]) * b[0], p01 = u128(a[0]) * b[1], p10 = u128(a[1]) * b[0],
             p11 = u128(a[1]) * b[1];
  const u128 mid = (p00 >> 64) + static_cast<mp_limb_t>(p01) + static_cast<mp_limb_t>(p10);
  const u128 high = (mid >> 64) + (p01 >> 64) + (p10 >> 64) + static_cast<mp_limb_t>(p11);
  const mp_limb_t r[4] = {static_cast<mp_limb_t>(p00), static_cast<mp_limb_t>(mid),
                          static_cast<mp_limb_t>(high),
                          static_cast<mp_limb_t>((high >> 64) + (p11 >> 64))};
  return storeLimbs(d, r, negative);
}

// d = a * b.
inline bool mul(mpz_ptr d, mpz_srcptr a, mpz_srcptr b) {
  const int sa = a->_mp_size, sb = b->_mp_size;
  if (LOOM_LIKELY(oneLimbEach(sa, sb))) {
    mul1x1(d, a->_mp_d[0], b->_mp_d[0], sa * sb); // the common case
    return true;
  }
  const bool negative = (sa ^ sb) < 0;
  const unsigned na = limbCount(sa), nb = limbCount(sb);
  if (na > 2 || nb > 2)
    return false;
  if (na == 0 || nb == 0) {
    storeMagnitude(d, 0, false);
    return true;
  }
  if (na + nb == 3)
    return na == 2 ? mul2x1(d, a->_mp_d, b->_mp_d[0], negative)
                   : mul2x1(d, b->_mp_d, a->_mp_d[0], negative);
  return mul2x2(d, a->_mp_d, b->_mp_d, negative);
}

// d = -a (negate) or |a|: the limbs copied, the sign set.
inline bool negAbs(mpz_ptr d, mpz_srcptr a, bool negate) {
  const int size = a->_mp_size;
  const unsigned n = limbCount(size);
  if (n > 2)
    return false;
  storeMagnitude(d, lowMagnitude(a, n), negate && size > 0);
  return true;
}

// d = a * 2^n, or floor(a / 2^-n) for negative n, when a and the result fit the signed word.
inline bool shift(mpz_ptr d, mpz_srcptr a, int n) {
  if (!twoLimbsAtMost(a->_mp_size))
    return false;
  bool fits = true;
  const s128 x = static_cast<s128>(load(a, fits));
  if (!fits)
    return false;
  if (n >= 0) {
    // The bits shifted out and the new sign bit must all equal the sign.
    if (n >= 127 || (x >> (127 - n)) != (x >> 127))
      return false;
    store(d, static_cast<u128>(x) << n);
    return true;
  }
  // The arithmetic shift rounds toward minus infinity.
  store(d, static_cast<u128>(x >> (n <= -127 ? 127 : -n)));
  return true;
}

// The sign of a - b (-1, 0, 1), as GMP finds it: the sizes order values of different sizes (sign
// and limb count), at any width; equal sizes of up to two limbs compare the magnitudes, the
// other way round for negative values. `done` is false for equal sizes of more limbs.
inline int compare(mpz_srcptr a, mpz_srcptr b, bool& done) {
  const int sa = a->_mp_size, sb = b->_mp_size;
  done = true;
  if (sa != sb)
    return sa > sb ? 1 : -1;
  const unsigned n = limbCount(sa);
  if (n > 2) {
    done = false;
    return 0;
  }
  const u128 x = lowMagnitude(a, n), y = lowMagnitude(b, n);
  const int c = static_cast<int>(x > y) - static_cast<int>(x < y);
  return sa < 0 ? -c : c;
}

} // namespace limbs
} // namespace simulation

#endif

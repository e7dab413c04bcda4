#ifndef LOOM_UTIL_FIXED_LIMBS_H
#define LOOM_UTIL_FIXED_LIMBS_H

// Inline arithmetic for the GMP integers generated models hold most: at most two 64-bit limbs.
// Sums, differences and comparisons work on the value as one signed 128-bit word, so a random
// sign costs no branch; products multiply magnitudes. Each function writes the exact result the
// way GMP would (magnitude limbs, no high zero limb, the sign in the size) and returns true, or
// writes nothing and returns false when an operand or the result does not fit, and the caller
// makes the GMP call instead. Operands may be the destination: every operand is read before
// anything is written. The fields used are the documented ones of __mpz_struct.

#include <gmp.h>

namespace simulation {
namespace limbs {

static_assert(GMP_NUMB_BITS == 64 && GMP_NAIL_BITS == 0, "two 64-bit limbs make 128 bits");
__extension__ typedef unsigned __int128 u128; // a GCC and Clang extension
__extension__ typedef __int128 s128;

// Gives d room for two limbs, once: a destination keeps its limbs, so a model's temporaries and
// ports stop growing after its first step.
inline void reserveTwo(mpz_ptr d) {
  if (__builtin_expect(d->_mp_alloc < 2, 0))
    mpz_realloc2(d, 128);
}

// The two low limbs of |x| without a branch: GMP keeps one readable limb even for zero, and
// the second is read only where it exists.
inline u128 lowMagnitude(mpz_srcptr x, unsigned n) {
  static const mp_limb_t zero = 0;
  const mp_limb_t low = x->_mp_d[0] & (0 - static_cast<mp_limb_t>(n != 0));
  const mp_limb_t* high = n >= 2 ? x->_mp_d + 1 : &zero;
  return u128(*high) << 64 | low;
}

inline unsigned limbCount(int size) {
  return size < 0 ? 0u - static_cast<unsigned>(size) : static_cast<unsigned>(size);
}

// x as a signed 128-bit word, when it has at most two limbs and a magnitude below 2^127.
inline bool load(mpz_srcptr x, s128& v) {
  const int size = x->_mp_size;
  const unsigned n = limbCount(size);
  const u128 m = lowMagnitude(x, n);
  const u128 sign = 0 - u128(size < 0); // all ones for a negative x
  v = static_cast<s128>((m ^ sign) - sign);
  return n <= 2 && (m >> 127) == 0;
}

// d = (negative ? -m : m).
inline void storeMagnitude(mpz_ptr d, u128 m, bool negative) {
  const mp_limb_t low = static_cast<mp_limb_t>(m), high = static_cast<mp_limb_t>(m >> 64);
  const int n = static_cast<int>((low | high) != 0) + static_cast<int>(high != 0);
  const int sign = -static_cast<int>(negative);
  reserveTwo(d);
  d->_mp_d[0] = low;
  d->_mp_d[1] = high;
  d->_mp_size = (n ^ sign) - sign;
}

// d = v; |v| <= 2^127 always fits two limbs.
inline void store(mpz_ptr d, s128 v) {
  const u128 sign = static_cast<u128>(v >> 127);
  storeMagnitude(d, (static_cast<u128>(v) ^ sign) - sign, v < 0);
}

// d = a + b, or a - b when `subtract`.
inline bool add(mpz_ptr d, mpz_srcptr a, mpz_srcptr b, bool subtract) {
  s128 x, y, sum;
  const bool fits = load(a, x) & load(b, y);
  if (!fits || __builtin_add_overflow(x, subtract ? -y : y, &sum))
    return false;
  store(d, sum);
  return true;
}

// d = a + n, with n given as its sign and magnitude.
inline bool addWord(mpz_ptr d, mpz_srcptr a, bool negN, unsigned long n) {
  s128 x, sum;
  if (!load(a, x) || __builtin_add_overflow(x, negN ? -s128(n) : s128(n), &sum))
    return false;
  store(d, sum);
  return true;
}

// The product of one-limb magnitudes is at most 128 bits: one multiplication, no carry.
inline void mul1x1(mpz_ptr d, mp_limb_t x, mp_limb_t y, bool negative) {
  storeMagnitude(d, u128(x) * y, negative);
}

// Writes the n limbs r[0..n-1] (the highest non-zero) with the sign, when d has room.
inline bool storeLimbs(mpz_ptr d, const mp_limb_t* r, int n, bool negative) {
  if (d->_mp_alloc < n)
    return false;
  for (int i = 0; i < n; ++i)
    d->_mp_d[i] = r[i];
  d->_mp_size = negative ? -n : n;
  return true;
}

// Two limbs x1 x0 (x1 non-zero) by one limb w (non-zero): two products, two or three limbs.
inline bool mul2x1(mpz_ptr d, const mp_limb_t* x, mp_limb_t w, bool negative) {
  const u128 low = u128(x[0]) * w, high = (low >> 64) + u128(x[1]) * w;
  const mp_limb_t r[3] = {static_cast<mp_limb_t>(low), static_cast<mp_limb_t>(high),
                          static_cast<mp_limb_t>(high >> 64)};
  return storeLimbs(d, r, r[2] != 0 ? 3 : 2, negative);
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
  return storeLimbs(d, r, r[3] != 0 ? 4 : 3, negative);
}

// d = a * b.
inline bool mul(mpz_ptr d, mpz_srcptr a, mpz_srcptr b) {
  const int sa = a->_mp_size, sb = b->_mp_size;
  const bool negative = (sa ^ sb) < 0;
  const unsigned na = limbCount(sa), nb = limbCount(sb);
  if (na <= 1 && nb <= 1) { // the common case; a zero operand gives a zero magnitude
    mul1x1(d, static_cast<mp_limb_t>(lowMagnitude(a, na)),
           static_cast<mp_limb_t>(lowMagnitude(b, nb)), negative);
    return true;
  }
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
  s128 x;
  if (!load(a, x))
    return false;
  if (n >= 0) {
    // The bits shifted out and the new sign bit must all equal the sign.
    if (n >= 127 || (x >> (127 - n)) != (x >> 127))
      return false;
    store(d, static_cast<s128>(static_cast<u128>(x) << n));
    return true;
  }
  store(d, x >> (n <= -127 ? 127 : -n)); // the arithmetic shift rounds toward minus infinity
  return true;
}

// The sign of a - b (-1, 0, 1), when both fit the signed word; `done` is false otherwise.
inline int compare(mpz_srcptr a, mpz_srcptr b, bool& done) {
  s128 x, y;
  done = load(a, x) & load(b, y);
  return (x > y) - (x < y);
}

} // namespace limbs
} // namespace simulation

#endif

#ifndef LOOM_UTIL_FIXED_LIMBS_H
#define LOOM_UTIL_FIXED_LIMBS_H

// Inline arithmetic for the GMP integers generated models hold most: at most two 64-bit limbs.
// Each function computes the exact result on 128- or 256-bit words and writes it the way GMP
// would (magnitude limbs, no high zero limb, the sign in the size) when the destination already
// has room for it; otherwise it writes nothing and returns false, and the caller makes the GMP
// call instead. Operands may be the destination: every operand is read before anything is
// written. The fields used are the documented ones of __mpz_struct.

#include <gmp.h>

namespace simulation {
namespace limbs {

static_assert(GMP_NUMB_BITS == 64 && GMP_NAIL_BITS == 0, "two 64-bit limbs make 128 bits");
__extension__ typedef unsigned __int128 u128; // a GCC and Clang extension

// At most two limbs.
inline bool small(mpz_srcptr x) {
  return static_cast<unsigned>(x->_mp_size + 2) <= 4u;
}
inline bool negative(mpz_srcptr x) {
  return x->_mp_size < 0;
}
// The magnitude of a small x.
inline u128 magnitude(mpz_srcptr x) {
  const int n = x->_mp_size < 0 ? -x->_mp_size : x->_mp_size;
  return n == 0 ? 0 : n == 1 ? x->_mp_d[0] : (u128(x->_mp_d[1]) << 64 | x->_mp_d[0]);
}

// d = (neg ? -m : m) when d has room for m's limbs.
inline bool store(mpz_ptr d, u128 m, bool neg) {
  const int n = m == 0 ? 0 : (m >> 64) != 0 ? 2 : 1;
  if (d->_mp_alloc < n)
    return false;
  if (n > 0) // an integer that never held a value may point at a shared read-only limb
    d->_mp_d[0] = static_cast<mp_limb_t>(m);
  if (n > 1)
    d->_mp_d[1] = static_cast<mp_limb_t>(m >> 64);
  d->_mp_size = neg ? -n : n;
  return true;
}

// d = (negA ? -ma : ma) + (negB ? -mb : mb); false when the sum needs a third limb.
inline bool addSigned(mpz_ptr d, bool negA, u128 ma, bool negB, u128 mb) {
  if (negA == negB) {
    const u128 sum = ma + mb;
    return sum >= ma && store(d, sum, negA);
  }
  return ma >= mb ? store(d, ma - mb, negA) : store(d, mb - ma, negB);
}

// d = a + b, or a - b when `subtract`.
inline bool add(mpz_ptr d, mpz_srcptr a, mpz_srcptr b, bool subtract) {
  return small(a) && small(b) &&
         addSigned(d, negative(a), magnitude(a), negative(b) != subtract, magnitude(b));
}

// d = a + n, with n given as its sign and magnitude.
inline bool addWord(mpz_ptr d, mpz_srcptr a, bool negN, unsigned long n) {
  return small(a) && addSigned(d, negative(a), magnitude(a), negN, n);
}

// Writes the n limbs r[0..n-1] (the highest non-zero) with the sign, when d has room.
inline bool storeLimbs(mpz_ptr d, const mp_limb_t* r, int n, bool neg) {
  if (d->_mp_alloc < n)
    return false;
  for (int i = 0; i < n; ++i)
    d->_mp_d[i] = r[i];
  d->_mp_size = neg ? -n : n;
  return true;
}

// d = a * b: up to four limbs from the 64 x 64-bit products of the limbs.
inline bool mul(mpz_ptr d, mpz_srcptr a, mpz_srcptr b) {
  const int sa = a->_mp_size, sb = b->_mp_size;
  const bool neg = (sa ^ sb) < 0;
  const int na = sa < 0 ? -sa : sa, nb = sb < 0 ? -sb : sb;
  if (na == 1 && nb == 1) // the common case: one product
    return store(d, u128(a->_mp_d[0]) * b->_mp_d[0], neg);
  if (na > 2 || nb > 2)
    return false;
  if (na == 0 || nb == 0)
    return store(d, 0, false);
  if (na + nb == 3) { // two limbs x1 x0 by one limb w: two products, two limbs or three
    const mp_limb_t* x = na == 2 ? a->_mp_d : b->_mp_d;
    const mp_limb_t w = na == 2 ? b->_mp_d[0] : a->_mp_d[0];
    const u128 low = u128(x[0]) * w, high = (low >> 64) + u128(x[1]) * w;
    const int n = (high >> 64) != 0 ? 3 : 2; // x1 and w are non-zero: at least 2^64
    if (d->_mp_alloc < n)
      return false;
    d->_mp_d[0] = static_cast<mp_limb_t>(low);
    d->_mp_d[1] = static_cast<mp_limb_t>(high);
    if (n == 3)
      d->_mp_d[2] = static_cast<mp_limb_t>(high >> 64);
    d->_mp_size = neg ? -n : n;
    return true;
  }
  const mp_limb_t a0 = a->_mp_d[0], a1 = a->_mp_d[1], b0 = b->_mp_d[0], b1 = b->_mp_d[1];
  const u128 p00 = u128(a0) * b0, p01 = u128(a0) * b1, p10 = u128(a1) * b0, p11 = u128(a1) * b1;
  const u128 mid = (p00 >> 64) + static_cast<mp_limb_t>(p01) + static_cast<mp_limb_t>(p10);
  const u128 high = (mid >> 64) + (p01 >> 64) + (p10 >> 64) + static_cast<mp_limb_t>(p11);
  const mp_limb_t r[4] = {static_cast<mp_limb_t>(p00), static_cast<mp_limb_t>(mid),
                          static_cast<mp_limb_t>(high),
                          static_cast<mp_limb_t>((high >> 64) + (p11 >> 64))};
  return storeLimbs(d, r, r[3] != 0 ? 4 : 3, neg); // a1 and b1 are non-zero: at least 2^128
}

// d = -a (negate) or |a|.
inline bool negAbs(mpz_ptr d, mpz_srcptr a, bool negate) {
  return small(a) && store(d, magnitude(a), negate ? !negative(a) : false);
}

// d = a * 2^n, or floor(a / 2^-n) for negative n, when the result fits two limbs.
inline bool shift(mpz_ptr d, mpz_srcptr a, int n) {
  if (!small(a))
    return false;
  const u128 m = magnitude(a);
  const bool neg = negative(a);
  if (n >= 0)
    return n < 128 && (m >> (127 - n)) >> 1 == 0 && store(d, m << n, neg);
  if (n <= -128)
    return store(d, neg && m != 0 ? 1 : 0, neg); // 0, or -1 for a negative value
  const unsigned k = static_cast<unsigned>(-n);
  const u128 q = m >> k;
  // Toward minus infinity: a negative value with bits shifted out goes one further.
  return store(d, neg && (m & ((u128(1) << k) - 1)) != 0 ? q + 1 : q, neg);
}

// The sign of a - b (-1, 0, 1), when both are small; `done` is false otherwise.
inline int compare(mpz_srcptr a, mpz_srcptr b, bool& done) {
  done = a->_mp_size != b->_mp_size || small(a);
  if (a->_mp_size != b->_mp_size)
    return a->_mp_size < b->_mp_size ? -1 : 1;
  if (!done)
    return 0;
  const u128 ma = magnitude(a), mb = magnitude(b);
  const int c = (ma > mb) - (ma < mb);
  return negative(a) ? -c : c;
}

} // namespace limbs
} // namespace simulation

#endif

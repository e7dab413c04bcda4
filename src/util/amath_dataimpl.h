#ifndef LOOM_UTIL_AMATH_DATAIMPL_H
#define LOOM_UTIL_AMATH_DATAIMPL_H

#include "util/amath.h"
#include "util/assert_handler.h"
#include "util/export.h"
#include "util/temp_var_allocator.h"
#include "util/var_types.h"

#include <gmp.h>

#include <string>

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
// port = the lower (direction < 0) or upper limit of the format.
LOOM_UTIL_API void setLimit(mpz_ptr port, int direction, int widthCode);
} // namespace detail

// A fixed-point variable held as a GMP integer: the value scaled by its binary point. Every
// member is a thin inline call into GMP on the storage `value` points at.
class LOOM_UTIL_API FixedRef : public VariableRef {
public:
  FixedRef(VarType* vType, util::TempVarAllocator& alloc);

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
  void setZero() { mpz_set_ui(*value, 0); }
  void setOne() { mpz_set_ui(*value, 1); }

  void setAdd(FixedRef& a, FixedRef& b) { mpz_add(*value, *a.value, *b.value); }
  void setSub(FixedRef& a, FixedRef& b) { mpz_sub(*value, *a.value, *b.value); }
  void setMult(FixedRef& a, FixedRef& b) { mpz_mul(*value, *a.value, *b.value); }
  void setAdd(FixedRef& a, int n) {
    if (n >= 0)
      mpz_add_ui(*value, *a.value, static_cast<unsigned long>(n));
    else
      mpz_sub_ui(*value, *a.value, 0ul - static_cast<unsigned long>(n));
  }
  void setAdd(FixedRef& a, unsigned long n) { mpz_add_ui(*value, *a.value, n); }
  void setSub(FixedRef& a, int n) {
    if (n >= 0)
      mpz_sub_ui(*value, *a.value, static_cast<unsigned long>(n));
    else
      mpz_add_ui(*value, *a.value, 0ul - static_cast<unsigned long>(n));
  }
  void setSub(FixedRef& a, unsigned long n) { mpz_sub_ui(*value, *a.value, n); }

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
    if (mpz_cmp(*a.value, *b.value) >= 0)
      mpz_sub(*value, *a.value, *b.value);
    else
      mpz_set_ui(*value, 0);
  }
  void setAbs(FixedRef& a) { mpz_abs(*value, *a.value); }
  void setNeg(FixedRef& a) { mpz_neg(*value, *a.value); }
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
    if (n >= 0)
      mpz_mul_2exp(*value, *a.value, static_cast<mp_bitcnt_t>(n));
    else
      mpz_fdiv_q_2exp(*value, *a.value, 0ul - static_cast<mp_bitcnt_t>(n));
  }
  // a * s rounded to the nearest integer, halves away from zero, at GMP's default float
  // precision. A scale that is not finite is an internal restriction.
  void setScaleDouble(FixedRef& a, double s);

  int compare(long n) const { return mpz_cmp_si(*value, n); }
  bool isEqual(FixedRef& a) const { return mpz_cmp(*value, *a.value) == 0; }
  bool isEqual(int n) const { return mpz_cmp_si(*value, n) == 0; }
  bool isEqual(long long n) const { return mpz_cmp_si(*value, static_cast<long>(n)) == 0; }
  bool isEqual(long n) const { return mpz_cmp_si(*value, n) == 0; }
  bool isEqual(unsigned long long n) const {
    return mpz_cmp_ui(*value, static_cast<unsigned long>(n)) == 0;
  }
  bool isEqual(unsigned long n) const { return mpz_cmp_ui(*value, n) == 0; }
  bool lessThan(FixedRef& a) const { return mpz_cmp(*value, *a.value) < 0; }
  bool lessEqual(FixedRef& a) const { return mpz_cmp(*value, *a.value) <= 0; }
  bool greaterThan(FixedRef& a) const { return mpz_cmp(*value, *a.value) > 0; }
  bool greaterEqual(FixedRef& a) const { return mpz_cmp(*value, *a.value) >= 0; }
  bool lessThan(int n) const { return mpz_cmp_si(*value, n) < 0; }
  bool isZero() const { return mpz_sgn(*value) == 0; }
  bool isNaN() const { return false; }
  int getSgn() const { return mpz_sgn(*value); }
  int getSignedInt() const { return static_cast<int>(mpz_get_si(*value)); }
  // The low 32 bits of the magnitude.
  unsigned getUnsignedInt() const { return static_cast<unsigned>(mpz_getlimbn(*value, 0)); }

  // 0 when the value fits the width code; otherwise -1 (below) or 1 (above), and a bound port
  // is clamped to the limit passed. Every bit of the value is checked.
  int saturate(int widthCode);

  // Digits in the given base (2..62, or -36..-2 for upper-case letters), "-" first if negative.
  std::string toString(int base) const;

  mpz_t* value; // the storage every operation reads and writes
  mpz_t* own;   // this reference's temporary
  util::TempVarAllocator* allocator;

private:
  static void checkDivisor(const FixedRef& b) {
    LOOM_ASSERT_MSG(mpz_sgn(*b.value) != 0, "Division by zero in fixed-point simulation.");
  }
};

} // namespace simulation

#endif

// The out-of-line members of the simulation references and the float packers.
#include "util/amath_dataimpl.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace simulation {

namespace detail {

void checkArrayShape(unsigned rows, unsigned cols) {
  LOOM_ASSERT_MSG(static_cast<std::uint64_t>(rows) * cols <= UINT32_MAX,
                  "Array has more elements than 32-bit indexing allows.");
}

void checkWidthCode(int widthCode) {
  LOOM_ASSERT_MSG(widthCode != 0, "A width code of 0 describes no format.");
}

void refuseType(const VarType* vType, TypeRepr repr) {
  LOOM_ASSERT(vType != nullptr);
  if (repr == TR_MPZ) {
    LOOM_ASSERT(vType->getImpl() == TR_MPZ);
  } else if (repr == TR_DP) {
    LOOM_ASSERT(vType->getImpl() == TR_DP);
  } else if (repr == TR_SP) {
    LOOM_ASSERT(vType->getImpl() == TR_SP);
  } else {
    const TypeRepr tRep = vType->getImpl();
    LOOM_ASSERT(tRep == TR_SP || tRep == TR_DP || tRep == TR_MPFR);
  }
}

void setLimit(mpz_ptr port, int direction, int widthCode) {
  checkWidthCode(widthCode);
  const unsigned long bits = rangeBits(widthCode);
  if (direction < 0) {
    if (widthCode > 0) {
      mpz_set_ui(port, 0); // unsigned: 0
    } else {
      mpz_set_si(port, -1); // signed: -2^bits
      mpz_mul_2exp(port, port, bits);
    }
  } else {
    mpz_set_ui(port, 1); // 2^bits - 1
    mpz_mul_2exp(port, port, bits);
    mpz_sub_ui(port, port, 1);
  }
}

} // namespace detail

void VariableRef::setError(int direction, int widthCode) {
  if (io != nullptr)
    detail::setLimit(io->mData, direction, widthCode);
}

int FixedRef::setValue(const VarFloatRef& a) {
  mpfr_srcptr v = a.x();
  // An integer of more than 2^24 bits is no hardware value: refused rather than built (MPFR's
  // exponents reach 2^30 by default, which would ask GMP for 128 MB).
  LOOM_ASSERT_MSG(!mpfr_regular_p(v) || mpfr_get_exp(v) <= (mpfr_exp_t(1) << 24),
                  "Float value too large for a fixed-point integer.");
  mpfr_clear_erangeflag();
  mpfr_get_z(*value, v, MPFR_RNDN);
  if (!mpfr_erangeflag_p())
    return 0;
  if (mpfr_nan_p(v))
    return 0;
  return mpfr_signbit(v) ? -1 : 1;
}

int FixedRef::bindStack(int depth) {
  MPZ* slot = allocator->getStackFixed()->fromTop(depth);
  if (slot == nullptr)
    return -1;
  value = &slot->mValue;
  return 0;
}

int FixedRef::pop(bool discard) {
  MPZ* slot = allocator->getStackFixed()->popSlot();
  if (slot == nullptr)
    return -1;
  if (!discard)
    mpz_set(*value, slot->mValue);
  return 0;
}

void FixedRef::setSqrt(FixedRef& a) {
  LOOM_ASSERT_MSG(mpz_sgn(*a.value) >= 0, "Square root of a negative fixed-point value.");
  mpz_sqrt(*value, *a.value);
}

void FixedRef::setNot(FixedRef& a, int n) {
  mpz_set(*value, *a.value);
  for (int bit = 0; bit < n; ++bit)
    mpz_combit(*value, static_cast<mp_bitcnt_t>(bit));
}

namespace {
// z * 2^k; for negative k rounded to the nearest integer, halves away from zero: the truncated
// quotient of |z| plus bit -k-1 of |z|.
void shiftRounded(mpz_ptr z, long k) {
  if (k >= 0) {
    mpz_mul_2exp(z, z, static_cast<mp_bitcnt_t>(k));
    return;
  }
  const mp_bitcnt_t n = static_cast<mp_bitcnt_t>(-k);
  const bool negative = mpz_sgn(z) < 0;
  mpz_abs(z, z);
  const bool roundUp = mpz_tstbit(z, n - 1) != 0;
  mpz_tdiv_q_2exp(z, z, n);
  if (roundUp)
    mpz_add_ui(z, z, 1);
  if (negative)
    mpz_neg(z, z);
}
} // namespace

// s is m * 2^e with m an integer of at most 53 bits, so a * m is exact in the destination and
// a single rounding shift finishes the job: no float temporaries, exact at any width.
void FixedRef::setScaleDouble(FixedRef& a, double s) {
  LOOM_ASSERT_MSG(std::isfinite(s), "Scale factor must be a finite number.");
  static_assert(sizeof(long) * CHAR_BIT >= 64, "a 53-bit significand must fit a long");
  int e = 0;
  const long m = static_cast<long>(std::ldexp(std::frexp(s, &e), 53));
  e -= 53;
  mpz_mul_si(*value, *a.value, m);
  shiftRounded(*value, e);
}

int FixedRef::saturateAny(int widthCode) {
  detail::checkWidthCode(widthCode);
  bool fits = widthCode > -127 && widthCode < 127;
  const limbs::s128 v = static_cast<limbs::s128>(limbs::load(*value, fits));
  if (fits) { // on the signed word
    const limbs::s128 top = limbs::s128(1) << detail::rangeBits(widthCode);
    const limbs::s128 bottom = widthCode > 0 ? 0 : -top;
    const int direction = v < bottom ? -1 : (v >= top ? 1 : 0);
    if (direction != 0 && io != nullptr)
      detail::setLimit(io->mData, direction, widthCode);
    return direction;
  }
  const unsigned long bits = detail::rangeBits(widthCode);
  const mp_bitcnt_t none = ~static_cast<mp_bitcnt_t>(0);
  int direction = 0;
  if (mpz_sgn(*value) < 0) {
    // A negative value fits a signed format when every bit from `bits` up is one.
    if (widthCode > 0 || mpz_scan0(*value, bits) != none)
      direction = -1;
  } else if (mpz_scan1(*value, bits) != none) {
    direction = 1;
  }
  if (direction != 0 && io != nullptr)
    detail::setLimit(io->mData, direction, widthCode);
  return direction;
}

std::string FixedRef::toString(int base) const {
  LOOM_ASSERT_MSG((base >= 2 && base <= 62) || (base >= -36 && base <= -2),
                  "Base outside the range GMP can print.");
  std::string text(mpz_sizeinbase(*value, base < 0 ? -base : base) + 2, '\0');
  mpz_get_str(&text[0], base, *value);
  text.resize(std::strlen(text.c_str()));
  return text;
}

// ---------------------------------------------------------------------------------------------
// Scratch values: one set per thread, reused by every call, so that the members that need
// temporaries allocate only the first time (or when a wider precision comes along).

namespace {

struct ScratchFloats {
  ScratchFloats() { mpfr_inits2(53, a, b, static_cast<mpfr_ptr>(nullptr)); }
  ~ScratchFloats() { mpfr_clears(a, b, static_cast<mpfr_ptr>(nullptr)); }
  ScratchFloats(const ScratchFloats&) = delete;
  ScratchFloats& operator=(const ScratchFloats&) = delete;
  mpfr_t a, b;
};

ScratchFloats& scratchFloats() {
  thread_local ScratchFloats scratch;
  return scratch;
}

struct ScratchInteger {
  ScratchInteger() { mpz_init(z); }
  ~ScratchInteger() { mpz_clear(z); }
  ScratchInteger(const ScratchInteger&) = delete;
  ScratchInteger& operator=(const ScratchInteger&) = delete;
  mpz_t z;
};

mpz_ptr scratchInteger() {
  thread_local ScratchInteger scratch;
  return scratch.z;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Test-bench conversions and debugging texts

namespace {

void checkFractionBits(int fractionBits) {
  LOOM_ASSERT_MSG(fractionBits <= (1 << 24) && fractionBits >= -(1 << 24),
                  "Too many fraction bits for a fixed-point value.");
}

// f = z * 2^e, exactly while the exponent stays inside MPFR's range.
void setExact(mpfr_ptr f, mpz_srcptr z, long e) {
  const mpfr_prec_t bits = static_cast<mpfr_prec_t>(mpz_sizeinbase(z, 2));
  mpfr_set_prec(f, bits > MPFR_PREC_MIN ? bits : MPFR_PREC_MIN);
  mpfr_set_z_2exp(f, z, e, MPFR_RNDN);
}

// "0x" and the digits of |z| in lower-case hexadecimal, at least `width` of them, "-" first if
// z is negative.
std::string hexInteger(mpz_srcptr z, std::size_t width) {
  std::string digits(mpz_sizeinbase(z, 16) + 2, '\0');
  mpz_get_str(&digits[0], 16, z);
  digits.resize(std::strlen(digits.c_str()));
  const bool negative = digits[0] == '-';
  if (negative)
    digits.erase(0, 1);
  if (digits.size() < width)
    digits.insert(0, width - digits.size(), '0');
  return (negative ? "-0x" : "0x") + digits;
}

// z * 2^e as C's "%a" writes a double, at any width: "0x1.<hex digits>p<exponent>" with no
// trailing zero digit, "0x0p+0" for zero.
std::string hexFloat(mpz_srcptr z, long e) {
  if (mpz_sgn(z) == 0)
    return "0x0p+0";
  mpz_t f;
  mpz_init(f);
  mpz_abs(f, z);
  const mp_bitcnt_t zeros = mpz_scan1(f, 0);
  mpz_fdiv_q_2exp(f, f, zeros);
  const std::size_t fractionBits = mpz_sizeinbase(f, 2) - 1; // below the leading one
  const std::size_t digits = (fractionBits + 3) / 4;
  const long exponent = e + static_cast<long>(zeros + fractionBits);
  mpz_mul_2exp(f, f, digits * 4 - fractionBits);
  mpz_clrbit(f, digits * 4);
  std::string text = mpz_sgn(z) < 0 ? "-0x1" : "0x1";
  if (digits > 0)
    text += "." + hexInteger(f, digits).substr(2);
  mpz_clear(f);
  return text + (exponent >= 0 ? "p+" : "p") + std::to_string(exponent);
}

std::string hexFloat(mpfr_srcptr x) {
  if (mpfr_nan_p(x))
    return "nan";
  const char* sign = mpfr_signbit(x) ? "-" : "";
  if (mpfr_inf_p(x))
    return sign + std::string("inf");
  if (mpfr_zero_p(x))
    return sign + std::string("0x0p+0");
  mpz_t m;
  mpz_init(m);
  const mpfr_exp_t e = mpfr_get_z_2exp(m, x);
  std::string text = hexFloat(m, e);
  mpz_clear(m);
  return text;
}

// MPFR's "%.<digits>Rg" of x.
std::string decimalFloat(mpfr_srcptr x, long digits) {
  char* text = nullptr;
  const int length = mpfr_asprintf(&text, "%.*Rg", static_cast<int>(digits), x);
  LOOM_ASSERT_MSG(length >= 0, "Cannot format a float value.");
  std::string result(text, static_cast<std::size_t>(length));
  mpfr_free_str(text);
  return result;
}

} // namespace

int FixedRef::setDouble(double x, int fractionBits) {
  checkFractionBits(fractionBits);
  if (!std::isfinite(x))
    return x < 0 ? -1 : 1;
  int e = 0; // x = m * 2^(e - 53), m an integer of at most 53 bits
  const long m = static_cast<long>(std::ldexp(std::frexp(x, &e), 53));
  mpz_set_si(*value, m);
  shiftRounded(*value, static_cast<long>(e) - 53 + fractionBits);
  return 0;
}

double FixedRef::toDouble(int fractionBits) const {
  ScratchFloats& s = scratchFloats();
  setExact(s.a, *value, -static_cast<long>(fractionBits));
  return mpfr_get_d(s.a, MPFR_RNDN);
}

std::string FixedRef::debugText(int fractionBits) const {
  checkFractionBits(fractionBits);
  ScratchFloats& s = scratchFloats();
  setExact(s.a, *value, -static_cast<long>(fractionBits));
  // A value of n bits scaled by 2^-f has at most n + |f| significant decimal digits.
  const long digits =
      static_cast<long>(mpz_sizeinbase(*value, 2)) + std::labs(static_cast<long>(fractionBits)) + 1;
  return decimalFloat(s.a, digits) + " (" + hexFloat(*value, -static_cast<long>(fractionBits)) +
         (io != nullptr ? ") port " : ") raw ") + hexInteger(*value, 0);
}

std::string VarFloatRef::debugText() const {
  const long digits = static_cast<long>(mpfr_get_str_ndigits(10, mpfr_get_prec(x())));
  std::string text = decimalFloat(x(), digits) + " (" + hexFloat(x()) + ")";
  if (io == nullptr)
    return text;
  const VarType* type = io->mVarType;
  const std::size_t width =
      type != nullptr && type->getImpl() != TR_MPZ
          ? static_cast<std::size_t>(static_cast<const VarFloatType*>(type)->getW() + 3) / 4
          : 0;
  return text + " port " + hexInteger(io->mData, width);
}

// ---------------------------------------------------------------------------------------------
// Single and double references

namespace {
// The value-stack moves of the native refs, alike but for the element type.
template <typename T> int popNative(T* slot, T* value, bool discard) {
  if (slot == nullptr)
    return -1;
  if (!discard)
    *value = *slot;
  return 0;
}
template <typename T> int bindNative(T* slot, T*& value) {
  if (slot == nullptr)
    return -1;
  value = slot;
  return 0;
}
} // namespace

int DoubleRef::pop(bool discard) {
  return popNative(allocator->getStackDouble()->popSlot(), value, discard);
}
int SingleRef::pop(bool discard) {
  return popNative(allocator->getStackSingle()->popSlot(), value, discard);
}
int DoubleRef::bindStack(int depth) {
  return bindNative(allocator->getStackDouble()->fromTop(depth), value);
}
int SingleRef::bindStack(int depth) {
  return bindNative(allocator->getStackSingle()->fromTop(depth), value);
}

void DoubleRef::restrictRegular(int, int flags, bool) {
  if ((flags & 1) != 0 && std::fpclassify(*value) == FP_SUBNORMAL)
    *value = std::copysign(0.0, *value);
}

void SingleRef::restrictRegular(int, int flags, bool) {
  if ((flags & 1) != 0 && std::fpclassify(*value) == FP_SUBNORMAL)
    *value = std::copysign(0.0f, *value);
}

void DoubleRef::setExp10(const DoubleRef& a) {
  ScratchFloats& s = scratchFloats();
  mpfr_set_prec(s.a, 53);
  mpfr_set_d(s.a, *a.value, MPFR_RNDN);
  mpfr_exp10(s.a, s.a, MPFR_RNDN);
  *value = mpfr_get_d(s.a, MPFR_RNDN);
}

void DoubleRef::setHypot(const DoubleRef& a, const DoubleRef& b) {
  ScratchFloats& s = scratchFloats();
  mpfr_set_prec(s.a, 53);
  mpfr_set_prec(s.b, 53);
  mpfr_set_d(s.a, *a.value, MPFR_RNDN);
  mpfr_set_d(s.b, *b.value, MPFR_RNDN);
  mpfr_hypot(s.a, s.a, s.b, MPFR_RNDN);
  *value = mpfr_get_d(s.a, MPFR_RNDN);
}

// ---------------------------------------------------------------------------------------------
// Float bit packing

bool VarFloatPacker::subnormalsToZero = true;

VarFloatPackerDefault VarFloatPackerDefault::instance;
VFPackerSingle VFPackerSingle::instance;
VFPackerDouble VFPackerDouble::instance;

void VarFloatPacker::flushSubnormalsToZero(bool on) {
  subnormalsToZero = on;
  IEEE_Single::subnormalsToZero = on;
  IEEE_Double::subnormalsToZero = on;
}

namespace {

// The exponent field and its 2^wE are worked in 32 bits.
void checkPackedFormat(int wE, int wF) {
  LOOM_ASSERT_MSG(wE >= 1 && wE <= 30 && wF >= 1, "Unsupported float format for bit packing.");
}

const VarFloatType& portFormat(const WideTypedFormat* port) {
  LOOM_ASSERT(port != nullptr && port->mVarType != nullptr);
  const TypeRepr tRep = port->mVarType->getImpl();
  LOOM_ASSERT(tRep == TR_SP || tRep == TR_DP || tRep == TR_MPFR);
  return *static_cast<const VarFloatType*>(port->mVarType);
}

// Sets the bits of `field` (at most 31 of them) at position `at`; the rest of z is kept.
void orField(mpz_ptr z, unsigned long field, mp_bitcnt_t at) {
  for (mp_bitcnt_t bit = 0; field != 0; ++bit, field >>= 1)
    if ((field & 1u) != 0)
      mpz_setbit(z, at + bit);
}

// Formats whose significand fits one limb (wF < 64) move straight between the port's integer
// (at most two limbs, non-negative) and MPFR's limb: the same results as the GMP route below,
// with no call in packing and none but the exponent range check in unpacking. NaN, whose flag
// MPFR keeps, and values that need rounding take the GMP route.
using limbs::u128;

bool packInline(mpfr_srcptr x, int wE, int wF, bool flush, mpz_ptr out) {
  if (wF >= 64 || mpfr_get_prec(x) > wF + 1 || mpfr_nan_p(x))
    return false;
  const u128 allOnes = (u128(1) << wE) - 1, hidden = u128(1) << wF;
  u128 pattern = 0;
  if (mpfr_inf_p(x)) {
    pattern = allOnes << wF;
  } else if (!mpfr_zero_p(x)) { // |x| = 1.f * 2^(exp - 1), the wF + 1 bits at the limb's top
    const u128 m = static_cast<const mp_limb_t*>(mpfr_custom_get_significand(x))[0] >> (63 - wF);
    const mpfr_exp_t biased = (mpfr_exp_t(1) << (wE - 1)) - 1 + mpfr_custom_get_exp(x) - 1;
    if (biased >= static_cast<mpfr_exp_t>(allOnes))
      pattern = allOnes << wF; // overflow: infinity
    else if (biased >= 1)
      pattern = u128(biased) << wF | (m - hidden);
    else if (!flush && 1 - biased <= 64) { // subnormal: m / 2^(1 - biased), ties to even
      const int shift = static_cast<int>(1 - biased);
      const bool half = (m >> (shift - 1) & 1) != 0,
                 below = (m & ((u128(1) << (shift - 1)) - 1)) != 0;
      pattern = m >> shift;
      pattern += half && (below || (pattern & 1) != 0); // reaching 2^wF is the smallest normal
    }
  }
  if (mpfr_signbit(x))
    pattern |= u128(1) << (wE + wF);
  limbs::storeMagnitude(out, pattern, false);
  return true;
}

bool unpackInline(mpfr_ptr x, int wE, int wF, bool flush, mpz_srcptr in) {
  const mpfr_prec_t p = mpfr_get_prec(x);
  if (wF >= 64 || p < wF + 1 || p > 64 || in->_mp_size < 0 || in->_mp_size > 2)
    return false;
  const u128 bits = limbs::lowMagnitude(in, limbs::limbCount(in->_mp_size)),
             allOnes = (u128(1) << wE) - 1;
  const u128 exponent = bits >> wF & allOnes, fraction = bits & ((u128(1) << wF) - 1);
  const int sign = (bits >> (wE + wF) & 1) != 0 ? -1 : 1;
  mp_limb_t* limb = static_cast<mp_limb_t*>(mpfr_custom_get_significand(x));
  if (exponent == allOnes) {
    if (fraction != 0)
      return false; // NaN
    mpfr_custom_init_set(x, sign * MPFR_INF_KIND, 0, p, limb);
    return true;
  }
  if (exponent == 0 && (fraction == 0 || flush)) {
    mpfr_custom_init_set(x, sign * MPFR_ZERO_KIND, 0, p, limb);
    return true;
  }
  // m * 2^(max(exponent, 1) - bias - wF), m of at most wF + 1 <= p bits: exact in one limb.
  const mp_limb_t m = static_cast<mp_limb_t>(exponent != 0 ? fraction | u128(1) << wF : fraction);
  const int zeros = bits::leadingZeros(m);
  const mpfr_exp_t e = static_cast<mpfr_exp_t>(exponent != 0 ? exponent : 1) -
                       ((mpfr_exp_t(1) << (wE - 1)) - 1) - wF + 64 - zeros;
  if (e < mpfr_get_emin() || e > mpfr_get_emax())
    return false;
  limb[0] = m << zeros;
  mpfr_custom_init_set(x, sign * MPFR_REGULAR_KIND, e, p, limb);
  return true;
}

} // namespace

void VarFloatPackerDefault::packBits(mpfr_t x, WideTypedFormat* port) {
  const VarFloatType& format = portFormat(port);
  packBits(x, format.getWE(), format.getWF(), port->mData);
}

void VarFloatPackerDefault::unpackBits(mpfr_t x, WideTypedFormat* port) {
  const VarFloatType& format = portFormat(port);
  unpackBits(x, format.getWE(), format.getWF(), port->mData);
}

void VarFloatPackerDefault::packBits(mpfr_t x, int wE, int wF, mpz_t& out) {
  checkPackedFormat(wE, wF);
  if (packInline(x, wE, wF, subnormalsToZero, out))
    return;
  const mp_bitcnt_t fractionBits = static_cast<mp_bitcnt_t>(wF);
  const mp_bitcnt_t signBit = fractionBits + static_cast<mp_bitcnt_t>(wE);
  const unsigned long allOnes = (1ul << wE) - 1; // the exponent field of infinity and NaN
  const long bias = (1l << (wE - 1)) - 1;
  const bool negative = mpfr_signbit(x) != 0;

  mpz_set_ui(out, 0);
  if (mpfr_nan_p(x)) {
    mpfr_set_erangeflag();
    orField(out, 3, 0);
    orField(out, (allOnes << 1) | 1u, fractionBits); // exponent and sign all ones
    return;
  }
  if (mpfr_inf_p(x)) {
    orField(out, allOnes, fractionBits);
  } else if (!mpfr_zero_p(x)) {
    // x = m * 2^e with |m| of exactly wF + 1 bits, so |x| = 1.f * 2^(e + wF). The
    // significand is read straight from MPFR's limbs through a read-only integer view, which
    // allocates nothing (mpfr_get_z_2exp resizes its target on every call).
    const mpfr_prec_t precision = mpfr_get_prec(x);
    LOOM_ASSERT_MSG(precision <= wF + 1, "Float value is wider than the port format.");
    const mp_size_t limbCount = (precision + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
    mpz_t significand;
    mpz_roinit_n(significand, static_cast<const mp_limb_t*>(mpfr_custom_get_significand(x)),
                 limbCount);
    mpz_fdiv_q_2exp(out, significand,
                    static_cast<mp_bitcnt_t>(limbCount * GMP_NUMB_BITS - precision));
    const mp_bitcnt_t widen = static_cast<mp_bitcnt_t>(wF + 1 - precision);
    mpz_mul_2exp(out, out, widen);
    const mpfr_exp_t e = mpfr_get_exp(x) - precision - static_cast<mpfr_exp_t>(widen);
    const mpfr_exp_t biased = bias + e + wF;
    if (biased >= static_cast<mpfr_exp_t>(allOnes)) {
      mpz_set_ui(out, 0); // overflow: infinity
      orField(out, allOnes, fractionBits);
    } else if (biased >= 1) {
      mpz_clrbit(out, fractionBits); // the hidden one
      orField(out, static_cast<unsigned long>(biased), fractionBits);
    } else if (subnormalsToZero) {
      mpz_set_ui(out, 0);
    } else {
      // Subnormal: |m| / 2^(1 - E), rounded to nearest, ties to even. A rounding that
      // reaches 2^wF is the smallest normal encoding by itself.
      const mp_bitcnt_t shift = static_cast<mp_bitcnt_t>(1 - biased);
      const bool half = mpz_tstbit(out, shift - 1) != 0;
      const bool sticky = mpz_scan1(out, 0) < shift - 1;
      mpz_fdiv_q_2exp(out, out, shift);
      if (half && (sticky || mpz_odd_p(out)))
        mpz_add_ui(out, out, 1);
    }
  }
  if (negative)
    mpz_setbit(out, signBit);
}

void VarFloatPackerDefault::unpackBits(mpfr_t x, int wE, int wF, const mpz_t& in) {
  checkPackedFormat(wE, wF);
  if (unpackInline(x, wE, wF, subnormalsToZero, in))
    return;
  const mp_bitcnt_t fractionBits = static_cast<mp_bitcnt_t>(wF);
  const unsigned long allOnes = (1ul << wE) - 1;
  const long bias = (1l << (wE - 1)) - 1;

  unsigned long exponent = 0;
  for (int bit = 0; bit < wE; ++bit)
    if (mpz_tstbit(in, fractionBits + static_cast<mp_bitcnt_t>(bit)) != 0)
      exponent |= 1ul << bit;
  const bool negative = mpz_tstbit(in, fractionBits + static_cast<mp_bitcnt_t>(wE)) != 0;
  mpz_ptr fraction = scratchInteger();
  mpz_fdiv_r_2exp(fraction, in, fractionBits);

  if (exponent == allOnes) {
    if (mpz_sgn(fraction) == 0)
      mpfr_set_inf(x, negative ? -1 : 1);
    else
      mpfr_set_nan(x);
    return;
  }
  if (exponent == 0) {
    if (mpz_sgn(fraction) != 0 && !subnormalsToZero)
      mpfr_set_z_2exp(x, fraction, 1 - bias - wF, MPFR_RNDN);
    else
      mpfr_set_zero(x, 1);
  } else {
    mpz_setbit(fraction, fractionBits); // the hidden one
    mpfr_set_z_2exp(x, fraction, static_cast<mpfr_exp_t>(exponent) - bias - wF, MPFR_RNDN);
  }
  if (negative)
    mpfr_neg(x, x, MPFR_RNDN);
}

namespace {

// The single and double packers follow the reference's format; a port of another format would
// receive (or give) a pattern of the wrong layout.
void checkNativePort(const WideTypedFormat* port, int wE, int wF) {
  const VarFloatType& format = portFormat(port);
  LOOM_ASSERT_MSG(format.getWE() == wE && format.getWF() == wF,
                  "Float port format differs from the value's format.");
}

// Whether x lies below the normal range of a format whose smallest normal has the MPFR
// exponent `minExponent`. Tested on x itself, as the default packer does: narrowing to the
// native type first may round such a value up to the smallest normal.
bool belowNormalRange(mpfr_srcptr x, mpfr_exp_t minExponent) {
  return mpfr_regular_p(x) && mpfr_get_exp(x) < minExponent;
}

} // namespace

void VFPackerSingle::packBits(mpfr_t x, WideTypedFormat* port) {
  checkNativePort(port, 8, 23);
  const bool flush = subnormalsToZero && belowNormalRange(x, -125); // 2^-126 is 0.1b * 2^-125
  const float f =
      flush ? (mpfr_signbit(x) ? -0.0f : 0.0f) : static_cast<float>(mpfr_get_d(x, MPFR_RNDN));
  IEEE_Single(f).Set(*port);
}

void VFPackerSingle::unpackBits(mpfr_t x, WideTypedFormat* port) {
  checkNativePort(port, 8, 23);
  mpfr_set_d(x, static_cast<double>(IEEE_Single(*port).mValue), MPFR_RNDN);
}

void VFPackerDouble::packBits(mpfr_t x, WideTypedFormat* port) {
  checkNativePort(port, 11, 52);
  const bool flush = subnormalsToZero && belowNormalRange(x, -1021); // 2^-1022
  const double d = flush ? (mpfr_signbit(x) ? -0.0 : 0.0) : mpfr_get_d(x, MPFR_RNDN);
  IEEE_Double(d).Set(*port);
}

void VFPackerDouble::unpackBits(mpfr_t x, WideTypedFormat* port) {
  checkNativePort(port, 11, 52);
  mpfr_set_d(x, IEEE_Double(*port).mValue, MPFR_RNDN);
}

// ---------------------------------------------------------------------------------------------
// Variable-precision float references

int VarFloatRef::pop(bool discard) {
  MPFR* slot = stackHandler->pop();
  if (slot == nullptr)
    return -1;
  if (!discard)
    mpfr_set(x(), slot->mValue, MPFR_RNDN);
  return 0;
}

int VarFloatRef::bindStack(int depth) {
  MPFR* slot = stackHandler->top(depth);
  if (slot == nullptr)
    return -1;
  mpfr_set(x(), slot->mValue, MPFR_RNDN);
  return 0;
}

void VarFloatRef::setMod(const VarFloatRef& a, const VarFloatRef& b) {
  ScratchFloats& s = scratchFloats();
  const mpfr_prec_t precision = mpfr_get_prec(a.x());
  mpfr_set_prec(s.a, precision);
  mpfr_set_prec(s.b, precision);
  mpfr_div(s.a, a.x(), b.x(), MPFR_RNDN);
  mpfr_rint(s.a, s.a, MPFR_RNDZ);
  mpfr_mul(s.b, s.a, b.x(), MPFR_RNDN);
  finish(mpfr_sub(x(), a.x(), s.b, MPFR_RNDN));
}

// The value is scaled so that the subnormal step is 1 and rounded to an integer, ties to even;
// at a tie the ternary value says on which side the exact result lay. Every step but the
// rounding is exact, and none allocates.
void VarFloatRef::subnormalize(int ternary) {
  const mpfr_ptr v = x();
  const mpfr_exp_t subnormalMin = limits->subnormal;
  if (!mpfr_regular_p(v) || mpfr_get_exp(v) >= subnormalMin + mpfr_get_prec(v) - 1)
    return;                                        // zero, infinity, NaN or normal: nothing to do
  mpfr_mul_2si(v, v, 2 - subnormalMin, MPFR_RNDN); // twice the value in steps
  const bool halfSteps = mpfr_integer_p(v) != 0;
  mpfr_div_2ui(v, v, 1, MPFR_RNDN);
  const bool tie = halfSteps && mpfr_integer_p(v) == 0;
  mpfr_rint(v, v, tie && ternary != 0 ? (ternary > 0 ? MPFR_RNDD : MPFR_RNDU) : MPFR_RNDN);
  mpfr_mul_2si(v, v, subnormalMin - 1, MPFR_RNDN);
}

int VarFloatRef::setFracExp(const VarFloatRef& a) {
  // The comparison raises MPFR's range-error flag for NaN, as the sign test does.
  if (mpfr_cmp_d(a.x(), 0.0) != 0 && !mpfr_nan_p(a.x()) && !mpfr_inf_p(a.x())) {
    const mpfr_exp_t e = mpfr_get_exp(a.x());
    mpfr_div_2si(x(), a.x(), e, MPFR_RNDN);
    return static_cast<int>(e);
  }
  mpfr_set(x(), a.x(), MPFR_RNDN);
  return 0;
}

bool VarFloatRef::isHalf(int sign) const {
  if (sign >= 0 && mpfr_cmp_d(x(), 0.5) == 0 && !mpfr_nan_p(x()))
    return true;
  return sign <= 0 && mpfr_cmp_d(x(), -0.5) == 0 && !mpfr_nan_p(x());
}

int VarFloatRef::getILogB() const {
  if (mpfr_zero_p(x()) || mpfr_nan_p(x()))
    return INT_MIN;
  if (mpfr_inf_p(x()))
    return INT_MAX;
  const mpfr_exp_t e = mpfr_get_exp(x()) - 1;
  return e < INT_MIN ? INT_MIN : (e > INT_MAX ? INT_MAX : static_cast<int>(e));
}

int VarFloatRef::fracLength() const {
  if (!mpfr_regular_p(x()))
    return 0;
  return static_cast<int>(mpfr_get_prec(x()) - mpfr_get_exp(x()));
}

} // namespace simulation

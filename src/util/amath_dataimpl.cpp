#include "util/amath_dataimpl.h"

#include <cmath>
#include <cstring>

namespace simulation {

namespace detail {

void checkWidthCode(int widthCode) {
  LOOM_ASSERT_MSG(widthCode != 0, "A width code of 0 describes no format.");
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

FixedRef::FixedRef(VarType* vType, util::TempVarAllocator& alloc) : allocator(&alloc) {
  LOOM_ASSERT(vType != nullptr);
  LOOM_ASSERT(vType->getImpl() == TR_MPZ);
  value = own = alloc.getTempFixed();
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

void FixedRef::setScaleDouble(FixedRef& a, double s) {
  LOOM_ASSERT_MSG(std::isfinite(s), "Scale factor must be a finite number.");
  mpf_t product, scale;
  mpf_init(product);
  mpf_init2(scale, 53);
  mpf_set_z(product, *a.value);
  mpf_set_d(scale, s);
  mpf_mul(product, product, scale);
  // Adding half of the sign, as 2p +- 1 halved: scaling by two is exact, so this rounds
  // exactly as adding 0.5 would, without a third float.
  const int sign = mpf_sgn(product);
  if (sign != 0) {
    mpf_mul_2exp(product, product, 1);
    if (sign > 0)
      mpf_add_ui(product, product, 1);
    else
      mpf_sub_ui(product, product, 1);
    mpf_div_2exp(product, product, 1);
  }
  mpz_set_f(*value, product);
  mpf_clear(product);
  mpf_clear(scale);
}

int FixedRef::saturate(int widthCode) {
  detail::checkWidthCode(widthCode);
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

} // namespace simulation

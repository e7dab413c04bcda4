// Unpacking then packing any bit pattern of any format (wE 1..30, wF 1..200) gives the
// pattern back; NaN patterns give the written NaN; with flushing on, subnormal patterns give
// the signed zero.
#include "util/amath_dataimpl.h"

#include <gmpxx.h>

#include <cstdint>
#include <cstdlib>

using namespace simulation;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3)
    return 0;
  const int wE = 1 + data[0] % 30;
  const int wF = 1 + data[1] % 200;
  const bool flush = (data[2] & 1) != 0;
  VarFloatPacker::flushSubnormalsToZero(flush);

  mpz_t pattern, out, fraction, expected;
  mpz_inits(pattern, out, fraction, expected, nullptr);
  mpz_import(pattern, size - 3, 1, 1, 0, 0, data + 3);
  mpz_fdiv_r_2exp(pattern, pattern, static_cast<mp_bitcnt_t>(wE + wF + 1));

  mpfr_t x;
  mpfr_init2(x, wF + 1);
  VarFloatPackerDefault::instance.unpackBits(x, wE, wF, pattern);
  VarFloatPackerDefault::instance.packBits(x, wE, wF, out);

  mpz_fdiv_r_2exp(fraction, pattern, static_cast<mp_bitcnt_t>(wF));
  unsigned long exponent = 0;
  for (int bit = 0; bit < wE; ++bit)
    if (mpz_tstbit(pattern, static_cast<mp_bitcnt_t>(wF + bit)))
      exponent |= 1ul << bit;
  const bool negative = mpz_tstbit(pattern, static_cast<mp_bitcnt_t>(wE + wF)) != 0;
  const unsigned long allOnes = (1ul << wE) - 1;

  if (exponent == allOnes && mpz_sgn(fraction) != 0) {
    // Sign and exponent all ones, fraction 3 (bit 1 belongs to the exponent when wF is 1).
    mpz_set_ui(expected, 1);
    mpz_mul_2exp(expected, expected, static_cast<mp_bitcnt_t>(wE + 1));
    mpz_sub_ui(expected, expected, 1);
    mpz_mul_2exp(expected, expected, static_cast<mp_bitcnt_t>(wF));
    mpz_ior(expected, expected, mpz_class(3).get_mpz_t());
  } else if (flush && exponent == 0 && mpz_sgn(fraction) != 0) {
    mpz_set_ui(expected, 0);
    if (negative)
      mpz_setbit(expected, static_cast<mp_bitcnt_t>(wE + wF));
  } else {
    mpz_set(expected, pattern);
  }
  if (mpz_cmp(out, expected) != 0)
    std::abort();

  mpfr_clear(x);
  mpz_clears(pattern, out, fraction, expected, nullptr);
  return 0;
}

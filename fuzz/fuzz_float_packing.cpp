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
  const int wE = 1 + data[0] % 30, wF = 1 + data[1] % 200;
  const bool flush = (data[2] & 1) != 0;
  VarFloatPacker::flushSubnormalsToZero(flush);

  mpz_class pattern;
  mpz_import(pattern.get_mpz_t(), size - 3, 1, 1, 0, 0, data + 3);
  pattern &= (mpz_class(1) << (wE + wF + 1)) - 1;
  mpz_t in, packed; // the packer's interface takes GMP's array type
  mpz_init_set(in, pattern.get_mpz_t());
  mpz_init(packed);
  mpfr_t x;
  mpfr_init2(x, wF + 1);
  VarFloatPackerDefault::instance.unpackBits(x, wE, wF, in);
  VarFloatPackerDefault::instance.packBits(x, wE, wF, packed);
  const mpz_class out(packed);
  mpfr_clear(x);
  mpz_clears(in, packed, nullptr);

  const mpz_class fraction = pattern & ((mpz_class(1) << wF) - 1);
  const mpz_class exponent = (pattern >> wF) & ((mpz_class(1) << wE) - 1);
  mpz_class expected = pattern;
  if (exponent == (mpz_class(1) << wE) - 1 && fraction != 0) // sign, exponent all ones, fraction 3
    expected = ((mpz_class(1) << (wE + 1)) - 1) << wF | 3;   // (bit 1 is the exponent's if wF = 1)
  else if (flush && exponent == 0 && fraction != 0)
    expected = pattern >> (wE + wF) << (wE + wF); // the signed zero
  if (out != expected)
    std::abort();
  return 0;
}

// Var-float reference operations on operands and destinations of any precision up to 70 bits
// (the inline paths up to 64), in MPFR's exponent range or a narrowed one, checked against the
// same MPFR call: value, sign of zero, and the range-error flag.
#include "float_paths_check.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace float_paths;
  auto byte = [&]() -> std::uint8_t { return size == 0 ? 0 : (--size, *data++); };
  auto precision = [&] { return 1 + byte() % 70; };
  const mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
  if (byte() & 1) {
    mpfr_set_emin(-1 - byte());
    mpfr_set_emax(1 + byte());
  }
  util::TempVarAllocator alloc; // takes the exponent range
  VarFloatType type("fuzz", 8, 23, true);
  VarFloatRef d(&type, alloc), a(&type, alloc), b(&type, alloc);
  const int px = precision(), py = precision();
  Floats operands(1, px, py);
  for (MPFR* v : {&operands.values[1], &operands.values[2]}) {
    // A special, or significand bits and an exponent from the input.
    const std::uint8_t kind = byte();
    std::uint64_t m = 0;
    for (int i = 0; i < 8; ++i)
      m = m << 8 | byte();
    const long e = static_cast<long>(static_cast<std::int8_t>(byte())) * (kind & 0x40 ? 8 : 1);
    if (kind % 8 == 0)
      mpfr_set_zero(v->mValue, kind & 0x80 ? -1 : 1);
    else if (kind % 8 == 1)
      mpfr_set_inf(v->mValue, kind & 0x80 ? -1 : 1);
    else if (kind % 8 == 2)
      mpfr_set_nan(v->mValue);
    else // rounded to the value's precision
      mpfr_set_ui_2exp(v->mValue, (m | 1ul << 63) >> (kind % 8 == 3 ? 0 : byte() % 64), e,
                       MPFR_RNDN);
    if (kind & 0x80)
      mpfr_neg(v->mValue, v->mValue, MPFR_RNDN);
  }
  const int op = byte() % kOperations, n = static_cast<int>(static_cast<std::int8_t>(byte())) * 3;
  const int p = byte() & 1 ? 0 : precision();
  const Outcome o = check(op, d, a, b, operands.values[1].mValue, operands.values[2].mValue, p, n);
  if (o.ours != o.theirs || o.oursRange != o.theirsRange)
    std::abort();
  mpfr_set_emin(emin);
  mpfr_set_emax(emax);
  return 0;
}

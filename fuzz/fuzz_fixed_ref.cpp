// Random sequences of fixed-point reference operations on random operands of up to four limbs
// (the inline paths up to two, GMP above), into a destination of its own or in place, checked
// against GMP's C++ interface.
#include "util/amath_dataimpl.h"

#include <gmpxx.h>

#include <cstdint>
#include <cstdlib>

using namespace simulation;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto byte = [&]() -> std::uint8_t { return size == 0 ? 0 : (--size, *data++); };
  auto integer = [&] { // signed, up to 32 bytes
    mpz_class z;
    for (std::size_t i = 0, n = byte() % 33; i < n; ++i)
      z = z * 256 + byte();
    return (byte() & 1) ? mpz_class(-z) : z;
  };
  util::TempVarAllocator alloc;
  FixedRef d(&WideFixedType::legacy, alloc), a(&WideFixedType::legacy, alloc),
      b(&WideFixedType::legacy, alloc);
  for (int step = 0; step < 16 && size > 0; ++step) {
    const mpz_class x = integer(), y = integer();
    mpz_set(a.getRef(), x.get_mpz_t());
    mpz_set(b.getRef(), y.get_mpz_t());
    const int n = static_cast<int>(byte()) - 64, op = byte() % 16;
    FixedRef& into = byte() & 1 ? a : d; // in place: every operand is read before the write
    const unsigned bits = static_cast<unsigned>(n + 64) % 200;
    const mpz_class low = (mpz_class(1) << bits) - 1, shift = mpz_class(1) << (n < 0 ? -n : n);
    mpz_class expected, floor; // floor: x / y rounded toward minus infinity
    if (y == 0 && op >= 3 && op <= 5)
      continue; // the generated code never divides by zero
    if (y != 0)
      mpz_fdiv_q(floor.get_mpz_t(), x.get_mpz_t(), (op == 5 ? abs(y) : y).get_mpz_t());
    switch (op) {
    // clang-format off
    case 0: d.setAdd(a, b); expected = x + y; break;
    case 1: d.setSub(a, b); expected = x - y; break;
    case 2: d.setMult(a, b); expected = x * y; break;
    case 3: d.setDiv(a, b, true); expected = x / y; break; // truncating
    case 4: d.setDiv(a, b, false); expected = floor; break;
    case 5: d.setMod(a, b); expected = x - floor * abs(y); break;
    case 6: d.setAnd(a, b); expected = x & y; break;
    case 7: d.setOr(a, b); expected = x | y; break;
    case 8: d.setXor(a, b); expected = x ^ y; break;
    case 9: d.setNot(a, n); expected = n > 0 ? mpz_class(x ^ (shift - 1)) : x; break;
    case 10: d.setLdExp(a, n); expected = n >= 0 ? mpz_class(x * shift) : mpz_class(x >> -n); break;
    case 11: d.maskLower(a, bits); expected = x & low; break;
    case 12: d.setUpper(a, bits); expected = x | ~low; break;
    case 13: d.setNeg(a); expected = -x; break;
    case 14: d.setValue(a.lessThan(b) + 2 * a.isEqual(b)); expected = (x < y) + 2 * (x == y); break;
    default: d.setDim(a, b); expected = x >= y ? mpz_class(x - y) : mpz_class(0);
      // clang-format on
    }
    if (&into == &a) // the same operation again, now with the destination as first operand
      switch (op) {
      // clang-format off
      case 0: a.setAdd(a, b); break;
      case 1: a.setSub(a, b); break;
      case 2: a.setMult(a, b); break;
      case 10: a.setLdExp(a, n); break;
      case 13: a.setNeg(a); break;
      default: mpz_set(a.getRef(), d.getRef());
        // clang-format on
      }
    if (mpz_class(d.getRef()) != expected || mpz_class(into.getRef()) != expected)
      std::abort();
  }
  return 0;
}

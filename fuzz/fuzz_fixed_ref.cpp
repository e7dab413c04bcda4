// Random sequences of fixed-point reference operations on random operands, checked against
// GMP's C++ interface computing the same thing directly.
#include "util/amath_dataimpl.h"

#include <gmpxx.h>

#include <cstdint>
#include <cstdlib>

using namespace simulation;

namespace {

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t byte() {
    if (size == 0)
      return 0;
    --size;
    return *data++;
  }
  // A signed integer of up to 32 bytes.
  mpz_class integer() {
    const std::size_t n = byte() % 33;
    mpz_class z;
    for (std::size_t i = 0; i < n; ++i)
      z = z * 256 + byte();
    return (byte() & 1) ? mpz_class(-z) : z;
  }
};

void check(bool ok) {
  if (!ok)
    std::abort();
}

mpz_class value(const FixedRef& r) {
  mpz_class z;
  mpz_set(z.get_mpz_t(), r.getRef());
  return z;
}

void set(FixedRef& r, const mpz_class& z) {
  mpz_set(r.getRef(), z.get_mpz_t());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports(1);
  FixedRef d(&WideFixedType::legacy, alloc), a(&WideFixedType::legacy, alloc),
      b(&WideFixedType::legacy, alloc);
  Input in{data, size};
  for (int step = 0; step < 16 && in.size > 0; ++step) {
    const mpz_class x = in.integer(), y = in.integer();
    set(a, x);
    set(b, y);
    const int n = static_cast<int>(in.byte()) - 64;
    switch (in.byte() % 14) {
    case 0:
      d.setAdd(a, b);
      check(value(d) == x + y);
      break;
    case 1:
      d.setSub(a, b);
      check(value(d) == x - y);
      break;
    case 2:
      d.setMult(a, b);
      check(value(d) == x * y);
      break;
    case 3:
      if (y != 0) {
        d.setDiv(a, b, true);
        check(value(d) == x / y); // mpz_class division truncates
      }
      break;
    case 4:
      if (y != 0) {
        d.setDiv(a, b, false);
        mpz_class q;
        mpz_fdiv_q(q.get_mpz_t(), x.get_mpz_t(), y.get_mpz_t());
        check(value(d) == q);
      }
      break;
    case 5:
      if (y != 0) {
        d.setMod(a, b);
        mpz_class r = x % y; // sign of x
        if (r < 0)
          r += abs(y);
        check(value(d) == r);
      }
      break;
    case 6:
      d.setAnd(a, b);
      check(value(d) == (x & y));
      break;
    case 7:
      d.setOr(a, b);
      check(value(d) == (x | y));
      break;
    case 8:
      d.setXor(a, b);
      check(value(d) == (x ^ y));
      break;
    case 9: {
      d.setNot(a, n);
      const mpz_class mask = n > 0 ? (mpz_class(1) << n) - 1 : mpz_class(0);
      check(value(d) == (x ^ mask));
      break;
    }
    case 10:
      d.setLdExp(a, n);
      if (n >= 0) {
        check(value(d) == x * (mpz_class(1) << n));
      } else {
        mpz_class q;
        mpz_fdiv_q_2exp(q.get_mpz_t(), x.get_mpz_t(), static_cast<mp_bitcnt_t>(-n));
        check(value(d) == q);
      }
      break;
    case 11: {
      const unsigned bits = static_cast<unsigned>(n + 64) % 200;
      d.maskLower(a, bits);
      check(value(d) == (x & ((mpz_class(1) << bits) - 1)));
      d.setUpper(a, bits);
      check(value(d) == (x | ~((mpz_class(1) << bits) - 1)));
      break;
    }
    case 12: {
      // Saturation of a bound port to a width code, against the range written out.
      const int code = n == 0 ? 1 : n;
      const int bits = code > 0 ? code : -code - 1;
      const mpz_class low = code > 0 ? mpz_class(0) : -(mpz_class(1) << bits);
      const mpz_class high = (mpz_class(1) << bits) - 1;
      mpz_set(ports[0].mData, x.get_mpz_t());
      d.bindIO(ports[0]);
      const int result = d.saturate(code);
      check(result == (x < low ? -1 : (x > high ? 1 : 0)));
      check(value(d) == (x < low ? low : (x > high ? high : x)));
      d.bindReset();
      break;
    }
    default:
      d.setDim(a, b);
      check(value(d) == (x >= y ? mpz_class(x - y) : mpz_class(0)));
      break;
    }
  }
  return 0;
}

#!/usr/bin/env python3
"""Writes reference cases for conversions between reference kinds, computed with gmpy2 (MPFR
rounding at a given precision), Python's exact integers and fractions, and struct.

Lines:
  d2v <double bits hex> <precision> <expected value token>       double into var-float
  d2f <double bits hex> <status> <integer or ->                 double into fixed
  s2f <float bits hex> <status> <integer or ->                  single into fixed
  v2f <precision> <value token> <status> <integer>              var-float into fixed
  f2d <integer> <double bits hex>                               fixed into double (truncating)
  f2s <integer> <float bits hex>                                fixed into single
  f2v <integer> <precision> <value token>                       fixed into var-float
Value tokens: nan, inf, -inf, 0, -0, or <integer significand>p<exponent>.
"""
import math
import random
import struct
import sys
from fractions import Fraction

import gmpy2

CTX = gmpy2.context(emax=2 ** 40, emin=-(2 ** 40), subnormalize=False,
                    round=gmpy2.RoundToNearest)


def double_bits(d):
    return struct.unpack('<Q', struct.pack('<d', d))[0]


def float_bits(f):
    return struct.unpack('<I', struct.pack('<f', f))[0]


def token(x):
    """An exact token for a gmpy2 mpfr value."""
    if gmpy2.is_nan(x):
        return "nan"
    if gmpy2.is_infinite(x):
        return "-inf" if x < 0 else "inf"
    if x == 0:
        return "-0" if gmpy2.is_signed(x) else "0"
    n, d = x.as_integer_ratio()
    e = 0
    while d > 1:
        d //= 2
        e -= 1
    while n % 2 == 0:
        n //= 2
        e += 1
    return f"{n}p{e}"


def round_half_away(x):
    n = math.floor(abs(x) + Fraction(1, 2))
    return n if x >= 0 else -n


def round_half_even(x):
    return round(x)  # Python rounds Fractions half to even


def truncating_double(n):
    """GMP's mpz_get_d: the integer truncated toward zero to 53 significant bits."""
    sign = -1 if n < 0 else 1
    m = abs(n)
    shift = max(m.bit_length() - 53, 0)
    return sign * float((m >> shift) << shift) if shift else float(n)


def special_doubles():
    return [0.0, -0.0, math.inf, -math.inf, math.nan, 1.7976931348623157e308,
            -1.7976931348623157e308, 5e-324, -5e-324, 2.5, -2.5, 0.5, -0.5, 1.5, 0.1,
            2.0 ** 80, -(2.0 ** 80), 2.0 ** 53 + 2, 4503599627370495.5, -0.49999999999999994]


def main(path):
    rng = random.Random(77)
    lines = []
    doubles = special_doubles()
    doubles += [struct.unpack('<d', struct.pack('<Q', rng.getrandbits(64)))[0] for _ in range(300)]
    doubles += [rng.uniform(-1e6, 1e6) for _ in range(300)]
    doubles += [rng.choice([0.5, 1.5, 2.5, 1e15 + 0.5]) * rng.choice([1, -1]) for _ in range(40)]
    for d in doubles:
        bits = double_bits(d)
        for precision in (11, 24, 53, 113):
            with gmpy2.local_context(CTX, precision=precision):
                lines.append(f"d2v {bits:x} {precision} {token(gmpy2.mpfr(d))}")
        if math.isinf(d) or math.isnan(d):
            lines.append(f"d2f {bits:x} {-1 if d < 0 else 1} -")
        else:
            lines.append(f"d2f {bits:x} 0 {round_half_away(Fraction(d))}")
        if math.isfinite(d) and abs(d) < 3.4e38:
            f = struct.unpack('<f', struct.pack('<f', d))[0]  # the float nearest d
            lines.append(f"s2f {float_bits(f):x} 0 {round_half_away(Fraction(f))}")
    for fb in (0x7F800000, 0xFF800000, 0x7FC00000, 0x80000000, 0x3F000000, 0xBFC00000):
        f = struct.unpack('<f', struct.pack('<I', fb))[0]
        status = 0 if math.isfinite(f) else (-1 if f < 0 else 1)
        lines.append(f"s2f {fb:x} {status} {round_half_away(Fraction(f)) if status == 0 else '-'}")

    # Var-float values into fixed: ties to even; NaN 0, infinities by sign.
    for precision in (11, 24, 53, 113):
        with gmpy2.local_context(CTX, precision=precision):
            values = [gmpy2.mpfr(v) for v in ("2.5", "-2.5", "3.5", "0.5", "-0.5", "1e30", "-7.75")]
            values += [gmpy2.mpfr(rng.uniform(-1e9, 1e9)) for _ in range(200)]
            for _ in range(200):
                n, k = rng.getrandbits(precision) | 1, rng.randrange(-precision - 5, 200)
                values.append(gmpy2.mpfr(gmpy2.mpq(n * 2 ** max(k, 0), 2 ** max(-k, 0))))
            for v in values:
                lines.append(f"v2f {precision} {token(v)} 0 {round_half_even(Fraction(*v.as_integer_ratio()))}")
            lines.append(f"v2f {precision} nan 0 0")
            lines.append(f"v2f {precision} inf 1 0")
            lines.append(f"v2f {precision} -inf -1 0")

    # Fixed into the float kinds.
    ints = [0, 1, -1, 2 ** 53 + 1, -(2 ** 53 + 1), 2 ** 64 - 1, 2 ** 100 + 2 ** 47 + 1, 16777217]
    ints += [rng.getrandbits(rng.randrange(1, 300)) * rng.choice([1, -1]) for _ in range(500)]
    for n in ints:
        d = truncating_double(n)
        lines.append(f"f2d {n} {double_bits(d):x}")
        # The truncated double, then narrowed to the nearest float (infinity beyond the range).
        narrowed = float(gmpy2.mpfr(d, 24)) if abs(d) < 2.0 ** 128 else math.copysign(math.inf, d)
        if abs(narrowed) >= 2.0 ** 128:
            narrowed = math.copysign(math.inf, d)
        lines.append(f"f2s {n} {float_bits(narrowed):x}")
        for precision in (11, 24, 113):
            with gmpy2.local_context(CTX, precision=precision):
                lines.append(f"f2v {n} {precision} {token(gmpy2.mpfr(n))}")

    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])

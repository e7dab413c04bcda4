#!/usr/bin/env python3
"""Writes reference cases for the fixed-point reference operations, computed with Python's
unbounded integers (an infinite two's-complement view, like GMP's) and exact fractions.

Line format: an operation name, then decimal operands, then the expected results.
"""
import math
import random
import struct
import sys
from fractions import Fraction


def rand_int(rng, max_bits=300):
    bits = rng.choice([1, 2, 8, 31, 32, 33, 63, 64, 65, 100, 128, rng.randrange(1, max_bits + 1)])
    v = rng.getrandbits(bits)
    return -v if rng.getrandbits(1) else v


def rand_double(rng):
    """A finite double: any bit pattern, a subnormal, a power of two or a plain small value."""
    kind = rng.randrange(4)
    if kind == 2:
        return math.copysign(math.ldexp(1.0, rng.randrange(-1074, 1024)), rng.random() - 0.5)
    if kind == 3:
        return rng.uniform(-4.0, 4.0)
    bits = rng.getrandbits(64 if kind == 0 else 52) | (rng.getrandbits(1) << 63)
    s = struct.unpack("<d", struct.pack("<Q", bits))[0]
    return s if math.isfinite(s) else rand_double(rng)


def trunc_div(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


def round_half_away(x):
    """x a Fraction; nearest integer, halves away from zero."""
    n = math.floor(abs(x) + Fraction(1, 2))
    return n if x >= 0 else -n


def saturate(value, code):
    bits = code if code > 0 else -code - 1
    low, high = (0, (1 << bits) - 1) if code > 0 else (-(1 << bits), (1 << bits) - 1)
    if value < low:
        return -1, low
    if value > high:
        return 1, high
    return 0, value


def main(path):
    rng = random.Random(4242)
    lines = []
    for _ in range(4000):
        a, b = rand_int(rng), rand_int(rng)
        lines.append(f"add {a} {b} {a + b}")
        lines.append(f"sub {a} {b} {a - b}")
        lines.append(f"mult {a} {b} {a * b}")
        lines.append(f"and {a} {b} {a & b}")
        lines.append(f"or {a} {b} {a | b}")
        lines.append(f"xor {a} {b} {a ^ b}")
        lines.append(f"dim {a} {b} {a - b if a >= b else 0}")
        lines.append(f"abs {a} {abs(a)}")
        lines.append(f"neg {a} {-a}")
        if b != 0:
            lines.append(f"divt {a} {b} {trunc_div(a, b)}")
            lines.append(f"divf {a} {b} {a // b}")
            lines.append(f"mod {a} {b} {a % abs(b)}")
        if a >= 0:
            lines.append(f"sqrt {a} {math.isqrt(a)}")
        n = rng.randrange(-5, 320)
        lines.append(f"not {a} {n} {a ^ ((1 << n) - 1) if n > 0 else a}")
        m = rng.randrange(0, 320)
        lines.append(f"masklower {a} {m} {a & ((1 << m) - 1)}")
        lines.append(f"setupper {a} {m} {a | ~((1 << m) - 1)}")
        k = rng.randrange(-320, 320)
        lines.append(f"ldexp {a} {k} {a << k if k >= 0 else a >> -k}")
        i = rng.randrange(-(1 << 31), 1 << 31)
        lines.append(f"addi {a} {i} {a + i}")
        lines.append(f"subi {a} {i} {a - i}")
        u = rng.getrandbits(64)
        lines.append(f"addul {a} {u} {a + u}")
        lines.append(f"subul {a} {u} {a - u}")
        # Width codes -64..64 and beyond, around the operand's own size.
        code = rng.choice([rng.randrange(-64, 65), rng.randrange(-310, 311)]) or 1
        result, port = saturate(a, code)
        lines.append(f"saturate {a} {code} {result} {port}")

    # Scaling: the exact product, rounded halves away from zero, for doubles of every exponent
    # (subnormals included) written exactly as hexadecimal floats. One case in four is a tie:
    # an odd multiple of 2^(k-1) times an odd multiple of 2^-k lands on a half.
    for _ in range(3000):
        a, s = rand_int(rng, 600), rand_double(rng)
        if rng.getrandbits(2) == 0:
            k = rng.randrange(1, 200)
            a = (a | 1) << (k - 1)
            s = math.copysign(math.ldexp(rng.getrandbits(rng.randrange(1, 53)) | 1, -k), s)
        lines.append(f"scale {a} {s.hex()} {round_half_away(Fraction(a) * Fraction(s))}")
    big = 1 << 127
    for a, s in [(5, 0.5), (-5, 0.5), (3, 0.5), (-3, 0.5), (1, -0.5), (0, 7.25), (7, 0.0),
                 (-7, -0.0), (big + 3, 1.0), (big - 1, 2.0), (-big - 3, 0.25)]:
        lines.append(f"scale {a} {s.hex()} {round_half_away(Fraction(a) * Fraction(s))}")

    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])

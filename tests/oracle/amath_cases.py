#!/usr/bin/env python3
"""Writes reference cases for the word kernels, the word/integer conversions and the IEEE
views, computed with Python's unbounded integers and its struct module.

Each line is an operation name followed by decimal operands and expected results. The
expected values are written from the two's-complement meaning of each operation, not from
the library's word tricks.
"""
import math
import random
import struct
import sys

M64 = 1 << 64


def wrap(v, w):
    """v as a signed w-bit two's-complement value."""
    m = 1 << w
    v %= m
    return v - m if v >= m >> 1 else v


def s64(v):
    return wrap(v, 64)


def boundary(w):
    """Words at the edges of width w and of the 64-bit word, as signed 64-bit values."""
    top = 1 << (w - 1)
    return [s64(v) for v in [0, 1, -1, top - 1, -top, top, 2, -2, (1 << 63) - 1, -(1 << 63)]]


def random_word(rng):
    return s64(rng.getrandbits(64))


def random_normalised(rng, w):
    return wrap(rng.getrandbits(w), w)


def shift_ref(x, s, signed, w):
    if s > 0:
        if s >= w:
            return -1 if (signed and x < 0) else 0
        if signed:
            return wrap(x >> s, w)  # Python's >> is an arithmetic shift
        return wrap((x % (1 << w)) >> s, w)
    k = -s
    if k >= w:
        return 0
    return wrap(x << k, w)


def single_expected(bits, flush):
    exponent, fraction = (bits >> 23) & 0xFF, bits & 0x7FFFFF
    if exponent == 0xFF and fraction:
        return bits & 0x7FFFFFFF  # NaN: sign dropped, payload kept
    value = struct.unpack('<f', struct.pack('<I', bits))[0]
    if flush and value != 0 and abs(value) < 2.0 ** -126:
        value = math.copysign(0.0, value)
    return struct.unpack('<I', struct.pack('<f', value))[0]


def double_expected(bits, flush):
    exponent, fraction = (bits >> 52) & 0x7FF, bits & ((1 << 52) - 1)
    if exponent == 0x7FF and fraction:
        return bits  # NaN untouched, sign included
    value = struct.unpack('<d', struct.pack('<Q', bits))[0]
    if flush and value != 0 and abs(value) < 2.0 ** -1022:
        value = math.copysign(0.0, value)
    return struct.unpack('<Q', struct.pack('<d', value))[0]


def float_patterns(rng, exponent_bits, fraction_bits, count):
    """Random patterns biased toward the interesting exponent fields."""
    top = (1 << exponent_bits) - 1
    out = []
    for _ in range(count):
        exponent = rng.choice([0, 0, 1, 2, top - 1, top, top, rng.randrange(top + 1)])
        fraction = rng.choice([0, 1, (1 << fraction_bits) - 1, rng.getrandbits(fraction_bits)])
        sign = rng.getrandbits(1)
        out.append((sign << (exponent_bits + fraction_bits)) | (exponent << fraction_bits)
                   | fraction)
    return out


def main(path):
    rng = random.Random(20261206)
    lines = []
    for w in range(1, 65):
        words = boundary(w) + [random_word(rng) for _ in range(60)]
        pairs = [(a, b) for a in boundary(w) for b in boundary(w)]
        pairs += [(rng.choice(words), rng.choice(words)) for _ in range(150)]
        for a, b in pairs:
            lines.append(f"add3 {a} {b} {w} {wrap(a + b, w)}")
            lines.append(f"sub3 {a} {b} {w} {wrap(a - b, w)}")
            carries = [0, 1] if w == 64 else [0, 1, -1, rng.randrange(-1000, 1000)]
            for c in carries:
                # Carry and borrow out: bit w of the exact sum or difference.
                total = a + b + c
                lines.append(f"add5 {a} {b} {c} {w} {wrap(total, w)} {(total >> w) & 1}")
                diff = a - b - c
                lines.append(f"sub5 {a} {b} {c} {w} {wrap(diff, w)} {(diff >> w) & 1}")
        for x in words:
            lines.append(f"mask {x} {w} {s64(x % (1 << w))}")
        lines.append(f"mask -1 0 0")
        values = [wrap(v, w) for v in boundary(w)] + [random_normalised(rng, w) for _ in range(40)]
        shifts = list(range(-66, 67)) + [-(1 << 63), (1 << 63) - 1]
        for x in values:
            for s in rng.sample(shifts, 20) + [0, w, -w, w - 1, 1 - w]:
                for signed in (0, 1):
                    lines.append(f"shift {x} {s} {signed} {w} {shift_ref(x, s, signed, w)}")

    for _ in range(3000):
        bits = rng.randrange(1, 130)
        z = rng.getrandbits(bits) * rng.choice([1, -1])
        expected = 0 if abs(z) >= M64 else s64(z % M64 if z >= 0 else -(abs(z) % M64))
        lines.append(f"mpz2sint {z} {expected}")
        v = random_word(rng)
        lines.append(f"sint2mpz {v}")
        lines.append(f"bfv_sint {v} {v.bit_length() if v > 0 else 0}")
        # Width of a two's-complement field for z: its digits (0 counts as one digit), plus a
        # sign bit for negative values.
        digits = max((z if z >= 0 else -1 - z).bit_length(), 1)
        lines.append(f"bfv_mpz {z} {digits if z >= 0 else digits + 1}")
    for z in [0, -1, 1, -2, -3, M64, -M64, M64 - 1, 1 << 63, -(1 << 63)]:
        lines.append(f"mpz2sint {z} {0 if abs(z) >= M64 else s64(z)}")

    singles = [0, 0x80000000, 0x00000001, 0x807FFFFF, 0x00800000, 0x7F800000, 0xFF800000,
               0x7FC00000, 0xFFC00000, 0x7F800001, 0xFFBFFFFF, 0x3F800000]
    singles += float_patterns(rng, 8, 23, 3000)
    for bits in singles:
        for flush in (0, 1):
            lines.append(f"single {bits} {flush} {single_expected(bits, flush)}")
    doubles = [0, 1 << 63, 1, 0x000FFFFFFFFFFFFF, 0x800FFFFFFFFFFFFF, 0x0010000000000000,
               0x7FF0000000000000, 0xFFF8000000000001, 0x7FF0000000000001]
    doubles += float_patterns(rng, 11, 52, 3000)
    for bits in doubles:
        for flush in (0, 1):
            lines.append(f"double {bits} {flush} {double_expected(bits, flush)}")

    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])

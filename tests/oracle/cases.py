#!/usr/bin/env python3
"""cases.py <amath|fixed|conversion|float_packing> <file> writes the reference cases of one oracle
test, lines of "<operation> <operands> = <expected>", from the meaning of each operation: Python's
integers and fractions, numpy's float types, gmpy2 (MPFR). Double operands are hexadecimal
floats; other float values exact tokens: nan, [-]inf, [-]0, [-]<odd hexadecimal>p<exponent>.
"""
import math
import operator
import os
import random
import sys
from fractions import Fraction

import gmpy2
import numpy as np
from gmpy2 import mpfr

gmpy2.set_context(gmpy2.context(precision=4000, emax=1 << 40, emin=-(1 << 40)))  # exact
NAN, INF, ZERO = mpfr("nan"), mpfr("inf"), mpfr(0)
EMAX, EMIN = (1 << 30) - 1, 1 - (1 << 30)  # MPFR's default exponent range
# (5,10) pairs for each of mult and div with gradual underflow
COUNT_510 = int(os.environ.get("LOOM_GRADUAL_PAIRS", "500000"))

def text(x):
    if not isinstance(x, type(NAN)):
        return x.hex() if isinstance(x, float) else str(x)
    sign = "-" if gmpy2.is_signed(x) and not gmpy2.is_nan(x) else ""
    if not gmpy2.is_regular(x):
        return sign + ("nan" if gmpy2.is_nan(x) else "inf" if gmpy2.is_infinite(x) else "0")
    m, e = x.as_mantissa_exp()
    return f"{sign}{abs(m) >> gmpy2.bit_scan1(m):x}p{e + gmpy2.bit_scan1(m)}"

def wrap(v, w):  # v as a signed w-bit two's-complement value
    return (v + (1 << (w - 1))) % (1 << w) - (1 << (w - 1))

def times2(x, k):
    return gmpy2.mul_2exp(mpfr(x), k) if k >= 0 else gmpy2.div_2exp(mpfr(x), -k)

def half_away(x):  # the nearest integer to a fraction, halves away from zero
    return (1 if x >= 0 else -1) * math.floor(abs(x) + Fraction(1, 2))

def rand_int(rng):  # any size, one in four at a limb edge: 2^e - 1, 2^e or 2^e + 1
    v = rng.getrandbits(rng.choice([1, 2, 8, 31, 32, 33, 63, 64, 65, 128, rng.randrange(1, 600)]))
    if not rng.getrandbits(2):
        v = (1 << rng.choice([63, 64, 127, 128, 191, 192])) + rng.randrange(-1, 2)
    return -v if rng.getrandbits(1) else v

def rand_double(rng):  # finite: any pattern, a subnormal, a power of two or a small value
    kind, bits = rng.randrange(4), rng.getrandbits(64)
    d = np.array([bits >> 12 * (kind == 1) | bits >> 63 << 63], np.uint64).view(float)[0].item()
    d = math.ldexp(math.copysign(1.0, d), rng.randrange(-1074, 1024)) if kind == 2 else d
    d = rng.uniform(-4.0, 4.0) if kind == 3 else d
    return d if math.isfinite(d) else rand_double(rng)

# Word kernels, word/integer conversions and the IEEE views

def amath(rng, out):
    shifts = list(range(-66, 67)) + [-(2**63), 2**63 - 1]
    for w in range(1, 65):
        top = 1 << (w - 1)
        edge = [wrap(v, 64) for v in (0, 1, -1, 2, -2, top - 1, -top, top, 2**63 - 1, 2**63)]
        words = edge + [wrap(rng.getrandbits(64), 64) for _ in range(60)]
        pairs = [(a, b) for a in edge for b in edge]
        for a, b in pairs + [(rng.choice(words), rng.choice(words)) for _ in range(150)]:
            for c in [0, 1, -1, rng.randrange(-(2**31) + 1, 2**31)]:
                # a + b, a - b, then with carry-in c and the carry out: bit w of the exact result
                out("addsub", a, b, c, w, "=", wrap(a + b, w), wrap(a - b, w), wrap(a + b + c, w),
                    (a + b + c) >> w & 1, wrap(a - b - c, w), (a - b - c) >> w & 1)
        for x in words:
            out("mask", x, w, "=", wrap(x % (1 << w), 64))
        out("mask", words[-1], 0, "=", 0)
        for x in [wrap(v, w) for v in edge] + [wrap(rng.getrandbits(w), w) for _ in range(40)]:
            for s in rng.sample(shifts, 20) + [0, w, -w, w - 1, 1 - w]:
                for signed in (0, 1):  # right by s > 0 (arithmetically when signed), else left
                    r = (x if signed else x % (1 << w)) >> s if s > 0 else x << -s if -s < w else 0
                    out("shift", x, s, signed, w, "=", wrap(r, w))

    special = [0, 1, 2, 3, 2**64, 2**64 - 1, 2**63, 2**63 - 1, 2**63 + 1]
    for i in range(3000):
        z = rng.choice([1, -1]) * (special[i] if i < 9 else rng.getrandbits(rng.randrange(1, 130)))
        y, n = rng.choice([rand_int(rng), z, z + 1, z - 1]), rng.randrange(0, 200)
        # Low 64 bits of the magnitude, negated for negative z (0 beyond 64 bits); the width of a
        # two's-complement field for z (its digits, at least one, and a sign bit if negative); z
        # shifted right (floor) by n - 100 > 0 or left; as fixed port values: sum, difference,
        # negation, the comparisons and the low 64 bits.
        out("mpz", z, y, n - 100, "=", 0 if abs(z) >> 64 else wrap(z, 64),
            max((z if z >= 0 else -1 - z).bit_length(), 1) + (z < 0),
            z >> (n - 100) if n > 100 else z << (100 - n), z + y, z - y, -z,
            *[int(f(z, y)) for f in (operator.eq, operator.ne, operator.lt, operator.le,
                                     operator.gt, operator.ge)], (abs(z) >> 64 == 0) * z % 2**64)
        # As a GMP integer, bits for addresses and values, power of two; 2^n as word (mod 2^64),
        # as integer, and the mask of min(n, 64) bits; base^e wrapped in 32 bits; d truncated.
        base, e = rng.choice([rng.randrange(-9, 10), rng.getrandbits(32)]), n % 70
        d = rng.choice([rng.uniform(-1e6, 1e6), rng.uniform(-(2.0**63), 2.0**63), -(2.0**63)])
        for v in {wrap(z, 64), 1 << i % 63}:
            out("word", v, n, wrap(base, 32), e, d, "=", v, max(v - 1, 0).bit_length(),
                max(v, 0).bit_length(), int(v > 0 and v & (v - 1) == 0), wrap(1 << n % 64, 64),
                1 << n, wrap((1 << min(n, 64)) - 1, 64), wrap(pow(base, e, 2**32), 32), int(d))

    # Patterns cleaned up: subnormals to signed zero while flushing, single NaNs unsigned; with
    # their sign, exponent and fraction (for double with the hidden one).
    for name, e_bits, f_bits, kinds in (("single", 8, 23, (np.uint32, np.float32)),
                                        ("double", 11, 52, (np.uint64, np.float64))):
        for _ in range(3000):
            f = Fmt(e_bits, f_bits)
            top, sign, bits = f.top, f.sign, f.pattern(rng)
            x = np.array([bits], kinds[0]).view(kinds[1])[0].item()
            for flush in (0, 1):
                b = bits & sign - 1 if x != x and e_bits == 8 else bits
                b &= sign if flush and 0 < abs(x) < 2.0 ** (2 - (top + 1) // 2) else -1
                out(name, bits, flush, "=", b, b >> (e_bits + f_bits), b >> f_bits & top,
                    b & ((1 << f_bits) - 1) | (e_bits == 11) << 52)

# Fixed-point references: GMP's infinite two's-complement view

def fixed(rng, out):
    def scale(a):  # one case in four a tie: an odd multiple of 2^(k-1) by an odd one of 2^-k
        if rng.getrandbits(2):
            return [a, rand_double(rng)]
        k = rng.randrange(1, 200)
        return [(a | 1) << (k - 1), rng.choice([1, -1]) * math.ldexp(rng.getrandbits(52) | 1, -k)]

    def saturate(a, code):  # code > 0: unsigned of code bits, else signed of -code bits
        low, high = (0, (1 << code) - 1) if code > 0 else (-(1 << -code - 1), (1 << -code - 1) - 1)
        return f"-1 {low}" if a < low else f"1 {high}" if a > high else f"0 {a}"

    def code(a):  # a width code around the operand's own size, or any up to 310 bits
        n = rng.choice([a.bit_length() + rng.randrange(-2, 3), rng.randrange(-310, 311)])
        return [a, rng.choice([n, -n]) or 1]

    other, divisor = lambda a: [a, rand_int(rng)], lambda a: [a, rand_int(rng) or 1]
    small = lambda lo, hi: lambda a: [a, rng.randrange(lo, hi)]  # noqa: E731
    ops = {
        "add": (other, operator.add), "sub": (other, operator.sub), "mult": (other, operator.mul),
        "and": (other, operator.and_), "or": (other, operator.or_), "xor": (other, operator.xor),
        "dim": (other, lambda a, b: max(a - b, 0)),
        "divt": (divisor, lambda a, b: int(Fraction(a, b))),
        "divf": (divisor, operator.floordiv), "mod": (divisor, lambda a, b: a % abs(b)),
        "abs": (lambda a: [a], abs), "neg": (lambda a: [a], operator.neg),
        "sqrt": (lambda a: [abs(a)], math.isqrt),
        "lt": (other, lambda a, b: int(a < b)), "le": (other, lambda a, b: int(a <= b)),
        "gt": (other, lambda a, b: int(a > b)), "ge": (other, lambda a, b: int(a >= b)),
        "eq": (lambda a: [a, rng.choice([a, -a, a + 1, rand_int(rng)])], lambda a, b: int(a == b)),
        "not": (small(-5, 320), lambda a, n: a ^ ((1 << max(n, 0)) - 1)),
        "masklower": (small(0, 320), lambda a, n: a & ((1 << n) - 1)),
        "setupper": (small(0, 320), lambda a, n: a | -(1 << n)),
        "ldexp": (small(-320, 320), lambda a, n: a << n if n >= 0 else a >> -n),
        "addi": (small(-(2**31), 2**31), operator.add),
        "subi": (small(-(2**31), 2**31), operator.sub),
        "addul": (small(0, 2**64), operator.add), "subul": (small(0, 2**64), operator.sub),
        "saturate": (code, saturate),
        # The exact product, rounded to the nearest integer, halves away from zero.
        "scale": (scale, lambda a, s: half_away(Fraction(a) * Fraction(s)))}
    big = 1 << 127
    for a, s in [(5, 0.5), (-5, 0.5), (3, 0.5), (-3, 0.5), (1, -0.5), (0, 7.25), (7, 0.0),
                 (-7, -0.0), (big + 3, 1.0), (big - 1, 2.0), (-big - 3, 0.25)]:
        out("scale", a, s, "=", half_away(Fraction(a) * Fraction(s)))
    for _ in range(4000):
        for name, (operands, result) in ops.items():
            x = operands(rand_int(rng))
            out(name, *x, "=", result(*x))

# Conversions between reference kinds

def conversion(rng, out):
    def to_fixed(x):  # halves away from zero; infinities and NaN leave the value alone
        return f"0 {half_away(Fraction(x))}" if math.isfinite(x) else f"{-1 if x < 0 else 1} -"

    doubles = [0.0, -0.0, math.inf, -math.inf, math.nan, 1.7976931348623157e308, 5e-324, 2.5,
               -2.5, 0.5, 1.5, 0.1, 2.0**80, 2.0**53 + 2, 4503599627370495.5, -0.49999999999999994]
    doubles += [rand_double(rng) for _ in range(300)] + [rng.uniform(-1e6, 1e6) for _ in range(300)]
    doubles += [rng.choice([0.5, 1.5, 2.5, 1e15 + 0.5]) * rng.choice([1, -1]) for _ in range(40)]
    for d in doubles:
        for precision in (11, 24, 53, 113):
            out("d2v", d, precision, "=", 0, mpfr(d, precision))
        out("d2f", d, "=", to_fixed(d))
        with np.errstate(over="ignore"):
            out("s2f", np.float32(d).item(), "=", to_fixed(np.float32(d).item()))
    # Var-float values into fixed: ties to even; NaN gives 0, infinities their sign.
    for p in (11, 24, 53, 113):
        values = [mpfr(v, p) for v in ["2.5", "-2.5", "3.5", "0.5", "-0.5", "1e30"]]
        values += [mpfr(rng.uniform(-1e9, 1e9), p) for _ in range(200)]
        values += [rng.choice([1, -1]) * times2(rng.getrandbits(p) | 1, rng.randrange(-p - 5, 200))
                   for _ in range(200)]
        for v in values:
            out("v2f", p, v, "=", 0, round(Fraction(*v.as_integer_ratio())))
        for v, status in ((NAN, 0), (INF, 1), (-INF, -1)):
            out("v2f", p, v, "=", status, 0)
    # Fixed into the float kinds; into double as GMP does, truncating to 53 bits.
    for n in [0, 1, -1, 2**53 + 1, -(2**53 + 1), 2**64 - 1, 2**100 + 2**47 + 1, 16777217] + [
            rand_int(rng) for _ in range(500)]:
        cut = max(abs(n).bit_length() - 53, 0)
        d = math.copysign(float(abs(n) >> cut << cut), n)
        out("f2d", n, "=", 0, mpfr(d))
        with np.errstate(over="ignore"):
            out("f2s", n, "=", 0, mpfr(np.float32(d).item()))
        for precision in (11, 24, 113):
            out("f2v", n, precision, "=", 0, mpfr(n, precision))

# Float bit packing and the variable-precision float references

class Fmt:
    """w_e exponent and w_f fraction bits: fraction low, biased exponent above, sign on top."""

    def __init__(self, w_e, w_f):
        self.w_e, self.w_f, self.p = w_e, w_f, w_f + 1
        self.top, self.bias, self.sign = (1 << w_e) - 1, (1 << (w_e - 1)) - 1, 1 << (w_e + w_f)
        self.nan = (2 * self.sign - 1) >> w_f << w_f | 3  # sign and exponent all ones, fraction 3
        self.tiny = 1 - self.bias - w_f  # the smallest subnormal is 2^tiny
        self.huge = self.top - 1 - self.bias  # the largest finite value is below 2^(huge + 1)

    def pattern(self, rng):  # mostly near the special fields
        top, w_f = self.top, self.w_f
        return rng.getrandbits(1) * self.sign | rng.choice(
            [0, 0, 1, 2, top - 1, top, top, rng.randrange(top)]) << w_f | rng.choice(
                [0, 1, (1 << w_f) - 1, 1 << (w_f - 1), rng.getrandbits(w_f)])

    def decode(self, bits, flush):
        e, m = bits >> self.w_f & self.top, bits & ((1 << self.w_f) - 1)
        if e == self.top:
            x = NAN if m else INF
        else:
            x = ZERO if e == 0 and flush else times2(m | (e > 0) << self.w_f,
                                                     max(e, 1) - self.bias - self.w_f)
        return -x if bits & self.sign else x

    def encode(self, x, flush):
        """The default packer's pattern: x rounded to w_f + 1 bits, then laid out."""
        if gmpy2.is_nan(x):
            return self.nan
        sign, r = self.sign if gmpy2.is_signed(x) else 0, abs(mpfr(x, self.p))
        biased = gmpy2.get_exp(r) - 1 + self.bias if gmpy2.is_regular(r) else 0
        if gmpy2.is_infinite(r) or biased >= self.top:
            return sign | self.top << self.w_f
        if r == 0 or biased < 1 and flush:
            return sign
        if biased < 1:  # to the nearest multiple of 2^tiny, ties to even
            return sign | int(gmpy2.rint(times2(r, -self.tiny)))
        return sign | biased << self.w_f | int(times2(r, self.w_f + self.bias - biased)) - (
            1 << self.w_f)

def native(f, x, flush):
    """The single or double packer: with flushing on, a value below the normal range is a signed
    zero (whatever narrowing would round it to); else to the nearest double, then float; single
    NaNs unsigned."""
    if gmpy2.is_nan(x):
        return "7fc00000" if f.w_e == 8 else "nan*"  # the double's sign is the platform's
    r = mpfr(x, f.p)
    if flush and gmpy2.is_regular(r) and abs(r) < times2(1, 1 - f.bias):
        return f"{f.sign if gmpy2.is_signed(r) else 0:x}"
    bits = np.array([Fmt(11, 52).encode(r, 0)], np.uint64)
    with np.errstate(over="ignore"):
        bits = int((bits.view(float).astype(np.float32).view(np.uint32) if f.w_e == 8 else bits)[0])
    return f"{bits:x}"

def values(rng, f, count, extreme=False):
    """Values across and beyond the range (with extreme, to the ends of MPFR's), with ties and
    near-ties where normal and subnormal values round, at the smallest normal and at overflow."""
    out = [NAN, INF, -INF, ZERO, -ZERO, mpfr(1), mpfr(-1), mpfr(1.5)]
    for _ in range(count):
        lead = rng.choice([rng.randrange(f.tiny - 8, f.huge + 4), -f.bias, 1 - f.bias, f.huge,
                           rng.randrange(f.tiny - 4, 1 - f.bias), f.huge + 1, rng.randrange(-3, 4)]
                          + extreme * [EMAX - 1 - rng.randrange(3), EMIN - 1 + rng.randrange(3)])
        kept = rng.choice([f.p, min(max(lead - f.tiny + 1, 1), f.p), rng.randrange(1, f.p + 1)])
        j = rng.randrange(1, f.p + 12)
        prefix = rng.choice([(1 << kept) - 1, rng.getrandbits(kept) | 1 << (kept - 1)])
        tail = rng.choice([0, 1 << j, (1 << j) + 1, (1 << j) - 1, rng.getrandbits(j + 1)])
        out.append(rng.choice([1, -1]) * times2(prefix << (j + 1) | tail, lead - kept - j))
    return out

def packing(out, f, codes, xs, combos):
    """Each pattern read and written back, and each value written, along each (flush, path):
    direct (a bare integer), port (a port of the format), ref (a reference bound to such a port,
    with the packer it picks), native (the single or double packer on a built-in port)."""
    numpy = {(5, 10): (np.uint16, np.float16), (8, 23): (np.uint32, np.float32),
             (11, 52): (np.uint64, np.float64)}
    for bits in codes if (f.w_e, f.w_f) in numpy else []:  # the decoder against numpy's floats
        x = np.array([bits], numpy[(f.w_e, f.w_f)][0]).view(numpy[(f.w_e, f.w_f)][1])[0].item()
        assert text(f.decode(bits, 0)) == text(mpfr(x)), hex(bits)
    for flush, path in combos:
        natively = path == "native" or path == "ref" and (f.w_e, f.w_f) in list(numpy)[1:]
        write = native if natively else lambda f, x, flush: f"{f.encode(x, flush):x}"
        for bits in codes:
            x = f.decode(bits, flush)
            out(f"unpack-{path}", f.w_e, f.w_f, flush, f"{bits:x}", "=", x, write(f, x, flush))
        for x in xs:
            out(f"pack-{path}", f.w_e, f.w_f, flush, x, "=", write(f, x, flush))

def dim(a, b):
    return NAN if gmpy2.is_nan(a) or gmpy2.is_nan(b) else a - b if a > b else ZERO

BINARY = {"add": operator.add, "sub": operator.sub, "mult": operator.mul,
          "div": operator.truediv, "hypot": gmpy2.hypot, "pow": operator.pow,
          "atan2": gmpy2.atan2, "dim": dim, "mod": lambda a, b: a - gmpy2.trunc(a / b) * b}
PRODUCERS = {**BINARY, "sqrt": gmpy2.sqrt, "exp": gmpy2.exp, "log": gmpy2.log, "sin": gmpy2.sin,
             "cbrt": gmpy2.cbrt, "recip": lambda a: 1 / a, "round": gmpy2.round_away,
             "rint": gmpy2.rint, "floor": gmpy2.floor, "ceil": gmpy2.ceil, "trunc": gmpy2.trunc,
             "abs": abs, "neg": operator.neg, "ldexp": times2,
             "pown": lambda a, n: a ** mpfr(n, 64), "scale": lambda a, s: a * mpfr(s, 53)}

def producers(rng, out, f):
    """Each producer on special and random operands, rounded once to the format's precision."""
    context = gmpy2.context(precision=f.p, emax=EMAX, emin=EMIN)
    for op, produce in PRODUCERS.items():
        # sin and pow are too costly at the ends of MPFR's exponent range.
        pool = [mpfr(x, f.p) for x in values(rng, f, 130, op not in ("sin", "pow"))]
        cases = [[a, b] for a in pool[:8] for b in pool[:8]] if op in BINARY else []
        for a in pool:
            cases.append([a, rng.choice(pool)] if op in BINARY else [a])
            if op == "scale":
                cases[-1].append(rng.choice([rng.uniform(-8.0, 8.0), rng.uniform(-1e-3, 1e-3),
                                             rand_double(rng), -0.0, math.inf, -math.inf,
                                             math.nan, 5e-324, 0.5, -3.0]))
            elif op in ("ldexp", "pown"):
                cases[-1].append(rng.choice([rng.randrange(-12, 13), rng.randrange(-1000, 1001),
                                             rng.randrange(-3 * f.huge - 200, 3 * f.huge + 200),
                                             1 << 30, -(1 << 30), 2**31 - 1, -(2**31)]))
        for operands in cases:
            with gmpy2.local_context(context):
                out(op, f.w_e, f.w_f, *operands, "=", produce(*operands))

def round_once(n, d, f):
    """n / d (integers, d > 0, n != 0) rounded once to f with subnormals, to nearest, ties to
    even, as an IEEE unit does; the exponent is unbounded above, as the references leave it."""
    a = abs(n)
    e = a.bit_length() - d.bit_length()  # 2^(e-1) <= a / d < 2^(e+1)
    e -= 1 if a << max(-e, 0) < d << max(e, 0) else 0
    k = max(e, 1 - f.bias) - f.w_f  # the step is 2^k
    q, r = divmod(a << max(-k, 0), d << max(k, 0))
    q += 1 if 2 * r > d << max(k, 0) or 2 * r == d << max(k, 0) and q % 2 else 0
    return (-1 if n < 0 else 1) * times2(q, k) if q else -ZERO if n < 0 else ZERO

def exact_sqrt(n, d):
    """A stand-in for sqrt(n / d) that rounds as it does onto any step of at least 2^-199."""
    s = math.isqrt(n * 4**200 // d)
    return 2 * s + (s * s * d != n * 4**200), 2**201

def ratio(op, a, b):
    """The exact a op b of two finite values as n / d, d > 0 (None for a division by zero)."""
    (na, da), (nb, db) = a.as_integer_ratio(), b.as_integer_ratio()
    if op in ("add", "sub"):
        return na * db + (nb if op == "add" else -nb) * da, da * db
    if op == "mult":
        return na * nb, da * db
    return None if nb == 0 else (na * db * (1 if nb > 0 else -1), da * abs(nb))

GRADUAL = {"add": operator.add, "sub": operator.sub, "mult": operator.mul, "div": operator.truediv}

def gradual(out, f, pairs, ops=GRADUAL, singles=()):
    """Results of a format with gradual underflow against the exact result rounded once, for
    finite operands; an exact zero is signed as MPFR and IEEE sign it (a sum: +0 unless both
    terms are -0)."""
    for a, b in pairs:
        for op in ops:
            q = ratio(op, a, b)
            if q is None or q[0] == 0:
                with gmpy2.local_context(gmpy2.context(precision=f.p)):
                    r = GRADUAL[op](a, b)
            else:
                r = round_once(*q, f)
            out(f"gradual-{op}", f.w_e, f.w_f, a, b, "=", r)
    for a in singles:
        if a > 0:
            r = round_once(*exact_sqrt(*a.as_integer_ratio()), f)
            out("gradual-sqrt", f.w_e, f.w_f, a, "=", r)
        d = float(a) * 0.75  # a double between the format's values
        r = round_once(*d.as_integer_ratio(), f) if d else a
        out("gradual-d2v", f.w_e, f.w_f, d.hex(), "=", r)

def subnormal_pairs(rng, f, op, count):
    """Pairs of finite values of f whose exact product or quotient lies in or near the subnormal
    range: from 2^-3 below the smallest subnormal up to 2^3 above the smallest normal."""
    pairs, low, high = [], f.tiny - 3, 4 - f.bias
    while len(pairs) < count:
        a, b = (f.decode(rng.getrandbits(f.w_e + f.w_f + 1), 0) for _ in range(2))
        if gmpy2.is_regular(a) and gmpy2.is_regular(b):
            n, d = ratio(op, a, b)
            n = abs(n)
            if n << max(-low, 0) >= d << max(low, 0) and n << max(-high, 0) <= d << max(high, 0):
                pairs.append((a, b))
    return pairs

def float_packing(rng, out):
    half = Fmt(5, 10)  # every pattern, and every value it reads as
    codes = range(1 << 16)
    packing(out, half, codes, [half.decode(b, 0) for b in codes], [(0, "direct"), (1, "ref")])
    for w_e, w_f, count in [(8, 23, 2500), (11, 52, 2500), (1, 3, 0), (2, 1, 0), (4, 3, 0),
                            (6, 9, 500), (8, 7, 500), (10, 40, 500), (15, 112, 500),
                            (19, 70, 500), (30, 5, 500), (3, 200, 300), (26, 180, 300)]:
        f = Fmt(w_e, w_f)  # every pattern of the narrowest, else patterns near the special fields
        codes = range(2 * f.sign) if count == 0 else [f.pattern(rng) for _ in range(count)]
        paths = ["direct", "port", "ref"] + ["native"] * (count > 1000)
        combos = [(flush, path) for flush in (0, 1) for path in paths]
        packing(out, f, codes, values(rng, f, count * 3 // 5 + 100), combos)
    for w_e, w_f in [(5, 10), (8, 23), (11, 52), (15, 112)]:
        producers(rng, out, Fmt(w_e, w_f))
    # Every pair of finite (4,3) values with gradual underflow on and, as before, off; for
    # (5,10) products and quotients in and around the subnormal range.
    f = Fmt(4, 3)
    finite = [f.decode(b, 0) for b in range(2 * f.sign) if b >> f.w_f & f.top != f.top]
    gradual(out, f, [(a, b) for a in finite for b in finite], singles=finite)
    with gmpy2.local_context(gmpy2.context(precision=f.p, emax=EMAX, emin=EMIN)):
        for a in finite:
            out("sqrt", f.w_e, f.w_f, a, "=", gmpy2.sqrt(a))
            for b in finite:
                for op in GRADUAL:
                    out(op, f.w_e, f.w_f, a, b, "=", BINARY[op](a, b))
    half = Fmt(5, 10)
    gradual(out, half, [], singles=[half.decode(b, 0) for b in range(half.sign - half.sign // 32)])
    for op in ("mult", "div"):
        gradual(out, half, subnormal_pairs(rng, half, op, COUNT_510), ops=[op])

if __name__ == "__main__":
    lines = []
    family = globals()[sys.argv[1]]
    family(random.Random(sys.argv[1]), lambda *x: lines.append(" ".join(map(text, x))))
    with open(sys.argv[2], "w") as file:
        file.write("\n".join(lines) + "\n")

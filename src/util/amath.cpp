// The word-level fixed-point kernels, the port value vector and the IEEE port codecs.
#include "util/amath.h"
#include "util/compiler.h"
#include "util/fixed_limbs.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

static_assert(GMP_NUMB_BITS == 64 && sizeof(unsigned long) == 8 && sizeof(long) == 8,
              "port values assume 64-bit GMP limbs and an LP64 platform");

namespace simulation {

const SINT s_pow2[64] = {
    0x1,
    0x2,
    0x4,
    0x8,
    0x10,
    0x20,
    0x40,
    0x80,
    0x100,
    0x200,
    0x400,
    0x800,
    0x1000,
    0x2000,
    0x4000,
    0x8000,
    0x10000,
    0x20000,
    0x40000,
    0x80000,
    0x100000,
    0x200000,
    0x400000,
    0x800000,
    0x1000000,
    0x2000000,
    0x4000000,
    0x8000000,
    0x10000000,
    0x20000000,
    0x40000000,
    0x80000000,
    0x100000000,
    0x200000000,
    0x400000000,
    0x800000000,
    0x1000000000,
    0x2000000000,
    0x4000000000,
    0x8000000000,
    0x10000000000,
    0x20000000000,
    0x40000000000,
    0x80000000000,
    0x100000000000,
    0x200000000000,
    0x400000000000,
    0x800000000000,
    0x1000000000000,
    0x2000000000000,
    0x4000000000000,
    0x8000000000000,
    0x10000000000000,
    0x20000000000000,
    0x40000000000000,
    0x80000000000000,
    0x100000000000000,
    0x200000000000000,
    0x400000000000000,
    0x800000000000000,
    0x1000000000000000,
    0x2000000000000000,
    0x4000000000000000,
    INT64_MIN,
};

const SINT s_pow2mask[65] = {
    0x0,
    0x1,
    0x3,
    0x7,
    0xF,
    0x1F,
    0x3F,
    0x7F,
    0xFF,
    0x1FF,
    0x3FF,
    0x7FF,
    0xFFF,
    0x1FFF,
    0x3FFF,
    0x7FFF,
    0xFFFF,
    0x1FFFF,
    0x3FFFF,
    0x7FFFF,
    0xFFFFF,
    0x1FFFFF,
    0x3FFFFF,
    0x7FFFFF,
    0xFFFFFF,
    0x1FFFFFF,
    0x3FFFFFF,
    0x7FFFFFF,
    0xFFFFFFF,
    0x1FFFFFFF,
    0x3FFFFFFF,
    0x7FFFFFFF,
    0xFFFFFFFF,
    0x1FFFFFFFF,
    0x3FFFFFFFF,
    0x7FFFFFFFF,
    0xFFFFFFFFF,
    0x1FFFFFFFFF,
    0x3FFFFFFFFF,
    0x7FFFFFFFFF,
    0xFFFFFFFFFF,
    0x1FFFFFFFFFF,
    0x3FFFFFFFFFF,
    0x7FFFFFFFFFF,
    0xFFFFFFFFFFF,
    0x1FFFFFFFFFFF,
    0x3FFFFFFFFFFF,
    0x7FFFFFFFFFFF,
    0xFFFFFFFFFFFF,
    0x1FFFFFFFFFFFF,
    0x3FFFFFFFFFFFF,
    0x7FFFFFFFFFFFF,
    0xFFFFFFFFFFFFF,
    0x1FFFFFFFFFFFFF,
    0x3FFFFFFFFFFFFF,
    0x7FFFFFFFFFFFFF,
    0xFFFFFFFFFFFFFF,
    0x1FFFFFFFFFFFFFF,
    0x3FFFFFFFFFFFFFF,
    0x7FFFFFFFFFFFFFF,
    0xFFFFFFFFFFFFFFF,
    0x1FFFFFFFFFFFFFFF,
    0x3FFFFFFFFFFFFFFF,
    0x7FFFFFFFFFFFFFFF,
    -1,
};

namespace {

// Magnitude and sign of a GMP integer whose magnitude needs at most 64 bits.
std::uint64_t lowMagnitude(const mpz_t z) {
  return mpz_getlimbn(z, 0);
}

void setU64(mpz_t z, std::uint64_t v) {
  mpz_set_ui(z, v);
}

} // namespace

void AMShift_mpz(mpz_t dst, const mpz_t src, int shift) {
  if (shift > 0)
    mpz_fdiv_q_2exp(dst, src, static_cast<mp_bitcnt_t>(shift));
  else
    mpz_mul_2exp(dst, src, static_cast<mp_bitcnt_t>(-static_cast<long>(shift)));
}

SINT AMInitVal(double d) {
  LOOM_ASSERT_MSG(d >= -9223372036854775808.0 && d < 9223372036854775808.0,
                  "Initial value is not a number within the 64-bit range.");
  return static_cast<SINT>(d);
}

int AMTest() {
  using Index = std::make_signed_t<std::size_t>;
  enum { SUB = 0, ADD = 1, NORMALISE = 2 };

  struct Case2 {
    SINT a, b;
    int width;
    SINT expected;
    int op;
  };
  static const Case2 test2[] = {
      {1, 1, 8, 2, ADD},
      {2, 2, 8, 4, ADD},
      {-1, -1, 8, -2, ADD},
      {200, 200, 8, -112, ADD},
      {200, 100, 8, 44, ADD},
      {132563501, 2218636, 28, -133653319, ADD},
      {132563501, 2246839, 28, -133625116, ADD},
      {-124350955, 132563501, 28, 11521000, SUB},
      {300, 0, 8, 44, NORMALISE},
      {0, 0, 8, 0, ADD},
  };
  for (std::size_t i = 0; i < sizeof test2 / sizeof test2[0]; ++i) {
    const Case2& t = test2[i];
    const SINT result = t.op == SUB   ? AMSub(t.a, t.b, t.width)
                        : t.op == ADD ? AMAdd(t.a, t.b, t.width)
                                      : detail::normalise(detail::word(t.a), t.width);
    if (result != t.expected)
      std::printf("Failed test2 %zd with result %lld (%lld)\n", static_cast<Index>(i),
                  static_cast<long long>(result), static_cast<long long>(t.expected));
  }

  struct Case3 {
    SINT a, b;
    int width;
    SINT expected;
    int op;
    SINT carryIn, expectedCarry;
  };
  static const Case3 test3[] = {
      {1, 1, 8, 3, ADD, 1, 0},
      {2, 2, 8, 5, ADD, 1, 0},
      {-1, -1, 8, -1, ADD, 1, 1},
      {200, 200, 8, -111, ADD, 1, 1},
      {200, 100, 8, 45, ADD, 1, 1},
      {132563501, 2218636, 28, -133653318, ADD, 1, 0},
      {132563501, 2246839, 28, -133625115, ADD, 1, 0},
      {-124350955, 132563501, 28, 11520999, SUB, 1, 1},
      {0, 0, 8, 1, ADD, 1, 0},
      {-200, 100, 8, -99, ADD, 1, 1},
      {100, 200, 8, -100, SUB, 0, 1},
      {200, 199, 8, 0, SUB, 1, 0},
      {0, 255, 8, 0, SUB, 1, 1},
  };
  SINT carry = 0;
  for (std::size_t i = 0; i < sizeof test3 / sizeof test3[0]; ++i) {
    const Case3& t = test3[i];
    SINT result = 0;
    switch (t.op) {
    case ADD:
      result = AMAdd(t.a, t.b, t.carryIn, t.width, &carry);
      break;
    case SUB:
      result = AMSub(t.a, t.b, t.carryIn, t.width, &carry);
      break;
    default:
      LOOM_UNREACHABLE();
    }
    if (result != t.expected)
      std::printf("Failed test3 %zd with result %lld (%lld)\n", static_cast<Index>(i),
                  static_cast<long long>(result), static_cast<long long>(t.expected));
    if (carry != t.expectedCarry)
      std::printf("Failed test3 %zd with carry %lld (%lld)\n", static_cast<Index>(i),
                  static_cast<long long>(carry), static_cast<long long>(t.expectedCarry));
  }
  return 1;
}

void pow2(mpz_t out, unsigned n) {
  mpz_set_ui(out, 1);
  mpz_mul_2exp(out, out, n);
}

unsigned bitsForAddr(SINT n) {
  if (n <= 1)
    return 0;
  return 64u - static_cast<unsigned>(bits::leadingZeros(detail::word(n - 1)));
}

unsigned bitsForValue(SINT v) {
  if (v <= 0)
    return 0;
  return 64u - static_cast<unsigned>(bits::leadingZeros(detail::word(v)));
}

unsigned bitsForValue(const mpz_t v) {
  if (mpz_sgn(v) >= 0)
    return static_cast<unsigned>(mpz_sizeinbase(v, 2));
  mpz_t complement; // -1 - v, the magnitude a negative field must hold beside its sign
  mpz_init(complement);
  mpz_com(complement, v);
  const unsigned bits = static_cast<unsigned>(mpz_sizeinbase(complement, 2)) + 1;
  mpz_clear(complement);
  return bits;
}

namespace {
template <typename T> T euclid(T a, T b) {
  T small = a < b ? a : b;
  T large = a < b ? b : a;
  if (small == 0)
    return large;
  for (;;) {
    // The remainder by -1 is 0; computing it would trap for the most negative value.
    const T remainder = small == -1 ? 0 : large % small;
    large = small;
    small = remainder;
    if (remainder == 0)
      return large;
  }
}
} // namespace

int hcf(int a, int b) {
  return euclid(a, b);
}
SINT hcf(SINT a, SINT b) {
  return euclid(a, b);
}

int ipow(int base, int exp) {
  LOOM_ASSERT(exp >= 0);
  std::uint32_t result = 1;
  std::uint32_t b = static_cast<std::uint32_t>(base);
  while (exp != 0) {
    if (exp & 1)
      result *= b;
    exp >>= 1;
    if (exp != 0)
      b *= b;
  }
  return static_cast<int>(result);
}

namespace {

const char* const kRationalDoesNotFit = "Rational approximation does not fit in int.";

bool finite(double x) {
  return std::isfinite(x);
}

// One step of the search moves the numerator or the denominator up by one. The error
// num/den - frac is monotonic in each of them, so a run of steps in one direction can be
// jumped over to its first stopping point, found near an estimate and confirmed with the very
// comparison a single step would make; the result is that of stepping one at a time.
class RationalSearch {
public:
  RationalSearch(double frac, double tolerance) : mFrac(frac), mTolerance(tolerance) {}

  double error(std::int64_t num, std::int64_t den) const {
    return static_cast<double>(num) / static_cast<double>(den) - mFrac;
  }

  // The first denominator after den at which the error is no longer above the tolerance.
  std::int64_t nextDen(std::int64_t num, std::int64_t den) const {
    auto stops = [&](std::int64_t d) { return error(num, d) <= mTolerance; };
    const double bound = mFrac + mTolerance;
    const double estimate = bound > 0 ? std::ceil(static_cast<double>(num) / bound) : kLimit;
    return firstStop(den, estimate, stops);
  }

  // The first numerator after num at which the error is no longer below minus the tolerance.
  std::int64_t nextNum(std::int64_t num, std::int64_t den) const {
    auto stops = [&](std::int64_t n) { return error(n, den) >= -mTolerance; };
    return firstStop(num, std::ceil((mFrac - mTolerance) * static_cast<double>(den)), stops);
  }

private:
  static constexpr double kLimit = static_cast<double>(INT_MAX) + 1.0;

  template <typename Stops>
  static std::int64_t firstStop(std::int64_t from, double estimate, Stops stops) {
    std::int64_t x = from + 1;
    if (estimate > static_cast<double>(x))
      x = estimate >= kLimit ? static_cast<std::int64_t>(INT_MAX)
                             : static_cast<std::int64_t>(estimate);
    while (x > from + 1 && stops(x - 1))
      --x;
    while (x <= INT_MAX && !stops(x))
      ++x;
    LOOM_ASSERT_MSG(x <= INT_MAX, kRationalDoesNotFit);
    return x;
  }

  double mFrac;
  double mTolerance;
};

} // namespace

void rational(double f, int* num, int* den, double tolerance) {
  LOOM_ASSERT_MSG(finite(f), "Attempt to find the rational form of a non-finite number.");
  LOOM_ASSERT_MSG(tolerance >= 0, kRationalDoesNotFit);
  const double wholeValue = std::floor(f);
  LOOM_ASSERT_MSG(wholeValue >= INT_MIN && wholeValue <= INT_MAX, kRationalDoesNotFit);
  const int whole = static_cast<int>(wholeValue);
  const double frac = f - whole;

  const RationalSearch search(frac, tolerance);
  std::int64_t n = 0;
  std::int64_t d = 1;
  for (double err = search.error(n, d); std::fabs(err) > tolerance; err = search.error(n, d)) {
    if (err > 0)
      d = search.nextDen(n, d);
    else
      n = search.nextNum(n, d);
  }
  const std::int64_t total = d * whole + n;
  LOOM_ASSERT_MSG(total >= INT_MIN && total <= INT_MAX, kRationalDoesNotFit);
  *num = static_cast<int>(total);
  *den = static_cast<int>(d);
}

SINT mpzToSINT(const mpz_t z) {
  // A magnitude of at most 64 bits is at most one limb; a wider one reads as 0.
  const int size = z->_mp_size;
  const std::uint64_t magnitude = size == 1 || size == -1 ? z->_mp_d[0] : 0;
  return static_cast<SINT>(size < 0 ? std::uint64_t(0) - magnitude : magnitude);
}

void sintToMPZ(mpz_t z, SINT v) {
  limbs::storeWord(z, v);
}

// ---------------------------------------------------------------------------------------------
// Port values

void WideTypedFormat::setSimPortType(SIM_PORT_TYPE kind) {
  mPortType = kind;
  switch (kind) {
  case SPT_FIXED:
    mVarType = &WideFixedType::legacy;
    break;
  case SPT_SINGLE:
    mVarType = &SysSingleType::builtIn;
    break;
  case SPT_DOUBLE:
    mVarType = &SysDoubleType::builtIn;
    break;
  default:
    LOOM_UNREACHABLE();
  }
}

void WideTypedFormat::setVarType(VarType* type) {
  mVarType = type;
  if (type == &WideFixedType::legacy)
    mPortType = SPT_FIXED;
  else if (type == &SysSingleType::builtIn)
    mPortType = SPT_SINGLE;
  else if (type == &SysDoubleType::builtIn)
    mPortType = SPT_DOUBLE;
  else
    mPortType = SPT_VARFLOAT;
}

namespace {
bool hasFormat(const VarType* type, TypeRepr native, const VarFloatType& builtIn) {
  if (type == nullptr)
    return false;
  const TypeRepr repr = type->getImpl();
  if (repr != native && repr != TR_MPFR)
    return false;
  const auto* format = static_cast<const VarFloatType*>(type);
  return format->getWE() == builtIn.getWE() && format->getWF() == builtIn.getWF();
}
} // namespace

bool WideTypedFormat::isSingle() const {
  return hasFormat(mVarType, TR_SP, SysSingleType::builtIn);
}
bool WideTypedFormat::isDouble() const {
  return hasFormat(mVarType, TR_DP, SysDoubleType::builtIn);
}

WideTypedFormatVector::WideTypedFormatVector(const WideTypedFormatVector& other) {
  mElements.reserve(other.mElements.size());
  for (const WideTypedFormat& element : other.mElements) {
    mElements.push_back(element);
    mpz_init_set(mElements.back().mData, element.mData);
  }
}

WideTypedFormatVector::WideTypedFormatVector(WideTypedFormatVector&& other) noexcept
    : mElements(std::move(other.mElements)) {
  other.mElements.clear();
}

WideTypedFormatVector& WideTypedFormatVector::operator=(const WideTypedFormatVector& other) {
  if (this != &other) {
    WideTypedFormatVector copy(other);
    *this = std::move(copy);
  }
  return *this;
}

WideTypedFormatVector& WideTypedFormatVector::operator=(WideTypedFormatVector&& other) noexcept {
  if (this != &other) {
    clearAll();
    mElements = std::move(other.mElements);
    other.mElements.clear();
  }
  return *this;
}

WideTypedFormatVector::~WideTypedFormatVector() {
  clearAll();
}

void WideTypedFormatVector::clearAll() {
  for (WideTypedFormat& element : mElements)
    mpz_clear(element.mData);
  mElements.clear();
}

void WideTypedFormatVector::EnsureSize(std::size_t n) {
  if (n <= mElements.size())
    return;
  if (n > mElements.capacity()) {
    const std::size_t grown = mElements.capacity() + mElements.capacity() / 2;
    mElements.reserve(grown > n ? grown : n);
  }
  while (mElements.size() < n) {
    mElements.emplace_back();
    mpz_init(mElements.back().mData);
  }
}

namespace {

// The kinds that fixed-point arithmetic refuses outright.
void refuseNativeFloat(const WideTypedFormat& dst) {
  if (dst.mPortType == SPT_SINGLE || dst.mPortType == SPT_DOUBLE)
    LOOM_UNREACHABLE();
}

void requireFixed(const WideTypedFormat& a, const WideTypedFormat& b) {
  if (!a.isFixed() || !b.isFixed())
    LOOM_UNREACHABLE();
}

} // namespace

void BIGNUM_Add_Func(WideTypedFormat& dst, const WideTypedFormat& a, const WideTypedFormat& b) {
  refuseNativeFloat(dst);
  if (dst.isFixed() && a.isFixed() && b.isFixed())
    mpz_add(dst.mData, a.mData, b.mData);
}

void BIGNUM_Sub_Func(WideTypedFormat& dst, const WideTypedFormat& a, const WideTypedFormat& b) {
  refuseNativeFloat(dst);
  if (dst.isFixed() && a.isFixed() && b.isFixed())
    mpz_sub(dst.mData, a.mData, b.mData);
}

void BIGNUM_Neg(WideTypedFormat& dst, const WideTypedFormat& src) {
  refuseNativeFloat(dst);
  if (dst.isFixed() && src.isFixed())
    mpz_neg(dst.mData, src.mData);
}

bool BIGNUM_CMPEQ(const WideTypedFormat& a, const WideTypedFormat& b) {
  requireFixed(a, b);
  return mpz_cmp(a.mData, b.mData) == 0;
}
bool BIGNUM_CMPNE(const WideTypedFormat& a, const WideTypedFormat& b) {
  requireFixed(a, b);
  return mpz_cmp(a.mData, b.mData) != 0;
}
bool BIGNUM_CMPLT(const WideTypedFormat& a, const WideTypedFormat& b) {
  requireFixed(a, b);
  return mpz_cmp(a.mData, b.mData) < 0;
}
bool BIGNUM_CMPLE(const WideTypedFormat& a, const WideTypedFormat& b) {
  requireFixed(a, b);
  return mpz_cmp(a.mData, b.mData) <= 0;
}
bool BIGNUM_CMPGT(const WideTypedFormat& a, const WideTypedFormat& b) {
  requireFixed(a, b);
  return mpz_cmp(a.mData, b.mData) > 0;
}
bool BIGNUM_CMPGE(const WideTypedFormat& a, const WideTypedFormat& b) {
  requireFixed(a, b);
  return mpz_cmp(a.mData, b.mData) >= 0;
}

void BIGNUM_Copy(WideTypedFormat& dst, const WideTypedFormat& src) {
  mpz_set(dst.mData, src.mData);
  dst.setVarType(src.mVarType);
}

void BIGNUM_Set(WideTypedFormat& dst, const WideTypedFormat& src) {
  mpz_set(dst.mData, src.mData);
}
void BIGNUM_SetLong(WideTypedFormat& dst, SINT v) {
  sintToMPZ(dst.mData, v);
}
void BIGNUM_SetULong(WideTypedFormat& dst, std::uint64_t v) {
  setU64(dst.mData, v);
}
SINT BIGNUM_GetLong(const WideTypedFormat& src) {
  return mpzToSINT(src.mData);
}
std::uint64_t BIGNUM_GetULong(const WideTypedFormat& src) {
  return static_cast<std::uint64_t>(mpzToSINT(src.mData));
}

// ---------------------------------------------------------------------------------------------
// IEEE views

bool IEEE_Single::subnormalsToZero = true;
bool IEEE_Double::subnormalsToZero = true;

namespace {
float floatFromBits(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
double doubleFromBits(std::uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}
} // namespace

IEEE_Single::IEEE_Single(float f) : mValue(f) {
  cleanUp();
}

IEEE_Single::IEEE_Single(const mpz_t z)
    : mValue(floatFromBits(static_cast<std::uint32_t>(mpz_get_si(z)))) {
  cleanUp();
}

IEEE_Single::IEEE_Single(const WideTypedFormat& s) : mValue(0.0f) {
  LOOM_ASSERT(s.isSingle());
  mValue = floatFromBits(static_cast<std::uint32_t>(lowMagnitude(s.mData)));
  cleanUp();
}

void IEEE_Single::Set(WideTypedFormat& s) const {
  Set(s.mData);
}
void IEEE_Single::Set(mpz_t z) const {
  mpz_set_ui(z, bits());
}

std::uint32_t IEEE_Single::bits() const {
  std::uint32_t b;
  std::memcpy(&b, &mValue, sizeof b);
  return b;
}

int IEEE_Single::getSign() const {
  return static_cast<int>(bits() >> 31);
}
int IEEE_Single::getExp() const {
  return static_cast<int>((bits() >> 23) & 0xFFu);
}
int IEEE_Single::getMantissa() const {
  return static_cast<int>(bits() & 0x7FFFFFu);
}

void IEEE_Single::flushSubnormals() {
  if (subnormalsToZero && std::fabs(mValue) < std::numeric_limits<float>::min())
    mValue *= 0.0f;
}

void IEEE_Single::flushSignedNaN() {
  if (std::isnan(mValue))
    mValue = std::copysign(mValue, 0.0f);
}

void IEEE_Single::cleanUp() {
  flushSubnormals();
  flushSignedNaN();
}

IEEE_Double::IEEE_Double(double d) : mValue(d) {
  flushSubnormals();
}

IEEE_Double::IEEE_Double(const WideTypedFormat& s) : mValue(0.0) {
  LOOM_ASSERT(s.isDouble());
  LOOM_ASSERT_MSG(mpz_sizeinbase(s.mData, 2) <= 64, "IEEE double port value wider than 64 bits.");
  mValue = doubleFromBits(lowMagnitude(s.mData));
  flushSubnormals();
}

void IEEE_Double::Set(WideTypedFormat& s) const {
  setU64(s.mData, bits());
}

std::uint64_t IEEE_Double::bits() const {
  std::uint64_t b;
  std::memcpy(&b, &mValue, sizeof b);
  return b;
}

int IEEE_Double::getSign() const {
  return static_cast<int>(bits() >> 63);
}
int IEEE_Double::getExp() const {
  return static_cast<int>((bits() >> 52) & 0x7FFu);
}
std::uint64_t IEEE_Double::getMantissaWithImplicitOneSet() const {
  return (bits() & ((std::uint64_t(1) << 52) - 1)) | (std::uint64_t(1) << 52);
}

void IEEE_Double::flushSubnormals() {
  if (subnormalsToZero && std::fabs(mValue) < std::numeric_limits<double>::min())
    mValue *= 0.0;
}

// ---------------------------------------------------------------------------------------------

mpfr_t* fpToFxP(const mpfr_t x, int w, int f, int s, mpfr_rnd_t rnd) {
  LOOM_ASSERT(s == 0 || s == 1);
  LOOM_ASSERT(w > s);
  // Exponents in 64 bits: w - f and -f overflow an int for extreme f. The grid's top
  // 2^(w-f-s) and its step 2^-f (MPFR exponents one above the powers) must be floats; the
  // other bounds lie between them.
  const std::int64_t topPower = std::int64_t(w) - f - s;
  const std::int64_t stepPower = -std::int64_t(f);
  LOOM_ASSERT_MSG(topPower + 1 <= mpfr_get_emax() && stepPower + 1 >= mpfr_get_emin(),
                  "Fixed-point grid is outside the float exponent range.");
  const mpfr_prec_t precision = w - s;
  auto* result = static_cast<mpfr_t*>(std::malloc(sizeof(mpfr_t)));
  LOOM_ASSERT(result != nullptr);
  mpfr_init2(*result, precision);

  if (mpfr_zero_p(x)) {
    mpfr_set_zero(*result, 1);
    return result;
  }

  // The largest grid value 2^(w-f-s) - 2^-f, and the smallest: -2^(w-f-1), or 0 if unsigned.
  mpfr_t maxV, minV, step;
  mpfr_init2(maxV, precision);
  mpfr_init2(minV, precision);
  mpfr_init2(step, 2);
  mpfr_set_ui_2exp(maxV, 1, static_cast<mpfr_exp_t>(topPower), MPFR_RNDN);
  mpfr_set_ui_2exp(step, 1, static_cast<mpfr_exp_t>(stepPower), MPFR_RNDN);
  mpfr_sub(maxV, maxV, step, MPFR_RNDN);
  if (s == 1) // the top power is w - f - 1 for a signed grid
    mpfr_set_si_2exp(minV, -1, static_cast<mpfr_exp_t>(topPower), MPFR_RNDN);
  else
    mpfr_set_zero(minV, 1);

  if (mpfr_nan_p(x) || (mpfr_number_p(x) && mpfr_get_exp(x) <= stepPower)) {
    mpfr_set_zero(*result, 1); // below one grid step
  } else if (mpfr_greater_p(x, maxV)) {
    mpfr_set(*result, maxV, MPFR_RNDN);
  } else if (mpfr_less_p(x, minV)) {
    mpfr_set(*result, minV, MPFR_RNDN);
  } else {
    // Rounding to e + f significant bits puts x on the grid of step 2^-f; within the grid
    // e <= w - f, so that precision is at most w.
    const std::int64_t bits = std::int64_t(mpfr_get_exp(x)) + f;
    mpfr_t rounded;
    mpfr_init2(rounded, bits > 2 ? static_cast<mpfr_prec_t>(bits) : 2);
    mpfr_set(rounded, x, rnd);
    mpfr_set(*result, rounded, MPFR_RNDN);
    mpfr_clear(rounded);
  }
  mpfr_clears(maxV, minV, step, static_cast<mpfr_ptr>(nullptr));
  return result;
}

} // namespace simulation

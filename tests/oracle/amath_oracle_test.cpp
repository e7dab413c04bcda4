// Differential test of the word kernels, word/integer conversions, bit counts, fixed port
// values and the IEEE views against tests/oracle/cases.py.
#include "util/amath.h"

#include "case_runner.h"

#include <algorithm>
#include <cstdlib>

namespace {

using namespace simulation;

SINT n(const std::string& text) {
  return std::stoll(text);
}

TEST(AmathOracle, EveryCaseMatchesTheIndependentReference) {
  SINT k = 0;
  mpz_class r;
  WideTypedFormatVector p(3), ieee(1);
  auto str = [](const WideTypedFormat& port) { return mpz_class(port.mData).get_str(); };
  auto addSub = [&](const Operands& x) {
    const SINT a = n(x[0]), b = n(x[1]), c = n(x[2]), add = AMAdd(a, b, c, int(n(x[3])), &k);
    const SINT carry = k, sub = AMSub(a, b, c, int(n(x[3])), &k);
    return join(AMAdd(a, b, int(n(x[3]))), AMSub(a, b, int(n(x[3]))), add, carry, sub, k);
  };
  auto mpz = [&](const Operands& x) {
    const mpz_class a(x[0], 10);
    AMShift_mpz(r.get_mpz_t(), a.get_mpz_t(), int(n(x[2])));
    mpz_set(p[1].mData, a.get_mpz_t());
    mpz_set_str(p[2].mData, x[1].c_str(), 10);
    BIGNUM_Add_Func(p[0], p[1], p[2]);
    const std::string sum = str(p[0]);
    BIGNUM_Sub_Func(p[0], p[1], p[2]);
    const std::string difference = str(p[0]);
    BIGNUM_Neg(p[0], p[1]);
    return join(mpzToSINT(a.get_mpz_t()), bitsForValue(a.get_mpz_t()), r.get_str(), sum, difference,
                str(p[0]), BIGNUM_CMPEQ(p[1], p[2]), BIGNUM_CMPNE(p[1], p[2]),
                BIGNUM_CMPLT(p[1], p[2]), BIGNUM_CMPLE(p[1], p[2]), BIGNUM_CMPGT(p[1], p[2]),
                BIGNUM_CMPGE(p[1], p[2]), BIGNUM_GetULong(p[1]));
  };
  auto word = [&](const Operands& x) {
    const SINT v = n(x[0]);
    const unsigned e = unsigned(n(x[1]));
    sintToMPZ(r.get_mpz_t(), v);
    const bool same = mpzToSINT(r.get_mpz_t()) == v && s_pow2[e % 64] == pow2(e);
    const std::string asInteger = r.get_str();
    pow2(k, e);
    pow2(r.get_mpz_t(), e);
    return join(asInteger, bitsForAddr(v), bitsForValue(v), IsPow2(v), k, r.get_str(),
                s_pow2mask[std::min(e, 64u)], ipow(int(n(x[2])), int(n(x[3]))),
                AMInitVal(std::strtod(x[4].c_str(), nullptr)), same ? "" : "(ways differ)");
  };
  // The cleaned-up pattern, read from a port and written back, with its fields.
  auto single = [&](const Operands& x) {
    IEEE_Single::subnormalsToZero = x[1] == "1";
    ieee[0].setSimPortType(SPT_SINGLE);
    BIGNUM_SetULong(ieee[0], std::stoull(x[0]));
    const IEEE_Single v(ieee[0]);
    v.Set(r.get_mpz_t());
    const char* same = IEEE_Single(mpz_class(x[0]).get_mpz_t()).bits() == r ? "" : "(differ)";
    return join(r.get_str(), v.getSign(), v.getExp(), v.getMantissa(), same);
  };
  auto dbl = [&](const Operands& x) {
    IEEE_Double::subnormalsToZero = x[1] == "1";
    ieee[0].setSimPortType(SPT_DOUBLE);
    BIGNUM_SetULong(ieee[0], std::stoull(x[0]));
    const IEEE_Double v(ieee[0]);
    v.Set(ieee[0]);
    return join(BIGNUM_GetULong(ieee[0]), v.getSign(), v.getExp(),
                v.getMantissaWithImplicitOneSet());
  };
  checkOracleCases(
      AMATH_ORACLE_CASES, 3000,
      {{"addsub", addSub},
       {"mask", [](auto& x) { return join(AMMask(n(x[0]), int(n(x[1])))); }},
       {"shift",
        [](auto& x) { return join(AMShift(n(x[0]), n(x[1]), x[2] == "1", int(n(x[3])))); }},
       {"mpz", mpz},
       {"word", word},
       {"single", single},
       {"double", dbl}});
}

} // namespace

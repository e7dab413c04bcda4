// Differential test of the conversions between reference kinds against tests/oracle/cases.py.
#include "util/amath_dataimpl.h"

#include "case_runner.h"

#include <cstdlib>

namespace {

using namespace simulation;

TEST(Conversions, EveryPairMatchesTheIndependentReference) {
  util::TempVarAllocator alloc;
  FixedRef fixed(&WideFixedType::legacy, alloc);
  DoubleRef d(&SysDoubleType::builtIn, alloc);
  SingleRef s(&SysSingleType::builtIn, alloc);
  VarFloatType types[] = {
      {"v", 15, 10, true}, {"v", 15, 23, true}, {"v", 15, 52, true}, {"v", 15, 112, true}};
  std::map<std::string, VarFloatRef> v; // by precision
  for (VarFloatType& type : types)
    v.try_emplace(std::to_string(type.getWF() + 1), &type, alloc);
  mpfr_t x;
  mpfr_init2(x, 53);
  // A conversion's status, then the value it produced.
  auto result = [&](int status, auto& to) {
    if constexpr (std::is_same_v<decltype(to), VarFloatRef&>)
      return join(status, token(to.getRef().mValue));
    else
      return join(status, (mpfr_set_d(x, to.getRef(), MPFR_RNDN), token(x)));
  };
  // From single and double: infinities and NaN leave the fixed value alone.
  auto toFixed = [&](auto& from, const std::string& value) {
    from.getRef() = std::strtod(value.c_str(), nullptr);
    mpz_set_si(fixed.getRef(), 424242);
    const int status = fixed.setValue(from);
    return join(status, status ? (fixed.compare(424242) ? "?" : "-") : fixed.toString(10));
  };
  auto setFixed = [&](const std::string& value) -> FixedRef& {
    mpz_set_str(fixed.getRef(), value.c_str(), 10);
    return fixed;
  };
  checkOracleCases(
      CONVERSION_ORACLE_CASES, 500,
      {{"d2v",
        [&](auto& o) {
          d.getRef() = std::strtod(o[0].c_str(), nullptr);
          return result(v.at(o[1]).setValue(d), v.at(o[1]));
        }},
       {"d2f", [&](auto& o) { return toFixed(d, o[0]); }},
       {"s2f", [&](auto& o) { return toFixed(s, o[0]); }},
       {"v2f",
        [&](auto& o) {
          setToken(v.at(o[0]).getRef().mValue, o[1]);
          const int status = fixed.setValue(v.at(o[0]));
          return join(status, fixed.toString(10));
        }},
       {"f2d", [&](auto& o) { return result(d.setValue(setFixed(o[0])), d); }},
       {"f2s", [&](auto& o) { return result(s.setValue(setFixed(o[0])), s); }},
       {"f2v", [&](auto& o) { return result(v.at(o[1]).setValue(setFixed(o[0])), v.at(o[1])); }}});
  mpfr_clear(x);
}

} // namespace

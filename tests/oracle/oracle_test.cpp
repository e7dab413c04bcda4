// Differential tests against tests/oracle/cases.py: each line "<operation> <operands> = <expected>"
// is run through the library; each operation needs `minimum` cases (a family cannot vanish).
#include "util/amath_dataimpl.h"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace simulation;

using Operands = std::vector<std::string>;
using Operations = std::map<std::string, std::function<std::string(const Operands&)>>;

void checkOracleCases(const char* path, long minimum, const Operations& operations) {
  std::ifstream cases(path);
  ASSERT_TRUE(cases.good()) << "missing " << path;
  std::map<std::string, long> checked;
  long failures = 0;
  for (std::string line, op; std::getline(cases, line);) {
    std::istringstream in(line.substr(0, line.find(" = ")));
    in >> op;
    const auto run = operations.find(op);
    const std::string got =
        run == operations.end() ? "?" : run->second({std::istream_iterator<std::string>(in), {}});
    ++checked[op];
    if ((line.find(" = ") == std::string::npos || got != line.substr(line.find(" = ") + 3)) &&
        ++failures <= 20)
      ADD_FAILURE() << line << "\n  library gave: " << got;
  }
  EXPECT_EQ(failures, 0);
  for (const auto& operation : operations)
    EXPECT_GE(checked[operation.first], minimum) << operation.first;
}

// The values with a space between each; empty ones at the end leave no trace.
template <typename... T> std::string join(const T&... values) {
  std::ostringstream out;
  ((out << values << ' '), ...);
  std::string text = out.str();
  return text.erase(text.find_last_not_of(' ') + 1);
}

// Exact float values: nan, inf, -inf, 0, -0, or [-]<odd hexadecimal integer>p<exponent>.
std::string token(mpfr_srcptr x) {
  const std::string sign = mpfr_signbit(x) ? "-" : "";
  if (mpfr_nan_p(x) || !mpfr_regular_p(x))
    return mpfr_nan_p(x) ? "nan" : sign + (mpfr_inf_p(x) ? "inf" : "0");
  mpz_class m;
  const long e = mpfr_get_z_2exp(m.get_mpz_t(), x);
  const auto zeros = mpz_scan1(m.get_mpz_t(), 0);
  m = abs(m) >> zeros;
  return sign + m.get_str(16) + "p" + std::to_string(e + long(zeros));
}

// x = the token's value, rounded once to x's precision, to nearest.
void setToken(mpfr_ptr x, const std::string& t) {
  const std::size_t p = t.find('p');
  if (p != std::string::npos)
    mpfr_set_z_2exp(x, mpz_class(t.substr(0, p), 16).get_mpz_t(), std::stol(t.substr(p + 1)),
                    MPFR_RNDN);
  else if (t == "nan")
    mpfr_set_nan(x);
  else
    t.back() == 'f' ? mpfr_set_inf(x, t[0] == '-' ? -1 : 1)
                    : mpfr_set_zero(x, t[0] == '-' ? -1 : 1);
}

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

// Every case three times: into a destination with room, into a fresh integer (GMP's own path)
// and into the first operand itself. All three must agree and be normalised (no zero top limb).
TEST(FixedOracle, EveryOperationMatchesPythonIntegers) {
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports(1);
  FixedRef d(&WideFixedType::legacy, alloc), a(&WideFixedType::legacy, alloc),
      b(&WideFixedType::legacy, alloc);
  std::string status; // saturate's result, before the clamped port's value
  // t from a and the second operand: b when it is an integer, else the text.
  auto from = [&](auto op) {
    return [&, op](const Operands& x) {
      const std::string y = x.size() > 1 ? x[1] : "";
      std::string results[3];
      for (int where = 0; where < 3; ++where) {
        MPZ fresh;
        mpz_init(fresh.mValue);
        mpz_set_str(a.getRef(), x[0].c_str(), 10);
        mpz_set_str(b.getRef(), y.c_str(), 10);
        FixedRef& t = where == 2 ? a : d;
        where == 1 ? t.bind(fresh) : t.bindReset();
        status.clear();
        op(t, y);
        const int size = std::abs(t.getRef()->_mp_size);
        const mp_limb_t top = size == 0 ? 1 : t.getRef()->_mp_d[size - 1]; // zero: no top limb
        EXPECT_NE(top, 0u) << x[0] << " " << y << " into destination " << where
                           << ": not normalised";
        results[where] = status + t.toString(10);
        d.bindReset();
        a.bindReset();
        mpz_clear(fresh.mValue);
      }
      EXPECT_EQ(results[1], results[0]) << x[0] << " " << y << " into a fresh integer";
      EXPECT_EQ(results[2], results[0]) << x[0] << " " << y << " in place";
      return results[0];
    };
  };
  checkOracleCases(
      FIXED_ORACLE_CASES, 4000,
      {{"add", from([&](FixedRef& t, auto&) { t.setAdd(a, b); })},
       {"sub", from([&](FixedRef& t, auto&) { t.setSub(a, b); })},
       {"mult", from([&](FixedRef& t, auto&) { t.setMult(a, b); })},
       {"and", from([&](FixedRef& t, auto&) { t.setAnd(a, b); })},
       {"or", from([&](FixedRef& t, auto&) { t.setOr(a, b); })},
       {"xor", from([&](FixedRef& t, auto&) { t.setXor(a, b); })},
       {"dim", from([&](FixedRef& t, auto&) { t.setDim(a, b); })},
       {"divt", from([&](FixedRef& t, auto&) { t.setDiv(a, b, true); })},
       {"divf", from([&](FixedRef& t, auto&) { t.setDiv(a, b, false); })},
       {"mod", from([&](FixedRef& t, auto&) { t.setMod(a, b); })},
       {"abs", from([&](FixedRef& t, auto&) { t.setAbs(a); })},
       {"neg", from([&](FixedRef& t, auto&) { t.setNeg(a); })},
       {"sqrt", from([&](FixedRef& t, auto&) { t.setSqrt(a); })},
       {"lt", from([&](FixedRef& t, auto&) { t.setValue(a.lessThan(b)); })},
       {"le", from([&](FixedRef& t, auto&) { t.setValue(a.lessEqual(b)); })},
       {"gt", from([&](FixedRef& t, auto&) { t.setValue(a.greaterThan(b)); })},
       {"ge", from([&](FixedRef& t, auto&) { t.setValue(a.greaterEqual(b)); })},
       {"eq", from([&](FixedRef& t, auto&) { t.setValue(a.isEqual(b)); })},
       {"not", from([&](FixedRef& t, auto& y) { t.setNot(a, std::stoi(y)); })},
       {"masklower", from([&](FixedRef& t, auto& y) { t.maskLower(a, unsigned(std::stoul(y))); })},
       {"setupper", from([&](FixedRef& t, auto& y) { t.setUpper(a, unsigned(std::stoul(y))); })},
       {"ldexp", from([&](FixedRef& t, auto& y) { t.setLdExp(a, std::stoi(y)); })},
       {"addi", from([&](FixedRef& t, auto& y) { t.setAdd(a, std::stoi(y)); })},
       {"subi", from([&](FixedRef& t, auto& y) { t.setSub(a, std::stoi(y)); })},
       {"addul", from([&](FixedRef& t, auto& y) { t.setAdd(a, std::stoul(y)); })},
       {"subul", from([&](FixedRef& t, auto& y) { t.setSub(a, std::stoul(y)); })},
       {"scale",
        from([&](FixedRef& t, auto& y) { t.setScaleDouble(a, std::strtod(y.c_str(), nullptr)); })},
       {"saturate", from([&](FixedRef& t, auto& y) {
          mpz_set(ports[0].mData, a.getRef());
          t.bindIO(ports[0]);
          status = std::to_string(t.saturate(std::stoi(y))) + " ";
        })}});
}

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

// A format's descriptor and three references of it: operands a and b, result d.
struct Format {
  Format(int wE, int wF, bool gradual, util::TempVarAllocator& alloc)
      : type(described(wE, wF, gradual)), a(&type, alloc), b(&type, alloc), d(&type, alloc) {}
  static VarFloatType described(int wE, int wF, bool gradual) {
    VarFloatType type("f", wE, wF, true);
    type.setGradualUnderflow(gradual);
    return type;
  }
  VarFloatType type;
  VarFloatRef a, b, d;
};

TEST(FloatPackingOracle, EveryPatternValueAndProducerMatchesTheReferences) {
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports(1);
  WideTypedFormat& port = ports[0];
  std::map<std::tuple<int, int, bool>, std::unique_ptr<Format>> formats;
  auto format = [&](const Operands& x, bool gradual = false) -> Format& {
    auto& f = formats[{std::stoi(x[0]), std::stoi(x[1]), gradual}];
    if (!f)
      f = std::make_unique<Format>(std::stoi(x[0]), std::stoi(x[1]), gradual, alloc);
    f->d.bindReset();
    return *f;
  };
  // Reads `in` into d (or, when null, writes d) along the path and returns the pattern
  // written: direct (a bare integer), port (a port of the format), ref (d bound to such a
  // port), native (the single or double packer on a built-in port).
  std::function<std::string(Format&, const std::string&, const mpz_class*)> transfer =
      [&](Format& f, const std::string& path, const mpz_class* in) {
        const int wE = f.type.getWE(), wF = f.type.getWF();
        mpfr_ptr x = f.d.getRef().mValue;
        const bool native = path == "native";
        native ? port.setSimPortType(wE == 8 ? SPT_SINGLE : SPT_DOUBLE) : port.setVarType(&f.type);
        VarFloatPacker* const packers[] = {&VarFloatPackerDefault::instance,
                                           &VFPackerSingle::instance, &VFPackerDouble::instance};
        VarFloatPacker& packer = *packers[native ? 1 + (wE == 11) : 0];
        mpz_set(port.mData, in ? in->get_mpz_t() : mpz_class(-12345).get_mpz_t()); // must go
        f.d.bindIO(port);
        if (path == "direct")
          in ? VarFloatPackerDefault::instance.unpackBits(x, wE, wF, port.mData)
             : VarFloatPackerDefault::instance.packBits(x, wE, wF, port.mData);
        else if (path == "ref")
          in ? f.d.read() : f.d.write();
        else
          in ? packer.unpackBits(x, &port) : packer.packBits(x, &port);
        if (in)
          return token(x) + " " + transfer(f, path, nullptr);
        // The double packer writes whichever NaN the platform's conversion gives.
        const bool nativeDouble = wE == 11 && wF == 52 && (native || path == "ref");
        return nativeDouble && std::isnan(IEEE_Double(port).mValue)
                   ? "nan*"
                   : mpz_class(port.mData).get_str(16);
      };
  Operations operations;
  for (const std::string path : {"direct", "port", "ref", "native"})
    for (const bool unpack : {true, false})
      operations[(unpack ? "unpack-" : "pack-") + path] = [&, path, unpack](const Operands& x) {
        VarFloatPacker::flushSubnormalsToZero(x[2] == "1");
        Format& f = format(x);
        const mpz_class in(unpack ? x[3] : "0", 16);
        if (!unpack)
          setToken(f.d.getRef().mValue, x[3]);
        return transfer(f, path, unpack ? &in : nullptr);
      };
  // Producers: d from a, and from b or a number when the operation has a second operand.
  auto produce = [&](auto apply, bool binary, bool gradual = false) {
    return [&, apply, binary, gradual](const Operands& x) {
      Format& f = format(x, gradual);
      setToken(f.a.getRef().mValue, x[2]);
      if (binary)
        setToken(f.b.getRef().mValue, x[3]);
      apply(f, x.size() > 3 ? x[3] : "");
      return token(f.d.getRef().mValue);
    };
  };
  const std::map<std::string, void (VarFloatRef::*)(const VarFloatRef&)> unary = {
      {"sqrt", &VarFloatRef::setSqrt},   {"exp", &VarFloatRef::setExp},
      {"log", &VarFloatRef::setLog},     {"sin", &VarFloatRef::setSin},
      {"cbrt", &VarFloatRef::setCbrt},   {"recip", &VarFloatRef::setRecip},
      {"round", &VarFloatRef::setRound}, {"rint", &VarFloatRef::setRint},
      {"floor", &VarFloatRef::setFloor}, {"ceil", &VarFloatRef::setCeil},
      {"trunc", &VarFloatRef::setTrunc}, {"abs", &VarFloatRef::setAbs},
      {"neg", &VarFloatRef::setNeg}};
  const std::map<std::string, void (VarFloatRef::*)(const VarFloatRef&, const VarFloatRef&)>
      binary = {{"add", &VarFloatRef::setAdd},     {"sub", &VarFloatRef::setSub},
                {"mult", &VarFloatRef::setMult},   {"div", &VarFloatRef::setDiv},
                {"hypot", &VarFloatRef::setHypot}, {"pow", &VarFloatRef::setPow},
                {"atan2", &VarFloatRef::setATan2}, {"dim", &VarFloatRef::setDim},
                {"mod", &VarFloatRef::setMod}};
  for (const auto& [name, set] : unary)
    operations[name] = produce([set = set](Format& f, auto&) { (f.d.*set)(f.a); }, false);
  for (const auto& [name, set] : binary)
    operations[name] = produce([set = set](Format& f, auto&) { (f.d.*set)(f.a, f.b); }, true);
  operations["ldexp"] = produce([](Format& f, auto& n) { f.d.setLdExp(f.a, std::stoi(n)); }, 0);
  operations["pown"] = produce([](Format& f, auto& n) { f.d.setPown(f.a, std::stoi(n)); }, 0);
  operations["scale"] = produce(
      [](Format& f, const std::string& s) {
        f.d.setScaleDouble(f.a, std::strtod(s.c_str(), nullptr));
      },
      false);
  // With gradual underflow: the inline and the MPFR paths, and conversions from double.
  for (const char* name : {"add", "sub", "mult", "div"})
    operations[std::string("gradual-") + name] =
        produce([set = binary.at(name)](Format& f, auto&) { (f.d.*set)(f.a, f.b); }, true, true);
  operations["gradual-sqrt"] = produce([](Format& f, auto&) { f.d.setSqrt(f.a); }, false, true);
  operations["gradual-d2v"] = [&](const Operands& x) {
    format(x, true).d.setDouble(std::strtod(x[2].c_str(), nullptr));
    return token(format(x, true).d.getRef().mValue);
  };
  checkOracleCases(FLOAT_PACKING_ORACLE_CASES, 500, operations);
  VarFloatPacker::flushSubnormalsToZero(true);
}

} // namespace

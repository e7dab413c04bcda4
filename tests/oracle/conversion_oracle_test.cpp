// Differential test of the conversions between reference kinds against cases computed by
// tests/oracle/conversion_cases.py (gmpy2, exact integers and fractions, struct).
#include "util/amath_dataimpl.h"

#include "case_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace simulation;

std::string str(const mpz_t& z) {
  std::string text(mpz_sizeinbase(z, 10) + 2, '\0');
  mpz_get_str(&text[0], 10, z);
  text.resize(std::strlen(text.c_str()));
  return text;
}

// Sets x exactly from a token of the script (nan, inf, -inf, 0, -0, <significand>p<exp>).
void setToken(mpfr_ptr x, const std::string& t) {
  if (t == "nan")
    mpfr_set_nan(x);
  else if (t == "inf" || t == "-inf")
    mpfr_set_inf(x, t[0] == '-' ? -1 : 1);
  else if (t == "0" || t == "-0")
    mpfr_set_zero(x, t[0] == '-' ? -1 : 1);
  else {
    const auto p = t.find('p');
    mpz_t m;
    mpz_init_set_str(m, t.substr(0, p).c_str(), 10);
    ASSERT_EQ(mpfr_set_z_2exp(x, m, std::stol(t.substr(p + 1)), MPFR_RNDN), 0) << t;
    mpz_clear(m);
  }
}

// The token of x, exact and with its sign of zero.
std::string token(mpfr_srcptr x) {
  if (mpfr_nan_p(x))
    return "nan";
  if (mpfr_inf_p(x))
    return mpfr_signbit(x) ? "-inf" : "inf";
  if (mpfr_zero_p(x))
    return mpfr_signbit(x) ? "-0" : "0";
  mpz_t m;
  mpz_init(m);
  long e = mpfr_get_z_2exp(m, x);
  while (mpz_even_p(m)) {
    mpz_fdiv_q_2exp(m, m, 1);
    ++e;
  }
  const std::string t = str(m) + "p" + std::to_string(e);
  mpz_clear(m);
  return t;
}

double doubleOf(const std::string& hex) {
  const std::uint64_t bits = std::stoull(hex, nullptr, 16);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

float floatOf(const std::string& hex) {
  const std::uint32_t bits = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

template <typename T> std::string hexBits(T v) {
  std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t> bits;
  std::memcpy(&bits, &v, sizeof bits);
  std::ostringstream out;
  out << std::hex << bits;
  return out.str();
}

class Conversions : public ::testing::Test {
protected:
  VarFloatRef& varFloat(int precision) {
    auto& slot = mVarFloats[precision];
    if (!slot) {
      mTypes[precision] = std::make_unique<VarFloatType>("v", 15, precision - 1, true);
      slot = std::make_unique<VarFloatRef>(mTypes[precision].get(), alloc);
    }
    return *slot;
  }

  std::string run(const std::string& op, std::istringstream& in) {
    std::string a, b;
    in >> a;
    if (op == "d2v") {
      in >> b;
      d.getRef() = doubleOf(a);
      VarFloatRef& v = varFloat(std::stoi(b));
      EXPECT_EQ(v.setValue(d), 0);
      return token(v.getRef().mValue);
    }
    if (op == "d2f" || op == "s2f") {
      mpz_set_si(fixed.getRef(), 424242); // must survive infinities and NaN
      int status;
      if (op == "d2f") {
        d.getRef() = doubleOf(a);
        status = fixed.setValue(d);
      } else {
        s.getRef() = floatOf(a);
        status = fixed.setValue(s);
      }
      return std::to_string(status) + " " + (status == 0 ? str(fixed.getRef()) : "-") +
             (status != 0 && mpz_cmp_si(fixed.getRef(), 424242) != 0 ? " (changed)" : "");
    }
    if (op == "v2f") {
      in >> b;
      VarFloatRef& v = varFloat(std::stoi(a));
      setToken(v.getRef().mValue, b);
      const int status = fixed.setValue(v);
      return std::to_string(status) + " " + str(fixed.getRef());
    }
    mpz_set_str(fixed.getRef(), a.c_str(), 10);
    if (op == "f2d") {
      d.setValue(fixed);
      return hexBits(d.getRef());
    }
    if (op == "f2s") {
      s.setValue(fixed);
      return hexBits(s.getRef());
    }
    if (op == "f2v") {
      in >> b;
      VarFloatRef& v = varFloat(std::stoi(b));
      EXPECT_EQ(v.setValue(fixed), 0);
      return token(v.getRef().mValue);
    }
    return "unknown operation";
  }

  util::TempVarAllocator alloc;
  FixedRef fixed{&WideFixedType::legacy, alloc};
  DoubleRef d{&SysDoubleType::builtIn, alloc};
  SingleRef s{&SysSingleType::builtIn, alloc};
  std::map<int, std::unique_ptr<VarFloatType>> mTypes;
  std::map<int, std::unique_ptr<VarFloatRef>> mVarFloats;
};

TEST_F(Conversions, EveryPairMatchesTheIndependentReference) {
  const auto checked =
      checkOracleCases(CONVERSION_ORACLE_CASES,
                       [&](const std::string& op, std::istringstream& in) { return run(op, in); });
  EXPECT_EQ(checked.size(), 7u);
  for (const auto& entry : checked)
    EXPECT_GE(entry.second, 500) << entry.first;
}

} // namespace

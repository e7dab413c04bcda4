// Differential test of the float bit packers and of the variable-precision float references
// against cases computed independently by tests/oracle/float_packing_cases.py (numpy, struct,
// exact integer and fraction arithmetic, gmpy2). The script's header describes the lines.
#include "util/amath_dataimpl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace simulation;

class Mpz {
public:
  Mpz() { mpz_init(value); }
  ~Mpz() { mpz_clear(value); }
  Mpz(const Mpz&) = delete;
  Mpz& operator=(const Mpz&) = delete;
  // Hexadecimal digits, "-" first when negative.
  std::string hex() const {
    std::string text(mpz_sizeinbase(value, 16) + 2, '\0');
    mpz_get_str(&text[0], 16, value);
    text.resize(std::strlen(text.c_str()));
    return text;
  }
  mpz_t value;
};

// The script's notation of a value: nan, [-]inf, [-]0, or [-]<odd hex>p<exponent>.
std::string valueToken(mpfr_srcptr x) {
  if (mpfr_nan_p(x))
    return "nan";
  const bool negative = mpfr_signbit(x) != 0;
  if (mpfr_inf_p(x))
    return negative ? "-inf" : "inf";
  if (mpfr_zero_p(x))
    return negative ? "-0" : "0";
  Mpz m;
  mpfr_exp_t e = mpfr_get_z_2exp(m.value, x);
  mpz_abs(m.value, m.value);
  const mp_bitcnt_t zeros = mpz_scan1(m.value, 0);
  mpz_fdiv_q_2exp(m.value, m.value, zeros);
  e += static_cast<mpfr_exp_t>(zeros);
  return (negative ? "-" : "") + m.hex() + "p" + std::to_string(e);
}

// x = the value of the token, taken exactly and then rounded once to nearest at x's precision.
bool setValue(mpfr_ptr x, const std::string& text) {
  if (text == "nan") {
    mpfr_set_nan(x);
  } else if (text == "inf" || text == "-inf") {
    mpfr_set_inf(x, text[0] == '-' ? -1 : 1);
  } else if (text == "0" || text == "-0") {
    mpfr_set_zero(x, text[0] == '-' ? -1 : 1);
  } else {
    const std::size_t p = text.find('p');
    Mpz m;
    if (p == std::string::npos || mpz_set_str(m.value, text.substr(0, p).c_str(), 16) != 0)
      return false;
    const long e = std::strtol(text.c_str() + p + 1, nullptr, 10);
    mpfr_t exact;
    mpfr_init2(exact, std::max<mpfr_prec_t>(static_cast<mpfr_prec_t>(mpz_sizeinbase(m.value, 2)),
                                            MPFR_PREC_MIN));
    const int inexact = mpfr_set_z_2exp(exact, m.value, e, MPFR_RNDN);
    mpfr_set(x, exact, MPFR_RNDN);
    mpfr_clear(exact);
    return inexact == 0;
  }
  return true;
}

// Whether `got` is the pattern the script expects: hexadecimal digits, or "nan+" (a NaN pattern
// of the format with the sign clear) or "nan*" (any NaN pattern of the format).
bool patternMatches(const mpz_t got, const std::string& expected, int wE, int wF) {
  if (expected == "nan+" || expected == "nan*") {
    const auto fractionBits = static_cast<mp_bitcnt_t>(wF);
    const mp_bitcnt_t signBit = fractionBits + static_cast<mp_bitcnt_t>(wE);
    if (mpz_sgn(got) < 0 || mpz_sizeinbase(got, 2) > signBit + 1)
      return false;
    for (mp_bitcnt_t bit = fractionBits; bit < signBit; ++bit)
      if (mpz_tstbit(got, bit) == 0)
        return false;
    const bool fractionSet = mpz_scan1(got, 0) < fractionBits;
    return fractionSet && (expected == "nan*" || mpz_tstbit(got, signBit) == 0);
  }
  Mpz want;
  return mpz_set_str(want.value, expected.c_str(), 16) == 0 && mpz_cmp(got, want.value) == 0;
}

// Every case line of one family.
std::vector<std::string> familyLines(const std::string& family) {
  std::ifstream cases(FLOAT_PACKING_ORACLE_CASES);
  EXPECT_TRUE(cases.good()) << "missing " << FLOAT_PACKING_ORACLE_CASES;
  std::vector<std::string> lines;
  const std::string prefix = family + " ";
  for (std::string line; std::getline(cases, line);)
    if (line.compare(0, prefix.size(), prefix) == 0)
      lines.push_back(line);
  return lines;
}

class FloatPackingOracle : public ::testing::Test {
protected:
  // A format's descriptor and three references of it (operands a and b, result d).
  struct Format {
    Format(int wE, int wF, util::TempVarAllocator& alloc)
        : type("f" + std::to_string(wE) + "_" + std::to_string(wF), wE, wF, true), a(&type, alloc),
          b(&type, alloc), d(&type, alloc) {}
    VarFloatType type;
    VarFloatRef a, b, d;
  };

  FloatPackingOracle() : ports(1) {}
  ~FloatPackingOracle() override { VarFloatPacker::flushSubnormalsToZero(true); }

  Format& format(int wE, int wF) {
    std::unique_ptr<Format>& slot = formats[{wE, wF}];
    if (!slot)
      slot = std::make_unique<Format>(wE, wF, alloc);
    return *slot;
  }

  WideTypedFormat& port() { return ports[0]; }

  // Points the port at the format the path uses: the format's own descriptor, or the built-in
  // single or double for the native packers.
  void preparePort(Format& f, const std::string& path) {
    if (path == "native")
      port().setSimPortType(f.type.getWE() == 8 ? SPT_SINGLE : SPT_DOUBLE);
    else
      port().setVarType(&f.type);
  }

  VarFloatPacker& nativePacker(const Format& f) {
    if (f.type.getWE() == 8)
      return VFPackerSingle::instance;
    return VFPackerDouble::instance;
  }

  // The format's value d becomes the reading of `pattern` along `path`.
  void unpack(Format& f, const std::string& path, const mpz_t& pattern) {
    mpfr_ptr x = f.d.getRef().mValue;
    if (path == "direct") {
      VarFloatPackerDefault::instance.unpackBits(x, f.type.getWE(), f.type.getWF(), pattern);
      return;
    }
    preparePort(f, path);
    mpz_set(port().mData, pattern);
    if (path == "port") {
      VarFloatPackerDefault::instance.unpackBits(x, &port());
    } else if (path == "native") {
      nativePacker(f).unpackBits(x, &port());
    } else {
      f.d.bindIO(port());
      f.d.read();
    }
  }

  // `out` becomes the pattern of the format's value d written along `path`.
  void pack(Format& f, const std::string& path, mpz_t& out) {
    mpfr_ptr x = f.d.getRef().mValue;
    if (path == "direct") {
      mpz_set_si(out, -12345); // whatever was there must not survive
      VarFloatPackerDefault::instance.packBits(x, f.type.getWE(), f.type.getWF(), out);
      return;
    }
    preparePort(f, path);
    mpz_set_si(port().mData, -12345);
    if (path == "port") {
      VarFloatPackerDefault::instance.packBits(x, &port());
    } else if (path == "native") {
      nativePacker(f).packBits(x, &port());
    } else {
      f.d.bindIO(port());
      f.d.write();
    }
    mpz_set(out, port().mData);
  }

  // Runs one packing line; returns an empty string when it matches, else what the library did.
  std::string runPacking(std::istringstream& in, std::string& key) {
    std::string check, path, first, value, pattern;
    int wE = 0, wF = 0, flush = 0;
    in >> check >> path >> wE >> wF >> flush >> first;
    key = check + " " + path + " " + std::to_string(wE) + "," + std::to_string(wF) + " flush " +
          std::to_string(flush);
    Format& f = format(wE, wF);
    VarFloatPacker::flushSubnormalsToZero(flush != 0);
    Mpz got;
    if (check == "roundtrip") {
      in >> value >> pattern;
      Mpz bits;
      if (in.fail() || mpz_set_str(bits.value, first.c_str(), 16) != 0)
        return "unreadable case";
      unpack(f, path, bits.value);
      const std::string read = valueToken(f.d.getRef().mValue);
      pack(f, path, got.value);
      if (read != value || !patternMatches(got.value, pattern, wE, wF))
        return "read " + read + ", wrote " + got.hex();
      return "";
    }
    if (check == "pack") {
      in >> pattern;
      if (in.fail() || !setValue(f.d.getRef().mValue, first))
        return "unreadable case";
      pack(f, path, got.value);
      if (!patternMatches(got.value, pattern, wE, wF))
        return "wrote " + got.hex();
      return "";
    }
    return "unknown check";
  }

  // Runs one producer line of the references.
  std::string runProducer(std::istringstream& in, std::string& key) {
    std::string op, x, y;
    int wE = 0, wF = 0;
    in >> op >> wE >> wF >> x;
    key = op + " " + std::to_string(wE) + "," + std::to_string(wF);
    Format& f = format(wE, wF);
    if (!setValue(f.a.getRef().mValue, x))
      return "unreadable operand";
    static const std::map<std::string, void (VarFloatRef::*)(const VarFloatRef&)> unary = {
        {"sqrt", &VarFloatRef::setSqrt},   {"exp", &VarFloatRef::setExp},
        {"log", &VarFloatRef::setLog},     {"sin", &VarFloatRef::setSin},
        {"cbrt", &VarFloatRef::setCbrt},   {"recip", &VarFloatRef::setRecip},
        {"round", &VarFloatRef::setRound}, {"rint", &VarFloatRef::setRint},
        {"floor", &VarFloatRef::setFloor}, {"ceil", &VarFloatRef::setCeil},
        {"trunc", &VarFloatRef::setTrunc}, {"abs", &VarFloatRef::setAbs},
        {"neg", &VarFloatRef::setNeg}};
    static const std::map<std::string,
                          void (VarFloatRef::*)(const VarFloatRef&, const VarFloatRef&)>
        binary = {{"add", &VarFloatRef::setAdd},     {"sub", &VarFloatRef::setSub},
                  {"mult", &VarFloatRef::setMult},   {"div", &VarFloatRef::setDiv},
                  {"hypot", &VarFloatRef::setHypot}, {"pow", &VarFloatRef::setPow},
                  {"atan2", &VarFloatRef::setATan2}, {"dim", &VarFloatRef::setDim},
                  {"mod", &VarFloatRef::setMod}};
    if (const auto u = unary.find(op); u != unary.end()) {
      (f.d.*(u->second))(f.a);
    } else if (const auto bin = binary.find(op); bin != binary.end()) {
      in >> y;
      if (!setValue(f.b.getRef().mValue, y))
        return "unreadable operand";
      (f.d.*(bin->second))(f.a, f.b);
    } else if (op == "ldexp" || op == "pown") {
      long n = 0;
      in >> n;
      if (op == "ldexp")
        f.d.setLdExp(f.a, static_cast<int>(n));
      else
        f.d.setPown(f.a, static_cast<int>(n));
    } else if (op == "scale") {
      in >> y;
      f.d.setScaleDouble(f.a, std::strtod(y.c_str(), nullptr));
    } else {
      return "unknown operation";
    }
    std::string expected;
    in >> expected;
    if (in.fail())
      return "unreadable case";
    const std::string actual = valueToken(f.d.getRef().mValue);
    return actual == expected ? "" : "gave " + actual;
  }

  // Runs every line of a family; returns the number of cases per key.
  std::map<std::string, long> runFamily(const std::string& family) {
    std::map<std::string, long> checked;
    long failures = 0;
    for (const std::string& line : familyLines(family)) {
      std::istringstream in(line);
      std::string tag, key;
      in >> tag;
      const std::string problem = family == "ref" ? runProducer(in, key) : runPacking(in, key);
      ++checked[key];
      if (!problem.empty() && ++failures <= 25)
        ADD_FAILURE() << line << "\n  library: " << problem;
    }
    VarFloatPacker::flushSubnormalsToZero(true);
    EXPECT_EQ(failures, 0);
    return checked;
  }

  util::TempVarAllocator alloc;
  WideTypedFormatVector ports;
  std::map<std::pair<int, int>, std::unique_ptr<Format>> formats;
};

// Every pattern of the 5/10 format against numpy's half precision: flushing off, each reads as
// numpy's value and writes back unchanged (NaNs as the written NaN); flushing on, subnormals
// read and write as signed zeros.
TEST_F(FloatPackingOracle, HalfFormatEveryPatternMatchesNumpy) {
  const auto checked = runFamily("half");
  EXPECT_EQ(checked.size(), 4u);
  for (const char* key : {"roundtrip direct 5,10 flush 0", "roundtrip ref 5,10 flush 1",
                          "pack port 5,10 flush 0", "pack direct 5,10 flush 1"})
    EXPECT_EQ(checked.count(key) != 0 ? checked.at(key) : 0, 65536) << key;
}

// Single and double patterns (subnormals, infinities, NaNs with payloads, both signs) and
// values needing rounding, through the default packer and through the single and double
// packers, with flushing on and off.
TEST_F(FloatPackingOracle, SingleAndDoubleMatchNativeBits) {
  const auto checked = runFamily("ieee");
  EXPECT_EQ(checked.size(), 2u * 2u * 4u * 2u);
  for (const char* fmt : {"8,23", "11,52"})
    for (const char* path : {"direct", "port", "ref", "native"})
      for (const char* flush : {"0", "1"}) {
        const std::string tail = std::string(" ") + path + " " + fmt + " flush " + flush;
        EXPECT_GE(checked.count("roundtrip" + tail) ? checked.at("roundtrip" + tail) : 0, 2500)
            << tail;
        EXPECT_GE(checked.count("pack" + tail) ? checked.at("pack" + tail) : 0, 1500) << tail;
      }
}

// Formats without a native twin: decoding of patterns, and packing of exact values deep in
// the subnormal range, at ties, and rounding into the smallest normal and into infinity.
TEST_F(FloatPackingOracle, OtherFormatsMatchExactArithmetic) {
  const auto checked = runFamily("wide");
  const std::map<std::string, long> patterns = {{"1,3", 32},     {"2,1", 16},    {"4,3", 256},
                                                {"6,9", 520},    {"8,7", 520},   {"10,40", 520},
                                                {"15,112", 520}, {"19,70", 520}, {"30,5", 520}};
  EXPECT_EQ(checked.size(), patterns.size() * 2u * 2u * 3u);
  for (const auto& [fmt, count] : patterns)
    for (const char* path : {"direct", "port", "ref"})
      for (const char* flush : {"0", "1"}) {
        const std::string tail = std::string(" ") + path + " " + fmt + " flush " + flush;
        EXPECT_EQ(checked.count("roundtrip" + tail) ? checked.at("roundtrip" + tail) : 0, count)
            << tail;
        EXPECT_GE(checked.count("pack" + tail) ? checked.at("pack" + tail) : 0, 400) << tail;
      }
}

// Every producer of the references, on random and special operands, against gmpy2 at the
// format's precision with rounding to nearest.
TEST_F(FloatPackingOracle, ReferenceProducersMatchGmpy2) {
  const auto checked = runFamily("ref");
  const char* ops[] = {"add",  "sub",   "mult", "div", "hypot", "pow",   "atan2", "dim",  "mod",
                       "sqrt", "exp",   "log",  "sin", "cbrt",  "recip", "round", "rint", "floor",
                       "ceil", "trunc", "abs",  "neg", "ldexp", "pown",  "scale"};
  const char* fmts[] = {"5,10", "8,23", "11,52", "15,112"};
  EXPECT_EQ(checked.size(), std::size(ops) * std::size(fmts));
  for (const char* op : ops)
    for (const char* fmt : fmts) {
      const std::string key = std::string(op) + " " + fmt;
      EXPECT_GE(checked.count(key) ? checked.at(key) : 0, 130) << key;
    }
}

} // namespace

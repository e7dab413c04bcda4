// Differential test of the word kernels, the word/integer conversions and the IEEE views
// against cases computed independently by tests/oracle/amath_cases.py.
#include "util/amath.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

using namespace simulation;

struct Counts {
  std::map<std::string, long> checked;
  long failures = 0;
};

class Mpz {
public:
  Mpz() { mpz_init(value); }
  explicit Mpz(const std::string& text) { mpz_init_set_str(value, text.c_str(), 10); }
  ~Mpz() { mpz_clear(value); }
  Mpz(const Mpz&) = delete;
  Mpz& operator=(const Mpz&) = delete;
  std::string str() const {
    char* text = mpz_get_str(nullptr, 10, value);
    std::string out(text);
    void (*release)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &release);
    release(text, std::strlen(text) + 1);
    return out;
  }
  mpz_t value;
};

float floatOf(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

void checkLine(const std::string& line, Counts& counts) {
  std::istringstream in(line);
  std::string op;
  in >> op;
  bool ok = true;
  if (op == "add3" || op == "sub3") {
    SINT a, b, expected;
    int w;
    in >> a >> b >> w >> expected;
    ok = (op == "add3" ? AMAdd(a, b, w) : AMSub(a, b, w)) == expected;
  } else if (op == "add5" || op == "sub5") {
    SINT a, b, c, expected, expectedCarry, carry = -1;
    int w;
    in >> a >> b >> c >> w >> expected >> expectedCarry;
    const SINT r = op == "add5" ? AMAdd(a, b, c, w, &carry) : AMSub(a, b, c, w, &carry);
    ok = r == expected && carry == expectedCarry;
  } else if (op == "mask") {
    SINT x, expected;
    int w;
    in >> x >> w >> expected;
    ok = AMMask(x, w) == expected;
  } else if (op == "shift") {
    SINT x, s, expected;
    int isSigned, w;
    in >> x >> s >> isSigned >> w >> expected;
    ok = AMShift(x, s, isSigned != 0, w) == expected;
  } else if (op == "mpz2sint") {
    std::string z;
    SINT expected;
    in >> z >> expected;
    ok = mpzToSINT(Mpz(z).value) == expected;
  } else if (op == "sint2mpz") {
    std::string text;
    in >> text;
    const SINT v = std::stoll(text);
    Mpz z;
    sintToMPZ(z.value, v);
    ok = z.str() == text && mpzToSINT(z.value) == v;
  } else if (op == "bfv_sint") {
    SINT v;
    unsigned expected;
    in >> v >> expected;
    ok = bitsForValue(v) == expected;
  } else if (op == "bfv_mpz") {
    std::string z;
    unsigned expected;
    in >> z >> expected;
    ok = bitsForValue(Mpz(z).value) == expected;
  } else if (op == "single") {
    std::uint32_t bits, expected;
    int flush;
    in >> bits >> flush >> expected;
    IEEE_Single::subnormalsToZero = flush != 0;
    WideTypedFormatVector port(1);
    port[0].setSimPortType(SPT_SINGLE);
    BIGNUM_SetULong(port[0], bits);
    IEEE_Single fromPort(port[0]);
    IEEE_Single fromMpz(port[0].mData);
    IEEE_Single fromFloat(floatOf(bits));
    Mpz back;
    fromPort.Set(back.value);
    ok = fromPort.bits() == expected && fromMpz.bits() == expected &&
         fromFloat.bits() == expected && mpz_get_ui(back.value) == expected;
  } else if (op == "double") {
    std::uint64_t bits, expected;
    int flush;
    in >> bits >> flush >> expected;
    IEEE_Double::subnormalsToZero = flush != 0;
    WideTypedFormatVector port(1);
    port[0].setSimPortType(SPT_DOUBLE);
    BIGNUM_SetULong(port[0], bits);
    IEEE_Double fromPort(port[0]);
    IEEE_Double::subnormalsToZero = true;
    IEEE_Double(0.0).Set(port[0]);
    IEEE_Double::subnormalsToZero = flush != 0;
    fromPort.Set(port[0]);
    ok = fromPort.bits() == expected && BIGNUM_GetULong(port[0]) == expected;
  } else {
    ADD_FAILURE() << "unknown case: " << line;
    return;
  }
  if (in.fail()) {
    ADD_FAILURE() << "unreadable case: " << line;
    return;
  }
  ++counts.checked[op];
  if (!ok && ++counts.failures <= 20)
    ADD_FAILURE() << "mismatch: " << line;
}

TEST(AmathOracle, EveryCaseMatchesTheIndependentReference) {
  std::ifstream cases(AMATH_ORACLE_CASES);
  ASSERT_TRUE(cases.good()) << "missing " << AMATH_ORACLE_CASES;
  Counts counts;
  for (std::string line; std::getline(cases, line);)
    if (!line.empty())
      checkLine(line, counts);
  IEEE_Single::subnormalsToZero = true;
  IEEE_Double::subnormalsToZero = true;

  EXPECT_EQ(counts.failures, 0);
  for (const char* op : {"add3", "sub3", "add5", "sub5", "mask", "shift", "mpz2sint", "sint2mpz",
                         "bfv_sint", "bfv_mpz", "single", "double"})
    EXPECT_GE(counts.checked[op], 1000) << op; // the script really produced each family
}

} // namespace

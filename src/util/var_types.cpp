// The built-in variable types of the simulation models.
#include "util/var_types.h"

#include "util/assert_handler.h"

#include <cmath>

namespace simulation {

VarType::~VarType() = default;

// Built before the ordinary static constructors, in this order, so that models and host
// code may use them from their own static initialisers.
LOOM_UTIL_EARLY_INIT WideFixedType WideFixedType::legacy("SPTfixed");
LOOM_UTIL_EARLY_INIT SysSingleType SysSingleType::builtIn("single");
LOOM_UTIL_EARLY_INIT SysDoubleType SysDoubleType::builtIn("double");

namespace {
// 2^e as the nearest double: 0 below 2^-1075, infinity from 2^1024.
double powerOfTwo(long e) {
  return std::ldexp(1.0, static_cast<int>(e < -1100 ? -1100 : (e > 1100 ? 1100 : e)));
}
} // namespace

FloatFormatInfo VarFloatType::describe() const {
  LOOM_ASSERT_MSG(mWE >= 2 && mWE <= 62 && mWF >= 0, "Float format outside the described range.");
  FloatFormatInfo info{};
  info.totalBits = 1l + mWE + mWF;
  info.precision = 1l + mWF;
  info.bias = (1l << (mWE - 1)) - 1;
  info.minSubnormalExponent = 1 - info.bias - mWF;
  info.minNormalExponent = 1 - info.bias;
  info.minSubnormal = powerOfTwo(info.minSubnormalExponent);
  info.minNormal = powerOfTwo(info.minNormalExponent);
  // 2 - 2^-wF rounds once (to 2 beyond 53 bits), the scaling is exact or overflows.
  info.maxFinite = (2.0 - powerOfTwo(-mWF)) * powerOfTwo(info.bias);
  return info;
}

} // namespace simulation

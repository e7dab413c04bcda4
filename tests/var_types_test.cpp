#include "util/var_types.h"
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <sstream>

using namespace simulation;

TEST(BuiltInDescriptors, HaveFixedNamesFormatsAndRepresentations) {
  VarFloatType source("src", 6, 9, false), moved(std::move(source)), target("t", 1, 1, true);
  target = moved; // copies, moves included, copy every field and leave the source intact
  target = static_cast<VarFloatType&>(target);
  WideFixedType fixed("fixed"), assigned("x");
  assigned = fixed;
  std::ostringstream out; // name, representation (models store its number), widths, synthesizable
  const VarFloatType* all[] = {&SysSingleType::builtIn, &SysDoubleType::builtIn, &source, &target};
  for (const VarFloatType* t : all)
    out << t->getName() << " " << t->getImpl() << " " << t->getW() << " " << t->getWE() << " "
        << t->getWF() << " " << t->isSynthesizable() << ", ";
  out << assigned.getName() << " " << WideFixedType::legacy.getImpl();
  EXPECT_EQ(out.str(), "single 1 32 8 23 1, double 2 64 11 52 1, src 3 16 6 9 0, src 3 16 6 9 0, "
                       "fixed 0");
}

// "d" differs from "a" only in name and synthesizability, which take no part.
TEST(VarFloatTypeOrder, FractionWidthDecidesFirstThenExponent) {
  const VarFloatType types[] = {
      {"c", 5, 23, false}, {"a", 11, 23, true}, {"d", 11, 23, false}, {"b", 8, 52, true}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      EXPECT_EQ(types[i] < types[j], (i + 1) / 2 < (j + 1) / 2) << i << " < " << j;
}

// Exponents for every width; doubles where they reach (0 below, infinity above the double range).
TEST(VarFloatTypeDescribe, GivesTheLimitsOfEveryWidth) {
  using F = FloatFormatInfo;
  const struct {
    int wE, wF;
    F info;
  } rows[] = {{5, 10, {16, 11, 15, -24, -14, 0x1p-24, 0x1p-14, 65504}},
              {11, 52, {64, 53, 1023, -1074, -1022, 0x1p-1074, DBL_MIN, DBL_MAX}},
              {62, 0, {63, 1, (1l << 61) - 1, 2 - (1l << 61), 2 - (1l << 61), 0, 0, INFINITY}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.wE) + "," + std::to_string(row.wF));
    const F info = VarFloatType("f", row.wE, row.wF, false).describe();
    for (long F::*field :
         {&F::totalBits, &F::precision, &F::bias, &F::minSubnormalExponent, &F::minNormalExponent})
      EXPECT_EQ(info.*field, row.info.*field);
    for (double F::*field : {&F::minSubnormal, &F::minNormal, &F::maxFinite})
      EXPECT_EQ(info.*field, row.info.*field);
  }
  EXPECT_EXIT(VarFloatType("f", 1, 3, false).describe(), testing::ExitedWithCode(100),
              "Float format outside the described range\\.");
}

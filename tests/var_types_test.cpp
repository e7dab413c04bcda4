#include "util/var_types.h"
#include <gtest/gtest.h>
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

#include "util/var_types.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

namespace {

using namespace simulation;

// Name, representation (models store its number), widths and synthesizability; copies, moves
// included, copy every field and leave the source intact.
TEST(BuiltInDescriptors, HaveFixedNamesFormatsAndRepresentations) {
  VarFloatType source("src", 6, 9, false), moved(std::move(source)), target("t", 1, 1, true);
  target = moved;
  target = static_cast<VarFloatType&>(target);
  std::ostringstream out;
  const VarFloatType* types[] = {&SysSingleType::builtIn, &SysDoubleType::builtIn, &source,
                                 &target};
  for (const VarFloatType* t : types) {
    const VarType& base = *t; // the representation is virtual
    out << base.getName() << " " << base.getImpl() << " " << t->getW() << " " << t->getWE() << " "
        << t->getWF() << " " << t->isSynthesizable() << ", ";
  }
  EXPECT_EQ(out.str(), "single 1 32 8 23 1, double 2 64 11 52 1, src 3 16 6 9 0, src 3 16 6 9 0, ");
  WideFixedType fixed("fixed"), assigned("x");
  assigned = fixed;
  EXPECT_EQ(assigned.getName() + " " + std::to_string(WideFixedType::legacy.getImpl()) + " " +
                WideFixedType::legacy.getName(),
            "fixed 0 SPTfixed");
}

TEST(VarFloatTypeOrder, FractionWidthDecidesFirstThenExponent) {
  const VarFloatType sorted[] = {{"c", 5, 23, false}, {"a", 11, 23, true}, {"b", 8, 52, true}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_EQ(sorted[i] < sorted[j], i < j) << i << " < " << j;
  const VarFloatType sameAsA("other name", 11, 23, false);
  EXPECT_FALSE(sorted[1] < sameAsA || sameAsA < sorted[1]);
}

} // namespace

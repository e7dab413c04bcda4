#include "util/var_types.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using namespace simulation;

TEST(BuiltInDescriptors, HaveFixedNamesFormatsAndRepresentations) {
  EXPECT_EQ(WideFixedType::legacy.getName(), "SPTfixed");
  EXPECT_EQ(SysSingleType::builtIn.getName(), "single");
  EXPECT_EQ(SysDoubleType::builtIn.getName(), "double");

  EXPECT_EQ(SysSingleType::builtIn.getW(), 32);
  EXPECT_EQ(SysSingleType::builtIn.getWE(), 8);
  EXPECT_EQ(SysSingleType::builtIn.getWF(), 23);
  EXPECT_EQ(SysDoubleType::builtIn.getW(), 64);
  EXPECT_EQ(SysDoubleType::builtIn.getWE(), 11);
  EXPECT_EQ(SysDoubleType::builtIn.getWF(), 52);
  EXPECT_TRUE(SysSingleType::builtIn.isSynthesizable());
  EXPECT_TRUE(SysDoubleType::builtIn.isSynthesizable());
}

TEST(BuiltInDescriptors, RepresentationIsChosenThroughTheBasePointer) {
  WideFixedType fixed("fx");
  VarFloatType half("half", 5, 10, false);
  SysSingleType single("s");
  SysDoubleType dbl("d");
  const VarType* all[] = {&fixed, &half, &single, &dbl};
  const int expected[] = {0, 3, 1, 2};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(static_cast<int>(all[i]->getImpl()), expected[i]) << all[i]->getName();
  // A user float of 8/23 is still an MPFR-backed type by its representation.
  EXPECT_EQ(VarFloatType("f", 8, 23, true).getImpl(), TR_MPFR);
  EXPECT_EQ(half.getW(), 16);
  EXPECT_FALSE(half.isSynthesizable());
}

TEST(VarFloatTypeOrder, FractionWidthDecidesFirstThenExponent) {
  VarFloatType a("a", 11, 23, true), b("b", 8, 52, true), c("c", 5, 23, false);
  VarFloatType sameAsA("other name", 11, 23, false);
  EXPECT_TRUE(a < b);
  EXPECT_FALSE(b < a);
  EXPECT_TRUE(c < a);
  EXPECT_FALSE(a < c);
  EXPECT_FALSE(a < sameAsA);
  EXPECT_FALSE(sameAsA < a);
}

TEST(DescriptorCopies, CopyEveryFieldAndMovesLeaveTheSourceIntact) {
  VarFloatType source("src", 6, 9, false);
  VarFloatType copy(source);
  EXPECT_EQ(copy.getName(), "src");
  EXPECT_EQ(copy.getWE(), 6);
  EXPECT_EQ(copy.getWF(), 9);
  EXPECT_FALSE(copy.isSynthesizable());

  VarFloatType moved(std::move(source));
  EXPECT_EQ(moved.getName(), "src");
  EXPECT_EQ(source.getName(), "src"); // moves copy the name

  VarFloatType target("t", 1, 1, true);
  target = moved;
  EXPECT_EQ(target.getName(), "src");
  EXPECT_EQ(target.getW(), 16);
  EXPECT_FALSE(target.isSynthesizable());
  VarFloatType& self = target;
  target = self;
  EXPECT_EQ(target.getName(), "src");
  EXPECT_EQ(target.getWF(), 9);

  WideFixedType fixed("fixed");
  WideFixedType fixedMoved(std::move(fixed));
  EXPECT_EQ(fixed.getName(), "fixed");
  WideFixedType assigned("x");
  assigned = fixedMoved;
  EXPECT_EQ(assigned.getName(), "fixed");

  SysDoubleType d(SysDoubleType::builtIn);
  EXPECT_EQ(d.getName(), "double");
  EXPECT_EQ(d.getImpl(), TR_DP);
}

} // namespace

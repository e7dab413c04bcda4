#include "util/temp_var_allocator.h"

#include <gmock/gmock.h>

// Var-float formats of one width share a pool and a stack of precision wF + 1. resetLocalStacks
// keeps the temporaries in use; resetAvailability hands them out again in order, with values.
TEST(TempVarAllocator, ResetHandsOutTheSameSlotsInOrderWithTheirValues) {
  util::TempVarAllocator alloc;
  std::vector<double*> doubles;
  for (int i = 0; i < 25; ++i)
    *doubles.emplace_back(alloc.getTempDouble()) = i;
  const mpfr_exp_t emax = mpfr_get_emax();
  mpfr_set_emax(99); // changed after the allocator was made: the first var-float reads it
  util::VarFloatStackHandler* stack = alloc.getVarFloatStackHandler(3); // before a temporary
  EXPECT_EQ(alloc.floatRange().emax, 99);
  mpfr_set_emax(emax);
  simulation::MPFR* floats[] = {alloc.getTempVarFloat(3), alloc.getTempVarFloat(3)};
  EXPECT_TRUE(mpfr_nan_p(floats[0]->mValue) && mpfr_get_prec(floats[0]->mValue) == 4);
  EXPECT_TRUE(alloc.getVarFloatStackHandler(3) == stack && floats[1] != floats[0]);
  auto* wide = alloc.getTempVarFloat(63);
  mpfr_set_d(wide->mValue, 1.1875, MPFR_RNDN); // 1.0011b: to 1.25 at 4 bits
  stack->push(*wide);
  auto* popped = stack->pop();
  EXPECT_EQ(mpfr_get_d(popped->mValue, MPFR_RNDN), 1.25); // readable until the next push
  stack->push(*wide);
  EXPECT_TRUE(stack->top(0) == popped && stack->top(1) == nullptr); // the slot is reused
  alloc.getStackFixed()->pushSlot();
  alloc.resetLocalStacks();
  EXPECT_TRUE(alloc.getStackFixed()->depth() == 0 && alloc.getTempDouble() != doubles[0]);
  alloc.getStackFixed()->pushSlot();
  alloc.resetAvailability();
  EXPECT_EQ(alloc.getStackFixed()->depth(), 0u);
  for (int i = 0; i < 25; ++i)
    EXPECT_TRUE(alloc.getTempDouble() == doubles[i] && *doubles[i] == i) << i;
  EXPECT_TRUE(alloc.getTempVarFloat(3) == floats[0] && alloc.getTempVarFloat(3) == floats[1]);
  EXPECT_EXIT(alloc.getTempVarFloat(-5), testing::ExitedWithCode(100),
              testing::HasSubstr("width outside MPFR's precision range."));
}

TEST(VarFloatPool, CopiesOwnTheirOwnValues) {
  auto original = std::make_unique<util::VarFloatPool>(10);
  mpfr_set_d(original->create()->mValue, 2.5, MPFR_RNDN);
  util::VarFloatPool copy(*original), assigned(3);
  assigned.create();
  assigned = *original;
  assigned = static_cast<util::VarFloatPool&>(assigned);
  original.reset(); // the copies' values must survive (ASan checks)
  for (util::VarFloatPool* pool : {&copy, &assigned})
    EXPECT_TRUE(pool->size() == 1u && mpfr_get_prec(pool->create()->mValue) == 11);
}

TEST(TempVarAllocator, StatsCountFirstTimeSlotsSoARepeatedStepGrowsNothing) {
  util::TempVarAllocator alloc;
  const std::size_t growth[] = {7, 0, 1}; // 2 doubles, a width, its temporary, 2 slots, a range
  for (int step = 0; step < 3; ++step) {
    for (int i = 0; i < 2 + step / 2; ++i)
      alloc.getTempDouble();
    alloc.getVarFloatStackHandler(10)->push(*alloc.getTempVarFloat(10));
    alloc.getStackFixed()->pushSlot();
    alloc.gradualRange(-13, -23);
    EXPECT_EQ(alloc.stats().tempsInUse, 3u + step / 2) << step;
    EXPECT_EQ(alloc.stats().growthSinceReset, growth[step]) << step;
    alloc.resetAvailability();
  }
  EXPECT_EQ(alloc.stats().growth, 8u);
}

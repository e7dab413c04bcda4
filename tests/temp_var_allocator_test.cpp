#include "util/temp_var_allocator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using simulation::MPFR;
using util::TempVarAllocator;

// Slots come N to a block, integers set to 0, and never move.
TEST(SimplePool, AllocatesWholeBlocksAndNeverMovesSlots) {
  util::SimplePool<simulation::MPZ, 5> pool;
  std::vector<simulation::MPZ*> slots{pool.get()};
  for (int i = 1; i < 11; ++i) {
    slots.push_back(pool.get());
    EXPECT_EQ(slots[i] == slots[i - 1] + 1, i % 5 != 0) << i;
    EXPECT_EQ(mpz_cmp_si(slots[i]->mValue, 0), 0);
  }
  EXPECT_EQ(pool.blockCount(), 3u);
}

// resetLocalStacks empties the stacks and keeps the temporaries in use; resetAvailability
// hands out the same temporaries again, in the same order and with their values.
TEST(TempVarAllocator, ResetHandsOutTheSameSlotsInOrderWithTheirValues) {
  TempVarAllocator alloc;
  std::vector<double*> doubles;
  for (int i = 0; i < 25; ++i)
    *doubles.emplace_back(alloc.getTempDouble()) = i;
  MPFR* floats[] = {alloc.getTempVarFloat(23), alloc.getTempVarFloat(23)};
  alloc.getStackFixed()->pushSlot();
  alloc.resetLocalStacks();
  EXPECT_EQ(alloc.getStackFixed()->depth(), 0u);
  EXPECT_NE(alloc.getTempDouble(), doubles[0]);
  alloc.getStackFixed()->pushSlot();
  alloc.resetAvailability();
  EXPECT_EQ(alloc.getStackFixed()->depth(), 0u);
  for (int i = 0; i < 25; ++i)
    EXPECT_TRUE(alloc.getTempDouble() == doubles[i] && *doubles[i] == i) << i;
  EXPECT_TRUE(alloc.getTempVarFloat(23) == floats[0] && alloc.getTempVarFloat(23) == floats[1]);
}

// Formats of one fraction width share a pool and a stack of precision wF + 1, whichever of
// temporary and stack is asked for first; pushes round to it.
TEST(TempVarAllocator, VarFloatTemporariesAndStacksHoldFractionWidthPlusOneBits) {
  TempVarAllocator alloc;
  util::VarFloatStackHandler* stack = alloc.getVarFloatStackHandler(3);
  MPFR* temp = alloc.getTempVarFloat(3);
  EXPECT_TRUE(mpfr_nan_p(temp->mValue) && mpfr_get_prec(temp->mValue) == 4);
  EXPECT_TRUE(alloc.getVarFloatStackHandler(3) == stack && alloc.getTempVarFloat(3) != temp);
  MPFR* wide = alloc.getTempVarFloat(63);
  mpfr_set_d(wide->mValue, 1.1875, MPFR_RNDN); // 1.0011b: to 1.25 at 4 bits
  stack->push(*wide);
  MPFR* popped = stack->pop();
  EXPECT_EQ(mpfr_get_d(popped->mValue, MPFR_RNDN), 1.25); // readable until the next push
  stack->push(*wide);
  EXPECT_TRUE(stack->top(0) == popped && stack->top(1) == nullptr); // the slot is reused
  EXPECT_EXIT(alloc.getTempVarFloat(-5), ::testing::ExitedWithCode(100),
              ::testing::HasSubstr("Float fraction width outside MPFR's precision range. "
                                   "[util::VarFloatPool::create at src/util/temp_var_allocator."));
}

TEST(VarFloatPool, CopiesOwnTheirOwnValues) {
  auto original = std::make_unique<util::VarFloatPool>(10);
  mpfr_set_d(original->create()->mValue, 2.5, MPFR_RNDN);
  util::VarFloatPool copy(*original), assigned(3);
  assigned.create();
  assigned = *original;
  assigned = assigned;
  original.reset(); // the copies' values must survive (ASan checks)
  for (const util::VarFloatPool* pool : {&copy, &assigned})
    EXPECT_TRUE(pool->getPrecision() == 11 && pool->size() == 1u);
  EXPECT_EQ(mpfr_get_prec(copy.create()->mValue), 11);
}

} // namespace

#include "util/temp_var_allocator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using simulation::MPFR;
using util::TempVarAllocator;

TEST(SimplePool, AllocatesWholeBlocksAndNeverMovesSlots) {
  util::SimplePool<float, 40> pool;
  EXPECT_EQ(pool.blockCount(), 0u);
  std::vector<float*> slots;
  for (int i = 0; i < 41; ++i)
    slots.push_back(pool.get());
  EXPECT_EQ(pool.blockCount(), 2u);
  for (int i = 1; i < 40; ++i)
    EXPECT_EQ(slots[i], slots[0] + i);
  EXPECT_NE(slots[40], slots[39] + 1); // the 41st is the start of a new block
  for (int i = 41; i < 80; ++i)
    EXPECT_EQ(pool.get(), slots[40] + (i - 40));
  EXPECT_EQ(pool.blockCount(), 2u);

  util::SimplePool<simulation::MPZ, 5> fixed;
  for (int i = 0; i < 6; ++i) {
    simulation::MPZ* slot = fixed.get(); // mpz_sgn is a macro: no calls inside it
    EXPECT_EQ(mpz_sgn(slot->mValue), 0);
  }
  EXPECT_EQ(fixed.blockCount(), 2u);
}

TEST(TempVarAllocator, FortyOneSinglesTakeTwoBlocks) {
  TempVarAllocator alloc;
  std::vector<float*> temps;
  for (int i = 0; i < 41; ++i)
    temps.push_back(alloc.getTempSingle());
  for (int i = 1; i < 40; ++i)
    EXPECT_EQ(temps[i], temps[0] + i);
  EXPECT_NE(temps[40], temps[39] + 1);
  // Doubles come 20 to a block.
  double* first = alloc.getTempDouble();
  for (int i = 1; i < 20; ++i)
    EXPECT_EQ(alloc.getTempDouble(), first + i);
}

TEST(TempVarAllocator, ResetHandsOutTheSameSlotsInOrderWithTheirValues) {
  TempVarAllocator alloc;
  std::vector<double*> before;
  for (int i = 0; i < 25; ++i) {
    before.push_back(alloc.getTempDouble());
    *before.back() = i * 1.5;
  }
  mpz_t* fixed = alloc.getTempFixed();
  mpz_set_si(*fixed, -7);
  alloc.getStackFixed()->pushSlot();
  alloc.resetAvailability();
  EXPECT_EQ(alloc.getStackFixed()->depth(), 0u);
  for (int i = 0; i < 25; ++i) {
    double* again = alloc.getTempDouble();
    EXPECT_EQ(again, before[i]);
    EXPECT_EQ(*again, i * 1.5);
  }
  EXPECT_EQ(alloc.getTempFixed(), fixed);
  EXPECT_EQ(mpz_get_si(*fixed), -7);
}

TEST(TempVarAllocator, ResetLocalStacksKeepsTemporariesInUse) {
  TempVarAllocator alloc;
  mpz_t* first = alloc.getTempFixed();
  alloc.getStackFixed()->pushSlot();
  alloc.getStackSingle()->pushSlot();
  alloc.getStackDouble()->pushSlot();
  alloc.getVarFloatStackHandler(10)->getStack()->pushSlot();
  alloc.resetLocalStacks();
  EXPECT_EQ(alloc.getStackFixed()->depth(), 0u);
  EXPECT_EQ(alloc.getStackSingle()->depth(), 0u);
  EXPECT_EQ(alloc.getStackDouble()->depth(), 0u);
  EXPECT_EQ(alloc.getVarFloatStackHandler(10)->getStack()->depth(), 0u);
  mpz_t* second = alloc.getTempFixed();
  EXPECT_NE(second, first);
  EXPECT_EQ(mpz_sgn(*second), 0);
}

TEST(TempVarAllocator, VarFloatTemporariesAreNaNAtFractionWidthPlusOne) {
  TempVarAllocator alloc;
  MPFR* a = alloc.getTempVarFloat(23);
  EXPECT_TRUE(mpfr_nan_p(a->mValue));
  EXPECT_EQ(mpfr_get_prec(a->mValue), 24);
  // A format of 10 exponent bits and 23 fraction bits shares the pool and stack of wF = 23.
  EXPECT_EQ(alloc.getVarFloatStackHandler(23)->getStack(),
            alloc.getVarFloatStackHandler(23)->getStack());
  MPFR* b = alloc.getTempVarFloat(23);
  EXPECT_NE(a, b);
  EXPECT_EQ(mpfr_get_prec(alloc.getTempVarFloat(52)->mValue), 53);
  alloc.resetAvailability();
  EXPECT_EQ(alloc.getTempVarFloat(23), a);
  EXPECT_EQ(alloc.getTempVarFloat(23), b);
}

TEST(TempVarAllocator, HandlerBeforeAnyTemporaryCreatesTheEntry) {
  TempVarAllocator alloc;
  util::VarFloatStackHandler* handler = alloc.getVarFloatStackHandler(7);
  ASSERT_NE(handler, nullptr);
  MPFR* temp = alloc.getTempVarFloat(7);
  EXPECT_EQ(mpfr_get_prec(temp->mValue), 8);
  EXPECT_EQ(alloc.getVarFloatStackHandler(7), handler);
}

TEST(VarFloatStackHandler, PushesRoundedCopiesAndPopsFromTheTop) {
  TempVarAllocator alloc;
  util::VarFloatStackHandler* stack = alloc.getVarFloatStackHandler(3); // 4-bit precision
  EXPECT_EQ(stack->pop(), nullptr);
  EXPECT_EQ(stack->top(0), nullptr);

  MPFR wide;
  mpfr_init2(wide.mValue, 64);
  mpfr_set_d(wide.mValue, 1.0625, MPFR_RNDN); // 1.0001b: a tie at 4 bits, to even
  stack->push(wide);
  mpfr_set_d(wide.mValue, 1.1875, MPFR_RNDN); // 1.0011b: rounds up to 1.25
  stack->push(wide);
  EXPECT_EQ(mpfr_get_d(stack->top(0)->mValue, MPFR_RNDN), 1.25);
  EXPECT_EQ(mpfr_get_d(stack->top(1)->mValue, MPFR_RNDN), 1.0);
  EXPECT_EQ(stack->top(2), nullptr);
  EXPECT_EQ(stack->top(-1), nullptr);

  MPFR* popped = stack->pop();
  EXPECT_EQ(mpfr_get_d(popped->mValue, MPFR_RNDN), 1.25); // readable until the next push
  mpfr_set_d(wide.mValue, 3.0, MPFR_RNDN);
  stack->push(wide);
  EXPECT_EQ(stack->top(0), popped); // the slot is reused
  EXPECT_EQ(mpfr_get_d(popped->mValue, MPFR_RNDN), 3.0);
  mpfr_clear(wide.mValue);
}

TEST(VarFloatPool, CopiesOwnTheirOwnValues) {
  auto original = std::make_unique<util::VarFloatPool>(10);
  mpfr_set_d(original->create()->mValue, 2.5, MPFR_RNDN);
  util::VarFloatPool copy(*original);
  util::VarFloatPool assigned(3);
  assigned.create();
  assigned = *original;
  assigned = assigned;
  original.reset(); // the copies' values must survive
  EXPECT_EQ(copy.getPrecision(), 11);
  EXPECT_EQ(copy.size(), 1u);
  EXPECT_EQ(assigned.getPrecision(), 11);
  EXPECT_EQ(assigned.size(), 1u);
  MPFR* value = copy.create();
  EXPECT_EQ(mpfr_get_prec(value->mValue), 11);
}

TEST(VarFloatPool, PrecisionOutsideMpfrRangeIsRefused) {
  TempVarAllocator alloc;
  EXPECT_EXIT(alloc.getTempVarFloat(-5), ::testing::ExitedWithCode(100),
              ::testing::HasSubstr("Float fraction width outside MPFR's precision range."));
}

} // namespace

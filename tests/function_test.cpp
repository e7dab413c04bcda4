#include "util/function.h"

#include <gmock/gmock.h>

static int deposit(int* balance, int amount) {
  return *balance += amount;
}

TEST(Function, CallsTheTargetWithItsContextFirstAndCopiesShareIt) {
  int balance = 0;
  const util::Function<int(int)> f = util::bindFunction<&deposit>(&balance), copy = f;
  EXPECT_TRUE(f && !f.empty() && f(5) == 5 && copy(7) == 12);
  auto g = util::makeFunction(
      &balance, +[](void* c, int& out) { out = *static_cast<int*>(c); });
  int out = 0;
  g(out); // reference parameters reach the target as references
  EXPECT_EQ(out, 12);
}

TEST(Function, EmptyFunctionIsAnInternalRestriction) {
  util::Function<void(int)> empty;
  EXPECT_TRUE(empty.empty() && !empty);
  EXPECT_EXIT(empty(1), ::testing::ExitedWithCode(100),
              ::testing::HasSubstr("Restriction: 'mFunction != nullptr' ["));
}

#include "util/function.h"

#include <gmock/gmock.h>

TEST(Function, EmptyFunctionIsAnInternalRestriction) {
  util::Function<void(int)> empty;
  EXPECT_EXIT(empty(1), ::testing::ExitedWithCode(100),
              ::testing::HasSubstr("Restriction: 'mFunction != nullptr' ["));
}

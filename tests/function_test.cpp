#include "util/function.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

struct Account {
  int balance = 0;
};

int deposit(Account* account, int amount) {
  account->balance += amount;
  return account->balance;
}

int readBalance(const Account* account) {
  return account->balance;
}

TEST(Function, CallsTheTargetWithItsContextFirst) {
  Account account;
  util::Function<int(int)> f(
      &account, [](void* c, int amount) { return deposit(static_cast<Account*>(c), amount); });
  EXPECT_TRUE(static_cast<bool>(f));
  EXPECT_EQ(f(5), 5);
  EXPECT_EQ(f(7), 12);
  EXPECT_EQ(f.getContext(), &account);

  // Copies share context and target; they own nothing.
  util::Function<int(int)> g = f;
  EXPECT_EQ(g(1), 13);
  EXPECT_EQ(account.balance, 13);
}

TEST(Function, HelpersDeduceSignatureAndTypeTheContext) {
  Account account;
  auto f = util::makeFunction(
      &account, +[](void* c, int amount, std::string& log) {
        log += "+" + std::to_string(amount);
        return deposit(static_cast<Account*>(c), amount);
      });
  static_assert(std::is_same_v<decltype(f), util::Function<int(int, std::string&)>>);
  std::string log;
  EXPECT_EQ(f(3, log), 3);
  EXPECT_EQ(f(4, log), 7);
  EXPECT_EQ(log, "+3+4"); // reference parameters reach the target as references

  auto typed = util::bindFunction<&deposit>(&account);
  static_assert(std::is_same_v<decltype(typed), util::Function<int(int)>>);
  EXPECT_EQ(typed(10), 17);

  const Account constant{42};
  auto reader = util::bindFunction<&readBalance>(&constant);
  EXPECT_EQ(reader(), 42);
}

TEST(Function, EmptyFunctionIsAnInternalRestriction) {
  util::Function<void(int)> empty;
  EXPECT_TRUE(empty.empty());
  EXPECT_FALSE(static_cast<bool>(empty));
  EXPECT_EQ(empty.getFunction(), nullptr);
  EXPECT_EXIT(empty(1), ::testing::ExitedWithCode(100),
              ::testing::MatchesRegex("Error: Compiler Internal Restriction: 'mFunction != "
                                      "nullptr' \\[\\S+ at src/util/function.h:[0-9]+\\] "));
}

} // namespace

#include "util/string_utils.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

using namespace util;

TEST(StringCase, FoldsEveryByteLikeTheCLibrary) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(static_cast<unsigned char>(toLower(one)[0]), std::tolower(b)) << b;
    EXPECT_EQ(static_cast<unsigned char>(toUpper(one)[0]), std::toupper(b)) << b;
    for (int c = 0; c < 256; ++c) {
      const std::string other(1, static_cast<char>(c));
      const bool expected = b == c || std::toupper(b) == std::toupper(c);
      ASSERT_EQ(caseInsensitiveEquals(one, other), expected) << b << " " << c;
    }
  }
  EXPECT_TRUE(caseInsensitiveEquals("Path", "pATH"));
  EXPECT_TRUE(caseInsensitiveEquals("", ""));
  EXPECT_FALSE(caseInsensitiveEquals("Path", "Paths"));
  EXPECT_EQ(toUpper(std::string("a\0b", 3)), std::string("A\0B", 3)); // NUL is just a byte
}

TEST(StringSearch, PrefixesSuffixesAndParts) {
  EXPECT_TRUE(contains("abc", ""));
  EXPECT_TRUE(contains("", ""));
  EXPECT_FALSE(contains("", "a"));
  EXPECT_TRUE(containsI("Hello World", "WORLD"));
  EXPECT_FALSE(contains("Hello World", "WORLD"));

  EXPECT_TRUE(startsWith(std::string(""), std::string("")));
  EXPECT_TRUE(startsWith(std::string("abc"), std::string("ab")));
  EXPECT_FALSE(startsWith(std::string("ab"), std::string("abc")));
  EXPECT_TRUE(startsWith("abc", ""));
  EXPECT_TRUE(startsWith("abc", "abc"));
  EXPECT_FALSE(startsWith("ab", "abc"));
  EXPECT_FALSE(startsWith("xbc", "abc"));
  EXPECT_TRUE(startsWith(static_cast<const char*>(nullptr), ""));
  EXPECT_FALSE(startsWith(static_cast<const char*>(nullptr), "a"));
  EXPECT_TRUE(startsWithI("ABCdef", "abc"));

  EXPECT_TRUE(endsWith(std::string("abc"), std::string("")));
  EXPECT_TRUE(endsWith(std::string(""), std::string("")));
  EXPECT_FALSE(endsWith(std::string("bc"), std::string("abc")));
  EXPECT_TRUE(endsWith("file.vhd", ".vhd"));
  EXPECT_FALSE(endsWith("vhd", "x.vhd"));
  EXPECT_TRUE(endsWith("", ""));
  EXPECT_TRUE(endsWithI("FILE.VHD", ".vhd"));
  EXPECT_FALSE(endsWithI("FILE.VHD", ".vhdl"));
}

TEST(StringReplace, MatchesLeftToRightWithoutOverlapOrRescan) {
  EXPECT_EQ(replaceAll(std::string("aaa"), std::string("aa"), std::string("b")), "ba");
  EXPECT_EQ(replaceAll(std::string("aaa"), std::string("a"), std::string("aa")), "aaaaaa");
  EXPECT_EQ(replaceAll(std::string("abc"), std::string(""), std::string("x")), "abc");
  EXPECT_EQ(replaceAll(std::string("x"), std::string("x"), std::string("")), "");
  EXPECT_EQ(replaceAll(std::string("a.b.c"), std::string("."), std::string("::")), "a::b::c");
  std::string inPlace = "one two two";
  replaceAll(inPlace, std::string("two"), std::string("2"));
  EXPECT_EQ(inPlace, "one 2 2");
  EXPECT_EQ(replaceAll(std::string("a\\b\\c"), '\\', '/'), "a/b/c");
  std::string bytes = "x-y-z";
  replaceAll(bytes, '-', '\0');
  EXPECT_EQ(bytes, std::string("x\0y\0z", 5));
}

TEST(StringSplit, UsesAByteSetAndDropsEmptyTokens) {
  std::vector<std::string> out{"kept"};
  split(out, ",a,,b,", ",");
  EXPECT_EQ(out, (std::vector<std::string>{"kept", "a", "b"}));
  out.clear();
  split(out, "a;b,c", ",;");
  EXPECT_EQ(out, (std::vector<std::string>{"a", "b", "c"}));
  out.clear();
  split(out, "abc", "");
  EXPECT_TRUE(out.empty());
  split(out, "", ",");
  split(out, ",,,", ",");
  EXPECT_TRUE(out.empty());
  split(out, "no delimiter here", ",");
  EXPECT_EQ(out, (std::vector<std::string>{"no delimiter here"}));
}

} // namespace

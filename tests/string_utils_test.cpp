#include "util/string_utils.h"
#include <cctype>
#include <gtest/gtest.h>

using namespace util;

TEST(StringCase, FoldsEveryByteLikeTheCLibrary) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(static_cast<unsigned char>(toLower(one)[0]), std::tolower(b)) << b;
    EXPECT_EQ(static_cast<unsigned char>(toUpper(one)[0]), std::toupper(b)) << b;
    for (int c = 0; c < 256; ++c)
      ASSERT_EQ(caseInsensitiveEquals(one, std::string(1, static_cast<char>(c))),
                b == c || std::toupper(b) == std::toupper(c))
          << b << " " << c;
  }
  EXPECT_TRUE(caseInsensitiveEquals("Path", "pATH"));
  EXPECT_FALSE(caseInsensitiveEquals("Path", "PatX") || caseInsensitiveEquals("Path", "Paths"));
  EXPECT_EQ(toUpper(std::string("a\0b", 3)), std::string("A\0B", 3)); // NUL is just a byte
}

TEST(StringSearch, PrefixesSuffixesAndParts) {
  // contains, containsI, startsWith, startsWithI, endsWith, endsWithI
  const char* const rows[][3] = {
      {"", "", "111111"},          {"abc", "", "111111"},        {"", "a", "000000"},
      {"abc", "abc", "111111"},    {"ab", "abc", "000000"},      {"abc", "ab", "111100"},
      {"abc", "bc", "110011"},     {"xbc", "abc", "000000"},     {"ABCdef", "abc", "010100"},
      {"F.VHD", ".vhd", "010001"}, {"F.VHD", ".vhdl", "000000"}, {"Hi You", "YOU", "010001"}};
  for (const auto& [s, p, expected] : rows) {
    std::string got;
    for (bool b : {contains(s, p), containsI(s, p), startsWith(std::string(s), p),
                   startsWithI(s, p), endsWith(std::string(s), p), endsWithI(s, p)})
      got += b ? '1' : '0';
    EXPECT_EQ(got, expected) << s << " / " << p;
    EXPECT_EQ(startsWith(s, p), got[2] == '1') << s << " / " << p; // the const char* forms
    EXPECT_EQ(endsWith(s, p), got[4] == '1') << s << " / " << p;
  }
  EXPECT_TRUE(startsWith(nullptr, "") && endsWith(nullptr, nullptr));
  EXPECT_FALSE(startsWith(nullptr, "a") || endsWith(nullptr, "a"));
}

TEST(StringReplace, MatchesLeftToRightWithoutOverlapOrRescan) {
  const char* const rows[][4] = {{"aaa", "aa", "b", "ba"},        {"aaa", "a", "aa", "aaaaaa"},
                                 {"abc", "", "x", "abc"},         {"x", "x", "", ""},
                                 {"a.b.c", ".", "::", "a::b::c"}, {"ab", "b", "bb", "abb"}};
  for (const auto& [s, from, to, expected] : rows) {
    std::string inPlace = s;
    replaceAll(inPlace, std::string(from), std::string(to));
    EXPECT_EQ(inPlace + "|" + replaceAll(std::string(s), std::string(from), std::string(to)),
              std::string(expected) + "|" + expected);
  }
  std::string bytes = "x-y-z";
  replaceAll(bytes, '-', '\0');
  EXPECT_EQ(bytes + replaceAll(std::string("a\\b"), '\\', '/'), std::string("x\0y\0za/b", 8));
}

TEST(StringSplit, UsesAByteSetAndDropsEmptyTokens) {
  std::vector<std::string> out{"kept"};
  split(out, ",a,,b,", ",");
  split(out, "c;d,e", ",;");
  split(out, "abc", "");
  split(out, ",,,", ",");
  split(out, "", ",");
  split(out, "no delimiter", ",");
  EXPECT_EQ(out, (std::vector<std::string>{"kept", "a", "b", "c", "d", "e", "no delimiter"}));
}

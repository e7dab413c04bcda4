#include "util/string_utils.h"
#include <cctype>
#include <gtest/gtest.h>
using namespace util;

TEST(StringCase, FoldsEveryByteLikeTheCLibrary) {
  for (int b = 0; b < 256; ++b) {
    const std::string one{static_cast<char>(b)};
    EXPECT_EQ(static_cast<unsigned char>(toLower(one)[0]), std::tolower(b)) << b;
    EXPECT_EQ(static_cast<unsigned char>(toUpper(one)[0]), std::toupper(b)) << b;
    for (int c = 0; c < 256; ++c)
      ASSERT_EQ(caseInsensitiveEquals(one, {char(c)}), std::toupper(b) == std::toupper(c))
          << b << " " << c;
  }
}

TEST(StringSearch, PrefixesSuffixesAndParts) {
  // contains, containsI, startsWith (string, char*), startsWithI, endsWith (same), endsWithI
  const char* const rows[][3] = {{"", "", "11111111"},          {"ab", "abc", "00000000"},
                                 {"abc", "ab", "11111000"},     {"abc", "bc", "11000111"},
                                 {"ABCdef", "abc", "01001000"}, {"F.VHD", ".vhd", "01000001"}};
  for (const auto& [s, p, expected] : rows) {
    std::string got;
    for (bool b : {contains(s, p), containsI(s, p), startsWith(std::string(s), p), startsWith(s, p),
                   startsWithI(s, p), endsWith(std::string(s), p), endsWith(s, p), endsWithI(s, p)})
      got += b ? '1' : '0';
    EXPECT_EQ(got, expected) << s << " / " << p;
  }
  EXPECT_TRUE(startsWith(nullptr, "") && endsWith(nullptr, nullptr)); // null reads as ""
}

TEST(StringReplaceAndSplit, MatchLeftToRightAndDropEmptyTokens) {
  EXPECT_EQ(replaceAll(std::string("aaa"), "aa", "b"), "ba"); // no overlap, no rescan
  std::string bytes = "x-y-z";
  replaceAll(bytes, '-', '\0');
  EXPECT_EQ(bytes + replaceAll(std::string("a\\b"), '\\', '/'), std::string("x\0y\0za/b", 8));
  std::vector<std::string> out{"kept"};
  const char* const splits[][2] = {{",a,,b,", ","}, {"c;d,e", ",;"}, {"abc", ""}, {"", ","}};
  for (const auto& [s, delimiters] : splits)
    split(out, s, delimiters);
  EXPECT_EQ(out, (std::vector<std::string>{"kept", "a", "b", "c", "d", "e"}));
}

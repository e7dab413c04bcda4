// split and replaceAll against straightforward reference implementations.
#include "util/string_utils.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Three fields separated by the first two 0xff bytes.
  const std::string all(reinterpret_cast<const char*>(data), size);
  const auto first = all.find('\xff');
  const auto second = first == std::string::npos ? first : all.find('\xff', first + 1);
  const std::string s = all.substr(0, first);
  const std::string a = first == std::string::npos ? "" : all.substr(first + 1, second - first - 1);
  const std::string b = second == std::string::npos ? "" : all.substr(second + 1);

  std::vector<std::string> expected{"kept"}, out{"kept"};
  std::string token, replaced;
  for (std::size_t i = 0; i <= s.size(); ++i) {
    if (i < s.size() && a.find(s[i]) == std::string::npos) {
      token += s[i];
    } else if (!token.empty() && !a.empty()) {
      expected.push_back(token);
      token.clear();
    }
  }
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool match = !a.empty() && s.compare(i, a.size(), a) == 0;
    replaced += match ? b : std::string(1, s[i]);
    i += match ? a.size() - 1 : 0;
  }
  util::split(out, s, a);
  if (out != expected || util::replaceAll(s, a, b) != replaced ||
      util::toLower(util::toUpper(s)).size() != s.size())
    std::abort();
  return 0;
}

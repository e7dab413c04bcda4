// split and replaceAll against straightforward reference implementations.
#include "util/string_utils.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Text, delimiters or pattern, and replacement, cut at the first two 0xff bytes.
  std::string f[3], token, replaced;
  for (std::size_t i = 0, k = 0; i < size; ++i)
    data[i] == 0xff && k < 2 ? static_cast<void>(++k) : f[k].push_back(static_cast<char>(data[i]));
  const auto& [s, a, b] = f;
  std::vector<std::string> expected{"kept"}, out{"kept"};
  for (std::size_t i = 0; i <= s.size(); ++i)
    if (i < s.size() && a.find(s[i]) == std::string::npos)
      token += s[i];
    else if (!token.empty() && !a.empty())
      expected.push_back(token), token.clear();
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

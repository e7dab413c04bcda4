// split and replaceAll against straightforward reference implementations.
#include "util/string_utils.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> referenceSplit(const std::string& s, const std::string& delimiters) {
  std::vector<std::string> out;
  if (delimiters.empty())
    return out;
  std::string token;
  for (char c : s) {
    if (delimiters.find(c) != std::string::npos) {
      if (!token.empty())
        out.push_back(token);
      token.clear();
    } else {
      token += c;
    }
  }
  if (!token.empty())
    out.push_back(token);
  return out;
}

std::string referenceReplace(const std::string& s, const std::string& from, const std::string& to) {
  if (from.empty())
    return s;
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s.compare(i, from.size(), from) == 0) {
      out += to;
      i += from.size();
    } else {
      out += s[i++];
    }
  }
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  // Three fields separated by the first two 0xff bytes.
  const auto first = all.find('\xff');
  const auto second = first == std::string::npos ? first : all.find('\xff', first + 1);
  const std::string s = all.substr(0, first);
  const std::string a = first == std::string::npos ? "" : all.substr(first + 1, second - first - 1);
  const std::string b = second == std::string::npos ? "" : all.substr(second + 1);

  std::vector<std::string> out{"kept"};
  util::split(out, s, a);
  std::vector<std::string> expected{"kept"};
  for (const std::string& token : referenceSplit(s, a))
    expected.push_back(token);
  if (out != expected)
    std::abort();
  if (util::replaceAll(s, a, b) != referenceReplace(s, a, b))
    std::abort();
  if (util::toLower(util::toUpper(s)).size() != s.size())
    std::abort();
  return 0;
}

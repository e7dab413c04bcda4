// Byte-oriented string helpers.
#include "util/string_utils.h"

#include "util/internal/text.h"

#include <cctype>
#include <cstring>

namespace util {

using internal::orEmpty;

namespace {
// The C library's folding of one byte; the cast keeps bytes above 127 out of undefined
// behaviour.
char upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
char lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
} // namespace

bool caseInsensitiveEquals(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && upper(a[i]) != upper(b[i]))
      return false;
  return true;
}

bool contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

bool containsI(const std::string& s, const std::string& part) {
  return contains(toLower(s), toLower(part));
}

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool startsWith(const char* s, const char* prefix) {
  s = orEmpty(s);
  for (prefix = orEmpty(prefix); *prefix != '\0'; ++prefix, ++s)
    if (*s != *prefix)
      return false; // also where s ends first
  return true;
}

bool startsWithI(const std::string& s, const std::string& prefix) {
  return startsWith(toLower(s), toLower(prefix));
}

bool endsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool endsWith(const char* s, const char* suffix) {
  s = orEmpty(s);
  suffix = orEmpty(suffix);
  const std::size_t n = std::strlen(s), m = std::strlen(suffix);
  return m <= n && std::memcmp(s + n - m, suffix, m) == 0;
}

bool endsWithI(const std::string& s, const std::string& suffix) {
  return endsWith(toLower(s), toLower(suffix));
}

std::string replaceAll(const std::string& s, const std::string& from, const std::string& to) {
  if (from.empty())
    return s;
  std::string result;
  std::size_t p = 0;
  for (std::size_t m; (m = s.find(from, p)) != std::string::npos; p = m + from.size()) {
    result.append(s, p, m - p);
    result += to;
  }
  result.append(s, p, std::string::npos);
  return result;
}

void replaceAll(std::string& s, const std::string& from, const std::string& to) {
  s = replaceAll(static_cast<const std::string&>(s), from, to);
}

std::string replaceAll(const std::string& s, char from, char to) {
  std::string result = s;
  replaceAll(result, from, to);
  return result;
}

void replaceAll(std::string& s, char from, char to) {
  for (char& c : s)
    if (c == from)
      c = to;
}

void split(std::vector<std::string>& out, const std::string& s, const std::string& delimiters) {
  if (delimiters.empty())
    return;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = s.find_first_of(delimiters, start);
    const std::size_t stop = end == std::string::npos ? s.size() : end;
    if (stop > start)
      out.push_back(s.substr(start, stop - start));
    if (end == std::string::npos)
      return;
    start = end + 1;
  }
}

std::string toLower(const std::string& s) {
  std::string result = s;
  for (char& c : result)
    c = lower(c);
  return result;
}

std::string toUpper(const std::string& s) {
  std::string result = s;
  for (char& c : result)
    c = upper(c);
  return result;
}

} // namespace util

// Byte-oriented string helpers.
#ifndef LOOM_UTIL_STRING_UTILS_H
#define LOOM_UTIL_STRING_UTILS_H

#include "util/export.h"

#include <string>
#include <vector>

// Case folding is the C library's tolower/toupper in the current C locale, byte by byte; no
// encoding is interpreted.
//
//   util::replaceAll("aaa", "aa", "b");      // "ba": matches do not overlap
//   std::vector<std::string> parts;
//   util::split(parts, ",a,,b;c", ",;");     // appends "a", "b", "c": no empty tokens

namespace util {

LOOM_UTIL_API bool caseInsensitiveEquals(const std::string& a, const std::string& b);
LOOM_UTIL_API bool contains(const std::string& s, const std::string& part);
LOOM_UTIL_API bool containsI(const std::string& s, const std::string& part);
LOOM_UTIL_API bool startsWith(const std::string& s, const std::string& prefix);
LOOM_UTIL_API bool startsWith(const char* s, const char* prefix); // null reads as ""
LOOM_UTIL_API bool startsWithI(const std::string& s, const std::string& prefix);
LOOM_UTIL_API bool endsWith(const std::string& s, const std::string& suffix);
LOOM_UTIL_API bool endsWith(const char* s, const char* suffix); // null reads as ""
LOOM_UTIL_API bool endsWithI(const std::string& s, const std::string& suffix);

// Every occurrence of `from`, left to right and not overlapping, replaced by `to`; the
// inserted text is never searched again. An empty `from` changes nothing.
LOOM_UTIL_API std::string replaceAll(const std::string& s, const std::string& from,
                                     const std::string& to);
LOOM_UTIL_API void replaceAll(std::string& s, const std::string& from, const std::string& to);
LOOM_UTIL_API std::string replaceAll(const std::string& s, char from, char to);
LOOM_UTIL_API void replaceAll(std::string& s, char from, char to);

// Appends the non-empty stretches of s between bytes of the set `delimiters`; out is not
// cleared. An empty delimiter set appends nothing.
LOOM_UTIL_API void split(std::vector<std::string>& out, const std::string& s,
                         const std::string& delimiters);

LOOM_UTIL_API std::string toLower(const std::string& s);
LOOM_UTIL_API std::string toUpper(const std::string& s);

} // namespace util

#endif

// Helpers for C strings that may be null.
#ifndef LOOM_UTIL_INTERNAL_TEXT_H
#define LOOM_UTIL_INTERNAL_TEXT_H

// Small helpers for the C strings callers hand the library, which may be null.

namespace util {
namespace internal {

inline const char* orEmpty(const char* text) {
  return text != nullptr ? text : "";
}

} // namespace internal
} // namespace util

#endif

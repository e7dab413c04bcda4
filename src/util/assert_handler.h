// Internal-restriction reporting, the check macros and the plain text channels.
#ifndef LOOM_UTIL_ASSERT_HANDLER_H
#define LOOM_UTIL_ASSERT_HANDLER_H

#include "util/compiler.h"
#include "util/export.h"

#include <string>

// Every consistency check of the library ends, when it fails, in aster_assert_handler. The
// default report writes one line on the error channel,
//
//   Error: Compiler Internal Restriction: 'a > 0'. bad [ns::f at p4/src/util/x.cpp:12]
//
// and exits with status 100. With the environment variable SEGFAULT_ASSERT set the process
// aborts instead, so that a debugger stops at the check. A host may install its own handler;
// if that handler returns, the process still exits with 100, but it may throw, and the
// exception then reaches the caller of the failing check.

namespace util {
template <typename Sig> class Function;
}

using AssertHandler =
    util::Function<void(const char*, const char*, unsigned int, const char*, const char*)>;

// condition and message may be null; file and function never are. A file that is one of the
// library's headers, under whatever include path the caller's compiler found it, is reported
// (and handed to an installed handler) as "src/util/<name>.h".
[[noreturn]] LOOM_UTIL_API void aster_assert_handler(const char* condition, const char* file,
                                                     unsigned int line, const char* function,
                                                     const char* message);
[[noreturn]] LOOM_UTIL_API void aster_assert_handler(const char* condition, const char* file,
                                                     unsigned int line, const char* function,
                                                     const std::string& message);

// The handler replaces any earlier one and is used from the next report on.
LOOM_UTIL_API void set_assert_handler(AssertHandler handler);
LOOM_UTIL_API void restore_default_assert_handler();

// Plain texts for the error, warning and debug channels. They add no line break.
[[noreturn]] LOOM_UTIL_API void aster_error_printf(const std::string& text); // then exit(1)
LOOM_UTIL_API void aster_warning_printf(const std::string& text);
LOOM_UTIL_API void aster_log_printf(const std::string& text); // only while logging is on

// Returns the previous state of the logging switch (false at load time).
LOOM_UTIL_API bool loom_set_logging(bool on);
LOOM_UTIL_API bool loom_get_logging();

// The check macros. Each passes the condition text, the real file and line of the check and
// the compiler's full signature of the enclosing function. The failing branch is marked
// unlikely so that checks on hot paths cost one predicted compare.
#define LOOM_ASSERT(cond)                                                                          \
  (LOOM_LIKELY(cond) ? static_cast<void>(0)                                                        \
                     : aster_assert_handler(#cond, __FILE__, __LINE__, __PRETTY_FUNCTION__,        \
                                            static_cast<const char*>(nullptr)))

#define LOOM_ASSERT_MSG(cond, message)                                                             \
  (LOOM_LIKELY(cond)                                                                               \
       ? static_cast<void>(0)                                                                      \
       : aster_assert_handler(#cond, __FILE__, __LINE__, __PRETTY_FUNCTION__, (message)))

#define LOOM_FAIL(message)                                                                         \
  aster_assert_handler(static_cast<const char*>(nullptr), __FILE__, __LINE__, __PRETTY_FUNCTION__, \
                       (message))

#define LOOM_UNREACHABLE() LOOM_FAIL("Code should be unreachable")

#include "util/function.h"

#endif

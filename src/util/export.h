// Symbol visibility and early static initialisation for the library.
#ifndef LOOM_UTIL_EXPORT_H
#define LOOM_UTIL_EXPORT_H

// Everything in libloom_util is hidden unless marked with LOOM_UTIL_API. The static
// build used by a few tests defines LOOM_UTIL_STATIC, which turns the marks into nothing.
#if defined(_WIN32)
#error "libloom_util is built for POSIX systems with GCC or Clang"
#elif defined(LOOM_UTIL_STATIC)
#define LOOM_UTIL_API
#else
#define LOOM_UTIL_API __attribute__((visibility("default")))
#endif

// Runs a static object's constructor before the ordinary ones of the same link unit, so
// that a host's own static constructors find the library's process-wide objects ready
// even when the library is linked statically and placed after the host in link order.
#define LOOM_UTIL_EARLY_INIT __attribute__((init_priority(200)))

#endif

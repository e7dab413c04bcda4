// The GCC and Clang extensions the library uses, each behind one name.
#ifndef LOOM_UTIL_COMPILER_H
#define LOOM_UTIL_COMPILER_H

// The compiler extensions the library uses, each behind one name. They are GCC's and Clang's;
// the inline arithmetic needs them in installed headers, so this header is installed too.

#include <cstdint>

// Branch hints: checks on hot paths cost one predicted compare.
#define LOOM_LIKELY(x) __builtin_expect(!!(x), 1)
#define LOOM_UNLIKELY(x) __builtin_expect(!!(x), 0)
// Keeps a rare, register-hungry path out of its callers.
#define LOOM_NOINLINE __attribute__((noinline))

namespace simulation {
namespace bits {

__extension__ typedef unsigned __int128 u128;
__extension__ typedef __int128 s128;

// The number of leading zero bits of a nonzero word.
inline int leadingZeros(std::uint64_t x) {
  return __builtin_clzll(x);
}

// a + b modulo 2^64 into sum; true when it wrapped.
inline bool addCarry(std::uint64_t a, std::uint64_t b, std::uint64_t* sum) {
  return __builtin_add_overflow(a, b, sum);
}

} // namespace bits
} // namespace simulation

#endif

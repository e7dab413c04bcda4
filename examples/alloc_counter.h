// A heap-allocation counter for the examples that prove a model step allocates nothing.
#ifndef LOOM_EXAMPLES_ALLOC_COUNTER_H
#define LOOM_EXAMPLES_ALLOC_COUNTER_H

// Counts every heap allocation of the program: operator new here, GMP's and MPFR's through
// their memory functions. Include in exactly one source file of a program.

#include <gmp.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace alloc_counter {

inline std::atomic<long> count{0};

inline void* countingMalloc(size_t n) {
  ++count;
  return std::malloc(n);
}
inline void* countingRealloc(void* p, size_t, size_t n) {
  ++count;
  return std::realloc(p, n);
}
inline void countingFree(void* p, size_t) {
  std::free(p);
}

// Routes GMP's (and so MPFR's) allocations through the counter.
inline void install() {
  mp_set_memory_functions(countingMalloc, countingRealloc, countingFree);
}

} // namespace alloc_counter

// The replacements pair malloc with free; GCC cannot see that through inlining.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  ++alloc_counter::count;
  if (void* p = std::malloc(size == 0 ? 1 : size))
    return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++alloc_counter::count;
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
#pragma GCC diagnostic pop

#endif

// Immortal, a process-wide object that is never destroyed.
#ifndef LOOM_UTIL_INTERNAL_IMMORTAL_H
#define LOOM_UTIL_INTERNAL_IMMORTAL_H

namespace util {
namespace internal {

// Texts reported from other static destructors during exit must still find working handlers:
// a destroyed handler would dispatch through its base's vtable to a pure virtual. The union
// keeps the compiler from running T's destructor.
template <typename T> union Immortal {
  template <typename... A> constexpr explicit Immortal(A... args) : value(args...) {}
  ~Immortal() {}
  T value;
};

} // namespace internal
} // namespace util

#endif

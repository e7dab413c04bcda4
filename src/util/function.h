// util::Function, a non-owning reference to a callable.
#ifndef LOOM_UTIL_FUNCTION_H
#define LOOM_UTIL_FUNCTION_H

#include "util/assert_handler.h"

#include <utility>

namespace util {

template <typename Sig> class Function;

// A non-owning reference to a callable: a context pointer and a plain function that receives
// that context first. It is two words, copied by value, and usable across the library's
// interface without templates or allocation. Calling an empty one is an internal restriction.
//
//   struct Counter { int n = 0; };
//   Counter counter;
//   util::Function<void(int)> f(&counter,
//                               [](void* c, int k) { static_cast<Counter*>(c)->n += k; });
//   f(3); // counter.n == 3
template <typename R, typename... Args> class Function<R(Args...)> {
public:
  using Target = R (*)(void*, Args...);

  constexpr Function() noexcept = default;
  constexpr Function(void* context, Target function) noexcept
      : mContext(context), mFunction(function) {}

  R operator()(Args... args) const {
    LOOM_ASSERT(mFunction != nullptr);
    return mFunction(mContext, std::forward<Args>(args)...);
  }

  constexpr bool empty() const noexcept { return mFunction == nullptr; }
  constexpr explicit operator bool() const noexcept { return mFunction != nullptr; }
  constexpr void* getContext() const noexcept { return mContext; }
  constexpr Target getFunction() const noexcept { return mFunction; }

private:
  void* mContext = nullptr;
  Target mFunction = nullptr;
};

// Builds a Function from a free function or a lambda without captures whose first parameter is
// the context. The signature is deduced from the function pointer; a lambda needs a leading
// '+' to become one:
//
//   auto f = util::makeFunction(&state, +[](void* s, int x) { ... });
template <typename R, typename... Args>
constexpr Function<R(Args...)> makeFunction(void* context, R (*function)(void*, Args...)) noexcept {
  return Function<R(Args...)>(context, function);
}

// Same, with a typed context: the function receives a C* and is called through a small
// trampoline generated for it, so no cast of function pointers is involved.
//
//   void onReport(Log* log, const char* text);
//   util::Function<void(const char*)> f = util::bindFunction<&onReport>(&log);
namespace detail {
template <auto Fn, typename FnType> struct Trampoline;
template <auto Fn, typename R, typename C, typename... Args>
struct Trampoline<Fn, R (*)(C*, Args...)> {
  static R call(void* context, Args... args) {
    return Fn(static_cast<C*>(context), std::forward<Args>(args)...);
  }
  using Context = C;
  using FunctionType = Function<R(Args...)>;
};
} // namespace detail

template <auto Fn>
constexpr auto
bindFunction(typename detail::Trampoline<Fn, decltype(Fn)>::Context* context) noexcept {
  using T = detail::Trampoline<Fn, decltype(Fn)>;
  return typename T::FunctionType(const_cast<void*>(static_cast<const void*>(context)), &T::call);
}

} // namespace util

#endif

#pragma once

#include <cassert>
#include <utility>
#include <variant>

namespace hollin {

// The failure half of a Result, spelled `Failure{error}` at the return site.
template <class E>
struct Failure {
  E error;
};
template <class E>
Failure(E) -> Failure<E>;

// A value or the reason there is none. Errors are values here: nothing throws across modules.
template <class T, class E>
class Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  template <class F>
  Result(Failure<F> failure) : state_(std::in_place_index<1>, E(std::move(failure.error))) {}

  bool hasValue() const { return state_.index() == 0; }
  explicit operator bool() const { return hasValue(); }

  const T& value() const& {
    assert(hasValue());
    return std::get<0>(state_);
  }
  T& value() & {
    assert(hasValue());
    return std::get<0>(state_);
  }
  T&& value() && {
    assert(hasValue());
    return std::get<0>(std::move(state_));
  }
  const T& operator*() const& { return value(); }
  T& operator*() & { return value(); }
  const T* operator->() const { return &value(); }
  T* operator->() { return &value(); }

  const E& error() const {
    assert(!hasValue());
    return std::get<1>(state_);
  }

 private:
  std::variant<T, E> state_;
};

}  // namespace hollin

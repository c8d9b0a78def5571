// A value or an error, for code that reports failures as values.
#pragma once

#include <type_traits>
#include <utility>
#include <variant>

#include "base/error.hpp"

namespace corvane {

// Stands in for "no value" in Expected<Ok>.
struct Ok {};

template <class T, class E = Error>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Expected(Failure<E> failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}
  template <class F, class = std::enable_if_t<std::is_constructible_v<E, F&&> && !std::is_same_v<F, E>>>
  Expected(Failure<F> failure) : state_(std::in_place_index<1>, E(std::move(failure.error))) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  E& error() & { return std::get<1>(state_); }
  const E& error() const& { return std::get<1>(state_); }
  E&& error() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, E> state_;
};

}  // namespace corvane

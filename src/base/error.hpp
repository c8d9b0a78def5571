// The one error value of the pure code: what parsers, the evidence library and
// the functions return on failure, and what the boundary raises.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace corvane {

// The Python exception type an error is raised as.
enum class ErrorKind { value, runtime };

struct Error {
  // The text to show. A parser's message is the reason alone; its caller puts
  // the name of the input in front.
  std::string message;
  ErrorKind kind = ErrorKind::value;
  // Set by a builder that checks several inputs in an order of its own, so
  // that each caller can word the fault by its own table: which input failed
  // (static text) and, for a list, which element. `message` is then the reason.
  std::string_view input = {};
  std::optional<std::size_t> index = {};

  explicit Error(std::string text, ErrorKind raised_as = ErrorKind::value)
      : message(std::move(text)), kind(raised_as) {}

  // "{input}[{index}]: {message}", "{input}: {message}", or the message alone.
  std::string located_message() const {
    if (input.empty()) return message;
    std::string located(input);
    if (index) {
      located += '[';
      located += std::to_string(*index);
      located += ']';
    }
    located += ": ";
    located += message;
    return located;
  }
};

// Wraps an error so that Expected<T, E> can be built from it even when T and E
// are the same type.
template <class E>
struct Failure {
  E error;
};

template <class E>
Failure<std::decay_t<E>> fail(E&& error) {
  return {std::forward<E>(error)};
}

inline Failure<Error> value_error(std::string message) { return {Error(std::move(message), ErrorKind::value)}; }

inline Failure<Error> runtime_error(std::string message) { return {Error(std::move(message), ErrorKind::runtime)}; }

}  // namespace corvane

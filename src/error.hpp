// The error value that a function's implementation returns to the call frame.
#pragma once

#include <string>
#include <utility>

#include "encoding/expected.hpp"

namespace corvane {

// The Python exception type an error is raised as.
enum class ErrorKind { value, runtime };

struct Error {
  ErrorKind kind;
  std::string message;
};

inline Failure<Error> value_error(std::string message) {
  return {Error{ErrorKind::value, std::move(message)}};
}

inline Failure<Error> runtime_error(std::string message) {
  return {Error{ErrorKind::runtime, std::move(message)}};
}

// What an implementation gives back: its result or an error value.
template <class T>
using Outcome = Expected<T, Error>;

}  // namespace corvane

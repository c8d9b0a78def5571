// The call frame every function passes through: bind the caller's arguments
// to parameters, convert them in parameter order, call the implementation on
// native values, and turn its outcome (or a broken invariant) into a Python
// result or exception. No C++ exception ever leaves a handler.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <tuple>
#include <utility>

#include "conversion.hpp"
#include "error.hpp"
#include "exceptions.hpp"

namespace corvane::python {

// What binding needs to know of a function: every parameter is positional or
// keyword and required, none has a default.
struct CallSignature {
  const char* function;
  std::span<const char* const> parameters;
};

// Fills `slots` (one per parameter, borrowed references) from a vectorcall
// argument vector, or raises the binding TypeError and returns false.
bool bind(const CallSignature& signature, PyObject** slots, PyObject* const* args, Py_ssize_t nargs,
          PyObject* kwnames);

// Sets the exception for whatever C++ exception is in flight: out of memory
// becomes MemoryError, anything else PanicException.
void raise_current_exception() noexcept;

inline PyObject* to_python(Outcome<std::string>&& outcome) {
  if (!outcome) {
    raise_error(outcome.error());
    return nullptr;
  }
  return text_to_python(*outcome);
}

inline PyObject* to_python(Outcome<bool>&& outcome) {
  if (!outcome) {
    raise_error(outcome.error());
    return nullptr;
  }
  return Py_NewRef(*outcome ? Py_True : Py_False);
}

namespace detail {

template <class... Args, class Impl, std::size_t... I>
PyObject* convert_and_call(const CallSignature& signature, Impl& impl, PyObject* const* slots,
                           std::index_sequence<I...>) {
  std::tuple<Args...> values;
  // The fold stops at the first failed conversion: later arguments are not
  // looked at.
  const bool converted = ((convert(slots[I], std::get<I>(values)) ||
                           (add_conversion_note(signature.parameters[I]), false)) &&
                          ...);
  if (!converted) return nullptr;
  return to_python(std::apply(impl, values));
}

}  // namespace detail

// Runs one call. Args are the native parameter types in order; `impl` takes
// them as lvalues and returns an Outcome.
template <class... Args, class Impl>
PyObject* run(const CallSignature& signature, Impl&& impl, PyObject* const* args, Py_ssize_t nargs,
              PyObject* kwnames) noexcept {
  try {
    std::array<PyObject*, sizeof...(Args)> slots{};
    if (!bind(signature, slots.data(), args, nargs, kwnames)) return nullptr;
    return detail::convert_and_call<Args...>(signature, impl, slots.data(), std::index_sequence_for<Args...>{});
  } catch (...) {
    raise_current_exception();
    return nullptr;
  }
}

}  // namespace corvane::python

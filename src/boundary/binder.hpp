// Binding a vectorcall's positional and keyword arguments to a function's
// parameters: every parameter is positional-or-keyword and required.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <span>
#include <string_view>

namespace corvane::boundary {

// The most parameters a function can have.
inline constexpr std::size_t kMaxParameters = 32;

struct CallSignature {
  std::string_view function;                  // NUL-terminated
  std::span<const std::string_view> parameters;  // each NUL-terminated
  // The parameter names as interned str, made on first use and kept for the
  // life of the process; a keyword name is compared with them by identity
  // before its bytes are.
  std::span<PyObject*> interned;
};

// Fills `slots` (one per parameter, borrowed references) from a vectorcall
// argument vector, or raises the binding TypeError and returns false.
bool bind(const CallSignature& signature, PyObject** slots, PyObject* const* args, Py_ssize_t nargs,
          PyObject* kwnames);

}  // namespace corvane::boundary

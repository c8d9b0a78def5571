#include "call_frame.hpp"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

namespace corvane::python {
namespace {

// 'a'; 'a' and 'b'; 'a', 'b' and 'c'
std::string join_names(std::span<const char* const> names) {
  std::string joined;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) joined += i + 1 == names.size() ? " and " : ", ";
    joined += '\'';
    joined += names[i];
    joined += '\'';
  }
  return joined;
}

void raise_unexpected_keyword(const CallSignature& signature, PyObject* name) {
  PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%S'", signature.function, name);
}

// Index of the parameter that `name` names, or -1.
Py_ssize_t find_parameter(const CallSignature& signature, PyObject* name) {
  for (std::size_t i = 0; i < signature.parameters.size(); ++i) {
    if (PyUnicode_CompareWithASCIIString(name, signature.parameters[i]) == 0) return static_cast<Py_ssize_t>(i);
  }
  return -1;
}

}  // namespace

bool bind(const CallSignature& signature, PyObject** slots, PyObject* const* args, Py_ssize_t nargs,
          PyObject* kwnames) {
  const auto count = static_cast<Py_ssize_t>(signature.parameters.size());
  if (nargs > count) {
    PyErr_Format(PyExc_TypeError, "%s() takes %zd positional arguments but %zd %s given", signature.function,
                 count, nargs, nargs == 1 ? "was" : "were");
    return false;
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];

  const Py_ssize_t keywords = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
  for (Py_ssize_t k = 0; k < keywords; ++k) {
    PyObject* name = PyTuple_GET_ITEM(kwnames, k);
    const Py_ssize_t index = PyUnicode_Check(name) ? find_parameter(signature, name) : -1;
    if (index < 0) {
      raise_unexpected_keyword(signature, name);
      return false;
    }
    if (slots[index] != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", signature.function,
                   signature.parameters[index]);
      return false;
    }
    slots[index] = args[nargs + k];
  }

  std::array<const char*, 32> missing{};
  std::size_t missing_count = 0;
  for (Py_ssize_t i = 0; i < count; ++i) {
    if (slots[i] == nullptr) missing[missing_count++] = signature.parameters[i];
  }
  if (missing_count != 0) {
    const std::string names = join_names({missing.data(), missing_count});
    PyErr_Format(PyExc_TypeError, "%s() missing %zu required positional argument%s: %s", signature.function,
                 missing_count, missing_count == 1 ? "" : "s", names.c_str());
    return false;
  }
  return true;
}

void raise_current_exception() noexcept {
  try {
    try {
      throw;
    } catch (const std::bad_alloc&) {
      PyErr_NoMemory();
    } catch (const std::exception& failure) {
      raise_panic(failure.what());
    } catch (...) {
      raise_panic("a panic occurred in native code");
    }
  } catch (...) {
    // Failing while reporting a failure leaves no sound way back into Python.
    std::fputs("uncaught panic at ffi boundary\n", stderr);
    std::abort();
  }
}

}  // namespace corvane::python

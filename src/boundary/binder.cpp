#include "boundary/binder.hpp"

#include <array>
#include <cstddef>
#include <string>

namespace corvane::boundary {
namespace {

// 'a'; 'a' and 'b'; 'a', 'b' and 'c'
std::string join_names(std::span<const std::string_view> names) {
  std::string joined;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) joined += i + 1 == names.size() ? " and " : ", ";
    joined += '\'';
    joined += names[i];
    joined += '\'';
  }
  return joined;
}

// Every access holds the interpreter lock. If interning let another thread
// in and that thread interned the name too, the first one stored wins. A
// name that cannot be interned is left out; its bytes still match.
void intern_names(const CallSignature& signature) {
  for (std::size_t i = 0; i < signature.interned.size(); ++i) {
    if (signature.interned[i] != nullptr) continue;
    PyObject* name = PyUnicode_InternFromString(signature.parameters[i].data());
    if (name == nullptr) {
      PyErr_Clear();
    } else if (signature.interned[i] == nullptr) {
      signature.interned[i] = name;
    } else {
      Py_DECREF(name);
    }
  }
}

// Index of the parameter that `name` names, or -1. The interpreter interns
// keyword names written in source, so identity finds most of them.
Py_ssize_t find_parameter(const CallSignature& signature, PyObject* name) {
  if (signature.interned.back() == nullptr) intern_names(signature);
  for (std::size_t i = 0; i < signature.interned.size(); ++i) {
    if (signature.interned[i] == name) return static_cast<Py_ssize_t>(i);
  }
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(name, &size);
  if (utf8 == nullptr) {
    PyErr_Clear();  // a str that has no UTF-8 names no parameter
    return -1;
  }
  const std::string_view bytes(utf8, static_cast<std::size_t>(size));
  for (std::size_t i = 0; i < signature.parameters.size(); ++i) {
    if (signature.parameters[i] == bytes) return static_cast<Py_ssize_t>(i);
  }
  return -1;
}

}  // namespace

bool bind(const CallSignature& signature, PyObject** slots, PyObject* const* args, Py_ssize_t nargs,
          PyObject* kwnames) {
  const char* function = signature.function.data();
  const auto count = static_cast<Py_ssize_t>(signature.parameters.size());
  if (nargs > count) {
    PyErr_Format(PyExc_TypeError, "%s() takes %zd positional arguments but %zd %s given", function, count, nargs,
                 nargs == 1 ? "was" : "were");
    return false;
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];

  const Py_ssize_t keywords = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
  for (Py_ssize_t k = 0; k < keywords; ++k) {
    PyObject* name = PyTuple_GET_ITEM(kwnames, k);
    const Py_ssize_t index = PyUnicode_Check(name) && count != 0 ? find_parameter(signature, name) : -1;
    if (index < 0) {
      PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%S'", function, name);
      return false;
    }
    if (slots[index] != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", function,
                   signature.parameters[index].data());
      return false;
    }
    slots[index] = args[nargs + k];
  }

  std::array<std::string_view, kMaxParameters> missing{};
  std::size_t missing_count = 0;
  for (Py_ssize_t i = 0; i < count; ++i) {
    if (slots[i] == nullptr) missing[missing_count++] = signature.parameters[i];
  }
  if (missing_count != 0) {
    const std::string names = join_names({missing.data(), missing_count});
    PyErr_Format(PyExc_TypeError, "%s() missing %zu required positional argument%s: %s", function, missing_count,
                 missing_count == 1 ? "" : "s", names.c_str());
    return false;
  }
  return true;
}

}  // namespace corvane::boundary

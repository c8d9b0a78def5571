// The call frame every function passes through, in three steps: bind the
// caller's arguments and convert them into the call's native values (needs
// the interpreter lock), run the implementation on them (pure native work),
// and turn its outcome into a Python result or exception (needs the lock).
// A handler runs all three with the lock held and is the one place that
// catches C++ exceptions: none ever leaves it.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "base/bytes.hpp"
#include "base/expected.hpp"
#include "boundary/binder.hpp"
#include "boundary/exceptions.hpp"
#include "functions/body_check.hpp"

namespace corvane::boundary {

// The binding description of a declaration, its names interned on first use.
template <class Declaration>
CallSignature call_signature() {
  static_assert(Declaration::parameters.size() <= kMaxParameters);
  static std::array<PyObject*, Declaration::parameters.size()> interned{};
  return {Declaration::name, Declaration::parameters, interned};
}

// Step one: binds the vectorcall arguments and converts each, in parameter
// order, into `values`. False with the exception set; a conversion failure
// carries the "while processing" note. Text values view the caller's str
// objects: code that runs step two without the lock keeps them referenced.
template <class Declaration>
bool bind_and_convert(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      typename Declaration::Values& values) {
  std::array<PyObject*, Declaration::parameters.size()> slots{};
  if (!bind(call_signature<Declaration>(), slots.data(), args, nargs, kwnames)) return false;
  const std::ptrdiff_t failed = Declaration::convert(slots, values);
  if (failed < 0) return true;
  add_conversion_note(Declaration::parameters[static_cast<std::size_t>(failed)].data());
  return false;
}

// Step three: the result as a new reference, or nullptr with the error value
// raised.
PyObject* to_python(Expected<std::string>&& outcome);
PyObject* to_python(Expected<bool>&& outcome);
PyObject* to_python(Expected<ByteVector>&& outcome);
PyObject* to_python(Expected<std::vector<std::string>>&& outcome);  // a list of str
// The tuple (ok, payload bytes or None, reason or None).
PyObject* to_python(Expected<functions::BodyCheck>&& outcome);

// Sets the exception for whatever C++ exception is in flight: out of memory
// becomes MemoryError, anything else PanicException.
void raise_current_exception() noexcept;

// The fast-call handler of a declaration.
template <class Declaration>
PyObject* handle(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
  try {
    typename Declaration::Values values;
    if (!bind_and_convert<Declaration>(args, nargs, kwnames, values)) return nullptr;
    return to_python(Declaration::call(values));
  } catch (...) {
    raise_current_exception();
    return nullptr;
  }
}

}  // namespace corvane::boundary

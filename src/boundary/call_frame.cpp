#include "boundary/call_frame.hpp"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

namespace corvane::boundary {

PyObject* to_python(Expected<std::string>&& outcome) {
  if (!outcome) {
    raise_error(outcome.error());
    return nullptr;
  }
  return text_to_python(*outcome);
}

PyObject* to_python(Expected<bool>&& outcome) {
  if (!outcome) {
    raise_error(outcome.error());
    return nullptr;
  }
  return Py_NewRef(*outcome ? Py_True : Py_False);
}

PyObject* to_python(Expected<ByteVector>&& outcome) {
  if (!outcome) {
    raise_error(outcome.error());
    return nullptr;
  }
  return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(outcome->data()),
                                   static_cast<Py_ssize_t>(outcome->size()));
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

}  // namespace corvane::boundary

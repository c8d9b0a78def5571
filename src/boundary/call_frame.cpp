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

PyObject* to_python(Expected<std::vector<std::string>>&& outcome) {
  if (!outcome) {
    raise_error(outcome.error());
    return nullptr;
  }
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(outcome->size()));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < outcome->size(); ++i) {
    PyObject* text = text_to_python((*outcome)[i]);
    if (text == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), text);
  }
  return list;
}

PyObject* to_python(Expected<functions::BodyCheck>&& outcome) {
  if (!outcome) {
    raise_error(outcome.error());
    return nullptr;
  }
  const std::optional<ByteVector>& payload = outcome->payload;
  const std::string& reason = outcome->reason;
  PyObject* ok = Py_NewRef(reason.empty() ? Py_True : Py_False);
  PyObject* bytes = payload ? PyBytes_FromStringAndSize(reinterpret_cast<const char*>(payload->data()),
                                                        static_cast<Py_ssize_t>(payload->size()))
                            : Py_NewRef(Py_None);
  PyObject* text = reason.empty() ? Py_NewRef(Py_None) : text_to_python(reason);
  PyObject* result = ok != nullptr && bytes != nullptr && text != nullptr ? PyTuple_Pack(3, ok, bytes, text) : nullptr;
  Py_XDECREF(ok);
  Py_XDECREF(bytes);
  Py_XDECREF(text);
  return result;
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

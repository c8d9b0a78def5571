#include "boundary/exceptions.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace corvane::boundary {
namespace {

constexpr const char* kPanicDoc =
    "\n"
    "The exception raised when the native code of this module panics.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "interpreter to exit.\n";

// Created on first use and kept for the life of the process. Every access
// holds the interpreter lock; if creating it let another thread in and that
// thread created one too, the first one stored wins.
PyObject* panic_type() {
  static PyObject* type = nullptr;
  if (type != nullptr) return type;
  PyObject* created =
      PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", kPanicDoc, PyExc_BaseException, nullptr);
  if (created == nullptr) return nullptr;
  if (type == nullptr) {
    type = created;
  } else {
    Py_DECREF(created);
  }
  return type;
}

PyObject* interned_add_note() {
  static PyObject* name = nullptr;
  if (name == nullptr) name = PyUnicode_InternFromString("add_note");
  return name;
}

}  // namespace

PyObject* text_to_python(std::string_view text) {
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

void raise_error(const Error& error) {
  PyObject* type = error.kind == ErrorKind::value ? PyExc_ValueError : PyExc_RuntimeError;
  PyObject* message = text_to_python(error.message);
  if (message == nullptr) return;
  PyErr_SetObject(type, message);
  Py_DECREF(message);
}

void raise_panic(std::string_view message) noexcept {
  PyObject* type = panic_type();
  if (type == nullptr) {
    // Nothing better can be raised if the type itself cannot be made.
    PyErr_Clear();
    PyErr_SetString(PyExc_SystemError, "Failed to initialize new exception type.");
    return;
  }
  PyObject* text = text_to_python(message);
  if (text == nullptr) return;
  PyErr_SetObject(type, text);
  Py_DECREF(text);
}

void raise_type_mismatch(PyObject* object, const char* target) {
  if (object == Py_None) {
    PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", target);
    return;
  }
  PyObject* name = PyType_GetQualName(Py_TYPE(object));
  if (name == nullptr) {
    PyErr_Clear();
    PyErr_Format(PyExc_TypeError, "'<failed to extract type name>' object is not an instance of '%s'", target);
    return;
  }
  PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'", name, target);
  Py_DECREF(name);
}

void ensure_exception_set() {
  if (!PyErr_Occurred()) {
    PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
  }
}

void add_conversion_note(const char* parameter) {
  ensure_exception_set();
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  PyObject* note = PyUnicode_FromFormat("while processing '%s'", parameter);
  PyObject* method = interned_add_note();
  if (note != nullptr && method != nullptr && value != nullptr) {
    PyObject* call_args[] = {value, note};
    PyObject* result = PyObject_VectorcallMethod(method, call_args, 2 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr);
    Py_XDECREF(result);
  }
  Py_XDECREF(note);
  // A note that cannot be added is dropped; the conversion failure stands.
  PyErr_Clear();
  if (traceback != nullptr && value != nullptr) PyException_SetTraceback(value, traceback);
  PyErr_Restore(type, value, traceback);
}

}  // namespace corvane::boundary

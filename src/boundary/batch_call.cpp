#include "boundary/batch_call.hpp"

#include <string>

#include "boundary/conversion.hpp"
#include "boundary/exceptions.hpp"

namespace corvane::boundary {
namespace {

// The exception that is set, as an instance (a new reference), with its
// traceback; none is set afterwards.
PyObject* take_exception() {
  ensure_exception_set();
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (value != nullptr && traceback != nullptr) PyException_SetTraceback(value, traceback);
  Py_XDECREF(type);
  Py_XDECREF(traceback);
  return value;
}

}  // namespace

BatchCall::~BatchCall() {
  Py_XDECREF(results_);
  Py_XDECREF(arguments_);
  Py_XDECREF(items_);
}

bool BatchCall::open(PyObject* items, const char* parameter) {
  // A copy, so that other threads changing the caller's list cannot move the
  // items under us.
  items_ = check_sequence(items) ? PySequence_Tuple(items) : nullptr;
  if (items_ == nullptr) {
    add_conversion_note(parameter);
    return false;
  }
  arguments_ = PyList_New(size());
  results_ = PyList_New(size());
  return arguments_ != nullptr && results_ != nullptr;
}

Py_ssize_t BatchCall::size() const { return PyTuple_GET_SIZE(items_); }

PyObject* BatchCall::arguments(Py_ssize_t index) {
  PyObject* item = PyTuple_GET_ITEM(items_, index);
  PyObject* tuple = check_sequence(item) ? PySequence_Tuple(item) : nullptr;
  if (tuple == nullptr) {
    const std::string where = "items[" + std::to_string(index) + "]";
    add_conversion_note(where.c_str());
    return nullptr;
  }
  PyList_SET_ITEM(arguments_, index, tuple);
  return tuple;
}

bool BatchCall::fail(Py_ssize_t index) {
  if (PyErr_ExceptionMatches(PyExc_KeyboardInterrupt) || PyErr_ExceptionMatches(PyExc_SystemExit)) return false;
  PyList_SET_ITEM(results_, index, take_exception());
  return true;
}

void BatchCall::settle(Py_ssize_t index, PyObject* result) {
  PyList_SET_ITEM(results_, index, result != nullptr ? result : take_exception());
}

bool BatchCall::settled(Py_ssize_t index) const { return PyList_GET_ITEM(results_, index) != nullptr; }

PyObject* BatchCall::results() {
  PyObject* results = results_;
  results_ = nullptr;
  return results;
}

}  // namespace corvane::boundary

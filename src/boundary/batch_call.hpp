// The Python side of one batch call: the caller's items, each item's
// positional arguments and the list of results being built. Everything here
// needs the interpreter lock; the batch frame runs the items' native work
// without it, in between.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace corvane::boundary {

class BatchCall {
 public:
  BatchCall() = default;
  BatchCall(const BatchCall&) = delete;
  BatchCall& operator=(const BatchCall&) = delete;
  ~BatchCall();

  // Takes the batch's own argument, a sequence of items (not a str). False
  // with the conversion TypeError set, noted with `parameter`.
  bool open(PyObject* items, const char* parameter);

  Py_ssize_t size() const;

  // Item `index` as a tuple of positional arguments, referenced until this
  // call ends, so that views of its str objects stay valid off the lock.
  // nullptr with the TypeError set when the item is a str or no sequence.
  PyObject* arguments(Py_ssize_t index);

  // Makes the exception that is set item `index`'s result. False, leaving
  // it set, when it must end the whole call instead: an interrupt is not
  // about the item.
  bool fail(Py_ssize_t index);

  // Item `index`'s result: `result` (a new reference), or the exception
  // that is set when `result` is nullptr.
  void settle(Py_ssize_t index, PyObject* result);

  // Whether item `index` has its result.
  bool settled(Py_ssize_t index) const;

  // The list of results, handed to the caller.
  PyObject* results();

 private:
  PyObject* items_ = nullptr;      // tuple: the caller's items, copied
  PyObject* arguments_ = nullptr;  // list: each item's argument tuple, once made
  PyObject* results_ = nullptr;    // list: each item's result or exception
};

}  // namespace corvane::boundary

// Turning failures into Python exceptions: the one place that does it.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>

#include "base/error.hpp"

namespace corvane::boundary {

// Sets the exception for an implementation's error value.
void raise_error(const Error& error);

// Sets pyo3_runtime.PanicException(message) for a broken invariant.
void raise_panic(std::string_view message) noexcept;

// Sets TypeError "'{type}' object is not an instance of '{target}'".
void raise_type_mismatch(PyObject* object, const char* target);

// Makes sure an exception is set after a C API call reported failure: one
// that failed without setting any becomes SystemError.
void ensure_exception_set();

// Adds the note "while processing '{parameter}'" to the current exception.
void add_conversion_note(const char* parameter);

// Builds a str from UTF-8 that our own code produced; never fails on bytes
// that are not UTF-8 (they are replaced).
PyObject* text_to_python(std::string_view text);

}  // namespace corvane::boundary

// Conversions from the caller's Python objects to native values, one per
// parameter kind. Each returns false with a Python exception set on failure;
// the call frame adds the "while processing" note.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/secret_bytes.hpp"

namespace corvane::boundary {

// A sequence other than a str, as the list conversions take: else the
// TypeError they raise.
bool check_sequence(PyObject* object);
// Text: the str's UTF-8, viewed in place (the str outlives the call).
bool convert_text(PyObject* object, std::string_view& out);
// Seed bytes: bytes, bytearray or a sequence of integers 0..255.
bool convert_seed_bytes(PyObject* object, SecretBytes& out);
// Text list: a sequence of str (a str itself is refused).
bool convert_text_list(PyObject* object, std::vector<std::string>& out);
// Signed amount: a signed 64-bit integer.
bool convert_signed_amount(PyObject* object, std::int64_t& out);
// Unsigned sequence number: 0..4294967295.
bool convert_sequence_number(PyObject* object, std::uint32_t& out);

}  // namespace corvane::boundary

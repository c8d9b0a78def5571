#include "boundary/conversion.hpp"

#include <algorithm>

#include "boundary/exceptions.hpp"

namespace corvane::boundary {
namespace {

constexpr std::size_t kMaxReservedItems = 1 << 16;
constexpr const char* kOutOfRange = "out of range integral type conversion attempted";

// Converts every element of a sequence into `out` by `convert_item`, in
// order, stopping at the first failure. A str is refused although it is a
// sequence. The length is only a capacity hint.
template <class Out, class ConvertItem>
bool convert_each_item(PyObject* object, Out& out, ConvertItem convert_item) {
  if (!check_sequence(object)) return false;
  const Py_ssize_t hint = PyObject_Size(object);
  if (hint < 0) {
    PyErr_Clear();
  } else {
    // A length is only a hint: an object may claim any length it likes.
    out.reserve(std::min<std::size_t>(static_cast<std::size_t>(hint), kMaxReservedItems));
  }
  PyObject* iterator = PyObject_GetIter(object);
  if (iterator == nullptr) {
    ensure_exception_set();
    return false;
  }
  bool ok = true;
  while (PyObject* item = PyIter_Next(iterator)) {
    ok = convert_item(item);
    Py_DECREF(item);
    if (!ok) break;
  }
  if (ok && PyErr_Occurred()) ok = false;
  Py_DECREF(iterator);
  return ok;
}

bool convert_long(PyObject* object, long& out) {
  out = PyLong_AsLong(object);
  return !(out == -1 && PyErr_Occurred());
}

}  // namespace

bool check_sequence(PyObject* object) {
  if (PyUnicode_Check(object)) {
    PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
    return false;
  }
  if (!PySequence_Check(object)) {
    raise_type_mismatch(object, "Sequence");
    return false;
  }
  return true;
}

bool convert_text(PyObject* object, std::string_view& out) {
  if (!PyUnicode_Check(object)) {
    raise_type_mismatch(object, "str");
    return false;
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(object, &size);
  if (data == nullptr) {
    ensure_exception_set();
    return false;
  }
  out = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

bool convert_seed_bytes(PyObject* object, SecretBytes& out) {
  if (PyBytes_Check(object)) {
    out.assign({reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(object)),
                static_cast<std::size_t>(PyBytes_GET_SIZE(object))});
    return true;
  }
  if (PyByteArray_Check(object)) {
    out.assign({reinterpret_cast<const std::uint8_t*>(PyByteArray_AS_STRING(object)),
                static_cast<std::size_t>(PyByteArray_GET_SIZE(object))});
    return true;
  }
  return convert_each_item(object, out, [&](PyObject* item) {
    long value = 0;
    if (!convert_long(item, value)) return false;
    if (value < 0 || value > 255) {
      PyErr_SetString(PyExc_OverflowError, kOutOfRange);
      return false;
    }
    out.push_back(static_cast<std::uint8_t>(value));
    return true;
  });
}

bool convert_text_list(PyObject* object, std::vector<std::string>& out) {
  return convert_each_item(object, out, [&](PyObject* item) {
    std::string_view text;
    if (!convert_text(item, text)) return false;
    out.emplace_back(text);
    return true;
  });
}

bool convert_signed_amount(PyObject* object, std::int64_t& out) {
  long value = 0;
  if (!convert_long(object, value)) return false;
  out = value;
  return true;
}

bool convert_sequence_number(PyObject* object, std::uint32_t& out) {
  long value = 0;
  if (!convert_long(object, value)) return false;
  if (value < 0 || value > 4294967295L) {
    PyErr_SetString(PyExc_OverflowError, kOutOfRange);
    return false;
  }
  out = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace corvane::boundary

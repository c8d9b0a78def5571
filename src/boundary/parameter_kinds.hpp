// The parameter kinds a declaration can use. Each names the native value
// that owns a converted argument for the call, its converter, and the view the
// implementation's request receives.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/secret_bytes.hpp"
#include "boundary/conversion.hpp"

namespace corvane::boundary {

// A view of the str's own UTF-8, valid while the caller's object lives.
struct Text {
  using Owner = std::string_view;
  static bool convert(PyObject* object, Owner& out) { return convert_text(object, out); }
  static std::string_view view(const Owner& owner) { return owner; }
};

// None, or a str viewed as Text is.
struct OptionalText {
  using Owner = std::optional<std::string_view>;
  static bool convert(PyObject* object, Owner& out) {
    if (object == Py_None) {
      out.reset();
      return true;
    }
    return convert_text(object, out.emplace());
  }
  static std::optional<std::string_view> view(const Owner& owner) { return owner; }
};

// Wiped when the call's values are released.
struct SeedBytes {
  using Owner = SecretBytes;
  static bool convert(PyObject* object, Owner& out) { return convert_seed_bytes(object, out); }
  static std::span<const std::uint8_t> view(const Owner& owner) { return owner.view(); }
};

// Seed bytes handed over wrapped in View (a struct of one span), for an
// implementation that takes bytes of more than one meaning in one place.
template <class View>
struct BytesAs {
  using Owner = SecretBytes;
  static bool convert(PyObject* object, Owner& out) { return convert_seed_bytes(object, out); }
  static View view(const Owner& owner) { return View{owner.view()}; }
};

struct TextList {
  using Owner = std::vector<std::string>;
  static bool convert(PyObject* object, Owner& out) { return convert_text_list(object, out); }
  static std::span<const std::string> view(const Owner& owner) { return owner; }
};

struct SignedAmount {
  using Owner = std::int64_t;
  static bool convert(PyObject* object, Owner& out) { return convert_signed_amount(object, out); }
  static std::int64_t view(Owner owner) { return owner; }
};

struct SequenceNumber {
  using Owner = std::uint32_t;
  static bool convert(PyObject* object, Owner& out) { return convert_sequence_number(object, out); }
  static std::uint32_t view(Owner owner) { return owner; }
};

}  // namespace corvane::boundary

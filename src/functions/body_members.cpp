#include "functions/body_members.hpp"

#include <algorithm>
#include <array>

#include "encoding/base64.hpp"

namespace corvane::functions {
namespace {

using encoding::JsonKind;
using encoding::JsonValue;

const JsonValue kNull;

}  // namespace

std::string_view json_type_name(const JsonValue& value) {
  switch (value.kind()) {
    case JsonKind::null: return "null";
    case JsonKind::boolean: return "a boolean";
    case JsonKind::unsigned_integer:
    case JsonKind::negative_integer: return "an integer";
    case JsonKind::floating: return "a float";
    case JsonKind::string: return "a string";
    case JsonKind::array: return "an array";
    case JsonKind::object: return "an object";
  }
  return "a value";
}

BodyMembers::BodyMembers(const JsonValue& object, std::string_view prefix) : object_(object), prefix_(prefix) {}

void BodyMembers::fault(std::string_view name, std::string_view problem) {
  if (!first_fault_) first_fault_ = Error(std::string(prefix_) + std::string(name) + ": " + std::string(problem));
}

void BodyMembers::wrong_type(std::string_view name, std::string_view wanted, const JsonValue& found) {
  fault(name, "expected " + std::string(wanted) + ", found " + std::string(json_type_name(found)));
}

void BodyMembers::adopt(const BodyMembers& nested) {
  if (!first_fault_) first_fault_ = nested.first_fault_;
}

const JsonValue* BodyMembers::optional(std::string_view name) const {
  const JsonValue* value = object_.find(name);
  return value == nullptr || value->is_null() ? nullptr : value;
}

const JsonValue& BodyMembers::any(std::string_view name) {
  const JsonValue* value = object_.find(name);
  if (value == nullptr) fault(name, "missing");
  return first_fault_ || value == nullptr ? kNull : *value;
}

// The member if it has `kind`; else nullptr, with the fault kept.
const JsonValue* BodyMembers::member(std::string_view name, JsonKind kind, std::string_view wanted) {
  const JsonValue& value = any(name);
  if (first_fault_) return nullptr;
  if (value.kind() != kind) {
    wrong_type(name, wanted, value);
    return nullptr;
  }
  return &value;
}

std::string_view BodyMembers::text(std::string_view name) {
  const JsonValue* value = member(name, JsonKind::string, "a string");
  return value != nullptr ? value->as_string() : std::string_view();
}

std::string_view BodyMembers::optional_text(std::string_view name) {
  return optional(name) != nullptr ? text(name) : std::string_view();
}

std::int64_t BodyMembers::integer(std::string_view name, std::int64_t min, std::int64_t max) {
  const JsonValue& value = any(name);
  if (first_fault_) return 0;
  if (value.kind() == JsonKind::unsigned_integer) {
    if (value.as_unsigned() <= static_cast<std::uint64_t>(max)) return static_cast<std::int64_t>(value.as_unsigned());
    fault(name, "out of range: " + std::to_string(value.as_unsigned()));
  } else if (value.kind() == JsonKind::negative_integer) {
    if (value.as_negative() >= min) return value.as_negative();
    fault(name, "out of range: " + std::to_string(value.as_negative()));
  } else {
    wrong_type(name, "an integer", value);
  }
  return 0;
}

std::vector<std::string> BodyMembers::texts(std::string_view name) {
  std::vector<std::string> out;
  const JsonValue* value = member(name, JsonKind::array, "an array");
  if (value == nullptr) return out;
  const auto items = value->as_array();
  out.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind() != JsonKind::string) {
      wrong_type(std::string(name) + "[" + std::to_string(i) + "]", "a string", items[i]);
      return {};
    }
    out.emplace_back(items[i].as_string());
  }
  return out;
}

template <std::size_t N>
std::array<std::uint8_t, N> BodyMembers::base64_member(std::string_view name) {
  std::array<std::uint8_t, N> out{};
  const std::string_view value = text(name);
  if (first_fault_) return out;
  const auto bytes = encoding::decode_base64(value);
  const std::string wanted = "not base64 of " + std::to_string(N) + " bytes (";
  if (!bytes) {
    fault(name, wanted + bytes.error().message + ")");
  } else if (bytes->size() != N) {
    fault(name, wanted + "decodes to " + std::to_string(bytes->size()) + " bytes)");
  } else {
    std::copy(bytes->begin(), bytes->end(), out.begin());
  }
  return out;
}

crypto::PublicKey BodyMembers::public_key(std::string_view name) {
  return base64_member<crypto::PublicKey{}.size()>(name);
}

crypto::Signature BodyMembers::signature(std::string_view name) {
  return base64_member<crypto::Signature{}.size()>(name);
}

}  // namespace corvane::functions

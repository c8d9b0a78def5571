// Reading the members of a request body by type, each fault one reason that
// names the member.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "crypto/signing_key.hpp"
#include "encoding/json_value.hpp"

namespace corvane::functions {

// "null", "a boolean", "an integer", "a float", "a string", "an array" or "an object".
std::string_view json_type_name(const encoding::JsonValue& value);

// The members of one JSON object of a body, read in the order of the calls.
// The first fault is kept and the reads after it give empty values, so that a
// caller reads everything it needs and then asks for the first fault: an
// Error whose message is the reason, "{prefix}{name}: missing",
// "{prefix}{name}: expected a string, found an integer" and so on.
class BodyMembers {
 public:
  // `prefix` names the object in reasons ("policy_binding."); the object
  // must outlive the views handed out.
  explicit BodyMembers(const encoding::JsonValue& object, std::string_view prefix = {});

  // The member, or nullptr when it is absent or null; never a fault.
  const encoding::JsonValue* optional(std::string_view name) const;
  // The member, of any type, null included.
  const encoding::JsonValue& any(std::string_view name);
  std::string_view text(std::string_view name);
  // Absent or null is the empty text.
  std::string_view optional_text(std::string_view name);
  std::int64_t integer(std::string_view name, std::int64_t min, std::int64_t max);
  // An array of strings, each as held.
  std::vector<std::string> texts(std::string_view name);
  // Base64 of exactly 32 or 64 bytes.
  crypto::PublicKey public_key(std::string_view name);
  crypto::Signature signature(std::string_view name);

  // Keeps "{prefix}{name}: {problem}" unless a fault came first.
  void fault(std::string_view name, std::string_view problem);
  // "{prefix}{name}: expected {wanted}, found {the type of found}".
  void wrong_type(std::string_view name, std::string_view wanted, const encoding::JsonValue& found);
  // Keeps the first fault of a reader of a nested object, unless one came first.
  void adopt(const BodyMembers& nested);

  const std::optional<Error>& first_fault() const { return first_fault_; }

 private:
  const encoding::JsonValue* member(std::string_view name, encoding::JsonKind kind, std::string_view wanted);
  template <std::size_t N>
  std::array<std::uint8_t, N> base64_member(std::string_view name);

  const encoding::JsonValue& object_;
  std::string_view prefix_;
  std::optional<Error> first_fault_;
};

}  // namespace corvane::functions

// The parsed form of a JSON text.
#pragma once

#include <algorithm>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "internal_failure.hpp"

namespace corvane::encoding {

enum class JsonKind : std::uint8_t {
  null,
  boolean,
  unsigned_integer,  // 0 to 2^64 - 1
  negative_integer,  // -2^63 to -1; a non-negative integer is always unsigned
  floating,          // binary64; always finite when read from text
  string,            // UTF-8 bytes, may hold NUL
  array,
  object,            // members sorted by key bytes, each key once
};

class JsonValue;
class JsonMember;
using JsonArray = std::vector<JsonValue>;
using JsonObject = std::vector<JsonMember>;

// A JSON value that owns its children. It takes 16 bytes: numbers and strings
// of up to 14 bytes live in place, so a parsed document needs not much more
// memory than its text.
class JsonValue {
 public:
  JsonValue() noexcept { raw_.kind = JsonKind::null; }
  JsonValue(std::nullptr_t) noexcept : JsonValue() {}
  JsonValue(bool value) noexcept { set(JsonKind::boolean, value); }
  template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>)
  JsonValue(T value) noexcept {
    if constexpr (std::is_signed_v<T>) {
      if (value < 0) {
        set(JsonKind::negative_integer, static_cast<std::int64_t>(value));
        return;
      }
    }
    set(JsonKind::unsigned_integer, static_cast<std::uint64_t>(value));
  }
  JsonValue(double value) noexcept { set(JsonKind::floating, value); }
  JsonValue(std::string_view text) { set_string(text); }
  JsonValue(const char* text) : JsonValue(std::string_view(text)) {}
  JsonValue(const std::string& text) : JsonValue(std::string_view(text)) {}
  JsonValue(JsonArray items) {
    set(JsonKind::array, items.empty() ? nullptr : new JsonArray(std::move(items)));
  }
  // Sorts the members by key bytes; of members with the same key the last one
  // given is kept.
  inline JsonValue(JsonObject members);

  inline JsonValue(const JsonValue& other);
  JsonValue(JsonValue&& other) noexcept : raw_(other.raw_) { other.raw_.kind = JsonKind::null; }
  JsonValue& operator=(const JsonValue& other) {
    if (this != &other) *this = JsonValue(other);
    return *this;
  }
  JsonValue& operator=(JsonValue&& other) noexcept {
    if (this != &other) {
      release();
      raw_ = other.raw_;
      other.raw_.kind = JsonKind::null;
    }
    return *this;
  }
  ~JsonValue() { release(); }

  JsonKind kind() const noexcept { return raw_.kind; }
  bool is_null() const noexcept { return kind() == JsonKind::null; }

  // Each accessor requires its kind; asking for another is a programming error
  // and throws InternalFailure.
  bool as_bool() const { return get<bool>(JsonKind::boolean); }
  std::uint64_t as_unsigned() const { return get<std::uint64_t>(JsonKind::unsigned_integer); }
  std::int64_t as_negative() const { return get<std::int64_t>(JsonKind::negative_integer); }
  double as_float() const { return get<double>(JsonKind::floating); }
  std::string_view as_string() const {
    if (kind() == JsonKind::string && raw_.string_size != kLongString) {
      return {reinterpret_cast<const char*>(raw_.bytes), raw_.string_size};
    }
    const char* block = get<char*>(JsonKind::string);
    std::size_t size;
    std::memcpy(&size, block, sizeof size);
    return {block + sizeof size, size};
  }
  std::span<const JsonValue> as_array() const {
    const JsonArray* items = get<JsonArray*>(JsonKind::array);
    return items ? std::span<const JsonValue>(*items) : std::span<const JsonValue>();
  }
  inline std::span<const JsonMember> as_object() const;

  // The value of the member with this key, or nullptr; requires an object.
  inline const JsonValue* find(std::string_view key) const;

  // Structural equality; floats are equal when their bits are (so 0.0 and -0.0
  // differ, as their texts do).
  friend inline bool operator==(const JsonValue& a, const JsonValue& b);

 private:
  static constexpr std::size_t kShortCapacity = 14;
  static constexpr std::uint8_t kLongString = 0xFF;

  // Trivially copyable, so that moving a value copies 16 bytes.
  struct Raw {
    // The payload, by kind: bool, std::uint64_t, std::int64_t or double; the
    // bytes of a short string; or an owning pointer: char* to a long string
    // (its length as a std::size_t, then its bytes), JsonArray* or
    // JsonObject* (nullptr when empty).
    alignas(8) unsigned char bytes[kShortCapacity];
    std::uint8_t string_size;  // string kind: length of a short string, or kLongString
    JsonKind kind;
  };

  template <class T>
  void set(JsonKind kind, T payload) noexcept {
    static_assert(sizeof(T) <= 8 && std::is_trivially_copyable_v<T>);
    std::memcpy(raw_.bytes, &payload, sizeof payload);
    raw_.kind = kind;
  }

  template <class T>
  T get(JsonKind kind) const {
    if (raw_.kind != kind) throw InternalFailure("JSON value accessed as the wrong kind");
    return payload<T>();
  }

  template <class T>
  T payload() const noexcept {
    T value;
    std::memcpy(&value, raw_.bytes, sizeof value);
    return value;
  }

  void set_string(std::string_view text) {
    if (text.size() <= kShortCapacity) {
      if (!text.empty()) std::memcpy(raw_.bytes, text.data(), text.size());
      raw_.string_size = static_cast<std::uint8_t>(text.size());
      raw_.kind = JsonKind::string;
      return;
    }
    const std::size_t size = text.size();
    char* block = new char[sizeof size + size];
    std::memcpy(block, &size, sizeof size);
    std::memcpy(block + sizeof size, text.data(), size);
    set(JsonKind::string, block);
    raw_.string_size = kLongString;
  }

  inline void release() noexcept;

  Raw raw_{};
};

static_assert(sizeof(JsonValue) == 16);

class JsonMember {
 public:
  JsonMember(std::string_view key, JsonValue value) : key_(key), value_(std::move(value)) {}
  // Adopts a string value as the key without copying its bytes.
  static JsonMember from_key_value(JsonValue key, JsonValue value) {
    if (key.kind() != JsonKind::string) throw InternalFailure("JSON member key is not a string");
    return JsonMember(AdoptKey{}, std::move(key), std::move(value));
  }

  std::string_view key() const { return key_.as_string(); }
  const JsonValue& value() const { return value_; }

  friend bool operator==(const JsonMember& a, const JsonMember& b) = default;

 private:
  struct AdoptKey {};
  JsonMember(AdoptKey, JsonValue&& key, JsonValue&& value) : key_(std::move(key)), value_(std::move(value)) {}

  JsonValue key_;  // always a string
  JsonValue value_;
};

inline JsonValue::JsonValue(JsonObject members) {
  const auto key_less = [](const JsonMember& a, const JsonMember& b) { return a.key() < b.key(); };
  // Parsed and built objects usually arrive sorted already; stable sorting
  // keeps repeated keys in input order, so the last of each run is the one kept.
  const bool strictly_sorted = std::adjacent_find(members.begin(), members.end(), [&](const auto& a, const auto& b) {
                                 return !key_less(a, b);
                               }) == members.end();
  if (!strictly_sorted) {
    std::stable_sort(members.begin(), members.end(), key_less);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < members.size(); ++i) {
      if (i + 1 < members.size() && members[i + 1].key() == members[i].key()) continue;
      if (kept != i) members[kept] = std::move(members[i]);
      ++kept;
    }
    if (kept != members.size()) {
      members.erase(members.begin() + static_cast<std::ptrdiff_t>(kept), members.end());
      members.shrink_to_fit();
    }
  }
  set(JsonKind::object, members.empty() ? nullptr : new JsonObject(std::move(members)));
}

inline JsonValue::JsonValue(const JsonValue& other) : raw_(other.raw_) {
  switch (other.kind()) {
    case JsonKind::string:
      if (other.raw_.string_size == kLongString) set_string(other.as_string());
      break;
    case JsonKind::array:
      if (const auto* items = other.payload<JsonArray*>()) set(JsonKind::array, new JsonArray(*items));
      break;
    case JsonKind::object:
      if (const auto* members = other.payload<JsonObject*>()) set(JsonKind::object, new JsonObject(*members));
      break;
    default:
      break;
  }
}

inline std::span<const JsonMember> JsonValue::as_object() const {
  const JsonObject* members = get<JsonObject*>(JsonKind::object);
  return members ? std::span<const JsonMember>(*members) : std::span<const JsonMember>();
}

inline const JsonValue* JsonValue::find(std::string_view key) const {
  const auto members = as_object();
  const auto it = std::lower_bound(members.begin(), members.end(), key,
                                   [](const JsonMember& m, std::string_view k) { return m.key() < k; });
  return it != members.end() && it->key() == key ? &it->value() : nullptr;
}

inline bool operator==(const JsonValue& a, const JsonValue& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case JsonKind::null:
      return true;
    case JsonKind::boolean:
      return a.as_bool() == b.as_bool();
    case JsonKind::unsigned_integer:
      return a.as_unsigned() == b.as_unsigned();
    case JsonKind::negative_integer:
      return a.as_negative() == b.as_negative();
    case JsonKind::floating:
      return std::bit_cast<std::uint64_t>(a.as_float()) == std::bit_cast<std::uint64_t>(b.as_float());
    case JsonKind::string:
      return a.as_string() == b.as_string();
    case JsonKind::array:
      return std::ranges::equal(a.as_array(), b.as_array());
    case JsonKind::object:
      return std::ranges::equal(a.as_object(), b.as_object());
  }
  return false;
}

inline void JsonValue::release() noexcept {
  switch (raw_.kind) {
    case JsonKind::string:
      if (raw_.string_size == kLongString) delete[] payload<char*>();
      break;
    case JsonKind::array:
      delete payload<JsonArray*>();
      break;
    case JsonKind::object:
      delete payload<JsonObject*>();
      break;
    default:
      break;
  }
  raw_.kind = JsonKind::null;
}

}  // namespace corvane::encoding

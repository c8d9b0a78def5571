// The parsed form of a JSON text.
#pragma once

#include <algorithm>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/internal_failure.hpp"
#include "encoding/copy_bytes.hpp"
#include "encoding/json_arena.hpp"
#include "encoding/json_key_order.hpp"

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

class JsonMember;
class JsonTreeBuilder;

// A JSON value read from text. It takes 16 bytes: numbers and strings of up
// to 14 bytes live in place, and an array, object or longer string is a block
// of exactly its size. All blocks of a document are in one JsonArena, owned by
// the root value, so that a document needs about twice the memory of its text
// and is freed at once. Values move but are not copied: nothing is shared.
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

  JsonValue(const JsonValue&) = delete;
  JsonValue& operator=(const JsonValue&) = delete;
  JsonValue(JsonValue&& other) noexcept : raw_(other.raw_) { other.become_null(); }
  JsonValue& operator=(JsonValue&& other) noexcept {
    if (this != &other) {
      release();
      raw_ = other.raw_;
      other.become_null();
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
    if (kind() == JsonKind::string && raw_.short_size <= kShortCapacity) {
      return {reinterpret_cast<const char*>(raw_.bytes), raw_.short_size};
    }
    return {get<const char*>(JsonKind::string), count()};
  }
  std::span<const JsonValue> as_array() const { return {get<const JsonValue*>(JsonKind::array), count()}; }
  std::span<const JsonMember> as_object() const;

  // In-place access to a document read from text, so that it can be mended
  // (a float replaced) without being built again.
  std::span<JsonValue> as_array() { return {get<JsonValue*>(JsonKind::array), count()}; }
  std::span<JsonMember> as_object();
  void replace_float(double value) {
    get<double>(JsonKind::floating);  // requires a float
    set(JsonKind::floating, value);
  }

  // The value of the member with this key, or nullptr; requires an object.
  const JsonValue* find(std::string_view key) const;

  // Structural equality; floats are equal when their bits are (so 0.0 and -0.0
  // differ, as their texts do).
  friend bool operator==(const JsonValue& a, const JsonValue& b);

 private:
  friend class JsonTreeBuilder;

  static constexpr std::size_t kShortCapacity = 14;
  // What a value with a block (a long string, an array or an object) holds in
  // place of a short string's length: whether it frees the arena.
  static constexpr std::uint8_t kArenaBlock = 0xFE;  // no: its document's root does
  static constexpr std::uint8_t kArenaRoot = 0xFD;   // yes: it is a document's root
  static constexpr int kCountBytes = 6;

  // Trivially copyable, so that moving a value copies 16 bytes.
  struct Raw {
    // Bytes 0-7: the payload, by kind a bool, std::uint64_t, std::int64_t or
    // double, or the pointer to a long string's bytes, an array's items or
    // an object's members in its document's arena. Bytes 8-13: their
    // count, little-endian. A short string uses bytes 0-13 for its bytes.
    alignas(8) unsigned char bytes[kShortCapacity];
    std::uint8_t short_size;  // the length of a short string, or who frees the block
    JsonKind kind;
  };

  template <class T>
  void set(JsonKind kind, T payload) noexcept {
    static_assert(sizeof(T) <= 8 && std::is_trivially_copyable_v<T>);
    std::memcpy(raw_.bytes, &payload, sizeof payload);
    raw_.kind = kind;
  }

  template <class T>
  T payload() const noexcept {
    T value;
    std::memcpy(&value, raw_.bytes, sizeof value);
    return value;
  }

  template <class T>
  T get(JsonKind kind) const {
    if (raw_.kind != kind) throw InternalFailure("JSON value accessed as the wrong kind");
    return payload<T>();
  }

  // Sets kind, pointer, count and owner of a value with a block.
  template <class T>
  void set_block(JsonKind kind, T* block, std::size_t count, std::uint8_t owner) {
    if (count >> (8 * kCountBytes) != 0) throw InternalFailure("JSON value too large");
    set(kind, block);
    for (int i = 0; i < kCountBytes; ++i) raw_.bytes[8 + i] = static_cast<unsigned char>(count >> (8 * i));
    raw_.short_size = owner;
  }

  std::size_t count() const noexcept {
    if constexpr (std::endian::native == std::endian::little) {
      // Bytes 8-15 in one load, less short_size and kind.
      std::uint64_t word;
      std::memcpy(&word, reinterpret_cast<const unsigned char*>(&raw_) + 8, sizeof word);
      return word & ((std::uint64_t{1} << (8 * kCountBytes)) - 1);
    }
    std::size_t count = 0;
    for (int i = kCountBytes - 1; i >= 0; --i) count = (count << 8) | raw_.bytes[8 + i];
    return count;
  }

  // The first eight bytes of a string as a big-endian number, zero-padded
  // (JsonKeyOrder's prefix), read in one go: short strings are zero-padded in
  // place, long ones have more than eight bytes.
  std::uint64_t string_prefix() const noexcept {
    const unsigned char* bytes =
        raw_.short_size <= kShortCapacity ? raw_.bytes : payload<const unsigned char*>();
    std::uint64_t prefix = 0;
    for (int i = 0; i < 8; ++i) prefix = prefix << 8 | bytes[i];  // one load and a byte swap
    return prefix;
  }

  // A short string in place. On a new value, so that the bytes after the text
  // stay zero (string_prefix).
  void set_short_string(std::string_view text) noexcept {
    copy_bytes(reinterpret_cast<char*>(raw_.bytes), text.data(), text.size());
    raw_.short_size = static_cast<std::uint8_t>(text.size());
    raw_.kind = JsonKind::string;
  }

  // The values of a document, whose blocks go into `arena`. The root's
  // block is allocated last and takes the arena over; the values inside own
  // nothing. `keys_and_values` alternate, and `order` says which members
  // are kept, in key order (JsonKeyOrder).
  static JsonValue arena_string(JsonArena& arena, std::string_view text, bool root);
  static JsonValue arena_array(JsonArena& arena, std::span<JsonValue> items, bool root);
  static JsonValue arena_object(JsonArena& arena, std::span<JsonValue> keys_and_values,
                                std::span<const std::uint32_t> order, bool root);

  // Frees what the value owns; leaves a null. Numbers hold 0 in short_size.
  void release() noexcept {
    // Everything of a read document is in its arena, the root's block too.
    if (raw_.short_size == kArenaRoot) JsonArena::release_root(payload<const void*>());
    become_null();
  }
  void become_null() noexcept {
    raw_.short_size = 0;
    raw_.kind = JsonKind::null;
  }

  Raw raw_{};
};

static_assert(sizeof(JsonValue) == 16);

class JsonMember {
 public:
  std::string_view key() const { return key_.as_string(); }
  const JsonValue& value() const { return value_; }
  JsonValue& value() { return value_; }

  friend bool operator==(const JsonMember& a, const JsonMember& b) = default;

 private:
  friend class JsonValue;
  struct AdoptKey {};
  JsonMember(AdoptKey, JsonValue&& key, JsonValue&& value) : key_(std::move(key)), value_(std::move(value)) {}

  JsonValue key_;  // always a string
  JsonValue value_;
};

inline JsonValue JsonValue::arena_string(JsonArena& arena, std::string_view text, bool root) {
  JsonValue string;
  if (text.size() <= kShortCapacity) {
    string.set_short_string(text);
    return string;
  }
  char* block = static_cast<char*>(root ? arena.allocate_root(text.size()) : arena.allocate(text.size()));
  copy_bytes(block, text.data(), text.size());
  string.set_block(JsonKind::string, block, text.size(), root ? kArenaRoot : kArenaBlock);
  return string;
}

inline JsonValue JsonValue::arena_array(JsonArena& arena, std::span<JsonValue> items, bool root) {
  JsonValue array;
  JsonValue* block = nullptr;
  if (root || !items.empty()) {
    const std::size_t size = items.size() * sizeof(JsonValue);
    block = static_cast<JsonValue*>(root ? arena.allocate_root(size) : arena.allocate(size));
    std::uninitialized_move(items.begin(), items.end(), block);
  }
  array.set_block(JsonKind::array, block, items.size(), root ? kArenaRoot : kArenaBlock);
  return array;
}

inline JsonValue JsonValue::arena_object(JsonArena& arena, std::span<JsonValue> keys_and_values,
                                         std::span<const std::uint32_t> order, bool root) {
  JsonValue object;
  JsonMember* block = nullptr;
  if (root || !order.empty()) {
    const std::size_t size = order.size() * sizeof(JsonMember);
    block = static_cast<JsonMember*>(root ? arena.allocate_root(size) : arena.allocate(size));
    for (std::size_t i = 0; i < order.size(); ++i) {
      JsonValue* member = &keys_and_values[2 * std::size_t{order[i]}];
      new (block + i) JsonMember(JsonMember::AdoptKey{}, std::move(member[0]), std::move(member[1]));
    }
  }
  object.set_block(JsonKind::object, block, order.size(), root ? kArenaRoot : kArenaBlock);
  return object;
}

inline std::span<const JsonMember> JsonValue::as_object() const {
  return {get<const JsonMember*>(JsonKind::object), count()};
}

inline std::span<JsonMember> JsonValue::as_object() { return {get<JsonMember*>(JsonKind::object), count()}; }

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

}  // namespace corvane::encoding

#include "encoding/canonical_json.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "encoding/copy_bytes.hpp"
#include "encoding/json_key_order.hpp"
#include "encoding/json_parser.hpp"
#include "encoding/json_writer.hpp"

namespace corvane::encoding {
namespace {

using json_parsing::NumberToken;

// A member of an object still open: its key, and where its text starts in
// the output.
struct OpenMember {
  std::uint64_t prefix;  // JsonKeyOrder's
  const char* key;       // the key's bytes in the input, or nullptr when they are in the key store
  std::size_t key_at;    // where they are in the key store otherwise
  std::size_t key_size;
  std::size_t start;  // the offset of its key's opening quote
};

struct Span {
  std::size_t start;
  std::size_t size;
};

// Working buffers, kept by each thread from one call to the next unless they
// grew large.
struct CanonicalBuffers {
  std::vector<OpenMember> members;  // of every object still open, outermost first
  std::string keys;                 // the decoded keys that had escapes
  std::vector<Span> moved;          // the members of an object put in order that change place
  std::string reordered;            // the text of those but the largest
  std::string scratch;              // the decoded text of a string that has escapes
  JsonKeyOrder key_order;

  std::size_t largest() const {
    return std::max({members.capacity() * sizeof(OpenMember), moved.capacity() * sizeof(Span), keys.capacity(),
                     reordered.capacity(), scratch.capacity(), key_order.capacity() * 16});  // 16 bytes a member
  }
};
constexpr std::size_t kLargestKeptBuffer = 64 * 1024;
thread_local CanonicalBuffers kept_buffers;

// The output: a caller's string, appended to, or a buffer of our own that
// is not zero-filled first.
class StringStorage {
 public:
  explicit StringStorage(std::string& out) : out_(out), start_(out.size()) {}
  std::size_t start() const { return start_; }
  char* resize(std::size_t size) {
    out_.resize(size);
    return out_.data();
  }
  void finish(std::size_t size) { out_.resize(size); }

 private:
  std::string& out_;
  std::size_t start_;
};

class OwnStorage {
 public:
  std::size_t start() const { return 0; }
  char* resize(std::size_t size) {
    std::unique_ptr<char[]> bigger(new char[size]);
    if (size_ != 0) std::memcpy(bigger.get(), bytes_.get(), std::min(size, size_));
    bytes_ = std::move(bigger);
    size_ = size;
    return bytes_.get();
  }
  void finish(std::size_t) {}

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
};

// Writes the compact text of each token as it is read. An object's members
// are written as they come; when the object closes and its keys are not in
// order already, its text is put in key order, each repeated key keeping its
// last member.
template <class Storage>
class CanonicalBuilder {
 public:
  CanonicalBuilder(Storage& storage, std::size_t expected_size, CanonicalBuffers& buffers)
      : storage_(storage), buffers_(buffers) {
    base_ = storage_.resize(storage_.start() + expected_size + kSlack);
    next_ = base_ + storage_.start();
    limit_ = base_ + storage_.start() + expected_size + kSlack;
  }

  JsonKind root_kind() const { return root_kind_; }
  std::string_view text() const { return {base_ + storage_.start(), used() - storage_.start()}; }
  void finish() { storage_.finish(used()); }

  void null_value() {
    note(JsonKind::null);
    put_literal("null");
  }
  void bool_value(bool value) {
    note(JsonKind::boolean);
    value ? put_literal("true") : put_literal("false");
  }
  void number(const NumberToken& number) {
    note(number.kind == NumberToken::Kind::unsigned_integer   ? JsonKind::unsigned_integer
         : number.kind == NumberToken::Kind::negative_integer ? JsonKind::negative_integer
                                                               : JsonKind::floating);
    char* q = room(kMaxJsonFloatSize);
    if (number.canonical_as_written) {
      copy_bytes(q, number.text.data(), number.text.size());
      next_ = q + number.text.size();
      return;
    }
    next_ = number.digits != 0 ? write_json_float_digits(number.float_value < 0, number.digits, number.exponent, q)
                               : write_json_float(number.float_value, q);
  }
  // Strings come in their written form: quoting them is all there is to do.
  static constexpr bool kWantsCanonicalStrings = true;
  void string_value(std::string_view text, bool) {
    note(JsonKind::string);
    next_ = write_plain_json_string(text, room(text.size() + 2));
  }

  int begin_array() {
    note(JsonKind::array);
    ++depth_;
    put('[');
    return 0;
  }
  void array_comma() { put(','); }
  void end_array(int) {
    --depth_;
    put(']');
  }

  struct ObjectMark {
    std::size_t members;
    std::size_t keys;
  };
  ObjectMark begin_object() {
    note(JsonKind::object);
    ++depth_;
    put('{');
    return {buffers_.members.size(), buffers_.keys.size()};
  }
  void object_key(std::string_view key, bool verbatim, bool first) {
    if (!first) put(',');
    OpenMember member{JsonKeyOrder::prefix(key), key.data(), 0, key.size(), used()};
    if (!verbatim) {
      member.key = nullptr;
      member.key_at = buffers_.keys.size();
      buffers_.keys.append(key);
    }
    buffers_.members.push_back(member);
    if (verbatim) [[likely]] {
      char* q = write_plain_json_string(key, room(key.size() + 3));
      *q = ':';
      next_ = q + 1;
      return;
    }
    write_escaped_string(key);
    put(':');
  }
  void end_object(ObjectMark mark) {
    --depth_;
    const std::span<const OpenMember> members = std::span(buffers_.members).subspan(mark.members);
    for (std::size_t i = 1; i < members.size(); ++i) {
      if (!precedes(members[i - 1], members[i])) {
        put_in_key_order(members);
        break;
      }
    }
    buffers_.members.resize(mark.members);
    buffers_.keys.resize(mark.keys);
    put('}');
  }

 private:
  // Past the expected size: room for any token but a string, whose size is
  // asked for.
  static constexpr std::size_t kSlack = 64;
  // Escaped strings are written in parts of this many bytes, each with room
  // for the longest escapes.
  static constexpr std::size_t kEscapedPart = 4096;

  std::size_t used() const { return static_cast<std::size_t>(next_ - base_); }

  void note(JsonKind kind) {
    if (depth_ == 0) root_kind_ = kind;
  }

  char* room(std::size_t size) {
    if (static_cast<std::size_t>(limit_ - next_) < size) [[unlikely]] grow(size);
    return next_;
  }

  [[gnu::noinline]] void grow(std::size_t size) {
    const std::size_t used_now = used();
    const std::size_t capacity = std::max(used_now + size, 2 * static_cast<std::size_t>(limit_ - base_));
    base_ = storage_.resize(capacity);
    next_ = base_ + used_now;
    limit_ = base_ + capacity;
  }

  void put(char c) {
    *room(1) = c;
    ++next_;
  }

  template <std::size_t N>
  void put_literal(const char (&word)[N]) {
    std::memcpy(room(N - 1), word, N - 1);
    next_ += N - 1;
  }

  [[gnu::noinline]] void write_escaped_string(std::string_view text) {
    put('"');
    while (!text.empty()) {
      const std::size_t part = std::min(text.size(), kEscapedPart);
      next_ = write_json_string_body(text.substr(0, part), room(6 * part));
      text.remove_prefix(part);
    }
    put('"');
  }

  std::string_view key_of(const OpenMember& member) const {
    return {member.key != nullptr ? member.key : buffers_.keys.data() + member.key_at, member.key_size};
  }

  bool precedes(const OpenMember& a, const OpenMember& b) const {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return key_of(a) < key_of(b);
  }

  // Rewrites the text of the object's members, from the first key to here,
  // in key order and without the members whose key comes again later.
  // Members that keep their place, from the first on, are left as they are.
  // Of the others in a large object, the largest is moved within the text and
  // the rest go by way of a buffer: a document that is mostly one member
  // needs little more memory than its text.
  [[gnu::noinline]] void put_in_key_order(std::span<const OpenMember> members) {
    const auto order = buffers_.key_order.sort(
        members.size(), [&](std::size_t i) { return key_of(members[i]); },
        [&](std::size_t i) { return members[i].prefix; });
    std::size_t kept = 0;
    while (kept < order.size() && order[kept] == kept) ++kept;
    const std::size_t from = kept == 0 ? members[0].start : members[kept].start - 1;  // at the comma

    // A small object is copied aside whole and gathered back.
    constexpr std::size_t kSmallObject = 4096;
    if (used() - from <= kSmallObject) {
      std::string& text = buffers_.reordered;
      text.assign(base_ + from, used() - from);
      char* q = base_ + from;
      for (std::size_t k = kept; k < order.size(); ++k) {
        const std::size_t i = order[k];
        const std::size_t end = i + 1 < members.size() ? members[i + 1].start - 1 : used();
        if (k != 0) *q++ = ',';
        copy_bytes(q, text.data() + (members[i].start - from), end - members[i].start);
        q += end - members[i].start;
      }
      next_ = q;
      return;
    }

    // Where each member to move starts and how long it is, less the comma
    // after it, in the new order.
    std::vector<Span>& moved = buffers_.moved;
    moved.clear();
    std::size_t largest = 0;
    std::size_t others_size = 0;
    for (std::size_t k = kept; k < order.size(); ++k) {
      const std::size_t i = order[k];
      const std::size_t end = i + 1 < members.size() ? members[i + 1].start - 1 : used();
      moved.push_back({members[i].start, end - members[i].start});
      if (moved.back().size > moved[largest].size) largest = moved.size() - 1;
      others_size += moved.back().size;
    }
    others_size -= moved[largest].size;

    // The others into the buffer; then each member's new place, the largest
    // first, as it may cover where the others were.
    std::string& others = buffers_.reordered;
    if (others.size() < others_size) others.resize(std::max(others_size, 2 * others.size()));
    char* o = others.data();
    std::size_t largest_at = from;
    for (std::size_t m = 0; m < moved.size(); ++m) {
      if (m <= largest) largest_at += (kept + m != 0 ? 1 : 0) + (m < largest ? moved[m].size : 0);
      if (m == largest) continue;
      copy_bytes(o, base_ + moved[m].start, moved[m].size);
      o += moved[m].size;
    }
    std::memmove(base_ + largest_at, base_ + moved[largest].start, moved[largest].size);
    const char* next_other = others.data();
    char* q = base_ + from;
    for (std::size_t m = 0; m < moved.size(); ++m) {
      if (kept + m != 0) *q++ = ',';
      if (m != largest) {
        copy_bytes(q, next_other, moved[m].size);
        next_other += moved[m].size;
      }
      q += moved[m].size;
    }
    next_ = q;
  }

  Storage& storage_;
  CanonicalBuffers& buffers_;
  char* base_ = nullptr;
  char* next_ = nullptr;
  char* limit_ = nullptr;
  int depth_ = 0;
  JsonKind root_kind_ = JsonKind::null;
};

template <class Storage>
Expected<JsonKind> read_canonical(std::string_view text, Storage& storage,
                                  const std::function<void(std::string_view)>* consume) {
  CanonicalBuffers& buffers = kept_buffers;
  buffers.members.clear();
  buffers.keys.clear();
  CanonicalBuilder<Storage> builder(storage, text.size(), buffers);
  json_parsing::JsonParser<CanonicalBuilder<Storage>> parser(text, builder, buffers.scratch);
  const bool ok = parser.read_document();
  if (buffers.largest() > kLargestKeptBuffer) buffers = CanonicalBuffers();
  if (!ok) return fail(parser.error_message());
  builder.finish();
  if (consume != nullptr) (*consume)(builder.text());
  return builder.root_kind();
}

}  // namespace

Expected<CanonicalJson> read_canonical_json(std::string_view text) {
  CanonicalJson json;
  auto kind = append_canonical_json(text, json.text);
  if (!kind) return fail(std::move(kind).error());
  json.kind = *kind;
  return json;
}

Expected<JsonKind> append_canonical_json(std::string_view text, std::string& out) {
  const std::size_t size_before = out.size();
  StringStorage storage(out);
  auto kind = read_canonical(text, storage, nullptr);
  if (!kind) out.resize(size_before);
  return kind;
}

Expected<JsonKind> with_canonical_json(std::string_view text, const std::function<void(std::string_view)>& consume) {
  OwnStorage storage;
  return read_canonical(text, storage, &consume);
}

CanonicalJson canonical_json(const JsonValue& value) { return {to_json(value), value.kind()}; }

}  // namespace corvane::encoding

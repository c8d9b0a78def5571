// The binary encoding of signing payloads: fields appended one after another,
// with no names, padding or framing beyond what each field carries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "base/bytes.hpp"
#include "base/expected.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/uuid.hpp"

namespace corvane::encoding {

class PayloadWriter {
 public:
  PayloadWriter();

  // One byte as it is, also above 250.
  void tag(std::uint8_t value);
  // 0..250 as one byte; otherwise 0xFB, 0xFC or 0xFD and 2, 4 or 8 bytes little-endian.
  void unsigned_int(std::uint64_t value);
  // Zigzag (0, -1, 1, -2 -> 0, 1, 2, 3), then as unsigned_int.
  void signed_int(std::int64_t value);
  // Byte count, then the bytes as given.
  void text(std::string_view value);
  // The length 16, then the 16 bytes.
  void uuid(const Uuid& value);
  // The 32 bytes with no length.
  void bytes32(const corvane::Bytes32& value);
  // The canonical RFC 3339 text as a text field. On failure nothing is appended
  // and the error is the timestamp writer's message.
  corvane::Expected<corvane::Ok> timestamp(const Timestamp& value);

  const corvane::ByteVector& bytes() const { return bytes_; }
  corvane::ByteVector take() && { return std::move(bytes_); }

 private:
  corvane::ByteVector bytes_;
};

// The text form of an encoding error: OtherString("...") with '"' and '\'
// escaped by a backslash.
std::string encoding_error_text(std::string_view message);

}  // namespace corvane::encoding

#include "encoding/signing_payload.hpp"

#include <cstddef>

namespace corvane::encoding {
namespace {

// Every payload with typical identifiers fits without growing.
constexpr std::size_t initial_capacity = 512;

}  // namespace

PayloadWriter::PayloadWriter() { bytes_.reserve(initial_capacity); }

void PayloadWriter::tag(std::uint8_t value) { bytes_.push_back(value); }

void PayloadWriter::unsigned_int(std::uint64_t value) {
  const auto little_endian = [&](std::uint8_t marker, int width) {
    bytes_.push_back(marker);
    for (int i = 0; i < width; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  if (value <= 250)
    bytes_.push_back(static_cast<std::uint8_t>(value));
  else if (value <= 0xFFFF)
    little_endian(0xFB, 2);
  else if (value <= 0xFFFF'FFFF)
    little_endian(0xFC, 4);
  else
    little_endian(0xFD, 8);
}

void PayloadWriter::signed_int(std::int64_t value) {
  // In unsigned arithmetic, so that the most negative value does not overflow.
  const auto bits = static_cast<std::uint64_t>(value);
  unsigned_int((bits << 1) ^ (value < 0 ? ~std::uint64_t{0} : 0));
}

void PayloadWriter::text(std::string_view value) {
  unsigned_int(value.size());
  bytes_.insert(bytes_.end(), value.begin(), value.end());
}

void PayloadWriter::uuid(const Uuid& value) {
  unsigned_int(value.size());
  bytes_.insert(bytes_.end(), value.begin(), value.end());
}

void PayloadWriter::bytes32(const corvane::Bytes32& value) { bytes_.insert(bytes_.end(), value.begin(), value.end()); }

corvane::Expected<corvane::Ok> PayloadWriter::timestamp(const Timestamp& value) {
  Rfc3339Buffer buffer;
  auto rendered = write_rfc3339(value, buffer);
  if (!rendered) return corvane::fail(std::move(rendered.error()));
  text(*rendered);
  return corvane::Ok{};
}

std::string encoding_error_text(std::string_view message) {
  std::string out = "OtherString(\"";
  out.reserve(out.size() + message.size() + 2);
  for (const char c : message) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  out += "\")";
  return out;
}

}  // namespace corvane::encoding

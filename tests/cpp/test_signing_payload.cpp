#include <cstdint>
#include <string>
#include <string_view>

#include "check.hpp"
#include "encoding/rfc3339.hpp"
#include "encoding/signing_payload.hpp"
#include "encoding/uuid.hpp"

using corvane::encoding::encoding_error_text;
using corvane::encoding::parse_rfc3339;
using corvane::encoding::parse_uuid;
using corvane::encoding::PayloadWriter;
using corvane::encoding::Timestamp;

namespace {

// Lower-case hex with no separators, for comparing against written-out bytes.
std::string hex(const corvane::ByteVector& bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out;
  for (auto b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 0x0F]);
  }
  return out;
}

template <class Append>
std::string written(Append append) {
  PayloadWriter writer;
  append(writer);
  return hex(writer.bytes());
}

void writes_variable_length_unsigned() {
  const struct {
    std::uint64_t value;
    std::string_view bytes;
  } cases[] = {
      {0, "00"},
      {250, "fa"},
      {251, "fbfb00"},
      {65535, "fbffff"},
      {65536, "fc00000100"},
      {4294967295, "fcffffffff"},
      {4294967296, "fd0000000001000000"},
      {UINT64_MAX, "fdffffffffffffffff"},
  };
  for (const auto& c : cases) CHECK_EQ(written([&](PayloadWriter& w) { w.unsigned_int(c.value); }), c.bytes);
}

void writes_zigzag_signed() {
  const struct {
    std::int64_t value;
    std::string_view bytes;
  } cases[] = {
      {0, "00"},
      {-1, "01"},
      {1, "02"},
      {125, "fa"},
      {-126, "fbfb00"},
      {1500, "fbb80b"},
      {-1500, "fbb70b"},
      {INT64_MAX, "fdfeffffffffffffff"},
      {INT64_MIN, "fdffffffffffffffff"},
  };
  for (const auto& c : cases) CHECK_EQ(written([&](PayloadWriter& w) { w.signed_int(c.value); }), c.bytes);
}

void writes_tags_as_single_bytes() {
  CHECK_EQ(written([](PayloadWriter& w) {
             w.tag(0);
             w.tag(250);
             w.tag(251);
             w.tag(255);
           }),
           "00fafbff");
}

void writes_text_with_byte_count() {
  const std::string long_text(251, 'x');
  const struct {
    std::string_view text, bytes;
  } cases[] = {
      {"", "00"},
      {"USD", "03555344"},
      {"\xC3\xA9", "02c3a9"},
      {std::string_view("a\0b", 3), "03610062"},  // bytes as given, NUL included
  };
  for (const auto& c : cases) CHECK_EQ(written([&](PayloadWriter& w) { w.text(c.text); }), c.bytes);

  PayloadWriter writer;
  writer.text(long_text);
  const auto& bytes = writer.bytes();
  CHECK_EQ(bytes.size(), 254u);
  CHECK_EQ(hex(corvane::ByteVector(bytes.begin(), bytes.begin() + 4)), "fbfb0078");
  CHECK_EQ(bytes.back(), 'x');
}

void writes_uuid_and_32_byte_values() {
  CHECK_EQ(written([](PayloadWriter& w) { w.uuid({}); }), "10" + std::string(32, '0'));
  corvane::Bytes32 value;
  for (std::size_t i = 0; i < value.size(); ++i) value[i] = static_cast<std::uint8_t>(0xE0 + i);
  CHECK_EQ(written([&](PayloadWriter& w) { w.bytes32(value); }),
           "e0e1e2e3e4e5e6e7e8e9eaebecedeeeff0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
}

void the_23_byte_record_start() {
  auto id = parse_uuid("123e4567-e89b-12d3-a456-426614174000");
  CHECK(id.ok());
  if (!id) return;
  CHECK_EQ(written([&](PayloadWriter& w) {
             w.tag(6);
             w.text("acme");
             w.uuid(*id);
           }),
           "060461636d6510123e4567e89b12d3a456426614174000");
}

void writes_timestamps_as_canonical_text() {
  const struct {
    Timestamp value;
    std::string_view bytes;
  } cases[] = {
      // "2030-01-02T03:04:05Z"
      {{2030, 1, 2, 3, 4, 5, 0, 0}, "14323033302d30312d30325430333a30343a30355a"},
      // "9999-12-31T23:59:59.999999999+23:59": 35 characters, prefix 0x23
      {{9999, 12, 31, 23, 59, 59, 999999999, 86340},
       "23393939392d31322d33315432333a35393a35392e3939393939393939392b32333a3539"},
      // "0000-01-01T00:00:00.000000001-23:59"
      {{0, 1, 1, 0, 0, 0, 1, -86340}, "23303030302d30312d30315430303a30303a30302e3030303030303030312d32333a3539"},
  };
  for (const auto& c : cases) {
    PayloadWriter writer;
    CHECK(writer.timestamp(c.value).ok());
    CHECK_EQ(hex(writer.bytes()), c.bytes);
  }
}

void refused_timestamp_appends_nothing() {
  PayloadWriter writer;
  writer.tag(6);
  auto appended = writer.timestamp(Timestamp{10000, 1, 1, 0, 0, 0, 0, 0});
  CHECK(!appended.ok());
  if (!appended.ok())
    CHECK_EQ(appended.error().message, "The year component cannot be formatted into the requested format.");
  CHECK_EQ(hex(writer.bytes()), "06");
}

void formats_encoding_errors() {
  const struct {
    std::string_view message, text;
  } cases[] = {
      {"The year component cannot be formatted into the requested format.",
       "OtherString(\"The year component cannot be formatted into the requested format.\")"},
      {"", "OtherString(\"\")"},
      {"say \"hi\" \\ bye", "OtherString(\"say \\\"hi\\\" \\\\ bye\")"},
  };
  for (const auto& c : cases) CHECK_EQ(encoding_error_text(c.message), c.text);
}

// The EvidenceSignV1 worked example, with its two digests taken as given.
void whole_evidence_record() {
  auto id = parse_uuid("123e4567-e89b-12d3-a456-426614174000");
  auto submitted = parse_rfc3339("2025-03-01t12:00:00.500+00:00");
  CHECK(id.ok() && submitted.ok());
  if (!id || !submitted) return;
  const corvane::Bytes32 payload_digest = {0xd9, 0xcb, 0x3a, 0xa6, 0x3b, 0x46, 0x07, 0xb8, 0xd9, 0x63, 0x34,
                                           0x8d, 0xe0, 0x72, 0x0a, 0x53, 0x7a, 0x9c, 0xce, 0x72, 0x87, 0x0d,
                                           0x4b, 0x0f, 0xd5, 0xac, 0x30, 0x65, 0xe2, 0x0a, 0x92, 0x08};
  const corvane::Bytes32 artifact_digest = {0x4e, 0x78, 0x86, 0x23, 0xa5, 0xdf, 0x78, 0x93, 0x17, 0x6f, 0x2e,
                                            0x3f, 0xb7, 0xb4, 0x45, 0xb1, 0xd6, 0xaa, 0x48, 0xd0, 0x63, 0xa7,
                                            0xfb, 0x5e, 0xb1, 0xf2, 0x74, 0x1b, 0x74, 0x94, 0x5d, 0x38};
  PayloadWriter writer;
  writer.tag(2);
  writer.text("tenant-7");
  writer.uuid(*id);
  writer.text("did:example:payee");
  writer.bytes32(payload_digest);
  writer.bytes32(artifact_digest);
  CHECK(writer.timestamp(*submitted).ok());
  const corvane::ByteVector record = std::move(writer).take();
  CHECK_EQ(record.size(), 132u);
  CHECK_EQ(hex(record),
           "02"
           "0874656e616e742d37"
           "10123e4567e89b12d3a456426614174000"
           "116469643a6578616d706c653a7061796565"
           "d9cb3aa63b4607b8d963348de0720a537a9cce72870d4b0fd5ac3065e20a9208"
           "4e788623a5df7893176f2e3fb7b445b1d6aa48d063a7fb5eb1f2741b74945d38"
           "16323032352d30332d30315431323a30303a30302e355a");
}

}  // namespace

int main() {
  writes_variable_length_unsigned();
  writes_zigzag_signed();
  writes_tags_as_single_bytes();
  writes_text_with_byte_count();
  writes_uuid_and_32_byte_values();
  the_23_byte_record_start();
  writes_timestamps_as_canonical_text();
  refused_timestamp_appends_nothing();
  formats_encoding_errors();
  whole_evidence_record();
  return check::failures() != 0;
}

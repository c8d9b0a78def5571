// Hex and base64 decoding and their exact messages; hex and base64 encoding.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "encoding/base64.hpp"
#include "encoding/hex.hpp"

using namespace std::string_view_literals;
using corvane::ByteVector;
using corvane::encoding::append_base64;
using corvane::encoding::decode_base64;
using corvane::encoding::decode_hex;
using corvane::encoding::encode_base64;
using corvane::encoding::encode_hex;

namespace {

ByteVector bytes_of(std::string_view text) { return ByteVector(text.begin(), text.end()); }

void decode_messages() {
  const struct {
    std::string_view text;
    std::string_view message;
  } cases[] = {
      // Parity is checked before any digit.
      {"0g0", "Odd number of digits"},
      // The first bad byte, the first digit of a pair before the second.
      {"zy", "Invalid character 'z' at position 0"},
      {"0000000000x0", "Invalid character 'x' at position 10"},
      {"\"0", "Invalid character '\"' at position 0"},
      // Escapes.
      {"'0", "Invalid character '\\'' at position 0"},
      {"\\0", "Invalid character '\\\\' at position 0"},
      {"\t0", "Invalid character '\\t' at position 0"},
      {"\n0", "Invalid character '\\n' at position 0"},
      {"\0\0"sv, "Invalid character '\\0' at position 0"},
      {"\x1f" "0", "Invalid character '\\u{1f}' at position 0"},
      {"\x7f" "0", "Invalid character '\\u{7f}' at position 0"},
      {"\x80" "0", "Invalid character '\\u{80}' at position 0"},
      {"\xa0" "0", "Invalid character '\\u{a0}' at position 0"},
      {"\xad" "0", "Invalid character '\\u{ad}' at position 0"},
      // Other bytes show as the character with the same code point, in UTF-8.
      {"\xc3\xa9" "00", "Invalid character '\xc3\x83' at position 0"},
      {"0\xa1", "Invalid character '\xc2\xa1' at position 1"},
      {"\xff" "0", "Invalid character '\xc3\xbf' at position 0"},
  };
  for (const auto& c : cases) {
    const auto decoded = decode_hex(c.text);
    CHECK_EQ(decoded ? "(decoded)" : decoded.error().message, c.message);
  }
  const auto decoded = decode_hex("00ff7F80abCD");
  CHECK(decoded && *decoded == (ByteVector{0x00, 0xff, 0x7f, 0x80, 0xab, 0xcd}));
}

// Into a fixed size: a bad digit is reported before a wrong count, which is
// refused as false.
void decodes_exact() {
  const struct {
    std::string_view text;
    std::size_t size;
    std::string_view outcome;  // the bytes as hex, "false", or the message
  } cases[] = {
      {"00fF7f", 3, "00ff7f"}, {"", 0, ""}, {"00ff", 3, "false"}, {"00ff7f80", 3, "false"},
      {"0g0", 1, "Odd number of digits"}, {"0g00", 1, "Invalid character 'g' at position 1"},
      {"000g", 2, "Invalid character 'g' at position 3"},
  };
  for (const auto& c : cases) {
    ByteVector out(c.size);
    const auto decoded = corvane::encoding::decode_hex_exact(c.text, out);
    const std::string outcome = !decoded ? decoded.error().message : *decoded ? encode_hex(out) : "false";
    CHECK_EQ(outcome, c.outcome);
  }
}

void encodes_base64() {
  // RFC 4648 section 10.
  const struct {
    std::string_view bytes;
    std::string_view text;
  } cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
      {"\xfb\xff\xbf", "+/+/"}, {"\x00\x10\x83\x10\x51\x87\x20\x92\x8b\x30\xd3\x8f"sv, "ABCDEFGHIJKLMNOP"},
  };
  for (const auto& c : cases) CHECK_EQ(encode_base64(bytes_of(c.bytes)), c.text);

  std::string out = "key=";
  append_base64(ByteVector(32, 0xff), out);
  CHECK_EQ(out, "key=//////////////////////////////////////////8=");
}

void decodes_base64() {
  // RFC 4648 section 10 back again, then what a strict decoder refuses.
  const struct {
    std::string_view text;
    std::string_view bytes_or_message;
    bool ok;
  } cases[] = {
      {"", "", true}, {"Zg==", "f", true}, {"Zm8=", "fo", true}, {"Zm9vYmFy", "foobar", true},
      {"+/+/", "\xfb\xff\xbf", true},
      {"Zg=", "Invalid length 3: not a multiple of 4", false},
      {"Zm-v", "Invalid character '-' at position 2", false},  // URL-safe letters
      {"Zm9v\nYmFy", "Invalid length 9: not a multiple of 4", false},
      {"Zm9v\nYg=", "Invalid character '\\n' at position 4", false},
      {"Z===", "Invalid character '=' at position 1", false},
      {"Zg==Zg==", "Invalid character '=' at position 2", false},
      {"Zh==", "Unused bits of 'h' at position 1 are not zero", false},  // "f" with a stray low bit
      {"Zm\xc3\xa9", "Invalid character '\xc3\x83' at position 2", false},
  };
  for (const auto& c : cases) {
    const auto decoded = decode_base64(c.text);
    CHECK_EQ(decoded.ok(), c.ok);
    if (decoded) CHECK(*decoded == bytes_of(c.bytes_or_message));
    if (!decoded) CHECK_EQ(decoded.error().message, c.bytes_or_message);
  }
}

}  // namespace

int main() {
  decode_messages();
  decodes_exact();
  encodes_base64();
  decodes_base64();
  return check::failures() != 0;
}

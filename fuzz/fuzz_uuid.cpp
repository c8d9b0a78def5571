// UUID parser and writer, from arbitrary text.
//
// Properties:
// - an accepted text has one of the four form lengths, and its hex digits,
//   read in order, are the bytes;
// - the written form is 36 lower-case characters, hyphenated 8-4-4-4-12, and
//   it parses back to the same bytes, as do its upper-case, simple, braced and
//   urn spellings;
// - a refused text gets one of the four documented message forms.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include "encoding/uuid.hpp"
#include "fuzz_support.hpp"

namespace {

using corvane::encoding::format_uuid;
using corvane::encoding::parse_uuid;
using corvane::encoding::Uuid;

bool is_decimal(std::string_view text) {
  return !text.empty() && text.size() < 19 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether `message` is `prefix`, then a decimal number, then `rest` (which
// may itself hold one more number placeholder, '#').
bool matches(std::string_view message, std::string_view pattern) {
  while (!pattern.empty()) {
    if (pattern.front() == '#') {
      std::size_t digits = 0;
      while (digits < message.size() && message[digits] >= '0' && message[digits] <= '9') ++digits;
      if (!is_decimal(message.substr(0, digits))) return false;
      message.remove_prefix(digits);
      pattern.remove_prefix(1);
      continue;
    }
    if (message.empty() || message.front() != pattern.front()) return false;
    message.remove_prefix(1);
    pattern.remove_prefix(1);
  }
  return message.empty();
}

void check_error(std::string_view text, const std::string& message) {
  if (matches(message, "invalid length: found #")) {
    fuzz::require(message == "invalid length: found " + std::to_string(text.size()),
                  "invalid length names another length", message);
    return;
  }
  if (matches(message, "invalid group count: expected 5, found #")) return;
  static constexpr std::string_view kGroupPatterns[] = {
      "invalid group length in group 0: expected 8, found #", "invalid group length in group 1: expected 4, found #",
      "invalid group length in group 2: expected 4, found #", "invalid group length in group 3: expected 4, found #",
      "invalid group length in group 4: expected 12, found #"};
  for (const std::string_view pattern : kGroupPatterns) {
    if (matches(message, pattern)) return;
  }
  const std::string_view prefix = "invalid character: found `";
  fuzz::require(message.starts_with(prefix), "undocumented UUID message", message);
  const std::size_t close = message.rfind("` at ");
  fuzz::require(close != std::string::npos && close > prefix.size(), "malformed invalid-character message", message);
  const std::string_view character = std::string_view(message).substr(prefix.size(), close - prefix.size());
  const std::string_view position = std::string_view(message).substr(close + 5);
  fuzz::require(is_decimal(position), "invalid character without a position", message);
  const std::size_t at = std::stoull(std::string(position));
  fuzz::require(at < text.size(), "invalid character position past the end", message);
  // An ASCII character is reported as itself, and it is no hex digit or "-".
  if (character.size() == 1) {
    const char c = character.front();
    fuzz::require(!std::isxdigit(static_cast<unsigned char>(c)) && c != '-',
                  "a hex digit or hyphen reported as invalid", message);
  }
}

void check_accepted(std::string_view text, const Uuid& uuid) {
  std::string_view form = text;
  switch (text.size()) {
    case 32:
    case 36:
      break;
    case 38:
      form = text.substr(1, 36);
      break;
    case 45:
      form = text.substr(9);
      break;
    default:
      fuzz::finding("accepted a UUID text of another length", text);
  }
  std::string digits;
  for (const char c : form) {
    if (c != '-') digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }

  const std::string written = format_uuid(uuid);
  fuzz::require(written.size() == 36, "written UUID is not 36 characters", written);
  std::string written_digits;
  for (std::size_t i = 0; i < written.size(); ++i) {
    const char c = written[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      fuzz::require(c == '-', "written UUID without a hyphen in place", written);
    } else {
      fuzz::require((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'), "written UUID has a non lower-case digit",
                    written);
      written_digits += c;
    }
  }
  fuzz::require(written_digits == digits, "UUID bytes are not the text's digits in order", text);

  std::string upper = written;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return static_cast<char>(std::toupper(c)); });
  for (const std::string& spelling : {written, upper, written_digits, "{" + written + "}", "urn:uuid:" + written}) {
    const auto again = parse_uuid(spelling);
    fuzz::require(again.ok() && *again == uuid, "a spelling of the written UUID parses otherwise", spelling);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    const std::string_view text = fuzz::as_text(data, size);
    const auto parsed = parse_uuid(text);
    if (parsed) {
      check_accepted(text, *parsed);
    } else {
      check_error(text, parsed.error().message);
    }
  });
}

// UUID texts: the message for each way a text can fail. (Accepted forms and
// their bytes against Python's uuid module: the evidence property tests.)
#include <string>
#include <string_view>

#include "check.hpp"
#include "encoding/uuid.hpp"

using corvane::encoding::parse_uuid;

namespace {

std::string parse_error(std::string_view text) {
  auto parsed = parse_uuid(text);
  return parsed ? "(accepted)" : parsed.error().message;
}

// Texts of the four lengths are judged by their 36-character part, positions
// counted within it.
void explains_texts_of_the_accepted_lengths() {
  const struct {
    std::string_view text, message;
  } cases[] = {
      {"{0000000-0000-0000-0000-00000000000}", "invalid character: found `{` at 0"},
      // U+0130 ends in the byte 0x30 ("0"); it is still an invalid character.
      {"0000000\xC4\xB0-0000-0000-0000-00000000000", "invalid character: found `\xC4\xB0` at 7"},
      {"00000000-0000-0000-0000--00000000000", "invalid group count: expected 5, found 6"},
      {"000000000-000-0000-0000-000000000000", "invalid group length in group 0: expected 8, found 9"},
      {"{00000000-0000-0000-00000-00000000000}", "invalid group length in group 3: expected 4, found 5"},
  };
  for (const auto& c : cases) CHECK_EQ(parse_error(c.text), c.message);
}

// Other texts: positions count from the start of the whole text.
void explains_texts_of_other_lengths() {
  const struct {
    std::string_view text, message;
  } cases[] = {
      {"00000x00000000000000000000000000", "invalid character: found `x` at 5"},
      {"0000000-000000000000000000000000", "invalid group count: expected 5, found 2"},
      {"{abc}", "invalid group count: expected 5, found 1"},
      {"{00000000-0000-0000-0000-000000000000}x", "invalid character: found `{` at 0"},
      {"{0000000g-0000-0000-0000-00000000000}", "invalid character: found `g` at 8"},
      {"urn:uuid:0000000g-0000-0000-0000-00000000000", "invalid character: found `g` at 16"},
      {"00000000-0000-0000-0000-0000000000000", "invalid group length in group 4: expected 12, found 13"},
      {"0000000-0000-0000-0000-0000000000000", "invalid group length in group 0: expected 8, found 7"},
      // The last group is measured from the whole text, braces or prefix included.
      {"urn:uuid:00000000-0000-0000-0000-00000000000", "invalid group length in group 4: expected 12, found 20"},
      {"{00000000-0000-0000-0000-}", "invalid group length in group 4: expected 12, found 2"},
      // Non-ASCII characters are shown whole; malformed UTF-8 as U+FFFD.
      {"ab\xE2\x82\xAC", "invalid character: found `\xE2\x82\xAC` at 2"},
      {"a\xC3", "invalid character: found `\xEF\xBF\xBD` at 1"},
      {"\xED\xA0\x80", "invalid character: found `\xEF\xBF\xBD` at 0"},  // surrogate
  };
  for (const auto& c : cases) CHECK_EQ(parse_error(c.text), c.message);
}

}  // namespace

int main() {
  explains_texts_of_the_accepted_lengths();
  explains_texts_of_other_lengths();
  return check::failures() != 0;
}

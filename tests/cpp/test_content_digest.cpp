// Content digests. Expected values are BLAKE3 of hand-written canonical texts,
// computed with an independent BLAKE3 implementation.
#include <cstdint>
#include <string>
#include <string_view>

#include "check.hpp"
#include "encoding/content_digest.hpp"
#include "encoding/hex.hpp"
#include "encoding/json_reader.hpp"

using corvane::encoding::content_digest;
using corvane::encoding::encode_hex;
using corvane::encoding::JsonValue;
using corvane::encoding::read_json;

namespace {

// The digest by way of the value, which the one-pass digest must match.
std::string digest_of_text(std::string_view json) {
  auto value = read_json(json);
  if (!value) return "error: " + value.error().message;
  auto one_pass = corvane::encoding::content_digest_of_json(json);
  const std::string digest = encode_hex(content_digest(*value));
  return one_pass && encode_hex(*one_pass) == digest ? digest : "one pass gave another digest";
}

void digests_the_canonical_text() {
  const struct {
    std::string_view json;
    std::string_view blake3;  // of the canonical text in the comment, by an independent BLAKE3
  } cases[] = {
      // {"a":2,"b":1}
      {" {\n \"\\u0062\" : 0 ,\t\"a\":2,\"b\":1 } ", "aec0c27dfce8daa9a0e36db913d1688ec539ca7f764997c4de8b9f3101f6418b"},
      {"1e0", "ecf87622ea5c78b2b1f44016ea95d14feb3bd825f7544e7201862f3d12b4cd1b"},  // 1.0
      {"1", "d63bd9a826af91c1fea371965a64e11ee20f13e46b5f52c59901136605b3a487"},
  };
  for (const auto& c : cases) CHECK_EQ(digest_of_text(c.json), std::string(c.blake3));
}

// Texts longer than the 64 KiB pieces the digest hashes at a time.
void digests_large_values() {
  // ["xxx...x\n"] with 200000 x.
  CHECK_EQ(digest_of_text("[\"" + std::string(200000, 'x') + "\\n\"]"),
           "fe7ae89040fe72c49646b17112ddf33ff265a2138d1b1dcb708d24e3645da49c");
  // [0,1,2,...,99999]
  std::string numbers = "[0";
  for (std::uint64_t i = 1; i < 100000; ++i) numbers.append(",").append(std::to_string(i));
  CHECK_EQ(digest_of_text(numbers + "]"), "0de054ab6037e0915b94babbdaab682a6265e2155ab1e6e791516c850b1a758f");
}

}  // namespace

int main() {
  digests_the_canonical_text();
  digests_large_values();
  return check::failures() != 0;
}

// Content digests. Expected values are BLAKE3 of hand-written canonical texts,
// computed with an independent BLAKE3 implementation.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "encoding/content_digest.hpp"
#include "encoding/json_reader.hpp"

using corvane::Digest;
using corvane::encoding::allowed_tools_digest;
using corvane::encoding::artifact_list_digest;
using corvane::encoding::content_digest;
using corvane::encoding::JsonValue;
using corvane::encoding::read_json;

namespace {

std::string hex(const Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t byte : digest) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
  }
  return out;
}

// The digest by way of the value, which the one-pass digest must match.
std::string digest_of_text(std::string_view json) {
  auto value = read_json(json);
  if (!value) return "error: " + value.error().message;
  auto one_pass = corvane::encoding::content_digest_of_json(json);
  const std::string digest = hex(content_digest(*value));
  return one_pass && hex(*one_pass) == digest ? digest : "one pass gave another digest";
}

void digests_the_canonical_text() {
  struct Case {
    std::string_view json;
    std::string_view canonical;  // what the expected digest was computed over
    std::string_view blake3;
  };
  const Case cases[] = {
      {"{\"b\":1,\"a\":2}", "{\"a\":2,\"b\":1}", "aec0c27dfce8daa9a0e36db913d1688ec539ca7f764997c4de8b9f3101f6418b"},
      {" {\n \"a\" : 2 ,\t\"b\":1 } ", "{\"a\":2,\"b\":1}",
       "aec0c27dfce8daa9a0e36db913d1688ec539ca7f764997c4de8b9f3101f6418b"},
      {"{\"\\u0062\":1,\"a\":2,\"b\":0,\"b\":1}", "{\"a\":2,\"b\":1}",
       "aec0c27dfce8daa9a0e36db913d1688ec539ca7f764997c4de8b9f3101f6418b"},
      {"{\"aa\":3,\"a\":2,\"B\":1}", "{\"B\":1,\"a\":2,\"aa\":3}",
       "b21b8f6febc7139946a76ce6d6b8b8f68a5fd58bc0db251de4321496dffc1327"},
      {"{\"b\":{\"c\":{}},\"a\":[1,-2,35e-1,true,false,null,\"x\"]}",
       "{\"a\":[1,-2,3.5,true,false,null,\"x\"],\"b\":{\"c\":{}}}",
       "fbbaf612a6458d7a2e2a5edffefbe2864d8f15a8637f766516bb2cf9f8731314"},
      // Number classes stay apart: 1 is an integer, 1.0 and 1e0 are floats.
      {"1", "1", "d63bd9a826af91c1fea371965a64e11ee20f13e46b5f52c59901136605b3a487"},
      {"1.0", "1.0", "ecf87622ea5c78b2b1f44016ea95d14feb3bd825f7544e7201862f3d12b4cd1b"},
      {"1e0", "1.0", "ecf87622ea5c78b2b1f44016ea95d14feb3bd825f7544e7201862f3d12b4cd1b"},
      {"-0", "-0.0", "d79fad4210b23fe0acd772f71d46037f0aaabe0217950ae8471baf2478f60297"},
      {"18446744073709551616", "1.8446744073709552e+19",
       "a0192aa4bee44eb46ce6effdb786cf151433eeb07ca709d3dbd0cd58fcbbb3a6"},
      {"0.00001", "0.00001", "f05f458c144bf64cc737bfd847aeab69a79a216d17b8913c6de376d8e0b86af5"},
      {"0.000001", "1e-6", "5da69ee676ef270509ccb0f1b1bcd5032919db9d4880e0a8ef6a20d0e30dd465"},
      {"1e15", "1000000000000000.0", "f099c307a880bbcc2f0131232254265185d85555833dad09ab103bac3f3fad7d"},
      {"1e16", "1e+16", "6740883d834758cd98640d2ea39b3f8f2eb7a2ef3f7e1bfa2bc39629dc264a6a"},
      // Strings: only the quote, the backslash and control bytes are escaped.
      {"\"\\u001F\"", "\"\\u001f\"", "8d000c3f39c067088c9ad2852b011d89f7c6a7f350069970edd1edcd1af6ca67"},
      {"\"\\u00e9\"", "\"\xC3\xA9\"", "ba219de80cafca5fd47aee16e7d614caeeed6d75dcae577bc56ff31689548c20"},
      {"\"\xC3\xA9\"", "\"\xC3\xA9\"", "ba219de80cafca5fd47aee16e7d614caeeed6d75dcae577bc56ff31689548c20"},
      {"\"\\/\"", "\"/\"", "1f368eab001afcd4936e5588be97a162d0c62b2246b5357676ec679e4fc1966c"},
      {"[]", "[]", "d53d18c23212ea7b6300594bb89bce60218f6eff2b9d628b8cc42d3e79bbd5ab"},
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

void digests_allowed_tools() {
  const std::string read_write = "dfb121fccfbb481f68e64d420b1570819b28035ce6ee153869689c6b32350d22";  // ["read","write"]
  const std::vector<std::string> spaced_and_cased = {" Read ", "read", "WRITE"};
  const std::vector<std::string> plain = {"write", "read"};
  // U+3000 and U+00A0 are Unicode white space too.
  const std::vector<std::string> unicode_spaced = {"\xE3\x80\x80read\xC2\xA0", "\twrite\n", "READ"};
  CHECK_EQ(hex(allowed_tools_digest(spaced_and_cased)), read_write);
  CHECK_EQ(hex(allowed_tools_digest(plain)), read_write);
  CHECK_EQ(hex(allowed_tools_digest(unicode_spaced)), read_write);

  const std::vector<std::string> only_space = {" \t "};
  CHECK_EQ(hex(allowed_tools_digest(only_space)), "f9977b4cde22b796831ea7e5b137e45dc5c10c65e789866e83f948648f08c1d8");  // [""]
  CHECK_EQ(hex(allowed_tools_digest({})), "d53d18c23212ea7b6300594bb89bce60218f6eff2b9d628b8cc42d3e79bbd5ab");  // []
  // Only ASCII letters are lower-cased; names sort by bytes: ["x","É","é"].
  const std::vector<std::string> non_ascii = {"\xC3\xA9", "\xC3\x89", "x", " X "};
  CHECK_EQ(hex(allowed_tools_digest(non_ascii)), "590089e2168d80257dbbfec2ba81b36848df9cfcd9a1ee0672d0d24459445290");
}

void digests_artifact_lists() {
  Digest a{};
  Digest b{};
  for (std::size_t i = 0; i < a.size(); ++i) {
    a[i] = static_cast<std::uint8_t>(i);
    b[i] = 0xFF;
  }
  const std::vector<Digest> ab = {a, b};
  const std::vector<Digest> ba = {b, a};
  const std::vector<Digest> only_a = {a};
  CHECK_EQ(hex(artifact_list_digest({})), "af1349b9f5f9a1a6a0404dea36dcc9499bcb25c9adc112b7cc9a93cae41f3262");
  CHECK_EQ(hex(artifact_list_digest(only_a)), "e528e95798037df410543d9f31e396ecdd458d71b157d6014398bae32fb56c65");
  CHECK_EQ(hex(artifact_list_digest(ab)), "e6228f46e008bc9fd169af632d7e63469416b42b29f6184ce004e98bbb0254d5");
  CHECK_EQ(hex(artifact_list_digest(ba)), "eb771fb66be79fc909bedb5eaff9f30529cc917e3e427a8a3c2f4dbb29a64177");
}

}  // namespace

int main() {
  digests_the_canonical_text();
  digests_large_values();
  digests_allowed_tools();
  digests_artifact_lists();
  return check::failures() != 0;
}

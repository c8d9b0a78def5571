// The payload writer's parts that the goldens cannot reach: the longest
// timestamp text, a refused timestamp, and how an encoding failure is worded.
#include <string>
#include <string_view>

#include "check.hpp"
#include "encoding/hex.hpp"
#include "encoding/signing_payload.hpp"

using corvane::encoding::PayloadWriter;
using corvane::encoding::Timestamp;

namespace {

void writes_timestamps() {
  PayloadWriter writer;
  writer.tag(6);
  // "0000-01-01T00:00:00.000000001-23:59": 35 characters, prefix 0x23.
  CHECK(writer.timestamp(Timestamp{0, 1, 1, 0, 0, 0, 1, -86340}).ok());
  auto refused = writer.timestamp(Timestamp{10000, 1, 1, 0, 0, 0, 0, 0});
  CHECK(!refused.ok() && refused.error().message == "The year component cannot be formatted into the requested format.");
  CHECK_EQ(corvane::encoding::encode_hex(writer.bytes()), "0623303030302d30312d30315430303a30303a30302e3030303030303030312d32333a3539");
}

void words_encoding_errors() {
  CHECK_EQ(corvane::encoding::encoding_error_text(""), "OtherString(\"\")");
  CHECK_EQ(corvane::encoding::encoding_error_text("say \"hi\" \\ bye"), "OtherString(\"say \\\"hi\\\" \\\\ bye\")");
}

}  // namespace

int main() {
  writes_timestamps();
  words_encoding_errors();
  return check::failures() != 0;
}

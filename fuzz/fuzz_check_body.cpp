// The body checks and the read-back scan, from arbitrary text as the body.
//
// Properties: nothing but a reason comes back, whatever the text; a reason is
// given exactly when the check fails; a passing check has its payload, whose
// tag byte names the record the body's kind signs.
#include <string>

#include "functions/body_check.hpp"
#include "functions/body_read_back.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] {
    using namespace corvane::functions;
    const std::string_view body = fuzz::as_text(data, size);
    const std::string_view intent_id = "123e4567-e89b-12d3-a456-426614174000";
    const std::string policy_digest(64, 'a');
    const BodyCheck outcomes[] = {
        *check_create_intent({.body = body, .tenant_id = "tenant-7"}),
        *check_create_intent({body, "tenant-7", std::string_view(policy_digest), std::string_view("{\"all\":[]}")}),
        *check_evidence({.body = body, .tenant_id = "tenant-7", .intent_id = intent_id}),
    };
    for (const BodyCheck& outcome : outcomes) {
      if (!outcome.reason.empty()) continue;
      fuzz::require(outcome.payload && !outcome.payload->empty(), "a passing check without its payload", body);
      const int tag = outcome.payload->front();
      fuzz::require(tag == 6 || tag == 7 || tag == 2, "a payload of no known record", body);
    }
    static_cast<void>(read_back_fault({body}));
  });
}

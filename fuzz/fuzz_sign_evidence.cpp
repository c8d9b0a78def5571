// sign_payee_evidence_binding_json from valid defaults with fuzz-chosen
// arguments; the fields and properties are in evidence_check.hpp.
#include "evidence_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] { fuzz::check_evidence(data, size, true); });
}

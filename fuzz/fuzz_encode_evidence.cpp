// encode_evidence_sign_v1_hex; fields and checks in fuzz_evidence.hpp.
#include "fuzz_evidence.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] { fuzz::check_evidence(data, size, false); });
}

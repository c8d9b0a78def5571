// build_signed_create_intent_json; fields and checks in fuzz_intent.hpp.
#include "fuzz_intent.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] { fuzz::check_create_intent(data, size, false); });
}

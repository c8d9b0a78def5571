// build_signed_create_intent_json from valid defaults with fuzz-chosen
// arguments; the fields and properties are in create_intent_check.hpp.
#include "create_intent_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::run_one([&] { fuzz::check_create_intent(data, size, false); });
}

#include "crypto/initialise.hpp"

#include <sodium.h>

namespace corvane::crypto {

bool initialise() { return sodium_init() >= 0; }

}  // namespace corvane::crypto

// Readies the crypto library once per process before any key is made.
#pragma once

namespace corvane::crypto {

// Picks libsodium's fastest implementations; safe to repeat. False when the
// library cannot be used at all.
bool initialise();

}  // namespace corvane::crypto

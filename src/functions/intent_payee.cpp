#include "functions/intent_payee.hpp"

#include <algorithm>
#include <utility>

#include "crypto/public_key.hpp"
#include "crypto/seed.hpp"

namespace corvane::functions {
namespace {

Expected<crypto::PublicKey> key_of(const PayeeSeed& payee) {
  auto seed = crypto::checked_seed(payee.bytes, "payee_seed");
  if (!seed) return fail(std::move(seed).error());
  return crypto::SigningKey(*seed).public_key();
}

// A key that is no seed's would make an intent that no payee can answer, or
// that anyone can: refused here rather than reported as a success.
Expected<crypto::PublicKey> key_of(const PayeePublicKey& payee) {
  crypto::PublicKey key;
  if (payee.bytes.size() != key.size()) return value_error("payee_public_key must be exactly 32 bytes");
  std::copy(payee.bytes.begin(), payee.bytes.end(), key.begin());
  if (!crypto::is_seed_public_key(key)) {
    return value_error("payee_public_key is not the public key of any Ed25519 seed");
  }
  return key;
}

}  // namespace

Expected<crypto::PublicKey> checked_payee_key(const Payee& payee) {
  return std::visit([](const auto& given) { return key_of(given); }, payee);
}

}  // namespace corvane::functions

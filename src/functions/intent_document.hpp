// The CreateIntentRequest document: the body of POST /intents.
#pragma once

#include <string>

#include "crypto/signing_key.hpp"
#include "functions/intent_terms.hpp"

namespace corvane::functions {

// Members in key order, compact. A policy-bound intent has its binding
// instead of null and no predicate_dsl: the materialized predicate enters
// only through the signed digest.
std::string write_intent_document(const IntentTerms& terms, const crypto::PublicKey& principal_pubkey,
                                  const crypto::Signature& principal_signature);

}  // namespace corvane::functions

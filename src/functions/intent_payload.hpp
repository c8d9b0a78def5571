// The intent signing payloads: IntentSignV6 for a plain intent, IntentSignV7
// for one bound to a published managed-policy head.
#pragma once

#include "base/bytes.hpp"
#include "base/expected.hpp"
#include "functions/intent_terms.hpp"

namespace corvane::functions {

// The tag byte, which the document also shows as signing_version.
int signing_version(const IntentTerms& terms);

// IntentSignV7 when the terms carry a policy head, else IntentSignV6. A
// failure (a deadline that cannot be written) is a ValueError.
Expected<ByteVector> intent_signing_payload(const IntentTerms& terms);

}  // namespace corvane::functions

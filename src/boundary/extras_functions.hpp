// The functions of corvane_kit._extras: what the kit offers beyond the five
// functions of _native, declared and bound the same way. Their order is the
// order they are added in and listed in __all__.
#pragma once

#include "boundary/declaration.hpp"
#include "boundary/function_table.hpp"
#include "boundary/native_functions.hpp"
#include "boundary/parameter_kinds.hpp"
#include "functions/create_intent.hpp"
#include "functions/public_key.hpp"

namespace corvane::boundary {

using PublicKey = Declare<"public_key", "Returns the 32-byte Ed25519 public key of a 32-byte seed (bytes).",
                          functions::public_key, Param<"seed", SeedBytes>>;

// The two create-intent functions with the payee named by its public key: the
// same checks in the same order and, for the key of the payee's seed, the same body.
using PayeePublicKeyParam = Param<"payee_public_key", BytesAs<functions::PayeePublicKey>>;

using BuildSignedCreateIntentForPayeeKey = Declare<
    "build_signed_create_intent_json_for_payee_key",
    "Returns the body of ``build_signed_create_intent_json`` with the payee given by its public key.\n\n"
    "``payee_public_key`` must be exactly 32 bytes: the Ed25519 public key of the payee's seed.",
    functions::build_signed_create_intent_json,
    IntentParamsBeforePredicate<PayeePublicKeyParam>, Param<"predicate_json", Text>, IntentParamsAfterPredicate>;

using BuildSignedCreateIntentWithPolicyBindingForPayeeKey = Declare<
    "build_signed_create_intent_with_policy_binding_json_for_payee_key",
    "Returns the body of ``build_signed_create_intent_with_policy_binding_json`` with the payee given by its\n"
    "public key.\n\n"
    "``payee_public_key`` must be exactly 32 bytes: the Ed25519 public key of the payee's seed.",
    functions::build_signed_create_intent_with_policy_binding_json,
    IntentParamsBeforePredicate<PayeePublicKeyParam>, Param<"materialized_predicate_json", Text>,
    IntentParamsAfterPredicate, PolicyHeadParams>;

using ExtrasFunctions = FunctionTable<PublicKey, BuildSignedCreateIntentForPayeeKey,
                                      BuildSignedCreateIntentWithPolicyBindingForPayeeKey>;

}  // namespace corvane::boundary

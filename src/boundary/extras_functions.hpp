// The functions of corvane_kit._extras: what the kit offers beyond the five
// functions of _native, declared and bound the same way. Their order is the
// order they are added in and listed in __all__.
#pragma once

#include "boundary/batch_frame.hpp"
#include "boundary/declaration.hpp"
#include "boundary/function_table.hpp"
#include "boundary/native_functions.hpp"
#include "boundary/parameter_kinds.hpp"
#include "functions/body_check.hpp"
#include "functions/body_read_back.hpp"
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

// Checking request bodies as the service does.
using CheckCreateIntent = Declare<
    "check_create_intent",
    "Rebuilds the signing payload of a CreateIntentRequest body and verifies its principal_signature.\n\n"
    "Returns (ok, payload bytes or None, reason or None). signing_version 7 needs the policy content\n"
    "digest (hex) and the materialized predicate (JSON text); version 6 takes None for both.",
    functions::check_create_intent, Param<"body", Text>, Param<"tenant_id", Text>,
    Param<"policy_content_digest", OptionalText>, Param<"materialized_predicate_json", OptionalText>>;

using CheckEvidence = Declare<
    "check_evidence",
    "Rebuilds the EvidenceSignV1 payload of an evidence submission body and verifies its payee_signature.\n\n"
    "Returns (ok, payload bytes or None, reason or None).",
    functions::check_evidence, Param<"body", Text>, Param<"tenant_id", Text>, Param<"intent_id", Text>>;

using ReadBackFault = Declare<
    "read_back_fault",
    "For a body a builder returned: [member, problem] for the first top-level member that the JSON\n"
    "reader does not read back as written (such a body can never verify), else [].",
    functions::read_back_fault, Param<"body", Text>>;

// Each of the five native functions over many argument tuples, the work done
// with the interpreter lock released: batch_ and the native name, so that the
// batch of a function is found by its name.
using BatchSignPayeeEvidenceBinding = Batch<SignPayeeEvidenceBinding>;
using BatchEncodeEvidenceSignV1 = Batch<EncodeEvidenceSignV1>;
using BatchBuildSignedCreateIntent = Batch<BuildSignedCreateIntent>;
using BatchBuildSignedCreateIntentWithPolicyBinding = Batch<BuildSignedCreateIntentWithPolicyBinding>;
using BatchVerifyEd25519Sha256 = Batch<VerifyEd25519Sha256>;
// The payee-key twins too, so that a batch of create-intent requests can name
// payees either way.
using BatchBuildSignedCreateIntentForPayeeKey = Batch<BuildSignedCreateIntentForPayeeKey>;
using BatchBuildSignedCreateIntentWithPolicyBindingForPayeeKey = Batch<BuildSignedCreateIntentWithPolicyBindingForPayeeKey>;

using ExtrasFunctions =
    FunctionTable<PublicKey, BuildSignedCreateIntentForPayeeKey, BuildSignedCreateIntentWithPolicyBindingForPayeeKey,
                  CheckCreateIntent, CheckEvidence, ReadBackFault, BatchSignPayeeEvidenceBinding,
                  BatchEncodeEvidenceSignV1, BatchBuildSignedCreateIntent, BatchBuildSignedCreateIntentWithPolicyBinding,
                  BatchVerifyEd25519Sha256, BatchBuildSignedCreateIntentForPayeeKey,
                  BatchBuildSignedCreateIntentWithPolicyBindingForPayeeKey>;

}  // namespace corvane::boundary

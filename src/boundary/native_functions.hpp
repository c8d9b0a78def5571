// The five functions of corvane_kit._native, one declaration each, and their
// order: the order they are added in and listed in __all__.
#pragma once

#include "boundary/declaration.hpp"
#include "boundary/function_table.hpp"
#include "boundary/parameter_kinds.hpp"
#include "functions/create_intent.hpp"
#include "functions/evidence_binding.hpp"
#include "functions/verify_digest.hpp"
#include "functions/wire_golden.hpp"

namespace corvane::boundary {

// The six EvidenceSignV1 inputs, and the fifteen create-intent parameters
// around the twelfth, whose name differs. The third names the payee: its seed
// here, its public key in _extras.
using EvidenceParams = ParamGroup<Param<"tenant_id", Text>, Param<"intent_id", Text>, Param<"payee_did", Text>,
                                  Param<"payload_json", Text>, Param<"artifacts_hex", TextList>,
                                  Param<"submitted_at_rfc3339", Text>>;
template <class PayeeParam>
using IntentParamsBeforePredicate =
    ParamGroup<Param<"tenant_id", Text>, Param<"principal_seed", SeedBytes>, PayeeParam, Param<"intent_id", Text>,
               Param<"principal_did", Text>, Param<"payee_did", Text>, Param<"budget_json", Text>,
               Param<"currency", Text>, Param<"amount_cents", SignedAmount>, Param<"evidence_schema_json", Text>,
               Param<"deadline_rfc3339", Text>>;
using IntentParamsAfterPredicate =
    ParamGroup<Param<"predicate_ref", Text>, Param<"allowed_tools_json", Text>, Param<"settlement_rail", Text>>;
using PolicyHeadParams = ParamGroup<Param<"policy_template_id", Text>, Param<"policy_version_seq", SequenceNumber>,
                                    Param<"policy_content_digest_hex", Text>>;
using PayeeSeedParam = Param<"payee_seed", BytesAs<functions::PayeeSeed>>;

using SignPayeeEvidenceBinding = Declare<
    "sign_payee_evidence_binding_json",
    "Returns a JSON string for `POST /intents/{intent_id}/evidence` (payload + signatures).\n\n"
    "`secret_seed` must be exactly 32 bytes (Ed25519 seed).",
    functions::sign_payee_evidence_binding_json, EvidenceParams, Param<"secret_seed", SeedBytes>>;

using EncodeEvidenceSignV1 = Declare<
    "encode_evidence_sign_v1_hex",
    "Returns hex-encoded EvidenceSignV1 signing bytes (parity helper for wire goldens).",
    functions::encode_evidence_sign_v1_hex, EvidenceParams>;

using BuildSignedCreateIntent = Declare<
    "build_signed_create_intent_json",
    "Returns a JSON string for ``POST /intents`` (principal-signed ``CreateIntentRequest``, raw "
    "``predicate_dsl``).\n\n"
    "``principal_seed`` must be exactly 32 bytes (Ed25519 seed). ``allowed_tools_json`` must be a JSON\n"
    "array of strings (non-empty per Ostraven).",
    functions::build_signed_create_intent_json,
    IntentParamsBeforePredicate<PayeeSeedParam>, Param<"predicate_json", Text>, IntentParamsAfterPredicate>;

using BuildSignedCreateIntentWithPolicyBinding = Declare<
    "build_signed_create_intent_with_policy_binding_json",
    "Returns a JSON string for ``POST /intents`` with signing v5 and a published managed-policy head.",
    functions::build_signed_create_intent_with_policy_binding_json,
    IntentParamsBeforePredicate<PayeeSeedParam>, Param<"materialized_predicate_json", Text>,
    IntentParamsAfterPredicate, PolicyHeadParams>;

using VerifyEd25519Sha256 = Declare<
    "verify_ed25519_sha256_hex",
    "Verify an Ed25519 signature over a SHA-256 digest (audit export manifest verification).",
    functions::verify_ed25519_sha256_hex,
    Param<"digest_hex", Text>, Param<"signature_hex", Text>, Param<"public_key_hex", Text>>;

using NativeFunctions = FunctionTable<SignPayeeEvidenceBinding, EncodeEvidenceSignV1, BuildSignedCreateIntent,
                                      BuildSignedCreateIntentWithPolicyBinding, VerifyEd25519Sha256>;

}  // namespace corvane::boundary

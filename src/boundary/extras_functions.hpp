// The functions of corvane_kit._extras: what the kit offers beyond the five
// functions of _native, declared and bound the same way. Their order is the
// order they are added in and listed in __all__.
#pragma once

#include "boundary/batch_frame.hpp"
#include "boundary/declaration.hpp"
#include "boundary/function_table.hpp"
#include "boundary/native_functions.hpp"
#include "boundary/parameter_kinds.hpp"
#include "functions/public_key.hpp"

namespace corvane::boundary {

using PublicKey = Declare<"public_key", "Returns the 32-byte Ed25519 public key of a 32-byte seed (bytes).",
                          functions::public_key, Param<"seed", SeedBytes>>;

// Each of the five native functions over many argument tuples, the work done
// with the interpreter lock released: batch_ and the native name, so that the
// batch of a function is found by its name.
using BatchSignPayeeEvidenceBinding = Batch<SignPayeeEvidenceBinding>;
using BatchEncodeEvidenceSignV1 = Batch<EncodeEvidenceSignV1>;
using BatchBuildSignedCreateIntent = Batch<BuildSignedCreateIntent>;
using BatchBuildSignedCreateIntentWithPolicyBinding = Batch<BuildSignedCreateIntentWithPolicyBinding>;
using BatchVerifyEd25519Sha256 = Batch<VerifyEd25519Sha256>;

using ExtrasFunctions =
    FunctionTable<PublicKey, BatchSignPayeeEvidenceBinding, BatchEncodeEvidenceSignV1, BatchBuildSignedCreateIntent,
                  BatchBuildSignedCreateIntentWithPolicyBinding, BatchVerifyEd25519Sha256>;

}  // namespace corvane::boundary

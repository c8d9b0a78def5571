// The functions of corvane_kit._extras: what the kit offers beyond the five
// functions of _native, declared and bound the same way. Their order is the
// order they are added in and listed in __all__.
#pragma once

#include "boundary/declaration.hpp"
#include "boundary/function_table.hpp"
#include "boundary/parameter_kinds.hpp"
#include "functions/public_key.hpp"

namespace corvane::boundary {

using PublicKey = Declare<"public_key", "Returns the 32-byte Ed25519 public key of a 32-byte seed (bytes).",
                          functions::public_key, Param<"seed", SeedBytes>>;

using ExtrasFunctions = FunctionTable<PublicKey>;

}  // namespace corvane::boundary

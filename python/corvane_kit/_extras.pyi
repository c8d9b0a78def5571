"""Type stubs for the kit's native functions beyond the five of ``_native``."""

from collections.abc import Sequence
from typing import TypeAlias

_Seed: TypeAlias = bytes | bytearray | Sequence[int]

__all__ = [
    "public_key",
    "batch_sign_payee_evidence_binding_json",
    "batch_encode_evidence_sign_v1_hex",
    "batch_build_signed_create_intent_json",
    "batch_build_signed_create_intent_with_policy_binding_json",
    "batch_verify_ed25519_sha256_hex",
]

def public_key(seed: _Seed) -> bytes:
    """Return the 32-byte Ed25519 public key of a 32-byte seed."""

# The positional arguments of each native function, in order.
_EvidenceArguments: TypeAlias = tuple[str, str, str, str, Sequence[str], str]
_SignArguments: TypeAlias = tuple[str, str, str, str, Sequence[str], str, _Seed]
_IntentArguments: TypeAlias = tuple[
    str, _Seed, _Seed, str, str, str, str, str, int, str, str, str, str, str, str
]
_PolicyIntentArguments: TypeAlias = tuple[
    str, _Seed, _Seed, str, str, str, str, str, int, str, str, str, str, str, str, str, int, str
]
_VerifyArguments: TypeAlias = tuple[str, str, str]

# Each runs the native function of the same name on every tuple of items, with
# the interpreter lock released for the work, and returns, in order, each
# call's result or the exception instance that the call would raise.
def batch_sign_payee_evidence_binding_json(items: Sequence[_SignArguments]) -> list[str | BaseException]:
    """Call ``sign_payee_evidence_binding_json`` once per argument tuple."""

def batch_encode_evidence_sign_v1_hex(items: Sequence[_EvidenceArguments]) -> list[str | BaseException]:
    """Call ``encode_evidence_sign_v1_hex`` once per argument tuple."""

def batch_build_signed_create_intent_json(items: Sequence[_IntentArguments]) -> list[str | BaseException]:
    """Call ``build_signed_create_intent_json`` once per argument tuple."""

def batch_build_signed_create_intent_with_policy_binding_json(
    items: Sequence[_PolicyIntentArguments],
) -> list[str | BaseException]:
    """Call ``build_signed_create_intent_with_policy_binding_json`` once per argument tuple."""

def batch_verify_ed25519_sha256_hex(items: Sequence[_VerifyArguments]) -> list[bool | BaseException]:
    """Call ``verify_ed25519_sha256_hex`` once per argument tuple."""

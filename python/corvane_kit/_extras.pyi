"""Type stubs for the kit's native functions beyond the five of ``_native``."""

from collections.abc import Sequence
from typing import TypeAlias

_Seed: TypeAlias = bytes | bytearray | Sequence[int]
_PublicKey: TypeAlias = bytes | bytearray | Sequence[int]

__all__ = [
    "public_key",
    "build_signed_create_intent_json_for_payee_key",
    "build_signed_create_intent_with_policy_binding_json_for_payee_key",
    "check_create_intent",
    "check_evidence",
    "read_back_fault",
    "batch_sign_payee_evidence_binding_json",
    "batch_encode_evidence_sign_v1_hex",
    "batch_build_signed_create_intent_json",
    "batch_build_signed_create_intent_with_policy_binding_json",
    "batch_verify_ed25519_sha256_hex",
    "batch_build_signed_create_intent_json_for_payee_key",
    "batch_build_signed_create_intent_with_policy_binding_json_for_payee_key",
]

def public_key(seed: _Seed) -> bytes:
    """Return the 32-byte Ed25519 public key of a 32-byte seed."""

def build_signed_create_intent_json_for_payee_key(
    tenant_id: str,
    principal_seed: _Seed,
    payee_public_key: _PublicKey,
    intent_id: str,
    principal_did: str,
    payee_did: str,
    budget_json: str,
    currency: str,
    amount_cents: int,
    evidence_schema_json: str,
    deadline_rfc3339: str,
    predicate_json: str,
    predicate_ref: str,
    allowed_tools_json: str,
    settlement_rail: str,
) -> str:
    """Return the body of ``build_signed_create_intent_json`` with the payee given by its public key.

    ``payee_public_key`` must be exactly 32 bytes: the Ed25519 public key of the payee's seed.
    """

def build_signed_create_intent_with_policy_binding_json_for_payee_key(
    tenant_id: str,
    principal_seed: _Seed,
    payee_public_key: _PublicKey,
    intent_id: str,
    principal_did: str,
    payee_did: str,
    budget_json: str,
    currency: str,
    amount_cents: int,
    evidence_schema_json: str,
    deadline_rfc3339: str,
    materialized_predicate_json: str,
    predicate_ref: str,
    allowed_tools_json: str,
    settlement_rail: str,
    policy_template_id: str,
    policy_version_seq: int,
    policy_content_digest_hex: str,
) -> str:
    """Return the body of ``build_signed_create_intent_with_policy_binding_json`` with the payee given by its
    public key.

    ``payee_public_key`` must be exactly 32 bytes: the Ed25519 public key of the payee's seed.
    """
def check_create_intent(
    body: str, tenant_id: str, policy_content_digest: str | None, materialized_predicate_json: str | None
) -> tuple[bool, bytes | None, str | None]:
    """Rebuild a CreateIntentRequest body's signing payload and verify principal_signature: (ok, payload, reason)."""

def check_evidence(body: str, tenant_id: str, intent_id: str) -> tuple[bool, bytes | None, str | None]:
    """Rebuild an evidence body's EvidenceSignV1 payload and verify payee_signature: (ok, payload, reason)."""

def read_back_fault(body: str) -> list[str]:
    """[member, problem] for the first member of a body that does not read back as written, else []."""

# The positional arguments of each native function, in order.
_EvidenceArguments: TypeAlias = tuple[str, str, str, str, Sequence[str], str]
_SignArguments: TypeAlias = tuple[str, str, str, str, Sequence[str], str, _Seed]
# The payee's seed, or for the _for_payee_key batches its public key (32 bytes).
_IntentArguments: TypeAlias = tuple[
    str, _Seed, _Seed | _PublicKey, str, str, str, str, str, int, str, str, str, str, str, str
]
_PolicyIntentArguments: TypeAlias = tuple[
    str, _Seed, _Seed | _PublicKey, str, str, str, str, str, int, str, str, str, str, str, str, str, int, str
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

def batch_build_signed_create_intent_json_for_payee_key(
    items: Sequence[_IntentArguments],
) -> list[str | BaseException]:
    """Call ``build_signed_create_intent_json_for_payee_key`` once per argument tuple."""

def batch_build_signed_create_intent_with_policy_binding_json_for_payee_key(
    items: Sequence[_PolicyIntentArguments],
) -> list[str | BaseException]:
    """Call ``build_signed_create_intent_with_policy_binding_json_for_payee_key`` once per argument tuple."""

"""Type stubs for the native signing core.

Every parameter is required and may be given by position or by keyword. Text
parameters take ``str`` (JSON documents, timestamps and identifiers as text);
seeds take 32 bytes as ``bytes``, ``bytearray`` or a sequence of ints 0..255.
"""

from collections.abc import Sequence
from typing import TypeAlias

_Seed: TypeAlias = bytes | bytearray | Sequence[int]

__all__ = [
    "sign_payee_evidence_binding_json",
    "encode_evidence_sign_v1_hex",
    "build_signed_create_intent_json",
    "build_signed_create_intent_with_policy_binding_json",
    "verify_ed25519_sha256_hex",
]

def sign_payee_evidence_binding_json(
    tenant_id: str,
    intent_id: str,
    payee_did: str,
    payload_json: str,
    artifacts_hex: Sequence[str],
    submitted_at_rfc3339: str,
    secret_seed: _Seed,
) -> str:
    """Return the JSON body of ``POST /intents/{intent_id}/evidence``, signed by the payee.

    ``secret_seed`` must be exactly 32 bytes (Ed25519 seed).
    """

def encode_evidence_sign_v1_hex(
    tenant_id: str,
    intent_id: str,
    payee_did: str,
    payload_json: str,
    artifacts_hex: Sequence[str],
    submitted_at_rfc3339: str,
) -> str:
    """Return the EvidenceSignV1 signing bytes as lower-case hex."""

def build_signed_create_intent_json(
    tenant_id: str,
    principal_seed: _Seed,
    payee_seed: _Seed,
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
    """Return the JSON body of ``POST /intents``, signed by the principal over IntentSignV6.

    Both seeds must be exactly 32 bytes; ``allowed_tools_json`` must be a
    non-empty JSON array of strings; ``amount_cents`` is a signed 64-bit integer.
    """

def build_signed_create_intent_with_policy_binding_json(
    tenant_id: str,
    principal_seed: _Seed,
    payee_seed: _Seed,
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
    """Return the JSON body of ``POST /intents`` bound to a managed-policy head (IntentSignV7).

    ``policy_version_seq`` is 0..4294967295; ``policy_content_digest_hex`` is 64 hex digits.
    """

def verify_ed25519_sha256_hex(digest_hex: str, signature_hex: str, public_key_hex: str) -> bool:
    """Return whether the Ed25519 signature over the 32-byte digest verifies under the key.

    Raises ValueError when an input is not hex of the right length or the key is
    not a curve point.
    """

"""Type stubs for the kit's native functions beyond the five of ``_native``."""

from collections.abc import Sequence
from typing import TypeAlias

_Seed: TypeAlias = bytes | bytearray | Sequence[int]

__all__ = ["public_key", "check_create_intent", "check_evidence", "read_back_fault"]

def public_key(seed: _Seed) -> bytes:
    """Return the 32-byte Ed25519 public key of a 32-byte seed."""

def check_create_intent(
    body: str, tenant_id: str, policy_content_digest: str | None, materialized_predicate_json: str | None
) -> tuple[bool, bytes | None, str | None]:
    """Rebuild a CreateIntentRequest body's signing payload and verify principal_signature: (ok, payload, reason)."""

def check_evidence(body: str, tenant_id: str, intent_id: str) -> tuple[bool, bytes | None, str | None]:
    """Rebuild an evidence body's EvidenceSignV1 payload and verify payee_signature: (ok, payload, reason)."""

def read_back_fault(body: str) -> list[str]:
    """[member, problem] for the first member of a body that does not read back as written, else []."""

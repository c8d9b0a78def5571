"""Calls that the type checker must accept, and calls it must refuse.

Checked by `make typecheck` with ``mypy --strict`` (so ``warn_unused_ignores``
is on): every line marked ``# type: ignore[code]`` must really be an error of
that code, or the ignore itself is reported. This file is never run.
"""

import datetime as dt
import uuid
from collections.abc import Sequence

import corvane_kit
from corvane_kit import _native

SEED = bytes(32)
TOOLS = '["browse"]'
INTENT = "123e4567-e89b-12d3-a456-426614174000"
ART = "11" * 32
AWARE = dt.datetime(2030, 1, 1, tzinfo=dt.timezone.utc)


# --- The native functions -------------------------------------------------

# Every seed form, positional and keyword arguments; results are str and bool.
body: str = _native.build_signed_create_intent_json(
    "tenant-7", SEED, bytearray(32), INTENT, "did:p", "did:q", "{}", "USD", 1500,
    "{}", "2030-01-01T00:00:00Z", "{}", "", TOOLS, "stripe_connect",
)
artifacts: Sequence[str] = (ART,)
body = _native.sign_payee_evidence_binding_json(
    "tenant-7", INTENT, "did:q", "{}", artifacts, "2025-03-01T12:00:00Z", SEED
)
ok: bool = _native.verify_ed25519_sha256_hex(digest_hex="00" * 32, signature_hex="", public_key_hex="")

# Wrong types.
_native.verify_ed25519_sha256_hex(b"\x00" * 32, "", "")  # type: ignore[arg-type]
_native.sign_payee_evidence_binding_json("t", INTENT, "d", "{}", [ART], "x", "00" * 32)  # type: ignore[arg-type]
_native.build_signed_create_intent_json(
    "t", SEED, SEED, INTENT, "p", "q", "{}", "USD", 15.0,  # type: ignore[arg-type]
    "{}", "2030-01-01T00:00:00Z", "{}", None, TOOLS, "stripe_connect",  # type: ignore[arg-type]
)
# No defaults: every parameter is required; no unknown keywords.
_native.encode_evidence_sign_v1_hex("t", INTENT, "d", "{}", [ART])  # type: ignore[call-arg]


# --- The Pythonic layer ----------------------------------------------------

body = corvane_kit.create_intent(
    tenant_id="tenant-7", principal_seed=SEED, payee_seed=bytearray(32),
    intent_id=uuid.uuid4(), principal_did="did:p", payee_did="did:q",
    budget_json={"max_cents": 5000, "tags": ["a", "b"], "cap": 1.5, "note": None},
    currency="USD", amount_cents=1500, evidence_schema_json="{}",
    deadline_rfc3339=AWARE, predicate_json=[{"all": []}, True],
    allowed_tools_json=["browse"], settlement_rail="stripe_connect",
)
body = corvane_kit.sign_evidence(
    tenant_id="t", intent_id=uuid.uuid4(), payee_did="did:q", payload_json={"a": [1, 2]},
    artifacts_hex=[bytes(32), ART, bytearray(32)], submitted_at_rfc3339=AWARE, secret_seed=SEED,
)
# Lists and tuples of any item type the parameter takes, whatever their declared types.
text_list: list[str] = [ART]
byte_tuple: tuple[bytes, ...] = (bytes(32),)
for hashes in (text_list, byte_tuple, artifacts, ()):
    body = corvane_kit.evidence_sign_v1_hex(
        tenant_id="t", intent_id=INTENT, payee_did="d", payload_json="{}",
        artifacts_hex=hashes, submitted_at_rfc3339=AWARE,
    )
ok = corvane_kit.verify_digest_signature(bytes(32), "00" * 64, bytearray(32))

# Wrong types.
corvane_kit.evidence_sign_v1_hex(
    tenant_id="t", intent_id=1, payee_did="d", payload_json={1, 2},  # type: ignore[arg-type]
    artifacts_hex=[1], submitted_at_rfc3339=dt.date(2030, 1, 1),  # type: ignore[list-item, arg-type]
)
corvane_kit.sign_evidence(
    tenant_id="t", intent_id=INTENT, payee_did="d", payload_json="{}", artifacts_hex=[],
    submitted_at_rfc3339=AWARE, secret_seed="00" * 32,  # type: ignore[arg-type]
)
corvane_kit.verify_digest_signature(0, "", "")  # type: ignore[arg-type]
# A str is a Sequence[str], but not a list of artifact hashes; nor is bytes.
for not_a_list in (ART, bytes(32)):
    corvane_kit.evidence_sign_v1_hex(
        tenant_id="t", intent_id=INTENT, payee_did="d", payload_json="{}",
        artifacts_hex=not_a_list, submitted_at_rfc3339=AWARE,  # type: ignore[arg-type]
    )
# The four signing functions take keywords only; only predicate_ref and the payee's two forms have defaults.
corvane_kit.evidence_sign_v1_hex("t", INTENT, "d", "{}", [], AWARE)  # type: ignore[call-arg]
wrong_bytes: bytes = corvane_kit.evidence_sign_v1_hex(  # type: ignore[assignment]
    tenant_id="t", intent_id=INTENT, payee_did="d", payload_json="{}", artifacts_hex=[],
)  # type: ignore[call-arg]

"""The main job, end to end: sign a create-intent request and an evidence
submission, then verify a signature over a digest.

The seeds below are EXAMPLE SEEDS, fixed so that the output is reproducible.
Never use them for anything real: real seeds come from a secret store.
"""

import hashlib
import json

from nacl.signing import SigningKey

from corvane_kit import (
    build_signed_create_intent_json,
    encode_evidence_sign_v1_hex,
    sign_payee_evidence_binding_json,
    verify_ed25519_sha256_hex,
)

EXAMPLE_PRINCIPAL_SEED = bytes(range(32))  # example only
EXAMPLE_PAYEE_SEED = bytes(range(32, 64))  # example only
INTENT_ID = "123e4567-e89b-12d3-a456-426614174000"


def show(title: str, body: str) -> None:
    print(f"== {title}")
    print(body)
    print()


def main() -> None:
    intent = build_signed_create_intent_json(
        tenant_id="tenant-7",
        principal_seed=EXAMPLE_PRINCIPAL_SEED,
        payee_seed=EXAMPLE_PAYEE_SEED,
        intent_id=INTENT_ID,
        principal_did="did:example:principal",
        payee_did="did:example:payee",
        budget_json='{"max_cents": 5000, "categories": ["travel"]}',
        currency="USD",
        amount_cents=1500,
        evidence_schema_json='{"type": "object", "required": ["receipt"]}',
        deadline_rfc3339="2030-01-01T00:00:00Z",
        predicate_json='{"all": [{"field": "receipt.total", "lte": 1500}]}',
        predicate_ref="",
        allowed_tools_json='["browse", "pay"]',
        settlement_rail="stripe_connect",
    )
    show("POST /intents", intent)

    evidence_args = dict(
        tenant_id="tenant-7",
        intent_id=INTENT_ID,
        payee_did="did:example:payee",
        payload_json='{"receipt": {"total": 1499, "currency": "USD"}}',
        artifacts_hex=["11" * 32, "0x" + "AB" * 32],
        submitted_at_rfc3339="2025-03-01T12:00:00.5Z",
    )
    submission = sign_payee_evidence_binding_json(**evidence_args, secret_seed=EXAMPLE_PAYEE_SEED)
    show(f"POST /intents/{INTENT_ID}/evidence", submission)
    record_hex = encode_evidence_sign_v1_hex(**evidence_args)
    show("EvidenceSignV1 bytes", record_hex)

    # An audit-export manifest: its SHA-256 digest, signed by the exporter.
    manifest = json.dumps({"intents": [INTENT_ID], "exported": "2030-01-02"}).encode()
    digest = hashlib.sha256(manifest).digest()
    exporter = SigningKey(EXAMPLE_PRINCIPAL_SEED)  # example only
    signature = exporter.sign(digest).signature
    ok = verify_ed25519_sha256_hex(digest.hex(), signature.hex(), bytes(exporter.verify_key).hex())
    tampered = verify_ed25519_sha256_hex(hashlib.sha256(manifest + b" ").hexdigest(), signature.hex(),
                                         bytes(exporter.verify_key).hex())
    show("manifest signature", f"valid: {ok}\ntampered digest valid: {tampered}")
    if not ok or tampered:
        raise SystemExit("verification gave the wrong answer")


if __name__ == "__main__":
    main()

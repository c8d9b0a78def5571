"""One valid call per function, in parameter order, taken from the documented
examples so that each reaches its implementation and succeeds. Tests that
change one argument at a time start from these."""

import hashlib

import nacl.signing

SEED_A = bytes(range(32))  # example seeds: never use them for anything real
SEED_B = bytes(range(100, 132))
INTENT_ID = "123e4567-e89b-12d3-a456-426614174000"
ART = "11" * 32

EVIDENCE = {
    "tenant_id": "tenant-7",
    "intent_id": INTENT_ID,
    "payee_did": "did:example:payee",
    "payload_json": '{"b":1,"a":"x"}',
    "artifacts_hex": [ART, "0x" + "AB" * 32],
    "submitted_at_rfc3339": "2025-03-01t12:00:00.500+00:00",
}
SIGN = {**EVIDENCE, "secret_seed": SEED_A}

CREATE = {
    "tenant_id": "tenant-7",
    "principal_seed": SEED_A,
    "payee_seed": SEED_B,
    "intent_id": INTENT_ID,
    "principal_did": "did:example:principal",
    "payee_did": "did:example:payee",
    "budget_json": '{"max_cents":5000}',
    "currency": "USD",
    "amount_cents": 1250,
    "evidence_schema_json": '{"type":"object"}',
    "deadline_rfc3339": "2025-03-01T12:00:00Z",
    "predicate_json": '{"all":[]}',
    "predicate_ref": "pred:v1",
    "allowed_tools_json": '["web.search"]',
    "settlement_rail": "stripe_connect",
}
# The policy variant takes the materialized predicate in twelfth place and
# three policy parameters at the end.
POLICY = {
    **dict(list(CREATE.items())[:11]),
    "materialized_predicate_json": '{"all":[]}',
    **dict(list(CREATE.items())[12:]),
    "policy_template_id": "tmpl-1",
    "policy_version_seq": 7,
    "policy_content_digest_hex": "ab" * 32,
}

_DIGEST = hashlib.sha256(b"audit export manifest").digest()
_KEY = nacl.signing.SigningKey(SEED_A)
VERIFY = {
    "digest_hex": _DIGEST.hex(),
    "signature_hex": _KEY.sign(_DIGEST).signature.hex(),
    "public_key_hex": bytes(_KEY.verify_key).hex(),
}

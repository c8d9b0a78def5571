"""Checking a request body as the service does. (That every body the builders
make checks, or holds a float read as its neighbour: the fuzz targets.)

Oracles: PyNaCl verifies every payload a passing check returns under the
body's own key and signature, so the rebuilt bytes are the signed ones; the
reasons are written out by hand; keys that are no curve point come from the
pure-Python reference.
"""

import base64
import json

import pytest
from nacl.signing import SigningKey, VerifyKey

import corvane_kit
import ed25519_reference as ref
import valid_arguments as valid
from corvane_kit import _native as native

DOCS = {
    "intent": native.build_signed_create_intent_json(**valid.CREATE),
    "blank": native.build_signed_create_intent_json(**{**valid.CREATE, "predicate_ref": " \u3000"}),
    "policy": native.build_signed_create_intent_with_policy_binding_json(**valid.POLICY),
    "evidence": native.sign_payee_evidence_binding_json(**valid.SIGN),
    # A float whose shortest text the reader reads as its neighbour, and the deepest document the reader takes.
    "misread": native.build_signed_create_intent_json(**{**valid.CREATE, "budget_json": "[2.2790121708605243e274]"}),
    "evidence_deep": native.sign_payee_evidence_binding_json(**{**valid.SIGN, "payload_json": "[" * 127 + "]" * 127}),
}
POLICY_ARGS = {"policy_content_digest": "ab" * 32, "materialized_predicate_json": '{"all":[]}'}
ARGS = {"intent": {}, "blank": {}, "misread": {}, "policy": POLICY_ARGS, "evidence": {"intent_id": valid.INTENT_ID},
        "evidence_deep": {"intent_id": valid.INTENT_ID}}
V6 = "principal_signature: does not verify over the rebuilt IntentSignV6 payload"
V7 = V6.replace("V6", "V7")
EV = "payee_signature: does not verify over the rebuilt EvidenceSignV1 payload"
DELETE = object()


def check(kind, body, **changes):
    function = corvane_kit.check_evidence if kind.startswith("evidence") else corvane_kit.check_create_intent
    return function(body, **{"tenant_id": "tenant-7", **ARGS[kind], **changes})


def b64(data):
    return base64.b64encode(data).decode()


OTHER_KEY = b64(bytes(SigningKey(bytes(32)).verify_key))
NOT_A_POINT = b64(next(ref.encode_y(y) for y in range(2, 99) if ref.decode_point(ref.encode_y(y)) is None))


def changed(kind, change):
    """The body with one member changed (DELETE: removed), written out again by another serialiser."""
    if isinstance(change, str):
        return change
    doc = json.loads(DOCS[kind])
    path, value = change
    *outer, name = path.split(".")
    target = doc[outer[0]] if outer else doc
    if value is DELETE:
        del target[name]
    else:
        target[name] = value
    return json.dumps(dict(reversed(doc.items())), indent=1)  # other order, spacing, escapes


SHARED = [  # a change of each member both intent documents sign
    ("intent_id", "123e4567-e89b-12d3-a456-426614174001"), ("principal_did", "did:example:other"),
    ("payee_did", "did:x"), ("amount_cents", 1251), ("currency", "EUR"), ("deadline", "2025-03-01T12:00:01Z"),
("budget", {"max_cents": 5001}), ("evidence_schema", {}),
    ("predicate_ref", "pred:v2"), ("predicate_ref", DELETE), ("allowed_tools", ["web.search", "x"]),
    ("settlement_rail", "stripe_mpp"), ("payee_pubkey", OTHER_KEY), ("principal_pubkey", OTHER_KEY),
]  # fmt: skip
CASES = [("intent", change, V6) for change in SHARED] + [("policy", change, V7) for change in SHARED[9:12]] + [
    # Signed members and arguments changed.
    ("blank", ("predicate_ref", " \u3000"), V6),  # signed as the empty text, as the document leaves it out
    ("policy", ("policy_binding.template_id", "tmpl-2"), V7),
    ("policy", {"policy_content_digest": "cd" * 32}, V7),
    ("policy", {"materialized_predicate_json": {"any": []}}, V7),
    ("evidence", ("payload", {"b": 1, "a": "y"}), EV),
    ("evidence", {"tenant_id": "tenant-8"}, EV),
    ("misread", {"tenant_id": "tenant-8"}, V6),
    # What the payloads do not keep, or keep in another form.
    ("intent", ("deadline", "2025-03-01t12:00:00.000+00:00"), None),
    ("blank", ("predicate_ref", ""), None),
    ("policy", {"policy_content_digest": f" {'AB' * 32}\n"}, None),
    ("evidence", ("artifacts", ["0x" + "11" * 32, "AB" * 32]), None),
    # Faults of the body, each named.
    ("intent", "", "body: EOF while parsing a value at line 1 column 0"),
    ("intent", "[]", "body: expected an object, found an array"),
    ("intent", ("policy_binding", {}), "policy_binding: expected null with signing_version 6, found an object"),
    ("policy", ("policy_binding", None), "policy_binding: expected an object with signing_version 7, found null"),
    ("policy", ("predicate_dsl", {}),
     "predicate_dsl: not expected with signing_version 7, whose predicate comes from the policy"),
    ("intent", ("amount_cents", 2**63), "amount_cents: out of range: 9223372036854775808"),
    ("intent", ("allowed_tools", ["a", None]), "allowed_tools[1]: expected a string, found null"),
    ("intent", ("settlement_rail", " stripe_mpp"), "settlement_rail: must be one of stripe_connect, "
     "stripe_ach_debit, stripe_mpp, adyen_manual_capture, x402_usdc_base"),
    ("policy", ("policy_binding.version_seq", 2**32), "policy_binding.version_seq: out of range: 4294967296"),
    ("intent", ("payee_pubkey", OTHER_KEY[:3] + "-" + OTHER_KEY[4:]),
     "payee_pubkey: not base64 of 32 bytes (Invalid character '-' at position 3)"),
    ("intent", ("principal_pubkey", "AAAA"), "principal_pubkey: not base64 of 32 bytes (decodes to 3 bytes)"),
    ("intent", ("principal_pubkey", NOT_A_POINT), "principal_pubkey: not a point on the curve"),
    ("evidence", ("artifacts", ["xyz"]), "artifacts[0]: bad hex (Odd number of digits)"),
    ("evidence", ("artifacts", ["11" * 32, "ab"]), "artifacts[1]: expected 32 bytes, got 1"),
    ("evidence_deep", {}, "body: recursion limit exceeded at line 1 column 138"),
    ("misread", {}, "budget: the number 2.2790121708605247e+274 reads back as "
     "2.279012170860525e+274; the signature holds for the number as written"),
    # Faults of the arguments.
    ("intent", {"policy_content_digest": "ab" * 32},
     "policy_content_digest: given, but signing_version 6 binds no policy"),
    ("policy", {"policy_content_digest": None}, "policy_content_digest: required for signing_version 7"),
    ("policy", {"materialized_predicate_json": None}, "materialized_predicate_json: required for signing_version 7"),
    ("policy", {"materialized_predicate_json": [float("nan")]},
     "materialized_predicate_json: Out of range float values are not JSON compliant"),
    ("policy", {"policy_content_digest": bytes(31)}, "policy_content_digest: must decode to 32 bytes, not 31"),
    ("policy", {"materialized_predicate_json": "{"}, "materialized_predicate_json: EOF while parsing an object "
     "at line 1 column 1"),
    ("evidence", {"intent_id": f" {valid.INTENT_ID} "}, "intent_id: invalid character: found ` ` at 0"),
    ("evidence", {"tenant_id": "t\ud800"}, "tenant_id: not UTF-8 text (surrogates not allowed at index 1)"),
]  # fmt: skip


@pytest.mark.parametrize("kind, change, reason", CASES, ids=str)
def test_check(kind, change, reason):
    body = DOCS[kind] if isinstance(change, dict) else changed(kind, change)
    result = check(kind, body, **(change if isinstance(change, dict) else {}))
    assert (result.ok, result.reason) == (reason is None, reason)
    if result.ok:  # the rebuilt payload is what the body's signer signed
        doc = json.loads(body)
        signer = "payee" if kind == "evidence" else "principal"
        VerifyKey(base64.b64decode(doc[f"{signer}_pubkey"])).verify(
            result.payload, base64.b64decode(doc[f"{signer}_signature"]))

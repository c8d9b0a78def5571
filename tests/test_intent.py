"""Create-intent bodies: what the principal signs, and the document around it.

The extension does not return the payload bytes, so every check rebuilds the
record with payload_reference from explicit values and compares the document's
signature with PyNaCl's over those bytes (Ed25519 is deterministic).
"""

import base64
import json

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from corvane_kit import _native as native

try:
    import payload_reference as ref
except ImportError:  # tests/ collected as a package
    from tests import payload_reference as ref


PRINCIPAL_SEED = bytes(range(32))
PAYEE_SEED = bytes(range(32, 64))
U = "123e4567-e89b-12d3-a456-426614174000"
U_BYTES = bytes.fromhex("123e4567e89b12d3a456426614174000")
DEADLINE = "2030-01-02T03:04:05Z"  # 20 characters
POLICY_DIGEST = bytes(range(200, 232))

# The smallest inputs: empty texts, amount 0, the shortest rail, a 20-character deadline.
MIN = dict(
    tenant_id="",
    principal_seed=PRINCIPAL_SEED,
    payee_seed=PAYEE_SEED,
    intent_id=U,
    principal_did="",
    payee_did="",
    budget_json="{}",
    currency="",
    amount_cents=0,
    evidence_schema_json="{}",
    deadline_rfc3339=DEADLINE,
    predicate_json="{}",
    predicate_ref="",
    allowed_tools_json='["read"]',
    settlement_rail="stripe_mpp",
)
POLICY_EXTRA = dict(policy_template_id="", policy_version_seq=0, policy_content_digest_hex=POLICY_DIGEST.hex())

FIELDS = dict(
    tenant_id="",
    intent_id=U,
    principal_did="",
    payee_did="",
    amount_cents=0,
    currency="",
    deadline=DEADLINE,
    budget_digest=ref.blake3_digest(b"{}"),
    evidence_schema_digest=ref.blake3_digest(b"{}"),
    predicate_dsl_digest=ref.blake3_digest(b"{}"),
    predicate_ref="",
    allowed_tools_digest=ref.blake3_digest(b'["read"]'),
    settlement_rail="stripe_mpp",
    payee_pubkey=ref.public_key(PAYEE_SEED),
)
POLICY_FIELDS = dict(policy_template_id="", policy_version_seq=0, policy_content_digest=POLICY_DIGEST)
POLICY_KEYS = set(POLICY_FIELDS)

V6_KEYS = [
    "allowed_tools",
    "amount_cents",
    "budget",
    "currency",
    "deadline",
    "evidence_schema",
    "intent_id",
    "payee_did",
    "payee_pubkey",
    "policy_binding",
    "predicate_dsl",
    "principal_did",
    "principal_pubkey",
    "principal_signature",
    "settlement_rail",
    "signing_version",
]
V7_KEYS = [k for k in V6_KEYS if k != "predicate_dsl"]

RAIL_MSG = (
    "settlement_rail must be one of stripe_connect, stripe_ach_debit, stripe_mpp, adyen_manual_capture, x402_usdc_base"
)
PRINCIPAL_SEED_MSG = "principal_seed must be exactly 32 bytes (Ed25519 signing key seed)"
PAYEE_SEED_MSG = "payee_seed must be exactly 32 bytes (Ed25519 signing key seed)"
TOOLS_PREFIX = "allowed_tools_json must be a JSON array of strings: "
DIGEST_LEN_MSG = "policy_content_digest_hex must decode to 32 bytes"

VARIANTS = ["v6", "v7"]


def build(variant, **over):
    if variant == "v6":
        return native.build_signed_create_intent_json(**{**MIN, **over})
    args = {**MIN, **POLICY_EXTRA, **over}
    args["materialized_predicate_json"] = args.pop("predicate_json")
    return native.build_signed_create_intent_with_policy_binding_json(**args)


def record(variant, **fields):
    if variant == "v6":
        assert not POLICY_KEYS & set(fields)
        return ref.intent_sign_v6(**{**FIELDS, **fields})
    return ref.intent_sign_v7(**{**FIELDS, **POLICY_FIELDS, **fields})


def keys_in_order(text):
    return [k for k, _ in json.loads(text, object_pairs_hook=lambda p: p)]


def signature(doc):
    return base64.b64decode(doc["principal_signature"], validate=True)


def signed_over(variant, **over):
    return signature(json.loads(build(variant, **over)))


def b64(b):
    return base64.b64encode(b).decode("ascii")


def raises_exactly(kind, message, fn, *args, **kwargs):
    with pytest.raises(BaseException) as info:
        fn(*args, **kwargs)
    assert type(info.value) is kind, f"{type(info.value).__name__}: {info.value}"
    assert str(info.value) == message


def record_from_document(
    variant, doc, tenant_id, deadline=None, predicate=b"{}", predicate_ref=None, policy=None, budget_digest=None
):
    """Rebuild the signed record from the document's own values (plus what the document leaves out).

    ``budget_digest`` stands in for a budget holding floats, whose canonical text is written by hand.
    """
    fields = dict(
        tenant_id=tenant_id,
        intent_id=doc["intent_id"],
        principal_did=doc["principal_did"],
        payee_did=doc["payee_did"],
        amount_cents=doc["amount_cents"],
        currency=doc["currency"],
        deadline=doc["deadline"] if deadline is None else deadline,
        budget_digest=budget_digest or ref.content_digest(doc["budget"]),
        evidence_schema_digest=ref.content_digest(doc["evidence_schema"]),
        predicate_dsl_digest=ref.content_digest(doc.get("predicate_dsl", predicate)),
        predicate_ref=doc.get("predicate_ref", "") if predicate_ref is None else predicate_ref,
        allowed_tools_digest=ref.allowed_tools_digest(doc["allowed_tools"]),
        settlement_rail=doc["settlement_rail"],
        payee_pubkey=base64.b64decode(doc["payee_pubkey"], validate=True),
    )
    if variant == "v6":
        return ref.intent_sign_v6(**fields)
    binding = doc["policy_binding"]
    return ref.intent_sign_v7(
        **fields,
        policy_template_id=binding["template_id"],
        policy_version_seq=binding["version_seq"],
        policy_content_digest=policy,
    )


# ------------------------------------------------------------ minimal records


def test_minimal_v6_record_is_216_bytes():
    doc = json.loads(build("v6"))
    payload = record_from_document("v6", doc, tenant_id="")
    assert len(payload) == 216
    assert payload[0] == 6
    pub = base64.b64decode(doc["principal_pubkey"], validate=True)
    assert ref.verifies(pub, payload, signature(doc))
    assert signature(doc) == ref.sign(PRINCIPAL_SEED, payload)


def test_minimal_v7_record_is_250_bytes():
    doc = json.loads(build("v7"))
    payload = record_from_document("v7", doc, tenant_id="", policy=POLICY_DIGEST)
    assert len(payload) == 250
    assert payload[0] == 7
    pub = base64.b64decode(doc["principal_pubkey"], validate=True)
    assert ref.verifies(pub, payload, signature(doc))
    assert signature(doc) == ref.sign(PRINCIPAL_SEED, payload)


def test_reference_record_starts_like_the_worked_prefix():
    # Guards the oracle: tag 6, text "acme", then the UUID.
    start = ref.intent_sign_v6(**{**FIELDS, "tenant_id": "acme"})[:23]
    assert start == bytes.fromhex("06" "04" "61636d65" "10" "123e4567e89b12d3a456426614174000")


def test_minimal_v6_document_exact_text():
    sig = ref.sign(PRINCIPAL_SEED, record("v6"))
    expected = (
        '{"allowed_tools":["read"],"amount_cents":0,"budget":{},"currency":"",'
        '"deadline":"2030-01-02T03:04:05Z","evidence_schema":{},'
        '"intent_id":"123e4567-e89b-12d3-a456-426614174000","payee_did":"",'
        '"payee_pubkey":"' + b64(ref.public_key(PAYEE_SEED)) + '",'
        '"policy_binding":null,"predicate_dsl":{},"principal_did":"",'
        '"principal_pubkey":"' + b64(ref.public_key(PRINCIPAL_SEED)) + '",'
        '"principal_signature":"' + b64(sig) + '",'
        '"settlement_rail":"stripe_mpp","signing_version":6}'
    )
    assert build("v6") == expected


def test_minimal_v7_document_exact_text():
    sig = ref.sign(PRINCIPAL_SEED, record("v7"))
    expected = (
        '{"allowed_tools":["read"],"amount_cents":0,"budget":{},"currency":"",'
        '"deadline":"2030-01-02T03:04:05Z","evidence_schema":{},'
        '"intent_id":"123e4567-e89b-12d3-a456-426614174000","payee_did":"",'
        '"payee_pubkey":"' + b64(ref.public_key(PAYEE_SEED)) + '",'
        '"policy_binding":{"template_id":"","version_seq":0},"principal_did":"",'
        '"principal_pubkey":"' + b64(ref.public_key(PRINCIPAL_SEED)) + '",'
        '"principal_signature":"' + b64(sig) + '",'
        '"settlement_rail":"stripe_mpp","signing_version":7}'
    )
    assert build("v7") == expected


# -------------------------------------------------- every signed input counts

ADYEN = "adyen_manual_capture"

# (call arguments, record fields). Literal field bytes are wrapped in Raw.
COMMON_CHANGES = [
    pytest.param({"tenant_id": "acme"}, {"tenant_id": ref.Raw(b"\x04acme")}, id="tenant"),
    pytest.param({"tenant_id": "a" * 251}, {"tenant_id": ref.Raw(b"\xfb\xfb\x00" + b"a" * 251)}, id="tenant-251"),
    pytest.param({"tenant_id": " t\x00"}, {"tenant_id": ref.Raw(b"\x03 t\x00")}, id="tenant-nul-untrimmed"),
    pytest.param(
        {"intent_id": "00000000-0000-0000-0000-000000000000"}, {"intent_id": ref.Raw(b"\x10" + bytes(16))}, id="intent"
    ),
    pytest.param({"principal_did": "did:p"}, {"principal_did": ref.Raw(b"\x05did:p")}, id="principal-did"),
    pytest.param({"payee_did": "did:\x00q"}, {"payee_did": ref.Raw(b"\x06did:\x00q")}, id="payee-did-nul"),
    pytest.param({"payee_did": " did "}, {"payee_did": ref.Raw(b"\x05 did ")}, id="payee-did-untrimmed"),
    pytest.param({"currency": "USD"}, {"currency": ref.Raw(bytes.fromhex("03555344"))}, id="currency"),
    pytest.param({"currency": "é"}, {"currency": ref.Raw(bytes.fromhex("02c3a9"))}, id="currency-utf8"),
    pytest.param({"amount_cents": -1}, {"amount_cents": ref.Raw(b"\x01")}, id="amount--1"),
    pytest.param({"amount_cents": 1}, {"amount_cents": ref.Raw(b"\x02")}, id="amount-1"),
    pytest.param({"amount_cents": 125}, {"amount_cents": ref.Raw(b"\xfa")}, id="amount-125"),
    pytest.param({"amount_cents": -126}, {"amount_cents": ref.Raw(bytes.fromhex("fbfb00"))}, id="amount--126"),
    pytest.param({"amount_cents": 1500}, {"amount_cents": ref.Raw(bytes.fromhex("fbb80b"))}, id="amount-1500"),
    pytest.param({"amount_cents": -1500}, {"amount_cents": ref.Raw(bytes.fromhex("fbb70b"))}, id="amount--1500"),
    pytest.param(
        {"amount_cents": 2**63 - 1}, {"amount_cents": ref.Raw(bytes.fromhex("fdfeffffffffffffff"))}, id="amount-max"
    ),
    pytest.param({"amount_cents": -(2**63)}, {"amount_cents": ref.Raw(bytes.fromhex("fdffffffffffffffff"))}, id="amount-min"),
    pytest.param(
        {"deadline_rfc3339": "2030-01-01T00:00:00.500+00:00"},
        {"deadline": ref.Raw(b"\x162030-01-01T00:00:00.5Z")},
        id="deadline-rerendered",
    ),
    pytest.param(
        {"deadline_rfc3339": "2030-01-02T04:04:05+01:00"},
        {"deadline": ref.Raw(b"\x192030-01-02T04:04:05+01:00")},
        id="deadline-same-instant-other-offset",
    ),
    pytest.param(
        {"deadline_rfc3339": "2030-01-02T03:04:05.000000001Z"},
        {"deadline": ref.Raw(b"\x1e2030-01-02T03:04:05.000000001Z")},
        id="deadline-plus-1ns",
    ),
    pytest.param(
        {"deadline_rfc3339": "2030-06-30t23:59:60z"},
        {"deadline": ref.Raw(b"\x1e2030-06-30T23:59:59.999999999Z")},
        id="deadline-leap-second",
    ),
    pytest.param(
        {"deadline_rfc3339": "9999-12-31T23:59:59.123456789-23:59"},
        {"deadline": ref.Raw(b"\x239999-12-31T23:59:59.123456789-23:59")},
        id="deadline-35-chars",
    ),
    pytest.param({"budget_json": "1"}, {"budget_digest": ref.blake3_digest(b"1")}, id="budget-int"),
    pytest.param({"budget_json": "1.0"}, {"budget_digest": ref.blake3_digest(b"1.0")}, id="budget-float"),
    pytest.param({"budget_json": "1e2"}, {"budget_digest": ref.blake3_digest(b"100.0")}, id="budget-exp"),
    pytest.param(
        {"budget_json": '{"max": 100, "cur": "USD"}'},
        {"budget_digest": ref.blake3_digest(b'{"cur":"USD","max":100}')},
        id="budget-object",
    ),
    pytest.param({"budget_json": "null"}, {"budget_digest": ref.blake3_digest(b"null")}, id="budget-null"),
    pytest.param({"budget_json": "[]"}, {"budget_digest": ref.blake3_digest(b"[]")}, id="budget-empty-array"),
    pytest.param({"budget_json": '"s"'}, {"budget_digest": ref.blake3_digest(b'"s"')}, id="budget-string"),
    pytest.param(
        {"evidence_schema_json": '{"type": "object"}'},
        {"evidence_schema_digest": ref.blake3_digest(b'{"type":"object"}')},
        id="schema",
    ),
    pytest.param(
        {"predicate_json": '{"op": "and", "args": [1, -0]}'},
        {"predicate_dsl_digest": ref.blake3_digest(b'{"args":[1,-0.0],"op":"and"}')},
        id="predicate",
    ),
    pytest.param({"predicate_ref": "ref-1"}, {"predicate_ref": ref.Raw(b"\x05ref-1")}, id="predicate-ref"),
    pytest.param({"predicate_ref": " r "}, {"predicate_ref": ref.Raw(b"\x03 r ")}, id="predicate-ref-untrimmed"),
    pytest.param(
        {"allowed_tools_json": '["write", "read"]'},
        {"allowed_tools_digest": ref.blake3_digest(b'["read","write"]')},
        id="tools-two",
    ),
    pytest.param({"allowed_tools_json": '[" "]'}, {"allowed_tools_digest": ref.blake3_digest(b'[""]')}, id="tools-blank"),
    pytest.param(
        {"allowed_tools_json": '["", "a"]'}, {"allowed_tools_digest": ref.blake3_digest(b'["","a"]')}, id="tools-empty-name"
    ),
    pytest.param(
        {"allowed_tools_json": '["Z", "a"]'}, {"allowed_tools_digest": ref.blake3_digest(b'["a","z"]')}, id="tools-lowered-sort"
    ),
    pytest.param(
        {"allowed_tools_json": '["a_b", "A-B"]'},
        {"allowed_tools_digest": ref.blake3_digest(b'["a-b","a_b"]')},
        id="tools-byte-order",
    ),
    pytest.param(
        {"allowed_tools_json": '["\\u00c9", "\\u00e9"]'},
        {"allowed_tools_digest": ref.blake3_digest('["É","é"]'.encode())},
        id="tools-ascii-only-lowercase",
    ),
    pytest.param(
        {"allowed_tools_json": '["read\\u200b"]'},
        {"allowed_tools_digest": ref.blake3_digest('["read\u200b"]'.encode())},
        id="tools-zwsp-not-trimmed",
    ),
    pytest.param(
        {"allowed_tools_json": '["a\\"b", "\\u0001"]'},
        {"allowed_tools_digest": ref.blake3_digest(b'["\\u0001","a\\"b"]')},
        id="tools-escapes",
    ),
    pytest.param({"settlement_rail": ADYEN}, {"settlement_rail": ref.Raw(b"\x14" + ADYEN.encode())}, id="rail"),
    pytest.param(
        {"settlement_rail": "x402_usdc_base"}, {"settlement_rail": ref.Raw(b"\x0ex402_usdc_base")}, id="rail-x402"
    ),
    pytest.param({"payee_seed": bytes(32)}, {"payee_pubkey": ref.public_key(bytes(32))}, id="payee-key"),
]

POLICY_CHANGES = [
    pytest.param({"policy_template_id": "tpl"}, {"policy_template_id": ref.Raw(b"\x03tpl")}, id="template"),
    pytest.param(
        {"policy_template_id": "t" * 251}, {"policy_template_id": ref.Raw(b"\xfb\xfb\x00" + b"t" * 251)}, id="template-251"
    ),
    pytest.param({"policy_version_seq": 1}, {"policy_version_seq": ref.Raw(b"\x01")}, id="seq-1"),
    pytest.param({"policy_version_seq": 250}, {"policy_version_seq": ref.Raw(b"\xfa")}, id="seq-250"),
    pytest.param({"policy_version_seq": 251}, {"policy_version_seq": ref.Raw(bytes.fromhex("fbfb00"))}, id="seq-251"),
    pytest.param({"policy_version_seq": 65535}, {"policy_version_seq": ref.Raw(bytes.fromhex("fbffff"))}, id="seq-65535"),
    pytest.param(
        {"policy_version_seq": 65536}, {"policy_version_seq": ref.Raw(bytes.fromhex("fc00000100"))}, id="seq-65536"
    ),
    pytest.param(
        {"policy_version_seq": 4294967295},
        {"policy_version_seq": ref.Raw(bytes.fromhex("fcffffffff"))},
        id="seq-max",
    ),
    pytest.param(
        {"policy_content_digest_hex": "ab" * 32}, {"policy_content_digest": b"\xab" * 32}, id="policy-digest"
    ),
]


def _check_signed(variant, over, fields):
    expected = record(variant, **fields)
    assert expected != record(variant)
    sig = signed_over(variant, **over)
    assert sig == ref.sign(PRINCIPAL_SEED, expected)
    assert sig != ref.sign(PRINCIPAL_SEED, record(variant))


@pytest.mark.parametrize("variant", VARIANTS)
@pytest.mark.parametrize("over, fields", COMMON_CHANGES)
def test_signed_input_changes_the_record(variant, over, fields):
    _check_signed(variant, over, fields)


@pytest.mark.parametrize("over, fields", POLICY_CHANGES)
def test_policy_input_changes_the_record(over, fields):
    _check_signed("v7", over, fields)


def test_principal_seed_changes_key_and_signature():
    other = bytes([7]) * 32
    doc = json.loads(build("v6", principal_seed=other))
    assert base64.b64decode(doc["principal_pubkey"]) == ref.public_key(other)
    assert signature(doc) == ref.sign(other, record("v6"))


RICH = dict(
    tenant_id="acme",
    intent_id=U,
    principal_did="did:example:principal",
    payee_did="did:example:payee",
    budget_json='{"max":100,"cur":"USD"}',
    currency="USD",
    amount_cents=1500,
    evidence_schema_json='{"type":"object","required":["a","b"]}',
    deadline_rfc3339="2030-01-01T00:00:00.5Z",
    predicate_json='{"op":"eq","args":[{"var":"a"},"x"]}',
    predicate_ref="pred-7",
    allowed_tools_json='["read","write"]',
    settlement_rail="stripe_connect",
    policy_content_digest_hex="ab" * 32,
)

# Spellings that the record does not keep; each leaves the signature unchanged.
RESPELLINGS = [
    pytest.param({"intent_id": U.upper()}, id="intent-upper"),
    pytest.param({"intent_id": " \t" + U + "\n"}, id="intent-ws"),
    pytest.param({"intent_id": "\u00a0{" + U + "}\u3000"}, id="intent-braced-nbsp-ideographic"),
    pytest.param({"intent_id": "\u2028urn:uuid:" + U + "\u0085"}, id="intent-urn"),
    pytest.param({"intent_id": U.replace("-", "")}, id="intent-simple"),
    pytest.param({"budget_json": ' {\n "cur" : "USD",\t"max" : 100 } '}, id="budget-spacing-order"),
    pytest.param({"budget_json": '{"max":1,"cur":"U\\u0053D","max":100}'}, id="budget-escape-repeated-key"),
    pytest.param({"evidence_schema_json": '{"required":["a","b"],"type":"object"}'}, id="schema-order"),
    pytest.param({"predicate_json": '{ "args" : [ { "var" : "a" } , "\\u0078" ] , "op" : "eq" }'}, id="predicate"),
    pytest.param({"allowed_tools_json": '["write","read"]'}, id="tools-order"),
    pytest.param({"allowed_tools_json": '["WRITE"," Read ","read"]'}, id="tools-case-space-repeat"),
    pytest.param({"allowed_tools_json": '["\\u00a0write\\u3000","read","write"]'}, id="tools-unicode-space"),
    pytest.param({"allowed_tools_json": ' [ "read" ,\n"write" ] '}, id="tools-json-spacing"),
    pytest.param({"settlement_rail": " stripe_connect\n"}, id="rail-ws"),
    pytest.param({"settlement_rail": "\u3000stripe_connect\u00a0"}, id="rail-unicode-ws"),
    pytest.param({"deadline_rfc3339": "2030-01-01T00:00:00.500+00:00"}, id="deadline-plus-zero"),
    pytest.param({"deadline_rfc3339": "2030-01-01t00:00:00.5z"}, id="deadline-lower"),
    pytest.param({"deadline_rfc3339": "2030-01-01 00:00:00.500000000-00:00"}, id="deadline-minus-zero"),
    pytest.param({"deadline_rfc3339": "2030-01-01T00:00:00.5000000001Z"}, id="deadline-tenth-digit"),
    pytest.param({"policy_content_digest_hex": "AB" * 32}, id="policy-upper"),
    pytest.param({"policy_content_digest_hex": " \t" + "aB" * 32 + "\r\n"}, id="policy-ws"),
    pytest.param({"policy_content_digest_hex": "\u3000" + "Ab" * 32 + "\u00a0"}, id="policy-unicode-ws"),
]

RICH_FIELDS = dict(
    tenant_id="acme",
    intent_id=U,
    principal_did="did:example:principal",
    payee_did="did:example:payee",
    amount_cents=1500,
    currency="USD",
    deadline="2030-01-01T00:00:00.5Z",
    budget_digest=ref.blake3_digest(b'{"cur":"USD","max":100}'),
    evidence_schema_digest=ref.blake3_digest(b'{"required":["a","b"],"type":"object"}'),
    predicate_dsl_digest=ref.blake3_digest(b'{"args":[{"var":"a"},"x"],"op":"eq"}'),
    predicate_ref="pred-7",
    allowed_tools_digest=ref.blake3_digest(b'["read","write"]'),
    settlement_rail="stripe_connect",
    payee_pubkey=ref.public_key(PAYEE_SEED),
)


def _rich(variant, **over):
    args = {**RICH, **over}
    if variant == "v6":
        args.pop("policy_content_digest_hex")
    return build(variant, **args)


RESPELLING_CASES = [
    pytest.param(variant, *p.values, id=f"{p.id}-{variant}")
    for p in RESPELLINGS
    for variant in VARIANTS
    if variant == "v7" or "policy_content_digest_hex" not in p.values[0]
]


@pytest.mark.parametrize("variant, over", RESPELLING_CASES)
def test_respelling_keeps_the_signature(variant, over):
    if variant == "v6":
        expected = ref.intent_sign_v6(**RICH_FIELDS)
    else:
        expected = ref.intent_sign_v7(
            **RICH_FIELDS, policy_template_id="", policy_version_seq=0, policy_content_digest=b"\xab" * 32
        )
    assert signature(json.loads(_rich(variant))) == ref.sign(PRINCIPAL_SEED, expected)
    assert signature(json.loads(_rich(variant, **over))) == ref.sign(PRINCIPAL_SEED, expected)


_TOOL_CHARS = st.sampled_from(
    list("aAbBzZ09_-.:/ÉéẞΣ😀\x00\x1f\"\\\u200b\u180e") + list(ref.WHITE_SPACE)
)


@settings(max_examples=150, deadline=None)
@given(names=st.lists(st.text(_TOOL_CHARS, max_size=6), min_size=1, max_size=6), ascii_only=st.booleans())
def test_allowed_tools_digest_matches_reference(names, ascii_only):
    # json.dumps with ensure_ascii spells astral characters as surrogate-pair escapes.
    doc = json.loads(build("v6", allowed_tools_json=json.dumps(names, ensure_ascii=ascii_only)))
    assert doc["allowed_tools"] == names
    expected = record("v6", allowed_tools_digest=ref.allowed_tools_digest(names))
    assert signature(doc) == ref.sign(PRINCIPAL_SEED, expected)


# ------------------------------------------------------------------- document


@pytest.mark.parametrize("variant", VARIANTS)
def test_document_member_order(variant):
    keys = V6_KEYS if variant == "v6" else V7_KEYS
    assert keys_in_order(build(variant)) == keys
    with_ref = keys_in_order(build(variant, predicate_ref="r"))
    at = keys.index("principal_did")
    assert with_ref == keys[:at] + ["predicate_ref"] + keys[at:]


@pytest.mark.parametrize("variant", VARIANTS)
@pytest.mark.parametrize(
    "predicate_ref, present",
    [
        ("", False),
        ("\u200b", True),  # not White_Space
        ("x", True),
        (" ref ", True),
        ("\u00a0ref\u3000", True),
    ],
)
def test_predicate_ref_member(variant, predicate_ref, present):
    text = build(variant, predicate_ref=predicate_ref)
    doc = json.loads(text)
    if present:
        assert doc["predicate_ref"] == predicate_ref
    else:
        assert '"predicate_ref"' not in text
    expected = record(variant, predicate_ref=predicate_ref)
    assert signature(doc) == ref.sign(PRINCIPAL_SEED, expected)


BLANK_REFS = [" ", "\t\n\r\x0b\x0c", "\u00a0", "\u3000", "\u0085\u2028\u2029\u1680\u202f\u205f\u2000\u200a"]


@pytest.mark.parametrize("variant", VARIANTS)
@pytest.mark.parametrize("predicate_ref", BLANK_REFS)
def test_blank_predicate_ref_is_left_out(variant, predicate_ref):
    assert '"predicate_ref"' not in build(variant, predicate_ref=predicate_ref)


@pytest.mark.parametrize("variant", VARIANTS)
@pytest.mark.parametrize("predicate_ref", BLANK_REFS)
def test_blank_predicate_ref_document_verifies_on_its_own(variant, predicate_ref):
    # The service rebuilds the record from the body; a ref the body leaves out
    # must not be in the signed bytes either, or the request can never verify.
    doc = json.loads(build(variant, predicate_ref=predicate_ref))
    rebuilt = record_from_document(variant, doc, tenant_id="", policy=POLICY_DIGEST)
    pub = base64.b64decode(doc["principal_pubkey"], validate=True)
    assert ref.verifies(pub, rebuilt, signature(doc))


def test_plain_document_policy_binding_is_null_and_has_predicate():
    text = build("v6", predicate_json='{"b": [1, 2], "a": null}')
    assert '"policy_binding":null,' in text
    assert '"predicate_dsl":{"a":null,"b":[1,2]},' in text
    assert json.loads(text)["signing_version"] == 6


@pytest.mark.parametrize(
    "template, seq, written",
    [
        ("", 0, '{"template_id":"","version_seq":0}'),
        ("tpl-1", 4294967295, '{"template_id":"tpl-1","version_seq":4294967295}'),
        (" t\"\n", 251, '{"template_id":" t\\"\\n","version_seq":251}'),
    ],
)
def test_policy_document_binding_object(template, seq, written):
    text = build(
        "v7",
        policy_template_id=template,
        policy_version_seq=seq,
        predicate_json='{"secret": "materialized"}',
    )
    assert '"policy_binding":' + written + "," in text
    doc = json.loads(text)
    assert "predicate_dsl" not in doc and "materialized" not in text
    assert POLICY_DIGEST.hex() not in text.lower()
    assert doc["signing_version"] == 7
    expected = record(
        "v7",
        policy_template_id=template,
        policy_version_seq=seq,
        predicate_dsl_digest=ref.blake3_digest(b'{"secret":"materialized"}'),
    )
    assert signature(doc) == ref.sign(PRINCIPAL_SEED, expected)


@pytest.mark.parametrize("variant", VARIANTS)
def test_document_keys_and_lengths(variant):
    doc = json.loads(build(variant))
    assert base64.b64decode(doc["payee_pubkey"], validate=True) == ref.public_key(PAYEE_SEED)
    assert base64.b64decode(doc["principal_pubkey"], validate=True) == ref.public_key(PRINCIPAL_SEED)
    assert len(doc["payee_pubkey"]) == 44 and doc["payee_pubkey"].endswith("=")
    assert len(doc["principal_pubkey"]) == 44 and doc["principal_pubkey"].endswith("=")
    assert len(doc["principal_signature"]) == 88 and doc["principal_signature"].endswith("==")
    assert "tenant_id" not in doc


@pytest.mark.parametrize("variant", VARIANTS)
@pytest.mark.parametrize(
    "given_id",
    [
        U.upper(),
        " " + U + " ",
        "\t" + U + "\n",
        "\u00a0" + U + "\u3000",
        "{" + U.upper() + "}",
        "urn:uuid:" + U,
        U.replace("-", "").upper(),
    ],
)
def test_intent_id_is_normalised(variant, given_id):
    doc = json.loads(build(variant, intent_id=given_id))
    assert doc["intent_id"] == U
    assert signature(doc) == ref.sign(PRINCIPAL_SEED, record(variant))


@pytest.mark.parametrize("variant", VARIANTS)
def test_document_keeps_caller_texts_and_parsed_values(variant):
    deadline = "2030-01-01T05:30:00.500+05:30"
    text = build(
        variant,
        deadline_rfc3339=deadline,
        budget_json='{"b": 1, "a": [true, null], "c": 1e2}',
        evidence_schema_json=' "\\u00e9\\/" ',
        allowed_tools_json='[" Read", "read", "read", ""]',
        settlement_rail="\tstripe_ach_debit ",
        amount_cents=-5,
        currency="U\"S\\D",
        principal_did="did:\x00\x1f",
    )
    assert '"budget":{"a":[true,null],"b":1,"c":100.0},' in text
    assert '"evidence_schema":"é/",' in text
    assert '"amount_cents":-5,' in text
    assert '"currency":"U\\"S\\\\D",' in text
    assert '"principal_did":"did:\\u0000\\u001f",' in text
    doc = json.loads(text)
    assert doc["deadline"] == deadline
    assert doc["allowed_tools"] == [" Read", "read", "read", ""]
    assert doc["settlement_rail"] == "stripe_ach_debit"
    # The record carries the parsed instant in canonical form, not the caller's text.
    payload = record_from_document(
        variant,
        doc,
        tenant_id="",
        deadline="2030-01-01T05:30:00.5+05:30",
        policy=POLICY_DIGEST,
        budget_digest=ref.blake3_digest(b'{"a":[true,null],"b":1,"c":100.0}'),
    )
    pub = base64.b64decode(doc["principal_pubkey"])
    assert ref.verifies(pub, payload, signature(doc))


def test_budget_value_types_accepted():
    for budget in ["7", '"x"', "null", "[]", "true", "-3", "0.5"]:
        doc = json.loads(build("v6", budget_json=budget))
        assert doc["budget"] == json.loads(budget)


def test_same_inputs_same_document():
    assert build("v6") == build("v6")
    assert build("v7") == build("v7")


# ------------------------------------------------------------------- failures

# Each row alone is bad; every other input is good.
FAILURES = [
    ({"principal_seed": b""}, PRINCIPAL_SEED_MSG),
    ({"principal_seed": bytes(31)}, PRINCIPAL_SEED_MSG),
    ({"principal_seed": bytes(33)}, PRINCIPAL_SEED_MSG),
    ({"principal_seed": bytes(64)}, PRINCIPAL_SEED_MSG),
    ({"payee_seed": bytes(31)}, PAYEE_SEED_MSG),
    ({"payee_seed": bytes(33)}, PAYEE_SEED_MSG),
    ({"intent_id": ""}, "intent_id: invalid length: found 0"),
    ({"intent_id": "\u00a0 \u3000"}, "intent_id: invalid length: found 0"),
    ({"intent_id": "not-a-uuid"}, "intent_id: invalid character: found `n` at 0"),
    ({"intent_id": " 123e456g-e89b-12d3-a456-426614174000\n"}, "intent_id: invalid character: found `g` at 7"),
    ({"intent_id": "{123e456g-e89b-12d3-a456-426614174000}"}, "intent_id: invalid character: found `g` at 7"),
    ({"intent_id": "123e4567-e89b-12d3-a4560426614174000"}, "intent_id: invalid group count: expected 5, found 4"),
    ({"intent_id": "1" * 46}, "intent_id: invalid length: found 46"),
    ({"budget_json": ""}, "budget_json: EOF while parsing a value at line 1 column 0"),
    ({"budget_json": "   "}, "budget_json: EOF while parsing a value at line 1 column 3"),
    ({"budget_json": "[1,]"}, "budget_json: trailing comma at line 1 column 4"),
    ({"budget_json": "[1] x"}, "budget_json: trailing characters at line 1 column 5"),
    ({"budget_json": "{\n\n  x"}, "budget_json: key must be a string at line 3 column 3"),
    ({"evidence_schema_json": "NaN"}, "evidence_schema_json: expected value at line 1 column 1"),
    ({"evidence_schema_json": "{"}, "evidence_schema_json: EOF while parsing an object at line 1 column 1"),
    ({"predicate_json": "nul"}, "predicate_json: EOF while parsing a value at line 1 column 3"),
    ({"predicate_json": '"abc'}, "predicate_json: EOF while parsing a string at line 1 column 4"),
    ({"allowed_tools_json": ""}, TOOLS_PREFIX + "EOF while parsing a value at line 1 column 0"),
    ({"allowed_tools_json": "{}"}, TOOLS_PREFIX + "invalid type: map, expected a sequence at line 1 column 0"),
    ({"allowed_tools_json": "null"}, TOOLS_PREFIX + "invalid type: null, expected a sequence at line 1 column 4"),
    (
        {"allowed_tools_json": '"a\\"b"'},
        TOOLS_PREFIX + 'invalid type: string "a\\"b", expected a sequence at line 1 column 6',
    ),
    ({"allowed_tools_json": '["a",1]'}, TOOLS_PREFIX + "invalid type: integer `1`, expected a string at line 1 column 6"),
    ({"allowed_tools_json": "[-1]"}, TOOLS_PREFIX + "invalid type: integer `-1`, expected a string at line 1 column 3"),
    (
        {"allowed_tools_json": "[1.5]"},
        TOOLS_PREFIX + "invalid type: floating point `1.5`, expected a string at line 1 column 4",
    ),
    (
        {"allowed_tools_json": '["a",null]'},
        TOOLS_PREFIX + "invalid type: null, expected a string at line 1 column 9",
    ),
    (
        {"allowed_tools_json": '["a",true]'},
        TOOLS_PREFIX + "invalid type: boolean `true`, expected a string at line 1 column 9",
    ),
    ({"allowed_tools_json": '[["a"]]'}, TOOLS_PREFIX + "invalid type: sequence, expected a string at line 1 column 1"),
    ({"allowed_tools_json": "[{}]"}, TOOLS_PREFIX + "invalid type: map, expected a string at line 1 column 1"),
    ({"allowed_tools_json": '["a",]'}, TOOLS_PREFIX + "trailing comma at line 1 column 6"),
    ({"allowed_tools_json": '["a"'}, TOOLS_PREFIX + "EOF while parsing a list at line 1 column 4"),
    ({"allowed_tools_json": "[]"}, "allowed_tools must be non-empty"),
    ({"allowed_tools_json": " [ ] "}, "allowed_tools must be non-empty"),
    ({"settlement_rail": ""}, RAIL_MSG),
    ({"settlement_rail": "stripe"}, RAIL_MSG),
    ({"settlement_rail": "STRIPE_MPP"}, RAIL_MSG),
    ({"settlement_rail": "stripe_mpp x"}, RAIL_MSG),
    ({"settlement_rail": "stripe_mpp\u200b"}, RAIL_MSG),
    ({"deadline_rfc3339": " 2030-01-01T00:00:00Z"}, "deadline_rfc3339: the 'year' component could not be parsed"),
    (
        {"deadline_rfc3339": "2030-01-01T00:00:00Z\n"},
        "deadline_rfc3339: unexpected trailing characters; the end of input was expected",
    ),
    ({"deadline_rfc3339": "2030-02-30T00:00:00Z"}, "deadline_rfc3339: day was not in range"),
    ({"deadline_rfc3339": "2030-01-01T00:00:00"}, "deadline_rfc3339: the 'offset hour' component could not be parsed"),
    ({"deadline_rfc3339": "2030-01-01T00:00:00+24:00"}, "deadline_rfc3339: the 'offset hour' component could not be parsed"),
    ({"deadline_rfc3339": "2030-01-01T00:00:00+23:60"}, "deadline_rfc3339: offset minute was not in range"),
    ({"deadline_rfc3339": "2030-06-29T23:59:60Z"}, "deadline_rfc3339: second was not in range"),
]


@pytest.mark.parametrize("variant", VARIANTS)
@pytest.mark.parametrize("over, message", FAILURES)
def test_failure_messages(variant, over, message):
    if variant == "v7" and message.startswith("predicate_json: "):
        message = "materialized_" + message
    raises_exactly(ValueError, message, build, variant, **over)


POLICY_FAILURES = [
    ("", DIGEST_LEN_MSG),
    (" \t\n", DIGEST_LEN_MSG),
    ("\u3000\u00a0", DIGEST_LEN_MSG),
    ("1" * 62, DIGEST_LEN_MSG),
    ("1" * 66, DIGEST_LEN_MSG),
    ("1" * 63, "policy_content_digest_hex: Odd number of digits"),
    ("g" + "1" * 62, "policy_content_digest_hex: Odd number of digits"),
    ("1" * 64 + "\u200b", "policy_content_digest_hex: Odd number of digits"),
    ("1" * 5 + "g" + "1" * 58, "policy_content_digest_hex: Invalid character 'g' at position 5"),
    (" \n" + "1" * 5 + "g" + "1" * 58 + "\t", "policy_content_digest_hex: Invalid character 'g' at position 5"),
    ("0x" + "1" * 62, "policy_content_digest_hex: Invalid character 'x' at position 1"),
    ("0x" + "1" * 64, "policy_content_digest_hex: Invalid character 'x' at position 1"),
    ("é" + "1" * 62, "policy_content_digest_hex: Invalid character 'Ã' at position 0"),
    ("1" * 10 + " " + "1" * 53, "policy_content_digest_hex: Invalid character ' ' at position 10"),
]


@pytest.mark.parametrize("digest_hex, message", POLICY_FAILURES)
def test_policy_digest_failures(digest_hex, message):
    raises_exactly(ValueError, message, build, "v7", policy_content_digest_hex=digest_hex)


# The checks in their order; with inputs k.. bad, input k is reported.
CHAIN = [
    ("principal_seed", bytes(31), PRINCIPAL_SEED_MSG),
    ("payee_seed", bytes(33), PAYEE_SEED_MSG),
    ("intent_id", "   ", "intent_id: invalid length: found 0"),
    ("budget_json", "", "budget_json: EOF while parsing a value at line 1 column 0"),
    ("evidence_schema_json", "{", "evidence_schema_json: EOF while parsing an object at line 1 column 1"),
    ("predicate_json", "nul", "predicate_json: EOF while parsing a value at line 1 column 3"),
    ("allowed_tools_json", "{}", TOOLS_PREFIX + "invalid type: map, expected a sequence at line 1 column 0"),
    ("settlement_rail", "stripe", RAIL_MSG),
    ("deadline_rfc3339", " 2030-01-01T00:00:00Z", "deadline_rfc3339: the 'year' component could not be parsed"),
    ("policy_content_digest_hex", "0g", "policy_content_digest_hex: Invalid character 'g' at position 1"),
]


CHAIN_CASES = [
    pytest.param(variant, k, id=f"{CHAIN[k][0]}-{variant}")
    for variant in VARIANTS
    for k in range(len(CHAIN) if variant == "v7" else len(CHAIN) - 1)
]


@pytest.mark.parametrize("variant, k", CHAIN_CASES)
def test_checks_run_in_order(variant, k):
    chain = CHAIN if variant == "v7" else CHAIN[:-1]
    bad = {name: value for name, value, _ in chain[k:]}
    message = chain[k][2]
    if variant == "v7" and message.startswith("predicate_json: "):
        message = "materialized_" + message
    raises_exactly(ValueError, message, build, variant, **bad)


@pytest.mark.parametrize("variant", VARIANTS)
@pytest.mark.parametrize(
    "over, message",
    [
        ({"principal_seed": bytes(31), "payee_seed": bytes(31)}, PRINCIPAL_SEED_MSG),
        ({"payee_seed": bytes(33), "intent_id": "x"}, PAYEE_SEED_MSG),
        ({"settlement_rail": "stripe", "deadline_rfc3339": "x"}, RAIL_MSG),
        ({"allowed_tools_json": "[1]", "budget_json": "["}, "budget_json: EOF while parsing a list at line 1 column 1"),
        ({"allowed_tools_json": "[]", "settlement_rail": "x"}, "allowed_tools must be non-empty"),
        ({"allowed_tools_json": "[]", "predicate_json": "x"}, "predicate_json: expected value at line 1 column 1"),
    ],
)
def test_check_order_pairs(variant, over, message):
    if variant == "v7" and message.startswith("predicate_json: "):
        message = "materialized_" + message
    raises_exactly(ValueError, message, build, variant, **over)


@pytest.mark.parametrize(
    "over, message",
    [
        ({"deadline_rfc3339": "2030-13-01T00:00:00Z"}, "deadline_rfc3339: month was not in range"),
        ({"settlement_rail": "STRIPE_MPP"}, RAIL_MSG),
        ({"allowed_tools_json": "[]"}, "allowed_tools must be non-empty"),
        ({"intent_id": "x"}, "intent_id: invalid character: found `x` at 0"),
    ],
)
@pytest.mark.parametrize("bad_digest", ["", "1" * 63, "0g" * 32])
def test_policy_digest_is_checked_last(over, message, bad_digest):
    raises_exactly(ValueError, message, build, "v7", policy_content_digest_hex=bad_digest, **over)

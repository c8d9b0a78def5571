"""Evidence signing: the EvidenceSignV1 bytes and the payee-signed submission body.

Expected bytes come from literal hex, the ``blake3`` package, PyNaCl and the
test-side encoder in payload_reference; never from the extension itself.
"""

import base64
import calendar
import datetime as dt
import json
import uuid

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from corvane_kit import _native as native

try:
    import payload_reference as ref
except ImportError:  # tests/ collected as a package
    from tests import payload_reference as ref


TENANT = "tenant-7"
INTENT = "123e4567-e89b-12d3-a456-426614174000"
PAYEE = "did:example:payee"
PAYLOAD = '{"b": 1, "a": "x"}'
ART_A = "1" * 64
ART_B = "0x" + "AB" * 32
SUBMITTED = "2025-03-01t12:00:00.500+00:00"
SEED = bytes(range(100, 132))

BASE = dict(
    tenant_id=TENANT,
    intent_id=INTENT,
    payee_did=PAYEE,
    payload_json=PAYLOAD,
    artifacts_hex=[ART_A, ART_B],
    submitted_at_rfc3339=SUBMITTED,
)

# The 132-byte record of the worked example, field by field.
EXAMPLE_HEX = (
    "02"
    "08" "74656e616e742d37"
    "10" "123e4567e89b12d3a456426614174000"
    "11" "6469643a6578616d706c653a7061796565"
    "d9cb3aa63b4607b8d963348de0720a537a9cce72870d4b0fd5ac3065e20a9208"
    "4e788623a5df7893176f2e3fb7b445b1d6aa48d063a7fb5eb1f2741b74945d38"
    "16" "323032352d30332d30315431323a30303a30302e355a"
)
EXAMPLE = bytes.fromhex(EXAMPLE_HEX)

# Offsets of the digests and the timestamp when tenant and payee are those of the example.
PAYLOAD_AT = 45
ARTIFACTS_AT = 77
SUBMITTED_AT = 109

EMPTY_ARTIFACTS_DIGEST = bytes.fromhex("af1349b9f5f9a1a6a0404dea36dcc9499bcb25c9adc112b7cc9a93cae41f3262")

# Field values of the worked example, for records rebuilt with one field changed.
BASE_FIELDS = dict(
    tenant_id=TENANT,
    intent_id=INTENT,
    payee_did=PAYEE,
    payload_digest=ref.blake3_digest(b'{"a":"x","b":1}'),
    artifact_digest=ref.blake3_digest(b"\x11" * 32 + b"\xab" * 32),
    submitted_at="2025-03-01T12:00:00.5Z",
)

DOC_KEYS = ["payload", "artifacts", "payee_did", "payee_pubkey", "payee_signature", "submitted_at"]
SEED_MSG = "secret_seed must be exactly 32 bytes (Ed25519 signing key seed)"


def encode(**over):
    return native.encode_evidence_sign_v1_hex(**{**BASE, **over})


def sign_doc(seed=SEED, **over):
    return native.sign_payee_evidence_binding_json(**{**BASE, **over}, secret_seed=seed)


def parse_doc(text):
    pairs = json.loads(text, object_pairs_hook=lambda p: p)
    assert [k for k, _ in pairs] == DOC_KEYS
    return json.loads(text)


def signature_of(doc):
    return base64.b64decode(doc["payee_signature"], validate=True)


def raises_exactly(kind, message, fn, *args, **kwargs):
    with pytest.raises(BaseException) as info:
        fn(*args, **kwargs)
    assert type(info.value) is kind, f"{type(info.value).__name__}: {info.value}"
    assert str(info.value) == message


def b64(b):
    return base64.b64encode(b).decode("ascii")


# ------------------------------------------------------------- worked example


def test_worked_example_record_bytes():
    out = encode()
    assert out == EXAMPLE_HEX
    assert len(EXAMPLE) == 132
    # The two digests of the example, checked against the blake3 package.
    assert EXAMPLE[PAYLOAD_AT : PAYLOAD_AT + 32] == ref.blake3_digest(b'{"a":"x","b":1}')
    assert EXAMPLE[ARTIFACTS_AT : ARTIFACTS_AT + 32] == ref.blake3_digest(b"\x11" * 32 + b"\xab" * 32)


def test_reference_encoder_reproduces_worked_example():
    # Guards the oracle the other tests lean on.
    assert ref.evidence_sign_v1(**BASE_FIELDS) == EXAMPLE


def test_worked_example_submission_document_exact_text():
    expected = (
        '{"payload":{"a":"x","b":1},'
        '"artifacts":["' + "1" * 64 + '","' + "ab" * 32 + '"],'
        '"payee_did":"did:example:payee",'
        '"payee_pubkey":"' + b64(ref.public_key(SEED)) + '",'
        '"payee_signature":"' + b64(ref.sign(SEED, EXAMPLE)) + '",'
        '"submitted_at":"2025-03-01T12:00:00.5Z"}'
    )
    assert sign_doc() == expected


def test_worked_example_signature_verifies_over_exactly_the_record():
    doc = parse_doc(sign_doc())
    pub = base64.b64decode(doc["payee_pubkey"], validate=True)
    sig = signature_of(doc)
    assert len(doc["payee_pubkey"]) == 44 and doc["payee_pubkey"].endswith("=")
    assert len(doc["payee_signature"]) == 88 and doc["payee_signature"].endswith("==")
    assert ref.verifies(pub, EXAMPLE, sig)
    # Not over the hex text, a prefix, or a hash of the record.
    assert not ref.verifies(pub, EXAMPLE_HEX.encode(), sig)
    assert not ref.verifies(pub, EXAMPLE[:-1], sig)
    assert not ref.verifies(pub, ref.blake3_digest(EXAMPLE), sig)


def test_same_inputs_same_document():
    assert sign_doc() == sign_doc()


# ------------------------------------------- signed inputs and their spellings

CHANGED = [
    pytest.param({"tenant_id": "tenant-8"}, {"tenant_id": "tenant-8"}, id="tenant"),
    pytest.param({"tenant_id": ""}, {"tenant_id": ""}, id="tenant-empty"),
    pytest.param({"tenant_id": "tenant-7\x00x"}, {"tenant_id": "tenant-7\x00x"}, id="tenant-with-nul"),
    pytest.param({"tenant_id": "tenant-7 "}, {"tenant_id": "tenant-7 "}, id="tenant-not-trimmed"),
    pytest.param(
        {"intent_id": "123e4567-e89b-12d3-a456-426614174001"},
        {"intent_id": "123e4567-e89b-12d3-a456-426614174001"},
        id="intent",
    ),
    pytest.param(
        {"intent_id": "00000000-0000-0000-0000-000000000000"},
        {"intent_id": bytes(16)},
        id="intent-nil",
    ),
    pytest.param({"payee_did": "did:example:payee2"}, {"payee_did": "did:example:payee2"}, id="payee"),
    pytest.param({"payee_did": ""}, {"payee_did": ""}, id="payee-empty"),
    pytest.param({"payee_did": "did:é\x00\"\\"}, {"payee_did": "did:é\x00\"\\"}, id="payee-odd-bytes"),
    pytest.param(
        {"payload_json": '{"a":"x","b":1.0}'},
        {"payload_digest": ref.blake3_digest(b'{"a":"x","b":1.0}')},
        id="payload-int-vs-float",
    ),
    pytest.param(
        {"payload_json": '{"a":"x"}'}, {"payload_digest": ref.blake3_digest(b'{"a":"x"}')}, id="payload-member-gone"
    ),
    pytest.param(
        {"payload_json": '{"a":"x","b":"1"}'},
        {"payload_digest": ref.blake3_digest(b'{"a":"x","b":"1"}')},
        id="payload-type",
    ),
    pytest.param(
        {"artifacts_hex": [ART_B, ART_A]},
        {"artifact_digest": ref.blake3_digest(b"\xab" * 32 + b"\x11" * 32)},
        id="artifacts-swapped",
    ),
    pytest.param(
        {"artifacts_hex": [ART_A, ART_B, ART_A]},
        {"artifact_digest": ref.blake3_digest(b"\x11" * 32 + b"\xab" * 32 + b"\x11" * 32)},
        id="artifacts-repeated",
    ),
    pytest.param(
        {"artifacts_hex": [ART_A]}, {"artifact_digest": ref.blake3_digest(b"\x11" * 32)}, id="artifacts-one"
    ),
    pytest.param({"artifacts_hex": []}, {"artifact_digest": EMPTY_ARTIFACTS_DIGEST}, id="artifacts-empty"),
    pytest.param(
        {"submitted_at_rfc3339": "2025-03-01T12:00:00.500000001Z"},
        {"submitted_at": "2025-03-01T12:00:00.500000001Z"},
        id="instant-plus-1ns",
    ),
    pytest.param(
        {"submitted_at_rfc3339": "2025-03-01T12:00:00Z"}, {"submitted_at": "2025-03-01T12:00:00Z"}, id="no-fraction"
    ),
    pytest.param(
        {"submitted_at_rfc3339": "2025-03-01T13:00:00.5+01:00"},
        {"submitted_at": "2025-03-01T13:00:00.5+01:00"},
        id="same-instant-other-offset",
    ),
    pytest.param(
        {"submitted_at_rfc3339": "2025-03-01T11:59:00.5-00:01"},
        {"submitted_at": "2025-03-01T11:59:00.5-00:01"},
        id="negative-offset-below-an-hour",
    ),
]


@pytest.mark.parametrize("over, fields", CHANGED)
def test_changing_a_signed_input_changes_the_signed_bytes(over, fields):
    record = ref.evidence_sign_v1(**{**BASE_FIELDS, **fields})
    assert encode(**over) == record.hex()

    doc = parse_doc(sign_doc(**over))
    sig = signature_of(doc)
    assert sig == ref.sign(SEED, record)
    assert not ref.verifies(ref.public_key(SEED), EXAMPLE, sig)


RESPELLED = [
    pytest.param({"payload_json": '{"a":"x","b":1}'}, id="payload-compact"),
    pytest.param({"payload_json": ' \t{"b" :1 ,\r\n"a":"x"} \n'}, id="payload-spacing"),
    pytest.param({"payload_json": '{"a":"\\u0078","b":1}'}, id="payload-escape"),
    pytest.param({"payload_json": '{"a":"y","b":1,"a":"x"}'}, id="payload-repeated-key-last-wins"),
    pytest.param({"artifacts_hex": ["1" * 64, "ab" * 32]}, id="artifact-lower-no-prefix"),
    pytest.param({"artifacts_hex": ["0x" + "1" * 64, "AB" * 32]}, id="artifact-prefix-moved"),
    pytest.param({"artifacts_hex": [" \t\n" + "1" * 64 + "\r\n ", "\u00a00x" + "aB" * 32 + "\u3000"]}, id="artifact-ws"),
    pytest.param({"artifacts_hex": ["\u2028" + "1" * 64 + "\u0085", "\u205f" + "Ab" * 32 + "\u1680"]}, id="artifact-rare-ws"),
    pytest.param({"submitted_at_rfc3339": "2025-03-01T12:00:00.5Z"}, id="ts-canonical"),
    pytest.param({"submitted_at_rfc3339": "2025-03-01 12:00:00.500000000z"}, id="ts-space-nine-digits"),
    pytest.param({"submitted_at_rfc3339": "2025-03-01T12:00:00.5-00:00"}, id="ts-minus-zero"),
    pytest.param({"submitted_at_rfc3339": "2025-03-01_12:00:00.50Z"}, id="ts-any-separator"),
    pytest.param({"submitted_at_rfc3339": "2025-03-01T12:00:00.5000000009Z"}, id="ts-tenth-digit-ignored"),
]


@pytest.mark.parametrize("over", RESPELLED)
def test_respelling_keeps_the_signed_bytes(over):
    assert encode(**over) == EXAMPLE_HEX
    doc = parse_doc(sign_doc(**over))
    assert signature_of(doc) == ref.sign(SEED, EXAMPLE)
    # The document carries the normalised forms, not the caller's spelling.
    assert doc["payload"] == {"a": "x", "b": 1}
    assert doc["artifacts"] == ["1" * 64, "ab" * 32]
    assert doc["submitted_at"] == "2025-03-01T12:00:00.5Z"


def test_document_writes_payload_compactly_in_key_order():
    text = sign_doc(payload_json='{"b": 1, "a": [true, null]}')
    assert text.startswith('{"payload":{"a":[true,null],"b":1},"artifacts":[')


def test_document_normalises_artifact_text():
    doc = parse_doc(sign_doc(artifacts_hex=[" 0xABCDEF" + "0" * 58, "\t" + "Ff" * 32 + "\n"]))
    assert doc["artifacts"] == ["abcdef" + "0" * 58, "ff" * 32]


def test_empty_artifact_list():
    record = bytes.fromhex(encode(artifacts_hex=[]))
    assert record[ARTIFACTS_AT : ARTIFACTS_AT + 32] == EMPTY_ARTIFACTS_DIGEST
    text = sign_doc(artifacts_hex=())
    assert '"artifacts":[],' in text
    doc = parse_doc(text)
    assert ref.verifies(ref.public_key(SEED), record, signature_of(doc))


def test_document_escapes_payee_did_as_json():
    did = 'did:"q"\\\n\x00\x1f/é\x7f'
    text = sign_doc(payee_did=did)
    assert '"payee_did":' + json.dumps(did, ensure_ascii=False) + "," in text
    assert '"payee_did":"did:\\"q\\"\\\\\\n\\u0000\\u001f/é\x7f",' in text


# -------------------------------------------------- canonical payload digests

# Canonical text written out by hand: float spellings and escapes are the wire's own.
CANONICAL = [
    ('{"b": 1, "a": [true, null]}', '{"a":[true,null],"b":1}'),
    ("1", "1"),
    ("1.0", "1.0"),
    ("1e0", "1.0"),
    ("1e2", "100.0"),
    ("1E+16", "1e+16"),
    ("1e15", "1000000000000000.0"),
    ("0.00001", "0.00001"),
    ("0.000001", "1e-6"),
    ("123.45", "123.45"),
    ("-0", "-0.0"),
    ("0", "0"),
    ("-1", "-1"),
    ("18446744073709551615", "18446744073709551615"),
    ("18446744073709551616", "1.8446744073709552e+19"),
    ("-9223372036854775808", "-9223372036854775808"),
    ("1e-400", "0.0"),
    ('"\\u00e9"', '"é"'),
    ('"\\u001f\\/"', '"\\u001f/"'),
    ('"\\ud83d\\ude00"', '"😀"'),
    ('"\\u0000\\u007f"', '"\\u0000\x7f"'),
    ('"\\t\\b\\f\\n\\r\\"\\\\"', '"\\t\\b\\f\\n\\r\\"\\\\"'),
    ('{"b":1,"a":2,"aa":3,"B":4}', '{"B":4,"a":2,"aa":3,"b":1}'),
    ('{"é":1,"z":2}', '{"z":2,"é":1}'),
    # Byte order of UTF-8, not UTF-16 order: U+FFFF sorts before U+1F600.
    ('{"\\ud83d\\ude00":1,"\\uffff":2}', '{"\uffff":2,"😀":1}'),
    ('{"a":1,"a":2}', '{"a":2}'),
    ('{"o":{"y":[{"b":null,"a":false}],"x":{}}}', '{"o":{"x":{},"y":[{"a":false,"b":null}]}}'),
    ("[]", "[]"),
    ("null", "null"),
    (' "x" ', '"x"'),
]


@pytest.mark.parametrize("payload, canonical", CANONICAL)
def test_payload_enters_as_digest_of_canonical_text(payload, canonical):
    record = bytes.fromhex(encode(payload_json=payload))
    assert record[PAYLOAD_AT : PAYLOAD_AT + 32] == ref.blake3_digest(canonical.encode("utf-8"))
    text = sign_doc(payload_json=payload)
    assert text.startswith('{"payload":' + canonical + ',"artifacts":[')


_JSON_TEXT = st.text(
    st.one_of(st.sampled_from(list("ab\x00\x1f\x7f\"\\/\b\f\n\r\t")), st.characters(exclude_categories=["Cs"])),
    max_size=8,
)
_JSON_VALUES = st.recursive(
    st.none()
    | st.booleans()
    | st.integers(-(2**63), 2**64 - 1)
    | _JSON_TEXT,
    lambda inner: st.lists(inner, max_size=4) | st.dictionaries(_JSON_TEXT, inner, max_size=4),
    max_leaves=12,
)


@settings(max_examples=200, deadline=None)
@given(value=_JSON_VALUES, ascii_only=st.booleans(), indent=st.sampled_from([None, 0, 2]))
def test_payload_digest_matches_python_json(value, ascii_only, indent):
    # Floats stay out: their spelling is checked against hand-written text above.
    payload = json.dumps(value, ensure_ascii=ascii_only, indent=indent)
    canonical = ref.canonical_json(value)
    record = bytes.fromhex(encode(payload_json=payload))
    assert record[PAYLOAD_AT : PAYLOAD_AT + 32] == ref.blake3_digest(canonical)
    text = sign_doc(payload_json=payload)
    assert text.encode("utf-8").startswith(b'{"payload":' + canonical + b',"artifacts":[')


_WS = st.text(st.sampled_from(ref.WHITE_SPACE), max_size=2)


@st.composite
def _spelled_hash(draw):
    h = draw(st.binary(min_size=32, max_size=32))
    upper = draw(st.integers(0, 2**64 - 1))
    digits = "".join(c.upper() if upper >> i & 1 else c for i, c in enumerate(h.hex()))
    return h, draw(_WS) + draw(st.sampled_from(["", "0x"])) + digits + draw(_WS)


@settings(max_examples=100, deadline=None)
@given(items=st.lists(_spelled_hash(), max_size=4))
def test_artifact_spellings_match_reference(items):
    hashes = [h for h, _ in items]
    spelled = [t for _, t in items]
    expected = ref.evidence_sign_v1(**{**BASE_FIELDS, "artifact_digest": ref.artifact_list_digest(hashes)})
    assert encode(artifacts_hex=spelled) == expected.hex()
    doc = parse_doc(sign_doc(artifacts_hex=spelled))
    assert doc["artifacts"] == [h.hex() for h in hashes]
    assert signature_of(doc) == ref.sign(SEED, expected)


# ------------------------------------------------------------ byte encodings


@pytest.mark.parametrize(
    "tenant, field",
    [
        ("", b"\x00"),
        ("t1", b"\x02t1"),
        ("é", b"\x02\xc3\xa9"),
        ("a" * 250, b"\xfa" + b"a" * 250),
        ("a" * 251, b"\xfb\xfb\x00" + b"a" * 251),
        ("é" * 200, b"\xfb\x90\x01" + "é".encode() * 200),
        ("a" * 65536, b"\xfc\x00\x00\x01\x00" + b"a" * 65536),
    ],
)
def test_tenant_text_field(tenant, field):
    record = bytes.fromhex(encode(tenant_id=tenant))
    assert record[: 1 + len(field) + 17] == b"\x02" + field + bytes.fromhex("10123e4567e89b12d3a456426614174000")


def test_hex_begins_with_tag_tenant_and_intent():
    assert encode(tenant_id="t1").startswith("0202743110123e4567e89b12d3a456426614174000")


@pytest.mark.parametrize(
    "payee, field",
    [("", b"\x00"), ("d\x00d", b"\x03d\x00d"), ("x" * 251, b"\xfb\xfb\x00" + b"x" * 251)],
)
def test_payee_did_text_field(payee, field):
    record = bytes.fromhex(encode(tenant_id="", payee_did=payee))
    assert record[:19] == bytes.fromhex("020010123e4567e89b12d3a456426614174000")
    assert record[19 : 19 + len(field)] == field
    assert len(record) == 19 + len(field) + 64 + 23


# Accepted timestamp texts and the canonical text that is signed and returned.
TIMESTAMPS_OK = [
    ("2025-03-01t12:00:00.500+00:00", "2025-03-01T12:00:00.5Z"),
    ("2024-02-29t10:00:00.250000000z", "2024-02-29T10:00:00.25Z"),
    ("2024-02-29 10:00:00+00:00", "2024-02-29T10:00:00Z"),
    ("2024-02-29T10:00:00-05:30", "2024-02-29T10:00:00-05:30"),
    ("2025-01-01X00:00:00Z", "2025-01-01T00:00:00Z"),
    ("2025-01-01T00:00:00-00:00", "2025-01-01T00:00:00Z"),
    ("2025-01-01T00:00:00-00:30", "2025-01-01T00:00:00-00:30"),
    ("2025-01-01T00:00:00+00:01", "2025-01-01T00:00:00+00:01"),
    ("2025-01-01T00:00:00.1234567891Z", "2025-01-01T00:00:00.123456789Z"),
    ("2025-01-01T00:00:00.000120Z", "2025-01-01T00:00:00.00012Z"),
    ("2025-01-01T00:00:00.000Z", "2025-01-01T00:00:00Z"),
    ("2025-01-01T00:00:00.000000001-23:59", "2025-01-01T00:00:00.000000001-23:59"),
    ("2000-02-29T00:00:00Z", "2000-02-29T00:00:00Z"),
    ("0000-02-29T00:00:00Z", "0000-02-29T00:00:00Z"),
    ("9999-12-31T23:59:59.999999999+23:59", "9999-12-31T23:59:59.999999999+23:59"),
    # Leap seconds: accepted only at the end of a UTC month, written as :59.999999999.
    ("2016-12-31T23:59:60Z", "2016-12-31T23:59:59.999999999Z"),
    ("2025-06-30T23:59:60Z", "2025-06-30T23:59:59.999999999Z"),
    ("2025-06-30T23:59:60.25Z", "2025-06-30T23:59:59.999999999Z"),
    ("2025-07-01T01:59:60+02:00", "2025-07-01T01:59:59.999999999+02:00"),
    ("2025-06-30T18:59:60-05:00", "2025-06-30T18:59:59.999999999-05:00"),
    ("2025-01-01T00:29:60+00:30", "2025-01-01T00:29:59.999999999+00:30"),
    ("2024-02-29T20:29:60-03:30", "2024-02-29T20:29:59.999999999-03:30"),
]


@pytest.mark.parametrize("given_text, canonical", TIMESTAMPS_OK)
def test_timestamp_is_signed_and_returned_in_canonical_form(given_text, canonical):
    assert 20 <= len(canonical) <= 35
    record = bytes.fromhex(encode(submitted_at_rfc3339=given_text))
    assert record[SUBMITTED_AT:] == bytes([len(canonical)]) + canonical.encode("ascii")
    doc = parse_doc(sign_doc(submitted_at_rfc3339=given_text))
    assert doc["submitted_at"] == canonical
    assert signature_of(doc) == ref.sign(SEED, record)


def test_longest_timestamp_gets_prefix_0x23():
    record = bytes.fromhex(encode(submitted_at_rfc3339="9999-12-31T23:59:59.999999999-23:59"))
    assert record[SUBMITTED_AT] == 0x23
    assert record[SUBMITTED_AT + 1 :] == b"9999-12-31T23:59:59.999999999-23:59"


YEAR = "the 'year' component could not be parsed"
LITERAL = "a character literal was not valid"
MONTH = "the 'month' component could not be parsed"
DAY = "the 'day' component could not be parsed"
SEP = "the 'separator' component could not be parsed"
HOUR = "the 'hour' component could not be parsed"
MINUTE = "the 'minute' component could not be parsed"
SECOND = "the 'second' component could not be parsed"
SUBSEC = "the 'subsecond' component could not be parsed"
OFF_H = "the 'offset hour' component could not be parsed"
OFF_M = "the 'offset minute' component could not be parsed"
OFF_M_RANGE = "offset minute was not in range"
TRAILING = "unexpected trailing characters; the end of input was expected"
MONTH_RANGE = "month was not in range"
DAY_RANGE = "day was not in range"
HOUR_RANGE = "hour was not in range"
MINUTE_RANGE = "minute was not in range"
SECOND_RANGE = "second was not in range"

TIMESTAMPS_BAD = [
    ("", YEAR),
    ("202", YEAR),
    (" 2025-01-01T00:00:00Z", YEAR),
    ("+2025-01-01T00:00:00Z", YEAR),
    ("2025", LITERAL),
    ("2025/01/01T00:00:00Z", LITERAL),
    ("2025-", MONTH),
    ("2025-1", MONTH),
    ("2025-1x-01T00:00:00Z", MONTH),
    ("2025-00-01T00:00:00Z", MONTH),
    ("2025-01", LITERAL),
    ("2025-01-", DAY),
    ("2025-01-0", DAY),
    ("2025-01-0xT00:00:00Z", DAY),
    ("2025-01-01", SEP),
    ("2025-01-01T", HOUR),
    ("2025-01-01T0", HOUR),
    ("2025-01-01T0x:00:00Z", HOUR),
    ("2025-01-01T00", LITERAL),
    ("2025-01-01T00-00:00Z", LITERAL),
    ("2025-01-01T00:", MINUTE),
    ("2025-01-01T00:0", MINUTE),
    ("2025-01-01T00:00", LITERAL),
    ("2025-01-01T00:00-00Z", LITERAL),
    ("2025-01-01T00:00:", SECOND),
    ("2025-01-01T00:00:0", SECOND),
    ("2025-01-01T00:00:0xZ", SECOND),
    ("2025-01-01T00:00:00.", SUBSEC),
    ("2025-01-01T00:00:00.Z", SUBSEC),
    ("2025-01-01T00:00:00", OFF_H),
    ("2025-01-01T00:00:00 Z", OFF_H),
    ("2025-01-01T00:00:00+", OFF_H),
    ("2025-01-01T00:00:00+1", OFF_H),
    ("2025-01-01T00:00:00+1x:00", OFF_H),
    ("2025-01-01T00:00:00+24:00", OFF_H),
    ("2025-01-01T00:00:00-99:00", OFF_H),
    ("2025-01-01T00:00:00+01", LITERAL),
    ("2025-01-01T00:00:00+0100", LITERAL),
    ("2025-01-01T00:00:00+01-00", LITERAL),
    ("2025-01-01T00:00:00+01:", OFF_M),
    ("2025-01-01T00:00:00+01:0", OFF_M),
    ("2025-01-01T00:00:00+01:x0", OFF_M),
    ("2025-01-01T00:00:00+23:60", OFF_M_RANGE),
    ("2025-01-01T00:00:00-01:99", OFF_M_RANGE),
    ("2025-01-01T00:00:00Z ", TRAILING),
    ("2025-01-01T00:00:00Z\n", TRAILING),
    ("2025-01-01T00:00:00Zx", TRAILING),
    ("2025-01-01T00:00:00+01:00:00", TRAILING),
    ("2025-13-01T00:00:00Z", MONTH_RANGE),
    ("2025-99-01T00:00:00Z", MONTH_RANGE),
    ("2025-02-29T00:00:00Z", DAY_RANGE),
    ("2100-02-29T00:00:00Z", DAY_RANGE),
    ("2025-04-31T00:00:00Z", DAY_RANGE),
    ("2025-01-00T00:00:00Z", DAY_RANGE),
    ("2025-01-32T00:00:00Z", DAY_RANGE),
    ("2025-01-01T24:00:00Z", HOUR_RANGE),
    ("2025-01-01T23:60:00Z", MINUTE_RANGE),
    ("2025-01-01T23:59:61Z", SECOND_RANGE),
    ("2025-01-01T23:59:99Z", SECOND_RANGE),
    ("2025-06-29T23:59:60Z", SECOND_RANGE),
    ("2025-06-30T23:58:60Z", SECOND_RANGE),
    ("2025-06-30T23:59:60+01:00", SECOND_RANGE),
    ("2025-06-30T23:59:60-00:01", SECOND_RANGE),
    # Syntax and offset ranges are read to the end before any other range is looked at.
    ("2025-13-01T00:00:00Zx", TRAILING),
    ("2025-02-30T00:00:00+01:00 ", TRAILING),
    ("2025-13-01T00:00:00+24:00", OFF_H),
    ("2025-13-01T00:00:00+23:60", OFF_M_RANGE),
    ("2025-00-01T00:00:00Zx", MONTH),
    ("2025-13-01T00:00:00.Z", SUBSEC),
    # Then month, day, hour, minute, second.
    ("2025-13-32T24:60:61Z", MONTH_RANGE),
    ("2025-02-30T24:60:61Z", DAY_RANGE),
    ("2025-01-01T24:60:61Z", HOUR_RANGE),
    ("2025-01-01T23:60:61Z", MINUTE_RANGE),
    ("2025-13-31T23:59:60Z", MONTH_RANGE),
]


@pytest.mark.parametrize("text, message", TIMESTAMPS_BAD)
def test_timestamp_failures(text, message):
    raises_exactly(ValueError, "submitted_at_rfc3339: " + message, sign_doc, submitted_at_rfc3339=text)
    raises_exactly(RuntimeError, "submitted_at_rfc3339: " + message, encode, submitted_at_rfc3339=text)


_OFFSETS = st.integers(-(24 * 60 - 1), 24 * 60 - 1).map(lambda m: dt.timezone(dt.timedelta(minutes=m)))


@settings(max_examples=200, deadline=None)
@given(
    when=st.datetimes(min_value=dt.datetime(1, 1, 1), max_value=dt.datetime(9999, 12, 31, 23, 59, 59, 999999), timezones=_OFFSETS),
    sep=st.sampled_from(["T", "t", " "]),
    zulu=st.booleans(),
)
def test_timestamps_round_trip_like_datetime(when, sep, zulu):
    given_text = when.isoformat(sep=sep)
    if zulu and given_text.endswith("+00:00"):
        given_text = given_text[:-6] + "Z"
    record = bytes.fromhex(encode(submitted_at_rfc3339=given_text))
    written = record[SUBMITTED_AT + 1 :].decode("ascii")
    assert record[SUBMITTED_AT] == len(written)
    assert written == ref.rfc3339(when)
    back = dt.datetime.fromisoformat(written)
    assert back == when and back.utcoffset() == when.utcoffset()


@settings(max_examples=300, deadline=None)
@given(
    year=st.integers(1, 9999),
    month=st.integers(1, 14),
    day=st.integers(0, 33),
    hour=st.integers(0, 26),
    minute=st.integers(0, 62),
    second=st.integers(0, 59),
)
def test_date_and_time_ranges_agree_with_datetime(year, month, day, hour, minute, second):
    text = f"{year:04d}-{month:02d}-{day:02d}T{hour:02d}:{minute:02d}:{second:02d}Z"
    try:
        dt.datetime(year, month, day, hour, minute, second)
        valid = True
    except ValueError:
        valid = False
    if valid:
        record = bytes.fromhex(encode(submitted_at_rfc3339=text))
        assert record[SUBMITTED_AT + 1 :] == text.encode("ascii")
        return
    if month > 12:
        expected = MONTH_RANGE
    elif not 1 <= day <= calendar.monthrange(year, month)[1]:
        expected = DAY_RANGE
    elif hour > 23:
        expected = HOUR_RANGE
    else:
        expected = MINUTE_RANGE
    raises_exactly(RuntimeError, "submitted_at_rfc3339: " + expected, encode, submitted_at_rfc3339=text)


# ------------------------------------------------------------------- UUIDs

U = "123e4567-e89b-12d3-a456-426614174000"
U_BYTES = bytes.fromhex("123e4567e89b12d3a456426614174000")


@pytest.mark.parametrize(
    "text",
    [
        U,
        U.upper(),
        "123E4567-e89B-12d3-A456-426614174000",
        U.replace("-", ""),
        U.replace("-", "").upper(),
        "{" + U + "}",
        "{" + U.upper() + "}",
        "urn:uuid:" + U,
        "urn:uuid:" + U.upper(),
    ],
)
def test_uuid_forms_accepted(text):
    record = bytes.fromhex(encode(tenant_id="", intent_id=text))
    assert record[1:19] == b"\x00\x10" + U_BYTES
    assert uuid.UUID(text).bytes == U_BYTES
    parse_doc(sign_doc(intent_id=text))


UUID_BAD = [
    ("", "invalid length: found 0"),
    ("1", "invalid length: found 1"),
    ("1" * 35, "invalid length: found 35"),
    ("1" * 46, "invalid length: found 46"),
    ("urn:uuid:" + U + "0", "invalid length: found 46"),
    ("123e456g-e89b-12d3-a456-426614174000", "invalid character: found `g` at 7"),
    ("{123e456g-e89b-12d3-a456-426614174000}", "invalid character: found `g` at 7"),
    ("urn:uuid:123e456g-e89b-12d3-a456-426614174000", "invalid character: found `g` at 7"),
    ("123e4567e89b12d3a45642661417400g", "invalid character: found `g` at 31"),
    ("not-a-uuid", "invalid character: found `n` at 0"),
    (" " + U + " ", "invalid character: found ` ` at 0"),
    (U + "\n", "invalid character: found `\n` at 36"),
    ("{" + U, "invalid character: found `{` at 0"),
    ("URN:UUID:" + U, "invalid character: found `U` at 0"),
    # A frame that fits but a wrong length: positions count from the start of the whole text.
    ("{123e456g-e89b-12d3-a456-42661417400}", "invalid character: found `g` at 8"),
    ("urn:uuid:123e456g-e89b-12d3-a456-42661417400", "invalid character: found `g` at 16"),
    ("123e4567-e89b-12d3-a4560426614174000", "invalid group count: expected 5, found 4"),
    ("123e4567-e89b-12d3-a456-4266-14174000", "invalid group count: expected 5, found 6"),
    ("{123e4567-e89b-12d3-a4560426614174000}", "invalid group count: expected 5, found 4"),
    ("123e456-7e89b-12d3-a456-426614174000", "invalid group length in group 0: expected 8, found 7"),
    ("123e4567-e89b1-2d3-a456-426614174000", "invalid group length in group 1: expected 4, found 5"),
    ("123e4567-e89b-12d-3a456-426614174000", "invalid group length in group 2: expected 4, found 3"),
    ("123e4567-e89b-12d3-a4564-26614174000", "invalid group length in group 3: expected 4, found 5"),
    ("{123e456-7e89b-12d3-a456-426614174000}", "invalid group length in group 0: expected 8, found 7"),
    ("123e4567-e89b-12d3-a456-42661417400", "invalid group length in group 4: expected 12, found 11"),
    ("123e4567-e89b-12d3-a456-4266141740000", "invalid group length in group 4: expected 12, found 13"),
    ("{123e4567-e89b-12d3-a456-42661417400}", "invalid group length in group 4: expected 12, found 13"),
]


@pytest.mark.parametrize("text, message", UUID_BAD)
def test_intent_id_failures(text, message):
    raises_exactly(ValueError, "intent_id: " + message, sign_doc, intent_id=text)
    raises_exactly(RuntimeError, "intent_id: " + message, encode, intent_id=text)


_UUID_FORMS = [
    lambda u: str(u),
    lambda u: str(u).upper(),
    lambda u: u.hex,
    lambda u: "{" + str(u) + "}",
    lambda u: u.urn,
]


@settings(max_examples=150, deadline=None)
@given(raw=st.binary(min_size=16, max_size=16), form=st.sampled_from(_UUID_FORMS))
def test_uuid_bytes_agree_with_uuid_module(raw, form):
    text = form(uuid.UUID(bytes=raw))
    record = bytes.fromhex(encode(tenant_id="", intent_id=text))
    assert record[3:19] == uuid.UUID(text).bytes == raw


@settings(max_examples=300, deadline=None)
@given(
    raw=st.binary(min_size=16, max_size=16),
    simple=st.booleans(),
    pos=st.integers(0, 35),
    char=st.sampled_from(list("0123456789abcdefABCDEF-gGzZ{}:")),
)
def test_uuid_acceptance_agrees_with_uuid_module(raw, simple, pos, char):
    # Characters on which uuid.UUID is looser ("_", "x", white space, signs) stay out.
    base = uuid.UUID(bytes=raw).hex if simple else str(uuid.UUID(bytes=raw))
    pos %= len(base)
    text = base[:pos] + char + base[pos + 1 :]
    try:
        expected = uuid.UUID(text).bytes
    except ValueError:
        expected = None
    if expected is None:
        with pytest.raises(RuntimeError, match="^intent_id: "):
            encode(intent_id=text)
    else:
        record = bytes.fromhex(encode(tenant_id="", intent_id=text))
        assert record[3:19] == expected


# ------------------------------------------------------------------ artifacts

P = "1" * 64

ARTIFACT_BAD = [
    ([P, "1" * 62, "1" * 63], 1, "expected 32 bytes, got 31"),
    ([P, P, "1" * 32], 2, "expected 32 bytes, got 16"),
    (["0X" + P], 0, "bad hex (Invalid character 'X' at position 1)"),
    (["1" * 63], 0, "bad hex (Odd number of digits)"),
    (["g" + "1" * 62], 0, "bad hex (Odd number of digits)"),
    (["0x" + "1" * 63], 0, "bad hex (Odd number of digits)"),
    (["1" * 62], 0, "expected 32 bytes, got 31"),
    (["1" * 66], 0, "expected 32 bytes, got 33"),
    ([""], 0, "expected 32 bytes, got 0"),
    (["0x"], 0, "expected 32 bytes, got 0"),
    ([" \t\n"], 0, "expected 32 bytes, got 0"),
    (["0x0x" + "1" * 62], 0, "bad hex (Invalid character 'x' at position 1)"),
    ([" 0x" + "1" * 10 + "g" + "1" * 53], 0, "bad hex (Invalid character 'g' at position 10)"),
    (["1" * 64 + " x"], 0, "bad hex (Invalid character ' ' at position 64)"),
    (["1" * 10 + "\t" + "1" * 53], 0, "bad hex (Invalid character '\\t' at position 10)"),
    (["1" * 10 + "'" + "1" * 53], 0, "bad hex (Invalid character '\\'' at position 10)"),
    (["1" * 10 + "\\" + "1" * 53], 0, "bad hex (Invalid character '\\\\' at position 10)"),
    (["1" * 10 + "\x00" + "1" * 53], 0, "bad hex (Invalid character '\\0' at position 10)"),
    (["1" * 10 + "\x01" + "1" * 53], 0, "bad hex (Invalid character '\\u{1}' at position 10)"),
    (["1" * 10 + "\x7f" + "1" * 53], 0, "bad hex (Invalid character '\\u{7f}' at position 10)"),
    (["é" + "1" * 62], 0, "bad hex (Invalid character 'Ã' at position 0)"),
    (["1é" + "1" * 61], 0, "bad hex (Invalid character 'Ã' at position 1)"),
    # U+200B is not White_Space: kept, its first byte E2 is the bad digit.
    (["\u200b" + "1" * 63], 0, "bad hex (Invalid character 'â' at position 0)"),
]


@pytest.mark.parametrize("artifacts, index, reason", ARTIFACT_BAD)
def test_artifact_failures(artifacts, index, reason):
    raises_exactly(RuntimeError, f"artifacts_hex[{index}]: {reason}", encode, artifacts_hex=artifacts)
    raises_exactly(RuntimeError, f"artifact[{index}]: artifact: {reason}", sign_doc, artifacts_hex=artifacts)


# ------------------------------------------------- check order and exception kinds

BAD_INTENT = "nope"
BAD_INTENT_MSG = "intent_id: invalid character: found `n` at 0"
BAD_TS = "2025-13-01"
BAD_TS_MSG = "submitted_at_rfc3339: the 'separator' component could not be parsed"
EMPTY_PAYLOAD_MSG = "payload_json: EOF while parsing a value at line 1 column 0"

ORDER = [
    pytest.param(
        {"intent_id": BAD_INTENT},
        (RuntimeError, BAD_INTENT_MSG),
        (ValueError, BAD_INTENT_MSG),
        id="bad-intent",
    ),
    pytest.param(
        {"payload_json": "", "intent_id": BAD_INTENT},
        (ValueError, EMPTY_PAYLOAD_MSG),
        (ValueError, BAD_INTENT_MSG),
        id="payload-vs-intent",
    ),
    pytest.param(
        {"payload_json": "", "submitted_at_rfc3339": BAD_TS, "artifacts_hex": ["1"]},
        (ValueError, EMPTY_PAYLOAD_MSG),
        (ValueError, EMPTY_PAYLOAD_MSG),
        id="payload-vs-timestamp-and-artifact",
    ),
    pytest.param(
        {"artifacts_hex": [P, "1" * 62], "submitted_at_rfc3339": BAD_TS},
        (RuntimeError, "artifacts_hex[1]: expected 32 bytes, got 31"),
        (ValueError, BAD_TS_MSG),
        id="artifact-vs-timestamp",
    ),
    pytest.param(
        {"artifacts_hex": ["1"], "intent_id": BAD_INTENT},
        (RuntimeError, BAD_INTENT_MSG),
        (ValueError, BAD_INTENT_MSG),
        id="intent-vs-artifact",
    ),
    pytest.param(
        {"submitted_at_rfc3339": BAD_TS},
        (RuntimeError, BAD_TS_MSG),
        (ValueError, BAD_TS_MSG),
        id="bad-timestamp",
    ),
    pytest.param(
        {"payload_json": "[1,]"},
        (ValueError, "payload_json: trailing comma at line 1 column 4"),
        (ValueError, "payload_json: trailing comma at line 1 column 4"),
        id="bad-payload",
    ),
    pytest.param(
        {"payload_json": "NaN"},
        (ValueError, "payload_json: expected value at line 1 column 1"),
        (ValueError, "payload_json: expected value at line 1 column 1"),
        id="bad-payload-nan",
    ),
]


@pytest.mark.parametrize("over, from_encode, from_sign", ORDER)
def test_check_order_and_exception_kinds(over, from_encode, from_sign):
    raises_exactly(*from_encode, encode, **over)
    raises_exactly(*from_sign, sign_doc, **over)


@pytest.mark.parametrize("seed", [b"", bytes(31), bytes(33), bytes(64)])
def test_seed_length_is_checked_first(seed):
    everything_bad = {
        "intent_id": BAD_INTENT,
        "payload_json": "",
        "artifacts_hex": ["1"],
        "submitted_at_rfc3339": BAD_TS,
    }
    raises_exactly(ValueError, SEED_MSG, sign_doc, seed=seed, **everything_bad)


def test_seed_decides_the_public_key():
    other = bytes(32)
    doc = parse_doc(sign_doc(seed=other))
    assert base64.b64decode(doc["payee_pubkey"]) == ref.public_key(other)
    assert signature_of(doc) == ref.sign(other, EXAMPLE)

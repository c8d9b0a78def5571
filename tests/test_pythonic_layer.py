"""The Pythonic layer: Python values in, the native functions' exact bytes out.

The oracle for every conversion is a direct native call on the same inputs
spelled differently: JSON written by another serialiser (indented, keys
sorted, non-ASCII unescaped), UUIDs in upper-case, simple or braced form,
timestamps with another separator, padded fractions and "z", artifact hashes
and digests as upper-case "0x" hex with white space around them. The native
functions normalise all of these, so the documents must agree byte for byte;
a conversion that loses or alters anything makes them differ. Where the text
itself is kept (the deadline), it is checked against an instant parsed back
by the standard library. Verification is checked against PyNaCl in every
accepted encoding of the key and the signature.
"""

import base64
import datetime as dt
import json
import math
import uuid

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from nacl.exceptions import BadSignatureError
from nacl.signing import SigningKey

import corvane_kit
from corvane_kit import _extras
from corvane_kit import _native as native

PRINCIPAL_SEED = bytes(range(32))
PAYEE_SEED = bytes(range(32, 64))
INTENT = uuid.UUID("123e4567-e89b-12d3-a456-426614174000")
UTC = dt.timezone.utc
AWARE = dt.datetime(2030, 1, 2, 3, 4, 5, tzinfo=UTC)

NATIVE_NAMES = ["build_signed_create_intent_json", "build_signed_create_intent_with_policy_binding_json",
                "encode_evidence_sign_v1_hex", "sign_payee_evidence_binding_json", "verify_ed25519_sha256_hex"]
LAYER_NAMES = ["create_intent", "create_policy_intent", "evidence_sign_v1_hex", "sign_evidence",
               "verify_digest_signature"]


# ------------------------------------------------------------------ oracles


def other_json(value):
    """The same JSON value in another spelling than json.dumps' default."""
    return json.dumps(value, indent=2, sort_keys=True, ensure_ascii=False)


def offset_text(offset, zero):
    minutes = offset // dt.timedelta(minutes=1)
    if minutes == 0 and zero is not None:
        return zero
    sign = "-" if minutes < 0 else "+"
    return f"{sign}{abs(minutes) // 60:02d}:{abs(minutes) % 60:02d}"


def iso_text(d):
    """RFC 3339 as the layer promises it: microseconds only when present, offset as given."""
    fraction = f".{d.microsecond:06d}" if d.microsecond else ""
    return (
        f"{d.year:04d}-{d.month:02d}-{d.day:02d}T{d.hour:02d}:{d.minute:02d}:{d.second:02d}"
        + fraction
        + offset_text(d.utcoffset(), zero=None)
    )


def other_rfc3339(d):
    """The same instant and offset, spelled with "t", nine fraction digits and "z"."""
    return (
        f"{d.year:04d}-{d.month:02d}-{d.day:02d}t{d.hour:02d}:{d.minute:02d}:{d.second:02d}"
        f".{d.microsecond * 1000:09d}"
        + offset_text(d.utcoffset(), zero="z")
    )


def other_hex(raw):
    return f" \t0x{raw.hex().upper()}\n"


def other_digest_hex(raw):
    return f"\u3000{raw.hex().upper()} "


# --------------------------------------------------------------- strategies

json_scalars = (
    st.none()
    | st.booleans()
    | st.integers(min_value=-(2**70), max_value=2**70)
    | st.floats(allow_nan=False, allow_infinity=False)
    | st.text(max_size=8)
)
json_values = st.recursive(
    json_scalars,
    lambda children: st.lists(children, max_size=4)
    | st.dictionaries(st.text(max_size=6), children, max_size=4),
    max_leaves=12,
)
json_documents = st.dictionaries(st.text(max_size=6), json_values, max_size=5) | st.lists(json_values, max_size=4)

offsets = st.integers(min_value=-(23 * 60 + 59), max_value=23 * 60 + 59).map(
    lambda minutes: dt.timezone(dt.timedelta(minutes=minutes))
)
aware_datetimes = st.datetimes(
    min_value=dt.datetime(1, 1, 2), max_value=dt.datetime(9999, 12, 30), timezones=offsets
)
uuids = st.uuids()
seeds = st.binary(min_size=32, max_size=32)
digests = st.binary(min_size=32, max_size=32)
tool_lists = st.lists(st.text(max_size=6), min_size=1, max_size=4)


# -------------------------------------------------------------- equivalence


def same_as_native(layer_call, native_body):
    """The layer's body is the native one, unless a float of that would not read back (such a
    body can never verify): then the layer refuses it, naming the number."""
    try:
        body = layer_call()
    except ValueError as refusal:
        _, problem = _extras.read_back_fault(native_body)
        assert problem.startswith("the number ") and f": {problem}, so the service" in str(refusal)
        return None
    assert body == native_body
    return body


def intent_args(layer, *, intent_id, budget, schema, deadline, tools, seeds_):
    """The layer's keywords, and the native keywords for the same inputs."""
    principal, payee = seeds_
    common = dict(
        tenant_id="tenant-7", principal_did="did:example:principal", payee_did="did:example:payee",
        currency="EUR", amount_cents=-1500, predicate_ref="", settlement_rail="x402_usdc_base",
    )
    if layer:
        return dict(common, principal_seed=principal, payee_seed=payee, intent_id=intent_id,
                    budget_json=budget, evidence_schema_json=schema, deadline_rfc3339=deadline,
                    allowed_tools_json=tools)
    return dict(common, principal_seed=list(principal), payee_seed=bytearray(payee),
                intent_id=f" {intent_id.hex.upper()}\t", budget_json=other_json(budget),
                evidence_schema_json=other_json(schema), deadline_rfc3339=iso_text(deadline),
                allowed_tools_json=other_json(tools))


@settings(max_examples=60, deadline=None)
@given(intent_id=uuids, budget=json_documents, schema=json_documents, predicate=json_documents,
       deadline=aware_datetimes, tools=tool_lists, seeds_=st.tuples(seeds, seeds))
def test_create_intent_matches_native(intent_id, budget, schema, predicate, deadline, tools, seeds_):
    values = dict(intent_id=intent_id, budget=budget, schema=schema, deadline=deadline,
                  tools=tools, seeds_=seeds_)
    body = same_as_native(
        lambda: corvane_kit.create_intent(**intent_args(True, **values), predicate_json=predicate),
        native.build_signed_create_intent_json(**intent_args(False, **values), predicate_json=other_json(predicate)))
    if body is None:
        return
    written = dt.datetime.fromisoformat(json.loads(body)["deadline"])
    assert written == deadline and written.utcoffset() == deadline.utcoffset()


@settings(max_examples=40, deadline=None)
@given(intent_id=uuids, budget=json_documents, predicate=json_documents, deadline=aware_datetimes,
       tools=tool_lists, seeds_=st.tuples(seeds, seeds), policy_digest=digests,
       version=st.integers(min_value=0, max_value=2**32 - 1))
def test_create_policy_intent_matches_native(intent_id, budget, predicate, deadline, tools, seeds_,
                                             policy_digest, version):
    values = dict(intent_id=intent_id, budget=budget, schema={"type": "object"}, deadline=deadline,
                  tools=tools, seeds_=seeds_)
    policy = dict(policy_template_id="travel-default", policy_version_seq=version)
    same_as_native(
        lambda: corvane_kit.create_policy_intent(
            **intent_args(True, **values), materialized_predicate_json=predicate, **policy,
            policy_content_digest_hex=policy_digest),
        native.build_signed_create_intent_with_policy_binding_json(
            **intent_args(False, **values), materialized_predicate_json=other_json(predicate), **policy,
            policy_content_digest_hex=other_digest_hex(policy_digest)))


@settings(max_examples=60, deadline=None)
@given(intent_id=uuids, payload=json_documents, artifacts=st.lists(digests, max_size=3),
       submitted=aware_datetimes, seed=seeds, as_text=st.booleans())
def test_evidence_matches_native(intent_id, payload, artifacts, submitted, seed, as_text):
    layer = dict(tenant_id="tenant-7", payee_did="did:example:payee", intent_id=intent_id,
                 payload_json=payload, submitted_at_rfc3339=submitted,
                 artifacts_hex=[a.hex() if as_text else a for a in artifacts])
    direct = dict(tenant_id="tenant-7", payee_did="did:example:payee",
                  intent_id="{" + str(intent_id).upper() + "}", payload_json=other_json(payload),
                  submitted_at_rfc3339=other_rfc3339(submitted),
                  artifacts_hex=tuple(other_hex(a) for a in artifacts))

    record_hex = corvane_kit.evidence_sign_v1_hex(**layer)
    assert record_hex == native.encode_evidence_sign_v1_hex(**direct)
    body = native.sign_payee_evidence_binding_json(**direct, secret_seed=list(seed))
    same_as_native(lambda: corvane_kit.sign_evidence(**layer, secret_seed=seed), body)

    # What sign_evidence signs is what evidence_sign_v1_hex returns.
    doc = json.loads(body)
    SigningKey(seed).verify_key.verify(bytes.fromhex(record_hex), base64.b64decode(doc["payee_signature"]))
    assert dt.datetime.fromisoformat(doc["submitted_at"]) == submitted


def key_forms(raw):
    """Every accepted spelling of a key or signature: raw bytes, and hex or base64 text with white space."""
    b64 = base64.b64encode(raw).decode()
    return [raw, bytearray(raw), raw.hex(), f"\u3000{raw.hex().upper()}\n", b64, f" {b64}\t"]


@settings(max_examples=40, deadline=None)
@given(seed=seeds, digest=digests, flip=st.integers(min_value=0, max_value=255),
       signature_form=st.integers(0, 5), key_form=st.integers(0, 5))
def test_verify_accepts_every_encoding(seed, digest, flip, signature_form, key_form):
    key = SigningKey(seed)
    signature = key.sign(digest).signature
    signature_text, key_text = key_forms(signature)[signature_form], key_forms(bytes(key.verify_key))[key_form]
    altered = bytes([digest[0] ^ (flip or 1)]) + digest[1:]
    for message in (digest, altered):
        try:
            key.verify_key.verify(message, signature)  # the oracle
            expected = True
        except BadSignatureError:
            expected = False
        assert corvane_kit.verify_digest_signature(message, signature_text, key_text) is expected
        assert corvane_kit.verify_digest_signature(
            digest_hex=message.hex(), signature_hex=signature_text, public_key_hex=key_text) is expected


KEY_FORMS = "32 raw bytes, 64 hex digits or 44 base64 characters"
SIGNATURE_FORMS = "64 raw bytes, 128 hex digits or 88 base64 characters"


@pytest.mark.parametrize("digest, signature, key, message", [
    (bytes(32), bytes(63), bytes(32), rf"^signature_hex must be a 64-byte Ed25519 signature: {SIGNATURE_FORMS} "
                                      r"\(found 63 bytes\)$"),
    (bytes(32), "00" * 32, bytes(32), r"^signature_hex must be .* \(found 64 characters\)$"),
    (bytes(32), bytes(64), "A" * 43 + "=" * 2, rf"^public_key_hex must be a 32-byte Ed25519 public key: {KEY_FORMS} "
                                               r"\(found 45 characters\)$"),
    (bytes(32), bytes(64), "!" * 44, r"^public_key_hex: 44 characters but not base64 \(Only base64 data"),
    (bytes(32), bytes(64), "0g" * 32, r"^public_key_hex: Invalid character 'g' at position 1$"),
    # The native order of checks decides which of several faults is reported.
    ("0g", bytes(63), "", r"^digest_hex: Invalid character 'g' at position 1$"),
    (bytes(31), bytes(64), "", r"^digest_hex must decode to 32 bytes$"),
    (bytes(32), "0g" * 64, bytes(31), r"^signature_hex: Invalid character 'g' at position 1$"),
])  # fmt: skip
def test_verify_refuses_other_forms(digest, signature, key, message):
    with pytest.raises(ValueError, match=message):
        corvane_kit.verify_digest_signature(digest, signature, key)


# ------------------------------------------------- native spellings still work

NATIVE_INTENT = dict(
    tenant_id="tenant-7", principal_seed=PRINCIPAL_SEED, payee_seed=PAYEE_SEED,
    intent_id=" 123E4567-E89B-12D3-A456-426614174000\n", principal_did="did:p", payee_did="did:q",
    budget_json='{"b": 1, "a": [1.5, "\\u00e9"]}', currency="USD", amount_cents=1500,
    evidence_schema_json="null", deadline_rfc3339="2030-01-01 00:00:00.5-00:00",
    predicate_json='"just a string"', predicate_ref=" ref ", allowed_tools_json='["pay", "pay"]',
    settlement_rail=" stripe_mpp\n",
)
NATIVE_POLICY_INTENT = dict(
    {k: v for k, v in NATIVE_INTENT.items() if k != "predicate_json"},
    materialized_predicate_json="[]", policy_template_id="", policy_version_seq=4294967295,
    policy_content_digest_hex="AB" * 32,
)
NATIVE_EVIDENCE = dict(
    tenant_id="", intent_id="urn:uuid:123e4567-e89b-12d3-a456-426614174000", payee_did="",
    payload_json='{"b": 1, "a": "x"}', artifacts_hex=["1" * 64, "0x" + "AB" * 32],
    submitted_at_rfc3339="2025-03-01t12:00:00.500+00:00",
)
NATIVE_VERIFY = dict(digest_hex="00" * 32, signature_hex="11" * 64, public_key_hex="01" + "00" * 31)

PAIRS = {
    "create_intent": (corvane_kit.create_intent, native.build_signed_create_intent_json, NATIVE_INTENT),
    "create_policy_intent": (corvane_kit.create_policy_intent,
                             native.build_signed_create_intent_with_policy_binding_json,
                             NATIVE_POLICY_INTENT),
    "sign_evidence": (corvane_kit.sign_evidence, native.sign_payee_evidence_binding_json,
                      dict(NATIVE_EVIDENCE, secret_seed=PAYEE_SEED)),
    "evidence_sign_v1_hex": (corvane_kit.evidence_sign_v1_hex, native.encode_evidence_sign_v1_hex,
                             NATIVE_EVIDENCE),
    "verify_digest_signature": (corvane_kit.verify_digest_signature, native.verify_ed25519_sha256_hex,
                                NATIVE_VERIFY),
}


@pytest.mark.parametrize("name", PAIRS)
def test_native_keyword_calls_work_unchanged(name):
    layer, direct, kwargs = PAIRS[name]
    assert layer(**kwargs) == direct(**kwargs)


def outcome(fn, kwargs):
    try:
        return ("ok", fn(**kwargs))
    except Exception as exc:  # noqa: BLE001 - the exception itself is compared
        return (type(exc), exc.args, getattr(exc, "__notes__", None))


# Native failures reach the caller unchanged: same type, message and note.
PASS_THROUGH_FAILURES = [
    ("create_intent", "budget_json", ""),
    ("create_intent", "allowed_tools_json", []),
    ("create_intent", "principal_seed", bytes(31)),
    ("create_intent", "payee_seed", [256] * 32),
    ("create_intent", "amount_cents", 2**63),
    ("create_intent", "currency", None),
    ("create_intent", "deadline_rfc3339", " 2030-01-01T00:00:00Z"),
    ("create_policy_intent", "policy_content_digest_hex", bytes(31)),
    ("sign_evidence", "artifacts_hex", ["0X" + "1" * 64]),
    ("sign_evidence", "artifacts_hex", [bytes(16)]),
    ("evidence_sign_v1_hex", "intent_id", " 123e4567-e89b-12d3-a456-426614174000"),
    ("evidence_sign_v1_hex", "artifacts_hex", ["", "1" * 64]),
    ("verify_digest_signature", "digest_hex", "0g"),
    ("verify_digest_signature", "public_key_hex", b"\x02" + bytes(31)),
]


@pytest.mark.parametrize("name, param, value", PASS_THROUGH_FAILURES)
def test_native_failures_pass_through(name, param, value):
    layer, direct, kwargs = PAIRS[name]
    layer_kwargs = dict(kwargs, **{param: value})
    if isinstance(value, (bytes, bytearray)) and param.endswith("_hex"):
        direct_value = value.hex()
    elif isinstance(value, list) and param == "artifacts_hex":
        direct_value = [v.hex() if isinstance(v, bytes) else v for v in value]
    elif isinstance(value, list) and param.endswith("_json"):
        direct_value = json.dumps(value)
    else:
        direct_value = value
    expected = outcome(direct, dict(kwargs, **{param: direct_value}))
    assert expected[0] != "ok", "the case must fail natively"
    assert outcome(layer, layer_kwargs) == expected


# ------------------------------------------------------------ datetimes


class FixedOffset(dt.tzinfo):
    def __init__(self, offset):
        self._offset = offset

    def utcoffset(self, when):
        return self._offset

    def dst(self, when):
        return None


class NoOffset(dt.tzinfo):
    """A tzinfo that knows no offset: its datetimes are naive."""

    def utcoffset(self, when):
        return None


class OddIsoformat(dt.datetime):
    def isoformat(self, *args, **kwargs):
        return "not a timestamp"


def tz(**delta):
    return dt.timezone(dt.timedelta(**delta))


# (datetime, deadline as written in the intent, submitted_at as the evidence writes it)
RENDERINGS = [
    (dt.datetime(2030, 1, 1, 0, 0, 0, 120, tzinfo=UTC), "2030-01-01T00:00:00.000120+00:00",
     "2030-01-01T00:00:00.00012Z"),
    (dt.datetime(2024, 2, 29, 10, 0, 0, 500000, tzinfo=tz(hours=-5, minutes=-30)),
     "2024-02-29T10:00:00.500000-05:30", "2024-02-29T10:00:00.5-05:30"),
    (dt.datetime(1, 1, 1, tzinfo=tz(minutes=1)), "0001-01-01T00:00:00+00:01", "0001-01-01T00:00:00+00:01"),
    (dt.datetime(2030, 1, 1, tzinfo=FixedOffset(dt.timedelta(hours=9))), "2030-01-01T00:00:00+09:00",
     "2030-01-01T00:00:00+09:00"),
    (OddIsoformat(2030, 1, 1, tzinfo=UTC), "2030-01-01T00:00:00+00:00", "2030-01-01T00:00:00Z"),
]


@pytest.mark.parametrize("when, deadline, submitted_at", RENDERINGS)
def test_datetime_rendering(when, deadline, submitted_at):
    _, _, intent = PAIRS["create_intent"]
    assert json.loads(corvane_kit.create_intent(**dict(intent, deadline_rfc3339=when)))["deadline"] == deadline
    _, _, evidence = PAIRS["sign_evidence"]
    doc = json.loads(corvane_kit.sign_evidence(**dict(evidence, submitted_at_rfc3339=when)))
    assert doc["submitted_at"] == submitted_at


TIME_PARAMS = [
    ("create_intent", "deadline_rfc3339"),
    ("create_policy_intent", "deadline_rfc3339"),
    ("sign_evidence", "submitted_at_rfc3339"),
    ("evidence_sign_v1_hex", "submitted_at_rfc3339"),
]


def call_with(name, **over):
    layer, _, kwargs = PAIRS[name]
    return layer(**dict(kwargs, **over))


@pytest.mark.parametrize("name, param", TIME_PARAMS)
@pytest.mark.parametrize("when, message", [
    (dt.datetime(2030, 1, 1), r"must be timezone-aware: the naive datetime 2030-01-01T00:00:00 has no UTC offset"),
    (dt.datetime(2030, 1, 1, tzinfo=NoOffset()), r"must be timezone-aware: the naive datetime"),
    (dt.datetime(2030, 1, 1, tzinfo=tz(hours=1, seconds=30)), r": the UTC offset .* is not a whole number of minutes"),
])  # fmt: skip
def test_datetimes_that_rfc3339_cannot_write_are_refused(name, param, when, message):
    with pytest.raises(ValueError, match=rf"^{param} ?{message}"):
        call_with(name, **{param: when})


# ------------------------------------------------------------------ JSON

JSON_PARAMS = [
    ("create_intent", "budget_json"),
    ("create_intent", "evidence_schema_json"),
    ("create_intent", "predicate_json"),
    ("create_intent", "allowed_tools_json"),
    ("create_policy_intent", "materialized_predicate_json"),
    ("sign_evidence", "payload_json"),
    ("evidence_sign_v1_hex", "payload_json"),
]


@pytest.mark.parametrize("name, param", JSON_PARAMS)
@pytest.mark.parametrize("value, error, message", [
    ({"cap": -math.inf}, ValueError, "Out of range float values are not JSON compliant"),
    ([1, {"x": [math.nan]}], ValueError, "Out of range float values are not JSON compliant"),
    (b"{}", TypeError, "Object of type bytes is not JSON serializable"),
    ({"when": AWARE}, TypeError, "Object of type datetime is not JSON serializable"),
    ({("a", "b"): 1}, TypeError, "keys must be str, int, float, bool or None"),
])  # fmt: skip
def test_values_that_json_cannot_write_are_refused(name, param, value, error, message):
    with pytest.raises(error, match=rf"^{param}: {message}"):
        call_with(name, **{param: value})


def test_json_value_and_json_text_are_told_apart():
    # A str is JSON text; the same string as a JSON value needs its quotes.
    as_text = call_with("evidence_sign_v1_hex", payload_json='"receipt"')
    with pytest.raises(ValueError, match=r"^payload_json: expected value at line 1 column 1$"):
        call_with("evidence_sign_v1_hex", payload_json="receipt")
    assert as_text == call_with("evidence_sign_v1_hex", payload_json=json.dumps("receipt"))
    assert as_text != call_with("evidence_sign_v1_hex", payload_json=["receipt"])


# -------------------------------------------------------------- wrong types

WRONG_TYPES = [
    ("create_intent", "deadline_rfc3339", dt.date(2030, 1, 1),
     r"^deadline_rfc3339 must be a timezone-aware datetime or RFC 3339 text, not date$"),
    ("sign_evidence", "intent_id", INTENT.int, r"^intent_id must be a uuid.UUID or str, not int$"),
    ("create_intent", "principal_seed", "00" * 32,
     r"^principal_seed must be 32 bytes \(bytes or bytearray\), not str; for hex text use bytes.fromhex\(\)$"),
    ("create_policy_intent", "policy_content_digest_hex", 7,
     r"^policy_content_digest_hex must be bytes or hex text \(str\), not int$"),
    # A str is refused before the native call, whose message would not say which list was meant.
    ("sign_evidence", "artifacts_hex", "11" * 32,
     r"^artifacts_hex must be a sequence \(list or tuple\) of artifact hashes, not str$"),
    ("evidence_sign_v1_hex", "artifacts_hex", "11" * 32, r"^artifacts_hex must be a sequence .* not str$"),
    ("evidence_sign_v1_hex", "artifacts_hex", bytes(32), r"^artifacts_hex must be a sequence .* not bytes$"),
    ("evidence_sign_v1_hex", "artifacts_hex", iter(["11" * 32]), r"^artifacts_hex must be a sequence .* not list_iterator$"),
    ("sign_evidence", "artifacts_hex", ["11" * 32, 17], r"^artifacts_hex\[1\] must be bytes or hex text \(str\), not int$"),
    ("verify_digest_signature", "digest_hex", 0, r"^digest_hex must be bytes or hex text \(str\), not int$"),
    # Types are checked before content, as the native conversions come before every check.
    ("verify_digest_signature", "public_key_hex", memoryview(bytes(32)),
     r"^public_key_hex must be bytes or text \(str\), not memoryview$"),
]  # fmt: skip


@pytest.mark.parametrize("name, param, value, message", WRONG_TYPES)
def test_wrong_types_give_clear_errors(name, param, value, message):
    with pytest.raises(TypeError, match=message):
        call_with(name, **{param: value})


# ------------------------------------------------------------------ surface


def test_package_exports_both_layers():
    extras = ["public_key", "check_create_intent", "check_evidence", "BodyCheck"]
    assert sorted(corvane_kit.__all__) == sorted(NATIVE_NAMES + LAYER_NAMES + extras)
    for name in NATIVE_NAMES:
        assert getattr(corvane_kit, name) is getattr(native, name)
    assert sorted(native.__all__) == sorted(NATIVE_NAMES)


def test_predicate_ref_defaults_to_no_reference():
    _, _, kwargs = PAIRS["create_intent"]
    without = {k: v for k, v in kwargs.items() if k != "predicate_ref"}
    assert corvane_kit.create_intent(**without) == native.build_signed_create_intent_json(**without, predicate_ref="")
    assert "predicate_ref" not in json.loads(corvane_kit.create_intent(**without))

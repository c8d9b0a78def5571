"""The Pythonic layer: Python values in, the native functions' exact bytes out.

The oracle for every conversion is a direct native call on the same inputs
spelled otherwise: JSON written by another serialiser, UUIDs in upper-case,
simple or braced form, timestamps with another separator, padded fractions and
"z", hashes and digests as upper-case "0x" hex with white space around. The
native functions normalise all of these, so the bodies must agree byte for
byte. The deadline text is checked against the instant the standard library
reads back; keys and verification against PyNaCl; keys that no seed gives
come from the pure-Python Ed25519 reference.
"""

import base64
import datetime as dt
import json
import re

import pytest
from hypothesis import example, given, settings
from hypothesis import strategies as st
from nacl.signing import SigningKey

import corvane_kit
import ed25519_reference as ref
from corvane_kit import _extras
from corvane_kit import _native as native
from valid_arguments import CREATE, EVIDENCE, INTENT_ID, POLICY, SEED_A, SEED_B, SIGN, VERIFY

json_values = st.recursive(
    st.none() | st.booleans() | st.integers(-(2**70), 2**70) | st.floats(allow_nan=False, allow_infinity=False)
    | st.text(max_size=8),
    lambda children: st.lists(children, max_size=4) | st.dictionaries(st.text(max_size=6), children, max_size=4),
    max_leaves=12,
)  # fmt: skip
json_documents = st.dictionaries(st.text(max_size=6), json_values, max_size=5) | st.lists(json_values, max_size=4)
instants = st.datetimes(dt.datetime(1, 1, 2), dt.datetime(9999, 12, 30),
                        timezones=st.integers(-1439, 1439).map(lambda m: dt.timezone(dt.timedelta(minutes=m))))
bytes32 = st.binary(min_size=32, max_size=32)


def other_json(value):
    return json.dumps(value, indent=2, sort_keys=True, ensure_ascii=False)


def other_rfc3339(d):
    """The same instant and offset with "t", nine fraction digits and "z"."""
    text = d.isoformat(sep="t", timespec="microseconds")
    return text[:-6] + "000" + ("z" if d.utcoffset() == dt.timedelta(0) else text[-6:])


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


@settings(max_examples=80, deadline=None)
@given(policy=st.booleans(), intent_id=st.uuids(), jsons=st.lists(json_documents, min_size=3, max_size=3),
       deadline=instants, tools=st.lists(st.text(max_size=6), min_size=1, max_size=4), seeds=st.tuples(bytes32, bytes32),
       by_key=st.booleans(), digest=bytes32, version=st.integers(0, 2**32 - 1))
def test_intents_match_native(policy, intent_id, jsons, deadline, tools, seeds, by_key, digest, version):
    common = dict(tenant_id="tenant-7", principal_did="did:p", payee_did="did:q", currency="EUR", amount_cents=-1500,
                  predicate_ref="", settlement_rail="x402_usdc_base")  # fmt: skip
    payee = {"payee_public_key": base64.b64encode(bytes(SigningKey(seeds[1]).verify_key)).decode()} if by_key else {
        "payee_seed": seeds[1]}  # fmt: skip
    layer = dict(common, principal_seed=seeds[0], intent_id=intent_id, budget_json=jsons[0], evidence_schema_json=jsons[1],
                 deadline_rfc3339=deadline, allowed_tools_json=tools, **payee)  # fmt: skip
    direct = dict(common, principal_seed=list(seeds[0]), payee_seed=bytearray(seeds[1]),
                  intent_id=f" {intent_id.hex.upper()}\t", budget_json=other_json(jsons[0]),
                  evidence_schema_json=other_json(jsons[1]), deadline_rfc3339=deadline.isoformat(),
                  allowed_tools_json=other_json(tools))  # fmt: skip
    if policy:
        head = dict(policy_template_id="travel", policy_version_seq=version)
        body = same_as_native(
            lambda: corvane_kit.create_policy_intent(**layer, **head, materialized_predicate_json=jsons[2],
                                                     policy_content_digest_hex=digest),
            native.build_signed_create_intent_with_policy_binding_json(
                **direct, **head, materialized_predicate_json=other_json(jsons[2]),
                policy_content_digest_hex=f"\u3000{digest.hex().upper()} "))  # fmt: skip
    else:
        body = same_as_native(lambda: corvane_kit.create_intent(**layer, predicate_json=jsons[2]),
                              native.build_signed_create_intent_json(**direct, predicate_json=other_json(jsons[2])))
    if body is not None:
        written = dt.datetime.fromisoformat(json.loads(body)["deadline"])
        assert written == deadline and written.utcoffset() == deadline.utcoffset()


@settings(max_examples=60, deadline=None)
@given(intent_id=st.uuids(), payload=json_documents, artifacts=st.lists(bytes32, max_size=3), submitted=instants,
       seed=bytes32, as_text=st.booleans())
def test_evidence_matches_native(intent_id, payload, artifacts, submitted, seed, as_text):
    layer = dict(tenant_id="tenant-7", payee_did="did:q", intent_id=intent_id, payload_json=payload,
                 submitted_at_rfc3339=submitted, artifacts_hex=[a.hex() if as_text else a for a in artifacts])
    direct = dict(tenant_id="tenant-7", payee_did="did:q", intent_id="{" + str(intent_id).upper() + "}",
                  payload_json=other_json(payload), submitted_at_rfc3339=other_rfc3339(submitted),
                  artifacts_hex=tuple(f" \t0x{a.hex().upper()}\n" for a in artifacts))
    record_hex = corvane_kit.evidence_sign_v1_hex(**layer)
    assert record_hex == native.encode_evidence_sign_v1_hex(**direct)
    body = native.sign_payee_evidence_binding_json(**direct, secret_seed=list(seed))
    same_as_native(lambda: corvane_kit.sign_evidence(**layer, secret_seed=seed), body)
    # What sign_evidence signs is what evidence_sign_v1_hex returns.
    SigningKey(seed).verify_key.verify(bytes.fromhex(record_hex), base64.b64decode(json.loads(body)["payee_signature"]))


def key_forms(raw):
    """Every accepted spelling of a key or signature: raw bytes, and hex or base64 text with white space."""
    b64 = base64.b64encode(raw).decode()
    return [raw, bytearray(raw), raw.hex(), f"\u2000{raw.hex().upper()}\n", b64, f" {b64}\u3000"]


@settings(max_examples=40, deadline=None)
@given(seed=bytes32, digest=bytes32, signature_form=st.integers(0, 5), key_form=st.integers(0, 5),
       bit=st.integers(0, 767))
@example(seed=bytes([16]) * 32, digest=bytes(32), signature_form=0, key_form=4, bit=0)  # its key's base64 starts "X"
def test_verify_and_public_key_agree_with_pynacl(seed, digest, signature_form, key_form, bit):
    key = SigningKey(seed)
    public, signature = bytes(key.verify_key), key.sign(digest).signature
    assert corvane_kit.public_key(seed) == _extras.public_key(list(seed)) == public
    assert corvane_kit.verify_digest_signature(digest, key_forms(signature)[signature_form],
                                               key_forms(public)[key_form]) is True
    flipped = bytearray(digest + signature)
    flipped[bit // 8] ^= 1 << (bit % 8)  # one bit of the digest or the signature
    s = int.from_bytes(signature[32:], "little") + ref.L  # the same S modulo L
    for wrong in [(flipped[:32], flipped[32:]), (digest, signature[:32] + s.to_bytes(32, "little"))]:
        assert corvane_kit.verify_digest_signature(*wrong, public_key_hex=public) is False


NOT_A_SEEDS_KEY = "payee_public_key is not the public key of any Ed25519 seed"
_SEED_KEY = ref.decode_point(bytes(SigningKey(SEED_A).verify_key))
PAYEE_ARGS = {k: v for k, v in CREATE.items() if k != "payee_seed"}

# (function, arguments, exception, message)
REFUSALS = [
    *[(f, PAYEE_ARGS, {"payee_public_key": key}, ValueError, NOT_A_SEEDS_KEY) for f in (
        corvane_kit.create_intent, _extras.build_signed_create_intent_json_for_payee_key) for key in (
        ref.encode_y(2),  # no x for y = 2: not a curve point
        ref.encode_point(ref.IDENTITY), ref.encode_point(ref.SMALL_ORDER_POINTS[1]),  # small order: verifies forgeries
        ref.encode_point(ref.point_add(_SEED_KEY, ref.SMALL_ORDER_POINTS[1])),  # mixed order
        ref.encode_y(ref.P + 1))],  # the identity, not canonically encoded
    (corvane_kit.create_intent, PAYEE_ARGS, {"payee_public_key": "AAAA"}, ValueError,
     "payee_public_key must be a 32-byte Ed25519 public key: 32 raw bytes, 64 hex digits or 44 base64 characters "
     "(found 4 characters)"),
    # Its place in the order of checks: after principal_seed, before intent_id.
    (_extras.build_signed_create_intent_json_for_payee_key, PAYEE_ARGS,
     {"payee_public_key": bytes(32), "principal_seed": bytes(31)}, ValueError,
     "principal_seed must be exactly 32 bytes (Ed25519 signing key seed)"),
    (corvane_kit.create_intent, PAYEE_ARGS, {}, TypeError,
     "create_intent() takes exactly one of payee_seed and payee_public_key; neither was given"),
    (corvane_kit.create_intent, CREATE, {"payee_public_key": bytes(32)}, TypeError,
     "create_intent() takes exactly one of payee_seed and payee_public_key; both were given"),
    (corvane_kit.verify_digest_signature, VERIFY, {"signature_hex": "00" * 32}, ValueError,
     "signature_hex must be a 64-byte Ed25519 signature: 64 raw bytes, 128 hex digits or 88 base64 characters "
     "(found 64 characters)"),
    # The native order of checks decides which of several faults is reported.
    (corvane_kit.create_intent, CREATE, {"deadline_rfc3339": dt.datetime(2030, 1, 1)}, ValueError,
     "deadline_rfc3339 must be timezone-aware: the naive datetime 2030-01-01T00:00:00 has no UTC offset (give it a "
     "tzinfo, for example datetime.timezone.utc)"),
    (corvane_kit.sign_evidence, SIGN, {"submitted_at_rfc3339": dt.datetime(2030, 1, 1, tzinfo=dt.timezone(
        dt.timedelta(hours=1, seconds=30)))}, ValueError, "submitted_at_rfc3339: the UTC offset 1:00:30 is not a whole "
     "number of minutes, which RFC 3339 cannot express"),
    (corvane_kit.create_intent, CREATE, {"deadline_rfc3339": dt.date(2030, 1, 1)}, TypeError,
     "deadline_rfc3339 must be a timezone-aware datetime or RFC 3339 text, not date"),
    (corvane_kit.create_intent, CREATE, {"principal_seed": "00" * 32}, TypeError,
     "principal_seed must be 32 bytes (bytes or bytearray), not str; for hex text use bytes.fromhex()"),
    # A str is refused before the native call, whose message would not say which list was meant.
    (corvane_kit.evidence_sign_v1_hex, EVIDENCE, {"artifacts_hex": "11" * 32}, TypeError,
     "artifacts_hex must be a sequence (list or tuple) of artifact hashes, not str"),
    (corvane_kit.sign_evidence, SIGN, {"artifacts_hex": ["11" * 32, 17]}, TypeError,
     "artifacts_hex[1] must be bytes or hex text (str), not int"),
    # The builders refuse bodies that the service could never verify.
    (corvane_kit.create_intent, CREATE, {"budget_json": [2.2790121708605243e274]}, ValueError, "budget_json: the "
     "number 2.2790121708605247e+274 reads back as 2.279012170860525e+274, so the service could never verify the body"),
    (corvane_kit.sign_evidence, SIGN, {"payload_json": "[" * 127 + "]" * 127}, ValueError, "payload_json: nests 127 "
     "levels deep, 128 inside the body: one more than the reader takes, so the service could never verify the body"),
    (corvane_kit.check_evidence, {"tenant_id": "t", "intent_id": INTENT_ID}, {"body": b"{}"}, TypeError,
     "'bytes' object is not an instance of 'str'"),
    # Types are checked before content, as the native conversions come before every check.
    (corvane_kit.verify_digest_signature, VERIFY, {"digest_hex": "0g", "public_key_hex": memoryview(bytes(32))},
     TypeError, "public_key_hex must be bytes or text (str), not memoryview"),
]  # fmt: skip


@pytest.mark.parametrize("function, args, changes, error, message", REFUSALS)
def test_refusals(function, args, changes, error, message):
    with pytest.raises(error) as caught:
        function(**{**args, **changes})
    assert str(caught.value) == message


NAN, MISREAD, NAIVE = [float("nan")], [2.2790121708605243e274], dt.datetime(2030, 1, 1)  # MISREAD reads back otherwise


# Each converted parameter names itself when refused: a value JSON cannot hold, a float whose shortest text the
# reader misreads (where the body holds it), a naive datetime.
@pytest.mark.parametrize("function, args, values", [
    (corvane_kit.create_intent, CREATE, {"budget_json": MISREAD, "evidence_schema_json": MISREAD,
                                         "predicate_json": MISREAD, "deadline_rfc3339": NAIVE}),
    (corvane_kit.create_policy_intent, POLICY, {"evidence_schema_json": NAN, "materialized_predicate_json": NAN,
                                                "allowed_tools_json": NAN, "deadline_rfc3339": NAIVE, "payee_seed": "00"}),
    (corvane_kit.evidence_sign_v1_hex, EVIDENCE, {"payload_json": NAN, "submitted_at_rfc3339": NAIVE}),
    (corvane_kit.sign_evidence, SIGN, {"payload_json": NAN, "submitted_at_rfc3339": NAIVE, "secret_seed": "00"}),
])  # fmt: skip
def test_each_parameter_names_itself(function, args, values):
    for param, value in values.items():
        with pytest.raises((TypeError, ValueError), match=f"^{param}[: ]"):
            function(**{**args, param: value})


PAIRS = [
    (corvane_kit.create_intent, native.build_signed_create_intent_json, CREATE),
    (corvane_kit.create_policy_intent, native.build_signed_create_intent_with_policy_binding_json, POLICY),
    (corvane_kit.sign_evidence, native.sign_payee_evidence_binding_json, SIGN),
    (corvane_kit.evidence_sign_v1_hex, native.encode_evidence_sign_v1_hex, EVIDENCE),
    (corvane_kit.verify_digest_signature, native.verify_ed25519_sha256_hex, VERIFY),
]


def outcome(function, kwargs):
    try:
        return ("ok", function(**kwargs))
    except Exception as exc:  # noqa: BLE001 - the exception itself is compared
        return (type(exc), exc.args, getattr(exc, "__notes__", None))


# Native keyword calls work unchanged, and native failures reach the caller unchanged.
@pytest.mark.parametrize("index, changes", [
    (0, {}), (1, {}), (2, {}), (3, {}), (4, {}),
    (0, {"budget_json": "", "payee_seed": [256] * 32}), (0, {"amount_cents": 2**63}), (0, {"currency": None}),
    (2, {"artifacts_hex": ["0X" + "1" * 64]}), (4, {"public_key_hex": "02" + "00" * 31}),
])  # fmt: skip
def test_native_calls_pass_through(index, changes):
    layer, direct, args = PAIRS[index]
    expected = outcome(direct, {**args, **changes})
    assert outcome(layer, {**args, **changes}) == expected and (expected[0] == "ok") == (not changes)


def test_surface():
    extras = ["public_key", "check_create_intent", "check_evidence", "BodyCheck"]
    layer = ["create_intent", "create_policy_intent", "evidence_sign_v1_hex", "sign_evidence", "verify_digest_signature"]
    assert sorted(corvane_kit.__all__) == sorted(native.__all__ + layer + extras)
    assert all(getattr(corvane_kit, name) is getattr(native, name) for name in native.__all__)
    # The native functions the second module's docs name exist.
    cited = {name for f in _extras.__all__ for name in re.findall(r"``(build_\w+)``", getattr(_extras, f).__doc__)}
    assert cited and all(hasattr(native, name) or hasattr(_extras, name) for name in cited)
    # predicate_ref defaults to no reference; a payee key names the seed's body.
    without = {k: v for k, v in CREATE.items() if k != "predicate_ref"}
    assert corvane_kit.create_intent(**without) == native.build_signed_create_intent_json(**without, predicate_ref="")
    key = bytes(SigningKey(SEED_B).verify_key)
    assert corvane_kit.create_intent(**{**PAYEE_ARGS, "payee_public_key": key.hex()}) == \
        _extras.build_signed_create_intent_json_for_payee_key(**PAYEE_ARGS, payee_public_key=key) == \
        native.build_signed_create_intent_json(**CREATE)  # fmt: skip

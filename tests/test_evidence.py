"""Evidence signing against independent oracles: the record rebuilt by
payload_reference (the blake3 package, Python's json, uuid and datetime),
PyNaCl for the signature; acceptance against datetime and uuid; numbers of
the region that the reader reads exactly (significands below 2**53, powers of
ten up to 1e22) against Python's float(). (The order in which each function
checks: the goldens; numbers outside that region, and the shortest digits
against std::to_chars: the C++ reader and writer tests.)"""

import base64
import datetime as dt
import json

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from nacl.signing import VerifyKey

import payload_reference as ref
from corvane_kit import _native as native
from strategies import SEEDS, hex_spellings, json_texts, timestamps, uuid_spellings
from valid_arguments import EVIDENCE, SEED_A


def both(seed=SEED_A, **changes):
    """The record of encode_evidence_sign_v1_hex and the signed document over it."""
    args = {**EVIDENCE, **changes}
    record = bytes.fromhex(native.encode_evidence_sign_v1_hex(**args))
    document = json.loads(native.sign_payee_evidence_binding_json(**args, secret_seed=seed))
    VerifyKey(ref.public_key(seed)).verify(record, base64.b64decode(document["payee_signature"]))
    return record, document


@settings(max_examples=150, deadline=None)
@given(tenant=st.text(), payee=st.text(), payload=json_texts(), artifacts=st.lists(hex_spellings(), max_size=3),
       intent=uuid_spellings(), submitted=timestamps(), seed=SEEDS)
def test_record_and_document_match_the_reference(tenant, payee, payload, artifacts, intent, submitted, seed):
    args = dict(tenant_id=tenant, intent_id=intent[0], payee_did=payee, payload_json=payload[0],
                artifacts_hex=[t for t, _ in artifacts], submitted_at_rfc3339=submitted[0])
    record, document = both(seed, **args)
    expected, expected_record = ref.evidence_oracle({**args, "secret_seed": seed}, {"submitted_at": submitted[1]})
    assert record == expected_record
    assert list(document) == ["payload", "artifacts", "payee_did", "payee_pubkey", "payee_signature", "submitted_at"]
    assert {k: v for k, v in document.items() if k != "payee_signature"} == expected
    assert document["payload"] == payload[1] and document["artifacts"] == [h.hex() for _, h in artifacts]


@settings(max_examples=300, deadline=None)
@given(year=st.integers(1, 9999), month=st.integers(1, 14), day=st.integers(0, 33), hour=st.integers(0, 26),
       minute=st.integers(0, 62), second=st.integers(0, 59))
def test_date_and_time_ranges_agree_with_datetime(year, month, day, hour, minute, second):
    text = f"{year:04d}-{month:02d}-{day:02d}T{hour:02d}:{minute:02d}:{second:02d}Z"
    try:
        dt.datetime(year, month, day, hour, minute, second)
    except ValueError:
        with pytest.raises(RuntimeError, match="^submitted_at_rfc3339: (month|day|hour|minute) was not in range$"):
            native.encode_evidence_sign_v1_hex(**{**EVIDENCE, "submitted_at_rfc3339": text})
    else:
        assert both(submitted_at_rfc3339=text)[1]["submitted_at"] == text


@settings(max_examples=300, deadline=None)
@given(intent=uuid_spellings(), simple=st.booleans(), position=st.integers(0, 35), char=st.sampled_from("0aA-gZ{}:"))
def test_uuid_acceptance_agrees_with_the_uuid_module(intent, simple, position, char):
    # One character replaced in a plain form; characters on which uuid.UUID is
    # looser (white space, "_", signs) stay out.
    base = intent[1].hex if simple else str(intent[1])
    text = base[: position % len(base)] + char + base[position % len(base) + 1:]
    try:
        expected = ref.uuid_field(text)
    except ValueError:
        with pytest.raises(RuntimeError, match="^intent_id: "):
            native.encode_evidence_sign_v1_hex(**{**EVIDENCE, "intent_id": text})
    else:
        assert expected in both(intent_id=text)[0]


@settings(max_examples=300, deadline=None)
@given(st.integers(0, 2**53 - 1), st.integers(-22, 22), st.booleans())
def test_numbers_of_the_exact_region_read_like_python(significand, exponent, negative):
    # One rounding of the significand and one exact scaling by a power of ten: Python's float() exactly.
    text = f"{'-' if negative else ''}{significand}e{exponent}"
    document = native.sign_payee_evidence_binding_json(**{**EVIDENCE, "payload_json": f"[{text}]"}, secret_seed=SEED_A)
    assert json.loads(document)["payload"] == [float(text)]

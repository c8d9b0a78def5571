"""Numbers as the module reads and writes them, seen through the payload that
sign_payee_evidence_binding_json writes back, against Python's own float
arithmetic: the reader rounds the decimal significand to binary64 once and
multiplies or divides once by a power of ten, which is exact for
significands below 2**53 and powers up to 1e22. (Outside that region, and the
shortest digits written against std::to_chars: the C++ reader and writer tests.)"""

import json

from hypothesis import given, settings
from hypothesis import strategies as st

from corvane_kit import _native


def written(json_text):
    document = _native.sign_payee_evidence_binding_json(
        "t", "123e4567-e89b-12d3-a456-426614174000", "d", json_text, [], "2025-01-01T00:00:00Z", bytes(32))
    return document[len('{"payload":') : document.index(',"artifacts":')]


def read_back(json_text):
    return json.loads(written(json_text))


@settings(max_examples=300, deadline=None)
@given(st.integers(0, 2**53 - 1), st.integers(-22, 22), st.booleans())
def test_exact_region_reads_like_python(significand, exponent, negative):
    text = f"{'-' if negative else ''}{significand}e{exponent}"
    assert read_back(f"[{text}]") == [float(text)]


_PLAIN = st.recursive(
    st.none() | st.booleans() | st.integers(-(2**63), 2**64 - 1) | st.text(max_size=10)
    | st.integers(-(10**15), 10**15).map(lambda thousandths: thousandths / 1000),
    lambda inner: st.lists(inner, max_size=4) | st.dictionaries(st.text(max_size=5), inner, max_size=4),
    max_leaves=15,
)


@settings(max_examples=200, deadline=None)
@given(_PLAIN, st.sampled_from([None, 1]), st.booleans())
def test_written_documents_round_trip_through_python_json(value, indent, ascii_only):
    # Floats of at most 15 significant digits are read exactly, so the round trip is exact.
    assert read_back(json.dumps(value, indent=indent, ensure_ascii=ascii_only)) == value

"""Numbers as the module reads and writes them, seen through the payload that
sign_payee_evidence_binding_json writes back, against Python's own float
arithmetic: the reader rounds the decimal significand to binary64 once and
multiplies or divides once by a power of ten, which is exact for
significands below 2**53 and powers up to 1e22."""

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


def digits_and_exponent(text):
    """The significant digits of a decimal text and the power of ten of the first."""
    mantissa, _, exponent = text.lower().lstrip("-").partition("e")
    whole, _, fraction = mantissa.partition(".")
    digits = (whole + fraction).lstrip("0").rstrip("0") or "0"
    first = len(whole.lstrip("0")) - 1 if whole.strip("0") else -(len(fraction) - len(fraction.lstrip("0")) + 1)
    return digits, first + int(exponent or 0)


@settings(max_examples=300, deadline=None)
@given(st.integers(0, 2**53 - 1), st.integers(-22, 22), st.booleans())
def test_exact_region_reads_like_python(significand, exponent, negative):
    text = f"{'-' if negative else ''}{significand}e{exponent}"
    assert read_back(f"[{text}]") == [float(text)]


# Outside that region one rounded operation can miss the correctly rounded
# double by a unit (the C++ reader tests list such doubles, by hand).
@settings(max_examples=300, deadline=None)
@given(st.integers(1, 2**64 - 1), st.integers(-340, 290))
def test_floats_are_written_in_their_shortest_digits(significand, exponent):
    # Python's repr is the shortest text that reads back to the same double.
    try:
        text = written(f"[{significand}e{exponent}]")[1:-1]
    except ValueError:
        return  # out of range
    assert digits_and_exponent(text)[0] == "0" or digits_and_exponent(text) == digits_and_exponent(repr(float(text)))


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

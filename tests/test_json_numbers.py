"""Numbers as the module reads and writes them, observed through the payload
that sign_payee_evidence_binding_json writes back. Python's own float
arithmetic is the oracle: the reader takes the decimal significand, rounds it
to binary64 once, and multiplies or divides it once by the binary64 power of
ten (itself the correctly rounded literal), so float(m) * 1eN is exactly what
it must give."""

import json
import math

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from corvane_kit import _native

SEED = bytes(range(32))


def read_back(number_text: str):
    document = _native.sign_payee_evidence_binding_json(
        "t", "123e4567-e89b-12d3-a456-426614174000", "d", f"[{number_text}]", [], "2025-01-01T00:00:00Z", SEED
    )
    written = document[len('{"payload":[') : document.index('],"artifacts"')]
    return written, json.loads(written)


def procedure(significand: int, exponent: int) -> float:
    value = float(significand)
    while exponent < -308 and value != 0.0:
        value /= 1e308
        exponent += 308
    if exponent >= 0:
        return value * float(f"1e{exponent}")
    return value / float(f"1e{-exponent}")


@settings(max_examples=300, deadline=None)
@given(st.integers(0, 2**53 - 1), st.integers(-22, 22))
def test_small_significands_read_exactly_like_python(significand, exponent):
    text = f"{significand}e{exponent}"
    _, value = read_back(text)
    assert value == float(text)


@settings(max_examples=300, deadline=None)
@given(st.integers(1, 2**64 - 1), st.integers(-340, 290))
def test_other_numbers_follow_the_one_rounding_procedure(significand, exponent):
    expected = procedure(significand, exponent)
    if math.isinf(expected):  # the product overflows: the reader refuses the number
        with pytest.raises(ValueError, match="^payload_json: number out of range at line 1 column"):
            read_back(f"{significand}e{exponent}")
        return
    _, value = read_back(f"{significand}e{exponent}")
    assert value == expected


def test_a_product_that_overflows_is_out_of_range():
    # The significand rounds up to 1.7976931348623158e18, whose product with
    # 1e290 is beyond the largest double although the text is not.
    assert math.isinf(procedure(1797693134862315649, 290))
    with pytest.raises(ValueError, match="^payload_json: number out of range at line 1 column 24$"):
        read_back("1797693134862315649e290")


@pytest.mark.parametrize(
    "text, correctly_rounded",
    [
        # One rounding of 1259 * 1e35 lands a unit below the nearest double.
        ("-12.59E+36", -1.259e37),
        ("2.2790121708605243e+274", 2.2790121708605243e274),
        ("4.454981741040901610e-10", 4.454981741040901610e-10),
    ],
)
def test_last_bit_differs_from_correct_rounding_where_the_procedure_says(text, correctly_rounded):
    mantissa, _, exponent = text.lower().partition("e")
    whole, _, fraction = mantissa.lstrip("-").partition(".")
    digits = int(whole + fraction)
    expected = procedure(digits, int(exponent) - len(fraction))
    if text.startswith("-"):
        expected = -expected
    _, value = read_back(text)
    assert value == expected
    assert value != correctly_rounded


@pytest.mark.parametrize(
    "text, written",
    [
        ("0", "0"),
        ("-0", "-0.0"),
        ("1.0", "1.0"),
        ("1e2", "100.0"),
        ("1E+16", "1e+16"),
        ("1e15", "1000000000000000.0"),
        ("0.00001", "0.00001"),
        ("0.000001", "1e-6"),
        ("1.5e-7", "1.5e-7"),
        ("123.45", "123.45"),
        ("1.7976931348623157e308", "1.7976931348623157e+308"),
        ("18446744073709551615", "18446744073709551615"),
        ("18446744073709551616", "1.8446744073709552e+19"),
        ("-9223372036854775808", "-9223372036854775808"),
        ("-9223372036854775809", "-9.223372036854776e+18"),
        ("1e-400", "0.0"),
        ("-1e-400", "-0.0"),
        # Digits past the 64-bit significand are dropped, in the integer part
        # only after counting towards the exponent.
        ("123456789012345678901234567890", "1.2345678901234568e+29"),
        ("0.123456789012345678901234567890", "0.12345678901234568"),
        ("1e99999999999999999999", None),
        ("0e99999999999999999999", "0.0"),
        ("-0e-99999999999999999999", "-0.0"),
    ],
)
def test_number_forms(text, written):
    if written is None:
        with pytest.raises(ValueError, match="^payload_json: number out of range at line 1 column"):
            read_back(text)
        return
    assert read_back(text)[0] == written


_PLAIN = st.recursive(
    st.none()
    | st.booleans()
    | st.integers(-(2**63), 2**64 - 1)
    | st.integers(-(10**15), 10**15).map(lambda thousandths: thousandths / 1000)
    | st.text(max_size=10),
    lambda inner: st.lists(inner, max_size=4) | st.dictionaries(st.text(max_size=5), inner, max_size=4),
    max_leaves=15,
)


@settings(max_examples=200, deadline=None)
@given(_PLAIN)
def test_written_documents_round_trip_through_python_json(value):
    # Floats of at most 15 significant digits and small exponents lie where
    # the reader is exact, so the round trip must be exact.
    document = _native.sign_payee_evidence_binding_json(
        "t", "123e4567-e89b-12d3-a456-426614174000", "d", json.dumps(value), [], "2025-01-01T00:00:00Z", SEED
    )
    assert json.loads(document)["payload"] == value

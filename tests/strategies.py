"""Hypothesis strategies shared by the property tests: inputs spelled the ways
a caller may spell them, with the value an independent oracle reads from them."""

import datetime as dt
import json
import uuid

from hypothesis import strategies as st

from payload_reference import WHITE_SPACE

# Floats stay out: Python spells them otherwise than the wire.
_TEXT = st.text(st.sampled_from(list("ab\x00\x1f\x7f\"\\/\b\f\n\r\tA")) | st.characters(exclude_categories=["Cs"]),
                max_size=8)
JSON_VALUES = st.recursive(
    st.none() | st.booleans() | st.integers(-(2**63), 2**64 - 1) | _TEXT,
    lambda inner: st.lists(inner, max_size=4) | st.dictionaries(_TEXT, inner, max_size=4),
    max_leaves=10,
)
SPACE = st.text(st.sampled_from(WHITE_SPACE), max_size=2)
SEEDS = st.binary(min_size=32, max_size=32)


@st.composite
def json_texts(draw):
    """(text, value): a JSON document in some spelling, and its value."""
    value = draw(JSON_VALUES)
    indent = draw(st.sampled_from([None, 0, 2]))
    return json.dumps(value, ensure_ascii=draw(st.booleans()), indent=indent), value


@st.composite
def hex_spellings(draw, prefixes=("", "0x")):
    """(text, bytes): 32 bytes in hex digits of either case, with a prefix and white space around."""
    data = draw(st.binary(min_size=32, max_size=32))
    upper = draw(st.integers(0, 2**64 - 1))
    digits = "".join(c.upper() if upper >> i & 1 else c for i, c in enumerate(data.hex()))
    return draw(SPACE) + draw(st.sampled_from(prefixes)) + digits + draw(SPACE), data


@st.composite
def uuid_spellings(draw):
    value = uuid.UUID(bytes=draw(st.binary(min_size=16, max_size=16)))
    form = draw(st.sampled_from([str, lambda u: str(u).upper(), lambda u: u.hex, lambda u: "{" + str(u) + "}",
                                 lambda u: u.urn]))
    return form(value), value


_OFFSETS = st.integers(-(24 * 60 - 1), 24 * 60 - 1).map(lambda m: dt.timezone(dt.timedelta(minutes=m)))


@st.composite
def timestamps(draw):
    """(text, datetime): RFC 3339 text with any separator case and Z or +00:00."""
    when = draw(st.datetimes(dt.datetime(1, 1, 1), dt.datetime(9999, 12, 31, 23, 59, 59, 999999), timezones=_OFFSETS))
    text = when.isoformat(sep=draw(st.sampled_from(["T", "t", " ", "_"])))
    if text.endswith("+00:00") and draw(st.booleans()):
        text = text[:-6] + draw(st.sampled_from(["Z", "z", "-00:00"]))
    return text, when

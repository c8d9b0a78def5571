"""Refusing a body that can never verify because of how its numbers read back.

The JSON reader reads a number by one rounded multiplication or division by a
power of ten, and the service reads the same way. For some floats (about one
in ten of those with 16 or 17 significant digits and a decimal exponent below
-6 or beyond 22) the shortest text of the value, which the body carries, reads
back as the neighbouring value: the signature covers one number and the
service digests another, so it rejects the body whatever else is right. The
builders of the Pythonic layer and the command line refuse to return such a
body; the native functions, whose results are fixed, still return it.
"""

from __future__ import annotations

from corvane_kit import _extras

# The parameter each body member is written from.
_PARAMETERS = {
    "budget": "budget_json",
    "evidence_schema": "evidence_schema_json",
    "predicate_dsl": "predicate_json",
    "payload": "payload_json",
}


def refuse_misread_numbers(body: str) -> str:
    """``body``, or ValueError naming the parameter and the number when a float of it would not read back."""
    found = _extras.misread_number(body)
    if not found:
        return body
    member, written, read_as = found
    raise ValueError(
        f"{_PARAMETERS.get(member, member)}: the body would carry the number {written}, which reads back as "
        f"{read_as}, so its signature could never verify; round the number or send it as a string"
    )

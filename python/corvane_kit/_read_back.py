"""Refusing a body that the service could never read back as it was signed.

The service reads a body with the same JSON reader the builders use, and
verifies the signature over the payload it rebuilds from what it read. Two
things a builder accepts do not survive that reading:

* a document nested 127 levels deep (the most the reader takes): inside the
  body it is 128 levels deep, and the body cannot be read at all;
* some floats: the reader reads a number by one rounded multiplication or
  division by a power of ten, and for some values (about one in ten of the
  floats whose magnitude is below 1e-6 or above 1e22, none of those in between
  in the samples of tools/number_rule_figures.py) the shortest text of the
  value, which the body carries, reads back as its neighbour, so the service
  digests another number than the one signed.

The native functions, whose results are fixed, return such bodies; the
builders of the Pythonic layer and the command line refuse them.
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


def refuse_unreadable(body: str) -> str:
    """``body``, or ValueError naming the parameter when a member of it would not read back as written."""
    found = _extras.read_back_fault(body)
    if not found:
        return body
    member, problem = found
    raise ValueError(f"{_PARAMETERS.get(member, member)}: {problem}, so the service could never verify the body")

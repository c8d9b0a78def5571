"""Checking a request body as the service does.

The service accepts a body only if its signature verifies over the signing
payload that it rebuilds from the body itself. These functions do that rebuild
with the builders' own code: they read the body with the module's JSON reader,
rebuild ``IntentSignV6``, ``IntentSignV7`` or ``EvidenceSignV1`` by the same
rules, and verify the signature by the service's lenient rules. What the body
does not carry is given by the caller: the tenant, the intent identifier of an
evidence submission (it travels in the request path), and for a policy-bound
intent (``signing_version`` 7) the policy content digest and the materialized
predicate, which enter the payload only through their digests.

Bad input never raises, except TypeError for an argument of the wrong type:
a body that is not JSON, lacks a member or carries a bad one is a failed
check with its reason. The reasons, in the order they are checked:

* ``body: {JSON reader's message}``, ``body: expected an object, found {type}``
* create-intent: ``signing_version: expected 6 or 7, found {n}``;
  ``policy_binding: expected null with signing_version 6, found an object``,
  ``policy_binding: expected an object with signing_version 7, found null``,
  ``predicate_dsl: not expected with signing_version 7, ...``; then
  ``policy_content_digest`` and ``materialized_predicate_json``: ``required for
  signing_version 7``, ``given, but signing_version 6 ...``, or what is wrong
  with them
* evidence: ``intent_id: {UUID parser's message}``
* each member the payload needs, in the payload's field order:
  ``{member}: missing``, ``{member}: expected a string, found an integer``
  (types: null, a boolean, an integer, a float, a string, an array, an
  object), ``amount_cents: out of range: {n}``, ``deadline: {RFC 3339 parser's
  message}``, ``allowed_tools[1]: expected a string, found null``,
  ``allowed_tools: must be non-empty``, ``settlement_rail: must be one of ...``,
  ``policy_binding.version_seq: out of range: {n}``, ``artifacts[2]: expected 32
  bytes, got 16``, ``payee_pubkey: not base64 of 32 bytes ({why})``
* the signer: ``principal_pubkey: not base64 of 32 bytes ({why})``,
  ``principal_signature: not base64 of 64 bytes ({why})``,
  ``principal_pubkey: not a point on the curve`` (``payee_...`` for evidence)
* ``{member}: the number {text} reads back as {text}; the signature holds for
  the number as written``: the body is what a signer made, but the JSON reader
  (one rounded multiplication or division by a power of ten) reads one of its
  floats as the neighbouring value, so no service reading it this way accepts it
* ``principal_signature: does not verify over the rebuilt IntentSignV6 payload``
  (``IntentSignV7``; ``payee_signature ... EvidenceSignV1``)

Base64 is read strictly: the standard alphabet, "=" padding, zero unused bits,
no white space; each key or signature has exactly one text. ``{why}`` is
``Invalid length {n}: not a multiple of 4``, ``Invalid character {c} at
position {i}``, ``Unused bits of {c} at position {i} are not zero`` or
``decodes to {n} bytes``.
"""

from __future__ import annotations

import uuid
from collections.abc import Callable, Mapping
from dataclasses import dataclass
from typing import Any

from corvane_kit import _extras
from corvane_kit._api import JSONValue, _hex_text, _intent_id_text, _json_text

__all__ = ["BodyCheck", "check_create_intent", "check_evidence"]


@dataclass(frozen=True)
class BodyCheck:
    """The outcome of checking a body.

    ``ok``: the signature verifies over the payload rebuilt from the body.
    ``payload``: the rebuilt signing payload, whenever the body got that far
    (also when its signature then fails), else None. ``reason``: None when
    ``ok``, else one reason that names the member or argument first.
    """

    ok: bool
    payload: bytes | None
    reason: str | None


def _checked(native: Callable[..., tuple[bool, bytes | None, str | None]], arguments: Mapping[str, Any]) -> BodyCheck:
    try:
        return BodyCheck(*native(**arguments))
    except UnicodeEncodeError:
        # A str with a lone surrogate is no text a service can receive.
        for name, value in arguments.items():
            try:
                if isinstance(value, str):
                    value.encode("utf-8")
            except UnicodeEncodeError as e:
                return BodyCheck(False, None, f"{name}: not UTF-8 text ({e.reason} at index {e.start})")
        raise


def check_create_intent(
    body: str,
    *,
    tenant_id: str,
    policy_content_digest: bytes | bytearray | str | None = None,
    materialized_predicate_json: JSONValue | None = None,
) -> BodyCheck:
    """Check a ``POST /intents`` body as the service does: rebuild its signing payload, verify ``principal_signature``.

    A ``signing_version`` 7 body needs ``policy_content_digest`` (32 bytes, or
    64 hex digits) and ``materialized_predicate_json`` (JSON text, or a value
    for ``json.dumps``; None means not given, ``"null"`` is JSON null); a
    version 6 body takes neither.

    >>> import uuid
    >>> from corvane_kit import create_intent
    >>> body = create_intent(
    ...     tenant_id="tenant-7", principal_seed=bytes(range(32)), payee_seed=bytes(range(32, 64)),
    ...     intent_id=uuid.UUID("123e4567-e89b-12d3-a456-426614174000"),
    ...     principal_did="did:example:principal", payee_did="did:example:payee",
    ...     budget_json={"max_cents": 5000}, currency="USD", amount_cents=1500,
    ...     evidence_schema_json={"type": "object"}, deadline_rfc3339="2030-01-01T00:00:00Z",
    ...     predicate_json={"all": []}, allowed_tools_json=["browse"], settlement_rail="stripe_connect")
    >>> check = check_create_intent(body, tenant_id="tenant-7")
    >>> check.ok, check.payload[:1], check.reason
    (True, b'\\x06', None)
    >>> check_create_intent(body, tenant_id="tenant-8").reason
    'principal_signature: does not verify over the rebuilt IntentSignV6 payload'
    >>> check_create_intent(body.replace('"amount_cents":1500', '"amount_cents":"1500"'), tenant_id="tenant-7").reason
    'amount_cents: expected an integer, found a string'
    """
    digest = None if policy_content_digest is None else _hex_text("policy_content_digest", policy_content_digest)
    try:
        predicate = (
            None
            if materialized_predicate_json is None
            else _json_text("materialized_predicate_json", materialized_predicate_json)
        )
    except ValueError as e:  # a float json.dumps cannot write: no JSON to check against
        return BodyCheck(False, None, str(e))
    except RecursionError as e:
        return BodyCheck(False, None, f"materialized_predicate_json: {e}")
    return _checked(
        _extras.check_create_intent,
        {
            "body": body,
            "tenant_id": tenant_id,
            "policy_content_digest": digest,
            "materialized_predicate_json": predicate,
        },
    )


def check_evidence(body: str, *, tenant_id: str, intent_id: uuid.UUID | str) -> BodyCheck:
    """Check a ``POST /intents/{intent_id}/evidence`` body as the service does.

    Rebuilds its ``EvidenceSignV1`` payload and verifies ``payee_signature``.

    ``intent_id`` is the identifier of the request path, used exactly as given
    (a ``uuid.UUID`` or its text).

    >>> import uuid
    >>> from corvane_kit import sign_evidence
    >>> intent = uuid.UUID("123e4567-e89b-12d3-a456-426614174000")
    >>> body = sign_evidence(
    ...     tenant_id="tenant-7", intent_id=intent, payee_did="did:example:payee",
    ...     payload_json={"receipt": {"total": 1499}}, artifacts_hex=[], submitted_at_rfc3339="2025-03-01T12:00:00Z",
    ...     secret_seed=bytes(range(32, 64)))
    >>> check_evidence(body, tenant_id="tenant-7", intent_id=intent).ok
    True
    >>> check_evidence(body, tenant_id="tenant-7", intent_id=uuid.UUID(int=1)).reason
    'payee_signature: does not verify over the rebuilt EvidenceSignV1 payload'
    """
    return _checked(
        _extras.check_evidence,
        {"body": body, "tenant_id": tenant_id, "intent_id": _intent_id_text(intent_id)},
    )

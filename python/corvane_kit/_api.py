"""The Pythonic entry points: Python values in, the native functions' results out.

Each function converts its arguments and calls one native function; the bytes
signed and the text returned are exactly those of the native call:

==============================  ======================================================
``create_intent``               ``build_signed_create_intent_json``
``create_policy_intent``        ``build_signed_create_intent_with_policy_binding_json``
``sign_evidence``               ``sign_payee_evidence_binding_json``
``evidence_sign_v1_hex``        ``encode_evidence_sign_v1_hex``
``verify_digest_signature``     ``verify_ed25519_sha256_hex``
==============================  ======================================================

Parameters keep the native names, so a keyword call to a native function works
unchanged here, and the native error messages ("budget_json: ...") name the
argument the caller wrote. The conversions:

* ``*_json``: a JSON value (dict, list, str, int, float, bool, None), written
  with ``json.dumps(value, allow_nan=False)``. A ``str`` is JSON *text* and is
  passed on unchanged, so a JSON string value must be given as ``'"text"'``.
* ``deadline_rfc3339`` and ``submitted_at_rfc3339``: a timezone-aware
  ``datetime``, written by ``datetime.isoformat()`` (offset kept as given,
  microseconds kept), or RFC 3339 text passed on unchanged. A naive datetime
  is refused with ValueError.
* ``intent_id``: a ``uuid.UUID`` (written in its 36-character lower-case form) or text.
* ``*_hex`` digests and artifact hashes: raw ``bytes`` (written as lower-case
  hex) or hex text passed on unchanged. ``artifacts_hex`` is a list or tuple of
  them; a bare ``str`` is refused with a TypeError, by mypy too.
* ``public_key_hex`` and ``signature_hex`` of ``verify_digest_signature``: raw
  bytes, hex or base64 text (as the request bodies carry them), told apart by
  length; any other length is refused with a ValueError naming the forms.
* Seeds are handed to the native function as they are, without a copy of their
  secret bytes: 32 bytes as ``bytes``, ``bytearray`` or a sequence of ints. A
  ``str`` is refused with a TypeError (for hex text use ``bytes.fromhex``).
* The payee of an intent is named by exactly one of ``payee_seed`` and
  ``payee_public_key``; the key is raw bytes, or hex or base64 text (decoded
  here), and calls the ``_extras`` twin of the native function, which gives
  the same body as the seed of that key.

Every other argument, and every check of content (lengths, JSON syntax, UUID
and timestamp forms, rails), is left to the native function, with its exceptions.
One check is added after it: the three builders of request bodies refuse, with
a ValueError naming the parameter, a body that the JSON reader would not read
back as written (a document nested too deep, a float read as its neighbour),
since the service could never verify its signature (see ``_read_back``).

Each function is written as its conversion, returning the native function to
call and its positional arguments (see ``_native_call``), so that
``corvane_kit.batch`` and the command's ``--jsonl`` convert a request exactly
as a single call does and run it through that function's native batch.
"""

from __future__ import annotations

import datetime as _dt
import json
import uuid
from collections.abc import Iterator, Mapping, Sequence
from typing import Protocol, TypeAlias, TypeVar, Union

from corvane_kit import _extras, _key_encodings, _native
from corvane_kit._native_call import NativeCall, NativeTarget, pythonic
from corvane_kit._read_back import refuse_unreadable

__all__ = [
    "public_key",
    "create_intent",
    "create_policy_intent",
    "evidence_sign_v1_hex",
    "sign_evidence",
    "verify_digest_signature",
]

JSONValue: TypeAlias = Union[
    Mapping[str, "JSONValue"], Sequence["JSONValue"], str, int, float, bool, None
]
"""A JSON document: a value for ``json.dumps``, or JSON text when it is a ``str``."""

Timestamp: TypeAlias = _dt.datetime | str
"""A timezone-aware datetime, or RFC 3339 text."""

IntentId: TypeAlias = uuid.UUID | str
"""A UUID, or its text."""

Seed: TypeAlias = bytes | bytearray | Sequence[int]
"""A 32-byte Ed25519 seed."""

HexOrBytes: TypeAlias = bytes | bytearray | str
"""Raw bytes, or their hex text."""

KeyOrSignature: TypeAlias = bytes | bytearray | str
"""Raw bytes, or their hex or base64 text."""

_T_co = TypeVar("_T_co", covariant=True)


class SequenceNotStr(Protocol[_T_co]):
    """A list or tuple, but not a ``str``: a str is a sequence of str, yet its
    ``__contains__`` takes only str, so a type checker refuses it here."""

    def __getitem__(self, index: int, /) -> _T_co: ...

    def __contains__(self, value: object, /) -> bool: ...

    def __len__(self) -> int: ...

    def __iter__(self) -> Iterator[_T_co]: ...


# The native functions the Pythonic ones call. The three builders of request
# bodies refuse a body the service could not read back.
_INTENT = NativeTarget(
    _native.build_signed_create_intent_json, _extras.batch_build_signed_create_intent_json, refuse_unreadable
)
_INTENT_FOR_PAYEE_KEY = NativeTarget(
    _extras.build_signed_create_intent_json_for_payee_key,
    _extras.batch_build_signed_create_intent_json_for_payee_key,
    refuse_unreadable,
)
_POLICY_INTENT = NativeTarget(
    _native.build_signed_create_intent_with_policy_binding_json,
    _extras.batch_build_signed_create_intent_with_policy_binding_json,
    refuse_unreadable,
)
_POLICY_INTENT_FOR_PAYEE_KEY = NativeTarget(
    _extras.build_signed_create_intent_with_policy_binding_json_for_payee_key,
    _extras.batch_build_signed_create_intent_with_policy_binding_json_for_payee_key,
    refuse_unreadable,
)
_EVIDENCE = NativeTarget(
    _native.sign_payee_evidence_binding_json, _extras.batch_sign_payee_evidence_binding_json, refuse_unreadable
)
_EVIDENCE_RECORD = NativeTarget(_native.encode_evidence_sign_v1_hex, _extras.batch_encode_evidence_sign_v1_hex)
_VERIFY = NativeTarget(_native.verify_ed25519_sha256_hex, _extras.batch_verify_ed25519_sha256_hex)

_ONE_MINUTE = _dt.timedelta(minutes=1)


def _type_name(value: object) -> str:
    return type(value).__qualname__


def _json_text(name: str, value: object) -> str:
    if isinstance(value, str):
        return value
    try:
        return json.dumps(value, allow_nan=False)
    except (TypeError, ValueError) as exc:
        raise type(exc)(f"{name}: {exc}") from exc


def _rfc3339_text(name: str, value: object) -> str:
    if isinstance(value, str):
        return value
    if not isinstance(value, _dt.datetime):
        raise TypeError(
            f"{name} must be a timezone-aware datetime or RFC 3339 text, not {_type_name(value)}"
        )
    offset = value.utcoffset()
    if offset is None:
        raise ValueError(
            f"{name} must be timezone-aware: the naive datetime {_dt.datetime.isoformat(value)} "
            "has no UTC offset (give it a tzinfo, for example datetime.timezone.utc)"
        )
    if offset % _ONE_MINUTE:
        raise ValueError(
            f"{name}: the UTC offset {offset} is not a whole number of minutes, "
            "which RFC 3339 cannot express"
        )
    # The base method, so that a subclass's own isoformat() cannot change the text.
    return _dt.datetime.isoformat(value)


def _intent_id_text(value: object) -> str:
    if isinstance(value, uuid.UUID):
        return str(value)
    if isinstance(value, str):
        return value
    raise TypeError(f"intent_id must be a uuid.UUID or str, not {_type_name(value)}")


def _hex_text(name: str, value: object) -> str:
    if isinstance(value, str):
        return value
    if isinstance(value, (bytes, bytearray)):
        return value.hex()
    raise TypeError(f"{name} must be bytes or hex text (str), not {_type_name(value)}")


def _artifacts_text(value: object) -> list[str]:
    if isinstance(value, (str, bytes, bytearray)) or not isinstance(value, Sequence):
        raise TypeError(
            "artifacts_hex must be a sequence (list or tuple) of artifact hashes, "
            f"not {_type_name(value)}"
        )
    # The name is only needed for a message; building it for every hash would cost more than the rest.
    return [item if isinstance(item, str) else _hex_text(f"artifacts_hex[{index}]", item)
            for index, item in enumerate(value)]


def _seed(name: str, value: Seed) -> Seed:
    # A str here is almost always hex text; the native conversion would only say
    # that a str cannot be read as bytes.
    if isinstance(value, str):
        raise TypeError(f"{name} must be 32 bytes (bytes or bytearray), not str; "
                        "for hex text use bytes.fromhex()")
    return value


def _payee(
    caller: str,
    with_seed: NativeTarget[str],
    with_key: NativeTarget[str],
    payee_seed: Seed | None,
    payee_public_key: KeyOrSignature | None,
) -> tuple[NativeTarget[str], Seed]:
    """The function to call and its payee argument: the seed, or the public key for the key's twin."""
    exactly_one = f"{caller}() takes exactly one of payee_seed and payee_public_key"
    if payee_public_key is None:
        if payee_seed is None:
            raise TypeError(exactly_one + "; neither was given")
        return with_seed, _seed("payee_seed", payee_seed)
    if payee_seed is not None:
        raise TypeError(exactly_one + "; both were given")
    if isinstance(payee_public_key, str):
        payee_public_key = _key_encodings.as_bytes(_key_encodings.PAYEE_PUBLIC_KEY, payee_public_key)
    # Raw bytes of any length go on: the native check has its place in the order of checks.
    return with_key, payee_public_key


@pythonic(returns="str")
def create_intent(
    *,
    tenant_id: str,
    principal_seed: Seed,
    payee_seed: Seed | None = None,
    payee_public_key: KeyOrSignature | None = None,
    intent_id: IntentId,
    principal_did: str,
    payee_did: str,
    budget_json: JSONValue,
    currency: str,
    amount_cents: int,
    evidence_schema_json: JSONValue,
    deadline_rfc3339: Timestamp,
    predicate_json: JSONValue,
    predicate_ref: str = "",
    allowed_tools_json: Sequence[str] | str,
    settlement_rail: str,
) -> NativeCall[str]:
    """Return the principal-signed JSON body of ``POST /intents`` (signing version 6).

    The Pythonic form of ``build_signed_create_intent_json``; an empty
    ``predicate_ref`` (the default) leaves the reference out of the document.
    The payee is named by exactly one of ``payee_seed`` and ``payee_public_key``
    (32 raw bytes, or hex or base64 text): only its public key is signed.

    >>> import datetime as dt, json, uuid
    >>> terms = dict(
    ...     tenant_id="tenant-7",
    ...     principal_seed=bytes(range(32)),   # example seed: never use it
    ...     intent_id=uuid.UUID("123e4567-e89b-12d3-a456-426614174000"),
    ...     principal_did="did:example:principal",
    ...     payee_did="did:example:payee",
    ...     budget_json={"max_cents": 5000},
    ...     currency="USD",
    ...     amount_cents=1500,
    ...     evidence_schema_json={"type": "object"},
    ...     deadline_rfc3339=dt.datetime(2030, 1, 1, 9, 30, tzinfo=dt.timezone(dt.timedelta(hours=2))),
    ...     predicate_json={"all": []},
    ...     allowed_tools_json=["browse"],
    ...     settlement_rail="stripe_connect",
    ... )
    >>> body = create_intent(**terms, payee_seed=bytes(range(32, 64)))   # example seed
    >>> doc = json.loads(body)
    >>> doc["deadline"], doc["budget"], doc["intent_id"], doc["signing_version"]
    ('2030-01-01T09:30:00+02:00', {'max_cents': 5000}, '123e4567-e89b-12d3-a456-426614174000', 6)
    >>> "predicate_ref" in doc
    False
    >>> create_intent(**terms, payee_public_key=doc["payee_pubkey"]) == body
    True
    """
    target, payee = _payee("create_intent", _INTENT, _INTENT_FOR_PAYEE_KEY, payee_seed, payee_public_key)
    return target, (
        tenant_id,
        _seed("principal_seed", principal_seed),
        payee,
        _intent_id_text(intent_id),
        principal_did,
        payee_did,
        _json_text("budget_json", budget_json),
        currency,
        amount_cents,
        _json_text("evidence_schema_json", evidence_schema_json),
        _rfc3339_text("deadline_rfc3339", deadline_rfc3339),
        _json_text("predicate_json", predicate_json),
        predicate_ref,
        _json_text("allowed_tools_json", allowed_tools_json),
        settlement_rail,
    )


@pythonic(returns="str")
def create_policy_intent(
    *,
    tenant_id: str,
    principal_seed: Seed,
    payee_seed: Seed | None = None,
    payee_public_key: KeyOrSignature | None = None,
    intent_id: IntentId,
    principal_did: str,
    payee_did: str,
    budget_json: JSONValue,
    currency: str,
    amount_cents: int,
    evidence_schema_json: JSONValue,
    deadline_rfc3339: Timestamp,
    materialized_predicate_json: JSONValue,
    predicate_ref: str = "",
    allowed_tools_json: Sequence[str] | str,
    settlement_rail: str,
    policy_template_id: str,
    policy_version_seq: int,
    policy_content_digest_hex: HexOrBytes,
) -> NativeCall[str]:
    """Return the JSON body of ``POST /intents`` bound to a managed-policy head (signing version 7).

    The Pythonic form of ``build_signed_create_intent_with_policy_binding_json``.
    ``policy_content_digest_hex`` takes the 32-byte digest itself or its hex text.
    The payee is named as for ``create_intent``.

    >>> import hashlib, json, uuid
    >>> body = create_policy_intent(
    ...     tenant_id="tenant-7",
    ...     principal_seed=bytes(range(32)),   # example seeds: never use them
    ...     payee_seed=bytes(range(32, 64)),
    ...     intent_id=uuid.UUID("123e4567-e89b-12d3-a456-426614174000"),
    ...     principal_did="did:example:principal",
    ...     payee_did="did:example:payee",
    ...     budget_json={"max_cents": 5000},
    ...     currency="USD",
    ...     amount_cents=1500,
    ...     evidence_schema_json={"type": "object"},
    ...     deadline_rfc3339="2030-01-01T00:00:00Z",
    ...     materialized_predicate_json={"all": []},
    ...     allowed_tools_json=["browse"],
    ...     settlement_rail="stripe_connect",
    ...     policy_template_id="travel-default",
    ...     policy_version_seq=3,
    ...     policy_content_digest_hex=hashlib.sha256(b"policy text").digest(),
    ... )
    >>> doc = json.loads(body)
    >>> doc["policy_binding"], doc["signing_version"]
    ({'template_id': 'travel-default', 'version_seq': 3}, 7)
    """
    target, payee = _payee(
        "create_policy_intent", _POLICY_INTENT, _POLICY_INTENT_FOR_PAYEE_KEY, payee_seed, payee_public_key
    )
    return target, (
        tenant_id,
        _seed("principal_seed", principal_seed),
        payee,
        _intent_id_text(intent_id),
        principal_did,
        payee_did,
        _json_text("budget_json", budget_json),
        currency,
        amount_cents,
        _json_text("evidence_schema_json", evidence_schema_json),
        _rfc3339_text("deadline_rfc3339", deadline_rfc3339),
        _json_text("materialized_predicate_json", materialized_predicate_json),
        predicate_ref,
        _json_text("allowed_tools_json", allowed_tools_json),
        settlement_rail,
        policy_template_id,
        policy_version_seq,
        _hex_text("policy_content_digest_hex", policy_content_digest_hex),
    )


@pythonic(returns="str")
def sign_evidence(
    *,
    tenant_id: str,
    intent_id: IntentId,
    payee_did: str,
    payload_json: JSONValue,
    artifacts_hex: SequenceNotStr[HexOrBytes],
    submitted_at_rfc3339: Timestamp,
    secret_seed: Seed,
) -> NativeCall[str]:
    """Return the payee-signed JSON body of ``POST /intents/{intent_id}/evidence``.

    The Pythonic form of ``sign_payee_evidence_binding_json``. Each artifact
    hash is 32 bytes, as ``bytes`` or hex text.

    >>> import datetime as dt, hashlib, json, uuid
    >>> body = sign_evidence(
    ...     tenant_id="tenant-7",
    ...     intent_id=uuid.UUID("123e4567-e89b-12d3-a456-426614174000"),
    ...     payee_did="did:example:payee",
    ...     payload_json={"receipt": {"total": 1499}},
    ...     artifacts_hex=[hashlib.sha256(b"receipt.pdf").digest()],
    ...     submitted_at_rfc3339=dt.datetime(2025, 3, 1, 12, 0, 0, 500000, tzinfo=dt.timezone.utc),
    ...     secret_seed=bytes(range(32, 64)),   # example seed: never use it
    ... )
    >>> doc = json.loads(body)
    >>> doc["payload"], doc["submitted_at"]
    ({'receipt': {'total': 1499}}, '2025-03-01T12:00:00.5Z')
    >>> doc["artifacts"] == [hashlib.sha256(b"receipt.pdf").hexdigest()]
    True
    """
    return _EVIDENCE, (
        tenant_id,
        _intent_id_text(intent_id),
        payee_did,
        _json_text("payload_json", payload_json),
        _artifacts_text(artifacts_hex),
        _rfc3339_text("submitted_at_rfc3339", submitted_at_rfc3339),
        _seed("secret_seed", secret_seed),
    )


@pythonic(returns="str")
def evidence_sign_v1_hex(
    *,
    tenant_id: str,
    intent_id: IntentId,
    payee_did: str,
    payload_json: JSONValue,
    artifacts_hex: SequenceNotStr[HexOrBytes],
    submitted_at_rfc3339: Timestamp,
) -> NativeCall[str]:
    """Return, as hex, the EvidenceSignV1 bytes that ``sign_evidence`` signs for the same inputs.

    The Pythonic form of ``encode_evidence_sign_v1_hex``, for comparing another
    implementation's encoding with this one.

    >>> import datetime as dt, uuid
    >>> record = bytes.fromhex(evidence_sign_v1_hex(
    ...     tenant_id="tenant-7",
    ...     intent_id=uuid.UUID("123e4567-e89b-12d3-a456-426614174000"),
    ...     payee_did="did:example:payee",
    ...     payload_json={"b": 1, "a": "x"},
    ...     artifacts_hex=["1" * 64, bytes.fromhex("ab" * 32)],
    ...     submitted_at_rfc3339=dt.datetime(2025, 3, 1, 12, 0, 0, 500000, tzinfo=dt.timezone.utc),
    ... ))
    >>> len(record), record[:10].hex(), record[-22:]
    (132, '020874656e616e742d37', b'2025-03-01T12:00:00.5Z')
    """
    return _EVIDENCE_RECORD, (
        tenant_id,
        _intent_id_text(intent_id),
        payee_did,
        _json_text("payload_json", payload_json),
        _artifacts_text(artifacts_hex),
        _rfc3339_text("submitted_at_rfc3339", submitted_at_rfc3339),
    )


@pythonic(returns="bool")
def verify_digest_signature(
    digest_hex: HexOrBytes, signature_hex: KeyOrSignature, public_key_hex: KeyOrSignature
) -> NativeCall[bool]:
    """Return whether an Ed25519 signature over a 32-byte SHA-256 digest verifies.

    The Pythonic form of ``verify_ed25519_sha256_hex``. The digest is raw bytes
    or hex text; the signature and the public key are raw bytes, hex or base64
    text (as in the request bodies), told apart by their length. A signature
    that does not verify gives False; an input of the wrong length, or a key
    that is no curve point, raises ValueError.

    >>> import hashlib
    >>> digest = hashlib.sha256(b"audit export manifest").digest()
    >>> signature = bytes.fromhex(
    ...     "b2faeffdd178c4d48bca3f4ff6a3566ab10fc39f9d74c9b3981b6500aabdec7f"
    ...     "281f6acf91fa25645e61f7d18e80580e1de4e88d04e829e1fbf94b1de3d9fe01")
    >>> public_key = "2543b92ff1095511476adc8369db6ddc933665a11978dda1404ee1066ca9559d"
    >>> verify_digest_signature(digest, signature, public_key)
    True
    >>> verify_digest_signature(hashlib.sha256(b"altered").digest(), signature, public_key)
    False
    >>> verify_digest_signature(digest, signature, "JUO5L/EJVRFHatyDadtt3JM2ZaEZeN2hQE7hBmypVZ0=")
    True
    """
    digest = _hex_text("digest_hex", digest_hex)
    signature, public_key = _key_encodings.verifier_arguments(digest, signature_hex, public_key_hex)
    return _VERIFY, (digest, signature, public_key)


def public_key(seed: Seed) -> bytes:
    """Return the 32-byte Ed25519 public key of a 32-byte seed: what a signer registers with the service.

    The bodies carry it in base64 (``payee_pubkey``, ``principal_pubkey``). The
    native code wipes the copies of the seed and of the secret it derives.

    >>> import base64
    >>> key = public_key(bytes(range(32)))   # example seed: never use it
    >>> len(key), base64.b64encode(key).decode()
    (32, 'A6EHv/POEL4dcN0Y50vAmWfk1jCbpQ1fHdyGZBJVMbg=')
    """
    return _extras.public_key(_seed("seed", seed))

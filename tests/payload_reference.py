"""Test-side encoder for the signing payloads.

Written from the wire rules alone so that the tests have an oracle that shares
no code with the extension: hashing comes from the ``blake3`` package, keys and
signatures from PyNaCl, canonical JSON from the standard ``json`` module.
"""

from __future__ import annotations

import datetime as _dt
import json
import uuid as _uuid

import blake3
import nacl.signing

# Unicode White_Space, the set every trimmed input is stripped of.
WHITE_SPACE = "".join(
    chr(c)
    for c in (
        *range(0x09, 0x0E),
        0x20,
        0x85,
        0xA0,
        0x1680,
        *range(0x2000, 0x200B),
        0x2028,
        0x2029,
        0x202F,
        0x205F,
        0x3000,
    )
)

TAG_INTENT_V6 = 6
TAG_INTENT_V7 = 7
TAG_EVIDENCE_V1 = 2


class Raw(bytes):
    """Field bytes stated literally by a test; the builders copy them unchanged."""


def trim(s: str) -> str:
    return s.strip(WHITE_SPACE)


# ---------------------------------------------------------------- primitives


def varint(v: int) -> bytes:
    if v < 0:
        raise ValueError("varint takes unsigned values")
    if v <= 250:
        return bytes([v])
    if v <= 0xFFFF:
        return b"\xfb" + v.to_bytes(2, "little")
    if v <= 0xFFFF_FFFF:
        return b"\xfc" + v.to_bytes(4, "little")
    if v <= 0xFFFF_FFFF_FFFF_FFFF:
        return b"\xfd" + v.to_bytes(8, "little")
    raise ValueError("varint above 64 bits")


def zigzag(n: int) -> int:
    return 2 * n if n >= 0 else -2 * n - 1


def signed(n: int) -> bytes:
    return varint(zigzag(n))


def text(s: str | bytes) -> bytes:
    b = s.encode("utf-8") if isinstance(s, str) else bytes(s)
    return varint(len(b)) + b


def uuid_field(u: str | bytes | _uuid.UUID) -> bytes:
    if isinstance(u, _uuid.UUID):
        b = u.bytes
    elif isinstance(u, str):
        b = _uuid.UUID(u).bytes
    else:
        b = bytes(u)
    if len(b) != 16:
        raise ValueError("a UUID is 16 bytes")
    return b"\x10" + b


def raw32(b: bytes) -> bytes:
    b = bytes(b)
    if len(b) != 32:
        raise ValueError("expected 32 bytes")
    return b


def rfc3339(dt: _dt.datetime, nanosecond: int | None = None) -> str:
    """Canonical text of an aware datetime: 'Z' for a zero offset, fraction without trailing zeros."""
    off = dt.utcoffset()
    if off is None:
        raise ValueError("needs an aware datetime")
    ns = dt.microsecond * 1000 if nanosecond is None else nanosecond
    out = (
        f"{dt.year:04d}-{dt.month:02d}-{dt.day:02d}T"
        f"{dt.hour:02d}:{dt.minute:02d}:{dt.second:02d}"
    )
    if ns:
        out += "." + f"{ns:09d}".rstrip("0")
    minutes = int(off.total_seconds()) // 60 if off >= _dt.timedelta(0) else -(int(-off.total_seconds()) // 60)
    if minutes == 0:
        return out + "Z"
    sign = "-" if minutes < 0 else "+"
    h, m = divmod(abs(minutes), 60)
    return out + f"{sign}{h:02d}:{m:02d}"


def timestamp(t: str | _dt.datetime) -> bytes:
    """Timestamp field. A str must already be the canonical text."""
    return text(rfc3339(t) if isinstance(t, _dt.datetime) else t)


# ----------------------------------------------------------------- digests


def _reject_floats(v) -> None:
    # Python's float spelling differs from the wire's; such texts are written by hand.
    if isinstance(v, float):
        raise TypeError("write canonical text with floats by hand")
    if isinstance(v, list):
        for x in v:
            _reject_floats(x)
    elif isinstance(v, dict):
        for x in v.values():
            _reject_floats(x)


def canonical_json(value) -> bytes:
    _reject_floats(value)
    return json.dumps(value, sort_keys=True, separators=(",", ":"), ensure_ascii=False).encode("utf-8")


def blake3_digest(data: bytes) -> bytes:
    return blake3.blake3(bytes(data)).digest()


def content_digest(value) -> bytes:
    """Digest of a JSON value; bytes are taken as canonical text written by hand."""
    if isinstance(value, (bytes, bytearray)):
        return blake3_digest(value)
    return blake3_digest(canonical_json(value))


def _ascii_lower(s: str) -> str:
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in s)


def allowed_tools_digest(names) -> bytes:
    cleaned = {_ascii_lower(trim(n)) for n in names}
    ordered = sorted(cleaned, key=lambda s: s.encode("utf-8"))
    return content_digest(ordered)


def artifact_list_digest(hashes) -> bytes:
    return blake3_digest(b"".join(raw32(h) for h in hashes))


# ------------------------------------------------------------------- records


def _f(value, encode) -> bytes:
    return bytes(value) if isinstance(value, Raw) else encode(value)


def _intent_common(tag, f) -> bytes:
    return b"".join(
        [
            bytes([tag]),
            _f(f["tenant_id"], text),
            _f(f["intent_id"], uuid_field),
            _f(f["principal_did"], text),
            _f(f["payee_did"], text),
            _f(f["amount_cents"], signed),
            _f(f["currency"], text),
            _f(f["deadline"], timestamp),
            raw32(f["budget_digest"]),
            raw32(f["evidence_schema_digest"]),
            raw32(f["predicate_dsl_digest"]),
            _f(f["predicate_ref"], text),
            raw32(f["allowed_tools_digest"]),
            _f(f["settlement_rail"], text),
        ]
    )


def intent_sign_v6(
    *,
    tenant_id,
    intent_id,
    principal_did,
    payee_did,
    amount_cents,
    currency,
    deadline,
    budget_digest,
    evidence_schema_digest,
    predicate_dsl_digest,
    predicate_ref,
    allowed_tools_digest,
    settlement_rail,
    payee_pubkey,
) -> bytes:
    f = dict(locals())
    return _intent_common(TAG_INTENT_V6, f) + raw32(payee_pubkey)


def intent_sign_v7(
    *,
    tenant_id,
    intent_id,
    principal_did,
    payee_did,
    amount_cents,
    currency,
    deadline,
    budget_digest,
    evidence_schema_digest,
    predicate_dsl_digest,
    predicate_ref,
    allowed_tools_digest,
    settlement_rail,
    policy_template_id,
    policy_version_seq,
    policy_content_digest,
    payee_pubkey,
) -> bytes:
    f = dict(locals())
    return (
        _intent_common(TAG_INTENT_V7, f)
        + _f(policy_template_id, text)
        + _f(policy_version_seq, varint)
        + raw32(policy_content_digest)
        + raw32(payee_pubkey)
    )


def evidence_sign_v1(*, tenant_id, intent_id, payee_did, payload_digest, artifact_digest, submitted_at) -> bytes:
    return b"".join(
        [
            bytes([TAG_EVIDENCE_V1]),
            _f(tenant_id, text),
            _f(intent_id, uuid_field),
            _f(payee_did, text),
            raw32(payload_digest),
            raw32(artifact_digest),
            _f(submitted_at, timestamp),
        ]
    )


# ------------------------------------------------------------------ Ed25519


def public_key(seed: bytes) -> bytes:
    return bytes(nacl.signing.SigningKey(bytes(seed)).verify_key)


def sign(seed: bytes, message: bytes) -> bytes:
    return nacl.signing.SigningKey(bytes(seed)).sign(bytes(message)).signature


def verifies(pubkey: bytes, message: bytes, signature: bytes) -> bool:
    try:
        nacl.signing.VerifyKey(bytes(pubkey)).verify(bytes(message), bytes(signature))
    except Exception:
        return False
    return True

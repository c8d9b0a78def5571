"""Test-side oracle for the signing payloads and the documents around them.

Written from the wire rules alone, sharing no code with the extension: hashing
comes from the ``blake3`` package, keys and signatures from PyNaCl, canonical
JSON from the standard ``json`` module, identifiers from ``uuid``.
"""

import base64
import json
import uuid

import blake3
import nacl.signing

# Unicode White_Space, the set every trimmed input is stripped of.
WHITE_SPACE = "\t\n\x0b\x0c\r \x85\xa0\u1680" + "".join(map(chr, range(0x2000, 0x200B))) + "\u2028\u2029\u202f\u205f\u3000"
SEED_PARAMETERS = ("principal_seed", "payee_seed", "secret_seed")


def trim(s):
    return s.strip(WHITE_SPACE)


def varint(v):
    for limit, marker, width in ((250, b"", 1), (0xFFFF, b"\xfb", 2), (0xFFFF_FFFF, b"\xfc", 4)):
        if v <= limit:
            return marker + v.to_bytes(width, "little")
    return b"\xfd" + v.to_bytes(8, "little")


def text(s):
    data = s.encode("utf-8")
    return varint(len(data)) + data


def uuid_field(u):
    return b"\x10" + (u if isinstance(u, uuid.UUID) else uuid.UUID(u)).bytes


def rfc3339(t):
    """The one canonical text of an aware datetime (a str is taken as canonical already)."""
    if isinstance(t, str):
        return t
    out = f"{t.year:04d}-{t:%m-%dT%H:%M:%S}" + (f".{t.microsecond:06d}".rstrip("0") if t.microsecond else "")
    minutes = int(t.utcoffset().total_seconds()) // 60
    return out + ("Z" if minutes == 0 else f"{'-' if minutes < 0 else '+'}{abs(minutes) // 60:02d}:{abs(minutes) % 60:02d}")


def blake3_digest(data):
    return blake3.blake3(data).digest()


def content_digest(value):
    return blake3_digest(json.dumps(value, sort_keys=True, separators=(",", ":"), ensure_ascii=False).encode("utf-8"))


def allowed_tools_digest(names):
    lowered = {"".join(c.lower() if c.isascii() else c for c in trim(n)) for n in names}
    return content_digest(sorted(lowered))


def public_key(seed):
    return bytes(nacl.signing.SigningKey(bytes(seed)).verify_key)


def intent_sign(f, policy=None):
    """IntentSignV6, or IntentSignV7 with the policy head (template, sequence, digest)."""
    amount = f["amount_cents"]
    head = [text(policy[0]), varint(policy[1]), policy[2]] if policy else []
    return b"".join([
        bytes([7 if policy else 6]), text(f["tenant_id"]), uuid_field(f["intent_id"]), text(f["principal_did"]),
        text(f["payee_did"]), varint(2 * amount if amount >= 0 else -2 * amount - 1), text(f["currency"]),
        text(rfc3339(f["deadline"])), f["budget_digest"], f["evidence_schema_digest"], f["predicate_dsl_digest"],
        text(f["predicate_ref"]), f["allowed_tools_digest"], text(f["settlement_rail"]), *head, f["payee_pubkey"]])


def _b64(data):
    return base64.b64encode(data).decode()


def _json(args, canon, name):
    """The value of a JSON argument and its digest; canonical texts with floats are stated by hand."""
    if name in canon:
        return json.loads(canon[name]), blake3_digest(canon[name].encode("utf-8"))
    value = json.loads(args[name])
    return value, content_digest(value)


def intent_oracle(args, canon=None):
    """For a create-intent call: the document it must return (members in order,
    without principal_signature) and the payload bytes that signature covers.
    ``canon`` holds what Python cannot derive: canonical texts of JSON with
    floats, and the deadline's canonical text (or datetime)."""
    canon = canon or {}
    policy = "policy_template_id" in args
    predicate = "materialized_predicate_json" if policy else "predicate_json"
    budget, budget_digest = _json(args, canon, "budget_json")
    schema, schema_digest = _json(args, canon, "evidence_schema_json")
    predicate_value, predicate_digest = _json(args, canon, predicate)
    intent_id = uuid.UUID(trim(args["intent_id"]))
    tools = json.loads(args["allowed_tools_json"])
    rail = trim(args["settlement_rail"])
    payee_key = public_key(args["payee_seed"])
    # A blank reference is left out of the body and signed empty: the service rebuilds the record from the body.
    reference = args["predicate_ref"] if trim(args["predicate_ref"]) else ""
    fields = dict(tenant_id=args["tenant_id"], intent_id=intent_id, principal_did=args["principal_did"],
                  payee_did=args["payee_did"], amount_cents=args["amount_cents"], currency=args["currency"],
                  deadline=canon.get("deadline", args["deadline_rfc3339"]), budget_digest=budget_digest,
                  evidence_schema_digest=schema_digest, predicate_dsl_digest=predicate_digest, predicate_ref=reference,
                  allowed_tools_digest=allowed_tools_digest(tools), settlement_rail=rail, payee_pubkey=payee_key)
    payload = intent_sign(fields, policy and (args["policy_template_id"], args["policy_version_seq"],
                                             bytes.fromhex(trim(args["policy_content_digest_hex"]))))
    document = {
        "allowed_tools": tools, "amount_cents": args["amount_cents"], "budget": budget, "currency": args["currency"],
        "deadline": args["deadline_rfc3339"], "evidence_schema": schema, "intent_id": str(intent_id),
        "payee_did": args["payee_did"], "payee_pubkey": _b64(payee_key),
        "policy_binding": {"template_id": args["policy_template_id"], "version_seq": args["policy_version_seq"]}
        if policy else None,
        **({} if policy else {"predicate_dsl": predicate_value}),
        **({"predicate_ref": reference} if reference else {}),
        "principal_did": args["principal_did"], "principal_pubkey": _b64(public_key(args["principal_seed"])),
        "settlement_rail": rail, "signing_version": 7 if policy else 6,
    }
    return document, payload


def artifact_bytes(spelled):
    digits = trim(spelled)
    return bytes.fromhex(digits[2:] if digits.startswith("0x") else digits)


def evidence_oracle(args, canon=None):
    """For an evidence call: the document sign_payee_evidence_binding_json must
    return (members in order, without payee_signature) and the EvidenceSignV1
    record, which is also what encode_evidence_sign_v1_hex returns."""
    canon = canon or {}
    payload, payload_digest = _json(args, canon, "payload_json")
    hashes = [artifact_bytes(a) for a in args["artifacts_hex"]]
    submitted = rfc3339(canon.get("submitted_at", args["submitted_at_rfc3339"]))
    record = b"".join([b"\x02", text(args["tenant_id"]), uuid_field(args["intent_id"]), text(args["payee_did"]),
                       payload_digest, blake3_digest(b"".join(hashes)), text(submitted)])
    document = {"payload": payload, "artifacts": [h.hex() for h in hashes], "payee_did": args["payee_did"],
                **({"payee_pubkey": _b64(public_key(args["secret_seed"]))} if "secret_seed" in args else {}),
                "submitted_at": submitted}
    return document, record

"""Seeds never come back out: no exception (message, arguments, notes, the
formatted exception) and no result of any seed-taking function holds a seed
in any of its text forms, whatever its length or container, on any road."""

from __future__ import annotations

import base64
import traceback

import pytest

from corvane_kit import _native as native
from valid_arguments import CREATE, EVIDENCE, POLICY


# Printable, so that a raw copy in a message would be readable text.
PRINTABLE = b"Tr0ub4dor&3 correct horse staple"
assert len(PRINTABLE) == 32


def distinct_bytes(n: int, start: int) -> bytes:
    # A fixed walk through all byte values: no run of it occurs by chance.
    return bytes((start + 97 * i) % 256 for i in range(n))


SEEDS = {
    "32 printable": PRINTABLE,
    "32 binary": distinct_bytes(32, 11),
    "16": distinct_bytes(16, 40),
    "31": distinct_bytes(31, 77),
    "33": PRINTABLE + b"!",
    "64": distinct_bytes(64, 3),
}
CONTAINERS = {"bytes": bytes, "bytearray": bytearray, "list": list}


def text_forms(seed: bytes) -> list[str]:
    """Every form in which a seed could be written into a message."""
    forms = [
        seed.hex(), seed.hex().upper(), seed.hex(" "), seed.hex(":"),
        base64.b64encode(seed).decode(), base64.b64encode(seed).decode().rstrip("="),
        base64.urlsafe_b64encode(seed).decode().rstrip("="),
        repr(seed)[2:-1], repr(bytearray(seed)), str(list(seed))[1:-1],
        seed.decode("latin-1"),
    ]
    # Half a seed is a leak too; halves of the two hex forms are enough.
    half = len(seed) // 2
    forms += [seed[:half].hex(), seed[half:].hex()]
    return forms


# (function, base arguments, seed parameters); roads below change the rest.
TARGETS = {
    "create": (native.build_signed_create_intent_json, CREATE, ["principal_seed", "payee_seed"]),
    "policy": (native.build_signed_create_intent_with_policy_binding_json, POLICY,
               ["principal_seed", "payee_seed"]),
    "sign": (native.sign_payee_evidence_binding_json, {**EVIDENCE, "secret_seed": bytes(32)}, ["secret_seed"]),
}

# Roads: the call as given, a failure before the seeds are converted, a
# failure after them, and failures after the keys exist.
ROADS = {
    "create": {
        "as given": {},
        "bad tenant_id type": {"tenant_id": 7},
        "bad amount": {"amount_cents": 2**70},
        "bad intent_id": {"intent_id": "nope"},
        "bad budget_json": {"budget_json": "{"},
        "bad deadline": {"deadline_rfc3339": "soon"},
        "unknown keyword": {"extra": 1},
    },
    "policy": {
        "as given": {},
        "bad seq": {"policy_version_seq": -1},
        "bad allowed_tools": {"allowed_tools_json": "[]"},
        "bad policy digest": {"policy_content_digest_hex": "zz"},
        "short policy digest": {"policy_content_digest_hex": "ab"},
    },
    "sign": {
        "as given": {},
        "bad artifacts type": {"artifacts_hex": "11"},
        "bad intent_id": {"intent_id": "nope"},
        "bad payload_json": {"payload_json": "[1,"},
        "bad submitted_at": {"submitted_at_rfc3339": "2025-13-01T00:00:00Z"},
        "bad artifact": {"artifacts_hex": ["0x12"]},
    },
}


def everything_said(func, kwargs) -> str:
    """All the text a caller can get back: the result, or the exception with
    its arguments, notes and formatted form."""
    try:
        return str(func(**kwargs))
    except Exception as exc:  # noqa: BLE001 - every failure is looked at
        parts = [str(exc), repr(exc), repr(exc.args), *getattr(exc, "__notes__", [])]
        parts += traceback.format_exception_only(type(exc), exc)
        return "\n".join(parts)


CASES = [
    pytest.param(target, road, parameter, seed_name, container, id=f"{target}-{road}-{parameter}-{seed_name}-{container}")
    for target, (_, _, parameters) in TARGETS.items()
    for road in ROADS[target]
    for parameter in parameters
    for seed_name in SEEDS
    for container in CONTAINERS
]


@pytest.mark.parametrize("target, road, parameter, seed_name, container", CASES)
def test_no_result_or_exception_shows_a_seed(target, road, parameter, seed_name, container):
    func, base, _ = TARGETS[target]
    seed = SEEDS[seed_name]
    kwargs = {**base, **ROADS[target][road], parameter: CONTAINERS[container](seed)}
    said = everything_said(func, kwargs)
    for form in text_forms(seed):
        assert form not in said, (form, said)


VERIFY = {"digest_hex": "00" * 32, "signature_hex": "00" * 64, "public_key_hex": "00" * 32}


def misplaced(seed: bytes) -> list:
    """Calls that pass a seed by mistake to text parameters: as bytes, and
    as hex text that does not decode to what the parameter needs."""
    native_calls = []
    for func, base, _ in TARGETS.values():
        native_calls += [(func, {**base, "tenant_id": seed}), (func, {**base, "intent_id": seed.hex()}),
                         (func, {**base, "payee_did": bytearray(seed)})]
    verify = native.verify_ed25519_sha256_hex
    native_calls += [(verify, {**VERIFY, "digest_hex": seed.hex() + "0"}),
                     (verify, {**VERIFY, "signature_hex": seed.hex()}),
                     (verify, {**VERIFY, "public_key_hex": seed.hex() + "zz"}),
                     (verify, {**VERIFY, "digest_hex": seed})]
    return native_calls


@pytest.mark.parametrize("seed_name", list(SEEDS))
def test_a_seed_given_where_text_belongs_is_not_shown(seed_name):
    """Messages name a wrong argument by its type, length or one position,
    never by its content."""
    seed = SEEDS[seed_name]
    for func, kwargs in misplaced(seed):
        said = everything_said(func, kwargs)
        for form in text_forms(seed):
            assert form not in said, (func.__name__, form, said)

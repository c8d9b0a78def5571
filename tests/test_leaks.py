"""Twenty thousand calls down every road of every function (success, binding,
conversion and each validation step) leave nothing behind: no references on
the arguments, no Python objects or blocks, no native heap and no resident
memory. Run with -s to see the figures of each road."""

from __future__ import annotations

import ctypes
import gc
import os
import sys
import time

import pytest

from corvane_kit import _extras
from corvane_kit import _native as native
from valid_arguments import ART, CREATE, EVIDENCE, INTENT_ID, POLICY, SEED_A, SEED_B, SIGN, VERIFY

# glibc's view of the C heap, which Python's own counters cannot see.
class _MallInfo2(ctypes.Structure):
    _fields_ = [
        (name, ctypes.c_size_t)
        for name in "arena ordblks smblks hblks hblkhd usmblks fsmblks uordblks fordblks keepcost".split()
    ]


_LIBC = ctypes.CDLL(None)
try:
    _mallinfo2 = _LIBC.mallinfo2
    _mallinfo2.restype = _MallInfo2
except AttributeError:  # not glibc 2.33+
    _mallinfo2 = None

# Under AddressSanitizer freed memory sits in quarantine and the allocator is
# not glibc's, so only the exact counters mean anything there; fewer calls
# keep that run short.
SANITIZED = hasattr(_LIBC, "__asan_init")
CALLS = 2_000 if SANITIZED else 20_000
WARM_UP = 1_000

_PAGE = os.sysconf("SC_PAGE_SIZE")


def rss_bytes() -> int:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * _PAGE


def native_heap_bytes() -> int | None:
    if _mallinfo2 is None or SANITIZED:
        return None
    info = _mallinfo2()
    return info.uordblks + info.hblkhd


# --------------------------------------------------------------------------
# Arguments: one valid call per function; each road changes one argument.


FUNCTIONS = {
    "verify": (native.verify_ed25519_sha256_hex, VERIFY),
    "create": (native.build_signed_create_intent_json, CREATE),
    "policy": (native.build_signed_create_intent_with_policy_binding_json, POLICY),
    "sign": (native.sign_payee_evidence_binding_json, SIGN),
    "encode": (native.encode_evidence_sign_v1_hex, EVIDENCE),
    "payee key": (_extras.build_signed_create_intent_json_for_payee_key,
                  {**{k: v for k, v in CREATE.items() if k != "payee_seed"}, "payee_public_key": _extras.public_key(SEED_B)}),
}
INTENT_BODY = native.build_signed_create_intent_json(**CREATE)
MISREAD_BODY = native.build_signed_create_intent_json(**{**CREATE, "budget_json": "[2.2790121708605243e274]"})
FUNCTIONS |= {
    "check": (_extras.check_create_intent, {"body": INTENT_BODY, "tenant_id": "tenant-7", "policy_content_digest": None,
                                           "materialized_predicate_json": None}),
    "check evidence": (_extras.check_evidence, {"body": native.sign_payee_evidence_binding_json(**SIGN),
                                               "tenant_id": "tenant-7", "intent_id": INTENT_ID}),
    "read back": (_extras.read_back_fault, {"body": MISREAD_BODY}),
}

WRONG_SEED = bytes(31)
BIG = 2**70
# One case per road: (function, changed arguments, outcome). The outcome is
# the exception type, or None for a result. Positional binding is used where
# the road is about binding; every other call binds by keyword.
ROADS = {
    # verify_ed25519_sha256_hex
    "verify true": ("verify", {}, None),
    "verify false": ("verify", {"digest_hex": "00" * 32}, None),
    # R of small order: checked by the module's own point arithmetic.
    "verify false small-order R": ("verify", {"signature_hex": "00" * 64}, None),
    "verify bind too many": ("verify", {"__positional__": 4}, TypeError),
    "verify bind unknown keyword": ("verify", {"bogus": 1}, TypeError),
    "verify bind missing": ("verify", {"__drop__": "public_key_hex"}, TypeError),
    "verify convert non-str": ("verify", {"digest_hex": BIG}, TypeError),
    "verify convert surrogate": ("verify", {"signature_hex": "a\ud800"}, UnicodeEncodeError),
    "verify digest hex": ("verify", {"digest_hex": "0g" * 32}, ValueError),
    "verify digest length": ("verify", {"digest_hex": "00" * 31}, ValueError),
    "verify signature hex": ("verify", {"signature_hex": "zz"}, ValueError),
    "verify signature length": ("verify", {"signature_hex": "00" * 63}, ValueError),
    "verify key hex": ("verify", {"public_key_hex": "0"}, ValueError),
    "verify key length": ("verify", {"public_key_hex": "00" * 33}, ValueError),
    "verify key not a point": ("verify", {"public_key_hex": "02" + "00" * 31}, ValueError),
    # build_signed_create_intent_json
    "create ok": ("create", {}, None),
    "create ok seed as list": ("create", {"principal_seed": list(SEED_A)}, None),
    "create bind multiple values": ("create", {"__positional__": 1, "__again__": "tenant_id"}, TypeError),
    "create bind missing": ("create", {"__drop__": "settlement_rail"}, TypeError),
    "create convert seed str": ("create", {"payee_seed": "x" * 32}, TypeError),
    "create convert seed element": ("create", {"payee_seed": [1] * 31 + [256]}, OverflowError),
    "create convert seed not a sequence": ("create", {"principal_seed": 5}, TypeError),
    "create convert amount float": ("create", {"amount_cents": 1.5}, TypeError),
    "create convert amount overflow": ("create", {"amount_cents": BIG}, OverflowError),
    "create principal_seed length": ("create", {"principal_seed": WRONG_SEED}, ValueError),
    "create payee_seed length": ("create", {"payee_seed": bytearray(33)}, ValueError),
    "create intent_id": ("create", {"intent_id": "not-a-uuid"}, ValueError),
    "create budget_json": ("create", {"budget_json": '{"a":'}, ValueError),
    "create evidence_schema_json": ("create", {"evidence_schema_json": "[1,]"}, ValueError),
    "create predicate_json": ("create", {"predicate_json": "nul"}, ValueError),
    "create allowed_tools not strings": ("create", {"allowed_tools_json": "[1]"}, ValueError),
    "create allowed_tools empty": ("create", {"allowed_tools_json": "[]"}, ValueError),
    "create settlement_rail": ("create", {"settlement_rail": "cash"}, ValueError),
    "create deadline": ("create", {"deadline_rfc3339": "2030-13-01T00:00:00Z"}, ValueError),
    # the create-intent function of _extras that takes the payee's public key
    "payee key ok": ("payee key", {}, None),
    "payee key length": ("payee key", {"payee_public_key": bytes(31)}, ValueError),
    "payee key no seed's": ("payee key", {"payee_public_key": bytes(32)}, ValueError),
    # build_signed_create_intent_with_policy_binding_json
    "policy ok": ("policy", {}, None),
    "policy bind too many": ("policy", {"__positional__": 19}, TypeError),
    "policy convert seq overflow": ("policy", {"policy_version_seq": 2**32}, OverflowError),
    "policy convert seq negative": ("policy", {"policy_version_seq": -1}, OverflowError),
    "policy principal_seed length": ("policy", {"principal_seed": b""}, ValueError),
    "policy materialized_predicate_json": ("policy", {"materialized_predicate_json": "{"}, ValueError),
    "policy allowed_tools empty": ("policy", {"allowed_tools_json": "[]"}, ValueError),
    "policy digest hex": ("policy", {"policy_content_digest_hex": "xy" * 32}, ValueError),
    "policy digest length": ("policy", {"policy_content_digest_hex": "ab" * 31}, ValueError),
    # sign_payee_evidence_binding_json
    "sign ok": ("sign", {}, None),
    "sign ok seed as bytearray": ("sign", {"secret_seed": bytearray(SEED_A)}, None),
    "sign bind missing": ("sign", {"__drop__": "secret_seed"}, TypeError),
    "sign convert artifacts str": ("sign", {"artifacts_hex": ART}, TypeError),
    "sign convert artifact not str": ("sign", {"artifacts_hex": [ART, None]}, TypeError),
    "sign convert seed element": ("sign", {"secret_seed": [0] * 31 + [-1]}, OverflowError),
    "sign secret_seed length": ("sign", {"secret_seed": WRONG_SEED}, ValueError),
    "sign intent_id": ("sign", {"intent_id": INTENT_ID[:-1]}, ValueError),
    "sign payload_json": ("sign", {"payload_json": '{"a":1}x'}, ValueError),
    "sign submitted_at": ("sign", {"submitted_at_rfc3339": "2025-03-01"}, ValueError),
    "sign artifact hex": ("sign", {"artifacts_hex": [ART, "0x" + "g" * 64]}, RuntimeError),
    "sign artifact length": ("sign", {"artifacts_hex": [ART[:-2]]}, RuntimeError),
    # encode_evidence_sign_v1_hex
    "encode ok": ("encode", {}, None),
    "encode bind unknown keyword": ("encode", {"secret_seed": SEED_A}, TypeError),
    "encode convert artifacts None": ("encode", {"artifacts_hex": None}, TypeError),
    "encode payload_json": ("encode", {"payload_json": ""}, ValueError),
    "encode intent_id": ("encode", {"intent_id": "123"}, RuntimeError),
    "encode artifact hex": ("encode", {"artifacts_hex": ["1"]}, RuntimeError),
    "encode artifact length": ("encode", {"artifacts_hex": ["00" * 33]}, RuntimeError),
    "encode submitted_at": ("encode", {"submitted_at_rfc3339": "2025-02-30T00:00:00Z"}, RuntimeError),
    # the body checks and the read-back scan of _extras
    "check ok": ("check", {}, None),
    "check signature fails": ("check", {"tenant_id": "other"}, None),
    "check misread number": ("check", {"body": MISREAD_BODY}, None),
    "check policy arguments": ("check", {"body": native.build_signed_create_intent_with_policy_binding_json(**POLICY),
                                         "policy_content_digest": "ab" * 32, "materialized_predicate_json": "{}"}, None),
    "check body not json": ("check", {"body": "{"}, None),
    "check bad key": ("check", {"body": INTENT_BODY.replace('"principal_pubkey":"', '"principal_pubkey":"-')}, None),
    "check convert optional": ("check", {"policy_content_digest": 1}, TypeError),
    "check evidence ok": ("check evidence", {}, None),
    "check evidence bad intent": ("check evidence", {"intent_id": "x"}, None),
    "read back fault": ("read back", {}, None),
    "read back none": ("read back", {"body": INTENT_BODY}, None),
}


def make_call(function: str, changes: dict):
    """The callable and the argument objects it holds on to. Changes may hold
    __drop__ (leave a parameter out), __positional__ (pass the first n
    parameters by position; more than there are adds one argument too many)
    and __again__ (also pass that positional parameter by keyword)."""
    func, base = FUNCTIONS[function]
    changes = dict(changes)
    drop = changes.pop("__drop__", None)
    positional = changes.pop("__positional__", 0)
    again = changes.pop("__again__", None)
    items = [(k, v) for k, v in {**base, **changes}.items() if k != drop]
    if positional > len(items):
        args = tuple(v for _, v in items) + (items[0][1],)
        kwargs = {}
    else:
        args = tuple(v for _, v in items[:positional])
        kwargs = dict(items[positional:])
    if again is not None:
        kwargs[again] = base[again]
    return (lambda: func(*args, **kwargs)), list(args) + list(kwargs.values())


def watched_objects(arguments: list) -> list:
    objs = list(arguments)
    for obj in arguments:
        if isinstance(obj, (list, tuple)):
            objs.extend(obj)
    # Small ints and singletons are shared with the whole interpreter.
    return [o for o in objs
            if not (o is None or isinstance(o, bool) or (isinstance(o, int) and -5 <= o <= 256))]


def repeat(call, outcome, n: int) -> None:
    if outcome is None:
        for _ in range(n):
            call()
    else:
        for _ in range(n):
            try:
                call()
            except outcome:
                pass


def snapshot(watched: list) -> dict:
    gc.collect()
    return {
        "refs": [sys.getrefcount(o) for o in watched],
        "objects": len(gc.get_objects()),
        "blocks": sys.getallocatedblocks(),
        "heap": native_heap_bytes(),
        "rss": rss_bytes(),
    }


@pytest.mark.parametrize("road", list(ROADS))
def test_repeated_calls_leave_nothing_behind(road):
    function, changes, outcome = ROADS[road]
    call, arguments = make_call(function, changes)
    # The road is the one named: a result, or exactly that exception.
    if outcome is None:
        call()
    else:
        with pytest.raises(outcome):
            call()

    repeat(call, outcome, WARM_UP)
    watched = watched_objects(arguments)
    before = snapshot(watched)
    started = time.perf_counter()
    repeat(call, outcome, CALLS)
    elapsed = time.perf_counter() - started
    after = snapshot(watched)

    growth = {k: after[k] - before[k] for k in ("objects", "blocks", "rss")}
    growth["heap"] = None if before["heap"] is None else after["heap"] - before["heap"]
    heap = "-" if growth["heap"] is None else f"{growth['heap']:+d}"
    print(f"\n{road:<40} {CALLS} calls {elapsed / CALLS * 1e6:8.2f} us/call  "
          f"rss {growth['rss'] / 1024:+6.0f} KiB  heap {heap:>6} B  "
          f"objects {growth['objects']:+d}  blocks {growth['blocks']:+d}")

    # Exact: a reference taken and not given back on each call.
    assert after["refs"] == before["refs"]
    # A leak of one object or block per call would add CALLS.
    assert growth["objects"] < CALLS // 100
    if before["blocks"]:  # zero when pymalloc is off
        assert growth["blocks"] < CALLS // 100
    if growth["heap"] is not None:
        # The smallest malloc chunk is 32 bytes: one per call would be 640 KiB.
        assert growth["heap"] < 64 * 1024
        assert growth["rss"] < 2 * 1024 * 1024


def test_the_meters_see_a_leak_of_one_small_block_per_call():
    """The tolerances above are tight enough to catch the smallest leak."""
    malloc, free = _LIBC.malloc, _LIBC.free
    malloc.restype = ctypes.c_void_p
    free.argtypes = [ctypes.c_void_p]
    held_native: list[int] = []
    held_objects: list[object] = []
    before = snapshot([])
    for _ in range(CALLS):
        held_native.append(malloc(24))
        held_objects.append([])
    after = snapshot([])
    try:
        assert after["objects"] - before["objects"] >= CALLS
        if before["blocks"]:
            assert after["blocks"] - before["blocks"] >= CALLS
        if before["heap"] is not None:
            assert after["heap"] - before["heap"] >= 64 * 1024
    finally:
        for block in held_native:
            free(block)

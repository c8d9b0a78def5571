"""Thousands of calls down each road of each function (success, binding,
conversion and each validation step) leave nothing behind: no references on
the arguments, no Python objects or blocks, no native heap."""

import ctypes
import gc
import os
import sys

import pytest

from corvane_kit import _extras
from corvane_kit import _native as native
from valid_arguments import ART, CREATE, EVIDENCE, INTENT_ID, POLICY, SEED_A, SEED_B, SIGN, VERIFY


class _MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in
                "arena ordblks smblks hblks hblkhd usmblks fsmblks uordblks fordblks keepcost".split()]


_LIBC = ctypes.CDLL(None)
_mallinfo2 = getattr(_LIBC, "mallinfo2", None)
if _mallinfo2 is not None:
    _mallinfo2.restype = _MallInfo2
# Under AddressSanitizer the allocator is not glibc's: only the exact counters count there.
SANITIZED = hasattr(_LIBC, "__asan_init")
CALLS = int(os.environ.get("CORVANE_LEAK_CALLS", 2_000 if SANITIZED else 20_000))

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
}
BIG = 2**70
# (function, changed arguments, outcome: None for a result, else the exception).
# "__extra__" passes one keyword too many.
ROADS = {
    "verify true": ("verify", {}, None),
    "verify false, small-order R": ("verify", {"signature_hex": "00" * 64}, None),
    "verify non-str": ("verify", {"digest_hex": BIG}, TypeError),
    "verify digest hex": ("verify", {"digest_hex": "0g" * 32}, ValueError),
    "verify key not a point": ("verify", {"public_key_hex": "02" + "00" * 31}, ValueError),
    "create ok, seed as list": ("create", {"principal_seed": list(SEED_A)}, None),
    "create unknown keyword": ("create", {"__extra__": BIG}, TypeError),
    "create amount overflow": ("create", {"amount_cents": BIG}, OverflowError),
    "create intent_id": ("create", {"intent_id": "not-a-uuid"}, ValueError),
    "create deadline": ("create", {"deadline_rfc3339": "2030-13-01T00:00:00Z"}, ValueError),
    "policy ok": ("policy", {}, None),
    "policy digest hex": ("policy", {"policy_content_digest_hex": "xy" * 32}, ValueError),
    "sign ok, seed as bytearray": ("sign", {"secret_seed": bytearray(SEED_A)}, None),
    "sign artifact not str": ("sign", {"artifacts_hex": [ART, None]}, TypeError),
    "sign submitted_at": ("sign", {"submitted_at_rfc3339": "2025-03-01"}, ValueError),
    "sign artifact hex": ("sign", {"artifacts_hex": [ART, "0x" + "g" * 64]}, RuntimeError),
    "encode intent_id": ("encode", {"intent_id": "123"}, RuntimeError),
    "payee key ok": ("payee key", {}, None),
    "payee key no seed's": ("payee key", {"payee_public_key": bytes(32)}, ValueError),
    "check ok": ("check", {}, None),
    "check misread number": ("check", {"body": MISREAD_BODY}, None),
    "check evidence ok": ("check evidence", {}, None),
}


def watched_objects(arguments):
    items = [*arguments, *(x for v in arguments if isinstance(v, (list, tuple)) for x in v)]
    # Small ints and singletons are shared with the whole interpreter.
    return [v for v in items if not (v is None or isinstance(v, bool) or (type(v) is int and v < 257))]


def snapshot(watched):
    gc.collect()
    heap = None
    if _mallinfo2 is not None and not SANITIZED:
        info = _mallinfo2()
        heap = info.uordblks + info.hblkhd
    return [sys.getrefcount(o) for o in watched], len(gc.get_objects()), sys.getallocatedblocks(), heap


@pytest.mark.parametrize("road", ROADS)
def test_repeated_calls_leave_nothing_behind(road):
    function, changes, outcome = ROADS[road]
    func, base = FUNCTIONS[function]
    kwargs = {**base, **{("bogus" if k == "__extra__" else k): v for k, v in changes.items()}}
    if outcome is None:
        func(**kwargs)
    else:
        with pytest.raises(outcome):
            func(**kwargs)

    def repeat(n):
        for _ in range(n):
            try:
                func(**kwargs)
            except Exception as e:  # noqa: BLE001
                assert type(e) is outcome

    repeat(1_000)
    watched = watched_objects(list(kwargs.values()))
    refs, objects, blocks, heap = snapshot(watched)
    repeat(CALLS)
    refs_after, objects_after, blocks_after, heap_after = snapshot(watched)
    assert refs_after == refs  # exact: one reference kept per call shows
    assert objects_after - objects < CALLS // 100  # one object per call would add CALLS
    assert blocks == 0 or blocks_after - blocks < CALLS // 100
    if heap is not None:  # the smallest malloc chunk is 32 bytes: one per call is 64 KiB in 2,000
        assert heap_after - heap < 64 * 1024

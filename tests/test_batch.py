"""Batches: every item's result or exception is the single call's, whatever
the other items or the number of workers. The oracle is the single call itself
(the native function, or the Pythonic one), whose own results the other suites
check. (The command's JSON-lines mode: test_cli.)"""

from __future__ import annotations

import datetime as dt
import inspect
import uuid

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from nacl.signing import SigningKey

import corvane_kit
from corvane_kit import _extras, _native, batch
from test_leaks import CALLS, snapshot, watched_objects
from valid_arguments import CREATE, EVIDENCE, POLICY, SEED_B, SIGN, VERIFY

PAYEE_KEY = bytes(SigningKey(SEED_B).verify_key)  # of CREATE's and POLICY's payee seed


def by_payee_key(request):
    """The request with the payee named by its public key, in the seed's place."""
    return {("payee_public_key" if k == "payee_seed" else k): (PAYEE_KEY if k == "payee_seed" else v)
            for k, v in request.items()}


# native name: (keyword arguments of a good call, Pythonic function, Python batch)
FUNCTIONS = {
    "sign_payee_evidence_binding_json": (SIGN, corvane_kit.sign_evidence, batch.sign_evidence),
    "encode_evidence_sign_v1_hex": (EVIDENCE, corvane_kit.evidence_sign_v1_hex, batch.evidence_sign_v1_hex),
    "build_signed_create_intent_json": (CREATE, corvane_kit.create_intent, batch.create_intent),
    "build_signed_create_intent_with_policy_binding_json":
        (POLICY, corvane_kit.create_policy_intent, batch.create_policy_intent),
    "verify_ed25519_sha256_hex": (VERIFY, corvane_kit.verify_digest_signature, batch.verify_digest_signature),
    "build_signed_create_intent_json_for_payee_key": (by_payee_key(CREATE), corvane_kit.create_intent, batch.create_intent),
    "build_signed_create_intent_with_policy_binding_json_for_payee_key":
        (by_payee_key(POLICY), corvane_kit.create_policy_intent, batch.create_policy_intent),
}  # fmt: skip
UNREADABLE = {"v": 2.2790121708605247e274}  # its shortest text reads back as its neighbour


def native_function(name):
    return getattr(_native, name, None) or getattr(_extras, name)

# Values that break one argument or another, native or Pythonic, at binding,
# conversion or validation.
BAD_VALUES = [5, None, "", "{", "a\ud800", "zz" * 32, [300], b"\x11" * 31, "2025-02-30T00:00:00Z",
              dt.datetime(2025, 3, 1), uuid.UUID(int=7), {"a": float("nan")}, 2**70, -1, UNREADABLE]  # fmt: skip


def described(item):
    """A result, or an exception's type, arguments and notes."""
    if isinstance(item, BaseException):
        return type(item), item.args, getattr(item, "__notes__", None)
    return "ok", item


def single(call):
    try:
        return described(call())
    except BaseException as error:  # noqa: BLE001 - PanicException included
        return described(error)


@st.composite
def requests(draw, base: dict) -> dict:
    """The good call's arguments, some replaced, dropped or added."""
    request = dict(base)
    for _ in range(draw(st.integers(0, 2))):
        name = draw(st.sampled_from(sorted(base) + ["unknown"]))
        if draw(st.booleans()):
            request.pop(name, None)
        else:
            request[name] = draw(st.sampled_from(BAD_VALUES))
    # A batch of intents may name payees either way (the native items then lack an argument).
    return by_payee_key(request) if draw(st.booleans()) else request


@settings(max_examples=40, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(data=st.data(), name=st.sampled_from(sorted(FUNCTIONS)), workers=st.sampled_from([1, 2, 3]))
def test_batch_items_are_single_calls(data, name, workers):
    base, pythonic, python_batch = FUNCTIONS[name]
    native = native_function(name)
    drawn = data.draw(st.lists(requests(base), max_size=6))
    # Native items are tuples in parameter order; a dropped or added
    # argument shortens or lengthens the tuple.
    items = [tuple(r.get(k, base[k]) for k in base if k in r) + ((r["unknown"],) if "unknown" in r else ())
             for r in drawn]
    natives = getattr(_extras, "batch_" + name)(items)
    assert [described(x) for x in natives] == [single(lambda i=i: native(*i)) for i in items]
    pythonics = python_batch(iter(drawn), workers=workers)  # any iterable
    assert [described(x) for x in pythonics] == [single(lambda r=r: pythonic(**r)) for r in drawn]


def test_a_failing_item_costs_no_other_and_the_items_argument_is_checked():
    good, bad = tuple(VERIFY.values()), ("00" * 31, *tuple(VERIFY.values())[1:])
    results = _extras.batch_verify_ed25519_sha256_hex([good, bad, (1, "", ""), "abc", 5, good[:2], good])
    assert results[0] is True and results[-1] is True
    assert [described(x) for x in results[1:-1]] == [
        (ValueError, ("digest_hex must decode to 32 bytes",), None),
        (TypeError, ("'int' object is not an instance of 'str'",), ["while processing 'digest_hex'"]),
        (TypeError, ("Can't extract `str` to `Vec`",), ["while processing 'items[3]'"]),
        (TypeError, ("'int' object is not an instance of 'Sequence'",), ["while processing 'items[4]'"]),
        (TypeError, ("verify_ed25519_sha256_hex() missing 1 required positional argument: 'public_key_hex'",), None),
    ]
    assert _extras.batch_encode_evidence_sign_v1_hex(()) == []
    many = _extras.batch_verify_ed25519_sha256_hex([good, (1, "", "")] * 70)  # items go in blocks of 64
    assert [x is True for x in many] == [True, False] * 70 and type(many[-1]) is TypeError
    for items, message in [("abc", "Can't extract `str` to `Vec`"), (None, "'None' is not an instance of 'Sequence'"),
                           ({}, "'dict' object is not an instance of 'Sequence'")]:
        with pytest.raises(TypeError) as caught:
            _extras.batch_verify_ed25519_sha256_hex(items)
        assert described(caught.value) == (TypeError, (message,), ["while processing 'items'"])
    with pytest.raises(TypeError, match=r"^batch_verify_ed25519_sha256_hex\(\) missing 1 required positional argument: 'items'$"):
        _extras.batch_verify_ed25519_sha256_hex()
    assert str(inspect.signature(_extras.batch_verify_ed25519_sha256_hex)) == "(items)"
    with pytest.raises(ValueError, match="^workers must be at least 1, not 0$"):
        batch.sign_evidence([], workers=0)


def test_broken_invariants_and_lack_of_memory_are_the_items_exceptions(frame_probe):
    panics = frame_probe.batch_panic([("first",), ("second",), ()])
    assert [(type(p).__name__, p.args) for p in panics[:2]] == [("PanicException", ("first",)), ("PanicException", ("second",))]
    assert type(panics[2]) is TypeError
    (unknown,) = frame_probe.batch_panic_unknown([()])
    assert type(unknown).__name__ == "PanicException"
    assert [type(x) for x in frame_probe.batch_exhaust_memory([(), ()])] == [MemoryError, MemoryError]


@pytest.mark.parametrize("layer", ["native", "python"])
def test_repeated_batches_leave_nothing_behind(layer):
    bad = [{**SIGN, "secret_seed": b"x"}, {**SIGN, "tenant_id": 5}, {**SIGN, "payload_json": "{"}]
    if layer == "native":
        items = [tuple(r.values()) for r in [SIGN, *bad]] + [tuple(SIGN.values())[:3], 7]
        call = lambda: _extras.batch_sign_payee_evidence_binding_json(items)  # noqa: E731
    else:
        items = [SIGN, *bad, {**SIGN, "submitted_at_rfc3339": dt.datetime(2025, 3, 1)}]
        call = lambda: batch.sign_evidence(items, workers=2)  # noqa: E731
    rounds = CALLS // len(items) // (1 if layer == "native" else 10)
    for _ in range(rounds // 10):
        call()
    watched = watched_objects(items + [list(r.values()) for r in items if isinstance(r, dict)])
    refs, objects, blocks, heap = snapshot(watched)
    for _ in range(rounds):
        call()
    refs_after, objects_after, blocks_after, heap_after = snapshot(watched)
    assert refs_after == refs
    assert objects_after - objects < rounds // 100 + 50
    assert blocks == 0 or blocks_after - blocks < rounds // 100 + 50
    if heap is not None:
        assert heap_after - heap < 64 * 1024

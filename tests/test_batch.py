"""Batches: every item's result or exception is the single call's, whatever
the other items, the threads or the number of workers; the JSON-lines command
gives one line per request. The oracle is the single call itself (the native
function, or the Pythonic one), whose own results the other suites check."""

from __future__ import annotations

import base64
import datetime as dt
import inspect
import io
import json
import pathlib
import sys
import uuid

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from nacl.signing import SigningKey

import corvane_kit
from corvane_kit import _extras, _native, batch, cli
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
    pythonics = python_batch(drawn, workers=workers)
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
    for items, message, notes in [
        ("abc", "Can't extract `str` to `Vec`", ["while processing 'items'"]),
        (None, "'None' is not an instance of 'Sequence'", ["while processing 'items'"]),
        ({}, "'dict' object is not an instance of 'Sequence'", ["while processing 'items'"]),
    ]:
        with pytest.raises(TypeError) as caught:
            _extras.batch_verify_ed25519_sha256_hex(items)
        assert described(caught.value) == (TypeError, (message,), notes)
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


ROOT = pathlib.Path(__file__).resolve().parent.parent
EVIDENCE_REQUEST = json.loads((ROOT / "examples" / "evidence.json").read_text())
GOOD_LINE = json.dumps(EVIDENCE_REQUEST)
EVIDENCE_ARGS = {k: json.dumps(v) if k == "payload_json" and not isinstance(v, str) else v
                 for k, v in EVIDENCE_REQUEST.items()}
SEED = b"\x5e" * 32
INTENT_REQUEST = json.loads((ROOT / "examples" / "intent.json").read_text())
BY_KEY = {**INTENT_REQUEST, "payee_public_key": base64.b64encode(PAYEE_KEY).decode()}

JSONL_RUNS = [
    # command, --tenant-id, input lines, exit status, output lines (None: the single call's result)
    ("sign-evidence", None, [GOOD_LINE, "", "  ", GOOD_LINE], 0, [(1, None), (4, None)]),
    ("evidence-bytes", None, [
        json.dumps({**EVIDENCE_REQUEST, "tenant_id": 5}),
        GOOD_LINE,
        json.dumps({**EVIDENCE_REQUEST, "intent_id": "nope"}),
        json.dumps({k: v for k, v in EVIDENCE_REQUEST.items() if k != "payee_did"}),
        b"\xff\xfe",
    ], 2, [
        (1, ("RequestError", "line 1: member tenant_id must be a string")),
        (2, None),
        (3, ("RuntimeError", "intent_id: invalid character: found `n` at 0 (in member intent_id of line 3)")),
        (4, ("RequestError", "missing payee_did: give --payee-did, or payee_did in the request line")),
        (5, ("RequestError", "line 5: not UTF-8 text (byte 0)")),
    ]),
    ("sign-evidence", "from-option", [
        json.dumps({**EVIDENCE_REQUEST, "payload_json": '{"a":'}), GOOD_LINE,
    ], 2, [
        (1, ("ValueError", "payload_json: EOF while parsing a value at line 1 column 5 "
                           "(in member payload_json of line 1, counting within its text)")),
        (2, None),
    ]),
    ("create-intent", None, [
        json.dumps(BY_KEY), json.dumps({**BY_KEY, "budget_json": UNREADABLE}), json.dumps(INTENT_REQUEST),
    ], 2, [
        (1, None),
        (2, ("ValueError", "budget_json: the number 2.279012170860525e+274 reads back as 2.2790121708605247e+274, "
                           "so the service could never verify the body (in member budget_json of line 2, counting "
                           "within its value on one line)")),
        (3, ("RequestError", "missing the payee: give --payee-seed-file FILE or --payee-seed-env NAME, or its public "
                             "key with --payee-public-key TEXT or --payee-public-key-file FILE (or payee_public_key "
                             "in the request line)")),
    ]),
]  # fmt: skip
SEED_OPTIONS = {"sign-evidence": ["--seed-env", "BATCH_TEST_SEED"],
                "create-intent": ["--principal-seed-env", "BATCH_TEST_SEED"]}


@pytest.mark.parametrize("command, tenant, lines, status, expected", JSONL_RUNS)
def test_json_lines_give_one_line_per_request(capsys, monkeypatch, command, tenant, lines, status, expected):
    data = b"\n".join(line if isinstance(line, bytes) else line.encode() for line in lines)
    monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO(data)))
    monkeypatch.setenv("BATCH_TEST_SEED", SEED.hex())
    options = ["--tenant-id", tenant] if tenant else []
    assert cli.main([command, "--jsonl", "-", "--workers", "2", *options, *SEED_OPTIONS.get(command, [])]) == status
    args = {**EVIDENCE_ARGS, "tenant_id": tenant or EVIDENCE_ARGS["tenant_id"]}
    result = {  # the payee's seed gives the body its public key gives
        "sign-evidence": lambda: _native.sign_payee_evidence_binding_json(**args, secret_seed=SEED),
        "evidence-bytes": lambda: _native.encode_evidence_sign_v1_hex(**args),
        "create-intent": lambda: corvane_kit.create_intent(**INTENT_REQUEST, principal_seed=SEED, payee_seed=SEED_B),
    }[command]()
    assert [json.loads(line) for line in capsys.readouterr().out.splitlines()] == [
        {"line": line, "result": result} if error is None
        else {"line": line, "error": {"type": error[0], "message": error[1]}}
        for line, error in expected
    ]


def test_json_lines_of_verify_digest_exit_1_for_an_invalid_signature(capsys, monkeypatch):
    wrong = {**VERIFY, "digest_hex": "00" * 32}
    for lines, status, results in [([VERIFY, VERIFY], 0, [True, True]), ([VERIFY, wrong], 1, [True, False])]:
        monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO("\n".join(map(json.dumps, lines)).encode())))
        assert cli.main(["verify-digest", "--jsonl", "-"]) == status
        out = [json.loads(line) for line in capsys.readouterr().out.splitlines()]
        assert out == [{"line": i, "result": r} for i, r in enumerate(results, 1)]

"""The module under threads, re-import and subinterpreters: the functions keep
no state between calls, so every caller sees exactly the single-threaded
results, whichever thread, module object or interpreter makes the call."""

from __future__ import annotations

import gc
import hashlib
import importlib
import json
import subprocess
import sys
import textwrap
import threading
import time
import weakref

import nacl.signing
import pytest

import corvane_kit
from corvane_kit import _native

MODULE_NAME = "corvane_kit._native"
INTENT_ID = "123e4567-e89b-12d3-a456-426614174000"


def _create_args(i: int) -> dict:
    return {
        "tenant_id": f"tenant-{i}",
        "principal_seed": bytes((i + k) % 256 for k in range(32)),
        "payee_seed": bytes((7 * i + k) % 256 for k in range(32)),
        "intent_id": INTENT_ID,
        "principal_did": "did:example:principal",
        "payee_did": f"did:example:payee-{i}",
        "budget_json": f'{{"max_cents":{5000 + i},"tags":["a","b"]}}',
        "currency": "USD",
        "amount_cents": 1500 + i,
        "evidence_schema_json": '{"type":"object"}',
        "deadline_rfc3339": "2030-01-01T00:00:00Z",
        "predicate_json": '{"all":[]}',
        "predicate_ref": f"pred:v{i}",
        "allowed_tools_json": '["browse","fetch"]',
        "settlement_rail": "stripe_connect",
    }


def _policy_args(i: int) -> dict:
    args = _create_args(i)
    args["materialized_predicate_json"] = args.pop("predicate_json")
    return {**args, "policy_template_id": f"tmpl-{i}", "policy_version_seq": i,
            "policy_content_digest_hex": f"{i:02x}" * 32}


def _evidence_args(i: int) -> dict:
    return {
        "tenant_id": f"tenant-{i}",
        "intent_id": INTENT_ID,
        "payee_did": "did:example:payee",
        "payload_json": f'{{"receipt":{{"total":{i}}},"n":[{i},{i + 1}]}}',
        "artifacts_hex": [f"{i:02x}" * 32, "0x" + "AB" * 32],
        "submitted_at_rfc3339": f"2025-03-01T12:{i % 60:02d}:00.5+01:00",
    }


def _verify_args(i: int) -> dict:
    key = nacl.signing.SigningKey(bytes([i]) * 32)
    digest = hashlib.sha256(str(i).encode()).digest()
    signature = key.sign(digest).signature
    if i % 2:  # every other one is a valid signature over another digest
        digest = hashlib.sha256(b"other").digest()
    return {"digest_hex": digest.hex(), "signature_hex": signature.hex(),
            "public_key_hex": bytes(key.verify_key).hex()}


def calls(module, i: int) -> list:
    """(function, kwargs) pairs covering all five functions and, on each, a
    failure that goes through the conversion note or an error value."""
    create, policy, evidence, verify = _create_args(i), _policy_args(i), _evidence_args(i), _verify_args(i)
    return [
        (module.build_signed_create_intent_json, create),
        (module.build_signed_create_intent_with_policy_binding_json, policy),
        (module.sign_payee_evidence_binding_json, {**evidence, "secret_seed": create["payee_seed"]}),
        (module.encode_evidence_sign_v1_hex, evidence),
        (module.verify_ed25519_sha256_hex, verify),
        (module.build_signed_create_intent_json, {**create, "budget_json": "{" * (i + 1)}),
        (module.build_signed_create_intent_with_policy_binding_json, {**policy, "policy_version_seq": -i - 1}),
        (module.sign_payee_evidence_binding_json, {**evidence, "secret_seed": [0] * i + ["x"]}),
        (module.encode_evidence_sign_v1_hex, {**evidence, "artifacts_hex": ["0x" + "1" * (2 * i)]}),
        (module.verify_ed25519_sha256_hex, {**verify, "public_key_hex": "0" * (2 * i + 1)}),
    ]


def outcome(func, kwargs):
    """The result, or the exception's type, arguments and notes."""
    try:
        return ("ok", func(**kwargs))
    except Exception as exc:  # noqa: BLE001 - the failure is part of the outcome
        return ("error", type(exc).__name__, exc.args, getattr(exc, "__notes__", None))


THREADS = 8
SECONDS = 3.0


def test_threads_see_single_threaded_results():
    cases = [call for i in range(THREADS * 2) for call in calls(_native, i)]
    expected = [outcome(func, kwargs) for func, kwargs in cases]
    assert {e[0] for e in expected} == {"ok", "error"}
    # Most cases have an outcome of their own, so an answer that went to the
    # wrong caller shows.
    assert len({repr(e) for e in expected}) > len(expected) // 2

    start = threading.Barrier(THREADS)
    mismatches: list = []
    counts = [0] * THREADS

    def worker(t: int) -> None:
        # Each thread walks the cases in its own order, so different
        # functions and roads are in flight together.
        order = list(range(t, len(cases))) + list(range(t))
        if t % 2:
            order.reverse()
        start.wait()
        deadline = time.monotonic() + SECONDS
        while time.monotonic() < deadline:
            for index in order:
                got = outcome(*cases[index])
                if got != expected[index]:
                    mismatches.append((t, index, got))
                counts[t] += 1

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-5)  # hand the interpreter over between calls as often as possible
    try:
        threads = [threading.Thread(target=worker, args=(t,)) for t in range(THREADS)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    finally:
        sys.setswitchinterval(interval)
    assert mismatches == []
    assert all(count >= len(cases) for count in counts), counts


def test_old_and_new_module_objects_both_work_after_reimport(monkeypatch):
    old = sys.modules[MODULE_NAME]
    monkeypatch.setattr(corvane_kit, "_native", old)  # restored, with sys.modules, afterwards
    monkeypatch.delitem(sys.modules, MODULE_NAME)
    new = importlib.import_module(MODULE_NAME)
    assert new is not old

    expected = [outcome(f, kw) for f, kw in calls(old, 3)]
    # Interleaved calls through both objects.
    for _ in range(3):
        assert [outcome(f, kw) for f, kw in calls(new, 3)] == expected
        assert [outcome(f, kw) for f, kw in calls(old, 3)] == expected

    # The old object keeps working once the new one is gone, and a third
    # import works as the first did.
    gone = weakref.ref(new)
    del new
    corvane_kit._native = old  # plain: monkeypatch would keep the new one to restore it
    del sys.modules[MODULE_NAME]
    gc.collect()
    assert gone() is None
    third = importlib.import_module(MODULE_NAME)
    assert [outcome(f, kw) for f, kw in calls(old, 5)] == [outcome(f, kw) for f, kw in calls(third, 5)]


# Runs in a fresh interpreter process, so that the module's first calls of
# all (which create its few process-wide objects) happen inside a
# subinterpreter, and the main interpreter uses them after that
# subinterpreter is destroyed.
SUBINTERPRETER_SCRIPT = r'''
import json
import sys

import _xxsubinterpreters as interpreters

RUN = """
import json
import corvane_kit._native as native
out = []
for name, kwargs in json.loads(cases):
    try:
        out.append(["ok", getattr(native, name)(**kwargs)])
    except Exception as exc:
        out.append(["error", type(exc).__name__, list(exc.args), getattr(exc, "__notes__", None)])
"""
SEND = "\nimport _xxsubinterpreters\n_xxsubinterpreters.channel_send(channel, json.dumps(out))\n"

cases = sys.argv[1]
results = []
for _ in range(2):  # a second subinterpreter after the first is gone
    interp = interpreters.create()
    channel = interpreters.channel_create()
    interpreters.run_string(interp, RUN + SEND, shared={"channel": channel, "cases": cases})
    results.append(json.loads(interpreters.channel_recv(channel)))
    interpreters.destroy(interp)
namespace = {"cases": cases}
exec(RUN, namespace)
results.append(namespace["out"])
print(json.dumps(results))
'''


def test_subinterpreters_import_and_call():
    # Seeds travel as lists of ints, which the seed conversion also takes.
    cases = [[func.__name__, {k: list(v) if isinstance(v, bytes) else v for k, v in kwargs.items()}]
             for func, kwargs in calls(_native, 4)]
    expected = json.loads(json.dumps([outcome(getattr(_native, name), kwargs) for name, kwargs in cases]))
    assert any(e[0] == "error" and e[3] for e in expected)  # a conversion note is among them

    done = subprocess.run([sys.executable, "-c", SUBINTERPRETER_SCRIPT, json.dumps(cases)],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    first, second, main = json.loads(done.stdout)
    assert first == expected
    assert second == expected
    assert main == expected


# The panic type is made once per process, here inside a subinterpreter that
# is then destroyed; the main interpreter must still raise a sound one.
PANIC_SCRIPT = r'''
import gc
import importlib.util
import sys

import _xxsubinterpreters as interpreters

LOAD = """
import importlib.util
spec = importlib.util.spec_from_file_location("_frame_probe", path)
probe = importlib.util.module_from_spec(spec)
spec.loader.exec_module(probe)
"""
RAISE = """
try:
    probe.panic("boom")
except BaseException as exc:
    caught = exc
assert type(caught).__name__ == "PanicException", type(caught)
assert type(caught).__bases__ == (BaseException,)
assert caught.args == ("boom",)
"""
path = sys.argv[1]
for _ in range(2):
    interp = interpreters.create()
    interpreters.run_string(interp, LOAD + RAISE, shared={"path": path})
    interpreters.destroy(interp)
gc.collect()
exec(LOAD + RAISE, {"path": path})
print("ok")
'''


def test_panic_type_made_in_a_subinterpreter_serves_the_main_one(frame_probe):
    done = subprocess.run([sys.executable, "-c", PANIC_SCRIPT, frame_probe.__file__],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == "ok"

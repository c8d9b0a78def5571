"""The module under threads and subinterpreters: the functions keep no state
between calls, so every caller sees the single-threaded results, whichever
thread or interpreter makes the call."""

import json
import subprocess
import sys
import threading
import time

from corvane_kit import _native
from valid_arguments import CREATE, EVIDENCE, POLICY, SIGN, VERIFY


def calls(i):
    """(function name, keywords): all five functions, each also down a failure
    road through a conversion note or an error value, varied by i."""
    create = {**CREATE, "tenant_id": f"tenant-{i}", "amount_cents": 1500 + i,
              "principal_seed": list(range(i, i + 32)), "budget_json": f'{{"max":{i}}}'}
    policy = {**POLICY, "policy_version_seq": i, "policy_content_digest_hex": f"{i:02x}" * 32}
    evidence = {**EVIDENCE, "payload_json": f'{{"n":[{i}]}}', "artifacts_hex": [f"{i:02x}" * 32]}
    return [
        ("build_signed_create_intent_json", create),
        ("build_signed_create_intent_with_policy_binding_json", policy),
        ("sign_payee_evidence_binding_json", {**evidence, "secret_seed": list(range(i, i + 32))}),
        ("encode_evidence_sign_v1_hex", evidence),
        ("verify_ed25519_sha256_hex", {**VERIFY, "digest_hex": VERIFY["digest_hex"] if i % 2 else "00" * 32}),
        ("build_signed_create_intent_json", {**create, "budget_json": "{" * (i + 1)}),
        ("build_signed_create_intent_with_policy_binding_json", {**policy, "policy_version_seq": -i - 1}),
        ("sign_payee_evidence_binding_json", {**SIGN, "secret_seed": [0] * i + ["x"]}),
        ("encode_evidence_sign_v1_hex", {**evidence, "artifacts_hex": ["0x" + "1" * (2 * i)]}),
        ("verify_ed25519_sha256_hex", {**VERIFY, "public_key_hex": "0" * (2 * i + 1)}),
    ]


def outcome(module, name, kwargs):
    try:
        return ["ok", getattr(module, name)(**kwargs)]
    except Exception as exc:  # noqa: BLE001 - the failure is part of the outcome
        return ["error", type(exc).__name__, list(exc.args), getattr(exc, "__notes__", None)]


def test_threads_see_single_threaded_results():
    cases = [call for i in range(16) for call in calls(i)]
    expected = [outcome(_native, *case) for case in cases]
    mismatches, counts, start = [], [0] * 8, threading.Barrier(8)

    def worker(t):
        # Each thread walks the cases in its own order, so different roads are in flight together.
        order = list(range(t, len(cases))) + list(range(t))
        start.wait()
        deadline = time.monotonic() + 2
        while time.monotonic() < deadline:
            for index in order[:: 1 if t % 2 else -1]:
                if outcome(_native, *cases[index]) != expected[index]:
                    mismatches.append((t, index))
                counts[t] += 1

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-5)  # hand the interpreter over between calls as often as possible
    try:
        threads = [threading.Thread(target=worker, args=(t,)) for t in range(8)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    finally:
        sys.setswitchinterval(interval)
    assert mismatches == [] and min(counts) >= len(cases)


# In a fresh process, so that the module's first calls (which create its few
# process-wide objects) happen in a subinterpreter, and the main interpreter
# uses them after that subinterpreter is gone. The frame probe's panic type
# is made the same way.
SCRIPT = r'''
import json, sys
import _xxsubinterpreters as interpreters
RUN = """
import importlib.util, json
import corvane_kit._native as native
spec = importlib.util.spec_from_file_location("_frame_probe", probe_path)
probe = importlib.util.module_from_spec(spec)
spec.loader.exec_module(probe)
out = []
for name, kwargs in json.loads(cases):
    try:
        out.append(["ok", getattr(native, name)(**kwargs)])
    except Exception as exc:
        out.append(["error", type(exc).__name__, list(exc.args), getattr(exc, "__notes__", None)])
try:
    probe.panic("boom")
except BaseException as exc:
    out.append([type(exc).__name__, [b.__name__ for b in type(exc).__bases__], list(exc.args)])
"""
SEND = "\nimport _xxsubinterpreters\n_xxsubinterpreters.channel_send(channel, json.dumps(out))\n"
shared = {"cases": sys.argv[1], "probe_path": sys.argv[2]}
results = []
for _ in range(2):
    interp, channel = interpreters.create(), interpreters.channel_create()
    interpreters.run_string(interp, RUN + SEND, shared={**shared, "channel": channel})
    results.append(json.loads(interpreters.channel_recv(channel)))
    interpreters.destroy(interp)
namespace = dict(shared)
exec(RUN, namespace)
print(json.dumps(results + [namespace["out"]]))
'''


def test_subinterpreters_import_and_call(frame_probe):
    cases = [[name, {k: list(v) if isinstance(v, bytes) else v for k, v in kwargs.items()}] for name, kwargs in calls(4)]
    expected = [outcome(_native, name, kwargs) for name, kwargs in cases]
    expected = json.loads(json.dumps(expected)) + [["PanicException", ["BaseException"], ["boom"]]]
    done = subprocess.run([sys.executable, "-c", SCRIPT, json.dumps(cases), frame_probe.__file__],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert json.loads(done.stdout) == [expected] * 3

"""`make bench`: per-call times of the five functions against the library
floor, plus the JSON throughput and verification benchmarks of the C++ side.
Prints one table per topic.

Each function and its floor (bench_floor.so, loaded here) are timed in
alternation, batch after batch, and each keeps its fastest batch: on a
machine shared with other work, both then see the same conditions, and the
minimum is the run least disturbed by them."""

from __future__ import annotations

import argparse
import ctypes
import functools
import json
import pathlib
import subprocess
import sys
import tempfile
import time
import timeit

import corvane_kit
import corvane_kit._extras as extras
import corvane_kit._native as native

# The tests' baseline arguments and reference encoder, shared with the bench.
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests"))
import batch_signing  # noqa: E402
import payload_reference as ref  # noqa: E402
import valid_arguments as valid  # noqa: E402


def per_call_us(call, number: int = 2000, repeat: int = 7) -> float:
    return min(timeit.repeat(call, number=number, repeat=repeat)) / number * 1e6


def against_floor(call, floor, number: int = 20, rounds: int = 500) -> tuple[float, float]:
    """Fastest batch of `call` and of `floor(number)` (seconds for that many
    runs), timed in alternation in CPU time of this thread, in µs per run.
    Small batches, many of them: some run with the machine undisturbed."""
    timer = timeit.Timer(call, timer=time.thread_time)
    call_best = floor_best = float("inf")
    for _ in range(rounds):
        call_best = min(call_best, timer.timeit(number))
        floor_best = min(floor_best, floor(number))
    if floor_best <= 0:
        raise SystemExit("the floor's own work failed")
    return call_best / number * 1e6, floor_best / number * 1e6


def best_us(seconds_for, number: int = 20, rounds: int = 500) -> float:
    """Fastest of `rounds` batches of a C++ timing function, in µs per run."""
    return min(seconds_for(number) for _ in range(rounds)) / number * 1e6


def canonical_text(value) -> bytes:
    """Python's canonical JSON, which is ours for documents without floats (the benchmark's)."""
    return json.dumps(value, sort_keys=True, separators=(",", ":"), ensure_ascii=False).encode()


def load_floor(bench_dir: pathlib.Path, ev: dict, ia: dict, verify_inputs: tuple[bytes, bytes, bytes]) -> ctypes.CDLL:
    """bench_floor.so, given the bytes each call hashes and verifies: the canonical texts of its
    JSON inputs, written by the Python reference, and the digest, signature and key."""
    floor = ctypes.CDLL(str(bench_dir / "bench_floor.so"))
    texts = [ev["payload_json"], ia["budget_json"], ia["evidence_schema_json"], ia["predicate_json"]]
    canonical = [canonical_text(json.loads(text)) for text in texts]
    tools = sorted({"".join(c.lower() if c.isascii() else c for c in ref.trim(name))
                    for name in json.loads(ia["allowed_tools_json"])}, key=lambda name: name.encode())
    strings = ctypes.c_char_p * len(texts)
    floor.floor_prepare.restype = ctypes.c_bool
    floor.floor_prepare.argtypes = [strings, strings] + [ctypes.c_char_p] * 5
    for name in ("floor_evidence_seconds", "floor_intent_seconds", "floor_verify_seconds",
                 "json_evidence_seconds", "json_intent_seconds"):
        getattr(floor, name).restype = ctypes.c_double
        getattr(floor, name).argtypes = [ctypes.c_int]
    if not floor.floor_prepare(strings(*(text.encode() for text in texts)), strings(*canonical),
                               ia["allowed_tools_json"].encode(), canonical_text(tools), *verify_inputs):
        raise SystemExit("bench_floor.so refused its inputs: a canonical text is not the one the library hashes")
    return floor


def filler_json(size: int) -> str:
    members = []
    i = 0
    while len("{" + ",".join(members) + "}") < size:
        members.append(f'"k{i}":"value number {i}"')
        i += 1
    return "{" + ",".join(members) + "}"


def evidence_args() -> dict:
    return {
        **valid.EVIDENCE,
        "payload_json": filler_json(1024),
        "artifacts_hex": ["11" * 32, "0x" + "AB" * 32, "cd" * 32],
        # Canonical already, so that the Python baseline can sign it as given.
        "submitted_at_rfc3339": "2025-03-01T12:00:00.5Z",
    }


def intent_args() -> dict:
    return {
        **valid.CREATE,
        "budget_json": filler_json(512),
        "evidence_schema_json": filler_json(512),
        "predicate_json": filler_json(512),
        "allowed_tools_json": '["browse", "fetch", "read", "search", "write"]',
    }


def python_evidence_record(args: dict) -> str:
    """The same EvidenceSignV1 record built in pure Python, as a baseline."""
    return ref.evidence_oracle(args)[1].hex()


def print_body_checks(intent: dict, evidence: dict, verify_floor: float, native_create: float) -> None:
    """The checks of the bodies signed above, against one verification; and what the Pythonic
    builder's read-back check adds to the native call."""
    intent_body = native.build_signed_create_intent_json(**intent)
    evidence_body = native.sign_payee_evidence_binding_json(**evidence, secret_seed=valid.SEED_B)
    assert extras.check_create_intent(intent_body, intent["tenant_id"], None, None)[0]
    assert extras.check_evidence(evidence_body, evidence["tenant_id"], evidence["intent_id"])[0]
    rows = [
        ("check_create_intent (the intent body above)",
         per_call_us(lambda: extras.check_create_intent(intent_body, intent["tenant_id"], None, None))),
        ("check_evidence (the evidence body above)",
         per_call_us(lambda: extras.check_evidence(evidence_body, evidence["tenant_id"], evidence["intent_id"]))),
    ]
    print("Body checks (µs): read, rebuild and verify, against crypto_sign_verify_detached alone")
    print(f"{'check':<54}{'µs/call':>10}{'verify':>10}{'ratio':>8}")
    for name, measured in rows:
        print(f"{name:<54}{measured:>10.2f}{verify_floor:>10.2f}{measured / verify_floor:>8.3f}")
    print("The Pythonic builder's read-back check, against the native create call")
    for name, call in (("read_back_fault (the intent body above)", lambda: extras.read_back_fault(intent_body)),
                       ("create_intent (Pythonic, the check included)", lambda: corvane_kit.create_intent(**intent))):
        measured = per_call_us(call)
        print(f"{name:<54}{measured:>10.2f}{native_create:>10.2f}{measured / native_create:>8.3f}")
    print()


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", type=pathlib.Path, default=pathlib.Path("build/cpp"))
    options = parser.parse_args()
    bench_dir = options.build_dir.resolve() / "bench"

    ev = evidence_args()
    ia = intent_args()
    from nacl.signing import SigningKey

    key = SigningKey(valid.SEED_A)
    digest = bytes(range(32))
    signature = key.sign(digest).signature
    floor = load_floor(bench_dir, ev, ia, (digest, signature, bytes(key.verify_key)))

    # Positional arguments through functools.partial: the time is the
    # function's own, not that of a Python frame around it.
    seed = valid.SEED_B
    sign_evidence = functools.partial(native.sign_payee_evidence_binding_json, *ev.values(), seed)
    encode_evidence = per_call_us(functools.partial(native.encode_evidence_sign_v1_hex, *ev.values()))
    python_record = per_call_us(lambda: python_evidence_record(ev))
    assert python_evidence_record(ev) == native.encode_evidence_sign_v1_hex(**ev)

    policy = {("materialized_predicate_json" if k == "predicate_json" else k): v for k, v in ia.items()}
    policy.update(policy_template_id="travel", policy_version_seq=3, policy_content_digest_hex="ab" * 32)
    create = functools.partial(native.build_signed_create_intent_json, *ia.values())
    create_policy = functools.partial(native.build_signed_create_intent_with_policy_binding_json, *policy.values())
    assert create() == native.build_signed_create_intent_json(**ia)
    assert create_policy() == native.build_signed_create_intent_with_policy_binding_json(**policy)

    verify = functools.partial(native.verify_ed25519_sha256_hex, digest.hex(), signature.hex(),
                               bytes(key.verify_key).hex())

    rows = [
        ("sign_payee_evidence_binding_json", *against_floor(sign_evidence, floor.floor_evidence_seconds)),
        ("build_signed_create_intent_json", *against_floor(create, floor.floor_intent_seconds)),
        ("build_signed_create_intent_with_policy_binding_json",
         *against_floor(create_policy, floor.floor_intent_seconds)),
        ("verify_ed25519_sha256_hex", *against_floor(verify, floor.floor_verify_seconds)),
    ]
    json_us = {"sign_payee_evidence_binding_json": best_us(floor.json_evidence_seconds),
               "build_signed_create_intent_json": best_us(floor.json_intent_seconds),
               "build_signed_create_intent_with_policy_binding_json": best_us(floor.json_intent_seconds)}
    print("Per call, typical inputs (µs); floor = the call's libsodium and BLAKE3 work alone (the same keys,")
    print("BLAKE3 over the same canonical texts, the same signature verified), called from C++ and timed in")
    print("alternation with the call in CPU time; fastest of 500 batches of 20 each. JSON = our reading of")
    print("the call's JSON inputs into canonical text, timed apart: part of what the call adds to its floor")
    print(f"{'function':<54}{'µs/call':>10}{'floor':>10}{'ratio':>8}{'JSON':>8}")
    for name, measured, base in rows:
        json_part = f"{json_us[name]:>8.2f}" if name in json_us else ""
        print(f"{name:<54}{measured:>10.2f}{base:>10.2f}{measured / base:>8.3f}{json_part}")
    print(f"{'encode_evidence_sign_v1_hex':<54}{encode_evidence:>10.2f}{'':>10}{'':>8}")
    print(f"{'  same record in pure Python (json + blake3)':<54}{python_record:>10.2f}"
          f"{'':>10}{python_record / encode_evidence:>7.1f}x")
    print()
    verify_floor, native_create = rows[3][2], rows[1][1]
    print_body_checks(ia, ev, verify_floor, native_create)

    print("== batches")
    batch_signing.report(floor, ev, valid.SEED_B)
    print()

    # The JSON benchmark writes its document so that Python's own road to a
    # digest is timed on the same bytes in the same run.
    with tempfile.TemporaryDirectory() as scratch:
        document = pathlib.Path(scratch) / "document.json"
        print("== bench_json_digest")
        sys.stdout.flush()
        subprocess.run([str(bench_dir / "bench_json_digest"), str(document)], check=True, cwd=bench_dir)
        print("-- Python, same document")
        sys.stdout.flush()
        subprocess.run([sys.executable, str(pathlib.Path(__file__).with_name("json_digest_python.py")),
                        str(document)], check=True)
        print()

    print("== bench_verify")
    sys.stdout.flush()
    subprocess.run([str(bench_dir / "bench_verify")], check=True, cwd=bench_dir)
    print()

    print("== scale")
    sys.stdout.flush()
    subprocess.run([sys.executable, str(pathlib.Path(__file__).with_name("scale.py"))], check=True)


if __name__ == "__main__":
    main()

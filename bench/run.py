"""`make bench`: per-call times of the five functions against the library
floor measured in the same run, plus the JSON throughput and verification
benchmarks of the C++ side. Prints one table per topic."""

from __future__ import annotations

import argparse
import json
import pathlib
import subprocess
import sys
import tempfile
import timeit

import corvane_kit._native as native

# The tests' baseline arguments and reference encoder, shared with the bench.
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests"))
import batch_signing  # noqa: E402
import payload_reference as ref  # noqa: E402
import valid_arguments as valid  # noqa: E402


def per_call_us(call, number: int = 2000, repeat: int = 7) -> float:
    return min(timeit.repeat(call, number=number, repeat=repeat)) / number * 1e6


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
    hashes = [bytes.fromhex(a.strip().removeprefix("0x")) for a in args["artifacts_hex"]]
    return ref.evidence_sign_v1(
        tenant_id=args["tenant_id"],
        intent_id=args["intent_id"],
        payee_did=args["payee_did"],
        payload_digest=ref.content_digest(json.loads(args["payload_json"])),
        artifact_digest=ref.artifact_list_digest(hashes),
        submitted_at=args["submitted_at_rfc3339"],
    ).hex()


def run_json(build_dir: pathlib.Path, command: list[str]) -> dict:
    output = subprocess.run(command, check=True, capture_output=True, text=True, cwd=build_dir).stdout
    return json.loads(output.strip().splitlines()[-1])


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", type=pathlib.Path, default=pathlib.Path("build/cpp"))
    options = parser.parse_args()
    bench_dir = options.build_dir.resolve() / "bench"

    ev = evidence_args()
    ia = intent_args()
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as inputs:
        json.dump({**{k: ev[k] for k in ("tenant_id", "intent_id", "payee_did", "payload_json", "artifacts_hex",
                                         "submitted_at_rfc3339")},
                   **{k: ia[k] for k in ("budget_json", "evidence_schema_json", "predicate_json",
                                         "allowed_tools_json")}}, inputs)
    floor = run_json(bench_dir, [str(bench_dir / "bench_floor"), inputs.name])
    pathlib.Path(inputs.name).unlink()

    sign_evidence = per_call_us(lambda: native.sign_payee_evidence_binding_json(**ev, secret_seed=valid.SEED_B))
    encode_evidence = per_call_us(lambda: native.encode_evidence_sign_v1_hex(**ev))
    python_record = per_call_us(lambda: python_evidence_record(ev))
    assert python_evidence_record(ev) == native.encode_evidence_sign_v1_hex(**ev)

    policy = {**valid.POLICY, **{k: v for k, v in ia.items() if k != "predicate_json"},
              "materialized_predicate_json": ia["predicate_json"]}
    create = per_call_us(lambda: native.build_signed_create_intent_json(**ia))
    create_policy = per_call_us(lambda: native.build_signed_create_intent_with_policy_binding_json(**policy))

    verify = per_call_us(lambda: native.verify_ed25519_sha256_hex(**valid.VERIFY))

    rows = [
        ("sign_payee_evidence_binding_json", sign_evidence, floor["evidence_floor_us"]),
        ("build_signed_create_intent_json", create, floor["intent_floor_us"]),
        ("build_signed_create_intent_with_policy_binding_json", create_policy, floor["intent_floor_us"]),
        ("verify_ed25519_sha256_hex", verify, floor["verify_floor_us"]),
    ]
    print("Per call, typical inputs (µs); floor = the same key, digest and signing work called from C++")
    print(f"{'function':<54}{'µs/call':>10}{'floor':>10}{'ratio':>8}")
    for name, measured, base in rows:
        print(f"{name:<54}{measured:>10.2f}{base:>10.2f}{measured / base:>8.3f}")
    print(f"{'encode_evidence_sign_v1_hex':<54}{encode_evidence:>10.2f}{'':>10}{'':>8}")
    print(f"{'  same record in pure Python (json + blake3)':<54}{python_record:>10.2f}"
          f"{'':>10}{python_record / encode_evidence:>7.1f}x")
    print()

    print("== batches")
    batch_signing.report(ev, valid.SEED_B, floor["evidence_floor_us"], floor["evidence_function_us"])
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

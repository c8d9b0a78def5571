"""`make demo`: run the corvane-kit command over the files in examples/ and check what it prints.

For each command the demo shows the command line and its output, then says
exactly what it checked:

- intents: the public keys are those of the example seeds (PyNaCl), and the
  principal's signature verifies (PyNaCl) over the signing payload rebuilt
  from the request file by tests/payload_reference.py, an encoder that shares
  no code with the extension;
- evidence: the evidence bytes equal that encoder's rebuild, and the payee's
  signature verifies (PyNaCl) over those bytes;
- manifest: verify-digest accepts the example exporter's signature over the
  manifest's SHA-256 digest (made by PyNaCl) and rejects it for a changed
  manifest.

The seeds in examples/seeds/ are EXAMPLE SEEDS, fixed so that the output is
reproducible. Never use them for anything real. The command refuses a seed file
that group or others may read, and git checks files out readable by all, so
the demo runs on private copies of them in a temporary directory.
"""

from __future__ import annotations

import base64
import dataclasses
import datetime as dt
import hashlib
import json
import pathlib
import shlex
import shutil
import subprocess
import sys
import tempfile
import uuid

from nacl.exceptions import BadSignatureError
from nacl.signing import SigningKey, VerifyKey

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests"))
import payload_reference as ref  # noqa: E402  (the test-side encoder)

SEEDS = ROOT / "examples" / "seeds"


@dataclasses.dataclass(frozen=True)
class ExampleSeeds:
    principal: bytes
    payee: bytes
    principal_file: str  # private copies, made by main()
    payee_file: str


class DemoFailure(Exception):
    pass


def seed(path: str | pathlib.Path) -> bytes:
    return bytes.fromhex(pathlib.Path(path).read_text().strip())


def private_copy(name: str, directory: str) -> str:
    path = pathlib.Path(directory) / name
    shutil.copyfile(SEEDS / name, path)
    path.chmod(0o600)
    return str(path)


def corvane_kit(*args: str, expect: int = 0) -> str:
    """Run the command as a user would (python -m corvane_kit is the corvane-kit script)."""
    print("$ corvane-kit " + " ".join(shlex.quote(a) for a in args))
    done = subprocess.run(
        [sys.executable, "-m", "corvane_kit", *args], cwd=ROOT, capture_output=True, text=True, check=False
    )
    print(done.stdout, end="")
    if done.returncode != expect:
        raise DemoFailure(f"exit status {done.returncode}, expected {expect}: {done.stderr.strip()}")
    return done.stdout.rstrip("\n")


def request(name: str) -> dict:
    return json.loads((ROOT / "examples" / name).read_text())


def check(ok: bool, what: str) -> None:
    if not ok:
        raise DemoFailure("FAILED: " + what)
    print("  checked: " + what)


def canonical_time(text: str) -> str:
    return ref.rfc3339(dt.datetime.fromisoformat(text))


def verifies(public_key: bytes, message: bytes, signature: bytes) -> bool:
    try:
        VerifyKey(public_key).verify(message, signature)
    except BadSignatureError:
        return False
    return True


def pubkey_b64(seed_bytes: bytes) -> str:
    return base64.b64encode(bytes(SigningKey(seed_bytes).verify_key)).decode()


def intent_fields(req: dict, payee_seed: bytes, predicate_member: str) -> dict:
    return dict(
        tenant_id=req["tenant_id"],
        intent_id=uuid.UUID(ref.trim(req["intent_id"])),
        principal_did=req["principal_did"],
        payee_did=req["payee_did"],
        amount_cents=req["amount_cents"],
        currency=req["currency"],
        deadline=canonical_time(req["deadline_rfc3339"]),
        budget_digest=ref.content_digest(req["budget_json"]),
        evidence_schema_digest=ref.content_digest(req["evidence_schema_json"]),
        predicate_dsl_digest=ref.content_digest(req[predicate_member]),
        predicate_ref=req.get("predicate_ref", ""),
        allowed_tools_digest=ref.allowed_tools_digest(req["allowed_tools_json"]),
        settlement_rail=ref.trim(req["settlement_rail"]),
        payee_pubkey=ref.public_key(payee_seed),
    )


def check_intent(body_text: str, payload: bytes, seeds: ExampleSeeds, version: int) -> None:
    body = json.loads(body_text)
    check(body["principal_pubkey"] == pubkey_b64(seeds.principal), "principal_pubkey is the example principal key")
    check(body["payee_pubkey"] == pubkey_b64(seeds.payee), "payee_pubkey is the example payee key")
    check(body["signing_version"] == version == payload[0], f"signing_version {version} names the payload's tag byte")
    signature = base64.b64decode(body["principal_signature"])
    pubkey = base64.b64decode(body["principal_pubkey"])
    check(
        verifies(pubkey, payload, signature),
        f"principal_signature verifies (PyNaCl) over the {len(payload)}-byte IntentSignV{version} payload "
        "rebuilt by tests/payload_reference.py",
    )


def demo_intent(seeds: ExampleSeeds) -> None:
    print("== POST /intents")
    body = corvane_kit(
        "create-intent",
        "--request", "examples/intent.json",
        "--principal-seed-file", seeds.principal_file,
        "--payee-seed-file", seeds.payee_file,
    )  # fmt: skip
    req = request("intent.json")
    payload = ref.intent_sign(intent_fields(req, seeds.payee, "predicate_json"))
    check_intent(body, payload, seeds, 6)
    print()


def demo_policy_intent(seeds: ExampleSeeds) -> None:
    print("== POST /intents, bound to a managed policy")
    body = corvane_kit(
        "create-policy-intent",
        "--request", "examples/policy-intent.json",
        "--principal-seed-file", seeds.principal_file,
        "--payee-seed-file", seeds.payee_file,
    )  # fmt: skip
    req = request("policy-intent.json")
    payload = ref.intent_sign(
        intent_fields(req, seeds.payee, "materialized_predicate_json"),
        (req["policy_template_id"], req["policy_version_seq"], bytes.fromhex(ref.trim(req["policy_content_digest_hex"]))),
    )
    check_intent(body, payload, seeds, 7)
    print()


def demo_evidence(seeds: ExampleSeeds) -> None:
    req = request("evidence.json")
    print(f"== POST /intents/{req['intent_id']}/evidence")
    body = json.loads(
        corvane_kit("sign-evidence", "--request", "examples/evidence.json", "--seed-file", seeds.payee_file)
    )
    print()
    print("== EvidenceSignV1 bytes (what the payee signed)")
    record = bytes.fromhex(corvane_kit("evidence-bytes", "--request", "examples/evidence.json"))
    payload_text = req["payload_json"] if isinstance(req["payload_json"], str) else json.dumps(req["payload_json"])
    _, rebuilt = ref.evidence_oracle(
        {**req, "payload_json": payload_text}, {"submitted_at": canonical_time(req["submitted_at_rfc3339"])}
    )
    check(record == rebuilt, f"the {len(record)} evidence bytes equal the rebuild by tests/payload_reference.py")
    check(body["payee_pubkey"] == pubkey_b64(seeds.payee), "payee_pubkey is the example payee key")
    check(
        verifies(base64.b64decode(body["payee_pubkey"]), record, base64.b64decode(body["payee_signature"])),
        "payee_signature verifies (PyNaCl) over those bytes",
    )
    print()


def demo_manifest() -> None:
    print("== audit-export manifest signature")
    manifest = (ROOT / "examples" / "manifest.json").read_bytes()
    signature = bytes.fromhex((ROOT / "examples" / "manifest.sig.hex").read_text().strip())
    exporter = bytes.fromhex((ROOT / "examples" / "exporter.pub.hex").read_text().strip())
    check(
        exporter == bytes(SigningKey(seed(SEEDS / "exporter.example.hex")).verify_key),
        "exporter.pub.hex is the example exporter key",
    )
    check(
        verifies(exporter, hashlib.sha256(manifest).digest(), signature),
        "PyNaCl accepts manifest.sig.hex over the SHA-256 digest of manifest.json",
    )
    answer = corvane_kit(
        "verify-digest",
        "--digest-of", "examples/manifest.json",
        "--signature-file", "examples/manifest.sig.hex",
        "--public-key-file", "examples/exporter.pub.hex",
    )  # fmt: skip
    check(answer == "true", "verify-digest accepts it (exit status 0)")
    answer = corvane_kit(
        "verify-digest",
        "--digest-of", "examples/manifest.json",
        "--signature", base64.b64encode(signature).decode(),
        "--public-key", base64.b64encode(exporter).decode(),
    )  # fmt: skip
    check(answer == "true", "verify-digest accepts the same key and signature in base64, as bodies carry them")
    changed = hashlib.sha256(manifest.replace(b"tenant-7", b"tenant-8")).hexdigest()
    answer = corvane_kit(
        "verify-digest",
        "--digest-hex", changed,
        "--signature-file", "examples/manifest.sig.hex",
        "--public-key-file", "examples/exporter.pub.hex",
        expect=1,
    )  # fmt: skip
    check(answer == "false", "verify-digest rejects it for a manifest naming another tenant (exit status 1)")
    print()


def main() -> int:
    with tempfile.TemporaryDirectory(prefix="corvane-demo-") as private:
        seeds = ExampleSeeds(
            principal=seed(SEEDS / "principal.example.hex"),
            payee=seed(SEEDS / "payee.example.hex"),
            principal_file=private_copy("principal.example.hex", private),
            payee_file=private_copy("payee.example.hex", private),
        )
        print(f"(seed files: private copies of the example seeds in {private}, mode 0600)\n")
        try:
            demo_intent(seeds)
            demo_policy_intent(seeds)
            demo_evidence(seeds)
            demo_manifest()
        except DemoFailure as e:
            print(f"demo: {e}", file=sys.stderr)
            return 1
    print("All checks passed. The seeds used are the EXAMPLE seeds in examples/seeds/.")
    return 0


if __name__ == "__main__":
    sys.exit(main())

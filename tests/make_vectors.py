"""The wire goldens in tests/vectors/: each file's cases are the data, and every
outcome is checked against an independent oracle before it is written (see
tests/vectors/README.md). --check: exit 1 if a file would change."""

import argparse
import base64
import json
import pathlib
import sys

from nacl.signing import VerifyKey

import ed25519_reference as edref
import payload_reference as ref
from corvane_kit import _native

VECTORS = pathlib.Path(__file__).resolve().parent / "vectors"
FILES = ["create_intent.json", "create_policy_intent.json", "sign_evidence.json", "evidence_bytes.json",
         "verify_digest.json"]

# Canonical forms Python cannot derive by itself, stated by hand from the rules:
# JSON holding floats (the last number is one where a single rounded division
# gives another double than a correctly rounded parse) ...
CANONICAL_JSON = {
    '{"f": [1.0, 1e2, 1E+16, 0.000001, 0.00001, 1e15, -0, 1.5e-7, 123.45, 18446744073709551616,'
    ' 1.7976931348623157e308, 1e-400, 4.454981741040901610e-10]}':
    '{"f":[1.0,100.0,1e+16,1e-6,0.00001,1000000000000000.0,-0.0,1.5e-7,123.45,1.8446744073709552e+19,'
    '1.7976931348623157e+308,0.0,4.454981741040902e-10]}',
    "1.0": "1.0",
}
# ... and timestamps as the module writes them back.
CANONICAL_TIME = {
    "2030-01-01t00:00:00z": "2030-01-01T00:00:00Z", "2030-01-01 00:00:00+00:00": "2030-01-01T00:00:00Z",
    "2030-01-01T00:00:00-00:00": "2030-01-01T00:00:00Z", "2030-01-01X00:00:00Z": "2030-01-01T00:00:00Z",
    "2030-01-01T00:00:00.500+00:00": "2030-01-01T00:00:00.5Z", "2030-01-01T00:00:00.000120Z": "2030-01-01T00:00:00.00012Z",
    "2030-01-01T00:00:00.1234567891Z": "2030-01-01T00:00:00.123456789Z",
    "2016-12-31T23:59:60Z": "2016-12-31T23:59:59.999999999Z",
    "2025-07-01T01:59:60.25+02:00": "2025-07-01T01:59:59.999999999+02:00",
    "2025-03-01t12:00:00.500+00:00": "2025-03-01T12:00:00.5Z",
}
# The worked example's 132 bytes, field by field.
WORKED_EXAMPLE = ("02" "08" "74656e616e742d37" "10" "123e4567e89b12d3a456426614174000" "11"
                  "6469643a6578616d706c653a7061796565"
                  "d9cb3aa63b4607b8d963348de0720a537a9cce72870d4b0fd5ac3065e20a9208"
                  "4e788623a5df7893176f2e3fb7b445b1d6aa48d063a7fb5eb1f2741b74945d38"
                  "16" "323032352d30332d30315431323a30303a30302e355a")


class Mismatch(Exception):
    pass


def native_args(args):
    """Seeds are stored as hex (or as a list of integers)."""
    return {k: bytes.fromhex(v) if k in ref.SEED_PARAMETERS and isinstance(v, str) else v for k, v in args.items()}


def canon(args):
    stated = {k: CANONICAL_JSON[v] for k, v in args.items() if k.endswith("_json") and v in CANONICAL_JSON}
    for key, parameter in (("deadline", "deadline_rfc3339"), ("submitted_at", "submitted_at_rfc3339")):
        if args.get(parameter) in CANONICAL_TIME:
            stated[key] = CANONICAL_TIME[args[parameter]]
    return stated


def signed_document(oracle, signature_member, seed_parameter):
    def check(name, args, result):
        expected, payload = oracle(args, canon(args))
        document = json.loads(result)
        signature = base64.b64decode(document.pop(signature_member))
        if document != expected or list(document) != list(expected):
            raise Mismatch(f"{name}: document {document} differs from {expected}")
        try:
            VerifyKey(ref.public_key(args[seed_parameter])).verify(payload, signature)
        except Exception:  # noqa: BLE001 - any refusal
            raise Mismatch(f"{name}: {signature_member} does not verify over the rebuilt payload") from None
        return {"payload_hex": payload.hex()}

    return check


def evidence_bytes(name, args, result):
    if result != ref.evidence_oracle(args, canon(args))[1].hex():
        raise Mismatch(f"{name}: evidence bytes differ from the rebuild")
    return {}


def verification(name, args, result):
    digest, signature, public = (bytes.fromhex(ref.trim(args[p])) for p in ("digest_hex", "signature_hex",
                                                                               "public_key_hex"))
    if edref.verify(public, digest, signature) is not result:
        raise Mismatch(f"{name}: the module says {result}, the reference does not")
    return {}


CHECKS = {
    "build_signed_create_intent_json": signed_document(ref.intent_oracle, "principal_signature", "principal_seed"),
    "build_signed_create_intent_with_policy_binding_json":
        signed_document(ref.intent_oracle, "principal_signature", "principal_seed"),
    "sign_payee_evidence_binding_json": signed_document(ref.evidence_oracle, "payee_signature", "secret_seed"),
    "encode_evidence_sign_v1_hex": evidence_bytes,
    "verify_ed25519_sha256_hex": verification,
}


def outcome(function, args):
    try:
        return {"result": getattr(_native, function)(**native_args(args))}
    except Exception as e:  # noqa: BLE001 - the failure is the outcome
        return {"error": {"type": type(e).__name__, "message": str(e),
                          **({"notes": list(e.__notes__)} if getattr(e, "__notes__", None) else {})}}


def build():
    """The text of every golden file, its outcomes checked; Mismatch otherwise."""
    texts = {}
    for filename in FILES:
        golden = json.loads((VECTORS / filename).read_text())
        if len({c["name"] for c in golden["cases"]}) != len(golden["cases"]):
            raise Mismatch(f"{filename}: two cases with one name")
        cases = []
        for case in golden["cases"]:
            name, args = case["name"], case["args"]
            if list(args) != golden["parameters"]:
                raise Mismatch(f"{name}: the arguments are not the parameters in order")
            now = outcome(golden["function"], args)
            if now.get("error") != case.get("error"):
                raise Mismatch(f"{name}: expected {case.get('error', 'a result')}, got {now}")
            if "result" in now:
                now = CHECKS[golden["function"]](name, native_args(args), now["result"]) | now
                if name == "worked example" and now.get("payload_hex", now["result"]) != WORKED_EXAMPLE:
                    raise Mismatch(f"{name}: the record is not the worked example's")
            cases.append({"name": name, "args": args, **now})
        texts[filename] = json.dumps({**golden, "cases": cases}, indent=1, ensure_ascii=True) + "\n"
    return texts


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="compare with the files instead of writing them")
    args = parser.parse_args()
    try:
        texts = build()
    except Mismatch as e:
        print(f"make_vectors: {e}", file=sys.stderr)
        return 1
    changed = [f for f, text in texts.items() if (VECTORS / f).read_text() != text]
    if args.check:
        print("up to date" if not changed else f"would change: {', '.join(changed)}")
        return 1 if changed else 0
    for filename in changed:
        (VECTORS / filename).write_text(texts[filename])
    print(f"wrote {', '.join(changed) or 'nothing (all up to date)'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""The module reproduces every wire golden in tests/vectors/ exactly.

The goldens were written by tools/make_vectors.py only after each one passed
an independent check (PyNaCl over payloads rebuilt by payload_reference, the
pure-Python Ed25519 reference, hand-written error messages). Here the module
must give the same document, hex, boolean or exception, byte for byte; and the
signatures in the goldens must cover their payload_hex (PyNaCl), so that the
files are consistent for the other implementations that read them.
"""

import base64
import json
import pathlib

import pytest
from nacl.signing import SigningKey

from corvane_kit import _native as native

VECTORS = pathlib.Path(__file__).resolve().parent / "vectors"
FILES = sorted(VECTORS.glob("*.json"))
SEED_PARAMS = {"principal_seed", "payee_seed", "secret_seed"}
SIGNATURE_MEMBER = {
    "build_signed_create_intent_json": ("principal_signature", "principal_pubkey", "principal_seed"),
    "build_signed_create_intent_with_policy_binding_json": (
        "principal_signature",
        "principal_pubkey",
        "principal_seed",
    ),
    "sign_payee_evidence_binding_json": ("payee_signature", "payee_pubkey", "secret_seed"),
}


def load(path):
    return json.loads(path.read_text())


def all_cases():
    for path in FILES:
        document = load(path)
        for case in document["cases"]:
            yield pytest.param(document["function"], document["parameters"], case, id=f"{path.stem}: {case['name']}")


def native_args(args):
    return {k: (bytes.fromhex(v) if k in SEED_PARAMS and isinstance(v, str) else v) for k, v in args.items()}


def test_every_function_has_a_golden_file():
    assert {load(p)["function"] for p in FILES} == set(native.__all__)


@pytest.mark.parametrize("function, parameters, case", list(all_cases()))
def test_module_reproduces_golden(function, parameters, case):
    assert list(case["args"]) == parameters  # every argument present, in parameter order
    assert ("result" in case) != ("error" in case)
    call = getattr(native, function)
    if "result" in case:
        assert call(**native_args(case["args"])) == case["result"]
        return
    expected = case["error"]
    with pytest.raises(Exception) as info:
        call(**native_args(case["args"]))
    assert type(info.value).__name__ == expected["type"]
    assert str(info.value) == expected["message"]
    assert getattr(info.value, "__notes__", []) == expected.get("notes", [])


@pytest.mark.parametrize("function, parameters, case", [c for c in all_cases() if c.values[0] in SIGNATURE_MEMBER])
def test_golden_signature_covers_its_payload(function, parameters, case):
    if "error" in case:
        assert "payload_hex" not in case
        return
    signature_member, pubkey_member, seed_param = SIGNATURE_MEMBER[function]
    document = json.loads(case["result"])
    seed = bytes.fromhex(case["args"][seed_param])
    verify_key = SigningKey(seed).verify_key
    assert base64.b64decode(document[pubkey_member]) == bytes(verify_key)
    payload = bytes.fromhex(case["payload_hex"])
    verify_key.verify(payload, base64.b64decode(document[signature_member]))  # raises if it does not verify


def test_evidence_bytes_goldens_are_the_signed_evidence_payloads():
    signed = {c["name"]: c for c in load(VECTORS / "sign_evidence.json")["cases"]}
    compared = 0
    for case in load(VECTORS / "evidence_bytes.json")["cases"]:
        other = signed[case["name"]]
        if "result" in case and "result" in other:
            assert case["result"] == other["payload_hex"], case["name"]
            compared += 1
    assert compared > 40

"""Seeds never come back out: no result and no exception (message, arguments,
notes, formatted form) shows a seed in any text form, on any road."""

import base64
import traceback

import pytest

from corvane_kit import _native as native
from valid_arguments import CREATE, POLICY, SIGN

PRINTABLE = b"Tr0ub4dor&3 correct horse staple"  # a raw copy would read as text
SEEDS = [PRINTABLE, bytes((11 + 97 * i) % 256 for i in range(31)), PRINTABLE + b"!"]


def text_forms(seed):
    half = len(seed) // 2
    return [seed.hex(), seed.hex().upper(), base64.b64encode(seed).decode().rstrip("="), repr(seed)[2:-1],
            str(list(seed))[1:-1], seed.decode("latin-1"), seed[:half].hex(), seed[half:].hex()]


def everything_said(func, kwargs):
    try:
        return str(func(**kwargs))
    except Exception as exc:  # noqa: BLE001 - every failure is looked at
        return "\n".join([repr(exc), *getattr(exc, "__notes__", []), *traceback.format_exception_only(exc)])


CREATE_FN, POLICY_FN = native.build_signed_create_intent_json, native.build_signed_create_intent_with_policy_binding_json
# (function, base arguments, seed parameter, changes): success, failures
# before the seeds are converted, after, and after the keys exist.
ROADS = [
    (CREATE_FN, CREATE, "principal_seed", {}),
    (CREATE_FN, CREATE, "payee_seed", {"tenant_id": 7}),
    (CREATE_FN, CREATE, "principal_seed", {"amount_cents": 2**70}),
    (CREATE_FN, CREATE, "payee_seed", {"budget_json": "{"}),
    (CREATE_FN, CREATE, "principal_seed", {"extra": 1}),
    (POLICY_FN, POLICY, "payee_seed", {}),
    (POLICY_FN, POLICY, "principal_seed", {"policy_content_digest_hex": "ab"}),
    (native.sign_payee_evidence_binding_json, SIGN, "secret_seed", {}),
    (native.sign_payee_evidence_binding_json, SIGN, "secret_seed", {"artifacts_hex": "11"}),
    (native.sign_payee_evidence_binding_json, SIGN, "secret_seed", {"artifacts_hex": ["0x12"]}),
    # A seed given by mistake where text belongs.
    (CREATE_FN, CREATE, "tenant_id", {}),
    (native.verify_ed25519_sha256_hex, {"digest_hex": "00" * 32, "signature_hex": "", "public_key_hex": ""},
     "signature_hex", {}),
]


@pytest.mark.parametrize("func, base, parameter, changes", ROADS)
@pytest.mark.parametrize("seed", SEEDS, ids=["32", "31", "33"])
@pytest.mark.parametrize("container", [bytes, list, bytes.hex])
def test_no_result_or_exception_shows_a_seed(func, base, parameter, changes, seed, container):
    said = everything_said(func, {**base, **changes, parameter: container(seed)})
    for form in text_forms(seed):
        assert form not in said, (form, said)

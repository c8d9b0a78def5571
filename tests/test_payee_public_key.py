"""Naming the payee of an intent by its public key instead of its seed.

The oracles: the seed-based native functions give the expected bodies, PyNaCl
gives the public key of a seed, and the pure-Python Ed25519 reference makes
the keys that no seed gives.
"""

import base64

import nacl.signing
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import corvane_kit
import ed25519_reference as ref
from corvane_kit import _extras, _native
from test_cli import EXAMPLES, INTENT_SEEDS, PAYEE, PRINCIPAL, assert_one_line_error, example_args, run, write  # noqa: F401
from test_cli import private_seeds  # noqa: F401  (a fixture of run)
from valid_arguments import CREATE, POLICY, SEED_A

# seed-based function, key-based twin, Pythonic function, valid arguments without the payee
FUNCTIONS = [
    (_native.build_signed_create_intent_json, _extras.build_signed_create_intent_json_for_payee_key,
     corvane_kit.create_intent, {k: v for k, v in CREATE.items() if k != "payee_seed"}),
    (_native.build_signed_create_intent_with_policy_binding_json,
     _extras.build_signed_create_intent_with_policy_binding_json_for_payee_key,
     corvane_kit.create_policy_intent, {k: v for k, v in POLICY.items() if k != "payee_seed"}),
]  # fmt: skip
ENCODINGS = {"raw": bytes, "bytearray": bytearray, "hex": bytes.hex, "base64": lambda k: base64.b64encode(k).decode()}


def nacl_public_key(seed):
    return bytes(nacl.signing.SigningKey(seed).verify_key)


@settings(max_examples=30, deadline=None)
@given(seed=st.binary(min_size=32, max_size=32), encoding=st.sampled_from(sorted(ENCODINGS)))
def test_public_key_gives_the_body_of_its_seed(seed, encoding):
    key = nacl_public_key(seed)
    for with_seed, with_key, pythonic, args in FUNCTIONS:
        expected = with_seed(**args, payee_seed=seed)
        assert with_key(**args, payee_public_key=key) == expected
        assert pythonic(**args, payee_public_key=ENCODINGS[encoding](key)) == expected


_SEED_KEY = ref.decode_point(nacl_public_key(SEED_A))
NOT_A_SEEDS_KEY = "payee_public_key is not the public key of any Ed25519 seed"


@pytest.mark.parametrize(
    "key, changes, message",
    [
        (bytes(31), {}, "payee_public_key must be exactly 32 bytes"),
        (ref.encode_y(2), {}, NOT_A_SEEDS_KEY),  # no x for y = 2: not a curve point
        (ref.encode_point(ref.IDENTITY), {}, NOT_A_SEEDS_KEY),
        (ref.encode_point(ref.SMALL_ORDER_POINTS[1]), {}, NOT_A_SEEDS_KEY),  # small order: verifies forgeries
        (ref.encode_point(ref.point_add(_SEED_KEY, ref.SMALL_ORDER_POINTS[1])), {}, NOT_A_SEEDS_KEY),  # mixed order
        (ref.encode_y(ref.P + 1), {}, NOT_A_SEEDS_KEY),  # the identity, not canonically encoded
        # Its place in the order of checks: after principal_seed, before intent_id.
        (bytes(31), {"principal_seed": bytes(31)}, "principal_seed must be exactly 32 bytes"),
        (bytes(32), {"intent_id": "x"}, NOT_A_SEEDS_KEY),
    ],
)  # fmt: skip
def test_keys_no_seed_gives_are_refused(key, changes, message):
    for _, with_key, pythonic, args in FUNCTIONS:
        for function in (with_key, pythonic):
            with pytest.raises(ValueError) as info:
                function(**{**args, **changes}, payee_public_key=key)
            assert str(info.value).startswith(message)


@pytest.mark.parametrize(
    "payee, error, message",
    [
        ({}, TypeError, "create_intent() takes exactly one of payee_seed and payee_public_key; neither was given"),
        ({"payee_seed": PAYEE, "payee_public_key": bytes(32)}, TypeError,
         "create_intent() takes exactly one of payee_seed and payee_public_key; both were given"),
        ({"payee_public_key": "AAAA"}, ValueError, "payee_public_key must be a 32-byte Ed25519 public key: 32 raw "
         "bytes, 64 hex digits or 44 base64 characters (found 4 characters)"),
        ({"payee_public_key": "g" * 64}, ValueError, "payee_public_key: 64 characters but not hex digits"),
        ({"payee_public_key": "!" * 44}, ValueError, "payee_public_key: 44 characters but not base64"),
    ],
)  # fmt: skip
def test_pythonic_payee_arguments(payee, error, message):
    with pytest.raises(error) as info:
        corvane_kit.create_intent(**FUNCTIONS[0][3], **payee)
    assert str(info.value).startswith(message)


PAYEE_KEY = nacl_public_key(PAYEE)


@pytest.mark.parametrize("command, request_file", [("create-intent", "intent.json"),
                                                   ("create-policy-intent", "policy-intent.json")])  # fmt: skip
@pytest.mark.parametrize(
    "where, value",
    [("option", base64.b64encode(PAYEE_KEY).decode()), ("option", PAYEE_KEY.hex().upper()), ("file", PAYEE_KEY),
     ("file", base64.b64encode(PAYEE_KEY) + b"\n"), ("request", PAYEE_KEY.hex())],
)  # fmt: skip
def test_command_takes_the_payee_public_key(run, tmp_path, command, request_file, where, value):
    with_seed = _native.build_signed_create_intent_json if command == "create-intent" else \
        _native.build_signed_create_intent_with_policy_binding_json  # fmt: skip
    expected = with_seed(**example_args(request_file), principal_seed=PRINCIPAL, payee_seed=PAYEE) + "\n"
    argv, request = [command, "--principal-seed-file", INTENT_SEEDS[1]], EXAMPLES / request_file
    if where == "option":
        argv += ["--payee-public-key", value]
    elif where == "file":
        argv += ["--payee-public-key-file", write(tmp_path, "payee.pub", value, 0o644)]
    else:
        request = write(tmp_path, "r.json", request.read_text().replace("{", '{"payee_public_key": "%s", ' % value, 1))
    assert run([*argv, "--request", request]) == (0, expected, "")


@pytest.mark.parametrize(
    "payee_argv, message",
    [
        ([], "missing the payee: give --payee-seed-file FILE or --payee-seed-env NAME, or its public key with "
             "--payee-public-key TEXT or --payee-public-key-file FILE (or payee_public_key in the request file)"),
        (["--payee-seed-file", INTENT_SEEDS[3], "--payee-public-key", PAYEE_KEY.hex()],
         "give the payee's seed or its public key, not both (got --payee-seed-file and --payee-public-key)"),
        (["--payee-public-key", ref.encode_y(2).hex()], NOT_A_SEEDS_KEY),
    ],
)  # fmt: skip
def test_command_payee_errors(run, payee_argv, message):
    argv = ["create-intent", "--request", EXAMPLES / "intent.json", "--principal-seed-file", INTENT_SEEDS[1]]
    assert_one_line_error(run([*argv, *payee_argv]), message)

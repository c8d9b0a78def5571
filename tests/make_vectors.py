"""The wire goldens in tests/vectors/, generated from the case tables below.

    .venv/bin/python tests/make_vectors.py           # write tests/vectors/*.json
    .venv/bin/python tests/make_vectors.py --check   # exit 1 if a file would change

Every case is run through corvane_kit._native, and nothing is written unless
each outcome passes an independent check: a document must equal what
payload_reference derives from the case's inputs, and its signature must
verify (PyNaCl) over the payload that payload_reference builds, which goes
into the golden as payload_hex; evidence bytes must equal that record; a
verification result must equal ed25519_reference's; an error must have the
type and message written in the table. Where Python cannot derive a canonical
form (JSON with floats, rewritten timestamps) the case states it in `canon`.
Regenerate only deliberately: a changed golden is a changed wire.
"""

from __future__ import annotations

import argparse
import base64
import hashlib
import json
import pathlib
import sys
from dataclasses import dataclass, field
from typing import Any

from nacl.signing import SigningKey, VerifyKey

import ed25519_reference as edref
import payload_reference as ref
from corvane_kit import _native

VECTORS = pathlib.Path(__file__).resolve().parent / "vectors"

PRINCIPAL_SEED = bytes(range(32)).hex()
PAYEE_SEED = bytes(range(32, 64)).hex()
EXPORTER_SEED = bytes(range(64, 96))
U = "123e4567-e89b-12d3-a456-426614174000"
WS = " \t\n\r\u00a0\u3000"  # a sample of Unicode White_Space
POLICY_DIGEST = "c0ffee" + "0123456789abcdef" * 3 + "c0ffee0123"  # 64 digits
ART_1, ART_AB, ART_CD = "1" * 64, "ab" * 32, "cd" * 32

INTENT_PARAMS = ["tenant_id", "principal_seed", "payee_seed", "intent_id", "principal_did", "payee_did", "budget_json",
                 "currency", "amount_cents", "evidence_schema_json", "deadline_rfc3339", "predicate_json",
                 "predicate_ref", "allowed_tools_json", "settlement_rail"]
POLICY_PARAMS = [("materialized_predicate_json" if p == "predicate_json" else p) for p in INTENT_PARAMS] + [
    "policy_template_id", "policy_version_seq", "policy_content_digest_hex"]
EVIDENCE_PARAMS = ["tenant_id", "intent_id", "payee_did", "payload_json", "artifacts_hex", "submitted_at_rfc3339"]
SIGN_EVIDENCE_PARAMS = EVIDENCE_PARAMS + ["secret_seed"]
VERIFY_PARAMS = ["digest_hex", "signature_hex", "public_key_hex"]

BASE_INTENT: dict[str, Any] = dict(
    tenant_id="tenant-7", principal_seed=PRINCIPAL_SEED, payee_seed=PAYEE_SEED, intent_id=U,
    principal_did="did:example:principal", payee_did="did:example:payee", budget_json='{"max_cents": 5000}',
    currency="USD", amount_cents=1500, evidence_schema_json='{"type": "object"}',
    deadline_rfc3339="2030-01-01T00:00:00Z", predicate_json='{"all": []}', predicate_ref="",
    allowed_tools_json='["browse"]', settlement_rail="stripe_connect")
BASE_POLICY: dict[str, Any] = {
    **{("materialized_predicate_json" if k == "predicate_json" else k): v for k, v in BASE_INTENT.items()},
    "policy_template_id": "travel-default", "policy_version_seq": 3, "policy_content_digest_hex": POLICY_DIGEST}
BASE_EVIDENCE: dict[str, Any] = dict(
    tenant_id="tenant-7", intent_id=U, payee_did="did:example:payee", payload_json='{"receipt": {"total": 1499}}',
    artifacts_hex=[ART_1, "0x" + ART_AB.upper()], submitted_at_rfc3339="2025-03-01T12:00:00Z")

SEED_MESSAGE = "{} must be exactly 32 bytes (Ed25519 signing key seed)"
RAIL_MESSAGE = (
    "settlement_rail must be one of stripe_connect, stripe_ach_debit, stripe_mpp, adyen_manual_capture, x402_usdc_base"
)
TOOLS_PREFIX = "allowed_tools_json must be a JSON array of strings: "
RANGE = "out of range integral type conversion attempted"


@dataclass
class Case:
    name: str
    args: dict[str, Any]
    error: tuple | None = None  # (type, message) or (type, message, note), stated by hand
    canon: dict[str, str] = field(default_factory=dict)  # canonical texts the test-side encoder cannot derive
    expect_hex: str | None = None  # literal payload bytes stated by hand


def intent(name: str, error: tuple | None = None, canon: dict | None = None, **changes: Any) -> Case:
    return Case(name, {**BASE_INTENT, **changes}, error, canon or {})


def policy(name: str, error: tuple | None = None, canon: dict | None = None, **changes: Any) -> Case:
    return Case(name, {**BASE_POLICY, **changes}, error, canon or {})


def evidence(name: str, bytes_error: tuple | None = None, sign_error: tuple | None = None, canon: dict | None = None,
             expect_hex: str | None = None, seed: Any = PAYEE_SEED, **changes: Any) -> tuple[Case, Case]:
    args = {**BASE_EVIDENCE, **changes}
    return (
        Case(name, args, bytes_error, canon or {}, expect_hex),
        Case(name, {**args, "secret_seed": seed}, sign_error, canon or {}, expect_hex),
    )


def value_error(message: str) -> tuple:
    return ("ValueError", message)


# ------------------------------------------------------------ JSON inputs

FLOATS = (
    '{"f": [1.0, 1e2, 1E+16, 0.000001, 0.00001, 1e15, -0, 1.5e-7, 123.45, 18446744073709551616,'
    " 1.7976931348623157e308, 1e-400, 4.454981741040901610e-10]}"
)
# Stated by hand from the number rules; the last number is one where a single
# rounded division gives a different double than a correctly rounded parse.
FLOATS_CANON = (
    '{"f":[1.0,100.0,1e+16,1e-6,0.00001,1000000000000000.0,-0.0,1.5e-7,123.45,1.8446744073709552e+19,'
    "1.7976931348623157e+308,0.0,4.454981741040902e-10]}"
)
JSON_SUCCESS = [
    ("member order and nesting", '{"b": 1, "a": [true, null], "c": {"z": "", "y": -7}}', None),
    ("key order by bytes", '{"b": 0, "a": 1, "B": 2, "aa": 3, "": 4, "\\u00e9": 5, "z": 6}', None),
    ("integers at the 64-bit edges", "[0, 18446744073709551615, -9223372036854775808, -1]", None),
    ("floats", FLOATS, FLOATS_CANON),
    ("escapes", '"\\u00e9\\/\\ud83d\\ude00\\t\\u001f\\"\\\\\\b\\f\\n\\r"', None),
    ("raw unicode", '{"ключ": "値", "emoji": "😀", "del": "\x7f", "ls": "\u2028"}', None),
    ("duplicate keys, last wins", '{"a": 1, "b": 2, "a": {"x": 3, "x": 4}}', None),
    ("white space around and inside", ' \t\n{ "a" : [ 1 , 2 ] }\r\n', None),
    ("null", "null", None),
    ("bare number", "42", None),
    ("bare string", '"budget"', None),
    ("empty array", "[]", None),
    ("127 levels of nesting", "[" * 127 + "]" * 127, None),
]
JSON_ERRORS = [
    ("", "EOF while parsing a value at line 1 column 0"),
    ("   ", "EOF while parsing a value at line 1 column 3"),
    ("[1,]", "trailing comma at line 1 column 4"),
    ('{\n  "a": 1,\n}', "trailing comma at line 3 column 1"),
    ("[1] x", "trailing characters at line 1 column 5"),
    ("NaN", "expected value at line 1 column 1"),
    ("tru", "EOF while parsing a value at line 1 column 3"),
    ("trux", "expected ident at line 1 column 4"),
    ("01", "invalid number at line 1 column 2"),
    ("1e400", "number out of range at line 1 column 5"),
    ('{"a" 1}', "expected `:` at line 1 column 6"),
    ("{1: 2}", "key must be a string at line 1 column 2"),
    ('"a\tb"', "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"),
    ('"\\ude00"', "lone leading surrogate in hex escape at line 1 column 7"),
    ('"\\ud83d"', "unexpected end of hex escape at line 1 column 8"),
    ('"\\x"', "invalid escape at line 1 column 3"),
    ("[" * 128 + "]" * 128, "recursion limit exceeded at line 1 column 128"),
    ("{", "EOF while parsing an object at line 1 column 1"),
    ("[", "EOF while parsing a list at line 1 column 1"),
    ('"abc', "EOF while parsing a string at line 1 column 4"),
]

# ---------------------------------------------------------------- timestamps

# (input, canonical form written by the module)
TIMESTAMPS = [
    ("2030-01-01T00:00:00Z", "2030-01-01T00:00:00Z"),
    ("2030-01-01t00:00:00z", "2030-01-01T00:00:00Z"),
    ("2030-01-01 00:00:00+00:00", "2030-01-01T00:00:00Z"),
    ("2030-01-01T00:00:00-00:00", "2030-01-01T00:00:00Z"),
    ("2030-01-01X00:00:00Z", "2030-01-01T00:00:00Z"),
    ("2030-06-30T12:00:00+05:30", "2030-06-30T12:00:00+05:30"),
    ("2030-06-30T12:00:00-23:59", "2030-06-30T12:00:00-23:59"),
    ("2030-01-01T00:00:00.500+00:00", "2030-01-01T00:00:00.5Z"),
    ("2030-01-01T00:00:00.000120Z", "2030-01-01T00:00:00.00012Z"),
    ("2030-01-01T00:00:00.123456789+01:00", "2030-01-01T00:00:00.123456789+01:00"),
    ("2030-01-01T00:00:00.1234567891Z", "2030-01-01T00:00:00.123456789Z"),
    ("2016-12-31T23:59:60Z", "2016-12-31T23:59:59.999999999Z"),
    ("2025-07-01T01:59:60.25+02:00", "2025-07-01T01:59:59.999999999+02:00"),
    ("2024-02-29T10:00:00Z", "2024-02-29T10:00:00Z"),
    ("0000-01-01T00:00:00Z", "0000-01-01T00:00:00Z"),
    ("9999-12-31T23:59:59.999999999+23:59", "9999-12-31T23:59:59.999999999+23:59"),
]
TIMESTAMP_ERRORS = [
    (" 2030-01-01T00:00:00Z", "the 'year' component could not be parsed"),
    ("2030-1-01T00:00:00Z", "the 'month' component could not be parsed"),
    ("2030-00-01T00:00:00Z", "the 'month' component could not be parsed"),
    ("2030-01-01", "the 'separator' component could not be parsed"),
    ("2030/01/01T00:00:00Z", "a character literal was not valid"),
    ("2030-01-01T00:00:00", "the 'offset hour' component could not be parsed"),
    ("2030-01-01T00:00:00.Z", "the 'subsecond' component could not be parsed"),
    ("2030-01-01T00:00:00+24:00", "the 'offset hour' component could not be parsed"),
    ("2030-01-01T00:00:00+05:3", "the 'offset minute' component could not be parsed"),
    ("2030-01-01T00:00:00+23:60", "offset minute was not in range"),
    ("2030-01-01T00:00:00Z ", "unexpected trailing characters; the end of input was expected"),
    ("2030-13-01T00:00:00Zx", "unexpected trailing characters; the end of input was expected"),
    ("2030-13-01T00:00:00Z", "month was not in range"),
    ("2030-02-29T00:00:00Z", "day was not in range"),
    ("2030-01-01T24:00:00Z", "hour was not in range"),
    ("2030-01-01T00:60:00Z", "minute was not in range"),
    ("2030-06-29T23:59:60Z", "second was not in range"),
]

# ------------------------------------------------------------------- UUIDs

# (input, the 16 bytes as 32 hex digits)
UUIDS = [
    (U, "123e4567e89b12d3a456426614174000"),
    (U.upper(), "123e4567e89b12d3a456426614174000"),
    ("{" + U + "}", "123e4567e89b12d3a456426614174000"),
    ("urn:uuid:" + U, "123e4567e89b12d3a456426614174000"),
    (U.replace("-", ""), "123e4567e89b12d3a456426614174000"),
    ("{" + U.upper() + "}", "123e4567e89b12d3a456426614174000"),
    ("00000000-0000-0000-0000-000000000000", "0" * 32),
    ("FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF", "f" * 32),
]
UUID_ERRORS = [
    ("", "invalid length: found 0"),
    ("not-a-uuid", "invalid character: found `n` at 0"),
    ("123e456g-e89b-12d3-a456-426614174000", "invalid character: found `g` at 7"),
    ("{123e456g-e89b-12d3-a456-426614174000}", "invalid character: found `g` at 7"),
    ("URN:UUID:" + U, "invalid character: found `U` at 0"),
    ("123e4567e89b12d3a45642661417400", "invalid length: found 31"),
    ("123e4567-e89b12d3-a456-426614174000", "invalid group count: expected 5, found 4"),
    ("123e4567-e89b-12d3-a456-4266141740", "invalid group length in group 4: expected 12, found 10"),
    ("123e4567-e89b-12d3-a456-4266141740000000000000", "invalid length: found 46"),
]

RAILS = ["stripe_connect", "stripe_ach_debit", "stripe_mpp", "adyen_manual_capture", "x402_usdc_base"]

# Signed amounts and the zigzag value they are written as.
AMOUNTS = [0, 1, -1, 125, -126, 1500, -1500, 32767, -32768, 32768, 2**31 - 1, -(2**31) - 1, 2**63 - 1, -(2**63)]
VERSION_SEQS = [0, 250, 251, 65535, 65536, 4294967295]


# ----------------------------------------------------------------- intents


def intent_cases(make, predicate: str) -> list[Case]:
    cases = [
        make("base"),
        make("text lengths: empty tenant, did, currency and predicate_ref", tenant_id="", principal_did="",
             payee_did="", currency="", predicate_ref=""),
        make("text length 250 (one-byte prefix FA)", tenant_id="t" * 250),
        make("text length 251 (prefix FB FB 00)", tenant_id="t" * 251),
        make("text length counts bytes: 125 two-byte characters", payee_did="é" * 125),
        make("text length counts bytes: 126 two-byte characters", payee_did="é" * 126),
        make("currency with a three-byte character", currency="€"),
        make("predicate_ref blank: left out of the body, signed as empty", predicate_ref="   "),
        make("predicate_ref of an ideographic space only", predicate_ref="\u3000"),
        make("predicate_ref with surrounding spaces, kept", predicate_ref=" refs/p-1 "),
        make("allowed tools trimmed, lowercased, sorted, deduplicated for the digest",
             allowed_tools_json='[" Read ", "read", "WRITE", "write\\n", "browse"]'),
        make("allowed tools: one empty name", allowed_tools_json='[""]'),
        make("allowed tools: a blank name", allowed_tools_json='["  "]'),
        make("allowed tools: non-ASCII letters keep their case", allowed_tools_json='["ÜBER", "über", "Über"]'),
        make("intent_id surrounded by white space is trimmed", intent_id=WS + U + WS),
    ]  # fmt: skip
    for amount in AMOUNTS:
        cases.append(make(f"amount_cents {amount} (zigzag {2 * amount if amount >= 0 else -2 * amount - 1})", amount_cents=amount))
    for text, _ in UUIDS[1:]:
        cases.append(make(f"intent_id form {text!r}", intent_id=text))
    for text, canonical in TIMESTAMPS[1:]:
        cases.append(make(f"deadline {text!r} (signed as {canonical})", deadline_rfc3339=text,
                          canon={"deadline": canonical}))  # fmt: skip
    for rail in RAILS[1:]:
        cases.append(make(f"settlement_rail {rail}", settlement_rail=rail))
    cases.append(make("settlement_rail with white space around it", settlement_rail=" stripe_mpp\n"))
    cases.append(make("settlement_rail with Unicode white space", settlement_rail="\u00a0x402_usdc_base\u3000"))
    for label, text, canonical in JSON_SUCCESS:
        canon = {"budget_json": canonical} if canonical else {}
        cases.append(make(f"budget_json: {label}", budget_json=text, canon=canon))
    cases.append(make("evidence_schema_json: escapes", evidence_schema_json=JSON_SUCCESS[4][1]))
    cases.append(make(f"{predicate}: floats", **{predicate: FLOATS}, canon={predicate: FLOATS_CANON}))
    cases.append(make(f"{predicate}: duplicate keys", **{predicate: JSON_SUCCESS[6][1]}))

    # Errors, in the order the checks run.
    errors = [
        make("principal_seed of 31 bytes", value_error(SEED_MESSAGE.format("principal_seed")),
             principal_seed=PRINCIPAL_SEED[:62]),
        make("payee_seed of 33 bytes", value_error(SEED_MESSAGE.format("payee_seed")),
             payee_seed=PAYEE_SEED + "00"),
        make("both seeds and everything else bad: the principal seed is reported",
             value_error(SEED_MESSAGE.format("principal_seed")), principal_seed="", payee_seed="",
             intent_id="x", budget_json="", allowed_tools_json="[]", settlement_rail="", deadline_rfc3339=""),
        make("seed element out of range", ("OverflowError", RANGE, "while processing 'principal_seed'"),
             principal_seed=[256] * 32),
        make("amount_cents beyond 64 bits",
             ("OverflowError", "Python int too large to convert to C long", "while processing 'amount_cents'"),
             amount_cents=2**63),
        make("amount_cents as a string",
             ("TypeError", "'str' object cannot be interpreted as an integer", "while processing 'amount_cents'"),
             amount_cents="1500"),
        make("tenant_id not a string",
             ("TypeError", "'int' object is not an instance of 'str'", "while processing 'tenant_id'"),
             tenant_id=7),
        make("predicate_ref null",
             ("TypeError", "'None' is not an instance of 'str'", "while processing 'predicate_ref'"),
             predicate_ref=None),
        make("principal_did with a lone surrogate",
             ("UnicodeEncodeError",
              "'utf-8' codec can't encode character '\\ud800' in position 4: surrogates not allowed",
              "while processing 'principal_did'"),
             principal_did="did:\ud800"),
        make("budget and allowed tools bad: budget reported first", value_error("budget_json: EOF while parsing a value at line 1 column 0"),
             budget_json="", allowed_tools_json="{}"),
        make("evidence_schema_json bad", value_error("evidence_schema_json: EOF while parsing an object at line 1 column 1"),
             evidence_schema_json="{"),
        make(f"{predicate} bad", value_error(f"{predicate}: EOF while parsing a list at line 1 column 1"),
             **{predicate: "["}),
        make("allowed tools empty", value_error("allowed_tools must be non-empty"), allowed_tools_json="[]"),
        make("settlement rail in capitals", value_error(RAIL_MESSAGE), settlement_rail="STRIPE_MPP"),
        make("settlement rail a piece of a rail", value_error(RAIL_MESSAGE), settlement_rail="stripe"),
        make("bad rail and bad deadline: the rail is reported", value_error(RAIL_MESSAGE),
             settlement_rail="", deadline_rfc3339="soon"),
    ]  # fmt: skip
    for text, message in UUID_ERRORS:
        errors.append(make(f"intent_id {text!r}", value_error(f"intent_id: {message}"), intent_id=text))
    for text, message in JSON_ERRORS:
        errors.append(make(f"budget_json {text[:24]!r}", value_error(f"budget_json: {message}"), budget_json=text))
    for text, message in [
        ("{}", "invalid type: map, expected a sequence at line 1 column 0"),
        ('"x"', 'invalid type: string "x", expected a sequence at line 1 column 3'),
        ('["a",1]', "invalid type: integer `1`, expected a string at line 1 column 6"),
        ('["a", null]', "invalid type: null, expected a string at line 1 column 10"),
        ("[1.5]", "invalid type: floating point `1.5`, expected a string at line 1 column 4"),
        ("[true]", "invalid type: boolean `true`, expected a string at line 1 column 5"),
        ("[[]]", "invalid type: sequence, expected a string at line 1 column 1"),
        ("[", "EOF while parsing a list at line 1 column 1"),
    ]:
        errors.append(make(f"allowed_tools_json {text!r}", value_error(TOOLS_PREFIX + message), allowed_tools_json=text))
    for text, message in TIMESTAMP_ERRORS:
        errors.append(make(f"deadline {text!r}", value_error(f"deadline_rfc3339: {message}"), deadline_rfc3339=text))
    return cases + errors


def create_intent_cases() -> list[Case]:
    return intent_cases(intent, "predicate_json")


def create_policy_intent_cases() -> list[Case]:
    cases = intent_cases(policy, "materialized_predicate_json")
    for seq in VERSION_SEQS:
        cases.append(policy(f"policy_version_seq {seq}", policy_version_seq=seq))
    cases += [
        policy("policy_template_id empty", policy_template_id=""),
        policy("policy_template_id of 251 bytes", policy_template_id="p" * 251),
        policy("policy digest in capitals", policy_content_digest_hex=POLICY_DIGEST.upper()),
        policy("policy digest with white space around it", policy_content_digest_hex=WS + POLICY_DIGEST + WS),
        policy("policy_version_seq 2**32", ("OverflowError", RANGE, "while processing 'policy_version_seq'"),
               policy_version_seq=2**32),
        policy("policy_version_seq -1", ("OverflowError", RANGE, "while processing 'policy_version_seq'"),
               policy_version_seq=-1),
        policy("policy digest of 63 digits, one not hex: parity first",
               value_error("policy_content_digest_hex: Odd number of digits"),
               policy_content_digest_hex="g" + POLICY_DIGEST[:62]),
        policy("policy digest with a bad digit",
               value_error("policy_content_digest_hex: Invalid character 'g' at position 5"),
               policy_content_digest_hex=POLICY_DIGEST[:5] + "g" + POLICY_DIGEST[6:]),
        policy("policy digest with a 0x prefix",
               value_error("policy_content_digest_hex: Invalid character 'x' at position 1"),
               policy_content_digest_hex="0x" + POLICY_DIGEST[:62]),
        policy("policy digest of 62 digits", value_error("policy_content_digest_hex must decode to 32 bytes"),
               policy_content_digest_hex=POLICY_DIGEST[:62]),
        policy("policy digest blank", value_error("policy_content_digest_hex must decode to 32 bytes"),
               policy_content_digest_hex=" \n"),
        policy("bad policy digest and bad deadline: the deadline is reported",
               value_error("deadline_rfc3339: the 'offset hour' component could not be parsed"),
               policy_content_digest_hex="", deadline_rfc3339="2030-01-01T00:00:00"),
    ]  # fmt: skip
    return cases


# ---------------------------------------------------------------- evidence

WORKED_EXAMPLE_HEX = (
    "02"
    "08" "74656e616e742d37"
    "10" "123e4567e89b12d3a456426614174000"
    "11" "6469643a6578616d706c653a7061796565"
    "d9cb3aa63b4607b8d963348de0720a537a9cce72870d4b0fd5ac3065e20a9208"
    "4e788623a5df7893176f2e3fb7b445b1d6aa48d063a7fb5eb1f2741b74945d38"
    "16" "323032352d30332d30315431323a30303a30302e355a"
)  # fmt: skip


def evidence_case_pairs() -> list[tuple[Case, Case]]:
    pairs = [
        evidence("worked example", payload_json='{"b": 1, "a": "x"}', artifacts_hex=[ART_1, "0x" + "AB" * 32],
                 submitted_at_rfc3339="2025-03-01t12:00:00.500+00:00",
                 canon={"submitted_at": "2025-03-01T12:00:00.5Z"}, expect_hex=WORKED_EXAMPLE_HEX),
        evidence("base"),
        evidence("empty artifact list", artifacts_hex=[]),
        evidence("one artifact", artifacts_hex=[ART_CD]),
        evidence("artifacts in capitals", artifacts_hex=[ART_1, ART_AB.upper()]),
        evidence("artifacts with white space around them",
                 artifacts_hex=[" \t0x" + ART_1 + "\n", "\u00a0" + ART_AB + "\u3000"]),
        evidence("artifacts swapped", artifacts_hex=[ART_AB, ART_1]),
        evidence("an artifact repeated", artifacts_hex=[ART_1, ART_1, ART_AB]),
        evidence("empty tenant and payee_did", tenant_id="", payee_did=""),
        evidence("tenant of 250 bytes", tenant_id="t" * 250),
        evidence("tenant of 251 bytes", tenant_id="t" * 251),
        evidence("payee_did with non-ASCII characters", payee_did="did:example:pâyée-😀"),
        evidence("payload 1", payload_json="1"),
        evidence("payload 1.0", payload_json="1.0", canon={"payload_json": "1.0"}),
    ]  # fmt: skip
    for text, _ in UUIDS[1:]:
        pairs.append(evidence(f"intent_id form {text!r}", intent_id=text))
    for text, canonical in TIMESTAMPS[1:]:
        pairs.append(evidence(f"submitted_at {text!r} (written {canonical})", submitted_at_rfc3339=text,
                              canon={"submitted_at": canonical}))  # fmt: skip
    for label, text, canonical in JSON_SUCCESS:
        canon = {"payload_json": canonical} if canonical else {}
        pairs.append(evidence(f"payload_json: {label}", payload_json=text, canon=canon))

    def both(name: str, error: tuple, **changes: Any) -> tuple[Case, Case]:
        return evidence(name, error, error, **changes)

    pairs += [
        evidence("secret_seed of 31 bytes, intent_id bad too", ("RuntimeError", "intent_id: invalid character: found `x` at 0"),
                 value_error(SEED_MESSAGE.format("secret_seed")), seed=PAYEE_SEED[:62], intent_id="x"),
        evidence("intent_id with spaces around it (not trimmed here)",
                 ("RuntimeError", "intent_id: invalid character: found ` ` at 0"),
                 value_error("intent_id: invalid character: found ` ` at 0"), intent_id=f" {U} "),
        evidence("bad payload and bad intent_id: each function its own order",
                 value_error("payload_json: EOF while parsing a value at line 1 column 0"),
                 value_error("intent_id: invalid character: found `x` at 0"), payload_json="", intent_id="x"),
        evidence("artifact 0X prefix",
                 ("RuntimeError", "artifacts_hex[0]: bad hex (Invalid character 'X' at position 1)"),
                 ("RuntimeError", "artifact[0]: artifact: bad hex (Invalid character 'X' at position 1)"),
                 artifacts_hex=["0X" + ART_1]),
        evidence("artifact of 63 digits, one not hex: parity first",
                 ("RuntimeError", "artifacts_hex[0]: bad hex (Odd number of digits)"),
                 ("RuntimeError", "artifact[0]: artifact: bad hex (Odd number of digits)"),
                 artifacts_hex=["g" + ART_1[:62]]),
        evidence("artifact of 62 digits",
                 ("RuntimeError", "artifacts_hex[0]: expected 32 bytes, got 31"),
                 ("RuntimeError", "artifact[0]: artifact: expected 32 bytes, got 31"),
                 artifacts_hex=[ART_1[:62]]),
        evidence("artifact empty",
                 ("RuntimeError", "artifacts_hex[0]: expected 32 bytes, got 0"),
                 ("RuntimeError", "artifact[0]: artifact: expected 32 bytes, got 0"),
                 artifacts_hex=[""]),
        evidence("artifact 0x alone",
                 ("RuntimeError", "artifacts_hex[0]: expected 32 bytes, got 0"),
                 ("RuntimeError", "artifact[0]: artifact: expected 32 bytes, got 0"),
                 artifacts_hex=["0x"]),
        evidence("third artifact of 16 bytes",
                 ("RuntimeError", "artifacts_hex[2]: expected 32 bytes, got 16"),
                 ("RuntimeError", "artifact[2]: artifact: expected 32 bytes, got 16"),
                 artifacts_hex=[ART_1, ART_AB, ART_CD[:32]]),
        evidence("artifact with a non-ASCII character",
                 ("RuntimeError", "artifacts_hex[0]: bad hex (Invalid character 'Ã' at position 0)"),
                 ("RuntimeError", "artifact[0]: artifact: bad hex (Invalid character 'Ã' at position 0)"),
                 artifacts_hex=["é" + ART_1[:62]]),
        evidence("bad second artifact and bad timestamp: each function its own order",
                 ("RuntimeError", "artifacts_hex[1]: expected 32 bytes, got 1"),
                 value_error("submitted_at_rfc3339: the 'year' component could not be parsed"),
                 artifacts_hex=[ART_1, "00"], submitted_at_rfc3339="x"),
        both("artifacts_hex given as a string",
             ("TypeError", "Can't extract `str` to `Vec`", "while processing 'artifacts_hex'"), artifacts_hex=ART_1),
        both("artifacts_hex element not a string",
             ("TypeError", "'int' object is not an instance of 'str'", "while processing 'artifacts_hex'"),
             artifacts_hex=[ART_1, 7]),
    ]  # fmt: skip
    for text, message in UUID_ERRORS[1:4]:
        pairs.append(evidence(f"intent_id {text!r}", ("RuntimeError", f"intent_id: {message}"),
                              value_error(f"intent_id: {message}"), intent_id=text))  # fmt: skip
    for text, message in JSON_ERRORS[::3]:
        pairs.append(evidence(f"payload_json {text[:24]!r}", value_error(f"payload_json: {message}"),
                              value_error(f"payload_json: {message}"), payload_json=text))  # fmt: skip
    for text, message in TIMESTAMP_ERRORS:
        pairs.append(evidence(f"submitted_at {text!r}", ("RuntimeError", f"submitted_at_rfc3339: {message}"),
                              value_error(f"submitted_at_rfc3339: {message}"), submitted_at_rfc3339=text))  # fmt: skip
    # A lone surrogate fails in the conversion of the argument, before either function runs.
    note = "while processing 'tenant_id'"
    msg = "'utf-8' codec can't encode character '\\ud800' in position 0: surrogates not allowed"
    pairs.append(evidence("tenant_id with a lone surrogate", ("UnicodeEncodeError", msg, note),
                          ("UnicodeEncodeError", msg, note), tenant_id="\ud800"))  # fmt: skip
    return pairs


# ------------------------------------------------------------ verification

DIGEST = hashlib.sha256(b"corvane export manifest 0001").digest()


def _sig_with_s(signature: bytes, s: int) -> bytes:
    return signature[:32] + s.to_bytes(32, "little")


def _small_order_signature(public: bytes, message: bytes, scalar: int) -> bytes:
    """A signature (R, S) that the cofactorless rule accepts for a small-order key.

    [S]B - [k]A depends on k only modulo the key's order, so try each residue.
    """
    a_point = edref.decode_point(public)
    order = edref.small_order(a_point)
    for j in range(order):
        r_enc = edref.encode_point(edref.point_sub(edref.scalar_mult(scalar, edref.BASE), edref.scalar_mult(j, a_point)))
        if edref.challenge(r_enc, public, message) % order == j:
            return r_enc + scalar.to_bytes(32, "little")
    raise AssertionError("no residue matched")


def _off_curve_key() -> bytes:
    y = 2
    while edref.recover_x(y, 0) is not None:
        y += 1
    return edref.encode_y(y)


def verify_cases() -> list[Case]:
    key = SigningKey(EXPORTER_SEED)
    pub = bytes(key.verify_key)
    sig = key.sign(DIGEST).signature
    other = bytes(SigningKey(bytes(32)).verify_key)
    flipped_digest = bytes([DIGEST[0] ^ 1]) + DIGEST[1:]
    s = int.from_bytes(sig[32:], "little")
    identity = bytes([1]) + bytes(31)
    identity_signed_x = bytes([1]) + bytes(30) + bytes([0x80])  # x = 0 with the sign bit set
    identity_wide = edref.encode_y(1 + edref.P)  # y = p + 1, taken modulo p
    order_2 = edref.encode_point(edref.SMALL_ORDER_POINTS[4])
    order_8 = edref.encode_point(edref.SMALL_ORDER_POINTS[1])
    scalar = 0x1234567 + 2**200
    r_of_scalar = edref.encode_point(edref.scalar_mult(scalar, edref.BASE))

    def case(name: str, digest: Any, signature: Any, public: Any, error: tuple | None = None) -> Case:
        def h(v: Any) -> Any:
            return v.hex() if isinstance(v, bytes) else v

        return Case(name, {"digest_hex": h(digest), "signature_hex": h(signature), "public_key_hex": h(public)}, error)

    cases = [
        case("valid", DIGEST, sig, pub),
        case("valid, hex in capitals", DIGEST.hex().upper(), sig.hex().upper(), pub.hex().upper()),
        case("valid, hex with white space around it", " " + DIGEST.hex() + "\n", "\t" + sig.hex() + "\r\n",
             "\u00a0" + pub.hex() + "\u3000"),
        case("digest with one bit flipped", flipped_digest, sig, pub),
        case("signature with one bit of R flipped", DIGEST, bytes([sig[0] ^ 1]) + sig[1:], pub),
        case("signature with one bit of S flipped", DIGEST, sig[:32] + bytes([sig[32] ^ 1]) + sig[33:], pub),
        case("S replaced by S + L", DIGEST, _sig_with_s(sig, s + edref.L), pub),
        case("another key", DIGEST, sig, other),
        case("small-order key (neutral point), R = [S]B", DIGEST, r_of_scalar + scalar.to_bytes(32, "little"), identity),
        case("small-order key (neutral point), other R", DIGEST, sig, identity),
        case("neutral point with the sign bit set", DIGEST, r_of_scalar + scalar.to_bytes(32, "little"),
             identity_signed_x),
        case("neutral point written with y = p + 1", DIGEST, r_of_scalar + scalar.to_bytes(32, "little"),
             identity_wide),
        case("small-order key of order 2", DIGEST, _small_order_signature(order_2, DIGEST, scalar), order_2),
        case("small-order key of order 8", DIGEST, _small_order_signature(order_8, DIGEST, scalar), order_8),
        case("all-zero signature, neutral point key", DIGEST, bytes(64), identity),
        case("S = 0 and R = the neutral point, neutral point key", DIGEST, identity + bytes(32), identity),
        case("S = 0 and R = the neutral point written with y = p + 1", DIGEST, identity_wide + bytes(32), identity),
        case("digest not hex", "0g", sig, pub, value_error("digest_hex: Invalid character 'g' at position 1")),
        case("digest of 63 digits", DIGEST.hex()[:63], sig, pub, value_error("digest_hex: Odd number of digits")),
        case("digest empty", "", sig, pub, value_error("digest_hex must decode to 32 bytes")),
        case("digest of 31 bytes, signature and key bad too", DIGEST.hex()[:62], "", "",
             value_error("digest_hex must decode to 32 bytes")),
        case("signature of 32 bytes", DIGEST, sig[:32], pub, value_error("signature_hex: signature error")),
        case("signature of 65 bytes", DIGEST, sig + b"\x00", pub, value_error("signature_hex: signature error")),
        case("signature of odd length", DIGEST, sig.hex()[:-1], pub, value_error("signature_hex: Odd number of digits")),
        case("signature with a 0x prefix", DIGEST, "0x" + sig.hex()[2:], pub,
             value_error("signature_hex: Invalid character 'x' at position 1")),
        case("public key of 31 bytes", DIGEST, sig, pub[:31], value_error("public_key_hex must decode to 32 bytes")),
        case("public key off the curve", DIGEST, sig, _off_curve_key(),
             value_error("public_key_hex: signature error: Cannot decompress Edwards point")),
        case("public key with a non-ASCII character", DIGEST, sig, "é" + pub.hex()[2:],
             value_error("public_key_hex: Invalid character 'Ã' at position 0")),
        case("digest_hex not a string", 1, sig, pub,
             ("TypeError", "'int' object is not an instance of 'str'", "while processing 'digest_hex'")),
        case("public_key_hex null", DIGEST, sig, None,
             ("TypeError", "'None' is not an instance of 'str'", "while processing 'public_key_hex'")),
    ]  # fmt: skip
    return cases


# ------------------------------------------------------------------ running


class Mismatch(Exception):
    pass


def native_args(args: dict[str, Any]) -> dict[str, Any]:
    return {k: (bytes.fromhex(v) if k in ref.SEED_PARAMETERS and isinstance(v, str) else v) for k, v in args.items()}


def call(function: str, args: dict[str, Any]) -> dict[str, Any]:
    try:
        return {"result": getattr(_native, function)(**native_args(args))}
    except Exception as e:
        error = {"type": type(e).__name__, "message": str(e)}
        if getattr(e, "__notes__", None):
            error["notes"] = list(e.__notes__)
        return {"error": error}


def expected_error(case: Case) -> dict[str, Any] | None:
    if case.error is None:
        return None
    return {"type": case.error[0], "message": case.error[1], **({"notes": [case.error[2]]} if case.error[2:] else {})}


def check_document(case: Case, result: str, oracle, signature_member: str, seed_parameter: str) -> dict[str, str]:
    """The document must be the oracle's, and its signature must cover the oracle's payload."""
    args = native_args(case.args)
    expected, payload = oracle(args, case.canon)
    document = json.loads(result)
    signature = base64.b64decode(document.pop(signature_member))
    if document != expected or list(document) != list(expected):
        raise Mismatch(f"{case.name}: document {document} differs from {expected}")
    try:
        VerifyKey(ref.public_key(args[seed_parameter])).verify(payload, signature)
    except Exception:
        raise Mismatch(f"{case.name}: {signature_member} does not verify over the rebuilt payload") from None
    if case.expect_hex is not None and payload.hex() != case.expect_hex:
        raise Mismatch(f"{case.name}: the payload differs from the stated bytes")
    return {"payload_hex": payload.hex()}


def check_evidence_bytes(case: Case, result: str) -> dict[str, str]:
    record = ref.evidence_oracle(case.args, case.canon)[1]
    if result != record.hex() or result != (case.expect_hex or result):
        raise Mismatch(f"{case.name}: evidence bytes differ from the rebuild")
    return {}


def check_verify(case: Case, result: bool) -> dict[str, str]:
    digest, signature, public = (bytes.fromhex(ref.trim(case.args[p])) for p in VERIFY_PARAMS)
    if edref.verify(public, digest, signature) is not result:
        raise Mismatch(f"{case.name}: the module says {result}, the reference does not")
    return {}


def intent_check(c: Case, r: str) -> dict[str, str]:
    return check_document(c, r, ref.intent_oracle, "principal_signature", "principal_seed")


def sign_check(c: Case, r: str) -> dict[str, str]:
    return check_document(c, r, ref.evidence_oracle, "payee_signature", "secret_seed")


# ------------------------------------------------------------------- files

FILES = {
    "create_intent.json": dict(
        function="build_signed_create_intent_json",
        parameters=INTENT_PARAMS,
        description="CreateIntentRequest bodies of POST /intents, signed by the principal over IntentSignV6. "
        "payload_hex is the IntentSignV6 record that principal_signature covers.",
    ),
    "create_policy_intent.json": dict(
        function="build_signed_create_intent_with_policy_binding_json",
        parameters=POLICY_PARAMS,
        description="CreateIntentRequest bodies bound to a managed policy, signed over IntentSignV7. "
        "payload_hex is the IntentSignV7 record that principal_signature covers.",
    ),
    "sign_evidence.json": dict(
        function="sign_payee_evidence_binding_json",
        parameters=SIGN_EVIDENCE_PARAMS,
        description="Evidence submission bodies of POST /intents/{intent_id}/evidence, signed by the payee. "
        "payload_hex is the EvidenceSignV1 record that payee_signature covers.",
    ),
    "evidence_bytes.json": dict(
        function="encode_evidence_sign_v1_hex",
        parameters=EVIDENCE_PARAMS,
        description="EvidenceSignV1 records as lower-case hex; the same inputs as sign_evidence.json, "
        "with their own order of checks and exception types.",
    ),
    "verify_digest.json": dict(
        function="verify_ed25519_sha256_hex",
        parameters=VERIFY_PARAMS,
        description="Ed25519 verification over a 32-byte digest: cofactorless, lenient key decoding, "
        "small-order keys accepted, S must be below the group order.",
    ),
}


def build() -> dict[str, str]:
    """The text of every golden file; raises Mismatch when a check fails."""
    pairs = evidence_case_pairs()
    tables = {
        "create_intent.json": (create_intent_cases(), intent_check),
        "create_policy_intent.json": (create_policy_intent_cases(), intent_check),
        "sign_evidence.json": ([sign for _, sign in pairs], sign_check),
        "evidence_bytes.json": ([plain for plain, _ in pairs], check_evidence_bytes),
        "verify_digest.json": (verify_cases(), check_verify),
    }
    texts = {}
    for filename, (cases, check) in tables.items():
        if len({c.name for c in cases}) != len(cases):
            raise Mismatch(f"{filename}: two cases with one name")
        out_cases = []
        for case in cases:
            outcome = call(FILES[filename]["function"], case.args)
            if outcome.get("error") != expected_error(case):
                raise Mismatch(f"{case.name}: expected {expected_error(case)}, got {outcome}")
            entry: dict[str, Any] = {"name": case.name, "args": case.args}
            if "result" in outcome:
                entry |= check(case, outcome["result"]) | {"result": outcome["result"]}
            else:
                entry["error"] = outcome["error"]
            out_cases.append(entry)
        texts[filename] = json.dumps({**FILES[filename], "cases": out_cases}, indent=1, ensure_ascii=True) + "\n"
    return texts


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="compare with the files instead of writing them")
    args = parser.parse_args()
    try:
        texts = build()
    except Mismatch as e:
        print(f"make_vectors: {e}", file=sys.stderr)
        return 1
    changed = []
    for filename, text in texts.items():
        path = VECTORS / filename
        if not path.exists() or path.read_text() != text:
            changed.append(filename)
            if not args.check:
                VECTORS.mkdir(parents=True, exist_ok=True)
                path.write_text(text)
    if args.check:
        print("up to date" if not changed else f"would change: {', '.join(changed)}")
        return 1 if changed else 0
    print(f"wrote {', '.join(changed) or 'nothing (all up to date)'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""The corvane-kit command: the native functions' results, and one-line failures.

Expected outputs come from the native functions called on the same inputs
(read from the example files with the json module) and from PyNaCl; messages
are written by hand. main(argv) runs in-process; exit statuses and write
failures run the installed command in a real process. In argv and messages,
"@name" stands for the path of a file of FILES, written for each test.
"""

import base64
import hashlib
import io
import json
import os
import pathlib
import re
import shlex
import stat
import subprocess
import sys

import pytest
from nacl.signing import SigningKey

from corvane_kit import _native as native
from corvane_kit import _api, cli
from corvane_kit._native_call import NativeTarget

ROOT = pathlib.Path(__file__).resolve().parent.parent
EXAMPLES = ROOT / "examples"
PRINCIPAL = bytes.fromhex((EXAMPLES / "seeds/principal.example.hex").read_text())
PAYEE = bytes.fromhex((EXAMPLES / "seeds/payee.example.hex").read_text())
PAYEE_KEY = bytes(SigningKey(PAYEE).verify_key)
SECRET = "5e" * 32  # a seed value that must never be echoed
SIGNER = SigningKey(bytes(range(100, 132)))
DIGEST = hashlib.sha256(b"audit export").digest()
SIGNATURE, PUBLIC = SIGNER.sign(DIGEST).signature, bytes(SIGNER.verify_key)
B64 = base64.b64encode
INTENT_REQUEST = json.loads((EXAMPLES / "intent.json").read_text())

# name: (content, mode); "principal" and "payee" are the example seeds, private.
FILES = {
    "principal": (PRINCIPAL.hex(), 0o600), "payee": (PAYEE.hex(), 0o600), "payee_raw": (PAYEE, 0o600),
    "payee_spaced": (b" \t" + PAYEE.hex().upper().encode() + b"\r\n", 0o600),
    "key_b64": (B64(PAYEE_KEY) + b"\n", 0o644), "short": (b"5e5e", 0o600),
    "sig_raw": (SIGNATURE, 0o644), "sig_hex": (" " + SIGNATURE.hex().upper() + "\n", 0o644), "pub_b64": (B64(PUBLIC), 0o644),
    "pub_g": ("g" + PUBLIC.hex()[1:], 0o644),
    "empty": (b"", 0o644), "tools": ("[]", 0o644), "latin1": ('{"a": "\xe9"}'.encode("latin-1"), 0o644),
    "payload": ('  {"x": "\\u00e9", "x": 2, "f": [1.0, -0, 1e2]}\n', 0o644),
    "spelled": (re.sub(r'"payload_json": \{.*\},', '"payload_json": {"x": [4.454981741040901610e-10, 7]},',
                       (EXAMPLES / "evidence.json").read_text()), 0o644),
    "key_request": ((EXAMPLES / "intent.json").read_text().replace("{", '{"payee_public_key": "%s", ' % PAYEE_KEY.hex(), 1),
                    0o644),
    "bad_member": (json.dumps(INTENT_REQUEST).replace('"max_cents": 5000', '"max_cents": 5e400'), 0o644),
    "bad_text": (json.dumps({**INTENT_REQUEST, "budget_json": "[1,\n]"}), 0o644),
    "misread": (json.dumps({**INTENT_REQUEST, "budget_json": "[2.2790121708605243e274]"}), 0o644),
    "intent_body": (lambda: create(), 0o644), "policy_body": (lambda: policy(), 0o644), "evidence_body": (lambda: sign(), 0o644),
    "predicate": (lambda: example_args("policy-intent.json")["materialized_predicate_json"], 0o644),
}  # fmt: skip


def example_args(name, **changes):
    """The native arguments of a request file: JSON documents as text, the rest as they are."""
    request = json.loads((EXAMPLES / name).read_text())
    args = {k: (json.dumps(v) if k.endswith("_json") and not isinstance(v, str) else v) for k, v in request.items()}
    if "principal_did" in args:
        args.setdefault("predicate_ref", "")  # the command's default
    return {**args, **changes}


def create(**changes):
    return native.build_signed_create_intent_json(**example_args("intent.json", **changes), principal_seed=PRINCIPAL,
                                                  payee_seed=PAYEE)


def policy():
    return native.build_signed_create_intent_with_policy_binding_json(
        **example_args("policy-intent.json"), principal_seed=PRINCIPAL, payee_seed=PAYEE)


def sign(**changes):
    return native.sign_payee_evidence_binding_json(**example_args("evidence.json", **changes), secret_seed=PAYEE)


def record(**changes):
    return native.encode_evidence_sign_v1_hex(**example_args("evidence.json", **changes))


@pytest.fixture
def paths(tmp_path):
    out = {}
    for name, (content, mode) in FILES.items():
        path = tmp_path / name
        content = content() if callable(content) else content
        path.write_bytes(content if isinstance(content, bytes) else content.encode())
        path.chmod(mode)
        out["@" + name] = str(path)
    out["@missing"] = str(tmp_path / "missing")
    return out


@pytest.fixture
def run(capsys, monkeypatch, paths):
    """main(argv) in-process, with "@name" replaced and optional standard input; (status, stdout, stderr)."""

    def go(argv, stdin=b""):
        monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO(stdin)))
        status = cli.main([re.sub(r"@\w+", lambda m: paths.get(m[0], m[0]), str(a)) for a in argv])
        return (status, *capsys.readouterr())

    return go


SEEDS = ["--principal-seed-file", "@principal", "--payee-seed-file", "@payee"]
INTENT, EVIDENCE = ["create-intent", "--request", EXAMPLES / "intent.json"], ["--request", EXAMPLES / "evidence.json"]

# (argv, standard input, the expected output, and status when not 0): options override the request file, which
# may be standard input.
RESULTS = [
    (INTENT + SEEDS, b"", create),
    (["create-policy-intent", "--request", EXAMPLES / "policy-intent.json", *SEEDS], b"", policy),
    (["sign-evidence", *EVIDENCE, "--seed-file", "@payee"], b"", sign),
    (["evidence-bytes", *EVIDENCE], b"", record),
    (INTENT + SEEDS + ["--amount-cents", "-7", "--predicate-ref", " refs/x ", "--tenant-id", ""], b"",
     lambda: create(amount_cents=-7, predicate_ref=" refs/x ", tenant_id="")),
    (["evidence-bytes", *EVIDENCE, "--no-artifacts"], b"", lambda: record(artifacts_hex=[])),
    (["evidence-bytes", *EVIDENCE, "--artifact", " 0x" + "CD" * 32], b"", lambda: record(artifacts_hex=[" 0x" + "CD" * 32])),
    (["evidence-bytes", *EVIDENCE, "--payload", "@payload"], b"", lambda: record(payload_json=FILES["payload"][0])),
    # The module reads this number otherwise than a correctly rounded parse: re-spelling it would change the digest.
    (["evidence-bytes", "--request", "@spelled"], b"", lambda: record(payload_json='{"x": [4.454981741040901610e-10, 7]}')),
    (["sign-evidence", "--request", "-", "--seed-file", "@payee"], (EXAMPLES / "evidence.json").read_bytes(), sign),
    (["sign-evidence", *EVIDENCE, "--seed-file", "-"], PAYEE.hex().encode() + b"\n", sign),
    (["sign-evidence", *EVIDENCE, "--seed-file", "@payee_spaced"], b"", sign),
    (INTENT + SEEDS[:2] + ["--payee-public-key", B64(PAYEE_KEY).decode()], b"", create),
    (["create-policy-intent", "--request", EXAMPLES / "policy-intent.json", *SEEDS[:2], "--payee-public-key-file",
      "@key_b64"], b"", policy),
    (["create-intent", "--request", "@key_request", *SEEDS[:2]], b"", create),
    (["public-key", "--seed-file", "@payee_raw", "--format", "hex"], b"", PAYEE_KEY.hex),
    (["public-key", "--seed-env", "CK_PAYEE", "--format", "base64"], b"", lambda: B64(PAYEE_KEY).decode()),
    (["check-intent", "--body", "@intent_body", "--tenant-id", "tenant-8"], b"",
     lambda: (1, "principal_signature: does not verify over the rebuilt IntentSignV6 payload")),
    (["check-intent", "--body", "@policy_body", "--tenant-id", "tenant-7", "--policy-digest",
      example_args("policy-intent.json")["policy_content_digest_hex"], "--materialized-predicate", "@predicate"], b"",
     lambda: "ok"),
    (["verify-digest", "--digest-hex", DIGEST.hex(), "--signature-file", "@sig_raw", "--public-key-file", "@pub_b64"], b"",
     lambda: "true"),
    (["verify-digest", "--request", "-", "--signature-file", "@sig_hex"],
     json.dumps({"digest_hex": DIGEST.hex(), "public_key_hex": B64(PUBLIC).decode()}).encode(), lambda: "true"),
    (["verify-digest", "--request", "-", "--public-key", f" {PUBLIC.hex()}\n", "--digest-hex", "00" * 32],
     json.dumps({"signature_hex": B64(SIGNATURE).decode()}).encode(), lambda: (1, "false")),
    (["check-evidence", "--body", "@evidence_body", "--tenant-id", "tenant-7", "--intent-id",
      "123e4567-e89b-12d3-a456-426614174000"], b"", lambda: "ok"),
]  # fmt: skip


@pytest.mark.parametrize("argv, stdin, expected", RESULTS)
def test_results_are_the_native_ones(run, monkeypatch, argv, stdin, expected):
    monkeypatch.setenv("CK_PAYEE", f" {PAYEE.hex()}\n")
    status, output = expected() if isinstance(expected(), tuple) else (0, expected())
    assert run(argv, stdin) == (status, output + "\n", "")


def test_new_seed_writes_a_private_file_and_prints_its_key(run, tmp_path):
    old_umask = os.umask(0o022)
    try:
        first, second = run(["new-seed", "--out", tmp_path / "a"]), run(["new-seed", "--out", tmp_path / "b"])
    finally:
        os.umask(old_umask)
    text = (tmp_path / "a").read_text()
    assert stat.S_IMODE((tmp_path / "a").stat().st_mode) == 0o600 and len(text) == 65 and text.endswith("\n")
    assert first == (0, B64(bytes(SigningKey(bytes.fromhex(text)).verify_key)).decode() + "\n", "")
    assert second[1] != first[1]


ERRORS = [
    # (argv, standard input, the message after "corvane-kit: error: ")
    (["verify-digest", "--digest-hex", "0g", "--signature", "", "--public-key", ""], b"",
     "digest_hex: Invalid character 'g' at position 1"),
    (["verify-digest", "--digest-hex", DIGEST.hex(), "--signature", SIGNATURE.hex(), "--public-key-file", "@pub_g"],
     b"", "public_key_hex: Invalid character 'g' at position 0 (in @pub_g, given by --public-key-file)"),
    (["sign-evidence", "--request", "-", "--seed-file", "-"], b"{}",
     "only one argument may read standard input ('-'); got --request and --seed-file"),
    (["sign-evidence", *EVIDENCE, "--seed-file", "@missing"], b"", "--seed-file: cannot read @missing: No such file or directory"),
    (["sign-evidence", *EVIDENCE, "--seed-file", SECRET], b"", "--seed-file takes the path of a seed file, not a seed"),
    (["sign-evidence", *EVIDENCE, "--seed-env", "CK_BAD"], b"", "--seed-env: environment variable CK_BAD must hold 64 hex digits"),
    (["sign-evidence", *EVIDENCE], b"", "missing secret_seed: give --seed-file FILE or --seed-env NAME"),
    (["sign-evidence", *EVIDENCE, "--seed", SECRET], b"",
     "unrecognized arguments: --seed (1 other value, not shown); a seed is never given on the command line: use "
     "--seed-file or --seed-env; see 'corvane-kit sign-evidence --help'"),
    (["evidence-bytes", *EVIDENCE, "--workers", "2"], b"", "--workers is for --jsonl"),
    (["sign-evidence", *EVIDENCE, SECRET], b"", "unrecognized arguments (1 other value, not shown)"),
    (["evidence-bytes", "--request", "-"], b'{"tenant_id": "t",',
     "--request standard input: not a JSON text: Expecting property name enclosed in double quotes"),
    (["evidence-bytes", "--request", "-"], b'{"payload_json": {"a": [{"b": 1, "c": {}, "b": 2}]}}',
     "--request standard input: key 'b' appears twice in payload_json.a[0]"),
    (["evidence-bytes", "--request", "-"], b'{"tenant": "t"}', "--request standard input: unknown member 'tenant' for evidence-bytes"),
    (["evidence-bytes", "--request", "-"], b'{"secret_seed": "%s"}' % SECRET.encode(),
     "--request standard input: seeds are not read from request files (secret_seed)"),
    (INTENT + SEEDS + ["--budget", "@empty"], b"",
     "budget_json: EOF while parsing a value at line 1 column 0 (in @empty, given by --budget)"),
    (INTENT + SEEDS + ["--request", "@bad_member"], b"", "budget_json: number out of range at line 1 column 18 (in "
     "member budget_json of request file @bad_member, counting within its value on one line)"),
    (INTENT + SEEDS + ["--request", "@bad_text"], b"", "budget_json: trailing comma at line 2 column 1 (in member "
     "budget_json of request file @bad_text, counting within its text)"),
    (INTENT + SEEDS + ["--allowed-tools", "@tools"], b"", "allowed_tools must be non-empty (in @tools, given by "
     "--allowed-tools)"),
    (["evidence-bytes", *EVIDENCE, "--intent-id", "\n"], b"", "intent_id: invalid character: found `\\n` at 0"),
    (INTENT + SEEDS + ["--amount-cents", str(2**63)], b"",
     "Python int too large to convert to C long (while processing 'amount_cents')"),
    (INTENT + SEEDS + ["--budget", "@latin1"], b"", "--budget: @latin1 is not UTF-8 text (byte 7)"),
    (INTENT + SEEDS[:2], b"", "missing the payee: give --payee-seed-file FILE or --payee-seed-env NAME, or its public "
     "key with --payee-public-key TEXT or --payee-public-key-file FILE (or payee_public_key in the request file)"),
    (INTENT + SEEDS + ["--payee-public-key", PAYEE_KEY.hex()], b"", "give the payee's seed or its public key, not "
     "both (got --payee-seed-file and --payee-public-key)"),
    (["create-intent", "--request", "@misread", *SEEDS], b"", "budget_json: the number 2.2790121708605247e+274 reads "
     "back as 2.279012170860525e+274, so the service could never verify the body"),
    (["new-seed", "--out", "@payee"], b"", "--out: @payee already exists; new-seed never replaces a file"),
    (["new-seed", "--out", "-"], b"", "--out takes the path of a new file: a seed is never written to standard output"),
    (["sign-evidence", *EVIDENCE, "--seed-file", "@short"], b"", "--seed-file @short must hold 32 raw bytes or 64 hex digits"),
    ([], b"", "choose a command: create-intent, create-policy-intent, sign-evidence, evidence-bytes, verify-digest"),
]  # fmt: skip


@pytest.mark.parametrize("argv, stdin, message", ERRORS)
def test_failures_are_one_line(run, paths, monkeypatch, argv, stdin, message):
    monkeypatch.setenv("CK_BAD", SECRET[:40])
    status, out, err = run(argv, stdin)
    assert (status, out) == (2, "")
    assert err.endswith("\n") and err.count("\n") == 1, err
    assert err.startswith("corvane-kit: error: " + re.sub(r"@[\w/]+", lambda m: paths.get(m[0], paths["@missing"] + m[0][8:]), message))
    assert SECRET[:32] not in err


EVIDENCE_REQUEST = json.loads((EXAMPLES / "evidence.json").read_text())
GOOD, BY_KEY = json.dumps(EVIDENCE_REQUEST), json.dumps({**INTENT_REQUEST, "payee_public_key": B64(PAYEE_KEY).decode()})
VERIFY_LINES = [json.dumps({"digest_hex": digest.hex(), "signature_hex": SIGNATURE.hex(), "public_key_hex": PUBLIC.hex()})
                for digest in (DIGEST, bytes(32))]


def line(request=EVIDENCE_REQUEST, drop=(), **changes):
    return json.dumps({**{k: v for k, v in request.items() if k not in drop}, **changes})


# (command and options, input lines, status, per output line: its number and the single call's result, or the
# error's type and message)
JSONL = [
    (["sign-evidence", "--seed-file", "@payee"], [GOOD, "", "  ", GOOD], 0, [(1, sign), (4, sign)]),
    (["evidence-bytes"], [line(tenant_id=5), GOOD, line(intent_id="nope"), line(drop="payee_did"), b"\xff\xfe"], 2, [
        (1, ("RequestError", "line 1: member tenant_id must be a string")),
        (2, record),
        (3, ("RuntimeError", "intent_id: invalid character: found `n` at 0 (in member intent_id of line 3)")),
        (4, ("RequestError", "missing payee_did: give --payee-did, or payee_did in the request line")),
        (5, ("RequestError", "line 5: not UTF-8 text (byte 0)")),
    ]),
    (["sign-evidence", "--seed-file", "@payee", "--tenant-id", "t-9"], [line(payload_json='{"a":'), GOOD], 2, [
        (1, ("ValueError", "payload_json: EOF while parsing a value at line 1 column 5 "
                           "(in member payload_json of line 1, counting within its text)")),
        (2, lambda: sign(tenant_id="t-9")),
    ]),
    (["create-intent", "--principal-seed-file", "@principal"],
     [BY_KEY, line(json.loads(BY_KEY), budget_json={"v": 2.2790121708605247e274}), json.dumps(INTENT_REQUEST)], 2, [
        (1, create),
        (2, ("ValueError", "budget_json: the number 2.279012170860525e+274 reads back as 2.2790121708605247e+274, "
                           "so the service could never verify the body (in member budget_json of line 2, counting "
                           "within its value on one line)")),
        (3, ("RequestError", "missing the payee: give --payee-seed-file FILE or --payee-seed-env NAME, or its public "
                             "key with --payee-public-key TEXT or --payee-public-key-file FILE (or payee_public_key "
                             "in the request line)")),
    ]),
    (["verify-digest"], VERIFY_LINES[:1] * 2, 0, [(1, lambda: True), (2, lambda: True)]),
    (["verify-digest"], VERIFY_LINES[::-1], 1, [(1, lambda: False), (2, lambda: True)]),  # any invalid signature: 1
]  # fmt: skip


@pytest.mark.parametrize("argv, lines, status, expected", JSONL)
def test_json_lines_give_one_line_per_request(run, argv, lines, status, expected):
    stdin = b"\n".join(x if isinstance(x, bytes) else x.encode() for x in lines)
    result = run([argv[0], "--jsonl", "-", "--workers", "2", *argv[1:]], stdin)
    assert result[0::2] == (status, "")
    assert [json.loads(x) for x in result[1].splitlines()] == [
        {"line": n, "result": e()} if callable(e) else {"line": n, "error": {"type": e[0], "message": e[1]}}
        for n, e in expected]


# (mode, owner, accepted): the owner is this process, or another user (uid 65534).
@pytest.mark.parametrize("mode, owner, accepted", [
    (0o600, "self", True), (0o400, "self", True), (0o640, "self", False), (0o604, "self", False),
(0o640, "other", True), (0o660, "other", False)])  # fmt: skip
def test_seed_file_must_be_private(run, paths, tmp_path, mode, owner, accepted):
    os.chmod(paths["@payee"], mode)
    if owner == "other":
        if os.geteuid() != 0:
            pytest.skip("giving a file to another user needs root")
        os.chown(paths["@payee"], 65534, 65534)
    os.symlink(paths["@payee"], tmp_path / "seed link")
    for path in (paths["@payee"], tmp_path / "seed link"):
        status, _, err = run(["sign-evidence", *EVIDENCE, "--seed-file", path])
        assert status == (0 if accepted else 2)
        assert accepted or f"--seed-file: permissions {mode:04o} for {path} are too open: a seed file must be " \
                           f"private; run: chmod 600 {shlex.quote(str(path))}" in err  # fmt: skip


class PanicException(BaseException):  # as pyo3_runtime's, it derives from BaseException
    pass


def test_internal_failure_is_one_line(run, monkeypatch):
    def panic(*args):
        raise PanicException("signature operation failed: broken invariant")

    monkeypatch.setattr(_api, "_EVIDENCE_RECORD", NativeTarget(panic, panic))
    assert run(["evidence-bytes", *EVIDENCE]) == (
        2, "", "corvane-kit: error: internal failure (PanicException): signature operation failed: broken invariant\n")


@pytest.mark.parametrize("command", ["create-intent", "create-policy-intent", "sign-evidence", "evidence-bytes",
                                     "verify-digest", "public-key"])
def test_first_help_example_runs_and_no_option_takes_a_seed(run, monkeypatch, tmp_path, command):
    status, out, err = run([command, "--help"])
    assert (status, err) == (0, "")
    assert all(o.endswith(("-file", "-env")) for o in re.findall(r"--[a-z-]*seed[a-z-]*", out))
    argv = shlex.split(out.split("\nexamples:\n", 1)[1].strip().split("\n\n")[0].replace("\\\n", " "))
    assert argv[:2] == ["corvane-kit", command]
    monkeypatch.chdir(ROOT)
    # The example seeds, as private copies: git checks them out readable by all, and such a seed file is refused.
    for i, arg in enumerate(argv):
        if arg.endswith(".example.hex"):
            argv[i] = tmp_path / pathlib.Path(arg).name
            argv[i].write_bytes((ROOT / arg).read_bytes())
            argv[i].chmod(0o600)
    status, out, err = run(argv[1:])
    assert (status, err) == (0, "") and out.strip()


def stdout_closed():
    os.close(1)


@pytest.mark.parametrize("launcher, digest, stdout, expected", [
    ("script", DIGEST, "pipe", (0, b"true\n", b"")),
    ("module", bytes(32), "pipe", (1, b"false\n", b"")),
    ("script", b"\0", "pipe", (2, b"", b"corvane-kit: error: digest_hex must decode to 32 bytes\n")),
    ("script", DIGEST, "/dev/full", (2, b"", b"corvane-kit: error: cannot write the result to standard output: "
                                              b"No space left on device\n")),
    ("script", bytes(32), "closed", (2, b"", b"corvane-kit: error: cannot write the result: standard output is closed\n")),
    ("script", DIGEST, "broken pipe", (141, b"", b"")),
])  # fmt: skip
def test_exit_status_and_write_failures(launcher, digest, stdout, expected):
    # A result that cannot be written is an error (2), never "invalid" (1), and
    # never a traceback or an "Exception ignored" at the interpreter's exit.
    command = [pathlib.Path(sys.executable).parent / "corvane-kit"] if launcher == "script" else [
        sys.executable, "-m", "corvane_kit"]  # fmt: skip
    argv = [*command, "verify-digest", "--signature", B64(SIGNATURE).decode(), "--public-key", PUBLIC.hex(),
            "--digest-hex", digest.hex()]  # fmt: skip
    read_end, write_end = os.pipe()
    os.close(read_end)
    with open("/dev/full", "wb") as full:
        target = {"pipe": subprocess.PIPE, "/dev/full": full, "broken pipe": write_end, "closed": None}[stdout]
        done = subprocess.run(argv, stdout=target, stderr=subprocess.PIPE, check=False,
                              preexec_fn=stdout_closed if stdout == "closed" else None)  # fmt: skip
    os.close(write_end)
    assert (done.returncode, done.stdout or b"", done.stderr) == expected

"""The corvane-kit command: same results as the native functions, clear failures.

Expected outputs come from calling corvane_kit._native directly with the same
inputs, read here from the example files with the standard json module, and,
for verify-digest, from PyNaCl. Most cases run main(argv) in-process; write
failures and exit statuses run the command in a real process.
"""

import base64
import hashlib
import io
import json
import os
import pathlib
import re
import shlex
import subprocess
import sys

import pytest
from nacl.signing import SigningKey

from corvane_kit import _native as native
from corvane_kit import _api, cli
from corvane_kit._native_call import NativeTarget

ROOT = pathlib.Path(__file__).resolve().parent.parent
EXAMPLES = ROOT / "examples"
SEEDS = EXAMPLES / "seeds"
PRINCIPAL = bytes.fromhex((SEEDS / "principal.example.hex").read_text())
PAYEE = bytes.fromhex((SEEDS / "payee.example.hex").read_text())
PRINCIPAL_FILE = str(SEEDS / "principal.example.hex")  # replaced by a private copy in run()
PAYEE_FILE = str(SEEDS / "payee.example.hex")
INTENT_SEEDS = ["--principal-seed-file", PRINCIPAL_FILE, "--payee-seed-file", PAYEE_FILE]
COMMANDS = ["create-intent", "create-policy-intent", "sign-evidence", "evidence-bytes", "verify-digest"]
SECRET = "5e" * 32  # a seed value that must never be echoed

# command, request file, native function, seed options, seed arguments
EXAMPLE_RUNS = [
    ("create-intent", "intent.json", native.build_signed_create_intent_json, INTENT_SEEDS,
     {"principal_seed": PRINCIPAL, "payee_seed": PAYEE}),
    ("create-policy-intent", "policy-intent.json", native.build_signed_create_intent_with_policy_binding_json,
     INTENT_SEEDS, {"principal_seed": PRINCIPAL, "payee_seed": PAYEE}),
    ("sign-evidence", "evidence.json", native.sign_payee_evidence_binding_json, ["--seed-file", PAYEE_FILE],
     {"secret_seed": PAYEE}),
    ("evidence-bytes", "evidence.json", native.encode_evidence_sign_v1_hex, [], {}),
]  # fmt: skip


def example_args(name, **changes):
    """The native arguments of a request file: JSON documents as text, the rest as they are."""
    request = json.loads((EXAMPLES / name).read_text())
    args = {k: (json.dumps(v) if k.endswith("_json") and not isinstance(v, str) else v) for k, v in request.items()}
    if "principal_did" in args:
        args.setdefault("predicate_ref", "")  # the command's default
    return {**args, **changes}


@pytest.fixture(scope="session")
def private_seeds(tmp_path_factory):
    """Private copies of the example seeds: git checks them out readable by all, and such a seed file is refused."""
    directory = tmp_path_factory.mktemp("seeds")
    copies = {}
    for path in SEEDS.glob("*.hex"):
        copy = directory / path.name
        copy.write_bytes(path.read_bytes())
        copy.chmod(0o600)
        copies[str(path)] = copies[str(path.relative_to(ROOT))] = str(copy)
    return copies


@pytest.fixture
def run(capsys, monkeypatch, private_seeds):
    """main(argv) in-process, with optional standard input; returns (status, stdout, stderr)."""

    def go(argv, stdin=b""):
        monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO(stdin)))
        status = cli.main([private_seeds.get(str(a), str(a)) for a in argv])
        out, err = capsys.readouterr()
        return status, out, err

    return go


def assert_one_line_error(result, *fragments):
    status, out, err = result
    assert status == 2, err
    assert out == ""
    assert err.startswith("corvane-kit: error: ") and err.endswith("\n") and err.count("\n") == 1, err
    for fragment in fragments:
        assert fragment in err


def write(tmp_path, name, data, mode=0o600):
    path = tmp_path / name
    path.write_bytes(data if isinstance(data, bytes) else data.encode("utf-8"))
    path.chmod(mode)
    return str(path)


# ------------------------------------------------------------- round trips


@pytest.mark.parametrize("command, request_file, function, seed_options, seeds", EXAMPLE_RUNS, ids=str)
def test_example_request_gives_the_native_result(run, command, request_file, function, seed_options, seeds):
    result = run([command, "--request", EXAMPLES / request_file, *seed_options])
    assert result == (0, function(**example_args(request_file), **seeds) + "\n", "")


@pytest.mark.parametrize("command, request_file, function, seed_options, seeds", EXAMPLE_RUNS, ids=str)
def test_options_alone_give_the_same_result(run, tmp_path, command, request_file, function, seed_options, seeds):
    # Each parameter's option as the help text documents it: "--budget FILE  [budget_json] ...".
    flags = {name: flag for flag, name in re.findall(r"(--[\w-]+) [A-Z]+\s+\[(\w+)\]", run([command, "--help"])[1])}
    args = {k: v for k, v in example_args(request_file).items() if v != ""}  # predicate_ref defaults to empty
    argv = [command, *seed_options]
    for name, value in args.items():
        if name == "artifacts_hex":
            argv += [x for a in value for x in (flags[name], a)]
        elif name.endswith("_json"):
            argv += [flags[name], write(tmp_path, name, value)]
        else:
            argv.append(f"{flags[name]}={value}")
    assert run(argv) == (0, function(**example_args(request_file), **seeds) + "\n", "")


@pytest.mark.parametrize(
    "extra_argv, changes",
    [
        (["--amount-cents", "-7"], {"amount_cents": -7}),
        (["--predicate-ref", " refs/x "], {"predicate_ref": " refs/x "}),
        (["--tenant-id", ""], {"tenant_id": ""}),
    ],
)  # fmt: skip
def test_option_overrides_request_member(run, extra_argv, changes):
    expected = native.build_signed_create_intent_json(
        **example_args("intent.json", **changes), principal_seed=PRINCIPAL, payee_seed=PAYEE
    )
    assert run(["create-intent", "--request", EXAMPLES / "intent.json", *INTENT_SEEDS, *extra_argv]) == (
        0, expected + "\n", "")  # fmt: skip


@pytest.mark.parametrize(
    "artifact_argv, artifacts",
    [(["--no-artifacts"], []), (["--artifact", "0x" + "CD" * 32, "--artifact", " " + "11" * 32], ["0x" + "CD" * 32, " " + "11" * 32])],
)  # fmt: skip
def test_artifact_options_replace_the_request_list(run, artifact_argv, artifacts):
    expected = native.encode_evidence_sign_v1_hex(**example_args("evidence.json", artifacts_hex=artifacts))
    assert run(["evidence-bytes", "--request", EXAMPLES / "evidence.json", *artifact_argv]) == (0, expected + "\n", "")


@pytest.mark.parametrize("text", ['{"b": 1, "a": [1.0, -0, 1e2]}', '  {"x": "\\u00e9", "x": 2}\n', "null"])
def test_document_file_is_passed_as_written(run, tmp_path, text):
    expected = native.encode_evidence_sign_v1_hex(**example_args("evidence.json", payload_json=text))
    argv = ["evidence-bytes", "--request", EXAMPLES / "evidence.json", "--payload", write(tmp_path, "p.json", text)]
    assert run(argv) == (0, expected + "\n", "")


@pytest.mark.parametrize("member", ['"{\\"total\\": 1499.50, \\"total\\": 1500}"', '{"x": [4.454981741040901610e-10, 7]}'])
def test_request_member_keeps_its_text_and_number_spelling(run, tmp_path, member):
    # The module reads that number differently from a correctly rounded parse,
    # so re-spelling it (as Python's json would) would change the signed digest.
    request = re.sub(r'"payload_json": \{.*\},', f'"payload_json": {member},', (EXAMPLES / "evidence.json").read_text())
    text = json.loads(member) if member.startswith('"') else member
    expected = native.encode_evidence_sign_v1_hex(**example_args("evidence.json", payload_json=text))
    assert run(["evidence-bytes", "--request", write(tmp_path, "r.json", request)]) == (0, expected + "\n", "")


@pytest.mark.parametrize(
    "argv, stdin",
    [
        (["sign-evidence", "--request", "-", "--seed-file", PAYEE_FILE], (EXAMPLES / "evidence.json").read_bytes()),
        (["sign-evidence", "--request", EXAMPLES / "evidence.json", "--seed-file", "-"], PAYEE.hex().encode() + b"\n"),
    ],
    ids=["request", "seed"],
)
def test_standard_input(run, argv, stdin):
    expected = native.sign_payee_evidence_binding_json(**example_args("evidence.json"), secret_seed=PAYEE)
    assert run(argv, stdin=stdin) == (0, expected + "\n", "")


def test_only_one_argument_may_read_standard_input(run):
    argv = ["sign-evidence", "--request", "-", "--seed-file", "-"]
    assert_one_line_error(run(argv, stdin=b"{}"), "only one argument may read standard input", "--request", "--seed-file")


# ---------------------------------------------------------------- verify-digest

SIGNER = SigningKey(bytes(range(100, 132)))
DIGEST = hashlib.sha256(b"audit export").digest()
SIGNATURE = SIGNER.sign(DIGEST).signature
PUBLIC = bytes(SIGNER.verify_key)


def forms(raw):
    """Every accepted spelling of a key or signature: options take text, files also raw bytes."""
    b64 = base64.b64encode(raw).decode()
    return [("option", raw.hex()), ("option", f" {b64}\n"), ("file", raw), ("file", raw.hex().upper() + "\n"),
            ("file", b64.encode()), ("request", b64)]  # fmt: skip


@pytest.mark.parametrize("signature_form", forms(SIGNATURE), ids=str)
@pytest.mark.parametrize("key_form", forms(PUBLIC), ids=str)
@pytest.mark.parametrize("digest, expected", [(DIGEST, (0, "true\n", "")), (bytes(32), (1, "false\n", ""))])
def test_verify_accepts_every_encoding(run, tmp_path, signature_form, key_form, digest, expected):
    SIGNER.verify_key.verify(DIGEST, SIGNATURE)  # the oracle: PyNaCl accepts DIGEST and only it
    argv, request = ["verify-digest", "--digest-hex", digest.hex()], {}
    for (where, value), name, flag in ((signature_form, "signature_hex", "--signature"),
                                       (key_form, "public_key_hex", "--public-key")):  # fmt: skip
        if where == "option":
            argv += [flag, value]
        elif where == "file":
            argv += [f"{flag}-file", write(tmp_path, name, value)]
        else:
            request[name] = value
    if request:
        argv += ["--request", write(tmp_path, "r.json", json.dumps(request))]
    assert run(argv) == expected


@pytest.mark.parametrize(
    "argv, fragment",
    [
        (["--digest-hex", "0g", "--signature", "", "--public-key", ""], "digest_hex: Invalid character 'g' at position 1"),
        (["--signature", "00", "--public-key", "00"], "missing digest_hex"),
        (["--digest-hex", "00", "--digest-of", "x"], "not allowed with argument"),
        (["--digest-hex", DIGEST.hex(), "--signature-hex", SIGNATURE.hex()[:64], "--public-key", PUBLIC.hex()],
         "signature_hex must be a 64-byte Ed25519 signature: 64 raw bytes, 128 hex digits or 88 base64 characters "
         "(found 64 characters)"),
        (["--digest-hex", DIGEST.hex(), "--signature", SIGNATURE.hex(), "--public-key-file", "@key31"],
         "public_key_hex must be a 32-byte Ed25519 public key: 32 raw bytes, 64 hex digits or 44 base64 characters "
         "(found 31 characters)"),
        (["--digest-hex", DIGEST.hex(), "--signature", SIGNATURE.hex(), "--public-key-file", "@keyg"],
         "public_key_hex: Invalid character 'g' at position 0 (in @keyg, given by --public-key-file)"),
    ],
)  # fmt: skip
def test_verify_input_errors(run, tmp_path, argv, fragment):
    paths = {"@key31": write(tmp_path, "k1", PUBLIC.hex()[:31]), "@keyg": write(tmp_path, "k2", "g" + PUBLIC.hex()[1:])}
    result = run(["verify-digest", *[paths.get(a, a) for a in argv]])
    assert_one_line_error(result, re.sub(r"@\w+", lambda m: paths[m[0]], fragment))


# ---------------------------------------------------------------------- seeds


@pytest.mark.parametrize(
    "content",
    [PAYEE, PAYEE.hex().encode(), b" \t" + PAYEE.hex().upper().encode() + b"\r\n"],
    ids=["raw", "hex", "upper-hex-white-space"],
)
def test_seed_file_forms(run, tmp_path, content):
    expected = native.sign_payee_evidence_binding_json(**example_args("evidence.json"), secret_seed=PAYEE)
    argv = ["sign-evidence", "--request", EXAMPLES / "evidence.json", "--seed-file", write(tmp_path, "s", content)]
    assert run(argv) == (0, expected + "\n", "")


def test_seeds_from_environment(run, monkeypatch):
    monkeypatch.setenv("CK_TEST_PRINCIPAL", PRINCIPAL.hex().upper())
    monkeypatch.setenv("CK_TEST_PAYEE", " " + PAYEE.hex() + "\n")
    expected = native.build_signed_create_intent_json(
        **example_args("intent.json"), principal_seed=PRINCIPAL, payee_seed=PAYEE
    )
    argv = ["create-intent", "--request", EXAMPLES / "intent.json",
            "--principal-seed-env", "CK_TEST_PRINCIPAL", "--payee-seed-env", "CK_TEST_PAYEE"]  # fmt: skip
    assert run(argv) == (0, expected + "\n", "")


# (mode, owner, accepted): the owner is this process, or another user (uid 65534).
PERMISSIONS = [
    (0o600, "self", True), (0o400, "self", True), (0o644, "self", False), (0o640, "self", False),
    (0o604, "self", False), (0o620, "self", False), (0o640, "other", True), (0o660, "other", False),
    (0o644, "other", False),
]  # fmt: skip


@pytest.mark.parametrize("mode, owner, accepted", PERMISSIONS)
@pytest.mark.parametrize("link", [False, True], ids=["file", "symlink"])
def test_seed_file_must_be_private(run, tmp_path, mode, owner, accepted, link):
    path = write(tmp_path, "payee seed", PAYEE.hex(), mode)
    if owner == "other":
        if os.geteuid() != 0:
            pytest.skip("giving a file to another user needs root")
        os.chown(path, 65534, 65534)
    if link:
        os.symlink(path, tmp_path / "seed link")
        path = str(tmp_path / "seed link")
    result = run(["sign-evidence", "--request", EXAMPLES / "evidence.json", "--seed-file", path])
    if accepted:
        assert result[0] == 0, result
    else:
        assert_one_line_error(
            result, f"--seed-file: permissions {mode:04o} for {path} are too open: a seed file must be private; "
                    f"run: chmod 600 '{path}'")  # fmt: skip


@pytest.mark.parametrize(
    "content",
    [
        bytes.fromhex(SECRET)[:31],
        SECRET[:63].encode(),
        (SECRET[:63] + "g").encode(),
        SECRET[:32].encode(),  # 32 bytes, but clearly a truncated hex seed
        SECRET.encode() + b" " + SECRET.encode(),
        SECRET.encode() * 10,
    ],
    ids=["31-raw", "63-hex", "non-hex", "32-hex-digits", "two-seeds", "too-long"],
)
def test_bad_seed_file(run, tmp_path, content):
    argv = ["sign-evidence", "--request", EXAMPLES / "evidence.json", "--seed-file", write(tmp_path, "s", content)]
    result = run(argv)
    assert_one_line_error(result, "--seed-file")
    assert SECRET[:32] not in result[2]


@pytest.mark.parametrize(
    "seed_argv, fragment",
    [
        (["--seed-file", "/nonexistent/seed.hex"], "cannot read /nonexistent/seed.hex"),
        (["--seed-file", SECRET], "takes the path of a seed file, not a seed"),
        (["--seed-env", "CK_TEST_UNSET_VARIABLE"], "CK_TEST_UNSET_VARIABLE is not set"),
        (["--seed-env", "CK_TEST_BAD_SEED"], "CK_TEST_BAD_SEED must hold 64 hex digits"),
        ([], "missing secret_seed: give --seed-file FILE or --seed-env NAME"),
        (["--seed", SECRET], "unrecognized arguments: --seed (1 other value, not shown); a seed is never given"),
        ([f"--secret-seed={SECRET}"], "unrecognized arguments: --secret-seed; a seed is never given"),
        ([SECRET], "unrecognized arguments (1 other value, not shown)"),
    ],
)
def test_seed_not_available(run, monkeypatch, seed_argv, fragment):
    monkeypatch.delenv("CK_TEST_UNSET_VARIABLE", raising=False)
    monkeypatch.setenv("CK_TEST_BAD_SEED", SECRET[:40])
    result = run(["sign-evidence", "--request", EXAMPLES / "evidence.json", *seed_argv])
    assert_one_line_error(result, fragment)
    assert SECRET[:32] not in result[2]


# ----------------------------------------------------------------- bad input


@pytest.mark.parametrize(
    "request_text, message",
    [
        ('{"tenant_id": "t",', "--request R: not a JSON text: Expecting property name enclosed in double quotes"),
        ('["tenant_id"]', "--request R: the request must be a JSON object"),
        ('{"tenant_id": "t", "tenant_id": "u"}', "--request R: key 'tenant_id' appears twice"),
        ('{"payload_json": {"a": [{"b": 1, "c": {}, "b": 2}]}}', "--request R: key 'b' appears twice in payload_json.a[0]"),
        ('{"payload_json": ' + "[" * 100000 + "]" * 100000 + "}", "--request R: nested too deeply to read"),
        ('{"tenant": "t"}', "--request R: unknown member 'tenant' for evidence-bytes"),
        ('{"secret_seed": "%s"}' % SECRET, "--request R: seeds are not read from request files (secret_seed)"),
        ('{"tenant_id": 7}', "--request R: member tenant_id must be a string"),
        ('{"artifacts_hex": "11"}', "--request R: member artifacts_hex must be a list of strings"),
        ('{"payload_json": NaN}', "--request R: not a JSON text: NaN is not a JSON value"),
        ('{"tenant_id": "t"}', "missing intent_id"),
    ],
)  # fmt: skip
def test_bad_request_file(run, tmp_path, request_text, message):
    path = write(tmp_path, "r.json", request_text)
    result = run(["evidence-bytes", "--request", path])
    assert_one_line_error(result, message.replace(" R:", f" {path}:"))
    assert SECRET[:32] not in result[2]


@pytest.mark.parametrize(
    "extra_argv, message",
    [
        (["--budget", "@empty"], "budget_json: EOF while parsing a value at line 1 column 0 (in @empty, given by --budget)"),
        (["--budget", "-"], "budget_json: EOF while parsing a value at line 2 column 1 (in standard input, given by --budget)"),
        (["--request", "@bad_member"], "budget_json: number out of range at line 1 column 18 (in member budget_json "
                                      "of request file @bad_member, counting within its value on one line)"),
        (["--request", "@bad_text"], "budget_json: trailing comma at line 2 column 1 (in member budget_json of "
                                    "request file @bad_text, counting within its text)"),
        (["--request", "@huge"], "--request @huge: member amount_cents: Exceeds the limit (4300 digits)"),
        (["--allowed-tools", "@tools"], "allowed_tools must be non-empty (in @tools, given by --allowed-tools)"),
        (["--settlement-rail", "paypal"], "settlement_rail must be one of stripe_connect"),
        (["--intent-id", "123e4567\n"], "intent_id: invalid length: found 8"),
        (["--amount-cents", str(2**63)], "Python int too large to convert to C long (while processing 'amount_cents')"),
        (["--amount-cents", "12.5"], "argument --amount-cents: not a decimal integer"),
        (["--budget", "/nonexistent/budget.json"], "--budget: cannot read /nonexistent/budget.json"),
        (["--budget", "@latin1"], "--budget: @latin1 is not UTF-8 text (byte 7)"),
    ],
)  # fmt: skip
def test_bad_input_is_one_line_naming_its_file(run, tmp_path, extra_argv, message):
    request = json.loads((EXAMPLES / "intent.json").read_text())
    files = {
        "@empty": b"", "@tools": b"[]", "@latin1": '{"a": "\xe9"}'.encode("latin-1"),
        "@bad_member": json.dumps(request).replace('"max_cents": 5000', '"max_cents": 5e400'),
        "@bad_text": json.dumps({**request, "budget_json": "[1,\n]"}),
        "@huge": json.dumps(request).replace('"amount_cents": 1500', '"amount_cents": ' + "9" * 5000),
    }  # fmt: skip
    paths = {name: write(tmp_path, name[1:], files[name]) for name in files}
    message = re.sub(r"@\w+", lambda m: paths[m[0]], message)
    argv = ["create-intent", "--request", EXAMPLES / "intent.json", *INTENT_SEEDS,
            *[paths.get(a, a) for a in extra_argv]]  # fmt: skip
    assert_one_line_error(run(argv, stdin=b"\n "), message)


def test_message_with_a_line_break_stays_on_one_line(run):
    result = run(["evidence-bytes", "--request", EXAMPLES / "evidence.json", "--intent-id", "\n"])
    assert_one_line_error(result, "intent_id: invalid character: found `\\n` at 0")


class PanicException(BaseException):
    """Stands in for pyo3_runtime.PanicException, which also derives from BaseException."""


def test_internal_failure_is_one_line(run, monkeypatch):
    def panic(*args):
        raise PanicException("signature operation failed: broken invariant")

    monkeypatch.setattr(_api, "_EVIDENCE_RECORD", NativeTarget(panic, panic))
    result = run(["evidence-bytes", "--request", EXAMPLES / "evidence.json"])
    assert_one_line_error(result, "internal failure (PanicException): signature operation failed")


@pytest.mark.parametrize("argv", [[], ["frobnicate"], ["--bogus"]])
def test_usage_errors(run, argv):
    assert_one_line_error(run(argv))


# ------------------------------------------------------------------------ help


@pytest.mark.parametrize("command", COMMANDS)
def test_first_help_example_runs_and_no_option_takes_a_seed(run, monkeypatch, command):
    status, out, err = run([command, "--help"])
    assert (status, err) == (0, "")
    assert all(o.endswith(("-file", "-env")) for o in re.findall(r"--[a-z-]*seed[a-z-]*", out))
    first = out.split("\nexamples:\n", 1)[1].strip().split("\n\n")[0]
    argv = shlex.split(first.replace("\\\n", " "))
    assert argv[:2] == ["corvane-kit", command]
    monkeypatch.chdir(ROOT)
    status, out, err = run(argv[1:])
    assert (status, err) == (0, "")
    assert out.strip()


# ---------------------------------------------------------------- real processes

VERIFY = ["verify-digest", "--signature", base64.b64encode(SIGNATURE).decode(), "--public-key", PUBLIC.hex()]


def stdout_closed():
    os.close(1)


@pytest.mark.parametrize(
    "digest, stdout, expected",
    [
        (DIGEST, "pipe", (0, b"true\n", b"")),
        (bytes(32), "pipe", (1, b"false\n", b"")),
        (b"\0", "pipe", (2, b"", b"corvane-kit: error: digest_hex must decode to 32 bytes\n")),
        (DIGEST, "/dev/full", (2, b"", b"corvane-kit: error: cannot write the result to standard output: "
                                        b"No space left on device\n")),
        (DIGEST, "closed", (2, b"", b"corvane-kit: error: cannot write the result: standard output is closed\n")),
        (bytes(32), "closed", (2, b"", b"corvane-kit: error: cannot write the result: standard output is closed\n")),
        (DIGEST, "broken pipe", (141, b"", b"")),
    ],
)  # fmt: skip
def test_exit_status_and_write_failures(tmp_path, digest, stdout, expected):
    # A result that cannot be written is an error (2), never "invalid" (1), and
    # never a traceback or an "Exception ignored" at the interpreter's exit.
    script = pathlib.Path(sys.executable).parent / "corvane-kit"
    argv = [script, *VERIFY, "--digest-hex", digest.hex()]
    if stdout == "pipe":
        done = subprocess.run(argv, capture_output=True, check=False)
        assert (done.returncode, done.stdout, done.stderr) == expected
        return
    read_end, write_end = os.pipe()
    os.close(read_end)
    with open("/dev/full", "wb") as full:
        target = {"/dev/full": full, "broken pipe": write_end, "closed": None}[stdout]
        done = subprocess.run(argv, stdout=target, stderr=subprocess.PIPE, check=False,
                              preexec_fn=stdout_closed if stdout == "closed" else None)  # fmt: skip
    os.close(write_end)
    assert (done.returncode, b"", done.stderr) == expected


def test_python_m_corvane_kit():
    done = subprocess.run(
        [sys.executable, "-m", "corvane_kit", "evidence-bytes", "--request", str(EXAMPLES / "evidence.json")],
        capture_output=True, text=True, check=False,
    )  # fmt: skip
    expected = native.encode_evidence_sign_v1_hex(**example_args("evidence.json"))
    assert (done.returncode, done.stdout, done.stderr) == (0, expected + "\n", "")

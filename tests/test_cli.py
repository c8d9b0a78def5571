"""The corvane-kit command: same results as the native functions, clear failures.

Expected outputs come from calling corvane_kit._native directly with the same
inputs, read here from the example files with the standard json module; most
cases run main(argv) in-process, a few run the installed command end to end.
"""

import hashlib
import io
import json
import pathlib
import re
import shlex
import subprocess
import sys
import types

import pytest
from nacl.signing import SigningKey

from corvane_kit import _native as native
from corvane_kit import cli

ROOT = pathlib.Path(__file__).resolve().parent.parent
EXAMPLES = ROOT / "examples"
SEEDS = EXAMPLES / "seeds"
PRINCIPAL = bytes.fromhex((SEEDS / "principal.example.hex").read_text())
PAYEE = bytes.fromhex((SEEDS / "payee.example.hex").read_text())
PRINCIPAL_FILE = str(SEEDS / "principal.example.hex")
PAYEE_FILE = str(SEEDS / "payee.example.hex")
COMMANDS = ["create-intent", "create-policy-intent", "sign-evidence", "evidence-bytes", "verify-digest"]
SECRET = "5e" * 32  # a seed value that must never be echoed

# The command-line option of every parameter, as documented in the help texts.
FLAGS = {
    "tenant_id": "--tenant-id",
    "intent_id": "--intent-id",
    "principal_did": "--principal-did",
    "payee_did": "--payee-did",
    "budget_json": "--budget",
    "currency": "--currency",
    "amount_cents": "--amount-cents",
    "evidence_schema_json": "--evidence-schema",
    "deadline_rfc3339": "--deadline",
    "predicate_json": "--predicate",
    "materialized_predicate_json": "--materialized-predicate",
    "predicate_ref": "--predicate-ref",
    "allowed_tools_json": "--allowed-tools",
    "settlement_rail": "--settlement-rail",
    "policy_template_id": "--policy-template-id",
    "policy_version_seq": "--policy-version-seq",
    "policy_content_digest_hex": "--policy-content-digest-hex",
    "payload_json": "--payload",
    "submitted_at_rfc3339": "--submitted-at",
}

# command, request file, native function, seed options, seed arguments
EXAMPLE_RUNS = [
    (
        "create-intent",
        "intent.json",
        native.build_signed_create_intent_json,
        ["--principal-seed-file", PRINCIPAL_FILE, "--payee-seed-file", PAYEE_FILE],
        {"principal_seed": PRINCIPAL, "payee_seed": PAYEE},
    ),
    (
        "create-policy-intent",
        "policy-intent.json",
        native.build_signed_create_intent_with_policy_binding_json,
        ["--principal-seed-file", PRINCIPAL_FILE, "--payee-seed-file", PAYEE_FILE],
        {"principal_seed": PRINCIPAL, "payee_seed": PAYEE},
    ),
    (
        "sign-evidence",
        "evidence.json",
        native.sign_payee_evidence_binding_json,
        ["--seed-file", PAYEE_FILE],
        {"secret_seed": PAYEE},
    ),
    ("evidence-bytes", "evidence.json", native.encode_evidence_sign_v1_hex, [], {}),
]
EXAMPLE_IDS = [r[0] for r in EXAMPLE_RUNS]


def example_args(name):
    """The native arguments of a request file: JSON documents as text, the rest as they are."""
    request = json.loads((EXAMPLES / name).read_text())
    return {k: (json.dumps(v) if k.endswith("_json") and not isinstance(v, str) else v) for k, v in request.items()}


@pytest.fixture
def run(capsys, monkeypatch):
    """main(argv) in-process, with optional standard input; returns (status, stdout, stderr)."""

    def go(argv, stdin=b""):
        monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO(stdin)))
        status = cli.main([str(a) for a in argv])
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


def write(tmp_path, name, data):
    path = tmp_path / name
    path.write_bytes(data if isinstance(data, bytes) else data.encode("utf-8"))
    return str(path)


# ------------------------------------------------------------- round trips


@pytest.mark.parametrize("command, request_file, function, seed_options, seeds", EXAMPLE_RUNS, ids=EXAMPLE_IDS)
def test_example_request_gives_the_native_result(run, command, request_file, function, seed_options, seeds):
    result = run([command, "--request", EXAMPLES / request_file, *seed_options])
    assert result == (0, function(**example_args(request_file), **seeds) + "\n", "")


@pytest.mark.parametrize("command, request_file, function, seed_options, seeds", EXAMPLE_RUNS, ids=EXAMPLE_IDS)
def test_options_alone_give_the_same_result(run, tmp_path, command, request_file, function, seed_options, seeds):
    args = example_args(request_file)
    argv = [command, *seed_options]
    for name, value in args.items():
        if name == "artifacts_hex":
            argv += [x for a in value for x in ("--artifact", a)]
        elif name.endswith("_json"):
            argv += [FLAGS[name], write(tmp_path, name, value)]
        else:
            argv.append(f"{FLAGS[name]}={value}")
    assert run(argv) == (0, function(**args, **seeds) + "\n", "")


def test_example_manifest_signature_verifies(run):
    digest = hashlib.sha256((EXAMPLES / "manifest.json").read_bytes()).hexdigest()
    signature = (EXAMPLES / "manifest.sig.hex").read_text().strip()
    public_key = (EXAMPLES / "exporter.pub.hex").read_text().strip()
    assert native.verify_ed25519_sha256_hex(digest, signature, public_key) is True
    by_files = ["--signature-file", EXAMPLES / "manifest.sig.hex", "--public-key-file", EXAMPLES / "exporter.pub.hex"]
    assert run(["verify-digest", "--digest-of", EXAMPLES / "manifest.json", *by_files]) == (0, "true\n", "")
    by_hex = ["--digest-hex", digest, "--signature-hex", signature, "--public-key-hex", public_key]
    assert run(["verify-digest", *by_hex]) == (0, "true\n", "")


def flip_first_digit(hex_text):
    return ("0" if hex_text[0] != "0" else "1") + hex_text[1:]


@pytest.mark.parametrize("altered", ["--digest-hex", "--signature-hex", "--public-key-hex"])
def test_invalid_signature_prints_false_and_exits_1(run, altered):
    values = {
        "--digest-hex": hashlib.sha256((EXAMPLES / "manifest.json").read_bytes()).hexdigest(),
        "--signature-hex": (EXAMPLES / "manifest.sig.hex").read_text().strip(),
        "--public-key-hex": bytes(SigningKey(PAYEE).verify_key).hex(),  # the wrong signer
    }
    if altered != "--public-key-hex":
        values[altered] = flip_first_digit(values[altered])
        values["--public-key-hex"] = (EXAMPLES / "exporter.pub.hex").read_text().strip()
    argv = ["verify-digest", *[x for item in values.items() for x in item]]
    assert run(argv) == (1, "false\n", "")


def test_verify_request_file(run, tmp_path):
    request = {
        "digest_hex": hashlib.sha256((EXAMPLES / "manifest.json").read_bytes()).hexdigest(),
        "signature_hex": (EXAMPLES / "manifest.sig.hex").read_text(),
        "public_key_hex": (EXAMPLES / "exporter.pub.hex").read_text(),
    }
    assert run(["verify-digest", "--request", write(tmp_path, "v.json", json.dumps(request))]) == (0, "true\n", "")


# ------------------------------------------------------- overriding members


@pytest.mark.parametrize(
    "extra_argv, changes",
    [
        (["--amount-cents", "-7"], {"amount_cents": -7}),
        (["--amount-cents=0"], {"amount_cents": 0}),
        (["--intent-id", "{123E4567-E89B-12D3-A456-426614174000}"], {"intent_id": "{123E4567-E89B-12D3-A456-426614174000}"}),
        (["--predicate-ref", " refs/x "], {"predicate_ref": " refs/x "}),
        (["--settlement-rail", " stripe_mpp\n"], {"settlement_rail": " stripe_mpp\n"}),
        (["--deadline", "2030-06-30T12:00:00.5+05:30"], {"deadline_rfc3339": "2030-06-30T12:00:00.5+05:30"}),
        (["--tenant-id", ""], {"tenant_id": ""}),
    ],
)
def test_option_overrides_request_member(run, extra_argv, changes):
    argv = ["create-intent", "--request", EXAMPLES / "intent.json", "--principal-seed-file", PRINCIPAL_FILE,
            "--payee-seed-file", PAYEE_FILE, *extra_argv]  # fmt: skip
    expected = native.build_signed_create_intent_json(
        **{**example_args("intent.json"), **changes}, principal_seed=PRINCIPAL, payee_seed=PAYEE
    )
    assert run(argv) == (0, expected + "\n", "")


@pytest.mark.parametrize(
    "artifact_argv, artifacts",
    [
        (["--no-artifacts"], []),
        (["--artifact", "cd" * 32], ["cd" * 32]),
        (["--artifact", "0x" + "CD" * 32, "--artifact", " " + "11" * 32 + "\n"], ["0x" + "CD" * 32, " " + "11" * 32 + "\n"]),
    ],
)
def test_artifact_options_replace_the_request_list(run, artifact_argv, artifacts):
    expected = native.encode_evidence_sign_v1_hex(**{**example_args("evidence.json"), "artifacts_hex": artifacts})
    assert run(["evidence-bytes", "--request", EXAMPLES / "evidence.json", *artifact_argv]) == (0, expected + "\n", "")


@pytest.mark.parametrize(
    "text",
    [
        '{"b": 1, "a": [1.0, -0, 1e2]}',
        '  {"x": "\\u00e9\\ud83d\\ude00", "x": 2}\n',
        "null",
        "",  # the module's own error, with its position in the file's text
    ],
)
def test_document_file_is_passed_as_written(run, tmp_path, text):
    path = write(tmp_path, "payload.json", text)
    args = {**example_args("evidence.json"), "payload_json": text}
    try:
        expected = (0, native.encode_evidence_sign_v1_hex(**args) + "\n", "")
    except ValueError as e:
        expected = (2, "", f"corvane-kit: error: {e}\n")
    assert run(["evidence-bytes", "--request", EXAMPLES / "evidence.json", "--payload", path]) == expected


def test_request_member_may_hold_the_document_text(run, tmp_path):
    text = '{"receipt": {"total": 1499.50, "total": 1500}}'
    request = {**json.loads((EXAMPLES / "evidence.json").read_text()), "payload_json": text}
    expected = native.encode_evidence_sign_v1_hex(**{**example_args("evidence.json"), "payload_json": text})
    assert run(["evidence-bytes", "--request", write(tmp_path, "r.json", json.dumps(request))]) == (0, expected + "\n", "")


def test_request_member_value_keeps_its_number_spelling(run, tmp_path):
    # The module reads this number differently from a correctly rounded parse,
    # so re-spelling it (as Python's json would) changes the signed digest.
    number = "4.454981741040901610e-10"
    request = (EXAMPLES / "evidence.json").read_text()
    request = re.sub(r'"payload_json": \{.*\},', f'"payload_json": {{"x": [{number}, 7]}},', request)
    base = example_args("evidence.json")
    as_written = native.encode_evidence_sign_v1_hex(**{**base, "payload_json": f'{{"x": [{number}, 7]}}'})
    respelled = native.encode_evidence_sign_v1_hex(**{**base, "payload_json": json.dumps({"x": [float(number), 7]})})
    assert as_written != respelled
    assert run(["evidence-bytes", "--request", write(tmp_path, "r.json", request)]) == (0, as_written + "\n", "")


# ------------------------------------------------------------ standard input


def test_request_from_standard_input(run):
    expected = native.encode_evidence_sign_v1_hex(**example_args("evidence.json"))
    assert run(["evidence-bytes", "--request", "-"], stdin=(EXAMPLES / "evidence.json").read_bytes()) == (
        0,
        expected + "\n",
        "",
    )


def test_document_from_standard_input(run):
    text = '{"receipt": "from stdin"}'
    expected = native.sign_payee_evidence_binding_json(
        **{**example_args("evidence.json"), "payload_json": text}, secret_seed=PAYEE
    )
    argv = ["sign-evidence", "--request", EXAMPLES / "evidence.json", "--payload", "-", "--seed-file", PAYEE_FILE]
    assert run(argv, stdin=text.encode()) == (0, expected + "\n", "")


def test_seed_from_standard_input(run):
    expected = native.sign_payee_evidence_binding_json(**example_args("evidence.json"), secret_seed=PAYEE)
    argv = ["sign-evidence", "--request", EXAMPLES / "evidence.json", "--seed-file", "-"]
    assert run(argv, stdin=PAYEE.hex().encode() + b"\n") == (0, expected + "\n", "")


def test_only_one_argument_may_read_standard_input(run):
    argv = ["sign-evidence", "--request", "-", "--seed-file", "-"]
    assert_one_line_error(run(argv, stdin=b"{}"), "only one argument may read standard input", "--request", "--seed-file")


# ---------------------------------------------------------------------- seeds


@pytest.mark.parametrize(
    "content",
    [PAYEE, PAYEE.hex().encode(), PAYEE.hex().encode() + b"\n", b" \t" + PAYEE.hex().upper().encode() + b"\r\n"],
    ids=["raw", "hex", "hex-newline", "upper-hex-white-space"],
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


@pytest.mark.parametrize(
    "content",
    [
        bytes.fromhex(SECRET)[:31],
        bytes.fromhex(SECRET) + b"\x00",
        SECRET[:63].encode(),
        (SECRET[:63] + "g").encode(),
        SECRET[:32].encode(),  # 32 bytes, but clearly a truncated hex seed
        SECRET[:31].encode() + b"\n",  # the same, with a line break
        SECRET.encode() + b" " + SECRET.encode(),
        b"",
        SECRET.encode() * 10,
    ],
    ids=["31-raw", "33-raw", "63-hex", "non-hex", "32-hex-digits", "31-hex-digits-newline", "two-seeds", "empty",
         "too-long"],
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
    ],
)
def test_seed_not_available(run, monkeypatch, seed_argv, fragment):
    monkeypatch.delenv("CK_TEST_UNSET_VARIABLE", raising=False)
    monkeypatch.setenv("CK_TEST_BAD_SEED", SECRET[:40])
    result = run(["sign-evidence", "--request", EXAMPLES / "evidence.json", *seed_argv])
    assert_one_line_error(result, fragment)
    assert SECRET[:32] not in result[2]


def test_each_intent_seed_is_required(run):
    base = ["create-intent", "--request", EXAMPLES / "intent.json"]
    assert_one_line_error(run([*base, "--payee-seed-file", PAYEE_FILE]), "missing principal_seed")
    assert_one_line_error(run([*base, "--principal-seed-file", PRINCIPAL_FILE]), "missing payee_seed")


@pytest.mark.parametrize(
    "command, seed_argv",
    [
        ("create-intent", ["--principal-seed", SECRET]),
        ("create-intent", [f"--principal-seed={SECRET}"]),
        ("create-intent", ["--payee-seed", SECRET]),
        ("create-intent", ["--principal-seed-fil", SECRET]),  # no abbreviations of --principal-seed-file
        ("create-policy-intent", ["--principal-seed-hex", SECRET]),
        ("sign-evidence", ["--seed", SECRET]),
        ("sign-evidence", ["--secret-seed", SECRET]),
        ("sign-evidence", [SECRET]),
        ("evidence-bytes", ["--seed", SECRET]),
    ],
)
def test_seed_on_the_command_line_is_refused_and_not_echoed(run, command, seed_argv):
    result = run([command, "--request", EXAMPLES / "evidence.json", *seed_argv])
    assert_one_line_error(result, "unrecognized arguments")
    assert SECRET[:32] not in result[2]


@pytest.mark.parametrize("command", COMMANDS)
def test_no_option_takes_a_seed_value(run, command):
    _, out, _ = run([command, "--help"])
    seed_options = set(re.findall(r"--[a-z-]*seed[a-z-]*", out))
    assert all(o.endswith(("-file", "-env")) for o in seed_options), seed_options


@pytest.mark.parametrize("member", ["principal_seed", "payee_seed", "secret_seed"])
def test_request_file_may_not_hold_a_seed(run, tmp_path, member):
    request = {**json.loads((EXAMPLES / "intent.json").read_text()), member: SECRET}
    argv = ["create-intent", "--request", write(tmp_path, "r.json", json.dumps(request)),
            "--principal-seed-file", PRINCIPAL_FILE, "--payee-seed-file", PAYEE_FILE]  # fmt: skip
    result = run(argv)
    assert_one_line_error(result, "seeds are not read from request files")
    assert SECRET[:32] not in result[2]


# ----------------------------------------------------------------- bad input


@pytest.mark.parametrize(
    "request_text, fragment",
    [
        ('{"tenant_id": "t",', "--request: not a JSON text"),
        ('["tenant_id"]', "the request must be a JSON object"),
        ('{"tenant_id": "t", "tenant_id": "u"}', "member 'tenant_id' appears twice"),
        ('{"tenant": "t"}', "unknown member 'tenant' for evidence-bytes"),
        ('{"tenant_id": 7}', "member tenant_id must be a string"),
        ('{"artifacts_hex": "11"}', "member artifacts_hex must be a list of strings"),
        ('{"payload_json": NaN}', "--request: not a JSON text"),
        ('{"tenant_id": "t"}', "missing intent_id"),
    ],
)
def test_bad_request_file(run, tmp_path, request_text, fragment):
    assert_one_line_error(run(["evidence-bytes", "--request", write(tmp_path, "r.json", request_text)]), fragment)


def test_integer_members_must_be_integers(run, tmp_path):
    request = {**json.loads((EXAMPLES / "intent.json").read_text()), "amount_cents": 15.0}
    argv = ["create-intent", "--request", write(tmp_path, "r.json", json.dumps(request)),
            "--principal-seed-file", PRINCIPAL_FILE, "--payee-seed-file", PAYEE_FILE]  # fmt: skip
    assert_one_line_error(run(argv), "member amount_cents must be an integer")


@pytest.mark.parametrize(
    "extra_argv, message",
    [
        (["--budget", "EMPTY"], "budget_json: EOF while parsing a value at line 1 column 0"),
        (["--allowed-tools", "EMPTY_ARRAY"], "allowed_tools must be non-empty"),
        (["--settlement-rail", "paypal"], "settlement_rail must be one of stripe_connect"),
        (["--deadline", "2030-01-01"], "deadline_rfc3339: the 'separator' component could not be parsed"),
        (["--intent-id", "123e4567\n"], "intent_id: invalid length: found 8"),
        (["--amount-cents", str(2**63)], "Python int too large to convert to C long (while processing 'amount_cents')"),
        (["--amount-cents", "12.5"], "argument --amount-cents: not a decimal integer"),
        (["--budget", "/nonexistent/budget.json"], "--budget: cannot read /nonexistent/budget.json"),
        (["--budget", "LATIN1"], "--budget: "),
    ],
)
def test_bad_input_is_one_line(run, tmp_path, extra_argv, message):
    files = {"EMPTY": b"", "EMPTY_ARRAY": b"[]", "LATIN1": '{"a": "\xe9"}'.encode("latin-1")}
    extra_argv = [write(tmp_path, a, files[a]) if a in files else a for a in extra_argv]
    argv = ["create-intent", "--request", EXAMPLES / "intent.json", "--principal-seed-file", PRINCIPAL_FILE,
            "--payee-seed-file", PAYEE_FILE, *extra_argv]  # fmt: skip
    assert_one_line_error(run(argv), message)


def test_message_with_a_line_break_stays_on_one_line(run):
    # The module's message quotes the offending character; the newline is shown escaped.
    result = run(["evidence-bytes", "--request", EXAMPLES / "evidence.json", "--intent-id", "\n"])
    assert_one_line_error(result, "intent_id: invalid character: found `\\n` at 0")


@pytest.mark.parametrize(
    "argv, fragment",
    [
        (["verify-digest", "--digest-hex", "0g", "--signature-hex", "", "--public-key-hex", ""],
         "digest_hex: Invalid character 'g' at position 1"),
        (["verify-digest", "--signature-hex", "00", "--public-key-hex", "00"], "missing digest_hex"),
        (["verify-digest", "--digest-hex", "00", "--digest-of", "x"], "not allowed with argument"),
    ],
)  # fmt: skip
def test_verify_input_errors(run, argv, fragment):
    assert_one_line_error(run(argv), fragment)


class PanicException(BaseException):
    """Stands in for pyo3_runtime.PanicException, which also derives from BaseException."""


def test_internal_failure_is_one_line(run, monkeypatch):
    def panic(**kwargs):
        raise PanicException("signature operation failed: broken invariant")

    monkeypatch.setattr(cli, "_native", types.SimpleNamespace(encode_evidence_sign_v1_hex=panic))
    result = run(["evidence-bytes", "--request", EXAMPLES / "evidence.json"])
    assert_one_line_error(result, "internal failure (PanicException): signature operation failed")


@pytest.mark.parametrize("argv", [[], ["frobnicate"], ["--bogus"]])
def test_usage_errors(run, argv):
    assert_one_line_error(run(argv))


# ------------------------------------------------------------------------ help


@pytest.mark.parametrize("command", COMMANDS)
def test_help_for_each_command(run, command):
    status, out, err = run([command, "--help"])
    assert (status, err) == (0, "")
    assert out.startswith(f"usage: corvane-kit {command} ")
    examples = out.split("\nexamples:\n", 1)[1]
    assert f"corvane-kit {command} " in examples


@pytest.mark.parametrize("command", COMMANDS)
def test_first_help_example_runs(run, monkeypatch, command):
    # Each command's first example works on the files in examples/.
    _, out, _ = run([command, "--help"])
    first = out.split("\nexamples:\n", 1)[1].strip().split("\n\n")[0]
    argv = shlex.split(first.replace("\\\n", " "))
    assert argv[:2] == ["corvane-kit", command]
    monkeypatch.chdir(ROOT)
    status, out, err = run(argv[1:])
    assert (status, err) == (0, "")
    assert out.strip()


def test_top_level_help_names_every_command_and_the_exit_status(run):
    status, out, _ = run(["--help"])
    assert status == 0
    for command in COMMANDS:
        assert command in out
    assert "1 when verify-digest finds a signature invalid" in out


# ---------------------------------------------------------------- end to end


def test_python_m_corvane_kit():
    done = subprocess.run(
        [sys.executable, "-m", "corvane_kit", "create-intent", "--request", str(EXAMPLES / "intent.json"),
         "--principal-seed-file", PRINCIPAL_FILE, "--payee-seed-file", PAYEE_FILE],
        capture_output=True, text=True, check=False,
    )  # fmt: skip
    expected = native.build_signed_create_intent_json(
        **example_args("intent.json"), principal_seed=PRINCIPAL, payee_seed=PAYEE
    )
    assert (done.returncode, done.stdout, done.stderr) == (0, expected + "\n", "")


def test_installed_script_exit_statuses():
    script = pathlib.Path(sys.executable).parent / "corvane-kit"
    assert script.exists(), "the corvane-kit script is installed by `make build`"
    common = ["--signature-file", str(EXAMPLES / "manifest.sig.hex"), "--public-key-file", str(EXAMPLES / "exporter.pub.hex")]
    valid = subprocess.run([script, "verify-digest", "--digest-of", str(EXAMPLES / "manifest.json"), *common],
                           capture_output=True, text=True, check=False)  # fmt: skip
    invalid = subprocess.run([script, "verify-digest", "--digest-hex", "00" * 32, *common],
                             capture_output=True, text=True, check=False)  # fmt: skip
    broken = subprocess.run([script, "verify-digest", "--digest-hex", "0", *common],
                            capture_output=True, text=True, check=False)  # fmt: skip
    assert (valid.returncode, valid.stdout) == (0, "true\n")
    assert (invalid.returncode, invalid.stdout) == (1, "false\n")
    assert (broken.returncode, broken.stdout) == (2, "")
    assert broken.stderr == "corvane-kit: error: digest_hex: Odd number of digits\n"

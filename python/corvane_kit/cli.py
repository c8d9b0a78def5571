"""The ``corvane-kit`` command: the five signing functions from a shell.

Each subcommand calls one function of ``corvane_kit._native`` with the
arguments gathered from a request file, from individual options (which
override the request file) and, for seeds, from a seed file or an environment
variable. Seeds are never taken from the command line itself.

Exit status: 0 on success (for ``verify-digest``: the signature is valid),
1 when ``verify-digest`` finds the signature invalid, 2 on any error.
"""

from __future__ import annotations

import argparse
import hashlib
import json
import os
import re
import sys
from dataclasses import dataclass
from typing import Any, Callable, Mapping, NoReturn, Sequence

from corvane_kit import _native

PROG = "corvane-kit"

EXIT_OK = 0
EXIT_INVALID = 1
EXIT_ERROR = 2

# Kinds of parameters.
TEXT = "text"  # a str option, or a string member of the request file
DOC = "doc"  # JSON text read from a file (or "-"); a request member holds the text or the value
INT = "int"  # an integer option or member
ARTIFACTS = "artifacts"  # repeated --artifact HEX, or a list of strings in the request file
HEX = "hex"  # hex text as an option value, or read from a file
SEED = "seed"  # 32 bytes from a seed file or an environment variable; never a request member

SEED_FILE_MAX = 256  # a seed file is 32 raw bytes or 64 hex digits with some white space


@dataclass(frozen=True)
class Param:
    name: str  # the native parameter name, also the request-file member
    kind: str
    flag: str  # option name; for SEED the stem of --<flag>-file / --<flag>-env
    help: str
    file_flag: str | None = None  # HEX: the option that reads the value from a file


@dataclass(frozen=True)
class Command:
    name: str
    function: str  # attribute of corvane_kit._native
    params: tuple[Param, ...]
    summary: str
    description: str
    examples: str


class CliError(Exception):
    """A problem with the command's input, reported as one line with exit status 2."""


# ------------------------------------------------------------------ parameters

_TENANT = Param("tenant_id", TEXT, "--tenant-id", "tenant identifier (signed, not written into the body)")
_PRINCIPAL_SEED = Param("principal_seed", SEED, "principal-seed", "the principal's (payer's) 32-byte Ed25519 seed")
_PAYEE_SEED_INTENT = Param(
    "payee_seed", SEED, "payee-seed", "the payee's 32-byte Ed25519 seed (only its public key is used)"
)
_INTENT_ID = Param("intent_id", TEXT, "--intent-id", "intent UUID (hyphenated, simple, braced or urn:uuid: form)")
_PRINCIPAL_DID = Param("principal_did", TEXT, "--principal-did", "principal DID")
_PAYEE_DID = Param("payee_did", TEXT, "--payee-did", "payee DID")
_BUDGET = Param("budget_json", DOC, "--budget", "budget JSON document")
_CURRENCY = Param("currency", TEXT, "--currency", "currency code, e.g. USD")
_AMOUNT = Param("amount_cents", INT, "--amount-cents", "amount in cents, signed 64-bit (negative amounts pass)")
_SCHEMA = Param("evidence_schema_json", DOC, "--evidence-schema", "evidence schema JSON document")
_DEADLINE = Param("deadline_rfc3339", TEXT, "--deadline", "deadline, RFC 3339 with offset (used exactly as given)")
_PREDICATE = Param("predicate_json", DOC, "--predicate", "predicate JSON document")
_MATERIALIZED = Param(
    "materialized_predicate_json", DOC, "--materialized-predicate", "predicate JSON document materialized from the policy"
)
_PREDICATE_REF = Param("predicate_ref", TEXT, "--predicate-ref", "predicate reference (may be empty)")
_TOOLS = Param("allowed_tools_json", DOC, "--allowed-tools", "JSON array of allowed tool names (non-empty)")
_RAIL = Param(
    "settlement_rail",
    TEXT,
    "--settlement-rail",
    "stripe_connect, stripe_ach_debit, stripe_mpp, adyen_manual_capture or x402_usdc_base",
)
_TEMPLATE = Param("policy_template_id", TEXT, "--policy-template-id", "managed-policy template identifier")
_VERSION_SEQ = Param("policy_version_seq", INT, "--policy-version-seq", "policy version sequence number, 0..4294967295")
_POLICY_DIGEST = Param(
    "policy_content_digest_hex", TEXT, "--policy-content-digest-hex", "the policy's 32-byte content digest, 64 hex digits"
)
_PAYLOAD = Param("payload_json", DOC, "--payload", "evidence payload JSON document")
_ARTIFACTS = Param("artifacts_hex", ARTIFACTS, "--artifact", "artifact hash, 64 hex digits (optional 0x); repeat for each")
_SUBMITTED = Param("submitted_at_rfc3339", TEXT, "--submitted-at", "submission time, RFC 3339 with offset")
_PAYEE_SEED_EVIDENCE = Param("secret_seed", SEED, "seed", "the payee's 32-byte Ed25519 seed, which signs the evidence")
_DIGEST = Param("digest_hex", HEX, "--digest-hex", "the 32-byte SHA-256 digest that was signed, 64 hex digits")
_SIGNATURE = Param(
    "signature_hex", HEX, "--signature-hex", "the 64-byte Ed25519 signature, 128 hex digits", "--signature-file"
)
_PUBLIC_KEY = Param(
    "public_key_hex", HEX, "--public-key-hex", "the signer's 32-byte Ed25519 public key, 64 hex digits", "--public-key-file"
)

_INTENT_PARAMS = (
    _TENANT,
    _PRINCIPAL_SEED,
    _PAYEE_SEED_INTENT,
    _INTENT_ID,
    _PRINCIPAL_DID,
    _PAYEE_DID,
    _BUDGET,
    _CURRENCY,
    _AMOUNT,
    _SCHEMA,
    _DEADLINE,
    _PREDICATE,
    _PREDICATE_REF,
    _TOOLS,
    _RAIL,
)
_POLICY_INTENT_PARAMS = tuple(_MATERIALIZED if p is _PREDICATE else p for p in _INTENT_PARAMS) + (
    _TEMPLATE,
    _VERSION_SEQ,
    _POLICY_DIGEST,
)
_EVIDENCE_PARAMS = (_TENANT, _INTENT_ID, _PAYEE_DID, _PAYLOAD, _ARTIFACTS, _SUBMITTED)

_REQUEST_HELP = """\
Request file: a JSON object whose members are named like the parameters below
(tenant_id, budget_json, ...). A *_json member holds either the JSON text as a
string, or the JSON value itself, which is passed on with its numbers spelled
as in the file. Options given on the command line override the request file.
Seeds never go into a request file."""

_SEED_HELP = """\
Seeds: a seed file holds 32 raw bytes, or 64 hex digits with optional white
space around them; an environment variable holds the 64 hex digits. There is
no option that takes a seed itself."""

COMMANDS = (
    Command(
        "create-intent",
        "build_signed_create_intent_json",
        _INTENT_PARAMS,
        "sign a create-intent request (body of POST /intents)",
        "Build the CreateIntentRequest body of POST /intents, signed by the principal,\n"
        "and print it as one line of JSON.\n\n" + _REQUEST_HELP + "\n\n" + _SEED_HELP,
        "  corvane-kit create-intent --request examples/intent.json \\\n"
        "      --principal-seed-file examples/seeds/principal.example.hex \\\n"
        "      --payee-seed-file examples/seeds/payee.example.hex\n\n"
        "  # PRINCIPAL_SEED holds 64 hex digits, exported by your secret store\n"
        "  corvane-kit create-intent --request intent.json --amount-cents 2500 --budget budget.json \\\n"
        "      --principal-seed-env PRINCIPAL_SEED --payee-seed-file payee.hex",
    ),
    Command(
        "create-policy-intent",
        "build_signed_create_intent_with_policy_binding_json",
        _POLICY_INTENT_PARAMS,
        "sign a create-intent request bound to a managed policy",
        "Build the CreateIntentRequest body of POST /intents for an intent bound to a\n"
        "published managed policy (template id, version sequence number, content\n"
        "digest), signed by the principal, and print it as one line of JSON.\n\n" + _REQUEST_HELP + "\n\n" + _SEED_HELP,
        "  corvane-kit create-policy-intent --request examples/policy-intent.json \\\n"
        "      --principal-seed-file examples/seeds/principal.example.hex \\\n"
        "      --payee-seed-file examples/seeds/payee.example.hex\n\n"
        "  corvane-kit create-policy-intent --request policy-intent.json --policy-version-seq 4 \\\n"
        "      --materialized-predicate - --principal-seed-env P_SEED --payee-seed-env Q_SEED < predicate.json",
    ),
    Command(
        "sign-evidence",
        "sign_payee_evidence_binding_json",
        _EVIDENCE_PARAMS + (_PAYEE_SEED_EVIDENCE,),
        "sign an evidence submission (body of POST /intents/{intent_id}/evidence)",
        "Build the evidence submission body of POST /intents/{intent_id}/evidence,\n"
        "signed by the payee, and print it as one line of JSON.\n\n" + _REQUEST_HELP + "\n\n" + _SEED_HELP,
        "  corvane-kit sign-evidence --request examples/evidence.json \\\n"
        "      --seed-file examples/seeds/payee.example.hex\n\n"
        "  corvane-kit sign-evidence --request evidence.json --payload receipt.json \\\n"
        "      --artifact 0x$(sha256sum receipt.pdf | cut -c1-64) --seed-env PAYEE_SEED",
    ),
    Command(
        "evidence-bytes",
        "encode_evidence_sign_v1_hex",
        _EVIDENCE_PARAMS,
        "print the EvidenceSignV1 bytes that sign-evidence signs, as hex",
        "Print, as lower-case hex, the EvidenceSignV1 bytes that sign-evidence signs\n"
        "for the same inputs; for comparing another implementation's encoding.\n\n" + _REQUEST_HELP,
        "  corvane-kit evidence-bytes --request examples/evidence.json\n\n"
        "  corvane-kit evidence-bytes --request evidence.json --no-artifacts --submitted-at 2025-03-01T12:00:00Z",
    ),
    Command(
        "verify-digest",
        "verify_ed25519_sha256_hex",
        (_DIGEST, _SIGNATURE, _PUBLIC_KEY),
        "verify an Ed25519 signature over a SHA-256 digest (e.g. an export manifest)",
        "Check an Ed25519 signature over a 32-byte SHA-256 digest, for example the\n"
        "signature of an audit-export manifest. Prints true or false.\n\n"
        "Exit status: 0 when the signature is valid, 1 when it is not, 2 when an\n"
        "input cannot be read or decoded.\n\n"
        "The digest is given as hex (--digest-hex) or computed from a file\n"
        "(--digest-of FILE: the SHA-256 of its bytes). The signature and public key are\n"
        "given as hex or read as hex text from a file. A request file may hold\n"
        "digest_hex, signature_hex and public_key_hex.",
        "  corvane-kit verify-digest --digest-of examples/manifest.json \\\n"
        "      --signature-file examples/manifest.sig.hex --public-key-file examples/exporter.pub.hex\n\n"
        "  corvane-kit verify-digest --digest-hex $(sha256sum export.json | cut -c1-64) \\\n"
        "      --signature-hex \"$SIG\" --public-key-hex \"$PUB\" && echo signed",
    ),
)


# ------------------------------------------------------------------- argparse


class _Parser(argparse.ArgumentParser):
    """Reports usage errors as a CliError, so that main() prints them as one line."""

    def error(self, message: str) -> NoReturn:
        raise CliError(_usage_message(self.prog, message))


def _usage_message(prog: str, message: str) -> str:
    command = prog[len(PROG) :].strip()
    return message + (f"; see '{PROG} {command} --help'" if command else f"; see '{PROG} --help'")


def _unrecognized(command: Command, words: Sequence[str]) -> str:
    # Name only the options: a mistyped option may be followed by a secret value.
    options = [w.split("=", 1)[0] for w in words if w.startswith("-")]
    values = len(words) - len(options)
    message = "unrecognized arguments"
    if options:
        message += ": " + " ".join(options)
    if values:
        message += f" ({values} other value{'s' if values > 1 else ''}, not shown)"
    if any("seed" in o for o in options):
        seeds = [f"--{p.flag}-file or --{p.flag}-env" for p in command.params if p.kind == SEED]
        if seeds:
            message += "; a seed is never given on the command line: use " + ", ".join(seeds)
        else:
            message += f"; {command.name} takes no seed"
    return _usage_message(f"{PROG} {command.name}", message)


def build_parser() -> argparse.ArgumentParser:
    parser = _Parser(
        prog=PROG,
        allow_abbrev=False,
        formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Sign payment-intent requests and evidence submissions, print signing bytes,\n"
        "and verify digest signatures.",
        epilog="Exit status: 0 on success, 1 when verify-digest finds a signature invalid,\n"
        "2 on any error (one line on standard error).\n\n"
        f"Run '{PROG} COMMAND --help' for the options and examples of each command.",
    )
    parser.add_argument("--version", action="version", version=f"%(prog)s {_version()}")
    sub = parser.add_subparsers(dest="command", metavar="COMMAND", parser_class=_Parser)
    for command in COMMANDS:
        p = sub.add_parser(
            command.name,
            help=command.summary,
            description=command.description,
            epilog="examples:\n" + command.examples,
            formatter_class=argparse.RawDescriptionHelpFormatter,
            allow_abbrev=False,
        )
        p.add_argument("--request", metavar="FILE", help="JSON request file holding the arguments ('-': standard input)")
        for param in command.params:
            _add_param(p, param)
    return parser


def _add_param(p: argparse.ArgumentParser, param: Param) -> None:
    label = f"[{param.name}] {param.help}"
    if param.kind == TEXT:
        p.add_argument(param.flag, dest=param.name, metavar="TEXT", help=label)
    elif param.kind == INT:
        p.add_argument(param.flag, dest=param.name, metavar="N", type=_integer, help=label)
    elif param.kind == DOC:
        p.add_argument(param.flag, dest=param.name, metavar="FILE", help=label + " ('-': standard input)")
    elif param.kind == ARTIFACTS:
        group = p.add_mutually_exclusive_group()
        group.add_argument(param.flag, dest=param.name, metavar="HEX", action="append", help=label)
        group.add_argument(
            "--no-artifacts", dest=param.name, action="store_const", const=[], help="an empty artifact list"
        )
    elif param.kind == HEX:
        group = p.add_mutually_exclusive_group()
        group.add_argument(param.flag, dest=param.name, metavar="HEX", help=label)
        if param.name == "digest_hex":
            group.add_argument(
                "--digest-of",
                dest="digest_of",
                metavar="FILE",
                help="use the SHA-256 digest of this file's bytes ('-': standard input)",
            )
        elif param.file_flag:
            group.add_argument(
                param.file_flag, dest=param.name + "_file", metavar="FILE", help="read the hex text from this file"
            )
    elif param.kind == SEED:
        group = p.add_mutually_exclusive_group()
        group.add_argument(
            f"--{param.flag}-file",
            dest=param.name + "_file",
            metavar="FILE",
            help=f"[{param.name}] file holding {param.help} ('-': standard input)",
        )
        group.add_argument(
            f"--{param.flag}-env",
            dest=param.name + "_env",
            metavar="NAME",
            help="environment variable holding that seed as 64 hex digits",
        )
    else:  # pragma: no cover - the tables above use only the kinds handled here
        raise AssertionError(param.kind)


def _integer(text: str) -> int:
    if not re.fullmatch(r"[+-]?[0-9]+", text):
        raise argparse.ArgumentTypeError(f"not a decimal integer: {text!r}")
    return int(text, 10)


def _version() -> str:
    from corvane_kit import __version__

    return __version__


# ------------------------------------------------------------------ reading input


def _check_stdin_users(command: Command, args: argparse.Namespace) -> None:
    """At most one argument may name '-' (standard input)."""
    readers = [("--request", args.request)]
    for param in command.params:
        if param.kind == DOC:
            readers.append((param.flag, getattr(args, param.name)))
        elif param.kind == SEED:
            readers.append((f"--{param.flag}-file", getattr(args, param.name + "_file")))
        elif param.name == "digest_hex":
            readers.append(("--digest-of", args.digest_of))
        elif param.kind == HEX and param.file_flag:
            readers.append((param.file_flag, getattr(args, param.name + "_file")))
    users = [flag for flag, value in readers if value == "-"]
    if len(users) > 1:
        raise CliError(f"only one argument may read standard input ('-'); got {' and '.join(users)}")


def _read_stdin() -> bytes:
    return sys.stdin.buffer.read()


def _read_bytes(path: str, what: str) -> bytes:
    if path == "-":
        return _read_stdin()
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as e:
        raise CliError(f"{what}: cannot read {path}: {e.strerror or e}") from None


def _read_text(path: str, what: str) -> str:
    data = _read_bytes(path, what)
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as e:
        name = "standard input" if path == "-" else path
        raise CliError(f"{what}: {name} is not UTF-8 text (byte {e.start})") from None


class _RawNumber:
    """A JSON number of a request file, kept as written so that its value is read by the module, not by Python."""

    __slots__ = ("text",)

    def __init__(self, text: str) -> None:
        self.text = text


class _Members(list[tuple[str, Any]]):
    """The members of a JSON object of a request file, in order, repeated keys included."""


def _reject_constant(name: str) -> NoReturn:
    raise ValueError(f"{name} is not a JSON value")


def _load_request(text: str) -> dict[str, Any]:
    try:
        value = json.loads(
            text,
            parse_float=_RawNumber,
            parse_int=_RawNumber,
            parse_constant=_reject_constant,
            object_pairs_hook=_Members,
        )
    except ValueError as e:  # json.JSONDecodeError included
        raise CliError(f"--request: not a JSON text: {e}") from None
    if not isinstance(value, _Members):
        raise CliError("--request: the request must be a JSON object")
    members: dict[str, Any] = {}
    for key, member in value:
        if key in members:
            raise CliError(f"--request: member {key!r} appears twice")
        members[key] = member
    return members


def _json_text(value: Any) -> str:
    """Write a value of a request file back as JSON text, numbers as written and repeated keys kept."""
    if isinstance(value, _Members):
        return "{" + ",".join(json.dumps(k) + ":" + _json_text(v) for k, v in value) + "}"
    if isinstance(value, list):
        return "[" + ",".join(_json_text(v) for v in value) + "]"
    if isinstance(value, _RawNumber):
        return value.text
    return json.dumps(value)  # str, True, False, None


def _plain(value: Any) -> Any:
    """A request member as a Python value (for the members that are not JSON documents)."""
    if isinstance(value, _Members):
        return {k: _plain(v) for k, v in value}
    if isinstance(value, list):
        return [_plain(v) for v in value]
    if isinstance(value, _RawNumber):
        return json.loads(value.text)
    return value


def _from_request(param: Param, value: Any) -> Any:
    where = f"--request: member {param.name}"
    if param.kind == DOC:
        return value if isinstance(value, str) else _json_text(value)
    value = _plain(value)
    if param.kind in (TEXT, HEX):
        if not isinstance(value, str):
            raise CliError(f"{where} must be a string")
    elif param.kind == INT:
        if not isinstance(value, int) or isinstance(value, bool):
            raise CliError(f"{where} must be an integer")
    elif param.kind == ARTIFACTS:
        if not isinstance(value, list) or not all(isinstance(v, str) for v in value):
            raise CliError(f"{where} must be a list of strings")
    return value


# ---------------------------------------------------------------------- seeds

_HEX_DIGITS = re.compile(rb"[0-9a-fA-F]{64}")
_ASCII_SPACE = b" \t\n\r\f\v"


def _seed_from_bytes(data: bytes | bytearray, source: str, raw_allowed: bool) -> bytearray:
    if raw_allowed and len(data) == 32:
        if re.fullmatch(rb"\s*[0-9a-fA-F]*\s*", bytes(data)):
            # Far more likely a truncated hex seed than 32 random bytes that all happen to be hex digits.
            raise CliError(f"{source} holds too few hex digits; a seed is 64 hex digits (or 32 raw bytes)")
        return bytearray(data)
    stripped = bytes(data).strip(_ASCII_SPACE)
    if not _HEX_DIGITS.fullmatch(stripped):
        form = "32 raw bytes or 64 hex digits" if raw_allowed else "64 hex digits"
        raise CliError(f"{source} must hold {form} (found {len(data)} bytes that are neither)")
    return bytearray.fromhex(stripped.decode("ascii"))


def _read_seed(param: Param, args: argparse.Namespace, environ: Mapping[str, str]) -> bytearray:
    path = getattr(args, param.name + "_file")
    env = getattr(args, param.name + "_env")
    file_flag, env_flag = f"--{param.flag}-file", f"--{param.flag}-env"
    if path is not None:
        if path != "-" and not os.path.exists(path) and _HEX_DIGITS.search(path.encode("utf-8", "replace")):
            # Never echo what looks like a seed typed where a path belongs.
            raise CliError(f"{file_flag} takes the path of a seed file, not a seed")
        if path == "-":
            data = _read_stdin()
        else:
            try:
                with open(path, "rb") as f:
                    data = f.read(SEED_FILE_MAX + 1)
            except OSError as e:
                raise CliError(f"{file_flag}: cannot read {path}: {e.strerror or e}") from None
        if len(data) > SEED_FILE_MAX:
            raise CliError(f"{file_flag}: {path} is too long for a seed file")
        return _seed_from_bytes(data, f"{file_flag} {path}", raw_allowed=True)
    if env is not None:
        value = environ.get(env)
        if value is None:
            raise CliError(f"{env_flag}: environment variable {env} is not set")
        return _seed_from_bytes(value.encode("utf-8", "replace"), f"{env_flag}: environment variable {env}", False)
    raise CliError(f"missing {param.name}: give {file_flag} FILE or {env_flag} NAME")


# ---------------------------------------------------------------------- running


def _gather(
    command: Command, args: argparse.Namespace, environ: Mapping[str, str], seeds: list[bytearray]
) -> dict[str, Any]:
    """The native function's keyword arguments; seeds read are also appended to ``seeds``."""
    _check_stdin_users(command, args)
    request: dict[str, Any] = {}
    if args.request is not None:
        request = _load_request(_read_text(args.request, "--request"))
    by_name = {p.name: p for p in command.params if p.kind != SEED}
    members: dict[str, Any] = {}
    for key, value in request.items():
        if key in by_name:
            members[key] = _from_request(by_name[key], value)
        elif key.endswith("seed"):
            raise CliError(f"--request: seeds are not read from request files ({key}); use a seed file or variable")
        else:
            raise CliError(f"--request: unknown member {key!r} for {command.name}")

    kwargs: dict[str, Any] = {}
    for param in command.params:
        if param.kind == SEED:
            seed = _read_seed(param, args, environ)
            seeds.append(seed)
            kwargs[param.name] = seed
            continue
        value = getattr(args, param.name)
        if param.kind == DOC and value is not None:
            value = _read_text(value, param.flag)
        elif param.kind == HEX and value is None:
            if param.name == "digest_hex" and args.digest_of is not None:
                value = hashlib.sha256(_read_bytes(args.digest_of, "--digest-of")).hexdigest()
            elif param.file_flag and getattr(args, param.name + "_file") is not None:
                value = _read_text(getattr(args, param.name + "_file"), param.file_flag)
        if value is None:
            value = members.get(param.name)
        if value is None:
            raise CliError(f"missing {param.name}: {_how_to_give(param)}")
        kwargs[param.name] = value
    return kwargs


def _how_to_give(param: Param) -> str:
    if param.kind == ARTIFACTS:
        return f"give {param.flag} HEX (repeatable) or --no-artifacts, or {param.name} in the request file"
    if param.name == "digest_hex":
        return f"give {param.flag} HEX or --digest-of FILE, or {param.name} in the request file"
    alternatives = f"{param.flag} or {param.file_flag}" if param.file_flag else param.flag
    return f"give {alternatives}, or {param.name} in the request file"


def _call(function: Callable[..., Any], kwargs: dict[str, Any]) -> Any:
    try:
        return function(**kwargs)
    except (KeyboardInterrupt, SystemExit, GeneratorExit):
        raise
    except Exception as e:
        raise CliError(_exception_text(e)) from None
    except BaseException as e:  # pyo3_runtime.PanicException: a broken invariant inside the module
        raise CliError(f"internal failure ({type(e).__name__}): {_exception_text(e)}") from None


def _exception_text(e: BaseException) -> str:
    text = str(e) or type(e).__name__
    notes = getattr(e, "__notes__", None)
    if notes:
        text += " (" + "; ".join(str(n) for n in notes) + ")"
    return text


def _one_line(text: str) -> str:
    return "".join(c if c.isprintable() else c.encode("unicode_escape").decode("ascii") for c in text)


def run(argv: Sequence[str] | None = None, environ: Mapping[str, str] | None = None) -> int:
    """Run the command line ``argv`` (without the program name); return the exit status.

    Raises CliError for bad input; main() turns it into one line on standard error.
    """
    parser = build_parser()
    args, extra = parser.parse_known_args(argv)
    if args.command is None:
        raise CliError(f"choose a command: {', '.join(c.name for c in COMMANDS)}; see '{PROG} --help'")
    command = next(c for c in COMMANDS if c.name == args.command)
    if extra:
        raise CliError(_unrecognized(command, extra))
    seeds: list[bytearray] = []
    try:
        kwargs = _gather(command, args, os.environ if environ is None else environ, seeds)
        result = _call(getattr(_native, command.function), kwargs)
    finally:
        for seed in seeds:  # best effort: the copies this process made of the seeds
            seed[:] = bytes(len(seed))
    if isinstance(result, bool):
        sys.stdout.write("true\n" if result else "false\n")
        return EXIT_OK if result else EXIT_INVALID
    sys.stdout.write(result + "\n")
    return EXIT_OK


def main(argv: Sequence[str] | None = None) -> int:
    """Entry point of the ``corvane-kit`` command; returns the exit status."""
    try:
        status = run(argv)
        sys.stdout.flush()
        return status
    except CliError as e:
        sys.stderr.write(f"{PROG}: error: {_one_line(str(e))}\n")
        return EXIT_ERROR
    except SystemExit as e:  # --help and --version
        return e.code if isinstance(e.code, int) else EXIT_ERROR


if __name__ == "__main__":  # pragma: no cover
    sys.exit(main())

"""The ``corvane-kit`` command: the five signing functions, the body checks and key tools, from a shell.

Each signing subcommand calls the Pythonic form of one function of
``corvane_kit._native`` (the checks: of ``corvane_kit._check``) with the
arguments gathered from a request file, from individual options (which
override the request file) and, for seeds, from a seed file or an environment
variable. Seeds are never taken from the command line itself. The Pythonic
function chooses the native function, converts keys given as base64 and
refuses a body the service could not read back, exactly as for a Python
caller: the create-intent commands may name the payee by its public key
instead of its seed. With ``--jsonl`` (see ``_cli_jsonl``) a signing
subcommand reads one request per line and runs them through the same
conversion in native batches. ``public-key`` and ``new-seed`` (see
``_cli_keys``) print a seed's public key and make a new seed file.

Exit status: 0 on success (for ``verify-digest`` and the checks: the signature
is valid), 1 when ``verify-digest`` finds the signature invalid or a check
fails (its reason on standard output), 2 on any error (a failed
write of the result included), 141 when the reader of standard output has
gone away (a broken pipe, reported as a shell reports a process ended by
SIGPIPE, so that neither a result nor an error is claimed).
"""

from __future__ import annotations

import argparse
import hashlib
import os
import re
import sys
from dataclasses import dataclass
from dataclasses import replace
from typing import IO, Any, Callable, Mapping, NoReturn, Sequence

from corvane_kit import _api, _check, _chunks, _cli_jsonl, _cli_keys, _cli_request, _cli_seeds, _key_encodings, batch
from corvane_kit._cli_error import CliError
from corvane_kit._key_encodings import BinaryValue
from corvane_kit._native_call import PythonicFunction

PROG = "corvane-kit"

EXIT_OK = 0
EXIT_INVALID = 1
EXIT_ERROR = 2
EXIT_BROKEN_PIPE = 128 + 13  # SIGPIPE

# Kinds of parameters.
TEXT = "text"  # a str option, or a string member of the request file
DOC = "doc"  # JSON text read from a file (or "-"); a request member holds the text or the value
INT = "int"  # an integer option or member
ARTIFACTS = "artifacts"  # repeated --artifact HEX, or a list of strings in the request file
HEX = "hex"  # the digest: hex text as an option value, or the SHA-256 of a file (--digest-of)
BINARY = "binary"  # a key or signature: raw bytes, hex or base64 text, as an option value or from a file
SEED = "seed"  # 32 bytes from a seed file or an environment variable; never a request member

@dataclass(frozen=True)
class Param:
    name: str  # the native parameter name, also the request-file member
    kind: str
    flag: str  # option name; for SEED the stem of --<flag>-file / --<flag>-env
    help: str
    file_flag: str | None = None  # BINARY: the option that reads the value from a file
    alias: str | None = None  # a second name of the option
    default: str | None = None  # the value when neither an option nor the request gives one
    binary: BinaryValue | None = None  # BINARY: the forms it is accepted in
    optional: bool = False  # left to the function's own default when not given


@dataclass(frozen=True)
class Command:
    name: str
    # What it runs, called with the gathered arguments by name: a Pythonic
    # function (which --jsonl runs in batches) or a check; None for the key tools.
    function: Callable[..., Any] | None
    params: tuple[Param, ...]
    summary: str
    description: str
    examples: str


# ------------------------------------------------------------------ parameters

_TENANT = Param("tenant_id", TEXT, "--tenant-id", "tenant identifier (signed, not written into the body)")
_PRINCIPAL_SEED = Param("principal_seed", SEED, "principal-seed", "the principal's (payer's) 32-byte Ed25519 seed")
_PAYEE_SEED_INTENT = Param(
    "payee_seed", SEED, "payee-seed", "the payee's 32-byte Ed25519 seed (only its public key is used)"
)
_PAYEE_PUBLIC_KEY = Param(
    "payee_public_key",
    BINARY,
    "--payee-public-key",
    "the payee's 32-byte Ed25519 public key, in place of its seed: 64 hex digits or 44 base64 characters",
    "--payee-public-key-file",
    binary=_key_encodings.PAYEE_PUBLIC_KEY,
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
_PREDICATE_REF = Param(
    "predicate_ref", TEXT, "--predicate-ref", "predicate reference; may be empty, which is the default", default=""
)
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
    "signature_hex",
    BINARY,
    "--signature",
    "the 64-byte Ed25519 signature: 128 hex digits or 88 base64 characters",
    "--signature-file",
    "--signature-hex",
    binary=_key_encodings.SIGNATURE,
)
_PUBLIC_KEY = Param(
    "public_key_hex",
    BINARY,
    "--public-key",
    "the signer's 32-byte Ed25519 public key: 64 hex digits or 44 base64 characters",
    "--public-key-file",
    "--public-key-hex",
    binary=_key_encodings.PUBLIC_KEY,
)

_INTENT_PARAMS = (
    _TENANT,
    _PRINCIPAL_SEED,
    _PAYEE_SEED_INTENT,
    _PAYEE_PUBLIC_KEY,
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
_BODY = Param("body", DOC, "--body", "the request body to check, exactly as sent")
_CHECK_POLICY_DIGEST = Param(
    "policy_content_digest",
    TEXT,
    "--policy-digest",
    "the policy's 32-byte content digest, 64 hex digits (signing_version 7 only)",
    optional=True,
)
_CHECK_MATERIALIZED = replace(
    _MATERIALIZED, help="predicate JSON document materialized from the policy (signing_version 7 only)", optional=True
)
_PATH_INTENT_ID = Param("intent_id", TEXT, "--intent-id", "intent UUID of the request path, used exactly as given")

_REQUEST_HELP = """\
Request file: a JSON object whose members are named like the parameters below
(tenant_id, budget_json, ...). A *_json member holds either the JSON text as a
string, or the JSON value itself, which is passed on with its numbers spelled
as in the file. Options given on the command line override the request file.
Seeds never go into a request file."""

_SEED_HELP = """\
Seeds: a seed file holds 32 raw bytes, or 64 hex digits with optional white
space around them; an environment variable holds the 64 hex digits. There is
no option that takes a seed itself. A seed file must be private: one that
group or others may read or write is refused (fix: chmod 600 FILE); a file
owned by another user, typically root, may grant its group read access."""

_PAYEE_KEY_HELP = """\
The payee: give its seed, or only its public key (--payee-public-key TEXT,
base64 as in the bodies or hex; --payee-public-key-file FILE, which may also
hold the 32 raw bytes; or payee_public_key in the request file), never both.
Only the public key is signed, so the body is the same either way."""

_JSONL_HELP = """\
Many requests: --jsonl FILE reads one request per line, each a JSON object
like a request file; options, files and seeds given apply to every line.
Blank lines are skipped. One line is printed per request, in order:
{"line": N, "result": R}, where R is the output above as a JSON string (its
exact text) or true/false, or {"line": N, "error": {"type": T, "message": M}}.
Threads (--workers, default: the CPUs) share the signing. Exit status 2 if
any request failed; verify-digest: else 1 if any signature is invalid."""

COMMANDS = (
    Command(
        "create-intent",
        _api.create_intent,
        _INTENT_PARAMS,
        "sign a create-intent request (body of POST /intents)",
        "Build the CreateIntentRequest body of POST /intents, signed by the principal,\n"
        "and print it as one line of JSON.\n\n" + _REQUEST_HELP + "\n\n" + _SEED_HELP + "\n\n" + _PAYEE_KEY_HELP,
        "  corvane-kit create-intent --request examples/intent.json \\\n"
        "      --principal-seed-file examples/seeds/principal.example.hex \\\n"
        "      --payee-seed-file examples/seeds/payee.example.hex\n\n"
        "  # PRINCIPAL_SEED holds 64 hex digits, exported by your secret store\n"
        "  corvane-kit create-intent --request intent.json --amount-cents 2500 --budget budget.json \\\n"
        "      --principal-seed-env PRINCIPAL_SEED --payee-seed-file payee.hex\n\n"
        "  # only the payee's public key is known, as 'corvane-kit public-key' printed it\n"
        "  corvane-kit create-intent --request intent.json --principal-seed-env PRINCIPAL_SEED \\\n"
        "      --payee-public-key \"$PAYEE_PUBKEY\"",
    ),
    Command(
        "create-policy-intent",
        _api.create_policy_intent,
        _POLICY_INTENT_PARAMS,
        "sign a create-intent request bound to a managed policy",
        "Build the CreateIntentRequest body of POST /intents for an intent bound to a\n"
        "published managed policy (template id, version sequence number, content\n"
        "digest), signed by the principal, and print it as one line of JSON.\n\n"
        + _REQUEST_HELP + "\n\n" + _SEED_HELP + "\n\n" + _PAYEE_KEY_HELP,
        "  corvane-kit create-policy-intent --request examples/policy-intent.json \\\n"
        "      --principal-seed-file examples/seeds/principal.example.hex \\\n"
        "      --payee-seed-file examples/seeds/payee.example.hex\n\n"
        "  corvane-kit create-policy-intent --request policy-intent.json --policy-version-seq 4 \\\n"
        "      --materialized-predicate - --principal-seed-env P_SEED --payee-seed-env Q_SEED < predicate.json",
    ),
    Command(
        "sign-evidence",
        _api.sign_evidence,
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
        _api.evidence_sign_v1_hex,
        _EVIDENCE_PARAMS,
        "print the EvidenceSignV1 bytes that sign-evidence signs, as hex",
        "Print, as lower-case hex, the EvidenceSignV1 bytes that sign-evidence signs\n"
        "for the same inputs; for comparing another implementation's encoding.\n\n" + _REQUEST_HELP,
        "  corvane-kit evidence-bytes --request examples/evidence.json\n\n"
        "  corvane-kit evidence-bytes --request evidence.json --no-artifacts --submitted-at 2025-03-01T12:00:00Z",
    ),
    Command(
        "verify-digest",
        _api.verify_digest_signature,
        (_DIGEST, _SIGNATURE, _PUBLIC_KEY),
        "verify an Ed25519 signature over a SHA-256 digest (e.g. an export manifest)",
        "Check an Ed25519 signature over a 32-byte SHA-256 digest, for example the\n"
        "signature of an audit-export manifest. Prints true or false.\n\n"
        "Exit status: 0 when the signature is valid, 1 when it is not, 2 when an\n"
        "input cannot be read or decoded or the answer cannot be written.\n\n"
        "The digest is given as hex (--digest-hex) or computed from a file\n"
        "(--digest-of FILE: the SHA-256 of its bytes). The signature and the public\n"
        "key are given as hex or base64 text (base64 as in the request bodies), told\n"
        "apart by length, or read from a file holding that text or the raw bytes.\n"
        "A request file may hold digest_hex, signature_hex and public_key_hex.",
        "  corvane-kit verify-digest --digest-of examples/manifest.json \\\n"
        "      --signature-file examples/manifest.sig.hex --public-key-file examples/exporter.pub.hex\n\n"
        "  corvane-kit verify-digest --digest-hex $(sha256sum export.json | cut -c1-64) \\\n"
        "      --signature \"$SIG_BASE64\" --public-key \"$PUBKEY_BASE64\" && echo signed",
    ),
    Command(
        "check-intent",
        _check.check_create_intent,
        (_BODY, _TENANT, _CHECK_POLICY_DIGEST, _CHECK_MATERIALIZED),
        "check a POST /intents body as the service does",
        "Rebuild the signing payload of a CreateIntentRequest body from the body\n"
        "itself, as the service does, and verify principal_signature over it. Prints\n"
        "ok, or the reason the body fails, naming the member.\n\n"
        "A signing_version 7 body needs the policy's content digest and the\n"
        "materialized predicate, which it does not carry.\n\n"
        "Exit status: 0 when the body verifies, 1 when it does not, 2 when an input\n"
        "cannot be read.",
        "  corvane-kit check-intent --body body.json --tenant-id tenant-7\n\n"
        "  corvane-kit check-intent --body body.json --tenant-id tenant-7 \\\n"
        "      --policy-digest $(cat policy.digest.hex) --materialized-predicate predicate.json",
    ),
    Command(
        "check-evidence",
        _check.check_evidence,
        (_BODY, _TENANT, _PATH_INTENT_ID),
        "check a POST /intents/{intent_id}/evidence body as the service does",
        "Rebuild the EvidenceSignV1 payload of an evidence submission body from the\n"
        "body itself, the tenant and the intent of the request path, as the service\n"
        "does, and verify payee_signature over it. Prints ok, or the reason the body\n"
        "fails, naming the member.\n\n"
        "Exit status: 0 when the body verifies, 1 when it does not, 2 when an input\n"
        "cannot be read.",
        "  corvane-kit check-evidence --body evidence-body.json --tenant-id tenant-7 \\\n"
        "      --intent-id 123e4567-e89b-12d3-a456-426614174000",
    ),
)

# The key tools: no signing function, run by _run_key_command.
_KEY_SEED = Param("seed", SEED, "seed", "the 32-byte Ed25519 seed whose public key is printed")
KEY_COMMANDS = (
    Command(
        "public-key",
        None,
        (_KEY_SEED,),
        "print the public key of a seed, to register it with the service",
        "Print the Ed25519 public key of a seed: what its holder registers with the\n"
        "service, and what the bodies carry as principal_pubkey or payee_pubkey.\n"
        "Base64 by default, as in the bodies; --format hex for hex. The seed itself\n"
        "is never printed.\n\n" + _SEED_HELP,
        "  corvane-kit public-key --seed-file examples/seeds/payee.example.hex\n\n"
        "  corvane-kit public-key --seed-env PAYEE_SEED --format hex",
    ),
    Command(
        "new-seed",
        None,
        (),
        "make a new seed file (mode 0600) and print its public key",
        "Make a new Ed25519 seed from the system's secure random source, write it to a\n"
        "new file as 64 hex digits and a newline, and print its public key (base64 by\n"
        "default, --format hex for hex). The file is created with mode 0600 whatever\n"
        "the umask; an existing path (a file, a symbolic link, anything) is never\n"
        "replaced. The seed itself is never printed.",
        "  corvane-kit new-seed --out payee.seed\n\n"
        "  corvane-kit new-seed --out ~/.config/intents/principal.seed --format hex",
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
        "verify digest signatures, check request bodies as the service does, make seeds\n"
        "and print their public keys.",
        epilog="Exit status: 0 on success, 1 when verify-digest finds a signature invalid or\n"
        "a check fails, 2 on any error (one line on standard error), 141 when standard\n"
        "output is a pipe whose reader has gone.\n\n"
        f"Run '{PROG} COMMAND --help' for the options and examples of each command.",
    )
    parser.add_argument("--version", action="version", version=f"%(prog)s {_version()}")
    sub = parser.add_subparsers(dest="command", metavar="COMMAND", parser_class=_Parser)
    for command in COMMANDS + KEY_COMMANDS:
        batches = isinstance(command.function, PythonicFunction)
        p = sub.add_parser(
            command.name,
            help=command.summary,
            description=command.description + ("\n\n" + _JSONL_HELP if batches else ""),
            epilog="examples:\n" + command.examples,
            formatter_class=argparse.RawDescriptionHelpFormatter,
            allow_abbrev=False,
        )
        if command in KEY_COMMANDS:
            _cli_keys.add_format_option(p)
            if command.name == "new-seed":
                _cli_keys.add_out_option(p)
        else:
            _add_request_options(p, batches)
        for param in command.params:
            _add_param(p, param)
    return parser


def _add_request_options(p: argparse.ArgumentParser, batches: bool) -> None:
    requests = p.add_mutually_exclusive_group()
    requests.add_argument(
        "--request", metavar="FILE", help="JSON request file holding the arguments ('-': standard input)"
    )
    p.set_defaults(jsonl=None, workers=None)
    if batches:
        requests.add_argument(
            "--jsonl",
            metavar="FILE",
            help="many requests, one JSON object per line ('-': standard input); prints one JSON line per "
            "request: see 'Many requests' above",
        )
        p.add_argument(
            "--workers", metavar="N", type=_integer, help="threads signing --jsonl requests (default: the CPUs)"
        )


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
        group.add_argument(
            "--digest-of",
            dest="digest_of",
            metavar="FILE",
            help="use the SHA-256 digest of this file's bytes ('-': standard input)",
        )
    elif param.kind == BINARY:
        assert param.binary is not None and param.file_flag is not None
        group = p.add_mutually_exclusive_group()
        names = (param.flag, param.alias) if param.alias else (param.flag,)
        group.add_argument(*names, dest=param.name, metavar="TEXT", help=label)
        group.add_argument(
            param.file_flag,
            dest=param.name + "_file",
            metavar="FILE",
            help=f"read it from this file: {param.binary.forms()} ('-': standard input)",
        )
    elif param.kind == SEED:
        group = p.add_mutually_exclusive_group()
        group.add_argument(
            f"--{param.flag}-file",
            dest=param.name + "_file",
            metavar="FILE",
            help=f"[{param.name}] private file holding {param.help} ('-': standard input)",
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


def _file_flag(param: Param) -> str | None:
    """The option by which ``param`` reads a file, if any."""
    if param.kind == SEED:
        return f"--{param.flag}-file"
    if param.kind == DOC:
        return param.flag
    if param.kind == HEX:
        return "--digest-of"
    return param.file_flag


def _file_path(param: Param, args: argparse.Namespace) -> str | None:
    if param.kind == DOC:
        return getattr(args, param.name)  # type: ignore[no-any-return]
    if param.kind == HEX:
        return args.digest_of  # type: ignore[no-any-return]
    if param.kind in (SEED, BINARY):
        return getattr(args, param.name + "_file")  # type: ignore[no-any-return]
    return None


def _check_stdin_users(command: Command, args: argparse.Namespace) -> None:
    """At most one argument may name '-' (standard input)."""
    readers: list[tuple[str | None, str | None]] = [("--request", args.request), ("--jsonl", args.jsonl)]
    readers += [(_file_flag(p), _file_path(p, args)) for p in command.params]
    users = [str(flag) for flag, value in readers if value == "-"]
    if len(users) > 1:
        raise CliError(f"only one argument may read standard input ('-'); got {' and '.join(users)}")


def _read_stdin() -> bytes:
    if sys.stdin is None:
        raise CliError("standard input is closed")
    try:
        return sys.stdin.buffer.read()
    except OSError as e:
        raise CliError(f"cannot read standard input: {e.strerror or e}") from None


def _read_bytes(path: str, what: str) -> bytes:
    if path == "-":
        return _read_stdin()
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as e:
        raise CliError(f"{what}: cannot read {path}: {e.strerror or e}") from None


def _decode_text(data: bytes, path: str, what: str) -> str:
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as e:
        raise CliError(f"{what}: {_file_name(path)} is not UTF-8 text (byte {e.start})") from None


def _read_text(path: str, what: str) -> str:
    return _decode_text(_read_bytes(path, what), path, what)


def _file_name(path: str) -> str:
    return "standard input" if path == "-" else path


def _from_request(param: Param, value: Any, where: str) -> Any:
    if param.kind == DOC:
        return value if isinstance(value, str) else _cli_request.json_text(value)
    try:
        value = _cli_request.plain(value)
    except ValueError as e:  # an integer too long for Python to convert
        raise CliError(f"{where}: member {param.name}: {e}") from None
    if param.kind in (TEXT, HEX, BINARY):
        if not isinstance(value, str):
            raise CliError(f"{where}: member {param.name} must be a string")
    elif param.kind == INT:
        if not isinstance(value, int) or isinstance(value, bool):
            raise CliError(f"{where}: member {param.name} must be an integer")
    elif param.kind == ARTIFACTS:
        if not isinstance(value, list) or not all(isinstance(v, str) for v in value):
            raise CliError(f"{where}: member {param.name} must be a list of strings")
    return value


def _request_members(command: Command, path: str) -> tuple[dict[str, Any], dict[str, str]]:
    """The arguments a request file gives, and where each was read (for messages)."""
    text = _read_text(path, "--request")
    return _members(command, text, f"--request {_file_name(path)}", f"request file {_file_name(path)}")


def _members(command: Command, text: str, where: str, source: str) -> tuple[dict[str, Any], dict[str, str]]:
    """The arguments one request gives, and where each was read; ``where`` names it in messages."""
    by_name = {p.name: p for p in command.params if p.kind != SEED}
    members: dict[str, Any] = {}
    origins: dict[str, str] = {}
    for key, value in _cli_request.load_request(text, where).items():
        if key in by_name:
            try:
                members[key] = _from_request(by_name[key], value, where)
            except RecursionError:
                raise CliError(f"{where}: member {key} is nested too deeply to read") from None
            origins[key] = f"in member {key} of {source}"
            if by_name[key].kind == DOC:  # where the module's line and column count from
                origins[key] += ", counting within " + ("its text" if isinstance(value, str) else "its value on one line")
        elif key.endswith("seed"):
            raise CliError(f"{where}: seeds are not read from request files ({key}); use a seed file or variable")
        else:
            raise CliError(f"{where}: unknown member {key!r} for {command.name}")
    return members, origins


# ---------------------------------------------------------------------- running


@dataclass
class _Arguments:
    """The native function's keyword arguments, and where those read from files came from."""

    values: dict[str, Any]
    origins: dict[str, str]  # parameter name -> where its text was read, for messages
    seeds: list[bytearray]  # the copies of the seeds read, to wipe after the call


def _gather(command: Command, args: argparse.Namespace, environ: Mapping[str, str], gathered: _Arguments) -> None:
    _check_stdin_users(command, args)
    members: dict[str, Any] = {}
    member_origins: dict[str, str] = {}
    if args.request is not None:
        members, member_origins = _request_members(command, args.request)
    given = lambda param: _given_value(param, args, environ, gathered)  # noqa: E731 - read in turn
    _settle_all(command, args, given, members, member_origins, gathered, "the request file")


def _given_value(param: Param, args: argparse.Namespace, environ: Mapping[str, str], gathered: _Arguments) -> Any:
    """A seed, or the value of an option or of a file it names; None when none is given."""
    if param.kind == SEED:
        if param is _PAYEE_SEED_INTENT and args.payee_seed_file is None and args.payee_seed_env is None:
            return None  # named by its public key instead, or missing: see _payee_not_given
        seed = _read_seed(param, args, environ)
        gathered.seeds.append(seed)
        return seed
    path = _file_path(param, args)
    value = None if param.kind == DOC else getattr(args, param.name)
    if value is None and path is not None:
        gathered.origins[param.name] = f"in {_file_name(path)}, given by {_file_flag(param)}"
        value = _value_from_file(param, path)
    return value


def _settle_all(command: Command, args: argparse.Namespace, given: Callable[[Param], Any],
                members: Mapping[str, Any], member_origins: Mapping[str, str], gathered: _Arguments,
                request: str) -> None:
    """Each argument, in parameter order; of the payee's seed and key, only the one given."""
    payee_not_given = None
    for param in command.params:
        if param is _PAYEE_SEED_INTENT:
            payee_not_given = _payee_not_given(args, members, request)
        if param.name != payee_not_given:
            _settle(param, given(param), members, member_origins, gathered, request)


def _settle(param: Param, given: Any, members: Mapping[str, Any], member_origins: Mapping[str, str],
            gathered: _Arguments, request: str) -> None:
    """The argument: as given by option, else the request's member, else the default."""
    value = given
    if value is None and param.name in members:
        gathered.origins[param.name] = member_origins[param.name]
        value = members[param.name]
    if value is None:
        value = param.default
    if value is None and param.optional:
        return
    if value is None:
        raise CliError(f"missing {param.name}: {_how_to_give(param, request)}")
    gathered.values[param.name] = value


def _payee_not_given(args: argparse.Namespace, members: Mapping[str, Any], request: str) -> str:
    """Of the payee's seed and its public key, the one not given, once exactly one is."""
    seed = [flag for flag, value in (("--payee-seed-file", args.payee_seed_file),
                                     ("--payee-seed-env", args.payee_seed_env)) if value is not None]
    key = [flag for flag, value in (("--payee-public-key", args.payee_public_key),
                                    ("--payee-public-key-file", args.payee_public_key_file),
                                    (f"payee_public_key in {request}", members.get("payee_public_key")))
           if value is not None]
    if seed and key:
        raise CliError(f"give the payee's seed or its public key, not both (got {' and '.join(seed + key)})")
    if not seed and not key:
        raise CliError(
            "missing the payee: give --payee-seed-file FILE or --payee-seed-env NAME, or its public key with "
            f"--payee-public-key TEXT or --payee-public-key-file FILE (or payee_public_key in {request})"
        )
    return _PAYEE_SEED_INTENT.name if key else _PAYEE_PUBLIC_KEY.name


def _value_from_file(param: Param, path: str) -> Any:
    flag = str(_file_flag(param))
    if param.kind == HEX:
        return hashlib.sha256(_read_bytes(path, flag)).hexdigest()
    if param.kind == BINARY:
        assert param.binary is not None
        data = _read_bytes(path, flag)
        try:
            return _key_encodings.from_file(param.binary, data)
        except UnicodeDecodeError:
            return _decode_text(data, path, flag)
    return _read_text(path, flag)


def _read_seed(param: Param, args: argparse.Namespace, environ: Mapping[str, str]) -> bytearray:
    path = getattr(args, param.name + "_file")
    env = getattr(args, param.name + "_env")
    file_flag, env_flag = f"--{param.flag}-file", f"--{param.flag}-env"
    if path is not None:
        return _cli_seeds.seed_from_file(path, file_flag, _read_stdin)
    if env is not None:
        return _cli_seeds.seed_from_environment(env, env_flag, environ)
    raise CliError(f"missing {param.name}: give {file_flag} FILE or {env_flag} NAME")


def _how_to_give(param: Param, request: str) -> str:
    if param.kind == ARTIFACTS:
        return f"give {param.flag} HEX (repeatable) or --no-artifacts, or {param.name} in {request}"
    if param.kind == HEX:
        return f"give {param.flag} HEX or --digest-of FILE, or {param.name} in {request}"
    alternatives = f"{param.flag} or {param.file_flag}" if param.file_flag else param.flag
    return f"give {alternatives}, or {param.name} in {request}"


def _call(command: Command, arguments: _Arguments) -> Any:
    assert command.function is not None
    try:
        return command.function(**arguments.values)
    except (KeyboardInterrupt, SystemExit, GeneratorExit):
        raise
    except Exception as e:
        raise CliError(_describe(e, arguments.origins)) from None
    except BaseException as e:  # pyo3_runtime.PanicException: a broken invariant inside the module
        raise CliError(f"internal failure ({type(e).__name__}): {_exception_text(e)}") from None


def _describe(error: BaseException, origins: Mapping[str, str]) -> str:
    """The message of a failed call, with its notes and where the input at fault was read."""
    return _exception_text(error) + _origin(str(error), origins)


def _origin(message: str, origins: Mapping[str, str]) -> str:
    """Where the input that a message is about was read, when it was read from a file."""
    for name, origin in origins.items():
        if re.match(rf"(?:{name}|{name.removesuffix('_json')})\b", message):
            return f" ({origin})"
    return ""


def _exception_text(e: BaseException) -> str:
    text = str(e) or type(e).__name__
    notes = getattr(e, "__notes__", None)
    if notes:
        text += " (" + "; ".join(str(n) for n in notes) + ")"
    return text


def _one_line(text: str) -> str:
    return "".join(c if c.isprintable() else c.encode("unicode_escape").decode("ascii") for c in text)


def run(argv: Sequence[str] | None = None, environ: Mapping[str, str] | None = None) -> tuple[int, str]:
    """Run the command line ``argv`` (without the program name); return the exit status and the output.

    Raises CliError for bad input; main() turns it into one line on standard error.
    """
    parser = build_parser()
    args, extra = parser.parse_known_args(argv)
    if args.command is None:
        raise CliError(f"choose a command: {', '.join(c.name for c in COMMANDS + KEY_COMMANDS)}; see '{PROG} --help'")
    command = next(c for c in COMMANDS + KEY_COMMANDS if c.name == args.command)
    if extra:
        raise CliError(_unrecognized(command, extra))
    if command in KEY_COMMANDS:
        return EXIT_OK, _run_key_command(command, args, os.environ if environ is None else environ)
    if args.jsonl is not None:
        return _run_jsonl(command, args, os.environ if environ is None else environ)
    if args.workers is not None:
        raise CliError(_usage_message(f"{PROG} {command.name}", "--workers is for --jsonl"))
    arguments = _Arguments({}, {}, [])
    try:
        _gather(command, args, os.environ if environ is None else environ, arguments)
        result = _call(command, arguments)
    finally:
        for seed in arguments.seeds:  # best effort: the copies this process made of the seeds
            seed[:] = bytes(len(seed))
    if isinstance(result, bool):
        return (EXIT_OK if result else EXIT_INVALID), ("true\n" if result else "false\n")
    if isinstance(result, _check.BodyCheck):
        return (EXIT_OK, "ok\n") if result.ok else (EXIT_INVALID, _one_line(str(result.reason)) + "\n")
    return EXIT_OK, result + "\n"


def _run_jsonl(command: Command, args: argparse.Namespace, environ: Mapping[str, str]) -> tuple[int, str]:
    """Many requests, one per line: the options, files and seeds given apply to every line.

    The results are written here, as they come; the output returned is empty.
    """
    assert isinstance(command.function, PythonicFunction)
    function = command.function
    _check_stdin_users(command, args)
    try:
        workers = _chunks.check_workers(args.workers)
    except (TypeError, ValueError) as e:
        raise CliError(f"--workers: {e}") from None
    common = _Arguments({}, {}, [])
    try:
        given = {param.name: _given_value(param, args, environ, common) for param in command.params}

        def prepare(number: int, text: str) -> _cli_jsonl.Prepared:
            arguments = _Arguments({}, dict(common.origins), [])
            try:
                members, member_origins = _members(command, text, f"line {number}", f"line {number}")
                _settle_all(command, args, lambda param: given[param.name], members, member_origins, arguments,
                            "the request line")
            except Exception as e:  # noqa: BLE001 - the line's own outcome
                return e, arguments.origins
            return batch.prepare(function, arguments.values), arguments.origins

        if sys.stdout is None:
            raise CliError("cannot write the result: standard output is closed")
        try:
            requests = _cli_jsonl.open_input(args.jsonl, _read_stdin_stream)
            summary = _cli_jsonl.run(requests, sys.stdout, prepare, _describe, workers)
        except BrokenPipeError:
            _discard(sys.stdout)
            return EXIT_BROKEN_PIPE, ""
        except OSError as e:  # reading failures are CliErrors already
            _discard(sys.stdout)
            raise CliError(f"cannot write the result to standard output: {e.strerror or e}") from None
    finally:
        for seed in common.seeds:
            seed[:] = bytes(len(seed))
    if summary.failed:
        return EXIT_ERROR, ""
    return (EXIT_INVALID if summary.invalid else EXIT_OK), ""


def _read_stdin_stream() -> IO[bytes]:
    if sys.stdin is None:
        raise CliError("standard input is closed")
    return sys.stdin.buffer


def _run_key_command(command: Command, args: argparse.Namespace, environ: Mapping[str, str]) -> str:
    if command.name == "new-seed":
        return _cli_keys.new_seed(args.out, args.format)
    seed = _read_seed(_KEY_SEED, args, environ)
    try:
        return _cli_keys.public_key_line(seed, args.format)
    finally:
        seed[:] = bytes(len(seed))


# ---------------------------------------------------------------------- output


def main(argv: Sequence[str] | None = None) -> int:
    """Entry point of the ``corvane-kit`` command; returns the exit status."""
    try:
        status, output = run(argv)
    except CliError as e:
        return _fail(str(e))
    except SystemExit as e:  # --help and --version, written by argparse
        status, output = (e.code if isinstance(e.code, int) else EXIT_ERROR), ""
    return _deliver(output, status)


def _deliver(output: str, status: int) -> int:
    """Write the output; a failed write is an error, never a result (for verify-digest, 1 means invalid)."""
    if sys.stdout is None:  # started with standard output closed
        return _fail("cannot write the result: standard output is closed") if output else status
    try:
        sys.stdout.write(output)
        sys.stdout.flush()
    except BrokenPipeError:
        # The reader has gone: nothing to tell it, and the shell's own status for this.
        _discard(sys.stdout)
        return EXIT_BROKEN_PIPE
    except OSError as e:
        _discard(sys.stdout)
        return _fail(f"cannot write the result to standard output: {e.strerror or e}")
    return status


def _fail(message: str) -> int:
    if sys.stderr is not None:
        try:
            sys.stderr.write(f"{PROG}: error: {_one_line(message)}\n")
            sys.stderr.flush()
        except OSError:
            _discard(sys.stderr)
    return EXIT_ERROR


def _discard(stream: IO[str]) -> None:
    """Point a stream's descriptor at the null device, so that the interpreter's own flush at exit,
    which would meet the same failure, has nothing to report."""
    try:
        null = os.open(os.devnull, os.O_WRONLY)
        os.dup2(null, stream.fileno())
        os.close(null)
    except (OSError, ValueError):  # not a real descriptor (a test's capture buffer)
        pass


if __name__ == "__main__":  # pragma: no cover
    sys.exit(main())

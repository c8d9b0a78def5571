"""Seeds for the command line: from a private seed file, standard input or an environment variable.

A seed file is refused, as ssh refuses a private key, when group or others
may read or write it: the seed would then not be secret, whatever this tool
does with it. A file owned by another user (typically root) may grant its group
read access, so that a service account can be given a seed through a group
without owning it. The mode checked is that of the file opened, so a symbolic
link is judged by its target. Pipes and devices (process substitution, a
secret store's FIFO) hold no seed at rest and are not checked; neither are
standard input and environment variables.
"""

from __future__ import annotations

import os
import re
import shlex
import stat
from typing import Callable, Mapping

from corvane_kit._cli_error import CliError

SEED_FILE_MAX = 256  # a seed file is 32 raw bytes or 64 hex digits with some white space

_HEX_DIGITS = re.compile(rb"[0-9a-fA-F]{64}")
_ASCII_SPACE = b" \t\n\r\f\v"


def seed_from_file(path: str, flag: str, read_stdin: Callable[[], bytes]) -> bytearray:
    if path != "-" and not os.path.exists(path) and _HEX_DIGITS.search(path.encode("utf-8", "replace")):
        # Never echo what looks like a seed typed where a path belongs.
        raise CliError(f"{flag} takes the path of a seed file, not a seed")
    if path == "-":
        data = read_stdin()
    else:
        try:
            with open(path, "rb") as f:
                _refuse_shared_file(os.fstat(f.fileno()), path, flag)
                data = f.read(SEED_FILE_MAX + 1)
        except OSError as e:
            raise CliError(f"{flag}: cannot read {path}: {e.strerror or e}") from None
    if len(data) > SEED_FILE_MAX:
        raise CliError(f"{flag}: {path} is too long for a seed file")
    return _seed_from_bytes(data, f"{flag} {path}", raw_allowed=True)


def seed_from_environment(name: str, flag: str, environ: Mapping[str, str]) -> bytearray:
    value = environ.get(name)
    if value is None:
        raise CliError(f"{flag}: environment variable {name} is not set")
    return _seed_from_bytes(value.encode("utf-8", "replace"), f"{flag}: environment variable {name}", False)


def _refuse_shared_file(status: os.stat_result, path: str, flag: str) -> None:
    if not stat.S_ISREG(status.st_mode):
        return
    mode = stat.S_IMODE(status.st_mode)
    ours = status.st_uid == os.geteuid()
    if mode & (0o077 if ours else 0o037):
        raise CliError(
            f"{flag}: permissions {mode:04o} for {path} are too open: a seed file must be private; "
            f"run: chmod 600 {shlex.quote(path)}"
        )


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

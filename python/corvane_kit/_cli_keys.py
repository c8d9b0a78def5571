"""The key tools of the command line: a seed's public key, and a new private seed file.

Both print the public key, the one thing about a seed that may be shown, in
base64 as the request bodies carry it (``payee_pubkey``, ``principal_pubkey``)
or in hex. A seed is never printed and never put in a message.

A new seed file is created, never replaced: O_CREAT|O_EXCL fails on anything
already at the path, a symbolic link included, so the seed cannot be written
through a link into another file, nor overwrite a seed already registered. It
is made private (0600) whatever the umask, and synced before its public key is
printed, so that a key the user goes on to register has a seed on disk.
"""

from __future__ import annotations

import argparse
import base64
import os
import secrets

from corvane_kit import _extras
from corvane_kit._cli_error import CliError

FORMATS = ("base64", "hex")
SEED_SIZE = 32

_HEX_DIGITS = b"0123456789abcdef"


def add_format_option(parser: argparse.ArgumentParser) -> None:
    parser.add_argument(
        "--format",
        choices=FORMATS,
        default="base64",
        help="how to print the public key: base64, as in the request bodies (the default), or hex",
    )


def add_out_option(parser: argparse.ArgumentParser) -> None:
    parser.add_argument(
        "--out", metavar="FILE", required=True, help="the seed file to create (mode 0600); never an existing path"
    )


def public_key_line(seed: bytearray, form: str) -> str:
    """The public key of a seed, as one line in the chosen form."""
    key = _extras.public_key(seed)
    return (base64.b64encode(key).decode("ascii") if form == "base64" else key.hex()) + "\n"


def new_seed(path: str, form: str) -> str:
    """Write a new seed to a file created for it; return its public key line."""
    if path == "-":
        raise CliError("--out takes the path of a new file: a seed is never written to standard output")
    seed = bytearray(secrets.token_bytes(SEED_SIZE))
    line = bytearray(2 * SEED_SIZE + 1)
    try:
        # By hand, into a buffer that can be wiped: bytes.hex() would leave an immutable copy.
        for index, byte in enumerate(seed):
            line[2 * index], line[2 * index + 1] = _HEX_DIGITS[byte >> 4], _HEX_DIGITS[byte & 15]
        line[-1] = ord("\n")
        _create_private_file(path, line)
        return public_key_line(seed, form)
    finally:
        seed[:] = bytes(len(seed))
        line[:] = bytes(len(line))


def _create_private_file(path: str, data: bytearray) -> None:
    try:
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW | os.O_CLOEXEC, 0o600)
    except FileExistsError:
        raise CliError(f"--out: {path} already exists; new-seed never replaces a file") from None
    except OSError as e:
        raise CliError(f"--out: cannot create {path}: {e.strerror or e}") from None
    try:
        os.fchmod(fd, 0o600)  # the umask may have taken the owner's bits away
        with memoryview(data) as view:  # slices of a view copy no secret
            done = 0
            while done < len(view):
                done += os.write(fd, view[done:])
        os.fsync(fd)
    except OSError as e:
        _remove_if_ours(path, fd)  # a truncated seed file must not stay behind
        raise CliError(f"--out: cannot write {path}: {e.strerror or e}") from None
    finally:
        os.close(fd)
    _sync_directory(os.path.dirname(path) or ".")


def _remove_if_ours(path: str, fd: int) -> None:
    try:
        ours, there = os.fstat(fd), os.lstat(path)
        if (ours.st_dev, ours.st_ino) == (there.st_dev, there.st_ino):
            os.unlink(path)
    except OSError:
        pass


def _sync_directory(directory: str) -> None:
    """Best effort: some file systems cannot sync a directory, and the file itself is synced."""
    try:
        fd = os.open(directory, os.O_RDONLY | os.O_DIRECTORY | os.O_CLOEXEC)
    except OSError:
        return
    try:
        os.fsync(fd)
    except OSError:
        pass
    finally:
        os.close(fd)

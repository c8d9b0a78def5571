"""The command's --jsonl mode: many requests in, one JSON line out per request, in order.

Each input line is one request: a JSON object whose members are named as in a
request file. Lines that are empty or hold only white space are no request and
get no output line. Each other line gets exactly one output line, written in
input order, which is one of

    {"line": N, "result": R}
    {"line": N, "error": {"type": T, "message": M}}

N is the request's 1-based line number in the input. R is what the command
prints for one request: the body or the hex as a JSON string holding its exact
text (parse the line and send ``result`` as it is), or true or false for
verify-digest. T is the exception's type (ValueError, TypeError, ...), or
RequestError when the line itself is at fault (not UTF-8, not a JSON object, a
repeated, unknown or mistyped member, a seed, a missing argument); M is its
message with any notes, on one line. Output lines are ASCII.

The lines are read, signed and written in chunks, so memory stays bounded
however long the input is; a progress bar goes to standard error when it is a
terminal.
"""

from __future__ import annotations

import contextlib
import json
import sys
from collections.abc import Callable, Iterator, Mapping
from dataclasses import dataclass
from typing import IO, Any, ContextManager

from corvane_kit import _chunks, batch
from corvane_kit._cli_error import CliError
from corvane_kit._native_call import NativeCall

Prepared = tuple[NativeCall[Any] | BaseException, Mapping[str, str]]
"""A request's native call, or why there is none; and where its inputs were read."""

_WHITE_SPACE = b" \t\r\n\f\v"


@dataclass
class Summary:
    failed: bool = False  # some request failed
    invalid: bool = False  # verify-digest: some signature does not verify


def open_input(path: str, stdin: Callable[[], IO[bytes]]) -> ContextManager[IO[bytes]]:
    """The requests' file, closed after use, or standard input, left open."""
    if path == "-":
        return contextlib.nullcontext(stdin())
    try:
        return open(path, "rb")
    except OSError as e:
        raise CliError(f"--jsonl: cannot read {path}: {e.strerror or e}") from None


def run(
    opened: ContextManager[IO[bytes]],
    out: IO[str],
    prepare: Callable[[int, str], Prepared],
    describe: Callable[[BaseException, Mapping[str, str]], str],
    workers: int,
) -> Summary:
    """Writes one line per request of ``source`` to ``out``; read failures are CliErrors, write failures OSErrors."""

    def work(chunk: list[tuple[int, bytes]]) -> list[tuple[str, int, Summary]]:
        prepared = [_prepare_line(number, line, prepare) for number, line in chunk]
        outcomes = batch.native_results([call for call, _ in prepared])
        summary = Summary()
        lines = []
        for (number, _), (_, origins), outcome in zip(chunk, prepared, outcomes):
            if isinstance(outcome, BaseException):
                summary.failed = True
                kind = "RequestError" if isinstance(outcome, CliError) else type(outcome).__name__
                lines.append(json.dumps({"line": number, "error": {"type": kind, "message": describe(outcome, origins)}}))
            else:
                summary.invalid |= outcome is False
                lines.append(json.dumps({"line": number, "result": outcome}))
        return [("".join(line + "\n" for line in lines), len(chunk), summary)]

    total = Summary()
    with opened as source, _progress() as progress:
        for text, count, summary in _chunks.map_in_chunks(work, _requests(source), workers, _chunks.chunk_sizes(None, workers)):
            out.write(text)
            progress(count)
            total.failed |= summary.failed
            total.invalid |= summary.invalid
        out.flush()
    return total


def _prepare_line(number: int, line: bytes, prepare: Callable[[int, str], Prepared]) -> Prepared:
    try:
        text = line.decode("utf-8")
    except UnicodeDecodeError as e:
        return CliError(f"line {number}: not UTF-8 text (byte {e.start})"), {}
    return prepare(number, text)


def _requests(source: IO[bytes]) -> Iterator[tuple[int, bytes]]:
    """The lines that are requests, with their 1-based numbers."""
    number = 0
    while True:
        try:
            line = source.readline()
        except OSError as e:
            raise CliError(f"--jsonl: cannot read the requests: {e.strerror or e}") from None
        if not line:
            return
        number += 1
        if line.strip(_WHITE_SPACE):
            yield number, line


@contextlib.contextmanager
def _progress() -> Iterator[Callable[[int], object]]:
    """Counts requests done on a progress bar on standard error, when that is a terminal."""
    if sys.stderr is None or not sys.stderr.isatty():
        yield lambda count: None
        return
    from tqdm import tqdm

    with tqdm(unit=" requests", file=sys.stderr, dynamic_ncols=True) as bar:
        yield bar.update

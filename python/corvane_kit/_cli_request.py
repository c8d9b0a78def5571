"""Request files of the command line: a JSON object of arguments, read without changing a signed byte.

Numbers are kept as written, so that the module, not Python, reads their
values; a key repeated anywhere in the file is refused, because a reader of the
file would see its first value while the signature covers the last.
"""

from __future__ import annotations

import json
from typing import Any, NoReturn

from corvane_kit._cli_error import CliError


class RawNumber:
    """A JSON number kept as written."""

    __slots__ = ("text",)

    def __init__(self, text: str) -> None:
        self.text = text


class Members(list[tuple[str, Any]]):
    """The members of a JSON object, in order, repeated keys included."""


def _reject_constant(name: str) -> NoReturn:
    raise ValueError(f"{name} is not a JSON value")


def load_request(text: str, where: str) -> dict[str, Any]:
    """The members of a request file; ``where`` names the file in messages."""
    try:
        value = json.loads(
            text,
            parse_float=RawNumber,
            parse_int=RawNumber,
            parse_constant=_reject_constant,
            object_pairs_hook=Members,
        )
        if not isinstance(value, Members):
            raise CliError(f"{where}: the request must be a JSON object")
        _refuse_repeated_keys(value, where, "")
    except ValueError as e:  # json.JSONDecodeError included
        raise CliError(f"{where}: not a JSON text: {e}") from None
    except RecursionError:
        raise CliError(f"{where}: nested too deeply to read") from None
    return dict(value)


def _refuse_repeated_keys(value: Any, where: str, path: str) -> None:
    if isinstance(value, Members):
        seen: set[str] = set()
        for key, member in value:
            if key in seen:
                inside = f" in {path}" if path else ""
                raise CliError(f"{where}: key {key!r} appears twice{inside}")
            seen.add(key)
            _refuse_repeated_keys(member, where, f"{path}.{key}" if path else key)
    elif isinstance(value, list):
        for index, item in enumerate(value):
            _refuse_repeated_keys(item, where, f"{path}[{index}]")


def json_text(value: Any) -> str:
    """A value of a request file written back as compact JSON text, numbers as written."""
    if isinstance(value, Members):
        return "{" + ",".join(json.dumps(k) + ":" + json_text(v) for k, v in value) + "}"
    if isinstance(value, list):
        return "[" + ",".join(json_text(v) for v in value) + "]"
    if isinstance(value, RawNumber):
        return value.text
    return json.dumps(value)  # str, True, False, None


def plain(value: Any) -> Any:
    """A request member as a Python value (for the members that are not JSON documents)."""
    if isinstance(value, Members):
        return {k: plain(v) for k, v in value}
    if isinstance(value, list):
        return [plain(v) for v in value]
    if isinstance(value, RawNumber):
        return json.loads(value.text)
    return value

"""Ed25519 public keys and signatures in the forms integrators hold them.

Request bodies carry keys and signatures as base64, key files often hold raw
bytes, and the native verifier takes hex. The length tells the forms apart (a
32-byte key is 64 hex digits or 44 base64 characters, a 64-byte signature 128
or 88), so no form needs a switch of its own. Hex text is passed on as given,
trimmed, so that a bad digit gets the native message and position.
"""

from __future__ import annotations

import base64
import binascii
from dataclasses import dataclass

# What the native functions trim: the Unicode White_Space set. str.strip()
# would also remove U+001C..U+001F, which the native side keeps.
WHITE_SPACE = "\t\n\v\f\r \x85\xa0\u1680" + "".join(map(chr, range(0x2000, 0x200B))) + "\u2028\u2029\u202f\u205f\u3000"

_TEXT_BYTES = frozenset(range(0x20, 0x7F)) | frozenset(b"\t\n\v\f\r")


@dataclass(frozen=True)
class BinaryValue:
    """A fixed-size binary input of the verifier and the forms it is accepted in."""

    parameter: str
    what: str
    size: int

    @property
    def hex_length(self) -> int:
        return 2 * self.size

    @property
    def base64_length(self) -> int:
        return 4 * ((self.size + 2) // 3)

    def forms(self) -> str:
        return (
            f"{self.size} raw bytes, {self.hex_length} hex digits "
            f"or {self.base64_length} base64 characters"
        )

    def wrong_length(self, found: str) -> ValueError:
        return ValueError(f"{self.parameter} must be a {self.size}-byte Ed25519 {self.what}: "
                          f"{self.forms()} (found {found})")


PUBLIC_KEY = BinaryValue("public_key_hex", "public key", 32)
SIGNATURE = BinaryValue("signature_hex", "signature", 64)


def as_hex(value: BinaryValue, given: object) -> str:
    """The hex text that the native verifier takes for raw bytes, hex text or base64 text."""
    if isinstance(given, (bytes, bytearray)):
        if len(given) != value.size:
            raise value.wrong_length(f"{len(given)} bytes")
        return given.hex()
    if not isinstance(given, str):
        raise TypeError(f"{value.parameter} must be bytes or text (str), not {type(given).__qualname__}")
    text = given.strip(WHITE_SPACE)
    if len(text) == value.hex_length:
        return text
    if len(text) == value.base64_length:
        try:
            return base64.b64decode(text, validate=True).hex()
        except binascii.Error as e:
            raise ValueError(f"{value.parameter}: {value.base64_length} characters but not base64 ({e})") from None
    raise value.wrong_length(f"{len(text)} characters")


def from_file(value: BinaryValue, data: bytes) -> bytes | str:
    """A key or signature file's content: raw bytes when it has their length and is not text, else text.

    32 random bytes are all printable ASCII with odds below 1 in 10**13, so a
    file of that length made only of text characters is a truncated text form.
    """
    if len(data) == value.size and not set(data) <= _TEXT_BYTES:
        return data
    return data.decode("utf-8")

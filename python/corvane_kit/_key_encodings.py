"""Ed25519 public keys and signatures in the forms integrators hold them.

Request bodies carry keys and signatures as base64, key files often hold raw
bytes, and the native verifier takes hex. The length tells the forms apart (a
32-byte key is 64 hex digits or 44 base64 characters, a 64-byte signature 128
or 88), so no form needs a switch of its own. Hex text is passed on as given,
trimmed, so that a bad digit gets the native message and position, and the
native order of checks (digest, signature, key) still decides which fault of
several is reported.
"""

from __future__ import annotations

import base64
import binascii
import re
from dataclasses import dataclass

from corvane_kit import _native

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
PAYEE_PUBLIC_KEY = BinaryValue("payee_public_key", "public key", 32)


# Inputs that pass every check, standing in for one whose form is wrong while
# the native function says whether an input checked before it is at fault.
_PLACEHOLDER = {SIGNATURE: "00" * 64, PUBLIC_KEY: "00" * 32}


def verifier_arguments(digest_hex: str, signature: object, public_key: object) -> tuple[str, str]:
    """The signature and public key as the hex text that the native verifier takes."""
    # Types first, as the native conversions precede every check of content.
    signature, public_key = _bytes_or_text(SIGNATURE, signature), _bytes_or_text(PUBLIC_KEY, public_key)
    signature_hex = _in_native_order(digest_hex, SIGNATURE, signature, _PLACEHOLDER[SIGNATURE])
    public_key_hex = _in_native_order(digest_hex, PUBLIC_KEY, public_key, signature_hex)
    return signature_hex, public_key_hex


def _bytes_or_text(value: BinaryValue, given: object) -> bytes | bytearray | str:
    if not isinstance(given, (bytes, bytearray, str)):
        raise TypeError(f"{value.parameter} must be bytes or text (str), not {type(given).__qualname__}")
    return given


def _in_native_order(digest_hex: str, value: BinaryValue, given: bytes | bytearray | str, signature_hex: str) -> str:
    try:
        return as_hex(value, given)
    except ValueError as error:
        form_error = error
    # Raises the native ValueError when the digest (or the signature) is at fault.
    _native.verify_ed25519_sha256_hex(digest_hex, signature_hex, _PLACEHOLDER[PUBLIC_KEY])
    raise form_error


def as_hex(value: BinaryValue, given: bytes | bytearray | str) -> str:
    """The hex text that the native verifier takes for raw bytes, hex text or base64 text."""
    if isinstance(given, (bytes, bytearray)):
        if len(given) != value.size:
            raise value.wrong_length(f"{len(given)} bytes")
        return given.hex()
    text = given.strip(WHITE_SPACE)
    if len(text) == value.hex_length:
        return text
    if len(text) == value.base64_length:
        try:
            return base64.b64decode(text, validate=True).hex()
        except binascii.Error as e:
            raise ValueError(f"{value.parameter}: {value.base64_length} characters but not base64 ({e})") from None
    raise value.wrong_length(f"{len(text)} characters")


def as_bytes(value: BinaryValue, given: bytes | bytearray | str) -> bytes:
    """The raw bytes of raw bytes, hex text or base64 text."""
    text = as_hex(value, given)
    if not re.fullmatch(r"[0-9a-fA-F]*", text):
        raise ValueError(f"{value.parameter}: {value.hex_length} characters but not hex digits")
    return bytes.fromhex(text)


def from_file(value: BinaryValue, data: bytes) -> bytes | str:
    """A key or signature file's content: raw bytes when it has their length and is not text, else text.

    32 random bytes are all printable ASCII with odds below 1 in 10**13, so a
    file of that length made only of text characters is a truncated text form.
    """
    if len(data) == value.size and not set(data) <= _TEXT_BYTES:
        return data
    return data.decode("utf-8")

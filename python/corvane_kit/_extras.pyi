"""Type stubs for the kit's native functions beyond the five of ``_native``."""

from collections.abc import Sequence
from typing import TypeAlias

_Seed: TypeAlias = bytes | bytearray | Sequence[int]

__all__ = ["public_key"]

def public_key(seed: _Seed) -> bytes:
    """Return the 32-byte Ed25519 public key of a 32-byte seed."""

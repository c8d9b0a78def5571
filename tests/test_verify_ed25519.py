"""verify_ed25519_sha256_hex against the pure-Python reference for the lenient
rules on any key bytes. (PyNaCl's signatures in every spelling: the Pythonic
layer's tests; messages and crafted small-order cases: the goldens and the C++
tests.)"""

import hashlib

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from nacl.signing import SigningKey

import ed25519_reference as ref
from corvane_kit import _native

verify = _native.verify_ed25519_sha256_hex
BYTES32 = st.binary(min_size=32, max_size=32)


_DIGEST = hashlib.sha256(b"audit export manifest").digest()
_SIGNATURE = SigningKey(bytes(32)).sign(_DIGEST).signature


@settings(max_examples=60, deadline=None)
@given(key=BYTES32, signature=st.sampled_from([_SIGNATURE, bytes(64), bytes([1]) + bytes(63)]))
def test_any_key_bytes_are_judged_like_the_reference(key, signature):
    # About half of all 32-byte strings are no point; small-order ones are.
    if ref.decode_point(key) is None:
        with pytest.raises(ValueError, match="^public_key_hex: signature error: Cannot decompress Edwards point$"):
            verify(_DIGEST.hex(), signature.hex(), key.hex())
    else:
        assert verify(_DIGEST.hex(), signature.hex(), key.hex()) is ref.verify(key, _DIGEST, signature)

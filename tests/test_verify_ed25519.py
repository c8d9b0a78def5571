"""verify_ed25519_sha256_hex against independent oracles: PyNaCl's signatures,
and the pure-Python reference for the lenient rules on any key bytes. Messages
and crafted small-order cases live in the goldens and the C++ tests."""

import hashlib

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from nacl.signing import SigningKey

import ed25519_reference as ref
from corvane_kit import _native
from payload_reference import WHITE_SPACE

verify = _native.verify_ed25519_sha256_hex
BYTES32 = st.binary(min_size=32, max_size=32)


@settings(max_examples=60, deadline=None)
@given(seed=BYTES32, digest=BYTES32, bit=st.integers(0, 767), upper=st.booleans(),
       around=st.text(st.sampled_from(WHITE_SPACE), max_size=3))
def test_agrees_with_pynacl(seed, digest, bit, upper, around):
    key = SigningKey(seed)
    signature, public = key.sign(digest).signature, bytes(key.verify_key)

    def spelled(data):
        return around + (data.hex().upper() if upper else data.hex()) + around

    assert verify(spelled(digest), spelled(signature), spelled(public)) is True
    flipped = bytearray(digest + signature)
    flipped[bit // 8] ^= 1 << (bit % 8)  # one bit of the digest or the signature
    assert verify(flipped[:32].hex(), flipped[32:].hex(), public.hex()) is False
    s = int.from_bytes(signature[32:], "little") + ref.L  # the same S modulo L
    assert verify(digest.hex(), signature[:32].hex() + s.to_bytes(32, "little").hex(), public.hex()) is False


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

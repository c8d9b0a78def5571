"""verify_ed25519_sha256_hex against independent oracles: the RFC 8032 keys,
PyNaCl's signatures, and the pure-Python reference for the lenient rules on
any key bytes. Messages and crafted small-order cases live in the goldens."""

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


# RFC 8032 section 7.1: TEST 1, 2, 3 and 1024 (seed, public key).
@pytest.mark.parametrize("seed_hex, public_hex", [
    ("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
     "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a"),
    ("4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
     "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c"),
    ("c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
     "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025"),
    ("f5e5767cf153319517630f226876b86c8160cc583bc013744c6bf255f5cc0ee5",
     "278117fc144c72340f67d0f2316e8386ceffbf2b2428c9c51fef7c597f1d426e"),
])
def test_rfc8032_keys(seed_hex, public_hex):
    key = SigningKey(bytes.fromhex(seed_hex))
    digest = hashlib.sha256(bytes.fromhex(seed_hex)).digest()
    assert verify(digest.hex(), key.sign(digest).signature.hex(), public_hex) is True
    # The digest is the message itself: not hashed again, not its hex text.
    for signed in (hashlib.sha256(digest).digest(), digest.hex().encode()):
        assert verify(digest.hex(), key.sign(signed).signature.hex(), public_hex) is False


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

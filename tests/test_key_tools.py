"""public_key: the key a signer registers, against RFC 8032 and PyNaCl."""

import nacl.signing
import pytest
from hypothesis import given
from hypothesis import strategies as st

import corvane_kit
from corvane_kit import _extras

RFC8032_KEY_PAIRS = [  # section 7.1: TEST 1, 2, 3 and 1024
    ("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
     "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a"),
    ("4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
     "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c"),
    ("c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
     "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025"),
    ("f5e5767cf153319517630f226876b86c8160cc583bc013744c6bf255f5cc0ee5",
     "278117fc144c72340f67d0f2316e8386ceffbf2b2428c9c51fef7c597f1d426e"),
]


@pytest.mark.parametrize("seed, key", RFC8032_KEY_PAIRS)
def test_public_key_of_rfc8032_seeds(seed, key):
    assert corvane_kit.public_key(bytes.fromhex(seed)) == bytes.fromhex(key)


@given(st.binary(min_size=32, max_size=32))
def test_public_key_agrees_with_pynacl(seed):
    expected = bytes(nacl.signing.SigningKey(seed).verify_key)
    assert _extras.public_key(seed) == expected
    assert _extras.public_key(bytearray(seed)) == expected
    assert _extras.public_key(list(seed)) == expected


@pytest.mark.parametrize("seed, error, message", [
    (bytes(31), ValueError, "seed must be exactly 32 bytes (Ed25519 signing key seed)"),
    ("00" * 32, TypeError, "Can't extract `str` to `Vec`"),
])
def test_public_key_refuses(seed, error, message):
    with pytest.raises(error) as info:
        _extras.public_key(seed)
    assert str(info.value) == message

"""verify_ed25519_sha256_hex: RFC 8032 keys, agreement with PyNaCl, the
lenient verification rules on crafted edge cases, and the exact messages."""

from __future__ import annotations

import hashlib
from functools import lru_cache

import nacl.signing
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import ed25519_reference as ref
from corvane_kit import _native

verify = _native.verify_ed25519_sha256_hex

# RFC 8032 section 7.1. TEST 1024 keeps only its key pair: its 1023-byte
# message cannot be passed as a 32-byte digest.
RFC8032_VECTORS = [
    pytest.param(
        "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
        "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a",
        "",
        "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
        "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b",
        id="TEST 1",
    ),
    pytest.param(
        "4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
        "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c",
        "72",
        "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
        "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00",
        id="TEST 2",
    ),
    pytest.param(
        "c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
        "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025",
        "af82",
        "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac"
        "18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a",
        id="TEST 3",
    ),
    pytest.param(
        "f5e5767cf153319517630f226876b86c8160cc583bc013744c6bf255f5cc0ee5",
        "278117fc144c72340f67d0f2316e8386ceffbf2b2428c9c51fef7c597f1d426e",
        None,
        None,
        id="TEST 1024",
    ),
]

DIGESTS = [
    bytes(32),
    b"\xff" * 32,
    bytes(range(32)),
    hashlib.sha256(b"abc").digest(),
]

WHITE_SPACE = (
    "\t\n\x0b\x0c\r \x85\xa0\u1680"
    + "".join(chr(c) for c in range(0x2000, 0x200B))
    + "\u2028\u2029\u202f\u205f\u3000"
)

NOT_CURVE_KEY_MSG = "public_key_hex: signature error: Cannot decompress Edwards point"


def _call(digest: bytes, signature: bytes, public: bytes) -> bool:
    return verify(digest.hex(), signature.hex(), public.hex())


def _nacl_sign(seed: bytes, message: bytes) -> tuple[bytes, bytes]:
    key = nacl.signing.SigningKey(seed)
    return key.sign(message).signature, bytes(key.verify_key)


def _flip(data: bytes, bit: int) -> bytes:
    out = bytearray(data)
    out[bit // 8] ^= 1 << (bit % 8)
    return bytes(out)


@lru_cache(maxsize=None)
def _valid_triple() -> tuple[bytes, bytes, bytes]:
    seed = bytes.fromhex("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60")
    digest = hashlib.sha256(b"audit export manifest").digest()
    sig, pub = _nacl_sign(seed, digest)
    return digest, sig, pub


@lru_cache(maxsize=None)
def _non_curve_y() -> int:
    # The smallest y whose curve equation has no square root.
    y = 2
    while ref.point_from_y(y) is not None:
        y += 1
    return y


# --------------------------------------------------------------------------
# RFC 8032 and agreement with PyNaCl


@pytest.mark.parametrize("seed_hex, public_hex, message_hex, signature_hex", RFC8032_VECTORS)
def test_rfc8032_vector_table_and_reference(seed_hex, public_hex, message_hex, signature_hex):
    # Guards the transcription of the vectors and the reference verifier that
    # the crafted cases below rely on.
    seed = bytes.fromhex(seed_hex)
    assert bytes(nacl.signing.SigningKey(seed).verify_key).hex() == public_hex
    assert ref.public_key(seed).hex() == public_hex
    if message_hex is not None:
        message = bytes.fromhex(message_hex)
        assert ref.sign(seed, message).hex() == signature_hex
        assert ref.verify(bytes.fromhex(public_hex), message, bytes.fromhex(signature_hex))


@pytest.mark.parametrize("seed_hex, public_hex, message_hex, signature_hex", RFC8032_VECTORS)
@pytest.mark.parametrize("digest", DIGESTS, ids=["zero", "ff", "counting", "sha256-abc"])
def test_rfc8032_keys_verify_digest_signatures(seed_hex, public_hex, message_hex, signature_hex, digest):
    sig, _ = _nacl_sign(bytes.fromhex(seed_hex), digest)
    assert verify(digest.hex(), sig.hex(), public_hex) is True
    # The same signature under another RFC key is refused.
    other = "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c"
    if other != public_hex:
        assert verify(digest.hex(), sig.hex(), other) is False


@pytest.mark.parametrize("seed_hex, public_hex, message_hex, signature_hex", RFC8032_VECTORS[:3])
def test_rfc8032_signature_does_not_cover_the_sha256_of_its_message(
    seed_hex, public_hex, message_hex, signature_hex
):
    # The RFC signatures are over the raw messages; the module must not hash.
    digest = hashlib.sha256(bytes.fromhex(message_hex)).digest()
    assert verify(digest.hex(), signature_hex, public_hex) is False


def test_digest_is_the_message_itself_not_hashed_again():
    seed = bytes(range(32))
    digest = hashlib.sha256(b"manifest").digest()
    for signed in (
        hashlib.sha256(digest).digest(),
        hashlib.sha512(digest).digest(),
        digest.hex().encode(),
    ):
        sig, pub = _nacl_sign(seed, signed)
        assert _call(digest, sig, pub) is False
    sig, pub = _nacl_sign(seed, hashlib.sha256(digest).digest())
    assert _call(hashlib.sha256(digest).digest(), sig, pub) is True


FAST = settings(max_examples=40, deadline=None, suppress_health_check=[HealthCheck.too_slow])


@FAST
@given(seed=st.binary(min_size=32, max_size=32), digest=st.binary(min_size=32, max_size=32))
def test_agrees_with_pynacl_on_valid_signatures(seed, digest):
    sig, pub = _nacl_sign(seed, digest)
    assert _call(digest, sig, pub) is True


@FAST
@given(
    seed=st.binary(min_size=32, max_size=32),
    digest=st.binary(min_size=32, max_size=32),
    bit=st.integers(0, 255),
)
def test_flipped_digest_bit_is_false(seed, digest, bit):
    sig, pub = _nacl_sign(seed, digest)
    assert _call(_flip(digest, bit), sig, pub) is False


@FAST
@given(
    seed=st.binary(min_size=32, max_size=32),
    digest=st.binary(min_size=32, max_size=32),
    bit=st.integers(0, 511),
)
def test_flipped_signature_bit_is_false(seed, digest, bit):
    sig, pub = _nacl_sign(seed, digest)
    assert _call(digest, _flip(sig, bit), pub) is False


@FAST
@given(
    seed=st.binary(min_size=32, max_size=32),
    digest=st.binary(min_size=32, max_size=32),
    bit=st.integers(0, 255),
)
def test_flipped_key_bit_is_false_or_not_a_point(seed, digest, bit):
    sig, pub = _nacl_sign(seed, digest)
    bad_key = _flip(pub, bit)
    if ref.decode_point(bad_key) is None:
        with pytest.raises(ValueError) as exc:
            _call(digest, sig, bad_key)
        assert str(exc.value) == NOT_CURVE_KEY_MSG
    else:
        assert _call(digest, sig, bad_key) is False


@FAST
@given(
    seed=st.binary(min_size=32, max_size=32),
    other=st.binary(min_size=32, max_size=32),
    digest=st.binary(min_size=32, max_size=32),
)
def test_wrong_key_is_false(seed, other, digest):
    if seed == other:
        return
    sig, _ = _nacl_sign(seed, digest)
    other_pub = bytes(nacl.signing.SigningKey(other).verify_key)
    assert _call(digest, sig, other_pub) is False


@settings(max_examples=60, deadline=None)
@given(key=st.binary(min_size=32, max_size=32))
def test_key_decoding_matches_reference_on_arbitrary_bytes(key):
    # About half of all 32-byte strings are not points; the module must draw
    # the same line as the lenient decoding rules.
    digest, sig, _ = _valid_triple()
    if ref.decode_point(key) is None:
        with pytest.raises(ValueError) as exc:
            _call(digest, sig, key)
        assert str(exc.value) == NOT_CURVE_KEY_MSG
    else:
        assert _call(digest, sig, key) is ref.verify(key, digest, sig)


# --------------------------------------------------------------------------
# Crafted cases for the lenient rules, judged by the reference verifier


def _s_bytes(s: int) -> bytes:
    return s.to_bytes(32, "little")


def _solve_small_order_key(public: bytes, digest: bytes, *, start: int = 1):
    """A signature that verifies under a small-order key, plus a near miss.

    With A of small order n, [S]B - [k]A only depends on k mod n. Try
    R = enc([S]B - [j]A) for each j until k(R) = j mod n, varying S.
    Returns (good_sig, bad_sig), where bad_sig uses an R whose j does not match.
    """
    a_point = ref.decode_point(public)
    order = ref.small_order(a_point)
    assert order is not None
    s = start
    while True:
        sb = ref.scalar_mult(s, ref.BASE)
        good = bad = None
        for j in range(order):
            r_enc = ref.encode_point(ref.point_sub(sb, ref.scalar_mult(j, a_point)))
            k = ref.challenge(r_enc, public, digest)
            if not ref.point_equal(ref.scalar_mult(k, a_point), ref.scalar_mult(j, a_point)):
                bad = bad or r_enc + _s_bytes(s)
            else:
                good = good or r_enc + _s_bytes(s)
        if good and (bad or order == 1):
            return good, bad
        s += 1


def _mixed_order_signature(a: int, torsion: ref.Point, digest: bytes, *, start: int = 1):
    """Cofactorless-valid signature for A = [a]B + T with a nonce search.

    [S]B - [k]A = [r]B - [k]T when S = r + k*a, so R = enc([r]B - [j]T)
    verifies exactly when [k]T = [j]T.
    """
    public = ref.encode_point(ref.point_add(ref.scalar_mult(a, ref.BASE), torsion))
    order = ref.small_order(torsion)
    r = start
    while True:
        rb = ref.scalar_mult(r, ref.BASE)
        for j in range(order):
            r_enc = ref.encode_point(ref.point_sub(rb, ref.scalar_mult(j, torsion)))
            k = ref.challenge(r_enc, public, digest)
            if k % order == j:
                return public, r_enc + _s_bytes((r + k * a) % ref.L)
        r += 1


IDENTITY_KEY = bytes.fromhex("01" + "00" * 31)
DIGEST_A = hashlib.sha256(b"crafted case A").digest()
DIGEST_B = hashlib.sha256(b"crafted case B").digest()
MIXED_SECRET = ref.expand_seed(b"\x42" * 32)[0]


@lru_cache(maxsize=None)
def _crafted_cases() -> dict[str, tuple[bytes, bytes, bytes, bool]]:
    """name -> (digest, signature, public key, expected result)."""
    cases: dict[str, tuple[bytes, bytes, bytes, bool]] = {}
    s = 0x1234567
    r_any = ref.encode_point(ref.scalar_mult(s, ref.BASE))

    # The neutral point as key: [k]A vanishes, so R = enc([S]B) verifies
    # for every digest.
    cases["identity key"] = (DIGEST_A, r_any + _s_bytes(s), IDENTITY_KEY, True)
    cases["identity key, other digest"] = (DIGEST_B, r_any + _s_bytes(s), IDENTITY_KEY, True)
    cases["identity key, wrong R"] = (
        DIGEST_A,
        ref.encode_point(ref.scalar_mult(s + 1, ref.BASE)) + _s_bytes(s),
        IDENTITY_KEY,
        False,
    )
    # y = p + 1 is the neutral point again; 01 00..80 is x = 0 with the sign
    # bit set; both are accepted as keys.
    for name, key in [
        ("identity key with y >= p", ref.encode_y(ref.P + 1)),
        ("identity key with sign bit on x = 0", ref.encode_y(1, 1)),
        ("identity key with y >= p and sign bit", ref.encode_y(ref.P + 1, 1)),
    ]:
        cases[name] = (DIGEST_A, r_any + _s_bytes(s), key, True)

    # Small-order R: S = 0 with the identity key gives R' = identity.
    cases["small-order R (identity), S = 0"] = (DIGEST_A, IDENTITY_KEY + bytes(32), IDENTITY_KEY, True)
    # R is compared by bytes, never decoded: other encodings of the same
    # point do not match the canonical R'.
    cases["non-canonical R (y >= p)"] = (
        DIGEST_A,
        ref.encode_y(ref.P + 1) + bytes(32),
        IDENTITY_KEY,
        False,
    )
    cases["non-canonical R (sign bit on x = 0)"] = (
        DIGEST_A,
        ref.encode_y(1, 1) + bytes(32),
        IDENTITY_KEY,
        False,
    )
    # S must be below L even though S mod L would verify.
    cases["S + L with identity key"] = (DIGEST_A, r_any + _s_bytes(s + ref.L), IDENTITY_KEY, False)
    cases["S = L with identity key"] = (DIGEST_A, IDENTITY_KEY + _s_bytes(ref.L), IDENTITY_KEY, False)

    # Every other small-order point as key.
    for i, point in enumerate(ref.SMALL_ORDER_POINTS[1:], start=1):
        key = ref.encode_point(point)
        good, bad = _solve_small_order_key(key, DIGEST_A)
        order = ref.small_order(point)
        cases[f"small-order key [{i}]T (order {order})"] = (DIGEST_A, good, key, True)
        cases[f"small-order key [{i}]T (order {order}), mismatched R"] = (DIGEST_A, bad, key, False)

    # Order-2 key (y = -1) with the sign bit set on x = 0.
    key = ref.encode_y(ref.P - 1, 1)
    good, bad = _solve_small_order_key(key, DIGEST_B)
    cases["order-2 key with sign bit on x = 0"] = (DIGEST_B, good, key, True)
    cases["order-2 key with sign bit on x = 0, mismatched R"] = (DIGEST_B, bad, key, False)

    # Order-4 point (y = 0) written as y = p: k is hashed over these exact
    # bytes. Pick a case that a verifier re-encoding A before hashing would
    # get wrong.
    key = ref.encode_y(ref.P, 0)
    canonical = ref.encode_y(0, 0)
    a_point = ref.decode_point(key)
    start = 1
    while True:
        good, bad = _solve_small_order_key(key, DIGEST_A, start=start)
        s_good = int.from_bytes(good[32:], "little")
        k_canonical = ref.challenge(good[:32], canonical, DIGEST_A)
        k_given = ref.challenge(good[:32], key, DIGEST_A)
        if not ref.point_equal(
            ref.scalar_mult(k_canonical, a_point), ref.scalar_mult(k_given, a_point)
        ):
            break
        start = s_good + 1
    cases["order-4 key with y >= p, hashed as given"] = (DIGEST_A, good, key, True)

    # Small-order R that is not the identity: order-2 key, S = 0, so
    # R' = -[k]T2, which is T2 when k is odd. Search digests for odd k.
    t2 = ref.SMALL_ORDER_POINTS[4]
    key = ref.encode_point(t2)
    r_t2 = ref.encode_point(t2)
    counter = 0
    while True:
        digest = hashlib.sha256(counter.to_bytes(4, "little")).digest()
        if ref.challenge(r_t2, key, digest) % 2 == 1:
            break
        counter += 1
    cases["small-order R = T2 with order-2 key"] = (digest, r_t2 + bytes(32), key, True)
    even = counter + 1
    while ref.challenge(r_t2, key, hashlib.sha256(even.to_bytes(4, "little")).digest()) % 2 != 0:
        even += 1
    cases["small-order R = T2 with order-2 key, even k"] = (
        hashlib.sha256(even.to_bytes(4, "little")).digest(),
        r_t2 + bytes(32),
        key,
        False,
    )

    # Mixed-order key A = [a]B + T: cofactorless acceptance needs [k]T = [j]T.
    for i in (1, 2, 4):
        torsion = ref.SMALL_ORDER_POINTS[i]
        public, sig = _mixed_order_signature(MIXED_SECRET, torsion, DIGEST_A)
        cases[f"mixed-order key with [{i}]T"] = (DIGEST_A, sig, public, True)
    # An ordinary signature (R = [r]B, S = r + k*a) under a mixed-order key is
    # valid only when [k]T vanishes; collect one of each outcome.
    torsion = ref.TORSION_8
    public = ref.encode_point(ref.point_add(ref.scalar_mult(MIXED_SECRET, ref.BASE), torsion))
    outcomes: dict[bool, tuple[bytes, bytes, bytes, bool]] = {}
    r = 1
    while len(outcomes) < 2:
        r_enc = ref.encode_point(ref.scalar_mult(r, ref.BASE))
        k = ref.challenge(r_enc, public, DIGEST_B)
        sig = r_enc + _s_bytes((r + k * MIXED_SECRET) % ref.L)
        outcomes.setdefault(k % 8 == 0, (DIGEST_B, sig, public, k % 8 == 0))
        r += 1
    cases["mixed-order key, plain signature with 8 | k"] = outcomes[True]
    cases["mixed-order key, plain signature with k not divisible by 8"] = outcomes[False]

    # Small-order R with a mixed-order key: S = k*a leaves R' = -[k]T.
    counter = 0
    while True:
        digest = hashlib.sha256(b"mixed" + counter.to_bytes(4, "little")).digest()
        found = None
        for j in range(1, 8):
            r_enc = ref.encode_point(ref.scalar_mult(-j, torsion))
            k = ref.challenge(r_enc, public, digest)
            if k % 8 == j:
                found = (digest, r_enc + _s_bytes(k * MIXED_SECRET % ref.L), public, True)
                break
        if found:
            cases["small-order R with mixed-order key"] = found
            break
        counter += 1

    # A valid signature with S replaced by S + L.
    digest, sig, pub = _valid_triple()
    s_val = int.from_bytes(sig[32:], "little")
    cases["PyNaCl signature with S + L"] = (digest, sig[:32] + _s_bytes(s_val + ref.L), pub, False)
    cases["PyNaCl signature as given"] = (digest, sig, pub, True)
    return cases


CRAFTED_NAMES = [
    "identity key",
    "identity key, other digest",
    "identity key, wrong R",
    "identity key with y >= p",
    "identity key with sign bit on x = 0",
    "identity key with y >= p and sign bit",
    "small-order R (identity), S = 0",
    "non-canonical R (y >= p)",
    "non-canonical R (sign bit on x = 0)",
    "S + L with identity key",
    "S = L with identity key",
    *[
        f"small-order key [{i}]T (order {o}){suffix}"
        for i, o in zip(range(1, 8), (8, 4, 8, 2, 8, 4, 8))
        for suffix in ("", ", mismatched R")
    ],
    "order-2 key with sign bit on x = 0",
    "order-2 key with sign bit on x = 0, mismatched R",
    "order-4 key with y >= p, hashed as given",
    "small-order R = T2 with order-2 key",
    "small-order R = T2 with order-2 key, even k",
    "mixed-order key with [1]T",
    "mixed-order key with [2]T",
    "mixed-order key with [4]T",
    "mixed-order key, plain signature with 8 | k",
    "mixed-order key, plain signature with k not divisible by 8",
    "small-order R with mixed-order key",
    "PyNaCl signature with S + L",
    "PyNaCl signature as given",
]


def test_crafted_case_names_are_all_listed():
    assert sorted(CRAFTED_NAMES) == sorted(_crafted_cases())


@pytest.mark.parametrize("name", CRAFTED_NAMES)
def test_lenient_rules_on_crafted_cases(name):
    digest, sig, public, expected = _crafted_cases()[name]
    # The construction itself is checked by the reference first.
    assert ref.verify(public, digest, sig) is expected
    assert _call(digest, sig, public) is expected


@pytest.mark.parametrize(
    "key",
    [
        pytest.param(lambda: ref.encode_y(_non_curve_y()), id="small y, no square root"),
        pytest.param(lambda: ref.encode_y(_non_curve_y(), 1), id="small y with sign bit"),
        pytest.param(lambda: ref.encode_y(ref.P + _non_curve_y()), id="y >= p, no square root"),
    ],
)
def test_key_that_is_not_a_curve_point(key):
    public = key()
    assert ref.decode_point(public) is None
    digest, sig, _ = _valid_triple()
    with pytest.raises(ValueError) as exc:
        _call(digest, sig, public)
    assert exc.value.args == (NOT_CURVE_KEY_MSG,)
    assert getattr(exc.value, "__notes__", None) is None


# --------------------------------------------------------------------------
# Text forms: case, trimming, messages and their order


def test_upper_and_mixed_case_hex():
    digest, sig, pub = _valid_triple()
    assert verify(digest.hex().upper(), sig.hex().upper(), pub.hex().upper()) is True
    mixed = lambda h: "".join(c.upper() if i % 2 else c for i, c in enumerate(h))  # noqa: E731
    assert verify(mixed(digest.hex()), mixed(sig.hex()), mixed(pub.hex())) is True


@pytest.mark.parametrize("ws", list(WHITE_SPACE), ids=lambda c: f"U+{ord(c):04X}")
def test_every_white_space_character_is_trimmed(ws):
    digest, sig, pub = _valid_triple()
    wrap = lambda h: ws + ws + h + ws  # noqa: E731
    assert verify(wrap(digest.hex()), wrap(sig.hex()), wrap(pub.hex())) is True
    assert verify(wrap(digest.hex()), wrap(sig.hex()), wrap(pub.hex()).upper()) is True


@pytest.mark.parametrize(
    "wrapper, shown",
    [
        # Characters outside the White_Space set stay and fail as hex; the
        # offending byte is shown as the character with its code point.
        ("\u200b", "'â'"),  # zero width space, E2 80 8B
        ("\ufeff", "'ï'"),  # byte order mark, EF BB BF
        ("\u180e", "'á'"),  # Mongolian vowel separator, E1 A0 8E
        ("\x1c", "'\\u{1c}'"),  # str.isspace() says yes; Unicode does not
        ("\x1f", "'\\u{1f}'"),
        ("\x00", "'\\0'"),
    ],
    ids=["U+200B", "U+FEFF", "U+180E", "U+001C", "U+001F", "NUL"],
)
def test_characters_that_are_not_trimmed(wrapper, shown):
    digest, sig, pub = _valid_triple()
    with pytest.raises(ValueError) as exc:
        verify(wrapper + digest.hex() + wrapper, sig.hex(), pub.hex())
    assert str(exc.value) == f"digest_hex: Invalid character {shown} at position 0"


@pytest.mark.parametrize(
    "digest_hex, message",
    [
        ("0g", "Invalid character 'g' at position 1"),
        ("g0", "Invalid character 'g' at position 0"),
        ("g", "Odd number of digits"),
        ("abc", "Odd number of digits"),
        ("a" * 63, "Odd number of digits"),
        ("zz" + "a" * 61, "Odd number of digits"),  # parity is decided first
        ("0x" + "ab" * 31, "Invalid character 'x' at position 1"),
        ("0X" + "ab" * 31, "Invalid character 'X' at position 1"),
        ("0\t00", "Invalid character '\\t' at position 1"),
        ("0\r00", "Invalid character '\\r' at position 1"),
        ("0\n00", "Invalid character '\\n' at position 1"),
        ("0\x0000", "Invalid character '\\0' at position 1"),
        ("0'00", "Invalid character '\\'' at position 1"),
        ('0"00', "Invalid character '\"' at position 1"),
        ("0\\00", "Invalid character '\\\\' at position 1"),
        ("0 00", "Invalid character ' ' at position 1"),
        ("0\x0100", "Invalid character '\\u{1}' at position 1"),
        ("0\x0b00", "Invalid character '\\u{b}' at position 1"),
        ("0\x1b00", "Invalid character '\\u{1b}' at position 1"),
        ("0\x7f00", "Invalid character '\\u{7f}' at position 1"),
        ("é00", "Invalid character 'Ã' at position 0"),
        ("00é00", "Invalid character 'Ã' at position 2"),
        # Inner white space is kept; its UTF-8 lead byte is what is shown.
        ("0\u00a00", "Invalid character 'Â' at position 1"),
        ("0\u00850", "Invalid character 'Â' at position 1"),
        ("0\u300000", "Invalid character 'ã' at position 1"),
        ("€0", "Invalid character 'â' at position 0"),
        ("\U0001f600", "Invalid character 'ð' at position 0"),
        # Positions count bytes of the trimmed text.
        ("\u3000 0g", "Invalid character 'g' at position 1"),
        ("\u00a0\u20290g\n", "Invalid character 'g' at position 1"),
    ],
)
def test_digest_hex_decoding_messages(digest_hex, message):
    digest, sig, pub = _valid_triple()
    with pytest.raises(ValueError) as exc:
        verify(digest_hex, sig.hex(), pub.hex())
    assert exc.value.args == ("digest_hex: " + message,)


_D, _S, _K = (b.hex() for b in (bytes(32), bytes(64), IDENTITY_KEY))
_BAD_KEY = "02" + "00" * 31  # y = 2 has no x on this curve

MESSAGE_ORDER_CASES = [
    # (digest_hex, signature_hex, public_key_hex, message)
    ("0g" + "0" * 62, "zz", "zz", "digest_hex: Invalid character 'g' at position 1"),
    ("0" * 63, "zz", "zz", "digest_hex: Odd number of digits"),
    ("", "zz", "zz", "digest_hex must decode to 32 bytes"),
    ("00" * 31, "zz", "zz", "digest_hex must decode to 32 bytes"),
    ("00" * 33, "zz", "zz", "digest_hex must decode to 32 bytes"),
    ("  \n", "zz", "zz", "digest_hex must decode to 32 bytes"),
    (_D, "0" * 127, "zz", "signature_hex: Odd number of digits"),
    (_D, "0" * 126 + "q0", "zz", "signature_hex: Invalid character 'q' at position 126"),
    (_D, "", "zz", "signature_hex: signature error"),
    (_D, "00" * 32, "zz", "signature_hex: signature error"),
    (_D, "00" * 63, _BAD_KEY, "signature_hex: signature error"),
    (_D, "00" * 65, _BAD_KEY, "signature_hex: signature error"),
    (_D, _S, "0", "public_key_hex: Odd number of digits"),
    (_D, _S, "0" * 62 + "-0", "public_key_hex: Invalid character '-' at position 62"),
    (_D, _S, "", "public_key_hex must decode to 32 bytes"),
    (_D, _S, "00" * 31, "public_key_hex must decode to 32 bytes"),
    (_D, _S, "00" * 33, "public_key_hex must decode to 32 bytes"),
    (_D, _S, _BAD_KEY, NOT_CURVE_KEY_MSG),
    (_D, _S, " " + _BAD_KEY.upper() + "\u3000", NOT_CURVE_KEY_MSG),
]


@pytest.mark.parametrize("digest_hex, signature_hex, public_key_hex, message", MESSAGE_ORDER_CASES)
def test_messages_and_their_order(digest_hex, signature_hex, public_key_hex, message):
    with pytest.raises(ValueError) as exc:
        verify(digest_hex, signature_hex, public_key_hex)
    assert type(exc.value) is ValueError
    assert exc.value.args == (message,)
    assert getattr(exc.value, "__notes__", None) is None


def test_bad_signature_bytes_never_raise():
    # Garbage R and S (both valid hex, right lengths) are an answer, not an error.
    digest, _, pub = _valid_triple()
    for sig in (bytes(64), b"\xff" * 64, IDENTITY_KEY + bytes(32), bytes(range(64))):
        assert _call(digest, sig, pub) is False


def test_result_is_a_real_bool():
    digest, sig, pub = _valid_triple()
    assert _call(digest, sig, pub) is True
    assert _call(_flip(digest, 0), sig, pub) is False

"""Slow pure-Python Edwards25519 arithmetic, used as an independent oracle.

It follows the verification rules the kit promises for digest signatures:
lenient public-key decoding (y taken modulo p, x = 0 accepted with the sign
bit set, small-order points allowed), S must be below L, R is compared by its
bytes with the canonical encoding of [S]B - [k]A, and no cofactor is applied.

Nothing here is constant time; it exists only to build and judge test cases.
"""

from __future__ import annotations

import hashlib

P = 2**255 - 19
L = 2**252 + 27742317777372353535851937790883648493
D = (-121665 * pow(121666, P - 2, P)) % P
SQRT_M1 = pow(2, (P - 1) // 4, P)

# Extended homogeneous coordinates (X, Y, Z, T): x = X/Z, y = Y/Z, x*y = T/Z.
Point = tuple[int, int, int, int]
IDENTITY: Point = (0, 1, 1, 0)


def _inv(v: int) -> int:
    return pow(v, P - 2, P)


def point_add(p: Point, q: Point) -> Point:
    # Unified addition (RFC 8032, section 5.1.4); also valid for doubling.
    a = (p[1] - p[0]) * (q[1] - q[0]) % P
    b = (p[1] + p[0]) * (q[1] + q[0]) % P
    c = 2 * p[3] * q[3] * D % P
    d = 2 * p[2] * q[2] % P
    e, f, g, h = b - a, d - c, d + c, b + a
    return (e * f % P, g * h % P, f * g % P, e * h % P)


def point_neg(p: Point) -> Point:
    return ((-p[0]) % P, p[1], p[2], (-p[3]) % P)


def point_sub(p: Point, q: Point) -> Point:
    return point_add(p, point_neg(q))


def scalar_mult(k: int, p: Point) -> Point:
    """[k]p for any k >= 0; k is not reduced, so it works on torsion points too."""
    if k < 0:
        return scalar_mult(-k, point_neg(p))
    result = IDENTITY
    addend = p
    while k:
        if k & 1:
            result = point_add(result, addend)
        addend = point_add(addend, addend)
        k >>= 1
    return result


def affine(p: Point) -> tuple[int, int]:
    zi = _inv(p[2])
    return (p[0] * zi % P, p[1] * zi % P)


def point_equal(p: Point, q: Point) -> bool:
    return affine(p) == affine(q)


def encode_point(p: Point) -> bytes:
    """Canonical encoding: y < p, sign of x in the top bit."""
    x, y = affine(p)
    return (y | ((x & 1) << 255)).to_bytes(32, "little")


def recover_x(y: int, sign: int) -> int | None:
    """x for the given y with the requested parity, or None when none exists.

    Lenient about x = 0: with the sign bit set it still yields 0.
    """
    x2 = (y * y - 1) * _inv(D * y * y + 1) % P
    if x2 == 0:
        return 0
    x = pow(x2, (P + 3) // 8, P)
    if (x * x - x2) % P != 0:
        x = x * SQRT_M1 % P
    if (x * x - x2) % P != 0:
        return None
    if (x & 1) != sign:
        x = P - x
    return x


def decode_point(data: bytes) -> Point | None:
    """Lenient decoding; None when the bytes name no curve point."""
    if len(data) != 32:
        raise ValueError("a point encoding is 32 bytes")
    n = int.from_bytes(data, "little")
    sign = n >> 255
    y = (n & ((1 << 255) - 1)) % P
    x = recover_x(y, sign)
    if x is None:
        return None
    return (x, y, 1, x * y % P)


def point_from_y(y: int, sign: int = 0) -> Point | None:
    x = recover_x(y % P, sign)
    if x is None:
        return None
    return (x, y % P, 1, x * y % P)


_BASE_Y = 4 * _inv(5) % P
BASE: Point = point_from_y(_BASE_Y, 0)  # type: ignore[assignment]


def small_order(p: Point) -> int | None:
    """The order of p if it divides 8, else None."""
    for order in (1, 2, 4, 8):
        if point_equal(scalar_mult(order, p), IDENTITY):
            return order
    return None


def _find_order_eight_point() -> Point:
    # [L]P lands in the torsion subgroup for any curve point P; walk small y
    # values until one lands on a generator of the whole 8-torsion.
    y = 2
    while True:
        p = point_from_y(y)
        if p is not None:
            t = scalar_mult(L, p)
            if small_order(t) == 8:
                return t
        y += 1


TORSION_8: Point = _find_order_eight_point()
# All eight small-order points, as [i]T for a generator T of order 8.
SMALL_ORDER_POINTS: list[Point] = [scalar_mult(i, TORSION_8) for i in range(8)]


def sha512_mod_l(*parts: bytes) -> int:
    return int.from_bytes(hashlib.sha512(b"".join(parts)).digest(), "little") % L


def expand_seed(seed: bytes) -> tuple[int, bytes]:
    h = hashlib.sha512(seed).digest()
    a = bytearray(h[:32])
    a[0] &= 248
    a[31] &= 63
    a[31] |= 64
    return int.from_bytes(a, "little"), h[32:]


def public_key(seed: bytes) -> bytes:
    a, _ = expand_seed(seed)
    return encode_point(scalar_mult(a, BASE))


def sign(seed: bytes, message: bytes) -> bytes:
    """Plain RFC 8032 signing, for cross-checking the reference itself."""
    a, prefix = expand_seed(seed)
    pub = encode_point(scalar_mult(a, BASE))
    r = sha512_mod_l(prefix, message)
    r_enc = encode_point(scalar_mult(r, BASE))
    k = sha512_mod_l(r_enc, pub, message)
    s = (r + k * a) % L
    return r_enc + s.to_bytes(32, "little")


def challenge(r_enc: bytes, public: bytes, message: bytes) -> int:
    """k = SHA-512(R || A || M) mod L with A exactly as given."""
    return sha512_mod_l(r_enc, public, message)


def verify(public: bytes, message: bytes, signature: bytes) -> bool:
    """Cofactorless verification with lenient key decoding.

    Raises ValueError when the public key does not decode to a curve point,
    mirroring the error the kit raises in that case.
    """
    if len(public) != 32 or len(signature) != 64:
        raise ValueError("bad lengths")
    a_point = decode_point(public)
    if a_point is None:
        raise ValueError("Cannot decompress Edwards point")
    r_enc = signature[:32]
    s = int.from_bytes(signature[32:], "little")
    if s >= L:
        return False
    k = challenge(r_enc, public, message)
    r_check = point_sub(scalar_mult(s, BASE), scalar_mult(k, a_point))
    return encode_point(r_check) == r_enc


def encode_y(y: int, sign: int = 0) -> bytes:
    """Raw 32-byte encoding of an arbitrary y (may be >= p) and sign bit."""
    if not 0 <= y < 2**255:
        raise ValueError("y must fit in 255 bits")
    return (y | (sign << 255)).to_bytes(32, "little")

"""Slow pure-Python Edwards25519 arithmetic, an independent oracle for the
verification rules the kit promises for digest signatures: lenient key
decoding (y taken modulo p, x = 0 accepted with the sign bit set, small-order
points allowed), S below L, R compared by its bytes with the canonical
encoding of [S]B - [k]A, no cofactor. Not constant time: tests only."""

import hashlib

P = 2**255 - 19
L = 2**252 + 27742317777372353535851937790883648493
D = -121665 * pow(121666, P - 2, P) % P
SQRT_M1 = pow(2, (P - 1) // 4, P)
IDENTITY = (0, 1, 1, 0)  # extended coordinates (X, Y, Z, T): x = X/Z, y = Y/Z, xy = T/Z


def point_add(p, q):
    # Unified addition (RFC 8032, section 5.1.4); also valid for doubling.
    a, b = (p[1] - p[0]) * (q[1] - q[0]) % P, (p[1] + p[0]) * (q[1] + q[0]) % P
    c, d = 2 * p[3] * q[3] * D % P, 2 * p[2] * q[2] % P
    e, f, g, h = b - a, d - c, d + c, b + a
    return (e * f % P, g * h % P, f * g % P, e * h % P)


def point_sub(p, q):
    return point_add(p, (-q[0] % P, q[1], q[2], -q[3] % P))


def scalar_mult(k, p):
    """[k]p for any k >= 0, not reduced, so that it works on torsion points too."""
    result = IDENTITY
    while k:
        if k & 1:
            result = point_add(result, p)
        p, k = point_add(p, p), k >> 1
    return result


def encode_point(p):
    """Canonical encoding: y < p, the sign of x in the top bit."""
    zi = pow(p[2], P - 2, P)
    x, y = p[0] * zi % P, p[1] * zi % P
    return (y | (x & 1) << 255).to_bytes(32, "little")


def recover_x(y, sign):
    """x for y with the requested parity, or None; x = 0 passes with the sign bit set."""
    x2 = (y * y - 1) * pow(D * y * y + 1, P - 2, P) % P
    x = pow(x2, (P + 3) // 8, P)
    if (x * x - x2) % P:
        x = x * SQRT_M1 % P
    if (x * x - x2) % P:
        return None
    return P - x if x and (x & 1) != sign else x


def decode_point(data):
    """Lenient decoding; None when the bytes name no curve point."""
    n = int.from_bytes(data, "little")
    y = (n & (1 << 255) - 1) % P
    x = recover_x(y, n >> 255)
    return None if x is None else (x, y, 1, x * y % P)


def encode_y(y, sign=0):
    """Raw encoding of any y below 2**255 (also y >= p) and a sign bit."""
    return (y | sign << 255).to_bytes(32, "little")


BASE = decode_point(encode_y(4 * pow(5, P - 2, P) % P))


def small_order(p):
    """The order of p if it divides 8, else None."""
    return next((n for n in (1, 2, 4, 8) if encode_point(scalar_mult(n, p)) == encode_point(IDENTITY)), None)


def _order_eight_point():
    # [L]Q lies in the torsion subgroup for any curve point Q; walk small y to a generator of it.
    for y in range(2, 100):
        q = decode_point(encode_y(y))
        if q is not None and small_order(scalar_mult(L, q)) == 8:
            return scalar_mult(L, q)


SMALL_ORDER_POINTS = [scalar_mult(i, _order_eight_point()) for i in range(8)]


def challenge(r_enc, public, message):
    """k = SHA-512(R || A || M) mod L, with A exactly as given."""
    return int.from_bytes(hashlib.sha512(r_enc + public + message).digest(), "little") % L


def verify(public, message, signature):
    """Cofactorless verification; ValueError when the key is no curve point."""
    a_point = decode_point(public)
    if a_point is None:
        raise ValueError("Cannot decompress Edwards point")
    s = int.from_bytes(signature[32:], "little")
    if s >= L:
        return False
    k = challenge(signature[:32], public, message)
    return encode_point(point_sub(scalar_mult(s, BASE), scalar_mult(k, a_point))) == signature[:32]

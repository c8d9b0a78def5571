#!/usr/bin/env python3
"""Figures for the README: what the body does to the numbers of a JSON document.

The module reads a number by one rounded multiplication or division by a power
of ten, not by a correctly rounded conversion, and writes floats in its own
shortest form. This script measures, on random samples with a fixed seed, how
often a number as Python's json.dumps writes it comes back different in the
signed body (and so in what the service digests), and by how much; then how
often the body's own text of a number does not read back as the number the
signature covers, so that the service can never verify the body; then shows
the fixed cases (integers beyond 64 bits, -0, duplicate keys, nesting depth).
Run it with the built package: `.venv/bin/python tools/number_rule_figures.py`.
"""

from __future__ import annotations

import argparse
import collections
import json
import math
import random
import struct

from corvane_kit import _native

SEED = bytes(32)
EVIDENCE = dict(
    tenant_id="t",
    intent_id="123e4567-e89b-12d3-a456-426614174000",
    payee_did="d",
    artifacts_hex=[],
    submitted_at_rfc3339="2025-01-01T00:00:00Z",
)


def payload_in_body(payload_text: str) -> str:
    """The payload as the evidence body writes it."""
    body = _native.sign_payee_evidence_binding_json(payload_json=payload_text, secret_seed=SEED, **EVIDENCE)
    start, end = len('{"payload":'), body.index(',"artifacts":')
    return body[start:end]


def numbers_in_body(texts: list[str]) -> list[str]:
    return payload_in_body("[" + ",".join(texts) + "]")[1:-1].split(",")


def ordered_bits(x: float) -> int:
    """The double's bits as an integer that counts ulps across the whole line."""
    (n,) = struct.unpack("<q", struct.pack("<d", x))
    return n if n >= 0 else -(n & 0x7FFFFFFFFFFFFFFF)


def measure(name: str, values: list[float]) -> str:
    texts = [json.dumps(v) for v in values]
    written = numbers_in_body(texts)
    spelling, value_changed = 0, 0
    ulps: collections.Counter[int] = collections.Counter()
    largest_relative = 0.0
    for text, out in zip(texts, written):
        if text == out:
            continue
        a, b = float(text), float(out)
        if a == b and math.copysign(1, a) == math.copysign(1, b):
            spelling += 1
            continue
        value_changed += 1
        ulps[abs(ordered_bits(a) - ordered_bits(b))] += 1
        largest_relative = max(largest_relative, abs(a - b) / abs(a))
    n = len(values)
    ulp_text = ", ".join(f"{k} ulp: {v:,}" for k, v in sorted(ulps.items())) or "-"
    relative = f"{largest_relative:.1e}" if value_changed else "-"
    return (
        f"| {name} | {n:,} | {spelling + value_changed:,} ({(spelling + value_changed) / n:.2%}) "
        f"| {value_changed:,} ({value_changed / n:.2%}) | {ulp_text} | {relative} |"
    )


def unverifiable(name: str, values: list[float]) -> str:
    """How many of the numbers make a body that can never verify: the number the body carries (the
    module's reading of the input, written back) reads back as another one."""
    in_body = numbers_in_body([json.dumps(v) for v in values])
    read_back = numbers_in_body(in_body)
    bad = [(a, b) for a, b in zip(in_body, read_back) if a != b]
    example = f"`{bad[0][0]}` reads back as `{bad[0][1]}`" if bad else "-"
    return f"| {name} | {len(values):,} | {len(bad):,} ({len(bad) / len(values):.2%}) | {example} |"


def log_uniform(rng: random.Random, n: int, low: int, high: int) -> list[float]:
    """Magnitudes spread evenly over the decades 10**low to 10**high, with either sign."""
    return [rng.choice((-1, 1)) * 10 ** rng.uniform(low, high) for _ in range(n)]


def random_finite_doubles(rng: random.Random, n: int) -> list[float]:
    out: list[float] = []
    while len(out) < n:
        (x,) = struct.unpack("<d", rng.getrandbits(64).to_bytes(8, "little"))
        if math.isfinite(x):
            out.append(x)
    return out


def money(rng: random.Random, n: int) -> list[float]:
    """Amounts below one billion with 0 to 6 decimals, as a float holding the decimal text."""
    out = []
    for _ in range(n):
        decimals = rng.randint(0, 6)
        out.append(float(f"{rng.randrange(10**9)}.{rng.randrange(10**decimals):0{decimals}d}" if decimals else
                         f"{rng.randrange(10**9)}.0"))
    return out


def samples(rng: random.Random, n: int) -> list[tuple[str, list[float]]]:
    """The samples each table draws, in this order."""
    return [
        ("all finite doubles (uniform bit patterns)", random_finite_doubles(rng, n)),
        ("uniform in [0, 1)", [rng.random() for _ in range(n)]),
        ("uniform in [-1e6, 1e6)", [rng.uniform(-1e6, 1e6) for _ in range(n)]),
        ("money: below 1e9, 0 to 6 decimals", money(rng, n)),
    ]


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("-n", type=int, default=1_000_000, help="numbers per sample (default 1,000,000)")
    n = ap.parse_args().n
    rng = random.Random(20250301)
    print("Numbers written by json.dumps, then read and written by the module (the body's text):\n")
    print("| sample | numbers | text changed | value changed | by how many ulps | largest relative change |")
    print("|---|---:|---:|---:|---|---|")
    for name, values in samples(rng, n):
        print(measure(name, values))

    print("\nBodies that can never verify: the body's text of the number reads back as another number:\n")
    print("| sample | numbers | body cannot verify | example |")
    print("|---|---:|---:|---|")
    for name, values in samples(rng, n):
        print(unverifiable(name, values))
    for low, high in ((-308, -22), (-22, -6), (-6, 22), (22, 308)):
        print(unverifiable(f"magnitude 1e{low} to 1e{high}, log-uniform", log_uniform(rng, n, low, high)))

    print("\nFixed cases (JSON text in, body text out):\n")
    print("| in the document | in the body |")
    print("|---|---|")
    cases = ["18446744073709551615", "18446744073709551616", "-9223372036854775808", "-9223372036854775809",
             "123456789012345678901234567890", "-0", "0", "-0.0", "1", "1.0", "1e2", "1E+16", "0.00001", "0.000001",
             "1e-7", "4.454981741040901610e-10", '{"a": 1, "a": 2}']  # fmt: skip
    for text in cases:
        print(f"| `{text}` | `{payload_in_body(text)}` |")
    print()
    for depth in (127, 128):
        try:
            payload_in_body("[" * depth + "]" * depth)
            print(f"nesting depth {depth}: accepted")
        except ValueError as e:
            print(f"nesting depth {depth}: {type(e).__name__}: {e}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())

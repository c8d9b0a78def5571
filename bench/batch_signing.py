"""10,000 evidence signings, one by one and in batches, beside the crypto floor.

Run by bench/run.py, which passes the floor and the C++ evidence function's
time it measured on the same inputs. The ways take turns, `ROUNDS` times, so
that a change in the machine's load touches them alike; each way's best round
counts. The outputs of every way must be identical.
"""

from __future__ import annotations

import os
import time
from collections.abc import Callable
from typing import Any

import corvane_kit
from corvane_kit import _extras, _native, batch

COUNT = 10_000
ROUNDS = 5


def report(evidence: dict[str, Any], seed: bytes, floor_us: float, function_us: float) -> None:
    requests = [{**evidence, "tenant_id": f"tenant-{i}", "secret_seed": seed} for i in range(COUNT)]
    items = [tuple(r.values()) for r in requests]
    ways: dict[str, Callable[[], list[Any]]] = {
        "native, single calls": lambda: [_native.sign_payee_evidence_binding_json(*i) for i in items],
        "native batch, one call": lambda: _extras.batch_sign_payee_evidence_binding_json(items),
        "Pythonic, single calls": lambda: [corvane_kit.sign_evidence(**r) for r in requests],
        "batch.sign_evidence, workers=1": lambda: batch.sign_evidence(requests, workers=1),
        "batch.sign_evidence, workers=2": lambda: batch.sign_evidence(requests, workers=2),
    }
    loads = [os.getloadavg()[0]]
    best = dict.fromkeys(ways, float("inf"))
    outputs = {}
    for _ in range(ROUNDS):
        for name, work in ways.items():
            started = time.perf_counter()
            outputs[name] = work()
            best[name] = min(best[name], time.perf_counter() - started)
    loads.append(os.getloadavg()[0])
    first = outputs["native, single calls"]
    assert all(output == first for output in outputs.values()), "the ways disagree"
    assert len(set(first)) == COUNT

    print(f"{COUNT:,} evidence signings, best of {ROUNDS} rounds; load average {loads[0]:.2f} before, "
          f"{loads[1]:.2f} after, on {os.cpu_count()} CPUs")
    print(f"{'way':<42}{'µs/item':>10}{'/ floor':>9}")
    rows = [("crypto floor (C++)", floor_us), ("the evidence function alone (C++)", function_us)]
    rows += [(name, seconds / COUNT * 1e6) for name, seconds in best.items()]
    for name, per_item in rows:
        print(f"{name:<42}{per_item:>10.2f}{per_item / floor_us:>9.3f}")
    ratio = best["batch.sign_evidence, workers=1"] / best["batch.sign_evidence, workers=2"]
    print(f"throughput of workers=2 over workers=1: {ratio:.2f}x; outputs identical")

"""10,000 evidence signings, one by one and in batches, beside the crypto floor.

Run by bench/run.py with the floor library it loaded, prepared with the same
inputs. The floor, the C++ evidence function and every way take turns,
`ROUNDS` times, so that a change in the machine's load touches them alike;
each keeps its best round. Per-item costs are CPU time of the calling thread,
as the floor's are; the throughput of two workers against one is wall time,
since the second worker's time is spent on another thread. The outputs of
every way must be identical.
"""

from __future__ import annotations

import ctypes
import json
import os
import time
from collections.abc import Callable
from typing import Any

import corvane_kit
from corvane_kit import _extras, _native, batch

COUNT = 10_000
ROUNDS = 5


def prepare_floor(floor: ctypes.CDLL, evidence: dict[str, Any]) -> None:
    floor.floor_prepare_evidence.restype = ctypes.c_bool
    floor.floor_prepare_evidence.argtypes = [ctypes.c_char_p] * 5
    floor.evidence_function_seconds.restype = ctypes.c_double
    floor.evidence_function_seconds.argtypes = [ctypes.c_int]
    texts = [evidence["tenant_id"], evidence["intent_id"], evidence["payee_did"],
             json.dumps(evidence["artifacts_hex"]), evidence["submitted_at_rfc3339"]]
    if not floor.floor_prepare_evidence(*(text.encode() for text in texts)):
        raise SystemExit("bench_floor.so refused the evidence inputs")


def report(floor: ctypes.CDLL, evidence: dict[str, Any], seed: bytes) -> None:
    prepare_floor(floor, evidence)
    requests = [{**evidence, "tenant_id": f"tenant-{i}", "secret_seed": seed} for i in range(COUNT)]
    items = [tuple(r.values()) for r in requests]
    ways: dict[str, Callable[[], list[Any]]] = {
        "native, single calls": lambda: [_native.sign_payee_evidence_binding_json(*i) for i in items],
        "native batch, one call": lambda: _extras.batch_sign_payee_evidence_binding_json(items),
        "Pythonic, single calls": lambda: [corvane_kit.sign_evidence(**r) for r in requests],
        "batch.sign_evidence, workers=1": lambda: batch.sign_evidence(requests, workers=1),
        "batch.sign_evidence, workers=2": lambda: batch.sign_evidence(requests, workers=2),
    }
    floors: dict[str, Callable[[int], float]] = {
        "crypto floor (C++)": floor.floor_evidence_seconds,
        "the evidence function alone (C++)": floor.evidence_function_seconds,
    }
    load_before = os.getloadavg()[0]
    cpu = dict.fromkeys([*floors, *ways], float("inf"))
    wall = dict.fromkeys(ways, float("inf"))
    outputs = {}
    for _ in range(ROUNDS):
        for name, seconds in floors.items():
            cpu[name] = min(cpu[name], seconds(COUNT))
        for name, work in ways.items():
            cpu_start, wall_start = time.thread_time(), time.perf_counter()
            outputs[name] = work()
            cpu[name] = min(cpu[name], time.thread_time() - cpu_start)
            wall[name] = min(wall[name], time.perf_counter() - wall_start)
    load_after = os.getloadavg()[0]
    first = outputs["native, single calls"]
    assert all(output == first for output in outputs.values()), "the ways disagree"
    assert len(set(first)) == COUNT
    if min(cpu[name] for name in floors) <= 0:
        raise SystemExit("the floor's own work failed")

    print(f"{COUNT:,} evidence signings, best of {ROUNDS} rounds; load average {load_before:.2f} before, "
          f"{load_after:.2f} after, on {os.cpu_count()} CPUs")
    print(f"{'way (CPU time of the calling thread)':<42}{'µs/item':>10}{'/ floor':>9}")
    floor_us = cpu["crypto floor (C++)"] / COUNT * 1e6
    for name in [*floors, *ways][:-1]:  # two workers' CPU time is not the calling thread's
        per_item = cpu[name] / COUNT * 1e6
        print(f"{name:<42}{per_item:>10.2f}{per_item / floor_us:>9.3f}")
    one, two = wall["batch.sign_evidence, workers=1"], wall["batch.sign_evidence, workers=2"]
    print(f"wall time, workers=1: {one / COUNT * 1e6:.2f} µs/item, workers=2: {two / COUNT * 1e6:.2f} µs/item; "
          f"throughput of workers=2 over workers=1: {one / two:.2f}x; outputs identical")

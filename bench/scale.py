"""Large inputs: time and peak memory of one call, and the time at a quarter
of the size, so that anything worse than linear shows (a linear case gives a
ratio near 4, a quadratic one near 16).

Each measurement runs in a fresh child process: its peak resident set is then
the call's own, measured from a high-water mark reset just before the call.

    python bench/scale.py                # the whole table
    python bench/scale.py --case NAME    # one row
"""

from __future__ import annotations

import argparse
import json
import os
import subprocess
import sys
import time

# The tests' baseline arguments, shared with the bench.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "tests"))
import valid_arguments as valid  # noqa: E402

SEED_B = valid.SEED_B
MB = 1 << 20


def evidence_args(**over) -> dict:
    return {**valid.EVIDENCE, **over}


def intent_args(**over) -> dict:
    return {**valid.CREATE, **over}


def document_json(size: int) -> str:
    """A JSON object of about `size` bytes with the usual mix: nested objects,
    arrays, numbers, strings with escapes, unsorted keys."""
    record = ('{{"id":{i},"name":"item \\"{i}\\" caf\\u00e9","price":{i}.25,"tags":["a","b\\n",null,true],'
              '"z":{{"k":-{i},"y":[1,2,{{"x":"{i}"}}]}}}}')
    items, length, i = [], 0, 0
    while length < size:
        items.append(record.format(i=i))
        length += len(items[-1]) + 1
        i += 1
    return '{"records":[' + ",".join(items) + '],"count":' + str(i) + "}"


def long_text(size: int) -> str:
    """`size` characters of text with a quote, a backslash, a newline and a
    non-ASCII letter now and then, so escaping is part of the work."""
    unit = "lorem ipsum dolor sit amet \"q\" \\ \n é "
    return (unit * (size // len(unit) + 1))[:size]


def nested_json(depth: int, copies: int) -> str:
    """`copies` nests side by side in one array, each reaching `depth` levels
    with the array around them."""
    one = '{"a":' * (depth - 2) + "[1,2,3]" + "}" * (depth - 2)
    return "[" + ",".join([one] * copies) + "]"


def nest_around(depth: int, inner: str) -> str:
    return '{"a":' * depth + inner + "}" * depth


def tools_json(size: int) -> str:
    names, length, i = [], 2, 0
    while length < size:
        names.append(f'"tool.{i:08d}"')
        length += len(names[-1]) + 1
        i += 1
    return "[" + ",".join(names) + "]"


# name: (function name, size at full scale, unit, builder of the kwargs for a size)
CASES = {
    "payload_json 50 MB, sign": ("sign_payee_evidence_binding_json", 50 * MB, "B",
                                 lambda n: evidence_args(payload_json=document_json(n), secret_seed=SEED_B)),
    "payload_json 50 MB, encode": ("encode_evidence_sign_v1_hex", 50 * MB, "B",
                                   lambda n: evidence_args(payload_json=document_json(n))),
    "100,000 artifacts, sign": ("sign_payee_evidence_binding_json", 100_000, "items",
                                lambda n: evidence_args(artifacts_hex=[f"{i:064x}" for i in range(n)],
                                                        secret_seed=SEED_B)),
    "100,000 artifacts, encode": ("encode_evidence_sign_v1_hex", 100_000, "items",
                                  lambda n: evidence_args(artifacts_hex=["0x" + f"{i:064X}" for i in range(n)])),
    "10 MB string in payload_json, sign": ("sign_payee_evidence_binding_json", 10 * MB, "B",
                                           lambda n: evidence_args(payload_json=json.dumps({"s": long_text(n)}),
                                                                   secret_seed=SEED_B)),
    "10 MB tenant_id, create intent": ("build_signed_create_intent_json", 10 * MB, "B",
                                       lambda n: intent_args(tenant_id=long_text(n))),
    "10 MB tenant_id, encode": ("encode_evidence_sign_v1_hex", 10 * MB, "B",
                                lambda n: evidence_args(tenant_id=long_text(n))),
    "127-deep nests side by side, sign": ("sign_payee_evidence_binding_json", 20_000, "nests",
                                          lambda n: evidence_args(payload_json=nested_json(127, n),
                                                                  secret_seed=SEED_B)),
    "127-deep nests, create intent (3 inputs)": ("build_signed_create_intent_json", 10_000, "nests",
                                                 lambda n: intent_args(budget_json=nested_json(127, n),
                                                                       evidence_schema_json=nested_json(127, n),
                                                                       predicate_json=nested_json(127, n))),
    "4 MB string at depth 127 (vs depth 1 below)": ("sign_payee_evidence_binding_json", 4 * MB, "B",
                                                    lambda n: evidence_args(
                                                        payload_json=nest_around(127, json.dumps(long_text(n))),
                                                        secret_seed=SEED_B)),
    "4 MB string at depth 1": ("sign_payee_evidence_binding_json", 4 * MB, "B",
                               lambda n: evidence_args(payload_json=nest_around(1, json.dumps(long_text(n))),
                                                       secret_seed=SEED_B)),
    "allowed_tools_json 1 MB, create intent": ("build_signed_create_intent_json", 1 * MB, "B",
                                               lambda n: intent_args(allowed_tools_json=tools_json(n))),
    "allowed_tools_json 1 MB, policy intent": ("build_signed_create_intent_with_policy_binding_json", 1 * MB, "B",
                                               lambda n: {**{k: v for k, v in intent_args(
                                                   allowed_tools_json=tools_json(n)).items()
                                                   if k != "predicate_json"},
                                                   "materialized_predicate_json": '{"all":[]}',
                                                   "policy_template_id": "travel", "policy_version_seq": 3,
                                                   "policy_content_digest_hex": "ab" * 32}),
}


def status_kib(field: str) -> int:
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise KeyError(field)


def reset_peak() -> bool:
    """Sets the high-water mark to the current resident set (Linux 4.0+)."""
    try:
        with open("/proc/self/clear_refs", "w") as clear_refs:
            clear_refs.write("5")
        return True
    except OSError:
        return False


def measure(case: str, size: int, repeats: int) -> dict:
    """Runs in the child: build the inputs, then call. The first call gives
    the peak memory (nothing of an earlier call is still held by the
    allocator); the best of all calls gives the time, in CPU time of the
    calling thread: on a machine shared with other work, wall time would
    count the others' too."""
    import gc

    import corvane_kit._native as native

    function_name, _, _, build = CASES[case]
    function = getattr(native, function_name)
    kwargs = build(size)
    gc.collect()
    resident = status_kib("VmRSS")
    peak_is_own = reset_peak()
    started = time.thread_time()
    result = function(**kwargs)
    best = time.thread_time() - started
    peak = status_kib("VmHWM")
    result_size = len(result)
    del result
    for _ in range(repeats - 1):
        started = time.thread_time()
        function(**kwargs)
        best = min(best, time.thread_time() - started)
    return {"seconds": best, "peak_extra_kib": peak - resident if peak_is_own else None,
            "result_bytes": result_size}


def run_child(case: str, size: int, repeats: int) -> dict:
    done = subprocess.run([sys.executable, __file__, "--child", case, str(size), str(repeats)],
                          check=True, capture_output=True, text=True)
    return json.loads(done.stdout)


def human_bytes(n: int) -> str:
    return f"{n / MB:.1f} MB" if n >= MB else f"{n / 1024:.1f} KB"


def human(n: float, unit: str) -> str:
    if unit == "B":
        return f"{n / MB:g} MB"
    return f"{n:,} {unit}"


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--case", action="append", choices=list(CASES), help="only these rows")
    parser.add_argument("--child", nargs=3, metavar=("CASE", "SIZE", "REPEATS"), help=argparse.SUPPRESS)
    options = parser.parse_args()
    if options.child:
        case, size, repeats = options.child
        print(json.dumps(measure(case, int(size), int(repeats))))
        return

    print("Scale: one call on a large input at the full size n, n/2 and n/4 (CPU time). Time ratios: linear ~2 and ~4,")
    print("quadratic ~4 and ~16. peak = resident memory the call adds at its high point, in a fresh process.")
    print(f"{'case':<44}{'n':>14}{'t(n/4)':>10}{'t(n/2)':>10}{'t(n)':>10}{'n/(n/2)':>9}{'n/(n/4)':>9}"
          f"{'peak':>10}{'result':>10}")
    for case in options.case or CASES:
        function_name, size, unit, _ = CASES[case]
        full = run_child(case, size, 3)
        half = run_child(case, size // 2, 4)
        quarter = run_child(case, size // 4, 5)
        peak = "n/a" if full["peak_extra_kib"] is None else f"{full['peak_extra_kib'] / 1024:.1f} MB"
        times = "".join(f"{run['seconds'] * 1e3:>8.1f}ms" for run in (quarter, half, full))
        print(f"{case:<44}{human(size, unit):>14}{times}{full['seconds'] / half['seconds']:>9.2f}"
              f"{full['seconds'] / quarter['seconds']:>9.2f}{peak:>10}{human_bytes(full['result_bytes']):>10}")
        sys.stdout.flush()


if __name__ == "__main__":
    main()

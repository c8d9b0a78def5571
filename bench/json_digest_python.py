"""Times Python's own road to a digest of the document that bench_json_digest
writes: json.loads, json.dumps with sorted keys and no spaces, UTF-8 encoding,
then BLAKE3. A reference point for the native reader and digest, not an oracle:
Python writes some floats differently ("1e-05" where ours writes "0.00001").

    bench_json_digest /tmp/doc.json && python3 bench/json_digest_python.py /tmp/doc.json
"""

import json
import statistics
import sys
import time

from blake3 import blake3

REPETITIONS = 7


def digest(text: str) -> bytes:
    value = json.loads(text)
    canonical = json.dumps(value, sort_keys=True, separators=(",", ":"), ensure_ascii=False).encode()
    return blake3(canonical).digest()


def main() -> None:
    with open(sys.argv[1], "rb") as file:
        text = file.read().decode()
    megabytes = len(text.encode()) / 1e6
    seconds = []
    for _ in range(REPETITIONS):
        start = time.perf_counter()
        digest(text)
        seconds.append(time.perf_counter() - start)
    median = statistics.median(seconds)
    print(f"document: {megabytes:.2f} MB")
    print(f"json.loads + json.dumps + blake3: median {median * 1e3:.1f} ms, {megabytes / median:.0f} MB/s "
          f"(best {megabytes / min(seconds):.0f} MB/s)")


if __name__ == "__main__":
    main()

"""Work over many items in chunks, shared by threads, with the results in order.

The native batches release the interpreter lock while they sign, so threads
that each hand a chunk to one keep that many cores busy. Chunks are read from
the items as the results are taken, a few per thread ahead, so that a long
stream of items is never held whole.
"""

from __future__ import annotations

import collections
import itertools
import os
from collections.abc import Callable, Iterable, Iterator
from concurrent.futures import Future, ThreadPoolExecutor
from typing import TypeVar

_T = TypeVar("_T")
_U = TypeVar("_U")

# Large enough that handing a chunk to a thread costs little beside signing
# it (about 10 ms of work); towards the end of a known count chunks shrink to
# MIN_CHUNK, so that the threads finish together.
MAX_CHUNK = 256
MIN_CHUNK = 16
# Chunks submitted per thread before the oldest result is awaited.
_AHEAD = 2


def default_workers() -> int:
    """The number of CPUs."""
    return os.cpu_count() or 1


def check_workers(workers: int | None) -> int:
    """``workers`` as a count of threads; None is the number of CPUs."""
    if workers is None:
        return default_workers()
    if not isinstance(workers, int) or isinstance(workers, bool):
        raise TypeError(f"workers must be an int or None, not {type(workers).__qualname__}")
    if workers < 1:
        raise ValueError(f"workers must be at least 1, not {workers}")
    return workers


def chunk_sizes(count: int | None, workers: int) -> Iterator[int]:
    """The largest chunks for a stream; for a known count, each a share of what remains."""
    if count is None:
        yield from itertools.repeat(MAX_CHUNK)
    else:
        while count > 0:
            size = max(MIN_CHUNK, min(MAX_CHUNK, count // (2 * workers)))
            yield size
            count -= size


def map_in_chunks(
    work: Callable[[list[_T]], list[_U]], items: Iterable[_T], workers: int, sizes: Iterable[int]
) -> Iterator[_U]:
    """``work`` over the chunks of ``items``, of the given sizes, yielding each item's result in order.

    One worker runs each chunk in the calling thread.
    """
    iterator = iter(items)
    chunks = itertools.takewhile(bool, (list(itertools.islice(iterator, size)) for size in sizes))
    if workers == 1:
        for chunk in chunks:
            yield from work(chunk)
        return
    with ThreadPoolExecutor(workers, thread_name_prefix="corvane-batch") as pool:
        pending: collections.deque[Future[list[_U]]] = collections.deque()
        try:
            for chunk in chunks:
                pending.append(pool.submit(work, chunk))
                if len(pending) >= _AHEAD * workers:
                    yield from pending.popleft().result()
            while pending:
                yield from pending.popleft().result()
        finally:  # the consumer stopped early: chunks not yet started are dropped
            for future in pending:
                future.cancel()

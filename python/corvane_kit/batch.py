"""The Pythonic functions over many requests at once, on every core.

Each function takes ``requests``, mappings of the keyword arguments of the
Pythonic function of the same name (``{"tenant_id": ..., "secret_seed": ...}``),
and returns a list in the same order: each request's result, or the exception
instance that the single call ``corvane_kit.sign_evidence(**request)`` would
raise, with the same type, message and notes. A bad request costs no other;
nothing is raised for one (check with ``isinstance(item, BaseException)``: an
internal failure is a ``PanicException``, which is no ``Exception``). A body
that the single call would refuse, since the service could not read it back,
is that ValueError. The payees of a batch of intents may be named by seed in
some requests and by public key in others.

``workers`` threads share the requests in chunks (default: the number of
CPUs; 1 runs them in the calling thread). Each thread converts its chunk's
arguments and hands them to a native batch, which signs with the interpreter
lock released, so the threads keep as many cores busy.

>>> import datetime as dt
>>> from corvane_kit import batch
>>> request = {"tenant_id": "tenant-7", "intent_id": "123e4567-e89b-12d3-a456-426614174000",
...            "payee_did": "did:example:payee", "payload_json": {"total": 1499}, "artifacts_hex": [],
...            "submitted_at_rfc3339": dt.datetime(2025, 3, 1, 12, tzinfo=dt.timezone.utc)}
>>> good, naive, bad_id = batch.evidence_sign_v1_hex(
...     [request, {**request, "submitted_at_rfc3339": dt.datetime(2025, 3, 1)},
...      {**request, "intent_id": "not-a-uuid"}], workers=2)
>>> good[:12], type(naive).__name__, type(bad_id).__name__
('020874656e61', 'ValueError', 'RuntimeError')
"""

from __future__ import annotations

from collections.abc import Iterable, Mapping, Sequence
from typing import Any, TypeVar, cast

from corvane_kit import _api, _chunks
from corvane_kit._native_call import NativeArguments, NativeCall, NativeTarget, PythonicFunction

__all__ = [
    "create_intent",
    "create_policy_intent",
    "sign_evidence",
    "evidence_sign_v1_hex",
    "verify_digest_signature",
]

Request = Mapping[str, Any]
"""The keyword arguments of one call."""

_R = TypeVar("_R")


def create_intent(requests: Iterable[Request], *, workers: int | None = None) -> list[str | BaseException]:
    """``corvane_kit.create_intent(**request)`` for each request."""
    return _run(_api.create_intent, requests, workers)


def create_policy_intent(requests: Iterable[Request], *, workers: int | None = None) -> list[str | BaseException]:
    """``corvane_kit.create_policy_intent(**request)`` for each request."""
    return _run(_api.create_policy_intent, requests, workers)


def sign_evidence(requests: Iterable[Request], *, workers: int | None = None) -> list[str | BaseException]:
    """``corvane_kit.sign_evidence(**request)`` for each request."""
    return _run(_api.sign_evidence, requests, workers)


def evidence_sign_v1_hex(requests: Iterable[Request], *, workers: int | None = None) -> list[str | BaseException]:
    """``corvane_kit.evidence_sign_v1_hex(**request)`` for each request."""
    return _run(_api.evidence_sign_v1_hex, requests, workers)


def verify_digest_signature(
    requests: Iterable[Request], *, workers: int | None = None
) -> list[bool | BaseException]:
    """``corvane_kit.verify_digest_signature(**request)`` for each request."""
    return _run(_api.verify_digest_signature, requests, workers)


def prepare(function: PythonicFunction[..., _R], request: Request) -> NativeCall[_R] | BaseException:
    """The native call of ``function(**request)``, or the exception its conversion raises."""
    try:
        return function.native_call(**request)
    except Exception as error:  # noqa: BLE001 - the request's own outcome
        return _without_this_frame(error)


def native_results(prepared: Sequence[NativeCall[_R] | BaseException]) -> list[_R | BaseException]:
    """Each prepared call's result, or the exception in its place; the calls of each native function
    go to its batch together, and the results come back in order."""
    results: list[_R | BaseException | None] = [None] * len(prepared)
    placed: dict[NativeTarget[_R], list[tuple[int, NativeArguments]]] = {}  # per target: index, arguments
    for index, item in enumerate(prepared):
        if isinstance(item, BaseException):
            results[index] = item
        else:
            placed.setdefault(item[0], []).append((index, item[1]))
    for target, calls in placed.items():
        outcomes = target.batch([arguments for _, arguments in calls])
        for (index, _), outcome in zip(calls, outcomes):
            results[index] = _finished(target, outcome)
    return cast(list[_R | BaseException], results)


def _finished(target: NativeTarget[_R], outcome: _R | BaseException) -> _R | BaseException:
    """The native call's exception, or its result as the Pythonic function finishes it."""
    if isinstance(outcome, BaseException):
        return outcome
    try:
        return target.finish(outcome)
    except Exception as error:  # noqa: BLE001 - the request's own outcome
        return _without_this_frame(error)


def _without_this_frame(error: Exception) -> Exception:
    # So that the exception does not hold the frame, and through it the list that holds the exception.
    return error.with_traceback(error.__traceback__ and error.__traceback__.tb_next)


def _run(
    function: PythonicFunction[..., _R], requests: Iterable[Request], workers: int | None
) -> list[_R | BaseException]:
    count = _chunks.check_workers(workers)
    if not isinstance(requests, Sequence):
        requests = list(requests)

    def work(chunk: list[Request]) -> list[_R | BaseException]:
        return native_results([prepare(function, request) for request in chunk])

    return list(_chunks.map_in_chunks(work, requests, count, _chunks.chunk_sizes(len(requests), count)))

"""The Pythonic functions over many requests at once, on every core.

Each function takes ``requests``, mappings of the keyword arguments of the
Pythonic function of the same name (``{"tenant_id": ..., "secret_seed": ...}``),
and returns a list in the same order: each request's result, or the exception
instance that the single call ``corvane_kit.sign_evidence(**request)`` would
raise, with the same type, message and notes. A bad request costs no other;
nothing is raised for one (check with ``isinstance(item, BaseException)``: an
internal failure is a ``PanicException``, which is no ``Exception``).

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

from collections.abc import Callable, Iterable, Mapping, Sequence
from typing import Any, TypeVar

from corvane_kit import _api, _chunks, _extras

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
    return _run(_api.create_intent, _extras.batch_build_signed_create_intent_json, requests, workers)


def create_policy_intent(requests: Iterable[Request], *, workers: int | None = None) -> list[str | BaseException]:
    """``corvane_kit.create_policy_intent(**request)`` for each request."""
    return _run(
        _api.create_policy_intent, _extras.batch_build_signed_create_intent_with_policy_binding_json, requests, workers
    )


def sign_evidence(requests: Iterable[Request], *, workers: int | None = None) -> list[str | BaseException]:
    """``corvane_kit.sign_evidence(**request)`` for each request."""
    return _run(_api.sign_evidence, _extras.batch_sign_payee_evidence_binding_json, requests, workers)


def evidence_sign_v1_hex(requests: Iterable[Request], *, workers: int | None = None) -> list[str | BaseException]:
    """``corvane_kit.evidence_sign_v1_hex(**request)`` for each request."""
    return _run(_api.evidence_sign_v1_hex, _extras.batch_encode_evidence_sign_v1_hex, requests, workers)


def verify_digest_signature(
    requests: Iterable[Request], *, workers: int | None = None
) -> list[bool | BaseException]:
    """``corvane_kit.verify_digest_signature(**request)`` for each request."""
    return _run(_api.verify_digest_signature, _extras.batch_verify_ed25519_sha256_hex, requests, workers)


def native_results(
    native_batch: Callable[[list[Any]], list[_R | BaseException]],
    prepared: Sequence[_api.NativeArguments | BaseException],
) -> list[_R | BaseException]:
    """The native batch over the argument tuples among ``prepared``; its exceptions stay in their places."""
    results = iter(native_batch([item for item in prepared if not isinstance(item, BaseException)]))
    return [item if isinstance(item, BaseException) else next(results) for item in prepared]


def _run(
    function: _api.PythonicFunction[..., _R],
    native_batch: Callable[[list[Any]], list[_R | BaseException]],
    requests: Iterable[Request],
    workers: int | None,
) -> list[_R | BaseException]:
    count = _chunks.check_workers(workers)
    if not isinstance(requests, Sequence):
        requests = list(requests)

    def work(chunk: list[Request]) -> list[_R | BaseException]:
        prepared: list[_api.NativeArguments | BaseException] = []
        for request in chunk:
            try:
                prepared.append(function.native_arguments(**request))
            except Exception as error:  # noqa: BLE001 - the request's own outcome
                # Without this frame, so that the exception does not hold the list that holds it.
                prepared.append(error.with_traceback(error.__traceback__ and error.__traceback__.tb_next))
        return native_results(native_batch, prepared)

    return list(_chunks.map_in_chunks(work, requests, count, _chunks.chunk_sizes(len(requests), count)))

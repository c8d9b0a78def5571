"""A Pythonic function as the conversion of its arguments into one native call.

Each Pythonic function is written as its conversion: a function with the
public signature that returns a ``NativeCall``, the native function to call
(its ``NativeTarget``) and the positional arguments to call it with. Most
functions have one target; the create-intent functions have two, the payee
being named by its seed or by its public key. ``pythonic`` makes the
conversion into the function, which makes the call and passes its result
through the target's ``finish``, and keeps the conversion as
``native_call``, so that a batch (``corvane_kit.batch``, the command's
``--jsonl``) converts each request as a single call does, binding errors
included, and hands the arguments to the target's native batch.
"""

from __future__ import annotations

import functools
import inspect
from collections.abc import Callable
from dataclasses import dataclass
from typing import Any, Generic, ParamSpec, Protocol, TypeAlias, TypeVar, cast, runtime_checkable

_P = ParamSpec("_P")
_R = TypeVar("_R")

NativeArguments: TypeAlias = tuple[Any, ...]
"""A native function's positional arguments."""


def _as_returned(result: _R) -> _R:
    return result


@dataclass(frozen=True, eq=False)
class NativeTarget(Generic[_R]):
    """A native function, its batch in ``_extras`` and what the Pythonic layer does with each result."""

    call: Callable[..., _R]
    batch: Callable[[list[Any]], list[_R | BaseException]]
    # The result as returned, or an exception raised in its place (a body the
    # service could not read back).
    finish: Callable[[_R], _R] = _as_returned


NativeCall: TypeAlias = tuple[NativeTarget[_R], NativeArguments]
"""The native function to call, and its positional arguments."""


@runtime_checkable
class PythonicFunction(Protocol[_P, _R]):
    """A Pythonic function, and the conversion of its arguments into the native call it makes."""

    def __call__(self, *args: _P.args, **kwargs: _P.kwargs) -> _R: ...

    def native_call(self, *args: _P.args, **kwargs: _P.kwargs) -> NativeCall[_R]: ...


def pythonic(returns: str) -> Callable[[Callable[_P, NativeCall[_R]]], PythonicFunction[_P, _R]]:
    """Makes a conversion, named and documented as the Pythonic function, into that function."""

    def make(native_call: Callable[_P, NativeCall[_R]]) -> PythonicFunction[_P, _R]:
        def call(*args: _P.args, **kwargs: _P.kwargs) -> _R:
            target, arguments = native_call(*args, **kwargs)
            return target.finish(target.call(*arguments))

        functools.update_wrapper(call, native_call)
        signature = inspect.signature(native_call).replace(return_annotation=returns)
        setattr(call, "__signature__", signature)
        setattr(call, "native_call", native_call)
        return cast(PythonicFunction[_P, _R], call)

    return make

"""The call frame's own paths, driven through the test-only probe module that
is built from the same frame code as corvane_kit._native."""

import gc
import sys

import pytest


def raised_by(call):
    try:
        call()
    except BaseException as caught:  # noqa: BLE001 - what it derives from is the point
        return caught
    raise AssertionError("nothing raised")


def test_internal_failure_is_a_panic_exception_outside_exception(frame_probe):
    caught = raised_by(lambda: frame_probe.panic("invariant broken"))
    kind = type(caught)
    assert (kind.__name__, kind.__module__, kind.__bases__) == ("PanicException", "pyo3_runtime", (BaseException,))
    assert caught.args == ("invariant broken",) and not hasattr(caught, "__notes__")
    assert kind.__doc__ == (
        "\nThe exception raised when the native code of this module panics.\n\nLike SystemExit, this exception is"
        " derived from BaseException so that\nit will typically propagate all the way through the stack and cause"
        " the\ninterpreter to exit.\n")
    assert type(raised_by(lambda: frame_probe.panic("again"))) is kind  # made once
    unknown = raised_by(frame_probe.panic_unknown)
    assert type(unknown) is kind and "panic" in unknown.args[0]


def test_memory_and_error_values(frame_probe):
    with pytest.raises(MemoryError):
        frame_probe.exhaust_memory()
    caught = raised_by(lambda: frame_probe.fail_value("bad\x00input é"))
    assert type(caught) is ValueError and caught.args == ("bad\x00input é",) and not hasattr(caught, "__notes__")


class Lying:
    """A sequence whose length is a lie: the length is only a hint."""

    def __len__(self):
        return sys.maxsize

    def __getitem__(self, index):
        if index >= 2:
            raise IndexError
        return 7


@pytest.mark.parametrize("function, value, expected", [
    ("echo_seed", b"\x00\xff", "00ff"), ("echo_seed", bytearray(b"\x01\x02"), "0102"), ("echo_seed", [1, 2, 255], "0102ff"),
    ("echo_seed", (True, 0), "0100"), ("echo_seed", memoryview(b"\x0a\x0b"), "0a0b"), ("echo_seed", range(3), "000102"),
    ("echo_seed", [], ""), ("echo_seed", Lying(), "0707"), ("echo_seed", type("L", (list,), {"__len__": None})([1]), "01"),
    ("echo_amount", -(2**63), str(-(2**63))), ("echo_amount", 2**63 - 1, str(2**63 - 1)), ("echo_amount", True, "1"),
    ("echo_seq", 0, "0"), ("echo_seq", 4294967295, "4294967295"), ("echo_seq", True, "1"),
    ("echo_items", ("a", "b"), "a|b|"), ("echo_items", ["x"], "x|"),
])
def test_conversions(frame_probe, function, value, expected):
    assert getattr(frame_probe, function)(value) == expected


@pytest.mark.parametrize("call", [
    lambda p: p.panic("boom"), lambda p: p.echo_seed([1, 2, 300]), lambda p: p.echo_items(["a", 1]),
    lambda p: p.fail_value("x"), lambda p: p.echo_seed(),
])
def test_failure_paths_release_their_objects(frame_probe, call):
    def repeat(n):
        for _ in range(n):
            try:
                call(frame_probe)
            except BaseException:  # noqa: BLE001
                pass

    repeat(200)
    gc.collect()
    before = len(gc.get_objects())
    repeat(2000)
    gc.collect()
    assert len(gc.get_objects()) - before < 50

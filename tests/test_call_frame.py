"""The call frame's own failure paths, driven through the test-only probe
module that is built from the same frame code as corvane_kit._native."""

import gc
import sys

import pytest


def panic_type(probe):
    try:
        probe.panic("boom")
    except BaseException as caught:  # noqa: BLE001 - the point is what it derives from
        return type(caught)
    raise AssertionError("no exception")


def test_internal_failure_is_panic_exception_outside_exception(frame_probe):
    with pytest.raises(BaseException) as caught:
        try:
            frame_probe.panic("invariant broken")
        except Exception:  # must not catch it
            pytest.fail("PanicException was caught by `except Exception`")
    exc_type = caught.type
    assert exc_type.__name__ == "PanicException"
    assert exc_type.__module__ == "pyo3_runtime"
    assert exc_type.__bases__ == (BaseException,)
    assert caught.value.args == ("invariant broken",)
    assert not hasattr(caught.value, "__notes__")
    assert "BaseException" in exc_type.__doc__


def test_panic_type_is_created_once(frame_probe):
    assert panic_type(frame_probe) is panic_type(frame_probe)


def test_exception_without_message_gets_generic_panic(frame_probe):
    with pytest.raises(BaseException) as caught:
        frame_probe.panic_unknown()
    assert caught.type.__name__ == "PanicException"
    assert "panic" in caught.value.args[0]


def test_running_out_of_memory_is_memory_error(frame_probe):
    with pytest.raises(MemoryError):
        frame_probe.exhaust_memory()


def test_error_value_is_raised_without_note(frame_probe):
    with pytest.raises(ValueError) as caught:
        frame_probe.fail_value("bad\x00input é")
    assert caught.value.args == ("bad\x00input é",)
    assert not hasattr(caught.value, "__notes__")


@pytest.mark.parametrize(
    "seed, expected",
    [
        (b"\x00\xff", "00ff"),
        (bytearray(b"\x01\x02"), "0102"),
        ([1, 2, 255], "0102ff"),
        ((True, 0), "0100"),
        (memoryview(b"\x0a\x0b"), "0a0b"),
        (range(3), "000102"),
        ([], ""),
    ],
)
def test_seed_conversion(frame_probe, seed, expected):
    assert frame_probe.echo_seed(seed) == expected


class Lying:
    """A sequence whose length is a lie: the length is only a hint."""

    def __len__(self):
        return sys.maxsize

    def __getitem__(self, index):
        if index >= 2:
            raise IndexError
        return 7


class BrokenLength(list):
    def __len__(self):
        raise RuntimeError("no length")


def test_sequence_length_is_only_a_hint(frame_probe):
    assert frame_probe.echo_seed(Lying()) == "0707"
    assert frame_probe.echo_seed(BrokenLength([1])) == "01"


def test_iteration_failure_passes_through_with_note(frame_probe):
    class Exploding:
        def __len__(self):
            return 1

        def __getitem__(self, index):
            raise KeyError("inner")

    with pytest.raises(KeyError) as caught:
        frame_probe.echo_seed(Exploding())
    assert caught.value.__notes__ == ["while processing 'seed'"]


@pytest.mark.parametrize(
    "value, expected",
    [(0, "0"), (-(2**63), str(-(2**63))), (2**63 - 1, str(2**63 - 1)), (True, "1")],
)
def test_amount_conversion(frame_probe, value, expected):
    assert frame_probe.echo_amount(value) == expected


@pytest.mark.parametrize("value, expected", [(0, "0"), (4294967295, "4294967295"), (True, "1")])
def test_sequence_number_conversion(frame_probe, value, expected):
    assert frame_probe.echo_seq(value) == expected


def test_items_conversion(frame_probe):
    assert frame_probe.echo_items(("a", "b")) == "a|b|"
    assert frame_probe.echo_items(iter_free_list := ["x"]) == "x|"
    assert iter_free_list == ["x"]


def test_failure_paths_release_their_objects(frame_probe):
    calls = [
        lambda: frame_probe.panic("boom"),
        lambda: frame_probe.echo_seed([1, 2, 300]),
        lambda: frame_probe.echo_items(["a", 1]),
        lambda: frame_probe.fail_value("x"),
        lambda: frame_probe.echo_seed(),
    ]
    for call in calls:
        for _ in range(200):
            try:
                call()
            except BaseException:  # noqa: BLE001
                pass
        gc.collect()
        before = len(gc.get_objects())
        for _ in range(2000):
            try:
                call()
            except BaseException:  # noqa: BLE001
                pass
        gc.collect()
        assert len(gc.get_objects()) - before < 50

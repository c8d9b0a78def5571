"""The module as Python sees it: attributes, argument binding, argument
conversion with its notes, the order of conversions, re-import, and
reference/memory hygiene on every failure path."""

from __future__ import annotations

import ctypes
import functools
import gc
import importlib
import importlib.util
import inspect
import random
import sys
import tracemalloc
import types

import pytest

import corvane_kit
from corvane_kit import _native
from valid_arguments import CREATE as CREATE_ARGS
from valid_arguments import EVIDENCE as EVIDENCE_ARGS
from valid_arguments import INTENT_ID, SEED_A, SEED_B
from valid_arguments import POLICY as POLICY_ARGS
from valid_arguments import SIGN as SIGN_ARGS
from valid_arguments import VERIFY as VERIFY_ARGS

MODULE_NAME = "corvane_kit._native"


# The parameter lists as published, written out rather than read back.
PARAMS = {
    "sign_payee_evidence_binding_json": [
        "tenant_id", "intent_id", "payee_did", "payload_json", "artifacts_hex",
        "submitted_at_rfc3339", "secret_seed",
    ],
    "encode_evidence_sign_v1_hex": [
        "tenant_id", "intent_id", "payee_did", "payload_json", "artifacts_hex",
        "submitted_at_rfc3339",
    ],
    "build_signed_create_intent_json": [
        "tenant_id", "principal_seed", "payee_seed", "intent_id", "principal_did",
        "payee_did", "budget_json", "currency", "amount_cents", "evidence_schema_json",
        "deadline_rfc3339", "predicate_json", "predicate_ref", "allowed_tools_json",
        "settlement_rail",
    ],
    "build_signed_create_intent_with_policy_binding_json": [
        "tenant_id", "principal_seed", "payee_seed", "intent_id", "principal_did",
        "payee_did", "budget_json", "currency", "amount_cents", "evidence_schema_json",
        "deadline_rfc3339", "materialized_predicate_json", "predicate_ref",
        "allowed_tools_json", "settlement_rail", "policy_template_id",
        "policy_version_seq", "policy_content_digest_hex",
    ],
    "verify_ed25519_sha256_hex": ["digest_hex", "signature_hex", "public_key_hex"],
}
FUNCTIONS = list(PARAMS)

VALID = {
    "sign_payee_evidence_binding_json": SIGN_ARGS,
    "encode_evidence_sign_v1_hex": EVIDENCE_ARGS,
    "build_signed_create_intent_json": CREATE_ARGS,
    "build_signed_create_intent_with_policy_binding_json": POLICY_ARGS,
    "verify_ed25519_sha256_hex": VERIFY_ARGS,
}

DOCS = {
    "sign_payee_evidence_binding_json": (
        "Returns a JSON string for `POST /intents/{intent_id}/evidence` (payload + signatures)."
        "\n\n`secret_seed` must be exactly 32 bytes (Ed25519 seed)."
    ),
    "encode_evidence_sign_v1_hex": (
        "Returns hex-encoded EvidenceSignV1 signing bytes (parity helper for wire goldens)."
    ),
    "verify_ed25519_sha256_hex": (
        "Verify an Ed25519 signature over a SHA-256 digest (audit export manifest verification)."
    ),
    "build_signed_create_intent_json": (
        "Returns a JSON string for ``POST /intents`` (principal-signed ``CreateIntentRequest``,"
        " raw ``predicate_dsl``).\n\n``principal_seed`` must be exactly 32 bytes (Ed25519 seed)."
        " ``allowed_tools_json`` must be a JSON\narray of strings (non-empty per Ostraven)."
    ),
    "build_signed_create_intent_with_policy_binding_json": (
        "Returns a JSON string for ``POST /intents`` with signing v5 and a published"
        " managed-policy head."
    ),
}

SEED_PARAMS = {"secret_seed", "principal_seed", "payee_seed"}


def kind_of(param: str) -> str:
    if param in SEED_PARAMS:
        return "seed"
    if param == "artifacts_hex":
        return "text list"
    if param == "amount_cents":
        return "amount"
    if param == "policy_version_seq":
        return "seq"
    return "text"


def fn(name: str):
    return getattr(_native, name)


def positional(name: str) -> list:
    return [VALID[name][p] for p in PARAMS[name]]


def call_with(name: str, **overrides):
    args = {**VALID[name], **overrides}
    return fn(name)(*[args[p] for p in PARAMS[name]])


def params_of_kind(kind: str) -> list:
    return [
        pytest.param(name, p, id=f"{name}.{p}")
        for name in FUNCTIONS
        for p in PARAMS[name]
        if kind_of(p) == kind
    ]


def note_for(param: str) -> list:
    return [f"while processing '{param}'"]


def notes(exc: BaseException):
    return getattr(exc, "__notes__", None)


@functools.lru_cache(maxsize=None)
def expected(name: str):
    """The result of the plain valid call, the yardstick for equivalent calls."""
    return fn(name)(*positional(name))


def test_valid_calls_succeed():
    assert expected("verify_ed25519_sha256_hex") is True
    for name in FUNCTIONS[:4]:
        assert isinstance(expected(name), str) and expected(name)


# --------------------------------------------------------------------------
# Module and function attributes


def test_module_attributes():
    assert _native.__name__ == MODULE_NAME
    assert _native.__doc__ == ""
    assert type(_native.__all__) is list
    assert _native.__all__ == [
        "sign_payee_evidence_binding_json",
        "encode_evidence_sign_v1_hex",
        "build_signed_create_intent_json",
        "build_signed_create_intent_with_policy_binding_json",
        "verify_ed25519_sha256_hex",
    ]
    public = {n for n in dir(_native) if not n.startswith("_")}
    assert public == set(FUNCTIONS)
    assert not hasattr(_native, "PanicException")
    assert not hasattr(_native, "__version__")


class _MethodDef(ctypes.Structure):
    _fields_ = [
        ("ml_name", ctypes.c_char_p),
        ("ml_meth", ctypes.c_void_p),
        ("ml_flags", ctypes.c_int),
        ("ml_doc", ctypes.c_char_p),
    ]


class _CFunction(ctypes.Structure):
    # Leading fields of CPython 3.11's PyCFunctionObject.
    _fields_ = [
        ("ob_refcnt", ctypes.c_ssize_t),
        ("ob_type", ctypes.c_void_p),
        ("m_ml", ctypes.POINTER(_MethodDef)),
        ("m_self", ctypes.c_void_p),
        ("m_module", ctypes.c_void_p),
    ]


@pytest.mark.parametrize("name", FUNCTIONS)
def test_function_attributes(name):
    f = fn(name)
    assert type(f) is types.BuiltinFunctionType
    assert f.__name__ == name
    assert f.__qualname__ == name
    assert f.__module__ == MODULE_NAME
    # The functions are bound to the module object, but they are flagged
    # static (fast call + keywords + static), and for such functions the
    # interpreter reports __self__ as None. Both facts are pinned here.
    assert f.__self__ is None
    raw = _CFunction.from_address(id(f))
    assert raw.m_self == id(_native)
    assert raw.m_ml.contents.ml_flags == 0xA2
    assert f.__doc__ == DOCS[name]
    sig = inspect.signature(f)
    assert str(sig) == "(" + ", ".join(PARAMS[name]) + ")"
    for param in sig.parameters.values():
        assert param.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD
        assert param.default is inspect.Parameter.empty


def test_reimport_after_removal_from_sys_modules():
    old = sys.modules.pop(MODULE_NAME)
    try:
        new = importlib.import_module(MODULE_NAME)
        assert new is not old
        assert new.__all__ == old.__all__
        assert new.__doc__ == ""
        for name in FUNCTIONS:
            f = getattr(new, name)
            assert _CFunction.from_address(id(f)).m_self == id(new)
            assert f.__module__ == MODULE_NAME
            assert f(*positional(name)) == expected(name)
    finally:
        sys.modules[MODULE_NAME] = old
        corvane_kit._native = old


def test_function_module_name_is_read_from_the_module_object():
    spec = importlib.util.spec_from_file_location("elsewhere._native", _native.__file__)
    mod = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(mod)
    assert mod.__name__ == "elsewhere._native"
    assert mod.verify_ed25519_sha256_hex.__module__ == "elsewhere._native"
    assert mod.verify_ed25519_sha256_hex(*positional("verify_ed25519_sha256_hex")) is True
    assert _native.verify_ed25519_sha256_hex.__module__ == MODULE_NAME


# --------------------------------------------------------------------------
# Binding


def _quoted(names):
    q = [f"'{n}'" for n in names]
    return q[0] if len(q) == 1 else ", ".join(q[:-1]) + " and " + q[-1]


def _missing_msg(name, names):
    plural = "argument" if len(names) == 1 else "arguments"
    return f"{name}() missing {len(names)} required positional {plural}: {_quoted(names)}"


def _too_many_msg(name, given):
    verb = "was" if given == 1 else "were"
    return f"{name}() takes {len(PARAMS[name])} positional arguments but {given} {verb} given"


def _binding_cases():
    cases = []
    for name in FUNCTIONS:
        ps = PARAMS[name]
        pos = positional(name)
        first, last = ps[0], ps[-1]
        n = len(ps)
        add = lambda label, args, kwargs, msg: cases.append(  # noqa: E731
            pytest.param(name, args, kwargs, msg, id=f"{name}-{label}")
        )
        add("one too many", pos + [0], {}, _too_many_msg(name, n + 1))
        add("three too many", pos + [0, 0, 0], {}, _too_many_msg(name, n + 3))
        # Binding happens before conversion: bad types do not matter.
        add("too many ints", [0] * (n + 1), {}, _too_many_msg(name, n + 1))
        add("too many beats bad keyword", pos + [0], {"bogus": 1}, _too_many_msg(name, n + 1))
        add("unexpected keyword", pos, {"bogus": 1},
            f"{name}() got an unexpected keyword argument 'bogus'")
        add("unexpected keyword wins over missing", [], {"bogus": 1},
            f"{name}() got an unexpected keyword argument 'bogus'")
        add("keyword names are case sensitive", pos[1:], {first.upper(): pos[0]},
            f"{name}() got an unexpected keyword argument '{first.upper()}'")
        add("multiple values, first", pos, {first: pos[0]},
            f"{name}() got multiple values for argument '{first}'")
        add("multiple values, last", pos, {last: pos[-1]},
            f"{name}() got multiple values for argument '{last}'")
        # Keywords are examined in the order given; the first fault wins.
        add("unknown keyword before repeated one", pos[:1], {"zzz": 1, first: pos[0]},
            f"{name}() got an unexpected keyword argument 'zzz'")
        add("repeated keyword before unknown one", pos[:1], {first: pos[0], "zzz": 1},
            f"{name}() got multiple values for argument '{first}'")
        add("missing all", [], {}, _missing_msg(name, ps))
        add("missing 1", pos[:-1], {}, _missing_msg(name, ps[-1:]))
        add("missing 2", pos[:-2], {}, _missing_msg(name, ps[-2:]))
        add("missing 3", pos[:-3], {}, _missing_msg(name, ps[-3:]))
        add("missing all but a keyword", [], {ps[1]: pos[1]},
            _missing_msg(name, [p for p in ps if p != ps[1]]))
        add("missing the first, rest by keyword", [], dict(zip(ps[1:], pos[1:])),
            _missing_msg(name, ps[:1]))
    return cases


@pytest.mark.parametrize("name, args, kwargs, message", _binding_cases())
def test_binding_errors(name, args, kwargs, message):
    with pytest.raises(TypeError) as exc:
        fn(name)(*args, **kwargs)
    assert type(exc.value) is TypeError
    assert exc.value.args == (message,)
    assert notes(exc.value) is None


_D, _S, _K = (VERIFY_ARGS[p] for p in PARAMS["verify_ed25519_sha256_hex"])


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda f: f(_D, _S, _K, _K),
         "verify_ed25519_sha256_hex() takes 3 positional arguments but 4 were given"),
        (lambda f: f(_D, _S),
         "verify_ed25519_sha256_hex() missing 1 required positional argument: 'public_key_hex'"),
        (lambda f: f(_D),
         "verify_ed25519_sha256_hex() missing 2 required positional arguments:"
         " 'signature_hex' and 'public_key_hex'"),
        (lambda f: f(),
         "verify_ed25519_sha256_hex() missing 3 required positional arguments:"
         " 'digest_hex', 'signature_hex' and 'public_key_hex'"),
        (lambda f: f(_D, _S, _K, _K, digest_hex=_D),
         "verify_ed25519_sha256_hex() takes 3 positional arguments but 4 were given"),
        (lambda f: f(_D, _S, _K, digest_hex=_D),
         "verify_ed25519_sha256_hex() got multiple values for argument 'digest_hex'"),
        (lambda f: f(_D, signature_hex=_S, public_key_hex=_K, digest_hex=_D),
         "verify_ed25519_sha256_hex() got multiple values for argument 'digest_hex'"),
    ],
)
def test_binding_messages_spelled_out(call, message):
    with pytest.raises(TypeError) as exc:
        call(_native.verify_ed25519_sha256_hex)
    assert exc.value.args == (message,)


# Python's own call syntax refuses non-str and repeated keyword names before
# the callee sees them; the vectorcall protocol lets us hand them over as is.
_vectorcall = ctypes.pythonapi.PyObject_Vectorcall
_vectorcall.restype = ctypes.py_object
_vectorcall.argtypes = [
    ctypes.py_object, ctypes.POINTER(ctypes.py_object), ctypes.c_size_t, ctypes.py_object,
]


def vectorcall(func, args, kwnames, kwvalues):
    items = list(args) + list(kwvalues)
    array = (ctypes.py_object * len(items))(*items)
    return _vectorcall(func, array, len(args), tuple(kwnames))


@pytest.mark.parametrize("name", FUNCTIONS)
def test_vectorcall_keywords(name):
    ps, pos = PARAMS[name], positional(name)
    f = fn(name)
    # Sanity: the raw protocol works for a good call.
    assert vectorcall(f, pos[:-1], [ps[-1]], [pos[-1]]) == expected(name)

    with pytest.raises(TypeError) as exc:
        vectorcall(f, pos, [7], [0])
    assert exc.value.args == (f"{name}() got an unexpected keyword argument '7'",)

    # A keyword given twice is caught like a keyword that repeats a position.
    with pytest.raises(TypeError) as exc:
        vectorcall(f, [], [ps[0], ps[0]], [pos[0], pos[0]])
    assert exc.value.args == (f"{name}() got multiple values for argument '{ps[0]}'",)
    assert notes(exc.value) is None


@pytest.mark.parametrize("name", FUNCTIONS)
def test_keyword_name_with_lone_surrogate_is_unexpected(name):
    # It cannot equal any parameter name, and it is shown as given.
    with pytest.raises(TypeError) as exc:
        fn(name)(*positional(name)[:-1], **{"\ud800": 1})
    assert exc.value.args == (f"{name}() got an unexpected keyword argument '\ud800'",)


@pytest.mark.parametrize("name", FUNCTIONS)
def test_keywords_in_any_order(name):
    kwargs = dict(zip(PARAMS[name], positional(name)))
    f = fn(name)
    assert f(**kwargs) == expected(name)
    assert f(**dict(reversed(list(kwargs.items())))) == expected(name)
    items = list(kwargs.items())
    random.Random(1234).shuffle(items)
    assert f(**dict(items)) == expected(name)
    half = len(items) // 2
    assert f(*positional(name)[:half], **dict(list(kwargs.items())[half:][::-1])) == expected(name)


# --------------------------------------------------------------------------
# Conversion of text parameters


class Outer:
    class Inner:
        pass


class StrSub(str):
    # Conversion must read the string's own characters, not ask the object.
    def __str__(self):
        return "not-me"

    def encode(self, *args, **kwargs):
        return b"not-me"


def _encode_error(text: str) -> UnicodeEncodeError:
    try:
        text.encode("utf-8")
    except UnicodeEncodeError as exc:
        return exc
    raise AssertionError("expected an encoding failure")


TEXT_BAD_VALUES = [
    pytest.param(1, "'int' object is not an instance of 'str'", id="int"),
    pytest.param(None, "'None' is not an instance of 'str'", id="None"),
    pytest.param(b"abc", "'bytes' object is not an instance of 'str'", id="bytes"),
    pytest.param(1.5, "'float' object is not an instance of 'str'", id="float"),
    pytest.param(["a"], "'list' object is not an instance of 'str'", id="list"),
    pytest.param(Outer.Inner(), "'Outer.Inner' object is not an instance of 'str'", id="qualname"),
]


@pytest.mark.parametrize("value, message", TEXT_BAD_VALUES)
@pytest.mark.parametrize("name, param", params_of_kind("text"))
def test_text_parameter_refuses_non_str(name, param, value, message):
    with pytest.raises(TypeError) as exc:
        call_with(name, **{param: value})
    assert type(exc.value) is TypeError
    assert exc.value.args == (message,)
    assert notes(exc.value) == note_for(param)


@pytest.mark.parametrize("text", ["\ud800", "ab\udc80cd", "x\udfff\ud800"])
@pytest.mark.parametrize("name, param", params_of_kind("text"))
def test_text_parameter_with_lone_surrogate(name, param, text):
    oracle = _encode_error(text)
    with pytest.raises(UnicodeEncodeError) as exc:
        call_with(name, **{param: text})
    assert str(exc.value) == str(oracle)
    assert exc.value.args == oracle.args
    assert notes(exc.value) == note_for(param)


@pytest.mark.parametrize("name", FUNCTIONS)
def test_str_subclass_is_accepted_everywhere(name):
    overrides = {}
    for p in PARAMS[name]:
        value = VALID[name][p]
        if kind_of(p) == "text":
            overrides[p] = StrSub(value)
        elif kind_of(p) == "text list":
            overrides[p] = [StrSub(v) for v in value]
    assert call_with(name, **overrides) == expected(name)


# --------------------------------------------------------------------------
# Seeds


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class BytesSub(bytes):
    # The buffer itself is the seed; the sequence protocol must not be used.
    def __iter__(self):
        return iter([0] * 32)

    def __len__(self):
        return 5


class BytearraySub(bytearray):
    def __iter__(self):
        return iter([0] * 32)


class ListSub(list):
    pass


class GetItemSequence:
    """A sequence by __getitem__ alone, whose length cannot be asked."""

    def __init__(self, data, fail_at=None):
        self.data, self.fail_at = data, fail_at

    def __getitem__(self, i):
        if i == self.fail_at:
            raise ZeroDivisionError("element fetch failed")
        return self.data[i]

    def __len__(self):
        raise RuntimeError("no length for you")


SEED_FORMS = [
    pytest.param(BytesSub, id="bytes subclass"),
    pytest.param(bytearray, id="bytearray"),
    pytest.param(BytearraySub, id="bytearray subclass"),
    pytest.param(list, id="list"),
    pytest.param(ListSub, id="list subclass"),
    pytest.param(tuple, id="tuple"),
    pytest.param(memoryview, id="memoryview"),
    pytest.param(lambda s: memoryview(bytearray(s)), id="memoryview of bytearray"),
    pytest.param(lambda s: [Index(b) for b in s], id="__index__ elements"),
    pytest.param(lambda s: [bool(b) if b in (0, 1) else b for b in s], id="bool elements"),
    pytest.param(lambda s: GetItemSequence(list(s)), id="len fails, iteration works"),
]


@pytest.mark.parametrize("make", SEED_FORMS)
@pytest.mark.parametrize("name, param", params_of_kind("seed"))
def test_seed_forms_give_the_same_result(name, param, make):
    assert call_with(name, **{param: make(VALID[name][param])}) == expected(name)


def test_range_is_a_sequence_of_ints():
    # SEED_A is bytes(range(32)).
    assert call_with("sign_payee_evidence_binding_json", secret_seed=range(32)) == expected(
        "sign_payee_evidence_binding_json"
    )


_as_long = ctypes.pythonapi.PyLong_AsLong
_as_long.restype = ctypes.c_long
_as_long.argtypes = [ctypes.py_object]


def interpreter_error(value) -> BaseException:
    """What the interpreter's own C-long conversion raises for value."""
    try:
        _as_long(value)
    except Exception as exc:  # noqa: BLE001
        return exc
    raise AssertionError(f"{value!r} converts")


OUT_OF_RANGE = "out of range integral type conversion attempted"


def _with(seed_list, index, value):
    out = list(seed_list)
    out[index] = value
    return out


# exc_type None: the third column is the offending element, and the expected
# exception is whatever the interpreter's C-long conversion raises for it.
SEED_BAD_VALUES = [
    pytest.param("ab" * 16, TypeError, "Can't extract `str` to `Vec`", id="str"),
    pytest.param(SEED_A.hex(), TypeError, "Can't extract `str` to `Vec`", id="64 hex digits"),
    pytest.param(StrSub("x" * 32), TypeError, "Can't extract `str` to `Vec`", id="str subclass"),
    pytest.param("", TypeError, "Can't extract `str` to `Vec`", id="empty str"),
    pytest.param(dict.fromkeys(range(32), 1), TypeError,
                 "'dict' object is not an instance of 'Sequence'", id="dict"),
    pytest.param(set(range(32)), TypeError, "'set' object is not an instance of 'Sequence'", id="set"),
    pytest.param(5, TypeError, "'int' object is not an instance of 'Sequence'", id="int"),
    pytest.param(None, TypeError, "'None' is not an instance of 'Sequence'", id="None"),
    pytest.param(iter(list(SEED_A)), TypeError,
                 "'list_iterator' object is not an instance of 'Sequence'", id="iterator"),
    pytest.param((b for b in SEED_A), TypeError,
                 "'generator' object is not an instance of 'Sequence'", id="generator"),
    pytest.param(Outer.Inner(), TypeError,
                 "'Outer.Inner' object is not an instance of 'Sequence'", id="qualname"),
    pytest.param(_with(SEED_A, 5, 256), OverflowError, OUT_OF_RANGE, id="element 256"),
    pytest.param(_with(SEED_A, 0, -1), OverflowError, OUT_OF_RANGE, id="element -1"),
    pytest.param(_with(SEED_A, 31, 2**63 - 1), OverflowError, OUT_OF_RANGE, id="element 2**63-1"),
    pytest.param(_with(SEED_A, 31, -(2**63)), OverflowError, OUT_OF_RANGE, id="element -2**63"),
    pytest.param(_with(SEED_A, 3, Index(300)), OverflowError, OUT_OF_RANGE, id="__index__ 300"),
    pytest.param(_with(SEED_A, 3, 2**64), None, 2**64, id="element 2**64"),
    pytest.param(_with(SEED_A, 3, 1.5), None, 1.5, id="element 1.5"),
    pytest.param(_with(SEED_A, 3, "a"), None, "a", id="element str"),
    pytest.param(_with(SEED_A, 3, None), None, None, id="element None"),
    pytest.param(_with(SEED_A, 3, b"\x01"), None, b"\x01", id="element bytes"),
    # Elements are converted in order; the first failure decides.
    pytest.param(_with(_with(SEED_A, 2, 1.5), 3, 256), None, 1.5, id="1.5 before 256"),
    pytest.param(_with(_with(SEED_A, 2, 256), 3, 1.5), OverflowError, OUT_OF_RANGE,
                 id="256 before 1.5"),
    # Elements beyond 32 are still converted: the length rule comes later.
    pytest.param(list(SEED_A) + [999], OverflowError, OUT_OF_RANGE, id="33rd element 999"),
]


@pytest.mark.parametrize("value, exc_type, message", SEED_BAD_VALUES)
@pytest.mark.parametrize("name, param", params_of_kind("seed"))
def test_seed_conversion_failures(name, param, value, exc_type, message):
    if exc_type is None:
        # The interpreter's own message for the offending element.
        oracle = interpreter_error(message)
        exc_type, message = type(oracle), str(oracle)
    with pytest.raises(exc_type) as exc:
        call_with(name, **{param: value})
    assert type(exc.value) is exc_type
    assert exc.value.args == (message,)
    assert notes(exc.value) == note_for(param)


@pytest.mark.parametrize("name, param", params_of_kind("seed"))
def test_seed_iteration_failure_passes_through_with_note(name, param):
    with pytest.raises(ZeroDivisionError) as exc:
        call_with(name, **{param: GetItemSequence(list(SEED_A), fail_at=3)})
    assert exc.value.args == ("element fetch failed",)
    assert notes(exc.value) == note_for(param)


@pytest.mark.parametrize("value", [b"", bytes(31), list(range(33)), bytearray(64)],
                         ids=["empty", "31", "33 as list", "64 as bytearray"])
@pytest.mark.parametrize("name, param", params_of_kind("seed"))
def test_seed_length_is_checked_after_conversion_without_note(name, param, value):
    with pytest.raises(ValueError) as exc:
        call_with(name, **{param: value})
    assert type(exc.value) is ValueError
    assert exc.value.args == (f"{param} must be exactly 32 bytes (Ed25519 signing key seed)",)
    assert notes(exc.value) is None


# --------------------------------------------------------------------------
# artifacts_hex


@pytest.mark.parametrize(
    "make",
    [
        pytest.param(lambda a: tuple(a), id="tuple"),
        pytest.param(lambda a: ListSub(a), id="list subclass"),
        pytest.param(lambda a: [StrSub(x) for x in a], id="str subclass elements"),
        pytest.param(lambda a: GetItemSequence(list(a)), id="len fails, iteration works"),
    ],
)
@pytest.mark.parametrize("name", ["sign_payee_evidence_binding_json", "encode_evidence_sign_v1_hex"])
def test_artifacts_sequence_forms(name, make):
    assert call_with(name, artifacts_hex=make(EVIDENCE_ARGS["artifacts_hex"])) == expected(name)


@pytest.mark.parametrize("name", ["sign_payee_evidence_binding_json", "encode_evidence_sign_v1_hex"])
def test_empty_bytes_is_an_empty_artifact_list(name):
    # bytes passes the sequence check and has no elements to refuse.
    assert call_with(name, artifacts_hex=b"") == call_with(name, artifacts_hex=[])
    assert call_with(name, artifacts_hex=()) == call_with(name, artifacts_hex=[])


ARTIFACT_BAD_VALUES = [
    pytest.param("1" * 64, TypeError, "Can't extract `str` to `Vec`", id="str"),
    pytest.param("", TypeError, "Can't extract `str` to `Vec`", id="empty str"),
    pytest.param(StrSub("1" * 64), TypeError, "Can't extract `str` to `Vec`", id="str subclass"),
    pytest.param(b"ab", TypeError, "'int' object is not an instance of 'str'", id="bytes"),
    pytest.param(bytearray(b"a"), TypeError, "'int' object is not an instance of 'str'",
                 id="bytearray"),
    pytest.param([None], TypeError, "'None' is not an instance of 'str'", id="element None"),
    pytest.param(["1" * 64, 5], TypeError, "'int' object is not an instance of 'str'",
                 id="second element int"),
    pytest.param([b"1" * 64], TypeError, "'bytes' object is not an instance of 'str'",
                 id="element bytes"),
    pytest.param({"1" * 64: 1}, TypeError, "'dict' object is not an instance of 'Sequence'",
                 id="dict"),
    pytest.param(None, TypeError, "'None' is not an instance of 'Sequence'", id="None"),
    pytest.param(7, TypeError, "'int' object is not an instance of 'Sequence'", id="int"),
    pytest.param(frozenset(["1" * 64]), TypeError,
                 "'frozenset' object is not an instance of 'Sequence'", id="frozenset"),
]


@pytest.mark.parametrize("value, exc_type, message", ARTIFACT_BAD_VALUES)
@pytest.mark.parametrize("name", ["sign_payee_evidence_binding_json", "encode_evidence_sign_v1_hex"])
def test_artifacts_conversion_failures(name, value, exc_type, message):
    with pytest.raises(exc_type) as exc:
        call_with(name, artifacts_hex=value)
    assert type(exc.value) is exc_type
    assert exc.value.args == (message,)
    assert notes(exc.value) == note_for("artifacts_hex")


@pytest.mark.parametrize("name", ["sign_payee_evidence_binding_json", "encode_evidence_sign_v1_hex"])
def test_artifacts_iterator_is_not_a_sequence(name):
    with pytest.raises(TypeError) as exc:
        call_with(name, artifacts_hex=iter(["1" * 64]))
    assert exc.value.args == ("'list_iterator' object is not an instance of 'Sequence'",)
    assert notes(exc.value) == note_for("artifacts_hex")


@pytest.mark.parametrize("name", ["sign_payee_evidence_binding_json", "encode_evidence_sign_v1_hex"])
def test_artifacts_element_with_lone_surrogate(name):
    oracle = _encode_error("1\ud800")
    with pytest.raises(UnicodeEncodeError) as exc:
        call_with(name, artifacts_hex=["1" * 64, "1\ud800"])
    assert exc.value.args == oracle.args
    assert notes(exc.value) == note_for("artifacts_hex")


# --------------------------------------------------------------------------
# amount_cents and policy_version_seq

CREATE_FUNCTIONS = ["build_signed_create_intent_json", "build_signed_create_intent_with_policy_binding_json"]


@pytest.mark.parametrize(
    "value",
    [2**63, -(2**63) - 1, 2**100, 1.5, "5", None, b"5", Outer.Inner()],
    ids=["2**63", "-2**63-1", "2**100", "float", "str", "None", "bytes", "object"],
)
@pytest.mark.parametrize("name", CREATE_FUNCTIONS)
def test_amount_conversion_failures(name, value):
    oracle = interpreter_error(value)
    with pytest.raises(type(oracle)) as exc:
        call_with(name, amount_cents=value)
    assert type(exc.value) is type(oracle)
    assert exc.value.args == oracle.args
    assert notes(exc.value) == note_for("amount_cents")


@pytest.mark.parametrize("name", CREATE_FUNCTIONS)
def test_amount_values_that_convert(name):
    for value in (-5, 0, 2**63 - 1, -(2**63)):
        assert isinstance(call_with(name, amount_cents=value), str)
    assert call_with(name, amount_cents=True) == call_with(name, amount_cents=1)
    assert call_with(name, amount_cents=Index(-42)) == call_with(name, amount_cents=-42)


POLICY = "build_signed_create_intent_with_policy_binding_json"


@pytest.mark.parametrize(
    "value, exc_type, message",
    [
        (2**32, OverflowError, OUT_OF_RANGE),
        (-1, OverflowError, OUT_OF_RANGE),
        (-(2**63), OverflowError, OUT_OF_RANGE),
        (2**63 - 1, OverflowError, OUT_OF_RANGE),
        (Index(2**32 + 5), OverflowError, OUT_OF_RANGE),
        (2**63, None, 2**63),
        (-(2**63) - 1, None, -(2**63) - 1),
        (1.5, None, 1.5),
        ("7", None, "7"),
        (None, None, None),
    ],
    ids=["2**32", "-1", "-2**63", "2**63-1", "__index__ 2**32+5", "2**63", "-2**63-1",
         "float", "str", "None"],
)
def test_policy_version_seq_conversion_failures(value, exc_type, message):
    if exc_type is None:
        oracle = interpreter_error(message)
        exc_type, message = type(oracle), str(oracle)
    with pytest.raises(exc_type) as exc:
        call_with(POLICY, policy_version_seq=value)
    assert type(exc.value) is exc_type
    assert exc.value.args == (message,)
    assert notes(exc.value) == note_for("policy_version_seq")


def test_policy_version_seq_values_that_convert():
    assert isinstance(call_with(POLICY, policy_version_seq=0), str)
    top = call_with(POLICY, policy_version_seq=4294967295)
    assert isinstance(top, str)
    assert top != call_with(POLICY, policy_version_seq=4294967294)
    assert call_with(POLICY, policy_version_seq=True) == call_with(POLICY, policy_version_seq=1)
    assert call_with(POLICY, policy_version_seq=Index(9)) == call_with(POLICY, policy_version_seq=9)


# --------------------------------------------------------------------------
# Order of conversion


BAD_BY_KIND = {"text": 12345, "seed": "seed as str", "text list": 5, "amount": "5", "seq": -1}


@pytest.mark.parametrize("name", FUNCTIONS)
def test_conversion_runs_in_parameter_order(name):
    ps = PARAMS[name]
    for k in range(len(ps)):
        # Every parameter from k on is unconvertible; k must be the one named.
        overrides = {p: BAD_BY_KIND[kind_of(p)] for p in ps[k:]}
        with pytest.raises((TypeError, OverflowError)) as exc:
            call_with(name, **overrides)
        assert notes(exc.value) == note_for(ps[k]), (k, ps[k])


@pytest.mark.parametrize(
    "name, overrides, param",
    [
        # A late conversion failure beats an early argument that would only
        # fail once parsed.
        ("sign_payee_evidence_binding_json",
         {"payload_json": "{not json", "intent_id": "nope", "secret_seed": "x" * 32},
         "secret_seed"),
        ("sign_payee_evidence_binding_json",
         {"secret_seed": b"short", "submitted_at_rfc3339": None}, "submitted_at_rfc3339"),
        ("encode_evidence_sign_v1_hex",
         {"payload_json": "{", "submitted_at_rfc3339": 20250301}, "submitted_at_rfc3339"),
        ("build_signed_create_intent_json",
         {"tenant_id": 7, "principal_seed": 7}, "tenant_id"),
        ("build_signed_create_intent_json",
         {"principal_seed": b"\x00" * 31, "settlement_rail": None}, "settlement_rail"),
        ("build_signed_create_intent_json",
         {"intent_id": "not a uuid", "amount_cents": 2**64}, "amount_cents"),
        (POLICY, {"budget_json": "[", "policy_version_seq": 2**32}, "policy_version_seq"),
        (POLICY, {"policy_content_digest_hex": "zz", "predicate_ref": None}, "predicate_ref"),
        ("verify_ed25519_sha256_hex", {"digest_hex": "0g", "public_key_hex": None},
         "public_key_hex"),
    ],
)
def test_all_conversions_precede_the_implementation(name, overrides, param):
    with pytest.raises((TypeError, OverflowError)) as exc:
        call_with(name, **overrides)
    assert notes(exc.value) == note_for(param)


def test_first_documented_conversion_example():
    with pytest.raises(TypeError) as exc:
        _native.verify_ed25519_sha256_hex(1, "", "")
    assert exc.value.args == ("'int' object is not an instance of 'str'",)
    assert exc.value.__notes__ == ["while processing 'digest_hex'"]


# --------------------------------------------------------------------------
# Errors from the implementations carry no note


@pytest.mark.parametrize(
    "name, overrides, exc_type, message",
    [
        ("verify_ed25519_sha256_hex", {"digest_hex": "0g"}, ValueError,
         "digest_hex: Invalid character 'g' at position 1"),
        ("sign_payee_evidence_binding_json", {"secret_seed": b"\x01" * 31}, ValueError,
         "secret_seed must be exactly 32 bytes (Ed25519 signing key seed)"),
        ("sign_payee_evidence_binding_json", {"intent_id": "abc"}, ValueError,
         "intent_id: invalid length: found 3"),
        ("encode_evidence_sign_v1_hex", {"intent_id": "abc"}, RuntimeError,
         "intent_id: invalid length: found 3"),
        ("encode_evidence_sign_v1_hex", {"artifacts_hex": ["0x"]}, RuntimeError,
         "artifacts_hex[0]: expected 32 bytes, got 0"),
        ("build_signed_create_intent_json", {"settlement_rail": "stripe"}, ValueError,
         "settlement_rail must be one of stripe_connect, stripe_ach_debit, stripe_mpp,"
         " adyen_manual_capture, x402_usdc_base"),
        (POLICY, {"policy_content_digest_hex": ""}, ValueError,
         "policy_content_digest_hex must decode to 32 bytes"),
    ],
)
def test_implementation_errors_have_no_notes(name, overrides, exc_type, message):
    with pytest.raises(exc_type) as exc:
        call_with(name, **overrides)
    assert type(exc.value) is exc_type
    assert exc.value.args == (message,)
    assert notes(exc.value) is None
    assert exc.value.__cause__ is None


# --------------------------------------------------------------------------
# No references or memory left behind, on every path


def _leak_cases():
    v = positional("verify_ed25519_sha256_hex")
    c = positional("build_signed_create_intent_json")
    s = positional("sign_payee_evidence_binding_json")
    e = positional("encode_evidence_sign_v1_hex")
    p = positional(POLICY)
    V, C, S, E, P = (fn(n) for n in ("verify_ed25519_sha256_hex", "build_signed_create_intent_json",
                                     "sign_payee_evidence_binding_json", "encode_evidence_sign_v1_hex",
                                     POLICY))
    surrogate = "a\ud800"
    big = 2**70
    seed_list = list(SEED_A)
    seed_bad = _with(SEED_A, 4, 256)
    seed_float = _with(SEED_A, 4, 1.5)
    bad_sig = "00" * 64
    cases = {
        "verify true": (V, v, {}),
        "verify false": (V, [v[0], bad_sig, v[2]], {}),
        "sign ok": (S, s, {}),
        "encode ok": (E, e, {}),
        "create ok": (C, c, {}),
        "policy ok": (P, p, {}),
        "seed as list ok": (S, s[:-1] + [seed_list], {}),
        "keywords ok": (V, [], dict(zip(PARAMS["verify_ed25519_sha256_hex"], v))),
        "too many positional": (V, v + [v[0]], {}),
        "unexpected keyword": (V, v, {"bogus": big}),
        "multiple values": (V, v, {"digest_hex": v[0]}),
        "missing": (C, c[:5], {}),
        "text int": (V, [big, v[1], v[2]], {}),
        "text None": (C, c[:-1] + [None], {}),
        "text surrogate": (V, [surrogate, v[1], v[2]], {}),
        "seed str": (S, s[:-1] + ["x" * 32], {}),
        "seed dict": (S, s[:-1] + [{1: 2}], {}),
        "seed element 256": (S, s[:-1] + [seed_bad], {}),
        "seed element 1.5": (S, s[:-1] + [seed_float], {}),
        "artifacts bytes": (E, e[:4] + [b"ab"] + e[5:], {}),
        "artifacts element None": (E, e[:4] + [["1" * 64, None]] + e[5:], {}),
        "amount overflow": (C, c[:8] + [big] + c[9:], {}),
        "seq overflow": (P, p[:16] + [2**40] + p[17:], {}),
        "verify ValueError": (V, ["0g", v[1], v[2]], {}),
        "verify non-curve key": (V, [v[0], v[1], "02" + "00" * 31], {}),
        "seed length ValueError": (S, s[:-1] + [b"short"], {}),
        "encode RuntimeError": (E, e[:1] + ["abc"] + e[2:], {}),
        "create ValueError late": (C, c[:-1] + ["nope"], {}),
    }
    return [pytest.param(*case, id=label) for label, case in cases.items()]


def _referenced(args, kwargs):
    objs = list(args) + list(kwargs.values()) + list(kwargs)
    for obj in list(objs):
        if isinstance(obj, (list, tuple)):
            objs.extend(obj)
    # Small ints and singletons are shared with everything else; they are
    # checked separately with a tolerance.
    return [
        o for o in objs
        if not (o is None or isinstance(o, bool) or (isinstance(o, int) and -5 <= o <= 256))
    ]


ROUNDS = 2000


class _MallInfo2(ctypes.Structure):
    _fields_ = [
        (field, ctypes.c_size_t)
        for field in "arena ordblks smblks hblks hblkhd usmblks fsmblks uordblks fordblks keepcost".split()
    ]


try:
    _mallinfo2 = ctypes.CDLL(None).mallinfo2
    _mallinfo2.restype = _MallInfo2
except (AttributeError, OSError):  # not glibc
    _mallinfo2 = None


def native_heap_in_use() -> int | None:
    """Bytes the C allocator has handed out, which tracemalloc cannot see."""
    if _mallinfo2 is None:
        return None
    info = _mallinfo2()
    return info.uordblks + info.hblkhd


@pytest.mark.parametrize("func, args, kwargs", _leak_cases())
def test_repeated_calls_leave_nothing_behind(func, args, kwargs):
    def run(n):
        for _ in range(n):
            try:
                func(*args, **kwargs)
            except (TypeError, ValueError, OverflowError, RuntimeError, UnicodeEncodeError):
                pass

    run(200)  # warm up process-wide caches
    watched = _referenced(args, kwargs)
    singletons = [True, False, None, TypeError, ValueError, OverflowError, RuntimeError,
                  UnicodeEncodeError]
    gc.collect()
    before_refs = [sys.getrefcount(o) for o in watched]
    before_singletons = [sys.getrefcount(o) for o in singletons]
    before_objects = len(gc.get_objects())
    tracemalloc.start()
    try:
        run(ROUNDS // 2)
        gc.collect()
        mid, _ = tracemalloc.get_traced_memory()
        run(ROUNDS)
        gc.collect()
        end, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    after_objects = len(gc.get_objects())
    after_refs = [sys.getrefcount(o) for o in watched]
    after_singletons = [sys.getrefcount(o) for o in singletons]

    assert after_refs == before_refs
    # Shared objects see unrelated traffic; a per-call leak would add ROUNDS.
    for obj, b, a in zip(singletons, before_singletons, after_singletons):
        assert abs(a - b) < ROUNDS // 10, obj
    assert after_objects - before_objects < ROUNDS // 10
    # One leaked object per call would be tens of kilobytes over these rounds.
    assert end - mid < 16 * 1024, end - mid

    # Native buffers (strings, vectors, key material) are invisible to
    # tracemalloc; a forgotten free shows up in the C heap instead.
    heap_before = native_heap_in_use()
    if heap_before is not None:
        run(ROUNDS)
        gc.collect()
        growth = native_heap_in_use() - heap_before
        assert growth < 16 * 1024, growth

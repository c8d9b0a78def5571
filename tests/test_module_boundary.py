"""The module as Python sees it: attributes, binding, conversion with its notes
and the order of conversions, in one table per concern across the five
functions. Every expected message is written out."""

import ctypes
import inspect
import types

import pytest

from corvane_kit import _native
from valid_arguments import ART, CREATE, EVIDENCE, POLICY, SEED_A, SIGN, VERIFY

# In the order of __all__; each dict holds the parameters in order.
VALID = {
    "sign_payee_evidence_binding_json": SIGN,
    "encode_evidence_sign_v1_hex": EVIDENCE,
    "build_signed_create_intent_json": CREATE,
    "build_signed_create_intent_with_policy_binding_json": POLICY,
    "verify_ed25519_sha256_hex": VERIFY,
}
SIGN_, ENCODE, CREATE_, POLICY_, VERIFY_ = VALID
DOCS = {
    SIGN_: "Returns a JSON string for `POST /intents/{intent_id}/evidence` (payload + signatures)."
    "\n\n`secret_seed` must be exactly 32 bytes (Ed25519 seed).",
    ENCODE: "Returns hex-encoded EvidenceSignV1 signing bytes (parity helper for wire goldens).",
    CREATE_: "Returns a JSON string for ``POST /intents`` (principal-signed ``CreateIntentRequest``, raw"
    " ``predicate_dsl``).\n\n``principal_seed`` must be exactly 32 bytes (Ed25519 seed). ``allowed_tools_json``"
    " must be a JSON\narray of strings (non-empty per Ostraven).",
    POLICY_: "Returns a JSON string for ``POST /intents`` with signing v5 and a published managed-policy head.",
    VERIFY_: "Verify an Ed25519 signature over a SHA-256 digest (audit export manifest verification).",
}


def call(name, *args, **kwargs):
    return getattr(_native, name)(*args, **kwargs)


def positional(name, count=None):
    """The valid arguments in order; past their number, zeros."""
    values = list(VALID[name].values())
    count = len(values) if count is None else count
    return values[:count] + [0] * (count - len(values))


class _MethodDef(ctypes.Structure):
    _fields_ = [("ml_name", ctypes.c_char_p), ("ml_meth", ctypes.c_void_p), ("ml_flags", ctypes.c_int)]


class _CFunction(ctypes.Structure):  # the leading fields of PyCFunctionObject
    _fields_ = [("refcnt", ctypes.c_ssize_t), ("type", ctypes.c_void_p), ("m_ml", ctypes.POINTER(_MethodDef)),
                ("m_self", ctypes.c_void_p)]


def test_module_attributes():
    assert _native.__doc__ == ""
    assert _native.__all__ == list(VALID)
    assert {n for n in dir(_native) if not n.startswith("_")} == set(VALID)


@pytest.mark.parametrize("name", VALID)
def test_function_attributes(name):
    f = getattr(_native, name)
    assert type(f) is types.BuiltinFunctionType
    assert (f.__name__, f.__qualname__, f.__module__, f.__doc__) == (name, name, "corvane_kit._native", DOCS[name])
    assert str(inspect.signature(f)) == "(" + ", ".join(VALID[name]) + ")"
    raw = _CFunction.from_address(id(f))
    assert (raw.m_ml.contents.ml_flags, raw.m_self) == (0xA2, id(_native))  # METH_STATIC: __self__ reads None


# (function, positional count, keywords, message)
BINDING = [
    (VERIFY_, 4, {"bogus": 1}, "verify_ed25519_sha256_hex() takes 3 positional arguments but 4 were given"),
    (VERIFY_, 2, {}, "verify_ed25519_sha256_hex() missing 1 required positional argument: 'public_key_hex'"),
    (VERIFY_, 1, {"zzz": 1, "digest_hex": ""}, "verify_ed25519_sha256_hex() got an unexpected keyword argument 'zzz'"),
    (VERIFY_, 1, {"digest_hex": "", "zzz": 1},
     "verify_ed25519_sha256_hex() got multiple values for argument 'digest_hex'"),
    (VERIFY_, 2, {"\ud800": 1}, "verify_ed25519_sha256_hex() got an unexpected keyword argument '\ud800'"),
    (ENCODE, 6, {"secret_seed": SEED_A}, "encode_evidence_sign_v1_hex() got an unexpected keyword argument"
     " 'secret_seed'"),
    (CREATE_, 12, {"allowed_tools_json": "[]"}, "build_signed_create_intent_json() missing 2 required positional"
     " arguments: 'predicate_ref' and 'settlement_rail'"),
    (POLICY_, 21, {}, "build_signed_create_intent_with_policy_binding_json() takes 18 positional arguments but 21"
     " were given"),
    (POLICY_, 18, {"policy_content_digest_hex": ""}, "build_signed_create_intent_with_policy_binding_json() got"
     " multiple values for argument 'policy_content_digest_hex'"),
]


@pytest.mark.parametrize("name, count, keywords, message", BINDING)
def test_binding_failures(name, count, keywords, message):
    with pytest.raises(TypeError) as caught:
        call(name, *positional(name, count), **keywords)
    assert caught.value.args == (message,)
    assert not hasattr(caught.value, "__notes__")


@pytest.mark.parametrize("name", VALID)
def test_keywords_in_any_order_and_vectorcall_names(name):
    expected = call(name, *positional(name))
    assert call(name, **dict(reversed(VALID[name].items()))) == expected
    # The call syntax refuses non-str and repeated keyword names; vectorcall hands them over.
    vectorcall = ctypes.pythonapi.PyObject_Vectorcall
    vectorcall.restype = ctypes.py_object
    vectorcall.argtypes = [ctypes.py_object, ctypes.POINTER(ctypes.py_object), ctypes.c_size_t, ctypes.py_object]
    first = next(iter(VALID[name]))
    for kwnames, message in [((7,), "got an unexpected keyword argument '7'"),
                             ((first, first), f"got multiple values for argument '{first}'")]:
        values = (ctypes.py_object * 2)(*[VALID[name][first]] * 2)
        with pytest.raises(TypeError) as caught:
            vectorcall(getattr(_native, name), values, 0, kwnames)
        assert caught.value.args == (f"{name}() {message}",)


class StrSub(str):  # the characters count, not what the object says of itself
    def __str__(self):
        return "not-me"

    def encode(self, *args, **kwargs):
        return b"not-me"


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class LengthFails:
    """A sequence by __getitem__ whose length cannot be asked; fail_at raises."""

    def __init__(self, data, fail_at=None):
        self.data, self.fail_at = data, fail_at

    def __getitem__(self, i):
        if i == self.fail_at:
            raise ZeroDivisionError("element fetch failed")
        return self.data[i]

    def __len__(self):
        raise RuntimeError("no length")


def _with(index, value, seed=SEED_A):
    out = list(seed)
    out[index] = value
    return out


RANGE = "out of range integral type conversion attempted"
NOT_INT = "'{}' object cannot be interpreted as an integer"
TOO_BIG = "Python int too large to convert to C long"

# (function, parameter, value, exception, message); each carries the note.
# The goldens hold more: a non-str text, None, a lone surrogate, a seed element
# of 256, amounts and sequence numbers out of range, artifacts given as a str.
CONVERSION = [
    (SIGN_, "payee_did", b"x", TypeError, "'bytes' object is not an instance of 'str'"),
    (POLICY_, "payee_seed", StrSub("x" * 32), TypeError, "Can't extract `str` to `Vec`"),
    (CREATE_, "payee_seed", iter(SEED_A), TypeError, "'bytes_iterator' object is not an instance of 'Sequence'"),
    (SIGN_, "secret_seed", _with(3, 2**64), OverflowError, TOO_BIG),
    (POLICY_, "principal_seed", _with(2, 1.5, _with(3, 256)), TypeError, NOT_INT.format("float")),
    (POLICY_, "principal_seed", _with(2, 256, _with(3, 1.5)), OverflowError, RANGE),
    (SIGN_, "secret_seed", list(SEED_A) + [999], OverflowError, RANGE),  # the length rule comes later
    (SIGN_, "secret_seed", LengthFails(SEED_A, fail_at=3), ZeroDivisionError, "element fetch failed"),
    (ENCODE, "artifacts_hex", [ART, "1\ud800"], UnicodeEncodeError,
     "'utf-8' codec can't encode character '\\ud800' in position 1: surrogates not allowed"),
    (POLICY_, "policy_version_seq", Index(2**32 + 5), OverflowError, RANGE),
]


@pytest.mark.parametrize("name, parameter, value, exception, message", CONVERSION)
def test_conversion_failures(name, parameter, value, exception, message):
    with pytest.raises(exception) as caught:
        call(name, **{**VALID[name], parameter: value})
    assert type(caught.value) is exception
    assert str(caught.value) == message
    assert caught.value.__notes__ == [f"while processing '{parameter}'"]


def _strs(args):
    return {k: StrSub(v) if isinstance(v, str) else [StrSub(x) for x in v] if k == "artifacts_hex" else v
            for k, v in args.items()}


# (function, arguments changed, the same call in plain form). Seed forms: the frame probe's conversions.
SAME_AS = [
    (SIGN_, {"secret_seed": type("BytesSub", (bytes,), {"__iter__": lambda s: iter([0] * 32)})(SEED_A)}, {}),
    (SIGN_, {"secret_seed": LengthFails(SEED_A)}, {}),
    *[(name, _strs(VALID[name]), {}) for name in VALID],
    (SIGN_, {"artifacts_hex": LengthFails(EVIDENCE["artifacts_hex"])}, {}),
    (ENCODE, {"artifacts_hex": b""}, {"artifacts_hex": []}),
    (CREATE_, {"amount_cents": Index(-42)}, {"amount_cents": -42}),
    (POLICY_, {"policy_version_seq": True}, {"policy_version_seq": 1}),
]


@pytest.mark.parametrize("name, changed, plain", SAME_AS)
def test_accepted_forms_give_the_plain_result(name, changed, plain):
    assert call(name, **{**VALID[name], **changed}) == call(name, **{**VALID[name], **plain})


SEEDS = {"secret_seed", "principal_seed", "payee_seed"}
BAD = {"artifacts_hex": 5, "amount_cents": "5", "policy_version_seq": -1}


@pytest.mark.parametrize("name", VALID)
def test_conversions_run_in_parameter_order_before_any_check(name):
    # Every parameter from k on is unconvertible; k is the one named. The
    # valid values before it would not matter either: "{" fails only later.
    parameters = list(VALID[name])
    for k, parameter in enumerate(parameters):
        bad = {p: "seed" if p in SEEDS else BAD.get(p, 12345) for p in parameters[k:]}
        with pytest.raises((TypeError, OverflowError)) as caught:
            early = {p: "{" for p in parameters[:k] if p not in SEEDS and p not in BAD}
            call(name, **{**VALID[name], **early, **bad})
        assert caught.value.__notes__ == [f"while processing '{parameter}'"]

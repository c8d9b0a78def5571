// The extension module corvane_kit._native: multi-phase initialisation with a
// single execution step that adds the five functions and __all__.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <sodium.h>

#include "exceptions.hpp"
#include "handlers.hpp"

namespace corvane::python {
namespace {

constexpr int kFlags = METH_FASTCALL | METH_KEYWORDS | METH_STATIC;

template <class Handler>
PyCFunction as_method(Handler handler) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(handler));
}

// Added in this order; __all__ lists them in the same order.
PyMethodDef kFunctions[] = {
    {"sign_payee_evidence_binding_json", as_method(handle_sign_payee_evidence_binding_json), kFlags,
     "sign_payee_evidence_binding_json(tenant_id, intent_id, payee_did, payload_json, artifacts_hex, "
     "submitted_at_rfc3339, secret_seed)\n--\n\n"
     "Returns a JSON string for `POST /intents/{intent_id}/evidence` (payload + signatures).\n\n"
     "`secret_seed` must be exactly 32 bytes (Ed25519 seed)."},
    {"encode_evidence_sign_v1_hex", as_method(handle_encode_evidence_sign_v1_hex), kFlags,
     "encode_evidence_sign_v1_hex(tenant_id, intent_id, payee_did, payload_json, artifacts_hex, "
     "submitted_at_rfc3339)\n--\n\n"
     "Returns hex-encoded EvidenceSignV1 signing bytes (parity helper for wire goldens)."},
    {"build_signed_create_intent_json", as_method(handle_build_signed_create_intent_json), kFlags,
     "build_signed_create_intent_json(tenant_id, principal_seed, payee_seed, intent_id, principal_did, "
     "payee_did, budget_json, currency, amount_cents, evidence_schema_json, deadline_rfc3339, predicate_json, "
     "predicate_ref, allowed_tools_json, settlement_rail)\n--\n\n"
     "Returns a JSON string for ``POST /intents`` (principal-signed ``CreateIntentRequest``, raw "
     "``predicate_dsl``).\n\n"
     "``principal_seed`` must be exactly 32 bytes (Ed25519 seed). ``allowed_tools_json`` must be a JSON\n"
     "array of strings (non-empty per Ostraven)."},
    {"build_signed_create_intent_with_policy_binding_json",
     as_method(handle_build_signed_create_intent_with_policy_binding_json), kFlags,
     "build_signed_create_intent_with_policy_binding_json(tenant_id, principal_seed, payee_seed, intent_id, "
     "principal_did, payee_did, budget_json, currency, amount_cents, evidence_schema_json, deadline_rfc3339, "
     "materialized_predicate_json, predicate_ref, allowed_tools_json, settlement_rail, policy_template_id, "
     "policy_version_seq, policy_content_digest_hex)\n--\n\n"
     "Returns a JSON string for ``POST /intents`` with signing v5 and a published managed-policy head."},
    {"verify_ed25519_sha256_hex", as_method(handle_verify_ed25519_sha256_hex), kFlags,
     "verify_ed25519_sha256_hex(digest_hex, signature_hex, public_key_hex)\n--\n\n"
     "Verify an Ed25519 signature over a SHA-256 digest (audit export manifest verification)."},
};

// __all__, created as an empty list when the module has none yet.
PyObject* all_list(PyObject* module) {
  PyObject* all = PyObject_GetAttrString(module, "__all__");
  if (all == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return nullptr;
    PyErr_Clear();
    all = PyList_New(0);
    if (all == nullptr || PyObject_SetAttrString(module, "__all__", all) < 0) {
      Py_XDECREF(all);
      return nullptr;
    }
    return all;
  }
  if (!PyList_Check(all)) {
    raise_type_mismatch(all, "list");
    Py_DECREF(all);
    return nullptr;
  }
  return all;
}

int add_function(PyObject* module, PyObject* module_name, PyMethodDef* definition) {
  PyObject* function = PyCMethod_New(definition, module, module_name, nullptr);
  if (function == nullptr) return -1;
  PyObject* name = PyObject_GetAttrString(function, "__name__");
  int status = -1;
  if (name != nullptr && !PyUnicode_Check(name)) {
    raise_type_mismatch(name, "str");
  } else if (name != nullptr) {
    if (PyObject* all = all_list(module)) {
      if (PyList_Append(all, name) < 0) {
        PyErr_Clear();
        raise_panic("could not append __name__ to __all__");
      } else {
        status = PyObject_SetAttr(module, name, function);
      }
      Py_DECREF(all);
    }
  }
  Py_XDECREF(name);
  Py_DECREF(function);
  return status;
}

int exec_module(PyObject* module) {
  if (!PyModule_Check(module)) {
    raise_type_mismatch(module, "module");
    return -1;
  }
  // Picks libsodium's fastest implementations; safe to repeat.
  if (sodium_init() < 0) {
    raise_panic("libsodium could not be initialised");
    return -1;
  }
  PyObject* module_name = PyModule_GetNameObject(module);
  if (module_name == nullptr) return -1;
  int status = 0;
  for (PyMethodDef& definition : kFunctions) {
    status = add_function(module, module_name, &definition);
    if (status < 0) break;
  }
  Py_DECREF(module_name);
  return status;
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "_native",
    "",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace corvane::python

PyMODINIT_FUNC PyInit__native() { return PyModuleDef_Init(&corvane::python::kModule); }

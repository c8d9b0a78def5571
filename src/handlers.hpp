// The five fast-call handlers that the module publishes.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace corvane::python {

PyObject* handle_sign_payee_evidence_binding_json(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);
PyObject* handle_encode_evidence_sign_v1_hex(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);
PyObject* handle_build_signed_create_intent_json(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);
PyObject* handle_build_signed_create_intent_with_policy_binding_json(PyObject*, PyObject* const*, Py_ssize_t,
                                                                     PyObject*);
PyObject* handle_verify_ed25519_sha256_hex(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

}  // namespace corvane::python

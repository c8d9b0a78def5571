#include "boundary/function_table.hpp"

#include "boundary/exceptions.hpp"
#include "crypto/initialise.hpp"

namespace corvane::boundary {
namespace {

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

}  // namespace

int add_functions(PyObject* module, std::span<PyMethodDef> methods) {
  if (!PyModule_Check(module)) {
    raise_type_mismatch(module, "module");
    return -1;
  }
  if (!crypto::initialise()) {
    raise_panic("libsodium could not be initialised");
    return -1;
  }
  PyObject* module_name = PyModule_GetNameObject(module);
  if (module_name == nullptr) return -1;
  int status = 0;
  for (PyMethodDef& definition : methods) {
    status = add_function(module, module_name, &definition);
    if (status < 0) break;
  }
  Py_DECREF(module_name);
  return status;
}

}  // namespace corvane::boundary

// The extension module corvane_kit._native: multi-phase initialisation with a
// single execution step that adds the five functions and __all__.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "boundary/exceptions.hpp"
#include "boundary/function_table.hpp"
#include "boundary/native_functions.hpp"
#include "crypto/initialise.hpp"

namespace corvane::boundary {
namespace {

int exec_module(PyObject* module) {
  if (!is_module(module)) return -1;
  if (!crypto::initialise()) {
    raise_panic("libsodium could not be initialised");
    return -1;
  }
  return add_functions(module, NativeFunctions::methods);
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
}  // namespace corvane::boundary

PyMODINIT_FUNC PyInit__native() { return PyModuleDef_Init(&corvane::boundary::kModule); }

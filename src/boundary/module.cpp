// The extension module corvane_kit._native: the five functions and __all__.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "boundary/function_table.hpp"
#include "boundary/native_functions.hpp"

namespace corvane::boundary {
namespace {

constexpr char kName[] = "_native";
constexpr char kDoc[] = "";

}  // namespace
}  // namespace corvane::boundary

PyMODINIT_FUNC PyInit__native() {
  using namespace corvane::boundary;
  return PyModuleDef_Init(&ModuleDefinition<NativeFunctions, kName, kDoc>::definition);
}

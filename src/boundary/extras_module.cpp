// The extension module corvane_kit._extras: what the kit offers beyond
// _native's five functions (key tools, batches, body checks), bound the same
// way.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "boundary/extras_functions.hpp"
#include "boundary/function_table.hpp"

namespace corvane::boundary {
namespace {

constexpr char kName[] = "_extras";
constexpr char kDoc[] = "Native functions of the kit beyond the five of _native.";

}  // namespace
}  // namespace corvane::boundary

PyMODINIT_FUNC PyInit__extras() {
  using namespace corvane::boundary;
  return PyModuleDef_Init(&ModuleDefinition<ExtrasFunctions, kName, kDoc>::definition);
}

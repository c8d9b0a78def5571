// The extension module corvane_kit._native: the five functions and __all__.
#include "boundary/function_table.hpp"
#include "boundary/native_functions.hpp"

PyMODINIT_FUNC PyInit__native() {
  return corvane::boundary::initialise_module<corvane::boundary::NativeFunctions, "_native", "">();
}

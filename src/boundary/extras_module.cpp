// The extension module corvane_kit._extras: what the kit offers beyond
// _native's five functions (key tools, batches, body checks), bound the same
// way.
#include "boundary/extras_functions.hpp"
#include "boundary/function_table.hpp"

PyMODINIT_FUNC PyInit__extras() {
  return corvane::boundary::initialise_module<corvane::boundary::ExtrasFunctions, "_extras",
                                              "Native functions of the kit beyond the five of _native.">();
}

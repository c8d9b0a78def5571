// _frame_probe: a test-only module whose functions run through the same call
// frame as corvane_kit._native, so that the frame's failure paths (a broken
// invariant, an unknown C++ exception, running out of memory) can be driven
// from Python. It is built with the C++ tests and never installed.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "call_frame.hpp"
#include "encoding/hex.hpp"
#include "internal_failure.hpp"

namespace {

using namespace corvane;
using namespace corvane::python;

constexpr const char* kMessage[] = {"message"};
constexpr const char* kSeed[] = {"seed"};
constexpr const char* kItems[] = {"items"};
constexpr const char* kAmount[] = {"amount"};
constexpr const char* kSeq[] = {"seq"};

PyObject* panic(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return run<std::string_view>(
      {"panic", kMessage},
      [](std::string_view message) -> Outcome<std::string> { throw InternalFailure(std::string(message)); },
      args, nargs, kwnames);
}

PyObject* panic_unknown(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return run<>({"panic_unknown", {}}, []() -> Outcome<std::string> { throw 42; }, args, nargs, kwnames);
}

PyObject* exhaust_memory(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return run<>({"exhaust_memory", {}}, []() -> Outcome<std::string> { throw std::bad_alloc(); }, args, nargs,
               kwnames);
}

PyObject* echo_seed(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return run<SecretBytes>(
      {"echo_seed", kSeed},
      [](const SecretBytes& seed) -> Outcome<std::string> { return encoding::encode_hex(seed.view()); }, args,
      nargs, kwnames);
}

PyObject* echo_items(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return run<std::vector<std::string>>(
      {"echo_items", kItems},
      [](const std::vector<std::string>& items) -> Outcome<std::string> {
        std::string joined;
        for (const auto& item : items) joined += item + "|";
        return joined;
      },
      args, nargs, kwnames);
}

PyObject* echo_amount(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return run<std::int64_t>(
      {"echo_amount", kAmount},
      [](std::int64_t amount) -> Outcome<std::string> { return std::to_string(amount); }, args, nargs, kwnames);
}

PyObject* echo_seq(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return run<std::uint32_t>(
      {"echo_seq", kSeq}, [](std::uint32_t seq) -> Outcome<std::string> { return std::to_string(seq); }, args,
      nargs, kwnames);
}

PyObject* fail_value(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return run<std::string_view>(
      {"fail_value", kMessage},
      [](std::string_view message) -> Outcome<std::string> { return value_error(std::string(message)); }, args,
      nargs, kwnames);
}

template <class Handler>
PyCFunction as_method(Handler handler) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(handler));
}

constexpr int kFlags = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef kMethods[] = {
    {"panic", as_method(panic), kFlags, nullptr},
    {"panic_unknown", as_method(panic_unknown), kFlags, nullptr},
    {"exhaust_memory", as_method(exhaust_memory), kFlags, nullptr},
    {"echo_seed", as_method(echo_seed), kFlags, nullptr},
    {"echo_items", as_method(echo_items), kFlags, nullptr},
    {"echo_amount", as_method(echo_amount), kFlags, nullptr},
    {"echo_seq", as_method(echo_seq), kFlags, nullptr},
    {"fail_value", as_method(fail_value), kFlags, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef kModule = {PyModuleDef_HEAD_INIT, "_frame_probe", "", 0, kMethods, nullptr, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit__frame_probe() { return PyModuleDef_Init(&kModule); }

// _frame_probe: a test-only module whose functions are declared and run
// through the same call frame as corvane_kit._native, so that the frame's
// failure paths (a broken invariant, an unknown C++ exception, running out of
// memory) can be driven from Python, in single calls and in batches. It is
// built with the C++ tests and never installed.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "base/internal_failure.hpp"
#include "boundary/batch_frame.hpp"
#include "boundary/declaration.hpp"
#include "boundary/function_table.hpp"
#include "boundary/parameter_kinds.hpp"
#include "encoding/hex.hpp"

namespace {

using namespace corvane;
using namespace corvane::boundary;

struct NoArguments {};
struct Message {
  std::string_view message;
};
struct Seed {
  std::span<const std::uint8_t> seed;
};
struct Items {
  std::span<const std::string> items;
};
struct Amount {
  std::int64_t amount;
};
struct Seq {
  std::uint32_t seq;
};

Expected<std::string> panic(const Message& r) { throw InternalFailure(std::string(r.message)); }
Expected<std::string> panic_unknown(const NoArguments&) { throw 42; }
Expected<std::string> exhaust_memory(const NoArguments&) { throw std::bad_alloc(); }
Expected<std::string> echo_seed(const Seed& r) { return encoding::encode_hex(r.seed); }
Expected<std::string> echo_items(const Items& r) {
  std::string joined;
  for (const auto& item : r.items) joined += item + "|";
  return joined;
}
Expected<std::string> echo_amount(const Amount& r) { return std::to_string(r.amount); }
Expected<std::string> echo_seq(const Seq& r) { return std::to_string(r.seq); }
Expected<std::string> fail_value(const Message& r) { return value_error(std::string(r.message)); }

using Panic = Declare<"panic", "", panic, Param<"message", Text>>;
using PanicUnknown = Declare<"panic_unknown", "", panic_unknown>;
using ExhaustMemory = Declare<"exhaust_memory", "", exhaust_memory>;

using ProbeFunctions = FunctionTable<Panic, PanicUnknown, ExhaustMemory, Batch<Panic>, Batch<PanicUnknown>,
                                     Batch<ExhaustMemory>,
                                     Declare<"echo_seed", "", echo_seed, Param<"seed", SeedBytes>>,
                                     Declare<"echo_items", "", echo_items, Param<"items", TextList>>,
                                     Declare<"echo_amount", "", echo_amount, Param<"amount", SignedAmount>>,
                                     Declare<"echo_seq", "", echo_seq, Param<"seq", SequenceNumber>>,
                                     Declare<"fail_value", "", fail_value, Param<"message", Text>>>;

int exec_probe(PyObject* module) { return add_functions(module, ProbeFunctions::methods); }

PyModuleDef_Slot kSlots[] = {{Py_mod_exec, reinterpret_cast<void*>(exec_probe)}, {0, nullptr}};

PyModuleDef kModule = {PyModuleDef_HEAD_INIT, "_frame_probe", "", 0, nullptr, kSlots, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit__frame_probe() { return PyModuleDef_Init(&kModule); }

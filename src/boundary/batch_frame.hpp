// A batch of calls to one declared function, made from its declaration:
//
//   using BatchVerify = Batch<Verify>;   // batch_verify(items)
//
// `items` is a sequence of argument tuples in the function's positional
// order. The result is a list, in order, of each item's result or of the
// exception instance that the single call would raise (same type, message
// and notes); a bad item costs no other. The items go in blocks: a block's
// items go through the function's own binder and converters with the
// interpreter lock held, their implementations run with the lock released,
// and the lock is taken back to build their results. Blocks keep each one's
// values and results in the processor's caches, and let other threads have
// the lock between blocks.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <exception>
#include <optional>
#include <string_view>
#include <vector>

#include "boundary/batch_call.hpp"
#include "boundary/call_frame.hpp"

namespace corvane::boundary {

// The concatenation of constant texts, NUL-terminated.
template <const std::string_view&... Parts>
struct JoinedText {
  static constexpr std::size_t size = (std::size_t{0} + ... + Parts.size());
  static constexpr std::array<char, size + 1> text = [] {
    std::array<char, size + 1> out = {};
    std::size_t at = 0;
    ((at = std::copy(Parts.begin(), Parts.end(), out.begin() + at) - out.begin()), ...);
    return out;
  }();
  static constexpr std::string_view view = {text.data(), size};
};

inline constexpr std::string_view kBatchPrefix = "batch_";
inline constexpr std::string_view kBatchParameter = "items";
inline constexpr std::string_view kBatchSignatureTail = "(items)\n--\n\n";
inline constexpr std::string_view kBatchDocOpening = "Calls ";
inline constexpr std::string_view kBatchDocBody =
    " once per tuple of positional arguments in items, with the interpreter lock released for the work "
    "itself.\n\nReturns a list, in the order of items, of each call's result or of the exception instance "
    "that the call would raise; a bad item costs no other.";

template <class Declaration>
PyObject* handle_batch(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept;

template <class Declaration>
struct Batch {
  static constexpr std::string_view name = JoinedText<kBatchPrefix, Declaration::name>::view;
  static constexpr std::array<std::string_view, 1> parameters = {kBatchParameter};
  static constexpr auto docstring = JoinedText<kBatchPrefix, Declaration::name, kBatchSignatureTail,
                                               kBatchDocOpening, Declaration::name, kBatchDocBody>::text;
  static constexpr auto handler = &handle_batch<Declaration>;
};

// One item between the steps: its values until its call is done (seeds are
// wiped when they are released), then the call's outcome or the C++
// exception it threw.
template <class Declaration>
struct BatchItem {
  std::optional<typename Declaration::Values> values;
  std::optional<Expected<typename Declaration::Result>> outcome;
  std::exception_ptr thrown;
};

// Step one for one item, with the lock: binds and converts its arguments.
// False only when the whole call must end, with the exception set.
template <class Declaration>
bool convert_item(BatchCall& call, Py_ssize_t index, BatchItem<Declaration>& item) noexcept {
  try {
    PyObject* arguments = call.arguments(index);
    if (arguments != nullptr &&
        bind_and_convert<Declaration>(&PyTuple_GET_ITEM(arguments, 0), PyTuple_GET_SIZE(arguments), nullptr,
                                      item.values.emplace())) {
      return true;
    }
  } catch (...) {
    raise_current_exception();
  }
  item.values.reset();
  return call.fail(index);
}

// Step two for one item, without the lock: touches no Python object.
template <class Declaration>
void run_item(BatchItem<Declaration>& item) noexcept {
  try {
    item.outcome.emplace(Declaration::call(*item.values));
  } catch (...) {
    item.thrown = std::current_exception();
  }
  item.values.reset();
}

// Step three for one item, with the lock: its result or exception.
template <class Declaration>
PyObject* item_result(BatchItem<Declaration>& item) noexcept {
  if (item.outcome) return to_python(std::move(*item.outcome));
  try {
    std::rethrow_exception(item.thrown);
  } catch (...) {
    raise_current_exception();
  }
  return nullptr;
}

inline constexpr Py_ssize_t kBatchBlock = 64;

template <class Declaration>
PyObject* handle_batch(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
  try {
    PyObject* items = nullptr;
    if (!bind(call_signature<Batch<Declaration>>(), &items, args, nargs, kwnames)) return nullptr;
    BatchCall call;
    if (!call.open(items, kBatchParameter.data())) return nullptr;
    for (Py_ssize_t start = 0; start < call.size(); start += kBatchBlock) {
      const Py_ssize_t count = std::min(kBatchBlock, call.size() - start);
      std::vector<BatchItem<Declaration>> block(static_cast<std::size_t>(count));
      for (Py_ssize_t i = 0; i < count; ++i) {
        if (!convert_item(call, start + i, block[static_cast<std::size_t>(i)])) return nullptr;
      }
      Py_BEGIN_ALLOW_THREADS
      for (BatchItem<Declaration>& item : block) {
        if (item.values) run_item(item);
      }
      Py_END_ALLOW_THREADS
      for (Py_ssize_t i = 0; i < count; ++i) {
        if (!call.settled(start + i)) call.settle(start + i, item_result(block[static_cast<std::size_t>(i)]));
      }
    }
    return call.results();
  } catch (...) {
    raise_current_exception();
    return nullptr;
  }
}

}  // namespace corvane::boundary

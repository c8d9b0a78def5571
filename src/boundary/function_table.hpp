// A module's functions, made from a list of declarations: the method table in
// list order, and the execution step that adds them and __all__.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <span>

#include "boundary/call_frame.hpp"
#include "boundary/declaration.hpp"

namespace corvane::boundary {

template <class Handler>
PyCFunction as_method(Handler handler) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(handler));
}

// An entry's fast-call handler: its own when it brings one (a batch), else
// the call frame made from its declaration.
template <class Entry>
constexpr auto handler_of() {
  if constexpr (requires { Entry::handler; }) {
    return Entry::handler;
  } else {
    return &handle<Entry>;
  }
}

template <class... Declarations>
struct FunctionTable {
  static inline PyMethodDef methods[] = {
      {Declarations::name.data(), as_method(handler_of<Declarations>()),
       METH_FASTCALL | METH_KEYWORDS | METH_STATIC, Declarations::docstring.data()}...,
  };
};

// A module's execution step: confirms that `module` is a module (else the
// type-mismatch TypeError), readies the crypto library, and adds a function
// object for each method, in order, with the module as __self__ and its
// __name__ as __module__, appending each name to __all__. 0, or -1 with the
// exception set; functions added before a failure stay.
int add_functions(PyObject* module, std::span<PyMethodDef> methods);

// A module definition for multi-phase initialisation: no state, one
// execution step that adds the table's functions.
template <class Table, Literal Name, Literal Doc>
struct ModuleDefinition {
  static int exec(PyObject* module) { return add_functions(module, Table::methods); }
  static inline PyModuleDef_Slot slots[] = {
      {Py_mod_exec, reinterpret_cast<void*>(&exec)},
      {0, nullptr},
  };
  static inline PyModuleDef definition = {PyModuleDef_HEAD_INIT, Name.text, Doc.text, 0, nullptr, slots, nullptr,
                                          nullptr, nullptr};
};

// What a module's PyInit_ function returns.
template <class Table, Literal Name, Literal Doc>
PyObject* initialise_module() {
  return PyModuleDef_Init(&ModuleDefinition<Table, Name, Doc>::definition);
}

}  // namespace corvane::boundary

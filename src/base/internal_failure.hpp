// A broken invariant. Thrown only where no input is meant to reach; the call
// frame is the one place that catches it and raises it in Python as
// pyo3_runtime.PanicException.
#pragma once

#include <stdexcept>

namespace corvane {

class InternalFailure : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

}  // namespace corvane

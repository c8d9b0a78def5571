// A minimal test harness: failures are printed and counted, main() reports them.
#pragma once

#include <iostream>

namespace check {

inline int failure_count = 0;

inline int failures() {
  if (failure_count == 0) std::cout << "all checks passed\n";
  return failure_count;
}

template <class A, class B>
void equal(const A& actual, const B& expected, const char* text, const char* file, int line) {
  if (actual == expected) return;
  ++failure_count;
  std::cerr << file << ":" << line << ": CHECK_EQ(" << text << ")\n";
  if constexpr (requires(std::ostream& o) { o << actual << expected; }) {
    std::cerr << "  actual:   " << actual << "\n  expected: " << expected << "\n";
  }
}

}  // namespace check

#define CHECK(cond) ::check::equal(static_cast<bool>(cond), true, #cond, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected) ::check::equal((actual), (expected), #actual ", " #expected, __FILE__, __LINE__)

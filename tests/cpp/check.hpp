// A minimal test harness: failures are printed and counted, main() reports them.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

namespace check {

inline int& failure_count() {
  static int count = 0;
  return count;
}

inline int failures() {
  if (failure_count() == 0) std::cout << "all checks passed\n";
  return failure_count();
}

template <class A, class B>
void equal(const A& actual, const B& expected, const char* actual_text, const char* expected_text,
           const char* file, int line) {
  if (actual == expected) return;
  ++failure_count();
  std::ostringstream out;
  out << file << ":" << line << ": CHECK_EQ(" << actual_text << ", " << expected_text << ")\n";
  if constexpr (requires(std::ostream& o) { o << actual << expected; }) {
    out << "  actual:   " << actual << "\n  expected: " << expected << "\n";
  }
  std::cerr << out.str();
}

inline void truth(bool ok, const char* text, const char* file, int line) {
  if (ok) return;
  ++failure_count();
  std::cerr << file << ":" << line << ": CHECK(" << text << ") failed\n";
}

}  // namespace check

#define CHECK(cond) ::check::truth(static_cast<bool>(cond), #cond, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected) ::check::equal((actual), (expected), #actual, #expected, __FILE__, __LINE__)

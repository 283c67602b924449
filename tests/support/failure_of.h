// What a call that should fail says when it does.
#pragma once

#include <string>

namespace zanto::test {

// The message a failure of type E carries, or "" when the call did not fail that way.
template <class E, class F>
std::string FailureOf(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  return {};
}

}  // namespace zanto::test

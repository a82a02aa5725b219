// The message of the installer error a step raises, for the tests that check it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/Errors.h"

namespace installer::testing {

/// What `step` raised as an InstallError; a test failure, and "<no error>", when it raised
/// none.
template <typename Step>
std::string InstallErrorText(Step&& step) {
  try {
    step();
  } catch (const InstallError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no error raised";
  return "<no error>";
}

}  // namespace installer::testing

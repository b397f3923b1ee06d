// A test fixture that stands up what the entry point makes before anything else runs: the
// program heap and the temporary string area. Tests of the runtime core derive from it.
#pragma once

#include <gtest/gtest.h>

#include "runtime/memory.h"
#include "runtime/tempstring.h"

class RuntimeCoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

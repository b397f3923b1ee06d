// A fixture for tests of windows, the event queue and keyboard navigation: it starts the
// runtime pieces they stand on (program heap, temporary strings, the event library, scaling,
// the window library) and ends them again, checking that no window outlives the test.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "gui/events.h"
#include "gui/window.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"
#include "runtime/tempstring.h"

class WindowLibTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Maximum size of the program heap; 0 lets it grow.
  virtual size_t heapMaximum() const { return 0; }

  int64_t windowsAtStart = 0;
};

namespace test_support {
// Dispatches every message waiting for this thread without taking any event, so that what the
// procedures posted stays queued.
void pumpMessages();
// Takes every queued event and returns their codes in order.
std::vector<int32_t> takeEvents();
// Runs the runtime's own pump (Event_WaitTimeout) for about `milliseconds`, collecting the
// event codes it hands out (message numbers are left out).
std::vector<int32_t> waitEvents(int32_t milliseconds);
// Counts the occurrences of a code.
int countOf(const std::vector<int32_t>& codes, int32_t code);
// Position of the first occurrence of a code, or -1.
int indexOf(const std::vector<int32_t>& codes, int32_t code, int from = 0);
// Text of a code list for failure messages.
std::string describe(const std::vector<int32_t>& codes);
}  // namespace test_support

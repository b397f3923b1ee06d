#include "tests/support/window_fixture_win.h"

#include <string>

void WindowLibTest::SetUp() {
  windowsAtStart = Account_Live(ACCOUNT_WINDOW);
  g_instance = GetModuleHandleW(nullptr);
  g_programHeap = HeapCreate(0, 4096, heapMaximum());
  ASSERT_NE(g_programHeap, nullptr);
  TempString_Start();
  EventLib_Start();
  Scaling_Start();
  WindowLib_Start();
  test_support::pumpMessages();
  test_support::takeEvents();
}

void WindowLibTest::TearDown() {
  WindowLib_End();
  EventLib_End();
  test_support::pumpMessages();
  TempString_End();
  HeapDestroy(g_programHeap);
  g_programHeap = nullptr;
  EXPECT_EQ(Account_Live(ACCOUNT_WINDOW), windowsAtStart) << "a window outlived the test";
}

namespace test_support {

void pumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

std::vector<int32_t> takeEvents() {
  std::vector<int32_t> codes;
  while (int32_t code = Event_Take()) codes.push_back(code);
  return codes;
}

std::vector<int32_t> waitEvents(int32_t milliseconds) {
  std::vector<int32_t> codes;
  DWORD end = GetTickCount() + (DWORD)milliseconds;
  while ((int32_t)(end - GetTickCount()) > 0) {
    int32_t code = Event_WaitTimeout(10);
    if (code >= EVENT_GADGET && code <= EVENT_WINDOW_SIZED) codes.push_back(code);
  }
  // Whatever the last pumped message posted.
  while (int32_t code = Event_Take()) codes.push_back(code);
  return codes;
}

int countOf(const std::vector<int32_t>& codes, int32_t code) {
  int n = 0;
  for (int32_t c : codes) n += c == code;
  return n;
}

int indexOf(const std::vector<int32_t>& codes, int32_t code, int from) {
  for (size_t i = (size_t)from; i < codes.size(); i++)
    if (codes[i] == code) return (int)i;
  return -1;
}

std::string describe(const std::vector<int32_t>& codes) {
  std::string text = "[";
  for (size_t i = 0; i < codes.size(); i++) text += (i ? " " : "") + std::to_string(codes[i]);
  return text + "]";
}

}  // namespace test_support

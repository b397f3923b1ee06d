// The event queue and the pump: coalescing, purging, the current event, waiting, bindings and
// posts from another thread through the event window.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "runtime/registry.h"
#include "tests/support/import_patch_win.h"
#include "tests/support/window_fixture_win.h"

using namespace test_support;

namespace {

class EventQueueTest : public WindowLibTest {};

std::vector<intptr_t> freedData;
void recordFree(intptr_t data) { freedData.push_back(data); }

TEST_F(EventQueueTest, IdenticalConsecutivePostsShareOneNode) {
  Event_Post(EVENT_GADGET, 9, 0, 0, 0, nullptr, 0);
  Event_Post(EVENT_GADGET, 9, 0, 0, 0, nullptr, 0);
  EXPECT_EQ(EventQueue_Length(), 1);
  // Any field that differs makes a new node; the same post after a different one is kept too.
  Event_Post(EVENT_GADGET, 9, 0, 1, 0, nullptr, 0);
  Event_Post(EVENT_GADGET, 9, 1, 1, 0, nullptr, 0);
  Event_Post(EVENT_GADGET, 9, 0, 0, 0, nullptr, 0);
  EXPECT_EQ(EventQueue_Length(), 4);
  EXPECT_EQ(takeEvents(),
            (std::vector<int32_t>{EVENT_GADGET, EVENT_GADGET, EVENT_GADGET, EVENT_GADGET}));
}

TEST_F(EventQueueTest, HighCodesAndDeferredPostsAreNeverFolded) {
  Event_Post(65535, 1, 0, 0, 0, nullptr, 0);
  Event_Post(65535, 1, 0, 0, 0, nullptr, 0);
  EXPECT_EQ(EventQueue_Length(), 1);
  Event_Post(65536, 1, 0, 0, 0, nullptr, 0);
  Event_Post(65536, 1, 0, 0, 0, nullptr, 0);
  EXPECT_EQ(EventQueue_Length(), 3);
  Event_Post(EVENT_TIMER, 1, 0, 0, 0, nullptr, EVENT_POST_DEFERRED);
  Event_Post(EVENT_TIMER, 1, 0, 0, 0, nullptr, EVENT_POST_DEFERRED);
  EXPECT_EQ(EventQueue_Length(), 5);
}

TEST_F(EventQueueTest, DataTravelsWithItsNodeAndIsFreedOnceWhenDone) {
  freedData.clear();
  Event_Post(EVENT_GADGET, 4, 0, 0, 100, recordFree, 0);
  // Folded into the tail: its own data has no node to travel with and is released at once.
  Event_Post(EVENT_GADGET, 4, 0, 0, 101, recordFree, 0);
  EXPECT_EQ(freedData, (std::vector<intptr_t>{101}));
  // The same data posted again is the tail's own: it lives on with the node.
  Event_Post(EVENT_GADGET, 4, 0, 0, 100, recordFree, 0);
  EXPECT_EQ(freedData, (std::vector<intptr_t>{101}));
  Event_Post(EVENT_TIMER, 5, 0, 0, 102, recordFree, 0);
  Event_Purge(EVENT_TIMER, -1, -1, -1);
  EXPECT_EQ(freedData, (std::vector<intptr_t>{101, 102}));
  EXPECT_EQ(Event_Take(), EVENT_GADGET);
  EXPECT_EQ(EventQueue_State()->data, 100);
  // The current event's data lives until the next take.
  EXPECT_EQ(Event_Take(), 0);
  EXPECT_EQ(freedData, (std::vector<intptr_t>{101, 102, 100}));
}

TEST_F(EventQueueTest, PurgingTheTailThenPostingAppendsBehindTheLastKeptNode) {
  Event_Post(EVENT_GADGET, 1, 0, 0, 0, nullptr, 0);
  Event_Post(EVENT_GADGET, 2, 0, 0, 0, nullptr, 0);
  Event_Post(EVENT_GADGET, 3, 0, 0, 0, nullptr, 0);
  Event_Purge(EVENT_GADGET, 3, -1, -1);
  Event_Post(EVENT_GADGET, 4, 0, 0, 0, nullptr, 0);
  std::vector<intptr_t> objects;
  while (Event_Take()) objects.push_back(Event_Gadget());
  EXPECT_EQ(objects, (std::vector<intptr_t>{1, 2, 4}));

  // Purging every node leaves an empty queue that takes a new head.
  Event_Post(EVENT_GADGET, 5, 0, 0, 0, nullptr, 0);
  Event_Post(EVENT_GADGET, 6, 0, 0, 0, nullptr, 0);
  Event_Purge(EVENT_GADGET, -1, -1, -1);
  EXPECT_EQ(EventQueue_State()->queueHead, nullptr);
  EXPECT_EQ(EventQueue_State()->queueTail, nullptr);
  Event_Post(EVENT_GADGET, 7, 0, 0, 0, nullptr, 0);
  EXPECT_EQ(Event_Take(), EVENT_GADGET);
  EXPECT_EQ(Event_Gadget(), 7);
}

TEST_F(EventQueueTest, PurgeWindowRemovesOnlyThatWindowsEvents) {
  Event_Post(EVENT_GADGET, 1, 2, 0, 0, nullptr, 0);
  Event_Post(EVENT_REPAINT, 0, 3, 0, 0, nullptr, 0);
  Event_Post(EVENT_WINDOW_SIZED, 0, 2, 0, 0, nullptr, 0);
  Event_Post(EVENT_GADGET, 1, 3, 0, 0, nullptr, 0);
  Event_Post(EVENT_CLOSE_WINDOW, 2, 2, 0, 0, nullptr, 0);
  Event_PurgeWindow(2);
  std::vector<intptr_t> windows;
  while (Event_Take()) windows.push_back(Event_Window());
  EXPECT_EQ(windows, (std::vector<intptr_t>{3, 3}));
}

TEST_F(EventQueueTest, EventGadgetAnswersTheLastEventTakenAcrossRawMessages) {
  Event_Post(EVENT_GADGET, 9, 0, 0, 0, nullptr, 0);
  EXPECT_EQ(Event_Wait(), EVENT_GADGET);
  EXPECT_EQ(Event_Gadget(), 9);
  // A raw message pumped afterwards comes back as its own number and changes nothing.
  ASSERT_TRUE(PostMessageW(Event_PostWindow(), WM_USER + 7, 0, 0));
  EXPECT_EQ(Event_Wait(), WM_USER + 7);
  EXPECT_EQ(Event_Gadget(), 9);
  EXPECT_EQ(Event_Type(), -1);  // the take found nothing
  Event_Post(EVENT_CLOSE_WINDOW, 3, 3, 0, 0, nullptr, 0);
  EXPECT_EQ(Event_Wait(), EVENT_CLOSE_WINDOW);
  EXPECT_EQ(Event_Gadget(), 3);
  EXPECT_EQ(Event_Window(), 3);
}

TEST_F(EventQueueTest, WaitingWithNothingQueuedReturnsTheMessageNumberOrZero) {
  DWORD start = GetTickCount();
  EXPECT_EQ(Event_WaitTimeout(0), 0);
  EXPECT_LT(GetTickCount() - start, 50u);

  start = GetTickCount();
  EXPECT_EQ(Event_WaitTimeout(60), 0);
  EXPECT_GE(GetTickCount() - start, 40u);

  // A message posted while waiting ends a finite wait with its number.
  ASSERT_TRUE(PostMessageW(Event_PostWindow(), WM_USER + 1, 0, 0));
  EXPECT_EQ(Event_WaitTimeout(1000), WM_USER + 1);
  ASSERT_TRUE(PostMessageW(Event_PostWindow(), WM_USER + 2, 0, 0));
  EXPECT_EQ(Event_WaitTimeout(0), WM_USER + 2);
  ASSERT_TRUE(PostMessageW(Event_PostWindow(), WM_USER + 3, 0, 0));
  EXPECT_EQ(Event_Wait(), WM_USER + 3);
}

// A close request sent from another thread or process is handled inside the wait, whose
// platform call returns for posted messages only: the event it queued must end the wait.
TEST_F(EventQueueTest, AnEventQueuedWhileASentMessageIsHandledEndsTheWait) {
  HWND window = (HWND)Window_Open(0, 0, 0, 100, 50, L"sent to", 0xC80000);
  ASSERT_NE(window, nullptr);
  takeEvents();
  HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  for (int32_t milliseconds : {-1, 3000}) {
    SCOPED_TRACE(milliseconds);
    std::thread sender([window, done] {
      Sleep(50);
      SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 2000, nullptr);
      // Should the wait miss the event, this ends it after two seconds.
      if (WaitForSingleObject(done, 2000) == WAIT_TIMEOUT) PostMessageW(window, WM_USER + 9, 0, 0);
    });
    DWORD start = GetTickCount(), took;
    int32_t code;
    do {  // raw messages of the window's own making, or its activation, may come first
      code = Event_WaitTimeout(milliseconds);
      took = GetTickCount() - start;
    } while (code > 0 && code != EVENT_CLOSE_WINDOW && code != WM_USER + 9 && took < 1000);
    SetEvent(done);
    sender.join();
    EXPECT_EQ(code, EVENT_CLOSE_WINDOW);
    EXPECT_LT(took, 1000u);
    waitEvents(10);
  }
  CloseHandle(done);
}

// Event codes lie in the range of window classes' private messages; a raw message with such a
// number goes to its window but never comes back as the event.
TEST_F(EventQueueTest, ARawMessageNumberedLikeAnEventIsNeverTakenForIt) {
  for (UINT message : {EVENT_GADGET - 1, EVENT_GADGET + 0, EVENT_CLOSE_WINDOW + 0,
                       EVENT_WINDOW_SIZED + 0, EVENT_WINDOW_SIZED + 1})
    ASSERT_TRUE(PostMessageW(Event_PostWindow(), message, 0, 0));
  EXPECT_EQ(Event_Wait(), EVENT_GADGET - 1);
  EXPECT_EQ(Event_Wait(), EVENT_WINDOW_SIZED + 1);
  ASSERT_TRUE(PostMessageW(Event_PostWindow(), EVENT_CLOSE_WINDOW, 0, 0));
  EXPECT_EQ(Event_WaitTimeout(0), 0);
  EXPECT_EQ(EventQueue_Length(), 0);
}

TEST_F(EventQueueTest, PostsFromAnotherThreadArriveThroughTheEventWindow) {
  HWND postWindow = Event_PostWindow();
  ASSERT_NE(postWindow, nullptr);
  Char16 className[32] = {};
  GetClassNameW(postWindow, className, 32);
  EXPECT_STREQ(className, L"PostEventClass");
  EXPECT_FALSE(IsWindowVisible(postWindow));
  EXPECT_EQ(Event_PostMessageId(), RegisterWindowMessageW(L"QZ_PostEventMessage"));

  // Forged posts, as any process can make them: a bad address, and a record-shaped block the
  // window never handed out. Neither is taken for an event, and neither block is touched.
  EventNode forged = {nullptr, EVENT_GADGET, 0, 9, 0, 0, 0, nullptr};
  PostMessageW(postWindow, Event_PostMessageId(), 0, (LPARAM)0x10);
  PostMessageW(postWindow, Event_PostMessageId(), 0, (LPARAM)&forged);
  for (int i = 0; i < 4; i++) EXPECT_NE(Event_WaitTimeout(0), EVENT_GADGET);
  EXPECT_EQ(forged.code, EVENT_GADGET);

  // Posted with the force flag: a held queue still takes it.
  Event_Hold(1);
  std::thread sender([] { EXPECT_EQ(Event_PostFromThread(EVENT_MENU_ITEM, 77, 2, 5, 0), 1); });
  sender.join();
  Event_Post(EVENT_GADGET, 1, 0, 0, 0, nullptr, 0);  // dropped while held
  std::vector<int32_t> codes;
  for (int i = 0; i < 20 && codes.empty(); i++) {
    int32_t code = Event_WaitTimeout(50);
    if (code == EVENT_MENU_ITEM) codes.push_back(code);
  }
  Event_Hold(0);
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(Event_Gadget(), 77);
  EXPECT_EQ(Event_Window(), 2);
  EXPECT_EQ(Event_Type(), 5);
  EXPECT_EQ(takeEvents(), std::vector<int32_t>{});
}

// What the event window's poster asks of the platform: the records it posts (refused while
// `refusePosts`) and every block given back to a heap.
std::vector<LPARAM> postedRecords, freedBlocks;
bool refusePosts;
BOOL(WINAPI* realPost)(HWND, UINT, WPARAM, LPARAM);
BOOL(WINAPI* realHeapFree)(HANDLE, DWORD, LPVOID);
BOOL WINAPI observedPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != Event_PostMessageId()) return realPost(window, message, wParam, lParam);
  postedRecords.push_back(lParam);
  return !refusePosts && realPost(window, message, wParam, lParam);
}
BOOL WINAPI observedHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  freedBlocks.push_back((LPARAM)block);
  return realHeapFree(heap, flags, block);
}
int timesFreed(LPARAM block) {
  return (int)std::count(freedBlocks.begin(), freedBlocks.end(), block);
}

TEST_F(EventQueueTest, ARefusedPostAndARecordNeverCollectedAreFreed) {
  postedRecords.clear();
  freedBlocks.clear();
  realPost = (decltype(realPost))patchImport("PostMessageW", (void*)observedPost, "user32.dll");
  realHeapFree = (decltype(realHeapFree))patchImport("HeapFree", (void*)observedHeapFree);
  ASSERT_TRUE(realPost && realHeapFree);
  refusePosts = true;
  EXPECT_EQ(Event_PostFromThread(EVENT_GADGET, 5, 0, 0, 0), 0);
  refusePosts = false;
  ASSERT_EQ(postedRecords.size(), 1u);
  EXPECT_EQ(timesFreed(postedRecords[0]), 1);
  // Nor is it left among the records handed out: the same address posted again is no record.
  realPost(Event_PostWindow(), Event_PostMessageId(), 0, postedRecords[0]);
  EXPECT_EQ(countOf(waitEvents(30), EVENT_GADGET), 0);

  // Posted, and the program ends before the pump collects it.
  EXPECT_EQ(Event_PostFromThread(EVENT_GADGET, 6, 0, 0, 0), 1);
  ASSERT_EQ(postedRecords.size(), 2u);
  freedBlocks.clear();  // the new record may have the refused one's address
  EventLib_End();
  EXPECT_EQ(timesFreed(postedRecords[1]), 1);
  patchImport("PostMessageW", (void*)realPost, "user32.dll");
  patchImport("HeapFree", (void*)realHeapFree);
  EventLib_Start();
}

std::vector<std::string> calls;
intptr_t seenObject;
void bindingA() {
  calls.push_back("A");
  seenObject = Event_Gadget();
}
void bindingB() { calls.push_back("B"); }
void bindingC() { calls.push_back("C"); }
void bindingD() { calls.push_back("D"); }
void bindingE() { calls.push_back("E"); }

TEST_F(EventQueueTest, BindingsRunUnderFiveKeysInOrderAndGoWithTheirWindow) {
  calls.clear();
  ASSERT_TRUE(Event_Bind(EVENT_GADGET, -1, 9, 0, bindingE));
  ASSERT_TRUE(Event_Bind(EVENT_GADGET, -1, -1, -1, bindingD));
  ASSERT_TRUE(Event_Bind(EVENT_GADGET, 1, -1, -1, bindingC));
  ASSERT_TRUE(Event_Bind(EVENT_GADGET, 1, 9, -1, bindingB));
  ASSERT_TRUE(Event_Bind(EVENT_GADGET, 1, 9, 0, bindingA));
  Event_Post(EVENT_REPAINT, 4, 1, 0, 0, nullptr, 0);
  EXPECT_EQ(Event_Take(), EVENT_REPAINT);
  Event_Post(EVENT_GADGET, 9, 1, 0, 0, nullptr, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"A", "B", "C", "D", "E"}));
  // The binding saw the posted event; the current event is the taken one again.
  EXPECT_EQ(seenObject, 9);
  EXPECT_EQ(Event_Gadget(), 4);

  // Deferred posts run them when taken instead.
  calls.clear();
  Event_Post(EVENT_GADGET, 9, 1, 0, 0, nullptr, EVENT_POST_DEFERRED);
  EXPECT_TRUE(calls.empty());
  takeEvents();
  EXPECT_EQ(calls.size(), 5u);  // only the deferred node runs them at its take
  calls.clear();

  Event_UnbindWindow(1);
  Event_Post(EVENT_GADGET, 9, 1, 0, 0, nullptr, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"D", "E"}));

  // Two routines under one key both run, the first bound first.
  calls.clear();
  ASSERT_TRUE(Event_Bind(EVENT_GADGET, 2, 9, 0, bindingC));
  ASSERT_TRUE(Event_Bind(EVENT_GADGET, 2, 9, 0, bindingB));
  Event_Post(EVENT_GADGET, 9, 2, 0, 0, nullptr, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"C", "B", "D", "E"}));
}

// The queue needs no window, and a pool that cannot grow drops events instead of writing
// through a missing node.
TEST(EventQueueAlone, ExhaustedPoolDropsPostsAndKeepsTheQueueSound) {
  g_programHeap = HeapCreate(0, 0, 256 * 1024);  // fixed size
  ASSERT_NE(g_programHeap, nullptr);
  EventQueue_Start();
  ASSERT_NE(EventQueue_State(), nullptr);
  std::vector<void*> filler;
  for (SIZE_T size : {4096, 64, 8})
    while (void* block = HeapAlloc(g_programHeap, 0, size)) filler.push_back(block);
  // Only the first chunk is left: 16 blocks, one of them held by the queue.
  freedData.clear();
  for (int i = 0; i < 40; i++) Event_Post(EVENT_GADGET, i, 0, 0, 1000 + i, recordFree, 0);
  int32_t kept = EventQueue_Length();
  EXPECT_EQ(kept, 15);
  EXPECT_EQ(freedData.size(), 40u - (size_t)kept) << "dropped posts release their data";
  for (int i = 0; i < kept; i++) {
    ASSERT_EQ(Event_Take(), EVENT_GADGET);
    EXPECT_EQ(Event_Gadget(), i);
  }
  EXPECT_EQ(Event_Take(), 0);
  // Freed nodes serve again.
  Event_Post(EVENT_TIMER, 1, 0, 0, 0, nullptr, 0);
  EXPECT_EQ(Event_Take(), EVENT_TIMER);
  for (void* block : filler) HeapFree(g_programHeap, 0, block);
  EventQueue_End();
  HeapDestroy(g_programHeap);
  g_programHeap = nullptr;
}

}  // namespace

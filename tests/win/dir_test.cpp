// Directory examination against the real FindFirstFileW. The search string and every
// FindClose are observed by patching this program's import table, so the tests see exactly
// what the examination asked of the platform, not just what came back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/memory.h"
#include "runtime/registry.h"
#include "sys/dir.h"
#include "tests/support/import_patch_win.h"

namespace {

// ---- import table patching -------------------------------------------------------------

typedef HANDLE(WINAPI* FindFirstFn)(LPCWSTR, LPWIN32_FIND_DATAW);
typedef BOOL(WINAPI* FindCloseFn)(HANDLE);
FindFirstFn realFindFirst;
FindCloseFn realFindClose;

// What the examination asked of the platform, in order: "first:<search string>" and
// "close:<handle>".
std::vector<std::wstring> g_calls;
std::vector<HANDLE> g_closed;

std::wstring handleText(HANDLE h) { return std::to_wstring((uintptr_t)h); }

// The size of the heap block that held the last search string: the Windows build has no
// sanitizer to tell an overrun, so the tests compare sizes themselves.
SIZE_T g_searchBytes;

HANDLE WINAPI observedFindFirst(LPCWSTR search, LPWIN32_FIND_DATAW data) {
  g_calls.push_back(L"first:" + std::wstring(search));
  g_searchBytes = HeapSize(g_programHeap, 0, search);
  return realFindFirst(search, data);
}

BOOL WINAPI observedFindClose(HANDLE h) {
  g_calls.push_back(L"close:" + handleText(h));
  g_closed.push_back(h);
  return realFindClose(h);
}

// The directory kind's registry lives for the whole run, as it does in the program, so the
// program heap it sits on is made once for the whole test program.
class DirEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    g_programHeap = HeapCreate(0, 4096, 0);
    ASSERT_NE(g_programHeap, nullptr);
    realFindFirst = (FindFirstFn)patchImport("FindFirstFileW", (void*)observedFindFirst);
    realFindClose = (FindCloseFn)patchImport("FindClose", (void*)observedFindClose);
    ASSERT_NE(realFindFirst, nullptr);
    ASSERT_NE(realFindClose, nullptr);
  }
};
::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new DirEnvironment);

// ---- folders ---------------------------------------------------------------------------

class DirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    root_ = std::wstring(temp) + L"vorellis_dir_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(counter_++);
    ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
    g_calls.clear();
    g_closed.clear();
  }
  void TearDown() override {
    Dir_End();
    removeTree(root_);
  }

  std::wstring folder(const std::wstring& name) {
    std::wstring path = root_ + L"\\" + name;
    EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    return path;
  }
  void file(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
  }
  static void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE h = realFindFirst((path + L"\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring child = path + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(child);
        else DeleteFileW(child.c_str());
      } while (FindNextFileW(h, &data));
      realFindClose(h);
    }
    RemoveDirectoryW(path.c_str());
  }
  static DirExamination* live(intptr_t number) {
    return (DirExamination*)Registry_Get(Dir_Registry(), number);
  }
  // What the platform itself answers for a search string: does it count as "can be listed"?
  static bool platformLists(const std::wstring& search) {
    WIN32_FIND_DATAW data;
    HANDLE h = realFindFirst(search.c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
      realFindClose(h);
      return true;
    }
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  }

  std::wstring root_;
  static int counter_;
};
int DirTest::counter_;

// Runs first in this file: the kind's registry does not exist before the first examination,
// and finishing before it exists is harmless.
TEST_F(DirTest, RegistryIsMadeByTheFirstExamination) {
  if (Dir_Registry()) GTEST_SKIP() << "an earlier test has examined already";
  Dir_Finish(0);
  Dir_Finish(OBJECT_DYNAMIC);
  Dir_End();
  EXPECT_EQ(Dir_Registry(), nullptr);

  ASSERT_NE(Dir_Examine(0, root_.c_str(), nullptr), nullptr);
  ObjectRegistry* registry = Dir_Registry();
  ASSERT_NE(registry, nullptr);
  EXPECT_EQ(registry->objectSize, (int32_t)sizeof(DirExamination));
  EXPECT_EQ(registry->growBy, 16);
  EXPECT_EQ(registry->capacity, 16);
  EXPECT_EQ(registry->freeObject, &Dir_Finish);
}

TEST_F(DirTest, EmptyFolderIsListedWithNoMatchAndFinishesWithoutFindClose) {
  std::wstring empty = folder(L"empty");
  DirExamination* examination = (DirExamination*)Dir_Examine(0, (empty + L"\\").c_str(), L"*.png*");
  ASSERT_NE(examination, nullptr);
  EXPECT_EQ(examination->noMatch, 1);
  EXPECT_EQ(examination->searchHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(live(0), examination);

  // FindClose(INVALID_HANDLE_VALUE) would fail with ERROR_INVALID_HANDLE: the untouched
  // last error is a second witness that it was not called.
  SetLastError(0xdeadbeef);
  Dir_Finish(0);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_TRUE(g_closed.empty());
  EXPECT_EQ(live(0), nullptr);
  EXPECT_EQ(examination->searchHandle, nullptr) << "a numbered record is zero-filled in place";
  EXPECT_EQ(examination->noMatch, 0);
}

TEST_F(DirTest, MatchingFolderKeepsTheFirstEntryAndFinishClosesItsSearch) {
  std::wstring balls = folder(L"Balls");
  file(balls + L"\\7.png");
  file(balls + L"\\notes.txt");
  DirExamination* examination = (DirExamination*)Dir_Examine(3, balls.c_str(), L"*.PNG*");
  ASSERT_NE(examination, nullptr);
  EXPECT_EQ(examination->noMatch, 0);
  ASSERT_NE(examination->searchHandle, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(examination->findData.cFileName, L"7.png") << "matching ignores letter case";

  HANDLE search = examination->searchHandle;
  Dir_Finish(3);
  ASSERT_EQ(g_closed.size(), 1u);
  EXPECT_EQ(g_closed[0], search);
  EXPECT_EQ(live(3), nullptr);
  Dir_Finish(3);  // a second finish names nothing
  EXPECT_EQ(g_closed.size(), 1u);
}

TEST_F(DirTest, MissingFolderFailsAndLeavesNothingUnderTheNumber) {
  std::wstring present = folder(L"present");
  file(present + L"\\1.png");
  ASSERT_NE(Dir_Examine(0, present.c_str(), L"*.png"), nullptr);
  HANDLE first = live(0)->searchHandle;

  // The open examination is finished before the new search fails, and nothing replaces it.
  EXPECT_EQ(Dir_Examine(0, (root_ + L"\\missing\\").c_str(), L"*.png*"), nullptr);
  EXPECT_EQ(live(0), nullptr);
  ASSERT_EQ(g_closed.size(), 1u);
  EXPECT_EQ(g_closed[0], first);

  SetLastError(0xdeadbeef);
  Dir_Finish(0);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(g_closed.size(), 1u);

  // A failed dynamic examination leaves no record on the chain either.
  void* chainBefore = Dir_Registry()->dynamicChain;
  EXPECT_EQ(Dir_Examine(OBJECT_DYNAMIC, (root_ + L"\\missing").c_str(), nullptr), nullptr);
  EXPECT_EQ(Dir_Registry()->dynamicChain, chainBefore);
}

TEST_F(DirTest, FileGivenAsThePathFollowsThePlatformsAnswer) {
  std::wstring plain = root_ + L"\\plain.txt";
  file(plain);
  bool expected = platformLists(plain + L"\\*.*");
  void* result = Dir_Examine(5, plain.c_str(), nullptr);
  EXPECT_EQ(result != nullptr, expected);
  if (!result) { EXPECT_EQ(live(5), nullptr); }
  // Neither the platform under test nor Windows lists a file as a folder.
  EXPECT_FALSE(expected);
}

// The search string as FindFirstFileW received it, for one examination.
std::wstring searchStringOf(intptr_t number, const wchar_t* path, const wchar_t* pattern) {
  g_calls.clear();
  Dir_Examine(number, path, pattern);
  for (const std::wstring& call : g_calls)
    if (call.compare(0, 6, L"first:") == 0) return call.substr(6);
  return L"<no search>";
}

TEST_F(DirTest, SearchStringGetsExactlyOneBackslashBeforeThePattern) {
  std::wstring balls = folder(L"Balls");
  file(balls + L"\\1.png");
  struct Case {
    std::wstring path;
    const wchar_t* pattern;
    std::wstring search;
  } cases[] = {
      {balls + L"\\", L"*.png*", balls + L"\\*.png*"},  // already ends in a backslash
      {balls, L"*.png*", balls + L"\\*.png*"},          // one is added
      {balls + L"/", L"*.png*", balls + L"/\\*.png*"},  // a forward slash does not count
      {balls, nullptr, balls + L"\\*.*"},               // absent pattern
      {balls, L"", balls + L"\\*.*"},                   // empty pattern
      {L"", L"*.png", L"*.png"},                        // empty path: current directory
  };
  for (const Case& c : cases) {
    EXPECT_EQ(searchStringOf(0, c.path.c_str(), c.pattern), c.search)
        << "path " << std::string(c.path.begin(), c.path.end());
    EXPECT_GE(g_searchBytes, (c.search.size() + 1) * sizeof(wchar_t)) << "room for the terminator";
  }
  EXPECT_EQ(searchStringOf(0, nullptr, nullptr), L"*.*");
  EXPECT_EQ(searchStringOf(0, nullptr, L"*.png"), L"*.png");
}

TEST_F(DirTest, AbsentPathSearchesTheCurrentDirectory) {
  std::wstring here = folder(L"here");
  file(here + L"\\only.png");
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(here.c_str()));
  DirExamination* withMatch = (DirExamination*)Dir_Examine(0, nullptr, L"*.png");
  DirExamination* without = (DirExamination*)Dir_Examine(1, L"", L"*.bmp");
  SetCurrentDirectoryW(saved);
  ASSERT_NE(withMatch, nullptr);
  EXPECT_STREQ(withMatch->findData.cFileName, L"only.png");
  ASSERT_NE(without, nullptr);
  EXPECT_EQ(without->noMatch, 1);
}

TEST_F(DirTest, DefaultPatternMatchesEveryEntry) {
  std::wstring bare = folder(L"bare");
  file(bare + L"\\README");  // no dot in the name; "*.*" matches it all the same
  // "." and ".." match too, so look past them for the file.
  for (const wchar_t* pattern : {(const wchar_t*)nullptr, L""}) {
    DirExamination* examination = (DirExamination*)Dir_Examine(0, bare.c_str(), pattern);
    ASSERT_NE(examination, nullptr);
    EXPECT_EQ(examination->noMatch, 0);
    bool sawReadme = false;
    WIN32_FIND_DATAW data = examination->findData;
    do sawReadme |= std::wstring(data.cFileName) == L"README";
    while (!sawReadme && FindNextFileW(examination->searchHandle, &data));
    EXPECT_TRUE(sawReadme);
  }
}

TEST_F(DirTest, SecondExaminationUnderTheSameNumberClosesTheFirstBeforeSearching) {
  std::wstring a = folder(L"a");
  std::wstring b = folder(L"b");
  file(a + L"\\1.png");
  file(b + L"\\2.png");
  DirExamination* first = (DirExamination*)Dir_Examine(0, a.c_str(), L"*.png");
  ASSERT_NE(first, nullptr);
  HANDLE firstSearch = first->searchHandle;
  g_calls.clear();
  DirExamination* second = (DirExamination*)Dir_Examine(0, b.c_str(), L"*.png");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second, first) << "the numbered record is reused";
  std::vector<std::wstring> expected = {L"close:" + handleText(firstSearch),
                                        L"first:" + b + L"\\*.png"};
  EXPECT_EQ(g_calls, expected);
  EXPECT_STREQ(second->findData.cFileName, L"2.png");
}

TEST_F(DirTest, DynamicNumberIsTheRecordAndFinishesLikeAnyOther) {
  std::wstring balls = folder(L"Balls");
  file(balls + L"\\1.png");
  DirExamination* dynamic = (DirExamination*)Dir_Examine(OBJECT_DYNAMIC, balls.c_str(), nullptr);
  ASSERT_NE(dynamic, nullptr);
  intptr_t number = (intptr_t)dynamic;
  EXPECT_EQ(live(number), dynamic);
  HANDLE search = dynamic->searchHandle;
  Dir_Finish(number);
  ASSERT_EQ(g_closed.size(), 1u);
  EXPECT_EQ(g_closed[0], search);
  EXPECT_EQ(live(number), nullptr);
  EXPECT_EQ(Dir_Registry()->dynamicChain, nullptr);
}

TEST_F(DirTest, FinishMinusOneFreesNothingAndEndFinishesEverything) {
  std::wstring balls = folder(L"Balls");
  std::wstring empty = folder(L"empty");
  file(balls + L"\\1.png");
  DirExamination* numbered = (DirExamination*)Dir_Examine(2, balls.c_str(), L"*.png");
  DirExamination* older = (DirExamination*)Dir_Examine(OBJECT_DYNAMIC, balls.c_str(), nullptr);
  DirExamination* newer = (DirExamination*)Dir_Examine(OBJECT_DYNAMIC, empty.c_str(), L"*.png");
  ASSERT_TRUE(numbered && older && newer);
  HANDLE numberedSearch = numbered->searchHandle;
  HANDLE olderSearch = older->searchHandle;

  Dir_Finish(-1);
  EXPECT_TRUE(g_closed.empty());
  EXPECT_EQ(live(2), numbered);
  EXPECT_EQ(live((intptr_t)older), older);
  EXPECT_EQ(live((intptr_t)newer), newer);

  // Numbers first, then dynamic ones newest first; the newest had no match, so no FindClose.
  ObjectRegistry* registry = Dir_Registry();
  Dir_End();
  std::vector<HANDLE> expected = {numberedSearch, olderSearch};
  EXPECT_EQ(g_closed, expected);
  EXPECT_EQ(Registry_Get(registry, 2), nullptr);
  EXPECT_EQ(registry->dynamicChain, nullptr);
  Dir_End();  // nothing left: no effect
  EXPECT_EQ(g_closed.size(), 2u);
}

TEST_F(DirTest, NonAsciiPathsAndNamesStayUtf16) {
  std::wstring folderName = L"Boules \u00e9t\u00e9 \u03a9 \u6f22\u5b57 \U0001F3B1";
  std::wstring path = folder(folderName);
  file(path + L"\\\u00fcn\u00ef\u00e7\u00f8d\u00e9 \u2605.png");
  DirExamination* examination =
      (DirExamination*)Dir_Examine(0, (path + L"\\").c_str(), L"*\u2605.PNG");
  ASSERT_NE(examination, nullptr);
  EXPECT_EQ(examination->noMatch, 0);
  EXPECT_STREQ(examination->findData.cFileName, L"\u00fcn\u00ef\u00e7\u00f8d\u00e9 \u2605.png");
  EXPECT_EQ(g_calls.back(), L"first:" + path + L"\\*\u2605.PNG");

  EXPECT_EQ(Dir_Examine(1, (root_ + L"\\\u00e9t\u00e9 absent").c_str(), nullptr), nullptr);
  EXPECT_EQ(live(1), nullptr);
}

}  // namespace

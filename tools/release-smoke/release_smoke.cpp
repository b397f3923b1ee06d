// release-smoke: a release installed, used and removed as a user does it, on Windows itself or
// under Wine: the installer run silently just for the user, the program started from its
// install folder, one draw, the window closed, the uninstaller run as the Apps list runs it.
//
//   release-smoke SETUP.exe
//
// Prints "PASS step" or "FAIL step: reason" for each of install, start, draw, close and
// uninstall, and last "N passed, N failed". Exit 0 when every step passed, 1 otherwise, 2 for a
// usage error. A step that leaves the next ones nothing to work on ends the run, but whatever
// was installed is uninstalled.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

const wchar_t kTitle[] = L"Tirage Vorellis";
const wchar_t kAppsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tirage Vorellis";
int g_passed = 0, g_failed = 0;

bool pass(const char* step) {
  std::printf("PASS %s\n", step);
  ++g_passed;
  return true;
}
bool fail(const char* step, const char* reason) {
  std::printf("FAIL %s: %s\n", step, reason);
  ++g_failed;
  return false;
}

// Starts COMMAND in FOLDER (the caller's when null); the process handle, or null.
HANDLE start(std::wstring command, const wchar_t* folder, DWORD* pid = nullptr) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                      &process))
    return nullptr;
  CloseHandle(process.hThread);
  if (pid) *pid = process.dwProcessId;
  return process.hProcess;
}

// Waits for PROCESS to end within SECONDS; its exit code, or -1 when it did not end, and then it
// is ended, so that nothing it holds stands in the way of the steps after it.
long finish(HANDLE process, DWORD seconds) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process, seconds * 1000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process, &code)) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    code = (DWORD)-1;
  }
  CloseHandle(process);
  return (long)code;
}

// A string value of the per-user Apps entry, or empty.
std::wstring apps_value(const wchar_t* name) {
  wchar_t value[MAX_PATH * 2] = L"";
  DWORD size = sizeof value - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kAppsKey, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return L"";
  return value;
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Polls CHECK every 100 ms for up to SECONDS.
template <class Check>
bool within(DWORD seconds, Check check) {
  for (DWORD waited = 0; waited <= seconds * 1000; waited += 100) {
    if (check()) return true;
    Sleep(100);
  }
  return false;
}

// The install folder, read from the uninstaller's path in the Apps entry, as Windows finds it.
std::wstring install(const wchar_t* setup) {
  HANDLE process = start(L"\"" + std::wstring(setup) + L"\" /S /CurrentUser", nullptr);
  if (!process) return fail("install", "the installer did not start"), L"";
  long code = finish(process, 300);
  if (code != 0)
    return fail("install", code < 0 ? "no end within 300 s" : "non-zero exit code"), L"";
  std::wstring uninstaller = apps_value(L"UninstallString");  // "C:\...\uninstall.exe"
  size_t slash = uninstaller.rfind(L'\\');
  if (uninstaller.size() < 2 || uninstaller[0] != L'"' || slash == std::wstring::npos)
    return fail("install", "no per-user Apps entry with an uninstaller"), L"";
  std::wstring folder = uninstaller.substr(1, slash - 1);
  if (!exists(folder + L"\\vorellis.exe") || !exists(folder + L"\\GFX\\Balls\\vide.png"))
    return fail("install", "the install folder lacks the program or its pictures"), L"";
  pass("install");
  return folder;
}

struct Found {
  DWORD pid;
  HWND window;
};

BOOL CALLBACK match_window(HWND window, LPARAM data) {
  Found* found = (Found*)data;
  DWORD owner = 0;
  wchar_t title[64] = L"";
  GetWindowThreadProcessId(window, &owner);
  GetWindowTextW(window, title, 64);
  if (owner != found->pid || !IsWindowVisible(window) || lstrcmpW(title, kTitle) != 0) return TRUE;
  found->window = window;
  return FALSE;
}

// The program's visible top window titled kTitle, or null.
HWND program_window(DWORD pid) {
  Found found = {pid, nullptr};
  EnumWindows(match_window, (LPARAM)&found);
  return found.window;
}

// Seven slot names of a draw: five distinct "Boule N" (0-49), two distinct "Étoile N" (0-11).
bool drawn(HWND window) {
  std::set<int> balls, stars;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t text[64] = L"";
    int value = -1;
    GetWindowTextW(child, text, 64);
    if (swscanf(text, L"Boule %d", &value) == 1 && value >= 0 && value <= 49) balls.insert(value);
    if (swscanf(text, L"\u00c9toile %d", &value) == 1 && value >= 0 && value <= 11)
      stars.insert(value);
  }
  return balls.size() == 5 && stars.size() == 2;
}

HWND child_of_class(HWND window, const wchar_t* name) {
  wchar_t found[32] = L"";
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (GetClassNameW(child, found, 32) && lstrcmpiW(found, name) == 0) return child;
  return nullptr;
}

// Starts the program as its shortcut does, presses its button once, closes it.
void use(const std::wstring& folder) {
  DWORD pid = 0;
  HANDLE process = start(L"\"" + folder + L"\\vorellis.exe\"", folder.c_str(), &pid);
  if (!process) return (void)fail("start", "the program did not start");
  // The window shows before its gadgets are made: the start is over once the button is there.
  HWND window = nullptr, button = nullptr;
  if (!within(30, [&] {
        window = program_window(pid);
        return window && (button = child_of_class(window, L"Button")) != nullptr;
      })) {
    fail("start", "no window titled \"Tirage Vorellis\" with its button within 30 s");
    return (void)finish(process, 0);
  }
  pass("start");
  DWORD_PTR ignored = 0;
  if (drawn(window)) fail("draw", "the slots are named as drawn before any press");
  else if (!SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) ||
           !within(10, [&] { return drawn(window); }))
    fail("draw", "the slots are not named for five balls and two stars within 10 s of a press");
  else pass("draw");
  PostMessageW(window, WM_CLOSE, 0, 0);
  long code = finish(process, 15);
  if (code != 0)
    fail("close", code < 0 ? "still running 15 s after WM_CLOSE" : "non-zero exit code");
  else pass("close");
}

// Runs the Apps entry's quiet uninstall command; the uninstaller returns at once and goes on
// from a copy of itself, so the removal is waited for.
void uninstall(const std::wstring& folder) {
  std::wstring command = apps_value(L"QuietUninstallString");
  HANDLE process = command.empty() ? nullptr : start(command, nullptr);
  if (!process) return (void)fail("uninstall", "no quiet uninstall command that starts");
  if (finish(process, 120) != 0) return (void)fail("uninstall", "non-zero exit code");
  if (!within(60, [&] {
        return !exists(folder + L"\\vorellis.exe") && apps_value(L"DisplayName").empty();
      }))
    return (void)fail("uninstall", "the program or its Apps entry is still there after 60 s");
  pass("uninstall");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: release-smoke SETUP.exe\n");
    return 2;
  }
  std::wstring folder = install(argv[1]);
  if (!folder.empty()) {
    use(folder);
    uninstall(folder);
  }
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}

// release-smoke: a release installed, used and removed as a user does it, on Windows itself or
// under Wine: the installer run silently just for the user, the program started from its
// install folder, one draw, the window closed, the uninstaller run as the Apps list runs it.
// The installer and the uninstaller are started as Explorer starts them (ShellExecuteExW, "open"),
// which asks for elevation where their manifest wants it and UAC is on, where CreateProcessW
// would fail with ERROR_ELEVATION_REQUIRED before anything ran.
//
//   release-smoke SETUP.exe
//
// Prints "PASS step" or "FAIL step: reason" for each of install, start, draw, close and
// uninstall, and last "N passed, N failed"; after a failure, the last error where there is one
// and every visible top-level window, so that a run on a machine out of reach can be read. Exit 0
// when every step passed, 1 otherwise, 2 for a usage error. A step that leaves the next ones
// nothing to work on ends the run, but whatever was installed is uninstalled.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <set>
#include <string>

#include "tools/common/foreground_win.h"

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
// ERROR, when not 0, is the last error of the call that failed.
bool fail(const char* step, const char* reason, DWORD error = 0) {
  std::printf("FAIL %s: %s\n", step, reason);
  if (error) {
    char text[256] = "";
    DWORD size = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
    while (size && (text[size - 1] == '\n' || text[size - 1] == '\r')) text[--size] = '\0';
    std::printf("  last error %lu: %s\n", (unsigned long)error, text);
  }
  std::printf("  visible windows (* in front):\n%s", foreground::visibleWindows().c_str());
  std::fflush(stdout);
  ++g_failed;
  return false;
}

// Opens FILE with PARAMETERS as Explorer does; the process handle, or null with the last error
// in *ERROR (ERROR_CANCELLED when the user declined the elevation).
HANDLE open_as_explorer(const std::wstring& file, const std::wstring& parameters, DWORD* error) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  *error = 0;
  if (ShellExecuteExW(&info) && info.hProcess) return info.hProcess;
  *error = GetLastError();
  if (!*error) *error = ERROR_INVALID_HANDLE;  // started, but no process to wait for
  return nullptr;
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
  DWORD error = 0;
  HANDLE process = open_as_explorer(setup, L"/S /CurrentUser", &error);
  if (!process) return fail("install", "the installer did not start", error), L"";
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

// Brings the window to the front, as a user's click would, and presses its button once. The
// press itself needs no front; a window that cannot take it from a program started from a
// console is worth knowing about all the same.
void draw(HWND window, HWND button) {
  DWORD_PTR ignored = 0;
  if (!foreground::bringToFront(window)) {
    DWORD error = GetLastError();
    std::string front = foreground::describe(GetForegroundWindow());
    fail("draw", ("could not bring the window to the front; in front: " + front).c_str(), error);
  } else if (drawn(window)) {
    fail("draw", "the slots are named as drawn before any press");
  } else if (!SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored)) {
    fail("draw", "the button did not take the press within 5 s", GetLastError());
  } else if (!within(10, [&] { return drawn(window); })) {
    fail("draw", "the slots are not named for five balls and two stars within 10 s of a press");
  } else {
    pass("draw");
  }
}

// Starts the program as its shortcut does, presses its button once, closes it.
void use(const std::wstring& folder) {
  DWORD pid = 0;
  HANDLE process = start(L"\"" + folder + L"\\vorellis.exe\"", folder.c_str(), &pid);
  if (!process) return (void)fail("start", "the program did not start", GetLastError());
  // The window shows before its gadgets are made: the start is over once the button is there.
  HWND window = nullptr, button = nullptr;
  if (!within(30, [&] {
        window = program_window(pid);
        return window && (button = child_of_class(window, L"Button")) != nullptr;
      })) {
    fail("start", WaitForSingleObject(process, 0) == WAIT_OBJECT_0
                      ? "the program ended without a window titled \"Tirage Vorellis\""
                      : "no window titled \"Tirage Vorellis\" with its button within 30 s");
    return (void)finish(process, 0);
  }
  pass("start");
  draw(window, button);
  PostMessageW(window, WM_CLOSE, 0, 0);
  long code = finish(process, 15);
  if (code != 0)
    fail("close", code < 0 ? "still running 15 s after WM_CLOSE" : "non-zero exit code");
  else pass("close");
}

// Splits a command line into its program, quoted or not, and the rest.
void split_command(const std::wstring& command, std::wstring* file, std::wstring* parameters) {
  bool quoted = !command.empty() && command[0] == L'"';
  size_t end = quoted ? command.find(L'"', 1) : command.find(L' ');
  if (end == std::wstring::npos) end = command.size();
  *file = command.substr(quoted ? 1 : 0, end - (quoted ? 1 : 0));
  size_t rest = command.find_first_not_of(L' ', end + (quoted ? 1 : 0));
  *parameters = rest == std::wstring::npos ? L"" : command.substr(rest);
}

// Runs the Apps entry's quiet uninstall command; the uninstaller returns at once and goes on
// from a copy of itself, so the removal is waited for.
void uninstall(const std::wstring& folder) {
  std::wstring command = apps_value(L"QuietUninstallString"), file, parameters;
  if (command.empty()) return (void)fail("uninstall", "no quiet uninstall command");
  split_command(command, &file, &parameters);
  DWORD error = 0;
  HANDLE process = open_as_explorer(file, parameters, &error);
  if (!process) return (void)fail("uninstall", "the quiet uninstall command did not start", error);
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
  // ShellExecuteExW may hand the start to COM objects of the shell.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::wstring folder = install(argv[1]);
  if (!folder.empty()) {
    use(folder);
    uninstall(folder);
  }
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}

// winprobe: reports the top-level windows with a given title and their child controls, as the
// window manager sees them. The end-to-end tests use it to check what the program shows
// (window class, client size, each control's class, identifier, place, size and text), and to
// read a message box's text, which a screenshot cannot give.
//
//   winprobe TITLE
//
// One line per visible top-level window whose title is TITLE:
//   window class=C x=X y=Y client=WxH
// followed by one line per descendant control, coordinates relative to that window's client
// area, in the order EnumChildWindows gives:
//   child class=C id=N x=X y=Y w=W h=H visible=0|1 text=T
// Text is written as UTF-8. Exit code 0 when at least one window matched, 1 when none did,
// 2 for a usage error. Windows only; it runs beside the program in the same Wine prefix.
//
//   winprobe --ask REQUEST TITLE
//
// Asks the first visible top-level window titled TITLE to close, as task bars, automation
// tools and session managers do. REQUEST is one of: close (WM_CLOSE sent), post-close
// (WM_CLOSE posted), sysclose (WM_SYSCOMMAND SC_CLOSE sent), endsession (WM_QUERYENDSESSION
// sent, then WM_ENDSESSION with TRUE, and "queryendsession=N" printed with the answer).
// Exit code 0 when every message was taken within a second, 1 when no window matched, 3
// when the window did not answer in time.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string utf8(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out((size_t)size - 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  return out;
}

// The text of a window in another process; a window that does not answer within a second
// reads as empty rather than hanging the probe.
std::string window_text(HWND window) {
  wchar_t buffer[512] = {0};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 512, (LPARAM)buffer, SMTO_ABORTIFHUNG, 1000,
                           &copied))
    return std::string();
  buffer[511] = 0;
  return utf8(buffer);
}

std::string class_name(HWND window) {
  wchar_t name[256] = {0};
  GetClassNameW(window, name, 256);
  return utf8(name);
}

struct Search {
  const wchar_t* title;
  int found;
  HWND window;  // the first match, for --ask
};

BOOL CALLBACK report_child(HWND child, LPARAM top) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, (HWND)top, (POINT*)&r, 2);
  std::printf("child class=%s id=%lld x=%ld y=%ld w=%ld h=%ld visible=%d text=%s\n",
              class_name(child).c_str(), (long long)GetWindowLongPtrW(child, GWLP_ID), r.left,
              r.top, r.right - r.left, r.bottom - r.top, IsWindowVisible(child) ? 1 : 0,
              window_text(child).c_str());
  return TRUE;
}

// A visible top-level window with exactly the title searched for.
bool matches(HWND window, const Search* search) {
  if (!IsWindowVisible(window)) return false;
  wchar_t title[512] = {0};
  GetWindowTextW(window, title, 512);
  return std::wcscmp(title, search->title) == 0;
}

BOOL CALLBACK report_top(HWND window, LPARAM param) {
  Search* search = (Search*)param;
  if (!matches(window, search)) return TRUE;
  ++search->found;
  RECT client;
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  std::printf("window class=%s x=%ld y=%ld client=%ldx%ld\n", class_name(window).c_str(), origin.x,
              origin.y, client.right, client.bottom);
  EnumChildWindows(window, report_child, (LPARAM)window);
  return TRUE;
}

BOOL CALLBACK find_top(HWND window, LPARAM param) {
  Search* search = (Search*)param;
  if (!matches(window, search)) return TRUE;
  search->window = window;
  return FALSE;
}

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* answer) {
  return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 1000, answer) != 0;
}

int ask(const wchar_t* request, const wchar_t* title) {
  Search search = {title, 0, nullptr};
  EnumWindows(find_top, (LPARAM)&search);
  HWND window = search.window;
  if (!window) return 1;
  DWORD_PTR answer = 0;
  bool answered;
  if (std::wcscmp(request, L"close") == 0) {
    answered = send(window, WM_CLOSE, 0, 0, &answer);
  } else if (std::wcscmp(request, L"post-close") == 0) {
    answered = PostMessageW(window, WM_CLOSE, 0, 0) != 0;
  } else if (std::wcscmp(request, L"sysclose") == 0) {
    answered = send(window, WM_SYSCOMMAND, SC_CLOSE, 0, &answer);
  } else if (std::wcscmp(request, L"endsession") == 0) {
    answered = send(window, WM_QUERYENDSESSION, 0, 0, &answer);
    std::printf("queryendsession=%d\n", (int)answer);
    answered = answered && send(window, WM_ENDSESSION, TRUE, 0, &answer);
  } else {
    std::fprintf(stderr, "winprobe: unknown request\n");
    return 2;
  }
  std::fflush(stdout);
  return answered ? 0 : 3;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv && argc == 4 && std::wcscmp(argv[1], L"--ask") == 0) return ask(argv[2], argv[3]);
  if (!argv || argc != 2) {
    std::fprintf(stderr, "usage: winprobe TITLE | winprobe --ask REQUEST TITLE\n");
    return 2;
  }
  Search search = {argv[1], 0, nullptr};
  EnumWindows(report_top, (LPARAM)&search);
  std::fflush(stdout);
  return search.found ? 0 : 1;
}

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
// sent, then WM_ENDSESSION with TRUE, and "queryendsession=N" printed with the answer),
// settings (WM_SETTINGCHANGE sent for SPI_SETNONCLIENTMETRICS, as after a change of text size).
// Exit code 0 when every message was taken within a second, 1 when no window matched, 3
// when the window did not answer in time.
//
// More views and actions on the first visible window titled TITLE (exit 1 when none matched):
//   winprobe --names TITLE        one line per descendant control, "id=N name=T", with the
//                                 name an assistive technology reads (AccessibleObjectFromWindow
//                                 with OBJID_CLIENT, then accName)
//   winprobe --invalidate N TITLE each descendant control invalidated alone, N rounds
//   winprobe --cover TITLE        a window laid over it for half a second, then taken away
//   winprobe --post-event V TITLE the event message "QZ_PostEventMessage" posted to the
//                                 window's process's event window with lParam V (a number)
//   winprobe --memory TITLE       "private=N": the private bytes of the window's process
//   winprobe --name-events MS TITLE  listens MS milliseconds to the window's process for
//                                 accessible-name changes (an out-of-context event hook, as a
//                                 screen reader has): "change ms=T id=N name=S" as each comes
//                                 (T the event's tick count, S the control's text then), then
//                                 "id=N changes=C" per control
//   winprobe --syscommand N TITLE WM_SYSCOMMAND N sent, as choosing item N of its system menu
//                                 does (exit 3 when not taken within a second)
//   winprobe --clipboard          the clipboard's Unicode text, as UTF-8
//   winprobe --set-clipboard T    puts T on the clipboard as Unicode text
#include <initguid.h>  // the import library resolves the accessibility IDs wrongly on x86_64
#include <oleacc.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
  } else if (std::wcscmp(request, L"settings") == 0) {
    answered = send(window, WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0, &answer);
  } else {
    std::fprintf(stderr, "winprobe: unknown request\n");
    return 2;
  }
  std::fflush(stdout);
  return answered ? 0 : 3;
}

HWND find_window(const wchar_t* title) {
  Search search = {title, 0, nullptr};
  EnumWindows(find_top, (LPARAM)&search);
  return search.window;
}

BOOL CALLBACK report_name(HWND child, LPARAM) {
  IAccessible* object = nullptr;
  std::string name;
  if (SUCCEEDED(AccessibleObjectFromWindow(child, (DWORD)OBJID_CLIENT, IID_IAccessible,
                                           (void**)&object)) &&
      object) {
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (SUCCEEDED(object->get_accName(self, &text)) && text) name = utf8(text);
    SysFreeString(text);
    object->Release();
  }
  std::printf("id=%lld name=%s\n", (long long)GetWindowLongPtrW(child, GWLP_ID), name.c_str());
  return TRUE;
}

BOOL CALLBACK invalidate_one(HWND child, LPARAM) {
  InvalidateRect(child, nullptr, FALSE);
  Sleep(20);  // one control at a time: each repaints on its own
  return TRUE;
}

// A plain window of our own over the target, shown long enough for the target to be hidden.
void cover(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  HWND over =
      CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, r.left, r.top,
                      r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
  for (int i = 0; i < 25; ++i) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(20);
  }
  DestroyWindow(over);
}

struct EventWindowSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK find_event_window(HWND window, LPARAM param) {
  EventWindowSearch* search = (EventWindowSearch*)param;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || class_name(window) != "PostEventClass") return TRUE;
  search->found = window;
  return FALSE;
}

int post_event(HWND window, const wchar_t* value) {
  EventWindowSearch search = {0, nullptr};
  GetWindowThreadProcessId(window, &search.process);
  EnumWindows(find_event_window, (LPARAM)&search);
  if (!search.found) return 1;
  UINT message = RegisterWindowMessageW(L"QZ_PostEventMessage");
  LPARAM parameter = (LPARAM)wcstoull(value, nullptr, 0);
  return PostMessageW(search.found, message, 0, parameter) ? 0 : 3;
}

int g_nameChanges[16];  // by control identifier

void CALLBACK on_name_change(HWINEVENTHOOK, DWORD, HWND control, LONG object, LONG child, DWORD,
                             DWORD time) {
  LONG_PTR id = control ? GetWindowLongPtrW(control, GWLP_ID) : -1;
  if (object != OBJID_CLIENT || child != CHILDID_SELF || id < 0 || id >= 16) return;
  ++g_nameChanges[id];
  std::printf("change ms=%lu id=%ld name=%s\n", (unsigned long)time, (long)id,
              window_text(control).c_str());
  std::fflush(stdout);
}

// The hook is out of context: the events come to this thread as messages, so it pumps them.
int name_events(HWND window, int milliseconds) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
                                       on_name_change, process, 0, WINEVENT_OUTOFCONTEXT);
  if (!hook) return 3;
  std::printf("listening\n");
  std::fflush(stdout);
  for (DWORD end = GetTickCount() + (DWORD)milliseconds; (int)(end - GetTickCount()) > 0;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  UnhookWinEvent(hook);
  for (int id = 0; id < 16; ++id)
    if (g_nameChanges[id]) std::printf("id=%d changes=%d\n", id, g_nameChanges[id]);
  return 0;
}

// Wine leaves PrivateUsage at 0, so the committed private regions are summed instead.
int memory(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  if (!process) return 3;
  unsigned long long total = 0;
  MEMORY_BASIC_INFORMATION region;
  for (char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
       at = (char*)region.BaseAddress + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
  }
  CloseHandle(process);
  std::printf("private=%llu\n", total);
  return total ? 0 : 3;
}

int clipboard() {
  if (!OpenClipboard(nullptr)) return 3;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const wchar_t* text = data ? (const wchar_t*)GlobalLock(data) : nullptr;
  if (text) {
    std::printf("%s\n", utf8(text).c_str());
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text ? 0 : 1;
}

int set_clipboard(const wchar_t* text) {
  size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!block || !OpenClipboard(nullptr)) return 3;
  std::memcpy(GlobalLock(block), text, bytes);
  GlobalUnlock(block);
  EmptyClipboard();
  bool set = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
  CloseClipboard();
  return set ? 0 : 3;
}

// The modes that act on one window: its title last.
int on_window(int argc, wchar_t** argv) {
  const wchar_t* mode = argv[1];
  HWND window = find_window(argv[argc - 1]);
  if (!window) return 1;
  int result = 0;
  if (std::wcscmp(mode, L"--names") == 0 && argc == 3) {
    CoInitialize(nullptr);
    EnumChildWindows(window, report_name, 0);
    CoUninitialize();
  } else if (std::wcscmp(mode, L"--invalidate") == 0 && argc == 4) {
    for (int round = _wtoi(argv[2]); round > 0; --round)
      EnumChildWindows(window, invalidate_one, 0);
  } else if (std::wcscmp(mode, L"--cover") == 0 && argc == 3) {
    cover(window);
  } else if (std::wcscmp(mode, L"--post-event") == 0 && argc == 4) {
    result = post_event(window, argv[2]);
  } else if (std::wcscmp(mode, L"--name-events") == 0 && argc == 4) {
    result = name_events(window, _wtoi(argv[2]));
  } else if (std::wcscmp(mode, L"--syscommand") == 0 && argc == 4) {
    DWORD_PTR answer = 0;
    result = send(window, WM_SYSCOMMAND, (WPARAM)wcstoul(argv[2], nullptr, 0), 0, &answer) ? 0 : 3;
  } else if (std::wcscmp(mode, L"--memory") == 0 && argc == 3) {
    result = memory(window);
  } else {
    result = 2;
  }
  std::fflush(stdout);
  return result;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv && argc == 4 && std::wcscmp(argv[1], L"--ask") == 0) return ask(argv[2], argv[3]);
  if (argv && argc == 2 && std::wcscmp(argv[1], L"--clipboard") == 0) return clipboard();
  if (argv && argc == 3 && std::wcscmp(argv[1], L"--set-clipboard") == 0)
    return set_clipboard(argv[2]);
  if (argv && argc >= 3 && argv[1][0] == L'-' && argv[1][1] == L'-') {
    int result = on_window(argc, argv);
    if (result == 2) std::fprintf(stderr, "winprobe: unknown mode or arguments\n");
    return result;
  }
  if (!argv || argc != 2) {
    std::fprintf(stderr, "usage: winprobe TITLE | winprobe --ask REQUEST TITLE\n");
    return 2;
  }
  Search search = {argv[1], 0, nullptr};
  EnumWindows(report_top, (LPARAM)&search);
  std::fflush(stdout);
  return search.found ? 0 : 1;
}

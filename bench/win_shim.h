// The few user32 type and constant names that gui/events.h and gui/events.cpp mention,
// for compiling the event queue natively (see events_native.cpp). Benchmarks only.
#pragma once

#include "runtime/platform.h"

typedef void* HWND;
typedef void* HACCEL;
typedef void* HBRUSH;
typedef uint32_t UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
  LONG x, y;
};
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  void* hIcon;
  void* hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

#define CS_DBLCLKS 0x0008
#define COLOR_BTNFACE 15
#define WS_CAPTION 0x00C00000L
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002
#define QS_ALLINPUT 0x04FF
#define QS_ALLPOSTMESSAGE 0x0100
#define WAIT_TIMEOUT 258

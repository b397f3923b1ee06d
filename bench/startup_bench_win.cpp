// Start-up of the draw program against baseline programs, under Wine.
//
//   bench_startup FOLDER RUNS PROGRAM BASELINE [BASELINE...]
//
// Starts PROGRAM and each BASELINE in turn, RUNS times each, with FOLDER (which holds GFX\) as
// their working folder, and times each from just before CreateProcess to the moment the new
// process waits for input with nothing left to do (WaitForInputIdle): its start-up is over and
// its window has been painted. The programs are measured as they are, the same way, with no
// option or hook in any. Each is then asked to close (WM_CLOSE to its visible windows). The
// order of a round turns by one from round to round, so that none always follows another's
// exit. Prints, per program, the median and quartiles in milliseconds and the number of child
// windows its visible window had when it became idle, then "ratio" (median program / median
// first baseline) and "ratio K" for the K-th baseline after the first.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/summary.h"

namespace {

double nowMs() {
  static LARGE_INTEGER frequency;
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart * 1e3 / (double)frequency.QuadPart;
}

struct Found {
  DWORD process;
  std::vector<HWND> windows;
};

BOOL CALLBACK collect(HWND window, LPARAM parameter) {
  Found* found = (Found*)parameter;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == found->process && IsWindowVisible(window)) found->windows.push_back(window);
  return TRUE;
}

BOOL CALLBACK countChild(HWND, LPARAM parameter) {
  ++*(int*)parameter;
  return TRUE;
}

struct Run {
  double ms;
  int children;  // child windows of its visible window(s); -1 if it never became idle
};

Run runOnce(const std::string& program, const std::string& folder) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string commandLine = "\"" + program + "\"";
  double t0 = nowMs();
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &si, &pi))
    return {0, -1};
  DWORD idle = WaitForInputIdle(pi.hProcess, 30000);
  double t1 = nowMs();
  Found found = {pi.dwProcessId, {}};
  EnumWindows(collect, (LPARAM)&found);
  int children = 0;
  for (HWND window : found.windows) EnumChildWindows(window, countChild, (LPARAM)&children);
  for (HWND window : found.windows) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (idle != 0 || found.windows.empty()) return {t1 - t0, -1};
  return {t1 - t0, children};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: bench_startup FOLDER RUNS PROGRAM BASELINE [BASELINE...]\n");
    return 2;
  }
  std::string folder = argv[1];
  int runs = atoi(argv[2]);
  if (runs < 3) runs = 3;
  std::vector<std::string> programs(argv + 3, argv + argc);
  const size_t count = programs.size();
  // One start of each first, untimed: Wine's first start of a program maps its files.
  for (const std::string& p : programs) runOnce(p, folder);

  std::vector<std::vector<double>> times(count);
  std::vector<int> children(count, -2);
  for (int i = 0; i < runs; i++)
    for (size_t turn = 0; turn < count; turn++) {
      size_t k = (i + turn) % count;
      Run r = runOnce(programs[k], folder);
      if (r.children < 0) {
        fprintf(stderr, "bench_startup: %s did not become idle with a window\n",
                programs[k].c_str());
        return 1;
      }
      if (children[k] == -2) children[k] = r.children;
      else if (children[k] != r.children) children[k] = -1;  // differed between runs
      times[k].push_back(r.ms);
    }
  std::vector<Summary> s(count);
  for (size_t k = 0; k < count; k++) {
    s[k] = summarise(times[k]);
    char label[16] = "program ";
    if (k == 1) snprintf(label, sizeof label, "baseline");
    if (k > 1) snprintf(label, sizeof label, "baseline %zu", k);
    printf("%s %d runs: median %.1f ms (quartiles %.1f, %.1f), child windows %d\n", label, runs,
           s[k].median, s[k].q1, s[k].q3, children[k]);
  }
  printf("ratio %.3f\n", s[0].median / s[1].median);
  for (size_t k = 2; k < count; k++) printf("ratio %zu %.3f\n", k, s[0].median / s[k].median);
  return 0;
}

// The Wine benchmark's stopwatch: waits up to 60 s until a visible window
// with this title lists this many items in its combo box (0: until it is
// shown) and prints that moment in Unix milliseconds. It polls in-process,
// started before the program it times, so that the figure is not that of
// starting a program; one list of the windows a round, so that the polling
// keeps the Wine server free for the program it times. Exit code 1: no
// window did.
//
// Usage: wait_items <title> <count>
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

struct Wait {
  const wchar_t* title;
  DWORD_PTR items;
  bool done = false;
};

BOOL CALLBACK check(HWND window, LPARAM lParam) {
  Wait& wait = *reinterpret_cast<Wait*>(lParam);
  wchar_t title[256] = {};
  DWORD_PTR count = 0;
  wait.done = IsWindowVisible(window) && GetWindowTextW(window, title, 256) &&
              wcscmp(title, wait.title) == 0 &&
              (wait.items == 0 || (SendMessageTimeoutW(FindWindowExW(window, nullptr, L"ComboBox", nullptr),
                                                       CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count) &&
                                   count == wait.items));
  return !wait.done;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  Wait wait{argv[1], wcstoul(argv[2], nullptr, 10)};
  for (ULONGLONG deadline = GetTickCount64() + 60000; GetTickCount64() < deadline; Sleep(1)) {
    EnumWindows(check, reinterpret_cast<LPARAM>(&wait));
    if (!wait.done) continue;
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // From 100 ns since 1601 to Unix ms; no line end, which the C runtime would make CR LF.
    std::printf("%llu", (ticks - 116444736000000000ULL) / 10000);
    return 0;
  }
  return 1;
}

// Reads the program's windows from another process, the way assistive
// software does, and prints what it finds as UTF-8 for the end-to-end tests
// and the Wine benchmark. It runs under the same Wine prefix and server.
//
//   probe acp                          the ANSI code page (932 for Japanese)
//   probe menu                         succeeds while a popup menu is open
//   probe xid <title>                  the X11 window behind the window
//   probe msgbox <title>               the text of the message box with this title
//   probe msgbox-xid <title>           the X11 window behind that message box
//   probe items <title>                the items of its combo box, or else of its list box, one a line
//   probe edits <title>                the texts of its edit boxes, one a line
//   probe text <title>                 the text in its combo box's edit field
//   probe focus <title>                "combo" while the keyboard focus is in its combo box, "Edit N" in
//                                      its N-th edit box, else the focused control's class
//   probe selection <title>            start and end of the selection in its focused edit field
//   probe tabs <title>                 the controls Tab visits from the first: class|text, one a line
//   probe enabled <title>              1 while the window takes input, 0 while it is disabled
//   probe client <title>               x y width height of its client area, screen pixels
//   probe center <title> <caption>     screen centre of its button with this caption
//   probe wait-items <title> <count>   waits up to 60 s until the window shows this many items in its
//                                      combo box (0: until it is shown); prints that Unix time in ms
//   probe version <file>               the file's version numbers, then its FileVersion and
//                                      ProductVersion texts, one a line
//
// <title> names a visible top-level window that is not a message box, but
// for the msgbox commands. Exit code 1: the window or control is not there;
// 2: a usage error.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr UINT kTimeoutMs = 5000;  // a window that does not answer in this time counts as missing

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                 nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                      nullptr);
  return result;
}

// WriteFile rather than stdio: the bytes must reach the script as UTF-8,
// untouched by the C runtime's code-page conversion.
int print(const std::string& line) {
  std::string out = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
  return 0;
}

std::wstring className(HWND hwnd) {
  wchar_t buffer[256] = {};
  return std::wstring(buffer, static_cast<std::size_t>(std::max(GetClassNameW(hwnd, buffer, 256), 0)));
}

bool isClass(HWND hwnd, const wchar_t* name) {
  return lstrcmpiW(className(hwnd).c_str(), name) == 0;
}

// With a timeout, so that a hung window cannot hang the tests.
bool ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
  return hwnd && SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kTimeoutMs, &result);
}

std::wstring windowText(HWND hwnd) {
  DWORD_PTR length = 0, copied = 0;
  if (!ask(hwnd, WM_GETTEXTLENGTH, 0, 0, length)) return {};
  std::vector<wchar_t> buffer(length + 1);
  if (!ask(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), copied)) return {};
  return std::wstring(buffer.data(), copied);
}

// "&" marks a mnemonic in a caption; the user sees the caption without it.
std::wstring withoutMnemonic(std::wstring text) {
  std::erase(text, L'&');
  return text;
}

// A message box is a dialog with its text in the static control numbered
// 0xFFFF; the program's own windows may be dialogs too.
bool isMessageBox(HWND hwnd) {
  return isClass(hwnd, L"#32770") && GetDlgItem(hwnd, 0xFFFF);
}

std::vector<HWND> visibleTopLevel() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND topLevel(const std::wstring& title, bool messageBox) {
  for (HWND hwnd : visibleTopLevel())
    if (isMessageBox(hwnd) == messageBox && windowText(hwnd) == title) return hwnd;
  return nullptr;
}

// The window's controls in creation order.
std::vector<HWND> controls(HWND window) {
  std::vector<HWND> found;
  if (window)
    EnumChildWindows(
        window,
        [](HWND hwnd, LPARAM param) -> BOOL {
          reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND firstOfClass(HWND window, const wchar_t* name) {
  for (HWND control : controls(window))
    if (isClass(control, name)) return control;
  return nullptr;
}

// The window's own edit boxes, not the one inside its combo box.
std::vector<HWND> editBoxes(HWND window) {
  std::vector<HWND> edits;
  for (HWND control : controls(window))
    if (isClass(control, L"Edit") && !isClass(GetParent(control), L"ComboBox")) edits.push_back(control);
  return edits;
}

int printXid(HWND hwnd) {
  auto xid = reinterpret_cast<std::uintptr_t>(hwnd ? GetPropW(hwnd, L"__wine_x11_whole_window") : nullptr);
  return xid ? print(std::to_string(xid)) : 1;
}

int printItems(HWND list, bool combo) {
  DWORD_PTR count = 0, length = 0, copied = 0;
  if (!ask(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0, count)) return 1;
  for (WPARAM i = 0; i < count; ++i) {
    if (!ask(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0, length)) return 1;
    std::vector<wchar_t> buffer(length + 1);
    if (!ask(list, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer.data()), copied))
      return 1;
    print(utf8(std::wstring(buffer.data(), copied)));
  }
  return 0;
}

HWND focusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!window || !GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

int printFocus(HWND window) {
  HWND focus = focusOf(window), combo = firstOfClass(window, L"ComboBox");
  if (!window) return 1;
  if (combo && focus && (focus == combo || IsChild(combo, focus))) return print("combo");
  std::vector<HWND> edits = editBoxes(window);
  auto edit = std::find(edits.begin(), edits.end(), focus);
  if (edit != edits.end()) return print("Edit " + std::to_string(edit - edits.begin() + 1));
  return print(focus ? utf8(className(focus)) : "none");
}

// The controls Tab visits, from the first, as the dialog manager walks them.
int printTabs(HWND window) {
  HWND first = window ? GetNextDlgTabItem(window, nullptr, FALSE) : nullptr;
  if (!first) return 1;
  HWND at = first;
  do {
    print(utf8(className(at)) + "|" + utf8(withoutMnemonic(windowText(at))));
    at = GetNextDlgTabItem(window, at, FALSE);
  } while (at && at != first);
  return 0;
}

// Where the window's content is, whether Wine or a window manager draws its frame.
int printClient(HWND window) {
  RECT r{};
  if (!window || !GetClientRect(window, &r)) return 1;
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%ld %ld %ld %ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return print(buffer);
}

int printCenter(HWND window, const std::wstring& caption) {
  for (HWND control : controls(window)) {
    RECT r{};
    if (isClass(control, L"Button") && withoutMnemonic(windowText(control)) == caption &&
        GetWindowRect(control, &r))
      return print(std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2));
  }
  return 1;
}

// Polls in-process, so that the time is not that of starting a probe.
int waitForItems(const std::wstring& title, DWORD_PTR wanted) {
  for (ULONGLONG deadline = GetTickCount64() + 60000; GetTickCount64() < deadline; Sleep(1)) {
    HWND window = topLevel(title, false);
    DWORD_PTR count = 0;
    if (!window || (wanted > 0 &&
                    !(ask(firstOfClass(window, L"ComboBox"), CB_GETCOUNT, 0, 0, count) && count == wanted)))
      continue;
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return print(std::to_string((ticks - 116444736000000000ULL) / 10000));  // Unix milliseconds
  }
  return 1;
}

// What Windows reads from a program's version record, in the record's own
// first language.
int printVersion(const std::wstring& file) {
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), nullptr);
  std::vector<char> record(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  WORD* language = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, record.data()) ||
      !VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      !VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&language),
                      &length) ||
      length < 2 * sizeof(WORD))
    return 1;
  print(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
        std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
        std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
        std::to_string(LOWORD(fixed->dwFileVersionLS)));
  wchar_t block[32];
  swprintf(block, 32, L"\\StringFileInfo\\%04x%04x\\", language[0], language[1]);
  for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
    wchar_t* text = nullptr;
    if (!VerQueryValueW(record.data(), (block + std::wstring(name)).c_str(), reinterpret_cast<void**>(&text),
                        &length))
      return 1;
    print(utf8(text));
  }
  return 0;
}

int run(const std::vector<std::wstring>& args) {
  const std::wstring command = args.empty() ? L"" : args[0];
  if (command == L"acp") return print(std::to_string(GetACP()));
  if (command == L"menu") {
    for (HWND hwnd : visibleTopLevel())
      if (isClass(hwnd, L"#32768")) return 0;
    return 1;
  }
  if (args.size() < 2) return 2;
  if (command == L"version") return printVersion(args[1]);
  if (command == L"wait-items" && args.size() == 3) return waitForItems(args[1], _wtoi(args[2].c_str()));
  if (command == L"msgbox") {
    HWND text = GetDlgItem(topLevel(args[1], true), 0xFFFF);
    return text ? print(utf8(windowText(text))) : 1;
  }
  if (command == L"msgbox-xid") return printXid(topLevel(args[1], true));

  HWND window = topLevel(args[1], false);
  if (command == L"center" && args.size() == 3) return printCenter(window, args[2]);
  if (args.size() != 2) return 2;
  if (command == L"xid") return printXid(window);
  if (command == L"focus") return printFocus(window);
  if (command == L"tabs") return printTabs(window);
  if (command == L"client") return printClient(window);
  if (command == L"enabled") return window ? print(IsWindowEnabled(window) ? "1" : "0") : 1;
  if (command == L"edits") {
    for (HWND edit : editBoxes(window)) print(utf8(windowText(edit)));
    return window ? 0 : 1;
  }
  HWND combo = firstOfClass(window, L"ComboBox");
  if (command == L"items")
    return combo ? printItems(combo, true) : printItems(firstOfClass(window, L"ListBox"), false);
  if (command == L"text") return combo ? print(utf8(windowText(combo))) : 1;
  if (command == L"selection") {
    DWORD_PTR selection = 0;
    if (!ask(focusOf(window), EM_GETSEL, 0, 0, selection)) return 1;
    return print(std::to_string(LOWORD(selection)) + " " + std::to_string(HIWORD(selection)));
  }
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int code = run(std::vector<std::wstring>(argv + 1, argv + argc));
  if (code == 2) std::fputs("usage: probe <command> [title] [caption]; see probe.cpp\n", stderr);
  return code;
}

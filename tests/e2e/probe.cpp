// Reads the program's windows from another process, the way assistive
// software does, and prints what it finds as UTF-8 for the end-to-end tests.
// Exit code 1: the window or control is not there; 2: a usage error. Commands:
//   acp                    the ANSI code page (932 for Japanese)
//   menu                   succeeds while a popup menu is open
//   window <title> [fact]  the facts of the visible window with this title that is no message box
//   msgbox <title>         the X11 window behind the message box with this title, then its text
//   version <file>         the file's version numbers, then its FileVersion and ProductVersion
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The line in UTF-8, with WriteFile rather than stdio: the bytes must reach
// the script untouched by the C runtime's code-page conversion.
int print(std::wstring line) {
  line += L"\n";
  std::string out(line.size() * 3, '\0');  // up to three bytes a UTF-16 unit
  out.resize(WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), out.data(),
                                 static_cast<int>(out.size()), nullptr, nullptr));
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
  return 0;
}

std::wstring numbers(std::initializer_list<long> values, const wchar_t* between = L" ") {
  std::wstring text;
  for (long value : values) text += (text.empty() ? L"" : between) + std::to_wstring(value);
  return text;
}

std::wstring className(HWND hwnd) {
  wchar_t buffer[256] = {};
  return std::wstring(buffer, static_cast<std::size_t>(std::max(GetClassNameW(hwnd, buffer, 256), 0)));
}

bool isClass(HWND hwnd, const wchar_t* name) {
  return lstrcmpiW(className(hwnd).c_str(), name) == 0;
}

// With a timeout, so that a hung window cannot hang the tests: it counts as missing.
bool ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
  return hwnd && SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
}

// The text of a window, or with a list's messages, of the list's item `item`.
std::wstring textOf(HWND hwnd, UINT getLength = WM_GETTEXTLENGTH, UINT getText = WM_GETTEXT,
                    WPARAM item = 0) {
  DWORD_PTR length = 0, copied = 0;
  if (!ask(hwnd, getLength, item, 0, length)) return {};
  std::vector<wchar_t> buffer(length + 1);
  WPARAM which = getText == WM_GETTEXT ? buffer.size() : item;
  if (!ask(hwnd, getText, which, reinterpret_cast<LPARAM>(buffer.data()), copied)) return {};
  return std::wstring(buffer.data(), copied);
}

// The caption a user sees: "&" only marks a mnemonic.
std::wstring caption(HWND hwnd) {
  std::wstring text = textOf(hwnd);
  std::erase(text, L'&');
  return text;
}

// Top-level windows, or with `parent`, its controls in tab order: a form's
// controls are all its own children, those in a frame too.
std::vector<HWND> windows(HWND parent = nullptr) {
  std::vector<HWND> found;
  for (HWND at = nullptr; (at = FindWindowExW(parent, at, nullptr, nullptr));) found.push_back(at);
  return found;
}

// The visible window with this title. A message box is a dialog with its text in the static control
// numbered 0xFFFF; the program's own windows may be dialogs too.
HWND find(const std::wstring& title, bool messageBox) {
  for (HWND hwnd : windows())
    if (IsWindowVisible(hwnd) && (isClass(hwnd, L"#32770") && GetDlgItem(hwnd, 0xFFFF)) == messageBox &&
        textOf(hwnd) == title)
      return hwnd;
  return nullptr;
}

// The X11 window Wine keeps for a top-level window, which X tools address.
std::uintptr_t xid(HWND hwnd) {
  return reinterpret_cast<std::uintptr_t>(GetPropW(hwnd, L"__wine_x11_whole_window"));
}

// The facts, or only the one named `only`, each line named by its first word:
//   xid N                  the X11 window behind it
//   enabled 1|0            whether it takes input (not while a modal window is over it)
//   focus WHERE            "combo" in its combo box, "Edit N" in its N-th edit box, else the control's class
//   selection START END    in the edit field with the focus
//   text TEXT              in its combo box
//   item TEXT              for each item of its combo box
//   edit TEXT              for each of its own edit boxes, not the one in its combo box
//   tab CLASS|TEXT         for each control Tab visits, from the first, as the dialog manager walks them
//   button X Y CAPTION     for each button, the screen point of its centre
int printWindow(HWND window, const std::wstring& only) {
  if (!window || !xid(window)) return 1;
  auto wants = [&](const std::wstring& fact) { return only.empty() || only == fact; };
  auto say = [&](const std::wstring& fact, const std::wstring& value) {
    if (wants(fact)) print(fact + L" " + value);
  };
  say(L"xid", std::to_wstring(xid(window)));
  say(L"enabled", IsWindowEnabled(window) ? L"1" : L"0");

  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  HWND focus =
      GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) ? thread.hwndFocus : nullptr;
  HWND combo = FindWindowExW(window, nullptr, L"ComboBox", nullptr);
  std::vector<HWND> edits = windows(window);  // not the one inside the combo box
  std::erase_if(edits, [](HWND hwnd) { return !isClass(hwnd, L"Edit"); });
  auto edit = std::find(edits.begin(), edits.end(), focus);
  if (combo && focus && (focus == combo || IsChild(combo, focus)))
    say(L"focus", L"combo");
  else if (edit != edits.end())
    say(L"focus", L"Edit " + std::to_wstring(edit - edits.begin() + 1));
  else
    say(L"focus", focus ? className(focus) : L"none");
  DWORD_PTR selection = 0, count = 0;
  if (isClass(focus, L"Edit") && ask(focus, EM_GETSEL, 0, 0, selection))
    say(L"selection", numbers({LOWORD(selection), HIWORD(selection)}));

  if (combo) say(L"text", textOf(combo));
  if (wants(L"item")) ask(combo, CB_GETCOUNT, 0, 0, count);
  for (WPARAM i = 0; i < count; ++i) say(L"item", textOf(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, i));
  for (HWND box : edits) say(L"edit", textOf(box));
  HWND first = wants(L"tab") ? GetNextDlgTabItem(window, nullptr, FALSE) : nullptr, at = first;
  while (at) {
    say(L"tab", className(at) + L"|" + caption(at));
    at = GetNextDlgTabItem(window, at, FALSE);
    if (at == first) break;
  }
  RECT r{};
  for (HWND control : windows(window))
    if (wants(L"button") && isClass(control, L"Button") && GetWindowRect(control, &r))
      say(L"button", numbers({(r.left + r.right) / 2, (r.top + r.bottom) / 2}) + L" " + caption(control));
  return 0;
}

// What Windows reads from a program's version record, in the record's own first language.
int printVersion(const std::wstring& file) {
  std::vector<char> record(GetFileVersionInfoSizeW(file.c_str(), nullptr));
  VS_FIXEDFILEINFO* fixed = nullptr;
  WORD* language = nullptr;
  UINT length = 0;
  if (record.empty() ||
      !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(record.size()), record.data()) ||
      !VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      !VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&language),
                      &length) ||
      length < 2 * sizeof(WORD))
    return 1;
  const DWORD high = fixed->dwFileVersionMS, low = fixed->dwFileVersionLS;
  print(numbers({HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low)}, L"."));
  wchar_t block[32];
  swprintf(block, 32, L"\\StringFileInfo\\%04x%04x\\", language[0], language[1]);
  for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
    wchar_t* text = nullptr;
    if (!VerQueryValueW(record.data(), (block + std::wstring(name)).c_str(), reinterpret_cast<void**>(&text),
                        &length))
      return 1;
    print(text);
  }
  return 0;
}

int run(const std::vector<std::wstring>& args) {
  const std::wstring command = args.empty() ? L"" : args[0];
  if (command == L"acp") return print(std::to_wstring(GetACP()));
  if (command == L"menu") return IsWindowVisible(FindWindowW(L"#32768", nullptr)) ? 0 : 1;
  if (args.size() == 2 && command == L"version") return printVersion(args[1]);
  if (args.size() >= 2 && args.size() <= 3 && command == L"window")
    return printWindow(find(args[1], false), args.size() == 3 ? args[2] : L"");
  if (args.size() == 2 && command == L"msgbox") {
    HWND box = find(args[1], true), text = GetDlgItem(box, 0xFFFF);
    return text && xid(box) ? print(std::to_wstring(xid(box)) + L"\n" + textOf(text)) : 1;
  }
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int code = run(std::vector<std::wstring>(argv + 1, argv + argc));
  if (code == 2) std::fputs("usage: probe <command> [title] [fact]; see probe.cpp\n", stderr);
  return code;
}

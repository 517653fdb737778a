// Reads the launcher's user interface the way assistive software does, from
// another process, and prints what it finds as UTF-8 for the end-to-end
// script. It runs under the same Wine prefix and server as the launcher.
//
//   probe acp                          the ANSI code page (932 for Japanese)
//   probe windows                      visible top-level windows: handle, pid, class, title, rectangle
//   probe count <title>                how many visible top-level windows have this title
//   probe msgbox <title>               the message text of a message box with this title
//   probe items <title>                the items of the window's first combo box (or else list
//                                      box), one a line
//   probe edits <title>                the texts of the window's edit boxes, one a line
//   probe tabs <title>                 the controls Tab visits from the first: class|text, one a line
//   probe enabled <title>              1 while the window takes input, 0 while it is disabled
//   probe controls <title>             the window's visible controls: class, text, "default" for the
//                                      default button; one a line, in creation order
//   probe text <title>                 the text in that combo box's edit field
//   probe dropped <title>              1 while that combo box's list is dropped down, else 0
//   probe focus <title>                "combo" when the keyboard focus is in that combo box, "Edit N"
//                                      in the window's N-th edit box, else the focused class
//   probe selection <title>            start and end of the selection in the edit field that has
//                                      the keyboard focus in that window
//   probe geometry <title>             x y width height of the window, screen pixels
//   probe client <title>               the same for the window's client area
//   probe drop-geometry <title>        the same for the combo box's dropped-down list
//   probe center <title> <caption>     screen centre of the button with this caption
//   probe name-field <title>           a screen point inside the combo box's edit field
//   probe close-box <title>            screen centre of the window's close box
//   probe wait-items <title> <count>   waits (up to 60 s) until the window is shown with this many
//                                      items in its combo box (0: just shown); prints the Unix time
//                                      in milliseconds when it was
//   probe xid <title>                  the X11 window behind the window
//   probe msgbox-xid <title>           the X11 window behind the message box
//   probe version <file>               the file's version as its properties show it: the file
//                                      version numbers, then the FileVersion and ProductVersion
//                                      texts, one a line
//
// <title> selects the launcher: a window with that title that is not a message
// box; the msgbox commands select the message box. Exit code 1 means the
// window or control was not there, 2 a usage error.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
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
void print(const std::string& line) {
  std::string out = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

std::wstring className(HWND hwnd) {
  wchar_t buffer[256] = {};
  int length = GetClassNameW(hwnd, buffer, 256);
  return std::wstring(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// WM_GETTEXT with a timeout, so that a hung window cannot hang the tests.
std::wstring windowText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &length)) return {};
  std::vector<wchar_t> buffer(length + 1);
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_ABORTIFHUNG, kTimeoutMs, &copied))
    return {};
  return std::wstring(buffer.data(), copied);
}

// Which top-level windows with the title a command means.
enum class Kind { Launcher, MessageBox, Any };

// A message box is a dialog-class window whose text sits in the static
// control numbered 0xFFFF. The launcher may itself be a dialog, so the class
// alone does not tell them apart.
bool isMessageBox(HWND hwnd) {
  return className(hwnd) == kDialogClass && GetDlgItem(hwnd, 0xFFFF) != nullptr;
}

struct TopLevelQuery {
  std::wstring title;
  Kind kind;
  std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND hwnd, LPARAM param) {
  auto* query = reinterpret_cast<TopLevelQuery*>(param);
  if (!IsWindowVisible(hwnd)) return TRUE;
  if (windowText(hwnd) != query->title) return TRUE;
  if (query->kind == Kind::Any || isMessageBox(hwnd) == (query->kind == Kind::MessageBox))
    query->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> topLevelWindows(const std::wstring& title, Kind kind) {
  TopLevelQuery query{title, kind, {}};
  EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND firstTopLevel(const std::wstring& title, Kind kind) {
  std::vector<HWND> found = topLevelWindows(title, kind);
  return found.empty() ? nullptr : found.front();
}

struct ChildQuery {
  std::wstring className;  // empty: any class
  std::wstring text;       // empty: any text
  bool matchText;
  HWND found;
};

// "&" marks a mnemonic in a button caption; the user sees the caption without it.
std::wstring withoutMnemonic(const std::wstring& text) {
  std::wstring result;
  for (wchar_t c : text)
    if (c != L'&') result += c;
  return result;
}

BOOL CALLBACK findChild(HWND hwnd, LPARAM param) {
  auto* query = reinterpret_cast<ChildQuery*>(param);
  if (!query->className.empty() && lstrcmpiW(className(hwnd).c_str(), query->className.c_str()) != 0)
    return TRUE;
  if (query->matchText && withoutMnemonic(windowText(hwnd)) != query->text) return TRUE;
  query->found = hwnd;
  return FALSE;
}

HWND child(HWND parent, const std::wstring& cls, const std::wstring& text, bool matchText) {
  if (!parent) return nullptr;
  ChildQuery query{cls, text, matchText, nullptr};
  EnumChildWindows(parent, findChild, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND launcherCombo(const std::wstring& title) {
  return child(firstTopLevel(title, Kind::Launcher), L"ComboBox", L"", false);
}

// The window's own edit boxes (not the one inside a combo box), in creation order.
std::vector<HWND> editBoxes(HWND window) {
  struct Collector {
    std::vector<HWND> found;
    static BOOL CALLBACK each(HWND hwnd, LPARAM param) {
      if (lstrcmpiW(className(hwnd).c_str(), L"Edit") == 0 &&
          lstrcmpiW(className(GetParent(hwnd)).c_str(), L"ComboBox") != 0)
        reinterpret_cast<Collector*>(param)->found.push_back(hwnd);
      return TRUE;
    }
  } collector;
  if (window) EnumChildWindows(window, Collector::each, reinterpret_cast<LPARAM>(&collector));
  return collector.found;
}

// Prints the items of a combo box or list box, one a line.
int printItems(HWND list, bool combo) {
  const UINT getCount = combo ? CB_GETCOUNT : LB_GETCOUNT;
  const UINT getLength = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  const UINT getText = combo ? CB_GETLBTEXT : LB_GETTEXT;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(list, getCount, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &count)) return 1;
  for (WPARAM i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(list, getLength, i, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &length)) return 1;
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(list, getText, i, reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                             kTimeoutMs, &copied))
      return 1;
    print(utf8(std::wstring(buffer.data(), copied)));
  }
  return 0;
}

std::string rectText(const RECT& r) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%ld %ld %ld %ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return buffer;
}

std::string hex(std::uintptr_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
  return buffer;
}

// The X11 window Wine's display driver keeps for a top-level window, so the
// script can address exactly this window with X tools.
int printXid(HWND hwnd) {
  if (!hwnd) return 1;
  auto xid = reinterpret_cast<std::uintptr_t>(GetPropW(hwnd, L"__wine_x11_whole_window"));
  if (!xid) return 1;
  print(std::to_string(xid));
  return 0;
}

int listWindows() {
  struct Lister {
    static BOOL CALLBACK each(HWND hwnd, LPARAM) {
      if (!IsWindowVisible(hwnd)) return TRUE;
      DWORD pid = 0;
      GetWindowThreadProcessId(hwnd, &pid);
      RECT r{};
      GetWindowRect(hwnd, &r);
      print(hex(reinterpret_cast<std::uintptr_t>(hwnd)) + " pid=" + std::to_string(pid) +
            " class=" + utf8(className(hwnd)) + " title=" + utf8(windowText(hwnd)) + " rect=" + rectText(r));
      return TRUE;
    }
  };
  EnumWindows(Lister::each, 0);
  return 0;
}

// What Windows reads from a program's version record, in the record's own
// first language.
int printVersion(const std::wstring& file) {
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), nullptr);
  std::vector<char> record(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, record.data()) ||
      !VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length))
    return 1;
  print(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
        std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
        std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
        std::to_string(LOWORD(fixed->dwFileVersionLS)));
  WORD* language = nullptr;
  if (!VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&language),
                      &length) ||
      length < 2 * sizeof(WORD))
    return 1;
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
  if (args.empty()) return 2;
  const std::wstring& command = args[0];
  if (command == L"acp") {
    print(std::to_string(GetACP()));
    return 0;
  }
  if (command == L"windows") return listWindows();
  if (args.size() < 2) return 2;
  if (command == L"version") return printVersion(args[1]);
  const std::wstring& title = args[1];

  if (command == L"wait-items" && args.size() >= 3) {
    // Polls in-process, so that the time is not that of starting a probe.
    const LRESULT wanted = _wtoi(args[2].c_str());
    for (ULONGLONG deadline = GetTickCount64() + 60000; GetTickCount64() < deadline; Sleep(1)) {
      HWND window = firstTopLevel(title, Kind::Launcher);
      if (!window) continue;
      HWND list = child(window, L"ComboBox", L"", false);
      DWORD_PTR count = 0;
      if (wanted > 0 &&
          !(list && SendMessageTimeoutW(list, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &count) &&
            static_cast<LRESULT>(count) == wanted))
        continue;
      FILETIME now;
      GetSystemTimePreciseAsFileTime(&now);
      ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
      print(std::to_string((ticks - 116444736000000000ULL) / 10000));  // Unix milliseconds
      return 0;
    }
    return 1;
  }
  if (command == L"count") {
    print(std::to_string(topLevelWindows(title, Kind::Any).size()));
    return 0;
  }
  if (command == L"msgbox") {
    HWND box = firstTopLevel(title, Kind::MessageBox);
    if (!box) return 1;
    // Message boxes keep their text in the static control numbered 0xFFFF.
    HWND text = GetDlgItem(box, 0xFFFF);
    if (!text) return 1;
    print(utf8(windowText(text)));
    return 0;
  }
  if (command == L"msgbox-xid") return printXid(firstTopLevel(title, Kind::MessageBox));
  if (command == L"xid") return printXid(firstTopLevel(title, Kind::Launcher));
  if (command == L"geometry") {
    HWND window = firstTopLevel(title, Kind::Launcher);
    RECT r{};
    if (!window || !GetWindowRect(window, &r)) return 1;
    print(rectText(r));
    return 0;
  }
  if (command == L"client") {
    // Where the window's content is, whether Wine or a window manager draws its frame.
    HWND window = firstTopLevel(title, Kind::Launcher);
    RECT r{};
    if (!window || !GetClientRect(window, &r)) return 1;
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    print(rectText(r));
    return 0;
  }

  if (command == L"close-box") {
    // Ask the window itself where its close box is, as the pointer would:
    // the frame may be drawn by Wine or by a window manager, with any metrics.
    HWND window = firstTopLevel(title, Kind::Launcher);
    RECT r{};
    if (!window || !GetWindowRect(window, &r)) return 1;
    auto hitsClose = [&](long x, long y) {
      DWORD_PTR hit = 0;
      return SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, kTimeoutMs,
                                 &hit) &&
             hit == HTCLOSE;
    };
    // Where the standard metrics put it; confirmed by a hit test.
    long frame = GetSystemMetrics(SM_CXSIZEFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER);
    long guessX = r.right - frame - GetSystemMetrics(SM_CXSIZE) / 2;
    long guessY = r.top + frame + GetSystemMetrics(SM_CYCAPTION) / 2;
    if (hitsClose(guessX, guessY)) {
      print(std::to_string(guessX) + " " + std::to_string(guessY));
      return 0;
    }
    // Otherwise search the top right corner on a coarse grid.
    long left = r.right, right = r.left - 1, top = r.bottom, bottom = r.top - 1;
    for (long y = r.top; y < r.top + 64 && y < r.bottom; y += 2) {
      for (long x = r.right - 1; x >= r.right - 128 && x >= r.left; x -= 2) {
        if (!hitsClose(x, y)) continue;
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    }
    if (right < left) return 1;
    print(std::to_string((left + right) / 2) + " " + std::to_string((top + bottom) / 2));
    return 0;
  }

  if (command == L"controls") {
    HWND window = firstTopLevel(title, Kind::Launcher);
    if (!window) return 1;
    struct Lister {
      static BOOL CALLBACK each(HWND hwnd, LPARAM) {
        if (!IsWindowVisible(hwnd)) return TRUE;
        std::wstring cls = className(hwnd);
        // The edit field inside the combo box is part of it.
        if (lstrcmpiW(cls.c_str(), L"Edit") == 0 &&
            lstrcmpiW(className(GetParent(hwnd)).c_str(), L"ComboBox") == 0)
          return TRUE;
        std::string line = utf8(cls) + "|" + utf8(withoutMnemonic(windowText(hwnd)));
        LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        if (lstrcmpiW(cls.c_str(), L"Button") == 0 && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
          line += "|default";
        print(line);
        return TRUE;
      }
    };
    EnumChildWindows(window, Lister::each, 0);
    return 0;
  }

  if (command == L"tabs") {
    // The controls Tab visits, from the first, as the dialog manager walks them.
    HWND window = firstTopLevel(title, Kind::Launcher);
    HWND first = window ? GetNextDlgTabItem(window, nullptr, FALSE) : nullptr;
    if (!first) return 1;
    HWND at = first;
    do {
      print(utf8(className(at)) + "|" + utf8(withoutMnemonic(windowText(at))));
      at = GetNextDlgTabItem(window, at, FALSE);
    } while (at && at != first);
    return 0;
  }
  if (command == L"edits") {
    HWND window = firstTopLevel(title, Kind::Launcher);
    if (!window) return 1;
    for (HWND edit : editBoxes(window)) print(utf8(windowText(edit)));
    return 0;
  }
  if (command == L"enabled") {
    HWND window = firstTopLevel(title, Kind::Launcher);
    if (!window) return 1;
    print(IsWindowEnabled(window) ? "1" : "0");
    return 0;
  }

  HWND combo = launcherCombo(title);
  if (command == L"name-field") {
    // A drop-down combo box's edit field fills it but for the arrow button
    // at its right end; a point a little in from the left edge is in the field.
    RECT r{};
    if (!combo || !GetWindowRect(combo, &r)) return 1;
    print(std::to_string(r.left + std::min(12L, (r.right - r.left) / 4)) + " " +
          std::to_string((r.top + r.bottom) / 2));
    return 0;
  }
  if (command == L"items") {
    if (combo) return printItems(combo, true);
    HWND list = child(firstTopLevel(title, Kind::Launcher), L"ListBox", L"", false);
    return list ? printItems(list, false) : 1;
  }
  if (command == L"text") {
    if (!combo) return 1;
    print(utf8(windowText(combo)));
    return 0;
  }
  if (command == L"dropped") {
    DWORD_PTR dropped = 0;
    if (!combo ||
        !SendMessageTimeoutW(combo, CB_GETDROPPEDSTATE, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &dropped))
      return 1;
    print(dropped ? "1" : "0");
    return 0;
  }
  if (command == L"drop-geometry") {
    // The dropped-down list is a top-level window of its own, owned by the
    // combo box's thread; its rectangle is what is on screen (the combo box's
    // own idea of the drop-down size may be taller than the items need).
    if (!combo) return 1;
    struct ListQuery {
      DWORD thread;
      HWND found;
      static BOOL CALLBACK each(HWND hwnd, LPARAM param) {
        auto* query = reinterpret_cast<ListQuery*>(param);
        if (!IsWindowVisible(hwnd) || className(hwnd) != L"ComboLBox" ||
            GetWindowThreadProcessId(hwnd, nullptr) != query->thread)
          return TRUE;
        query->found = hwnd;
        return FALSE;
      }
    } query{GetWindowThreadProcessId(combo, nullptr), nullptr};
    EnumWindows(ListQuery::each, reinterpret_cast<LPARAM>(&query));
    RECT r{};
    if (!query.found || !GetWindowRect(query.found, &r)) return 1;
    print(rectText(r));
    return 0;
  }
  if (command == L"focus") {
    HWND window = firstTopLevel(title, Kind::Launcher);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!window || !GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return 1;
    HWND focus = info.hwndFocus;
    if (combo && focus && (focus == combo || IsChild(combo, focus))) {
      print("combo");
      return 0;
    }
    std::vector<HWND> edits = editBoxes(window);
    auto edit = std::find(edits.begin(), edits.end(), focus);
    if (edit != edits.end()) {
      print("Edit " + std::to_string(edit - edits.begin() + 1));
      return 0;
    }
    print(focus ? utf8(className(focus)) : "none");
    return 0;
  }

  if (command == L"selection") {
    HWND window = firstTopLevel(title, Kind::Launcher);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    DWORD_PTR selection = 0;
    if (!window || !GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) || !info.hwndFocus ||
        !SendMessageTimeoutW(info.hwndFocus, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &selection))
      return 1;
    print(std::to_string(LOWORD(selection)) + " " + std::to_string(HIWORD(selection)));
    return 0;
  }

  if (args.size() < 3) return 2;
  const std::wstring& caption = args[2];
  if (command == L"center") {
    // Any window with the title may hold the button: the launcher or its
    // message box.
    for (HWND window : topLevelWindows(title, Kind::Any)) {
      HWND button = child(window, L"Button", caption, true);
      if (!button) continue;
      RECT r{};
      GetWindowRect(button, &r);
      print(std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2));
      return 0;
    }
    return 1;
  }
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  int code = run(args);
  if (code == 2) std::fputs("usage: probe <command> [title] [caption]; see probe.cpp\n", stderr);
  return code;
}

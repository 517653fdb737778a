// Checks of the Windows backend against a real Windows, or Wine: the DLL
// search, what pyxtern.exe asks of Windows, files replaced in one step and the
// error numbers their failures raise, the ANSI code page, profile strings, and
// forms built from their declarations with the events they raise. Run it with the system's code
// page set to 932 (under Wine: LANG=ja_JP.UTF-8):
//
//   wine build/win32/pyxtern_win32_test.exe
//
// Prints one line per failed check and a summary; exits 1 when any failed.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "forms/forms.h"
#include "platform/win32/win32_command_line.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_text.h"

namespace {

using pyx::Bytes;
using pyx::ControlRef;
using pyx::EventArgs;
using pyx::EventKind;
using pyx::FormId;
using pyx::Text;
using pyx::win32::fromWide;
using pyx::win32::wide;

int failures = 0;
int checks = 0;

// Seen from a timer while a modal window is up.
HWND modalOwner = nullptr;
bool ownerEnabledDuringModal = true;

void print(const std::string& line) {
  std::string out = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

void check(bool ok, const std::string& what) {
  ++checks;
  if (ok) return;
  ++failures;
  print("FAIL " + what);
}

// The runtime error number `body` raises, or 0.
int errorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const pyx::RuntimeError& error) {
    return error.number();
  }
  return 0;
}

void checkError(int expected, const std::function<void()>& body, const std::string& what) {
  int got = errorOf(body);
  check(got == expected, what + ": error " + std::to_string(got) + ", expected " + std::to_string(expected));
}

const char* kindName(EventKind kind) {
  static const char* const names[] = {"Load",        "Activate", "MouseMove",   "MouseDown",
                                      "QueryUnload", "Resize",   "Unload",      "Click",
                                      "KeyDown",     "Change",   "FileDropped", "OtherCopyStarted"};
  return names[static_cast<int>(kind)];
}

// Records every event as "form.control.Kind" (control empty for the form).
struct Recorder : pyx::EventSink {
  std::vector<std::string> events;
  std::vector<EventArgs> args;
  std::function<void(FormId, std::string_view, EventKind, EventArgs&)> onEvent;

  void raiseEvent(FormId form, std::string_view control, EventKind kind, EventArgs& a) override {
    events.push_back(std::string(pyx::formDeclaration(form).name) + "." + std::string(control) + "." +
                     kindName(kind));
    args.push_back(a);
    if (onEvent) onEvent(form, control, kind, a);
  }
  int count(const std::string& event) const {
    int n = 0;
    for (const std::string& e : events) n += e == event;
    return n;
  }
  void clear() {
    events.clear();
    args.clear();
  }
};

void pumpFor(DWORD milliseconds) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  } while (GetTickCount() - start < milliseconds);
}

Text windowText(HWND window) {
  wchar_t buffer[256] = {};
  int length = GetWindowTextW(window, buffer, 256);
  return fromWide(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::string utf8(const Text& text) {
  return pyx::toUtf8(text);
}

// ---------------------------------------------------------------- the DLL search

Text checksDirectory() {
  wchar_t path[MAX_PATH] = {};
  Text module = fromWide(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return module.substr(0, module.find_last_of(u'\\') + 1);
}

// A DLL planted beside the program and in the current folder loads by its
// bare name until the search is restricted, and not after; a system DLL not
// loaded yet (the input method's text services) still does.
void testDllSearch() {
  const wchar_t* const planted = L"pyxtern_planted.dll";
  const bool copied = CopyFileW(wide(checksDirectory() + u"pyxtern_planted.dll"), planted, TRUE) != 0;
  HMODULE module = LoadLibraryW(planted);
  check(module != nullptr, "a planted DLL loads by its bare name by default");
  if (module) FreeLibrary(module);
  pyx::win32::restrictDllSearch();
  module = LoadLibraryW(planted);
  check(module == nullptr, "a planted DLL is not loaded once the search is restricted");
  if (module) FreeLibrary(module);
  module = LoadLibraryW(L"msctf.dll");
  check(module != nullptr, "a system DLL still loads");
  if (module) FreeLibrary(module);
  if (copied) DeleteFileW(planted);
}

// ---------------------------------------------------------------- no windows

void testText(pyx::Win32Platform& platform) {
  check(pyx::win32::argumentsOf(u"\"C:\\Program Files\\p\\pyxtern.exe\"  1") == u"1", "quoted program token");
  check(pyx::win32::argumentsOf(u"pyxtern.exe C:\\a b.txt") == u"C:\\a b.txt", "bare program token");
  check(pyx::win32::argumentsOf(u"pyxtern.exe") == u"", "no arguments");
  check(platform.toUpper(u"calc") == u"CALC", "toUpper");
  Text windows = platform.windowsDirectory();
  check(!windows.empty() && windows.back() != u'\\',
        "windows directory without a trailing \\: " + utf8(windows));
  check(!platform.applicationDirectory().empty() && platform.applicationDirectory().back() != u'\\',
        "application directory without a trailing \\");
  check(platform.executableName() == u"pyxtern_win32_test",
        "executable name: " + utf8(platform.executableName()));
  check(platform.platformId() == 2, "the NT family");
  if (GetACP() != 932) {
    print("NOTE the ANSI code page is " + std::to_string(GetACP()) + ", not 932: code-page checks skipped");
    return;
  }
  check(platform.toAnsi(u"メモ帳") == "\x83\x81\x83\x82\x92\xa0", "メモ帳 in code page 932");
  check(platform.fromAnsi("\x83\x81\x83\x82\x92\xa0") == u"メモ帳", "code page 932 to メモ帳");
  check(platform.toAnsi(u"") == "" && platform.fromAnsi("") == u"", "empty text");
}

// What pyxtern.exe beside the checks asks of Windows: a random base anywhere
// in the address space, no code run from data, and on a Remote Desktop host
// the real Windows folder rather than a per-user one.
void testProgramImage(pyx::Win32Platform& platform) {
  constexpr WORD wanted = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA |
                          IMAGE_DLLCHARACTERISTICS_NX_COMPAT | IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE;
  Bytes image;
  checkError(
      0, [&] { image = platform.readFile(checksDirectory() + u"pyxtern.exe"); },
      "pyxtern.exe beside the checks");
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
  const bool complete = image.size() >= sizeof *dos && dos->e_lfanew > 0 &&
                        image.size() >= static_cast<std::size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + (complete ? dos->e_lfanew : 0));
  check(complete && (nt->OptionalHeader.DllCharacteristics & wanted) == wanted,
        "pyxtern.exe: random base, no code run from data, aware of Remote Desktop");
}

std::vector<Text> filesIn(const Text& directory) {
  std::vector<Text> names;
  WIN32_FIND_DATAW found;
  Text pattern = directory + u"\\*";
  HANDLE search = FindFirstFileW(wide(pattern), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    Text name = fromWide(found.cFileName);
    if (name != u"." && name != u"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

void testFiles(pyx::Win32Platform& platform) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  Text dir = fromWide(temp) + u"pyx-selftest-" + pyx::decimal(GetCurrentProcessId());
  CreateDirectoryW(wide(dir), nullptr);
  Text file = dir + u"\\pyxtern.txt";

  checkError(
      53, [&] { platform.readFile(file); }, "reading a missing file");
  checkError(
      76, [&] { platform.readFile(dir + u"\\no such folder\\pyxtern.txt"); }, "reading in a missing folder");
  checkError(
      76, [&] { platform.replaceFile(dir + u"\\no such folder\\pyxtern.txt", "x"); },
      "writing in a missing folder");
  checkError(
      53, [&] { platform.deleteFile(file); }, "deleting a missing file");
  checkError(
      53, [&] { platform.fileAttributes(file); }, "attributes of a missing file");
  check(!platform.findNormalFile(file), "a missing file is not found");

  platform.replaceFile(file, "first\r\n");
  check(platform.readFile(file) == "first\r\n", "a new file holds what was written");
  platform.replaceFile(file, "second\r\n");
  check(platform.readFile(file) == "second\r\n", "a replaced file holds the new content");
  check(filesIn(dir) == std::vector<Text>{u"pyxtern.txt"}, "no temporary file is left behind");
  // What a write killed half-way leaves, even marked read-only, is reused.
  platform.replaceFile(file + u".tmp", "leftover of an interrupted write");
  platform.setFileAttributes(file + u".tmp", pyx::attr::ReadOnly);
  platform.replaceFile(file, "second\r\n");
  check(filesIn(dir) == std::vector<Text>{u"pyxtern.txt"}, "a leftover temporary file is reused");
  check(platform.findNormalFile(file), "a normal file is found");

  platform.setFileAttributes(file, pyx::attr::ReadOnly);
  // Wine reports every file as archived; only the other attributes tell.
  const std::uint32_t noArchive = ~pyx::attr::Archive;
  check((platform.fileAttributes(file) & noArchive) == pyx::attr::ReadOnly, "read-only attribute");
  checkError(
      75, [&] { platform.deleteFile(file); }, "deleting a read-only file");
  checkError(
      75, [&] { platform.replaceFile(file, "third\r\n"); }, "replacing a read-only file");
  check(platform.readFile(file) == "second\r\n", "a failed replace leaves the file unchanged");
  check(filesIn(dir) == std::vector<Text>{u"pyxtern.txt"}, "a failed replace leaves no temporary file");
  platform.setFileAttributes(file, pyx::attr::Hidden);
  check(!platform.findNormalFile(file), "a hidden file is not found");
  platform.setFileAttributes(file, pyx::attr::Normal);
  check((platform.fileAttributes(file) & noArchive) == 0, "normal attributes");
  check(!platform.findNormalFile(dir), "a folder is not found as a file");

  {
    HANDLE locked =
        CreateFileW(wide(file), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    checkError(
        70, [&] { platform.readFile(file); }, "reading a file another program holds locked");
    char value[8] = {};
    check(platform.getPrivateProfileString("s", "k", "dflt", value, sizeof value, file) == 4,
          "a settings file another program holds locked reads as missing");
    CloseHandle(locked);
  }

  // The settings file in a folder whose name the code page cannot hold.
  const Text cafe = dir + u"\\café";
  CreateDirectoryW(wide(cafe), nullptr);
  const Text ini = cafe + u"\\Tesmora.ini";
  platform.writePrivateProfileString("Start", "Key", "80", ini);
  char buffer[64] = {};
  std::uint32_t copied = platform.getPrivateProfileString("Start", "Key", "", buffer, sizeof buffer, ini);
  check(copied == 2 && std::string(buffer) == "80", "profile string written and read back");
  copied = platform.getPrivateProfileString("Start", "None", "dflt", buffer, sizeof buffer, ini);
  check(copied == 4 && std::string(buffer) == "dflt", "missing profile string gives the default");
  check(errorOf([&] {
          platform.writePrivateProfileString("Start", "Key", "1", dir + u"\\no such folder\\Tesmora.ini");
        }) != 0,
        "a profile string that cannot be written raises an error");

  platform.deleteFile(ini);
  RemoveDirectoryW(wide(cafe));
  platform.deleteFile(file);
  check(filesIn(dir).empty(), "files deleted");
  RemoveDirectoryW(wide(dir));

  checkError(
      53, [&] { platform.startProcess(u"C:\\no such folder\\nothing.exe", u"", u"C:\\no such folder", 1); },
      "starting a missing program");
  check(platform.expandEnvironment(u"%windir%\\a %NO_SUCH_NAME% 100%") ==
            platform.windowsDirectory() + u"\\a %NO_SUCH_NAME% 100%",
        "variables expanded, an undefined one kept");
}

// ---------------------------------------------------------------- forms

HWND firstTabStop(HWND form) {
  return GetNextDlgTabItem(form, nullptr, FALSE);
}

void testLauncher(pyx::Win32Platform& platform, Recorder& events) {
  const FormId launcher = FormId::frmPyxtern;
  checkError(
      0, [&] { platform.loadForm(launcher); }, "loading the launcher");
  check(events.events == std::vector<std::string>{"frmPyxtern..Load"}, "Load is the first event");
  HWND hwnd = reinterpret_cast<HWND>(platform.formHandle(launcher));
  check(hwnd && !IsWindowVisible(hwnd), "loaded hidden");
  check(windowText(hwnd) == u"ぴくせるん", "caption");
  check(platform.formWidth(launcher) == 5940 && platform.formHeight(launcher) == 2040,
        "outer size of the declared client area: " + std::to_string(platform.formWidth(launcher)) + " x " +
            std::to_string(platform.formHeight(launcher)));
  RECT client{};
  GetClientRect(hwnd, &client);
  UINT dpi = pyx::win32::windowDpi(hwnd);
  check(client.right == MulDiv(5820, static_cast<int>(dpi), 1440) &&
            client.bottom == MulDiv(1635, static_cast<int>(dpi), 1440),
        "client area in pixels");
  check(platform.twipsPerPixelX() == 1440 / static_cast<int>(dpi), "twips per pixel");

  platform.setFormWidth(launcher, 9000);
  check(platform.formWidth(launcher) <= 5940, "the launcher does not grow beyond its layout");
  platform.setFormWidth(launcher, 4000);
  check(std::abs(platform.formWidth(launcher) - 4000) < 30, "narrower");
  platform.setFormWidth(launcher, 5940);
  check(platform.formWidth(launcher) == 5940, "back to the declared width");

  // The declared default button and tab order.
  LRESULT def = SendMessageW(hwnd, DM_GETDEFID, 0, 0);
  check(HIWORD(def) == DC_HASDEFID && windowText(GetDlgItem(hwnd, LOWORD(def))) == u"ＯＫ",
        "default button ＯＫ");
  wchar_t cls[32] = {};
  GetClassNameW(firstTabStop(hwnd), cls, 32);
  check(lstrcmpiW(cls, L"ComboBox") == 0, "the name field is the first tab stop");
  platform.setTabIndex({launcher, "cmdTork"}, 0);
  check(windowText(firstTabStop(hwnd)) == u"登録", "a new tab index moves the control to the front");
  platform.setTabIndex({launcher, "cmdTork"}, 4);
  GetClassNameW(firstTabStop(hwnd), cls, 32);
  check(lstrcmpiW(cls, L"ComboBox") == 0, "and back");
  platform.setDefaultButton({launcher, "cmdTork"});
  def = SendMessageW(hwnd, DM_GETDEFID, 0, 0);
  check(windowText(GetDlgItem(hwnd, LOWORD(def))) == u"登録", "a new default button");
  platform.setDefaultButton({launcher, "cmdOK"});

  // The name list.
  ControlRef names{launcher, "cmbFileName"};
  HWND combo = FindWindowExW(hwnd, nullptr, L"ComboBox", nullptr);
  auto comboItems = [&] {
    Text all;
    for (LRESULT i = 0, n = SendMessageW(combo, CB_GETCOUNT, 0, 0); i < n; ++i) {
      wchar_t item[64] = {};
      SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
      all += fromWide(item) + u"|";
    }
    return all;
  };
  // Each item is marked before an update: a fill anew drops the marks, an
  // update by difference keeps those of the items it leaves alone.
  auto markItems = [&] {
    for (LRESULT i = 0, n = SendMessageW(combo, CB_GETCOUNT, 0, 0); i < n; ++i)
      SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(i), 1);
  };
  auto markedItems = [&] {
    int marked = 0;
    for (LRESULT i = 0, n = SendMessageW(combo, CB_GETCOUNT, 0, 0); i < n; ++i)
      marked += SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == 1;
    return marked;
  };
  platform.setListItems(names, {u"abc", u"メモ帳", u"xyz"});
  platform.setControlText(names, u"メモ");
  check(platform.controlText(names) == u"メモ" && platform.listIndex(names) == -1, "name field text");
  const struct {
    std::vector<pyx::TextView> items;
    Text shown;
    int kept;
    const char* what;
  } updates[] = {
      {{u"abc", u"メモ帳", u"xyz"}, u"abc|メモ帳|xyz|", 3, "the same list, left alone"},
      {{u"xyz", u"abc", u"メモ帳"}, u"xyz|abc|メモ帳|", 2, "an item moved to the top"},
      {{u"xyz", u"abd", u"メモ帳"}, u"xyz|abd|メモ帳|", 0, "one item changed: filled anew"},
      {{u"メモ帳", u"xyz", u"abd"}, u"メモ帳|xyz|abd|", 2, "the last item moved to the top"},
      {{u"abd", u"メモ帳", u"xyz"}, u"abd|メモ帳|xyz|", 2, "and the next launch's"},
      {{u"abd", u"xyz", u"メモ帳"}, u"abd|xyz|メモ帳|", 0, "two items swapped below the top: filled anew"},
      {{u"q", u"abc"}, u"q|abc|", 0, "a shorter list filled anew"},
      {{}, u"", 0, "an empty list"},
  };
  for (const auto& update : updates) {
    markItems();
    platform.setControlText(names, u"メモ");
    platform.setListItems(names, update.items);
    check(comboItems() == update.shown && markedItems() == update.kept, update.what);
    check(platform.controlText(names).empty() && platform.listIndex(names) == -1,
          std::string(update.what) + ": the field emptied, nothing selected");
  }

  checkError(
      5, [&] { platform.setFocus(names); }, "focus on a hidden form");

  events.clear();
  platform.showForm(launcher, false);
  pumpFor(500);
  check(IsWindowVisible(hwnd), "shown");
  check(events.count("frmPyxtern..Activate") == 1, "one Activate on the first show");
  check(events.count("frmPyxtern..Resize") >= 1, "Resize on the first show");
  checkError(
      0, [&] { platform.setFocus(names); }, "focus on the name field");

  // A DPI change no screen can have, posted by anyone, is not believed.
  const std::int32_t twipsPerPixel = platform.twipsPerPixelX();
  PostMessageW(hwnd, WM_DPICHANGED, 0, 0);
  pumpFor(100);
  check(IsWindow(hwnd) && platform.twipsPerPixelX() == twipsPerPixel, "a DPI change to 0 is ignored");

  // A message box closing hands the activation back: not an Activate.
  events.clear();
  SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND box = FindWindowW(L"#32770", L"selftest");
    if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  int answer = platform.messageBox(u"closes itself", pyx::mb::OkOnly, u"selftest");
  pumpFor(500);
  check(answer == pyx::mb::ResultOk, "message box answer");
  check(events.count("frmPyxtern..Activate") == 0, "closing a message box is not an activation");

  // Escape is not a command; the tray's clicks come as mouse moves.
  SendMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
  check(platform.isFormLoaded(launcher), "Escape closes nothing");
  events.clear();
  SendMessageW(hwnd, WM_APP + 1, 1, WM_MOUSEMOVE);
  check(events.events.empty(), "a mouse move over the tray icon raises nothing");
  SendMessageW(hwnd, WM_APP + 1, 1, WM_RBUTTONDOWN);
  check(events.count("frmPyxtern..MouseMove") == 1 &&
            events.args.back().x == static_cast<float>(WM_RBUTTONDOWN * platform.twipsPerPixelX()),
        "a right click on the tray icon as the program decodes it");

  // Another copy's command line, marked as ours, is raised once its sender has gone on.
  const wchar_t handed[] = L"\"C:\\a b.txt\"";
  for (ULONG_PTR marker : {ULONG_PTR{0x1234}, ULONG_PTR{0x70797868}}) {
    COPYDATASTRUCT data{marker, sizeof handed - sizeof(wchar_t), const_cast<wchar_t*>(handed)};
    LRESULT taken = SendMessageW(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    check(taken == (marker == 0x70797868), "a handover is taken only with its marker");
  }
  check(events.count("frmPyxtern..OtherCopyStarted") == 0, "raised only after the sender has its answer");
  pumpFor(100);
  check(events.count("frmPyxtern..OtherCopyStarted") == 1 && events.args.back().text == u"\"C:\\a b.txt\"",
        "a handed-over command line");

  // The window hook sees messages first and passes them on.
  int seen = 0;
  std::intptr_t previous = 0;
  previous = platform.hookWindowProc(platform.formHandle(launcher), [&](std::intptr_t h, std::uint32_t m,
                                                                        std::uintptr_t w, std::intptr_t l) {
    if (m == WM_APP + 9) ++seen;
    return platform.callWindowProc(previous, h, m, w, l);
  });
  SendMessageW(hwnd, WM_APP + 9, 0, 0);
  check(seen == 1, "the hook sees a message");
  LRESULT font = SendMessageW(hwnd, WM_GETFONT, 0, 0);
  check(font != 0, "and passes the others on");
  platform.restoreWindowProc(platform.formHandle(launcher), previous);
  SendMessageW(hwnd, WM_APP + 9, 0, 0);
  check(seen == 1, "no hook after restoring the procedure");

  // A modal window: the launcher is disabled meanwhile, and activated again after.
  events.clear();
  modalOwner = hwnd;
  SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    ownerEnabledDuringModal = IsWindowEnabled(modalOwner);
    HWND tork = FindWindowW(nullptr, L"登録");
    if (tork) PostMessageW(tork, WM_CLOSE, 0, 0);
  });
  platform.showForm(FormId::frmTork, true);
  pumpFor(500);
  check(!ownerEnabledDuringModal, "the launcher is disabled while the modal window is up");
  check(!platform.isFormLoaded(FormId::frmTork), "the modal form closed");
  check(events.count("frmTork..QueryUnload") == 1 && events.count("frmTork..Unload") == 1,
        "closing raises QueryUnload and Unload");
  check(IsWindowEnabled(hwnd), "the launcher is enabled again");
  check(events.count("frmPyxtern..Activate") == 1, "coming back from a modal window is an activation");
}

void testSettings(pyx::Win32Platform& platform, Recorder& events) {
  const FormId settings = FormId::frmSetPgm;
  platform.loadForm(settings);
  HWND hwnd = reinterpret_cast<HWND>(platform.formHandle(settings));
  ControlRef ie{settings, "optType", 0}, explorer{settings, "optType", 1};
  platform.setOptionValue(explorer, true);
  check(!platform.optionValue(ie) && platform.optionValue(explorer), "one option chosen");
  platform.setOptionValue(ie, true);
  check(platform.optionValue(ie) && !platform.optionValue(explorer), "the other option chosen");

  // Key-down in a text box, and a key the handler swallows.
  HWND hotkey = firstTabStop(hwnd);
  check(windowText(hotkey) == u"Text1", "the first hotkey box is the first tab stop");
  events.clear();
  SendMessageW(hotkey, WM_KEYDOWN, 'A', 0);
  check(events.count("frmSetPgm.txtHotKey_Def.KeyDown") == 1 && events.args.back().index == 0 &&
            events.args.back().keyCode == 'A',
        "KeyDown with the key code and the array index");
  events.onEvent = [](FormId, std::string_view, EventKind kind, EventArgs& a) {
    if (kind == EventKind::KeyDown) a.keyCode = 0;
  };
  SetWindowTextW(hotkey, L"");
  PostMessageW(hotkey, WM_CHAR, 'a', 0);
  SendMessageW(hotkey, WM_KEYDOWN, 'A', 0);
  pumpFor(100);
  events.onEvent = nullptr;
  check(windowText(hotkey).empty(), "a swallowed key types nothing");

  events.clear();
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  check(events.events == std::vector<std::string>{"frmSetPgm..QueryUnload", "frmSetPgm..Unload"},
        "the close box unloads the form");
  check(!platform.isFormLoaded(settings), "unloaded");
}

}  // namespace

int wmain() {
  testDllSearch();  // first, as the program restricts the search before anything else
  HINSTANCE instance = GetModuleHandleW(nullptr);
  {
    pyx::Win32Platform platform(instance);
    Recorder events;
    platform.setEventSink(&events);
    testText(platform);
    testProgramImage(platform);
    testFiles(platform);
    testLauncher(platform, events);
    testSettings(platform, events);
    platform.unloadForm(FormId::frmPyxtern);
    MSG quit;
    check(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0,
          "the last unload ends the message loop");
    platform.setEventSink(nullptr);
  }
  print(std::to_string(checks - failures) + " of " + std::to_string(checks) + " checks passed");
  return failures ? 1 : 0;
}

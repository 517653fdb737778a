// The one contract between the program's logic and the desktop it runs on.
// The core reaches windows, dialogs, files, profile strings, atoms, hotkeys,
// the tray and process start only through this interface; each backend
// (the simulated desktop, Win32) implements all of it.
//
// Conventions:
// - Text is UTF-16 (core/text.h); Bytes are in the system's ANSI code page.
// - Sizes and positions of windows are in twips (1/1440 inch).
// - A call that fails in a way the user can cause throws RuntimeError with the
//   number the platform's runtime would raise (53 file not found, 61 disk full,
//   70 permission denied, 75 path/file access error, ...).
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "core/vb_error.h"

namespace pyx {

enum class FormId { frmPyxtern, frmTork, frmSetPgm };

// A control of a form by its declared name; `index` selects an element of a
// control array (-1 for a plain control).
struct ControlRef {
  FormId form;
  std::string_view name;
  std::int16_t index = -1;
};

enum class WindowState : std::int16_t { Normal = 0, Minimized = 1, Maximized = 2 };

enum class EventKind {
  Load,
  Activate,
  MouseMove,
  MouseDown,
  QueryUnload,
  Resize,
  Unload,
  Click,
  KeyDown,
  Change,
  FileDropped,      // a file or folder dropped on the form; args.text is its path
  OtherCopyStarted  // the program was started again; args.text is that copy's command line
};

// Arguments of a window event. Key-down handlers may set keyCode and shift
// to 0 to swallow the key.
struct EventArgs {
  std::int16_t button = 0;  // mouse: 1 left, 2 right, 4 middle
  std::int16_t shift = 0;   // 1 Shift, 2 Ctrl, 4 Alt
  float x = 0;              // twips
  float y = 0;
  std::int16_t keyCode = 0;
  std::int16_t index = -1;  // control-array index of the control that raised it
  Text text;
};

// The receiver of window events; the application implements it and every
// backend raises its events through it.
class EventSink {
 public:
  virtual ~EventSink() = default;
  // `control` is empty for events of the form itself.
  virtual void raiseEvent(FormId form, std::string_view control, EventKind kind, EventArgs& args) = 0;
};

// Message-box button and icon codes, and results, as the platform numbers them.
namespace mb {
inline constexpr std::int32_t OkOnly = 0;
inline constexpr std::int32_t OkCancel = 1;
inline constexpr std::int32_t Critical = 16;
inline constexpr std::int32_t Exclamation = 48;
inline constexpr std::int32_t ResultOk = 1;
inline constexpr std::int32_t ResultCancel = 2;
}  // namespace mb

// File dialog flags, as the platform numbers them.
namespace fd {
inline constexpr std::int32_t FileMustExist = 4096;
}  // namespace fd

struct FileDialogRequest {
  Text filter;  // "description|pattern|description|pattern"
  std::int16_t filterIndex = 1;
  std::int32_t flags = 0;  // fd:: flags
};

// File attributes as the platform numbers them.
namespace attr {
inline constexpr std::uint32_t Normal = 0;
inline constexpr std::uint32_t ReadOnly = 1;
inline constexpr std::uint32_t Hidden = 2;
inline constexpr std::uint32_t System = 4;
inline constexpr std::uint32_t Directory = 16;
inline constexpr std::uint32_t Archive = 32;
}  // namespace attr

// The notification-icon record, filled once and passed unchanged to every
// tray call.
struct TrayRecord {
  std::uint32_t cbSize = 0;
  std::intptr_t hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  std::intptr_t hIcon = 0;
  Text szTip;  // up to 63 characters are shown
};

namespace tray {
inline constexpr std::uint32_t Add = 0;
inline constexpr std::uint32_t Modify = 1;
inline constexpr std::uint32_t Delete = 2;
}  // namespace tray

// A replacement window procedure: receives every message of a window.
using WindowProcHook = std::function<std::intptr_t(std::intptr_t hwnd, std::uint32_t message,
                                                   std::uintptr_t wParam, std::intptr_t lParam)>;

// The one temporary file beside `path` that a replacement goes through.
inline Text temporaryFileFor(const Text& path) {
  return path + u".tmp";
}

class Platform {
 public:
  virtual ~Platform() = default;

  virtual void setEventSink(EventSink* sink) = 0;

  // --- Forms (built from their declarations in forms/) ---
  // Creates the form's window, hidden, and raises its load event.
  virtual void loadForm(FormId form) = 0;
  // Shows a loaded form (loading it first when needed). A modal show returns
  // once the form has been unloaded.
  virtual void showForm(FormId form, bool modal) = 0;
  // Raises query-unload and unload, then destroys the window. Does nothing for
  // a form that is not loaded.
  virtual void unloadForm(FormId form) = 0;
  virtual bool isFormLoaded(FormId form) const = 0;
  virtual bool isFormVisible(FormId form) const = 0;
  virtual void setFormVisible(FormId form, bool visible) = 0;
  virtual WindowState formWindowState(FormId form) const = 0;
  virtual void setFormWindowState(FormId form, WindowState state) = 0;
  virtual std::int32_t formWidth(FormId form) const = 0;  // outer size, twips
  virtual std::int32_t formHeight(FormId form) const = 0;
  virtual void setFormWidth(FormId form, std::int32_t twips) = 0;
  virtual void setFormHeight(FormId form, std::int32_t twips) = 0;
  virtual std::intptr_t formHandle(FormId form) const = 0;
  virtual std::intptr_t formIconHandle(FormId form) const = 0;
  virtual std::int32_t twipsPerPixelX() const = 0;
  // Brings a shown form to the front and activates it, restoring it first
  // when it is minimised.
  virtual void bringFormToFront(FormId form) = 0;
  // Moves the form onto the monitor under the pointer when it is on another
  // one, wholly inside that monitor's work area (see placeOnPointerMonitor).
  virtual void moveFormToPointerMonitor(FormId form) = 0;
  // Pops the named menu up at the pointer; returns when the menu has closed.
  virtual void popupMenu(FormId form, std::string_view menu) = 0;

  // --- Controls ---
  virtual Text controlText(ControlRef control) const = 0;
  virtual void setControlText(ControlRef control, const Text& text) = 0;
  // Makes a list or combo box hold `items`, with no selection; a combo box's
  // edit field is emptied too.
  virtual void setListItems(ControlRef control, const std::vector<TextView>& items) = 0;
  virtual std::int32_t listIndex(ControlRef control) const = 0;  // -1: no selection
  // Raises error 5 when the control cannot take the focus (disabled, hidden).
  virtual void setFocus(ControlRef control) = 0;
  virtual void setEnabled(ControlRef control, bool enabled) = 0;
  virtual void setDefaultButton(ControlRef button) = 0;
  // Gives the control a tab stop and its place in the tab order.
  virtual void setTabIndex(ControlRef control, std::int16_t tabIndex) = 0;
  virtual void setMenuVisible(ControlRef menu, bool visible) = 0;
  virtual bool optionValue(ControlRef option) const = 0;
  virtual void setOptionValue(ControlRef option, bool selected) = 0;

  // --- Dialogs ---
  virtual std::int32_t messageBox(const Text& prompt, std::int32_t buttonsAndIcon, const Text& title) = 0;
  // Shows the file-open dialog of `dialog`; returns the chosen full path, or
  // empty text when the user cancelled.
  virtual Text fileOpenDialog(ControlRef dialog, const FileDialogRequest& request) = 0;

  // --- Program and system ---
  virtual Text applicationDirectory() const = 0;  // without a trailing "\"
  virtual Text executableName() const = 0;        // file name without extension
  virtual Text applicationTitle() const = 0;
  virtual Text commandLine() const = 0;       // arguments only
  virtual bool previousInstance() const = 0;  // another copy already runs
  // Hands this copy's command line to the copy already running on this
  // desktop, which raises OtherCopyStarted on its launcher window. False when
  // no running copy took it.
  virtual bool handOverToRunningCopy(const Text& commandLine) = 0;
  // The platform identifier of the version record: 2 for the NT family,
  // 1 for 95/98/Me. Throws when the version cannot be read.
  virtual std::int32_t platformId() const = 0;
  virtual Text windowsDirectory() const = 0;  // without a trailing "\"
  virtual Text systemDirectory() const = 0;
  virtual Text toUpper(const Text& text) const = 0;
  // `text` with each %NAME% of a defined environment variable replaced by its
  // value, as the system expands them; an undefined name stays as written.
  virtual Text expandEnvironment(const Text& text) const = 0;

  // --- Code page (the system's ANSI code page) ---
  virtual Bytes toAnsi(const Text& text) const = 0;
  virtual Text fromAnsi(const Bytes& bytes) const = 0;

  // --- Files (paths as the program builds them, with "\" separators) ---
  // True when the path names a file that a search for normal files lists: not
  // a directory, not hidden, not system.
  virtual bool findNormalFile(const Text& path) = 0;
  virtual std::uint32_t fileAttributes(const Text& path) = 0;
  virtual void setFileAttributes(const Text& path, std::uint32_t attributes) = 0;
  virtual Bytes readFile(const Text& path) = 0;
  // Replaces (or creates) the file with `content` in one step: after a
  // failure the previous file is still there, unchanged. The content is
  // written to temporaryFileFor(path) first, overwriting what an interrupted
  // write left there.
  virtual void replaceFile(const Text& path, const Bytes& content) = 0;
  virtual void deleteFile(const Text& path) = 0;

  // --- Profile strings (section, key and values in the ANSI code page, as the
  // platform's own functions take them; the file by its path, which the code
  // page may not be able to hold) ---
  // Copies the value (or `defaultValue`) into `buffer` of `size` bytes,
  // NUL-terminated; returns the bytes copied without the NUL. A file that
  // cannot be read counts as missing.
  virtual std::uint32_t getPrivateProfileString(const Bytes& section, const Bytes& key,
                                                const Bytes& defaultValue, char* buffer, std::uint32_t size,
                                                const Text& file) = 0;
  // Throws RuntimeError when the file could not be written.
  virtual void writePrivateProfileString(const Bytes& section, const Bytes& key, const Bytes& value,
                                         const Text& file) = 0;

  // --- Atoms, hotkeys, the window hook, the tray ---
  virtual std::uint16_t globalAddAtom(const Text& name) = 0;
  virtual void globalDeleteAtom(std::uint16_t atom) = 0;
  virtual bool registerHotKey(std::intptr_t hwnd, std::int32_t id, std::uint32_t modifiers,
                              std::uint32_t virtualKey) = 0;
  virtual bool unregisterHotKey(std::intptr_t hwnd, std::int32_t id) = 0;
  // Puts `hook` in front of the window's procedure; returns the previous
  // procedure, to be called with callWindowProc and restored with
  // restoreWindowProc.
  virtual std::intptr_t hookWindowProc(std::intptr_t hwnd, WindowProcHook hook) = 0;
  virtual void restoreWindowProc(std::intptr_t hwnd, std::intptr_t previous) = 0;
  virtual std::intptr_t callWindowProc(std::intptr_t previous, std::intptr_t hwnd, std::uint32_t message,
                                       std::uintptr_t wParam, std::intptr_t lParam) = 0;
  virtual bool shellNotifyIcon(std::uint32_t operation, const TrayRecord& record) = 0;

  // --- Starting things ---
  // Does `operation` ("open" a document with its associated program; "runas"
  // starts a program as administrator, after the system's prompt). Failures,
  // a refused prompt among them, are not raised.
  virtual std::intptr_t shellExecute(std::intptr_t hwnd, const Text& operation, const Text& file,
                                     const Text& parameters, const Text& directory,
                                     std::int32_t showCommand) = 0;
  // Starts `program` with `arguments` in `directory` and a window of
  // `windowStyle` (1: normal, activated) without waiting. The program is taken
  // as a whole, never guessed by cutting at a space. Raises 53 when it cannot
  // be started.
  virtual void startProcess(const Text& program, const Text& arguments, const Text& directory,
                            std::int16_t windowStyle) = 0;
};

}  // namespace pyx

// Forms, controls, events and the message loop of the Windows backend.
//
// A form is a top-level window of our own class whose default procedure is
// the dialog manager's (DefDlgProc): Tab order, Enter on the default button,
// the default button following the focus and the focus coming back when the
// window is activated again are then the system's own behaviour, exactly as
// in any dialog box, and key handling is never reinvented here.
#include <windows.h>

// after windows.h, which they build on
#include <commctrl.h>
#include <commdlg.h>
#include <imm.h>

#include <algorithm>
#include <stdexcept>

#include "core/error_trap.h"
#include "platform/win32/resource.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace pyx {

using win32::fromWide;
using win32::twipsToPixels;
using win32::wide;

namespace {

constexpr UINT kFirstControlId = 1000;  // above IDOK, IDCANCEL and the other dialog-manager commands
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kActivateMessage = WM_APP + 2;
constexpr UINT kResizeMessage = WM_APP + 3;

// The outer size of a form is reported as a classic frame measures it, so
// that size limits written in twips mean the same whatever the theme's
// borders are.
constexpr std::int32_t kFrameWidthTwips = 120;
constexpr std::int32_t kFrameHeightTwips = 405;

DWORD formStyle(const FormDecl& decl) {
  if (decl.sizeable) return WS_OVERLAPPEDWINDOW;
  return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
}

DWORD formExStyle(const FormDecl& decl) {
  return decl.sizeable ? WS_EX_APPWINDOW : WS_EX_DLGMODALFRAME;
}

std::int16_t shiftState() {
  std::int16_t shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

void setStyleBits(HWND window, LONG_PTR bits, bool on) {
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  LONG_PTR changed = on ? (style | bits) : (style & ~bits);
  if (changed != style) SetWindowLongPtrW(window, GWL_STYLE, changed);
}

RECT primaryWorkArea() {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  HMONITOR monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  if (monitor && GetMonitorInfoW(monitor, &info)) return info.rcWork;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

Text asciiText(std::string_view text) {
  return fromUtf8(text);
}

}  // namespace

// ---------------------------------------------------------------- set-up

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {
  // One launcher per session: a second copy sees the name taken and ends.
  instanceMutex_ = CreateMutexW(nullptr, FALSE, L"Local\\pyxtern.single-instance");
  previousInstance_ = instanceMutex_ && GetLastError() == ERROR_ALREADY_EXISTS;

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  icon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PYXTERN), IMAGE_ICON,
                                        GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  smallIcon_ =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PYXTERN), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  registerFormClasses();
}

Win32Platform::~Win32Platform() {
  sink_ = nullptr;  // the program is gone; windows close without events
  for (std::size_t i = 0; i < forms_.size(); ++i) {
    if (Form* form = forms_[i].get()) {
      form->unloading = true;
      DestroyWindow(form->hwnd);
      forgetForm(form->id);
    }
  }
  if (trayShown_) Shell_NotifyIconW(NIM_DELETE, &tray_);
  if (icon_) DestroyIcon(icon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
  UnregisterClassW(kFormClass, instance_);
  UnregisterClassW(kDialogClass, instance_);
  if (instanceMutex_) CloseHandle(instanceMutex_);
}

void Win32Platform::registerFormClasses() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = formProc;
  wc.cbWndExtra = DLGWINDOWEXTRA;  // room for the dialog manager's own data
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  // Dialog-like forms show no icon in their caption, which takes a class
  // without one: the system falls back to the class icon otherwise.
  wc.lpszClassName = kDialogClass;
  RegisterClassExW(&wc);
  wc.hIcon = icon_;
  wc.hIconSm = smallIcon_;
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
}

// ---------------------------------------------------------------- lookup

Win32Platform::Form& Win32Platform::loaded(FormId id) const {
  Form* form = find(id);
  if (!form) throw std::logic_error("form " + std::string(formDeclaration(id).name) + " is not loaded");
  return *form;
}

Win32Platform::Form* Win32Platform::formOfWindow(HWND hwnd) const {
  if (!hwnd) return nullptr;
  for (const auto& form : forms_)
    if (form && form->hwnd == hwnd) return form.get();
  return nullptr;
}

const Win32Platform::Control* Win32Platform::findControl(const Form& form, std::string_view name,
                                                         std::int16_t index) const {
  for (const Control& control : form.controls)
    if (control.decl->name == name && control.decl->index == index) return &control;
  return nullptr;
}

const Win32Platform::Control& Win32Platform::control(ControlRef ref) const {
  const Control* found = findControl(loaded(ref.form), ref.name, ref.index);
  if (!found)
    throw std::logic_error("no control " + std::string(ref.name) + " on " +
                           std::string(formDeclaration(ref.form).name));
  return *found;
}

const Win32Platform::Control& Win32Platform::window(ControlRef ref) const {
  const Control& found = control(ref);
  if (!found.hwnd) throw std::logic_error("control " + std::string(ref.name) + " has no window");
  return found;
}

// ---------------------------------------------------------------- events

void Win32Platform::raise(FormId form, std::string_view control, EventKind kind, EventArgs& args) {
  if (!sink_) return;
  // An error must not unwind through the system's window procedures; what
  // the program's own traps did not catch is shown as they would show it.
  Text where = asciiText(formDeclaration(form).name);
  if (!control.empty()) where += u"." + asciiText(control);
  try {
    sink_->raiseEvent(form, control, kind, args);
  } catch (const RuntimeError& error) {
    messageBox(ErrorTrap::errorMessage(where, error), mb::Critical, applicationTitle());
  } catch (const std::exception& error) {
    messageBox(where + u"\r\n" + fromUtf8(error.what()), mb::Critical, applicationTitle());
  }
}

// ---------------------------------------------------------------- form lifetime

void Win32Platform::loadForm(FormId id) {
  if (find(id)) return;
  const FormDecl& decl = formDeclaration(id);
  auto created = std::make_unique<Form>();
  Form& form = *created;
  form.platform = this;
  form.id = id;
  form.decl = &decl;
  forms_[static_cast<std::size_t>(id)] = std::move(created);

  // The other windows belong to the launcher while it is on screen: they
  // stay above it, share its taskbar button and give the activation back to
  // it when they close.
  HWND owner = nullptr;
  if (Form* launcher = find(FormId::frmPyxtern);
      launcher && id != FormId::frmPyxtern && IsWindowVisible(launcher->hwnd) && !IsIconic(launcher->hwnd))
    owner = launcher->hwnd;

  RECT work = primaryWorkArea();
  Text caption(decl.caption);
  HWND hwnd =
      CreateWindowExW(formExStyle(decl), decl.sizeable ? kFormClass : kDialogClass, wide(caption),
                      formStyle(decl), work.left, work.top, 100, 100, owner, nullptr, instance_, &form);
  if (!hwnd) {
    forms_[static_cast<std::size_t>(id)].reset();
    throw RuntimeError(7);  // out of memory, as the runtime reports a window it could not create
  }
  form.dpi = win32::windowDpi(hwnd);
  if (std::any_of(decl.events.begin(), decl.events.end(),
                  [](const EventDecl& event) { return event.kind == EventKind::FileDropped; }))
    DragAcceptFiles(hwnd, TRUE);
  createControls(form);
  buildMenus(form);
  applyFont(form);
  layout(form);
  sizeToDeclaration(form);
  for (std::size_t i = 0; i < form.controls.size(); ++i) {
    const ControlDecl& c = *form.controls[i].decl;
    if (c.tabIndex >= 0) form.tabOrder.push_back(i);
  }
  std::stable_sort(form.tabOrder.begin(), form.tabOrder.end(), [&](std::size_t a, std::size_t b) {
    return form.controls[a].decl->tabIndex < form.controls[b].decl->tabIndex;
  });
  applyTabOrder(form);
  for (const Control& c : form.controls)
    if (c.decl->isDefault && c.hwnd) SendMessageW(hwnd, DM_SETDEFID, c.id, 0);

  EventArgs args;
  raise(id, {}, EventKind::Load, args);
  // The load handler may have unloaded the form again.
  if (Form* still = find(id)) still->loadRaised = true;
}

void Win32Platform::createControls(Form& form) {
  const FormDecl& decl = *form.decl;
  form.controls.reserve(decl.controls.size());
  for (std::size_t i = 0; i < decl.controls.size(); ++i) {
    const ControlDecl& c = decl.controls[i];
    Control control{&c};
    control.id = kFirstControlId + static_cast<UINT>(i);
    win32::ControlStyle style = win32::controlStyle(c.kind, c.isDefault);
    if (style.windowClass) {
      Text caption(c.caption);
      control.hwnd =
          CreateWindowExW(style.exStyle, style.windowClass, wide(caption),
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style.style, 0, 0, 0, 0, form.hwnd,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(control.id)), instance_, nullptr);
    }
    form.controls.push_back(control);
    // Subclassed once it is in the list, where its procedure looks it up.
    if (c.kind == ControlKind::TextBox && control.hwnd) {
      SetWindowSubclass(control.hwnd, textBoxProc, i, reinterpret_cast<DWORD_PTR>(&form));
      if (c.maxLength > 0) SendMessageW(control.hwnd, EM_SETLIMITTEXT, static_cast<WPARAM>(c.maxLength), 0);
      // Keys pressed there are combinations, not text for an input method.
      if (c.capturesKeys) ImmAssociateContextEx(control.hwnd, nullptr, 0);
    }
  }
}

void Win32Platform::buildMenus(Form& form) {
  // A menu that holds items is a popup; the items follow in declaration order.
  for (Control& menu : form.controls) {
    if (menu.decl->kind != ControlKind::Menu) continue;
    for (const Control& item : form.controls)
      if (item.decl->kind == ControlKind::Menu && item.decl->parent == menu.decl->name) {
        menu.menu = CreatePopupMenu();
        break;
      }
  }
  for (const Control& item : form.controls) {
    if (item.decl->kind != ControlKind::Menu || item.decl->parent.empty()) continue;
    const Control* parent = findControl(form, item.decl->parent, -1);
    if (!parent || !parent->menu) continue;
    Text caption(item.decl->caption);
    if (item.menu)
      AppendMenuW(parent->menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(item.menu), wide(caption));
    else if (caption == u"-")
      AppendMenuW(parent->menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(parent->menu, MF_STRING, item.id, wide(caption));
  }
}

void Win32Platform::unloadForm(FormId id) {
  Form* form = find(id);
  if (!form || form->unloading) return;
  // Windows would destroy the forms this one owns along with it, without
  // their unload events; unload them first, as forms of their own.
  for (const auto& other : forms_)
    if (other && other.get() != form && GetWindow(other->hwnd, GW_OWNER) == form->hwnd) unloadForm(other->id);
  form = find(id);
  if (!form || form->unloading) return;

  form->unloading = true;
  EventArgs query;
  raise(id, {}, EventKind::QueryUnload, query);
  EventArgs unload;
  raise(id, {}, EventKind::Unload, unload);

  // Enable the forms a modal show disabled before this window goes, so that
  // Windows hands the activation to one of them rather than to another
  // program.
  for (ModalShow& show : modal_)
    if (show.form == id) enableAfterModal(show);
  DestroyWindow(form->hwnd);
  forgetForm(id);
}

void Win32Platform::forgetForm(FormId id) {
  std::unique_ptr<Form> form = std::move(forms_[static_cast<std::size_t>(id)]);
  if (!form) return;
  for (const Control& c : form->controls)
    if (c.menu && c.decl->parent.empty()) DestroyMenu(c.menu);
  if (form->font) DeleteObject(form->font);
  form.reset();
  if (std::none_of(forms_.begin(), forms_.end(), [](const auto& f) { return f != nullptr; }))
    PostQuitMessage(0);
}

bool Win32Platform::isFormLoaded(FormId id) const {
  return find(id) != nullptr;
}

bool Win32Platform::isFormVisible(FormId id) const {
  Form* form = find(id);
  return form && IsWindowVisible(form->hwnd);
}

// ---------------------------------------------------------------- layout

void Win32Platform::applyFont(Form& form) {
  LOGFONTW font = win32::messageFont(form.dpi);
  HFONT created = CreateFontIndirectW(&font);
  if (!created) return;
  for (const Control& c : form.controls)
    if (c.hwnd) SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(created), FALSE);
  if (form.font) DeleteObject(form.font);
  form.font = created;
}

void Win32Platform::layout(Form& form) {
  const UINT dpi = form.dpi;
  auto px = [dpi](int twips) { return twipsToPixels(twips, dpi); };
  HDC dc = GetDC(form.hwnd);
  HGDIOBJ previousFont = SelectObject(dc, form.font);
  for (const Control& control : form.controls) {
    if (!control.hwnd) continue;
    const ControlDecl& c = *control.decl;
    int left = c.left, top = c.top;
    if (!c.parent.empty()) {
      // Controls in a frame are siblings of its group box, placed by the frame.
      if (const ControlDecl* frame = pyx::findControl(*form.decl, c.parent);
          frame && frame->kind == ControlKind::Frame) {
        left += frame->left;
        top += frame->top;
      }
    }
    win32::placeControl(c.kind, control.hwnd, RECT{px(left), px(top), px(left + c.width), px(top + c.height)},
                        dc, dpi);
  }
  SelectObject(dc, previousFont);
  ReleaseDC(form.hwnd, dc);
  InvalidateRect(form.hwnd, nullptr, TRUE);
}

SIZE Win32Platform::frameSize(const Form& form) const {
  RECT r{0, 0, 0, 0};
  win32::adjustWindowRect(r, static_cast<DWORD>(GetWindowLongPtrW(form.hwnd, GWL_STYLE)),
                          static_cast<DWORD>(GetWindowLongPtrW(form.hwnd, GWL_EXSTYLE)), form.dpi);
  return {r.right - r.left, r.bottom - r.top};
}

void Win32Platform::sizeToDeclaration(Form& form) {
  setClientSize(form, twipsToPixels(form.decl->clientWidth, form.dpi),
                twipsToPixels(form.decl->clientHeight, form.dpi));
}

SIZE Win32Platform::clientSize(const Form& form) const {
  if (IsIconic(form.hwnd)) {
    // A minimised window has no client area; report the one it comes back with.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(form.hwnd, &placement);
    SIZE frame = frameSize(form);
    const RECT& r = placement.rcNormalPosition;
    return {r.right - r.left - frame.cx, r.bottom - r.top - frame.cy};
  }
  RECT client{};
  GetClientRect(form.hwnd, &client);
  return {client.right, client.bottom};
}

void Win32Platform::setClientSize(Form& form, int width, int height) {
  SIZE frame = frameSize(form);
  const int outerWidth = std::max(0, width) + frame.cx;
  const int outerHeight = std::max(0, height) + frame.cy;
  if (IsIconic(form.hwnd) || IsZoomed(form.hwnd)) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(form.hwnd, &placement);
    RECT& r = placement.rcNormalPosition;
    r.right = r.left + outerWidth;
    r.bottom = r.top + outerHeight;
    placement.showCmd = IsIconic(form.hwnd) ? SW_SHOWMINNOACTIVE : SW_SHOWMAXIMIZED;
    if (!IsWindowVisible(form.hwnd)) placement.showCmd = SW_HIDE;
    SetWindowPlacement(form.hwnd, &placement);
    return;
  }
  RECT window{};
  GetWindowRect(form.hwnd, &window);
  // Setting the size it already has would raise a resize for nothing, and a
  // resize handler that sets the size again would never end.
  if (window.right - window.left == outerWidth && window.bottom - window.top == outerHeight) return;
  SetWindowPos(form.hwnd, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Platform::showWindow(Form& form, int command) {
  if (command != SW_HIDE && !form.shown) {
    form.shown = true;
    RECT work = primaryWorkArea();
    RECT r{};
    GetWindowRect(form.hwnd, &r);
    const int x = work.left + ((work.right - work.left) - (r.right - r.left)) / 2;
    const int y = work.top + ((work.bottom - work.top) - (r.bottom - r.top)) / 2;
    SetWindowPos(form.hwnd, nullptr, std::max(x, static_cast<int>(work.left)),
                 std::max(y, static_cast<int>(work.top)), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const FormId id = form.id;
    const unsigned resizes = form.resizeCount;
    ShowWindow(form.hwnd, command);
    // A form first shown gets its resize event, as when it is first laid out
    // on screen, even where the system had sized it while hidden.
    if (Form* still = find(id); still && still->resizeCount == resizes && still->loadRaised) {
      EventArgs args;
      raise(id, {}, EventKind::Resize, args);
    }
    return;
  }
  ShowWindow(form.hwnd, command);
}

// ---------------------------------------------------------------- tab order

void Win32Platform::applyTabOrder(Form& form) {
  // The dialog manager tabs through the controls in their Z order. Tab stops
  // come first in tab order, then the other controls; group boxes lie
  // beneath everything, or they would paint over the controls they frame.
  std::vector<std::size_t> order = form.tabOrder;
  for (std::size_t i = 0; i < form.controls.size(); ++i)
    if (form.controls[i].decl->kind != ControlKind::Frame &&
        std::find(order.begin(), order.end(), i) == order.end())
      order.push_back(i);
  for (std::size_t i = 0; i < form.controls.size(); ++i)
    if (form.controls[i].decl->kind == ControlKind::Frame) order.push_back(i);

  HWND after = HWND_TOP;
  const Control* previous = nullptr;
  for (std::size_t i : order) {
    const Control& c = form.controls[i];
    if (!c.hwnd) continue;
    SetWindowPos(c.hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    after = c.hwnd;
    // Option buttons of one frame that follow each other form a group that
    // the arrow keys move in; every other control starts a group of its own.
    bool continuesGroup = previous && c.decl->kind == ControlKind::OptionButton &&
                          previous->decl->kind == ControlKind::OptionButton &&
                          previous->decl->parent == c.decl->parent;
    setStyleBits(c.hwnd, WS_GROUP, !continuesGroup);
    bool tabStop = std::find(form.tabOrder.begin(), form.tabOrder.end(), i) != form.tabOrder.end() &&
                   win32::takesTabStop(c.decl->kind);
    setStyleBits(c.hwnd, WS_TABSTOP, tabStop);
    previous = &c;
  }
  updateOptionTabStops(form);
}

void Win32Platform::updateOptionTabStops(Form& form) {
  // Tab enters a group of option buttons at the selected one only; the arrow
  // keys move within it.
  for (const Control& c : form.controls) {
    if (c.decl->kind != ControlKind::OptionButton || !c.hwnd) continue;
    bool inTabOrder = false;
    for (std::size_t i : form.tabOrder) inTabOrder = inTabOrder || &form.controls[i] == &c;
    if (!inTabOrder) continue;
    const Control* stop = nullptr;
    for (std::size_t i : form.tabOrder) {
      const Control& other = form.controls[i];
      if (other.decl->kind != ControlKind::OptionButton || other.decl->parent != c.decl->parent) continue;
      if (!stop) stop = &other;
      if (SendMessageW(other.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        stop = &other;
        break;
      }
    }
    setStyleBits(c.hwnd, WS_TABSTOP, stop == &c);
  }
}

// ---------------------------------------------------------------- the window procedures

LRESULT CALLBACK Win32Platform::formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!form) return DefDlgProcW(hwnd, message, wParam, lParam);
  return form->platform->handleFormMessage(*form, message, wParam, lParam);
}

LRESULT Win32Platform::handleFormMessage(Form& form, UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND hwnd = form.hwnd;
  const FormId id = form.id;
  switch (message) {
    case WM_COMMAND:
      // Commands below our first identifier come from the dialog manager:
      // IDOK for Enter when no default button is set, IDCANCEL for Escape.
      // Neither closes a form here.
      if (LOWORD(wParam) >= kFirstControlId) onCommand(form, LOWORD(wParam), HIWORD(wParam));
      return 0;

    case DM_GETDEFID:
      return form.defaultId ? MAKELRESULT(form.defaultId, DC_HASDEFID) : 0;

    case DM_SETDEFID:
      form.defaultId = static_cast<UINT>(wParam);
      break;

    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(form.font);

    case WM_CLOSE:
      unloadForm(id);
      return 0;

    case WM_ACTIVATE: {
      // The dialog manager puts the focus back where it was.
      LRESULT result = DefDlgProcW(hwnd, message, wParam, lParam);
      HWND other = reinterpret_cast<HWND>(lParam);
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (transientDepth_ > 0 && other && !formOfWindow(other)) {
          transientWindows_.push_back(other);
        } else if (!other || GetWindowThreadProcessId(other, nullptr) != GetCurrentThreadId()) {
          transientWindows_.clear();  // the user went to another program
        }
      } else if (!isTransient(other)) {
        queueActivate(form);
      }
      return result;
    }

    case kActivateMessage:
      form.activatePending = false;
      raiseActivate(id);
      return 0;

    case WM_SIZE: {
      LRESULT result = DefDlgProcW(hwnd, message, wParam, lParam);
      ++form.resizeCount;
      // Coming back from the taskbar or the tray, a window may have been
      // activated while still minimised; it counts once it is on screen.
      if (wParam != SIZE_MINIMIZED && form.minimized && GetActiveWindow() == hwnd) queueActivate(form);
      form.minimized = wParam == SIZE_MINIMIZED;
      if (!form.loadRaised || form.unloading) return result;
      if (wParam == SIZE_MINIMIZED) {
        // Raised once the minimise has finished: the program hides the
        // window into the tray from this event, and a window hidden halfway
        // through its own minimise is left for the system to sort out (under
        // Wine that costs seconds of waiting for a window manager).
        PostMessageW(hwnd, kResizeMessage, 0, 0);
        return result;
      }
      EventArgs args;
      raise(id, {}, EventKind::Resize, args);
      return result;
    }

    case kResizeMessage:
      if (form.loadRaised && !form.unloading) {
        EventArgs args;
        raise(id, {}, EventKind::Resize, args);
      }
      return 0;

    case WM_GETMINMAXINFO:
      // Without its record the message was never the system's.
      if (form.decl->sizeable && lParam) {
        // The launcher never grows beyond the size it was laid out for.
        SIZE frame = frameSize(form);
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMaxTrackSize.x = twipsToPixels(form.decl->clientWidth, form.dpi) + frame.cx;
        limits->ptMaxTrackSize.y = twipsToPixels(form.decl->clientHeight, form.dpi) + frame.cy;
        limits->ptMaxSize = limits->ptMaxTrackSize;
        return 0;
      }
      break;

    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      LRESULT result = DefDlgProcW(hwnd, message, wParam, lParam);
      EventArgs args;
      args.button = message == WM_LBUTTONDOWN ? 1 : 2;
      args.shift = shiftState();
      args.x = static_cast<float>(win32::pixelsToTwips(static_cast<short>(LOWORD(lParam)), form.dpi));
      args.y = static_cast<float>(win32::pixelsToTwips(static_cast<short>(HIWORD(lParam)), form.dpi));
      raise(id, {}, EventKind::MouseDown, args);
      return result;
    }

    case kTrayMessage: {
      // The program decodes a tray action from a mouse move whose x, in
      // pixels, is the mouse message number. Only the two actions it answers
      // are passed on, so that a real mouse move can never look like one.
      UINT action = LOWORD(lParam);
      if (action == WM_LBUTTONDBLCLK || action == WM_RBUTTONDOWN) {
        EventArgs args;
        args.x = static_cast<float>(static_cast<std::int32_t>(action) * twipsPerPixelX());
        raise(id, {}, EventKind::MouseMove, args);
      }
      return 0;
    }

    case WM_DPICHANGED: {
      // Anyone can post this message; one with a DPI no screen has or without
      // the rectangle the system suggests is not believed.
      const UINT dpi = HIWORD(wParam);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      if (!win32::isScreenDpi(dpi) || !suggested || IsRectEmpty(suggested)) return 0;
      form.dpi = dpi;
      applyFont(form);
      layout(form);
      SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }

    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETNONCLIENTMETRICS) {
        applyFont(form);
        layout(form);
      }
      break;

    case WM_COPYDATA:
      return onCopyData(form, reinterpret_cast<const COPYDATASTRUCT*>(lParam));

    case kHandoverMessage:
      raiseHandovers(form);
      return 0;

    case WM_DROPFILES:
      onDropFiles(form, reinterpret_cast<HDROP>(wParam));
      return 0;

    case WM_ENDSESSION:
      // Logging off: unload as the user would, so the tray icon goes too.
      if (wParam) {
        for (FormId each : {FormId::frmSetPgm, FormId::frmTork, FormId::frmPyxtern}) unloadForm(each);
      }
      return 0;

    case WM_NCDESTROY: {
      LRESULT result = DefDlgProcW(hwnd, message, wParam, lParam);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      // Destroyed without an unload (the system took it down): forget it.
      if (!form.unloading) forgetForm(id);
      return result;
    }

    default:
      if (message == taskbarCreated_ && taskbarCreated_) {
        // Explorer forgets every tray icon when it restarts and announces
        // its new taskbar with this message; without adding ours again, a
        // launcher hidden in the tray could no longer be reached. Every
        // top-level window hears it; the one the icon reports to answers.
        if (trayShown_ && tray_.hWnd == hwnd) addTrayIcon();
        return 0;
      }
      break;
  }
  return DefDlgProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Win32Platform::textBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR index, DWORD_PTR data) {
  auto* form = reinterpret_cast<Form*>(data);
  const ControlDecl& c = *form->controls[index].decl;
  // A box that shows the key combinations pressed in it: the keys are
  // reported and never edit the text; no character, paste or context menu
  // reaches it, and releasing Alt or F10 does not enter menu mode.
  if (c.capturesKeys) {
    switch (message) {
      case WM_CHAR:
      case WM_SYSCHAR:
      case WM_DEADCHAR:
      case WM_SYSDEADCHAR:
      case WM_KEYUP:
      case WM_SYSKEYUP:
      case WM_PASTE:
      case WM_CUT:
      case WM_CLEAR:
      case WM_UNDO:
      case WM_CONTEXTMENU:
        return 0;
    }
  }
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      EventArgs args;
      args.keyCode = static_cast<std::int16_t>(wParam);
      args.shift = shiftState();
      args.index = c.index;
      form->platform->raise(form->id, c.name, EventKind::KeyDown, args);
      if (!IsWindow(hwnd) || c.capturesKeys)
        return 0;  // the handler closed the form, or the key is reported only
      if (args.keyCode == 0) {
        // A swallowed key types nothing either: drop the character that
        // TranslateMessage already queued for it.
        MSG pending;
        PeekMessageW(&pending, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE);
        PeekMessageW(&pending, hwnd, WM_SYSCHAR, WM_SYSCHAR, PM_REMOVE);
        return 0;
      }
      wParam = static_cast<WPARAM>(static_cast<std::uint16_t>(args.keyCode));
      break;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, textBoxProc, index);
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

void Win32Platform::onCommand(Form& form, UINT id, UINT code) {
  std::size_t index = id - kFirstControlId;
  if (index >= form.controls.size()) return;
  const ControlDecl& c = *form.controls[index].decl;
  EventArgs args;
  args.index = c.index;
  switch (c.kind) {
    case ControlKind::Button:
      // The keys held: Ctrl+Shift with Enter or a click asks for more.
      args.shift = shiftState();
      if (code == BN_CLICKED) raise(form.id, c.name, EventKind::Click, args);
      break;
    case ControlKind::OptionButton:
      if (code == BN_CLICKED) {
        updateOptionTabStops(form);
        raise(form.id, c.name, EventKind::Click, args);
      }
      break;
    case ControlKind::ListBox:
      if (code == LBN_SELCHANGE) raise(form.id, c.name, EventKind::Click, args);
      break;
    case ControlKind::ComboBox:
      if (code == CBN_SELCHANGE) raise(form.id, c.name, EventKind::Click, args);
      if (code == CBN_EDITCHANGE) raise(form.id, c.name, EventKind::Change, args);
      break;
    case ControlKind::TextBox:
      if (code == EN_CHANGE) raise(form.id, c.name, EventKind::Change, args);
      break;
    case ControlKind::Menu:
      if (code == 0) raise(form.id, c.name, EventKind::Click, args);
      break;
    case ControlKind::Label:
    case ControlKind::Frame:
    case ControlKind::FileDialog:
      break;
  }
}

// ---------------------------------------------------------------- activation

bool Win32Platform::isTransient(HWND previous) const {
  // Activation coming back from a message box or file dialog of ours is not
  // the user returning to the form: the launcher re-reads its favourites on
  // activation, which would clear the name the box was about.
  if (transientDepth_ > 0) return true;
  if (!previous || formOfWindow(previous)) return false;
  if (std::find(transientWindows_.begin(), transientWindows_.end(), previous) != transientWindows_.end())
    return true;
  return GetWindowThreadProcessId(previous, nullptr) == GetCurrentThreadId();
}

void Win32Platform::queueActivate(Form& form) {
  // Raised from the queue, once the activation has settled: a handler that
  // shows a message box or closes the form must not run inside WM_ACTIVATE.
  if (form.activatePending) return;
  form.activatePending = true;
  PostMessageW(form.hwnd, kActivateMessage, 0, 0);
}

void Win32Platform::raiseActivate(FormId id) {
  Form* form = find(id);
  if (!form || !form->loadRaised || form->unloading) return;
  HWND hwnd = form->hwnd;
  if (GetActiveWindow() != hwnd || !IsWindowVisible(hwnd) || IsIconic(hwnd) || !IsWindowEnabled(hwnd)) return;
  EventArgs args;
  raise(id, {}, EventKind::Activate, args);
}

// ---------------------------------------------------------------- showing

void Win32Platform::showForm(FormId id, bool modal) {
  if (!find(id)) loadForm(id);
  Form* form = find(id);
  if (!form) return;
  if (!modal) {
    showWindow(*form, SW_SHOW);
    SetForegroundWindow(form->hwnd);
    return;
  }

  ModalShow show{id, {}, GetActiveWindow()};
  for (const auto& other : forms_) {
    if (other && other.get() != form && IsWindowEnabled(other->hwnd)) {
      EnableWindow(other->hwnd, FALSE);
      show.disabled.push_back(other->hwnd);
    }
  }
  modal_.push_back(show);
  showWindow(*form, SW_SHOW);
  if (Form* still = find(id)) SetForegroundWindow(still->hwnd);

  MSG message;
  while (find(id)) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
      break;
    }
    if (got < 0) break;
    pump(message);
  }

  for (auto it = modal_.rbegin(); it != modal_.rend(); ++it) {
    if (it->form != id) continue;
    enableAfterModal(*it);
    HWND previous = it->previousActive;
    modal_.erase(std::next(it).base());
    if (formOfWindow(previous) && IsWindowVisible(previous) && !IsIconic(previous) &&
        IsWindowEnabled(previous) && GetActiveWindow() != previous)
      SetActiveWindow(previous);
    break;
  }
}

void Win32Platform::enableAfterModal(ModalShow& show) {
  for (HWND hwnd : show.disabled)
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  show.disabled.clear();
}

void Win32Platform::pump(MSG& message) {
  HWND active = GetActiveWindow();
  if (active && formOfWindow(active) && IsDialogMessageW(active, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void Win32Platform::runMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) pump(message);
}

void Win32Platform::setFormVisible(FormId id, bool visible) {
  if (!find(id)) {
    if (!visible) return;
    loadForm(id);
  }
  if (Form* form = find(id)) showWindow(*form, visible ? SW_SHOW : SW_HIDE);
}

WindowState Win32Platform::formWindowState(FormId id) const {
  HWND hwnd = loaded(id).hwnd;
  if (IsIconic(hwnd)) return WindowState::Minimized;
  if (IsZoomed(hwnd)) return WindowState::Maximized;
  return WindowState::Normal;
}

void Win32Platform::setFormWindowState(FormId id, WindowState state) {
  Form& form = loaded(id);
  switch (state) {
    case WindowState::Minimized:
      if (!IsIconic(form.hwnd)) showWindow(form, SW_MINIMIZE);
      break;
    case WindowState::Maximized:
      if (!IsZoomed(form.hwnd)) showWindow(form, SW_MAXIMIZE);
      break;
    case WindowState::Normal:
      if (IsIconic(form.hwnd) || IsZoomed(form.hwnd)) showWindow(form, SW_RESTORE);
      break;
  }
}

std::int32_t Win32Platform::formWidth(FormId id) const {
  const Form& form = loaded(id);
  return win32::pixelsToTwips(clientSize(form).cx, form.dpi) + kFrameWidthTwips;
}

std::int32_t Win32Platform::formHeight(FormId id) const {
  const Form& form = loaded(id);
  return win32::pixelsToTwips(clientSize(form).cy, form.dpi) + kFrameHeightTwips;
}

void Win32Platform::setFormWidth(FormId id, std::int32_t twips) {
  Form& form = loaded(id);
  setClientSize(form, twipsToPixels(twips - kFrameWidthTwips, form.dpi), clientSize(form).cy);
}

void Win32Platform::setFormHeight(FormId id, std::int32_t twips) {
  Form& form = loaded(id);
  setClientSize(form, clientSize(form).cx, twipsToPixels(twips - kFrameHeightTwips, form.dpi));
}

std::intptr_t Win32Platform::formHandle(FormId id) const {
  Form* form = find(id);
  return form ? reinterpret_cast<std::intptr_t>(form->hwnd) : 0;
}

std::intptr_t Win32Platform::formIconHandle(FormId id) const {
  return find(id) ? reinterpret_cast<std::intptr_t>(smallIcon_ ? smallIcon_ : icon_) : 0;
}

std::int32_t Win32Platform::twipsPerPixelX() const {
  Form* launcher = find(FormId::frmPyxtern);
  UINT dpi = launcher ? launcher->dpi : win32::systemDpi();
  return std::max<std::int32_t>(1, 1440 / static_cast<std::int32_t>(dpi));
}

void Win32Platform::bringFormToFront(FormId id) {
  Form* form = find(id);
  if (!form || !IsWindowVisible(form->hwnd)) return;
  if (IsIconic(form->hwnd)) showWindow(*form, SW_RESTORE);
  SetForegroundWindow(form->hwnd);
}

void Win32Platform::moveFormToPointerMonitor(FormId id) {
  const Form& form = loaded(id);
  POINT pointer{};
  RECT r{};
  if (!GetCursorPos(&pointer) || !GetWindowRect(form.hwnd, &r)) return;
  const PixelRect placed =
      placeOnPointerMonitor({r.left, r.top, r.right, r.bottom}, pointer.x, pointer.y, win32::monitors());
  if (placed.left == r.left && placed.top == r.top) return;
  // Moved only: on a monitor of another DPI the system sizes the window anew
  // (WM_DPICHANGED), to the size the placement made room for.
  SetWindowPos(form.hwnd, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Platform::popupMenu(FormId id, std::string_view name) {
  Form& form = loaded(id);
  const Control* menu = findControl(form, name, -1);
  if (!menu || !menu->menu) return;
  POINT at{};
  GetCursorPos(&at);
  HWND hwnd = form.hwnd;
  // A menu of a window that is not in the foreground would stay open when
  // the user clicks elsewhere; and the posted message lets it close at once
  // when it is dismissed from the tray.
  SetForegroundWindow(hwnd);
  UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
      menu->menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | align, at.x, at.y, hwnd, nullptr));
  PostMessageW(hwnd, WM_NULL, 0, 0);
  if (chosen >= kFirstControlId && chosen - kFirstControlId < form.controls.size()) {
    const ControlDecl& item = *form.controls[chosen - kFirstControlId].decl;
    EventArgs args;
    args.index = item.index;
    raise(id, item.name, EventKind::Click, args);
  }
}

}  // namespace pyx

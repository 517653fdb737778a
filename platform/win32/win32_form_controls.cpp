// What the program does to the controls of its forms: text, list items,
// selection, focus, enabling, the default button, the tab order and option
// buttons, each through the control kind's own description.
#include <windows.h>

#include <algorithm>

#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_platform.h"

namespace pyx {

Text Win32Platform::controlText(ControlRef ref) const {
  const Control& c = control(ref);
  if (!c.hwnd) return c.decl->kind == ControlKind::Menu ? Text(c.decl->caption) : Text();
  return win32::controlText(c.decl->kind, c.hwnd);
}

void Win32Platform::setControlText(ControlRef ref, const Text& text) {
  const Control& c = window(ref);
  if (win32::controlText(c.decl->kind, c.hwnd) == text) return;
  win32::setControlText(c.decl->kind, c.hwnd, text);
  if (c.decl->kind == ControlKind::Label || c.decl->kind == ControlKind::OptionButton)
    layout(loaded(ref.form));
}

void Win32Platform::setListItems(ControlRef ref, const std::vector<TextView>& items) {
  const Control& c = window(ref);
  win32::replaceItems(c.decl->kind, c.hwnd, c.itemHashes, items);
}

std::int32_t Win32Platform::listIndex(ControlRef ref) const {
  const Control& c = window(ref);
  return win32::selectedIndex(c.decl->kind, c.hwnd);
}

void Win32Platform::setFocus(ControlRef ref) {
  Form& form = loaded(ref.form);
  const Control& c = window(ref);
  if (!IsWindowVisible(c.hwnd) || IsIconic(form.hwnd) || !IsWindowEnabled(c.hwnd) ||
      !IsWindowEnabled(form.hwnd))
    raiseError(ErrInvalidProcedureCall);
  // Through the dialog manager, so that the default button follows; it
  // selects an edit box's text on the way, which a program setting the focus
  // does not mean: the caret stays where it was.
  DWORD start = 0, end = 0;
  const bool edit = c.decl->kind == ControlKind::TextBox;
  if (edit) SendMessageW(c.hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  SendMessageW(form.hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c.hwnd), TRUE);
  if (edit) SendMessageW(c.hwnd, EM_SETSEL, start, static_cast<LPARAM>(end));
}

void Win32Platform::setEnabled(ControlRef ref, bool enabled) {
  Form& form = loaded(ref.form);
  const Control& c = control(ref);
  if (c.decl->kind == ControlKind::Menu) {
    for (const Control& top : form.controls)
      if (top.menu && top.decl->parent.empty())
        EnableMenuItem(top.menu, c.id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    return;
  }
  if (!c.hwnd) return;
  HWND focus = GetFocus();
  if (!enabled && focus && (focus == c.hwnd || IsChild(c.hwnd, focus)))
    SendMessageW(form.hwnd, WM_NEXTDLGCTL, 0, FALSE);  // the focus must not stay on a dead control
  EnableWindow(c.hwnd, enabled);
}

void Win32Platform::setDefaultButton(ControlRef ref) {
  Form& form = loaded(ref.form);
  SendMessageW(form.hwnd, DM_SETDEFID, window(ref).id, 0);
}

void Win32Platform::setTabIndex(ControlRef ref, std::int16_t tabIndex) {
  Form& form = loaded(ref.form);
  const Control& c = window(ref);
  std::size_t index = static_cast<std::size_t>(&c - form.controls.data());
  // The tab index is a place in the order: the others move up to make room.
  std::erase(form.tabOrder, index);
  std::size_t place = std::min<std::size_t>(static_cast<std::size_t>(std::max<std::int16_t>(tabIndex, 0)),
                                            form.tabOrder.size());
  form.tabOrder.insert(form.tabOrder.begin() + static_cast<std::ptrdiff_t>(place), index);
  applyTabOrder(form);
}

void Win32Platform::setMenuVisible(ControlRef, bool) {
  // The only declared top-level menu is a popup, which never shows in a
  // menu bar; there is nothing to hide.
}

bool Win32Platform::optionValue(ControlRef ref) const {
  return SendMessageW(window(ref).hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Platform::setOptionValue(ControlRef ref, bool selected) {
  Form& form = loaded(ref.form);
  const Control& c = window(ref);
  SendMessageW(c.hwnd, BM_SETCHECK, selected ? BST_CHECKED : BST_UNCHECKED, 0);
  if (selected) {
    // One choice per frame, as a click would leave it.
    for (const Control& other : form.controls)
      if (&other != &c && other.hwnd && other.decl->kind == ControlKind::OptionButton &&
          other.decl->parent == c.decl->parent)
        SendMessageW(other.hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
  }
  updateOptionTabStops(form);
}

}  // namespace pyx

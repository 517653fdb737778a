// The program's three windows, declared once as data: caption, client size,
// every control with its kind, caption, twips rectangle and tab index, and
// which event calls which procedure. Every backend builds its windows from
// these declarations and raises events that the application dispatches
// through the same tables.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/platform.h"

namespace pyx {

class Application;

enum class ControlKind { Label, TextBox, ComboBox, ListBox, Button, OptionButton, Frame, Menu, FileDialog };

struct ControlDecl {
  std::string_view name;
  std::int16_t index;  // element of a control array, or -1
  ControlKind kind;
  std::u16string_view caption;            // a menu item captioned "-" is a separator
  std::int32_t left, top, width, height;  // twips; inside a frame relative to the frame
  std::int16_t tabIndex;                  // -1: no tab stop
  bool isDefault;                         // the default button (Enter)
  std::string_view parent;                // the frame or menu that holds it, or empty
  std::int16_t maxLength = 0;             // text box: the most characters the user can enter; 0: no limit
  bool capturesKeys = false;  // text box that shows key combinations pressed in it, never typed text
};

using EventHandler = void (*)(Application& app, EventArgs& args);

struct EventDecl {
  std::string_view control;  // empty: an event of the form itself
  EventKind kind;
  EventHandler handler;
};

struct FormDecl {
  FormId id;
  std::string_view name;
  std::u16string_view caption;
  std::int32_t clientWidth, clientHeight;  // twips
  bool sizeable;                           // sizeable frame with minimise and maximise boxes
  std::span<const ControlDecl> controls;
  std::span<const EventDecl> events;
};

const FormDecl& formDeclaration(FormId form);
const ControlDecl* findControl(const FormDecl& form, std::string_view name, std::int16_t index = -1);

}  // namespace pyx

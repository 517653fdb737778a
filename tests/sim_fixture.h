// A fresh program on a fresh simulated desktop for every test.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/application.h"
#include "platform/sim/sim_desktop.h"

namespace pyx::testing {

inline constexpr ControlRef kNameBox{FormId::frmPyxtern, "cmbFileName"};
inline constexpr ControlRef kOk{FormId::frmPyxtern, "cmdOK"};

// The program and its desktop, with what tests do and read on them.
struct SimWorld {
  SimDesktop sim;
  std::unique_ptr<Application> app;

  // Starts the program as the user would; the launcher window is shown and active.
  void startProgram() {
    app = std::make_unique<Application>(sim);
    app->run();
  }

  // Writes the favourites file; `text` is UTF-8 and is stored in code page 932.
  void writeFavourites(const std::string& text, std::uint32_t attributes = attr::Archive) {
    sim.putFile("pyxtern.txt", sim.toAnsi(fromUtf8(text)), attributes);
  }
  // The favourites file decoded from code page 932 into UTF-8; "<missing>" when absent.
  std::string favourites() const {
    auto bytes = sim.fileContent("pyxtern.txt");
    return bytes ? toUtf8(sim.fromAnsi(*bytes)) : "<missing>";
  }

  void launch(const std::string& typed) {
    sim.type(kNameBox, fromUtf8(typed));
    sim.pressKey(13);
  }

  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const Text& item : sim.listItems(kNameBox)) result.push_back(toUtf8(item));
    return result;
  }

  std::vector<std::string> messages() const {
    std::vector<std::string> result;
    for (const SimMessageBox& box : sim.messageBoxes()) result.push_back(toUtf8(box.prompt));
    return result;
  }

  // Every start, in order: "program|arguments|directory" of a process start,
  // "verb:file|parameters|directory" of a shell start.
  std::vector<std::string> starts() const {
    std::vector<std::string> result;
    for (const SimCall& call : sim.calls()) {
      if (call.name == "startProcess")
        result.push_back(call.args[0] + "|" + call.args[1] + "|" + call.args[2]);
      if (call.name == "shellExecute")
        result.push_back(call.args[1] + ":" + call.args[2] + "|" + call.args[3] + "|" + call.args[4]);
    }
    return result;
  }

  std::string appDir() const { return sim.directory().string(); }
  std::string text(ControlRef box) const { return toUtf8(sim.controlText(box)); }

  // Open the registration window (its button) or the settings window (the menu) and run `steps` in
  // it; they return once it has closed, by the steps or by its close box after them.
  void inRegistrationWindow(std::function<void()> steps) {
    sim.whenModal(FormId::frmTork, std::move(steps));
    sim.click({FormId::frmPyxtern, "cmdTork"});
  }
  void inSettingsWindow(std::function<void()> steps) {
    sim.whenModal(FormId::frmSetPgm, std::move(steps));
    sim.whenPopupMenu([this] { sim.chooseMenuItem("mnuSet"); });
    sim.rightClick(FormId::frmPyxtern);
  }

  // "index:control " of each tab index given to a control of `form` ("frmTork"), in order.
  std::string tabOrder(const std::string& form) const {
    std::string order;
    for (const SimCall& call : sim.callsTo("setTabIndex"))
      if (call.args[0].starts_with(form + "."))
        order += call.args[1] + ":" + call.args[0].substr(form.size() + 1) + " ";
    return order;
  }
};

class SimTest : public ::testing::Test, public SimWorld {};

// The number of the run-time error `body` raises; 0 when it raises none.
inline std::int32_t errorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

// Names a parameterised case after its `what` description.
struct NameFromWhat {
  template <class Info>
  std::string operator()(const Info& info) const {
    std::string name;
    for (char ch : std::string(info.param.what))
      name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
  }
};

// A favourites line in the padded form: the name padded to 40 characters.
inline std::string padded(const std::string& name, const std::string& path) {
  Text n = fromUtf8(name);
  n.resize(40, u' ');
  return toUtf8(n) + ";" + path + "\r\n";
}

}  // namespace pyx::testing

// A short headless run of the program on the simulated desktop: registers a
// few favourites, starts the program, launches one by name and prints what
// the user would have seen happen.
#include <iostream>

#include "core/application.h"
#include "platform/sim/sim_desktop.h"

int main() {
  using namespace pyx;
  SimDesktop desk;
  desk.putFile("pyxtern.txt",
               desk.toAnsi(u"メモ;C:\\memo.txt\r\nエディタ;\"C:\\Program Files\\Ed\\ed.exe\" /r\r\n"
                           u"作業;D:\\Work\r\n"));
  Application app(desk);
  app.run();
  std::cout << "pyxtern on the simulated desktop (application directory " << desk.directory().string()
            << ")\n";
  std::cout << "names listed:";
  for (const Text& name : desk.listItems({FormId::frmPyxtern, "cmbFileName"}))
    std::cout << " " << toUtf8(name);
  std::cout << "\n\nThe user types \"エディ\" and presses Enter.\n";
  desk.clearCalls();
  desk.type({FormId::frmPyxtern, "cmbFileName"}, u"エディ");
  desk.pressKey(13);
  for (const SimCall& call : desk.calls()) {
    if (call.name == "startProcess")
      std::cout << "  started: " << call.args[0] << "  arguments: " << call.args[1] << "\n";
    if (call.name == "replaceFile")
      std::cout << "  favourites file rewritten (" << call.args[1] << " bytes)\n";
  }
  std::cout << "names listed now:";
  for (const Text& name : desk.listItems({FormId::frmPyxtern, "cmbFileName"}))
    std::cout << " " << toUtf8(name);
  std::cout << "\n\nThe user presses Cancel.\n";
  desk.click({FormId::frmPyxtern, "cmdCancel"});
  std::cout << (desk.programEnded() ? "  the program ended; tray icon removed: " : "  still running: ")
            << (desk.trayIconShown() ? "no" : "yes") << "\n";
  return desk.programEnded() ? 0 : 1;
}

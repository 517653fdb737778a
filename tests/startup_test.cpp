// Start-up in its order, the command line, the single instance, the keyboard
// of the launcher window, and shutdown releasing everything.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

using ::pyx::testing::PrintTo;

using Startup = SimTest;

// The recorded calls without the list traffic, as "name(arg, ...)".
std::vector<std::string> startupCalls(const SimDesktop& sim, const std::string& dir) {
  std::vector<std::string> result;
  for (const SimCall& call : sim.calls()) {
    if (call.name == "setListItems") continue;
    std::string s = call.str();
    for (std::size_t at; (at = s.find(dir)) != std::string::npos;) s.replace(at, dir.size(), "<dir>");
    result.push_back(s);
  }
  return result;
}

TEST_F(Startup, RunsItsStepsInOrder) {
  writeFavourites("a;1.txt\r\n");
  sim.putFile("Tesmora.ini",
              "[Start]\r\nCtrl=1\r\nAlt=0\r\nshift=1\r\nKey=112\r\n[Small]\r\nCtrl=0\r\nAlt=1\r\nshift="
              "0\r\nKey=113\r\n"
              "[OPEN_TYPE]\r\nTYEP=0\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n[FORM]\r\nCLOSE=0\r\n");
  startProgram();
  std::vector<std::string> calls = startupCalls(sim, appDir());
  // Settings reads are checked elsewhere; keep their order visible here only by position.
  std::erase_if(calls, [](const std::string& c) { return c.rfind("getPrivateProfileString", 0) == 0; });
  const std::string hwnd = std::to_string(sim.formHandle(FormId::frmPyxtern));
  const std::string hotkey1 = std::to_string(static_cast<std::int16_t>(0xC001));
  const std::string hotkey2 = std::to_string(static_cast<std::int16_t>(0xC002));
  std::vector<std::string> expected = {
      "loadForm(frmPyxtern)",
      "previousInstance()",
      "findNormalFile(<dir>\\pyxtern.txt)",
      "setFileAttributes(<dir>\\pyxtern.txt, 0)",
      "findNormalFile(<dir>\\pyxtern.txt.tmp)",
      "findNormalFile(<dir>\\Tesmora.ini.tmp)",
      "setDefaultButton(frmPyxtern.cmdOK)",
      "shellNotifyIcon(0, 88, " + hwnd + ", 1, 7, 512, " +
          std::to_string(sim.formIconHandle(FormId::frmPyxtern)) + ", pyxtern)",
      "globalAddAtom(HOTKEY1)",
      "globalAddAtom(HOTKEY2)",
      "findNormalFile(<dir>\\Tesmora.ini)",
      "setFileAttributes(<dir>\\Tesmora.ini, 0)",
      "registerHotKey(" + hwnd + ", " + hotkey1 + ", 6, 112)",
      "registerHotKey(" + hwnd + ", " + hotkey2 + ", 1, 113)",
      "hookWindowProc(" + hwnd + ")",
      "commandLine()",
      "setTabIndex(frmPyxtern.cmbFileName, 0)",
      "setTabIndex(frmPyxtern.cmdOK, 1)",
      "setTabIndex(frmPyxtern.cmdCancel, 2)",
      "setTabIndex(frmPyxtern.cmdSanshou, 3)",
      "setTabIndex(frmPyxtern.cmdTork, 4)",
      "setMenuVisible(frmPyxtern.mnuPopup, false)",
      "platformId()",
      "showForm(frmPyxtern, modeless)",
      "readFile(<dir>\\pyxtern.txt)",
      "setFocus(frmPyxtern.cmbFileName)",
  };
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(toUtf8(app->com.gstrOpenType), "0");
  EXPECT_EQ(toUtf8(app->com.gstrIeExe), "C:\\IE\\IEXPLORE.EXE");
  EXPECT_EQ(toUtf8(app->com.gstrFormClose), "0");
  EXPECT_EQ(app->com.glngOSType, 2);
  EXPECT_EQ(names(), std::vector<std::string>{"a"});
}

TEST_F(Startup, WithoutAnyFileTheWindowOpensEmptyWithoutHotkeys) {
  startProgram();
  EXPECT_FALSE(app->com.gblnOkiniFile);
  EXPECT_TRUE(names().empty());
  EXPECT_EQ(sim.registeredHotKeyCount(), 0u);
  EXPECT_TRUE(sim.callsTo("hookWindowProc").empty());
  EXPECT_TRUE(sim.trayIconShown());
  EXPECT_TRUE(sim.isFormVisible(FormId::frmPyxtern));
  EXPECT_EQ(sim.activeForm(), FormId::frmPyxtern);
  EXPECT_EQ(sim.focusedControl(), "frmPyxtern.cmbFileName");
  sim.closeWindow(FormId::frmPyxtern);
  EXPECT_TRUE(sim.callsTo("restoreWindowProc").empty()) << "no hook to take off";
  EXPECT_TRUE(sim.messageBoxes().empty());
}

TEST_F(Startup, SecondCopyHandsItsCommandLineOverAndEndsAtOnce) {
  writeFavourites("a;1.txt\r\n");
  sim.setPreviousInstance(true);
  sim.setCommandLine(u"\"C:\\My Documents\\a.txt\"");
  startProgram();
  ASSERT_EQ(sim.callsTo("handOverToRunningCopy").size(), 1u);
  EXPECT_EQ(sim.callsTo("handOverToRunningCopy")[0].args[0], "\"C:\\My Documents\\a.txt\"");
  EXPECT_TRUE(sim.programEnded());
  EXPECT_TRUE(sim.callsTo("showForm").empty());
  EXPECT_TRUE(sim.callsTo("readFile").empty());
  EXPECT_TRUE(sim.callsTo("globalAddAtom").empty());
  EXPECT_FALSE(sim.trayIconShown());
  EXPECT_TRUE(sim.messageBoxes().empty());
  EXPECT_EQ(sim.callsTo("shellNotifyIcon").size(), 1u) << "the unload runs and finds nothing to remove";
}

TEST_F(Startup, RunningCopyDoesWhatAnotherStartAsks) {
  writeFavourites("a;1.txt\r\n");
  startProgram();
  constexpr ControlRef kPathBox{FormId::frmTork, "txtPath"};
  std::vector<std::string> shownPaths;
  auto registering = [&] { shownPaths.push_back(toUtf8(sim.controlText(kPathBox))); };
  sim.minimize(FormId::frmPyxtern);
  sim.startOtherCopy(u" 1 ");
  EXPECT_FALSE(sim.isFormVisible(FormId::frmPyxtern)) << "a start into the tray leaves this copy there";
  sim.startOtherCopy(u"");
  EXPECT_EQ(sim.activeForm(), FormId::frmPyxtern) << "a plain start brings it on screen";

  sim.minimize(FormId::frmPyxtern);
  sim.whenModal(FormId::frmTork, [&] {
    registering();
    // While the window is open: into its path box, without one pair of enclosing quotes.
    for (const char16_t* path : {u"C:\\b.txt\"", u"\"\"C:\\b.txt\"", u"\" C:\\b.txt \"", u"\"\""}) {
      sim.startOtherCopy(path);
      registering();
    }
  });
  sim.startOtherCopy(u"\"C:\\My Documents\\a.txt\"");
  EXPECT_TRUE(sim.isFormVisible(FormId::frmPyxtern)) << "out of the tray";

  sim.whenModal(FormId::frmSetPgm, [&] { sim.startOtherCopy(u"C:\\c.txt"); });
  sim.whenModal(FormId::frmTork, registering);
  sim.whenPopupMenu([&] { sim.chooseMenuItem("mnuSet"); });
  sim.rightClick(FormId::frmPyxtern);  // the path waits for the settings window to close
  sim.whenModal(FormId::frmTork, registering);
  sim.dropFile(FormId::frmPyxtern, u"D:\\dropped");
  sim.whenModal(FormId::frmTork, [&] {
    sim.dropFile(FormId::frmTork, u"D:\\dropped on it");
    registering();
  });
  sim.click({FormId::frmPyxtern, "cmdTork"});
  EXPECT_EQ(shownPaths,
            (std::vector<std::string>{"C:\\My Documents\\a.txt", "C:\\b.txt\"", "\"\"C:\\b.txt\"",
                                      " C:\\b.txt ", "", "C:\\c.txt", "D:\\dropped", "D:\\dropped on it"}));
  EXPECT_EQ(favourites(), "a;1.txt\r\n") << "nothing is stored until the user presses 登録";
}

TEST_F(Startup, VersionThatCannotBeReadCountsAsThe9xFamily) {
  sim.setPlatformId(std::nullopt);
  startProgram();
  EXPECT_EQ(app->com.glngOSType, 1);
  EXPECT_TRUE(sim.messageBoxes().empty());
  SimDesktop other;
  other.setPlatformId(3);
  Application program(other);
  program.run();
  EXPECT_EQ(program.com.glngOSType, 0);
}

TEST_F(Startup, CommandLineOneStartsInTheTrayOnlyOnce) {
  sim.setCommandLine(u" 1 ");
  writeFavourites("a;1.txt\r\n");
  startProgram();
  EXPECT_EQ(sim.formWindowState(FormId::frmPyxtern), WindowState::Minimized);
  EXPECT_FALSE(sim.isFormVisible(FormId::frmPyxtern));
  EXPECT_TRUE(sim.trayIconShown());
  EXPECT_TRUE(app->com.gstrCommand.empty());
  EXPECT_EQ(names(), std::vector<std::string>{"a"}) << "the list is read before the window goes to the tray";

  sim.trayMouse(0x203);  // double-click on the icon brings it back
  EXPECT_TRUE(sim.isFormVisible(FormId::frmPyxtern));
  EXPECT_EQ(sim.formWindowState(FormId::frmPyxtern), WindowState::Normal);
  EXPECT_EQ(sim.activeForm(), FormId::frmPyxtern);
  sim.switchAway();
  sim.activate(FormId::frmPyxtern);
  EXPECT_EQ(sim.formWindowState(FormId::frmPyxtern), WindowState::Normal) << "later activations stay normal";
}

TEST_F(Startup, CommandLinePathIsOfferedToTheRegistrationWindowWithoutItsQuotes) {
  sim.setCommandLine(u"\"C:\\My Documents\\a.txt\"");
  std::vector<std::string> shownPaths;
  bool commandKept = true;
  sim.whenModal(FormId::frmTork, [&] {
    shownPaths.push_back(toUtf8(sim.controlText({FormId::frmTork, "txtPath"})));
    commandKept = !app->com.gstrCommand.empty();
    sim.click({FormId::frmTork, "cmdRturn"});
  });
  startProgram();
  EXPECT_FALSE(commandKept);
  EXPECT_EQ(sim.callsTo("showForm").size(), 2u) << "the registration window opened once";
  EXPECT_EQ(sim.activeForm(), FormId::frmPyxtern);
  EXPECT_FALSE(sim.isFormLoaded(FormId::frmTork));
  // The path stays handed over for every later opening.
  sim.whenModal(FormId::frmTork, [&] {
    shownPaths.push_back(toUtf8(sim.controlText({FormId::frmTork, "txtPath"})));
  });
  sim.click({FormId::frmPyxtern, "cmdTork"});
  EXPECT_EQ(shownPaths, std::vector<std::string>(2, "C:\\My Documents\\a.txt"));
}

TEST_F(Startup, KeyboardTabsInOrderEnterPressesOkEscapeDoesNothing) {
  writeFavourites("a;C:\\a.txt\r\n");
  startProgram();
  std::vector<std::string> visited;
  for (int i = 0; i < 5; ++i) {
    sim.pressKey(9);
    visited.push_back(sim.focusedControl());
  }
  EXPECT_EQ(visited,
            (std::vector<std::string>{"frmPyxtern.cmdOK", "frmPyxtern.cmdCancel", "frmPyxtern.cmdSanshou",
                                      "frmPyxtern.cmdTork", "frmPyxtern.cmbFileName"}));
  sim.type(kNameBox, u"a");
  sim.pressKey(27);
  EXPECT_FALSE(sim.programEnded());
  EXPECT_TRUE(sim.callsTo("shellExecute").empty());
  sim.pressKey(13);
  EXPECT_EQ(sim.callsTo("shellExecute").size(), 1u);
}

struct ShutdownCase {
  const char* what;
  void (*close)(SimDesktop&);
};

class Shutdown : public SimTest, public ::testing::WithParamInterface<ShutdownCase> {};

TEST_P(Shutdown, ReleasesHotkeysAtomsHookAndTrayIcon) {
  sim.putFile("Tesmora.ini", "[Start]\r\nKey=112\r\n[Small]\r\nKey=113\r\n");
  startProgram();
  ASSERT_EQ(sim.registeredHotKeyCount(), 2u);
  sim.clearCalls();
  GetParam().close(sim);
  EXPECT_TRUE(sim.programEnded());
  EXPECT_EQ(sim.registeredHotKeyCount(), 0u);
  EXPECT_FALSE(sim.atomExists(u"HOTKEY1"));
  EXPECT_FALSE(sim.atomExists(u"HOTKEY2"));
  EXPECT_FALSE(sim.trayIconShown());
  std::vector<std::string> order = callNames();
  std::erase_if(order, [](const std::string& n) { return n == "popupMenu" || n == "callWindowProc"; });
  EXPECT_EQ(order, (std::vector<std::string>{"unloadForm", "unregisterHotKey", "unregisterHotKey",
                                             "globalDeleteAtom", "globalDeleteAtom", "restoreWindowProc",
                                             "shellNotifyIcon"}));
  EXPECT_TRUE(sim.messageBoxes().empty());
  EXPECT_EQ(sim.callsTo("writePrivateProfileString").size(), 0u) << "nothing is saved at shutdown";
}

INSTANTIATE_TEST_SUITE_P(
    Ways, Shutdown,
    ::testing::Values(ShutdownCase{"cancel_button",
                                   [](SimDesktop& s) {
                                     s.click({FormId::frmPyxtern, "cmdCancel"});
                                   }},
                      ShutdownCase{"close_box", [](SimDesktop& s) { s.closeWindow(FormId::frmPyxtern); }},
                      ShutdownCase{"exit_menu_from_window",
                                   [](SimDesktop& s) {
                                     s.whenPopupMenu([&s] { s.chooseMenuItem("mnuEnd"); });
                                     s.rightClick(FormId::frmPyxtern);
                                   }},
                      ShutdownCase{"exit_menu_from_tray",
                                   [](SimDesktop& s) {
                                     s.whenPopupMenu([&s] { s.chooseMenuItem("mnuEnd"); });
                                     s.trayMouse(0x204);
                                   }}),
    NameFromWhat{});

}  // namespace
}  // namespace pyx::testing

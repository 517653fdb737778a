// Start-up in its order, the command line, the single instance, the keyboard
// of the launcher window, and shutdown releasing everything.
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

using Startup = SimTest;

TEST_F(Startup, RunsItsStepsInOrder) {
  writeFavourites("a;1.txt\r\n");
  sim.putFile("Tesmora.ini",
              "[Start]\r\nCtrl=1\r\nAlt=0\r\nshift=1\r\nKey=112\r\n"
              "[Small]\r\nCtrl=0\r\nAlt=1\r\nshift=0\r\nKey=113\r\n");
  startProgram();
  // The calls but the list's items, settings reads (settings_test.cpp) and tab order (walked below).
  std::vector<std::string> calls;
  for (const SimCall& call : sim.calls()) {
    std::string c = call.str();
    for (std::size_t at; (at = c.find(appDir())) != std::string::npos;)
      c.replace(at, appDir().size(), "<dir>");
    if (!c.starts_with("setListItems") && !c.starts_with("getPrivateProfileString") &&
        !c.starts_with("setTabIndex"))
      calls.push_back(c);
  }
  const std::string hwnd = std::to_string(sim.formHandle(FormId::frmPyxtern));
  const std::string hotkey1 = std::to_string(static_cast<std::int16_t>(0xC001));
  const std::string hotkey2 = std::to_string(static_cast<std::int16_t>(0xC002));
  EXPECT_EQ(calls, (std::vector<std::string>{
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
                       "setMenuVisible(frmPyxtern.mnuPopup, false)",
                       "platformId()",
                       "showForm(frmPyxtern, modeless)",
                       "readFile(<dir>\\pyxtern.txt)",
                       "setFocus(frmPyxtern.cmbFileName)",
                   }));
  EXPECT_EQ(names(), std::vector<std::string>{"a"});
  // The tab order given above, as the Tab key walks it.
  std::vector<std::string> visited;
  for (int i = 0; i < 5; ++i) {
    sim.pressKey(9);
    visited.push_back(sim.focusedControl());
  }
  EXPECT_EQ(visited,
            (std::vector<std::string>{"frmPyxtern.cmdOK", "frmPyxtern.cmdCancel", "frmPyxtern.cmdSanshou",
                                      "frmPyxtern.cmdTork", "frmPyxtern.cmbFileName"}));
}

TEST_F(Startup, WithoutAnyFileOrWithAHiddenOneTheWindowOpensEmptyWithoutHotkeys) {
  // A hidden settings file is the user's, not ours: it counts as missing and keeps its attributes.
  sim.putFile("Tesmora.ini", "[Start]\r\nKey=112\r\n[OPEN_TYPE]\r\nTYEP=0\r\n",
              attr::Hidden | attr::ReadOnly);
  startProgram();
  EXPECT_FALSE(app->com.gblnOkiniFile);
  EXPECT_TRUE(names().empty());
  EXPECT_EQ(sim.registeredHotKeyCount(), 0u);
  EXPECT_TRUE(sim.callsTo("hookWindowProc").empty());
  EXPECT_TRUE(app->com.gstrOpenType.empty());
  EXPECT_EQ(sim.attributesOf("Tesmora.ini"), attr::Hidden | attr::ReadOnly);
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
  auto registering = [&] { shownPaths.push_back(text(kPathBox)); };
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

  sim.whenModal(FormId::frmTork, registering);
  // The path waits for the settings window to close.
  inSettingsWindow([&] { sim.startOtherCopy(u"C:\\c.txt"); });
  sim.whenModal(FormId::frmTork, registering);
  sim.dropFile(FormId::frmPyxtern, u"D:\\dropped");
  inRegistrationWindow([&] {
    sim.dropFile(FormId::frmTork, u"D:\\dropped on it");
    registering();
  });
  EXPECT_EQ(shownPaths,
            (std::vector<std::string>{"C:\\My Documents\\a.txt", "C:\\b.txt\"", "\"\"C:\\b.txt\"",
                                      " C:\\b.txt ", "", "C:\\c.txt", "D:\\dropped", "D:\\dropped on it"}));
  EXPECT_EQ(favourites(), "a;1.txt\r\n") << "nothing is stored until the user presses 登録";
}

TEST_F(Startup, CommandLineOneStartsInTheTrayOnlyOnce) {
  sim.setCommandLine(u" 1 ");
  writeFavourites("a;1.txt\r\n");
  startProgram();
  EXPECT_EQ(sim.formWindowState(FormId::frmPyxtern), WindowState::Minimized);
  EXPECT_FALSE(sim.isFormVisible(FormId::frmPyxtern));
  EXPECT_EQ(names(), std::vector<std::string>{"a"}) << "the list is read before the window goes to the tray";
  sim.trayMouse(0x203);  // double-click on the icon brings it back
  sim.switchAway();
  sim.activate(FormId::frmPyxtern);
  EXPECT_EQ(sim.formWindowState(FormId::frmPyxtern), WindowState::Normal) << "later activations stay normal";
}

TEST_F(Startup, CommandLinePathIsOfferedToTheRegistrationWindowWithoutItsQuotes) {
  sim.setCommandLine(u"\"C:\\My Documents\\a.txt\"");
  std::vector<std::string> shownPaths;
  sim.whenModal(FormId::frmTork, [&] {
    shownPaths.push_back(text({FormId::frmTork, "txtPath"}));
    EXPECT_TRUE(app->com.gstrCommand.empty()) << "taken as the window opens";
    sim.click({FormId::frmTork, "cmdRturn"});
  });
  startProgram();
  EXPECT_EQ(sim.callsTo("showForm").size(), 2u) << "the registration window opened once";
  EXPECT_EQ(sim.activeForm(), FormId::frmPyxtern);
  // The path stays handed over for every later opening.
  inRegistrationWindow([&] { shownPaths.push_back(text({FormId::frmTork, "txtPath"})); });
  EXPECT_EQ(shownPaths, std::vector<std::string>(2, "C:\\My Documents\\a.txt"));
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
  std::vector<std::string> order;  // the calls but the menu and the messages passed on
  for (const SimCall& call : sim.calls())
    if (call.name != "popupMenu" && call.name != "callWindowProc") order.push_back(call.name);
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

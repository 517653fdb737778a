// Looking a typed name up and starting the favourite: the three passes, the
// built-in names, moving the favourite to the top, and how each kind of path
// is started.
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

using ::pyx::testing::PrintTo;

using Launch = SimTest;

constexpr char kNotRegistered[] = "登録されていないファイル名を指定しています。";

struct LookupCase {
  const char* what;
  std::string file;
  std::string typed;
  std::string launchedPath;  // empty: nothing is found
};

class Lookup : public SimTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(Lookup, FindsByExactThenPrefixThenContains) {
  const LookupCase& c = GetParam();
  writeFavourites(c.file);
  startProgram();
  launch(c.typed);
  auto opened = sim.callsTo("shellExecute");
  if (c.launchedPath.empty()) {
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(messages(), std::vector<std::string>{kNotRegistered});
    EXPECT_EQ(sim.messageBoxes()[0].flags, mb::Critical);
    EXPECT_EQ(sim.focusedControl(), "frmPyxtern.cmbFileName");
    EXPECT_EQ(toUtf8(sim.controlText(kNameBox)), c.typed) << "the typed name stays for correcting";
  } else {
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].args[2], c.launchedPath);
    EXPECT_TRUE(sim.messageBoxes().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Passes, Lookup,
    ::testing::Values(LookupCase{"prefix", "home;h.txt\r\nmemo;m.txt\r\n", "me", "m.txt"},
                      LookupCase{"contains", "home;h.txt\r\nmemo;m.txt\r\n", "om", "h.txt"},
                      LookupCase{"case matters", "home;h.txt\r\nmemo;m.txt\r\n", "Memo", ""},
                      LookupCase{"exact beats an earlier prefix", "abc;1.txt\r\nab;2.txt\r\n", "ab", "2.txt"},
                      LookupCase{"prefix beats an earlier contains", "xab;1.txt\r\nabx;2.txt\r\n", "ab",
                                 "2.txt"},
                      LookupCase{"lowest index wins a pass", "ab1;1.txt\r\nab2;2.txt\r\n", "ab", "1.txt"},
                      LookupCase{"duplicates take the first", "x;1.txt\r\nx;2.txt\r\n", "x", "1.txt"},
                      LookupCase{"typed text is trimmed", "memo;m.txt\r\n", "  memo  ", "m.txt"},
                      LookupCase{"typed text longer than every name", "a;1.txt\r\n", "abc", ""},
                      LookupCase{"japanese prefix", "メモ帳;j.txt\r\n", "メモ", "j.txt"},
                      LookupCase{"path is trimmed", "p; C:\\p q.txt \r\n", "p", "C:\\p q.txt"}),
    NameFromWhat{});

TEST_F(Launch, EmptyNameAsksForOne) {
  writeFavourites("a;1.txt\r\n");
  startProgram();
  launch("   ");
  EXPECT_EQ(messages(), std::vector<std::string>{"ファイル名を入力してください"});
  EXPECT_EQ(sim.messageBoxes()[0].flags, mb::Critical);
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].title), "ぴくせるん");
  EXPECT_EQ(sim.focusedControl(), "frmPyxtern.cmbFileName");
  EXPECT_TRUE(sim.callsTo("replaceFile").empty());
}

TEST_F(Launch, WithoutFavouritesFileEveryNameIsUnregistered) {
  startProgram();
  launch("anything");
  EXPECT_EQ(messages(), std::vector<std::string>{kNotRegistered});
  EXPECT_EQ(favourites(), "<missing>");
}

TEST_F(Launch, LaunchedFavouriteMovesToTheTopAndTheFileIsPadded) {
  writeFavourites("f0;0.txt\r\nf1;1.txt\r\nf2;2.txt\r\nf3;3.txt\r\nf4;4.txt\r\nf5;5.txt\r\n");
  startProgram();
  launch("f3");
  EXPECT_EQ(favourites(), padded("f3", "3.txt") + padded("f0", "0.txt") + padded("f1", "1.txt") +
                              padded("f2", "2.txt") + padded("f4", "4.txt") + padded("f5", "5.txt"));
  EXPECT_EQ(names(), (std::vector<std::string>{"f3", "f0", "f1", "f2", "f4", "f5"}));
  EXPECT_EQ(toUtf8(sim.controlText(kNameBox)), "") << "the list reload empties the name field";
  EXPECT_EQ(sim.focusedControl(), "frmPyxtern.cmbFileName");
  EXPECT_EQ(sim.activeForm(), FormId::frmPyxtern) << "the launcher stays as it was";
  EXPECT_TRUE(sim.isFormVisible(FormId::frmPyxtern));
}

TEST_F(Launch, TheMoveHappensBeforeTheStartAndStaysWhenTheStartFails) {
  writeFavourites("a;C:\\a.txt\r\ned;C:\\Ed\\ed.exe\r\n");
  startProgram();
  sim.makeProgramMissing(u"C:\\Ed\\ed.exe");
  launch("ed");
  EXPECT_EQ(messages(), std::vector<std::string>{"53\r\nmStrat_Files\r\nファイルが見つかりません。"});
  EXPECT_EQ(favourites(), padded("ed", "C:\\Ed\\ed.exe") + padded("a", "C:\\a.txt"));
  std::vector<std::string> order = callNames();
  auto rewrite = std::find(order.begin(), order.end(), "replaceFile");
  auto start = std::find(order.begin(), order.end(), "startProcess");
  EXPECT_LT(rewrite - order.begin(), start - order.begin());
}

struct StartCase {
  const char* what;
  std::string path;
  std::string openType;  // the folder launch type setting; "-": no settings file
  std::string browser;
  std::string started;   // as starts() shows it
  bool program = false;  // Ctrl+Shift runs it as administrator; anything else starts alike
};

class StartByKind : public SimTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartByKind, StartsProgramsInTheirFolderDocumentsAndFolders) {
  const StartCase& c = GetParam();
  writeFavourites("x;" + c.path + "\r\n");
  if (c.openType != "-") {
    sim.putFile("Tesmora.ini", "[OPEN_TYPE]\r\nTYEP=" + c.openType + "\r\nIE_EXE=" + c.browser + "\r\n");
  }
  sim.setEnvironmentVariable(u"Tools", u"D:\\Tools");
  startProgram();
  launch("x");
  sim.type(kNameBox, u"x");
  sim.pressKey(13, 3);  // Ctrl+Shift+Enter
  const std::string app = appDir();
  auto inApp = [&](std::string s) { return s.replace(s.find("<app>"), 5, app); };
  const std::string started = c.started.find("<app>") == std::string::npos ? c.started : inApp(c.started);
  EXPECT_EQ(starts(), (std::vector<std::string>{started, c.program ? "runas:" + started : started}));
  for (const SimCall& call : sim.callsTo("startProcess"))
    EXPECT_EQ(call.args[3], "1") << "normal, activated window";
  for (const SimCall& call : sim.callsTo("shellExecute")) EXPECT_EQ(call.args[5], "1");
  EXPECT_EQ(favourites(), padded("x", c.path)) << "the file keeps the path as written";
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, StartByKind,
    ::testing::Values(
        StartCase{"program without arguments", "C:\\Ed\\ed.exe", "-", "", "C:\\Ed\\ed.exe||C:\\Ed", true},
        StartCase{"quoted program with spaces and arguments", "\"C:\\Program Files\\Ed\\ed.exe\" /r", "-", "",
                  "C:\\Program Files\\Ed\\ed.exe|/r|C:\\Program Files\\Ed", true},
        StartCase{"arguments keep their quotes", "C:\\e.exe \"a b\" c", "-", "", "C:\\e.exe|\"a b\" c|C:\\",
                  true},
        StartCase{"quoted program and quoted argument",
                  "\"C:\\Program Files\\Ed\\ed.exe\" \"C:\\My Documents\\a.txt\"", "-", "",
                  "C:\\Program Files\\Ed\\ed.exe|\"C:\\My Documents\\a.txt\"|C:\\Program Files\\Ed", true},
        StartCase{"quotes inside the program path", "C:\\\"Program Files\"\\ed.exe /r", "-", "",
                  "C:\\Program Files\\ed.exe|/r|C:\\Program Files", true},
        StartCase{"a later .exe ends the program", "C:\\My.exes\\t.exe /a", "-", "",
                  "C:\\My.exes\\t.exe|/a|C:\\My.exes", true},
        StartCase{"program found on the search path", "ed.exe /a", "-", "", "ed.exe|/a|<app>", true},
        StartCase{"variables in program and arguments", "%TOOLS%\\ed.exe %tools%\\a.txt %NONE%", "-", "",
                  "D:\\Tools\\ed.exe|D:\\Tools\\a.txt %NONE%|D:\\Tools", true},
        StartCase{".exe inside a document's name", "C:\\Docs\\plan.executive.docx", "-", "",
                  "open:C:\\Docs\\plan.executive.docx||<app>"},
        StartCase{".exe inside a shared folder's name", "\\\\nas\\pub\\Q3.exec\\r.pdf", "-", "",
                  "open:\\\\nas\\pub\\Q3.exec\\r.pdf||<app>"},
        StartCase{".exe inside an address", "https://www.executive.example/", "-", "",
                  "open:https://www.executive.example/||<app>"},
        StartCase{"upper-case EXE opens as a document", "C:\\Tools\\App.EXE", "-", "",
                  "open:C:\\Tools\\App.EXE||<app>"},
        StartCase{"document in a variable's folder", "%Tools%\\a.txt", "-", "",
                  "open:D:\\Tools\\a.txt||<app>"},
        StartCase{"folder with a dot is a document", "D:\\v1.2", "-", "", "open:D:\\v1.2||<app>"},
        StartCase{"folder in the file browser", "%TOOLS%\\Work", "-", "",
                  "C:\\WINNT\\EXPLORER.EXE|/n,/e,D:\\Tools\\Work|C:\\WINNT"},
        StartCase{"folder, explore type", "D:\\Work", "1", "",
                  "C:\\WINNT\\EXPLORER.EXE|/n,/e,D:\\Work|C:\\WINNT"},
        StartCase{"folder in the browser", "D:\\Work", "0", "%TOOLS%\\IE\\IEXPLORE.EXE",
                  "D:\\Tools\\IE\\IEXPLORE.EXE|D:\\Work|D:\\Tools\\IE"},
        StartCase{"empty path is a folder", "", "-", "", "C:\\WINNT\\EXPLORER.EXE|/n,/e,|C:\\WINNT"}),
    NameFromWhat{});

TEST_F(Launch, CommandLinesReadAsTheProgramBuildsThem) {
  writeFavourites("q;\"C:\\Program Files\\Ed\\ed.exe\" /r\r\ne;C:\\Ed\\ed.exe\r\nw;D:\\Work\r\n");
  startProgram();
  Text quoted = u"\"C:\\Program Files\\Ed\\ed.exe\" /r";
  Text plain = u"C:\\Ed\\ed.exe";
  Text folder = u"D:\\Work";
  app->funcStart.mStrat_Files(quoted);
  app->funcStart.mStrat_Files(plain);
  app->funcStart.mStrat_Files(folder);
  auto starts = sim.callsTo("startProcess");
  ASSERT_EQ(starts.size(), 3u);
  // The command line is the program, one space and its arguments.
  EXPECT_EQ(starts[0].args[0] + " " + starts[0].args[1], "C:\\Program Files\\Ed\\ed.exe /r");
  EXPECT_EQ(starts[1].args[0] + " " + starts[1].args[1], "C:\\Ed\\ed.exe ");
  EXPECT_EQ(toUtf8(folder), "C:\\WINNT\\EXPLORER.EXE /n,/e,D:\\Work")
      << "a folder launch hands back its command line";
}

TEST_F(Launch, SystemProgramsComeFromWhereWindowsIsInstalled) {
  sim.setWindowsDirectory(u"D:\\Win");
  writeFavourites("w;E:\\Work\r\n");
  startProgram();
  launch("w");
  launch("calc");
  launch("explorer");
  EXPECT_EQ(starts()[0], "D:\\Win\\EXPLORER.EXE|/n,/e,E:\\Work|D:\\Win");
  auto opened = sim.callsTo("shellExecute");
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].args[2], "D:\\Win\\system32\\CALC.EXE");
  EXPECT_EQ(opened[1].args[2], "D:\\Win\\EXPLORER.EXE");
}

TEST_F(Launch, FoldersOnThe9xFamilyOpenFromTheWindowsDirectory) {
  sim.setPlatformId(1);
  writeFavourites("w;D:\\Work\r\n");
  startProgram();
  launch("w");
  EXPECT_EQ(starts(), std::vector<std::string>{"C:\\WINDOWS\\EXPLORER.EXE|/n,/e,D:\\Work|C:\\WINDOWS"});
}

TEST_F(Launch, BrowserTypeWithoutBrowserSaysSoAndStartsNothing) {
  writeFavourites("a;1.txt\r\nw;D:\\Work\r\n");
  sim.putFile("Tesmora.ini", "[OPEN_TYPE]\r\nTYEP=0\r\n");
  startProgram();
  launch("w");
  EXPECT_EQ(messages(),
            std::vector<std::string>{"アプリケーションが指定されていません。設定画面で設定を行って下さい"});
  EXPECT_EQ(sim.messageBoxes()[0].flags, mb::Exclamation);
  EXPECT_TRUE(starts().empty());
  EXPECT_EQ(names(), (std::vector<std::string>{"w", "a"})) << "the favourite was moved before the start";
}

struct BuiltInCase {
  const char* what;
  std::int32_t platform;
  std::string typed;
  std::string path;
};

class BuiltIn : public SimTest, public ::testing::WithParamInterface<BuiltInCase> {};

TEST_P(BuiltIn, StartsTheSystemProgramFromTheSystemsDirectories) {
  const BuiltInCase& c = GetParam();
  sim.setPlatformId(c.platform);
  writeFavourites("a;1.txt\r\nnotepad;C:\\mine\\notepad.exe\r\n");
  startProgram();
  launch(c.typed);
  EXPECT_EQ(starts(), std::vector<std::string>{"open:" + c.path + "||" + appDir()});
  // The file is still rewritten in the padded form, in the same order.
  EXPECT_EQ(favourites(), padded("a", "1.txt") + padded("notepad", "C:\\mine\\notepad.exe"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, BuiltIn,
    ::testing::Values(BuiltInCase{"calc_nt", 2, "calc", "C:\\WINNT\\system32\\CALC.EXE"},
                      BuiltInCase{"calc_mixed_case_spaces", 2, "  Calc ", "C:\\WINNT\\system32\\CALC.EXE"},
                      BuiltInCase{"notepad_wins_over_favourite", 2, "notepad",
                                  "C:\\WINNT\\system32\\NOTEPAD.EXE"},
                      BuiltInCase{"explorer_nt", 2, "EXPLORER", "C:\\WINNT\\EXPLORER.EXE"},
                      BuiltInCase{"calc_9x", 1, "calc", "C:\\WINDOWS\\CALC.EXE"},
                      BuiltInCase{"notepad_9x", 1, "Notepad", "C:\\WINDOWS\\NOTEPAD.EXE"},
                      BuiltInCase{"explorer_9x", 1, "explorer", "C:\\WINDOWS\\EXPLORER.EXE"}),
    NameFromWhat{});

TEST_F(Launch, BuiltInWorksBeforeAnyFavouriteExists) {
  startProgram();
  launch("notepad");
  EXPECT_TRUE(sim.messageBoxes().empty());
  auto opened = sim.callsTo("shellExecute");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].args[2], "C:\\WINNT\\system32\\NOTEPAD.EXE");
  EXPECT_EQ(favourites(), "<missing>");

  // A file without a single favourite leaves no table either.
  SimDesktop desk;
  desk.putFile("pyxtern.txt", "");
  Application program(desk);
  program.run();
  desk.type(kNameBox, u"calc");
  desk.pressKey(13);
  EXPECT_TRUE(desk.messageBoxes().empty());
  EXPECT_EQ(desk.callsTo("shellExecute").size(), 1u);
  EXPECT_EQ(*desk.fileContent("pyxtern.txt"), "");
}

TEST_F(Launch, BuiltInAfterTheLastFavouriteWasRemovedWritesNoFile) {
  writeFavourites("only;1.txt\r\n");
  startProgram();
  ASSERT_TRUE(app->com.pRemoveOkiniFile());  // as deleting the only favourite does; the table keeps its entry
  launch("calc");
  EXPECT_EQ(sim.callsTo("shellExecute").size(), 1u);
  EXPECT_EQ(favourites(), "<missing>");
  EXPECT_TRUE(sim.messageBoxes().empty());
}

TEST_F(Launch, NameNotInAnEmptyFileIsSimplyUnregistered) {
  writeFavourites("a;1.txt\r\nb;2.txt\r\n");
  startProgram();
  writeFavourites("\r\nbelow;1.txt\r\n");  // the user empties the list, keeping a note below it
  sim.switchAway();
  sim.activate(FormId::frmPyxtern);
  for (const char* name : {"below", "b"}) launch(name);
  EXPECT_EQ(messages(), std::vector<std::string>(2, kNotRegistered)) << "the emptied list's names are gone";
  EXPECT_EQ(favourites(), "\r\nbelow;1.txt\r\n");
  EXPECT_TRUE(starts().empty());
}

TEST_F(Launch, NotACalcName) {
  writeFavourites("a;1.txt\r\n");
  startProgram();
  launch("CALC.EXE");
  EXPECT_EQ(messages(), std::vector<std::string>{kNotRegistered});
}

}  // namespace
}  // namespace pyx::testing

// Looking a typed name up and starting the favourite: the three passes, the
// built-in names, the launcher after a launch, a list emptied or removed
// meanwhile, and how each kind of path is started.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

using Launch = SimTest;

constexpr char kNotRegistered[] = "登録されていないファイル名を指定しています。";

struct LookupCase {
  const char* what;
  std::string file;  // "<missing>": none
  std::string typed;
  std::string opened;  // empty: nothing is found
  std::string message = kNotRegistered;
  std::optional<std::int32_t> platform = 2;  // none: the version cannot be read
};

class Lookup : public SimTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(Lookup, FindsByExactThenPrefixThenContainsAfterTheBuiltInNames) {
  const LookupCase& c = GetParam();
  sim.setPlatformId(c.platform);
  sim.setWindowsDirectory(u"D:\\Win");  // asked for, not assumed
  if (c.file != "<missing>") writeFavourites(c.file);
  startProgram();
  sim.type(kNameBox, fromUtf8(c.typed));
  sim.click(kOk);  // the focus leaves the name box
  // The launcher stays; a launch empties its name box, a message leaves the name for correcting.
  EXPECT_EQ(text(kNameBox), c.opened.empty() ? c.typed : "");
  EXPECT_EQ(sim.focusedControl(), "frmPyxtern.cmbFileName");
  EXPECT_EQ(sim.activeForm(), FormId::frmPyxtern);
  EXPECT_TRUE(sim.isFormVisible(FormId::frmPyxtern));
  if (!c.opened.empty()) {
    EXPECT_EQ(starts(), std::vector<std::string>{"open:" + c.opened + "||" + appDir()});
    EXPECT_TRUE(sim.messageBoxes().empty());
    return;
  }
  EXPECT_TRUE(starts().empty());
  ASSERT_EQ(messages(), std::vector<std::string>{c.message});
  EXPECT_EQ(sim.messageBoxes()[0].flags, mb::Critical);
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].title), "ぴくせるん");
  EXPECT_EQ(favourites(), c.file) << "nothing is written";
}

const std::string kNotepad = "a;1.txt\r\nnotepad;C:\\mine\\notepad.exe\r\n";

const LookupCase kLookups[] = {
    {"prefix", "home;h.txt\r\nmemo;m.txt\r\n", "me", "m.txt"},
    {"contains", "home;h.txt\r\nmemo;m.txt\r\n", "om", "h.txt"},
    {"case matters", "home;h.txt\r\nmemo;m.txt\r\n", "Memo", ""},
    {"exact beats an earlier prefix", "abc;1.txt\r\nab;2.txt\r\n", "ab", "2.txt"},
    {"prefix beats an earlier contains", "xab;1.txt\r\nabx;2.txt\r\n", "ab", "2.txt"},
    {"lowest index wins a pass", "ab1;1.txt\r\nab2;2.txt\r\n", "ab", "1.txt"},
    {"duplicates take the first", "x;1.txt\r\nx;2.txt\r\n", "x", "1.txt"},
    {"typed text is trimmed", "memo;m.txt\r\n", "  memo  ", "m.txt"},
    {"typed text longer than every name", "a;1.txt\r\n", "abc", ""},
    {"japanese prefix", "メモ帳;j.txt\r\n", "メモ", "j.txt"},
    {"path is trimmed", "p; C:\\p q.txt \r\n", "p", "C:\\p q.txt"},
    {"no favourites file", "<missing>", "anything", ""},
    {"spaces only ask for a name", "a;1.txt\r\n", "   ", "", "ファイル名を入力してください"},
    {"calc", kNotepad, "calc", "D:\\Win\\system32\\CALC.EXE"},
    {"calc in mixed case and spaces", kNotepad, "  Calc ", "D:\\Win\\system32\\CALC.EXE"},
    {"notepad wins over a favourite", kNotepad, "notepad", "D:\\Win\\system32\\NOTEPAD.EXE"},
    {"explorer", kNotepad, "EXPLORER", "D:\\Win\\EXPLORER.EXE"},
    {"calc on the 9x family", kNotepad, "calc", "D:\\Win\\CALC.EXE", "", 1},
    {"calc on another platform", kNotepad, "calc", "D:\\Win\\CALC.EXE", "", 3},
    {"calc on a version that cannot be read", kNotepad, "calc", "D:\\Win\\CALC.EXE", "", std::nullopt},
    {"built-in before any favourite exists", "<missing>", "notepad", "D:\\Win\\system32\\NOTEPAD.EXE"},
    {"CALC.EXE is no built-in name", "a;1.txt\r\n", "CALC.EXE", ""},
};

INSTANTIATE_TEST_SUITE_P(Passes, Lookup, ::testing::ValuesIn(kLookups), NameFromWhat{});

TEST_F(Launch, AProgramThatCannotStartIsReportedAfterTheMove) {
  writeFavourites("a;C:\\a.txt\r\ned;C:\\Ed\\ed.exe\r\n");
  startProgram();
  sim.makeProgramMissing(u"C:\\Ed\\ed.exe");
  launch("ed");
  EXPECT_EQ(messages(), std::vector<std::string>{"53\r\nmStrat_Files\r\nファイルが見つかりません。"});
  EXPECT_EQ(names(), (std::vector<std::string>{"ed", "a"}));
}

TEST_F(Launch, AListEmptiedOrRemovedMeanwhileFindsNothingAndABuiltInNameWritesNoFile) {
  writeFavourites("a;1.txt\r\nb;2.txt\r\n");
  startProgram();
  writeFavourites("\r\nbelow;1.txt\r\n");  // the user empties the list, keeping a note below it
  sim.switchAway();
  sim.activate(FormId::frmPyxtern);
  for (const char* name : {"below", "b", "calc"}) launch(name);
  EXPECT_EQ(favourites(), "\r\nbelow;1.txt\r\n");
  writeFavourites("a;1.txt\r\n");
  sim.switchAway();
  sim.activate(FormId::frmPyxtern);
  std::filesystem::remove(sim.directory() / "pyxtern.txt");  // found in the list as read, gone from the file
  launch("a");
  EXPECT_EQ(messages(), std::vector<std::string>(3, kNotRegistered));
  EXPECT_EQ(favourites(), "<missing>");
  EXPECT_EQ(starts(), std::vector<std::string>{"open:C:\\WINNT\\system32\\CALC.EXE||" + appDir()});
}

TEST_F(Launch, AFileThatChangesAtEveryReadEndsTheLaunchAfterThreeAttempts) {
  std::string file = "a;1.txt\r\n";
  writeFavourites(file);
  startProgram();
  sim.clearCalls();
  sim.whenCalled("readFile", [&] { writeFavourites(file += "x;2.txt\r\n"); });
  launch("a");
  EXPECT_EQ(messages(), std::vector<std::string>{"75\r\npfrmPyxtern_cmdOK_Click\r\nパス名が無効です。"});
  EXPECT_EQ(sim.callsTo("readFile").size(), 5u) << "three rewrites compared, two lookups in between";
  EXPECT_TRUE(starts().empty());
}

struct StartCase {
  const char* what;
  std::string path;
  std::string started;     // as starts() shows it; "<app>" at the end: the program's folder
  bool program = false;    // Ctrl+Shift runs it as administrator; anything else starts alike
  std::string settings{};  // the folder launch type and browser; empty: no settings file
  std::string message{};   // instead of a start
};

class StartByKind : public SimTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartByKind, StartsProgramsInTheirFolderDocumentsAndFolders) {
  const StartCase& c = GetParam();
  writeFavourites("x;" + c.path + "\r\n");
  if (!c.settings.empty()) sim.putFile("Tesmora.ini", "[OPEN_TYPE]\r\n" + c.settings);
  sim.setEnvironmentVariable(u"Tools", u"D:\\Tools");
  sim.setWindowsDirectory(u"D:\\Win");
  startProgram();
  launch("x");
  sim.type(kNameBox, u"x");
  sim.pressKey(13, 3);  // Ctrl+Shift+Enter
  std::string started = c.started;
  if (started.ends_with("<app>")) started.replace(started.size() - 5, 5, appDir());
  if (c.message.empty()) {
    EXPECT_EQ(starts(), (std::vector<std::string>{started, c.program ? "runas:" + started : started}));
  } else {
    EXPECT_EQ(messages(), std::vector<std::string>(2, c.message));
    EXPECT_EQ(sim.messageBoxes()[0].flags, mb::Exclamation);
  }
  for (const SimCall& call : sim.callsTo("startProcess"))
    EXPECT_EQ(call.args[3], "1") << "normal, activated window";
  for (const SimCall& call : sim.callsTo("shellExecute")) EXPECT_EQ(call.args[5], "1");
  EXPECT_EQ(favourites(), padded("x", c.path)) << "the file keeps the path as written";
}

const StartCase kStarts[] = {
    {"program without arguments", "C:\\Ed\\ed.exe", "C:\\Ed\\ed.exe||C:\\Ed", true},
    {"quoted program with spaces and arguments", "\"C:\\A B\\ed.exe\" /r", "C:\\A B\\ed.exe|/r|C:\\A B",
     true},
    {"quoted program followed at once by arguments", "\"C:\\A B\\ed.exe\"/r", "C:\\A B\\ed.exe|/r|C:\\A B",
     true},
    {"arguments keep their quotes", "C:\\e.exe \"a b\" c", "C:\\e.exe|\"a b\" c|C:\\", true},
    {"quoted program and quoted argument", "\"C:\\A B\\ed.exe\" \"C:\\C D\\a.txt\"",
     "C:\\A B\\ed.exe|\"C:\\C D\\a.txt\"|C:\\A B", true},
    {"quotes inside the program path", "C:\\\"A B\"\\ed.exe /r", "C:\\A B\\ed.exe|/r|C:\\A B", true},
    {"a later .exe ends the program", "C:\\My.exes\\t.exe /a", "C:\\My.exes\\t.exe|/a|C:\\My.exes", true},
    {"program found on the search path", "ed.exe /a", "ed.exe|/a|<app>", true},
    {"variables in program and arguments", "%TOOLS%\\ed.exe %tools%\\a.txt %NONE%",
     "D:\\Tools\\ed.exe|D:\\Tools\\a.txt %NONE%|D:\\Tools", true},
    {".exe inside a document's name", "C:\\Docs\\plan.executive.docx",
     "open:C:\\Docs\\plan.executive.docx||<app>"},
    {".exe inside a shared folder's name", "\\\\nas\\pub\\Q3.exec\\r.pdf",
     "open:\\\\nas\\pub\\Q3.exec\\r.pdf||<app>"},
    {".exe inside an address", "https://www.executive.example/",
     "open:https://www.executive.example/||<app>"},
    {"upper-case EXE opens as a document", "C:\\Tools\\App.EXE", "open:C:\\Tools\\App.EXE||<app>"},
    {"document in a variable's folder", "%Tools%\\a.txt", "open:D:\\Tools\\a.txt||<app>"},
    {"folder with a dot is a document", "D:\\v1.2", "open:D:\\v1.2||<app>"},
    {"folder in the file browser", "%TOOLS%\\Work", "D:\\Win\\EXPLORER.EXE|/n,/e,D:\\Tools\\Work|D:\\Win"},
    {"folder, explore type", "D:\\Work", "D:\\Win\\EXPLORER.EXE|/n,/e,D:\\Work|D:\\Win", false, "TYEP=1\r\n"},
    {"folder in the browser", "D:\\Work", "D:\\Tools\\IE\\IEXPLORE.EXE|D:\\Work|D:\\Tools\\IE", false,
     "TYEP=0\r\nIE_EXE=%TOOLS%\\IE\\IEXPLORE.EXE\r\n"},
    {"browser type without a browser", "D:\\Work", "", false, "TYEP=0\r\n",
     "アプリケーションが指定されていません。設定画面で設定を行って下さい"},
    {"empty path is a folder", "", "D:\\Win\\EXPLORER.EXE|/n,/e,|D:\\Win"},
};

INSTANTIATE_TEST_SUITE_P(Kinds, StartByKind, ::testing::ValuesIn(kStarts), NameFromWhat{});

}  // namespace
}  // namespace pyx::testing

// The registration window: its checks, the only favourite from its first
// registration (browsed to) to its deletion, a file another writer changed,
// removed or broke, the close setting, and help. What each change writes is
// in write_faults_test.cpp; the tray icon while it is open, in window_test.cpp.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

constexpr FormId kTork = FormId::frmTork;
constexpr ControlRef kName{kTork, "txtOkini"};
constexpr ControlRef kPath{kTork, "txtPath"};
constexpr ControlRef kList{kTork, "lstFileName"};
constexpr ControlRef kRegister{kTork, "cmdTork"};
constexpr ControlRef kCorrect{kTork, "cmdTeis"};
constexpr ControlRef kDelete{kTork, "cmdDelete"};

class Registration : public SimTest {
 protected:
  // Picks favourite `pick` (-1: none), fills in `name` and `path` unless empty, presses `button`.
  void change(std::int32_t pick, const std::string& name, const std::string& path, ControlRef button) {
    if (pick >= 0) sim.pickListItem(kList, pick);
    if (!name.empty()) sim.setControlText(kName, fromUtf8(name));  // as typed or pasted, without the limit
    if (!path.empty()) sim.type(kPath, fromUtf8(path));
    sim.click(button);
  }
};

constexpr char kSemicolon[] = "「;」以外の文字を入力してください";
constexpr char kTaken[] = "登録されているファイル名です。";
constexpr char kReserved[] = "この名前では登録できません";
constexpr char kChoose[] = "一覧からファイル名を指定してください";
const std::string k40(40, 'n');

struct CheckCase {
  const char* what;
  std::string name, path;
  std::string message;  // empty: accepted
  const char* focus;    // the control with the focus afterwards
  std::string file{};   // the favourites file before; empty: none
  ControlRef button = kRegister;
  std::int32_t pick = -1;  // the favourite chosen before
};

class Check : public Registration, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Check, RefusesWithItsMessageAndWritesNothing) {
  const CheckCase& c = GetParam();
  if (!c.file.empty()) writeFavourites(c.file);
  startProgram();
  const std::string before = favourites();
  inRegistrationWindow([&] {
    change(c.pick, c.name, c.path, c.button);
    if (c.message.empty()) return;
    EXPECT_EQ(text(kName), c.name) << "a refused input stays for correcting";
    EXPECT_EQ(text(kPath), c.path);
    EXPECT_EQ(sim.focusedControl(), std::string("frmTork.") + c.focus);
  });
  if (c.message.empty()) {
    EXPECT_TRUE(sim.messageBoxes().empty()) << messages()[0];
    EXPECT_NE(favourites(), before);
    return;
  }
  ASSERT_EQ(messages(), std::vector<std::string>{c.message});
  // Only the reserved names get a box of their own; the rest show the application's title.
  const bool reserved = c.message == kReserved;
  EXPECT_EQ(sim.messageBoxes()[0].flags, reserved ? mb::Critical : mb::OkOnly);
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].title), reserved ? "登録" : "pyxtern");
  EXPECT_EQ(favourites(), before);
}

const CheckCase kChecks[] = {
    {"spaces only name", "   ", "C:\\a.txt", "お気に入りを入力してください", "txtOkini"},
    {"empty path comes before the semicolon", "a;b", "", "パス名を入力してください", "txtPath"},
    {"semicolon in the name", "a;b", "C:\\a.txt", kSemicolon, "txtOkini"},
    {"semicolon in the path", "a", "C:\\a;b.txt", kSemicolon, "txtPath"},
    {"line break in the name", "a\rb", "C:\\a.txt", "お気に入りに改行やタブなどの制御文字は使えません",
     "txtOkini"},
    {"tab in the path", "a", "C:\\a\t.txt", "パス名に改行やタブなどの制御文字は使えません", "txtPath"},
    {"letter the file cannot hold", "café", "C:\\a.txt", "「é」はファイルに保存できない文字です。",
     "txtOkini"},
    {"emoji last in the path", "a", "C:\\a😀", "「😀」はファイルに保存できない文字です。", "txtPath"},
    {"emoji first in the name", "😀Ａ", "C:\\a.txt", "「😀」はファイルに保存できない文字です。", "txtOkini"},
    {"name over 40 characters", k40 + "x", "C:\\a.txt", "お気に入りは40文字以内で入力してください",
     "txtOkini"},
    {"calc", "calc", "C:\\a.exe", kReserved, "cmdTork"},
    {"Calc", " Calc ", "C:\\a.exe", kReserved, "cmdTork"},
    {"CALC when correcting", "CALC", "C:\\a.exe", kReserved, "cmdTeis", "a;1.txt\r\n", kCorrect, 0},
    {"NOTEPAD and EXPLORER", "Explorer", "C:\\a.exe", kReserved, "cmdTork"},
    {"part of a registered name", "abc", "C:\\a.txt", kTaken, "txtOkini", "x;1.txt\r\nabcd;2.txt\r\n"},
    {"the same name", "abc", "C:\\a.txt", kTaken, "txtOkini", "abc;2.txt\r\n"},
    {"the file cannot hold it when correcting either", "Ω€", "C:\\a.txt",
     "「€」はファイルに保存できない文字です。", "txtOkini", "a;1.txt\r\n", kCorrect, 0},
    {"correct without a favourite chosen", "b", "2.txt", kChoose, "lstFileName", "a;1.txt\r\n", kCorrect},
    {"delete without a favourite chosen", "b", "2.txt", kChoose, "lstFileName", "a;1.txt\r\n", kDelete},
    {"calc2 is accepted", "calc2", "C:\\a.exe", "", ""},
    {"a longer name than a registered one is accepted", "abcd", "C:\\a.txt", "", "", "abc;2.txt\r\n"},
    {"exactly 40 characters and Japanese are accepted", k40.substr(0, 37) + "メモ帳", "C:\\メモ\\a.txt", "",
     ""},
    {"correcting may repeat another name", "b", "C:\\b.txt", "", "", "a;1.txt\r\nb;2.txt\r\n", kCorrect, 0},
};

INSTANTIATE_TEST_SUITE_P(InOrder, Check, ::testing::ValuesIn(kChecks), NameFromWhat{});

TEST_F(Registration, TheCharacterNamedIsWholeWhereHalvesOfPairsMeetOtherCharacters) {
  startProgram();
  const struct {
    Text text, named;
  } cases[] = {{u"a\U00010000", u"\U00010000"},  // the first pair of all
               {u"x\xDC00", u"\xDC00"},          // a lone second half after a letter
               {u"\xD800\xE000", u"\xD800"},     // a lone first half before a private-use character
               {u"メモ", u""}};
  for (const auto& c : cases) EXPECT_EQ(app->com.firstCharacterTheFileCannotHold(c.text), c.named);
}

TEST_F(Registration, TheOnlyFavouriteFromItsFirstRegistrationToItsDeletion) {
  startProgram();
  inRegistrationWindow([&] {
    for (ControlRef off : {kList, kCorrect, kDelete}) EXPECT_FALSE(sim.isEnabled(off)) << off.name;
    sim.type(kName, fromUtf8(k40 + "xyz"));
    EXPECT_EQ(text(kName), k40) << "the name box takes 40 characters";
    sim.type(kName, u"メモ");
    sim.answerFileDialog(u"C:\\メモ\\a.txt");
    for (int i = 0; i < 2; ++i) sim.click({kTork, "cmdSanshou"});  // browsed to, then cancelled
    sim.click(kPath);
    sim.pressKey(13);  // Enter in a box presses 登録
    EXPECT_EQ(favourites(), "メモ;C:\\メモ\\a.txt\r\n");
    EXPECT_EQ(sim.listItems(kList), std::vector<Text>{u"メモ"});
    for (ControlRef on : {kList, kCorrect, kDelete}) EXPECT_TRUE(sim.isEnabled(on)) << on.name;
    EXPECT_EQ(text(kName) + text(kPath), "") << "refreshed, ready for the next";
    EXPECT_EQ(sim.focusedControl(), "frmTork.txtOkini");
    EXPECT_EQ(sim.listIndex(kList), -1);

    sim.pickListItem(kList, 0);
    EXPECT_EQ(text(kName) + "|" + text(kPath), "メモ|C:\\メモ\\a.txt");
    change(-1, "", "2.txt", kCorrect);
    EXPECT_EQ(favourites(), "メモ;2.txt\r\n") << "correcting it keeps the file";
    EXPECT_EQ(text(kName) + text(kPath), "");
    change(0, "", "", kDelete);
    EXPECT_EQ(favourites(), "<missing>");
    EXPECT_TRUE(sim.listItems(kList).empty());
    for (ControlRef off : {kList, kCorrect, kDelete}) EXPECT_FALSE(sim.isEnabled(off)) << off.name;
    EXPECT_EQ(text(kName) + text(kPath), "");
  });
  EXPECT_EQ(tabOrder("frmTork"),
            "0:txtOkini 1:cmdSanshou 2:txtPath 3:lstFileName 4:cmdTork 5:cmdDelete 6:cmdRturn 7:cmdTeis ");
  EXPECT_EQ(sim.callsTo("setDefaultButton").back().args[0], "frmTork.cmdTork");
  EXPECT_EQ(sim.callsTo("fileOpenDialog")[0].args,
            (std::vector<std::string>{"frmTork.comTork", "ﾃｷｽﾄ(*.txt)|*.txt|すべて(*.*)|*.*", "1", "4096"}));
  EXPECT_TRUE(names().empty());
  launch("calc");  // with no list left, a built-in name writes no file
  EXPECT_EQ(favourites(), "<missing>");
  EXPECT_TRUE(sim.messageBoxes().empty()) << "deleting asks nothing";
}

TEST_F(Registration, AfterAnotherWriterChangedTheFileTheListIsReadAgain) {
  std::string file = "a;1.txt\r\n";
  writeFavourites(file);
  startProgram();
  inRegistrationWindow([&] {
    // Correct and delete write nothing then; the user chooses again.
    for (ControlRef button : {kCorrect, kDelete}) {
      sim.pickListItem(kList, 0);
      writeFavourites(file += text(button) + ";2.txt\r\n");  // an editor adds a line meanwhile
      change(-1, "", "9.txt", button);
      EXPECT_EQ(sim.listItems(kList).back(), sim.controlText(button)) << "the list is read again";
      EXPECT_EQ(text(kPath), "9.txt") << "what the user typed stays";
      EXPECT_EQ(sim.focusedControl(), "frmTork.lstFileName");
    }
    sim.pickListItem(kList, 0);
    std::filesystem::remove(sim.directory() / "pyxtern.txt");  // removed meanwhile: nothing is left to choose
    sim.click(kCorrect);
    EXPECT_TRUE(sim.listItems(kList).empty());
    EXPECT_FALSE(sim.isEnabled(kList));
    EXPECT_EQ(sim.focusedControl(), "frmTork.txtOkini");
    // A registration goes above a line without ";"; reading the list again, the window closes naming it.
    writeFavourites("x;1.txt\r\nbroken\r\n");
    change(-1, "new", "n.txt", kRegister);
    EXPECT_FALSE(sim.isFormLoaded(kTork));
  });
  const std::string changed =
      "お気に入りファイルがほかで変更されていたため、一覧を読み込み直しました。一覧から選び直してください。";
  const std::vector<std::string> told = messages();
  ASSERT_EQ(told.size(), 5u) << "the launcher too ends at the broken line";
  EXPECT_EQ(std::vector(told.begin(), told.begin() + 3), std::vector(3, changed));
  EXPECT_TRUE(told[3].ends_with("3行目に「;」がありません:\r\nbroken")) << told[3];
  EXPECT_EQ(favourites(), "x;1.txt\r\nnew;n.txt\r\nbroken\r\n");
}

TEST_F(Registration, OnlyACloseSettingOfZeroClosesTheWindowAfterAChange) {
  writeFavourites("a;1.txt\r\n");
  startProgram();  // without a settings file first
  for (const std::string setting : {"", "1", "00", "0"}) {
    if (!setting.empty()) {
      sim.putFile("Tesmora.ini", "[FORM]\r\nCLOSE=" + setting + "\r\n");
      app->funcStart.mSetti_Get();  // as when the settings window closes
    }
    bool stayed = false;
    inRegistrationWindow([&] {
      change(0, "", setting + ".txt", kCorrect);
      stayed = sim.isFormLoaded(kTork);
    });
    EXPECT_EQ(stayed, setting != "0") << setting;
    EXPECT_EQ(favourites(), "a;" + setting + ".txt\r\n");
  }
}

TEST_F(Registration, HelpOpensTheClassicHelpFileOrElseThePage) {
  startProgram();
  // Neither file (the system then says so), the page alone, then both.
  for (const char* file : {"", "TESMORA_HELP.html", "TESMORA_HELP.HLP"}) {
    if (*file) sim.putFile(file, "help");
    sim.whenPopupMenu([&] { sim.chooseMenuItem("mnuHelp"); });
    sim.rightClick(FormId::frmPyxtern);
  }
  auto opened = [&](const std::string& file) { return "open:" + appDir() + "\\" + file + "||" + appDir(); };
  EXPECT_EQ(starts(), (std::vector<std::string>{opened("TESMORA_HELP.HLP"), opened("TESMORA_HELP.html"),
                                                opened("TESMORA_HELP.HLP")}));
  EXPECT_TRUE(sim.messageBoxes().empty());
}

}  // namespace
}  // namespace pyx::testing

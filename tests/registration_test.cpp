// The registration window: its checks, registering, correcting and deleting
// with the favourites file's bytes afterwards, the close setting, and what
// the launcher shows when the window has closed.
#include <functional>
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
  // Opens the registration window from the launcher and runs `steps` in it;
  // returns when it has closed (by the steps, or by its close box after them).
  void inRegistrationWindow(std::function<void()> steps) {
    sim.whenModal(kTork, std::move(steps));
    sim.click({FormId::frmPyxtern, "cmdTork"});
  }
  void fill(const std::string& name, const std::string& path) {
    sim.type(kName, fromUtf8(name));
    sim.type(kPath, fromUtf8(path));
  }
  std::vector<std::string> listed() const {
    std::vector<std::string> result;
    for (const Text& item : sim.listItems(kList)) result.push_back(toUtf8(item));
    return result;
  }
  std::string text(ControlRef box) const { return toUtf8(sim.controlText(box)); }
};

// ---------------------------------------------------------------- checks

struct CheckCase {
  const char* what;
  std::string file;  // the favourites file before; empty: none
  bool correcting;   // 訂正 on the first favourite rather than 登録
  std::string name, path;
  std::string message;  // empty: accepted
  std::int32_t flags;
  std::string title;
  std::string focus;  // the control with the focus afterwards
};

class Check : public Registration, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Check, RefusesWithItsMessageAndWritesNothing) {
  const CheckCase& c = GetParam();
  if (!c.file.empty()) writeFavourites(c.file);
  startProgram();
  const std::string before = favourites();
  inRegistrationWindow([&] {
    if (c.correcting) sim.pickListItem(kList, 0);
    sim.setControlText(kName, fromUtf8(c.name));  // as typed or pasted, without the box's limit
    sim.type(kPath, fromUtf8(c.path));
    sim.click(c.correcting ? kCorrect : kRegister);
    if (c.message.empty()) return;
    EXPECT_EQ(text(kName), c.name) << "a refused input stays for correcting";
    EXPECT_EQ(text(kPath), c.path);
    EXPECT_EQ(sim.focusedControl(), c.focus);
  });
  if (c.message.empty()) {
    EXPECT_TRUE(sim.messageBoxes().empty()) << messages()[0];
    EXPECT_NE(favourites(), before);
    return;
  }
  ASSERT_EQ(messages(), std::vector<std::string>{c.message});
  EXPECT_EQ(sim.messageBoxes()[0].flags, c.flags);
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].title), c.title);
  EXPECT_EQ(favourites(), before);
}

constexpr char kBox[] = "pyxtern";  // a box without a caption of its own shows the application's title
constexpr char kAtName[] = "frmTork.txtOkini";
constexpr char kAtPath[] = "frmTork.txtPath";
constexpr char kAtButton[] = "frmTork.cmdTork";
constexpr char kSemicolon[] = "「;」以外の文字を入力してください";
constexpr char kTaken[] = "登録されているファイル名です。";
const std::string k40(40, 'n');

INSTANTIATE_TEST_SUITE_P(
    InOrder, Check,
    ::testing::Values(
        CheckCase{"spaces only name", "", false, "   ", "C:\\a.txt", "お気に入りを入力してください", 0, kBox,
                  kAtName},
        CheckCase{"empty path comes before the semicolon", "", false, "a;b", "", "パス名を入力してください",
                  0, kBox, kAtPath},
        CheckCase{"semicolon in the name", "", false, "a;b", "C:\\a.txt", kSemicolon, 0, kBox, kAtName},
        CheckCase{"semicolon in the path", "", false, "a", "C:\\a;b.txt", kSemicolon, 0, kBox, kAtPath},
        CheckCase{"line break in the name", "", false, "a\rb", "C:\\a.txt",
                  "お気に入りに改行やタブなどの制御文字は使えません", 0, kBox, kAtName},
        CheckCase{"tab in the path", "", false, "a", "C:\\a\t.txt",
                  "パス名に改行やタブなどの制御文字は使えません", 0, kBox, kAtPath},
        CheckCase{"letter the file cannot hold", "", false, "café", "C:\\a.txt",
                  "「é」はファイルに保存できない文字です。", 0, kBox, kAtName},
        CheckCase{"emoji in the path", "", false, "a", "C:\\😀\\a.txt",
                  "「😀」はファイルに保存できない文字です。", 0, kBox, kAtPath},
        CheckCase{"name over 40 characters", "", false, k40 + "x", "C:\\a.txt",
                  "お気に入りは40文字以内で入力してください", 0, kBox, kAtName},
        CheckCase{"calc", "", false, "calc", "C:\\a.exe", "この名前では登録できません", 16, "登録",
                  kAtButton},
        CheckCase{"Calc", "", false, " Calc ", "C:\\a.exe", "この名前では登録できません", 16, "登録",
                  kAtButton},
        CheckCase{"CALC when correcting", "a;1.txt\r\n", true, "CALC", "C:\\a.exe",
                  "この名前では登録できません", 16, "登録", "frmTork.cmdTeis"},
        CheckCase{"NOTEPAD and EXPLORER", "", false, "Explorer", "C:\\a.exe", "この名前では登録できません",
                  16, "登録", kAtButton},
        CheckCase{"part of a registered name", "x;1.txt\r\nabcd;2.txt\r\n", false, "abc", "C:\\a.txt", kTaken,
                  0, kBox, kAtName},
        CheckCase{"the same name", "abc;2.txt\r\n", false, "abc", "C:\\a.txt", kTaken, 0, kBox, kAtName},
        CheckCase{"the file cannot hold it when correcting either", "a;1.txt\r\n", true, "Ω€", "C:\\a.txt",
                  "「€」はファイルに保存できない文字です。", 0, kBox, kAtName},
        CheckCase{"calc2 is accepted", "", false, "calc2", "C:\\a.exe", "", 0, "", ""},
        CheckCase{"a longer name than a registered one is accepted", "abc;2.txt\r\n", false, "abcd",
                  "C:\\a.txt", "", 0, "", ""},
        CheckCase{"exactly 40 characters and Japanese are accepted", "", false, k40.substr(0, 37) + "メモ帳",
                  "C:\\メモ\\a.txt", "", 0, "", ""},
        CheckCase{"correcting may repeat another name", "a;1.txt\r\nb;2.txt\r\n", true, "b", "C:\\b.txt", "",
                  0, "", ""}),
    NameFromWhat{});

TEST_F(Registration, CorrectOrDeleteAfterAnotherWriterChangedTheFileWritesNothingAndRereads) {
  std::string file = "a;1.txt\r\n";
  writeFavourites(file);
  sim.putFile("Tesmora.ini", "[FORM]\r\nCLOSE=1\r\n");
  startProgram();
  inRegistrationWindow([&] {
    for (ControlRef button : {kCorrect, kDelete}) {
      sim.pickListItem(kList, 0);
      writeFavourites(file += text(button) + ";2.txt\r\n");  // an editor adds a line meanwhile
      sim.type(kPath, u"9.txt");
      sim.click(button);
      EXPECT_EQ(listed().back(), text(button)) << "the list is read again";
      EXPECT_EQ(text(kPath), "9.txt") << "what the user typed stays";
      EXPECT_EQ(sim.focusedControl(), "frmTork.lstFileName");
    }
  });
  EXPECT_EQ(messages(), std::vector<std::string>(
                            2,
                            "お気に入りファイルがほかで変更されていたため、一覧を読み込み直しました。"
                            "一覧から選び直してください。"));
  EXPECT_EQ(favourites(), file);
}

TEST_F(Registration, CorrectAndDeleteWithoutSelectionAskForOne) {
  writeFavourites("a;1.txt\r\n");
  startProgram();
  inRegistrationWindow([&] {
    fill("b", "2.txt");
    for (ControlRef button : {kCorrect, kDelete}) {
      sim.click(button);
      EXPECT_EQ(sim.focusedControl(), "frmTork.lstFileName");
    }
  });
  EXPECT_EQ(messages(), std::vector<std::string>(2, "一覧からファイル名を指定してください"));
  EXPECT_EQ(sim.messageBoxes()[1].flags, 0);
  EXPECT_EQ(favourites(), "a;1.txt\r\n");
}

// ---------------------------------------------------------------- changes

TEST_F(Registration, FirstRegistrationCreatesTheFileAndEnablesTheList) {
  startProgram();
  inRegistrationWindow([&] {
    for (ControlRef off : {kList, kCorrect, kDelete}) EXPECT_FALSE(sim.isEnabled(off)) << off.name;
    sim.type(kName, fromUtf8(k40 + "xyz"));
    EXPECT_EQ(text(kName), k40) << "the name box takes 40 characters";
    fill(" メモ ", " C:\\メモ\\a.txt ");
    sim.pressKey(13);  // Enter in a box presses 登録
    EXPECT_EQ(listed(), std::vector<std::string>{"メモ"});
    for (ControlRef on : {kList, kCorrect, kDelete}) EXPECT_TRUE(sim.isEnabled(on)) << on.name;
    EXPECT_EQ(text(kName) + text(kPath), "") << "refreshed, ready for the next";
    EXPECT_EQ(sim.focusedControl(), kAtName);
    EXPECT_EQ(sim.listIndex(kList), -1);
  });
  EXPECT_EQ(*sim.fileContent("pyxtern.txt"), "\x83\x81\x83\x82;C:\\\x83\x81\x83\x82\\a.txt\r\n");
  EXPECT_TRUE(app->com.gblnOkiniFile);
  EXPECT_EQ(names(), std::vector<std::string>{"メモ"}) << "the launcher lists it once the window closed";
  launch("メモ");
  EXPECT_EQ(sim.callsTo("shellExecute").back().args[2], "C:\\メモ\\a.txt");
}

TEST_F(Registration, RegisterAppendsCorrectKeepsThePlaceDeleteRemovesTheLine) {
  writeFavourites(padded("a", "1.txt") + padded("b", "2.txt") + padded("c", "3.txt"));
  startProgram();
  inRegistrationWindow([&] {
    fill("d", "4.txt");
    sim.click(kRegister);
    EXPECT_EQ(favourites(),
              padded("a", "1.txt") + padded("b", "2.txt") + padded("c", "3.txt") + "d;4.txt\r\n");

    sim.pickListItem(kList, 1);
    EXPECT_EQ(text(kName) + "|" + text(kPath), "b|2.txt");
    fill("  bee ", "C:\\b.txt ");
    sim.click(kCorrect);
    EXPECT_EQ(favourites(), "a;1.txt\r\nbee;C:\\b.txt\r\nc;3.txt\r\nd;4.txt\r\n");

    sim.pickListItem(kList, 2);
    sim.click(kDelete);
    EXPECT_EQ(favourites(), "a;1.txt\r\nbee;C:\\b.txt\r\nd;4.txt\r\n");
    EXPECT_EQ(listed(), (std::vector<std::string>{"a", "bee", "d"}));
    EXPECT_TRUE(sim.messageBoxes().empty()) << "deleting asks nothing";
  });
  EXPECT_EQ(names(), (std::vector<std::string>{"a", "bee", "d"}));
}

TEST_F(Registration, TheOnlyFavourite) {
  writeFavourites("a;1.txt\r\n");
  startProgram();
  inRegistrationWindow([&] {
    sim.pickListItem(kList, 0);
    sim.type(kPath, u"2.txt");
    sim.click(kCorrect);
    EXPECT_EQ(favourites(), "a;2.txt\r\n") << "correcting it keeps the file";
    sim.pickListItem(kList, 0);
    sim.click(kDelete);
    EXPECT_EQ(favourites(), "<missing>");
    for (ControlRef off : {kList, kCorrect, kDelete}) EXPECT_FALSE(sim.isEnabled(off)) << off.name;
    EXPECT_EQ(text(kName) + text(kPath), "");
    fill("z", "9.txt");
    sim.click(kRegister);
    EXPECT_EQ(favourites(), "z;9.txt\r\n");
  });
  EXPECT_TRUE(sim.messageBoxes().empty());
}

TEST_F(Registration, FullTableRefusesAnotherFavouriteBeforeWriting) {
  std::string file;
  for (int i = 0; i < 32767; ++i) file += "f" + std::to_string(i) + ";p\r\n";  // as many as the list reads
  writeFavourites(file);
  startProgram();
  inRegistrationWindow([&] {
    fill("new", "C:\\new.txt");
    sim.click(kRegister);
  });
  EXPECT_EQ(messages(), std::vector<std::string>{"6\r\npfrmTork_cmdTork_Click\r\nオーバーフローしました。"});
  EXPECT_TRUE(favourites() == file) << "the file is unchanged";
}

struct CloseCase {
  const char* what;
  std::string settings;  // the settings file; empty: none
  bool closes;
};

class CloseSetting : public Registration, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseSetting, DecidesWhetherEachChangeClosesTheWindow) {
  if (!GetParam().settings.empty()) sim.putFile("Tesmora.ini", GetParam().settings);
  writeFavourites("a;1.txt\r\nb;2.txt\r\n");
  startProgram();
  std::vector<std::function<void()>> changes = {
      [&] {
        fill("c", "3.txt");
        sim.click(kRegister);
      },
      [&] {
        sim.pickListItem(kList, 0);
        sim.type(kPath, u"9.txt");
        sim.click(kCorrect);
      },
      [&] {
        sim.pickListItem(kList, 1);
        sim.click(kDelete);
      },
  };
  for (auto& change : changes) {
    bool stayed = false;
    inRegistrationWindow([&] {
      change();
      stayed = sim.isFormLoaded(kTork);
    });
    EXPECT_EQ(stayed, !GetParam().closes);
  }
  EXPECT_EQ(favourites(), "a;9.txt\r\nc;3.txt\r\n");
  EXPECT_EQ(names(), (std::vector<std::string>{"a", "c"}));
}

INSTANTIATE_TEST_SUITE_P(Values, CloseSetting,
                         ::testing::Values(CloseCase{"zero_closes", "[FORM]\r\nCLOSE=0\r\n", true},
                                           CloseCase{"one_stays", "[FORM]\r\nCLOSE=1\r\n", false},
                                           CloseCase{"other_text_stays", "[FORM]\r\nCLOSE=00\r\n", false},
                                           CloseCase{"missing_stays", "", false}),
                         NameFromWhat{});

TEST_F(Registration, BrowsePutsTheChosenPathIntoThePathBoxOnly) {
  startProgram();
  sim.answerFileDialog(u"C:\\Docs\\memo.txt");
  inRegistrationWindow([&] {
    sim.type(kName, u"memo");
    sim.click({kTork, "cmdSanshou"});
    EXPECT_EQ(text(kName) + "|" + text(kPath), "memo|C:\\Docs\\memo.txt");
    sim.click({kTork, "cmdSanshou"});  // cancelled: nothing changes
    EXPECT_EQ(text(kPath), "C:\\Docs\\memo.txt");
  });
  EXPECT_EQ(sim.callsTo("fileOpenDialog")[0].args,
            (std::vector<std::string>{"frmTork.comTork", "ﾃｷｽﾄ(*.txt)|*.txt|すべて(*.*)|*.*", "1", "4096"}));
  EXPECT_EQ(favourites(), "<missing>");
}

// ---------------------------------------------------------------- around the window

TEST_F(Registration, TrayIconLeadsToTheOpenWindowInsteadOfItsMenu) {
  sim.putFile("Tesmora.ini", "[FORM]\r\nCLOSE=1\r\n");
  startProgram();
  inRegistrationWindow([&] {
    sim.switchAway();
    sim.trayMouse(0x204);  // right press: the menu would offer 設定 and 終了
    EXPECT_EQ(sim.activeForm(), kTork);
    sim.switchAway();
    sim.trayMouse(0x203);
    EXPECT_EQ(sim.activeForm(), kTork);
    EXPECT_TRUE(sim.isFormLoaded(FormId::frmPyxtern));
  });
  EXPECT_TRUE(sim.callsTo("popupMenu").empty());
  EXPECT_EQ(sim.callsTo("bringFormToFront").size(), 2u);
  sim.trayMouse(0x204);
  EXPECT_EQ(sim.callsTo("popupMenu").size(), 1u) << "with the window closed the menu opens again";
}

struct HelpCase {
  const char* what;
  std::vector<std::string> files;
  std::string opened;
};

class Help : public SimTest, public ::testing::WithParamInterface<HelpCase> {};

TEST_P(Help, OpensTheClassicHelpFileOrElseThePage) {
  for (const std::string& file : GetParam().files) sim.putFile(file, "help");
  startProgram();
  sim.whenPopupMenu([&] { sim.chooseMenuItem("mnuHelp"); });
  sim.rightClick(FormId::frmPyxtern);
  auto opened = sim.callsTo("shellExecute");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].args[2], appDir() + "\\" + GetParam().opened);
  EXPECT_TRUE(sim.messageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, Help,
    ::testing::Values(HelpCase{"both", {"TESMORA_HELP.HLP", "TESMORA_HELP.html"}, "TESMORA_HELP.HLP"},
                      HelpCase{"page_only", {"TESMORA_HELP.html"}, "TESMORA_HELP.html"},
                      HelpCase{"neither_is_silent", {}, "TESMORA_HELP.HLP"}),
    NameFromWhat{});

}  // namespace
}  // namespace pyx::testing

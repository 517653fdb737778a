// The favourites file "pyxtern.txt": how its lines are read into the table and
// the name list, its limits, a file that cannot be read, and the bytes another
// writer left. What each change writes, and the same write failed, is in
// write_faults_test.cpp.
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

using FavouritesFile = SimTest;

struct ReadCase {
  const char* what;
  std::string file;
  std::vector<std::string> names;  // as listed
  std::vector<std::string> paths;  // as held in the table
  std::uint32_t attributes = attr::Archive;
  std::uint32_t attributesAfter = attr::Normal;  // a file that is found is made writable
};

class FavouritesRead : public SimTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(FavouritesRead, ListsNamesAndKeepsPaths) {
  const ReadCase& c = GetParam();
  writeFavourites(c.file, c.attributes);
  startProgram();
  EXPECT_EQ(names(), c.names);
  std::vector<std::string> paths;
  if (app->com.gblnOkiniFile && app->com.hasOkiniTable() && !c.paths.empty())
    for (int i = 0; i <= app->com.gintOkiniMax; ++i) paths.push_back(toUtf8(app->com.okiniPath(i)));
  EXPECT_EQ(paths, c.paths);
  EXPECT_EQ(sim.attributesOf("pyxtern.txt"), c.attributesAfter);
  EXPECT_TRUE(sim.messageBoxes().empty());
}

const ReadCase kReads[] = {
    {"japanese", "メモ;C:\\memo.txt\r\n", {"メモ"}, {"C:\\memo.txt"}},
    {"spaces around the semicolon", "abc ; C:\\x\r\n", {"abc"}, {" C:\\x"}},
    {"path keeps further semicolons", "a;b;c\r\n", {"a"}, {"b;c"}},
    {"empty name", ";C:\\x\r\n", {""}, {"C:\\x"}},
    {"padded form", "abc                                     ;C:\\x\r\n", {"abc"}, {"C:\\x"}},
    {"name cut to 40 characters", std::string(45, 'n') + ";1\r\n", {std::string(40, 'n')}, {"1"}},
    {"last line without line end", "a;1\r\nb;2", {"a", "b"}, {"1", "2"}},
    {"carriage return alone ends a line", "a;1\rb;2\r", {"a", "b"}, {"1", "2"}},
    {"line feed alone does not", "a;1\nb;2\r\n", {"a"}, {"1\nb;2"}},
    {"empty line ends the list", "a;1\r\n\r\nb;2\r\n", {"a"}, {"1"}},
    {"line of spaces ends the list", "a;1\r\n   \r\nb;2\r\n", {"a"}, {"1"}},
    {"ideographic space is not trimmed", "\u3000x;1\r\n", {"\u3000x"}, {"1"}},
    {"empty file", "", {}, {}},
    {"first line empty", "\r\na;1\r\n", {}, {}},
    {"read-only file", "a;1\r\n", {"a"}, {"1"}, attr::ReadOnly | attr::Archive},
    // A file the user hid, or a system file, is not the program's: it stays as it is.
    {"hidden file counts as missing", "a;1\r\n", {}, {}, attr::Hidden, attr::Hidden},
    {"system file counts as missing", "a;1\r\n", {}, {}, attr::System, attr::System},
};

INSTANTIATE_TEST_SUITE_P(LineForms, FavouritesRead, ::testing::ValuesIn(kReads), NameFromWhat{});

TEST_F(FavouritesFile, HoldsAsManyFavouritesAsItsIndexCountsAndNoMore) {
  std::string file;
  for (int i = 0; i < 32766; ++i) file += "n" + std::to_string(i) + ";p\r\n";
  writeFavourites(file);
  startProgram();
  // The last favourite the index counts is registered; one more would make the file unreadable.
  inRegistrationWindow([&] {
    for (const char16_t* name : {u"last", u"more"}) {
      sim.type({FormId::frmTork, "txtOkini"}, name);
      sim.type({FormId::frmTork, "txtPath"}, u"p");
      sim.click({FormId::frmTork, "cmdTork"});
    }
  });
  EXPECT_EQ(sim.listItems(kNameBox).size(), 32767u);
  EXPECT_TRUE(favourites() == file + "last;p\r\n");
  writeFavourites(file + "last;p\r\nmore;p\r\n");  // as another writer may
  sim.switchAway();
  sim.activate(FormId::frmPyxtern);
  EXPECT_EQ(messages(),
            (std::vector<std::string>{"6\r\npfrmTork_cmdTork_Click\r\nオーバーフローしました。",
                                      "6\r\npfrmPyxtern_Form_Activate\r\nオーバーフローしました。"}));
  for (const SimMessageBox& box : sim.messageBoxes()) {
    EXPECT_EQ(box.flags, mb::Critical);
    EXPECT_EQ(toUtf8(box.title), "ぴくせるん");
  }
}

TEST_F(FavouritesFile, MalformedLineIsNamedAndTheProgramEndsWithTheFileUntouched) {
  // A line as long as the whole file (one without line ends) is quoted by its start only.
  std::string longLine;
  for (int i = 0; i < 100; ++i) longLine += "あいうx";
  const struct {
    std::string line, quoted;
  } cases[] = {{"no semicolon here", "no semicolon here"},
               {longLine, "あいうxあいうxあいうxあいうxあいうxあいうxあいうxあいうxあいうxあいうx…"}};
  for (const auto& c : cases) {
    SimWorld w;
    const std::string file = "a;1\r\n" + c.line + "\r\nb;2\r\n";
    w.writeFavourites(file);
    w.startProgram();
    ASSERT_EQ(w.messages(),
              std::vector<std::string>{"お気に入りファイルの読み込みを中止しました。\r\n" + w.appDir() +
                                       "\\pyxtern.txt\r\n2行目に「;」がありません:\r\n" + c.quoted});
    EXPECT_EQ(w.sim.messageBoxes()[0].flags, mb::Critical);
    EXPECT_TRUE(w.sim.programEnded());
    EXPECT_FALSE(w.sim.trayIconShown());
    EXPECT_EQ(w.sim.fileContent("pyxtern.txt"), w.sim.toAnsi(fromUtf8(file)));
  }
}

TEST_F(FavouritesFile, AnIndexOrACountOutsideTheTableRaisesError9) {
  writeFavourites("a;1\r\nb;2\r\n");
  startProgram();
  EXPECT_EQ(errorOf([&] { app->com.okini(2); }), ErrSubscriptOutOfRange);
  app->com.gintOkiniMax = 2;
  EXPECT_EQ(errorOf([&] { (void)app->com.pWriteOkiniFilePadded(); }), ErrSubscriptOutOfRange);
  EXPECT_EQ(favourites(), "a;1\r\nb;2\r\n");
}

TEST_F(FavouritesFile, UnreadableFileIsReportedAndTheProgramGoesOn) {
  writeFavourites("a;1\r\n");
  sim.denyAccess("pyxtern.txt");
  startProgram();
  EXPECT_EQ(messages(), std::vector<std::string>{"70\r\npfrmPyxtern_Form_Activate\r\n書き込みできません。"});
  EXPECT_FALSE(sim.programEnded());
}

TEST_F(FavouritesFile, ALaunchOnlyReordersLinesAndKeepsWhatAnotherWriterAdded) {
  // Bytes the code page would not give back as they were: a sequence it does
  // not assign and a duplicate code of "≒", a name saved in UTF-8, a lead
  // byte cut off by ";". Neither names nor paths are re-encoded.
  const Bytes odd = "\x85\x40\x87\x90";
  auto line = [&](const Bytes& name, const Bytes& path) {
    return name + Bytes(40 - sim.fromAnsi(name).size(), ' ') + ";" + path + "\r\n";
  };
  const Bytes others = line("a", "C:\\" + odd + ".txt") + line(odd, "1") +
                       line("\xE3\x83\xA1\xE3\x83\xA2", "2") + line("x\x83", "3");
  sim.putFile("pyxtern.txt", others + line("b", "C:\\b.txt"));
  startProgram();
  // Each name is decoded as it would be on its own, the cut one too.
  std::vector<std::string> decoded;
  for (const Bytes& name : {Bytes("a"), odd, Bytes("\xE3\x83\xA1\xE3\x83\xA2"), Bytes("x\x83"), Bytes("b")})
    decoded.push_back(toUtf8(sim.fromAnsi(name)));
  EXPECT_EQ(names(), decoded);
  sim.putFile("pyxtern.txt", others + line("b", "C:\\b.txt") + "added;4\r\n");  // after the list was read
  launch("b");
  EXPECT_EQ(sim.fileContent("pyxtern.txt"), line("b", "C:\\b.txt") + others + line("added", "4"));
  EXPECT_EQ(names().back(), "added");
  EXPECT_EQ(app->com.okiniPath(1), u"C:\\\u30FB\u2252.txt");  // as the system decodes them
  EXPECT_TRUE(app->com.pWriteOkiniFileCompact());
  EXPECT_EQ(sim.fileContent("pyxtern.txt"), "b;C:\\b.txt\r\na;C:\\" + odd + ".txt\r\n" + odd +
                                                ";1\r\n\xE3\x83\xA1\xE3\x83\xA2;2\r\nx\x83;3\r\nadded;4\r\n");
  EXPECT_TRUE(app->com.pWriteOkiniFilePadded())
      << "until the next read the file is compared with what was written";
}

}  // namespace
}  // namespace pyx::testing

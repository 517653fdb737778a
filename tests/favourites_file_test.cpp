// The favourites file "pyxtern.txt": how its lines are read into the table and
// the name list, and how it is appended to, rewritten and removed.
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

using ::pyx::testing::PrintTo;

using FavouritesFile = SimTest;

struct ReadCase {
  const char* what;
  std::string file;
  std::vector<std::string> names;  // as listed
  std::vector<std::string> paths;  // as held in the table
};

class FavouritesRead : public SimTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(FavouritesRead, ListsNamesAndKeepsPaths) {
  const ReadCase& c = GetParam();
  writeFavourites(c.file);
  startProgram();
  EXPECT_EQ(names(), c.names);
  std::vector<std::string> paths;
  if (app->com.gblnOkiniFile && app->com.hasOkiniTable() && !c.paths.empty()) {
    for (int i = 0; i <= app->com.gintOkiniMax; ++i) paths.push_back(toUtf8(app->com.okiniPath(i)));
  }
  EXPECT_EQ(paths, c.paths);
  EXPECT_TRUE(sim.messageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    LineForms, FavouritesRead,
    ::testing::Values(
        ReadCase{"japanese", "メモ;C:\\memo.txt\r\n", {"メモ"}, {"C:\\memo.txt"}},
        ReadCase{"spaces around the semicolon", "abc ; C:\\x\r\n", {"abc"}, {" C:\\x"}},
        ReadCase{"path keeps further semicolons", "a;b;c\r\n", {"a"}, {"b;c"}},
        ReadCase{"empty name", ";C:\\x\r\n", {""}, {"C:\\x"}},
        ReadCase{"padded form", "abc                                     ;C:\\x\r\n", {"abc"}, {"C:\\x"}},
        ReadCase{"last line without line end", "a;1\r\nb;2", {"a", "b"}, {"1", "2"}},
        ReadCase{"carriage return alone ends a line", "a;1\rb;2\r", {"a", "b"}, {"1", "2"}},
        ReadCase{"line feed alone does not", "a;1\nb;2\r\n", {"a"}, {"1\nb;2"}},
        ReadCase{"empty line ends the list", "a;1\r\n\r\nb;2\r\n", {"a"}, {"1"}},
        ReadCase{"line of spaces ends the list", "a;1\r\n   \r\nb;2\r\n", {"a"}, {"1"}},
        ReadCase{"ideographic space is not trimmed", "\u3000x;1\r\n", {"\u3000x"}, {"1"}},
        ReadCase{"empty file", "", {}, {}}, ReadCase{"first line empty", "\r\na;1\r\n", {}, {}}),
    NameFromWhat{});

TEST_F(FavouritesFile, FortyCharacterNamesAreCountedInCharacters) {
  std::string longName(45, 'n');
  std::string japanese = "日本語の名前";  // six characters, twelve bytes in the file
  writeFavourites(longName + ";C:\\a.exe\r\n" + japanese + ";C:\\b.txt\r\n");
  startProgram();
  EXPECT_EQ(names(), (std::vector<std::string>{std::string(40, 'n'), japanese}));

  launch(japanese);
  EXPECT_EQ(favourites(), padded(japanese, "C:\\b.txt") + padded(std::string(40, 'n'), "C:\\a.exe"));
  Bytes bytes = *sim.fileContent("pyxtern.txt");
  EXPECT_EQ(bytes.substr(0, 12 + 34 + 1), sim.toAnsi(fromUtf8(japanese)) + std::string(34, ' ') + ";");
}

TEST_F(FavouritesFile, ReadsTheLargestTableAndRefusesOneEntryMore) {
  std::string file;
  for (int i = 0; i < 32767; ++i) file += "n" + std::to_string(i) + ";p\r\n";
  writeFavourites(file);
  startProgram();
  EXPECT_EQ(sim.listItems(kNameBox).size(), 32767u);
  EXPECT_EQ(app->com.gintOkiniMax, 32766);
  EXPECT_TRUE(sim.messageBoxes().empty());

  SimDesktop fresh;
  Application more(fresh);
  fresh.putFile("pyxtern.txt", file + "last;p\r\nbeyond;p\r\n");
  more.run();
  ASSERT_EQ(fresh.messageBoxes().size(), 1u);
  EXPECT_EQ(toUtf8(fresh.messageBoxes()[0].prompt),
            "6\r\npfrmPyxtern_Form_Activate\r\nオーバーフローしました。");
  EXPECT_EQ(fresh.messageBoxes()[0].flags, mb::Critical);
  EXPECT_EQ(toUtf8(fresh.messageBoxes()[0].title), "ぴくせるん");
}

TEST_F(FavouritesFile, MalformedLineIsNamedAndTheProgramEndsWithTheFileUntouched) {
  // A line as long as the whole file (one without line ends) is quoted by its start only.
  std::string huge;
  for (int i = 0; i < 100'000; ++i) huge += "あいうx";
  const struct {
    std::string line, quoted;
  } cases[] = {{"no semicolon here", "no semicolon here"},
               {huge, "あいうxあいうxあいうxあいうxあいうxあいうxあいうxあいうxあいうxあいうx…"}};
  for (const auto& c : cases) {
    SimDesktop desk;
    const std::string file = "a;1\r\n" + c.line + "\r\nb;2\r\n";
    desk.putFile("pyxtern.txt", desk.toAnsi(fromUtf8(file)));
    Application program(desk);
    program.run();
    ASSERT_EQ(desk.messageBoxes().size(), 1u);
    std::string text = toUtf8(desk.messageBoxes()[0].prompt);
    EXPECT_NE(text.find(desk.directory().string() + "\\pyxtern.txt"), std::string::npos) << text;
    EXPECT_NE(text.find("2行目"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with(":\r\n" + c.quoted)) << text.substr(0, 300);  // the message's last line
    EXPECT_EQ(desk.messageBoxes()[0].flags, mb::Critical);
    EXPECT_TRUE(desk.programEnded());
    EXPECT_FALSE(desk.trayIconShown());
    EXPECT_EQ(desk.fileContent("pyxtern.txt"), desk.toAnsi(fromUtf8(file)));
  }
}

TEST_F(FavouritesFile, HiddenOrSystemFileCountsAsMissing) {
  for (std::uint32_t attributes : {attr::Hidden, attr::System}) {
    SimDesktop desk;
    desk.putFile("pyxtern.txt", "a;1\r\n", attributes);
    Application program(desk);
    program.run();
    EXPECT_FALSE(program.com.gblnOkiniFile);
    EXPECT_TRUE(desk.listItems(kNameBox).empty());
    EXPECT_EQ(desk.attributesOf("pyxtern.txt"), attributes) << "attributes of a file that was not found stay";
  }
}

TEST_F(FavouritesFile, ReadOnlyFileIsFoundAndLosesItsAttributes) {
  writeFavourites("a;1\r\n", attr::ReadOnly | attr::Archive);
  startProgram();
  EXPECT_TRUE(app->com.gblnOkiniFile);
  EXPECT_EQ(sim.attributesOf("pyxtern.txt"), attr::Normal);
  EXPECT_EQ(names(), std::vector<std::string>{"a"});
}

TEST_F(FavouritesFile, CompactRewriteTrimsAndDropsNamelessEntries) {
  writeFavourites("abc ; C:\\x\r\n;C:\\nameless\r\nd;C:\\d \r\n");
  startProgram();
  EXPECT_TRUE(app->com.pWriteOkiniFileCompact());
  EXPECT_EQ(favourites(), "abc;C:\\x\r\nd;C:\\d\r\n");
}

TEST_F(FavouritesFile, PaddedAndCompactFormsRoundTrip) {
  writeFavourites("メモ;C:\\memo.txt\r\nb;C:\\b.exe /x\r\n");
  startProgram();
  EXPECT_TRUE(app->com.pWriteOkiniFilePadded());
  EXPECT_EQ(favourites(), padded("メモ", "C:\\memo.txt") + padded("b", "C:\\b.exe /x"));
  app->funcStart.pfrmPyxtern_Form_Activate();
  EXPECT_EQ(names(), (std::vector<std::string>{"メモ", "b"}));
  EXPECT_TRUE(app->com.pWriteOkiniFileCompact());
  EXPECT_EQ(favourites(), "メモ;C:\\memo.txt\r\nb;C:\\b.exe /x\r\n");
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
  sim.putFile("pyxtern.txt", others + line("b", "C:\\b.txt") + "added;4\r\n");  // after the list was read
  launch("b");
  EXPECT_EQ(sim.fileContent("pyxtern.txt"), line("b", "C:\\b.txt") + others + line("added", "4"));
  EXPECT_EQ(names().back(), "added");
  EXPECT_EQ(app->com.okiniPath(1), u"C:\\\u30FB\u2252.txt");  // as the system decodes them
  EXPECT_TRUE(app->com.pWriteOkiniFileCompact());
  EXPECT_EQ(sim.fileContent("pyxtern.txt"), "b;C:\\b.txt\r\na;C:\\" + odd + ".txt\r\n" + odd +
                                                ";1\r\n\xE3\x83\xA1\xE3\x83\xA2;2\r\nx\x83;3\r\nadded;4\r\n");
}

TEST_F(FavouritesFile, AppendCreatesTheFile) {
  startProgram();
  app->com.pAppendOkiniFile(u" メモ ", u" C:\\memo.txt ");
  EXPECT_EQ(favourites(), "メモ;C:\\memo.txt\r\n");
}

TEST_F(FavouritesFile, AppendEndsAnUnterminatedLastLineInsteadOfMergingWithIt) {
  writeFavourites("a;C:\\a.txt");
  startProgram();
  app->com.pAppendOkiniFile(u"b", u"C:\\b.txt");
  EXPECT_EQ(favourites(), "a;C:\\a.txt\r\nb;C:\\b.txt\r\n");
  app->funcStart.pfrmPyxtern_Form_Activate();
  EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(FavouritesFile, AppendPutsTheNewFavouriteWhereTheListEnds) {
  writeFavourites("a;1\r\n\r\nnotes kept below\r\n");
  startProgram();
  app->com.pAppendOkiniFile(u"b", u"2");
  EXPECT_EQ(favourites(), "a;1\r\nb;2\r\n\r\nnotes kept below\r\n");
}

TEST_F(FavouritesFile, RewritesKeepTheUnreadRemainderByteForByte) {
  const std::string remainder = "\r\nold;C:\\old.exe\r\nfree text without semicolon\r\n  trailing";
  writeFavourites("a;1\r\nb;2\r\n" + remainder);
  startProgram();
  EXPECT_TRUE(app->com.pWriteOkiniFilePadded());
  EXPECT_EQ(favourites(), padded("a", "1") + padded("b", "2") + remainder);
  EXPECT_TRUE(app->com.pWriteOkiniFileCompact());
  EXPECT_EQ(favourites(), "a;1\r\nb;2\r\n" + remainder);
}

TEST_F(FavouritesFile, RemovalDeletesTheFileUnlessLinesBelowTheListRemain) {
  writeFavourites("only;1\r\n");
  startProgram();
  EXPECT_TRUE(app->com.pRemoveOkiniFile());
  EXPECT_EQ(favourites(), "<missing>");
  EXPECT_FALSE(app->com.gblnOkiniFile);

  writeFavourites("only;1\r\n\r\nkept;2\r\n");
  app->com.gblnOkiniFile = true;
  EXPECT_TRUE(app->com.pRemoveOkiniFile());
  EXPECT_EQ(favourites(), "\r\nkept;2\r\n");
  EXPECT_FALSE(app->com.gblnOkiniFile);
}

TEST_F(FavouritesFile, RewriteThatFailsPartWayLeavesTheOldFileWhole) {
  const std::string file = "a;C:\\a.txt\r\nb;C:\\b.txt\r\nc;C:\\c.txt\r\n";
  writeFavourites(file);
  startProgram();
  Bytes before = *sim.fileContent("pyxtern.txt");
  sim.failWritesAfter(50);
  launch("c");
  EXPECT_EQ(*sim.fileContent("pyxtern.txt"), before);
  ASSERT_FALSE(sim.messageBoxes().empty());
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].prompt),
            "61\r\npfrmPyxtern_cmdOK_Click\r\nディスクの空き容量が不足しています。");
  EXPECT_TRUE(sim.callsTo("shellExecute").empty()) << "nothing starts after a failed rewrite";
  EXPECT_FALSE(std::filesystem::exists(sim.directory() / "pyxtern.txt.tmp"));
}

TEST_F(FavouritesFile, RewritesGoThroughOneTemporaryFileThatStartUpClearsAway) {
  namespace fs = std::filesystem;
  // What a rewrite killed half-way leaves: its temporary file, beside the favourites.
  const Bytes leftover(1 << 20, 'x');
  sim.putFile("pyxtern.txt.tmp", leftover);
  sim.putFile("Tesmora.ini.tmp", "[Start]\r\n");  // the settings are written the same way
  writeFavourites("a;C:\\a.txt\r\nb;C:\\b.txt\r\n");
  startProgram();
  EXPECT_FALSE(fs::exists(sim.directory() / "pyxtern.txt.tmp")) << "start-up removes the leftover";
  EXPECT_FALSE(fs::exists(sim.directory() / "Tesmora.ini.tmp"));
  // Killed again later: the next rewrite takes the same name, so leftovers never pile up.
  sim.putFile("pyxtern.txt.tmp", leftover);
  launch("b");
  EXPECT_EQ(favourites(), padded("b", "C:\\b.txt") + padded("a", "C:\\a.txt"));
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(sim.directory())) files.push_back(entry.path().filename());
  EXPECT_EQ(files, std::vector<std::string>{"pyxtern.txt"});
}

TEST_F(FavouritesFile, UnreadableFileIsReportedByTheReader) {
  writeFavourites("a;1\r\n");
  sim.denyAccess("pyxtern.txt");
  startProgram();
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0], "70\r\npfrmPyxtern_Form_Activate\r\n書き込みできません。");
  EXPECT_FALSE(sim.programEnded());
}

}  // namespace
}  // namespace pyx::testing

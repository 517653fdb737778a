// The paths a user waits on, timed in the program's logic at 10, 1,000 and
// 32,767 favourites, each beside its floor: the least work of the same kind
// (reading the bytes, the three passes over names already in memory, writing
// the same bytes) measured in the same run. The desktop records nothing, so
// the figures are the program's.
//
// Usage: pyxtern_core_bench [repetitions]   (median of that many runs; 7)
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/application.h"
#include "platform/sim/sim_desktop.h"

namespace pyx {

// Reaches the launcher's search, which is private to its module.
struct LookupBenchmark {
  static bool search(basFuncStart& start, Text& index) { return start.mKenskHit(index); }
};

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr ControlRef kNameBox{FormId::frmPyxtern, "cmbFileName"};
constexpr char16_t kLastName[] = u"最後のお気に入りXYZ";  // found by each pass with its own text

// A favourites file as users keep them: Japanese and ASCII names, documents,
// programs with quoted arguments and folders; the last one is the target.
Text favourites(int count) {
  Text file;
  for (int i = 0; i + 1 < count; ++i) {
    Text n = fromUtf8(std::to_string(i));
    switch (i % 4) {
      case 0:
        file += u"メモ帳" + n + u";C:\\Users\\山田\\Documents\\議事録" + n + u".txt\r\n";
        break;
      case 1:
        file += u"report" + n + u";\"C:\\Program Files\\Office\\winword.exe\" \"D:\\資料\\report" + n +
                u".doc\"\r\n";
        break;
      case 2:
        file += u"写真" + n + u";E:\\写真\\2026\\旅行" + n + u"\r\n";
        break;
      default:
        file += u"tool" + n + u";D:\\Tools\\tool" + n + u".exe /r\r\n";
        break;
    }
  }
  return file + kLastName + u";D:\\Tools\\last.exe\r\n";
}

double milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

int repetitions = 7;

// Median time of `timed`, with `prepare` run untimed before each run.
double median(
    const std::function<void()>& timed, const std::function<void()>& prepare = [] {}) {
  std::vector<double> runs;
  for (int i = 0; i < repetitions; ++i) {
    prepare();
    auto start = Clock::now();
    timed();
    runs.push_back(milliseconds(Clock::now() - start));
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

Bytes readBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  Bytes content;
  content.resize_and_overwrite(static_cast<std::size_t>(in.tellg()), [&](char* out, std::size_t size) {
    in.seekg(0);
    in.read(out, static_cast<std::streamsize>(size));
    return size;
  });
  return content;
}

// The floor of every write: the same bytes read, written beside and renamed
// over the file.
void rewriteInPlace(const fs::path& file) {
  Bytes content = readBytes(file);
  fs::path temporary = file;
  temporary += ".tmp";
  std::ofstream(temporary, std::ios::binary)
      .write(content.data(), static_cast<std::streamsize>(content.size()));
  fs::rename(temporary, file);
}

void row(int count, const char* what, double time, double floor) {
  std::printf("| %6d | %-38s | %9.3f ms | %9.3f ms | %6.1f× |\n", count, what, time, floor,
              floor > 0 ? time / floor : 0.0);
}

void measure(int count) {
  SimDesktop desk;
  desk.setRecording(false);
  const Bytes original = desk.toAnsi(favourites(count));
  desk.putFile("pyxtern.txt", original);
  desk.putFile("Tesmora.ini",
               desk.toAnsi(u"[OPEN_TYPE]\r\nTYEP=1\r\nIE_EXE=C:\\Program Files\\IE\\IEXPLORE.EXE\r\n"
                           u"[FORM]\r\nCLOSE=1\r\n"));
  const fs::path file = desk.directory() / "pyxtern.txt";
  Application app(desk);
  app.run();
  auto restore = [&] {
    desk.putFile("pyxtern.txt", original);
    app.funcStart.pfrmPyxtern_Form_Activate();
  };

  double readFloor = median([&] {
    Bytes content = readBytes(file);
    volatile auto lines = std::count(content.begin(), content.end(), '\r');
    (void)lines;
  });
  row(count, "read into the table and list", median([&] { app.funcStart.pfrmPyxtern_Form_Activate(); }),
      readFloor);

  std::vector<Text> names;
  for (std::size_t i = 0; i < app.com.gtypOkini.size(); ++i) names.emplace_back(app.com.gtypOkini.name(i));
  struct Search {
    const char* what;
    Text typed;
  };
  const Search searches[] = {{"lookup, a miss", u"見つからない名前"},
                             {"lookup, exact hit", kLastName},
                             {"lookup, prefix hit", u"最後のお気に入り"},
                             {"lookup, contains hit", u"のお気に入りXYZ"}};
  for (const Search& search : searches) {
    desk.setControlText(kNameBox, search.typed);
    Text index;
    double time = median([&] { LookupBenchmark::search(app.funcStart, index); });
    double floor = median([&] {
      TextView typed = search.typed;
      auto pass = [&](auto matches) {
        for (std::size_t i = 0; i < names.size(); ++i)
          if (matches(TextView(names[i]))) return static_cast<std::ptrdiff_t>(i);
        return std::ptrdiff_t{-1};
      };
      volatile std::ptrdiff_t found = pass([&](TextView n) { return n == typed; });
      if (found < 0) found = pass([&](TextView n) { return n.starts_with(typed); });
      if (found < 0) found = pass([&](TextView n) { return n.find(typed) != TextView::npos; });
    });
    row(count, search.what, time, floor);
  }

  double writeFloor = median([&] { rewriteInPlace(file); });
  row(count, "launch (lookup, move, rewrite, reload)",
      median(
          [&] {
            desk.type(kNameBox, u"のお気に入りXYZ");
            desk.pressKey(13);
          },
          restore),
      writeFloor);

  desk.loadForm(FormId::frmTork);
  // One fewer, so that the largest list still takes one more.
  const Bytes oneFewer = desk.toAnsi(favourites(count - 1));
  int added = 0;
  row(count, "register one favourite",
      median(
          [&] {
            desk.setControlText({FormId::frmTork, "txtOkini"}, u"新しい" + fromUtf8(std::to_string(++added)));
            desk.setControlText({FormId::frmTork, "txtPath"}, u"C:\\新しい\\file.txt");
            app.funcTork.pfrmTork_cmdTork_Click();
          },
          [&] {
            desk.putFile("pyxtern.txt", oneFewer);
            app.funcTork.pfrmTork_Form_Load();
          }),
      writeFloor);
  row(count, "correct one favourite",
      median([&] { app.funcTork.pfrmTork_cmdTeis_Click(); },
             [&] {
               desk.putFile("pyxtern.txt", original);
               app.funcTork.pfrmTork_Form_Load();
               desk.pickListItem({FormId::frmTork, "lstFileName"}, count / 2);
               desk.setControlText({FormId::frmTork, "txtPath"}, u"C:\\訂正\\file.txt");
             }),
      writeFloor);

  const Text settings = app.com.settingsFilePath();
  Text value;
  row(count, "one settings read",
      median([&] { app.iniFile.pGetIniFileItem(settings, u"OPEN_TYPE", u"IE_EXE", Text(), value); }),
      median([&] { readBytes(desk.directory() / "Tesmora.ini"); }));
}

}  // namespace
}  // namespace pyx

int main(int argc, char** argv) {
  if (argc > 1) pyx::repetitions = std::max(1, std::atoi(argv[1]));
  // The machines this runs on hand freed memory back to their host, so that
  // the first touch of every page of a large buffer costs more than the work
  // done in it (a launch at 32,767 favourites takes 3.5 times as long). Freed
  // memory stays in the process here, as a heap keeps it, so that program
  // and floor are measured on their work.
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  std::printf("Core of pyxtern, median of %d runs; the floor is the least work of the same kind.\n\n",
              pyx::repetitions);
  std::printf("| %6s | %-38s | %12s | %12s | %7s |\n", "count", "what", "time", "floor", "ratio");
  std::printf(
      "|-------:|:---------------------------------------|-------------:|-------------:|--------:|\n");
  for (int count : {10, 1000, 32767}) pyx::measure(count);
  return 0;
}

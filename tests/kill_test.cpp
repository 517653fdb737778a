// A program killed at any moment of its launches leaves the favourites file
// whole, old or new, and the next start leaves no temporary file behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

namespace fs = std::filesystem;

// The file's lines, sorted: every launch only reorders them.
std::vector<std::string> sortedLines(const Bytes& content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = content.find("\r\n", start)) != Bytes::npos; start = end + 2)
    lines.push_back(content.substr(start, end - start));
  if (start != content.size()) lines.push_back("<cut>" + content.substr(start));
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(Kills, LeaveTheFileWholeAndTheNextStartCleansUp) {
  constexpr int kKills = 40;
  constexpr int kFavourites = 4000;
  SimDesktop sim;
  sim.setRecording(false);
  std::string file;
  for (int i = 0; i < kFavourites; ++i)
    file += padded("お気に入り" + std::to_string(i), "C:\\ツール\\" + std::to_string(i) + ".exe");
  sim.putFile("pyxtern.txt", sim.toAnsi(fromUtf8(file)));
  const std::vector<std::string> lines = sortedLines(*sim.fileContent("pyxtern.txt"));

  std::mt19937 random(7);
  int midWrite = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Launches one favourite after another until killed.
      Application app(sim);
      app.run();
      [[maybe_unused]] auto told = write(ready[1], "r", 1);
      for (int n = 0;; ++n) {
        sim.type(kNameBox, fromUtf8("お気に入り" + std::to_string(n * 37 % kFavourites)));
        sim.pressKey(13);
      }
    }
    // The kill lands somewhere in the launches, after the start.
    char started;
    ASSERT_EQ(read(ready[0], &started, 1), 1);
    close(ready[0]);
    close(ready[1]);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    ::kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    ASSERT_EQ(sortedLines(*sim.fileContent("pyxtern.txt")), lines) << "after kill " << kill;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(sim.directory()))
      names.push_back(entry.path().filename().string());
    if (names.size() > 1) ++midWrite;

    // The next start, on a copy of the folder as the kill left it.
    SimDesktop next;
    for (const auto& entry : fs::directory_iterator(sim.directory()))
      fs::copy(entry.path(), next.directory());
    Application(next).run();
    names.clear();
    for (const auto& entry : fs::directory_iterator(next.directory()))
      names.push_back(entry.path().filename().string());
    ASSERT_EQ(names, std::vector<std::string>{"pyxtern.txt"}) << "after kill " << kill;
  }
  std::printf("%d kills, %d of them during a write\n", kKills, midWrite);
}

}  // namespace
}  // namespace pyx::testing

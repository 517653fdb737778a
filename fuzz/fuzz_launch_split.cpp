// How a favourite's path is started, on arbitrary paths as read from the
// favourites file: a path with ".exe" at its end or before a space or a quote
// starts the program that ends at the first such ".exe", with the rest as its
// arguments, never a program guessed by cutting elsewhere; quotes and
// surrounding spaces are all that is dropped. Other paths open as documents,
// or as folders in the file browser.
#include <cstdint>

#include "core/application.h"
#include "fuzz/fuzz_check.h"
#include "platform/sim/sim_desktop.h"

namespace {

using pyx::Text;
using pyx::TextView;
using pyx::fuzz::require;

Text without(TextView text, TextView dropped) {
  Text result;
  for (char16_t c : text)
    if (dropped.find(c) == TextView::npos) result += c;
  return result;
}

std::size_t quotes(TextView text) {
  return text.size() - without(text, u"\"").size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pyx;
  static SimDesktop sim;
  static Application app(sim);
  sim.clearCalls();
  const std::size_t messagesBefore = sim.messageBoxes().size();
  const Text stored = sim.fromAnsi(Bytes(reinterpret_cast<const char*>(data), size));
  Text path = stored;
  app.funcStart.mStrat_Files(path);

  require(sim.messageBoxes().size() == messagesBefore, "a start shows no message");
  const auto starts = sim.callsTo("startProcess");
  const auto opens = sim.callsTo("shellExecute");
  require(starts.size() + opens.size() == 1, "one path starts one thing");
  std::size_t exe = stored.find(u".exe");
  while (exe != Text::npos && exe + 4 < stored.size() && stored[exe + 4] != u' ' && stored[exe + 4] != u'"')
    exe = stored.find(u".exe", exe + 1);
  if (exe == Text::npos) {
    if (stored.find(u'.') != Text::npos) {
      require(opens.size() == 1 && fromUtf8(opens[0].args[2]) == stored, "a document opens as it is stored");
    } else {
      require(starts.size() == 1 && fromUtf8(starts[0].args[1]) == u"/n,/e," + stored,
              "a folder opens in the file browser");
    }
    return 0;
  }
  require(starts.size() == 1, "a path with \".exe\" before its end, a space or a quote starts a program");
  const Text program = fromUtf8(starts[0].args[0]), arguments = fromUtf8(starts[0].args[1]);
  // The quotes that group a program's path with spaces are not part of it.
  Text upToExe = without(stored.substr(0, exe + 4), u"\"");
  upToExe.erase(0, upToExe.find_first_not_of(u' '));
  require(program == upToExe, "the program is the path up to that \".exe\", without quotes");
  require(!program.starts_with(u' ') && !arguments.starts_with(u' ') && !arguments.ends_with(u' '),
          "program and arguments have no surrounding spaces");
  require(without(stored, u"\" ") == without(program + arguments, u"\" "),
          "nothing but quotes and spaces is dropped");
  const TextView afterProgram = TextView(stored).substr(exe + 4);
  require(TextView(stored).substr(0, stored.find_last_not_of(u' ') + 1).ends_with(arguments),
          "the arguments are the path's end, as stored");
  require(quotes(arguments) + 1 >= quotes(afterProgram) && quotes(arguments) <= quotes(afterProgram),
          "the arguments keep their quotes, but for the one that closes the program's path");
  return 0;
}

// Figures for the two paths a user waits on: the list reload at every
// activation and one launch (lookup, move to the top, padded rewrite,
// reload), with favourites files of growing size.
#include <benchmark/benchmark.h>

#include <string>

#include "core/application.h"
#include "platform/sim/sim_desktop.h"

namespace {

using namespace pyx;

Bytes favouritesFile(int entries) {
  Bytes file;
  for (int i = 0; i < entries; ++i)
    file += "favourite" + std::to_string(i) + ";C:\\Docs\\file" + std::to_string(i) + ".txt\r\n";
  return file;
}

void ListReload(benchmark::State& state) {
  SimDesktop desk;
  desk.putFile("pyxtern.txt", favouritesFile(static_cast<int>(state.range(0))));
  Application app(desk);
  app.run();
  for (auto _ : state) {
    desk.clearCalls();
    app.funcStart.pfrmPyxtern_Form_Activate();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ListReload)->Arg(100)->Arg(1000)->Arg(32767)->Unit(benchmark::kMillisecond);

void LaunchLastByContains(benchmark::State& state) {
  int entries = static_cast<int>(state.range(0));
  SimDesktop desk;
  desk.putFile("pyxtern.txt", favouritesFile(entries));
  Application app(desk);
  app.run();
  for (auto _ : state) {
    desk.clearCalls();
    // The favourite at the bottom, found only by the third pass; it moves to
    // the top, so the next iteration looks for the new bottom one.
    desk.type({FormId::frmPyxtern, "cmbFileName"}, u"ourite" + fromUtf8(std::to_string(entries - 1)));
    desk.pressKey(13);
  }
}
BENCHMARK(LaunchLastByContains)->Arg(100)->Arg(1000)->Arg(32767)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

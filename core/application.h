// One running program: the shared state and the five code modules, bound to
// the platform it runs on. A backend creates one Application, calls run(), and
// then feeds it window events (through EventSink) until no form is loaded.
#pragma once

#include "core/basCom.h"
#include "core/basFuncStart.h"
#include "core/basFuncTork.h"
#include "core/basIniFIle.h"
#include "core/basSetPgm.h"
#include "platform/platform.h"

namespace pyx {

class Application : public EventSink {
 public:
  explicit Application(Platform& platform);
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Loads the launcher window (its load event runs the start-up) and, unless
  // the start-up unloaded it again, shows it.
  void run();

  // Calls the procedure that the form's declaration wires to this event.
  void raiseEvent(FormId form, std::string_view control, EventKind kind, EventArgs& args) override;

  Platform& platform;
  basCom com;
  basIniFIle iniFile;
  basFuncStart funcStart;
  basFuncTork funcTork;
  basSetPgm setPgm;
};

}  // namespace pyx

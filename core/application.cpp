#include "core/application.h"

#include "forms/forms.h"

namespace pyx {

Application::Application(Platform& platform)
    : platform(platform), com(platform), iniFile(*this), funcStart(*this), funcTork(*this), setPgm(*this) {
  platform.setEventSink(this);
}

Application::~Application() {
  platform.setEventSink(nullptr);
}

void Application::run() {
  platform.loadForm(FormId::frmPyxtern);
  if (platform.isFormLoaded(FormId::frmPyxtern)) platform.showForm(FormId::frmPyxtern, false);
}

void Application::raiseEvent(FormId form, std::string_view control, EventKind kind, EventArgs& args) {
  for (const EventDecl& event : formDeclaration(form).events) {
    if (event.kind == kind && event.control == control) {
      event.handler(*this, args);
      return;
    }
  }
}

}  // namespace pyx

#include "core/basSetPgm.h"

#include "core/application.h"
#include "forms/forms.h"

namespace pyx {

basSetPgm::basSetPgm(Application& app)
    : app_(app), trap_(app.platform, formDeclaration(FormId::frmSetPgm).caption) {}

}  // namespace pyx

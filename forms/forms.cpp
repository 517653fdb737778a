#include "forms/forms.h"

namespace pyx {

extern const FormDecl kFrmPyxtern;
extern const FormDecl kFrmTork;
extern const FormDecl kFrmSetPgm;

const FormDecl& formDeclaration(FormId form) {
  switch (form) {
    case FormId::frmTork:
      return kFrmTork;
    case FormId::frmSetPgm:
      return kFrmSetPgm;
    case FormId::frmPyxtern:
      break;
  }
  return kFrmPyxtern;
}

const ControlDecl* findControl(const FormDecl& form, std::string_view name, std::int16_t index) {
  for (const ControlDecl& control : form.controls) {
    if (control.name == name && control.index == index) return &control;
  }
  return nullptr;
}

}  // namespace pyx

#include "ui/framework/Dialog.h"

#include <commctrl.h>

Dialog::Dialog(UINT templateId) : templateId_(templateId) {
  classId_ = kDialog;
  isDialog_ = true;
}

INT_PTR Dialog::RunModal() {
  // Templates may hold common controls (progress bars); their classes must exist.
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  return DialogBoxParamA(instance_, MAKEINTRESOURCEA(templateId_), parent_, DialogProcedure,
                         reinterpret_cast<LPARAM>(this));
}

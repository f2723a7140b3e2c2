// A dialog box made from a dialog template of the module instance, run modally
// on the calling thread. Its messages arrive through DialogProcedure.
#pragma once
#include "ui/framework/Window.h"

class Dialog : public Window {
 public:
  // Set the module instance (SetInstance) before running it.
  explicit Dialog(UINT templateId);

  // Runs the modal loop: 1 (IDOK) or 2 (IDCANCEL, the close box, WM_CLOSE),
  // -1 when the dialog cannot be made. Can be run again afterwards.
  INT_PTR RunModal();
  UINT TemplateId() const { return templateId_; }

 private:
  UINT templateId_;
};

// Runs a modal dialog (the About box, a message box) to its end. The program's presenter calls
// QDialog::exec, whose nested event loop keeps timers and the receive tick running meanwhile;
// tests substitute a presenter that inspects the dialog and closes it.
#pragma once

class QDialog;

namespace brindlemoor {

class ModalPresenter {
 public:
  virtual ~ModalPresenter() = default;
  // Returns the dialog's result code.
  virtual int Exec(QDialog& dialog) = 0;
};

class ExecPresenter : public ModalPresenter {
 public:
  int Exec(QDialog& dialog) override;
};

}  // namespace brindlemoor

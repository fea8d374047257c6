// Helpers for the window tests: a presenter that records modal dialogs instead of blocking on
// them, and waiting on the event loop for a condition with a generous limit.
#pragma once

#include <QDialog>
#include <QEventLoop>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

#include "dialog/modal_presenter.h"

namespace brindlemoor::testing {

struct ShownDialog {
  QString title;
  QString text;  // a message box's text
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool topmost = false;
  bool isAbout = false;
  QWidget* parent = nullptr;
};

// Records each dialog and returns at once, as if the user had closed it; `during`, if set, runs
// with the dialog before it "closes".
class RecordingPresenter : public ModalPresenter {
 public:
  int Exec(QDialog& dialog) override;

  std::vector<ShownDialog> shown;
  std::function<int(QDialog&)> during;
  int AboutCount() const;
};

// Runs the event loop until `done` holds, checking after every event batch, or until
// `limitMs` has passed. True when `done` held.
bool WaitFor(const std::function<bool()>& done, int limitMs = 10000);

}  // namespace brindlemoor::testing

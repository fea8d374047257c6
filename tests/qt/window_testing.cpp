#include "window_testing.h"

#include <QElapsedTimer>

#include "qt/about_dialog.h"

namespace brindlemoor::testing {

int RecordingPresenter::Exec(QDialog& dialog) {
  ShownDialog record;
  record.title = dialog.windowTitle();
  record.parent = dialog.parentWidget();
  record.topmost = dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  record.isAbout = qobject_cast<AboutDialog*>(&dialog) != nullptr;
  if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
    record.text = box->text();
    record.icon = box->icon();
  }
  shown.push_back(record);
  return during ? during(dialog) : QDialog::Accepted;
}

int RecordingPresenter::AboutCount() const {
  int count = 0;
  for (const ShownDialog& d : shown) count += d.isAbout ? 1 : 0;
  return count;
}

bool WaitFor(const std::function<bool()>& done, int limitMs) {
  // A timer wakes the loop regularly to re-check; the loop itself does the waiting.
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  if (done()) return true;
  poll.start(10);
  limit.start(limitMs);
  loop.exec();
  return done();
}

}  // namespace brindlemoor::testing

#include "qt/window_services.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include "dialog/modal_presenter.h"
#include "dialog/resources.h"
#include "display/cp932_display.h"
#include "qt/about_dialog.h"
#include "qt/app_icon.h"

namespace brindlemoor {

int ExecPresenter::Exec(QDialog& dialog) { return dialog.exec(); }

QtWindowServices::QtWindowServices(QWidget& window, QLineEdit& textBox, QMenu& menu,
                                   ModalPresenter& presenter)
    : window(window),
      textBox(textBox),
      menu(menu),
      presenter(presenter),
      menuString(kAboutMenuText) {}

QtWindowServices::~QtWindowServices() = default;

void QtWindowServices::SetTimer(uint32_t id, uint32_t periodMs) {
  std::unique_ptr<QTimer>& timer = timers[id];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, [this, id] {
      if (timerHandler) timerHandler(id);
    });
  }
  // Timeouts are delivered by this thread's event loop one at a time, so a handler never
  // overlaps another; start() on a running timer restarts its period.
  timer->start(static_cast<int>(periodMs));
}

void QtWindowServices::KillTimer(uint32_t id) {
  const auto found = timers.find(id);
  // After stop() no timeout of this timer is delivered, even one already due.
  if (found != timers.end()) found->second->stop();
}

bool QtWindowServices::TimerActive(uint32_t id) const {
  const auto found = timers.find(id);
  return found != timers.end() && found->second->isActive();
}

int QtWindowServices::ActiveTimerCount() const {
  int count = 0;
  for (const auto& [id, timer] : timers) count += timer->isActive() ? 1 : 0;
  return count;
}

void QtWindowServices::ShowMessageBox(std::string_view text) {
  // No caption of its own: the application's title, which is the executable's name.
  QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                  QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                  QMessageBox::Ok, &window);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  presenter.Exec(box);
}

void QtWindowServices::ReplaceText(const char* bytes, std::size_t size) {
  // setText replaces the whole content, clears the undo history and leaves the cursor at the
  // end, so a long line scrolls to its last characters.
  textBox.setText(QString::fromStdString(Cp932ToDisplay(std::string_view(bytes, size))));
}

void QtWindowServices::AppendMenuSeparator() { menu.addSeparator(); }

void QtWindowServices::AppendMenuItem(uint32_t commandId, std::string_view text) {
  QAction* action =
      menu.addAction(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  if ((commandId & kCommandIdMask) == kAboutCommandId) {
    action->setShortcut(kAboutShortcut);
    // Added to the window too, so the shortcut works while the menu is closed.
    window.addAction(action);
  }
  QObject::connect(action, &QAction::triggered, [this, commandId] {
    if (commandHandler) commandHandler(commandId);
  });
}

void QtWindowServices::SetIcons() { window.setWindowIcon(AppIcon()); }

void QtWindowServices::RunAboutBox() {
  AboutDialog about(&window);
  presenter.Exec(about);
}

}  // namespace brindlemoor

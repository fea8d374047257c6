#include "qt/receiver_window.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "dialog/resources.h"
#include "dialog/window_resources.h"
#include "qt/dialog_font.h"

namespace brindlemoor {

ReceiverWindow::ReceiverWindow(WaveInDevice& device, TextOutput& files, ModalPresenter& presenter,
                               BufferAllocator allocator, QWidget* parent)
    : QDialog(parent),
      textLine(new QLineEdit(this)),
      menu(this),
      services(*this, *textLine, menu, presenter),
      core(services, device, files, allocator) {
  setWindowTitle(QString::fromUtf8(kWindowCaption));
  // Caption, window menu and close button on a fixed frame: no minimise or maximise buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  const DialogBaseUnits units = BaseUnitsOf(font());
  const DialogRect client = units.ToPixels(kMainWindowUnits);
  setFixedSize(client.width, client.height);

  const DialogRect line = units.ToPixels(kTextLineUnits);
  textLine->setGeometry(line.x, line.y, line.width, line.height);
  textLine->setReadOnly(true);
  textLine->setContextMenuPolicy(Qt::NoContextMenu);  // the window's menu, not the line's

  services.SetTimerHandler([this](uint32_t id) { core.OnTimer(id); });
  services.SetCommandHandler([this](uint32_t id) { core.OnSysCommand(id); });
}

ReceiverWindow::~ReceiverWindow() { core.OnDestroy(); }

void ReceiverWindow::InitDialog() { core.OnInitDialog(); }

void ReceiverWindow::done(int result) {
  QDialog::done(result);
  core.OnDestroy();
}

void ReceiverWindow::ShowInputProblem(const QString& problem) {
  textLine->setPlaceholderText(problem);
  textLine->setToolTip(problem);
}

void ReceiverWindow::Terminate() {
  // Each closed popup or modal dialog leaves its own nested event loop; the window's loop ends
  // once control is back in it.
  if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      modal && modal != this) {
    modal->reject();
  }
  reject();
}

void ReceiverWindow::contextMenuEvent(QContextMenuEvent* event) {
  if (!menu.isEmpty()) menu.exec(event->globalPos());
}

void ReceiverWindow::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (enter && modifiers == Qt::NoModifier) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace brindlemoor

// The receiver's main window: a small fixed-size dialog with one read-only text line, built from
// the main window's layout in dialog units. It owns the ReceiverDialog core and the Qt window
// services the core runs on, and only forwards events: timer and menu commands to the core,
// Enter, Esc and the close button to the dialog's end, after which the core's destroy handling
// runs while the services still exist. It paints nothing of its own when minimised: the window
// manager draws a minimised window from the icon set by SetIcons.
#pragma once

#include <QDialog>
#include <QMenu>

#include "dialog/receiver_dialog.h"
#include "qt/window_services.h"

class QLineEdit;

namespace brindlemoor {

class ModalPresenter;

class ReceiverWindow : public QDialog {
  Q_OBJECT

 public:
  // `device`, `files` and `presenter` outlive the window.
  ReceiverWindow(WaveInDevice& device, TextOutput& files, ModalPresenter& presenter,
                 BufferAllocator allocator = SystemAllocator(), QWidget* parent = nullptr);
  ~ReceiverWindow() override;

  // The core's dialog initialisation: menu, icons, tables, then receiving starts. Call once,
  // before the window is shown; a start-up failure shows its message box from here.
  void InitDialog();

  ReceiverDialog& Core() { return core; }
  QtWindowServices& Services() { return services; }
  QLineEdit& TextLine() { return *textLine; }
  QMenu& WindowMenu() { return menu; }

  // Shows that nothing will be received, without a message box: `problem` as the empty text
  // line's grey placeholder and as its tool tip. Received text would replace the placeholder.
  void ShowInputProblem(const QString& problem);

  // Ends the window from outside (a termination signal): closes an open menu or About box, then
  // the window itself as its close button does.
  void Terminate();

  // Ends the dialog (Enter = accept, Esc and close = reject), then stops timer and capture and
  // frees the buffers.
  void done(int result) override;

 protected:
  // The menu of commands that a Windows title bar would carry; the line lets the right click
  // through to here.
  void contextMenuEvent(QContextMenuEvent* event) override;
  // Enter ends the dialog as its OK command does, even though it has no OK button.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLineEdit* textLine;  // owned by this widget
  QMenu menu;
  QtWindowServices services;
  // Declared last so it is destroyed first, while the services it calls still exist.
  ReceiverDialog core;
};

}  // namespace brindlemoor

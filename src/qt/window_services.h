// WindowServices on Qt Widgets for the receiver window: QTimers on the window's thread, the
// read-only QLineEdit, QMessageBox and the About box run through a ModalPresenter, the window's
// right-click menu (Linux title bars take no menu items) and the icon. It holds no receiver
// logic: timer and menu events go to the handlers the window installs, which forward them to
// ReceiverDialog.
#pragma once

#include <QKeySequence>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "dialog/window_services.h"

class QLineEdit;
class QMenu;
class QTimer;
class QWidget;

namespace brindlemoor {

class ModalPresenter;

// The keyboard shortcut of the About menu item, matching its mnemonic.
inline const QKeySequence kAboutShortcut{Qt::ALT | Qt::Key_A};

class QtWindowServices : public WindowServices {
 public:
  using EventHandler = std::function<void(uint32_t id)>;

  // All four outlive the services; `window` is the parent of every dialog shown.
  QtWindowServices(QWidget& window, QLineEdit& textBox, QMenu& menu, ModalPresenter& presenter);
  ~QtWindowServices() override;
  QtWindowServices(const QtWindowServices&) = delete;
  QtWindowServices& operator=(const QtWindowServices&) = delete;

  void SetTimerHandler(EventHandler handler) { timerHandler = std::move(handler); }
  void SetCommandHandler(EventHandler handler) { commandHandler = std::move(handler); }
  // The menu text LoadMenuString returns; the resource text by default.
  void SetMenuString(std::string text) { menuString = std::move(text); }

  void SetTimer(uint32_t id, uint32_t periodMs) override;
  void KillTimer(uint32_t id) override;
  void ShowMessageBox(std::string_view text) override;
  void ReplaceText(const char* bytes, std::size_t size) override;
  bool HasSystemMenu() override { return true; }
  void AppendMenuSeparator() override;
  void AppendMenuItem(uint32_t commandId, std::string_view text) override;
  std::string_view LoadMenuString() override { return menuString; }
  void SetIcons() override;
  void RunAboutBox() override;

  bool TimerActive(uint32_t id) const;
  int ActiveTimerCount() const;

 private:
  QWidget& window;
  QLineEdit& textBox;
  QMenu& menu;
  ModalPresenter& presenter;
  EventHandler timerHandler;
  EventHandler commandHandler;
  std::string menuString;
  // Created on first use, on the window's thread, and stopped rather than deleted.
  std::map<uint32_t, std::unique_ptr<QTimer>> timers;
};

}  // namespace brindlemoor

// What the receiver dialog needs from a window toolkit: one restartable timer on the dialog's
// thread, the one-line text box, modal message and About boxes, the window menu and icons.
// The Qt window and the headless tools implement it; tests use fakes.
#pragma once

#include <cstdint>
#include <string_view>

#include "receiver/text_output.h"

namespace brindlemoor {

class WindowServices : public TextBox {
 public:
  // Timer `id` delivers OnTimer(id) every `periodMs` on the dialog's thread until KillTimer;
  // setting a running timer again restarts its period.
  virtual void SetTimer(uint32_t id, uint32_t periodMs) = 0;
  virtual void KillTimer(uint32_t id) = 0;
  // A modal error box (stop icon, topmost) captioned with the application's title.
  virtual void ShowMessageBox(std::string_view text) = 0;

  // Window menu and icons; the defaults suit a program without a window.
  virtual bool HasSystemMenu() { return false; }
  virtual void AppendMenuSeparator() {}
  virtual void AppendMenuItem(uint32_t /*commandId*/, std::string_view /*text*/) {}
  virtual std::string_view LoadMenuString() { return {}; }
  virtual void SetIcons() {}
  virtual void RunAboutBox() {}
};

}  // namespace brindlemoor

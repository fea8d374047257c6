// WindowServices for the command-line receiver: each non-empty tick's text goes to a stream as
// raw bytes (or with control bytes made visible, for a terminal), flushed at once, until a write
// fails (said once); message boxes become lines on the error stream. The timer is only remembered:
// whoever drives the dialog (the replay clock, a live loop) asks whether it runs.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "dialog/window_services.h"

namespace brindlemoor {

class HeadlessServices : public WindowServices {
 public:
  HeadlessServices(std::FILE* text, std::FILE* messages, std::string programName);

  void SetTimer(uint32_t id, uint32_t periodMs) override;
  void KillTimer(uint32_t id) override;
  void ShowMessageBox(std::string_view message) override;
  void ReplaceText(const char* bytes, std::size_t size) override;

  // Writes control bytes other than LF and TAB in caret notation (visible_controls.h), for a
  // text stream that is a terminal.
  void ShowControlBytes(bool visible) { controlsVisible = visible; }
  // With controls visible, shows the text as `display` makes it (a code page's characters as
  // UTF-8, controls as pictures) instead of in caret notation; null: caret notation.
  using Display = std::string (*)(std::string_view bytes);
  void ShowThrough(Display display) { shownThrough = display; }

  bool TimerRunning() const { return timerRunning; }
  // False once writing the text failed (a closed pipe, a full device); the failure has been
  // reported once on the message stream and the text stream is not written again.
  bool TextWritten() const { return textOk; }

 private:
  std::FILE* text;
  std::FILE* messages;
  std::string programName;
  bool timerRunning = false;
  bool textOk = true;
  bool controlsVisible = false;
  Display shownThrough = nullptr;
};

}  // namespace brindlemoor

// ReceiverApp is the program's one application object: it holds the QApplication, sets the
// application's metadata and icon, and runs the receiver window modally; when the window closes,
// the program ends.
#pragma once

#include <QApplication>
#include <functional>

#include "dialog/modal_presenter.h"
#include "dialog/receiver_dialog.h"

namespace brindlemoor {

class ReceiverWindow;

class ReceiverApp {
 public:
  // Takes Qt's own options (-platform, -display, ...) out of argc/argv.
  ReceiverApp(int& argc, char** argv);

  // Builds the window over `device` and `files` with `framing`, initialises it (receiving
  // starts), calls `started` with it, and runs it until it ends. The window's result is ignored.
  void Run(WaveInDevice& device, TextOutput& files, Framing framing = Framing::kExact,
           const std::function<void(ReceiverWindow&)>& started = {});

 private:
  QApplication application;
  ExecPresenter presenter;
};

}  // namespace brindlemoor

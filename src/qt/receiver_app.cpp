#include "qt/receiver_app.h"

#include "dialog/resources.h"
#include "dialog/window_resources.h"
#include "qt/app_icon.h"
#include "qt/receiver_window.h"

namespace brindlemoor {

ReceiverApp::ReceiverApp(int& argc, char** argv) : application(argc, argv) {
  // The application name stays the executable's name: it is the message boxes' caption.
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kApplicationVersion));
  QCoreApplication::setOrganizationName(QString());
  QCoreApplication::setOrganizationDomain(QString());
  application.setProperty("productName", QString::fromUtf8(kProductName));
  application.setProperty("fileVersion", QString::fromLatin1(kFileVersion));
  application.setProperty("internalName", QString::fromLatin1(kInternalName));
  QGuiApplication::setDesktopFileName(QCoreApplication::applicationName());
  QApplication::setWindowIcon(AppIcon());
}

void ReceiverApp::Run(WaveInDevice& device, TextOutput& files, Framing framing,
                      const std::function<void(ReceiverWindow&)>& started) {
  ReceiverWindow window(device, files, presenter);
  window.Core().SetFraming(framing);
  window.InitDialog();
  if (started) started(window);
  window.exec();
}

}  // namespace brindlemoor

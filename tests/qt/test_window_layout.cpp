// The windows' sizes come from their dialog-unit layouts and the dialog font.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialog/window_resources.h"
#include "qt/about_dialog.h"
#include "qt/dialog_font.h"
#include "qt/receiver_window.h"
#include "testing/fake_wave_in_device.h"
#include "testing/fake_window.h"
#include "window_testing.h"

namespace brindlemoor {
namespace {

QRect Pixels(const DialogBaseUnits& units, const DialogRect& r) {
  const DialogRect p = units.ToPixels(r);
  return QRect(p.x, p.y, p.width, p.height);
}

TEST(WindowLayoutTest, TheDialogFontFallsBackToAnInstalledJapaneseFace) {
  const QFontInfo info(DialogFont());
  EXPECT_EQ(info.pointSize(), kDialogFontPoints);
  // Where the dialog font itself is missing, the CJK face (fonts-noto-cjk) stands in.
  EXPECT_TRUE(info.family().contains(QStringLiteral("Gothic")) ||
              info.family().contains(QStringLiteral("ゴシック")) ||
              info.family().contains(QStringLiteral("CJK")))
      << info.family().toStdString();
  const DialogBaseUnits units = BaseUnitsOf(DialogFont());
  EXPECT_GT(units.charWidth, 0);
  EXPECT_GT(units.charHeight, 0);
}

TEST(WindowLayoutTest, MainWindowAndLineFollowTheirDialogUnits) {
  testing::FakeWaveInDevice device;
  testing::MemoryTextOutput files;
  testing::RecordingPresenter presenter;
  ReceiverWindow window(device, files, presenter);
  const DialogBaseUnits units = BaseUnitsOf(window.font());
  EXPECT_EQ(QRect(QPoint(0, 0), window.size()), Pixels(units, kMainWindowUnits));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());  // a fixed frame
  EXPECT_EQ(window.TextLine().geometry(), Pixels(units, kTextLineUnits));
}

TEST(WindowLayoutTest, AboutBoxFollowsItsDialogUnits) {
  AboutDialog about;
  const DialogBaseUnits units = BaseUnitsOf(about.font());
  EXPECT_EQ(QRect(QPoint(0, 0), about.size()), Pixels(units, kAboutWindowUnits));
  EXPECT_EQ(about.VersionLabel()->geometry(), Pixels(units, kAboutVersionUnits));
  EXPECT_EQ(about.SecondLineLabel()->geometry(), Pixels(units, kAboutSecondLineUnits));
  EXPECT_EQ(about.OkButton()->geometry(), Pixels(units, kAboutOkUnits));
  EXPECT_EQ(about.IconLabel()->pos(), Pixels(units, kAboutIconUnits).topLeft());
}

}  // namespace
}  // namespace brindlemoor

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include "dialog/resources.h"
#include "qt/about_dialog.h"
#include "qt/window_services.h"
#include "window_testing.h"

namespace brindlemoor {
namespace {

using testing::RecordingPresenter;
using testing::WaitFor;

class WindowServicesTest : public ::testing::Test {
 protected:
  QWidget window;
  QLineEdit* line = new QLineEdit(&window);
  QMenu menu{&window};
  RecordingPresenter presenter;
  QtWindowServices services{window, *line, menu, presenter};
};

TEST_F(WindowServicesTest, ReplacesTheWholeLineWithoutUndo) {
  line->setReadOnly(true);
  const std::string first = "\xBA\xDD\xC6\xC1\xCA";  // ｺﾝﾆﾁﾊ in CP932
  services.ReplaceText(first.data(), first.size());
  EXPECT_EQ(line->text(), QString::fromUtf8("ｺﾝﾆﾁﾊ"));
  services.ReplaceText("AB\x0A", 3);
  EXPECT_EQ(line->text(), QString::fromUtf8("AB␊"));
  EXPECT_FALSE(line->isUndoAvailable());
  services.ReplaceText("", 0);
  EXPECT_TRUE(line->text().isEmpty());
}

TEST_F(WindowServicesTest, TimerTicksWithItsIdUntilKilled) {
  std::vector<uint32_t> ticks;
  services.SetTimerHandler([&](uint32_t id) {
    ticks.push_back(id);
    if (ticks.size() == 2) services.KillTimer(id);
  });
  services.SetTimer(kReceiveTimerId, 20);
  EXPECT_TRUE(services.TimerActive(kReceiveTimerId));
  ASSERT_TRUE(WaitFor([&] { return !services.TimerActive(kReceiveTimerId); }));
  EXPECT_EQ(ticks, (std::vector<uint32_t>{kReceiveTimerId, kReceiveTimerId}));
  EXPECT_EQ(services.ActiveTimerCount(), 0);
  services.KillTimer(kReceiveTimerId);  // stopping a stopped timer is harmless
  services.KillTimer(7);                // as is one never set
}

TEST_F(WindowServicesTest, KilledAndRestartedInsideItsOwnTickAsTheReceiverDoes) {
  // The receive tick stops its timer first and sets it again last, so ticks never overlap and
  // the period runs from the end of one tick to the start of the next.
  int ticks = 0;
  bool inside = false;
  bool overlapped = false;
  services.SetTimerHandler([&](uint32_t id) {
    overlapped |= inside;
    inside = true;
    services.KillTimer(id);
    ++ticks;
    if (ticks < 3) services.SetTimer(id, 10);
    inside = false;
  });
  services.SetTimer(kReceiveTimerId, 10);
  ASSERT_TRUE(WaitFor([&] { return ticks == 3; }));
  EXPECT_FALSE(overlapped);
  EXPECT_FALSE(services.TimerActive(kReceiveTimerId));
}

TEST_F(WindowServicesTest, MessageBoxIsModalStopIconTopmostWithTheApplicationTitle) {
  services.ShowMessageBox(kSpectrumAllocFailedText);
  ASSERT_EQ(presenter.shown.size(), 1u);
  const testing::ShownDialog& box = presenter.shown[0];
  EXPECT_EQ(box.text, QString::fromUtf8(kSpectrumAllocFailedText));
  EXPECT_EQ(box.title, QCoreApplication::applicationName());
  EXPECT_EQ(box.title, QStringLiteral("test_window"));  // the executable's name
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_TRUE(box.topmost);
  EXPECT_EQ(box.parent, &window);
}

TEST_F(WindowServicesTest, MenuItemSendsItsCommandByMenuAndShortcut) {
  std::vector<uint32_t> commands;
  services.SetCommandHandler([&](uint32_t id) { commands.push_back(id); });
  ASSERT_TRUE(services.HasSystemMenu());
  EXPECT_EQ(services.LoadMenuString(), kAboutMenuText);
  services.AppendMenuSeparator();
  services.AppendMenuItem(kAboutCommandId, kAboutMenuText);
  const QList<QAction*> actions = menu.actions();
  ASSERT_EQ(actions.size(), 2);
  EXPECT_TRUE(actions[0]->isSeparator());
  EXPECT_EQ(actions[1]->text(), QString::fromUtf8(kAboutMenuText));
  EXPECT_EQ(actions[1]->shortcut(), kAboutShortcut);
  actions[1]->trigger();

  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
  EXPECT_EQ(commands, (std::vector<uint32_t>{kAboutCommandId, kAboutCommandId}));
}

TEST_F(WindowServicesTest, AboutBoxFromTheResources) {
  presenter.during = [](QDialog& dialog) {
    auto& about = dynamic_cast<AboutDialog&>(dialog);
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8(kAboutCaption));
    EXPECT_EQ(about.VersionLabel()->text(), QString::fromUtf8(kAboutVersionText));
    EXPECT_FALSE(about.SecondLineLabel()->text().isEmpty());
    EXPECT_EQ(about.IconLabel()->pixmap().size(), QSize(32, 32));
    EXPECT_TRUE(about.OkButton()->isDefault());
    EXPECT_EQ(about.OkButton()->text(), QStringLiteral("OK"));
    return QDialog::Accepted;
  };
  services.RunAboutBox();
  EXPECT_EQ(presenter.AboutCount(), 1);
}

// The About box ends on its OK button, Enter and Esc, each through a real modal loop.
TEST(AboutDialogTest, EndsOnOkEnterAndEsc) {
  struct Ending {
    std::function<void(AboutDialog&)> act;
    int result;
  };
  const Ending endings[] = {
      {[](AboutDialog& d) { QTest::mouseClick(d.OkButton(), Qt::LeftButton); }, QDialog::Accepted},
      {[](AboutDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }, QDialog::Accepted},
      {[](AboutDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, QDialog::Rejected},
  };
  for (const Ending& ending : endings) {
    AboutDialog about;
    QTimer::singleShot(0, &about, [&] { ending.act(about); });
    EXPECT_EQ(about.exec(), ending.result);
  }
}

}  // namespace
}  // namespace brindlemoor

// The receiver window driven end to end: the Qt services, the ReceiverDialog core and a fake
// capture device.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "dialog/resources.h"
#include "display/cp932_display.h"
#include "qt/receiver_window.h"
#include "qt/termination_signals.h"
#include "synth/symbol_synth.h"
#include "testing/fake_wave_in_device.h"
#include "testing/fake_window.h"
#include "window_testing.h"

namespace brindlemoor {
namespace {

using testing::RecordingPresenter;
using testing::WaitFor;

constexpr std::size_t kSpectrumBytes = 256 * sizeof(int32_t);

// The allocator behind the two buffers takes plain functions, so its counts live here.
struct AllocationLog {
  std::size_t failSize = 0;  // a request of this size fails
  int allocations = 0;
  int releases = 0;
};
AllocationLog allocationLog;

void* LoggedAllocate(std::size_t size) {
  if (size == allocationLog.failSize) return nullptr;
  ++allocationLog.allocations;
  return std::malloc(size);
}
void* LoggedReallocate(void* block, std::size_t size) {
  if (size == allocationLog.failSize) return nullptr;
  if (block == nullptr) ++allocationLog.allocations;
  return std::realloc(block, size);
}
void LoggedRelease(void* block) {
  if (block != nullptr) ++allocationLog.releases;
  std::free(block);
}

class ReceiverWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { allocationLog = {}; }

  ReceiverWindow& Make(std::size_t failSize = 0) {
    allocationLog.failSize = failSize;
    window = std::make_unique<ReceiverWindow>(
        device, files, presenter, BufferAllocator{LoggedAllocate, LoggedReallocate, LoggedRelease});
    return *window;
  }

  // Completes capture blocks holding `bytes` as a sender plays them, then silence to a block's end.
  void Send(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> samples =
        QuantiseToU8(SynthesiseMessage(bytes, kDefaultTiming, static_cast<int32_t>(kSampleRate)));
    samples.resize((samples.size() + kBlockSamples - 1) / kBlockSamples * kBlockSamples, kSilence);
    for (std::size_t at = 0; at < samples.size(); at += kBlockSamples) {
      ASSERT_TRUE(device.CompleteNext(samples.data() + at, kBlockSamples));
    }
  }

  testing::FakeWaveInDevice device;
  testing::MemoryTextOutput files;
  RecordingPresenter presenter;
  std::unique_ptr<ReceiverWindow> window;
};

TEST_F(ReceiverWindowTest, InitialisationAddsTheMenuItemSetsTheIconAndStartsTheTimer) {
  ReceiverWindow& w = Make();
  w.InitDialog();
  const QList<QAction*> actions = w.WindowMenu().actions();
  ASSERT_EQ(actions.size(), 2);
  EXPECT_TRUE(actions[0]->isSeparator());
  EXPECT_EQ(actions[1]->text(), QString::fromUtf8(kAboutMenuText));
  EXPECT_FALSE(w.windowIcon().isNull());
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8(kWindowCaption));
  EXPECT_TRUE(w.TextLine().isReadOnly());
  EXPECT_TRUE(w.Services().TimerActive(kReceiveTimerId));
  EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(ReceiverWindowTest, AnEmptyMenuStringAddsNoItem) {
  ReceiverWindow& w = Make();
  w.Services().SetMenuString("");
  w.InitDialog();
  EXPECT_TRUE(w.WindowMenu().actions().isEmpty());
  EXPECT_TRUE(w.actions().isEmpty());  // and no shortcut
}

TEST_F(ReceiverWindowTest, CommandIdsSixteenToThirtyOneOpenTheAboutBox) {
  ReceiverWindow& w = Make();
  w.InitDialog();
  std::vector<uint32_t> ids;
  for (uint32_t id = 0; id < 64; ++id) ids.push_back(id);
  for (uint32_t id : {0x0110u, 0xF010u, 0xF020u, 0xF060u, 0xFFFFu}) ids.push_back(id);
  for (uint32_t id : ids) {
    const int before = presenter.AboutCount();
    w.Core().OnSysCommand(id);
    EXPECT_EQ(presenter.AboutCount() - before, id >= 16 && id <= 31 ? 1 : 0) << "id " << id;
  }
}

TEST_F(ReceiverWindowTest, TheMenuItemAndItsShortcutOpenTheAboutBox) {
  ReceiverWindow& w = Make();
  w.InitDialog();
  w.WindowMenu().actions().at(1)->trigger();
  EXPECT_EQ(presenter.AboutCount(), 1);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QTest::keyClick(&w.TextLine(), Qt::Key_A, Qt::AltModifier);
  EXPECT_EQ(presenter.AboutCount(), 2);
  ASSERT_EQ(presenter.shown.size(), 2u);
  EXPECT_EQ(presenter.shown[1].title, QString::fromUtf8(kAboutCaption));
  EXPECT_EQ(presenter.shown[1].parent, &w);
}

TEST_F(ReceiverWindowTest, ARightClickOnTheLineOpensTheWindowMenu) {
  ReceiverWindow& w = Make();
  w.InitDialog();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  int shown = 0;
  QObject::connect(&w.WindowMenu(), &QMenu::aboutToShow, [&] {
    ++shown;
    QTimer::singleShot(0, &w.WindowMenu(), &QMenu::close);
  });
  const QPoint at = w.TextLine().rect().center();
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, w.TextLine().mapToGlobal(at));
  QApplication::sendEvent(&w.TextLine(), &event);
  EXPECT_EQ(shown, 1);
}

TEST_F(ReceiverWindowTest, TheLineHoldsExactlyEachTicksTextAndAnEmptyTickEmptiesIt) {
  ReceiverWindow& w = Make();
  w.InitDialog();
  QLineEdit& line = w.TextLine();

  const std::vector<uint8_t> first = {0xB1, 0xB2, 0xB3};  // ｱｲｳ
  Send(first);
  ASSERT_TRUE(WaitFor([&] { return !line.text().isEmpty(); }));
  EXPECT_EQ(line.text(), QString::fromUtf8("ｱｲｳ"));

  const std::vector<uint8_t> second = {'O', 'K', '\n'};
  Send(second);
  ASSERT_TRUE(WaitFor([&] { return line.text() != QString::fromUtf8("ｱｲｳ"); }));
  EXPECT_EQ(line.text(), QString::fromUtf8("OK␊"));  // replaced, not appended

  Send({});  // silence only
  ASSERT_TRUE(WaitFor([&] { return line.text().isEmpty(); }));
  EXPECT_EQ(files.receiveText, "\xB1\xB2\xB3OK\n");
}

TEST_F(ReceiverWindowTest, ClosingWithATickPendingStopsTheTimerAndFreesBothBuffersOnce) {
  ReceiverWindow& w = Make();
  w.InitDialog();
  w.show();
  ASSERT_TRUE(w.Services().TimerActive(kReceiveTimerId));
  ASSERT_EQ(allocationLog.allocations, 2);
  device.CompleteNext();  // a block waits for the next tick

  w.close();
  EXPECT_EQ(w.Services().ActiveTimerCount(), 0);
  EXPECT_EQ(w.Core().Spectrum(), nullptr);
  EXPECT_EQ(w.Core().RecordBuffer(), nullptr);
  EXPECT_EQ(allocationLog.releases, 2);
  EXPECT_FALSE(device.IsOpen());

  window.reset();  // destroying the window afterwards frees nothing twice
  EXPECT_EQ(allocationLog.releases, 2);
}

TEST_F(ReceiverWindowTest, EnterEscAndTheCloseButtonEndTheDialog) {
  struct Ending {
    const char* name;
    std::function<void(ReceiverWindow&)> act;
    int result;
  };
  const Ending endings[] = {
      {"Enter", [](ReceiverWindow& w) { QTest::keyClick(&w.TextLine(), Qt::Key_Return); },
       QDialog::Accepted},
      {"KeypadEnter",
       [](ReceiverWindow& w) { QTest::keyClick(&w.TextLine(), Qt::Key_Enter, Qt::KeypadModifier); },
       QDialog::Accepted},
      {"Esc", [](ReceiverWindow& w) { QTest::keyClick(&w.TextLine(), Qt::Key_Escape); },
       QDialog::Rejected},
      {"Close", [](ReceiverWindow& w) { w.close(); }, QDialog::Rejected},
  };
  for (const Ending& ending : endings) {
    SCOPED_TRACE(ending.name);
    allocationLog = {};
    ReceiverWindow& w = Make();
    w.InitDialog();
    QTimer::singleShot(0, &w, [&] { ending.act(w); });
    EXPECT_EQ(w.exec(), ending.result);
    EXPECT_EQ(w.Services().ActiveTimerCount(), 0);
    EXPECT_EQ(allocationLog.releases, 2);
    window.reset();
  }
}

TEST_F(ReceiverWindowTest, AllocationFailuresShowTheirBoxAndStartNothing) {
  struct Failure {
    std::size_t size;
    const char* text;
  };
  for (const Failure& failure : {Failure{kSpectrumBytes, kSpectrumAllocFailedText},
                                 Failure{kRingBytes, kRecordAllocFailedText}}) {
    SCOPED_TRACE(failure.text);
    presenter.shown.clear();
    ReceiverWindow& w = Make(failure.size);
    w.InitDialog();
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text, QString::fromUtf8(failure.text));
    EXPECT_EQ(presenter.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(presenter.shown[0].title, QCoreApplication::applicationName());
    EXPECT_TRUE(presenter.shown[0].topmost);
    EXPECT_EQ(w.Services().ActiveTimerCount(), 0);
    EXPECT_FALSE(w.Core().Capture().recording);
    const std::vector<std::string> calls = device.CallNames();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Open"), 0);
    window.reset();
  }
}

// A device that does not open shows no message box; the program puts the reason greyed into the
// empty line, and received text would take its place.
TEST_F(ReceiverWindowTest, AnInputProblemShowsGreyedInTheEmptyLineWithoutABox) {
  device.openResult = kWaveBadDevice;
  ReceiverWindow& w = Make();
  w.InitDialog();
  EXPECT_FALSE(w.Core().Capture().recording);
  w.ShowInputProblem(QStringLiteral("No sound input: no such device"));
  EXPECT_EQ(w.TextLine().text(), QString());
  EXPECT_EQ(w.TextLine().placeholderText(), QStringLiteral("No sound input: no such device"));
  EXPECT_EQ(w.TextLine().toolTip(), QStringLiteral("No sound input: no such device"));
  EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(ReceiverWindowTest, TicksGoOnWhileTheAboutBoxIsOpen) {
  ReceiverWindow& w = Make();
  w.InitDialog();
  int ticks = 0;
  QDialog* about = nullptr;
  w.Services().SetTimerHandler([&](uint32_t id) {
    ++ticks;
    w.Core().OnTimer(id);
    if (ticks == 2 && about != nullptr) about->accept();
  });
  presenter.during = [&](QDialog& dialog) {
    about = &dialog;
    QTimer::singleShot(20000, &dialog, &QDialog::reject);  // a limit, never reached when ticking
    return dialog.exec();
  };
  w.Core().OnSysCommand(kAboutCommandId);
  EXPECT_EQ(ticks, 2);
  EXPECT_TRUE(w.Services().TimerActive(kReceiveTimerId));
}

TEST_F(ReceiverWindowTest, TerminationClosesTheAboutBoxThenTheWindow) {
  ReceiverWindow& w = Make();
  w.InitDialog();
  presenter.during = [&](QDialog& about) {
    QTimer::singleShot(0, &w, [&] { w.Terminate(); });
    return about.exec();
  };
  QTimer::singleShot(0, &w, [&] { w.Core().OnSysCommand(kAboutCommandId); });
  EXPECT_EQ(w.exec(), QDialog::Rejected);
  EXPECT_EQ(presenter.AboutCount(), 1);
  EXPECT_EQ(w.Services().ActiveTimerCount(), 0);
  EXPECT_EQ(allocationLog.releases, 2);
}

TEST(TerminationSignalsTest, ASignalReachesTheEventLoopInsteadOfKilling) {
  TerminationSignals::Block();
  int calls = 0;
  TerminationSignals signals([&] { ++calls; });
  ASSERT_EQ(raise(SIGTERM), 0);  // to this thread, where it is blocked and read from the fd
  ASSERT_TRUE(WaitFor([&] { return calls > 0; }));
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace brindlemoor

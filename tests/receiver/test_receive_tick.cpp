// Symbol framing: onset search, collection across blocks and ticks, the shift at a late peak,
// re-sync, the text limit and the bookkeeping of blocks, on captured bytes built by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "testing/receiver_rig.h"
#include "testing/signal.h"

namespace brindlemoor {
namespace {

using testing::ReceiverRig;
using testing::Stream;
using testing::TonePeriod;

// A period whose largest sample (magnitude `peak`) sits at index `at`.
std::vector<int> PeriodWithPeakAt(uint8_t byte, int peak, int at) {
  std::vector<int> period = TonePeriod(byte, peak);
  auto largest = std::max_element(period.begin(), period.end(),
                                  [](int a, int b) { return std::abs(a) < std::abs(b); });
  std::rotate(period.begin(), largest, period.end());
  std::rotate(period.rbegin(), period.rbegin() + at, period.rend());
  return period;
}

// A symbol whose level rises over 280 samples and then holds, followed by silence: found
// wherever block and tick boundaries fall.
void AppendRampedSymbol(Stream& s, uint8_t byte) {
  const std::vector<int> period = TonePeriod(byte, 100);
  for (int i = 0; i < 420; ++i) {
    const double level = i < 280 ? (i + 1) / 280.0 : 1.0;
    s.bytes.push_back(static_cast<uint8_t>(128 + std::lround(period[i % 45] * level)));
  }
  s.Silence(230);
}

TEST(ReceiveTickTest, NoNewBlocksChangesNothing) {
  ReceiverRig rig;
  const size_t callsBefore = rig.device.Calls().size();
  rig.Tick();
  EXPECT_TRUE(rig.window.shownTexts.empty());
  EXPECT_EQ(rig.dialog.Calibration().silentTicks, 0);
  EXPECT_EQ(rig.device.Calls().size(), callsBefore);
  EXPECT_TRUE(rig.window.TimerRunning(kReceiveTimerId));
  EXPECT_EQ(rig.window.killTimerCalls, 1);
}

TEST(ReceiveTickTest, OneSymbolFromOnsetToResync) {
  // Silence up to 469, then a tone reaching magnitude 100 in its first 35 samples.
  Stream s;
  s.Silence(470).Tone(PeriodWithPeakAt(65, 100, 20), 600);
  ReceiverRig rig(s.bytes);
  rig.DeliverAndTick(2);
  ASSERT_EQ(rig.recorder.symbols.size(), 1u);
  const auto& symbol = rig.recorder.symbols[0];
  EXPECT_EQ(symbol.onsetBlock, 0u);
  EXPECT_EQ(symbol.onsetPosition, 505u);  // the window at 460 is the onset
  EXPECT_EQ(symbol.symbolPeak, 100);
  EXPECT_EQ(symbol.symbolPeakIndex, 470 + 20 - 505 + 45);  // first full period after 505
  EXPECT_TRUE(symbol.decision.accepted);
  EXPECT_EQ(symbol.decision.byte, 65);
  EXPECT_EQ(rig.files.receiveText, "A");
  EXPECT_EQ(rig.window.shownTexts, std::vector<std::string>{"A"});
}

TEST(ReceiveTickTest, AnalysedPeriodDecidesHarmonicsWhateverTheirPhases) {
  for (uint8_t byte : {uint8_t{65}, uint8_t{0}, uint8_t{255}, uint8_t{1}, uint8_t{128}}) {
    Stream s;
    s.Silence(470).Tone(PeriodWithPeakAt(byte, 110, 5), 600);
    ReceiverRig rig(s.bytes);
    rig.DeliverAndTick(2);
    ASSERT_EQ(rig.recorder.symbols.size(), 1u);
    EXPECT_TRUE(rig.recorder.symbols[0].decision.accepted) << int(byte);
    EXPECT_EQ(rig.recorder.symbols[0].decision.byte, byte);
  }
}

TEST(ReceiveTickTest, OnsetNeedsARiseOfTwoAboveFloorFive) {
  struct Case {
    int first, second;
    bool onset;
  };
  const Case cases[] = {{0, 6, true}, {0, 5, false}, {10, 11, false}, {10, 12, true}};
  for (const Case& c : cases) {
    Stream s;
    s.Spike(46, 10, c.first).Spike(46, 10, c.second);
    ReceiverRig rig(s.bytes);
    rig.DeliverAndTick(2);
    if (c.onset) {
      ASSERT_EQ(rig.recorder.symbols.size(), 1u) << c.first << " then " << c.second;
      EXPECT_EQ(rig.recorder.symbols[0].onsetPosition, 91u);
      // The spike is in the onset window, so the collected samples are silent.
      EXPECT_EQ(rig.recorder.symbols[0].decision.reason, Rejection::kSilent);
    } else {
      EXPECT_TRUE(rig.recorder.symbols.empty()) << c.first << " then " << c.second;
    }
  }
}

TEST(ReceiveTickTest, CutWindowAtBlockEndIsIgnoredAndNotAReference) {
  // A rise in the window at 1058 (cut to 44 samples) is ignored; the next block's first window
  // is compared with the window at 1012, whose peak is 0.
  Stream s;
  s.Silence(1060).Spike(42, 0, 50).Spike(46, 0, 30);
  ReceiverRig rig(s.bytes);
  rig.DeliverAndTick(3);
  ASSERT_FALSE(rig.recorder.symbols.empty());
  EXPECT_EQ(rig.recorder.symbols[0].onsetBlock, 1u);
  EXPECT_EQ(rig.recorder.symbols[0].onsetPosition, 45u);
}

TEST(ReceiveTickTest, RiseInLastFullWindowStartsCollectionAt1057) {
  Stream s;
  s.Silence(1020).Spike(1, 0, 50).Silence(81).Tone(PeriodWithPeakAt(3, 90, 0), 700);
  ReceiverRig rig(s.bytes);
  rig.DeliverAndTick(3);
  ASSERT_FALSE(rig.recorder.symbols.empty());
  EXPECT_EQ(rig.recorder.symbols[0].onsetBlock, 0u);
  EXPECT_EQ(rig.recorder.symbols[0].onsetPosition, 1057u);
  // 45 samples from block 0, then block 1 from position 0: the tone's first peak is index 45.
  EXPECT_EQ(rig.recorder.symbols[0].symbolPeakIndex, 45);
  EXPECT_EQ(rig.recorder.symbols[0].decision.byte, 3);
}

TEST(ReceiveTickTest, CollectionCarriesIntoTheNextTick) {
  Stream s;
  s.Silence(900).Tone(PeriodWithPeakAt(77, 100, 30), 700);
  ReceiverRig rig(s.bytes);
  rig.DeliverAndTick(1);
  EXPECT_TRUE(rig.recorder.symbols.empty());
  EXPECT_EQ(rig.dialog.Symbol().searchingOnset, 0);
  EXPECT_GT(rig.dialog.Symbol().symbolCount, 0);
  EXPECT_EQ(rig.dialog.Symbol().symbolPeak, 100);
  EXPECT_EQ(rig.window.shownTexts, std::vector<std::string>{""});
  rig.DeliverAndTick(1);
  ASSERT_EQ(rig.recorder.symbols.size(), 1u);
  EXPECT_EQ(rig.recorder.symbols[0].decision.byte, 77);
  EXPECT_EQ(rig.files.receiveText, "M");
  EXPECT_EQ(rig.dialog.Symbol().searchingOnset, 1);
}

TEST(ReceiveTickTest, RestartForgetsAHalfCollectedSymbol) {
  Stream s;
  s.Silence(900).Tone(PeriodWithPeakAt(77, 100, 30), 700);
  ReceiverRig rig(s.bytes);
  rig.DeliverAndTick(1);
  ASSERT_TRUE(rig.dialog.Symbol().Collecting());
  rig.dialog.OnDestroy();
  rig.dialog.StartReceiving();
  EXPECT_TRUE(rig.dialog.Symbol().Searching());
  EXPECT_EQ(rig.dialog.Symbol().searchingOnset, 1);
  EXPECT_EQ(rig.dialog.Symbol().symbolCount, 0);
  EXPECT_EQ(rig.dialog.Symbol().symbolPeak, 0);
}

TEST(ReceiveTickTest, EarliestOfEqualPeaksAndTheShiftAtALatePeak) {
  // Onset at 91; collected index i is stream position 91 + i.
  struct Case {
    int spikeIndex;  // a lone sample of magnitude 120 among quieter tone
    int expectedPeakIndex;
  };
  const Case cases[] = {{100, 100}, {466, 466}, {467, 0}, {511, 0}};
  for (const Case& c : cases) {
    Stream s;
    s.Silence(46).Spike(45, 10, 20);  // onset window
    s.Silence(1).Tone(PeriodWithPeakAt(65, 60, 0), 1200);
    s.bytes[static_cast<size_t>(91 + c.spikeIndex)] = 128 + 120;
    if (c.spikeIndex == 100) s.bytes[91 + 200] = 128 - 120;  // equal magnitude later
    ReceiverRig rig(s.bytes);
    rig.DeliverAndTick(3);
    ASSERT_FALSE(rig.recorder.symbols.empty()) << c.spikeIndex;
    EXPECT_EQ(rig.recorder.symbols[0].symbolPeak, 120) << c.spikeIndex;
    EXPECT_EQ(rig.recorder.symbols[0].symbolPeakIndex, c.expectedPeakIndex) << c.spikeIndex;
  }
}

TEST(ReceiveTickTest, TextLimitEndsTheTick) {
  Stream s;
  for (int i = 0; i < 140; ++i) AppendRampedSymbol(s, static_cast<uint8_t>('a' + i % 26));
  const size_t blocks = (s.Size() + kBlockSamples - 1) / kBlockSamples;
  ReceiverRig rig(s.bytes);
  rig.DeliverAndTick(blocks);
  ASSERT_EQ(rig.files.receiveText.size(), 127u);
  EXPECT_EQ(rig.window.shownTexts.back().size(), 127u);
  EXPECT_EQ(rig.dialog.Capture().blocksConsumed, blocks);
  EXPECT_EQ(rig.dialog.Symbol().searchingOnset, 1);
  EXPECT_EQ(rig.dialog.Symbol().symbolCount, 0);
  rig.DeliverAndTick(1);
  EXPECT_EQ(rig.window.shownTexts.back(), "");
}

TEST(ReceiveTickTest, SilentTickStillHandsBlocksBackAndFinishes) {
  ReceiverRig rig;
  const auto before = rig.device.CallNames();
  const auto addsBefore = std::count(before.begin(), before.end(), "Add");
  rig.DeliverAndTick(5);
  const auto names = rig.device.CallNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "Add"), addsBefore + 5);
  EXPECT_EQ(rig.dialog.Capture().blocksConsumed, 5u);
  EXPECT_EQ(rig.dialog.Capture().lastQueued, 132u);
  EXPECT_EQ(rig.window.shownTexts, std::vector<std::string>{""});
  EXPECT_EQ(rig.dialog.Calibration().silentTicks, 1);
}

TEST(ReceiveTickTest, SilentSymbolIsSkippedAndDecodingGoesOn) {
  Stream s;
  s.Spike(46, 0, 0).Spike(46, 10, 30).Silence(600);
  AppendRampedSymbol(s, 'k');
  ReceiverRig rig(s.bytes);
  rig.DeliverAndTick(3);
  ASSERT_EQ(rig.recorder.symbols.size(), 2u);
  EXPECT_EQ(rig.recorder.symbols[0].decision.reason, Rejection::kSilent);
  EXPECT_EQ(rig.files.receiveText, "k");
}

TEST(ReceiveTickTest, SymbolsSurviveEveryBoundaryPlacement) {
  // The same text with every lead-in from 0 to 1100 samples in steps of 25, delivered in ticks
  // of 5 or 6 blocks as a live device would.
  const std::string text = "Framing!";
  for (size_t lead = 0; lead < kBlockSamples; lead += 25) {
    Stream s;
    s.Silence(lead);
    for (char c : text) AppendRampedSymbol(s, static_cast<uint8_t>(c));
    ReceiverRig rig(s.bytes);
    const size_t blocks = s.Size() / kBlockSamples + 12;
    for (size_t tick = 1; rig.delivered < blocks; ++tick) {
      rig.Deliver(tick * 11025 / 2204 - rig.delivered);
      rig.Tick();
    }
    EXPECT_EQ(rig.files.receiveText, text) << "lead " << lead;
  }
}

}  // namespace
}  // namespace brindlemoor

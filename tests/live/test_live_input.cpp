// The platform's live input as the programs open it, on the private loopback server: the default
// input opens and is named, a selector that names nothing fails at open with the reason, and the
// device list is printed.
#include <gtest/gtest.h>

#include <string>

#include "live/live_input.h"
#include "testing/wave_in_log.h"

namespace brindlemoor::testing {
namespace {

TEST(LiveInput, OpensWhatTheSelectorNames) {
  struct Case {
    const char* selector;
    WaveResult expected;
  };
  for (const Case& c : {Case{"", kWaveOk}, Case{"no such device anywhere", kWaveBadDevice}}) {
    SCOPED_TRACE(c.selector);
    const std::unique_ptr<LiveInput> input = OpenLiveInput(c.selector);
    ASSERT_NE(input, nullptr);
    ASSERT_EQ(input->Unavailable(), "");
    CallbackLog log;
    EXPECT_EQ(input->Device().Open(CaptureFormat(), &RecordingCallback, &log), c.expected);
    if (c.expected != kWaveOk) {
      EXPECT_NE(input->Device().ErrorText(), "");
      continue;
    }
    EXPECT_NE(input->Name(), "");
    EXPECT_EQ(input->Produced(0), 0u);
    EXPECT_EQ(input->Device().Close(), kWaveOk);
  }
}

TEST(LiveInput, ListsTheDevices) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ListLiveInputs("test"), 0);
  EXPECT_NE(::testing::internal::GetCapturedStdout().find("default input"), std::string::npos);
}

}  // namespace
}  // namespace brindlemoor::testing

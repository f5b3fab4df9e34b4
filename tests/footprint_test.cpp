// What the hot calls may use: the transmitter and the reply checker are called
// every tick while they wait for the modem, so a waiting call opens only the
// files its step reads and allocates nothing. The numbers are deterministic
// counts of the loader's wrappers, the same on every target.
#include <gtest/gtest.h>

#include "macro/codes.h"
#include "plugin_fixture.h"
#include "server_files.h"

namespace {

using namespace testing_support;

class WaitingTransmitter : public PluginTest, public ::testing::WithParamInterface<const char*> {};

// State 12 with no reply yet and time to spare: the reply area, the tick
// counter and the reply time-out in SMSProfile_1.bin, nothing else.
TEST_P(WaitingTransmitter, ReadsTheSendSettingsAndAllocatesNothing) {
  LoadPlugin(GetParam());
  if (IsSkipped()) return;
  ASSERT_TRUE(work.Write("SMSProfile_1.bin", SendSettingsFile(1, 0, 1, 30)));
  panel.SetPair(DeviceLW, 6005, StateAwaitReply);
  panel.SetPair(DeviceLW, 6008, 1000);
  panel.Word(DeviceLW, 6013) = 3;
  panel.SetTicks(1010);
  for (int call = 0; call < 3; ++call) {
    host::ResetCalls();
    Call();
    const host::CallStats& s = host::Calls().stats;
    EXPECT_EQ(s.fileOpens, 1) << "only SMSProfile_1.bin";
    EXPECT_EQ(s.calls[static_cast<int>(host::CallClass::Alloc)], 0) << "no allocation";
    ExpectNothingHeld();
  }
  EXPECT_EQ(panel.GetPair(DeviceLW, 6005), StateAwaitReply);
  EXPECT_EQ(panel.Word(DeviceLW, 6007), 0);
  EXPECT_EQ(panel.GetPair(DeviceLW, 6010), 1010u) << "the check tick is noted";
}

INSTANTIATE_TEST_SUITE_P(Both, WaitingTransmitter,
                         ::testing::Values("srv_transmit", "srv_transmit_alt"));

class WaitingChecker : public PluginTest {};

// No answer yet to "AT" and time to spare: three register reads, no file and
// no allocation, and the checker stays selected.
TEST_F(WaitingChecker, TouchesNoFileAndNoHeap) {
  LoadPlugin("link_check_reply");
  if (IsSkipped()) return;
  panel.record[CheckerVectorWord] = 1u << CheckerMacro;
  panel.record[CheckerSendStateWord] = SendAt;
  panel.record[CheckerTimeoutWord] = 10;
  panel.SetPair(DeviceLW, 1007, 1000);
  panel.SetTicks(1050);
  for (int call = 0; call < 3; ++call) {
    host::ResetCalls();
    Call();
    const host::CallStats& s = host::Calls().stats;
    EXPECT_EQ(s.calls[static_cast<int>(host::CallClass::File)], 0) << "no file call";
    EXPECT_EQ(s.calls[static_cast<int>(host::CallClass::Alloc)], 0) << "no allocation";
  }
  EXPECT_EQ(panel.record[CheckerVectorWord], 1u << CheckerMacro);
  EXPECT_EQ(panel.record[CheckerFailureWord], 0);
}

}  // namespace

// srv_transmit and srv_transmit_alt: the script sent line by line, each reply
// judged, the time-out counted in ticks. The host's part (taking the line,
// answering in LW 100..199) is played by the test.
#include <gtest/gtest.h>

#include <functional>

#include "macro/codes.h"
#include "plugin_fixture.h"
#include "server_files.h"
#include "sweep.h"

namespace {

using namespace testing_support;

constexpr int kFlags = 6003, kState = 6005, kError = 6007, kSentTick = 6008, kLineIndex = 6012,
              kLineCount = 6013;

std::string Script(const std::vector<std::string>& records, int announced = -1) {
  return RecordFile(records, announced);
}

const std::vector<std::string> kSixLines = {"AT\r\n", "ATE0\r\n", "AT+CMGF=0\r\n",
                                            "AT+CSCS=\"UCS2\"\r\n", "AT+CMGS=17\r\n",
                                            "0001000B910721436587F900080400410042\x1A"};

class Transmitter : public PluginTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    LoadPlugin(GetParam());
    if (IsSkipped()) return;
    alt = std::string(GetParam()) == "srv_transmit_alt";
    Canary();
    for (int i = 0; i < 14; ++i) panel.Word(DeviceLW, 6000 + i) = 0;
    panel.SetPair(DeviceLW, kFlags, ScriptReady | 0x0100);
    panel.Bit(DeviceLB, 0) = 0;
    panel.SetTicks(1000);
    ASSERT_TRUE(work.Write("SMSProfile_1.bin", SendSettingsFile(1, 0, 1, 3)));
  }

  void Start(const std::string& script) {
    if (!script.empty()) {
      ASSERT_TRUE(work.Write("SMSMessage.at", script));
    }
    panel.SetPair(DeviceLW, kState, StateScriptReady);
  }

  // One call as the host makes it. When the transmitter raised LB 0 the test
  // takes the line and, after `delay` ticks, answers with reply(line).
  int Step() {
    Remember();
    host::ResetCalls();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn({{DeviceLW, 0, 200}, {DeviceLW, 6000, 14}, {DeviceLB, 0, 1}});
    ExpectNothingHeld();
    EXPECT_EQ(host::Calls().stats.calls[0], 0) << "the transmitter allocates nothing";
    ++calls;
    if (panel.Bit(DeviceLB, 0) == 1) {
      panel.Bit(DeviceLB, 0) = 0;
      std::string line(200, '\0');
      for (int i = 0; i < 100; ++i) {
        line[2 * i] = static_cast<char>(panel.Word(DeviceLW, i) & 0xFF);
        line[2 * i + 1] = static_cast<char>(panel.Word(DeviceLW, i) >> 8);
      }
      sent.push_back(line);
      pending = reply ? reply(line) : std::string("\r\nOK\r\n");
      answerAt = panel.Ticks() + delay;
    }
    panel.Advance(1);
    if (!pending.empty() && panel.Ticks() >= answerAt) {
      panel.PutText(DeviceLW, 100, pending, 100);
      pending.clear();
    }
    return calls;
  }

  // Calls until the machine stops (state 0) or `limit` calls were made.
  void RunToStop(int limit = 200) {
    while (calls < limit) {
      Step();
      if (panel.GetPair(DeviceLW, kState) == StateIdle) return;
    }
  }

  std::uint16_t Error() { return panel.Word(DeviceLW, kError); }
  std::uint32_t Flags() { return panel.GetPair(DeviceLW, kFlags); }

  bool alt = false;
  int calls = 0;
  std::vector<std::string> sent;
  std::function<std::string(const std::string&)> reply;
  std::string pending;
  std::uint32_t answerAt = 0;
  std::uint32_t delay = 0;
};

INSTANTIATE_TEST_SUITE_P(Transmitters, Transmitter,
                         ::testing::Values("srv_transmit", "srv_transmit_alt"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(Transmitter, SendsEveryLineAndCompletesWithCode1) {
  Start(Script(kSixLines));
  RunToStop();
  EXPECT_EQ(Error(), TransmitComplete);
  EXPECT_EQ(calls, 3 * 6 + 2) << "start, three calls a line, the stop";
  ASSERT_EQ(sent.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    std::string want = kSixLines[i];
    want.resize(200, '\0');
    EXPECT_EQ(sent[i], want) << "line " << i << " is placed as its whole record";
  }
  EXPECT_EQ(panel.Word(DeviceLW, kLineCount), 6);
  EXPECT_EQ(panel.Word(DeviceLW, kLineIndex), 6);
  EXPECT_EQ(Flags() & ScriptReady, 0u);
  EXPECT_EQ(Flags() & SchedulerArmed, alt ? static_cast<std::uint32_t>(SchedulerArmed) : 0u);
  EXPECT_EQ(Flags() & 0x0100, 0x0100u);
  std::string bytes;
  EXPECT_EQ(work.Read("SMSMessage.at", &bytes), !alt) << "the variant removes what it sent";
}

TEST_P(Transmitter, StopsAndTheirCodes) {
  struct Case {
    const char* name;
    std::string script;  // "": no script file
    std::uint32_t state;
    std::uint16_t code;
  } cases[] = {
      {"empty script", Script({}), StateScriptReady, ErrEmptyScript},
      {"missing script", "", StateScriptReady, ErrFileMissing},
      {"idle", Script(kSixLines), StateIdle, ErrBadState},
      {"a settings request", Script(kSixLines), StateStoreSettings, ErrBadState},
      {"past the machine", Script(kSixLines), 14, ErrBadState},
      {"high half set", Script(kSixLines), 0x1000A, ErrBadState},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove("SMSMessage.at");
    Start(c.script);
    panel.SetPair(DeviceLW, kState, c.state);
    panel.SetPair(DeviceLW, kFlags, ScriptReady);
    Step();
    EXPECT_EQ(Error(), c.code);
    EXPECT_EQ(panel.GetPair(DeviceLW, kState), 0u);
    EXPECT_EQ(Flags() & ScriptReady, 0u);
    EXPECT_TRUE(sent.empty());
  }
}

TEST_P(Transmitter, AnnouncedLinesMissingFromTheFileGoOutEmpty) {
  Start(Script({"AT\r\n", "ATE0\r\n"}, 3));
  RunToStop();
  EXPECT_EQ(Error(), TransmitComplete);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[2], std::string(200, '\0'));
}

TEST_P(Transmitter, HowRepliesAreJudged) {
  struct Case {
    const char* name;
    std::string reply;
    std::uint16_t code;
  } cases[] = {
      {"OK", "\r\nOK\r\n", TransmitComplete},
      {"any text", "whatever", TransmitComplete},
      {"prompt", "> ", TransmitComplete},
      {"ERROR", "\r\nERROR\r\n", ErrModemError},
      {"error report with a number", "\r\n+CMS ERROR: 304\r\n", ErrModemError},
      {"lower case", "\r\nerror\r\n", TransmitComplete},
      {"full area, no terminator", std::string(200, 'x'), TransmitComplete},
      {"ERROR in the last bytes of a full area", std::string(195, 'x') + "ERROR", ErrModemError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sent.clear();
    calls = 0;
    std::string r = c.reply;
    reply = [&r](const std::string& line) { return line.rfind("ATE0", 0) == 0 ? r : "OK"; };
    panel.Word(DeviceLW, 200) = 0x5245;  // "ER" right after the reply area
    Start(Script(kSixLines));
    RunToStop();
    EXPECT_EQ(Error(), c.code);
    if (c.code == ErrModemError) {
      EXPECT_EQ(sent.size(), 2u);
      EXPECT_EQ(panel.Word(DeviceLW, kLineIndex), 1) << "stays on the failed line";
    }
  }
}

TEST_P(Transmitter, ReplyTimeoutAtTheExactTick) {
  reply = [](const std::string&) { return std::string(); };  // a silent modem
  Start(Script(kSixLines));
  Step();  // state 10 -> 11
  Step();  // the line goes out
  std::uint32_t sentTick = panel.GetPair(DeviceLW, kSentTick);
  // replyTimeout 3: the stop comes at the first check at sentTick + 30.
  panel.SetTicks(sentTick + 29);
  Step();
  EXPECT_EQ(panel.GetPair(DeviceLW, kState), StateAwaitReply);
  EXPECT_EQ(panel.GetPair(DeviceLW, 6010), sentTick + 29) << "checkTick";
  panel.SetTicks(sentTick + 30);
  Step();
  EXPECT_EQ(Error(), ErrReplyTimeout);
  EXPECT_EQ(panel.GetPair(DeviceLW, kState), 0u);
}

TEST_P(Transmitter, ReplyTimeoutZeroAndAWrappingDeadline) {
  struct Case {
    const char* name;
    int timeout;
    std::uint32_t start;
  } cases[] = {{"timeout 0", 0, 1000}, {"deadline wraps", 3, 0xFFFFFFF0u}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(work.Write("SMSProfile_1.bin", SendSettingsFile(1, 0, 1, c.timeout)));
    reply = [](const std::string&) { return std::string(); };
    panel.SetTicks(c.start);
    Start(Script(kSixLines));
    Step();
    Step();
    Step();
    EXPECT_EQ(Error(), ErrReplyTimeout);
  }
}

TEST_P(Transmitter, SettingsUnreadableWhileWaitingIs249) {
  reply = [](const std::string&) { return std::string(); };
  Start(Script(kSixLines));
  Step();
  Step();
  std::remove("SMSProfile_1.bin");
  Step();
  EXPECT_EQ(Error(), ErrSendSettingsRead);
}

TEST_P(Transmitter, AReplyPlacedBeforeTheLineIsLost) {
  Start(Script(kSixLines));
  Step();  // state 11 next
  panel.PutText(DeviceLW, 100, "stale OK", 100);
  reply = [](const std::string&) { return std::string(); };
  Step();  // the line goes out and the reply area is cleared first
  EXPECT_EQ(panel.Word(DeviceLW, 100), 0);
  Step();
  EXPECT_EQ(panel.GetPair(DeviceLW, kState), StateAwaitReply);
}

TEST_P(Transmitter, UnreadableControlBlock) {
  Start(Script(kSixLines));
  panel.readFault = {panel.reads + 1, false, 0};
  Remember();
  EXPECT_EQ(Call(), 0);
  EXPECT_TRUE(panel.WordsChangedSince(words).empty());
  std::string bytes;
  EXPECT_EQ(work.Read("SMSMessage.at", &bytes), !alt) << "the variant removes the script anyway";
}

// Every file operation and register access failed in turn (the transmitter
// allocates nothing), the host answering every raised line and the ticks
// running: the machine ends with 1 after both lines or with a documented
// code, and only a block that can never be read or written again keeps it
// going.
TEST_P(Transmitter, UnderFaults) {
  const char* plugin = GetParam();
  FaultPoints points = SweepEveryFault(plugin, panel, [&](const SweepRun& run) {
    ASSERT_TRUE(run.work->Write("SMSProfile_1.bin", SendSettingsFile(1, 0, 1, 3)));
    ASSERT_TRUE(run.work->Write("SMSMessage.at", Script({"AT\r\n", "ATE0\r\n"})));
    for (int i = 0; i < 14; ++i) panel.Word(DeviceLW, 6000 + i) = 0;
    panel.SetPair(DeviceLW, kFlags, ScriptReady);
    panel.SetPair(DeviceLW, kState, StateScriptReady);
    panel.Bit(DeviceLB, 0) = 0;
    std::vector<std::string> lines;
    bool stopped = false;
    Remember();
    // Both lines take 8 calls; a silent line times out after 30 ticks.
    for (int call = 0; call < 60 && !stopped; ++call) {
      EXPECT_EQ(Call(), 0);
      if (panel.Bit(DeviceLB, 0) == 1) {
        panel.Bit(DeviceLB, 0) = 0;
        lines.push_back(panel.GetText(DeviceLW, 0, 100));
        panel.PutText(DeviceLW, 100, "OK", 100);
      }
      panel.Advance(1);
      stopped = panel.GetPair(DeviceLW, kState) == StateIdle;
    }
    ExpectChangesOnlyIn({{DeviceLW, 0, 200}, {DeviceLW, 6000, 14}, {DeviceLW, 9034, 2}, {DeviceLB, 0, 1}});
    bool fired = FaultFired(run);
    if (!stopped) {
      ASSERT_TRUE(RegisterFault(run) && run.persistent && fired)
          << "only a block that can never be read or written again keeps the machine going";
      return;
    }
    std::uint16_t code = Error();
    EXPECT_EQ(panel.GetPair(DeviceLW, kFlags) & ScriptReady, 0u);
    std::string script;
    bool kept = run.work->Read("SMSMessage.at", &script);
    // The variant removes its script; a failed removal is ignored.
    EXPECT_TRUE(kept == !alt || (alt && run.kind == FaultKind::File && fired)) << "the variant removes its script";
    if (!fired) {
      EXPECT_EQ(code, TransmitComplete);
      EXPECT_EQ(lines, (std::vector<std::string>{"AT\r\n", "ATE0\r\n"}));
      return;
    }
    EXPECT_TRUE(code == TransmitComplete || code == ErrFileMissing || code == ErrFileOpen ||
                code == ErrFileSeek || code == ErrSendSettingsRead || code == ErrReplyTimeout)
        << code;
    if (code == TransmitComplete) {
      // Every line went out at least once: a line whose state could not be
      // written back is sent again.
      EXPECT_GE(lines.size(), 2u);
    }
  });
  EXPECT_EQ(points.alloc, 0);
  EXPECT_GT(points.file, 0);
  EXPECT_GT(points.read, 0);
  EXPECT_GT(points.write, 0);
}

}  // namespace

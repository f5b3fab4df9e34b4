// The chain's control macros: the sequencer's table, the reply checker's
// judgement and time-out, and the error reporter's texts.
#include <gtest/gtest.h>

#include <string>

#include "chain_support.h"
#include "sweep.h"

namespace {

using testing_support::ChainPluginTest;
using testing_support::GetBytes;
using testing_support::kRecordCanary;
using testing_support::PutBytes;
using testing_support::StatusText;

// ---- Sequencer ----

class Sequencer : public ChainPluginTest {
 protected:
  void SetUp() override {
    LoadFresh("link_sequencer");
    if (IsSkipped() || HasFatalFailure()) return;
    Canary();
  }
};

TEST_F(Sequencer, DoesOneRowOfItsTablePerCall) {
  constexpr int kKept = -1;  // the word keeps its canary
  struct Case {
    std::uint16_t state, sendState;
    int newState, vector, failure, newSendState;
  } cases[] = {
      {0, 9, 1, kKept, kKept, kKept},
      {1, 9, 2, 0x04, kKept, kKept},
      {2, 9, 4, 0x08, kKept, kKept},
      {4, 9, 8, 0x10, kKept, 0},
      {8, 64, 32, kKept, kKept, kKept},
      {8, 16, 16, 0x20, kKept, kKept},
      {8, 0, 16, 0x20, kKept, kKept},
      {16, 32, 8, 0x10, kKept, kKept},
      {32, 9, 0, 0, 0, kKept},
      {64, 9, 0, 0, 0, kKept},
      {3, 9, 3, kKept, kKept, kKept},
      {128, 64, 128, kKept, kKept, kKept},
  };
  for (const Case& c : cases) {
    FillRecord();
    SetRecord(SequencerStateWord, c.state);
    SetRecord(SequencerSendStateWord, c.sendState);
    EXPECT_EQ(Call(), 0);
    auto want = [](int v, std::uint16_t kept) { return v == kKept ? kept : static_cast<std::uint16_t>(v); };
    EXPECT_EQ(Rec(SequencerStateWord), c.newState) << "state " << c.state;
    EXPECT_EQ(Rec(SequencerVectorWord), want(c.vector, kRecordCanary)) << "state " << c.state;
    EXPECT_EQ(Rec(SequencerFailureWord), want(c.failure, kRecordCanary)) << "state " << c.state;
    EXPECT_EQ(Rec(SequencerSendStateWord), want(c.newSendState, c.sendState)) << "state " << c.state;
    ExpectRecordChangesOnlyIn({SequencerVectorWord, SequencerFailureWord, SequencerStateWord,
                               SequencerSendStateWord});
  }
  EXPECT_TRUE(panel.log.empty()) << "the sequencer touches no register";
}

// Nothing to fail: no allocation, no file, no register.
TEST_F(Sequencer, UnderFaults) {
  testing_support::FaultPoints points = testing_support::SweepEveryFault(
      "link_sequencer", panel, [&](const testing_support::SweepRun&) {
        FillRecord();
        SetRecord(SequencerStateWord, SequencerStartSend);
        SetRecord(SequencerSendStateWord, SendDone);
        EXPECT_EQ(Call(), 0);
        EXPECT_EQ(Rec(SequencerVectorWord), 0x10);
        EXPECT_EQ(Rec(SequencerSendStateWord), SendStart);
        EXPECT_EQ(Rec(SequencerStateWord), SequencerCheck);
      });
  EXPECT_EQ(points.total(), 0);
}

// ---- Reply checker ----

class Checker : public ChainPluginTest {
 protected:
  void SetUp() override {
    LoadFresh("link_check_reply");
    if (IsSkipped() || HasFatalFailure()) return;
    Canary();
  }

  // One call with the vector on the checker. Returns the vector afterwards.
  std::uint16_t Check(std::uint16_t request, const std::string& reply, std::uint16_t flags = 0,
                      std::uint16_t timeout = 3, std::uint32_t sent = 1000, std::uint32_t now = 1000) {
    FillRecord();
    SetRecord(CheckerVectorWord, 0x20);
    SetRecord(CheckerSendStateWord, request);
    SetRecord(CheckerFlagsWord, flags);
    SetRecord(CheckerTimeoutWord, timeout);
    std::string area = reply;
    area.resize(200, '\0');
    PutBytes(panel, DeviceLW, kModemReplyAddress, area);
    panel.SetPair(DeviceLW, kChainSentTickAddress, sent);
    panel.SetTicks(now);
    Remember();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn({});
    ExpectRecordChangesOnlyIn({CheckerVectorWord, CheckerFailureWord});
    return Rec(CheckerVectorWord);
  }
};

TEST_F(Checker, JudgesTheReplyByTheRequestType) {
  std::string okAtTheEnd(198, ' ');
  okAtTheEnd += "OK";
  struct Case {
    std::uint16_t request;
    std::string reply;
    bool accepted;
  } cases[] = {
      {SendAt, "\r\nOK\r\n", true},
      {SendAt, "\r\nERROR\r\n", false},
      {SendAt, "", false},
      {SendEchoOff, "ATE0\r\r\nOK\r\n", true},
      {SendPduMode, "OK", true},
      {SendCharset, "ok", false},
      {SendAnnounce, "> ", true},
      {SendAnnounce, "\r\nOK\r\n", false},
      {SendData, "\r\n+CMGS: 12\r\n\r\nOK\r\n", true},
      {SendData, "\r\n> ", false},
      {SendData, okAtTheEnd, true},
      {SendData, std::string("\0OK", 3), false},
      {SendDone, "", true},
      {SendStart, "", true},
      {3, "", true},
      {0xFFFF, "ERROR", true},
  };
  for (const Case& c : cases) {
    std::uint16_t vector = Check(c.request, c.reply);
    if (c.accepted) {
      EXPECT_EQ(vector, 0x80) << c.request << " '" << c.reply << "'";
      EXPECT_EQ(Rec(CheckerFailureWord), kRecordCanary);
    } else {
      EXPECT_EQ(vector, 0x20) << c.request << " '" << c.reply << "' waits";
    }
  }
}

TEST_F(Checker, AcceptsTheFirstHalfOfALongRecordUnread) {
  EXPECT_EQ(Check(SendData, "", SecondHalfPending, 0, 1000, 999999), 0x80);
  EXPECT_EQ(Check(SendAnnounce, "ERROR", SecondHalfPending | SetupSent, 0, 1000, 999999), 0x80);
}

// The checker waits while now < sent + 10 x time-out and fails from then on.
TEST_F(Checker, TimesOutStrictlyAtTenTicksPerUnit) {
  struct Case {
    std::uint16_t timeout;
    std::uint32_t sent, now;
    bool fails;
  } cases[] = {
      {3, 1000, 1000, false}, {3, 1000, 1029, false}, {3, 1000, 1030, true},
      {3, 1000, 5000, true},  {0, 1000, 1000, true},  {0, 0, 0, true},
      {65535, 0, 655349, false}, {65535, 0, 655350, true},
  };
  for (const Case& c : cases) {
    std::uint16_t vector = Check(SendAt, "ERROR", SetupSent, c.timeout, c.sent, c.now);
    if (c.fails) {
      EXPECT_EQ(vector, 0x40) << c.timeout << " " << c.sent << " " << c.now;
      EXPECT_EQ(Rec(CheckerFailureWord), FailedChecker) << "the whole mask is replaced";
    } else {
      EXPECT_EQ(vector, 0x20) << c.timeout << " " << c.sent << " " << c.now;
      EXPECT_EQ(Rec(CheckerFailureWord), kRecordCanary);
    }
  }
}

// The checker examines no register result: a tick counter that cannot be
// read is 0 (it waits), a send tick that cannot be read is 0 (the time-out
// has run out), a reply that cannot be read is empty (not acceptable). It
// writes no register at all, and its vector is always one of its three.
TEST_F(Checker, UnderFaults) {
  for (std::uint32_t now : {1010u, 1040u}) {  // inside the time-out, and past it
    testing_support::FaultPoints points = testing_support::SweepEveryFault(
        "link_check_reply", panel, [&](const testing_support::SweepRun& run) {
          std::uint16_t vector = Check(SendAnnounce, "\r\n> ", 0, 3, 1000, now);
          if (!testing_support::FaultFired(run)) {
            EXPECT_EQ(vector, 0x80);
            return;
          }
          EXPECT_TRUE(vector == 0x80 || vector == 0x20 || vector == 0x40) << vector;
          if (vector == 0x40) {
            EXPECT_EQ(Rec(CheckerFailureWord), FailedChecker);
          }
        });
    EXPECT_EQ(points.alloc + points.file + points.write, 0);
    EXPECT_EQ(points.read, 2 * 3) << "the tick counter, the send tick, the reply";
  }
}

// ---- Error reporter ----

class Reporter : public ChainPluginTest {
 protected:
  void SetUp() override {
    LoadFresh("link_report_error");
    if (IsSkipped() || HasFatalFailure()) return;
    Canary();
  }

  void Report(std::uint16_t failure, std::uint16_t sendState, std::uint16_t flags = SetupSent | SecondHalfPending) {
    FillRecord();
    SetRecord(ReporterVectorWord, 0x40);
    SetRecord(ReporterFailureWord, failure);
    SetRecord(ReporterSendStateWord, sendState);
    SetRecord(ReporterFlagsWord, flags);
    SetRecord(ReporterSequencerStateWord, 8);
    PutBytes(panel, DeviceRW, kStatusTextAddress, std::string(199, '#'));
    Remember();
    EXPECT_EQ(Call(), 0);
    EXPECT_EQ(Rec(ReporterVectorWord), 0x80);
    EXPECT_EQ(Rec(ReporterSequencerStateWord), SequencerEndByError);
    EXPECT_EQ(Rec(ReporterSendStateWord), sendState);
    ExpectChangesOnlyIn({{DeviceRW, kStatusTextAddress, kStatusTextWords}});
    ExpectRecordChangesOnlyIn({ReporterVectorWord, ReporterFailureWord, ReporterFlagsWord,
                               ReporterSequencerStateWord});
  }

  // The status text, which must be zero-filled to its 200th byte.
  std::string Text() {
    std::string all = GetBytes(panel, DeviceRW, kStatusTextAddress, kStatusTextWords);
    std::string text = StatusText(panel);
    EXPECT_EQ(all.find_first_not_of('\0', text.size()), std::string::npos);
    return text;
  }
};

TEST_F(Reporter, NamesTheRequestThatGotNoAnswer) {
  struct Case {
    std::uint16_t sendState;
    const char* name;
  } cases[] = {
      {SendAt, "AT"},          {SendEchoOff, "ATE0"},       {SendPduMode, "AT+CMGF"},
      {SendCharset, "AT+CSCS"}, {SendAnnounce, "AT+CMGS"},  {SendData, "PDU Package"},
      {SendDone, "Unknown"},   {3, "Unknown"},             {SendStart, "Unknown"},
  };
  for (const Case& c : cases) {
    Report(FailedChecker, c.sendState);
    EXPECT_EQ(Text(), std::string("ERROR: not response to the request '") + c.name + "'!");
    EXPECT_EQ(Rec(ReporterFailureWord), 0);
    EXPECT_EQ(Rec(ReporterFlagsWord), 0) << "the next message repeats the set-up";
  }
}

// The reporter's only register access is the status text: when it cannot be
// written the text is lost, but the chain still ends and the mask and flags
// are cleared as after a report.
TEST_F(Reporter, UnderFaults) {
  testing_support::FaultPoints points = testing_support::SweepEveryFault(
      "link_report_error", panel, [&](const testing_support::SweepRun& run) {
        Report(FailedChecker, SendAnnounce);
        EXPECT_EQ(Rec(ReporterFailureWord), 0);
        EXPECT_EQ(Rec(ReporterFlagsWord), 0);
        if (testing_support::FaultFired(run)) {
          ExpectChangesOnlyIn({});
        } else {
          EXPECT_EQ(Text(), "ERROR: not response to the request 'AT+CMGS'!");
        }
      });
  EXPECT_EQ(points.alloc + points.file + points.read, 0);
  EXPECT_EQ(points.write, 2);
}

TEST_F(Reporter, ReportsOnlyTheFirstFailedMacro) {
  struct Case {
    std::uint16_t failure;
    const char* text;
    std::uint16_t failureAfter;
    std::uint16_t flagsAfter;
  } cases[] = {
      {FailedComposer, "ERROR: execution macro 'LINK_COMPOSE_ALARMS'!", 0, SetupSent | SecondHalfPending},
      {FailedPduBuilder, "ERROR: execution macro 'SMS_CREATE_STRUCTURE_PDU'!", 0, SetupSent | SecondHalfPending},
      {FailedComposer | FailedChecker, "ERROR: execution macro 'LINK_COMPOSE_ALARMS'!", 0,
       SetupSent | SecondHalfPending},
      {FailedPduBuilder | FailedChecker, "ERROR: execution macro 'SMS_CREATE_STRUCTURE_PDU'!", 0,
       SetupSent | SecondHalfPending},
      {0, "", 0, SetupSent | SecondHalfPending},
      {0x0100, "", 0x0100, SetupSent | SecondHalfPending},
  };
  for (const Case& c : cases) {
    Report(c.failure, SendAnnounce);
    EXPECT_EQ(Text(), c.text) << c.failure;
    EXPECT_EQ(Rec(ReporterFailureWord), c.failureAfter) << c.failure;
    EXPECT_EQ(Rec(ReporterFlagsWord), c.flagsAfter) << c.failure;
  }
}

}  // namespace

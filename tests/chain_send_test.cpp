// The chain's sender: one command per call from the set-up to the last part
// record, the halves of long records, the announced length, the final step,
// and the bounds it keeps on the command area and the register area.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chain_support.h"
#include "sweep.h"

namespace {

using testing_support::ChainPluginTest;
using testing_support::GetBytes;
using testing_support::PartRecord;
using testing_support::PutBytes;
using testing_support::PutPartRecords;
using testing_support::StatusText;
using testing_support::Window;

const std::string kSuccess = "SMS has been send successfully.";

// A command as it stands in LW 0..99: the text and zeros to 200 bytes.
std::string Command(const std::string& text) {
  std::string c = text;
  c.resize(200, '\0');
  return c;
}

std::string Data(char first, std::size_t bytes) {
  std::string d;
  for (std::size_t i = 0; i < bytes; ++i) d.push_back(static_cast<char>(first + i % 20));
  return d;
}

class Sender : public ChainPluginTest {
 protected:
  void SetUp() override {
    LoadFresh("link_send_sequence");
    if (IsSkipped() || HasFatalFailure()) return;
    Canary();
    FillRecord();
    SetRecord(SenderFlagsWord, 0);
    SetRecord(SenderStateWord, SendStart);
    panel.SetTicks(5000);
  }

  // One call, as between two reply checks: an answer and a lowered flag
  // before it. Checks what every call does and returns LW 0..99.
  std::string Step() {
    PutBytes(panel, DeviceLW, kModemReplyAddress, "\r\nOK\r\n");
    panel.transmitFlag = 0;
    panel.Advance(7);
    Remember();
    recordBefore = panel.record;
    EXPECT_EQ(Call(), 0);
    EXPECT_EQ(GetBytes(panel, DeviceLW, kModemReplyAddress, 100), std::string(200, '\0'))
        << "the reply area is cleared";
    EXPECT_EQ(panel.GetPair(DeviceLW, kChainSentTickAddress), panel.Ticks());
    EXPECT_EQ(Rec(SenderVectorWord), 0x80);
    ExpectRecordChangesOnlyIn({SenderVectorWord, SenderFlagsWord, SenderStateWord,
                               SenderPartIndexWord, SenderPartOffsetWord});
    ExpectChangesOnlyIn({{DeviceLW, 0, 200}, {DeviceLW, kChainSentTickAddress, 2},
                         {DeviceRW, kStatusTextAddress, kStatusTextWords}});
    return GetBytes(panel, DeviceLW, kModemCommandAddress, 100);
  }

  // A step that must place `want` and reach `state`.
  void ExpectCommand(const std::string& want, std::uint16_t state) {
    std::string got = Step();
    EXPECT_EQ(got, Command(want)) << "in state " << state;
    EXPECT_EQ(Rec(SenderStateWord), state);
    EXPECT_EQ(panel.transmitFlag, 1) << "in state " << state;
  }

  void ExpectFinalStep() {
    std::string before = GetBytes(panel, DeviceLW, kModemCommandAddress, 100);
    EXPECT_EQ(Step(), before) << "LW 0..99 keeps the last command";
    EXPECT_EQ(Rec(SenderStateWord), SendDone);
    EXPECT_EQ(panel.transmitFlag, 0) << "no command, no request";
    EXPECT_EQ(StatusText(panel), kSuccess);
    EXPECT_EQ(GetBytes(panel, DeviceRW, kStatusTextAddress, kStatusTextWords),
              Command(kSuccess));
  }
};

TEST_F(Sender, SendsTheSetUpThenEveryPartAndReportsSuccess) {
  std::string first = Data('a', 60), second = Data('A', 31);
  PutPartRecords(panel, {{29, first}, {17, second}});
  ExpectCommand("AT\r\n", SendAt);
  EXPECT_EQ(Rec(SenderPartOffsetWord), 1);
  EXPECT_EQ(Rec(SenderPartIndexWord), 0);
  EXPECT_EQ(Rec(SenderFlagsWord), 0);
  ExpectCommand("ATE0\r\n", SendEchoOff);
  ExpectCommand("AT+CMGF=0\r\n", SendPduMode);
  ExpectCommand("AT+CSCS=\"UCS2\"\r\n", SendCharset);
  EXPECT_EQ(Rec(SenderFlagsWord), 0);
  ExpectCommand("AT+CMGS=29\r\n", SendAnnounce);
  EXPECT_EQ(Rec(SenderFlagsWord), SetupSent);
  ExpectCommand(first, SendData);
  EXPECT_EQ(Rec(SenderPartOffsetWord), 1 + 30 + 2);
  ExpectCommand("AT+CMGS=17\r\n", SendAnnounce);
  EXPECT_EQ(Rec(SenderPartIndexWord), 1);
  ExpectCommand(second, SendData);
  ExpectFinalStep();
  EXPECT_EQ(Rec(SenderPartIndexWord), 2);
  EXPECT_EQ(Rec(SenderFlagsWord), SetupSent) << "bit 0 survives the message";

  // Further calls repeat the final step.
  ExpectFinalStep();
}

TEST_F(Sender, ASecondMessageStartsAtAtCmgs) {
  PutPartRecords(panel, {{12, "0011"}});
  SetRecord(SenderFlagsWord, SetupSent);
  SetRecord(SenderPartOffsetWord, 77);
  SetRecord(SenderPartIndexWord, 5);
  ExpectCommand("AT+CMGS=12\r\n", SendAnnounce);
  EXPECT_EQ(Rec(SenderPartOffsetWord), 1);
  EXPECT_EQ(Rec(SenderPartIndexWord), 0);
  ExpectCommand("0011", SendData);
  ExpectFinalStep();
}

// P is read only after a part's data: the record at RW 2001 always goes out.
TEST_F(Sender, TheFirstRecordIsSentWhateverThePartCount) {
  for (int parts : {0, 1}) {
    PutPartRecords(panel, {{8, "ABCD"}, {9, "never"}}, parts);
    SetRecord(SenderFlagsWord, SetupSent);
    SetRecord(SenderStateWord, SendStart);
    ExpectCommand("AT+CMGS=8\r\n", SendAnnounce);
    ExpectCommand("ABCD", SendData);
    ExpectFinalStep();
  }
}

TEST_F(Sender, LongRecordsGoInTwoHalves) {
  struct Case {
    const char* name;
    int count;                       // N
    std::vector<std::string> sends;  // the data commands, in order
    int offsetAfter;                 // part offset after the record
  } cases[] = {
      {"N = 0 places an empty command", 0, {""}, 1 + 2},
      {"N = 100 goes in one piece", 100, {Data('a', 200)}, 1 + 102},
      {"N = 101 goes as 100 words and 1 word", 101, {Data('a', 200), "op"}, 1 + 103},
      {"N = 200 goes as two full halves", 200, {Data('a', 200), Data('o', 200)}, 1 + 202},
      {"N above 200 is taken as 200", 250, {Data('a', 200), Data('o', 200)}, 1 + 202},
  };
  for (const Case& c : cases) {
    Canary();
    std::string data = Data('a', 200) + Data('o', 200);
    PutPartRecords(panel, {{99, data.substr(0, std::min<std::size_t>(400, 2 * c.count)), c.count}});
    panel.Word(DeviceRW, kMessageAreaAddress + 1 + 2 + 200) = 0x4242;  // past the record's data
    SetRecord(SenderFlagsWord, SetupSent);
    SetRecord(SenderStateWord, SendStart);
    ExpectCommand("AT+CMGS=99\r\n", SendAnnounce);
    for (std::size_t i = 0; i < c.sends.size(); ++i) {
      ExpectCommand(c.sends[i], SendData);
      bool firstHalf = c.sends.size() == 2 && i == 0;
      EXPECT_EQ(Rec(SenderFlagsWord), SetupSent | (firstHalf ? SecondHalfPending : 0)) << c.name;
      EXPECT_EQ(Rec(SenderPartOffsetWord), firstHalf ? 1 : c.offsetAfter) << c.name;
    }
    ExpectFinalStep();
  }
}

// A second half is pending, but the record's count word no longer says it
// has one (the message area was changed, or its read failed): the record
// ends there instead of holding the sender in the data state for good.
TEST_F(Sender, APendingSecondHalfAlwaysEndsItsRecord) {
  std::string data = Data('a', 300);
  PutPartRecords(panel, {{150, data}});
  SetRecord(SenderFlagsWord, SetupSent);
  ExpectCommand("AT+CMGS=150\r\n", SendAnnounce);
  ExpectCommand(data.substr(0, 200), SendData);
  EXPECT_EQ(Rec(SenderFlagsWord), SetupSent | SecondHalfPending);
  panel.Word(DeviceRW, kMessageAreaAddress + 2) = 40;  // N of the record, now below 100
  ExpectCommand("", SendData);
  EXPECT_EQ(Rec(SenderFlagsWord), SetupSent) << "the pending half is done with";
  EXPECT_EQ(Rec(SenderPartOffsetWord), 1 + 40 + 2);
  ExpectFinalStep();
}

TEST_F(Sender, AnnouncesAtMostThreeDigitsOfTheLength) {
  struct Case {
    std::uint16_t length;
    const char* command;
  } cases[] = {
      {0, "AT+CMGS=0\r\n"}, {7, "AT+CMGS=7\r\n"}, {140, "AT+CMGS=140\r\n"},
      {999, "AT+CMGS=999\r\n"}, {1234, "AT+CMGS=123\r\n"}, {65535, "AT+CMGS=655\r\n"},
  };
  for (const Case& c : cases) {
    PutPartRecords(panel, {{c.length, "00"}});
    SetRecord(SenderFlagsWord, SetupSent);
    SetRecord(SenderStateWord, SendStart);
    ExpectCommand(c.command, SendAnnounce);
  }
}

// A record whose data runs past RW 65535 is sent up to the end of the area,
// and no access reaches past it.
TEST_F(Sender, NeverReadsPastTheRegisterArea) {
  struct Case {
    int offset;  // part offset of the record
    std::string command;
  } cases[] = {
      {kRegisterAreaWords - kMessageAreaAddress - 2 - 10, Data('a', 20)},  // ten of 100 words
      {kRegisterAreaWords - kMessageAreaAddress - 2, ""},                  // data starts past the end
      {kRegisterAreaWords - kMessageAreaAddress - 1, ""},                  // N past the end
  };
  for (const Case& c : cases) {
    Canary();
    for (int i = 0; i < 10; ++i) {
      panel.Word(DeviceRW, kRegisterAreaWords - 10 + i) =
          static_cast<std::uint16_t>(c.command.size() > 2u * i ? c.command[2 * i] | c.command[2 * i + 1] << 8 : 0x4141);
    }
    int countAt = kMessageAreaAddress + c.offset + 1;
    if (countAt < kRegisterAreaWords) panel.Word(DeviceRW, countAt) = 100;
    // From AT+CMGS the next call places the record's data.
    SetRecord(SenderStateWord, SendAnnounce);
    SetRecord(SenderFlagsWord, SetupSent);
    SetRecord(SenderPartOffsetWord, static_cast<std::uint16_t>(c.offset));
    panel.log.clear();
    Step();
    std::string got = GetBytes(panel, DeviceLW, kModemCommandAddress, 100);
    EXPECT_EQ(got, Command(c.command)) << "offset " << c.offset;
    for (const auto& a : panel.log) {
      EXPECT_EQ(a.result, 1) << "access at " << a.address << " count " << a.count;
      EXPECT_LE(a.address + a.count, host::kAreaWords);
    }
  }
}

TEST_F(Sender, TheDoublingWrapsToTheFirstCommand) {
  SetRecord(SenderStateWord, 0x8000);
  ExpectCommand("AT\r\n", 0);
  ExpectCommand("AT\r\n", SendAt);  // state 0 is the start again
}

TEST_F(Sender, ACallInTheFinalStateOnlyRepeatsTheSuccessText) {
  PutBytes(panel, DeviceLW, kModemCommandAddress, "last command");
  PutBytes(panel, DeviceRW, kStatusTextAddress, std::string(199, 'x'));
  SetRecord(SenderStateWord, SendDone);
  SetRecord(SenderFlagsWord, SetupSent | SecondHalfPending);
  SetRecord(SenderPartOffsetWord, 42);
  ExpectFinalStep();
  EXPECT_EQ(GetBytes(panel, DeviceLW, kModemCommandAddress, 6), std::string("last command"));
  EXPECT_EQ(Rec(SenderFlagsWord), SetupSent | SecondHalfPending);
  EXPECT_EQ(Rec(SenderPartOffsetWord), 42);
}

// A whole message, a long record among them, under every fault: the sender
// allocates nothing, opens no file and examines no register result. A read
// that fails reads as zeros (a part count of 0 ends the message early, data
// that cannot be read goes out as zeros, a data count that cannot be read
// sends the walk through the records astray), a write that fails leaves its
// registers; every call still hands back and the message always comes to
// its final step.
TEST_F(Sender, UnderFaults) {
  std::string first = Data('a', 240), second = Data('A', 31);
  const std::vector<std::string> commands = {
      "AT\r\n", "ATE0\r\n", "AT+CMGF=0\r\n", "AT+CSCS=\"UCS2\"\r\n", "AT+CMGS=29\r\n",
      first.substr(0, 200), first.substr(200), "AT+CMGS=17\r\n", second};
  testing_support::FaultPoints points = testing_support::SweepEveryFault(
      "link_send_sequence", panel, [&](const testing_support::SweepRun& run) {
        Canary();
        PutPartRecords(panel, {{29, first}, {17, second}});
        FillRecord();
        SetRecord(SenderFlagsWord, 0);
        SetRecord(SenderStateWord, SendStart);
        std::vector<std::string> placed;
        int calls = 0;
        Remember();
        recordBefore = panel.record;
        while (Rec(SenderStateWord) != SendDone && calls++ < 20) {
          panel.transmitFlag = 0;
          EXPECT_EQ(Call(), 0);
          EXPECT_EQ(Rec(SenderVectorWord), 0x80);
          if (panel.transmitFlag == 1) placed.push_back(GetBytes(panel, DeviceLW, kModemCommandAddress, 100));
        }
        EXPECT_EQ(Rec(SenderStateWord), SendDone) << "the message ends";
        ExpectRecordChangesOnlyIn({SenderVectorWord, SenderFlagsWord, SenderStateWord,
                                   SenderPartIndexWord, SenderPartOffsetWord});
        ExpectChangesOnlyIn({{DeviceLW, 0, 200}, {DeviceLW, kChainSentTickAddress, 2},
                             {DeviceRW, kStatusTextAddress, kStatusTextWords}});
        if (testing_support::FaultFired(run)) return;
        ASSERT_EQ(placed.size(), commands.size());
        for (std::size_t i = 0; i < commands.size(); ++i) EXPECT_EQ(placed[i], Command(commands[i])) << i;
        EXPECT_EQ(StatusText(panel), kSuccess);
      });
  EXPECT_EQ(points.alloc + points.file, 0);
  EXPECT_GT(points.read, 0);
  EXPECT_GT(points.write, 0);
}

}  // namespace

// The substitute host's chain: the dispatcher and its binding table, the PDU
// structure builder (macro 3), the macro after a connection-profile command
// (macro 13), and whole chain runs against replies the test places itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chain_pdu_dump.h"
#include "chain_support.h"
#include "host/chain.h"
#include "host/pdu.h"
#include "sweep.h"

namespace {

using testing_support::GetBytes;
using testing_support::PutBytes;
using testing_support::PutUnits;
using testing_support::StatusText;

// ---- Dispatcher ----

std::vector<std::uint16_t> seen;  // record words a test macro saw

void SenderThatWritesItsWords(host::Panel&, std::span<std::uint16_t> record) {
  seen.assign(record.begin(), record.begin() + 6);
  record[SenderStateWord] = 16;
  record[SenderPartOffsetWord] = 99;
  record[SenderVectorWord] = 0x80;
}

void SenderThatWritesWordOne(host::Panel&, std::span<std::uint16_t> record) { record[1] = 5; }

TEST(ChainDispatcher, CopiesTheBoundValuesInAndOut) {
  host::Panel panel;
  host::ChainDispatcher chain(panel);
  ASSERT_TRUE(chain.Attach(SenderMacro, SenderThatWritesItsWords));
  chain.values = host::ChainValues{};
  chain.values.macroVector = 0x10;
  chain.values.failureMask = 0x20;
  chain.values.sendFlags = 1;
  chain.values.sendState = 8;
  chain.values.partIndex = 2;
  chain.values.partOffset = 7;
  EXPECT_EQ(chain.Step(), SenderMacro);
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[SenderVectorWord], 0x10);
  EXPECT_EQ(seen[SenderFlagsWord], 1);
  EXPECT_EQ(seen[SenderStateWord], 8);
  EXPECT_EQ(seen[SenderPartIndexWord], 2);
  EXPECT_EQ(seen[SenderPartOffsetWord], 7);
  EXPECT_NE(seen[1], 0x20) << "the sender's word 1 does not carry the failure mask";
  EXPECT_EQ(chain.values.sendState, 16);
  EXPECT_EQ(chain.values.partOffset, 99);
  EXPECT_EQ(chain.values.macroVector, 0x80);
  EXPECT_EQ(chain.values.failureMask, 0x20);
  EXPECT_TRUE(chain.violations.empty());

  ASSERT_TRUE(chain.Attach(SenderMacro, SenderThatWritesWordOne));
  chain.values.macroVector = 0x10;
  chain.Step();
  ASSERT_EQ(chain.violations.size(), 1u);
  EXPECT_EQ(chain.violations[0], "macro 4 wrote record word 1");
  EXPECT_EQ(chain.values.failureMask, 0x20);
}

TEST(ChainDispatcher, SelectsTheMacroOfTheLowestSetBit) {
  host::Panel panel;
  host::ChainDispatcher chain(panel);
  EXPECT_EQ(chain.Selected(), -1);
  EXPECT_EQ(chain.Step(), -1);
  chain.values.macroVector = 0x0030;
  EXPECT_EQ(chain.Selected(), 4);
  EXPECT_EQ(chain.Step(), -2) << "nothing attached for bit 4";
  chain.values.macroVector = 0;
  chain.values.connectionVector = 0x2000;
  EXPECT_EQ(chain.Selected(), 13);
  EXPECT_FALSE(chain.Attach(9, SenderThatWritesWordOne)) << "macro 9 has no binding";
  chain.values.connectionVector = 0;
  EXPECT_TRUE(chain.StartMessage());
  EXPECT_EQ(chain.values.macroVector, 0x80);
  EXPECT_FALSE(chain.StartMessage()) << "the chain is running";
}

// ---- PDU structure builder ----

class PduBuilder : public ::testing::Test {
 protected:
  void SetUp() override {
    panel.Fill(testing_support::kCanaryWord, testing_support::kCanaryBit);
    record.assign(8, testing_support::kRecordCanary);
  }

  void PutMessage(const std::u16string& text, const std::vector<std::string>& addresses) {
    panel.Word(DeviceRW, kMessageAreaAddress) = static_cast<std::uint16_t>(text.size());
    PutUnits(panel, kMessageAreaAddress + 1, text);
    panel.Word(DeviceRW, kPhoneCountAddress) = static_cast<std::uint16_t>(addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i) {
      panel.PutText(DeviceRW, kDestinationAddress + 10 * static_cast<int>(i), addresses[i], 10);
    }
    panel.SetTicks(0x1234);
    words = panel.SnapshotWords();
  }

  void Build() { host::PduStructureBuilder(panel, record); }

  struct Part {
    std::uint16_t length;
    std::string data;
  };

  std::vector<Part> Records() {
    std::vector<Part> parts;
    int p = panel.Word(DeviceRW, kMessageAreaAddress);
    int offset = 1;
    for (int i = 0; i < p; ++i) {
      int n = panel.Word(DeviceRW, kMessageAreaAddress + offset + 1);
      std::string data = GetBytes(panel, DeviceRW, kMessageAreaAddress + offset + 2, n);
      if (!data.empty() && data.back() == '\0') data.pop_back();
      parts.push_back(Part{panel.Word(DeviceRW, kMessageAreaAddress + offset), data});
      offset += n + 2;
    }
    return parts;
  }

  host::Panel panel;
  std::vector<std::uint16_t> record;
  std::vector<std::uint16_t> words;
};

// The expected PDU spelt out octet by octet from the SMS-SUBMIT layout.
TEST_F(PduBuilder, WritesOneSmsSubmitPduEndingWithCtrlZ) {
  PutMessage(u"Hi", {"0B919721436587F9"});
  Build();
  EXPECT_EQ(record[PduBuilderVectorWord], 0x80);
  EXPECT_EQ(record[PduBuilderFailureWord], testing_support::kRecordCanary);
  auto parts = Records();
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].length, 17);
  EXPECT_EQ(parts[0].data,
            "00"                 // service centre: the modem's own
            "01"                 // SMS-SUBMIT, no validity period, no header
            "00"                 // message reference
            "0B919721436587F9"   // destination +79123456789
            "00" "08"            // protocol identifier, UCS2
            "04" "00480069"      // four octets: "Hi"
            "\x1A");
  EXPECT_EQ(panel.Word(DeviceRW, kMessageAreaAddress + 2), 19) << "N = 37 bytes in words";
}

TEST_F(PduBuilder, SplitsLongTextsPerRecipientIntoConcatenatedParts) {
  std::u16string text;
  for (int i = 0; i < 100; ++i) text.push_back(static_cast<char16_t>(0x0410 + i % 32));
  PutMessage(text, {"0B919721436587F9", "0B919778563412F0"});
  Build();
  EXPECT_EQ(record[PduBuilderVectorWord], 0x80);
  auto parts = Records();
  ASSERT_EQ(parts.size(), 4u);
  const char* addresses[] = {"0B919721436587F9", "0B919778563412F0"};
  for (int r = 0; r < 2; ++r) {
    for (int k = 0; k < 2; ++k) {
      const Part& p = parts[static_cast<std::size_t>(2 * r + k)];
      std::size_t units = k == 0 ? 67 : 33;
      EXPECT_EQ(p.data.substr(0, 6), "004100");
      EXPECT_EQ(p.data.substr(6, 16), addresses[r]);
      EXPECT_EQ(p.data.substr(22, 4), "0008");
      EXPECT_EQ(std::stoi(p.data.substr(26, 2), nullptr, 16), static_cast<int>(6 + 2 * units));
      EXPECT_EQ(p.data.substr(28, 12), std::string("05000334") + "02" + (k == 0 ? "01" : "02"));
      EXPECT_EQ(p.data.size(), 40 + 4 * units + 1);
      EXPECT_EQ(p.data.find('\x1A'), p.data.size() - 1);
      EXPECT_EQ(p.length, (p.data.size() - 1) / 2 - 1);
    }
  }
}

TEST_F(PduBuilder, UsesAtMostFiveRecipients) {
  PutMessage(u"x", {"0B919721436587F9", "0B919721436587F9", "0B919721436587F9",
                    "0B919721436587F9", "0B919721436587F9", "0B919721436587F9"});
  panel.Word(DeviceRW, kPhoneCountAddress) = 7;
  Build();
  EXPECT_EQ(Records().size(), 5u);
}

TEST_F(PduBuilder, FailsWithBitSixAndFailureBitThree) {
  struct Case {
    const char* name;
    std::u16string text;
    std::vector<std::string> addresses;
  } cases[] = {
      {"no recipient", u"Hi", {}},
      {"a raw number instead of an address", u"Hi", {"0B919721436587F9", "9123456789"}},
      {"an odd digit count without filler", u"Hi", {"0B9197214365879F"}},
      {"no text", u"", {"0B919721436587F9"}},
  };
  for (const Case& c : cases) {
    SetUp();
    PutMessage(c.text, c.addresses);
    Build();
    EXPECT_EQ(record[PduBuilderVectorWord], 0x40) << c.name;
    EXPECT_EQ(record[PduBuilderFailureWord], FailedPduBuilder) << c.name;
    EXPECT_TRUE(panel.WordsChangedSince(words).empty()) << c.name;
  }
}

// ---- Macro 13 ----

TEST(AfterConnectionCommand, MovesOnAfterOkAndStopsOnErrorOrTimeOut) {
  struct Case {
    const char* reply;
    std::uint16_t command;
    std::uint32_t now;  // the command went out at tick 100; time-out 2 units
    std::uint16_t commandAfter;
    std::uint16_t vectorAfter;
  } cases[] = {
      {"\r\nOK\r\n", 3, 101, 4, 0x1000},
      {"\r\nOK\r\n", 7, 101, 8, 0},
      {"\r\nERROR\r\n", 3, 101, 3, 0},
      {"\r\n+CME ERROR: 3\r\n", 3, 101, 3, 0},
      // The result line decides, not an "OK" or "ERROR" in the echo.
      {"at^sics=0,apn,\"OK.net\"\r\r\nERROR\r\n", 3, 101, 3, 0},
      {"at^sics=0,user,\"ERROR\"\r\r\nOK\r\n", 3, 101, 4, 0x1000},
      // An echo alone is no answer yet.
      {"at^sics=0,apn,\"OK\"\r", 3, 101, 3, 0x2000},
      {"", 3, 119, 3, 0x2000},
      {"", 3, 120, 3, 0},
  };
  for (const Case& c : cases) {
    host::Panel panel;
    panel.PutText(DeviceLW, kModemReplyAddress, c.reply, 100);
    panel.SetPair(DeviceLW, kChainSentTickAddress, 100);
    panel.SetTicks(c.now);
    std::vector<std::uint16_t> record = {c.command, 0x2000, 2};
    host::AfterConnectionCommand(panel, record);
    EXPECT_EQ(record[GprsProfileCommandWord], c.commandAfter) << c.reply << c.now;
    EXPECT_EQ(record[GprsMacroVectorWord], c.vectorAfter) << c.reply << c.now;
    if (c.vectorAfter == 0x1000) {
      EXPECT_EQ(panel.GetText(DeviceLW, kModemReplyAddress, 100), "") << "ready for the next answer";
    }
  }
}

// ---- Whole chain runs against scripted replies ----

// Answers like a modem: "OK" to commands, the prompt after AT+CMGS and
// "+CMGS" with "OK" once the PDU has ended with Ctrl-Z; silent from a given
// command on.
struct ScriptedModem {
  explicit ScriptedModem(host::Panel& p) : panel(p) {}

  void Between() {
    if (panel.transmitFlag == 0) return;
    panel.transmitFlag = 0;
    std::string command = panel.GetText(DeviceLW, kModemCommandAddress, 100);
    std::string answer;
    if (pdu) {
      pending += command;
      if (pending.empty() || pending.back() != '\x1A') return;  // first half
      commands.push_back(pending);
      pending.clear();
      pdu = false;
      answer = "\r\n+CMGS: 7\r\n\r\nOK\r\n";
    } else {
      commands.push_back(command);
      if (command.rfind("AT+CMGS=", 0) == 0) {
        pdu = true;
        answer = "\r\n> ";
      } else {
        answer = "\r\nOK\r\n";
      }
    }
    if (!silentFrom.empty() && commands.back().rfind(silentFrom, 0) == 0) {
      silent = true;
    }
    if (!silent) panel.PutText(DeviceLW, kModemReplyAddress, answer, 100);
  }

  host::Panel& panel;
  std::vector<std::string> commands;
  std::string silentFrom;  // a command prefix from which the modem answers nothing
  bool silent = false;
  bool pdu = false;
  std::string pending;
};

const std::vector<std::string> kSetUp = {"AT\r\n", "ATE0\r\n", "AT+CMGF=0\r\n", "AT+CSCS=\"UCS2\"\r\n"};

class ChainRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_support::PanelTarget()) GTEST_SKIP() << "the sequencer is a PC build only";
    std::string error;
    ASSERT_TRUE(chain.AttachChain(MACRO_PLUGIN_DIR, &error)) << error;
    chain.values.replyTimeout = 5;
    chain.onCall = [this](int macro) {
      macros.push_back(macro);
      modem.Between();
      panel.Advance(1);
    };
    PutRecipe();
    auto encoder = testing_support::LoadOrFail(testing_support::PluginPath("link_encode_number"));
    ASSERT_TRUE(encoder);
    encoder->Call(panel);
  }

  void PutRecipe() {
    panel.Word(DeviceRW, kAlarmMaskAAddress) = 0x0007;
    panel.Word(DeviceRW, kAlarmMaskBAddress) = 0x0005;
    PutUnits(panel, kAlarmTitleAddress, u"Boiler house");
    PutUnits(panel, kAlarmTextAddress, u"Pressure high");
    PutUnits(panel, kAlarmTextAddress + 20, u"Not listed");
    PutUnits(panel, kAlarmTextAddress + 40, u"\u0422\u0435\u043c\u043f\u0435\u0440\u0430\u0442\u0443\u0440\u0430 low");
    panel.Word(DeviceRW, kPhoneCountAddress) = 2;
    panel.PutText(DeviceRW, kPhoneNumberAddress, "9123456789", 5);
    panel.PutText(DeviceRW, kPhoneNumberAddress + 5, "9876543210", 5);
  }

  // Runs one message from bit 7 to rest; returns the number of calls.
  int Message() {
    modem.commands.clear();
    macros.clear();
    EXPECT_TRUE(chain.StartMessage());
    int calls = 0;
    while (chain.Step() >= 0 && ++calls < 5000) {
    }
    EXPECT_TRUE(chain.AtRest());
    EXPECT_EQ(chain.values.failureMask, 0);
    EXPECT_TRUE(chain.violations.empty()) << chain.violations.front();
    return calls;
  }

  // The PDUs the builder left, in record order.
  std::vector<std::string> StoredPdus() {
    std::vector<std::string> pdus;
    int p = panel.Word(DeviceRW, kMessageAreaAddress);
    int offset = 1;
    for (int i = 0; i < p; ++i) {
      int n = panel.Word(DeviceRW, kMessageAreaAddress + offset + 1);
      pdus.push_back(panel.GetText(DeviceRW, kMessageAreaAddress + offset + 2, n));
      offset += n + 2;
    }
    return pdus;
  }

  // The PDUs that went to the modem, without their Ctrl-Z.
  std::vector<std::string> SentPdus() const {
    std::vector<std::string> pdus;
    for (const std::string& c : modem.commands) {
      if (!c.empty() && c.back() == '\x1A') pdus.push_back(c.substr(0, c.size() - 1));
    }
    return pdus;
  }

  const std::vector<std::string> recipients = {"+79123456789", "+79876543210"};
  host::Panel panel;
  host::WorkDir work;
  host::ChainDispatcher chain{panel};
  ScriptedModem modem{panel};
  std::vector<int> macros;
};

TEST_F(ChainRun, SendsEveryPartToEveryRecipientThenRests) {
  Message();
  EXPECT_EQ(StatusText(panel), "SMS has been send successfully.");
  EXPECT_EQ(chain.values.sendFlags, SetupSent);
  std::vector<int> start(macros.begin(), macros.begin() + 10);
  EXPECT_EQ(start, (std::vector<int>{7, 7, 2, 7, 3, 7, 4, 7, 5, 7}));
  std::vector<std::string> pdus = StoredPdus();
  ASSERT_EQ(pdus.size(), 2u) << "one part for each of two recipients";
  std::vector<std::string> want = kSetUp;
  for (const std::string& pdu : pdus) {
    want.push_back("AT+CMGS=" + std::to_string((pdu.size() - 1) / 2 - 1) + "\r\n");
    want.push_back(pdu);
  }
  EXPECT_EQ(modem.commands, want);
  EXPECT_EQ(pdus[0].substr(6, 16), "0B919721436587F9");
  EXPECT_EQ(pdus[1].substr(6, 16), "0B919778563412F0");
  testing_support::DumpChainPdus(
      "scripted_short", u"Boiler house\n1. Pressure high\n2. \u0422\u0435\u043c\u043f\u0435\u0440\u0430\u0442\u0443\u0440\u0430 low\n",
      recipients, SentPdus());

  // The next message skips the set-up.
  Message();
  ASSERT_GE(modem.commands.size(), 1u);
  EXPECT_EQ(modem.commands[0].rfind("AT+CMGS=", 0), 0u) << modem.commands[0];
  EXPECT_EQ(modem.commands.size(), 4u);
  EXPECT_EQ(StatusText(panel), "SMS has been send successfully.");
}

// Sixteen full entries: 412 characters, seven parts per recipient, each
// part's data in two halves.
TEST_F(ChainRun, SendsALongListInConcatenatedParts) {
  std::u16string want = u"Boiler house\n";
  panel.Word(DeviceRW, kAlarmMaskAAddress) = 0xFFFF;
  panel.Word(DeviceRW, kAlarmMaskBAddress) = 0xFFFF;
  PutUnits(panel, kAlarmTitleAddress, std::u16string(u"Boiler house") + std::u16string(8, u'\0'));
  for (int e = 0; e < 16; ++e) {
    std::u16string text = u"\u0414\u0430\u0442\u0447\u0438\u043a " + std::u16string(1, static_cast<char16_t>(u'A' + e)) +
                          u" \u0430\u0432\u0430\u0440\u0438\u044f!!!!!";
    PutUnits(panel, kAlarmTextAddress + 20 * e, text);
    std::string number = std::to_string(e + 1) + ". ";
    want += std::u16string(number.begin(), number.end()) + text + u"\n";
  }
  Message();
  EXPECT_EQ(StatusText(panel), "SMS has been send successfully.");
  std::vector<std::string> pdus = SentPdus();
  ASSERT_EQ(pdus.size(), 14u);
  EXPECT_EQ(pdus, [&] {
    std::vector<std::string> stored = StoredPdus();
    for (std::string& p : stored) p.pop_back();
    return stored;
  }()) << "the modem got the stored PDUs whole";
  testing_support::DumpChainPdus("scripted_long", want, recipients, pdus);
}

TEST_F(ChainRun, ASilentModemEndsTheChainWithTheRequestName) {
  struct Case {
    const char* silentFrom;
    const char* text;
    std::size_t placed;  // commands placed before the chain gave up
  } cases[] = {
      {"AT\r\n", "ERROR: not response to the request 'AT'!", 1},
      {"AT+CMGS=", "ERROR: not response to the request 'AT+CMGS'!", 5},
  };
  for (const Case& c : cases) {
    chain.values.sendFlags = 0;
    modem.silentFrom = c.silentFrom;
    modem.silent = false;
    modem.pdu = false;
    Message();
    EXPECT_EQ(StatusText(panel), c.text);
    EXPECT_EQ(modem.commands.size(), c.placed);
    EXPECT_EQ(chain.values.sendFlags, 0) << "the set-up is to be repeated";

    // The modem answers again: the next message starts with the set-up.
    modem.silentFrom.clear();
    modem.silent = false;
    modem.pdu = false;
    Message();
    EXPECT_EQ(StatusText(panel), "SMS has been send successfully.");
    ASSERT_GE(modem.commands.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(modem.commands.begin(), modem.commands.begin() + 4), kSetUp);
  }
}

TEST_F(ChainRun, FailuresOfComposerAndBuilderShowTheirTexts) {
  host::ResetCalls();
  host::Calls().fault[static_cast<int>(host::CallClass::Alloc)] = host::CallFault{1, true};
  Message();
  host::Calls().fault[static_cast<int>(host::CallClass::Alloc)] = host::CallFault{};
  EXPECT_EQ(StatusText(panel), "ERROR: execution macro 'LINK_COMPOSE_ALARMS'!");
  EXPECT_TRUE(modem.commands.empty());
  EXPECT_EQ(host::Calls().stats.liveAllocations, 0);

  panel.Word(DeviceRW, kPhoneCountAddress) = 0;
  Message();
  EXPECT_EQ(StatusText(panel), "ERROR: execution macro 'SMS_CREATE_STRUCTURE_PDU'!");
  EXPECT_TRUE(modem.commands.empty());
}

}  // namespace

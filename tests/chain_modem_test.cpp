// Whole chain runs through the dispatcher and the emulated modem: the SMS
// each phone receives, the PDUs checked by the modem's own decoder and left
// for python-gammu, and the runs in which the modem falls silent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chain_pdu_dump.h"
#include "chain_support.h"
#include "host/chain.h"
#include "host/modem.h"
#include "host/workdir.h"

namespace {

using testing_support::PutUnits;
using testing_support::StatusText;

const char kSuccess[] = "SMS has been send successfully.";
const std::vector<std::string> kSetUp = {"AT\r\n", "ATE0\r\n", "AT+CMGF=0\r\n", "AT+CSCS=\"UCS2\"\r\n"};
const std::vector<std::string> kPhones = {"+79123456789", "+79876543210"};

class ChainThroughModem : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_support::PanelTarget()) GTEST_SKIP() << "the sequencer is a PC build only";
    std::string error;
    ASSERT_TRUE(chain.AttachChain(MACRO_PLUGIN_DIR, &error)) << error;
    chain.values.replyTimeout = 5;
    chain.onCall = [this](int) {
      link.AfterCall(panel);
      link.Tick(panel);
    };
    panel.Word(DeviceRW, kAlarmMaskAAddress) = 0x000B;
    panel.Word(DeviceRW, kAlarmMaskBAddress) = 0x00FF;
    PutUnits(panel, kAlarmTitleAddress, u"\u041a\u043e\u0442\u0435\u043b\u044c\u043d\u0430\u044f 3");
    PutUnits(panel, kAlarmTextAddress, u"Pressure high");
    PutUnits(panel, kAlarmTextAddress + 20, u"Temperature low");
    PutUnits(panel, kAlarmTextAddress + 40, u"Not listed");
    PutUnits(panel, kAlarmTextAddress + 60, u"\u041d\u0430\u0441\u043e\u0441 2: \u0430\u0432\u0430\u0440\u0438\u044f");
    panel.Word(DeviceRW, kPhoneCountAddress) = 2;
    panel.PutText(DeviceRW, kPhoneNumberAddress, "9123456789", 5);
    panel.PutText(DeviceRW, kPhoneNumberAddress + 5, "9876543210", 5);
    auto encoder = testing_support::LoadOrFail(testing_support::PluginPath("link_encode_number"));
    ASSERT_TRUE(encoder);
    encoder->Call(panel);
  }

  // One message from bit 7 until the chain rests; the commands it placed.
  std::vector<std::string> Message() {
    std::size_t from = link.trace().size();
    EXPECT_TRUE(chain.StartMessage());
    int calls = 0;
    while (chain.Step() >= 0 && ++calls < 5000) {
    }
    EXPECT_TRUE(chain.AtRest()) << "vector " << chain.values.macroVector << ", failures "
                                << chain.values.failureMask << ", sequencer " << chain.values.sequencerState;
    EXPECT_TRUE(chain.violations.empty());
    std::vector<std::string> commands;
    for (std::size_t i = from; i < link.trace().size(); ++i) {
      if (link.trace()[i].kind == host::ModemTraceKind::Command) commands.push_back(link.trace()[i].text);
    }
    return commands;
  }

  // The text each phone received, in order.
  std::vector<std::string> Received(const std::string& phone) const {
    std::vector<std::string> texts;
    for (const host::ReceivedSms& sms : link.modem.inbox().For(phone)) texts.push_back(sms.text);
    return texts;
  }

  std::vector<std::string> SentPdus() const {
    std::vector<std::string> pdus;
    for (const host::SentSms& s : link.modem.sent()) pdus.push_back(s.hex);
    return pdus;
  }

  static std::vector<std::string> Head(const std::vector<std::string>& v, std::size_t n) {
    return std::vector<std::string>(v.begin(), v.begin() + static_cast<long>(std::min(n, v.size())));
  }

  host::Panel panel;
  host::ModemLink link;
  host::ChainDispatcher chain{panel};
};

const std::u16string kMessage =
    u"\u041a\u043e\u0442\u0435\u043b\u044c\u043d\u0430\u044f 3\n1. Pressure high\n2. Temperature low\n"
    u"3. \u041d\u0430\u0441\u043e\u0441 2: \u0430\u0432\u0430\u0440\u0438\u044f\n";

TEST_F(ChainThroughModem, EveryPhoneReceivesTheAlarmList) {
  std::vector<std::string> commands = Message();
  EXPECT_EQ(StatusText(panel), kSuccess);
  EXPECT_EQ(Head(commands, 4), kSetUp);
  std::string text = testing_support::Utf8(kMessage);
  for (const std::string& phone : kPhones) EXPECT_EQ(Received(phone), std::vector<std::string>{text}) << phone;
  ASSERT_EQ(link.modem.sent().size(), 2u);
  for (const host::SentSms& s : link.modem.sent()) {
    EXPECT_EQ(s.pdu.dataCoding, 0x08);
    EXPECT_FALSE(s.pdu.concat.has_value());
  }
  testing_support::DumpChainPdus("modem_short", kMessage, kPhones, SentPdus());

  // A second message skips the set-up and reaches both phones again.
  commands = Message();
  EXPECT_EQ(StatusText(panel), kSuccess);
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands[0].rfind("AT+CMGS=", 0), 0u) << commands[0];
  for (const std::string& phone : kPhones) EXPECT_EQ(Received(phone).size(), 2u) << phone;
}

TEST_F(ChainThroughModem, ALongListArrivesInConcatenatedParts) {
  std::u16string want = u"\u041a\u043e\u0442\u0435\u043b\u044c\u043d\u0430\u044f 3\n";
  panel.Word(DeviceRW, kAlarmMaskAAddress) = 0xFFFF;
  panel.Word(DeviceRW, kAlarmMaskBAddress) = 0xFFFF;
  for (int e = 0; e < 16; ++e) {
    std::u16string entry = u"\u0414\u0430\u0442\u0447\u0438\u043a " +
                           std::u16string(1, static_cast<char16_t>(u'A' + e)) + u": \u0430\u0432\u0430\u0440\u0438\u044f!!!!";
    PutUnits(panel, kAlarmTextAddress + 20 * e, entry);
    std::string number = std::to_string(e + 1) + ". ";
    want += std::u16string(number.begin(), number.end()) + entry + u"\n";
  }
  Message();
  EXPECT_EQ(StatusText(panel), kSuccess);
  for (const std::string& phone : kPhones) {
    std::vector<host::ReceivedSms> got = link.modem.inbox().For(phone);
    ASSERT_EQ(got.size(), 1u) << phone;
    EXPECT_EQ(got[0].parts, 7);
    EXPECT_EQ(got[0].text, testing_support::Utf8(want));
  }
  EXPECT_TRUE(link.modem.inbox().Pending().empty());
  testing_support::DumpChainPdus("modem_long", want, kPhones, SentPdus());
}

// A silent modem ends the chain with the request name; the chain rests, and
// the next message repeats the whole set-up and gets through.
TEST_F(ChainThroughModem, ASilentModemEndsTheChainAndTheNextMessageStartsOver) {
  struct Case {
    const char* command;
    const char* text;
  } cases[] = {
      {"AT", "ERROR: not response to the request 'AT'!"},
      {"AT+CMGS", "ERROR: not response to the request 'AT+CMGS'!"},
  };
  std::size_t delivered = 0;
  for (const Case& c : cases) {
    link.modem.faults = {host::ModemFault::Silent(c.command, 1)};
    Message();
    EXPECT_EQ(StatusText(panel), c.text);
    EXPECT_EQ(chain.values.sendFlags, 0);
    EXPECT_EQ(link.modem.inbox().All().size(), delivered) << "nothing was sent";

    std::vector<std::string> commands = Message();
    EXPECT_EQ(Head(commands, 4), kSetUp) << "the set-up again after " << c.command;
    EXPECT_EQ(StatusText(panel), kSuccess);
    delivered += 2;
    EXPECT_EQ(link.modem.inbox().All().size(), delivered);
  }
}

// The connection-profile chain: net_send_connection places one parameter per
// call, macro 13 waits for each "OK" and moves on until the seventh.
TEST(ConnectionProfileThroughModem, EveryParameterReachesTheModem) {
  host::WorkDir work;
  std::string file(208, '\0');
  auto put = [&file](std::size_t at, const std::string& text) { file.replace(at, text.size(), text); };
  put(0, "GPRS0");
  put(6, "20");
  put(12, "panel");
  put(44, "secret");
  put(76, "internet.example");
  put(176, "10.0.0.1");
  put(192, "10.0.0.2");
  ASSERT_TRUE(work.Write("gprs_ConnectionProfileSettings.bin", file));

  host::Panel panel;
  host::ModemLink link;
  host::ChainDispatcher chain(panel);
  ASSERT_TRUE(chain.Attach(kGprsSendConnectionMacro,
                           testing_support::LoadOrFail(testing_support::PluginPath("net_send_connection"))));
  ASSERT_TRUE(chain.Attach(kGprsAfterCommandMacro, host::AfterConnectionCommand));
  chain.values.replyTimeout = 5;
  chain.onCall = [&](int) {
    link.AfterCall(panel);
    link.Tick(panel);
  };
  ASSERT_TRUE(chain.StartConnection(GprsProfileConType));
  int calls = 0;
  while (chain.Step() >= 0 && ++calls < 1000) {
  }
  EXPECT_TRUE(chain.AtRest());
  EXPECT_EQ(chain.values.profileCommand, GprsProfileDns2 + 1);
  EXPECT_TRUE(chain.violations.empty());
  EXPECT_EQ(link.modem.connectionSettings(),
            (std::vector<std::string>{"0,conType,GPRS0", "0,inactTo,20", "0,user,panel", "0,passwd,secret",
                                      "0,apn,internet.example", "0,dns1,10.0.0.1", "0,dns2,10.0.0.2"}));

  // A refused parameter ends the chain on that parameter.
  link.modem.faults = {host::ModemFault::Error("at^sics=0,apn")};
  ASSERT_TRUE(chain.StartConnection(GprsProfileConType));
  while (chain.Step() >= 0 && ++calls < 2000) {
  }
  EXPECT_TRUE(chain.AtRest());
  EXPECT_EQ(chain.values.profileCommand, GprsProfileApn);
}

}  // namespace

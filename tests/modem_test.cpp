// The emulated modem on its own: dialogues of bytes in and bytes out, SMS
// sending in PDU mode, the same stream in pieces of any size, and faults.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "host/modem.h"
#include "sms_golden.h"

namespace {

using host::EmulatedModem;
using host::ModemFault;

constexpr char kCtrlZ = '\x1A';
constexpr char kEsc = '\x1B';
const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";
const std::string kPrompt = "\r\n> ";

// "Pump" to +79161234567 in UCS2, relative validity, 22 octets after the centre field.
const std::string kPdu = "0011000B919761214365F70008AA0800500075006D0070";

struct Step {
  std::string send;
  std::string expect;
};

// Feeds a dialogue and fails on the first answer that differs, byte for byte.
void Talk(EmulatedModem& modem, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    modem.Receive(s.send);
    EXPECT_EQ(host::VisibleText(modem.TakeOutput()), host::VisibleText(s.expect))
        << "after " << host::VisibleText(s.send);
  }
}

std::string Answer(const std::string& info) { return "\r\n" + info + "\r\n" + kOk; }

TEST(Modem, DialoguesOfASetUp) {
  struct Dialogue {
    const char* name;
    std::vector<Step> steps;
  };
  const Dialogue dialogues[] = {
      {"echo on by default, off after ATE0, back with ATE1",
       {{"AT\r", "AT\r" + kOk},
        {"ATE0\r", "ATE0\r" + kOk},
        {"AT\r", kOk},
        {"ATE1\r", kOk},
        {"at\r", "at\r" + kOk}}},
      {"the plug-ins' set-up, lines ended by CR LF",
       {{"AT\r\n", "AT\r" + kOk},
        {"ATE0\r\n", "ATE0\r" + kOk},
        {"AT+CMGF=0\r\n", kOk},
        {"AT+CSCS=\"UCS2\"\r\n", kOk},
        {"AT+CSCS?\r\n", Answer("+CSCS: \"UCS2\"")},
        {"AT+CMGF?\r\n", Answer("+CMGF: 0")}}},
      {"any case, blank lines ignored",
       {{"ATE0\r", "ATE0\r" + kOk}, {"\r\n\r\n", ""}, {"  aT+cmgf=0\r", kOk}, {"at+cscs=\"ucs2\"\r", kOk}}},
      {"a modem without text mode",
       {{"ATE0\r", "ATE0\r" + kOk},
        {"AT+CMGF=1\r", "\r\n+CMS ERROR: 303\r\n"},
        {"AT+CMGF=2\r", kError},
        {"AT+CMGF=?\r", Answer("+CMGF: (0)")}}},
      {"anything else is an error",
       {{"ATE0\r", "ATE0\r" + kOk},
        {"AT+FOO\r", kError},
        {"HELLO\r", kError},
        {"ATX1\r", kError},
        {"AT+CMGS\r", kError},
        {"AT+CMGS=abc\r", kError},
        {"AT+CMGS=6\r", "\r\n+CMS ERROR: 304\r\n"},
        {"AT+CMGS=165\r", "\r\n+CMS ERROR: 304\r\n"},
        {"AT+CSCS=\"KOI8\"\r", kError},
        {"AT\r", kOk}}},
      {"start-up queries of an AT client",
       {{"ATE0\r", "ATE0\r" + kOk},
        {"AT+CPIN?\r", Answer("+CPIN: READY")},
        {"AT+CREG?\r", Answer("+CREG: 0,1")},
        {"AT+CREG=2\r", kOk},
        {"AT+CREG?\r", Answer("+CREG: 2,1")},
        {"AT+CSQ\r", Answer("+CSQ: 20,99")},
        {"AT+CSCA?\r", Answer("+CSCA: \"+4915550100000\",145")},
        {"AT+CGMI\r", Answer("EMULATED")},
        {"AT+CGSN\r", Answer("490154203237518")},
        {"AT+CIMI\r", Answer("001010123456789")},
        {"AT+CNMI=2,1,0,0,0\r", kOk},
        {"AT+CNMI?\r", Answer("+CNMI: 2,1,0,0,0")},
        {"AT+CMEE=1;+CREG?\r", Answer("+CREG: 2,1")},
        {"AT+CSCS=\"KOI8\"\r", "\r\n+CME ERROR: 4\r\n"},
        {"AT+CMEE=2\r", kOk},
        {"AT+CSCS=\"KOI8\"\r", "\r\n+CME ERROR: operation not supported\r\n"},
        {"AT+CMEE?\r", Answer("+CMEE: 2")}}},
      {"the service centre in the UCS2 character set",
       {{"ATE0\r", "ATE0\r" + kOk},
        {"AT+CSCS=\"UCS2\"\r", kOk},
        {"AT+CSCA?\r", Answer("+CSCA: \"002B0034003900310035003500350030003100300030003000300030\",145")},
        {"AT+CSCA=\"0031003200330034\",129\r", kOk},
        {"AT+CSCS=\"GSM\"\r", kOk},
        {"AT+CSCA?\r", Answer("+CSCA: \"1234\",129")},
        {"AT+CSCA=5550100,129\r", kOk},
        {"AT+CSCA?\r", Answer("+CSCA: \"5550100\",129")},
        {"AT+CSCA=\"123\r", kError}}},
      {"ATZ brings the defaults back, ATV0 numeric codes",
       {{"ATE0V0\r", "ATE0V0\r0\r"},
        {"AT+CSQ\r", "+CSQ: 20,99\r\n0\r"},
        {"AT+FOO\r", "4\r"},
        {"ATZ\r", kOk},
        {"AT\r", "AT\r" + kOk}}},
      {"the connection-profile command",
       {{"ATE0\r", "ATE0\r" + kOk},
        {"at^sics=0,apn,internet.example\r\n", kOk},
        {"AT^SICS=0,user,Max Mustermann\r\n", kOk},
        {"at^sics=\r\n", kError}}},
  };
  for (const Dialogue& d : dialogues) {
    SCOPED_TRACE(d.name);
    EmulatedModem modem;
    Talk(modem, d.steps);
  }
}

TEST(Modem, RecordsConnectionSettingsAsGiven) {
  EmulatedModem modem;
  modem.Receive("at^sics=0,apn,Internet.Example\r\nat^sics=0,passwd,S3cret\r\nat^sics=0,inactTo,20\r\n");
  EXPECT_EQ(modem.connectionSettings(),
            (std::vector<std::string>{"0,apn,Internet.Example", "0,passwd,S3cret", "0,inactTo,20"}));
}

TEST(Modem, SendsAPduAnnouncedWithItsLength) {
  EmulatedModem modem;
  Talk(modem, {{"ATE0\r\n", "ATE0\r" + kOk},
               {"AT+CMGS=22\r\n", kPrompt},
               {kPdu + kCtrlZ, Answer("+CMGS: 1")},
               {"AT+CMGS=22\r\n", kPrompt},
               {kPdu + kCtrlZ, Answer("+CMGS: 2")}});
  ASSERT_EQ(modem.sent().size(), 2u);
  EXPECT_EQ(modem.sent()[0].reference, 1);
  EXPECT_EQ(modem.sent()[0].hex, kPdu);
  ASSERT_EQ(modem.inbox().For("+79161234567").size(), 2u);
  EXPECT_EQ(modem.inbox().For("+79161234567")[0].text, "Pump");
  EXPECT_FALSE(modem.AwaitingPdu());
}

TEST(Modem, EchoesThePduWhenEchoIsOn) {
  EmulatedModem modem;
  Talk(modem, {{"AT+CMGS=22\r", "AT+CMGS=22\r" + kPrompt}, {kPdu + kCtrlZ, kPdu + Answer("+CMGS: 1")}});
}

TEST(Modem, RefusesMalformedPdusWith304AndReturnsToCommands) {
  const struct {
    const char* name;
    std::string announce;
    std::string pdu;
    const char* note;
  } cases[] = {
      {"one octet fewer announced", "21", kPdu, "announced 21 octets, the PDU has 22"},
      {"one octet more announced", "23", kPdu, "announced 23 octets, the PDU has 22"},
      {"not hex", "22", kPdu.substr(0, 20) + "ZZ" + kPdu.substr(22), "not a hex digit"},
      {"odd count", "22", kPdu + "0", "odd number"},
      {"an SMS-DELIVER", "22", "0004" + kPdu.substr(4), "not SMS-SUBMIT"},
      {"service centre longer than the PDU", "7", "0F0011", "service-centre"},
      {"AT+CMGS counting the centre field", "30", "07919761989901F0" + kPdu.substr(2), "announced 30 octets, the PDU has 22"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EmulatedModem modem;
    modem.Receive("ATE0\rAT+CMGS=" + c.announce + "\r");
    ASSERT_EQ(modem.TakeOutput(), "ATE0\r" + kOk + kPrompt);
    modem.Receive(c.pdu + kCtrlZ);
    const auto answers = modem.TakeAnswers();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].bytes, "\r\n+CMS ERROR: 304\r\n");
    EXPECT_NE(answers[0].note.find(c.note), std::string::npos) << answers[0].note;
    EXPECT_TRUE(answers[0].pdu);
    EXPECT_TRUE(modem.sent().empty());
    EXPECT_TRUE(modem.inbox().All().empty());
    Talk(modem, {{"AT\r", kOk}});
  }
}

TEST(Modem, EscCancelsThePdu) {
  EmulatedModem modem;
  Talk(modem, {{"ATE0\rAT+CMGS=22\r", "ATE0\r" + kOk + kPrompt},
               {kPdu.substr(0, 10), ""},
               {std::string(1, kEsc), kOk},
               {"AT\r", kOk}});
  EXPECT_TRUE(modem.sent().empty());
}

TEST(Modem, PduTextSkipsLineBreaksAndTakesLowerCase) {
  EmulatedModem modem;
  std::string lower = kPdu;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  Talk(modem, {{"ATE0\rAT+CMGS=22\r", "ATE0\r" + kOk + kPrompt},
               {lower.substr(0, 12) + "\r\n" + lower.substr(12) + kCtrlZ, Answer("+CMGS: 1")}});
  EXPECT_EQ(modem.inbox().All().size(), 1u);
}

TEST(Modem, ACommandLineAfterThePromptIsPduText) {
  EmulatedModem modem;
  Talk(modem, {{"ATE0\rAT+CMGS=22\r", "ATE0\r" + kOk + kPrompt}, {"AT\r\n", ""}});
  EXPECT_TRUE(modem.AwaitingPdu());
  Talk(modem, {{std::string(1, kCtrlZ), "\r\n+CMS ERROR: 304\r\n"}, {"AT\r", kOk}});
}

TEST(Modem, MessageReferencesCountOnModulo256) {
  host::ModemOptions o;
  o.firstMessageReference = 255;
  EmulatedModem modem(o);
  Talk(modem, {{"ATE0\r", "ATE0\r" + kOk},
               {"AT+CMGS=22\r", kPrompt},
               {kPdu + kCtrlZ, Answer("+CMGS: 255")},
               {"AT+CMGS=22\r", kPrompt},
               {kPdu + kCtrlZ, Answer("+CMGS: 0")}});
}

TEST(Modem, APduWithoutCentreNeedsTheModemsOwn) {
  host::ModemOptions o;
  o.serviceCentre = "";
  EmulatedModem modem(o);
  const std::string withCentre = "07919761989901F0" + kPdu.substr(2);
  Talk(modem, {{"ATE0\r", "ATE0\r" + kOk},
               {"AT+CMGS=22\r", kPrompt},
               {kPdu + kCtrlZ, "\r\n+CMS ERROR: 330\r\n"},
               {"AT+CMGS=22\r", kPrompt},
               {withCentre + kCtrlZ, Answer("+CMGS: 1")}});
  ASSERT_EQ(modem.sent().size(), 1u);
  EXPECT_EQ(modem.sent()[0].pdu.serviceCentre.number, "+79168999100");
}

TEST(Modem, SendsEveryGoldenPduAndRefusesEveryMalformedOne) {
  EmulatedModem modem;
  modem.Receive("ATE0\r");
  modem.TakeOutput();
  const auto golden = testing_support::GoldenSubmits();
  ASSERT_FALSE(golden.empty());
  int mr = 1;
  for (const auto& g : golden) {
    SCOPED_TRACE(g.name);
    modem.Receive("AT+CMGS=" + g.expect.at("tpdu_octets") + "\r\n");
    ASSERT_EQ(modem.TakeOutput(), kPrompt);
    modem.Receive(g.pdu + kCtrlZ);
    EXPECT_EQ(modem.TakeOutput(), Answer("+CMGS: " + std::to_string(mr++)));
  }
  EXPECT_EQ(modem.sent().size(), golden.size());
  for (const auto& g : testing_support::GoldenRejects()) {
    SCOPED_TRACE(g.name);
    // Announce what the octets after the centre field would be, so that the
    // decoder, not the length check, has to find the fault where it can.
    const std::size_t octets = g.pdu.size() / 2;
    std::size_t centre = 0;
    if (g.pdu.size() >= 2) centre = std::stoul(g.pdu.substr(0, 2), nullptr, 16);
    std::size_t tpdu = octets > centre + 1 ? octets - centre - 1 : 7;
    if (tpdu < 7) tpdu = 7;
    if (tpdu > 164) tpdu = 164;
    modem.Receive("AT+CMGS=" + std::to_string(tpdu) + "\r\n");
    ASSERT_EQ(modem.TakeOutput(), kPrompt);
    modem.Receive(g.pdu + kCtrlZ);
    EXPECT_EQ(modem.TakeOutput(), "\r\n+CMS ERROR: 304\r\n");
  }
  EXPECT_EQ(modem.sent().size(), golden.size());
}

// A whole session, fed at once, one byte at a time and in uneven pieces,
// must give the same bytes back and the same SMS.
TEST(Modem, TheSameStreamInPiecesOfAnySizeGivesTheSameAnswers) {
  const std::string session = std::string("AT\r\nATE0\r\nAT+CMGF=0\r\nAT+CSCS=\"UCS2\"\r\n") + "AT+CMGS=22\r\n" +
                              kPdu + kCtrlZ + "AT+CMGS=21\r\n" + kPdu + kCtrlZ + "AT+CMGS=22\r\n" + kPdu.substr(0, 8) +
                              kEsc + "at^sics=0,apn,x\r\nATE1\r\nAT+CSQ\r\nAT+NOPE\r\n" + "AT+CMGS=22\r\n" + kPdu + kCtrlZ;
  EmulatedModem whole;
  whole.Receive(session);
  const std::string expected = whole.TakeOutput();
  ASSERT_NE(expected.find("+CMGS: 2"), std::string::npos) << host::VisibleText(expected);

  for (std::size_t piece : {1u, 2u, 3u, 7u, 64u}) {
    SCOPED_TRACE(piece);
    EmulatedModem modem;
    std::string got;
    for (std::size_t i = 0; i < session.size(); i += piece) {
      modem.Receive(std::string_view(session).substr(i, piece));
      got += modem.TakeOutput();
    }
    EXPECT_EQ(host::VisibleText(got), host::VisibleText(expected));
    EXPECT_EQ(modem.sent().size(), whole.sent().size());
    EXPECT_EQ(modem.connectionSettings(), whole.connectionSettings());
  }
}

TEST(Modem, LongLinesAndLongPdusAreRefusedWithoutGrowingWithoutBound) {
  EmulatedModem modem;
  modem.Receive("ATE0\r");
  modem.TakeOutput();
  modem.Receive("AT+CNMI=" + std::string(5000, '1') + "\r");
  EXPECT_EQ(modem.TakeOutput(), kError);
  modem.Receive("AT+CMGS=22\r");
  modem.TakeOutput();
  modem.Receive(std::string(5000, '0') + kCtrlZ);
  const auto answers = modem.TakeAnswers();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].bytes, "\r\n+CMS ERROR: 304\r\n");
  EXPECT_NE(answers[0].note.find("longer than"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Faults.

TEST(ModemFaults, ErrorForAChosenCommandWithoutCarryingItOut) {
  EmulatedModem modem;
  modem.faults.push_back(ModemFault::Error("at+cmgs"));  // any case
  Talk(modem, {{"ATE0\r", "ATE0\r" + kOk}, {"AT+CMGS=22\r", kError}, {"AT\r", kOk}});
  EXPECT_FALSE(modem.AwaitingPdu());

  EmulatedModem custom;
  ModemFault f = ModemFault::Error("<PDU>");
  f.answer = "\r\n+CMS ERROR: 500\r\n";
  custom.faults.push_back(f);
  Talk(custom, {{"ATE0\rAT+CMGS=22\r", "ATE0\r" + kOk + kPrompt}, {kPdu + kCtrlZ, "\r\n+CMS ERROR: 500\r\n"}});
  EXPECT_TRUE(custom.sent().empty());
}

TEST(ModemFaults, SilenceForTheNthMatchOrFromThenOn) {
  EmulatedModem modem;
  modem.faults.push_back(ModemFault::Silent("AT+CMGS", 2));
  Talk(modem, {{"ATE0\r", "ATE0\r" + kOk},
               {"AT+CMGS=22\r", kPrompt},
               {kPdu + kCtrlZ, Answer("+CMGS: 1")},
               {"AT+CMGS=22\r", ""},
               {"AT\r", kOk},
               {"AT+CMGS=22\r", kPrompt}});
  EXPECT_TRUE(modem.AwaitingPdu());
  EXPECT_EQ(modem.faults[0].seen, 3);

  EmulatedModem fromThird;
  ModemFault f = ModemFault::Silent("", 3);
  f.persistent = true;
  fromThird.faults.push_back(f);
  Talk(fromThird, {{"AT\r", "AT\r" + kOk}, {"AT\r", "AT\r" + kOk}, {"AT\r", ""}, {"ATE0\r", ""}, {"AT\r", ""}});
  EXPECT_TRUE(fromThird.settings().echo) << "a silenced ATE0 is not carried out";
}

TEST(ModemFaults, SilenceAfterThePdu) {
  EmulatedModem modem;
  modem.faults.push_back(ModemFault::Silent("<PDU>"));
  Talk(modem, {{"ATE0\rAT+CMGS=22\r", "ATE0\r" + kOk + kPrompt}, {kPdu + kCtrlZ, ""}, {"AT\r", kOk}});
  EXPECT_TRUE(modem.sent().empty());
  EXPECT_FALSE(modem.AwaitingPdu());
}

TEST(ModemFaults, GarbageReplacesTheAnswerOfACommandCarriedOut) {
  EmulatedModem modem;
  modem.faults.push_back(ModemFault::Garbage("ATE0"));
  Talk(modem, {{"ATE0\r", std::string(host::kModemGarbage)}, {"AT\r", kOk}});
  EXPECT_FALSE(modem.settings().echo);
  const std::string g(host::kModemGarbage);
  EXPECT_EQ(g.find("OK"), std::string::npos);
  EXPECT_EQ(g.find("ERROR"), std::string::npos);
  EXPECT_EQ(g.find('>'), std::string::npos);
  EXPECT_EQ(g.find('\0'), std::string::npos);
}

TEST(ModemFaults, LateAnswersCarryTheirExtraTicks) {
  EmulatedModem modem;
  modem.faults.push_back(ModemFault::Late("AT+CSCS", 30));
  modem.faults.push_back(ModemFault::Late("", 5, 2));
  modem.Receive("AT\rATE0\rAT+CSCS=\"UCS2\"\r");
  const auto answers = modem.TakeAnswers();
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0].delay, 0u);
  EXPECT_EQ(answers[1].delay, 5u);
  EXPECT_EQ(answers[2].delay, 30u);
  EXPECT_EQ(answers[2].bytes, kOk);
  EXPECT_EQ(answers[2].index, 3u);
  EXPECT_EQ(answers[2].input, "AT+CSCS=\"UCS2\"");
}

TEST(ModemFaults, RestartLosesSettingsAndThePduInProgress) {
  host::ModemOptions o;
  o.bootBanner = "\r\nRDY\r\n";
  EmulatedModem modem(o);
  modem.faults.push_back(ModemFault::Restart("<PDU>"));
  Talk(modem, {{"ATE0\rAT+CSCS=\"UCS2\"\rAT+CMGS=22\r", "ATE0\r" + kOk + kOk + kPrompt},
               {kPdu + kCtrlZ, "\r\nRDY\r\n"},
               {"AT\r", "AT\r" + kOk}});
  EXPECT_EQ(modem.restarts(), 1);
  EXPECT_EQ(modem.settings().charset, "GSM");
  EXPECT_TRUE(modem.sent().empty());
}

TEST(ModemFaults, RestartHalfWayThroughAPdu) {
  EmulatedModem modem;
  Talk(modem, {{"ATE0\rAT+CMGS=22\r", "ATE0\r" + kOk + kPrompt}, {kPdu.substr(0, 20), ""}});
  modem.Restart();
  EXPECT_FALSE(modem.AwaitingPdu());
  // The rest of the PDU now lands in command mode and makes one bad line with the next command.
  Talk(modem, {{kPdu.substr(20) + kCtrlZ, ""}, {"AT\r", kPdu.substr(20) + kCtrlZ + "AT\r" + kError}, {"AT\r", "AT\r" + kOk}});
  EXPECT_TRUE(modem.sent().empty());
}

TEST(ModemFaults, AnErrorAndALateFaultOnOneInputCombine) {
  EmulatedModem modem;
  modem.faults.push_back(ModemFault::Late("AT", 7));
  modem.faults.push_back(ModemFault::Error("AT+CMGF"));
  modem.faults.push_back(ModemFault::Silent("AT+CMGF"));  // the first hit of another kind decides
  modem.Receive("AT+CMGF=0\r");
  const auto answers = modem.TakeAnswers();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].bytes, "AT+CMGF=0\r" + kError);
  EXPECT_EQ(answers[0].delay, 7u);
  EXPECT_NE(answers[0].note.find("error"), std::string::npos);
}

}  // namespace

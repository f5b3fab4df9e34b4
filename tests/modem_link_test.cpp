// The host side of the modem: a raised LB 0 or transmit flag sends the text
// of LW 0..99, the answer lands in LW 100..199 after its ticks.
#include <gtest/gtest.h>

#include <string>

#include "host/modem.h"
#include "host/panel.h"
#include "macro/codes.h"
#include "probe.h"
#include "sms_golden.h"
#include "support.h"

namespace {

using host::ModemFault;
using host::ModemLink;

constexpr char kCtrlZ = '\x1A';
const std::string kOk = "\r\nOK\r\n";

enum class Request { Bit, Flag };

class Link : public ::testing::Test {
 protected:
  // What a sender does: the command in LW 0..99, the reply area zeroed, the request raised.
  void Place(const std::string& command, Request how = Request::Bit) {
    panel.PutText(DeviceLW, 0, command, 100);
    panel.PutText(DeviceLW, 100, "", 100);
    if (how == Request::Bit) {
      panel.Bit(DeviceLB, 0) = 1;
    } else {
      panel.transmitFlag = 1;
    }
  }

  std::string Reply() const { return panel.GetText(DeviceLW, 100, 100); }

  // Places a command, hands it over and waits out the answer delay.
  std::string Exchange(const std::string& command, Request how = Request::Bit) {
    Place(command, how);
    link.AfterCall(panel);
    link.Tick(panel, link.answerDelay);
    return Reply();
  }

  host::Panel panel;
  ModemLink link;
};

TEST_F(Link, MovesACommandRaisedByLb0OrTheTransmitFlag) {
  for (Request how : {Request::Bit, Request::Flag}) {
    SCOPED_TRACE(how == Request::Bit ? "LB 0" : "transmit flag");
    ModemLink fresh;
    panel.SetTicks(1000);
    Place("AT\r\n", how);
    EXPECT_TRUE(fresh.AfterCall(panel));
    EXPECT_EQ(panel.Bit(DeviceLB, 0), 0) << "the request is cleared";
    EXPECT_EQ(panel.transmitFlag, 0);
    EXPECT_EQ(panel.Word(DeviceLW, 100), 0) << "no answer before its tick";
    fresh.Tick(panel);
    EXPECT_EQ(Reply(), "AT\r" + kOk);
    EXPECT_EQ(panel.Ticks(), 1001u);
    EXPECT_FALSE(fresh.AnswerPending());
  }
}

TEST_F(Link, DoesNothingWithoutARequest) {
  panel.PutText(DeviceLW, 0, "AT\r\n", 100);
  EXPECT_FALSE(link.AfterCall(panel));
  link.Tick(panel, 10);
  EXPECT_EQ(panel.Word(DeviceLW, 100), 0);
  EXPECT_TRUE(link.trace().empty());
  EXPECT_EQ(link.modem.inputs(), 0u);
}

TEST_F(Link, PlacesTheAnswerAtExactlyItsTick) {
  for (std::uint32_t delay : {0u, 1u, 5u, 40u}) {
    SCOPED_TRACE(delay);
    ModemLink l;
    l.answerDelay = delay;
    panel.SetTicks(0xFFFFFFF0u);  // and across the wrap of the counter
    Place("AT\r\n");
    l.AfterCall(panel);
    if (delay > 0) {
      l.Tick(panel, delay - 1);
      EXPECT_EQ(panel.Word(DeviceLW, 100), 0) << "one tick early";
      l.Tick(panel);
    }
    EXPECT_EQ(Reply(), "AT\r" + kOk);
    ASSERT_FALSE(l.trace().empty());
    EXPECT_EQ(l.trace().back().kind, host::ModemTraceKind::Answer);
    EXPECT_EQ(l.trace().back().tick, 0xFFFFFFF0u + delay);
  }
}

TEST_F(Link, ALongTickStepStillStampsTheAnswerAtItsTick) {
  link.answerDelay = 3;
  panel.SetTicks(50);
  Place("AT\r\n");
  link.AfterCall(panel);
  link.Tick(panel, 100);
  EXPECT_EQ(panel.Ticks(), 150u);
  EXPECT_EQ(Reply(), "AT\r" + kOk);
  EXPECT_EQ(link.trace().back().tick, 53u);
}

TEST_F(Link, DeliverServesTestsThatMoveTheTickThemselves) {
  link.answerDelay = 4;
  Place("AT\r\n");
  link.AfterCall(panel);
  panel.Advance(3);
  link.Deliver(panel);
  EXPECT_EQ(panel.Word(DeviceLW, 100), 0);
  panel.Advance(1);
  link.Deliver(panel);
  EXPECT_EQ(Reply(), "AT\r" + kOk);
}

TEST_F(Link, RunsThePlugInsDialogueAndReceivesTheSms) {
  const std::string pdu = "0011000B919761214365F70008AA0800500075006D0070";
  EXPECT_EQ(Exchange("AT\r\n"), "AT\r" + kOk);
  EXPECT_EQ(Exchange("ATE0\r\n"), "ATE0\r" + kOk);
  EXPECT_EQ(Exchange("AT+CMGF=0\r\n"), kOk);
  EXPECT_EQ(Exchange("AT+CSCS=\"UCS2\"\r\n"), kOk);
  EXPECT_EQ(Exchange("AT+CMGS=22\r\n"), "\r\n> ");
  EXPECT_EQ(Exchange(pdu + kCtrlZ), "\r\n+CMGS: 1\r\n" + kOk);
  EXPECT_EQ(Exchange("at^sics=0,apn,internet\r\n", Request::Flag), kOk);
  ASSERT_EQ(link.modem.inbox().For("+79161234567").size(), 1u);
  EXPECT_EQ(link.modem.inbox().For("+79161234567")[0].text, "Pump");
  EXPECT_EQ(link.modem.connectionSettings(), std::vector<std::string>{"0,apn,internet"});
}

// The runtime probe places the command through the host vector as the
// server transmitters do (LW 0..99, the reply area zeroed, LB 0 written 1).
TEST_F(Link, ACommandPlacedByAPlugInThroughTheHostVector) {
  auto probe = testing_support::LoadOrFail(testing_support::TestPluginPath("runtime_probe"));
  ASSERT_TRUE(probe != nullptr);
  auto send = [&](const std::string& text) {
    ProbeRequest r{};
    r.op = ProbeModemCommand;
    r.mode = text.c_str();
    host::MacroCall call;
    call.word[0] = reinterpret_cast<MacroWord>(&r);
    probe->Call(panel, call);
    link.AfterCall(panel);
    link.Tick(panel);
    return Reply();
  };
  EXPECT_EQ(send("AT\r\n"), "AT\r" + kOk);
  EXPECT_EQ(send("ATE0\r\n"), "ATE0\r" + kOk);
  EXPECT_EQ(send("AT+CMGS=22\r\n"), "\r\n> ");
  EXPECT_EQ(send("0011000B919761214365F70008AA0800500075006D0070\x1A"), "\r\n+CMGS: 1\r\n" + kOk);
  EXPECT_EQ(panel.Bit(DeviceLB, 0), 0);
  ASSERT_EQ(link.modem.inbox().All().size(), 1u);
  EXPECT_EQ(link.modem.inbox().All()[0].text, "Pump");
}

TEST_F(Link, TakesTheCommandUpToItsFirstNulOrAll200Bytes) {
  link.modem.Receive("ATE0\r");
  link.modem.TakeOutput();
  // 200 bytes without a NUL: "at^sics=0,apn," and 186 more characters, no line end.
  const std::string full = "at^sics=0,apn," + std::string(186, 'a');
  ASSERT_EQ(full.size(), 200u);
  Place(full);
  link.AfterCall(panel);
  EXPECT_EQ(link.trace().back().text, "no answer") << "the line is not ended yet";
  EXPECT_EQ(link.trace()[0].text, full);
  EXPECT_EQ(Exchange("\r"), kOk);
  ASSERT_EQ(link.modem.connectionSettings().size(), 1u);
  EXPECT_EQ(link.modem.connectionSettings()[0].size(), 192u);
}

TEST_F(Link, AnEmptyCommandGetsNoAnswer) {
  Place("");
  EXPECT_TRUE(link.AfterCall(panel));
  link.Tick(panel, 50);
  EXPECT_EQ(panel.Word(DeviceLW, 100), 0);
  EXPECT_EQ(link.trace().back().text, "no answer");
}

TEST_F(Link, AnAnswerOver200BytesKeepsItsLast200) {
  // Echo on: the 198 characters of the line and its CR come back before "\r\nOK\r\n".
  const std::string command = "at^sics=0,apn," + std::string(184, 'x') + "\r\n";
  ASSERT_EQ(command.size(), 200u);
  const std::string answer = command.substr(0, 199) + kOk;
  EXPECT_EQ(Exchange(command), answer.substr(answer.size() - 200));
  EXPECT_EQ(panel.Word(DeviceLW, 199) >> 8, '\n');
}

TEST_F(Link, ThePduMayComeInTwoHalves) {
  const auto golden = testing_support::GoldenSubmits();
  const auto* g = testing_support::FindGolden(golden, "ucs2_cyrillic_ref8_part1");
  ASSERT_NE(g, nullptr);
  ASSERT_GT(g->pdu.size(), 200u);
  Exchange("ATE0\r\n");
  EXPECT_EQ(Exchange("AT+CMGS=" + g->expect.at("tpdu_octets") + "\r\n"), "\r\n> ");
  Place(g->pdu.substr(0, 200));
  link.AfterCall(panel);
  link.Tick(panel, 10);
  EXPECT_EQ(panel.Word(DeviceLW, 100), 0) << "nothing to answer before Ctrl-Z";
  EXPECT_EQ(link.trace().back().text, "no answer yet (PDU not ended)");
  EXPECT_EQ(Exchange(g->pdu.substr(200) + kCtrlZ), "\r\n+CMGS: 1\r\n" + kOk);
  ASSERT_EQ(link.modem.inbox().Pending().size(), 1u);
}

TEST_F(Link, AnswersKeepTheirOrderAndEachOverwritesTheArea) {
  link.answerDelay = 2;
  link.modem.faults.push_back(ModemFault::Late("AT+CSQ", 10));
  Exchange("ATE0\r\n");
  Place("AT+CSQ\r\n");
  link.AfterCall(panel);
  link.Tick(panel);
  Place("AT\r\n");
  link.AfterCall(panel);
  link.Tick(panel, 2);
  EXPECT_EQ(panel.Word(DeviceLW, 100), 0) << "the quick answer waits behind the late one";
  link.Tick(panel, 9);
  EXPECT_EQ(Reply(), kOk) << "both delivered, the later one last";
  int answers = 0;
  for (const auto& e : link.trace()) answers += e.kind == host::ModemTraceKind::Answer;
  EXPECT_EQ(answers, 3);
}

TEST_F(Link, FaultsAsTheSenderSeesThem) {
  const struct {
    const char* name;
    ModemFault fault;
    std::uint32_t ticks;  // after the usual delay
    std::string reply;    // "" for none
  } cases[] = {
      {"error", ModemFault::Error("AT+CMGF"), 0, "\r\nERROR\r\n"},
      {"silence", ModemFault::Silent("AT+CMGF"), 1000, ""},
      {"late", ModemFault::Late("AT+CMGF", 25), 25, kOk},
      {"garbage", ModemFault::Garbage("AT+CMGF"), 0, std::string(host::kModemGarbage)},
      {"restart", ModemFault::Restart("AT+CMGF"), 1000, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ModemLink l;
    l.modem.faults.push_back(c.fault);
    Place("ATE0\r\n");
    l.AfterCall(panel);
    l.Tick(panel);
    Place("AT+CMGF=0\r\n");
    l.AfterCall(panel);
    if (c.ticks > 0) {
      l.Tick(panel, c.ticks);  // one tick short of the late answer
      EXPECT_EQ(panel.Word(DeviceLW, 100), 0);
    }
    l.Tick(panel);
    EXPECT_EQ(Reply(), c.reply);
    if (!c.reply.empty()) {
      EXPECT_NE(panel.Word(DeviceLW, 100) & 0xFF, 0);
    }
    bool noted = false;
    for (const auto& e : l.trace()) noted |= e.kind == host::ModemTraceKind::Note && e.text.find("fault") == 0;
    EXPECT_TRUE(noted) << l.TraceText();
  }
}

TEST_F(Link, StaysSilentAfterAtCmgsSoTheSenderTimesOut) {
  link.modem.faults.push_back(ModemFault::Silent("AT+CMGS"));
  Exchange("ATE0\r\n");
  Place("AT+CMGS=22\r\n");
  link.AfterCall(panel);
  link.Tick(panel, 500);
  EXPECT_EQ(panel.Word(DeviceLW, 100), 0);
  EXPECT_FALSE(link.modem.AwaitingPdu());
}

// After its prompt the modem waits for PDU text; without a time-out it takes
// the next commands as PDU text, with one it gives the PDU up silently and
// answers commands again.
TEST_F(Link, APduInputTimeOutEndsAnAbandonedPrompt) {
  for (std::uint32_t timeout : {0u, 50u}) {
    SCOPED_TRACE(timeout);
    ModemLink l;
    l.pduTimeout = timeout;
    Place("ATE0\r\n");
    l.AfterCall(panel);
    l.Tick(panel);
    Place("AT+CMGS=17\r\n");
    l.AfterCall(panel);
    l.Tick(panel, 49);
    EXPECT_TRUE(l.modem.AwaitingPdu()) << "still inside the time-out";
    l.Tick(panel, 1);
    EXPECT_EQ(l.modem.AwaitingPdu(), timeout == 0);
    Place("AT\r\n");
    l.AfterCall(panel);
    l.Tick(panel);
    EXPECT_EQ(Reply(), timeout == 0 ? "" : kOk);
    EXPECT_TRUE(l.modem.sent().empty()) << "an abandoned PDU is not sent";
  }
}

TEST_F(Link, ClearingForgetsWhatWasReceivedAndTraced) {
  const std::string pdu = "0001000B910721436587F900080400410042";
  Exchange("AT+CMGS=17\r\n");
  Exchange(pdu + kCtrlZ);
  ASSERT_EQ(link.modem.sent().size(), 1u);
  ASSERT_EQ(link.modem.inbox().All().size(), 1u);
  link.modem.ClearRecords();
  link.ClearTrace();
  EXPECT_TRUE(link.modem.sent().empty());
  EXPECT_TRUE(link.modem.inbox().All().empty());
  EXPECT_TRUE(link.trace().empty());
  EXPECT_EQ(Exchange("AT\r\n"), "AT\r" + kOk) << "the modem itself is as it was";
}

TEST_F(Link, AfterARestartTheModemEchoesAgain) {
  link.modem.faults.push_back(ModemFault::Restart("AT+CSCS"));
  Exchange("ATE0\r\n");
  EXPECT_EQ(Exchange("AT+CSCS=\"UCS2\"\r\n"), "");
  EXPECT_EQ(Exchange("AT\r\n"), "AT\r" + kOk);
  EXPECT_EQ(link.modem.restarts(), 1);
}

TEST_F(Link, TouchesOnlyTheRequestAndTheReplyAreaAndCountsNoAccess) {
  panel.Fill(0xA55A, 0x5A);
  panel.PutText(DeviceLW, 0, "AT\r\n", 100);
  panel.Bit(DeviceLB, 0) = 1;
  const auto words = panel.SnapshotWords();
  const auto bits = panel.SnapshotBits();
  const int reads = panel.reads;
  const int writes = panel.writes;
  link.answerDelay = 0;
  link.AfterCall(panel);
  for (auto [d, a] : panel.WordsChangedSince(words)) {
    const bool allowed = d == DeviceLW && ((a >= 100 && a < 200) || a == 9034 || a == 9035);
    EXPECT_TRUE(allowed) << d << ":" << a;
  }
  for (auto [d, a] : panel.BitsChangedSince(bits)) EXPECT_TRUE(d == DeviceLB && a == 0) << d << ":" << a;
  EXPECT_EQ(panel.reads, reads);
  EXPECT_EQ(panel.writes, writes);
  EXPECT_TRUE(panel.log.empty());
}

TEST_F(Link, TheTraceShowsCommandsAnswersAndNotesWithTheirTicks) {
  panel.SetTicks(7);
  link.modem.faults.push_back(ModemFault::Silent("ATE0"));
  Exchange("AT\r\n");
  Exchange("ATE0\r\n");
  const std::string text = link.TraceText();
  EXPECT_EQ(text,
            "         7 -> AT\\r\\n\n"
            "         8 <- AT\\r\\r\\nOK\\r\\n\n"
            "         8 -> ATE0\\r\\n\n"
            "         8 !! fault: silent\n"
            "         8 !! no answer\n");
}

}  // namespace

// The server generation end to end: settings saved and loaded, the scheduler,
// the composer, the encoder, the script builder and the transmitter, run by
// the substitute host against the emulated modem, for both ways of chaining
// the plug-ins. What every phone receives is read from the modem's inbox,
// decoded by its own decoder.
#include <gtest/gtest.h>

#include "host/modem.h"
#include "host/server_pipeline.h"
#include "host/workdir.h"
#include "macro/codes.h"
#include "support.h"

namespace {

using host::ServerChain;

const char* const kNumbers[] = {"9161234567", "9261234567", "812345678"};
const char* const kPhones[] = {"+79161234567", "+79261234567", "+7812345678"};

host::ServerSettings Sample() {
  host::ServerSettings s;
  s.scheduleEnabled = 1;
  s.sendMode = 1;
  s.sendInterval = 0;
  s.replyTimeout = 5;
  s.numbers.assign(std::begin(kNumbers), std::end(kNumbers));
  s.title = "Котельная №2";
  s.events = {{true, "Давление котла выше"}, {true, "Пламя погасло"}, {false, "Не показывать"},
              {true, "Насос 3 остановлен"}};
  return s;
}

const std::string kAllThree =
    "[Котельная №2]\n1. Давление котла выше\n2. Пламя погасло\n3. Насос 3 остановлен\n";

struct ChainCase {
  const char* name;
  ServerChain chain;
};

class ServerPipeline : public ::testing::TestWithParam<ChainCase> {
 protected:
  void SetUp() override {
    pipeline = std::make_unique<host::ServerPipeline>(MACRO_PLUGIN_DIR, GetParam().chain);
    std::string error;
    ASSERT_TRUE(pipeline->Load(&error)) << error;
    panel.SetTicks(100);
    ASSERT_EQ(pipeline->StoreSettings(panel, Sample()), 0);
    ASSERT_EQ(pipeline->LoadSettings(panel), 0);
  }

  bool flagChained() const { return GetParam().chain == ServerChain::FlagChained; }

  void ExpectEveryPhoneGot(const std::vector<std::string>& texts) {
    for (const char* phone : kPhones) {
      auto got = link.modem.inbox().For(phone);
      ASSERT_EQ(got.size(), texts.size()) << phone << "\n" << link.TraceText();
      for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(got[i].text, texts[i]) << phone;
    }
    EXPECT_TRUE(link.modem.inbox().Pending().empty());
    EXPECT_EQ(link.modem.inbox().Duplicates(), 0);
  }

  host::WorkDir work;
  host::Panel panel;
  host::ModemLink link;
  std::unique_ptr<host::ServerPipeline> pipeline;
};

INSTANTIATE_TEST_SUITE_P(Chains, ServerPipeline,
                         ::testing::Values(ChainCase{"flag_chained", ServerChain::FlagChained},
                                           ChainCase{"error_word_only", ServerChain::ErrorWordOnly}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(ServerPipeline, SettingsReachTheRegistersWithEncodedAddresses) {
  EXPECT_EQ(panel.Word(DeviceLW, 6200), 3);
  EXPECT_EQ(panel.GetText(DeviceLW, 6206, 10), "0B919761214365F7");
  EXPECT_EQ(panel.GetText(DeviceLW, 6236, 10), "0A918721436587");
}

TEST_P(ServerPipeline, AMultiPartCyrillicMessageReachesEveryPhone) {
  host::PipelineRun run = pipeline->Run(panel, link, 0b1011);
  EXPECT_TRUE(run.sendRaised);
  EXPECT_EQ(run.result, TransmitComplete) << run.stoppedAt << "\n" << link.TraceText();
  ExpectEveryPhoneGot({kAllThree});
  ASSERT_EQ(link.modem.inbox().For(kPhones[0]).size(), 1u);
  EXPECT_EQ(link.modem.inbox().For(kPhones[0])[0].parts, 2);
  EXPECT_EQ(link.modem.sent().size(), 6u);
  EXPECT_EQ(panel.GetPair(DeviceLW, 6005), 0u);
  std::string bytes;
  EXPECT_EQ(work.Read("SMSMessage.at", &bytes), !flagChained());
  if (flagChained()) {
    EXPECT_NE(panel.GetPair(DeviceLW, 6003) & SchedulerArmed, 0u);
    EXPECT_FALSE(work.Read("SMSMessage.bin", &bytes));
    EXPECT_FALSE(work.Read("SMSMessage.txt", &bytes));
  }
}

TEST_P(ServerPipeline, TheSchedulerDecidesWhenTheNextMessageGoes) {
  EXPECT_EQ(pipeline->Run(panel, link, 0b0001).result, TransmitComplete);
  host::PipelineRun same = pipeline->Run(panel, link, 0b0001);
  EXPECT_FALSE(same.sendRaised) << "mode 1: the same events send nothing";
  EXPECT_EQ(pipeline->Run(panel, link, 0b0010).result, TransmitComplete);
  ExpectEveryPhoneGot({"[Котельная №2]\n1. Давление котла выше\n", "[Котельная №2]\n1. Пламя погасло\n"});
}

TEST_P(ServerPipeline, AModemErrorStopsTheTransmission) {
  link.modem.faults.push_back(host::ModemFault::Error("AT+CMGS", 3));
  host::PipelineRun run = pipeline->Run(panel, link, 0b0001);
  EXPECT_EQ(run.result, ErrModemError);
  // The first two phones have their message; the third got nothing.
  EXPECT_EQ(link.modem.inbox().For(kPhones[0]).size(), 1u);
  EXPECT_EQ(link.modem.inbox().For(kPhones[1]).size(), 1u);
  EXPECT_TRUE(link.modem.inbox().For(kPhones[2]).empty());
  EXPECT_EQ(panel.GetPair(DeviceLW, 6005), 0u);
  EXPECT_EQ(panel.GetPair(DeviceLW, 6003) & ScriptReady, 0u);
}

TEST_P(ServerPipeline, ASilentModemTimesOutAndTheNextSendStartsAfresh) {
  link.modem.faults.push_back(host::ModemFault::Silent("AT+CMGF", 1));
  std::uint32_t before = panel.Ticks();
  host::PipelineRun run = pipeline->Run(panel, link, 0b0001);
  EXPECT_EQ(run.result, ErrReplyTimeout);
  EXPECT_GE(panel.Ticks() - before, 50u) << "replyTimeout 5 is 50 ticks";
  EXPECT_TRUE(link.modem.inbox().All().empty());
  // The events change; the next message goes through from its first line.
  EXPECT_EQ(pipeline->Run(panel, link, 0b0010).result, TransmitComplete) << link.TraceText();
  ExpectEveryPhoneGot({"[Котельная №2]\n1. Пламя погасло\n"});
}

TEST_P(ServerPipeline, GarbageAndLateAnswersAreStillAnswers) {
  link.modem.faults.push_back(host::ModemFault::Garbage("ATE0", 1));
  link.modem.faults.push_back(host::ModemFault::Late("AT+CSCS", 20, 1));
  EXPECT_EQ(pipeline->Run(panel, link, 0b1000).result, TransmitComplete);
  ExpectEveryPhoneGot({"[Котельная №2]\n1. Насос 3 остановлен\n"});
}

}  // namespace

// panelsim gprs: the real net_send_connection, driven through profile
// commands 1 to 7, gets every field of the profile file to the emulated
// modem, and nothing the command shows reveals the password.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../tools/panelsim/commands.h"
#include "host/files.h"
#include "host/workdir.h"
#include "support.h"

std::string panelsim::DefaultPluginDir() { return MACRO_PLUGIN_DIR; }

namespace {

using Args = std::vector<std::string>;

constexpr char kFile[] = "gprs_ConnectionProfileSettings.bin";

struct Profile {
  const char* name;
  std::vector<std::string> fields;  // conType, inactTo, user, passwd, apn, dns1, dns2
};

std::string ProfileFile(const std::vector<std::string>& fields) {
  host::ConnectionProfile p;
  for (std::size_t i = 0; i < fields.size(); ++i) p.fields[i] = fields[i];
  return host::EncodeConnectionProfile(p);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(PanelsimGprs, TheModemReceivesEveryFieldOfTheProfile) {
  const Profile profiles[] = {
      {"typical", {"GPRS0", "20", "panel", "pw-1234", "internet.example", "10.0.0.1", "10.0.0.2"}},
      {"every field full, no NUL",
       {"GPRS01", "123456", std::string(32, 'u'), std::string(32, 'p'), std::string(100, 'a'),
        "255.255.255.255.", "8.8.8.8.8.8.8.8."}},
      {"empty fields", {"GPRS0", "", "", "", "apn", "", ""}},
  };
  for (const Profile& p : profiles) {
    SCOPED_TRACE(p.name);
    host::WorkDir work;
    ASSERT_TRUE(work.Write(kFile, ProfileFile(p.fields)));
    const panelsim::GprsRun run = panelsim::RunGprsProfile(MACRO_PLUGIN_DIR, work.path());
    ASSERT_EQ(run.error, "");
    ASSERT_EQ(run.steps.size(), 7u);
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < 7; ++i) {
      const std::string tag = host::ConnectionFields()[i].tag;
      const panelsim::GprsStep& s = run.steps[i];
      EXPECT_TRUE(s.placed) << tag;
      EXPECT_EQ(s.sent, "at^sics=0," + tag + "," + p.fields[i] + "\r\n");
      EXPECT_TRUE(s.accepted) << tag << ": " << s.answer;
      EXPECT_TRUE(run.violations.empty());
      expected.push_back("0," + tag + "," + p.fields[i]);
    }
    EXPECT_EQ(run.profile, expected) << "what the modem keeps, in order";
  }
}

TEST(PanelsimGprs, ThePasswordIsShownOnlyWhenAskedFor) {
  host::WorkDir work;
  ASSERT_TRUE(work.Write(kFile, ProfileFile({"GPRS0", "20", "panel", "Zx9-secret", "apn"})));
  const panelsim::GprsRun run = panelsim::RunGprsProfile(MACRO_PLUGIN_DIR, work.path());
  ASSERT_EQ(run.error, "");
  ASSERT_TRUE(Contains(run.trace, "Zx9-secret")) << "the modem did get it";

  const std::string masked = panelsim::ShowGprs(run, false, true);
  EXPECT_FALSE(Contains(masked, "Zx9")) << masked;
  EXPECT_TRUE(Contains(masked, "-> at^sics=0,passwd,********\\r\\n")) << masked;
  EXPECT_TRUE(Contains(masked, "<- at^sics=0,passwd,********\\r\\r\\nOK")) << "the echo: " << masked;
  EXPECT_TRUE(Contains(masked, "  0,passwd,********\n")) << masked;
  EXPECT_TRUE(Contains(masked, "at^sics=0,user,panel")) << "only the password is hidden";
  EXPECT_TRUE(Contains(masked, "7 of 7 commands accepted"));

  const std::string clear = panelsim::ShowGprs(run, true, false);
  EXPECT_TRUE(Contains(clear, "-> at^sics=0,passwd,Zx9-secret\\r\\n")) << clear;
  EXPECT_FALSE(Contains(clear, "********"));
}

// A CR in the password field would end the command line early and send the
// rest as a command of its own; the plug-in ends the field there instead.
TEST(PanelsimGprs, AControlCharacterInAFieldSendsNoFurtherCommand) {
  host::WorkDir work;
  ASSERT_TRUE(work.Write(kFile, ProfileFile({"GPRS0", "20", "u", "ab\rAT+CFUN=0", "apn"})));
  const panelsim::GprsRun run = panelsim::RunGprsProfile(MACRO_PLUGIN_DIR, work.path());
  ASSERT_EQ(run.steps.size(), 7u);
  EXPECT_EQ(run.steps[3].sent, "at^sics=0,passwd,ab\r\n");
  EXPECT_FALSE(Contains(run.trace, "CFUN"));
  EXPECT_EQ(run.profile.size(), 7u);
}

// Macro 13 ends the chain on a refused command. A ';' in a value makes the
// modem run the rest as a command of its own, which this modem refuses.
TEST(PanelsimGprs, ARefusedCommandEndsTheChain) {
  host::WorkDir work;
  ASSERT_TRUE(work.Write(kFile, ProfileFile({"GPRS0", "20", "u", "ab;+CMGF=1", "apn", "1", "2"})));
  const panelsim::GprsRun run = panelsim::RunGprsProfile(MACRO_PLUGIN_DIR, work.path());
  ASSERT_EQ(run.steps.size(), 4u);
  EXPECT_TRUE(run.steps[2].accepted);
  EXPECT_TRUE(run.steps[3].placed);
  EXPECT_FALSE(run.steps[3].accepted) << run.steps[3].answer;
  EXPECT_TRUE(Contains(run.steps[3].answer, "ERROR"));
  EXPECT_TRUE(run.violations.empty());
  const std::string shown = panelsim::ShowGprs(run, false, false);
  EXPECT_TRUE(Contains(shown, "3 of 7 commands accepted")) << shown;
  EXPECT_FALSE(Contains(shown, "CMGF")) << "the password stays hidden: " << shown;
  EXPECT_EQ(panelsim::RunGprs(Args{"--dir", work.path()}), 1);
}

TEST(PanelsimGprs, WithoutAProfileFileNothingIsSent) {
  host::WorkDir work;
  const panelsim::GprsRun run = panelsim::RunGprsProfile(MACRO_PLUGIN_DIR, work.path());
  EXPECT_TRUE(Contains(run.error, kFile)) << run.error;
  EXPECT_TRUE(run.steps.empty());
  EXPECT_EQ(panelsim::RunGprs(Args{"--dir", work.path()}), 1);

  const panelsim::GprsRun noPlugins = panelsim::RunGprsProfile(work.path(), work.path());
  EXPECT_TRUE(Contains(noPlugins.error, "net_send_connection")) << noPlugins.error;
}

TEST(PanelsimGprs, ExitStatusFollowsTheModemsAnswers) {
  host::WorkDir work;
  ASSERT_TRUE(work.Write(kFile, ProfileFile({"GPRS0", "20", "u", "p", "apn", "1", "2"})));
  EXPECT_EQ(panelsim::RunGprs(Args{"--dir", work.path()}), 0);
  EXPECT_EQ(panelsim::RunGprs(Args{"--dir", work.path(), "--plugins", MACRO_PLUGIN_DIR,
                                   "--show-secrets", "--trace"}),
            0);
  EXPECT_EQ(panelsim::RunGprs(Args{"--help"}), 0);
  for (const Args& wrong : {Args{"--dir"}, Args{"extra"}, Args{"--no-such-option"}}) {
    EXPECT_EQ(panelsim::RunGprs(wrong), 2) << wrong[0];
  }
  EXPECT_EQ(panelsim::RunGprs(Args{"--dir", work.path() + "/absent"}), 1);
}

}  // namespace

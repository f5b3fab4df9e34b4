// panelsim inspect: the golden files of tests/data/inspect shown as they
// must be (good ones without a problem, the rest with their warnings and
// errors named by offset and field), the files the real plug-ins write
// decoded without a problem, and the GPRS password masked.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../tools/panelsim/commands.h"
#include "host/files.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "host/workdir.h"
#include "macro/codes.h"
#include "sms_golden.h"
#include "support.h"

std::string panelsim::DefaultPluginDir() { return MACRO_PLUGIN_DIR; }

namespace {

using Args = std::vector<std::string>;
using testing_support::ReadDataFile;

std::string InspectData(const std::string& relative) {
  return std::string(MACRO_TEST_DATA_DIR) + "/inspect/" + relative;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Every case folder of a group: its data file shown as text (and as JSON where
// the folder holds expect.json) exactly as expected.
void CheckGroup(const std::string& group) {
  const std::vector<std::string> cases = host::ListFiles(InspectData(group));
  ASSERT_FALSE(cases.empty()) << InspectData(group);
  for (const std::string& c : cases) {
    SCOPED_TRACE(group + "/" + c);
    const std::string folder = InspectData(group + "/" + c + "/");
    std::string name;
    for (const std::string& f : host::ListFiles(folder)) {
      if (f.rfind("expect.", 0) != 0) name = f;
    }
    const host::DataFileInfo* info = host::DataFileForPath(name);
    ASSERT_NE(info, nullptr) << name;
    const panelsim::InspectResult r =
        panelsim::InspectBytes(name, ReadDataFile(folder + name), *info, false);
    EXPECT_EQ(panelsim::InspectText(r), ReadDataFile(folder + "expect.txt"));
    const std::string json = ReadDataFile(folder + "expect.json");
    if (!json.empty()) {
      EXPECT_EQ(panelsim::InspectJson({r}), json);
    }

    EXPECT_EQ(panelsim::InspectFailed(r), group == "reject");
    EXPECT_EQ(r.problems.empty(), group == "accept");
  }
}

TEST(PanelsimInspect, GoodFilesShowNoProblem) { CheckGroup("accept"); }
TEST(PanelsimInspect, OddFilesShowTheirWarnings) { CheckGroup("warn"); }
TEST(PanelsimInspect, BrokenFilesAreRejectedWithWhereAndWhat) { CheckGroup("reject"); }

TEST(PanelsimInspect, ThePasswordIsMaskedUnlessAskedFor) {
  const std::string bytes =
      ReadDataFile(InspectData("accept/gprs-connection/gprs_ConnectionProfileSettings.bin"));
  const host::DataFileInfo& info = host::DataFile(host::DataFileKind::ConnectionProfile);
  const panelsim::InspectResult masked = panelsim::InspectBytes("p", bytes, info, false);
  for (const std::string& shown : {panelsim::InspectText(masked), panelsim::InspectJson({masked})}) {
    EXPECT_FALSE(Contains(shown, "s3cret")) << shown;
    EXPECT_TRUE(Contains(shown, "\"********\"")) << shown;
  }
  const panelsim::InspectResult clear = panelsim::InspectBytes("p", bytes, info, true);
  EXPECT_TRUE(Contains(panelsim::InspectText(clear), "\"s3cret\""));
  EXPECT_TRUE(Contains(panelsim::InspectJson({clear}), "\"passwd\": \"s3cret\""));
}

TEST(PanelsimInspect, FilesAreKnownByNameOrByKind) {
  host::WorkDir work;
  const std::string bytes = ReadDataFile(InspectData("accept/send-settings/SMSProfile_1.bin"));
  ASSERT_TRUE(work.Write("copy.bin", bytes));
  ASSERT_TRUE(work.Write("SMSPROFILE_1.BIN", bytes));

  const panelsim::InspectResult unknown = panelsim::InspectFile("copy.bin", "", false);
  EXPECT_TRUE(Contains(unknown.error, "--as")) << unknown.error;
  EXPECT_TRUE(panelsim::InspectFailed(unknown));
  const panelsim::InspectResult as = panelsim::InspectFile("copy.bin", "send-settings", false);
  EXPECT_EQ(as.error, "");
  EXPECT_EQ(as.info->kind, host::DataFileKind::SendSettings);
  EXPECT_TRUE(as.problems.empty());
  EXPECT_EQ(panelsim::InspectFile("SMSPROFILE_1.BIN", "", false).error, "");
  EXPECT_TRUE(Contains(panelsim::InspectFile("copy.bin", "sendsettings", false).error,
                       "unknown kind"));
  EXPECT_EQ(panelsim::InspectFile("SMSProfile_2.bin", "", false).error, "no such file");
  std::filesystem::create_directory("SMSMessage.bin");
  EXPECT_EQ(panelsim::InspectFile("SMSMessage.bin", "", false).error, "not a regular file");
  EXPECT_EQ(panelsim::RunInspect(Args{"SMSMessage.bin"}), 1);

  EXPECT_EQ(panelsim::RunInspect(Args{"SMSPROFILE_1.BIN"}), 0);
  EXPECT_EQ(panelsim::RunInspect(Args{"--json", "--as", "send-settings", "copy.bin"}), 0);
  EXPECT_EQ(panelsim::RunInspect(Args{"SMSPROFILE_1.BIN", "copy.bin"}), 1);
  EXPECT_EQ(panelsim::RunInspect(Args{}), 2);
  EXPECT_EQ(panelsim::RunInspect(Args{"--as"}), 2);
  EXPECT_EQ(panelsim::RunInspect(
                Args{InspectData("reject/send-settings-mode/SMSProfile_1.bin")}),
            1);
}

// The settings written by panelsim settings, then the message, PDU and
// script files written by the real plug-ins: inspect finds nothing wrong and
// reads back the message each recipient gets.
TEST(PanelsimInspect, WhatThePluginsWriteDecodesWithoutAProblem) {
  const char* plugins[] = {"srv_compose_text", "srv_encode_pdu", "srv_build_script"};
  host::WorkDir work;
  panelsim::SettingsFiles settings;
  std::vector<std::string> errors, written;
  std::string error;
  ASSERT_TRUE(panelsim::SettingsFromToml(panelsim::kSettingsExample, "example", &settings, &errors));
  ASSERT_TRUE(panelsim::WriteSettingsFiles(work.path(), settings, &written, &error)) << error;

  host::Panel panel;
  panel.Word(DeviceLW, 5999) = 0x0003;  // events 0 and 1 active
  for (const char* name : plugins) {
    auto plugin = testing_support::LoadOrFail(testing_support::PluginPath(name));
    ASSERT_TRUE(plugin);
    plugin->Call(panel);
    ASSERT_EQ(panel.Word(DeviceLW, 6007), 0) << name;
  }

  const std::string message = "[Насосная 4]\n1. Авария насоса 1\n2. Low tank level\n";
  for (const std::string& name : work.Files()) {
    SCOPED_TRACE(name);
    const panelsim::InspectResult r = panelsim::InspectFile(name, "", false);
    ASSERT_EQ(r.error, "");
    EXPECT_TRUE(r.problems.empty()) << panelsim::InspectText(r);
  }
  std::string bytes;
  ASSERT_TRUE(work.Read("SMSMessage.bin", &bytes));
  EXPECT_EQ(host::Utf16ToUtf8(host::DecodeMessageFile(bytes).value.text), message);

  ASSERT_TRUE(work.Read("SMSMessage.txt", &bytes));
  const host::PduFrameFile frames = host::DecodePduFrames(bytes).value;
  ASSERT_EQ(frames.records.size(), 4u) << "two recipients, two parts each";
  const char* numbers[] = {"+79161234567", "+79169876543"};
  for (int recipient = 0; recipient < 2; ++recipient) {
    std::string text;
    for (int part = 0; part < 2; ++part) {
      const host::SmsSubmit& s = frames.records[2 * recipient + part].pdu.sms;
      EXPECT_EQ(s.destination.number, numbers[recipient]);
      ASSERT_TRUE(s.concat.has_value());
      EXPECT_EQ(s.concat->sequence, part + 1);
      text += s.text;
    }
    EXPECT_EQ(text, message);
  }

  ASSERT_TRUE(work.Read("SMSMessage.at", &bytes));
  const host::AtScriptFile script = host::DecodeAtScript(bytes).value;
  ASSERT_EQ(script.records.size(), 12u);
  EXPECT_EQ(script.records[4].text, "AT+CMGS=97\r\n");
  EXPECT_TRUE(script.records[5].isPdu);
  EXPECT_EQ(script.records[11].pdu.sms.destination.number, numbers[1]);
}

}  // namespace

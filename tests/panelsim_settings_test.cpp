// panelsim settings: TOML to files and back again without a change, the
// exact bytes the plug-ins read, and every wrong value refused with its key
// before any file is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../tools/panelsim/commands.h"
#include "host/files.h"
#include "host/workdir.h"
#include "sms_golden.h"

std::string panelsim::DefaultPluginDir() { return MACRO_PLUGIN_DIR; }

namespace {

using Args = std::vector<std::string>;
using testing_support::ReadDataFile;

std::string SettingsData(const std::string& name) {
  return std::string(MACRO_TEST_DATA_DIR) + "/settings/" + name;
}

panelsim::SettingsFiles Parse(const std::string& toml) {
  panelsim::SettingsFiles files;
  std::vector<std::string> errors;
  EXPECT_TRUE(panelsim::SettingsFromToml(toml, "test", &files, &errors))
      << (errors.empty() ? "" : errors.front());
  return files;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// The data files of a folder, by name.
std::vector<std::pair<std::string, std::string>> FilesOf(const host::WorkDir& dir) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::string& name : dir.Files()) {
    std::string bytes;
    EXPECT_TRUE(dir.Read(name, &bytes));
    out.emplace_back(name, bytes);
  }
  return out;
}

// hand.toml (values in any form TOML allows) writes the files; reading them
// gives full.toml exactly; full.toml writes the same bytes and reads back
// unchanged.
TEST(PanelsimSettings, TomlToFilesToTomlChangesNothing) {
  const std::string full = ReadDataFile(SettingsData("full.toml"));
  ASSERT_FALSE(full.empty());
  std::string error;
  std::vector<std::string> written, notes;
  bool failed = true;

  host::WorkDir first;
  ASSERT_TRUE(panelsim::WriteSettingsFiles(first.path(), Parse(ReadDataFile(SettingsData("hand.toml"))),
                                           &written, &error))
      << error;
  EXPECT_EQ(written.size(), 6u);
  const std::string read = panelsim::SettingsToToml(panelsim::ReadSettingsFiles(".", &notes, &failed));
  EXPECT_FALSE(failed) << Joined(notes);
  EXPECT_TRUE(notes.empty()) << Joined(notes);
  EXPECT_EQ(read, full);

  host::WorkDir second;
  ASSERT_TRUE(panelsim::WriteSettingsFiles(second.path(), Parse(full), &written, &error)) << error;
  EXPECT_EQ(FilesOf(second), FilesOf(first));
  EXPECT_EQ(panelsim::SettingsToToml(panelsim::ReadSettingsFiles(".", &notes, &failed)), full);

  const std::string example = panelsim::SettingsToToml(Parse(panelsim::kSettingsExample));
  EXPECT_EQ(panelsim::SettingsToToml(Parse(example)), example);
}

// The bytes behind a few values, as the plug-ins read them.
TEST(PanelsimSettings, FilesHoldWhatThePluginsRead) {
  host::WorkDir work;
  std::vector<std::string> written;
  std::string error;
  ASSERT_TRUE(panelsim::WriteSettingsFiles(".", Parse(ReadDataFile(SettingsData("hand.toml"))),
                                           &written, &error));
  std::string b;
  ASSERT_TRUE(work.Read("SMSProfile_1.bin", &b));
  EXPECT_EQ(b, std::string("\1\0\0\0\x0F\0\x14\0", 8));

  ASSERT_TRUE(work.Read("SMSProfile_2.bin", &b));
  ASSERT_EQ(b.size(), 92u);
  EXPECT_EQ(b.substr(0, 2), std::string("\1\0", 2));
  EXPECT_EQ(b.substr(2, 10), "9161234567");
  EXPECT_EQ(b.substr(12, 20), std::string("0B919761214365F7\0\0\0\0", 20))
      << "the address the settings store computes, for the entry in use";
  EXPECT_EQ(b.substr(32, 10), "9169876543");
  EXPECT_EQ(b.substr(42, 20), std::string(20, '\0')) << "an entry not in use gets none";

  ASSERT_TRUE(work.Read("SMSProfile_3.bin", &b));
  ASSERT_EQ(b.size(), 840u);
  EXPECT_EQ(b.substr(0, 4), std::string("\x1A\x04\x3E\x04", 4)) << "К о, low byte first";
  EXPECT_EQ(b.substr(38, 2), std::string("\"\0", 2)) << "a full title has no terminator";
  const std::size_t event15 = 40 + 50 * 15;
  EXPECT_EQ(b.substr(event15, 10), std::string("\2\0\1\0\0\0\0\0\xff\xff", 10));
  EXPECT_EQ(b.substr(event15 + 10 + 34, 6), std::string("\x3D\xD8\x00\xDE\0\0", 6))
      << "U+1F600 as a surrogate pair";

  ASSERT_TRUE(work.Read("panel_phone_book.bin", &b));
  ASSERT_EQ(b.size(), 542u);
  EXPECT_EQ(b.substr(182, 10), std::string("Petrov\0\1\xff\0", 10));

  ASSERT_TRUE(work.Read("gprs_ConnectionProfileSettings.bin", &b));
  ASSERT_EQ(b.size(), 208u);
  EXPECT_EQ(b.substr(44, 7), std::string("s3cret\0", 7));

  ASSERT_TRUE(work.Read("gprs_DataSettings.bin", &b));
  ASSERT_EQ(b.size(), 836u);
  EXPECT_EQ(b.substr(0, 4), std::string("\1\2\7\0", 4));
  EXPECT_EQ(b.substr(356, 6), std::string("\1\2bin\0", 6));
  EXPECT_EQ(b.substr(356 + 30 * 15, 18), "alarm.example:5000");
}

// Each wrong value is refused with the key it sits at.
TEST(PanelsimSettings, EveryMistakeNamesItsKey) {
  const std::string title21(21, 'T');
  std::string cyrillic21;
  for (int i = 0; i < 21; ++i) cyrillic21 += "Ж";
  const struct {
    std::string toml;
    const char* key;
  } cases[] = {
      {"[send_settings]\nsendMode = 2", "send_settings.sendMode"},
      {"[send_settings]\nsendInterval = 65536", "send_settings.sendInterval"},
      {"[send_settings]\nreplyTimeout = \"30\"", "send_settings.replyTimeout"},
      {"[send_settings]\nscheduleEnabled = -1", "send_settings.scheduleEnabled"},
      {"[send_settings]\ninterval = 5", "send_settings.interval"},
      {"[recipient_list]\ncount = 4\nnumbers = []", "recipient_list.count"},
      {"[recipient_list]\ncount = 2\nnumbers = [\"9161234567\"]", "recipient_list.count"},
      {"[recipient_list]\nnumbers = [\"12345\"]", "recipient_list.numbers[0]"},
      {"[recipient_list]\nnumbers = [\"9161234567\", \"+791612345\"]", "recipient_list.numbers[1]"},
      {"[recipient_list]\ncount = 1\nnumbers = [\"9161234567\", \"1\"]", "recipient_list.numbers[1]"},
      {"[recipient_list]\nnumbers = [\"1111111111\", \"2222222222\", \"3333333333\", \"4444444444\"]",
       "recipient_list.numbers"},
      {"[recipient_list]\nnumbers = [9161234567]", "recipient_list.numbers[0]"},
      {"[message_template]\ntitle = \"" + title21 + "\"", "message_template.title"},
      {"[message_template.event.2]\ntext = \"" + cyrillic21 + "\"", "message_template.event.2.text"},
      {"[message_template.event.16]\nenabled = true", "message_template.event.16"},
      {"[message_template.event.x]\nenabled = true", "message_template.event.x"},
      {"[message_template.event.0]\ncolour = 1", "message_template.event.0.colour"},
      {"[message_template.event.0]\nreserved = [1, 2, 3, 4, 5]", "message_template.event.0.reserved"},
      {"[message_template.event.0]\nreserved = [1, -2]", "message_template.event.0.reserved[1]"},
      {"[phone_book]\ninUse = 4", "phone_book.inUse"},
      {"[phone_book]\nentries = [\"" + std::string(181, 'x') + "\"]", "phone_book.entries[0]"},
      {"[phone_book]\nentries = [\"a\", \"Ж\"]", "phone_book.entries[1]"},
      {"[phone_book]\nentries = [{ hex = \"4G\" }]", "phone_book.entries[0].hex"},
      {"[phone_book]\nentries = [{ text = \"a\" }]", "phone_book.entries[0].text"},
      {"[gprs_connection]\napn = \"" + std::string(101, 'a') + "\"", "gprs_connection.apn"},
      {"[gprs_connection]\nconType = \"GPRS0xx\"", "gprs_connection.conType"},
      {"[gprs_connection]\npasswd = \"ab\\rAT\"", "gprs_connection.passwd"},
      {"[gprs_connection]\npassword = \"x\"", "gprs_connection.password"},
      {"[gprs_connection]\napn = \"internet;+CFUN=0\"", "gprs_connection.apn"},
      {"[gprs_data]\nheader = 65536", "gprs_data.header"},
      {"[gprs_data.entry.3]\ntext16 = \"" + std::string(17, 'x') + "\"", "gprs_data.entry.3.text16"},
      {"[gprs_data.entry.15]\ntext30 = { hex = \"" + std::string(62, 'A') + "\" }",
       "gprs_data.entry.15.text30.hex"},
      {"[gprs_data.entry.16]\nword1 = 1", "gprs_data.entry.16"},
      {"[sms]\ncount = 1", "sms"},
      {"send_settings = 1", "send_settings"},
  };
  for (const auto& c : cases) {
    panelsim::SettingsFiles files;
    std::vector<std::string> errors;
    EXPECT_FALSE(panelsim::SettingsFromToml(c.toml, "test", &files, &errors)) << c.toml;
    ASSERT_FALSE(errors.empty()) << c.toml;
    EXPECT_TRUE(errors.front().find(std::string(c.key) + ": ") != std::string::npos)
        << "want " << c.key << " in: " << Joined(errors);
    EXPECT_TRUE(errors.front().rfind("line ", 0) == 0) << errors.front();
  }
}

TEST(PanelsimSettings, AllMistakesAreReportedAtOnceAndThePasswordIsNotRepeated) {
  panelsim::SettingsFiles files;
  std::vector<std::string> errors;
  EXPECT_FALSE(panelsim::SettingsFromToml(
      "[send_settings]\nsendMode = 3\n[recipient_list]\ncount = 9\n"
      "[gprs_connection]\npasswd = \"top-secret\\u0007\"\n",
      "test", &files, &errors));
  ASSERT_EQ(errors.size(), 3u) << Joined(errors);
  EXPECT_EQ(Joined(errors).find("top-secret"), std::string::npos) << Joined(errors);

  errors.clear();
  EXPECT_FALSE(panelsim::SettingsFromToml("[send_settings\nsendMode = 1", "test", &files, &errors));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("line 1, column ", 0), 0u) << errors[0];
}

TEST(PanelsimSettings, TheCommandWritesNothingWhenAValueIsWrong) {
  host::WorkDir work;
  ASSERT_TRUE(work.Write("bad.toml", "[send_settings]\nsendMode = 1\n[phone_book]\ninUse = 5\n"));
  ASSERT_TRUE(work.Write("SMSProfile_1.bin", "keep"));
  EXPECT_EQ(panelsim::RunSettings(Args{"write", "bad.toml"}), 1);
  EXPECT_EQ(panelsim::RunSettings(Args{"check", "bad.toml"}), 1);
  std::string kept;
  ASSERT_TRUE(work.Read("SMSProfile_1.bin", &kept));
  EXPECT_EQ(kept, "keep");
  EXPECT_EQ(work.Files(), (std::vector<std::string>{"SMSProfile_1.bin", "bad.toml"}));

  ASSERT_TRUE(work.Write("good.toml", panelsim::kSettingsExample));
  EXPECT_EQ(panelsim::RunSettings(Args{"check", "good.toml"}), 0);
  EXPECT_EQ(work.Files().size(), 3u) << "check writes nothing";
  EXPECT_EQ(panelsim::RunSettings(Args{"write", "good.toml", "--dir", work.path()}), 0);
  ASSERT_TRUE(work.Read("SMSProfile_1.bin", &kept));
  EXPECT_EQ(kept.size(), 8u) << "replaced";
  EXPECT_EQ(panelsim::RunSettings(Args{"read", "-o", "back.toml"}), 0);
  std::string back;
  ASSERT_TRUE(work.Read("back.toml", &back));
  EXPECT_EQ(back, panelsim::SettingsToToml(Parse(panelsim::kSettingsExample)));
  for (const std::string& f : work.Files()) {
    EXPECT_EQ(f.find(".tmp"), std::string::npos) << "no temporary file left: " << f;
  }

  EXPECT_EQ(panelsim::RunSettings(Args{}), 2);
  EXPECT_EQ(panelsim::RunSettings(Args{"write"}), 2);
  EXPECT_EQ(panelsim::RunSettings(Args{"write", "absent.toml"}), 1);
  EXPECT_EQ(panelsim::RunSettings(Args{"example"}), 0);
}

TEST(PanelsimSettings, ReadingNamesWhatIsWrongWithAFile) {
  host::WorkDir work;
  std::vector<std::string> notes;
  bool failed = false;
  EXPECT_EQ(panelsim::RunSettings(Args{"read"}), 1) << "no file at all";

  ASSERT_TRUE(work.Write("SMSProfile_1.bin", std::string("\1\0\1\0\5", 5)));
  const panelsim::SettingsFiles files = panelsim::ReadSettingsFiles(".", &notes, &failed);
  EXPECT_TRUE(failed);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_TRUE(notes[0].find("SMSProfile_1.bin: error: offset 5, sendInterval") !=
              std::string::npos)
      << notes[0];
  ASSERT_TRUE(files.sendSettings.has_value()) << "read as the plug-ins read it";
  EXPECT_EQ(files.sendSettings->sendInterval, 5);
  EXPECT_FALSE(files.recipients.has_value());
  EXPECT_EQ(panelsim::RunSettings(Args{"read"}), 1);

  std::filesystem::create_directory("SMSProfile_2.bin");
  notes.clear();
  panelsim::ReadSettingsFiles(".", &notes, &failed);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_TRUE(notes[1].find("SMSProfile_2.bin: not a regular file") != std::string::npos)
      << notes[1];
  EXPECT_EQ(panelsim::RunSettings(Args{"write", "SMSProfile_2.bin"}), 1) << "a folder as the TOML";
}

}  // namespace

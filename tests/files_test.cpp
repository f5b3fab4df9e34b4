// The host's decoding of the plug-ins' data files: every record survives an
// encode and decode, a file cut anywhere is reported at the byte where it
// ends, and the helpers for phone numbers, UCS2 text and secrets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/files.h"
#include "host/workdir.h"
#include "sms_golden.h"

namespace {

using host::DataFileKind;
using testing_support::ReadDataFile;

std::string InspectData(const std::string& relative) {
  return std::string(MACRO_TEST_DATA_DIR) + "/inspect/" + relative;
}

// Any file of the kind decoded, with its problems only.
std::vector<host::FileProblem> Problems(DataFileKind kind, std::string_view bytes) {
  switch (kind) {
    case DataFileKind::SendSettings: return host::DecodeSendSettings(bytes).problems;
    case DataFileKind::RecipientList: return host::DecodeRecipientList(bytes).problems;
    case DataFileKind::MessageTemplate: return host::DecodeMessageTemplate(bytes).problems;
    case DataFileKind::ServerProfile: return host::DecodeServerProfile(bytes).problems;
    case DataFileKind::Message: return host::DecodeMessageFile(bytes).problems;
    case DataFileKind::PduFrames: return host::DecodePduFrames(bytes).problems;
    case DataFileKind::AtScript: return host::DecodeAtScript(bytes).problems;
    case DataFileKind::PhoneBook: return host::DecodePhoneBook(bytes).problems;
    case DataFileKind::ConnectionProfile: return host::DecodeConnectionProfile(bytes).problems;
    case DataFileKind::DataSettings: return host::DecodeDataSettings(bytes).problems;
  }
  return {};
}

std::string Describe(const std::vector<host::FileProblem>& problems) {
  std::string out;
  for (const host::FileProblem& p : problems) out += host::DescribeProblem(p) + "\n";
  return out;
}

TEST(DataFiles, EveryFileIsKnownByItsNameInAnyCaseAndByItsKey) {
  ASSERT_EQ(host::DataFiles().size(), 10u);
  for (const host::DataFileInfo& f : host::DataFiles()) {
    EXPECT_EQ(host::DataFileForPath(std::string("some/dir/") + f.fileName), &f);
    std::string upper = f.fileName;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(host::DataFileForPath("C:\\panel\\" + upper), &f) << upper;
    EXPECT_EQ(host::DataFileForKey(f.key), &f);
    EXPECT_EQ(&host::DataFile(f.kind), &f);
  }
  EXPECT_EQ(host::DataFileForPath("SMSProfile_1.bin.bak"), nullptr);
  EXPECT_EQ(host::DataFileForPath("SMSProfile_1.bin/"), nullptr);
  EXPECT_EQ(host::DataFileForKey("SMSProfile_1.bin"), nullptr);
}

// Records with every field distinct from zero come back as they went in,
// with no problem reported and the exact size of their file.
TEST(DataFiles, RecordsSurviveEncodingAndDecoding) {
  const host::SendSettings send{1, 1, 600, 65535};
  const std::string sendBytes = host::EncodeSendSettings(send);
  ASSERT_EQ(sendBytes, std::string("\1\0\1\0\x58\x02\xff\xff", 8));
  const auto sendBack = host::DecodeSendSettings(sendBytes);
  EXPECT_EQ(sendBack.value.sendInterval, 600);
  EXPECT_EQ(sendBack.value.replyTimeout, 65535);
  EXPECT_TRUE(sendBack.problems.empty()) << Describe(sendBack.problems);

  host::RecipientList list;
  list.count = 3;
  const char* numbers[] = {"9161234567", "0123456789", "9999999999"};
  for (int i = 0; i < 3; ++i) {
    list.entries[i] = {numbers[i], host::EncodePhoneAddress(numbers[i])};
  }
  const std::string listBytes = host::EncodeRecipientList(list);
  ASSERT_EQ(listBytes.size(), 92u);
  EXPECT_EQ(listBytes.substr(62, 10), "9999999999");
  EXPECT_EQ(listBytes.substr(72, 17), std::string("0B919799999999F9\0", 17));
  const auto listBack = host::DecodeRecipientList(listBytes);
  EXPECT_TRUE(listBack.problems.empty()) << Describe(listBack.problems);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(listBack.value.entries[i].number, list.entries[i].number);
    EXPECT_EQ(listBack.value.entries[i].address, list.entries[i].address);
  }

  host::MessageTemplate t;
  t.title = std::u16string(20, u'Ж');  // a full field has no terminator
  t.events[15] = {0xFFFF, {1, 2, 3, 4}, u"\U0001F600 ok"};
  const std::string templateBytes = host::EncodeMessageTemplate(t);
  ASSERT_EQ(templateBytes.size(), 840u);
  EXPECT_EQ(templateBytes.substr(790, 10), std::string("\xff\xff\1\0\2\0\3\0\4\0", 10));
  const auto templateBack = host::DecodeMessageTemplate(templateBytes);
  EXPECT_TRUE(templateBack.problems.empty()) << Describe(templateBack.problems);
  EXPECT_EQ(templateBack.value.title, t.title);
  EXPECT_EQ(templateBack.value.events[15].text, t.events[15].text);
  EXPECT_EQ(templateBack.value.events[15].reserved, t.events[15].reserved);

  host::PhoneBook book;
  book.inUse = 3;
  for (int i = 0; i < 3; ++i) book.entries[i] = std::string(180, static_cast<char>(0x80 + i));
  const auto bookBack = host::DecodePhoneBook(host::EncodePhoneBook(book));
  EXPECT_TRUE(bookBack.problems.empty()) << Describe(bookBack.problems);
  EXPECT_EQ(bookBack.value.entries, book.entries);

  host::ConnectionProfile profile;
  for (std::size_t i = 0; i < host::kConnectionFields; ++i) {
    profile.fields[i] = std::string(host::ConnectionFields()[i].length, static_cast<char>('a' + i));
  }
  const std::string profileBytes = host::EncodeConnectionProfile(profile);
  ASSERT_EQ(profileBytes.size(), 208u);
  EXPECT_EQ(profileBytes.substr(44, 32), std::string(32, 'd')) << "passwd at 44";
  const auto profileBack = host::DecodeConnectionProfile(profileBytes);
  EXPECT_TRUE(profileBack.problems.empty()) << Describe(profileBack.problems);
  EXPECT_EQ(profileBack.value.fields, profile.fields);

  host::DataSettings data;
  data.unused = 0x0102;
  data.header = 0x0304;
  data.entries[15] = {5, 6, 7, std::string(16, 'x'), std::string(30, 'y')};
  const std::string dataBytes = host::EncodeDataSettings(data);
  ASSERT_EQ(dataBytes.size(), 836u);
  EXPECT_EQ(dataBytes.substr(34, 2), std::string("\5\0", 2)) << "word1 of entry 15";
  EXPECT_EQ(dataBytes.substr(806, 30), std::string(30, 'y'));
  const auto dataBack = host::DecodeDataSettings(dataBytes);
  EXPECT_EQ(dataBack.value.unused, 0x0102);
  EXPECT_EQ(dataBack.value.header, 0x0304);
  EXPECT_EQ(dataBack.value.entries[15].word3, 7);
  EXPECT_EQ(dataBack.value.entries[15].text16, data.entries[15].text16);
}

// Every good file of the inspect data cut short at every length: decoding
// stays inside the bytes given (the sanitizers watch) and reports an error;
// for a fixed-size record the error sits at the very byte where the file ends.
TEST(DataFiles, AFileCutAnywhereIsAnErrorWhereItEnds) {
  int files = 0;
  for (const std::string& c : host::ListFiles(InspectData("accept"))) {
    for (const std::string& name : host::ListFiles(InspectData("accept/" + c))) {
      const host::DataFileInfo* info = host::DataFileForPath(name);
      if (info == nullptr) continue;
      ++files;
      const std::string whole = ReadDataFile(InspectData("accept/" + c + "/" + name));
      ASSERT_TRUE(Problems(info->kind, whole).empty()) << name;
      for (std::size_t n = 0; n < whole.size(); ++n) {
        const auto problems = Problems(info->kind, std::string_view(whole).substr(0, n));
        ASSERT_TRUE(host::HasErrors(problems)) << name << " cut to " << n;
        if (info->size == 0) continue;
        EXPECT_EQ(problems.front().offset, n) << name << "\n" << Describe(problems);
      }
    }
  }
  EXPECT_EQ(files, 10) << "one good file of each kind";
}

TEST(DataFiles, PhoneAddressesAsTheSettingsStoreEncodesThem) {
  const struct {
    const char* number;
    const char* address;
  } cases[] = {
      {"9161234567", "0B919761214365F7"},  // ten digits: length 0B, F before the last digit
      {"123456789", "0A911732547698"},     // nine: length 0A, no filler
      {"", "0191F7"},                      // nothing but the prefix
      {"12345678901234", "0B911732547698F0"},  // at most ten characters are taken
      {"12ab", "059117a2Fb"},              // no character is checked
  };
  for (const auto& c : cases) EXPECT_EQ(host::EncodePhoneAddress(c.number), c.address) << c.number;
  EXPECT_TRUE(host::IsTenDigits("0123456789"));
  for (const char* bad : {"", "012345678", "01234567890", "012345678a", "+912345678"}) {
    EXPECT_FALSE(host::IsTenDigits(bad)) << bad;
  }
}

TEST(DataFiles, Ucs2TextBecomesUtf8WithLoneSurrogatesReplaced) {
  EXPECT_EQ(host::Utf16ToUtf8(u"Ab\u0416\u20AC"), "Ab\u0416\u20AC");
  EXPECT_EQ(host::Utf16ToUtf8(u"\U0001F600"), "\U0001F600");
  const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
  EXPECT_EQ(host::Utf16ToUtf8(lone), "a\uFFFDb\uFFFD");
  const char16_t high[] = {0xD83D, 0};
  EXPECT_EQ(host::Utf16ToUtf8(high), "\uFFFD") << "a high surrogate at the end";

  std::u16string units;
  ASSERT_TRUE(host::Utf8ToUtf16("\u0416\U0001F600", &units));
  EXPECT_EQ(units, u"\u0416\U0001F600");
  EXPECT_EQ(units.size(), 3u);
  EXPECT_FALSE(host::Utf8ToUtf16("\xC3", &units)) << "cut UTF-8";
  EXPECT_FALSE(host::Utf8ToUtf16("\xED\xA0\x80", &units)) << "an encoded surrogate";
}

TEST(DataFiles, PasswordCommandsAreMaskedWhereverTheyAppear) {
  const struct {
    const char* text;
    const char* shown;
  } cases[] = {
      {"at^sics=0,passwd,s3cret\r\n", "at^sics=0,passwd,********\r\n"},
      {"AT^SICS=1,PASSWD,x", "AT^SICS=1,PASSWD,********"},
      // the modem's echo and its answer, as LW 100..199 holds them
      {"at^sics=0,passwd,s3cret\r\r\nOK\r\n", "at^sics=0,passwd,********\r\r\nOK\r\n"},
      {"1 -> at^sics=0,passwd,a\\r\\n\n2 -> at^sics=0,apn,b\\r\\n\n",
       "1 -> at^sics=0,passwd,********\n2 -> at^sics=0,apn,b\\r\\n\n"},
      {"at^sics=0,passwd,\r\n", "at^sics=0,passwd,\r\n"},  // nothing to hide: nothing shown
      {"at^sics=0,user,passwd,x\r\n", "at^sics=0,user,passwd,x\r\n"},
      {"^sics=", "^sics="},
      {"at^sics=0,passwd", "at^sics=0,passwd"},
  };
  for (const auto& c : cases) EXPECT_EQ(host::MaskProfileSecrets(c.text), c.shown) << c.text;
}

}  // namespace

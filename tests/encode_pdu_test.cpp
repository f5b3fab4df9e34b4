// srv_encode_pdu and srv_encode_pdu_alt: the PDU frame file from the message
// and the recipients. Every frame file written here is also decoded by an
// independent decoder after the run (check_pdus_with_gammu.py).
#include <gtest/gtest.h>

#include "macro/codes.h"
#include "pdu_dump.h"
#include "plugin_fixture.h"
#include "server_files.h"
#include "sweep.h"

namespace {

using namespace testing_support;

constexpr int kError = 6007;

struct Phone {
  const char* number;
  const char* address;
  const char* international;
};

const Phone kPhones[] = {
    {"9123456789", "0B919721436587F9", "+79123456789"},
    {"812345678", "0A918721436587", "+7812345678"},
    {"0123456789", "0B910721436587F9", "+70123456789"},
};

std::string Recipients(int count, int entries = 3) {
  std::vector<Recipient> list;
  for (int i = 0; i < entries; ++i) list.push_back({kPhones[i].number, kPhones[i].address});
  return RecipientListFile(count, list);
}

std::u16string Repeat(const std::u16string& unit, int n) {
  std::u16string s;
  for (int i = 0; i < n; ++i) s += unit;
  return s;
}

// Hex of a UCS2 text, most significant byte first.
std::string Hex(const std::u16string& text) {
  static const char* d = "0123456789ABCDEF";
  std::string h;
  for (char16_t u : text) {
    for (int shift : {12, 8, 4, 0}) h += d[(u >> shift) & 0xF];
  }
  return h;
}

class Encoder : public PluginTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    LoadPlugin(GetParam());
    if (IsSkipped()) return;
    alt = std::string(GetParam()) == "srv_encode_pdu_alt";
    Canary();
    for (int i = 0; i < 8; ++i) panel.Word(DeviceLW, 6000 + i) = static_cast<std::uint16_t>(0x100 + i);
  }

  // One run; returns the records of SMSMessage.txt.
  std::vector<std::string> Run(const std::u16string* message, const std::string& recipients) {
    if (message) {
      EXPECT_TRUE(work.Write("SMSMessage.bin", MessageFile(*message)));
    }
    if (!recipients.empty()) {
      EXPECT_TRUE(work.Write("SMSProfile_2.bin", recipients));
    }
    Remember();
    host::ResetCalls();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn({alt ? Window{DeviceLW, 6000, 8} : Window{DeviceLW, kError, 1}});
    ExpectNothingHeld();
    std::string bytes;
    frames.clear();
    if (!work.Read("SMSMessage.txt", &bytes)) return {};
    frames = bytes;
    if (Error() == 0) {
      EXPECT_EQ((bytes.size() - 2) % 200, 0u);
    }
    return FrameRecords(bytes, &count);
  }

  // Runs and leaves the result for the independent decoder.
  std::vector<std::string> RunAndDump(const std::string& name, const std::u16string& message,
                                      int recipients) {
    auto records = Run(&message, Recipients(recipients));
    std::vector<std::string> numbers;
    for (int i = 0; i < recipients; ++i) numbers.push_back(kPhones[i].international);
    DumpFrames(std::string(GetParam()) + "." + name, frames, Utf8(message), numbers);
    return records;
  }

  std::uint16_t Error() { return panel.Word(DeviceLW, kError); }
  bool alt = false;
  std::string frames;
  std::uint16_t count = 0;
};

INSTANTIATE_TEST_SUITE_P(Encoders, Encoder,
                         ::testing::Values("srv_encode_pdu", "srv_encode_pdu_alt"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(Encoder, TwoCharactersToOneRecipient) {
  std::u16string ab = u"AB";
  auto records = Run(&ab, RecipientListFile(1, {{"0123456789", "0B910721436587F9"}}));
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(count, 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], "0001000B910721436587F900080400410042");
  EXPECT_EQ(frames.size(), 202u);
}

// Fields of a PDU whose address is kPhones[0]'s.
struct Fields {
  std::string first, mr, udl, udh, text;
};

Fields Split(const std::string& pdu) {
  Fields f;
  EXPECT_EQ(pdu.substr(0, 2), "00");
  f.first = pdu.substr(2, 2);
  f.mr = pdu.substr(4, 2);
  EXPECT_EQ(pdu.substr(6, 16), kPhones[0].address);
  EXPECT_EQ(pdu.substr(22, 4), "0008");
  f.udl = pdu.substr(26, 2);
  std::size_t at = 28;
  if (f.first == "41") {
    f.udh = pdu.substr(at, 12);
    at += 12;
  }
  f.text = pdu.substr(at);
  return f;
}

TEST_P(Encoder, PartsOfThirtyNineCharacters) {
  const std::u16string a39 = Repeat(u"Ж", 39);
  struct Case {
    const char* name;
    std::u16string message;
    std::vector<std::string> udl;
    std::vector<std::size_t> textChars;
  } cases[] = {
      {"39", a39, {"4E"}, {156}},
      {"40", a39 + u"x", {"54", "08"}, {156, 4}},
      {"78", a39 + a39, {"54", "54"}, {156, 156}},
      {"79", a39 + a39 + u"€", {"54", "54", "08"}, {156, 156, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto records = RunAndDump(std::string("split") + c.name, c.message, 1);
    EXPECT_EQ(Error(), 0);
    std::size_t parts = c.udl.size();
    ASSERT_EQ(records.size(), parts);
    EXPECT_EQ(count, parts);
    std::string ref;
    std::string allText;
    for (std::size_t k = 0; k < parts; ++k) {
      Fields f = Split(records[k]);
      EXPECT_EQ(f.first, parts == 1 ? "01" : "41");
      char mr[8];
      std::snprintf(mr, sizeof mr, "%02X", static_cast<unsigned>(k));
      EXPECT_EQ(f.mr, mr) << "the reference field counts the parts";
      EXPECT_EQ(f.udl, c.udl[k]);
      EXPECT_EQ(f.text.size(), c.textChars[k]);
      allText += f.text;
      if (parts > 1) {
        EXPECT_EQ(f.udh.substr(0, 6), "050003");
        if (k == 0) ref = f.udh.substr(6, 2);
        EXPECT_EQ(f.udh.substr(6, 2), ref) << "one reference for all parts";
        char tail[16];
        std::snprintf(tail, sizeof tail, "%02X%02X", static_cast<unsigned>(parts & 0xFF),
                      static_cast<unsigned>((k + 1) & 0xFF));
        EXPECT_EQ(f.udh.substr(8), tail);
      }
    }
    EXPECT_EQ(allText, Hex(c.message));
    if (!ref.empty()) {
      int r = std::stoi(ref, nullptr, 16);
      EXPECT_TRUE(r >= 1 && r <= 250) << ref;
    }
  }
}

TEST_P(Encoder, UnitsWithHighBytesEncodeMostSignificantFirst) {
  std::u16string text = u"ё€A";
  auto records = RunAndDump("highbytes", text, 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(Split(records[0]).text, "045120AC0041");
}

TEST_P(Encoder, ThreeRecipientsTimesTwoParts) {
  std::u16string message = U16("Пожар в цехе номер 3, давление 12 бар, насос остановлен");
  ASSERT_GT(message.size(), 39u);
  ASSERT_LE(message.size(), 78u);
  auto records = RunAndDump("three_by_two", message, 3);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(count, 6);
  ASSERT_EQ(records.size(), 6u);
  for (int r = 0; r < 3; ++r) {
    for (int k = 0; k < 2; ++k) {
      EXPECT_EQ(records[2 * r + k].substr(6, std::strlen(kPhones[r].address)), kPhones[r].address);
    }
    std::size_t at = 6 + std::strlen(kPhones[r].address) + 6 + 6;
    EXPECT_EQ(records[2 * r].substr(at, 2), records[2 * r + 1].substr(at, 2));
  }
}

TEST_P(Encoder, NoRecipientsLeavesTheCountWordAlone) {
  std::u16string m = u"hello";
  auto records = Run(&m, Recipients(0));
  EXPECT_EQ(Error(), 0);
  EXPECT_TRUE(records.empty());
  EXPECT_EQ(frames, std::string("\0\0", 2));
}

TEST_P(Encoder, ACountAboveThreeIsTreatedAsThree) {
  auto records = RunAndDump("count_nine", u"x", 3);
  std::u16string m = u"x";
  records = Run(&m, Recipients(9));
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(records.size(), 3u);
}

TEST_P(Encoder, InputFailuresAndTheirCodes) {
  const std::u16string empty;
  const std::u16string hello = u"hello";
  const std::u16string tooLong(9946, u'a');
  std::string noNul = RecipientListFile(1, {{"1", std::string(20, 'A')}});
  std::string seventeen = RecipientListFile(2, {{"1", "0B919721436587F9"}, {"2", "0B919721436587F91"}});
  struct Case {
    const char* name;
    const std::u16string* message;  // nullptr: no message file
    std::string recipients;         // "": no recipient file
    std::uint16_t code;
    bool messageKept;  // the variant consumes the message once it is loaded
  } cases[] = {
      {"message missing", nullptr, Recipients(1), ErrInputRead, true},
      {"message empty", &empty, Recipients(1), ErrOutOfMemory, true},
      {"more than 255 parts", &tooLong, Recipients(1), ErrInputRead, true},
      {"recipients missing", &hello, "", ErrRecipientsRead, false},
      {"address without NUL", &hello, noNul, ErrRecipientsRead, false},
      {"address of 17 characters", &hello, seventeen, ErrRecipientsRead, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove("SMSMessage.bin");
    std::remove("SMSProfile_2.bin");
    ASSERT_TRUE(work.Write("SMSMessage.txt", "previous frames"));
    Run(c.message, c.recipients);
    EXPECT_EQ(Error(), c.code);
    EXPECT_EQ(frames, "previous frames") << "the frame file is not touched";
    std::string bytes;
    if (c.message != nullptr) {
      EXPECT_EQ(work.Read("SMSMessage.bin", &bytes), c.messageKept || !alt);
    }
  }
}

TEST_P(Encoder, TheLongestMessageMakes255Parts) {
  std::u16string longest(9945, u'я');
  auto records = Run(&longest, Recipients(1));
  EXPECT_EQ(Error(), 0);
  ASSERT_EQ(records.size(), 255u);
  EXPECT_EQ(records[254].substr(36, 4), "FFFF") << "total and part number 255";
}

// Every allocation, file operation and register access failed in turn:
// the frames, or a documented code with the previous frames intact unless
// the new count word was written.
TEST_P(Encoder, UnderFaults) {
  FaultPoints points = SweepEveryFault(GetParam(), panel, [&](const SweepRun& run) {
    std::u16string message = Repeat(u"Щ", 45);
    ASSERT_TRUE(run.work->Write("SMSMessage.bin", MessageFile(message)));
    ASSERT_TRUE(run.work->Write("SMSProfile_2.bin", Recipients(2)));
    ASSERT_TRUE(run.work->Write("SMSMessage.txt", "previous frames"));
    for (int i = 0; i < 8; ++i) panel.Word(DeviceLW, 6000 + i) = static_cast<std::uint16_t>(0x100 + i);
    Remember();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn({alt ? Window{DeviceLW, 6000, 8} : Window{DeviceLW, kError, 1}});
    std::uint16_t code = Error();
    std::string bytes, kept;
    ASSERT_TRUE(run.work->Read("SMSMessage.txt", &bytes));
    bool messageLeft = run.work->Read("SMSMessage.bin", &kept);
    std::uint16_t n = 0;
    if (panel.WordsChangedSince(words).empty()) {
      // Block unreadable: nothing done. Result unwritable: the frames are there.
      ASSERT_TRUE(RegisterFault(run) && FaultFired(run));
      if (run.kind == FaultKind::RegisterRead) {
        EXPECT_EQ(bytes, "previous frames");
        EXPECT_TRUE(messageLeft);
      } else {
        EXPECT_EQ(FrameRecords(bytes, &n).size(), 4u);
      }
      return;
    }
    if (code == 0) {
      EXPECT_EQ(FrameRecords(bytes, &n).size(), 4u);
      EXPECT_EQ(n, 4);
      // The variant consumes the message; a failed removal is ignored.
      if (alt && messageLeft) {
        EXPECT_EQ(run.kind, FaultKind::File);
      }
      if (!alt) {
        EXPECT_TRUE(messageLeft);
      }
      return;
    }
    EXPECT_TRUE(FaultFired(run));
    if (alt) {
      EXPECT_EQ(panel.Word(DeviceLW, 6003), 0x103) << "FramesReady only after success";
    }
    switch (code) {
      case ErrInputRead: case ErrOutOfMemory:
        EXPECT_EQ(bytes, "previous frames") << code;
        EXPECT_TRUE(messageLeft) << "a message that was not loaded is not consumed";
        break;
      case ErrRecipientsRead: case ErrFileCreate:
        EXPECT_EQ(bytes, "previous frames") << code;
        break;
      case ErrOutputWrite:
        EXPECT_EQ(GetU16At(bytes, 0), 4) << "the new count word, then what was appended";
        break;
      default:
        ADD_FAILURE() << "undocumented code " << code;
    }
  });
  EXPECT_GT(points.alloc, 0);
  EXPECT_GT(points.file, 0);
  EXPECT_EQ(points.read > 0, alt);
  EXPECT_GT(points.write, 0);
}

class AltEncoder : public Encoder {};

INSTANTIATE_TEST_SUITE_P(Alt, AltEncoder, ::testing::Values("srv_encode_pdu_alt"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(AltEncoder, ConsumesTheMessageAndSetsFramesReady) {
  std::u16string m = u"hi";
  Run(&m, Recipients(1));
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(panel.Word(DeviceLW, 6003), 0x103 | FramesReady);
  for (int a : {6000, 6001, 6002, 6004, 6005, 6006}) {
    EXPECT_EQ(panel.Word(DeviceLW, a), 0x100 + (a - 6000)) << a;
  }
  std::string bytes;
  EXPECT_FALSE(work.Read("SMSMessage.bin", &bytes));
  // A second run without a new message.
  Run(nullptr, "");
  EXPECT_EQ(Error(), ErrInputRead);
  EXPECT_NE(panel.Word(DeviceLW, 6003) & FramesReady, 0) << "FramesReady stays set";
}

TEST_P(AltEncoder, UnreadableControlBlockTouchesNothing) {
  ASSERT_TRUE(work.Write("SMSMessage.bin", MessageFile(u"hi")));
  ASSERT_TRUE(work.Write("SMSProfile_2.bin", Recipients(1)));
  panel.readFault = {1, false, 0};
  Remember();
  EXPECT_EQ(Call(), 0);
  EXPECT_TRUE(panel.WordsChangedSince(words).empty());
  EXPECT_EQ(work.Files(), (std::vector<std::string>{"SMSMessage.bin", "SMSProfile_2.bin"}));
}

TEST_P(Encoder, ErrorWordOnlyEncoderWritesLw6007Alone) {
  if (alt) GTEST_SKIP() << "the variant writes the whole block";
  panel.Word(DeviceLW, kError) = 0x77;
  std::u16string m = u"hi";
  Run(&m, Recipients(1));
  EXPECT_EQ(Error(), 0);
  ASSERT_EQ(panel.log.size(), 1u);
  EXPECT_TRUE(panel.log[0].write);
  EXPECT_EQ(panel.log[0].address, kError);
}

}  // namespace

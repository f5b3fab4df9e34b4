// srv_build_script and srv_build_script_alt: the AT script from the PDU
// frame file.
#include <gtest/gtest.h>

#include "macro/codes.h"
#include "plugin_fixture.h"
#include "server_files.h"
#include "sweep.h"

namespace {

using namespace testing_support;

constexpr int kError = 6007;
const std::string kPdu36 = "0001000B910721436587F900080400410042";

std::string FrameFile(const std::vector<std::string>& records, int announced = -1) {
  return RecordFile(records, announced);
}

// Records of the script file, each the full 200 bytes.
std::vector<std::string> ScriptRecords(const std::string& bytes, std::uint16_t* count) {
  *count = GetU16At(bytes, 0);
  std::vector<std::string> r;
  for (std::size_t at = 2; at + 200 <= bytes.size(); at += 200) r.push_back(bytes.substr(at, 200));
  return r;
}

std::string Padded(const std::string& text) {
  std::string r = text.substr(0, 200);
  r.resize(200, '\0');
  return r;
}

class Builder : public PluginTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    LoadPlugin(GetParam());
    if (IsSkipped()) return;
    alt = std::string(GetParam()) == "srv_build_script_alt";
    Canary();
    for (int i = 0; i < 8; ++i) panel.Word(DeviceLW, 6000 + i) = static_cast<std::uint16_t>(0x100 + i);
  }

  std::vector<std::string> Run(const std::string& frames) {
    if (!frames.empty()) {
      EXPECT_TRUE(work.Write("SMSMessage.txt", frames));
    }
    Remember();
    host::ResetCalls();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn({alt ? Window{DeviceLW, 6000, 8} : Window{DeviceLW, kError, 1}});
    ExpectNothingHeld();
    script.clear();
    if (!work.Read("SMSMessage.at", &script)) return {};
    return ScriptRecords(script, &count);
  }

  std::uint16_t Error() { return panel.Word(DeviceLW, kError); }
  bool alt = false;
  std::string script;
  std::uint16_t count = 0;
};

INSTANTIATE_TEST_SUITE_P(Builders, Builder,
                         ::testing::Values("srv_build_script", "srv_build_script_alt"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(Builder, OnePduGivesSixRecords) {
  auto records = Run(FrameFile({kPdu36}));
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(count, 6);
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(script.size(), 2u + 6 * 200);
  const std::string want[] = {"AT\r\n", "ATE0\r\n", "AT+CMGF=0\r\n", "AT+CSCS=\"UCS2\"\r\n",
                              "AT+CMGS=17\r\n", kPdu36 + "\x1A"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(records[i], Padded(want[i])) << i;
}

TEST_P(Builder, SixPdusGiveSixteenRecordsInOrder) {
  std::vector<std::string> pdus;
  for (int i = 0; i < 6; ++i) pdus.push_back(kPdu36 + std::string(2 * (i + 1), '0'));
  auto records = Run(FrameFile(pdus));
  EXPECT_EQ(count, 16);
  ASSERT_EQ(records.size(), 16u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(records[4 + 2 * i], Padded("AT+CMGS=" + std::to_string(17 + i + 1) + "\r\n"));
    EXPECT_EQ(records[5 + 2 * i], Padded(pdus[i] + "\x1A"));
  }
}

TEST_P(Builder, A198CharacterPduFillsItsRecordButOneByte) {
  std::string pdu = "00" + std::string(196, 'A');
  auto records = Run(FrameFile({pdu}));
  EXPECT_EQ(Error(), 0);
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[4], Padded("AT+CMGS=98\r\n"));
  EXPECT_EQ(records[5], pdu + "\x1A" + std::string(1, '\0'));
}

TEST_P(Builder, FrameFilesThatCannotBeSent) {
  std::string unterminated = FrameFile({std::string(200, 'A')});
  struct Case {
    const char* name;
    std::string frames;  // "": no file
    std::uint16_t code;
  } cases[] = {
      {"missing", "", ErrInputRead},
      {"no records", FrameFile({}), ErrNoContent},
      {"more records than the file size holds", FrameFile({kPdu36}, 328), ErrInputRead},
      {"record without NUL", unterminated, ErrInputRead},
      {"empty record", FrameFile({kPdu36, ""}), ErrInputRead},
      {"record shorter than a PDU", FrameFile({"0001"}), ErrInputRead},
      {"odd number of digits", FrameFile({kPdu36 + "0"}), ErrInputRead},
      {"not hex", FrameFile({kPdu36 + "\r\nAT"}), ErrInputRead},
      {"count above the records present", FrameFile({kPdu36}, 2), ErrInputRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove("SMSMessage.txt");
    ASSERT_TRUE(work.Write("SMSMessage.at", "previous script"));
    Run(c.frames);
    EXPECT_EQ(Error(), c.code);
    EXPECT_EQ(script, "previous script") << "the script is not touched";
    std::string bytes;
    if (!c.frames.empty()) {
      EXPECT_TRUE(work.Read("SMSMessage.txt", &bytes)) << "a rejected frame file stays";
    }
  }
}

// Every allocation, file operation and register access failed in turn:
// either the script or a documented code, the files as the code says.
TEST_P(Builder, UnderFaults) {
  FaultPoints points = SweepEveryFault(GetParam(), panel, [&](const SweepRun& run) {
    ASSERT_TRUE(run.work->Write("SMSMessage.txt", FrameFile({kPdu36, kPdu36})));
    ASSERT_TRUE(run.work->Write("SMSMessage.at", "previous script"));
    for (int i = 0; i < 8; ++i) panel.Word(DeviceLW, 6000 + i) = static_cast<std::uint16_t>(0x100 + i);
    Remember();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn({alt ? Window{DeviceLW, 6000, 8} : Window{DeviceLW, kError, 1}});
    std::uint16_t code = Error();
    std::string bytes, frames;
    ASSERT_TRUE(run.work->Read("SMSMessage.at", &bytes));
    bool framesLeft = run.work->Read("SMSMessage.txt", &frames);
    std::uint16_t n = 0;
    if (RegisterFault(run) && FaultFired(run)) {
      // The block could not be read (the variant then does nothing) or the
      // result could not be written (the work is done, no trace of it).
      EXPECT_TRUE(panel.WordsChangedSince(words).empty()) << "a failed access leaves the registers";
      if (run.kind == FaultKind::RegisterRead) {
        EXPECT_EQ(bytes, "previous script");
        EXPECT_TRUE(framesLeft);
        return;
      }
      EXPECT_EQ(ScriptRecords(bytes, &n).size(), 8u);
      EXPECT_EQ(n, 8);
      EXPECT_EQ(framesLeft, !alt);
      return;
    }
    if (code == 0) {
      EXPECT_EQ(ScriptRecords(bytes, &n).size(), 8u);
      EXPECT_EQ(n, 8);
      // The variant removes the frames once they are loaded; a failed
      // removal is ignored.
      if (!alt || framesLeft) {
        EXPECT_TRUE(!alt || run.kind == FaultKind::File);
      }
      if (alt) {
        EXPECT_EQ(panel.Word(DeviceLW, 6005), StateScriptReady);
      }
      return;
    }
    EXPECT_TRUE(FaultFired(run));
    if (alt) {
      EXPECT_EQ(panel.Word(DeviceLW, 6005), 0x105) << "a failed run leaves the state";
    }
    switch (code) {
      case ErrInputRead: case ErrOutOfMemory:
        // Nothing was loaded: the frames and the old script stay.
        EXPECT_EQ(bytes, "previous script") << code;
        EXPECT_TRUE(framesLeft) << code;
        break;
      case ErrOutputWrite:
        // Nothing usable was announced: the old script, or a new one counting 0.
        EXPECT_TRUE(bytes == "previous script" || GetU16At(bytes, 0) == 0) << code;
        break;
      case ErrFileUpdateOpen: case ErrFileMissing: case ErrFileSeek:
        // The append could not start (an empty script counting 0), or only
        // the final count patch failed: all records are there and the count
        // is 0, or 8 when only the close after a complete patch failed.
        if (bytes.size() == 2) {
          EXPECT_EQ(GetU16At(bytes, 0), 0) << code;
        } else {
          EXPECT_EQ(bytes.size(), 2u + 8 * 200) << code;
          EXPECT_TRUE(GetU16At(bytes, 0) == 0 || GetU16At(bytes, 0) == 8) << code;
        }
        break;
      default:
        ADD_FAILURE() << "undocumented code " << code;
    }
  });
  EXPECT_GT(points.alloc, 0);
  EXPECT_GT(points.file, 0);
  EXPECT_GT(points.write, 0);
  EXPECT_EQ(points.read > 0, alt) << "only the variant reads the control block";
}

TEST_P(Builder, ControlBlockHandover) {
  panel.Word(DeviceLW, kError) = 0x77;
  Run(FrameFile({kPdu36}));
  EXPECT_EQ(Error(), 0);
  std::string bytes;
  if (!alt) {
    EXPECT_TRUE(work.Read("SMSMessage.txt", &bytes)) << "the plain builder keeps its input";
    return;
  }
  EXPECT_FALSE(work.Read("SMSMessage.txt", &bytes)) << "the variant consumes its input";
  EXPECT_EQ(panel.Word(DeviceLW, 6005), StateScriptReady);
  EXPECT_EQ(panel.Word(DeviceLW, 6006), 0);
  EXPECT_EQ(panel.Word(DeviceLW, 6003), 0x103 | ScriptReady);
  for (int a : {6000, 6001, 6002, 6004}) EXPECT_EQ(panel.Word(DeviceLW, a), 0x100 + (a - 6000));
  // A second run without new frames: 235, state and flags as the first run left them.
  Run("");
  EXPECT_EQ(Error(), ErrInputRead);
  EXPECT_EQ(panel.Word(DeviceLW, 6005), StateScriptReady);
  EXPECT_EQ(panel.Word(DeviceLW, 6003), 0x103 | ScriptReady);
}

TEST_P(Builder, NoRecordsLeavesTheVariantsStateAlone) {
  Run(FrameFile({}));
  EXPECT_EQ(Error(), ErrNoContent);
  EXPECT_EQ(panel.Word(DeviceLW, 6005), alt ? 0x105 : 0x105);
  std::string bytes;
  EXPECT_TRUE(work.Read("SMSMessage.txt", &bytes));
}

}  // namespace

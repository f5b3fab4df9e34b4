// net_send_connection: one "at^sics=0,<tag>,<value>\r\n" command per call from
// "gprs_ConnectionProfileSettings.bin" into LW 0..99, the tick into LW 1007,
// the transmit flag raised and the macro vector (record word 1) moved from bit
// 12 to bit 13.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/faults.h"
#include "macro/codes.h"
#include "plugin_fixture.h"
#include "sweep.h"

namespace {

using host::CallClass;
using testing_support::FaultFired;
using testing_support::RegisterFault;
using testing_support::SweepRun;

constexpr char kFile[] = "gprs_ConnectionProfileSettings.bin";
constexpr std::uint16_t kBit12 = 0x1000;
constexpr std::uint16_t kBit13 = 0x2000;
constexpr std::uint32_t kTicks = 0x12345678;

struct Field {
  const char* tag;
  std::size_t offset;
  std::size_t length;
};

// The file's fields in the order of profile commands 1 to 7.
const Field kFields[] = {{"conType", 0, 6},   {"inactTo", 6, 6}, {"user", 12, 32},
                         {"passwd", 44, 32},  {"apn", 76, 100},  {"dns1", 176, 16},
                         {"dns2", 192, 16}};

// A profile file whose field i holds texts[i], cut or NUL-padded to its length.
std::string ProfileFile(const std::vector<std::string>& texts) {
  std::string file(208, '\0');
  for (std::size_t i = 0; i < texts.size(); ++i) {
    file.replace(kFields[i].offset, kFields[i].length,
                 (texts[i] + std::string(kFields[i].length, '\0')).substr(0, kFields[i].length));
  }
  return file;
}

// Every field full, without a NUL, each of distinct printable characters.
std::vector<std::string> FullFields() {
  std::vector<std::string> texts;
  for (const Field& f : kFields) {
    std::string t;
    for (std::size_t k = 0; k < f.length; ++k) {
      t.push_back(static_cast<char>('!' + (f.offset + k) % 94));
    }
    texts.push_back(t);
  }
  return texts;
}

class SendConnection : public testing_support::PluginTest {
 protected:
  void SetUp() override {
    LoadPlugin("net_send_connection");
    if (IsSkipped() || HasFatalFailure()) return;
    // Count only this test's calls: unloading an earlier copy of the plug-in
    // releases what its start-up code allocated before the counting began.
    host::ResetCalls();
    Prepare(1, kBit12);
  }

  void Prepare(std::uint16_t command, std::uint16_t vector) {
    panel.Fill(testing_support::kCanaryWord, testing_support::kCanaryBit);
    panel.SetTicks(kTicks);
    panel.transmitFlag = 0;
    for (int k = 0; k < 8; ++k) panel.record[k] = 0x3CC3;
    panel.record[0] = command;
    panel.record[1] = vector;
    panel.log.clear();
    Remember();
  }

  // LW 0..99 as 200 bytes.
  std::string CommandArea() {
    std::string bytes;
    for (int k = 0; k < 100; ++k) {
      std::uint16_t w = panel.Word(DeviceLW, k);
      bytes.push_back(static_cast<char>(w & 0xFF));
      bytes.push_back(static_cast<char>(w >> 8));
    }
    return bytes;
  }

  // The command placed, handed on to macro 13, nothing else touched.
  void ExpectPlaced(const std::string& command, const std::string& context) {
    std::string want = command;
    want.resize(200, '\0');
    EXPECT_EQ(CommandArea(), want) << context;
    EXPECT_EQ(panel.GetPair(DeviceLW, 1007), kTicks) << context;
    EXPECT_EQ(panel.transmitFlag, 1) << context;
    EXPECT_EQ(panel.record[1], kBit13) << context;
    ExpectChangesOnlyIn({{DeviceLW, 0, 100}, {DeviceLW, 1007, 2}});
  }

  // Nothing written: registers, flag and macro vector as they were.
  void ExpectNoEffect(std::uint16_t vector, const std::string& context) {
    for (const auto& a : panel.log) EXPECT_FALSE(a.write) << context << ": wrote " << a.address;
    ExpectChangesOnlyIn({});
    EXPECT_EQ(panel.transmitFlag, 0) << context;
    EXPECT_EQ(panel.record[1], vector) << context;
  }
};

TEST_F(SendConnection, EachProfileCommandSendsItsWholeField) {
  const std::vector<std::string> texts = FullFields();
  ASSERT_TRUE(work.Write(kFile, ProfileFile(texts)));
  for (std::uint16_t command = 1; command <= 7; ++command) {
    Prepare(command, kBit12);
    EXPECT_EQ(Call(), 0);
    const Field& f = kFields[command - 1];
    ExpectPlaced(std::string("at^sics=0,") + f.tag + "," + texts[command - 1] + "\r\n",
                 "command " + std::to_string(command));
    EXPECT_EQ(panel.record[0], command) << "the profile command is never changed";
    EXPECT_EQ(panel.record[2], 0x3CC3) << "only words 0 and 1 belong to the macro";
  }
  // The longest command: apn with 100 characters.
  Prepare(GprsProfileApn, kBit12);
  Call();
  EXPECT_EQ(panel.GetText(DeviceLW, 0, 100).size(), 116u);
}

TEST_F(SendConnection, AFieldEndsAtItsFirstNulOrControlCharacter) {
  struct Case {
    const char* name;
    std::string user;
    std::string sent;
  } cases[] = {
      {"NUL", std::string("bob\0xyz", 7), "bob"},
      {"CR LF and a command", "bob\r\nAT+CMGS=1", "bob"},
      {"Ctrl-Z", "bob\x1a", "bob"},
      {"tab", "b\tob", "b"},
      {"DEL", "bo\x7f" "b", "bo"},
      {"control character first", "\x01secret", ""},
      {"empty", "", ""},
      {"printable punctuation kept", "a \"b\",~", "a \"b\",~"},
      {"8-bit characters kept", "\xe4\xf6", "\xe4\xf6"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(work.Write(kFile, ProfileFile({"", "", c.user, "pw"})));
    Prepare(GprsProfileUser, kBit12);
    EXPECT_EQ(Call(), 0);
    ExpectPlaced("at^sics=0,user," + c.sent + "\r\n", c.name);
  }
}

TEST_F(SendConnection, CommandZeroPlacesAnEmptyCommand) {
  ASSERT_TRUE(work.Write(kFile, ProfileFile(FullFields())));
  Prepare(GprsProfileEmpty, kBit12);
  EXPECT_EQ(Call(), 0);
  ExpectPlaced("", "command 0");
}

TEST_F(SendConnection, CommandsAbove7HaveNoEffect) {
  ASSERT_TRUE(work.Write(kFile, ProfileFile(FullFields())));
  for (std::uint16_t command : {8, 9, 0x100, 0xFFFF}) {
    Prepare(command, kBit12 | 0x0004);
    EXPECT_EQ(Call(), 0);
    ExpectNoEffect(kBit12 | 0x0004, "command " + std::to_string(command));
  }
}

TEST_F(SendConnection, RunsOnlyWithBit12) {
  ASSERT_TRUE(work.Write(kFile, ProfileFile(FullFields())));
  for (std::uint16_t vector : {0x0000, 0x2000, 0x0800, 0xEFFF}) {
    Prepare(3, vector);
    host::ResetCalls();
    EXPECT_EQ(Call(), 0);
    EXPECT_TRUE(panel.log.empty()) << "vector " << vector;
    EXPECT_EQ(host::Calls().stats.calls[static_cast<int>(CallClass::File)], 0);
    ExpectNoEffect(vector, "vector " + std::to_string(vector));
  }
  // Other bits beside bit 12 do not stop it and do not survive it.
  Prepare(3, 0xFFFF);
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(panel.record[1], kBit13);
}

TEST_F(SendConnection, AMissingFileLeavesTheMacroSelected) {
  Prepare(2, kBit12);
  EXPECT_EQ(Call(), 0);
  ExpectNoEffect(kBit12, "no file");
  EXPECT_TRUE(work.Files().empty());
}

TEST_F(SendConnection, AShortFileReadsAsZerosPastItsEnd) {
  const std::string full = ProfileFile(FullFields());
  struct Case {
    std::size_t size;
    std::uint16_t command;
    std::string value;
  } cases[] = {
      {20, GprsProfileUser, full.substr(12, 8)},
      {20, GprsProfileApn, ""},
      {0, GprsProfileConType, ""},
      {207, GprsProfileDns2, full.substr(192, 15)},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(work.Write(kFile, full.substr(0, c.size)));
    Prepare(c.command, kBit12);
    EXPECT_EQ(Call(), 0);
    ExpectPlaced(std::string("at^sics=0,") + kFields[c.command - 1].tag + "," + c.value + "\r\n",
                 std::to_string(c.size) + " bytes");
  }
}

// The record has no alignment guarantee.
TEST_F(SendConnection, WorksWithARecordAtAnOddAddress) {
  ASSERT_TRUE(work.Write(kFile, ProfileFile({"GPRS0"})));
  alignas(4) std::uint8_t bytes[8] = {0xEE, GprsProfileConType, 0, 0x00, 0x10, 0xEE, 0xEE, 0xEE};
  Prepare(0, 0);
  host::MacroCall call;
  call.hostPointers = false;
  call.word[4] = reinterpret_cast<MacroWord>(&panel.transmitFlag);
  call.word[6] = reinterpret_cast<MacroWord>(bytes + 1);
  EXPECT_EQ(Call(call), 0);
  EXPECT_EQ(panel.GetText(DeviceLW, 0, 100), "at^sics=0,conType,GPRS0\r\n");
  const std::uint8_t want[8] = {0xEE, GprsProfileConType, 0, 0x00, 0x20, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(std::memcmp(bytes, want, 8), 0);
}

// A file that cannot be opened or read leaves the macro selected with nothing
// written; a placed command is always the right one. A command the host did
// not take is not announced either: no flag, bit 12 kept, so the macro tries
// again, instead of the host sending whatever LW 0..99 held before. A failed
// read of the tick counter notes tick 0.
TEST_F(SendConnection, FaultsNeverPlaceAWrongCommand) {
  const std::vector<std::string> texts = FullFields();
  const std::string want = "at^sics=0,passwd," + texts[3] + "\r\n";
  testing_support::FaultPoints points =
      testing_support::SweepEveryFault("net_send_connection", panel, [&](const SweepRun& run) {
        ASSERT_TRUE(run.work->Write(kFile, ProfileFile(texts)));
        Prepare(GprsProfilePasswd, kBit12);
        EXPECT_EQ(Call(), 0);
        std::string context = std::string(testing_support::FaultKindName(run.kind)) + " N=" + std::to_string(run.nth);
        bool fired = FaultFired(run);
        if (run.kind == testing_support::FaultKind::RegisterWrite && fired && run.nth == 1) {
          ExpectChangesOnlyIn({});
          EXPECT_EQ(panel.transmitFlag, 0) << context;
          EXPECT_EQ(panel.record[1], kBit12) << context;
          return;
        }
        if (RegisterFault(run) && fired) {
          // The command is placed; only the noted tick is missing or 0.
          std::string area = CommandArea();
          EXPECT_EQ(area.substr(0, want.size()), want) << context;
          EXPECT_EQ(panel.transmitFlag, 1) << context;
          EXPECT_EQ(panel.record[1], kBit13) << context;
          ExpectChangesOnlyIn({{DeviceLW, 0, 100}, {DeviceLW, 1007, 2}});
          return;
        }
        if (panel.record[1] == kBit13) {
          ExpectPlaced(want, context);
          return;
        }
        EXPECT_TRUE(fired);
        ExpectNoEffect(kBit12, context);
      });
  EXPECT_GE(points.file, 4);
  EXPECT_EQ(points.alloc, 0) << "no allocations";
  EXPECT_EQ(points.read, 2) << "the tick counter";
  EXPECT_EQ(points.write, 2 * 2) << "the command and the noted tick";
}

}  // namespace

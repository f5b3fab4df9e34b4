// net_load_settings: "gprs_DataSettings.bin" (entries stored field by field)
// copied into FRW 0..432 (entries in 26-word blocks after an address table).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/faults.h"
#include "macro/codes.h"
#include "plugin_fixture.h"
#include "sweep.h"

namespace {

using host::CallClass;
using testing_support::FaultFired;
using testing_support::SweepRun;

constexpr char kFile[] = "gprs_DataSettings.bin";
constexpr std::size_t kFileBytes = 836;
constexpr int kFrwWords = 433;
const std::uint16_t kTable[16] = {17,  43,  69,  95,  121, 147, 173, 199,
                                  225, 251, 277, 303, 329, 355, 381, 407};

// A file of distinct bytes, header 0x4D48 ("HM") after two bytes 0xDE 0xAD.
std::string SettingsFile() {
  std::string file(kFileBytes, '\0');
  for (std::size_t k = 0; k < file.size(); ++k) file[k] = static_cast<char>((k * 13 + 7) & 0xFF);
  file[0] = '\xDE';
  file[1] = '\xAD';
  file[2] = 'H';
  file[3] = 'M';
  return file;
}

std::uint16_t WordAt(const std::string& file, std::size_t offset) {
  auto byte = [&](std::size_t k) -> std::uint16_t {
    return k < file.size() ? static_cast<std::uint8_t>(file[k]) : 0;
  };
  return static_cast<std::uint16_t>(byte(offset) | (byte(offset + 1) << 8));
}

// FRW 0..432 as the loader must leave them for `file`, built from the file
// layout: header at 2; word 1, 2, 3 of entry i at 4, 36, 68 + 2i; the 16-byte
// text at 100 + 16i and the 30-byte text at 356 + 30i.
std::vector<std::uint16_t> ExpectedFrw(const std::string& file) {
  std::vector<std::uint16_t> frw(kFrwWords);
  frw[0] = WordAt(file, 2);
  for (int i = 0; i < 16; ++i) {
    frw[1 + i] = kTable[i];
    int block = 17 + 26 * i;
    frw[block] = WordAt(file, 4 + 2 * i);
    frw[block + 1] = WordAt(file, 36 + 2 * i);
    frw[block + 2] = WordAt(file, 68 + 2 * i);
    for (int k = 0; k < 8; ++k) frw[block + 3 + k] = WordAt(file, 100 + 16 * i + 2 * k);
    for (int k = 0; k < 15; ++k) frw[block + 11 + k] = WordAt(file, 356 + 30 * i + 2 * k);
  }
  return frw;
}

class LoadSettings : public testing_support::PluginTest {
 protected:
  void SetUp() override {
    LoadPlugin("net_load_settings");
    if (IsSkipped() || HasFatalFailure()) return;
    // Count only this test's calls: unloading an earlier copy of the plug-in
    // releases what its start-up code allocated before the counting began.
    host::ResetCalls();
    Fresh();
  }

  void Fresh() {
    Canary();
    panel.log.clear();
  }

  // Calls without any parameter word: the loader uses none.
  void Run() {
    host::MacroCall call;
    call.hostPointers = false;
    EXPECT_EQ(Call(call), 0);
  }

  std::vector<std::uint16_t> Frw() {
    std::vector<std::uint16_t> frw;
    for (int k = 0; k < kFrwWords; ++k) frw.push_back(panel.Word(DeviceFRW, k));
    return frw;
  }

  void ExpectOnlyTheTable() {
    for (int i = 0; i < 16; ++i) EXPECT_EQ(panel.Word(DeviceFRW, 1 + i), kTable[i]) << i;
    ExpectChangesOnlyIn({{DeviceFRW, 1, 16}});
    ASSERT_EQ(panel.log.size(), 1u);
    EXPECT_TRUE(panel.log[0].write);
  }
};

TEST_F(LoadSettings, WithoutAFileOnlyTheAddressTableIsWritten) {
  Run();
  ExpectOnlyTheTable();
  EXPECT_TRUE(work.Files().empty());
}

TEST_F(LoadSettings, CopiesTheEntriesIntoTheirBlocks) {
  const std::string file = SettingsFile();
  ASSERT_TRUE(work.Write(kFile, file));
  Run();
  EXPECT_EQ(Frw(), ExpectedFrw(file));
  EXPECT_EQ(panel.Word(DeviceFRW, 0), 0x4D48) << "FRW 0 takes bytes 2 and 3, not 0 and 1";
  ExpectChangesOnlyIn({{DeviceFRW, 0, kFrwWords}});
  ExpectNothingHeld();
}

// The table first, then entry by entry word 1, 2, 3, the two texts, and the
// header last.
TEST_F(LoadSettings, WritesInOrderWithTheHeaderLast) {
  ASSERT_TRUE(work.Write(kFile, SettingsFile()));
  Run();
  struct Write {
    int address;
    int count;
  };
  std::vector<Write> want{{1, 16}};
  for (int i = 0; i < 16; ++i) {
    int block = 17 + 26 * i;
    for (Write w : {Write{block, 1}, Write{block + 1, 1}, Write{block + 2, 1}, Write{block + 3, 8},
                    Write{block + 11, 15}}) {
      want.push_back(w);
    }
  }
  want.push_back({0, 1});
  ASSERT_EQ(panel.log.size(), want.size());
  for (std::size_t k = 0; k < want.size(); ++k) {
    const auto& a = panel.log[k];
    EXPECT_TRUE(a.write && a.device == DeviceFRW && a.kind == KindWord) << k;
    EXPECT_EQ(a.address, want[k].address) << k;
    EXPECT_EQ(a.count, want[k].count) << k;
  }
}

TEST_F(LoadSettings, AShortFileReadsAsZerosPastItsEnd) {
  const std::string full = SettingsFile();
  for (std::size_t size : {0u, 1u, 3u, 50u, 357u, 835u}) {
    host::WorkDir work;
    Fresh();
    const std::string file = full.substr(0, size);
    ASSERT_TRUE(work.Write(kFile, file));
    Run();
    EXPECT_EQ(Frw(), ExpectedFrw(file)) << size << " bytes";
    ExpectChangesOnlyIn({{DeviceFRW, 0, kFrwWords}});
  }
}

TEST_F(LoadSettings, IgnoresBytesBeyondTheRecord) {
  const std::string file = SettingsFile() + std::string(100, '\x77');
  ASSERT_TRUE(work.Write(kFile, file));
  Run();
  EXPECT_EQ(Frw(), ExpectedFrw(file.substr(0, kFileBytes)));
  ExpectChangesOnlyIn({{DeviceFRW, 0, kFrwWords}});
}

// A file that cannot be opened or read counts as missing; a copy that is made
// is always complete. Register writes are not examined: one the host did not
// take leaves its words as they were and the copy goes on.
TEST_F(LoadSettings, FaultsLeaveOnlyTheTableOrACompleteCopy) {
  const std::string file = SettingsFile();
  const std::vector<std::uint16_t> want = ExpectedFrw(file);
  testing_support::FaultPoints points =
      testing_support::SweepEveryFault("net_load_settings", panel, [&](const SweepRun& run) {
        ASSERT_TRUE(run.work->Write(kFile, file));
        Fresh();
        Run();
        ExpectChangesOnlyIn({{DeviceFRW, 0, kFrwWords}});
        if (run.kind == testing_support::FaultKind::RegisterWrite && FaultFired(run)) {
          std::vector<std::uint16_t> frw = Frw();
          for (int k = 0; k < kFrwWords; ++k) {
            EXPECT_TRUE(frw[k] == want[k] || frw[k] == testing_support::kCanaryWord) << "FRW " << k;
          }
          return;
        }
        if (panel.log.size() > 1) {
          EXPECT_EQ(Frw(), want) << "N=" << run.nth;
          return;
        }
        EXPECT_TRUE(FaultFired(run));
        ExpectOnlyTheTable();
      });
  EXPECT_GE(points.file, 4);
  EXPECT_EQ(points.alloc + points.read, 0) << "no allocations, no register read";
  EXPECT_EQ(points.write, 2 * (1 + 16 * 5 + 1)) << "the table, five fields of 16 entries, the header";
}

}  // namespace

// srv_store_settings: the settings files and their register windows, and the
// phone numbers encoded as destination addresses on save.
#include <gtest/gtest.h>

#include "macro/codes.h"
#include "plugin_fixture.h"
#include "server_files.h"
#include "sweep.h"

namespace {

using namespace testing_support;

constexpr int kState = 6005;
constexpr int kFlags = 6003;
constexpr int kError = 6007;

const std::vector<Window> kStoreWindows = {
    {DeviceLW, 6000, 8}, {DeviceLW, 6100, 4}, {DeviceLW, 6200, 46}, {DeviceLW, 6300, 420}};

class StoreSettings : public PluginTest {
 protected:
  void SetUp() override {
    LoadPlugin("srv_store_settings");
    if (IsSkipped()) return;
    Canary();
    for (int i = 0; i < 8; ++i) panel.Word(DeviceLW, 6000 + i) = static_cast<std::uint16_t>(0x100 + i);
  }

  void Request(std::uint32_t state, std::uint32_t flags = 0x0101) {
    panel.SetPair(DeviceLW, kState, state);
    panel.SetPair(DeviceLW, kFlags, flags);
    panel.Word(DeviceLW, kError) = 0x00EE;  // a code left by someone else
    Remember();
    host::ResetCalls();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn(kStoreWindows);
    ExpectNothingHeld();
  }

  std::uint16_t Error() { return panel.Word(DeviceLW, kError); }
  std::uint32_t Flags() { return panel.GetPair(DeviceLW, kFlags); }

  void WriteFiles() {
    ASSERT_TRUE(work.Write("SMSProfile_1.bin", SendSettingsFile(1, 1, 5, 30)));
    ASSERT_TRUE(work.Write("SMSProfile_2.bin",
                           RecipientListFile(2, {{"9123456789", "0B917921436587F9"},
                                                 {"812345678", "0A917821436587"}})));
    ASSERT_TRUE(work.Write("SMSProfile_3.bin", TemplateFile("Alarm", {{1, "Fire"}, {0, "Door"}})));
  }

  std::string File(const std::string& name) {
    std::string s;
    EXPECT_TRUE(work.Read(name, &s)) << name;
    return s;
  }
};

TEST_F(StoreSettings, AnyOtherStateOnlyResetsStateAndError) {
  WriteFiles();
  for (std::uint32_t state : {0u, 5u, 9u, 10u, 0x10007u}) {
    Request(state);
    EXPECT_EQ(panel.GetPair(DeviceLW, kState), 0u) << state;
    EXPECT_EQ(Error(), 0) << state;
    EXPECT_EQ(Flags(), 0x0101u) << state;
    EXPECT_EQ(panel.Word(DeviceLW, 6000), 0x100);
    EXPECT_EQ(panel.Word(DeviceLW, 6100), kCanaryWord) << "no settings register is touched";
    EXPECT_EQ(host::Calls().stats.fileOpens, 0);
  }
}

TEST_F(StoreSettings, LoadCopiesEveryFileIntoItsWindow) {
  WriteFiles();
  Request(StateLoadSettings, SchedulerArmed | 0x0101);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(panel.GetPair(DeviceLW, kState), 0u);
  EXPECT_EQ(Flags(), 0x0101u) << "SchedulerArmed is cleared by a load";
  EXPECT_EQ(GetWindow(panel, 6100, 4), File("SMSProfile_1.bin"));
  EXPECT_EQ(GetWindow(panel, 6200, 46), File("SMSProfile_2.bin"));
  EXPECT_EQ(GetWindow(panel, 6300, 420), File("SMSProfile_3.bin"));
}

TEST_F(StoreSettings, LoadOfShortFilesReadsZerosAndLongFilesAreCut) {
  ASSERT_TRUE(work.Write("SMSProfile_1.bin", std::string("\x01\x00\x01", 3)));
  ASSERT_TRUE(work.Write("SMSProfile_2.bin", ""));
  ASSERT_TRUE(work.Write("SMSProfile_3.bin", std::string(900, '\x11')));
  Request(StateLoadSettings);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(GetWindow(panel, 6100, 4), std::string("\x01\x00\x01\x00\x00\x00\x00\x00", 8));
  EXPECT_EQ(GetWindow(panel, 6200, 46), std::string(92, '\0'));
  EXPECT_EQ(GetWindow(panel, 6300, 420), std::string(840, '\x11'));
  EXPECT_EQ(panel.Word(DeviceLW, 6720), kCanaryWord);
}

TEST_F(StoreSettings, LoadStopsAtTheFirstMissingFile) {
  struct Case {
    const char* missing;
    std::uint16_t code;
    bool sendLoaded, recipientsLoaded;
  } cases[] = {
      {"SMSProfile_1.bin", ErrSendSettingsRead, false, false},
      {"SMSProfile_2.bin", ErrRecipientsRead, true, false},
      {"SMSProfile_3.bin", ErrTemplateRead, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.missing);
    Canary();
    WriteFiles();
    std::remove(c.missing);
    Request(StateLoadSettings, SchedulerArmed);
    EXPECT_EQ(Error(), c.code);
    EXPECT_EQ(panel.GetPair(DeviceLW, kState), 0u);
    EXPECT_EQ(Flags(), 0u) << "SchedulerArmed stays cleared";
    EXPECT_EQ(panel.Word(DeviceLW, 6100) != kCanaryWord, c.sendLoaded);
    EXPECT_EQ(panel.Word(DeviceLW, 6200) != kCanaryWord, c.recipientsLoaded);
    EXPECT_EQ(panel.Word(DeviceLW, 6300), kCanaryWord);
  }
}

void PutRecipients(host::Panel& panel, int count, const std::vector<std::string>& numbers) {
  PutWindow(panel, 6200, RecipientListFile(count, {}));
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    std::string field = numbers[i];
    field.resize(10, '\0');
    PutWindow(panel, 6201 + 15 * static_cast<int>(i), field);
  }
}

TEST_F(StoreSettings, SaveWritesTheWindowsWithEncodedAddresses) {
  PutWindow(panel, 6100, SendSettingsFile(0, 1, 5, 30));
  PutRecipients(panel, 3, {"9123456789", "812345678", ""});
  PutWindow(panel, 6300, TemplateFile("T", {{1, "x"}}));
  Request(StateStoreSettings, 0x0101);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(panel.GetPair(DeviceLW, kState), 0u);
  EXPECT_EQ(Flags(), 0x0101u) << "scheduling off leaves SchedulerArmed as it was";
  EXPECT_EQ(File("SMSProfile_1.bin"), SendSettingsFile(0, 1, 5, 30));
  EXPECT_EQ(File("SMSProfile_3.bin"), TemplateFile("T", {{1, "x"}}));
  std::string list = File("SMSProfile_2.bin");
  ASSERT_EQ(list.size(), 92u);
  EXPECT_EQ(list.substr(12, 20), std::string("0B919721436587F9") + std::string(4, '\0'));
  EXPECT_EQ(list.substr(42, 20), std::string("0A918721436587") + std::string(6, '\0'));
  EXPECT_EQ(list.substr(72, 20), std::string("0191F7") + std::string(14, '\0'));
  EXPECT_EQ(panel.Word(DeviceLW, 6206), 0) << "the window keeps its old addresses";
}

TEST_F(StoreSettings, SchedulingOnArmsTheScheduler) {
  PutWindow(panel, 6100, SendSettingsFile(1, 0, 1, 1));
  PutRecipients(panel, 0, {});
  Request(StateStoreSettings, 0);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Flags(), static_cast<std::uint32_t>(SchedulerArmed));
}

TEST_F(StoreSettings, AddressesOfTheNumberField) {
  struct Case {
    std::string field;  // the 10-byte number field as stored
    std::string address;
  } cases[] = {
      {"9123456789", "0B919721436587F9"},  // ten digits: 0B, ends in F and the last digit
      {"123456789", "0A911732547698"},     // nine: 0A and no filler
      {"1", "029117"},
      {"", "0191F7"},
      {std::string("12\0" "4567890", 10), "039117F2"},  // the number ends at its NUL
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    PutRecipients(panel, 1, {c.field});
    Request(StateStoreSettings);
    EXPECT_EQ(Error(), 0);
    std::string list = File("SMSProfile_2.bin");
    EXPECT_EQ(std::string(list.c_str() + 12), c.address);
  }
}

TEST_F(StoreSettings, ANumberWithANonDigitIsRejectedBeforeItReachesTheFile) {
  ASSERT_TRUE(work.Write("SMSProfile_2.bin", "previous"));
  for (std::string bad : {std::string("912\r\nAT+X"), std::string("+79123456"), std::string("12 34")}) {
    SCOPED_TRACE(bad);
    PutRecipients(panel, 2, {"9123456789", bad});
    Request(StateStoreSettings);
    EXPECT_EQ(Error(), ErrNoPhoneNumber);
    EXPECT_EQ(File("SMSProfile_2.bin"), "previous");
    EXPECT_FALSE(work.Read("SMSProfile_3.bin", &bad)) << "the save stops at the failure";
  }
}

TEST_F(StoreSettings, CountZeroWritesTheListUnchangedAndAboveThreeStopsAtThree) {
  PutRecipients(panel, 0, {"9123456789"});
  std::string window = GetWindow(panel, 6200, 46);
  Request(StateStoreSettings);
  EXPECT_EQ(File("SMSProfile_2.bin"), window);

  PutRecipients(panel, 9, {"1", "2", "3"});
  panel.Word(DeviceLW, 6246) = 0x3131;  // the word after the window: not a fourth entry
  Request(StateStoreSettings);
  EXPECT_EQ(Error(), 0);
  std::string list = File("SMSProfile_2.bin");
  ASSERT_EQ(list.size(), 92u);
  EXPECT_EQ(std::string(list.c_str() + 72), "029137");
  EXPECT_EQ(GetU16At(list, 0), 9) << "the count itself is stored as typed";
}

TEST_F(StoreSettings, SaveThenLoadBringsTheAddressesIntoTheWindow) {
  PutWindow(panel, 6100, SendSettingsFile(0, 0, 1, 1));
  PutRecipients(panel, 1, {"9123456789"});
  Request(StateStoreSettings);
  Request(StateLoadSettings);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(panel.GetText(DeviceLW, 6206, 10), "0B919721436587F9");
}

TEST_F(StoreSettings, RegisterFailures) {
  WriteFiles();
  // A window that cannot be written on load: 241.
  panel.writeFault = {panel.writes + 2, false, 0};
  Request(StateLoadSettings);
  EXPECT_EQ(Error(), ErrRegisterWrite);
  EXPECT_EQ(panel.Word(DeviceLW, 6300), kCanaryWord);
  // A window that cannot be read on save: 242, and the file stays.
  std::string before = File("SMSProfile_2.bin");
  panel.readFault = {panel.reads + 3, false, 2};
  Request(StateStoreSettings);
  EXPECT_EQ(Error(), ErrRegisterRead);
  EXPECT_EQ(File("SMSProfile_2.bin"), before);
}

TEST_F(StoreSettings, AnUnreadableControlBlockLeavesEverythingAlone) {
  WriteFiles();
  panel.readFault = {panel.reads + 1, false, 0};
  Request(StateLoadSettings);
  EXPECT_TRUE(panel.WordsChangedSince(words).empty());
  EXPECT_EQ(panel.log.back().write, false);
}

// Every allocation, file operation and register access failed in turn: a
// documented code, the files before the failing one new, the failing one
// and every file after it as they were, nothing held.
TEST_F(StoreSettings, SaveUnderFaults) {
  FaultPoints points = SweepEveryFault("srv_store_settings", panel, [&](const SweepRun& run) {
    ASSERT_TRUE(run.work->Write("SMSProfile_1.bin", "old1"));
    ASSERT_TRUE(run.work->Write("SMSProfile_2.bin", "old2"));
    ASSERT_TRUE(run.work->Write("SMSProfile_3.bin", "old3"));
    PutWindow(panel, 6100, SendSettingsFile(1, 0, 1, 1));
    PutRecipients(panel, 2, {"9123456789", "1"});
    panel.SetPair(DeviceLW, kState, StateStoreSettings);
    panel.SetPair(DeviceLW, kFlags, 0x0101);
    panel.Word(DeviceLW, kError) = 0x00EE;
    Remember();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn(kStoreWindows);
    std::uint16_t code = Error();
    std::string f[3];
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(run.work->Read("SMSProfile_" + std::to_string(i + 1) + ".bin", &f[i]));
    }
    const char* old[3] = {"old1", "old2", "old3"};
    int kept = 0;  // files written before the first one kept
    while (kept < 3 && f[kept] != old[kept]) ++kept;
    for (int i = kept; i < 3; ++i) EXPECT_EQ(f[i], old[i]) << "file " << i + 1 << " after a kept one";
    if (panel.WordsChangedSince(words).empty()) {
      // Block unreadable: nothing done. Block unwritable: the files are saved,
      // the request stays for the next call.
      ASSERT_TRUE(RegisterFault(run) && FaultFired(run));
      EXPECT_EQ(kept, run.kind == FaultKind::RegisterRead ? 0 : 3);
      return;
    }
    EXPECT_EQ(panel.GetPair(DeviceLW, kState), 0u);
    if (code == 0) {
      EXPECT_EQ(kept, 3);
      EXPECT_EQ(f[2].size(), 840u);
      EXPECT_EQ(Flags(), 0x0101u | SchedulerArmed);
      return;
    }
    EXPECT_TRUE(FaultFired(run)) << "failed without a fault: " << code;
    EXPECT_EQ(Flags(), 0x0101u) << "SchedulerArmed only after every file is saved";
    switch (code) {
      case ErrSendSettingsWrite: EXPECT_EQ(kept, 0); break;
      case ErrRecipientsWrite: case ErrOutOfMemory: EXPECT_EQ(kept, 1); break;
      case ErrTemplateWrite: EXPECT_EQ(kept, 2); break;
      case ErrRegisterRead: EXPECT_EQ(run.kind, FaultKind::RegisterRead); break;
      default: ADD_FAILURE() << "undocumented code " << code;
    }
  });
  EXPECT_GT(points.alloc, 0);
  EXPECT_GT(points.file, 0);
  EXPECT_EQ(points.read, 2 * 4) << "the block and the three windows";
  EXPECT_EQ(points.write, 2);
}

TEST_F(StoreSettings, LoadUnderFaults) {
  FaultPoints points = SweepEveryFault("srv_store_settings", panel, [&](const SweepRun& run) {
    ASSERT_TRUE(run.work->Write("SMSProfile_1.bin", SendSettingsFile(1, 0, 1, 1)));
    ASSERT_TRUE(run.work->Write("SMSProfile_2.bin", RecipientListFile(0, {})));
    ASSERT_TRUE(run.work->Write("SMSProfile_3.bin", TemplateFile("T", {})));
    panel.SetPair(DeviceLW, kState, StateLoadSettings);
    panel.SetPair(DeviceLW, kFlags, 0x0101 | SchedulerArmed);
    panel.Word(DeviceLW, kError) = 0x00EE;
    for (int a = 6100; a < 6720; ++a) panel.Word(DeviceLW, a) = kCanaryWord;
    Remember();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn(kStoreWindows);
    std::uint16_t code = Error();
    bool loaded[3] = {GetWindow(panel, 6100, 4) == SendSettingsFile(1, 0, 1, 1),
                      GetWindow(panel, 6200, 46) == RecipientListFile(0, {}),
                      GetWindow(panel, 6300, 420) == TemplateFile("T", {})};
    if (panel.GetPair(DeviceLW, kState) == StateLoadSettings) {
      // The block was not written: unreadable (nothing done) or unwritable.
      ASSERT_TRUE(RegisterFault(run) && FaultFired(run));
      EXPECT_EQ(Error(), 0x00EE);
      if (run.kind == FaultKind::RegisterRead) {
        EXPECT_TRUE(panel.WordsChangedSince(words).empty());
      }
      return;
    }
    EXPECT_EQ(Flags(), 0x0101u) << "a load clears SchedulerArmed";
    if (code == 0) {
      EXPECT_TRUE(loaded[0] && loaded[1] && loaded[2]);
      return;
    }
    EXPECT_TRUE(FaultFired(run)) << code;
    // The windows are loaded in order up to the failing one.
    int first = code == ErrSendSettingsRead ? 0 : code == ErrRecipientsRead ? 1 : code == ErrTemplateRead ? 2 : -1;
    if (code == ErrRegisterWrite) {
      EXPECT_EQ(run.kind, FaultKind::RegisterWrite);
      return;
    }
    ASSERT_GE(first, 0) << "undocumented code " << code;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(loaded[i], i < first) << "window " << i;
  });
  EXPECT_GE(points.file, 6);
  EXPECT_EQ(points.read, 2);
  EXPECT_EQ(points.write, 2 * 4) << "three windows and the block";
}

}  // namespace

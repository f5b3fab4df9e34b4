// panel_phone_book: load and save of "panel_phone_book.bin" through LW
// 6000..6270 on request word 0 of the host record, result in word 1.
#include <gtest/gtest.h>

#include <cstdio>
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

constexpr char kFile[] = "panel_phone_book.bin";
constexpr int kWindow = 6000;
constexpr int kWords = 271;
constexpr std::uint16_t kUntouched = 0xBEEF;

class PhoneBook : public testing_support::PluginTest {
 protected:
  void SetUp() override {
    LoadPlugin("panel_phone_book");
    if (IsSkipped() || HasFatalFailure()) return;
    // Count only this test's calls: unloading an earlier copy of the plug-in
    // releases what its start-up code allocated before the counting began.
    host::ResetCalls();
    Canary();
  }

  // Runs one call with `request` in record word 0; returns record word 1.
  std::uint16_t Run(std::uint16_t request) {
    panel.record[0] = request;
    panel.record[1] = kUntouched;
    EXPECT_EQ(Call(), 0);
    EXPECT_EQ(panel.record[0], request) << "the request is never changed";
    return panel.record[1];
  }

  // The phone book window as the bytes of the file format.
  std::string WindowBytes() {
    std::string bytes;
    for (int k = 0; k < kWords; ++k) {
      std::uint16_t w = panel.Word(DeviceLW, kWindow + k);
      bytes.push_back(static_cast<char>(w & 0xFF));
      bytes.push_back(static_cast<char>(w >> 8));
    }
    return bytes;
  }

  // Entries of distinct bytes; word 0 holds `inUse`.
  void FillWindow(std::uint16_t inUse, std::uint16_t seed = 0x1100) {
    panel.Word(DeviceLW, kWindow) = inUse;
    for (int k = 1; k < kWords; ++k) {
      panel.Word(DeviceLW, kWindow + k) = static_cast<std::uint16_t>(seed + k);
    }
    Remember();
  }

  std::string FileNow(const host::WorkDir& w) {
    std::string s;
    EXPECT_TRUE(w.Read(kFile, &s));
    return s;
  }
};

// The saved image: the window with the entries at and after the number in use zeroed.
std::string Expected(std::string image, unsigned inUse) {
  for (unsigned i = inUse; i < 3; ++i) image.replace(2 + 180 * i, 180, 180, '\0');
  return image;
}

TEST_F(PhoneBook, SaveClearsTheEntriesNotInUseInTheFileOnly) {
  for (std::uint16_t inUse : {0, 1, 2, 3, 7}) {
    host::WorkDir work;
    Canary();
    FillWindow(inUse);
    const std::string window = WindowBytes();
    EXPECT_EQ(Run(PhoneBookSave), 0) << inUse;
    std::string file = FileNow(work);
    ASSERT_EQ(file.size(), 542u);
    EXPECT_EQ(file, Expected(window, inUse)) << "in use: " << inUse;
    EXPECT_EQ(file.substr(0, 2), window.substr(0, 2)) << "the count is saved as read";
    ExpectChangesOnlyIn({});  // the registers keep what the screens left
    EXPECT_EQ(work.Files(), std::vector<std::string>{kFile}) << "no temporary file is left";
    ExpectNothingHeld();
  }
}

TEST_F(PhoneBook, SaveReplacesALongerFileWhole) {
  ASSERT_TRUE(work.Write(kFile, std::string(600, 'x')));
  FillWindow(3);
  EXPECT_EQ(Run(PhoneBookSave), 0);
  EXPECT_EQ(FileNow(work), WindowBytes());
}

TEST_F(PhoneBook, ARequestLeftAtOneSavesOnEveryCall) {
  FillWindow(3, 0x1100);
  EXPECT_EQ(Run(PhoneBookSave), 0);
  EXPECT_EQ(FileNow(work), WindowBytes());
  FillWindow(2, 0x2200);
  EXPECT_EQ(Run(PhoneBookSave), 0);
  EXPECT_EQ(FileNow(work), Expected(WindowBytes(), 2));
  ASSERT_EQ(std::remove(kFile), 0);
  EXPECT_EQ(Run(PhoneBookSave), 0);
  EXPECT_EQ(FileNow(work), Expected(WindowBytes(), 2)) << "a removed file is written again";
}

TEST_F(PhoneBook, LoadCopiesTheFileAndZeroFillsPastItsEnd) {
  std::string full;
  for (int i = 0; i < 600; ++i) full.push_back(static_cast<char>(i * 7 + 1));
  struct Case {
    const char* name;
    std::string file;
  } cases[] = {
      {"whole file", full.substr(0, 542)},
      {"100 bytes", full.substr(0, 100)},
      {"odd length", full.substr(0, 7)},
      {"empty", ""},
      {"longer than the window", full},
  };
  for (const Case& c : cases) {
    host::WorkDir work;
    Canary();
    ASSERT_TRUE(work.Write(kFile, c.file));
    EXPECT_EQ(Run(PhoneBookLoad), 0) << c.name;
    std::string want = c.file.substr(0, 542);
    want.resize(542, '\0');
    EXPECT_EQ(WindowBytes(), want) << c.name;
    ExpectChangesOnlyIn({{DeviceLW, kWindow, kWords}});
    EXPECT_EQ(FileNow(work), c.file) << "loading leaves the file alone";
    ExpectNothingHeld();
  }
}

TEST_F(PhoneBook, LoadOfAMissingFileGives254AndLeavesTheRegisters) {
  EXPECT_EQ(Run(PhoneBookLoad), ErrFileMissing);
  ExpectChangesOnlyIn({});
  EXPECT_TRUE(work.Files().empty());
}

TEST_F(PhoneBook, OtherRequestsDoNothing) {
  ASSERT_TRUE(work.Write(kFile, std::string(542, 'p')));
  host::ResetCalls();
  for (std::uint16_t request : {2, 3, 0x100, 0xFFFF}) {
    EXPECT_EQ(Run(request), kUntouched) << request;
  }
  EXPECT_TRUE(panel.log.empty()) << "register accesses: " << panel.log.size();
  EXPECT_EQ(host::Calls().stats.calls[static_cast<int>(CallClass::File)], 0);
  EXPECT_EQ(FileNow(work), std::string(542, 'p'));
}

// Whatever fails, a save reports 255 and keeps the previous phone book (or no
// file at all) under the file's name; a save reported as done has the new
// data in the file. A window the host cannot deliver is not saved: its zeros
// would wipe the phone book.
TEST_F(PhoneBook, AFailedSaveReports255AndKeepsThePreviousFile) {
  for (bool previous : {true, false}) {
    testing_support::FaultPoints points =
        testing_support::SweepEveryFault("panel_phone_book", panel, [&](const SweepRun& run) {
          const std::string old(542, 'o');
          if (previous) {
            ASSERT_TRUE(run.work->Write(kFile, old));
          }
          Canary();
          FillWindow(2);
          std::uint16_t result = Run(PhoneBookSave);
          ExpectChangesOnlyIn({});
          std::string now;
          bool exists = run.work->Read(kFile, &now);
          if (!FaultFired(run)) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(now, Expected(WindowBytes(), 2));
            return;
          }
          EXPECT_EQ(result, ErrGeneric) << "a failed call is never a saved phone book";
          EXPECT_EQ(exists, previous);
          if (previous) {
            EXPECT_EQ(now, old);
          }
          if (!run.persistent) {
            std::vector<std::string> want;
            if (previous) want.push_back(kFile);
            EXPECT_EQ(run.work->Files(), want) << "the unfinished file is removed";
          }
        });
    EXPECT_GE(points.file, 4) << (previous ? "over a previous file" : "without a previous file");
    EXPECT_EQ(points.alloc, 0) << "the phone book allocates nothing";
    EXPECT_EQ(points.read, 2);
    EXPECT_EQ(points.write, 0);
  }
}

// A failed load reports 253 or 254 (file) or 255 (window not written) and
// leaves the registers; a failed close after a complete read still loads.
TEST_F(PhoneBook, AFailedLoadLeavesTheRegisters) {
  std::string file(542, '\0');
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i * 3 + 5);
  testing_support::FaultPoints points =
      testing_support::SweepEveryFault("panel_phone_book", panel, [&](const SweepRun& run) {
        ASSERT_TRUE(run.work->Write(kFile, file));
        Canary();
        std::uint16_t result = Run(PhoneBookLoad);
        if (result == 0) {
          EXPECT_EQ(WindowBytes(), file);
          return;
        }
        EXPECT_TRUE(FaultFired(run));
        EXPECT_TRUE(result == ErrFileMissing || result == ErrFileOpen ||
                    (result == ErrGeneric && run.kind == testing_support::FaultKind::RegisterWrite))
            << result;
        ExpectChangesOnlyIn({});
      });
  EXPECT_GE(points.file, 4);
  EXPECT_EQ(points.alloc + points.read, 0);
  EXPECT_EQ(points.write, 2);
}

}  // namespace

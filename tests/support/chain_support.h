// Pieces shared by the chain tests: UCS2 and byte texts in word registers,
// part records, and a record canary that shows which record words a plug-in
// wrote.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "host/panel.h"
#include "macro/chain_registers.h"
#include "macro/codes.h"
#include "macro/registers.h"
#include "plugin_fixture.h"

namespace testing_support {

inline constexpr std::uint16_t kRecordCanary = 0x3CC3;

// UCS2 text, one unit per word, nothing written past the text.
inline void PutUnits(host::Panel& panel, int address, const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    panel.Word(DeviceRW, address + static_cast<int>(i)) = text[i];
  }
}

inline std::u16string GetUnits(host::Panel& panel, int address, int count) {
  std::u16string text;
  for (int i = 0; i < count; ++i) text.push_back(static_cast<char16_t>(panel.Word(DeviceRW, address + i)));
  return text;
}

// Raw bytes of `words` registers, NULs included.
inline std::string GetBytes(host::Panel& panel, int device, int address, int words) {
  std::string bytes;
  for (int i = 0; i < words; ++i) {
    std::uint16_t w = panel.Word(device, address + i);
    bytes.push_back(static_cast<char>(w & 0xFF));
    bytes.push_back(static_cast<char>(w >> 8));
  }
  return bytes;
}

// Bytes two to a word, the last word padded with a NUL.
inline void PutBytes(host::Panel& panel, int device, int address, const std::string& bytes) {
  panel.PutText(device, address, bytes, static_cast<int>((bytes.size() + 1) / 2));
}

// The status text in RW 432..531, up to its first NUL.
inline std::string StatusText(host::Panel& panel) {
  return panel.GetText(DeviceRW, kStatusTextAddress, kStatusTextWords);
}

// A part record of the message area: the announced length and the PDU data.
struct PartRecord {
  std::uint16_t length;
  std::string data;  // stored two bytes a word; N = words needed
  int count = -1;    // N when it must differ from what `data` needs
};

// Writes P and the records from RW 2001 on; returns the offset past the last.
inline int PutPartRecords(host::Panel& panel, const std::vector<PartRecord>& records,
                          int parts = -1) {
  panel.Word(DeviceRW, kMessageAreaAddress) =
      static_cast<std::uint16_t>(parts < 0 ? static_cast<int>(records.size()) : parts);
  int offset = 1;
  for (const PartRecord& r : records) {
    int n = r.count >= 0 ? r.count : static_cast<int>((r.data.size() + 1) / 2);
    panel.Word(DeviceRW, kMessageAreaAddress + offset) = r.length;
    panel.Word(DeviceRW, kMessageAreaAddress + offset + 1) = static_cast<std::uint16_t>(n);
    PutBytes(panel, DeviceRW, kMessageAreaAddress + offset + 2, r.data);
    offset += n + 2;
  }
  return offset;
}

// A plug-in test whose record is prefilled with a canary as well.
class ChainPluginTest : public PluginTest {
 protected:
  // Loads the plug-in and starts the C library counters afresh: the loader
  // and the unloading of earlier plug-ins count nothing against this test.
  void LoadFresh(const std::string& name) {
    LoadPlugin(name);
    host::ResetCalls();
  }

  void FillRecord() {
    for (auto& w : panel.record) w = kRecordCanary;
    recordBefore = panel.record;
  }

  void SetRecord(int word, std::uint16_t value) {
    panel.record[static_cast<std::size_t>(word)] = value;
    recordBefore = panel.record;
  }

  std::uint16_t Rec(int word) const { return panel.record[static_cast<std::size_t>(word)]; }

  // Fails for every record word changed outside `allowed`.
  void ExpectRecordChangesOnlyIn(const std::set<int>& allowed) {
    for (std::size_t i = 0; i < panel.record.size(); ++i) {
      if (allowed.count(static_cast<int>(i)) == 0) {
        EXPECT_EQ(panel.record[i], recordBefore[i]) << "record word " << i << " changed";
      }
    }
  }

  std::vector<std::uint16_t> recordBefore;
};

}  // namespace testing_support

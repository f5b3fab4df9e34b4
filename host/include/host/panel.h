// The substitute host's panel: every register area of the device table, the
// tick counter, the transmit flag and the record behind parameter word 6,
// with a log of every register access and register faults on demand.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "macro/abi.h"
#include "macro/codes.h"

namespace host {

inline constexpr int kAreaWords = 65536;   // words of each word area
inline constexpr int kAreaBits = 65536;    // bits of each bit area, one byte each
inline constexpr int kRecordWords = 4096;  // words of the record behind word 6

struct RegisterAccessRecord {
  bool write;
  int device;
  int kind;
  int address;
  int count;
  int result;
};

// Which register accesses fail, and how. A fault hits the Nth access of its
// direction (1-based); persistent faults also hit every access after it.
struct RegisterFault {
  int nth = 0;          // 0: no fault
  bool persistent = false;
  int result = 0;       // what the host returns instead of 1 (0 or 2)
};

struct DrawCall {
  int slot;                       // host vector word
  std::vector<long long> args;    // arguments as passed, pens and brushes word by word
};

class Panel {
 public:
  Panel();
  ~Panel();
  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;

  // Register memory. Word and bit areas are indexed by device code.
  std::uint16_t& Word(int device, int address);
  std::uint8_t& Bit(int device, int address);
  bool IsWordArea(int device) const;
  bool IsBitArea(int device) const;
  void Fill(std::uint16_t wordPattern, std::uint8_t bitPattern);
  // Copies of all register memory, to compare before and after a call.
  std::vector<std::uint16_t> SnapshotWords() const;
  std::vector<std::uint8_t> SnapshotBits() const;
  // Registers that differ from a snapshot, as (device code, address) pairs.
  std::vector<std::pair<int, int>> WordsChangedSince(const std::vector<std::uint16_t>& words) const;
  std::vector<std::pair<int, int>> BitsChangedSince(const std::vector<std::uint8_t>& bits) const;

  // Helpers for text and 32-bit values in word areas.
  void PutText(int device, int address, const std::string& text, int words);
  std::string GetText(int device, int address, int words) const;
  std::uint32_t GetPair(int device, int address) const;
  void SetPair(int device, int address, std::uint32_t value);

  // The tick counter in LW 9034..9035.
  std::uint32_t Ticks() const;
  void SetTicks(std::uint32_t ticks);
  void Advance(std::uint32_t ticks);

  // The transmit flag behind word 4 and the record behind word 6.
  std::uint8_t transmitFlag = 0;
  std::vector<std::uint16_t> record;

  // Host vector contents.
  std::uint32_t features = FeatureSql;
  int colorDepth = 24;
  int drawResult = 1;
  int sqlResult = 1;
  std::vector<DrawCall> drawCalls;

  // Register access log and faults.
  std::vector<RegisterAccessRecord> log;
  RegisterFault readFault;
  RegisterFault writeFault;
  int reads = 0;
  int writes = 0;

  HostVectorBasic BasicVector();
  HostVectorExtended ExtendedVector();

  // The host functions reach the panel that is current; a Panel makes itself
  // current when constructed and when a plug-in is called with it.
  void MakeCurrent();
  static Panel* Current();

  int Access(bool write, int device, int kind, int address, int count, void* buffer);

 private:
  std::vector<std::vector<std::uint16_t>> words_;
  std::vector<std::vector<std::uint8_t>> bits_;
};

}  // namespace host

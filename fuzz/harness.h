// The fuzz targets' host: every plug-in loaded once, one panel whose
// registers hold a canary pattern, an empty working folder per input, and
// the invariants every plug-in call must keep whatever it is given:
//
//   - macro_main returns 0;
//   - it reads and writes only the registers of its description, and no
//     register outside the ones it may write changes (canary compare);
//   - it changes only its own record words and raises the transmit flag only
//     when it is a sender;
//   - it creates, changes or removes no file but its own;
//   - it holds no allocation and no open file when it returns.
//
// A broken invariant prints what happened and aborts, so libFuzzer keeps the
// input as a crash.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/panel.h"
#include "host/plugin.h"
#include "host/workdir.h"

namespace fuzz {

// A register window: `count` elements of `device` from `first`.
struct Window {
  int device;
  int first;
  int count;
};

// What a plug-in may touch.
struct Rules {
  std::string plugin;
  std::vector<Window> reads;
  std::vector<Window> writes;
  std::vector<int> record;   // record words it may write
  bool transmitFlag = false;  // it may raise the transmit flag
  std::vector<std::string> writesFiles;   // files it creates or replaces
  std::vector<std::string> removesFiles;  // files it consumes
};

// The rules of a deliverable; aborts for an unknown name.
const Rules& RulesOf(const std::string& plugin);

// Stops the run: prints `what` for `plugin` and aborts.
[[noreturn]] void Violation(const std::string& plugin, const std::string& what);

// Checks a target's own expectation.
inline void Expect(bool ok, const std::string& plugin, const std::string& what) {
  if (!ok) Violation(plugin, what);
}

inline constexpr std::uint16_t kCanaryWord = 0xA55A;
inline constexpr std::uint8_t kCanaryBit = 0x5A;
inline constexpr std::uint16_t kRecordCanary = 0x3CC3;

class Harness {
 public:
  // The process-wide harness: loads every plug-in on first use.
  static Harness& Get();

  // Every register and record word back to the canary, the transmit flag to
  // 0, the working folder emptied. Call at the start of every input.
  void Reset();

  // Inputs: registers, record words and files the plug-in will find.
  void SetWord(int device, int address, std::uint16_t value);
  void SetWords(int device, int address, std::span<const std::uint16_t> values);
  // Bytes two to a word, the first in the low byte; an odd count leaves the
  // last high byte 0.
  void SetBytes(int device, int address, std::span<const std::uint8_t> bytes);
  void SetPair(int device, int address, std::uint32_t value);
  void SetRecord(int word, std::uint16_t value);
  void WriteFile(const std::string& name, std::span<const std::uint8_t> bytes);
  void WriteFile(const std::string& name, const std::string& bytes);
  void RemoveFile(const std::string& name);

  // Calls the plug-in (words 4 and 6 from the panel) and checks every
  // invariant above against its rules.
  void Call(const std::string& plugin);

  // What the plug-ins left.
  std::uint16_t Word(int device, int address) { return panel_.Word(device, address); }
  std::uint32_t Pair(int device, int address) { return panel_.GetPair(device, address); }
  std::uint8_t Bit(int device, int address) { return panel_.Bit(device, address); }
  // `words` registers as bytes, two a word.
  std::string Bytes(int device, int address, int words);
  std::uint16_t Record(int word) const { return panel_.record[static_cast<std::size_t>(word)]; }
  std::uint8_t TransmitFlag() const { return panel_.transmitFlag; }
  // Clears the transmit flag and LB 0 the way the host does after taking a command.
  void TakeCommand();
  bool ReadFile(const std::string& name, std::string* bytes) const;
  bool HasFile(const std::string& name) const;

  host::Panel& panel() { return panel_; }
  ~Harness();

 private:
  Harness();
  void CheckRegisters(const Rules& rules, std::size_t logFrom);
  void CheckFiles(const Rules& rules, const std::map<std::string, std::string>& before);
  std::map<std::string, std::string> FolderContents() const;
  std::vector<std::uint16_t>& ExpectedWords(int device);
  std::vector<std::uint8_t>& ExpectedBits(int device);

  host::Panel panel_;
  host::WorkDir work_;
  std::map<std::string, std::unique_ptr<host::Plugin>> plugins_;
  // What every register must hold, by device code; empty: the canary.
  std::map<int, std::vector<std::uint16_t>> words_;
  std::map<int, std::vector<std::uint8_t>> bits_;
  std::vector<std::uint16_t> record_;
};

// The little-endian word at byte `at`; bytes past the end read as 0.
inline std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  unsigned lo = at < b.size() ? b[at] : 0u;
  unsigned hi = at + 1 < b.size() ? b[at + 1] : 0u;
  return static_cast<std::uint16_t>(lo | (hi << 8));
}

// The file bytes a plug-in reads when it reads `length` bytes: a shorter
// file reads as zeros past its end.
std::vector<std::uint8_t> Padded(std::span<const std::uint8_t> file, std::size_t length);

}  // namespace fuzz

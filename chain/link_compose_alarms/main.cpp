// The chain's composer (macro 2): a title line and one numbered line per
// alarm listed in both masks, composed in UCS2 into the message area.
//
// RW 2000 receives the length L and RW 2001.. the L characters. On success
// the composer hands back to the sequencer and clears the failure mask; when
// storage runs out it selects the error reporter with its own failure bit.
#include <cstdlib>
#include <cstring>
#include <span>

#include "ascii_text.h"
#include "chain_record.h"
#include "macro/chain_registers.h"
#include "macro/codes.h"
#include "macro/registers.h"
#include "macro/text.h"
#include "ucs2_text.h"

namespace {

constexpr std::size_t kLineUnits = 27;    // "16. " + 20 characters + line feed, with room
constexpr std::size_t kNumberBytes = 5;   // "16. " and its terminator
constexpr std::uint16_t kLineFeed[] = {0x000A, 0};

// Releases the buffer it holds when the call leaves, on every path.
struct Units {
  std::uint16_t* data = nullptr;
  ~Units() { std::free(data); }
};

std::uint16_t ReadWord(HostVector host, int address) {
  std::uint16_t word = 0;
  xReadLocal(host, "RW", address, 1, &word, 0);
  return word;
}

// Reads a 20-character register text into a zeroed 21-unit buffer, so that
// a full text is still terminated.
void ReadText(HostVector host, int address, std::span<std::uint16_t, kChainTextWords + 1> text) {
  for (auto& unit : text) unit = 0;
  xReadLocal(host, "RW", address, kChainTextWords, text.data(), 0);
}

int CountListed(std::uint16_t listed) {
  int n = 0;
  for (; listed != 0; listed &= static_cast<std::uint16_t>(listed - 1)) ++n;
  return n;
}

// Appends "k. " for the k-th listed entry. False when storage runs out.
bool AppendNumber(std::span<std::uint16_t> message, std::uint8_t k) {
  char number[kNumberBytes] = {};
  FormatDecimal(number, k);
  AppendAscii(number, ". ");
  std::size_t units = charlen(number, sizeof number) + 1;
  Units wide{ConvertCharToUShort(number, sizeof number)};
  if (wide.data == nullptr) return false;
  wcharcat(message, std::span<const std::uint16_t>(wide.data, units));
  return true;
}

// Builds the whole text in `message`. False when storage runs out.
bool Compose(HostVector host, std::uint16_t listed, std::span<std::uint16_t> message) {
  std::uint16_t text[kChainTextWords + 1];
  ReadText(host, kAlarmTitleAddress, text);
  wcharcat(message, text);
  wcharcat(message, kLineFeed);
  std::uint8_t k = 0;
  for (int i = 0; i < kChainEntries; ++i) {
    if ((listed & (1u << i)) == 0) continue;
    ReadText(host, kAlarmTextAddress + kChainTextWords * i, text);
    if (!AppendNumber(message, static_cast<std::uint8_t>(k + 1))) return false;
    ++k;
    wcharcat(message, text);
    wcharcat(message, kLineFeed);
  }
  return true;
}

void WriteComposedText(HostVector host, std::span<std::uint16_t> message) {
  std::uint16_t length = wcharlen(message);
  xWriteLocal(host, "RW", kMessageAreaAddress, 1, &length, 0);
  xWriteLocal(host, "RW", kMessageAreaAddress + 1, length, message.data(), 0);
}

void Fail(MacroWord record) {
  PutRecordWord(record, ComposerVectorWord, SetMacroVector(ErrorReporterMacro));
  PutRecordWord(record, ComposerFailureWord, FailedComposer);
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord record, MacroWord, HostVector host) {
  std::uint16_t maskB = ReadWord(host, kAlarmMaskBAddress);
  std::uint16_t maskA = ReadWord(host, kAlarmMaskAAddress);
  auto listed = static_cast<std::uint16_t>(maskA & maskB);
  std::size_t units = static_cast<std::size_t>(CountListed(listed) + 1) * kLineUnits;
  Units message{static_cast<std::uint16_t*>(std::calloc(units, sizeof(std::uint16_t)))};
  if (message.data == nullptr) {
    Fail(record);
    return 0;
  }
  std::span<std::uint16_t> text(message.data, units);
  if (!Compose(host, listed, text)) {
    Fail(record);
    return 0;
  }
  WriteComposedText(host, text);
  PutRecordWord(record, ComposerVectorWord, SetMacroVector(SequencerMacro));
  PutRecordWord(record, ComposerFailureWord, 0);
  return 0;
}

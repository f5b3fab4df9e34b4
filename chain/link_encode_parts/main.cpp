// The message part encoder: a title, two line feeds and every text listed in
// both masks (one line each, without numbers) as UCS2 in RW 2000..2499, and
// the number of 67-character SMS parts the text needs in record word 0.
// It selects no macro and reports nothing else.
#include <span>

#include "chain_record.h"
#include "macro/chain_registers.h"
#include "macro/codes.h"
#include "macro/registers.h"
#include "ucs2_text.h"

namespace {

constexpr std::uint16_t kPartUnits = 67;  // UCS2 characters per concatenated part
constexpr std::uint16_t kLineFeed[] = {0x000A, 0};

std::uint16_t ReadWord(HostVector host, int address) {
  std::uint16_t word = 0;
  xReadLocal(host, "RW", address, 1, &word, 0);
  return word;
}

// Parts of 67 characters the text needs: L / 67, plus one for a remainder.
std::uint16_t SMSParts(std::span<const std::uint16_t> text) {
  std::uint16_t length = wcharlen(text);
  auto parts = static_cast<std::uint16_t>(length / kPartUnits);
  if (length % kPartUnits != 0) ++parts;
  return parts;
}

// Reads a 20-character register text into a zeroed 21-unit buffer, so that
// a full text is still terminated.
void ReadText(HostVector host, int address, std::span<std::uint16_t, kChainTextWords + 1> text) {
  for (auto& unit : text) unit = 0;
  xReadLocal(host, "RW", address, kChainTextWords, text.data(), 0);
}

void Compose(HostVector host, std::uint16_t listed, std::span<std::uint16_t> message) {
  // The title is appended like the texts: words after a zero word that ends
  // it early must not stay behind in the zero fill after the text.
  std::uint16_t text[kChainTextWords + 1];
  ReadText(host, kPartTitleAddress, text);
  wcharcat(message, text);
  wcharcat(message, kLineFeed);
  wcharcat(message, kLineFeed);
  for (int i = 0; i < kChainEntries; ++i) {
    if ((listed & (1u << i)) == 0) continue;
    ReadText(host, kPartTextAddress + kChainTextWords * i, text);
    wcharcat(message, text);
    wcharcat(message, kLineFeed);
  }
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord record, MacroWord, HostVector host) {
  std::uint16_t maskB = ReadWord(host, kPartMaskBAddress);
  std::uint16_t maskA = ReadWord(host, kPartMaskAAddress);
  std::uint16_t message[kPartEncoderTextWords] = {};
  Compose(host, static_cast<std::uint16_t>(maskA & maskB), message);
  std::uint16_t parts = SMSParts(message);
  xWriteLocal(host, "RW", kMessageAreaAddress, kPartEncoderTextWords, message, 0);
  PutRecordWord(record, PartEncoderCountWord, parts);
  return 0;
}

// Well-formed data files for the inputs a target does not fuzz, and small
// independent readings of what the plug-ins must produce from fuzzed ones,
// written from the file and register layouts alone.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "harness.h"
#include "host/sms.h"
#include "macro/codes.h"
#include "server_files.h"

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

// The data-file builders the plug-in tests use.
using testing_support::MessageFile;
using testing_support::PutU16;
using testing_support::RecordFile;
using testing_support::SendSettingsFile;
using testing_support::ServerProfileFile;

inline std::string AsString(std::span<const std::uint8_t> b) {
  return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

// The destination address of a national number, as an SMS-SUBMIT carries
// it: length, type 91, the semi-octets of 7 and the digits, F-padded.
inline std::string AddressOf(const std::string& number) {
  std::string digits = "7" + number;
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out += kHex[(digits.size() >> 4) & 0xF];
  out += kHex[digits.size() & 0xF];
  out += "91";
  if (digits.size() % 2 != 0) digits += 'F';
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    out += digits[i + 1];
    out += digits[i];
  }
  return out;
}

inline std::string RecipientsFile(const std::vector<std::string>& numbers) {
  std::string b(92, '\0');
  PutU16(b, 0, static_cast<std::uint16_t>(numbers.size()));
  for (std::size_t i = 0; i < numbers.size() && i < 3; ++i) {
    b.replace(2 + 30 * i, numbers[i].size(), numbers[i]);
    std::string a = AddressOf(numbers[i]);
    b.replace(12 + 30 * i, a.size(), a);
  }
  return b;
}

inline std::string TemplateFile(const std::u16string& title, const std::vector<std::u16string>& events) {
  std::string b(840, '\0');
  for (std::size_t i = 0; i < title.size() && i < 20; ++i) PutU16(b, 2 * i, title[i]);
  for (std::size_t e = 0; e < events.size() && e < 16; ++e) {
    PutU16(b, 40 + 50 * e, 1);
    for (std::size_t i = 0; i < events[e].size() && i < 20; ++i) PutU16(b, 50 + 50 * e + 2 * i, events[e][i]);
  }
  return b;
}

// The server control block LW 6000..6013 with marker words, `state` and `flags`.
inline void ServerBlock(Harness& h, std::uint32_t state, std::uint32_t flags = 0x0100) {
  for (int i = 0; i < 14; ++i) h.SetWord(DeviceLW, 6000 + i, static_cast<std::uint16_t>(0x100 + i));
  h.SetPair(DeviceLW, 6003, flags);
  h.SetPair(DeviceLW, 6005, state);
}

// The text of the message file the server composers write for a template
// image (840 bytes) and an event mask; nothing when no event is listed and
// `allClear` is false.
std::optional<std::u16string> ComposedMessage(std::span<const std::uint8_t> image, std::uint16_t mask,
                                              bool allClear);

// UCS2 units as the big-endian octets an SMS carries them in.
Bytes Ucs2Octets(const std::u16string& text);

// Decodes every 200-byte record of a PDU frame file with the host's decoder
// and checks it: a well-formed SMS-SUBMIT in UCS2 for `address`, part k + 1
// of `parts` carrying `text` split in 39-unit parts. Aborts otherwise.
void CheckFrames(const std::string& plugin, const std::string& frames,
                 const std::vector<std::string>& numbers, const std::u16string& text);

// Checks a PDU frame file character by character against the layout of the
// SMS-SUBMIT texts for these destination-address texts (copied verbatim,
// whatever they hold): per address one record per 39-unit part, the
// reference read from the record and the same for all parts of an address.
void CheckFrameTexts(const std::string& plugin, const std::string& frames,
                     const std::vector<std::string>& addresses, const std::u16string& text);

}  // namespace fuzz

#include "fixtures.h"

#include <cstdlib>
#include <cstring>

namespace fuzz {
namespace {

constexpr std::size_t kTextUnits = 20;
constexpr std::size_t kUnitsPerPart = 39;

// A UCS2 text field of the template: at most 20 units, up to the first 0.
std::u16string Field(std::span<const std::uint8_t> image, std::size_t at) {
  std::u16string t;
  for (std::size_t i = 0; i < kTextUnits; ++i) {
    std::uint16_t u = U16(image, at + 2 * i);
    if (u == 0) break;
    t.push_back(static_cast<char16_t>(u));
  }
  return t;
}

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string Hex2(unsigned v) {
  static const char kHex[] = "0123456789ABCDEF";
  return {kHex[(v >> 4) & 0xF], kHex[v & 0xF]};
}

std::string HexUnits(const std::u16string& text) {
  std::string out;
  for (char16_t u : text) out += Hex2(u >> 8) + Hex2(u & 0xFF);
  return out;
}

}  // namespace

std::optional<std::u16string> ComposedMessage(std::span<const std::uint8_t> image, std::uint16_t mask,
                                              bool allClear) {
  std::u16string text;
  std::u16string title = Field(image, 0);
  if (!title.empty()) text += u"[" + title + u"]\n";
  int listed = 0;
  for (int i = 0; i < 16; ++i) {
    std::size_t entry = 40 + 50 * static_cast<std::size_t>(i);
    if (U16(image, entry) == 0 || ((mask >> i) & 1u) == 0) continue;
    ++listed;  // the number is taken even when the text is empty
    std::u16string event = Field(image, entry + 10);
    if (!event.empty()) text += Ascii(std::to_string(listed) + ". ") + event + u"\n";
  }
  if (listed == 0) {
    if (!allClear) return std::nullopt;
    text += u"\u041E\u041A.";
  }
  return text;
}

Bytes Ucs2Octets(const std::u16string& text) {
  Bytes out;
  for (char16_t u : text) {
    out.push_back(static_cast<std::uint8_t>(u >> 8));
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
  }
  return out;
}

void CheckFrames(const std::string& plugin, const std::string& frames,
                 const std::vector<std::string>& numbers, const std::u16string& text) {
  std::size_t parts = (text.size() + kUnitsPerPart - 1) / kUnitsPerPart;
  std::size_t records = numbers.size() * parts;
  Expect(frames.size() == 2 + 200 * records, plugin, "frame file of " + std::to_string(frames.size()) +
                                                         " bytes for " + std::to_string(records) + " records");
  auto bytes = std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(frames.data()), frames.size());
  Expect(U16(bytes, 0) == records, plugin, "frame file count word");
  for (std::size_t r = 0; r < numbers.size(); ++r) {
    int reference = -1;
    for (std::size_t k = 0; k < parts; ++k) {
      const char* record = frames.data() + 2 + 200 * (r * parts + k);
      std::size_t n = strnlen(record, 200);
      Expect(n < 200, plugin, "a frame record without NUL");
      for (std::size_t i = n; i < 200; ++i) Expect(record[i] == 0, plugin, "bytes after a PDU text");
      std::string where = " in record " + std::to_string(r * parts + k);
      host::SmsDecodeResult d = host::DecodeSubmitPdu(std::string_view(record, n));
      Expect(d.ok, plugin, "undecodable PDU" + where + ": " + d.error);
      const host::SmsSubmit& s = d.sms;
      Expect(s.serviceCentre.number.empty(), plugin, "service centre" + where);
      Expect(s.alphabet == host::SmsAlphabet::Ucs2, plugin, "not UCS2" + where);
      Expect(s.destination.number == "+7" + numbers[r], plugin, "destination " + s.destination.number + where);
      Expect(s.messageReference == k, plugin, "message reference" + where);
      std::u16string part = text.substr(k * kUnitsPerPart, kUnitsPerPart);
      Expect(s.body == Ucs2Octets(part), plugin, "user data" + where);
      if (parts == 1) {
        Expect(!s.headerPresent && !s.concat, plugin, "a header on a single part" + where);
        continue;
      }
      Expect(s.concat && !s.concat->reference16, plugin, "no 8-bit concatenation header" + where);
      Expect(s.concat->total == parts && s.concat->sequence == k + 1, plugin, "part numbers" + where);
      if (reference < 0) reference = s.concat->reference;
      Expect(s.concat->reference == reference, plugin, "reference changes between parts" + where);
      Expect(reference >= 1 && reference <= 250, plugin, "reference out of 1..250" + where);
    }
  }
}

void CheckFrameTexts(const std::string& plugin, const std::string& frames,
                     const std::vector<std::string>& addresses, const std::u16string& text) {
  std::size_t parts = (text.size() + kUnitsPerPart - 1) / kUnitsPerPart;
  std::size_t records = addresses.size() * parts;
  Expect(frames.size() == 2 + 200 * records, plugin, "frame file size");
  auto bytes = std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(frames.data()), frames.size());
  Expect(U16(bytes, 0) == (records & 0xFFFF), plugin, "frame file count word");
  for (std::size_t r = 0; r < addresses.size(); ++r) {
    std::string reference;
    for (std::size_t k = 0; k < parts; ++k) {
      std::string record(frames.data() + 2 + 200 * (r * parts + k), 200);
      std::u16string part = text.substr(k * kUnitsPerPart, kUnitsPerPart);
      std::string head = "00" + std::string(parts > 1 ? "41" : "01") + Hex2(static_cast<unsigned>(k)) +
                         addresses[r] + "0008" +
                         Hex2(static_cast<unsigned>(2 * part.size() + (parts > 1 ? 6 : 0)));
      std::string pdu = head;
      if (parts > 1) {
        if (reference.empty()) reference = record.substr(head.size() + 6, 2);
        pdu += "050003" + reference + Hex2(static_cast<unsigned>(parts)) + Hex2(static_cast<unsigned>(k + 1));
      }
      pdu += HexUnits(part);
      pdu.resize(200, '\0');
      Expect(record == pdu, plugin, "record " + std::to_string(r * parts + k) + " is not the PDU text");
    }
    if (!reference.empty()) {
      char* end = nullptr;
      unsigned long v = std::strtoul(reference.c_str(), &end, 16);
      Expect(*end == '\0' && v >= 1 && v <= 250, plugin, "reference out of 1..250");
    }
  }
}

}  // namespace fuzz

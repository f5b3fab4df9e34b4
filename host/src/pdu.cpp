#include "host/pdu.h"

namespace host {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void PutOctet(std::string& out, unsigned octet) {
  out.push_back(kHex[(octet >> 4) & 0xF]);
  out.push_back(kHex[octet & 0xF]);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int OctetAt(std::string_view hex, std::size_t octet) {
  int hi = HexValue(hex[2 * octet]);
  int lo = HexValue(hex[2 * octet + 1]);
  return hi < 0 || lo < 0 ? -1 : (hi << 4) | lo;
}

constexpr unsigned kSubmit = 0x01;         // TP-MTI SMS-SUBMIT, no validity period
constexpr unsigned kHeaderPresent = 0x40;  // TP-UDHI
constexpr unsigned kUcs2 = 0x08;

}  // namespace

bool IsDestinationAddress(std::string_view hex) {
  if (hex.size() < 4 || hex.size() % 2 != 0) return false;
  int digits = OctetAt(hex, 0);
  int type = OctetAt(hex, 1);
  if (digits < 1 || digits > 20 || type < 0 || (type & 0x80) == 0) return false;
  std::size_t octets = static_cast<std::size_t>(digits + 1) / 2;
  if (hex.size() != 4 + 2 * octets) return false;
  for (std::size_t i = 0; i < octets; ++i) {
    // Semi-octets: the low nibble holds the earlier digit.
    int low = HexValue(hex[4 + 2 * i + 1]);
    int high = HexValue(hex[4 + 2 * i]);
    if (low < 0 || high < 0 || low > 9) return false;
    bool filler = i + 1 == octets && digits % 2 != 0;
    if (filler ? high != 0xF : high > 9) return false;
  }
  return true;
}

std::string EncodeSmsSubmit(std::string_view destination, std::u16string_view text,
                            const Concatenation* concatenation) {
  std::string pdu = "00";
  PutOctet(pdu, kSubmit | (concatenation != nullptr ? kHeaderPresent : 0));
  PutOctet(pdu, 0x00);  // message reference: the modem assigns it
  for (char c : destination) pdu.push_back(c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c);
  PutOctet(pdu, 0x00);  // protocol identifier
  PutOctet(pdu, kUcs2);
  std::size_t octets = 2 * text.size() + (concatenation != nullptr ? 6 : 0);
  PutOctet(pdu, static_cast<unsigned>(octets));
  if (concatenation != nullptr) {
    for (unsigned o : {0x05u, 0x00u, 0x03u, unsigned{concatenation->reference},
                       unsigned{concatenation->total}, unsigned{concatenation->sequence}}) {
      PutOctet(pdu, o);
    }
  }
  for (char16_t unit : text) {
    PutOctet(pdu, static_cast<unsigned>(unit) >> 8);
    PutOctet(pdu, static_cast<unsigned>(unit) & 0xFF);
  }
  return pdu;
}

std::size_t TpduOctets(std::string_view pdu) {
  if (pdu.size() < 2) return 0;
  int smsc = OctetAt(pdu, 0);
  std::size_t skip = 1 + static_cast<std::size_t>(smsc < 0 ? 0 : smsc);
  std::size_t total = pdu.size() / 2;
  return total > skip ? total - skip : 0;
}

std::vector<std::u16string> SplitMessage(std::u16string_view text) {
  if (text.size() <= kSinglePartUnits) return {std::u16string(text)};
  std::vector<std::u16string> parts;
  for (std::size_t at = 0; at < text.size(); at += kConcatPartUnits) {
    parts.emplace_back(text.substr(at, kConcatPartUnits));
  }
  return parts;
}

}  // namespace host

// The host's SMS-SUBMIT decoder, which judges every PDU the plug-ins and the
// host's own builder produce: any hex text. It must refuse with a reason or
// decode consistently, never read outside its input, and its inbox must
// file what it decodes.
//
// Input: the PDU as hex text (any bytes).
#include <cctype>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr char kWhat[] = "DecodeSubmitPdu";

bool ValidUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string hex(reinterpret_cast<const char*>(data), size);
  host::SmsDecodeResult r = host::DecodeSubmitPdu(hex);
  std::string lower = hex;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  host::SmsDecodeResult l = host::DecodeSubmitPdu(lower);
  std::vector<std::uint8_t> octets;
  std::string error;
  bool isHex = host::HexToOctets(hex, &octets, &error);
  if (!r.ok) {
    Expect(!r.error.empty(), kWhat, "refused without a reason");
    Expect(!l.ok, kWhat, "the case of the hex digits changed the verdict");
    if (isHex) Expect(!host::DecodeSubmitOctets(octets).ok, kWhat, "hex and octets judged differently");
    return 0;
  }
  Expect(isHex && l.ok && l.sms.text == r.sms.text, kWhat, "the case of the hex digits changed the decode");
  const host::SmsSubmit& s = r.sms;
  Expect(s.tpduOctets == octets.size() - 1 - octets[0], kWhat, "TPDU length is not what follows the centre");
  Expect(ValidUtf8(s.text), kWhat, "text is not UTF-8");
  if (s.concat) {
    Expect(s.concat->sequence >= 1 && s.concat->sequence <= s.concat->total, kWhat, "part number outside 1..total");
  }
  host::SmsInbox inbox;
  inbox.Add(s);
  bool repeat = s.concat && s.concat->total > 1;
  inbox.Add(s);
  Expect(inbox.Duplicates() == (repeat ? 1 : 0), kWhat, "a repeated part was not dropped");
  return 0;
}

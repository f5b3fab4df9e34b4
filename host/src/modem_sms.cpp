// SMS-SUBMIT decoding: TPDU fields after 3GPP TS 23.040 9.2.2.2, user data
// header after 9.2.3.24, alphabets after 3GPP TS 23.038.
#include <cstdio>

#include "host/sms.h"

namespace host {
namespace {

// The GSM 7-bit default alphabet (TS 23.038 6.2.1).
constexpr char16_t kGsm7[128] = {
    u'@',    u'\u00A3', u'$',     u'\u00A5', u'\u00E8', u'\u00E9', u'\u00F9', u'\u00EC',
    u'\u00F2', u'\u00C7', u'\n',  u'\u00D8', u'\u00F8', u'\r',    u'\u00C5', u'\u00E5',
    u'\u0394', u'_',    u'\u03A6', u'\u0393', u'\u039B', u'\u03A9', u'\u03A0', u'\u03A8',
    u'\u03A3', u'\u0398', u'\u039E', u'\u00A0', u'\u00C6', u'\u00E6', u'\u00DF', u'\u00C9',
    u' ',    u'!',    u'"',    u'#',    u'\u00A4', u'%',    u'&',    u'\'',
    u'(',    u')',    u'*',    u'+',    u',',    u'-',    u'.',    u'/',
    u'0',    u'1',    u'2',    u'3',    u'4',    u'5',    u'6',    u'7',
    u'8',    u'9',    u':',    u';',    u'<',    u'=',    u'>',    u'?',
    u'\u00A1', u'A',  u'B',    u'C',    u'D',    u'E',    u'F',    u'G',
    u'H',    u'I',    u'J',    u'K',    u'L',    u'M',    u'N',    u'O',
    u'P',    u'Q',    u'R',    u'S',    u'T',    u'U',    u'V',    u'W',
    u'X',    u'Y',    u'Z',    u'\u00C4', u'\u00D6', u'\u00D1', u'\u00DC', u'\u00A7',
    u'\u00BF', u'a',  u'b',    u'c',    u'd',    u'e',    u'f',    u'g',
    u'h',    u'i',    u'j',    u'k',    u'l',    u'm',    u'n',    u'o',
    u'p',    u'q',    u'r',    u's',    u't',    u'u',    u'v',    u'w',
    u'x',    u'y',    u'z',    u'\u00E4', u'\u00F6', u'\u00F1', u'\u00FC', u'\u00E0',
};

constexpr std::uint8_t kEscape = 0x1B;

// The extension table reached through the escape septet (TS 23.038 6.2.1.1).
struct Extension {
  std::uint8_t septet;
  char16_t c;
};
constexpr Extension kGsm7Extension[] = {
    {0x0A, u'\f'}, {0x14, u'^'}, {0x28, u'{'}, {0x29, u'}'}, {0x2F, u'\\'},
    {0x3C, u'['},  {0x3D, u'~'}, {0x3E, u']'}, {0x40, u'|'}, {0x65, u'\u20AC'},
};

// A bounds-checked cursor over the octets of a PDU.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}
  std::size_t Left() const { return data_.size() - pos_; }
  bool Octet(std::uint8_t* out) {
    if (Left() < 1) return false;
    *out = data_[pos_++];
    return true;
  }
  bool Octets(std::size_t n, std::span<const std::uint8_t>* out) {
    if (Left() < n) return false;
    *out = data_.subspan(pos_, n);
    pos_ += n;
    return true;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

SmsDecodeResult Fail(std::string why) {
  SmsDecodeResult r;
  r.error = std::move(why);
  return r;
}

std::string Format(const char* fmt, long a, long b = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

// Septet `i` of a packed 7-bit stream; the caller has checked the bounds.
std::uint8_t Septet(std::span<const std::uint8_t> packed, std::size_t i) {
  const std::size_t bit = i * 7;
  const std::size_t at = bit / 8;
  const unsigned shift = bit % 8;
  unsigned v = packed[at] >> shift;
  if (shift > 1 && at + 1 < packed.size()) v |= static_cast<unsigned>(packed[at + 1]) << (8 - shift);
  return static_cast<std::uint8_t>(v & 0x7F);
}

std::size_t PackedOctets(std::size_t septets) { return (septets * 7 + 7) / 8; }

std::string Gsm7ToUtf8(std::span<const std::uint8_t> septets) {
  std::string out;
  for (std::size_t i = 0; i < septets.size(); ++i) {
    const std::uint8_t s = septets[i] & 0x7F;
    if (s != kEscape) {
      AppendUtf8(out, kGsm7[s]);
      continue;
    }
    if (i + 1 == septets.size()) break;  // a lone escape at the end shows nothing
    const std::uint8_t next = septets[++i] & 0x7F;
    char16_t c = next == kEscape ? u' ' : kGsm7[next];  // unknown extensions show the base character
    for (const auto& e : kGsm7Extension) {
      if (e.septet == next) c = e.c;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string Ucs2ToUtf8(std::span<const std::uint8_t> octets) {
  std::string out;
  for (std::size_t i = 0; i + 1 < octets.size(); i += 2) {
    char32_t u = static_cast<char32_t>(octets[i] << 8 | octets[i + 1]);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < octets.size()) {
      const char32_t low = static_cast<char32_t>(octets[i + 2] << 8 | octets[i + 3]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(out, u);  // a lone surrogate becomes U+FFFD
  }
  return out;
}

std::string Latin1ToUtf8(std::span<const std::uint8_t> octets) {
  std::string out;
  for (std::uint8_t o : octets) AppendUtf8(out, o);
  return out;
}

const char kBcdDigits[] = "0123456789*#abc";

// Semi-octet digits, low nibble first; a 0xF filler may only close an odd count.
bool BcdDigits(std::span<const std::uint8_t> octets, int digits, std::string* out, std::string* error) {
  for (int i = 0; i < digits; ++i) {
    const std::uint8_t o = octets[static_cast<std::size_t>(i / 2)];
    const int nibble = (i % 2 == 0) ? (o & 0x0F) : (o >> 4);
    if (nibble == 0x0F) {
      *error = Format("filler 0xF in place of digit %ld of the address", i + 1);
      return false;
    }
    out->push_back(kBcdDigits[nibble]);
  }
  if (digits % 2 == 1 && (octets[static_cast<std::size_t>(digits / 2)] >> 4) != 0x0F) {
    *error = "odd-length address without the 0xF filler";
    return false;
  }
  return true;
}

// The service-centre field: a length in octets, then the type and the digits.
bool ServiceCentre(Reader& in, SmsAddress* out, std::string* error) {
  std::uint8_t length = 0;
  if (!in.Octet(&length)) {
    *error = "empty PDU";
    return false;
  }
  out->length = length;
  if (length == 0) return true;
  if (length > 11) {
    *error = Format("service-centre field of %ld octets (at most 11)", length);
    return false;
  }
  std::span<const std::uint8_t> field;
  if (!in.Octets(length, &field)) {
    *error = "PDU ends inside the service-centre field";
    return false;
  }
  out->type = field[0];
  std::span<const std::uint8_t> digits = field.subspan(1);
  int count = static_cast<int>(digits.size()) * 2;
  if (!digits.empty() && (digits.back() >> 4) == 0x0F) --count;
  if (!BcdDigits(digits, count, &out->number, error)) return false;
  if (((out->type >> 4) & 7) == 1) out->number.insert(0, "+");
  return true;
}

// TP-DA: a length in semi-octets, then the type and the digits.
bool Destination(Reader& in, SmsAddress* out, std::string* error) {
  std::uint8_t digits = 0;
  std::uint8_t type = 0;
  if (!in.Octet(&digits) || !in.Octet(&type)) {
    *error = "PDU ends inside the destination address";
    return false;
  }
  out->length = digits;
  out->type = type;
  if (digits == 0) {
    *error = "empty destination address";
    return false;
  }
  if (digits > 20) {
    *error = Format("destination address of %ld digits (at most 20)", digits);
    return false;
  }
  if ((type & 0x80) == 0) {
    *error = Format("type of address 0x%02lX lacks bit 7", type);
    return false;
  }
  std::span<const std::uint8_t> field;
  if (!in.Octets(static_cast<std::size_t>(digits + 1) / 2, &field)) {
    *error = "PDU ends inside the destination address";
    return false;
  }
  const int ton = (type >> 4) & 7;
  if (ton == 5) {  // alphanumeric: packed 7-bit characters
    std::vector<std::uint8_t> septets;
    const std::size_t count = static_cast<std::size_t>(digits) * 4 / 7;
    for (std::size_t i = 0; i < count; ++i) septets.push_back(Septet(field, i));
    out->number = Gsm7ToUtf8(septets);
    return true;
  }
  if (!BcdDigits(field, digits, &out->number, error)) return false;
  if (ton == 1) out->number.insert(0, "+");
  return true;
}

// TP-DCS (TS 23.038 4): alphabet and message class.
bool DataCoding(std::uint8_t dcs, SmsSubmit* sms, std::string* error) {
  const std::uint8_t group = dcs & 0xF0;
  if (group < 0x80) {  // general data coding, with or without automatic deletion
    if (dcs & 0x20) {
      *error = Format("compressed user data (DCS 0x%02lX) is not supported", dcs);
      return false;
    }
    const int alphabet = (dcs >> 2) & 3;
    if (alphabet == 3) {
      *error = Format("reserved alphabet in DCS 0x%02lX", dcs);
      return false;
    }
    sms->alphabet = alphabet == 0 ? SmsAlphabet::Gsm7 : alphabet == 1 ? SmsAlphabet::Data8 : SmsAlphabet::Ucs2;
    if (dcs & 0x10) sms->messageClass = dcs & 3;
    return true;
  }
  if (group == 0xF0) {
    sms->alphabet = (dcs & 0x04) ? SmsAlphabet::Data8 : SmsAlphabet::Gsm7;
    sms->messageClass = dcs & 3;
    return true;
  }
  // Message waiting groups; reserved groups are read as the default alphabet.
  sms->alphabet = group == 0xE0 ? SmsAlphabet::Ucs2 : SmsAlphabet::Gsm7;
  return true;
}

long RelativeValidityMinutes(std::uint8_t vp) {
  if (vp <= 143) return (vp + 1L) * 5;
  if (vp <= 167) return 12 * 60 + (vp - 143L) * 30;
  if (vp <= 196) return (vp - 166L) * 24 * 60;
  return (vp - 192L) * 7 * 24 * 60;
}

// The user data header's elements; keeps the concatenation element.
bool HeaderElements(std::span<const std::uint8_t> header, SmsSubmit* sms, std::string* error) {
  std::size_t at = 0;
  while (at < header.size()) {
    if (header.size() - at < 2) {
      *error = "user data header ends inside an element";
      return false;
    }
    const std::uint8_t iei = header[at];
    const std::size_t length = header[at + 1];
    if (header.size() - at - 2 < length) {
      *error = Format("header element 0x%02lX of %ld octets overruns the header", iei, static_cast<long>(length));
      return false;
    }
    std::span<const std::uint8_t> data = header.subspan(at + 2, length);
    at += 2 + length;
    if (iei != 0x00 && iei != 0x08) continue;
    const std::size_t want = iei == 0x00 ? 3 : 4;
    if (length != want) {
      *error = Format("concatenation element 0x%02lX of %ld octets", iei, static_cast<long>(length));
      return false;
    }
    if (sms->concat) {
      *error = "two concatenation elements";
      return false;
    }
    SmsConcat c;
    c.reference16 = iei == 0x08;
    c.reference = c.reference16 ? static_cast<std::uint16_t>(data[0] << 8 | data[1]) : data[0];
    c.total = data[want - 2];
    c.sequence = data[want - 1];
    if (c.total == 0 || c.sequence == 0 || c.sequence > c.total) {
      *error = Format("concatenation part %ld of %ld", c.sequence, c.total);
      return false;
    }
    sms->concat = c;
  }
  return true;
}

bool UserData(Reader& in, SmsSubmit* sms, std::string* error) {
  const bool septets = sms->alphabet == SmsAlphabet::Gsm7;
  const std::size_t udl = sms->userDataLength;
  if (udl > (septets ? 160u : 140u)) {
    *error = Format("TP-UDL %ld exceeds %ld", static_cast<long>(udl), septets ? 160 : 140);
    return false;
  }
  const std::size_t octets = septets ? PackedOctets(udl) : udl;
  if (in.Left() < octets) {
    *error = Format("user data of %ld octets where TP-UDL needs %ld", static_cast<long>(in.Left()),
                    static_cast<long>(octets));
    return false;
  }
  std::span<const std::uint8_t> ud;
  in.Octets(octets, &ud);
  if (in.Left() != 0) {
    *error = Format("%ld octets after the user data", static_cast<long>(in.Left()));
    return false;
  }
  std::size_t skipOctets = 0;
  if (sms->headerPresent) {
    if (ud.empty()) {
      *error = "TP-UDHI set but no user data";
      return false;
    }
    const std::size_t udhl = ud[0];
    if (udhl + 1 > ud.size()) {
      *error = Format("user data header of %ld octets overruns the user data", static_cast<long>(udhl));
      return false;
    }
    sms->header.assign(ud.begin() + 1, ud.begin() + 1 + static_cast<std::ptrdiff_t>(udhl));
    if (!HeaderElements(ud.subspan(1, udhl), sms, error)) return false;
    skipOctets = udhl + 1;
  }
  if (septets) {
    const std::size_t skip = (skipOctets * 8 + 6) / 7;  // header and fill bits, in septets
    if (skip > udl) {
      *error = "user data header longer than TP-UDL";
      return false;
    }
    for (std::size_t i = skip; i < udl; ++i) sms->body.push_back(Septet(ud, i));
    sms->text = Gsm7ToUtf8(sms->body);
    return true;
  }
  sms->body.assign(ud.begin() + static_cast<std::ptrdiff_t>(skipOctets), ud.end());
  if (sms->alphabet == SmsAlphabet::Ucs2) {
    if (sms->body.size() % 2 != 0) {
      *error = Format("UCS2 text of %ld octets (odd)", static_cast<long>(sms->body.size()));
      return false;
    }
    sms->text = Ucs2ToUtf8(sms->body);
  } else {
    sms->text = Latin1ToUtf8(sms->body);
  }
  return true;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool HexToOctets(std::string_view hex, std::vector<std::uint8_t>* out, std::string* error) {
  out->clear();
  if (hex.empty()) {
    *error = "empty PDU";
    return false;
  }
  if (hex.size() % 2 != 0) {
    *error = Format("odd number of hex digits (%ld)", static_cast<long>(hex.size()));
    return false;
  }
  out->reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexValue(hex[i]);
    const int lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      const std::size_t bad = hi < 0 ? i : i + 1;
      *error = Format("not a hex digit (0x%02lX) at position %ld", static_cast<unsigned char>(hex[bad]),
                      static_cast<long>(bad));
      out->clear();
      return false;
    }
    out->push_back(static_cast<std::uint8_t>(hi << 4 | lo));
  }
  return true;
}

SmsDecodeResult DecodeSubmitPdu(std::string_view hex) {
  std::vector<std::uint8_t> octets;
  std::string error;
  if (!HexToOctets(hex, &octets, &error)) return Fail(error);
  return DecodeSubmitOctets(octets);
}

SmsDecodeResult DecodeSubmitOctets(std::span<const std::uint8_t> octets) {
  SmsDecodeResult r;
  SmsSubmit& sms = r.sms;
  Reader in(octets);
  if (!ServiceCentre(in, &sms.serviceCentre, &r.error)) return r;
  sms.tpduOctets = in.Left();

  std::uint8_t fo = 0;
  if (!in.Octet(&fo)) return Fail("no TPDU after the service-centre field");
  if ((fo & 3) != 1) return Fail(Format("TP-MTI %ld is not SMS-SUBMIT", fo & 3));
  sms.firstOctet = fo;
  sms.rejectDuplicates = (fo & 0x04) != 0;
  sms.validityFormat = static_cast<std::uint8_t>((fo >> 3) & 3);
  sms.statusReport = (fo & 0x20) != 0;
  sms.headerPresent = (fo & 0x40) != 0;
  sms.replyPath = (fo & 0x80) != 0;
  if (!in.Octet(&sms.messageReference)) return Fail("PDU ends before TP-MR");
  if (!Destination(in, &sms.destination, &r.error)) return r;
  if (!in.Octet(&sms.protocolId) || !in.Octet(&sms.dataCoding)) return Fail("PDU ends before TP-PID and TP-DCS");
  if (!DataCoding(sms.dataCoding, &sms, &r.error)) return r;

  static constexpr std::size_t kValidityOctets[4] = {0, 7, 1, 7};
  std::span<const std::uint8_t> vp;
  if (!in.Octets(kValidityOctets[sms.validityFormat], &vp)) return Fail("PDU ends inside TP-VP");
  sms.validity.assign(vp.begin(), vp.end());
  if (sms.validityFormat == 2) sms.validityMinutes = RelativeValidityMinutes(vp[0]);

  if (!in.Octet(&sms.userDataLength)) return Fail("PDU ends before TP-UDL");
  if (!UserData(in, &sms, &r.error)) return r;
  r.ok = true;
  return r;
}

}  // namespace host

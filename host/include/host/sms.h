// SMS-SUBMIT PDUs as a modem receives them in PDU mode (3GPP TS 27.005), and
// the inbox that gathers what each phone number would receive.
//
// The decoder is written from the TPDU layout of 3GPP TS 23.040 and the
// alphabets of 3GPP TS 23.038 alone, so that it can judge the plug-ins'
// encoders instead of agreeing with them. It checks every length against the
// octets present and reports the first fault it finds as a reason; it never
// reads past its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// TP-DCS alphabets.
enum class SmsAlphabet : std::uint8_t { Gsm7, Data8, Ucs2 };

// An address field (TP-DA or the service centre).
struct SmsAddress {
  // Digits 0-9 and * # a b c; "+" in front when the type of number is
  // international; the decoded text for an alphanumeric address.
  std::string number;
  std::uint8_t type = 0;  // type-of-address octet: 0x91 international, 0x81 unknown, 0xA1 national
  int length = 0;         // the length field as sent (semi-octets for TP-DA, octets for the centre)
};

// The concatenation element of the user data header (IE 0x00 or 0x08).
struct SmsConcat {
  std::uint16_t reference = 0;
  bool reference16 = false;  // IE 0x08, 16-bit reference
  std::uint8_t total = 0;    // parts of the message, 1..255
  std::uint8_t sequence = 0; // this part, 1..total
};

struct SmsSubmit {
  SmsAddress serviceCentre;   // empty number when the field is 0 (the modem's default)
  std::uint8_t firstOctet = 0;
  bool rejectDuplicates = false;
  bool statusReport = false;
  bool replyPath = false;
  bool headerPresent = false;      // TP-UDHI
  std::uint8_t validityFormat = 0; // TP-VPF: 0 none, 1 enhanced, 2 relative, 3 absolute
  std::uint8_t messageReference = 0;
  SmsAddress destination;
  std::uint8_t protocolId = 0;
  std::uint8_t dataCoding = 0;
  SmsAlphabet alphabet = SmsAlphabet::Gsm7;
  int messageClass = -1;                  // 0..3, or -1 when the DCS gives none
  std::vector<std::uint8_t> validity;     // TP-VP as sent: 0, 1 or 7 octets
  long validityMinutes = -1;              // a relative TP-VP in minutes, else -1
  std::uint8_t userDataLength = 0;        // TP-UDL: septets (7-bit) or octets
  std::vector<std::uint8_t> header;       // the header's elements, without the UDHL octet
  std::optional<SmsConcat> concat;
  std::vector<std::uint8_t> body;         // user data after the header: septets or octets, one per byte
  std::string text;                       // the body as UTF-8 (8-bit data: each octet as U+0000..U+00FF)
  std::size_t tpduOctets = 0;             // octets after the service-centre field (what AT+CMGS announces)
};

struct SmsDecodeResult {
  bool ok = false;
  std::string error;  // why the PDU was refused; empty when ok
  SmsSubmit sms;
};

// Hex text (either case, no separators) to octets; false with a reason for an
// odd count, a non-hex character or an empty text.
bool HexToOctets(std::string_view hex, std::vector<std::uint8_t>* out, std::string* error);

// Decodes a PDU given as hex text (either case, no separators) that starts
// with the service-centre length octet, as it follows AT+CMGS in PDU mode.
SmsDecodeResult DecodeSubmitPdu(std::string_view hex);
// The same for octets.
SmsDecodeResult DecodeSubmitOctets(std::span<const std::uint8_t> octets);

// One complete SMS as the phone shows it.
struct ReceivedSms {
  std::string number;          // destination, as decoded
  std::string text;            // all parts in sequence order, UTF-8
  int parts = 1;
  int reference = -1;          // concatenation reference; -1 without a concatenation header
  bool reference16 = false;
};

// Parts of a concatenated SMS still waiting for the rest.
struct PendingSms {
  std::string number;
  int reference = 0;
  bool reference16 = false;
  int total = 0;
  std::vector<int> received;   // sequence numbers present, ascending
};

// Reassembles concatenated parts per (destination, reference and its width,
// total) and keeps, per phone number, every SMS completed, in the order of
// completion. A part that repeats a sequence number already held is counted
// as a duplicate and dropped; parts may come in any order.
class SmsInbox {
 public:
  // Files one part. Returns true when it completed an SMS.
  bool Add(const SmsSubmit& part);

  const std::vector<ReceivedSms>& All() const { return received_; }
  std::vector<ReceivedSms> For(std::string_view number) const;
  std::vector<std::string> Numbers() const;  // numbers with a complete SMS, sorted
  std::vector<PendingSms> Pending() const;
  int Duplicates() const { return duplicates_; }
  void Clear();

 private:
  struct Partial {
    PendingSms key;
    std::vector<std::string> texts;  // by sequence - 1
    std::vector<bool> have;
  };
  std::vector<ReceivedSms> received_;
  std::vector<Partial> partial_;
  int duplicates_ = 0;
};

// Appends code point `c` as UTF-8 (U+FFFD for values that are not scalar values).
void AppendUtf8(std::string& out, char32_t c);

}  // namespace host

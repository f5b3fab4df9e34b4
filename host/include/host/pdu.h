// SMS-SUBMIT PDUs in UCS2 (3GPP TS 23.040, data coding 0x08 of TS 23.038) as
// the upper-case hexadecimal text that AT+CMGS takes in PDU mode (TS 27.005),
// for the substitute host's PDU structure builder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host {

inline constexpr std::size_t kSinglePartUnits = 70;  // 140 octets of user data
inline constexpr std::size_t kConcatPartUnits = 67;  // 134 octets after a 6-octet header

// The concatenation header of one part: 8-bit reference, parts, part number.
struct Concatenation {
  std::uint8_t reference;
  std::uint8_t total;
  std::uint8_t sequence;  // 1-based
};

// True for a destination-address field as hex text: digit count, type of
// address with bit 7 set, then the semi-octets (F filler for an odd count).
bool IsDestinationAddress(std::string_view hex);

// The PDU: "00" for the modem's own service centre, then the TPDU with
// first octet 0x01 (0x41 with a header), message reference 0, the address,
// PID 0, DCS 0x08, user-data length and the text big-endian.
std::string EncodeSmsSubmit(std::string_view destination, std::u16string_view text,
                            const Concatenation* concatenation);

// Octets that AT+CMGS announces: the PDU without its service-centre field.
std::size_t TpduOctets(std::string_view pdu);

// One part for up to 70 units, else parts of 67 units.
std::vector<std::u16string> SplitMessage(std::u16string_view text);

}  // namespace host

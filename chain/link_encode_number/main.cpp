// The phone number encoder: every ten-digit number of RW 5 + 5i becomes the
// destination-address text of an SMS-SUBMIT PDU in RW 30 + 10i: "0B" (eleven
// digits), "91" (international), then the country code 7 and the digits,
// padded with F and swapped pairwise. The first invalid number ends the call.
#include <cstdlib>
#include <cstring>
#include <span>

#include "ascii_text.h"
#include "macro/chain_registers.h"
#include "macro/registers.h"
#include "macro/text.h"

namespace {

constexpr std::size_t kDigits = 10;
constexpr std::size_t kNumberBytes = kDigits + 1;  // ten digits and a terminator
constexpr std::size_t kAddressBytes = 20;          // 16 characters, zero-filled
constexpr char kCountryCode[] = "7";
constexpr char kInternational[] = "91";

// Releases the buffer it holds when the call leaves, on every path.
struct Bytes {
  char* data = nullptr;
  ~Bytes() { std::free(data); }
};

// 1 for exactly ten decimal digits, else 0.
int CheckPhoneNumber(std::span<const char> text) {
  std::size_t length = charlen(text.data(), text.size());
  if (length != kDigits) return 0;
  for (std::size_t i = 0; i < kDigits; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
  }
  return 1;
}

// The encoded address as a new zero-filled 20-byte text, or nullptr for an
// invalid number or exhausted storage. The caller releases it.
char* EncodingPhone(std::span<const char> number) {
  if (CheckPhoneNumber(number) == 0) return nullptr;
  char work[kAddressBytes] = {};
  std::memcpy(work, kCountryCode, sizeof kCountryCode - 1);
  std::memcpy(work + 1, number.data(), kDigits);
  std::size_t length = std::strlen(work);
  char lengthField[3] = {};
  FormatHexByte(lengthField, static_cast<std::uint8_t>(length));
  if (length % 2 != 0) work[length++] = 'F';
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    char c = work[i];
    work[i] = work[i + 1];
    work[i + 1] = c;
  }
  auto* result = static_cast<char*>(std::calloc(kAddressBytes, 1));
  if (result == nullptr) return nullptr;
  std::memcpy(result, lengthField, 2);
  std::memcpy(result + 2, kInternational, 2);
  std::memcpy(result + 4, work, length);
  return result;
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  std::uint16_t count = 0;
  xReadLocal(host, "RW", kPhoneCountAddress, 1, &count, 0);
  Bytes number{static_cast<char*>(std::malloc(kNumberBytes))};
  if (number.data == nullptr) return 0;
  for (int i = 0; i < count; ++i) {
    std::memset(number.data, 0, kNumberBytes);
    xReadLocal(host, "RW", kPhoneNumberAddress + kPhoneNumberWords * i, kPhoneNumberWords,
               number.data, 0);
    Bytes address{EncodingPhone(std::span<const char>(number.data, kNumberBytes))};
    if (address.data == nullptr) return 0;
    xWriteLocal(host, "RW", kDestinationAddress + kDestinationWords * i, kDestinationWords,
                address.data, 0);
  }
  return 0;
}

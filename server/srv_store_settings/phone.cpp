#include "phone.h"

#include <cstdlib>
#include <cstring>

#include "macro/codes.h"
#include "macro/memory.h"
#include "macro/server.h"
#include "macro/text.h"
#include "server/settings.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kCountryPrefix = '7';
constexpr char kInternationalIsdn[] = "91";

}  // namespace

char* EncodingPhone(const char* number, std::uint16_t* err) {
  if (number == nullptr) {
    SetError(ErrNoPhoneNumber, err);
    return nullptr;
  }
  char work[kAddressBytes] = {};
  std::size_t n = 0;
  work[n++] = kCountryPrefix;
  for (std::size_t i = 0; i < kPhoneNumberBytes && number[i] != '\0'; ++i) {
    // Only digits may reach the modem's command stream.
    if (number[i] < '0' || number[i] > '9') {
      SetError(ErrNoPhoneNumber, err);
      return nullptr;
    }
    work[n++] = number[i];
  }
  std::size_t digits = n;
  if (digits % 2 != 0) work[n++] = 'F';
  for (std::size_t i = 0; i + 1 < n; i += 2) {
    char c = work[i];
    work[i] = work[i + 1];
    work[i + 1] = c;
  }
  char* address = AllocZeroed<char>(kAddressBytes);
  if (address == nullptr) {
    SetError(ErrOutOfMemory, err);
    return nullptr;
  }
  address[0] = kHexDigits[(digits >> 4) & 0xF];
  address[1] = kHexDigits[digits & 0xF];
  std::memcpy(address + 2, kInternationalIsdn, 2);
  std::memcpy(address + 4, work, n);
  return address;
}

int EncodePhoneList(std::uint8_t* list, std::uint16_t* err) {
  if (list == nullptr) {
    SetError(ErrNullArgument, err);
    return -1;
  }
  // The record holds three entries; a larger count never reaches past them.
  std::uint16_t count = static_cast<std::uint16_t>(list[0] | (list[1] << 8));
  if (count > kMaxRecipients) count = kMaxRecipients;
  for (int i = 0; i < count; ++i) {
    char number[kPhoneNumberBytes + 1] = {};
    std::memcpy(number, list + RecipientNumberOffset(i), kPhoneNumberBytes);
    Owned<char> address(EncodingPhone(number, err));
    if (!address) return -1;
    std::uint8_t* field = list + RecipientAddressOffset(i);
    std::memset(field, 0, kAddressBytes);
    std::memcpy(field, address.get(), charlen(address.get(), kAddressBytes));
  }
  return 0;
}

// Phone numbers as SMS destination addresses.
#pragma once

#include <cstdint>

// The destination-address text for a national number: length of "7" plus
// the digits as two hex digits, type "91", then the digits swapped in pairs
// with an F filler. A new 20-byte zero-filled buffer the caller frees, or
// nullptr with 236 (no number, or a byte other than 0-9) or 237 recorded.
char* EncodingPhone(const char* number, std::uint16_t* err);

// Fills the address field of every entry in use of a 92-byte recipient list.
int EncodePhoneList(std::uint8_t* list, std::uint16_t* err);

#include "ascii_text.h"

#include <cstddef>

void AppendAscii(std::span<char> buffer, const char* text) {
  if (buffer.empty() || text == nullptr) return;
  std::size_t at = 0;
  while (at < buffer.size() && buffer[at] != '\0') ++at;
  if (at == buffer.size()) return;  // no terminator: the buffer is full
  for (std::size_t i = 0; text[i] != '\0' && at + 1 < buffer.size(); ++i) buffer[at++] = text[i];
  buffer[at] = '\0';
}

void FormatDecimal(std::span<char> buffer, std::uint32_t value) {
  if (buffer.empty()) return;
  char digits[10];  // 4294967295
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::size_t at = 0;
  while (n > 0 && at + 1 < buffer.size()) buffer[at++] = digits[--n];
  buffer[at] = '\0';
}

void FormatHexByte(std::span<char, 3> buffer, std::uint8_t value) {
  constexpr char kHex[] = "0123456789ABCDEF";
  buffer[0] = kHex[value >> 4];
  buffer[1] = kHex[value & 0xF];
  buffer[2] = '\0';
}

#include "ucs2_text.h"

#include <cstdlib>

std::uint16_t wcharlen(std::span<const std::uint16_t> text) {
  if (text.data() == nullptr) return 0;
  std::size_t n = 0;
  while (n < text.size() && n < 0xFFFF && text[n] != 0) ++n;
  return static_cast<std::uint16_t>(n);
}

std::uint16_t* wcharcat(std::span<std::uint16_t> destination,
                        std::span<const std::uint16_t> source) {
  if (destination.data() == nullptr) return nullptr;
  std::size_t at = wcharlen(destination);
  if (at >= destination.size()) return destination.data();  // full: no room for a terminator
  if (source.data() != nullptr) {
    for (std::size_t i = 0; i < source.size() && source[i] != 0; ++i) {
      if (at + 1 >= destination.size()) break;
      destination[at++] = source[i];
    }
  }
  destination[at] = 0;
  return destination.data();
}

std::uint16_t* ConvertCharToUShort(const char* text, std::size_t limit) {
  std::size_t n = 0;
  if (text != nullptr) {
    while (n < limit && text[n] != '\0') ++n;
  }
  auto* wide = static_cast<std::uint16_t*>(std::malloc((n + 1) * sizeof(std::uint16_t)));
  if (wide == nullptr) return nullptr;
  for (std::size_t i = 0; i < n; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  wide[n] = 0;
  return wide;
}

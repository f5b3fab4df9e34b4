// Length of 8-bit text in a bounded field.
#pragma once

#include <cstddef>

// Characters before the first NUL, looking at no more than `max` of them.
// (The C library's strnlen is not in every msvcrt.dll, and the PC build's
// import library fills it in with a static copy that brings its own unwind
// tables; these few lines cost less.)
inline std::size_t charlen(const char* text, std::size_t max) {
  std::size_t n = 0;
  while (n < max && text[n] != '\0') ++n;
  return n;
}

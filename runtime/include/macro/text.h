// Length of 8-bit text in a bounded field.
#pragma once

#include <cstddef>
#include <cstring>

// Characters before the first NUL, looking at no more than `max` of them.
// The panel's C library has strnlen. msvcrt.dll has it only from Windows 7 on,
// so the PC build's import library fills it in with a static copy that brings
// unwind tables along; these three lines cost less there.
inline std::size_t charlen(const char* text, std::size_t max) {
#if defined(_WIN32)
  std::size_t n = 0;
  while (n < max && text[n] != '\0') ++n;
  return n;
#else
  return strnlen(text, max);
#endif
}

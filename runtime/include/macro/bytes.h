// Little-endian fields of packed records, read and written byte by byte so
// that no field needs to be aligned.
#pragma once

#include <cstdint>

inline std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

// A 32-bit value kept in two consecutive 16-bit words, low half first.
inline std::uint32_t GetWordPair(const std::uint16_t* words, int index) {
  return static_cast<std::uint32_t>(words[index]) |
         (static_cast<std::uint32_t>(words[index + 1]) << 16);
}

inline void SetWordPair(std::uint16_t* words, int index, std::uint32_t v) {
  words[index] = static_cast<std::uint16_t>(v);
  words[index + 1] = static_cast<std::uint16_t>(v >> 16);
}

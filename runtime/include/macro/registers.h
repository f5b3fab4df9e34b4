// Register access by device name, and the fixed register addresses.
#pragma once

#include <cstdint>

#include "macro/abi.h"

// Fixed addresses of the shared register map.
inline constexpr int kModemCommandAddress = 0;    // LW 0..99, command text
inline constexpr int kModemCommandWords = 100;
inline constexpr int kModemReplyAddress = 100;    // LW 100..199, reply text
inline constexpr int kModemReplyWords = 100;
inline constexpr int kTransmitRequestBit = 0;     // LB 0
inline constexpr int kChainSentTickAddress = 1007;  // LW 1007..1008
inline constexpr int kEventMaskAddress = 5999;    // LW 5999
inline constexpr int kControlBlockAddress = 6000;  // LW 6000..6013
inline constexpr int kTickAddress = 9034;         // LW 9034..9035, low half first

inline constexpr int kTrimLineSize = 4096;

// Copies `name` without leading and trailing spaces (0x20 only) into the
// runtime's name buffer and returns it. At most 4095 characters are kept.
char* trim1(const char* name);

#if defined(MACRO_VECTOR_WORDS)
// Reads or writes `count` elements of the named area through the host.
// Returns the host's result (1 = success), or 0 without calling the host when
// the name is not a device name.
int xReadLocal(HostVector host, const char* device, int address, int count, void* buffer, int last);
int xWriteLocal(HostVector host, const char* device, int address, int count, void* buffer, int last);
#endif

// The 16-bit word with only bit n set; 0 for n of 16 and above.
std::uint16_t SetMacroVector(std::uint16_t n);

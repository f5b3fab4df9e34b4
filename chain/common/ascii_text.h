// Bounded building of the chain's ASCII texts (modem commands, status texts,
// numbers). The formatters do what snprintf does with "%u" and "%02X" into a
// buffer of the given size, without pulling a printf engine into the plug-in.
#pragma once

#include <cstdint>
#include <span>

// Appends `text` after the text already in `buffer`, keeping the buffer
// NUL-terminated: what does not fit before the last byte is dropped.
void AppendAscii(std::span<char> buffer, const char* text);

// `value` in decimal, NUL-terminated; a number longer than the buffer keeps
// its leading digits (1234 in four bytes gives "123").
void FormatDecimal(std::span<char> buffer, std::uint32_t value);

// `value` as two upper-case hexadecimal digits and a NUL (three bytes).
void FormatHexByte(std::span<char, 3> buffer, std::uint8_t value);

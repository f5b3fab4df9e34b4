// UCS2 text held one code unit per word, ended by a zero unit or by the end
// of its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Units before the first zero unit (or the whole span), as a 16-bit count;
// 0 for a missing text.
std::uint16_t wcharlen(std::span<const std::uint16_t> text);

// Appends the units of `source` up to its terminator to the text in
// `destination` and ends it with a zero unit, never writing past the span:
// what does not fit is dropped. Returns the destination, or nullptr when the
// destination is missing (the callers' failure signal); a missing source
// leaves the destination unchanged.
std::uint16_t* wcharcat(std::span<std::uint16_t> destination, std::span<const std::uint16_t> source);

// A new UCS2 copy of at most `limit` bytes of an 8-bit text, one unit per
// byte, zero-terminated; nullptr when storage cannot be obtained. The caller
// releases it with free().
std::uint16_t* ConvertCharToUShort(const char* text, std::size_t limit);

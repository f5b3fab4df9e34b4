// UCS2 text helpers and the composition steps shared by the two composers.
// A text is a sequence of 16-bit units ended by a 0 unit; a full field has
// no terminator, so reads of template texts are bounded by a limit.
#pragma once

#include <cstdint>
#include <span>

#include "macro/abi.h"

// Units per message line the composers reserve: the longest line (a "16. "
// prefix, 20 units of text and LF) fits with room to spare.
inline constexpr int kUnitsPerLine = 30;
inline constexpr std::uint16_t kBuildingMark = 0xFFFF;

// A new UCS2 copy of an ASCII text, one unit per byte and a 0 unit; the
// caller frees it. nullptr when out of memory.
std::uint16_t* ConvertCharToUnicode(const char* text);

// Units before the first 0 unit, at most *limit when a limit is given;
// -1 for a missing text.
int wcharlen(const std::uint16_t* text, const std::uint16_t* limit);

// Appends src (at most *limit units) at the first 0 unit of dest and ends it
// with a 0 unit. Returns the units appended, 0 for a missing source, -1 for a
// missing destination or one without room for the text and its terminator.
int wcharcat(std::span<std::uint16_t> dest, const std::uint16_t* src, const std::uint16_t* limit);

// wcharcat into the message; -1 with 238 when nothing could be appended.
int AddStringToMsg(std::span<std::uint16_t> message, const std::uint16_t* text,
                   const std::uint16_t* limit, std::uint16_t* err);

// 1 when event `index` is enabled in the template and set in the mask.
int CheckEvent(const std::uint16_t* events, const std::uint16_t* mask, int index);

// Listed events plus one (the title line), or 0 with 240 recorded (when err is
// given) when no event is listed.
int GetEventsNumber(const std::uint16_t* events, const std::uint16_t* mask, std::uint16_t* err);

int AddTitleToMsg(std::span<std::uint16_t> message, const std::uint16_t* title,
                  const std::uint16_t* limit, std::uint16_t* err);
int AddEventToMsg(std::span<std::uint16_t> message, const std::uint16_t* text,
                  const std::uint16_t* limit, std::uint16_t line, std::uint16_t* err);

// The message buffer: unit 0 the count N, the text from unit 1.
struct ComposedMessage {
  std::uint16_t* units;  // owned, freed by the caller
  std::size_t capacity;  // in units
};

// Builds the message for `lines` reserved lines (0: the all-clear message).
// Appends the title line and one numbered line per listed event, or the
// all-clear text when `lines` is 0. Returns false with the code recorded.
bool ComposeEventList(const std::uint16_t* image, const std::uint16_t* mask, int lines,
                      ComposedMessage* out, std::uint16_t* err);

#if defined(MACRO_VECTOR_WORDS)
// Reads the event mask (LW 5999; 242 on failure) and the message template
// from "SMSProfile_3.bin" (245 on failure) into `image`.
bool LoadComposeInputs(HostVector host, std::uint16_t* mask, std::span<std::uint16_t> image,
                       std::uint16_t* err);
#endif

// Writes count and text of a composed message to "SMSMessage.bin".
[[nodiscard]] int SaveMessage(const ComposedMessage& message, std::uint16_t* err);

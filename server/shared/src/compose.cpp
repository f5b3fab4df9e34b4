#include "server/compose.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "macro/codes.h"
#include "macro/memory.h"
#include "macro/registers.h"
#include "macro/server.h"
#include "server/settings.h"

static_assert(std::endian::native == std::endian::little,
              "UCS2 buffers are written to files as they lie in memory");

namespace {

constexpr std::uint16_t kTitleOpen[] = {0x005B, 0};        // "["
constexpr std::uint16_t kTitleClose[] = {0x005D, 0x000A, 0};  // "]" LF
constexpr std::uint16_t kLineEnd[] = {0x000A, 0};
constexpr std::uint16_t kAllClear[] = {0x041E, 0x041A, 0x002E, 0};  // "ОК."
constexpr std::uint16_t kPrefixLimit = 5;
constexpr std::uint16_t kTextLimit = kTextUnits;

// "%d. " for a line number, cut to the 5-byte buffer as a bounded print is.
void FormatLineNumber(std::uint16_t line, char (&buf)[5]) {
  char digits[6];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + line % 10);
    line = static_cast<std::uint16_t>(line / 10);
  } while (line != 0);
  std::size_t at = 0;
  while (n > 0 && at < sizeof buf - 1) buf[at++] = digits[--n];
  if (at < sizeof buf - 1) buf[at++] = '.';
  if (at < sizeof buf - 1) buf[at++] = ' ';
  buf[at] = '\0';
}

const std::uint16_t* EventEntry(const std::uint16_t* events, int index) {
  return events + kEventWords * index;
}

}  // namespace

std::uint16_t* ConvertCharToUnicode(const char* text) {
  if (text == nullptr) return nullptr;
  std::size_t n = std::strlen(text);
  auto* units = AllocZeroed<std::uint16_t>(n + 1);
  if (units == nullptr) return nullptr;
  for (std::size_t i = 0; i < n; ++i) units[i] = static_cast<unsigned char>(text[i]);
  return units;
}

int wcharlen(const std::uint16_t* text, const std::uint16_t* limit) {
  if (text == nullptr) return -1;
  int n = 0;
  while ((limit == nullptr || n < *limit) && text[n] != 0) ++n;
  return n;
}

int wcharcat(std::span<std::uint16_t> dest, const std::uint16_t* src, const std::uint16_t* limit) {
  if (dest.data() == nullptr) return -1;
  if (src == nullptr) return 0;
  std::size_t end = 0;
  while (end < dest.size() && dest[end] != 0) ++end;
  std::size_t n = static_cast<std::size_t>(wcharlen(src, limit));
  if (end >= dest.size() || n > dest.size() - end - 1) return -1;
  for (std::size_t i = 0; i < n; ++i) dest[end + i] = src[i];
  dest[end + n] = 0;
  return static_cast<int>(n);
}

int AddStringToMsg(std::span<std::uint16_t> message, const std::uint16_t* text,
                   const std::uint16_t* limit, std::uint16_t* err) {
  if (wcharcat(message, text, limit) == -1) {
    SetError(ErrMessageFull, err);
    return -1;
  }
  return 0;
}

int CheckEvent(const std::uint16_t* events, const std::uint16_t* mask, int index) {
  if (events == nullptr || mask == nullptr) return 0;
  if (index < 0 || index > kEventCount - 1) return 0;
  if (EventEntry(events, index)[0] == 0) return 0;
  return (*mask >> index) & 1u;
}

int GetEventsNumber(const std::uint16_t* events, const std::uint16_t* mask, std::uint16_t* err) {
  int listed = 0;
  for (int i = 0; i < kEventCount; ++i) listed += CheckEvent(events, mask, i);
  if (listed == 0) {
    if (err != nullptr) SetError(ErrNoEvents, err);
    return 0;
  }
  return listed + 1;
}

int AddTitleToMsg(std::span<std::uint16_t> message, const std::uint16_t* title,
                  const std::uint16_t* limit, std::uint16_t* err) {
  if (message.data() == nullptr || title == nullptr) {
    SetError(ErrNullArgument, err);
    return -1;
  }
  if (wcharlen(title, limit) == 0) return 0;
  if (AddStringToMsg(message, kTitleOpen, nullptr, err) != 0) return -1;
  if (AddStringToMsg(message, title, limit, err) != 0) return -1;
  return AddStringToMsg(message, kTitleClose, nullptr, err);
}

int AddEventToMsg(std::span<std::uint16_t> message, const std::uint16_t* text,
                  const std::uint16_t* limit, std::uint16_t line, std::uint16_t* err) {
  if (message.data() == nullptr || text == nullptr) {
    SetError(ErrNullArgument, err);
    return -1;
  }
  if (wcharlen(text, limit) == 0) return 0;
  char number[5];
  FormatLineNumber(line, number);
  Owned<std::uint16_t> prefix(ConvertCharToUnicode(number));
  if (!prefix) {
    SetError(ErrOutOfMemory, err);
    return -1;
  }
  if (AddStringToMsg(message, prefix.get(), &kPrefixLimit, err) != 0) return -1;
  if (AddStringToMsg(message, text, limit, err) != 0) return -1;
  return AddStringToMsg(message, kLineEnd, nullptr, err);
}

bool ComposeEventList(const std::uint16_t* image, const std::uint16_t* mask, int lines,
                      ComposedMessage* out, std::uint16_t* err) {
  if (image == nullptr || mask == nullptr || out == nullptr) {
    SetError(ErrNullArgument, err);
    return false;
  }
  std::size_t capacity = static_cast<std::size_t>(lines == 0 ? 2 : lines) * kUnitsPerLine;
  Owned<std::uint16_t> units(AllocZeroed<std::uint16_t>(capacity));
  if (!units) {
    SetError(ErrOutOfMemory, err);
    return false;
  }
  units.get()[0] = kBuildingMark;
  std::span<std::uint16_t> message(units.get(), capacity);
  if (AddTitleToMsg(message, image, &kTextLimit, err) != 0) return false;
  const std::uint16_t* events = image + kFirstEventWord;
  if (lines != 0) {
    std::uint16_t line = 1;
    for (int i = 0; i < kEventCount; ++i) {
      if (CheckEvent(events, mask, i) != 1) continue;
      // The number is taken even when the text turns out empty.
      std::uint16_t taken = line++;
      const std::uint16_t* text = EventEntry(events, i) + kEventTextWord;
      if (AddEventToMsg(message, text, &kTextLimit, taken, err) != 0) return false;
    }
  } else if (AddStringToMsg(message, kAllClear, &kTextLimit, err) != 0) {
    return false;
  }
  std::uint16_t n = 0;
  while (n + 1u < capacity && message[n + 1u] != 0) ++n;
  message[0] = n;
  out->units = units.release();
  out->capacity = capacity;
  return true;
}

int SaveMessage(const ComposedMessage& message, std::uint16_t* err) {
  std::size_t bytes = (static_cast<std::size_t>(message.units[0]) + 1) * 2;
  return SaveData(kMessageFile,
                  std::span<const std::uint8_t>(
                      reinterpret_cast<const std::uint8_t*>(message.units), bytes),
                  err);
}

bool LoadComposeInputs(HostVector host, std::uint16_t* mask, std::span<std::uint16_t> image,
                       std::uint16_t* err) {
  if (LoadProfile(std::span<std::uint16_t>(mask, 1), kEventMaskAddress, host, err) != 0) {
    return false;
  }
  std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(image.data()), image.size_bytes());
  if (LoadData(kMessageTemplateFile, bytes, err) != 0) {
    SetError(ErrTemplateRead, err);
    return false;
  }
  return true;
}

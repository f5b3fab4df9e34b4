// Builders for the server generation's data files and register windows, and
// UTF-8/UTF-16 conversion for readable expectations.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/panel.h"
#include "text.h"

namespace testing_support {

inline void PutU16(std::string& bytes, std::size_t at, std::uint16_t v) {
  if (bytes.size() < at + 2) bytes.resize(at + 2, '\0');
  bytes[at] = static_cast<char>(v & 0xFF);
  bytes[at + 1] = static_cast<char>(v >> 8);
}

inline std::uint16_t GetU16At(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

// UCS2 text into a field of `units` units (no terminator when full).
inline void PutUcs2(std::string& bytes, std::size_t at, const std::u16string& text, int units) {
  for (int i = 0; i < units; ++i) {
    PutU16(bytes, at + 2 * static_cast<std::size_t>(i),
           i < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(i)] : 0);
  }
}

inline std::string SendSettingsFile(int scheduleEnabled, int sendMode, int interval, int timeout) {
  std::string b(8, '\0');
  PutU16(b, 0, static_cast<std::uint16_t>(scheduleEnabled));
  PutU16(b, 2, static_cast<std::uint16_t>(sendMode));
  PutU16(b, 4, static_cast<std::uint16_t>(interval));
  PutU16(b, 6, static_cast<std::uint16_t>(timeout));
  return b;
}

// The scheduler's memory of the last send: mask, send tick, check tick.
inline std::string ServerProfileFile(std::uint16_t mask, std::uint32_t send, std::uint32_t check) {
  std::string b(10, '\0');
  PutU16(b, 0, mask);
  PutU16(b, 2, static_cast<std::uint16_t>(send));
  PutU16(b, 4, static_cast<std::uint16_t>(send >> 16));
  PutU16(b, 6, static_cast<std::uint16_t>(check));
  PutU16(b, 8, static_cast<std::uint16_t>(check >> 16));
  return b;
}

struct Recipient {
  std::string number;   // up to 10 bytes
  std::string address;  // up to 20 bytes
};

inline std::string RecipientListFile(int count, const std::vector<Recipient>& entries) {
  std::string b(92, '\0');
  PutU16(b, 0, static_cast<std::uint16_t>(count));
  for (std::size_t i = 0; i < entries.size() && i < 3; ++i) {
    b.replace(2 + 30 * i, std::min<std::size_t>(entries[i].number.size(), 10),
              entries[i].number.substr(0, 10));
    b.replace(12 + 30 * i, std::min<std::size_t>(entries[i].address.size(), 20),
              entries[i].address.substr(0, 20));
  }
  return b;
}

struct Event {
  int enabled;
  std::string text;  // UTF-8
};

inline std::string TemplateFile(const std::string& title, const std::vector<Event>& events) {
  std::string b(840, '\0');
  PutUcs2(b, 0, U16(title), 20);
  for (std::size_t i = 0; i < events.size() && i < 16; ++i) {
    PutU16(b, 40 + 50 * i, static_cast<std::uint16_t>(events[i].enabled));
    PutUcs2(b, 50 + 50 * i, U16(events[i].text), 20);
  }
  return b;
}

inline std::string MessageFile(const std::u16string& text) {
  std::string b;
  PutU16(b, 0, static_cast<std::uint16_t>(text.size()));
  for (std::size_t i = 0; i < text.size(); ++i) PutU16(b, 2 + 2 * i, text[i]);
  return b;
}

// The text of a message file, or "" with ok false when it is malformed.
inline std::u16string MessageText(const std::string& bytes, bool* ok = nullptr) {
  if (ok) *ok = bytes.size() >= 2 && bytes.size() == 2 + 2u * GetU16At(bytes, 0);
  std::u16string t;
  for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) t.push_back(GetU16At(bytes, at));
  return t;
}

// Copies file bytes into a word window of the panel and back.
inline void PutWindow(host::Panel& panel, int address, const std::string& bytes) {
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    panel.Word(DeviceLW, address + static_cast<int>(i / 2)) = GetU16At(bytes, i);
  }
}

inline std::string GetWindow(host::Panel& panel, int address, int words) {
  std::string b;
  for (int i = 0; i < words; ++i) PutU16(b, 2 * static_cast<std::size_t>(i), panel.Word(DeviceLW, address + i));
  return b;
}

// A count word (the number of records unless `announced` says otherwise)
// followed by 200-byte NUL-padded records: the layout of the PDU frame file
// and of the AT script.
inline std::string RecordFile(const std::vector<std::string>& records, int announced = -1) {
  std::string b;
  PutU16(b, 0, static_cast<std::uint16_t>(announced < 0 ? records.size() : announced));
  for (const std::string& r : records) {
    std::string record = r.substr(0, 200);
    record.resize(200, '\0');
    b += record;
  }
  return b;
}

// The PDU frame file: count word and NUL-terminated 200-byte records.
inline std::vector<std::string> FrameRecords(const std::string& bytes, std::uint16_t* count) {
  *count = bytes.size() >= 2 ? GetU16At(bytes, 0) : 0;
  std::vector<std::string> records;
  for (std::size_t at = 2; at + 200 <= bytes.size(); at += 200) {
    records.push_back(std::string(bytes.data() + at, strnlen(bytes.data() + at, 200)));
  }
  return records;
}

}  // namespace testing_support

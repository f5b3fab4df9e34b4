// Decoding and encoding of the plug-ins' data files.
#include "host/files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <iterator>

#include <utf8cpp/utf8.h>

namespace host {
namespace {

constexpr DataFileInfo kFiles[] = {
    {DataFileKind::SendSettings, "send-settings", "SMSProfile_1.bin", 8, "SendSettings"},
    {DataFileKind::RecipientList, "recipients", "SMSProfile_2.bin", 92, "RecipientList"},
    {DataFileKind::MessageTemplate, "template", "SMSProfile_3.bin", 840, "MessageTemplate"},
    {DataFileKind::ServerProfile, "server-profile", "SMSServerProfile.bin", 10, "ServerProfile"},
    {DataFileKind::Message, "message", "SMSMessage.bin", 0, "UCS2 message"},
    {DataFileKind::PduFrames, "pdus", "SMSMessage.txt", 0, "PDU frame file"},
    {DataFileKind::AtScript, "script", "SMSMessage.at", 0, "AT script file"},
    {DataFileKind::PhoneBook, "phone-book", "panel_phone_book.bin", 542, "phone book"},
    {DataFileKind::ConnectionProfile, "gprs-connection", "gprs_ConnectionProfileSettings.bin", 208,
     "GPRS connection profile"},
    {DataFileKind::DataSettings, "gprs-data", "gprs_DataSettings.bin", 836,
     "GPRS data settings"},
};

constexpr ConnectionField kConnection[kConnectionFields] = {
    {"conType", 0, 6, false},  {"inactTo", 6, 6, false}, {"user", 12, 32, false},
    {"passwd", 44, 32, true},  {"apn", 76, 100, false},  {"dns1", 176, 16, false},
    {"dns2", 192, 16, false},
};

// Layout offsets.
constexpr std::size_t kRecipientEntry = 30;
constexpr std::size_t kEventOffset = 40;
constexpr std::size_t kEventBytes = 50;
constexpr std::size_t kPhoneEntryOffset = 2;
constexpr std::size_t kAtWord1 = 4, kAtWord2 = 36, kAtWord3 = 68, kAtText16 = 100, kAtText30 = 356;

using Problems = std::vector<FileProblem>;

std::string Format(const char* format, auto... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, args...);
  return buf;
}

void Add(Problems& p, ProblemSeverity s, std::size_t offset, std::string where, std::string what) {
  p.push_back({s, offset, std::move(where), std::move(what)});
}

// Byte access that reads zeros past the end, as the plug-ins do.
std::uint8_t Byte(std::string_view b, std::size_t i) {
  return i < b.size() ? static_cast<std::uint8_t>(b[i]) : 0;
}
std::uint16_t U16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(Byte(b, at) | Byte(b, at + 1) << 8);
}
std::uint32_t U32(std::string_view b, std::size_t at) {
  return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}
std::string Bytes(std::string_view b, std::size_t at, std::size_t n) {
  std::string out(n, '\0');
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char>(Byte(b, at + i));
  return out;
}
void PutU16(std::string& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
void PutBytes(std::string& b, std::size_t at, std::string_view text, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) b[at + i] = i < text.size() ? text[i] : '\0';
}
void PutUnits(std::string& b, std::size_t at, std::u16string_view units, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) PutU16(b, at + 2 * i, i < units.size() ? units[i] : 0);
}

// The name of the field at `offset` of a fixed-size file.
std::string FieldAt(DataFileKind kind, std::size_t off) {
  switch (kind) {
    case DataFileKind::SendSettings: {
      static constexpr const char* kNames[] = {"scheduleEnabled", "sendMode", "sendInterval",
                                               "replyTimeout"};
      return off < 8 ? kNames[off / 2] : "end";
    }
    case DataFileKind::RecipientList:
      if (off < 2) return "count";
      return Format("entry %zu %s", (off - 2) / kRecipientEntry,
                    (off - 2) % kRecipientEntry < kNumberBytes ? "number" : "address");
    case DataFileKind::MessageTemplate: {
      if (off < kEventOffset) return "title";
      const std::size_t r = (off - kEventOffset) % kEventBytes;
      return Format("event %zu %s", (off - kEventOffset) / kEventBytes,
                    r < 2 ? "enabled" : r < 10 ? "reserved" : "text");
    }
    case DataFileKind::ServerProfile:
      return off < 2 ? "lastMask" : off < 6 ? "lastSendTick" : "lastCheckTick";
    case DataFileKind::PhoneBook:
      if (off < kPhoneEntryOffset) return "in use";
      return Format("entry %zu", (off - kPhoneEntryOffset) / kPhoneBookEntryBytes);
    case DataFileKind::ConnectionProfile:
      for (const ConnectionField& f : kConnection) {
        if (off < f.offset + f.length) return std::string("field ") + f.tag;
      }
      return "end";
    case DataFileKind::DataSettings:
      if (off < 2) return "bytes 0..1 (not read)";
      if (off < kAtWord1) return "header";
      if (off < kAtWord2) return Format("entry %zu word1", (off - kAtWord1) / 2);
      if (off < kAtWord3) return Format("entry %zu word2", (off - kAtWord2) / 2);
      if (off < kAtText16) return Format("entry %zu word3", (off - kAtWord3) / 2);
      if (off < kAtText30) return Format("entry %zu text16", (off - kAtText16) / kDataText16);
      return Format("entry %zu text30", (off - kAtText30) / kDataText30);
    default:
      return "";
  }
}

// A fixed-size file that is shorter or longer than its record.
void CheckFixedSize(DataFileKind kind, std::string_view bytes, Problems& p) {
  const DataFileInfo& info = DataFile(kind);
  if (bytes.size() < info.size) {
    Add(p, ProblemSeverity::Error, bytes.size(), FieldAt(kind, bytes.size()),
        Format("the file ends here: it holds %zu of the %zu bytes of its record; the plug-ins "
               "read the missing %zu as 0",
               bytes.size(), info.size, info.size - bytes.size()));
  } else if (bytes.size() > info.size) {
    Add(p, ProblemSeverity::Warning, info.size, "after the record",
        Format("%zu bytes after the %zu of the record; the plug-ins ignore them",
               bytes.size() - info.size, info.size));
  }
}

// An 8-bit text field: the text up to its first NUL; bytes after it that are
// not zero are reported.
std::string TextField(std::string_view b, std::size_t at, std::size_t n, const std::string& where,
                      Problems& p) {
  const std::string field = Bytes(b, at, n);
  const std::size_t end = std::min(field.find('\0'), n);
  const std::size_t junk = field.find_first_not_of('\0', end);
  if (end < n && junk != std::string::npos) {
    Add(p, ProblemSeverity::Warning, at + junk, where,
        "bytes after the text's terminating NUL are not zero; no plug-in reads them");
  }
  return field.substr(0, end);
}

// A UCS2 text field of `units` units: up to its first 0 unit.
std::u16string UnitField(std::string_view b, std::size_t at, std::size_t units,
                         const std::string& where, Problems& p) {
  std::u16string text;
  std::size_t i = 0;
  for (; i < units; ++i) {
    const std::uint16_t u = U16(b, at + 2 * i);
    if (u == 0) break;
    text.push_back(static_cast<char16_t>(u));
  }
  for (std::size_t k = i; k < units; ++k) {
    if (U16(b, at + 2 * k) != 0) {
      Add(p, ProblemSeverity::Warning, at + 2 * k, where,
          "units after the text's terminating 0 unit are not zero; no plug-in reads them");
      break;
    }
  }
  return text;
}

// Reports surrogates that are not part of a pair.
void CheckSurrogates(std::u16string_view text, std::size_t at, const std::string& where,
                     Problems& p) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      Add(p, ProblemSeverity::Warning, at + 2 * i, where,
          Format("unit %zu is U+%04X, a surrogate without its pair; a phone shows a "
                 "replacement character",
                 i, static_cast<unsigned>(u)));
    }
  }
}

bool IsUpperHex(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

// Records of `recordBytes` after a count word; returns the records present.
std::vector<std::string> CountedRecords(std::string_view bytes, std::uint16_t count,
                                        const char* what, Problems& p) {
  std::vector<std::string> records;
  const std::size_t expected = 2 + kRecordBytes * count;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t at = 2 + kRecordBytes * k;
    if (at >= bytes.size()) {
      Add(p, ProblemSeverity::Error, at, Format("record %zu", k),
          Format("the file ends here: the count word announces %u %s (%zu bytes), the file has "
                 "%zu bytes; records %zu to %u are missing",
                 count, what, expected, bytes.size(), k, count - 1u));
      break;
    }
    if (at + kRecordBytes > bytes.size()) {
      Add(p, ProblemSeverity::Error, bytes.size(), Format("record %zu", k),
          Format("the file ends %zu bytes into this record of %zu; the rest reads as zeros",
                 bytes.size() - at, kRecordBytes));
    }
    records.push_back(Bytes(bytes, at, kRecordBytes));
  }
  if (bytes.size() > expected) {
    Add(p, ProblemSeverity::Warning, expected, "after the last record",
        Format("%zu bytes after the %u %s that the count word announces; they are ignored",
               bytes.size() - expected, count, what));
  }
  return records;
}

// A record's text up to its first NUL; whether it has one.
std::string RecordText(const std::string& record, std::size_t at, const std::string& where,
                       Problems& p, bool* terminated) {
  const std::size_t end = record.find('\0');
  *terminated = end != std::string::npos;
  if (*terminated && record.find_first_not_of('\0', end) != std::string::npos) {
    Add(p, ProblemSeverity::Warning, at + record.find_first_not_of('\0', end), where,
        "bytes after the text's terminating NUL are not zero; they are sent nowhere");
  }
  return record.substr(0, std::min(end, record.size()));
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::span<const DataFileInfo> DataFiles() { return kFiles; }

const DataFileInfo& DataFile(DataFileKind kind) { return kFiles[static_cast<int>(kind)]; }

const DataFileInfo* DataFileForPath(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  for (const DataFileInfo& f : kFiles) {
    if (name.size() == std::string_view(f.fileName).size() && StartsWithNoCase(name, f.fileName)) {
      return &f;
    }
  }
  return nullptr;
}

const DataFileInfo* DataFileForKey(std::string_view key) {
  for (const DataFileInfo& f : kFiles) {
    if (key == f.key) return &f;
  }
  return nullptr;
}

bool HasErrors(const std::vector<FileProblem>& problems) {
  return std::any_of(problems.begin(), problems.end(),
                     [](const FileProblem& p) { return p.severity == ProblemSeverity::Error; });
}

std::string DescribeProblem(const FileProblem& p) {
  return Format("offset %zu, ", p.offset) + p.where + ": " + p.what;
}

std::span<const ConnectionField, kConnectionFields> ConnectionFields() { return kConnection; }

// ---------------------------------------------------------------------------

std::string EncodePhoneAddress(std::string_view number) {
  std::string work = "7";
  for (std::size_t i = 0; i < number.size() && i < kNumberBytes && number[i] != '\0'; ++i) {
    work.push_back(number[i]);
  }
  const std::string length = Format("%02X", static_cast<unsigned>(work.size()));
  if (work.size() % 2 != 0) work.push_back('F');
  for (std::size_t i = 0; i + 1 < work.size(); i += 2) std::swap(work[i], work[i + 1]);
  return length + "91" + work;
}

bool IsTenDigits(std::string_view number) {
  return number.size() == 10 &&
         std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

Decoded<SendSettings> DecodeSendSettings(std::string_view b) {
  Decoded<SendSettings> d;
  CheckFixedSize(DataFileKind::SendSettings, b, d.problems);
  d.value = {U16(b, 0), U16(b, 2), U16(b, 4), U16(b, 6)};
  if (d.value.sendMode > 1) {
    Add(d.problems, ProblemSeverity::Error, 2, "sendMode",
        Format("is %u; the scheduler knows 0 (while any event is active) and 1 (when the active "
               "events change) and stops with error 228 on anything else",
               d.value.sendMode));
  }
  return d;
}

Decoded<RecipientList> DecodeRecipientList(std::string_view b) {
  Decoded<RecipientList> d;
  Problems& p = d.problems;
  CheckFixedSize(DataFileKind::RecipientList, b, p);
  d.value.count = U16(b, 0);
  if (d.value.count > kRecipients) {
    Add(p, ProblemSeverity::Error, 0, "count",
        Format("is %u; the list has room for %zu recipients", d.value.count, kRecipients));
  }
  for (std::size_t i = 0; i < kRecipients; ++i) {
    const std::size_t at = 2 + kRecipientEntry * i;
    const bool inUse = i < d.value.count;
    Recipient& r = d.value.entries[i];
    const std::string numberWhere = Format("entry %zu number", i);
    const std::string addressWhere = Format("entry %zu address", i);
    r.number = TextField(b, at, kNumberBytes, numberWhere, p);
    r.address = TextField(b, at + kNumberBytes, kAddressBytes, addressWhere, p);
    if (!inUse) continue;
    if (r.number.empty()) {
      Add(p, ProblemSeverity::Error, at, numberWhere, "empty, but the entry is in use");
    } else if (!IsTenDigits(r.number)) {
      Add(p, ProblemSeverity::Warning, at, numberWhere,
          "is not ten digits; the settings store encodes it unchanged");
    }
    const std::size_t addressAt = at + kNumberBytes;
    if (r.address.size() == kAddressBytes) {
      Add(p, ProblemSeverity::Error, addressAt, addressWhere,
          "has no NUL within its 20 bytes; the encoders would copy it past the field");
    } else if (r.address.empty()) {
      Add(p, ProblemSeverity::Error, addressAt, addressWhere,
          "empty: the number was never encoded (a save request of the settings store computes "
          "it)");
    } else if (!IsUpperHex(r.address) || r.address.size() % 2 != 0) {
      Add(p, ProblemSeverity::Error, addressAt, addressWhere,
          "is not an even number of upper-case hexadecimal digits; the PDUs would be malformed");
    } else if (r.address != EncodePhoneAddress(r.number)) {
      Add(p, ProblemSeverity::Warning, addressAt, addressWhere,
          "does not match the number, which encodes to " + EncodePhoneAddress(r.number) +
              "; the next save request of the settings store replaces it");
    }
  }
  return d;
}

Decoded<MessageTemplate> DecodeMessageTemplate(std::string_view b) {
  Decoded<MessageTemplate> d;
  Problems& p = d.problems;
  CheckFixedSize(DataFileKind::MessageTemplate, b, p);
  d.value.title = UnitField(b, 0, kTextUnits, "title", p);
  CheckSurrogates(d.value.title, 0, "title", p);
  for (std::size_t i = 0; i < kTemplateEvents; ++i) {
    const std::size_t at = kEventOffset + kEventBytes * i;
    TemplateEvent& e = d.value.events[i];
    e.enabled = U16(b, at);
    for (std::size_t k = 0; k < e.reserved.size(); ++k) e.reserved[k] = U16(b, at + 2 + 2 * k);
    const std::string where = Format("event %zu text", i);
    e.text = UnitField(b, at + 10, kTextUnits, where, p);
    CheckSurrogates(e.text, at + 10, where, p);
  }
  return d;
}

std::string EncodeSendSettings(const SendSettings& s) {
  std::string b(DataFile(DataFileKind::SendSettings).size, '\0');
  PutU16(b, 0, s.scheduleEnabled);
  PutU16(b, 2, s.sendMode);
  PutU16(b, 4, s.sendInterval);
  PutU16(b, 6, s.replyTimeout);
  return b;
}

std::string EncodeRecipientList(const RecipientList& r) {
  std::string b(DataFile(DataFileKind::RecipientList).size, '\0');
  PutU16(b, 0, r.count);
  for (std::size_t i = 0; i < kRecipients; ++i) {
    const std::size_t at = 2 + kRecipientEntry * i;
    PutBytes(b, at, r.entries[i].number, kNumberBytes);
    PutBytes(b, at + kNumberBytes, r.entries[i].address, kAddressBytes);
  }
  return b;
}

std::string EncodeMessageTemplate(const MessageTemplate& t) {
  std::string b(DataFile(DataFileKind::MessageTemplate).size, '\0');
  PutUnits(b, 0, t.title, kTextUnits);
  for (std::size_t i = 0; i < kTemplateEvents; ++i) {
    const std::size_t at = kEventOffset + kEventBytes * i;
    const TemplateEvent& e = t.events[i];
    PutU16(b, at, e.enabled);
    for (std::size_t k = 0; k < e.reserved.size(); ++k) PutU16(b, at + 2 + 2 * k, e.reserved[k]);
    PutUnits(b, at + 10, e.text, kTextUnits);
  }
  return b;
}

// ---------------------------------------------------------------------------

Decoded<ServerProfile> DecodeServerProfile(std::string_view b) {
  Decoded<ServerProfile> d;
  CheckFixedSize(DataFileKind::ServerProfile, b, d.problems);
  d.value = {U16(b, 0), U32(b, 2), U32(b, 6)};
  if (b.size() >= DataFile(DataFileKind::ServerProfile).size &&
      d.value.lastCheckTick != d.value.lastSendTick) {
    Add(d.problems, ProblemSeverity::Warning, 6, "lastCheckTick",
        "differs from lastSendTick; the scheduler always writes the two equal");
  }
  return d;
}

Decoded<MessageFile> DecodeMessageFile(std::string_view b) {
  Decoded<MessageFile> d;
  Problems& p = d.problems;
  if (b.size() < 2) {
    Add(p, ProblemSeverity::Error, 0, "count",
        "the file ends before the end of its 2-byte count word");
    return d;
  }
  const std::uint16_t n = U16(b, 0);
  d.value.count = n;
  const std::size_t expected = 2 + 2 * static_cast<std::size_t>(n);
  const std::size_t present = std::min<std::size_t>(n, (b.size() - 2) / 2);
  for (std::size_t i = 0; i < present; ++i) d.value.text.push_back(U16(b, 2 + 2 * i));
  if (n == 0) {
    Add(p, ProblemSeverity::Warning, 0, "count",
        "0: an empty message, which the encoders refuse (error 237)");
  }
  if (b.size() < expected) {
    Add(p, ProblemSeverity::Error, 2 + 2 * present, Format("unit %zu", present),
        Format("the file ends here: the count word announces %u units (%zu bytes), the file "
               "has %zu bytes; units %zu to %u are missing and the encoders read them as 0",
               n, expected, b.size(), present, n - 1u));
  } else if (b.size() > expected) {
    Add(p, ProblemSeverity::Warning, expected, "after the text",
        Format("%zu bytes after the %u units that the count word announces; the encoders "
               "ignore them",
               b.size() - expected, n));
  }
  CheckSurrogates(d.value.text, 2, "text", p);
  return d;
}

Decoded<PduFrameFile> DecodePduFrames(std::string_view b) {
  Decoded<PduFrameFile> d;
  Problems& p = d.problems;
  if (b.size() < 2) {
    Add(p, ProblemSeverity::Error, 0, "count",
        "the file ends before the end of its 2-byte count word");
    return d;
  }
  d.value.count = U16(b, 0);
  if (d.value.count == 0) {
    Add(p, ProblemSeverity::Warning, 0, "count",
        "0: no PDU; the script builders refuse the file (error 239)");
  }
  if (2 + kRecordBytes * d.value.count > 0xFFFF) {
    Add(p, ProblemSeverity::Error, 0, "count",
        Format("is %u; the script builders read 2 + 200 x count bytes as a 16-bit size, which "
               "holds 327 records at most",
               d.value.count));
  }
  const std::vector<std::string> records = CountedRecords(b, d.value.count, "records", p);
  for (std::size_t k = 0; k < records.size(); ++k) {
    const std::size_t at = 2 + kRecordBytes * k;
    const std::string where = Format("record %zu", k);
    bool terminated = false;
    PduRecord r;
    r.text = RecordText(records[k], at, where, p, &terminated);
    if (!terminated) {
      Add(p, ProblemSeverity::Error, at, where, "has no NUL within its 200 bytes");
    }
    r.pdu = DecodeSubmitPdu(r.text);
    if (r.text.empty()) {
      Add(p, ProblemSeverity::Error, at, where, "empty: no PDU");
    } else if (!r.pdu.ok) {
      Add(p, ProblemSeverity::Error, at, where, "not a valid SMS-SUBMIT PDU: " + r.pdu.error);
    }
    d.value.records.push_back(std::move(r));
  }
  return d;
}

Decoded<AtScriptFile> DecodeAtScript(std::string_view b) {
  Decoded<AtScriptFile> d;
  Problems& p = d.problems;
  if (b.size() < 2) {
    Add(p, ProblemSeverity::Error, 0, "count",
        "the file ends before the end of its 2-byte count word");
    return d;
  }
  d.value.count = U16(b, 0);
  if (d.value.count == 0) {
    Add(p, ProblemSeverity::Warning, 0, "count",
        "0: no command; the transmitters stop with error 231");
  }
  const std::vector<std::string> records = CountedRecords(b, d.value.count, "records", p);
  long announced = -1;  // octets of the last AT+CMGS
  for (std::size_t k = 0; k < records.size(); ++k) {
    const std::size_t at = 2 + kRecordBytes * k;
    const std::string where = Format("record %zu", k);
    bool terminated = false;
    ScriptRecord r;
    r.text = RecordText(records[k], at, where, p, &terminated);
    if (announced >= 0) {
      r.isPdu = true;
      std::string_view hex = r.text;
      if (hex.empty() || hex.back() != '\x1A') {
        Add(p, ProblemSeverity::Error, at, where,
            "follows AT+CMGS but does not end with Ctrl-Z; the modem waits for the rest");
      } else {
        hex.remove_suffix(1);
      }
      r.pdu = DecodeSubmitPdu(hex);
      if (!r.pdu.ok) {
        Add(p, ProblemSeverity::Error, at, where, "not a valid SMS-SUBMIT PDU: " + r.pdu.error);
      } else if (static_cast<long>(r.pdu.sms.tpduOctets) != announced) {
        Add(p, ProblemSeverity::Error, at, where,
            Format("AT+CMGS before it announces %ld octets, the PDU has %zu after its "
                   "service-centre field",
                   announced, r.pdu.sms.tpduOctets));
      }
      announced = -1;
    } else if (StartsWithNoCase(r.text, "AT+CMGS=")) {
      char* end = nullptr;
      const std::string digits = r.text.substr(8);
      announced = std::strtol(digits.c_str(), &end, 10);
      if (end == digits.c_str() || announced < 0) {
        Add(p, ProblemSeverity::Error, at, where, "AT+CMGS without an octet count");
        announced = 0;
      }
    }
    if (!r.isPdu && !r.text.empty() && r.text.find('\r') == std::string::npos) {
      Add(p, ProblemSeverity::Warning, at, where,
          "has no CR; the modem takes it as the start of a longer line");
    }
    d.value.records.push_back(std::move(r));
  }
  if (announced >= 0 && records.size() == d.value.count) {
    Add(p, ProblemSeverity::Error, b.size(), "after the last record",
        "the script ends after AT+CMGS without the PDU");
  }
  return d;
}

// ---------------------------------------------------------------------------

Decoded<PhoneBook> DecodePhoneBook(std::string_view b) {
  Decoded<PhoneBook> d;
  Problems& p = d.problems;
  CheckFixedSize(DataFileKind::PhoneBook, b, p);
  d.value.inUse = U16(b, 0);
  if (d.value.inUse > kPhoneBookEntries) {
    Add(p, ProblemSeverity::Warning, 0, "in use",
        Format("is %u; the phone book has %zu entries", d.value.inUse, kPhoneBookEntries));
  }
  for (std::size_t i = 0; i < kPhoneBookEntries; ++i) {
    const std::size_t at = kPhoneEntryOffset + kPhoneBookEntryBytes * i;
    d.value.entries[i] = Bytes(b, at, kPhoneBookEntryBytes);
    const std::size_t nonzero = d.value.entries[i].find_first_not_of('\0');
    if (i >= d.value.inUse && nonzero != std::string::npos) {
      Add(p, ProblemSeverity::Warning, at + nonzero, Format("entry %zu", i),
          "not in use but not zero; a save of the phone book writes zeros here");
    }
  }
  return d;
}

Decoded<ConnectionProfile> DecodeConnectionProfile(std::string_view b) {
  Decoded<ConnectionProfile> d;
  Problems& p = d.problems;
  CheckFixedSize(DataFileKind::ConnectionProfile, b, p);
  for (std::size_t i = 0; i < kConnectionFields; ++i) {
    const ConnectionField& f = kConnection[i];
    const std::string where = std::string("field ") + f.tag;
    std::string& text = d.value.fields[i];
    text = TextField(b, f.offset, f.length, where, p);
    for (std::size_t k = 0; k < text.size(); ++k) {
      const auto c = static_cast<unsigned char>(text[k]);
      if (c < 0x20 || c == 0x7F) {
        Add(p, ProblemSeverity::Warning, f.offset + k, where,
            Format("control byte 0x%02X: the sender ends the field here and sends only its "
                   "first %zu characters",
                   c, k));
        break;
      }
      if (c == ';') {
        Add(p, ProblemSeverity::Error, f.offset + k, where,
            "';' ends the command at the modem, which runs what follows as a command of its "
            "own");
        break;
      }
      if (c >= 0x80) {
        Add(p, ProblemSeverity::Warning, f.offset + k, where,
            Format("byte 0x%02X is not ASCII; the modem may refuse it", c));
        break;
      }
    }
  }
  return d;
}

Decoded<DataSettings> DecodeDataSettings(std::string_view b) {
  Decoded<DataSettings> d;
  CheckFixedSize(DataFileKind::DataSettings, b, d.problems);
  d.value.unused = U16(b, 0);
  d.value.header = U16(b, 2);
  for (std::size_t i = 0; i < kDataEntries; ++i) {
    DataSettingsEntry& e = d.value.entries[i];
    e.word1 = U16(b, kAtWord1 + 2 * i);
    e.word2 = U16(b, kAtWord2 + 2 * i);
    e.word3 = U16(b, kAtWord3 + 2 * i);
    e.text16 = Bytes(b, kAtText16 + kDataText16 * i, kDataText16);
    e.text30 = Bytes(b, kAtText30 + kDataText30 * i, kDataText30);
  }
  return d;
}

std::string EncodePhoneBook(const PhoneBook& pb) {
  std::string b(DataFile(DataFileKind::PhoneBook).size, '\0');
  PutU16(b, 0, pb.inUse);
  for (std::size_t i = 0; i < kPhoneBookEntries; ++i) {
    PutBytes(b, kPhoneEntryOffset + kPhoneBookEntryBytes * i, pb.entries[i], kPhoneBookEntryBytes);
  }
  return b;
}

std::string EncodeConnectionProfile(const ConnectionProfile& c) {
  std::string b(DataFile(DataFileKind::ConnectionProfile).size, '\0');
  for (std::size_t i = 0; i < kConnectionFields; ++i) {
    PutBytes(b, kConnection[i].offset, c.fields[i], kConnection[i].length);
  }
  return b;
}

std::string EncodeDataSettings(const DataSettings& ds) {
  std::string b(DataFile(DataFileKind::DataSettings).size, '\0');
  PutU16(b, 0, ds.unused);
  PutU16(b, 2, ds.header);
  for (std::size_t i = 0; i < kDataEntries; ++i) {
    const DataSettingsEntry& e = ds.entries[i];
    PutU16(b, kAtWord1 + 2 * i, e.word1);
    PutU16(b, kAtWord2 + 2 * i, e.word2);
    PutU16(b, kAtWord3 + 2 * i, e.word3);
    PutBytes(b, kAtText16 + kDataText16 * i, e.text16, kDataText16);
    PutBytes(b, kAtText30 + kDataText30 * i, e.text30, kDataText30);
  }
  return b;
}

// ---------------------------------------------------------------------------

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) {
    *error = "no such file";
    return false;
  }
  if (!std::filesystem::is_regular_file(status)) {
    *error = "not a regular file";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    *error = "cannot open the file";
    return false;
  }
  bytes->clear();
  char buf[4096];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes->append(buf, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) *error = "cannot read the file";
  return !failed;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  auto sink = std::back_inserter(out);
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    utf8::append(c, sink);
  }
  return out;
}

bool Utf8ToUtf16(std::string_view utf8, std::u16string* units) {
  if (!utf8::is_valid(utf8.begin(), utf8.end())) return false;
  units->clear();
  utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(*units));
  return true;
}

std::string MaskProfileSecrets(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t at = [&] {
      for (std::size_t k = i; k + 6 <= text.size(); ++k) {
        if (StartsWithNoCase(text.substr(k), "^sics=")) return k;
      }
      return std::string_view::npos;
    }();
    if (at == std::string_view::npos) break;
    // "^sics=" <profile digits> "," "passwd" ","
    std::size_t k = at + 6;
    while (k < text.size() && text[k] >= '0' && text[k] <= '9') ++k;
    const bool isPassword = k < text.size() && text[k] == ',' &&
                            StartsWithNoCase(text.substr(k + 1), "passwd,");
    if (!isPassword) {
      out.append(text.substr(i, k - i));
      i = k;
      continue;
    }
    const std::size_t value = k + 8;
    std::size_t end = value;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n' && text[end] != '\0') ++end;
    out.append(text.substr(i, value - i));
    if (end > value) out.append(kSecretMask);
    i = end;
  }
  out.append(text.substr(i));
  return out;
}

}  // namespace host

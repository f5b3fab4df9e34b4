// The data files the plug-ins keep in their working folder, decoded into
// plain records and encoded back, for tools and tests.
//
// Decoding never fails and never reads past its input: a file that is short,
// long or holds what no plug-in would write decodes as far as it goes (missing
// bytes read as zeros, as the plug-ins read them) and every fault found is
// listed as a FileProblem naming the byte offset and the field or record.
// Encoding writes the exact layout; a value longer than its field is cut to
// the field (check lengths before encoding when that matters).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/sms.h"

namespace host {

enum class DataFileKind : std::uint8_t {
  SendSettings,       // SMSProfile_1.bin
  RecipientList,      // SMSProfile_2.bin
  MessageTemplate,    // SMSProfile_3.bin
  ServerProfile,      // SMSServerProfile.bin
  Message,            // SMSMessage.bin
  PduFrames,          // SMSMessage.txt
  AtScript,           // SMSMessage.at
  PhoneBook,          // panel_phone_book.bin
  ConnectionProfile,  // gprs_ConnectionProfileSettings.bin
  DataSettings,       // gprs_DataSettings.bin
};

struct DataFileInfo {
  DataFileKind kind;
  const char* key;       // short name for the command line: "send-settings"
  const char* fileName;  // the name the plug-ins use
  std::size_t size;      // bytes of a complete file; 0 when a count word decides
  const char* record;    // what it holds: "SendSettings"
};

// Every data file, in the order of the list above.
std::span<const DataFileInfo> DataFiles();
const DataFileInfo& DataFile(DataFileKind kind);
// The file a path names, by its last component in any case; nullptr when none.
const DataFileInfo* DataFileForPath(std::string_view path);
const DataFileInfo* DataFileForKey(std::string_view key);

enum class ProblemSeverity : std::uint8_t {
  Error,    // a plug-in would fail on it or send what was not meant, or the file is cut short
  Warning,  // readable, but not what the plug-ins write, or ignored by them
};

struct FileProblem {
  ProblemSeverity severity = ProblemSeverity::Error;
  std::size_t offset = 0;  // byte offset in the file where it is
  std::string where;       // the field or record: "entry 1 address", "record 3"
  std::string what;        // what is wrong, in plain words
};

bool HasErrors(const std::vector<FileProblem>& problems);
// "offset 32, entry 1 address: <what>"
std::string DescribeProblem(const FileProblem& problem);

template <class T>
struct Decoded {
  T value{};
  std::vector<FileProblem> problems;
};

// ---------------------------------------------------------------------------
// Settings files.

struct SendSettings {
  std::uint16_t scheduleEnabled = 0;
  std::uint16_t sendMode = 0;
  std::uint16_t sendInterval = 0;  // units of 600 ticks
  std::uint16_t replyTimeout = 0;  // units of 10 ticks
};

inline constexpr std::size_t kRecipients = 3;
inline constexpr std::size_t kNumberBytes = 10;
inline constexpr std::size_t kAddressBytes = 20;

struct Recipient {
  std::string number;   // the field up to its first NUL
  std::string address;  // the field up to its first NUL
};

struct RecipientList {
  std::uint16_t count = 0;
  std::array<Recipient, kRecipients> entries;
};

inline constexpr std::size_t kTemplateEvents = 16;
inline constexpr std::size_t kTextUnits = 20;

struct TemplateEvent {
  std::uint16_t enabled = 0;
  std::array<std::uint16_t, 4> reserved{};
  std::u16string text;  // up to its first 0 unit, at most 20 units
};

struct MessageTemplate {
  std::u16string title;  // up to its first 0 unit, at most 20 units
  std::array<TemplateEvent, kTemplateEvents> events;
};

// The destination address the settings store computes for a number: "7" and
// the digits, length as %02X, "91", swapped pairs with an F filler.
std::string EncodePhoneAddress(std::string_view number);
// Whether `number` is exactly ten decimal digits.
bool IsTenDigits(std::string_view number);

Decoded<SendSettings> DecodeSendSettings(std::string_view bytes);
Decoded<RecipientList> DecodeRecipientList(std::string_view bytes);
Decoded<MessageTemplate> DecodeMessageTemplate(std::string_view bytes);
std::string EncodeSendSettings(const SendSettings& s);
std::string EncodeRecipientList(const RecipientList& r);
std::string EncodeMessageTemplate(const MessageTemplate& t);

// ---------------------------------------------------------------------------
// Server pipeline files.

struct ServerProfile {
  std::uint16_t lastMask = 0;
  std::uint32_t lastSendTick = 0;
  std::uint32_t lastCheckTick = 0;
};

struct MessageFile {
  std::uint16_t count = 0;  // units announced by the count word
  std::u16string text;      // the units present, at most `count`
};

inline constexpr std::size_t kRecordBytes = 200;

struct PduRecord {
  std::string text;       // up to its first NUL
  SmsDecodeResult pdu;    // the text decoded as an SMS-SUBMIT
};

struct PduFrameFile {
  std::uint16_t count = 0;
  std::vector<PduRecord> records;  // those present, at most `count`
};

struct ScriptRecord {
  std::string text;     // up to its first NUL, or all 200 bytes
  bool isPdu = false;   // the record after an AT+CMGS: the PDU and its Ctrl-Z
  SmsDecodeResult pdu;  // for a PDU record, the PDU decoded
};

struct AtScriptFile {
  std::uint16_t count = 0;
  std::vector<ScriptRecord> records;  // those present, at most `count`
};

Decoded<ServerProfile> DecodeServerProfile(std::string_view bytes);
Decoded<MessageFile> DecodeMessageFile(std::string_view bytes);
Decoded<PduFrameFile> DecodePduFrames(std::string_view bytes);
Decoded<AtScriptFile> DecodeAtScript(std::string_view bytes);

// ---------------------------------------------------------------------------
// Phone book and GPRS files.

inline constexpr std::size_t kPhoneBookEntries = 3;
inline constexpr std::size_t kPhoneBookEntryBytes = 180;

struct PhoneBook {
  std::uint16_t inUse = 0;
  std::array<std::string, kPhoneBookEntries> entries;  // each exactly 180 bytes
};

struct ConnectionField {
  const char* tag;  // as the command names it: "passwd"
  std::size_t offset;
  std::size_t length;
  bool secret;      // shown masked unless asked for
};

inline constexpr std::size_t kConnectionFields = 7;
// The fields in the order of profile commands 1 to 7.
std::span<const ConnectionField, kConnectionFields> ConnectionFields();

struct ConnectionProfile {
  std::array<std::string, kConnectionFields> fields;  // each up to its first NUL
};

inline constexpr std::size_t kDataEntries = 16;
inline constexpr std::size_t kDataText16 = 16;
inline constexpr std::size_t kDataText30 = 30;

struct DataSettingsEntry {
  std::uint16_t word1 = 0;
  std::uint16_t word2 = 0;
  std::uint16_t word3 = 0;
  std::string text16 = std::string(kDataText16, '\0');  // raw bytes
  std::string text30 = std::string(kDataText30, '\0');  // raw bytes
};

struct DataSettings {
  std::uint16_t unused = 0;  // bytes 0..1, which the loader never reads
  std::uint16_t header = 0;
  std::array<DataSettingsEntry, kDataEntries> entries;
};

Decoded<PhoneBook> DecodePhoneBook(std::string_view bytes);
Decoded<ConnectionProfile> DecodeConnectionProfile(std::string_view bytes);
Decoded<DataSettings> DecodeDataSettings(std::string_view bytes);
std::string EncodePhoneBook(const PhoneBook& p);
std::string EncodeConnectionProfile(const ConnectionProfile& c);
std::string EncodeDataSettings(const DataSettings& d);

// ---------------------------------------------------------------------------
// Reading a file whole: false with the reason when it does not exist, is not
// a regular file (a folder, say) or cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

// ---------------------------------------------------------------------------
// Text helpers.

// UCS2 units as UTF-8; a surrogate that is not part of a pair becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);
// UTF-8 as UTF-16 units; false for text that is not valid UTF-8.
bool Utf8ToUtf16(std::string_view utf8, std::u16string* units);

// What a secret is shown as.
inline constexpr std::string_view kSecretMask = "********";
// `text` with the value of every connection-profile password command
// ("at^sics=<n>,passwd,<value>", any case) replaced by the mask, up to the
// next CR, LF or NUL. Echoes and traces pass through it before they are shown.
std::string MaskProfileSecrets(std::string_view text);

}  // namespace host

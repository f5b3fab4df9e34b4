#include "server/script.h"

#include <cstdlib>
#include <cstring>

#include "macro/codes.h"
#include "macro/memory.h"
#include "macro/server.h"
#include "macro/text.h"
#include "server/pdu.h"
#include "server/settings.h"

namespace {

int Fail(int code, std::uint16_t* err) {
  SetError(code, err);
  return -1;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// A record the modem can take: a NUL within the record, an even number of
// hex digits, at least a minimal PDU.
bool IsPduRecord(const char* record) {
  std::size_t n = charlen(record, kFrameRecordBytes);
  if (n == kFrameRecordBytes || n < kMinPduChars || n % 2 != 0) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (!IsHexDigit(record[i])) return false;
  }
  return true;
}

// "%d" of a small length, cut to the 4-byte buffer as a bounded print is.
void FormatLength(unsigned value, char (&buf)[4]) {
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::size_t at = 0;
  while (n > 0 && at < sizeof buf - 1) buf[at++] = digits[--n];
  buf[at] = '\0';
}

void AppendBounded(char* text, std::size_t& length, const char* more) {
  while (length < kCommandBytes && *more != '\0') text[length++] = *more++;
}

constexpr char kCrLf[] = "\r\n";
constexpr char kCtrlZ[] = "\x1A";
constexpr const char* kSetup[kSetupCommands] = {"AT", "ATE0", "AT+CMGF=0", "AT+CSCS=\"UCS2\""};

}  // namespace

int DeleteProfilePDU(PduFrameTable* table) {
  if (table == nullptr) return -1;
  std::free(table->frameTable);
  std::free(table->image);
  std::free(table);
  return 0;
}

PduFrameTable* LoadProfilePDU(const char* path, std::uint16_t* err, bool consume) {
  if (path == nullptr) {
    SetError(ErrNullArgument, err);
    return nullptr;
  }
  auto* table = AllocZeroed<PduFrameTable>(1);
  if (table == nullptr) {
    SetError(ErrOutOfMemory, err);
    return nullptr;
  }
  auto fail = [table, err](int code) {
    DeleteProfilePDU(table);
    SetError(code, err);
    return static_cast<PduFrameTable*>(nullptr);
  };
  std::uint8_t count[2];
  if (LoadData(path, count, err) != 0) return fail(ErrInputRead);
  table->recordCount = static_cast<std::uint16_t>(count[0] | (count[1] << 8));
  if (table->recordCount == 0) return fail(ErrNoContent);
  // More records than the 16-bit file size can hold cannot be read whole.
  if (table->recordCount > kMaxFrameRecords) return fail(ErrInputRead);
  std::size_t size = 2u + static_cast<std::size_t>(kFrameRecordBytes) * table->recordCount;
  table->image = AllocZeroed<std::uint8_t>(size);
  if (table->image == nullptr) return fail(ErrOutOfMemory);
  if (LoadData(path, std::span<std::uint8_t>(table->image, size), err) != 0) {
    return fail(ErrInputRead);
  }
  table->frameTable = AllocZeroed<char*>(table->recordCount);
  if (table->frameTable == nullptr) return fail(ErrOutOfMemory);
  for (std::size_t p = 0; p < table->recordCount; ++p) {
    char* record = reinterpret_cast<char*>(table->image + 2 + kFrameRecordBytes * p);
    // A record that holds no PDU would put a wrong or negative length on the
    // modem's command line.
    if (!IsPduRecord(record)) return fail(ErrInputRead);
    table->frameTable[p] = record;
  }
  if (consume) (void)std::remove(path);
  return table;
}

int AddCommandAT(std::FILE* file, const char* command, const char* argument,
                 const char* terminator, std::uint16_t* err) {
  if (file == nullptr || command == nullptr) return Fail(ErrNullArgument, err);
  char record[kCommandBytes + 1] = {};
  std::size_t length = 0;
  AppendBounded(record, length, command);
  if (argument != nullptr) AppendBounded(record, length, argument);
  if (terminator != nullptr) AppendBounded(record, length, terminator);
  if (std::fwrite(record, 1, kCommandBytes, file) != kCommandBytes) {
    return Fail(ErrOutputWrite, err);
  }
  return 0;
}

int CreateATProfile(const char* path, const PduFrameTable* table, std::uint16_t* err) {
  if (path == nullptr || table == nullptr) return Fail(ErrNullArgument, err);
  std::uint8_t none[2] = {0, 0};
  if (SaveData(path, none, err) != 0) return Fail(ErrOutputWrite, err);
  std::FILE* file = std::fopen(path, "ab");
  if (file == nullptr) return Fail(ErrFileUpdateOpen, err);
  int count = 0;
  bool ok = true;
  for (const char* setup : kSetup) {
    ok = ok && AddCommandAT(file, setup, nullptr, kCrLf, err) == 0;
    count += 1;
  }
  for (std::size_t p = 0; ok && p < table->recordCount; ++p) {
    const char* pdu = table->frameTable[p];
    char length[4];
    FormatLength(static_cast<unsigned>((charlen(pdu, kFrameRecordBytes) - 2) / 2), length);
    ok = AddCommandAT(file, "AT+CMGS=", length, kCrLf, err) == 0 &&
         AddCommandAT(file, pdu, nullptr, kCtrlZ, err) == 0;
    count += 2;
  }
  // The records are on disk only when the close succeeds.
  bool closed = std::fclose(file) == 0;
  if (ok && !closed) return Fail(ErrOutputWrite, err);
  if (!ok) return -1;
  std::uint8_t countWord[2] = {static_cast<std::uint8_t>(count),
                               static_cast<std::uint8_t>(count >> 8)};
  if (BeforeData(path, countWord, 0, err) != 0) return -1;
  return count;
}

int BuildScriptFile(std::uint16_t* err, bool consumeFrames) {
  PduFrameTable* table = LoadProfilePDU(kFrameFile, err, consumeFrames);
  if (table == nullptr) return -1;
  int count = CreateATProfile(kScriptFile, table, err);
  DeleteProfilePDU(table);
  return count < 0 ? -1 : 0;
}
